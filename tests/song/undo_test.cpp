#include "edit_fixture.h"
#include "song/partcmds.h"
#include "support/scripted_dialogs.h"

#include <functional>

namespace {

using UndoTest = EditTest;

struct RecordingSamples : TUndoSamples {
    int count = 3;
    std::vector<std::string> calls;
    int PoolCount(TSong&) override { return count; }
    void RestoreSample(TSong&, int index, TUndoExtra&, const std::string& name) override {
        calls.push_back("restore " + std::to_string(index) + " " + name);
    }
    void FreeSample(TSong&, int index) override {
        calls.push_back("free " + std::to_string(index));
    }
    void RemoveSampleSlot(TSong& s, _TTrack& t, int slot) override {
        calls.push_back("slot " + std::to_string(slot));
        TUndoSamples::RemoveSampleSlot(s, t, slot);
    }
};

} // namespace

TEST_F(UndoTest, CaptionsKindsAndTheModifiedFlag) {
    TUndo fresh(*Song);
    EXPECT_EQ(fresh.Caption, "Unndo");
    EXPECT_EQ(fresh.Kind, 0);
    EXPECT_EQ(fresh.Extra, nullptr);

    Song->Modified = 0;
    Undo().Begin(0, "Undo anything");
    EXPECT_EQ(Undo().Caption, "Undo");
    EXPECT_EQ(Song->Modified, 0);
    Undo().Arg1 = 7;
    Undo().Begin(16, "Undo quantize");
    EXPECT_EQ(Undo().Caption, "Undo quantize");
    EXPECT_EQ(Undo().Kind, 16);
    EXPECT_EQ(Song->Modified, 1);
    EXPECT_EQ(Undo().Arg1, 7); // kept until the caller sets it

    // A command that finds nothing to change leaves nothing to undo.
    AddPart(0, 0, 960, {}, false);
    std::string before = Snapshot();
    Song->GlueParts();
    EXPECT_EQ(Undo().Kind, 0);
    EXPECT_EQ(Undo().Caption, "Undo");
    Song->Undo();
    EXPECT_TRUE(SameText(before, Snapshot()));

    // A new song empties the store without marking the song modified.
    AddPart(1, 0, 960);
    Song->RenameSelectedParts("x");
    Song->Modified = 0;
    Song->Clear();
    EXPECT_EQ(Undo().Kind, 0);
    EXPECT_TRUE(Undo().Parts.empty());
    EXPECT_EQ(Song->Modified, 0);
}

TEST_F(UndoTest, PopPartAndUndoSelectsTheOneSelectedPart) {
    _TPart* p = AddPart(0, 0, 960, {{0, On(60)}, {10, Off(60)}});
    Undo().Begin(16, "Undo x");
    Undo().AddPart(SnapshotPart(p));
    Undo().AddPart(SnapshotPart(p));
    _TPart* popped = Undo().PopPart();
    ASSERT_NE(popped, nullptr);
    EXPECT_EQ(Undo().Parts.size(), 1u);
    FreePart(popped);
    Song->SetCurrentPart(nullptr);
    Song->Undo();
    EXPECT_EQ(Song->CurrentPart, Track(0)->Parts);
    EXPECT_NE(Song->CurrentPart, p); // the saved copy took its place
    EXPECT_EQ(Undo().Kind, 0);
}

TEST_F(UndoTest, KindsThatUndoNothing) {
    _TPart* p = AddPart(0, 0, 960, {{0, On(60)}, {10, Off(60)}});
    for (int kind : {4, 6, 8, 9, 10, 14, 15, 20, 21}) {
        Undo().Begin(kind, "Undo x");
        _TPart* copy = SnapshotPart(p);
        copy->Name = "changed";
        Undo().AddPart(copy);
        std::string before = Snapshot();
        Song->Undo();
        EXPECT_TRUE(SameText(before, Snapshot())) << kind;
        EXPECT_EQ(Undo().Kind, 0) << kind;
        EXPECT_TRUE(Undo().Parts.empty()) << kind;
    }
}

