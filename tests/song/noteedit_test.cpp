#include "edit_fixture.h"
#include "song/noteedit.h"
#include "song/random.h"

#include <algorithm>
#include <functional>

namespace {

using NoteEditTest = EditTest;

Ev Note(int on, int off, int key = 60, int vel = 100) {
    return {{on, On(key, vel)}, {off, Off(key)}};
}

void SelectAll(_TPart* p) {
    for (_TEvent* e = p->Events; e; e = e->Next)
        e->Flags |= efSelected;
}

std::vector<int> Velocities(const _TPart* p) {
    std::vector<int> out;
    for (const _TEvent* e = p->Events; e; e = e->Next)
        if (IsNoteOn(e->Msg)) out.push_back(static_cast<int>(MidiData2(e->Msg)));
    return out;
}

} // namespace

TEST_F(NoteEditTest, Velocities) {
    _TPart* p =
        AddPart(0, 0, 960, {{0, On(60, 50)}, {0, On(64, 120)}, {10, Off(60)}, {10, Off(64)}});
    SetVelocities(p, 20, 2, false);
    EXPECT_EQ(Velocities(p), (std::vector<int>{70, 127}));
    SetVelocities(p, 0, 0, false);
    EXPECT_EQ(Velocities(p), (std::vector<int>{1, 1}));
    SetVelocities(p, 90, 1, false); // any other mode: 0, then the least velocity
    EXPECT_EQ(Velocities(p), (std::vector<int>{1, 1}));
    p->Events->Flags |= efSelected;
    SetVelocities(p, 64, 0, true);
    EXPECT_EQ(Velocities(p), (std::vector<int>{64, 1}));
    // Random velocities between the two bytes of the value, both ends reached.
    SetRandomSeed(0);
    std::vector<int> seen(128);
    for (int i = 0; i < 400; ++i) {
        SetVelocities(p, 100 + 110 * 256, 3, false);
        for (int v : Velocities(p))
            ++seen[v];
    }
    for (int v = 0; v < 128; ++v)
        EXPECT_EQ(seen[v] > 0, v >= 100 && v <= 110) << v;
}

TEST_F(NoteEditTest, VelocityRamp) {
    Ev ev;
    for (int t = 0; t < 960; t += 240) {
        ev.push_back({t, On(60)});
        ev.push_back({t + 10, Off(60)});
    }
    _TPart* p = AddPart(0, 0, 960, ev);
    RampVelocities(p, 0, -1, false, 120, 0); // slope 1/8 over the part
    EXPECT_EQ(Velocities(p), (std::vector<int>{1, 30, 60, 90}));
    RampVelocities(p, 240, 480, false, 10, 50);
    EXPECT_EQ(Velocities(p), (std::vector<int>{1, 50, 10, 90}));
    RampVelocities(p, 480, 480, false, 10, 70); // no run: the start value
    EXPECT_EQ(Velocities(p), (std::vector<int>{1, 50, 70, 90}));
}

