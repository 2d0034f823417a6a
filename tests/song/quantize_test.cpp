#include "edit_fixture.h"
#include "song/quantize.h"

namespace {

using QuantizeTest = EditTest;

Ev Note(int on, int off, int key = 60) {
    return {{on, On(key)}, {off, Off(key)}};
}

} // namespace

TEST_F(QuantizeTest, NotesGoToTheNearestGridPointAndAHalfGoesBack) {
    struct Case {
        int on, off, grid;
        int wantOn, wantOff;
    } cases[] = {
        {60, 100, 120, 0, 40},     // exactly half: back
        {61, 100, 120, 120, 159},  // past half: on
        {240, 300, 120, 240, 300}, // on the grid: left alone
        {895, 955, 20, 900, 959},  // the note off capped at the part's end
        {5, 6, 7, 7, 8},
    };
    for (const Case& c : cases) {
        Song->Clear();
        _TPart* p = AddPart(0, 0, 960, Note(c.on, c.off));
        EXPECT_FALSE(QuantizePart(p, c.grid, false)) << c.on;
        EXPECT_EQ(Events(p), Note(c.wantOn, c.wantOff)) << c.on;
    }
}

TEST_F(QuantizeTest, APushedNoteGrowsThePartOrGoesToTheNextOne) {
    // No part follows: the part grows by 960 ticks.
    _TPart* p = AddPart(0, 0, 960, Note(955, 959));
    EXPECT_TRUE(Song->QuantizeSelectedParts(120, false));
    EXPECT_EQ(p->Length, 1920);
    EXPECT_EQ(Events(p), Note(960, 964));

    // A part follows at the end: the note goes there at time 0.
    Song->Clear();
    p = AddPart(0, 0, 960, Note(955, 959));
    _TPart* next = AddPart(0, 960, 960, Note(100, 200, 62), false);
    EXPECT_TRUE(Song->QuantizeSelectedParts(120, false));
    EXPECT_EQ(p->Length, 960);
    EXPECT_EQ(p->Events, nullptr);
    EXPECT_EQ(Events(next), (Ev{{0, On(60)}, {4, Off(60)}, {100, On(62)}, {200, Off(62)}}));
    ASSERT_EQ(Undo().Parts.size(), 2u);
    EXPECT_EQ(Undo().Parts[1]->Start, 960); // the copy of the following part
    EXPECT_TRUE(CheckSongInvariants(*Song));

    // Within half a bar (exactly half included) it still goes to the next part.
    Song->Clear();
    p = AddPart(0, 0, 960, Note(955, 959));
    next = AddPart(0, 1440, 960, {}, false);
    EXPECT_TRUE(QuantizePart(p, 120, false));
    EXPECT_EQ(Events(next), Note(0, 4));
}

TEST_F(QuantizeTest, GrowthNeverRunsIntoTheNextPart) {
    // The next part is 600 ticks away: more than half a bar, less than 960.
    _TPart* p = AddPart(0, 0, 960, Note(955, 959));
    _TPart* next = AddPart(0, 1560, 960, {}, false);
    EXPECT_TRUE(QuantizePart(p, 120, false));
    EXPECT_EQ(p->Length, 600 + 960);
    EXPECT_EQ(Events(p), Note(960, 964));
    EXPECT_EQ(next->Events, nullptr);
    EXPECT_TRUE(CheckSongInvariants(*Song));

    // 3/4: a 720-tick bar, the next part 400 ticks away (more than half a bar).
    Song->Clear();
    Song->BeatsPerBar = 3;
    p = AddPart(0, 0, 720, {{0, On(60)}, {715, On(62)}, {719, Off(62)}, {719, Off(60)}});
    next = AddPart(0, 1120, 720, {}, false);
    EXPECT_TRUE(QuantizePart(p, 240, false));
    EXPECT_EQ(p->Length, 1120);
    EXPECT_TRUE(CheckSongInvariants(*Song));
    EXPECT_TRUE(CheckSongNotePairing(*Song));
}

TEST_F(QuantizeTest, SelectedNotesOnlyAndBrokenParts) {
    _TPart* p = AddPart(0, 0, 960, {{10, On(60)}, {20, On(62)}, {50, Off(60)}, {60, Off(62)}});
    p->Events->Flags |= efSelected;
    EXPECT_FALSE(QuantizePart(p, 60, true));
    EXPECT_EQ(Events(p), (Ev{{0, On(60)}, {20, On(62)}, {40, Off(60)}, {60, Off(62)}}));
    // Grids of 0 or less do nothing.
    std::string before = Snapshot();
    EXPECT_FALSE(QuantizePart(p, 0, false));
    EXPECT_FALSE(QuantizePart(p, -60, false));
    EXPECT_TRUE(SameText(before, Snapshot()));
}