TEST_F(UndoTest, ResizeStepWithoutTwoPartsShowsAnError) {
    _TPart* p = AddPart(0, 0, 960, {{0, On(60)}, {10, Off(60)}});
    std::string before = Snapshot();
    ResizePart(p, 0, false); // resizing by nothing saves one part only
    EXPECT_EQ(Undo().Kind, 23);
    EXPECT_EQ(Undo().Parts.size(), 1u);
    ScriptedDialogs dialogs;
    dialogs.Answer(platform::IDOK, "Undo resize error");
    Song->Undo();
    ASSERT_EQ(dialogs.Boxes().size(), 1u);
    EXPECT_EQ(dialogs.Boxes()[0].Caption, "Error");
    EXPECT_EQ(dialogs.Boxes()[0].Icon, platform::MB_ICONERROR);
    EXPECT_TRUE(SameText(before, Snapshot()));
}

TEST_F(UndoTest, SampleKindsGoThroughTheSampleSeam) {
    RecordingSamples samples;
    SetUndoSamples(&samples);
    Track(3)->Mode = tmAudio;
    Track(3)->Samples.push_back(std::make_unique<TSample>());
    Track(3)->Samples.push_back(std::make_unique<TSample>());
    _TPart* p = AddPart(3, 0, 960, {{0, PackMidiMsg(0x20, 1, 100)}, {50, PackMidiMsg(0x30, 1, 0)}});

    // 22: the wave and the name come back; without Extra or with a bad index nothing happens.
    Undo().Begin(22, "Undo replace");
    Undo().Arg1 = 2;
    Undo().Name = "kick";
    Undo().Extra = std::make_unique<TUndoExtra>();
    Song->Undo();
    Undo().Begin(22, "Undo replace");
    Undo().Arg1 = 3;
    Undo().Extra = std::make_unique<TUndoExtra>();
    Song->Undo();
    Undo().Begin(22, "Undo replace");
    Undo().Arg1 = 0;
    Song->Undo();
    EXPECT_EQ(samples.calls, std::vector<std::string>{"restore 2 kick"});
    EXPECT_EQ(Undo().Extra, nullptr);

    // 25: the new sample and its slot go, the part comes back.
    samples.calls.clear();
    Undo().Begin(25, "Undo record");
    Undo().Arg1 = 1;
    Undo().Arg2 = 1;
    _TPart* before = SnapshotPart(p);
    Undo().AddPart(before);
    AppendEvent(p, NewEvent(100, PackMidiMsg(0x20, 1, 90)));
    Song->Undo();
    EXPECT_EQ((std::vector<std::string>{"free 1", "slot 1"}), samples.calls);
    EXPECT_EQ(Track(3)->Samples.size(), 1u);
    EXPECT_EQ(CountPartEvents(Track(3)->Parts), 2);
    SetUndoSamples(nullptr);
}

