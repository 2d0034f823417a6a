#include "edit_fixture.h"
#include "song/partcmds.h"

namespace {

using PartCmdTest = EditTest;

const Ev kNote = {{0, On(60)}, {100, Off(60)}};

} // namespace

TEST_F(PartCmdTest, MoveKeepsAudioAndParameterPartsOnTheirTrack) {
    Track(0)->Mode = tmAudio;
    Track(1)->Mode = tmAudio;
    _TPart* p = AddPart(0, 0, 960);
    EXPECT_FALSE(Song->MoveSelectedParts(1, 0));
    EXPECT_EQ(Track(0)->Parts, p);
    EXPECT_EQ(Track(1)->Parts, nullptr);
    EXPECT_EQ(Undo().Kind, 0); // nothing moved
    EXPECT_FALSE(Song->MoveSelectedParts(0, 960));
    EXPECT_EQ(p->Start, 960);
    EXPECT_EQ(Undo().Kind, 2);
    EXPECT_EQ(Undo().Arg1, 960);
    EXPECT_EQ(Undo().Arg2, 0);
    // MIDI and softsynth tracks mix; past the last track nothing goes.
    Track(5)->Mode = tmMidi;
    Track(6)->Mode = tmSoftsynth;
    _TPart* q = AddPart(5, 0, 960, kNote);
    p->Flags &= ~pfSelected;
    EXPECT_FALSE(Song->MoveSelectedParts(1, 0));
    EXPECT_EQ(Track(6)->Parts, q);
    EXPECT_EQ(q->Track, 6);
    EXPECT_FALSE(Song->MoveSelectedParts(200, 0));
    EXPECT_EQ(Track(6)->Parts, q);
}

TEST_F(PartCmdTest, MoveIntoAnOccupiedPlaceMovesNothing) {
    AddPart(0, 0, 960, kNote);
    AddPart(1, 0, 960, kNote);
    AddPart(2, 960, 960, kNote, false); // the second part's target
    std::string before = Snapshot();
    EXPECT_TRUE(Song->MoveSelectedParts(1, 1000));
    EXPECT_TRUE(SameText(before, Snapshot()));
    EXPECT_EQ(Undo().Kind, 0);
    // Controller 123 went out for each part taken, on its source track's channel.
    EXPECT_EQ(SentMessages(), (std::vector<std::uint32_t>{Cc(123, 0, 0), Cc(123, 0, 1)}));
}

TEST_F(PartCmdTest, MoveThatCannotPutAPartBackKeepsEveryPart) {
    // The second part moves into the first one's place; the first one's target overlaps a
    // part, so it has to go back, and its place is taken.
    AddPart(0, 100, 200, {}, false, "blocker");
    AddPart(0, 960, 960, kNote, true, "first");
    AddPart(0, 1920, 960, kNote, true, "second");
    std::string before = Snapshot();
    EXPECT_TRUE(Song->MoveSelectedParts(0, -960));
    EXPECT_TRUE(SameText(before, Snapshot()));
    EXPECT_TRUE(CheckSongInvariants(*Song));
    EXPECT_EQ(Undo().Kind, 0);
}

TEST_F(PartCmdTest, MoveAndCopyNeverGiveNegativeStarts) {
    AddPart(0, 480, 960, kNote);
    std::string before = Snapshot();
    EXPECT_TRUE(Song->MoveSelectedParts(0, -960));
    EXPECT_TRUE(SameText(before, Snapshot()));
    Song->CopySelectedParts(1, -960);
    EXPECT_EQ(Track(1)->Parts, nullptr);
    EXPECT_EQ(Undo().Kind, 0);
}

TEST_F(PartCmdTest, CopyGivesGroupsNewNumbers) {
    _TPart* a = AddPart(0, 0, 960, kNote);
    a->Group = 3;
    _TPart* b = AddPart(1, 0, 960, kNote, false);
    b->Group = 7; // a track without a selected part: not looked at
    _TPart* c = AddPart(0, 960, 960, {}, false);
    c->Group = 5; // after track 0's first selected part: counted
    Song->CopySelectedParts(0, 1920);
    _TPart* copy = Track(0)->Parts->Next->Next;
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->Start, 1920);
    EXPECT_EQ(copy->Group, 9);
    EXPECT_TRUE(copy->Flags & pfSelected);
    EXPECT_FALSE(a->Flags & pfSelected);
    EXPECT_EQ(Song->CurrentPart, copy);
    EXPECT_EQ(Undo().Parts.size(), 1u);
}