TEST_F(NoteEditTest, LegatoOverlapAndLengths) {
    // A chord followed by a note: the chord's note offs end just before it; the last note
    // runs to the part's end.
    Ev chord = {{0, On(60)},   {0, On(64)},   {0, On(67)},   {10, Off(60)},
                {10, Off(64)}, {10, Off(67)}, {240, On(72)}, {250, Off(72)}};
    _TPart* p = AddPart(0, 0, 960, chord);
    LegatoNotes(p, false);
    EXPECT_EQ(Events(p), (Ev{{0, On(60)},
                             {0, On(64)},
                             {0, On(67)},
                             {239, Off(60)},
                             {239, Off(64)},
                             {239, Off(67)},
                             {240, On(72)},
                             {959, Off(72)}}));
    // A note that already reaches the next one is left.
    Song->Clear();
    p = AddPart(0, 0, 960, {{0, On(60)}, {100, On(62)}, {150, Off(60)}, {200, Off(62)}});
    LegatoNotes(p, false);
    EXPECT_EQ(Events(p)[2], (std::pair<int, std::uint32_t>{150, Off(60)}));

    // Overlap: into a note of another key, up to one of the same key.
    Song->Clear();
    p = AddPart(
        0, 0, 960,
        {{0, On(60)}, {10, Off(60)}, {100, On(62)}, {110, Off(62)}, {200, On(62)}, {210, Off(62)}});
    OverlapNotes(p, 30, false);
    EXPECT_EQ(Undo().Caption, "Undo overlap");
    EXPECT_EQ(Events(p), (Ev{{0, On(60)},
                             {100, On(62)},
                             {129, Off(60)},
                             {199, Off(62)},
                             {200, On(62)},
                             {959, Off(62)}}));
    EXPECT_TRUE(CheckNotePairing(*p));

    Song->Clear();
    p = AddPart(0, 0, 960, {{0, On(60)}, {10, Off(60)}, {900, On(62)}, {910, Off(62)}});
    SetNoteLengths(p, 120, false);
    EXPECT_EQ(Events(p), (Ev{{0, On(60)}, {119, Off(60)}, {900, On(62)}, {959, Off(62)}}));
    SetNoteLengths(p, 0, false); // never before the note on
    EXPECT_EQ(Events(p)[1], (std::pair<int, std::uint32_t>{0, Off(60)}));
    ResizeNotes(p, 50, false, true);
    EXPECT_EQ(Undo().Caption, "Undo resize");
    EXPECT_EQ(Events(p)[1], (std::pair<int, std::uint32_t>{50, Off(60)}));
    ResizeNotes(p, -50, false, false); // would end at its note on: left
    EXPECT_EQ(Events(p)[1], (std::pair<int, std::uint32_t>{50, Off(60)}));
    Song->StretchNotesToEnd(p, false);
    EXPECT_EQ(Events(p), (Ev{{0, On(60)}, {900, On(62)}, {959, Off(60)}, {959, Off(62)}}));
}

TEST_F(NoteEditTest, MoveNotes) {
    _TPart* p = AddPart(0, 0, 960, Note(40, 100));
    EXPECT_FALSE(MoveNotes(p, 0, 0));
    EXPECT_EQ(Undo().Kind, 0);
    EXPECT_FALSE(MoveNotes(p, -100, 0)); // nothing selected
    SelectAll(p);
    EXPECT_TRUE(MoveNotes(p, -100, 70));
    EXPECT_EQ(Events(p), (Ev{{0, On(127)}, {0, Off(127)}}));
    EXPECT_EQ(Undo().Caption, "Undo move");
    EXPECT_EQ(SentMessages().size(), 2u); // controller 123 each time a step was opened
}

TEST_F(NoteEditTest, MovedNotesGrowThePartOrGoToTheNextOne) {
    // Far past the end with nothing after it: the part grows until the note fits.
    _TPart* p = AddPart(0, 0, 960, Note(100, 200));
    SelectAll(p);
    MoveNotes(p, 3000, 0);
    EXPECT_EQ(p->Length, 3840);
    EXPECT_EQ(Events(p), Note(3100, 3200));
    EXPECT_TRUE(CheckSongInvariants(*Song));

    // A note off whose note on stays is not handed over with another note.
    Song->Clear();
    p = AddPart(0, 0, 960, {{900, On(60)}, {950, Off(60)}, {955, On(62)}, {958, Off(62)}});
    _TPart* next = AddPart(0, 960, 960, {}, false);
    SelectAll(p);
    MoveNotes(p, 10, 0);
    EXPECT_EQ(Events(p), Note(910, 959));
    EXPECT_EQ(Events(next), Note(5, 8, 62));
    EXPECT_EQ(next->Events->Flags & efSelected, efSelected);
    EXPECT_EQ(Undo().Parts.size(), 2u);
    EXPECT_TRUE(CheckSongInvariants(*Song));
    EXPECT_TRUE(CheckSongNotePairing(*Song));

    // The next part is 600 ticks away: growth stops there.
    Song->Clear();
    p = AddPart(0, 0, 960, Note(900, 950));
    next = AddPart(0, 1560, 960, {}, false);
    SelectAll(p);
    MoveNotes(p, 100, 0);
    EXPECT_EQ(p->Length, 1560);
    EXPECT_TRUE(CheckSongInvariants(*Song));
}