// Every part command that records a step: do, then undo, gives the song back.
TEST_F(UndoTest, PartCommandsUndoToTheOriginal) {
    struct Case {
        const char* what;
        std::function<void(EditTest&)> prepare;
        std::function<void()> command;
        int kind;
        const char* caption;
        bool withoutPartSelection; // the kind does not give the parts' selection back
    };
    auto selectOnly = [](std::vector<int> tracks) {
        return [tracks](EditTest&) {
            Song->UnselectAllParts();
            for (int t : tracks)
                for (_TPart* p = Song->Tracks[t]->Parts; p; p = p->Next)
                    p->Flags |= pfSelected;
        };
    };
    auto none = [](EditTest&) {};
    // The parts that the split cuts, and only those, are selected: the undo selects them.
    auto splitParts = [](EditTest&) {
        Song->SelectAllParts();
        Song->Tracks[0]->Parts->Next->Flags &= ~pfSelected;
    };
    std::vector<Case> cases = {
        {"move", none, [] { Song->MoveSelectedParts(3, 960); }, 2, "Undo move", false},
        {"move back in time", selectOnly({2}), [] { Song->MoveSelectedParts(1, -480); }, 2,
         "Undo move", false},
        {"copy", none, [] { Song->CopySelectedParts(0, 3840); }, 3, "Undo copy", true},
        {"delete", none, [] { Song->DeleteSelectedParts(true); }, 1, "Undo delete", false},
        {"append", none, [] { Song->AppendParts(); }, 3, "Undo append", true},
        {"glue", none, [] { Song->GlueParts(); }, 7, "Undo glue", false},
        {"split", splitParts, [] { Song->SplitParts(1440, 480, false); }, 18, "Undo split", false},
        {"split at one tick", selectOnly({2}), [] { Song->SplitParts(700, 700, true); }, 18,
         "Undo split", false},
        {"split in three", selectOnly({2}), [] { Song->SplitParts(1500, 700, true); }, 18,
         "Undo split", false},
        {"rename", none, [] { Song->RenameSelectedParts("new"); }, 16, "Undo rename", false},
        {"resize end", none, [] { ResizePart(Song->Tracks[0]->Parts, -2, true); }, 16,
         "Undo resize", false},
        {"resize start later", selectOnly({0}),
         [] { ResizePart(Song->Tracks[0]->Parts, 1, false); }, 23, "Undo resize", false},
        {"resize start earlier", selectOnly({0}),
         [] { ResizePart(Song->Tracks[0]->Parts->Next, -2, false); }, 23, "Undo resize", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Song->Clear();
        _TPart* a =
            AddPart(0, 0, 960,
                    {{0, On(60)}, {100, Cc(7, 90)}, {200, Off(60)}, {240, On(64)}, {700, Off(64)}},
                    true, "a");
        a->Group = 3;
        AddPart(0, 1920, 960, {{60, On(67)}, {300, Off(67)}}, true, "b");
        AddPart(1, 960, 960, {{0, On(48)}, {100, Off(48)}}, false, "c");
        AddPart(2, 480, 1920, {{0, On(50)}, {600, On(52)}, {900, Off(50)}, {1200, Off(52)}}, true,
                "d");
        c.prepare(*this);
        std::string before = Snapshot(c.withoutPartSelection);
        c.command();
        EXPECT_EQ(Undo().Kind, c.kind);
        EXPECT_EQ(Undo().Caption, c.caption);
        EXPECT_FALSE(Undo().Parts.empty());
        EXPECT_NE(Snapshot(c.withoutPartSelection), before);
        EXPECT_TRUE(CheckSongInvariants(*Song));
        EXPECT_TRUE(CheckSongNotePairing(*Song));
        Song->Undo();
        EXPECT_TRUE(CheckSongInvariants(*Song));
        EXPECT_TRUE(SameText(before, Snapshot(c.withoutPartSelection)));
        EXPECT_EQ(Undo().Kind, 0);
        EXPECT_EQ(Undo().Caption, "Undo");
    }
}

TEST_F(UndoTest, MoveTrackTakesTheSavedPartsAlong) {
    // A rename saved on track 5; track 5 moves to row 2; undo puts the name back there.
    _TPart* p = AddPart(5, 0, 960, {}, true, "old");
    _TTrack* record = Track(5);
    Song->RenameSelectedParts("new");
    Song->MoveTrack(5, 2);
    EXPECT_EQ(Track(2), record);
    EXPECT_EQ(p->Track, 2);
    EXPECT_EQ(Song->CurrentTrackIndex, 2);
    Song->Undo();
    ASSERT_NE(record->Parts, nullptr);
    EXPECT_EQ(record->Parts->Name, "old");
    EXPECT_EQ(Track(5)->Parts, nullptr);
    EXPECT_TRUE(CheckSongInvariants(*Song));

    // A move from track 3 to 4, then the target track moves to row 0: undo still gives the
    // part back to the record it came from.
    Song->Clear();
    AddPart(3, 0, 960, {{0, On(60)}, {10, Off(60)}});
    _TTrack* source = Track(3);
    ASSERT_FALSE(Song->MoveSelectedParts(1, 0));
    Song->MoveTrack(4, 0);
    Song->Undo();
    EXPECT_NE(source->Parts, nullptr);
    EXPECT_EQ(source->Parts->Track, 4); // the record sits on row 4 now
    EXPECT_EQ(Track(4), source);
    EXPECT_EQ(Track(0)->Parts, nullptr);
    EXPECT_TRUE(CheckSongInvariants(*Song));
}