TEST_F(PartCmdTest, DeleteWithAndWithoutUndo) {
    _TPart* p = AddPart(0, 0, 960, kNote);
    Song->SetCurrentPart(p);
    Song->State = 2;
    Song->DeleteSelectedParts(true);
    EXPECT_EQ(Track(0)->Parts, nullptr);
    EXPECT_EQ(Song->CurrentPart, nullptr);
    ASSERT_EQ(Undo().Parts.size(), 1u);
    EXPECT_EQ(Undo().Parts[0], p); // the part itself
    EXPECT_EQ(SentMessages(), std::vector<std::uint32_t>{Cc(123, 0)});
    Song->State = 0;
    Song->Undo();
    EXPECT_EQ(Track(0)->Parts, p);
    Song->DeleteSelectedParts(false);
    EXPECT_EQ(Track(0)->Parts, nullptr);
    EXPECT_EQ(Undo().Kind, 0);
    EXPECT_TRUE(SentMessages().empty()); // stopped: no controller 123
}

TEST_F(PartCmdTest, AppendPutsCopiesAfterTheSelection) {
    AddPart(0, 0, 960, kNote);
    AddPart(1, 480, 960, kNote);
    Song->AppendParts();
    ASSERT_NE(Track(0)->Parts->Next, nullptr);
    EXPECT_EQ(Track(0)->Parts->Next->Start, 1440);
    EXPECT_EQ(Track(1)->Parts->Next->Start, 1920);
    EXPECT_EQ(Song->SelectedPartCount(), 2);
    EXPECT_EQ(Song->CurrentPart, nullptr);
    EXPECT_EQ(Undo().Caption, "Undo append");
    // Nothing selected: nothing to undo.
    Song->UnselectAllParts();
    Song->AppendParts();
    EXPECT_EQ(Undo().Kind, 0);
}

TEST_F(PartCmdTest, GlueJoinsTheRunAfterTheFirstSelectedPart) {
    _TPart* a = AddPart(0, 0, 960, {{0, On(60)}, {100, Off(60)}});
    AddPart(0, 1200, 480, {{10, On(62)}, {20, Off(62)}});
    AddPart(0, 1680, 240, {}, false);
    AddPart(0, 1920, 480, kNote); // after the unselected one: stays
    Song->GlueParts();
    EXPECT_EQ(a->Length, 1680);
    EXPECT_EQ(a->Next->Start, 1680);
    EXPECT_EQ(Events(a), (Ev{{0, On(60)}, {100, Off(60)}, {1210, On(62)}, {1220, Off(62)}}));
    EXPECT_EQ(a->EndTime, 1220);
    EXPECT_EQ(Undo().Parts.size(), 2u);
    EXPECT_EQ(Song->CurrentPart, nullptr); // two selected parts are left
    EXPECT_TRUE(CheckSongInvariants(*Song));

    // The part after the first selected one is unselected: nothing joins, the copy is saved.
    Song->Clear();
    AddPart(0, 0, 960, kNote);
    AddPart(0, 960, 960, kNote, false);
    Song->GlueParts();
    EXPECT_EQ(Undo().Kind, 7);
    EXPECT_EQ(Undo().Parts.size(), 1u);
    EXPECT_EQ(Track(0)->Parts->Length, 960);
}

TEST_F(PartCmdTest, GlueOfEmptyParts) {
    // An empty first part takes over the next part's events at their places.
    _TPart* a = AddPart(0, 0, 480);
    AddPart(0, 960, 960, {{30, On(60)}, {50, Off(60)}});
    Song->GlueParts();
    EXPECT_EQ(a->Length, 1920);
    EXPECT_EQ(Events(a), (Ev{{990, On(60)}, {1010, Off(60)}}));
    EXPECT_TRUE(CheckSongInvariants(*Song));
    // An empty next part only lengthens the first.
    Song->Clear();
    a = AddPart(0, 0, 480, {{30, On(60)}, {50, Off(60)}});
    AddPart(0, 960, 960);
    Song->GlueParts();
    EXPECT_EQ(a->Length, 1920);
    EXPECT_EQ(a->EndTime, 50);
    EXPECT_EQ(Events(a), (Ev{{30, On(60)}, {50, Off(60)}}));
    EXPECT_TRUE(CheckSongInvariants(*Song));
    // Both empty.
    Song->Clear();
    a = AddPart(0, 0, 480);
    AddPart(0, 960, 960);
    Song->GlueParts();
    EXPECT_EQ(a->Length, 1920);
    EXPECT_EQ(a->Events, nullptr);
    EXPECT_TRUE(CheckSongInvariants(*Song));
}