TEST_F(NoteEditTest, RotateWrapsNotesAndKeepsNoteOffsAfterTheirNoteOns) {
    _TPart* p = AddPart(0, 0, 960, {{10, On(60)}, {50, Off(60)}, {500, On(62)}, {600, Off(62)}});
    SelectAll(p);
    RotateNotes(p, -30);
    // The first note wraps to 940; its note off would stay at 20: it ends at the part's end.
    EXPECT_EQ(Events(p), (Ev{{470, On(62)}, {570, Off(62)}, {940, On(60)}, {959, Off(60)}}));
    EXPECT_TRUE(CheckNotePairing(*p));
    EXPECT_EQ(Undo().Caption, "Undo rotate");
    // A whole note wrapping forward.
    SelectAll(p);
    RotateNotes(p, 500);
    EXPECT_EQ(Events(p), (Ev{{10, On(62)}, {110, Off(62)}, {480, On(60)}, {499, Off(60)}}));
    // A note off crossing the end without its note on stops at the end.
    Song->Clear();
    p = AddPart(0, 0, 960, Note(900, 950));
    SelectAll(p);
    RotateNotes(p, 40);
    EXPECT_EQ(Events(p), Note(940, 959));
}

TEST_F(NoteEditTest, Duplicate) {
    _TPart* p = AddPart(0, 0, 960, Note(100, 200));
    SelectAll(p);
    DuplicateNotes(p, 240, 12);
    EXPECT_EQ(Events(p), (Ev{{100, On(60)}, {200, Off(60)}, {340, On(72)}, {440, Off(72)}}));
    EXPECT_EQ(CountSelectedEvents(p), 2);
    // Past the end: the part grows, or a part after it takes the copies.
    DuplicateNotes(p, 800, 0);
    EXPECT_EQ(p->Length, 1920);
    EXPECT_EQ(Events(p).back(), (std::pair<int, std::uint32_t>{1240, Off(72)}));
    Song->Clear();
    p = AddPart(0, 0, 960, {{800, On(60)}, {900, On(62)}, {950, Off(60)}, {955, Off(62)}});
    _TPart* next = AddPart(0, 960, 960, {}, false);
    SelectAll(p);
    DuplicateNotes(p, 100, 0);
    EXPECT_EQ(Events(next), Note(40, 95, 62));
    EXPECT_TRUE(CheckSongInvariants(*Song));
    EXPECT_TRUE(CheckSongNotePairing(*Song));
}

TEST_F(NoteEditTest, DuplicatesGoWhereInsertingThemOneByOneWouldPutThem) {
    // From the last copy to the first: after every event of their time (so copies of one time
    // end up in reverse order), but at the head before the first event.
    _TPart* p = AddPart(
        0, 0, 960, {{0, Cc(1, 1)}, {100, On(60)}, {100, On(64)}, {200, Off(60)}, {200, Off(64)}});
    for (int i = 1; i < 5; ++i)
        EventAt(p, i)->Flags |= efSelected;
    DuplicateNotes(p, -100, 0);
    EXPECT_EQ(Events(p), (Ev{{0, On(60)},
                             {0, On(64)},
                             {0, Cc(1, 1)},
                             {100, On(60)},
                             {100, On(64)},
                             {100, Off(64)},
                             {100, Off(60)},
                             {200, Off(60)},
                             {200, Off(64)}}));
    EXPECT_TRUE(CheckPartInvariants(*p));
}