TEST_F(QuantizeTest, GrooveOffsetsAndVelocities) {
    _TGroovesItem* g = Song->AddGroove("swing", 2);
    EXPECT_EQ(Song->Grooves->GetItem(0), g);
    EXPECT_EQ(Song->Grooves->GetItem(1), nullptr);
    EXPECT_TRUE(g->UseVelocity);
    g->Steps[0] = {0, 90};
    g->Steps[1] = {-50, 70};
    // Step 1 (the second 16th) is 50 hundredths of a 60-tick grid early: 60 goes to 30, and
    // at 30 the note takes step 0's velocity.
    _TPart* p = AddPart(0, 0, 960, {{0, On(60)}, {10, Off(60)}, {60, On(62)}, {70, Off(62)}});
    EXPECT_FALSE(GroovePart(p, 60, g, false));
    EXPECT_EQ(Events(p), (Ev{{0, On(60, 90)}, {10, Off(60)}, {30, On(62, 90)}, {40, Off(62)}}));
    // Without velocities.
    g->UseVelocity = false;
    Song->Clear();
    p = AddPart(0, 0, 960, {{60, On(62)}, {70, Off(62)}});
    GroovePart(p, 60, g, false);
    EXPECT_EQ(Events(p), (Ev{{30, On(62)}, {40, Off(62)}}));
}

TEST_F(QuantizeTest, GrooveNeverLeavesItsStepsOrThePartStart) {
    _TGroovesItem* g = Song->AddGroove("bad", 0);
    for (int count : {0, -3, 9, 1000}) {
        g->Count = count;
        for (auto& s : g->Steps)
            s = {-400, 0};
        Song->Clear();
        _TPart* p = AddPart(0, 0, 960, {{0, On(60)}, {10, Off(60)}, {700, On(62)}, {710, Off(62)}});
        GroovePart(p, 60, g, false);
        // Velocity 0 would turn a note on into a note off: the least is 1.
        EXPECT_EQ(Events(p), (Ev{{0, On(60, 1)}, {10, Off(60)}, {480, On(62, 1)}, {490, Off(62)}}))
            << count;
        EXPECT_TRUE(CheckSongNotePairing(*Song));
    }
}

TEST_F(QuantizeTest, GrooveListDeletes) {
    Song->AddGroove("a", 1);
    Song->AddGroove("b", 1);
    Song->AddGroove("c", 1);
    Song->Grooves->Delete(1);
    Song->Grooves->Delete(5);
    EXPECT_EQ(Song->Grooves->GetItem(0)->Name, "c");
    EXPECT_EQ(Song->Grooves->GetItem(1)->Name, "a");
    EXPECT_EQ(Song->Grooves->GetItem(2), nullptr);
    Song->Clear(); // a new song keeps the templates
    EXPECT_NE(Song->Grooves->GetItem(1), nullptr);
}

TEST_F(QuantizeTest, QuantizeAndGrooveUndoToTheOriginal) {
    _TGroovesItem* g = Song->AddGroove("g", 4);
    g->Steps[1] = {30, 50};
    g->Steps[3] = {-20, 120};
    struct Case {
        const char* caption;
        bool groove;
    } cases[] = {{"Undo quantize", false}, {"Undo groove", true}};
    for (const Case& c : cases) {
        Song->Clear();
        AddPart(0, 0, 960,
                {{7, On(60)},
                 {100, Off(60)},
                 {130, On(62)},
                 {950, On(64)},
                 {955, Off(62)},
                 {959, Off(64)}});
        _TPart* follow = AddPart(0, 960, 960, Note(31, 200), false); // takes the pushed note
        AddPart(1, 0, 480, Note(50, 70));
        AddPart(2, 0, 480, Note(50, 70), false);
        // Undo selects every part it puts back, the following part included.
        follow->Flags |= pfSelected;
        std::string before = Snapshot();
        follow->Flags &= ~pfSelected;
        if (c.groove)
            EXPECT_TRUE(Song->GrooveSelectedParts(120, g, false));
        else
            EXPECT_TRUE(Song->QuantizeSelectedParts(120, false));
        EXPECT_EQ(Undo().Kind, 16);
        EXPECT_EQ(Undo().Caption, c.caption);
        EXPECT_EQ(Undo().Parts.size(), 3u);
        EXPECT_EQ(CountPartEvents(Track(0)->Parts), 4);
        EXPECT_TRUE(CheckSongInvariants(*Song));
        EXPECT_TRUE(CheckSongNotePairing(*Song));
        Song->Undo();
        EXPECT_TRUE(CheckSongInvariants(*Song));
        EXPECT_TRUE(SameText(before, Snapshot())) << c.caption;
    }
    // Nothing selected: nothing to undo.
    Song->UnselectAllParts();
    EXPECT_FALSE(Song->QuantizeSelectedParts(120, false));
    EXPECT_EQ(Undo().Kind, 0);
}