TEST_F(PartCmdTest, SplitEndsCrossingNotesBeforeTheCut) {
    _TPart* p = AddPart(
        0, 0, 1920, {{0, On(60)}, {500, Off(60)}, {600, On(62)}, {960, Cc(7, 1)}, {1000, Off(62)}});
    Song->SplitParts(960, 960, false);
    _TPart* right = p->Next;
    ASSERT_NE(right, nullptr);
    EXPECT_EQ(p->Length, 960);
    EXPECT_EQ(right->Start, 960);
    EXPECT_EQ(right->Length, 960);
    EXPECT_EQ(right->Next, nullptr); // cut once
    EXPECT_EQ(Events(p), (Ev{{0, On(60)}, {500, Off(60)}, {600, On(62)}, {959, Off(62)}}));
    // The crossing note's note off stays behind the cut (the left half got it).
    EXPECT_EQ(Events(right), (Ev{{0, Cc(7, 1)}}));
    EXPECT_TRUE(p->Flags & pfSelected);
    EXPECT_TRUE(right->Flags & pfSelected);
    EXPECT_EQ(right->Name, "p");
    EXPECT_EQ(Undo().Arg1, 960);
    EXPECT_EQ(Undo().Arg2, 960);
    EXPECT_EQ(Undo().Parts.size(), 3u);
    EXPECT_TRUE(Undo().Parts[0]->Flags & pfBeforeSplit);
    EXPECT_TRUE(CheckSongInvariants(*Song));
    EXPECT_TRUE(CheckSongNotePairing(*Song));
}

TEST_F(PartCmdTest, SplitSkipsDiskTracksAndUnselectedParts) {
    Track(1)->Mode = tmDisk;
    AddPart(1, 0, 960);
    AddPart(0, 0, 960, {}, false);
    Song->SplitParts(480, 480, true);
    EXPECT_EQ(Undo().Kind, 0);
    Song->SplitParts(480, 480, false);
    EXPECT_EQ(Track(1)->Parts->Next, nullptr);
    EXPECT_NE(Track(0)->Parts->Next, nullptr);
}

TEST_F(PartCmdTest, ResizeAtTheEnd) {
    _TPart* p = AddPart(
        0, 0, 960, {{0, On(60)}, {600, Off(60)}, {700, On(62)}, {720, Cc(1, 3)}, {900, Off(62)}});
    _TPart* next = AddPart(0, 1440, 480, {}, false);
    EXPECT_FALSE(ResizePart(p, 3, true));  // would run past the next part
    EXPECT_FALSE(ResizePart(p, -4, true)); // no length left
    EXPECT_EQ(Undo().Kind, 0);
    EXPECT_FALSE(ResizePart(p, 2, true));
    EXPECT_EQ(p->Length, 1440);
    EXPECT_EQ(p->Next, next);
    // Shorter: notes starting past the end go, notes running past it end at its end.
    EXPECT_TRUE(ResizePart(p, -4, true));
    EXPECT_EQ(p->Length, 480);
    EXPECT_EQ(Events(p), (Ev{{0, On(60)}, {479, Off(60)}}));
    EXPECT_EQ(Undo().Caption, "Undo resize");
    EXPECT_TRUE(CheckSongNotePairing(*Song));
}

TEST_F(PartCmdTest, ResizeAtTheStart) {
    _TPart* a = AddPart(0, 0, 480, {}, false);
    _TPart* p =
        AddPart(0, 960, 960, {{100, On(60)}, {300, Off(60)}, {500, On(62)}, {600, Off(62)}});
    // Earlier: limited by the part directly before.
    EXPECT_FALSE(ResizePart(p, -4, false));
    EXPECT_EQ(p->Start, 480);
    EXPECT_EQ(p->Length, 1440);
    EXPECT_EQ(Events(p), (Ev{{580, On(60)}, {780, Off(60)}, {980, On(62)}, {1080, Off(62)}}));
    EXPECT_EQ(Undo().Parts.size(), 2u);
    Song->Undo();
    // Later: what lies before the new start goes.
    EXPECT_TRUE(ResizePart(p = Track(0)->Parts->Next, 1, false));
    EXPECT_EQ(p->Start, 1200);
    EXPECT_EQ(p->Length, 720);
    EXPECT_EQ(Events(p), (Ev{{260, On(62)}, {360, Off(62)}}));
    EXPECT_TRUE(CheckSongInvariants(*Song));
    // The first part is limited at 0; an empty part moves only its start and length.
    EXPECT_FALSE(ResizePart(a, -2, false));
    EXPECT_EQ(a->Start, 0);
    Song->Clear();
    a = AddPart(0, 960, 480);
    EXPECT_FALSE(ResizePart(a, -2, false));
    EXPECT_EQ(a->Start, 480);
    EXPECT_EQ(a->Length, 960);
    EXPECT_EQ(a->EndTime, 0);
    EXPECT_FALSE(ResizePart(a, 1, false));
    EXPECT_EQ(a->Start, 720);
    EXPECT_EQ(a->Length, 720);
    EXPECT_TRUE(CheckSongInvariants(*Song));
}