TEST_F(NoteEditTest, DuplicatesMatchOneByOneInsertionOnRandomParts) {
    // While a loop records, copies go in one by one through InsertEvent; with the right
    // locator elsewhere nothing wraps, so both ways must agree.
    SetRandomSeed(7);
    Song->RightLocator = 1 << 30;
    for (int round = 0; round < 40; ++round) {
        Song->Clear();
        Ev ev;
        for (int t = 0; t < 960; t += RandomInt(40)) {
            int key = 60 + RandomInt(4);
            ev.push_back({t, On(key)});
            ev.push_back({std::min(959, t + RandomInt(200)), Off(key)});
        }
        std::stable_sort(ev.begin(), ev.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        _TPart* a = AddPart(0, 0, 960, ev);
        _TPart* b = AddPart(1, 0, 960, ev);
        if (round % 2) AddPart(1, 960 + RandomInt(3) * 300, 960, {}, false);
        if (round % 2) AddPart(0, b->Next->Start, 960, {}, false);
        for (_TEvent *x = a->Events, *y = b->Events; x; x = x->Next, y = y->Next)
            if (RandomInt(3) == 0) {
                x->Flags |= efSelected;
                y->Flags |= efSelected;
            }
        int dt = RandomInt(1400) - 400, dn = RandomInt(5) - 2;
        DuplicateNotes(a, dt, dn);
        Song->State = 1;
        Song->Looping = 1;
        DuplicateNotes(b, dt, dn);
        Song->State = 0;
        Song->Looping = 0;
        ASSERT_EQ(Events(a), Events(b)) << round;
        ASSERT_EQ(a->Length, b->Length) << round;
        if (a->Next) {
            ASSERT_EQ(Events(a->Next), Events(b->Next)) << round;
        }
        ASSERT_TRUE(CheckSongInvariants(*Song));
    }
}

TEST_F(NoteEditTest, DoublesAndNotesLikeTheSelected) {
    _TPart* p = AddPart(0, 0, 960,
                        {{0, On(60)},
                         {0, On(64)},
                         {0, On(67)},
                         {100, Off(60)},
                         {100, Off(64)},
                         {100, Off(67)},
                         {200, On(60)},
                         {300, Off(60)}});
    DeleteDoubleNotes(p);
    EXPECT_EQ(Events(p), (Ev{{0, On(67)}, {100, Off(67)}, {200, On(60)}, {300, Off(60)}}));

    Song->Clear();
    p = AddPart(0, 0, 960,
                {{0, On(60)},
                 {10, Off(60)},
                 {20, On(62)},
                 {30, Off(62)},
                 {40, On(60)},
                 {50, Off(60)},
                 {60, Cc(7, 1)}});
    p->Events->Flags |= efSelected;
    KeepNotesLikeSelected(p);
    EXPECT_EQ(Events(p), (Ev{{0, On(60)}, {10, Off(60)}, {40, On(60)}, {50, Off(60)}}));
    p->Events->Flags |= efSelected;
    AppendEvent(p, NewEvent(10, On(62)));
    AppendEvent(p, NewEvent(10, Off(62)));
    DeleteNotesLikeSelected(p);
    EXPECT_EQ(Events(p), Note(60, 70, 62));
}

TEST_F(NoteEditTest, TransposeAndSelectByField) {
    _TPart* p = AddPart(0, 0, 960, {{0, On(120)}, {5, Cc(7, 1)}, {10, Off(120)}});
    Song->TransposeSelectedParts(12);
    EXPECT_EQ(Events(p), (Ev{{0, On(127)}, {5, Cc(7, 1)}, {10, Off(127)}}));
    EXPECT_EQ(SentMessages(), std::vector<std::uint32_t>{Cc(123, 0)});
    Song->SelectEventsByField(p, 0xB0, 3);
    EXPECT_EQ(CountSelectedEvents(p), 1);
    EXPECT_TRUE(EventAt(p, 1)->Flags & efSelected);
    Song->SelectEventsByField(p, 127, 1);
    EXPECT_EQ(CountSelectedEvents(p), 3);
    UnselectEvents(p);
    Song->SelectEventsByField(p, 0, 7); // no such field
    EXPECT_EQ(CountSelectedEvents(p), 0);
    // Audio tracks are no MIDI-event tracks: transposing leaves them.
    Track(1)->Mode = tmAudio;
    _TPart* a = AddPart(
        1, 0, 960, {{0, PackMidiMsg(0x20, 1, 100) | (40u << 24)}, {5, PackMidiMsg(0x30, 1, 0)}});
    Song->TransposeSelectedParts(3);
    EXPECT_EQ(MidiData1(a->Events->Msg), 1u);
    // Setting the pitch reaches them and keeps a sample note's pan.
    Song->SetPitchSelectedParts(4, false);
    EXPECT_EQ(a->Events->Msg, PackMidiMsg(0x20, 4, 100) | (40u << 24));
    EXPECT_EQ(Events(p), (Ev{{0, On(4)}, {5, Cc(7, 1)}, {10, Off(4)}}));
}

// Every note command that records a step: do, then undo, gives the song back.
TEST_F(NoteEditTest, CommandsUndoToTheOriginal) {
    struct Case {
        const char* caption;
        int kind;
        std::function<void(_TPart*)> command;
    };
    std::vector<Case> cases = {
        {"Undo velocity", 16, [](_TPart*) { Song->VelocitySelectedParts(10, 2, false); }},
        {"Undo velocity", 16,
         [](_TPart*) { Song->RampVelocitySelectedParts(0, -1, false, 1, 127); }},
        {"Undo legato", 16, [](_TPart*) { Song->LegatoSelectedParts(false); }},
        {"Undo length", 13, [](_TPart*) { Song->LengthSelectedParts(30, false); }},
        {"Undo transpose", 16, [](_TPart*) { Song->TransposeSelectedParts(-5); }},
        {"Undo transpose", 16, [](_TPart*) { Song->SetPitchSelectedParts(50, true); }},
        {"Undo delete doubles", 16, [](_TPart*) { Song->DeleteDoublesSelectedParts(); }},
        {"Undo stretch to end", 16, [](_TPart* p) { Song->StretchNotesToEnd(p, false); }},
        {"Undo overlap", 16, [](_TPart* p) { OverlapNotes(p, 20, false); }},
        {"Undo resize", 16, [](_TPart* p) { ResizeNotes(p, 30, true, true); }},
        {"Undo move", 16, [](_TPart* p) { MoveNotes(p, 500, 2); }},
        {"Undo rotate", 16, [](_TPart* p) { RotateNotes(p, -100); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption);
        Song->Clear();
        _TPart* p = AddPart(0, 0, 960,
                            {{0, On(60)},
                             {0, On(64)},
                             {50, Off(60)},
                             {90, Off(64)},
                             {100, Cc(7, 3)},
                             {500, On(62)},
                             {700, On(65, 30)},
                             {710, Off(65)},
                             {800, Off(62)}});
        p->Events->Flags |= efSelected;
        EventAt(p, 2)->Flags |= efSelected;
        EventAt(p, 5)->Flags |= efSelected;
        EventAt(p, 8)->Flags |= efSelected;
        AddPart(0, 960, 960, Note(10, 20), false);
        AddPart(1, 0, 960, Note(100, 120));
        Song->SetCurrentPart(p);
        // The part after the first takes moved notes; undo gives it back selected.
        Track(0)->Parts->Next->Flags |= pfSelected;
        std::string before = Snapshot();
        Track(0)->Parts->Next->Flags &= ~pfSelected;
        c.command(p);
        EXPECT_EQ(Undo().Kind, c.kind);
        EXPECT_EQ(Undo().Caption, c.caption);
        EXPECT_TRUE(CheckSongInvariants(*Song));
        EXPECT_TRUE(CheckSongNotePairing(*Song));
        bool nextSaved = false;
        for (const _TPart* saved : Undo().Parts)
            nextSaved |= saved->Track == 0 && saved->Start == 960;
        if (!nextSaved) Track(0)->Parts->Next->Flags |= pfSelected;
        Song->Undo();
        EXPECT_TRUE(CheckSongInvariants(*Song));
        EXPECT_TRUE(SameText(before, Snapshot()));
    }
}