TEST_F(PartCmdTest, RenameMuteAndGroups) {
    _TPart* a = AddPart(0, 0, 960, kNote);
    _TPart* b = AddPart(1, 0, 960, kNote, false);
    Song->UnselectAllParts();
    Song->RenameSelectedParts("x");
    EXPECT_EQ(Undo().Kind, 16); // rename leaves its step open
    a->Flags |= pfSelected;
    Song->RenameSelectedParts("x");
    EXPECT_EQ(a->Name, "x");

    Song->ToggleSelectedPartsMute();
    EXPECT_TRUE(a->Flags & pfMuted);
    EXPECT_EQ(SentMessages(), std::vector<std::uint32_t>{Cc(123, 0)});
    Song->ToggleSelectedPartsMute();
    EXPECT_FALSE(a->Flags & pfMuted);
    EXPECT_TRUE(SentMessages().empty());

    b->Group = 4;
    Song->GroupSelectedParts();
    EXPECT_EQ(a->Group, 5);
    Song->UnselectAllParts();
    Song->SelectGroup(5);
    EXPECT_TRUE(a->Flags & pfSelected);
    EXPECT_FALSE(b->Flags & pfSelected);
    Song->UngroupSelectedParts();
    EXPECT_EQ(a->Group, 0);
    Song->UnselectAllParts();
    Song->SelectGroup(0); // every part in no group
    EXPECT_TRUE(a->Flags & pfSelected);
    EXPECT_FALSE(b->Flags & pfSelected);
}

TEST_F(PartCmdTest, ResetsOfATrackWithoutChannelGoOnThePartsChannels) {
    Track(0)->Channel = -1;
    AddPart(0, 0, 960, {{0, On(60, 100, 2)}, {10, Cc(7, 1, 5)}, {20, Off(60, 2)}});
    Song->ToggleSelectedPartsMute();
    EXPECT_EQ(SentMessages(), (std::vector<std::uint32_t>{Cc(123, 0, 2), Cc(123, 0, 5)}));
}

TEST_F(PartCmdTest, MoveTrackShiftsTheRowsBetween) {
    _TTrack* t1 = Track(1);
    _TTrack* t3 = Track(3);
    AddPart(3, 0, 960);
    Song->MoveTrack(1, 3);
    EXPECT_EQ(Track(3), t1);
    EXPECT_EQ(Track(2), t3);
    EXPECT_EQ(t3->Parts->Track, 2);
    EXPECT_EQ(Song->CurrentTrackIndex, 3);
    Song->MoveTrack(3, 128); // out of range: nothing
    EXPECT_EQ(Track(3), t1);
    EXPECT_TRUE(CheckSongInvariants(*Song));
}

// The solo and the clipboard's copies follow the tracks a move takes along: the moved one and
// the ones shifted by it, and a track outside the rows between keeps its index.
TEST_F(PartCmdTest, MoveTrackTakesTheSoloAndTheClipboardAlong) {
    struct Case {
        int from, to, solo, soloAfter;
    };
    int start = 0;
    for (const Case c : {Case{5, 2, 5, 2}, Case{5, 2, 3, 4}, Case{1, 4, 3, 2}, Case{1, 4, 7, 7}}) {
        SCOPED_TRACE(testing::Message() << c.from << " -> " << c.to << ", solo " << c.solo);
        Song->SoloTrack = c.solo;
        _TPart* copy = CopyPart(AddPart(c.solo, start, 960));
        start += 960;
        copy->Next = nullptr;
        Song->ClearClipboard();
        Song->Clipboard = copy;
        Song->MoveTrack(c.from, c.to);
        EXPECT_EQ(Song->SoloTrack, c.soloAfter);
        EXPECT_EQ(copy->Track, c.soloAfter);
        Song->ClearClipboard();
    }
    Song->SoloTrack = -1;
    Song->MoveTrack(0, 3);
    EXPECT_EQ(Song->SoloTrack, -1);
    EXPECT_TRUE(CheckSongInvariants(*Song));
}
