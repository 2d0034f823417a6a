#include "devices/midimsg.h"
#include "song/primitives.h"
#include "song/timebase.h"
#include "song_fixture.h"
#include "song_invariants.h"
#include "support/scripted_dialogs.h"

#include <gtest/gtest.h>

#include <climits>
#include <utility>
#include <vector>

namespace {

std::uint32_t On(int key, int vel = 100) {
    return PackMidiMsg(0x90, key, vel);
}
std::uint32_t Off(int key) {
    return PackMidiMsg(0x80, key, 0);
}
std::uint32_t Cc(int n, int v) {
    return PackMidiMsg(0xB0, n, v);
}

class PrimitivesTest : public SongTest {
protected:
    _TTrack* Track(int i = 0) { return Song->Tracks[i].get(); }

    // A part linked into a track, with events at the given times from its start.
    _TPart* AddPart(int track, int start, int length,
                    std::vector<std::pair<int, std::uint32_t>> events = {}) {
        _TPart* p = NewPart("p", start, length, track);
        EXPECT_TRUE(InsertPart(Track(track), p));
        int last = 0;
        for (auto [t, m] : events) {
            AppendEvent(p, NewEvent(t - last, m));
            last = t;
        }
        EXPECT_EQ(p->Length, length);
        return p;
    }

    // (time from the part start, message) of every event.
    static std::vector<std::pair<int, std::uint32_t>> Events(const _TPart* p) {
        std::vector<std::pair<int, std::uint32_t>> out;
        int time = 0;
        for (const _TEvent* e = p->Events; e; e = e->Next)
            out.push_back({time += e->Delta, e->Msg});
        return out;
    }
};

using Ev = std::vector<std::pair<int, std::uint32_t>>;

} // namespace

TEST_F(PrimitivesTest, NewRecordsHaveTheirDefaults) {
    _TEvent* e = NewEvent(30, On(60));
    EXPECT_EQ(e->ToGo, 30);
    EXPECT_EQ(e->Flags, 0u);
    EXPECT_EQ(e->Next, nullptr);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(e->Data));
    FreeEvent(e);
    _TPart* p = NewPart("n", 10, 20, 3);
    EXPECT_EQ(p->Flags, pfRedraw);
    EXPECT_EQ(p->Sample, -1);
    EXPECT_EQ(p->Group, 0);
    EXPECT_EQ(p->EndTime, 0);
    FreePart(p);
}

TEST_F(PrimitivesTest, InsertPartKeepsTheTrackInOrder) {
    struct Case {
        const char* what;
        int start, length;
        bool events, ok;
        int length_after;
    } cases[] = {
        {"before, touching", 0, 960, false, true, 960},
        {"before, overlapping", 0, 1000, false, false, 1000},
        {"before, overlapping, with events", 0, 1000, true, false, 1000},
        {"same start as the first", 960, 100, false, false, 100},
        {"between, touching both", 1920, 960, false, true, 960},
        {"overlapping the previous", 1900, 100, false, false, 100},
        {"same start as the next", 2880, 100, false, false, 100},
        {"running into the next, empty: shortened", 2000, 2000, false, true, 880},
        {"running into the next, with events", 2000, 2000, true, false, 2000},
        {"after the last", 3840, 10, false, true, 10},
        {"without length", 5000, 0, false, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Song->Clear();
        AddPart(0, 960, 960);
        AddPart(0, 2880, 960);
        _TPart* p = NewPart("new", c.start, c.length, 0);
        if (c.events) {
            _TPart* q = p;
            InsertEvent(q, NewEvent(0, Cc(7, 1)));
        }
        EXPECT_EQ(InsertPart(Track(), p), c.ok);
        EXPECT_EQ(p->Length, c.length_after);
        EXPECT_TRUE(CheckSongInvariants(*Song));
        if (!c.ok) FreePart(p);
    }
    Song->Clear();
    _TPart* first = NewPart("first", 100, 10, 0);
    EXPECT_TRUE(InsertPart(Track(), first)); // an empty track takes any part
    EXPECT_EQ(UnlinkPartAt(Track(), 99), nullptr);
    EXPECT_EQ(UnlinkPartAt(Track(), 100), first);
    EXPECT_EQ(Track()->Parts, nullptr);
    FreePart(first);
}

TEST_F(PrimitivesTest, InsertEventPlacesEqualTimesAfterExceptAtTheHead) {
    _TPart* p = AddPart(0, 0, 960, {{0, Cc(1, 1)}, {480, Cc(2, 2)}});
    _TPart* q = p;
    EXPECT_EQ(InsertEvent(q, NewEvent(0, Cc(3, 3))), 0);
    EXPECT_EQ(InsertEvent(q, NewEvent(480, Cc(4, 4))), 0);
    EXPECT_EQ(InsertEvent(q, NewEvent(200, Cc(5, 5))), 0);
    EXPECT_EQ(
        Events(p),
        (Ev{{0, Cc(3, 3)}, {0, Cc(1, 1)}, {200, Cc(5, 5)}, {480, Cc(2, 2)}, {480, Cc(4, 4)}}));
    EXPECT_EQ(p->EndTime, 480);
    EXPECT_TRUE(CheckPartInvariants(*p));
}

TEST_F(PrimitivesTest, InsertEventPastTheEndGrowsOrHandsOver) {
    struct Case {
        const char* what;
        int next_start; // -1: no next part
        int tick;
        int result, length, next_tick; // next_tick -1: the event stays in the first part
    } cases[] = {
        {"next part at the end", 960, 960, 0, 960, 0},
        {"next part half a bar later", 1440, 960, 0, 960, 0},
        {"no next part", -1, 960, 4, 1920, -1},
        {"no next part, far", -1, 5000, 4, 5760, -1},
        // Growth stops at the next part instead of overlapping it.
        {"next part 540 ticks later, event fits", 1500, 960, 4, 1500, -1},
        {"next part 540 ticks later, event beyond", 1500, 1600, 0, 1500, 100},
        {"next part three bars later", 3840, 3000, 4, 3840, -1},
        {"next part three bars later, beyond", 3840, 3900, 0, 3840, 60},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Song->Clear();
        _TPart* p = AddPart(0, 0, 960, {{100, On(60)}, {200, Off(60)}});
        _TPart* next = c.next_start >= 0 ? AddPart(0, c.next_start, 960) : nullptr;
        p->Flags = 0;
        _TPart* q = p;
        EXPECT_EQ(InsertEvent(q, NewEvent(c.tick, Cc(7, 9))), c.result);
        EXPECT_EQ(p->Length, c.length);
        if (c.next_tick < 0) {
            EXPECT_EQ(q, p);
            EXPECT_EQ(Events(p).back(), std::make_pair(c.tick, Cc(7, 9)));
        } else {
            EXPECT_EQ(q, next);
            EXPECT_TRUE(p->Flags & pfRedraw);
            EXPECT_EQ(Events(next), (Ev{{c.next_tick, Cc(7, 9)}}));
        }
        EXPECT_TRUE(CheckSongInvariants(*Song));
        EXPECT_TRUE(CheckSongNotePairing(*Song));
    }
}

TEST_F(PrimitivesTest, GrowthByHostileBarsEnds) {
    for (int bpb : {0, -4, 1, 1 << 30}) {
        SCOPED_TRACE(bpb);
        Song->Clear();
        Song->BeatsPerBar = bpb;
        _TPart* p = AddPart(0, 0, 960);
        _TPart* q = p;
        EXPECT_EQ(InsertEvent(q, NewEvent(5000, Cc(7, 1))), 4);
        EXPECT_GT(p->Length, 5000);
        AppendEvent(p, NewEvent(100000, Cc(7, 2)));
        EXPECT_GT(p->Length, p->EndTime);
        EXPECT_TRUE(CheckSongInvariants(*Song));
        EXPECT_EQ(BarsToNextPart(p), -1);
    }
    // A part at the end of the tick range keeps the event on its last tick.
    Song->Clear();
    _TPart* p = AddPart(0, INT_MAX - 1000, 960);
    _TPart* q = p;
    InsertEvent(q, NewEvent(INT_MAX, Cc(7, 3)));
    EXPECT_EQ(p->Length, 1000);
    EXPECT_EQ(p->EndTime, 999);
    EXPECT_TRUE(CheckSongInvariants(*Song));
}

TEST_F(PrimitivesTest, RecordingWrapsAtTheRightLocator) {
    _TPart* p = AddPart(0, 960, 960);
    Song->State = 1;
    Song->Looping = 1;
    Song->RightLocator = 1920;
    _TPart* q = p;
    EXPECT_EQ(InsertEvent(q, NewEvent(1000, On(60))), 0);
    EXPECT_EQ(InsertEvent(q, NewEvent(1000, Off(60))), 0);
    EXPECT_EQ(Events(p), (Ev{{40, On(60)}, {959, Off(60)}}));
    Song->State = 0;
}

TEST_F(PrimitivesTest, AppendEventBuildsAPartFromEmpty) {
    _TPart* p = NewPart("copy", 0, 960, 0);
    EXPECT_EQ(AppendEvent(p, NewEvent(100, On(60))), 0);
    EXPECT_EQ(AppendEvent(p, NewEvent(900, Off(60))), 4); // reaches 1000: one bar more
    EXPECT_EQ(p->Length, 1920);
    EXPECT_EQ(Events(p), (Ev{{100, On(60)}, {1000, Off(60)}}));
    // Another primitive forgets the tail; appending finds it again.
    _TPart* q = p;
    InsertEvent(q, NewEvent(50, Cc(1, 1)));
    AppendEvent(p, NewEvent(10, Cc(2, 2)));
    EXPECT_EQ(Events(p).back(), std::make_pair(1010, Cc(2, 2)));
    FreePartEvents(p);
    EXPECT_EQ(p->Last, nullptr);
    AppendEvent(p, NewEvent(5, Cc(3, 3)));
    EXPECT_EQ(Events(p), (Ev{{5, Cc(3, 3)}}));
    EXPECT_TRUE(CheckPartInvariants(*p));
    FreePart(p);
}

TEST_F(PrimitivesTest, AppendEventHandsOverInsteadOfOverlapping) {
    _TPart* rec = AddPart(0, 0, 960);
    _TPart* next = AddPart(0, 1200, 960);
    AppendEvent(rec, NewEvent(900, On(60)));
    EXPECT_EQ(AppendEvent(rec, NewEvent(400, Off(60))), 4); // at 1300: past the next start
    EXPECT_EQ(rec->Length, 1200);
    EXPECT_EQ(Events(rec), (Ev{{900, On(60)}}));
    EXPECT_EQ(Events(next), (Ev{{100, Off(60)}}));
    EXPECT_TRUE(CheckSongInvariants(*Song));
}

TEST_F(PrimitivesTest, DeltaAndAbsoluteFormsRoundTrip) {
    _TPart* p =
        AddPart(0, 0, 4000, {{0, Cc(1, 1)}, {10, Cc(2, 2)}, {10, Cc(3, 3)}, {3000, Cc(4, 4)}});
    Ev before = Events(p);
    EventsToAbsolute(p);
    std::vector<int> abs;
    for (_TEvent* e = p->Events; e; e = e->Next)
        abs.push_back(e->Delta);
    EXPECT_EQ(abs, (std::vector<int>{0, 10, 10, 3000}));
    p->EndTime = -5;
    EventsToDelta(p);
    EXPECT_EQ(Events(p), before);
    EXPECT_EQ(p->EndTime, 3000);
    _TPart empty;
    empty.EndTime = 7;
    EventsToDelta(&empty);
    EXPECT_EQ(empty.EndTime, 0);
}

TEST_F(PrimitivesTest, SortKeepsEqualTimesInOrder) {
    _TPart* p = NewPart("s", 0, 960, 0);
    // An absolute list out of order: 50a 10b 50c 10d 0e
    int times[] = {50, 10, 50, 10, 0};
    for (int i = 0; i < 5; ++i)
        AppendEvent(p, NewEvent(0, Cc(i, 0)));
    int i = 0;
    for (_TEvent* e = p->Events; e; e = e->Next)
        e->Delta = times[i++];
    SetEventValue(*p->Events, 0x12345678); // data travels with the contents
    SortPartEvents(p);
    std::vector<std::pair<int, int>> got;
    for (_TEvent* e = p->Events; e; e = e->Next)
        got.push_back({e->Delta, int(MidiData1(e->Msg))});
    EXPECT_EQ(got, (std::vector<std::pair<int, int>>{{0, 4}, {10, 1}, {10, 3}, {50, 0}, {50, 2}}));
    EXPECT_EQ(EventValue(*p->Events->Next->Next->Next), 0x12345678u);
    EventsToDelta(p);
    EXPECT_TRUE(CheckPartInvariants(*p));
    FreePart(p);
}

TEST_F(PrimitivesTest, CopyPartCopiesBlocksAndValues) {
    _TPart* p = AddPart(
        0, 480, 960,
        {{0, PackMidiMsg(0xF0, 0, 0)}, {10, PackMidiMsg(0xF0, 1, 0)}, {20, On(60)}, {30, Off(60)}});
    const std::uint8_t bytes[] = {0xF0, 0x41, 0x10, 0xF7};
    SetEventBlock(*p->Events, bytes, 4);
    SetEventValue(*p->Events->Next, 0x01020304);
    p->Events->Next->Next->Flags = efSelected;
    p->Flags = pfSelected | pfMuted;
    p->Group = 3;
    p->Sample = 2;
    _TPart* c = CopyPart(p);
    EXPECT_EQ(c->Flags, pfSelected | pfMuted | pfRedraw);
    EXPECT_EQ(c->Group, 0);
    EXPECT_EQ(c->Sample, 2);
    EXPECT_EQ(c->Start, 480);
    EXPECT_EQ(Events(c), Events(p));
    ASSERT_NE(EventBlock(*c->Events), nullptr);
    EXPECT_NE(EventBlock(*c->Events), EventBlock(*p->Events));
    EXPECT_EQ(std::vector<std::uint8_t>(EventBlock(*c->Events), EventBlock(*c->Events) + 4),
              std::vector<std::uint8_t>(bytes, bytes + 4));
    EXPECT_EQ(c->Events->DataLen, 4);
    EXPECT_EQ(EventValue(*c->Events->Next), 0x01020304u);
    EXPECT_EQ(c->Events->Next->Next->Flags, efSelected);
    FreePart(c);
}

TEST_F(PrimitivesTest, NoteQueries) {
    _TPart* p = AddPart(0, 0, 960,
                        {{0, On(60)},
                         {0, On(64)},
                         {100, Off(64)},
                         {120, Off(60)},
                         {200, Cc(7, 1)},
                         {300, PackMidiMsg(0x91, 60, 90)},
                         {400, PackMidiMsg(0x90, 60, 0)}});
    _TEvent* c60 = FirstNoteOn(p, 60);
    _TEvent* e64 = FirstNoteOn(p, 64);
    EXPECT_EQ(FirstNoteOn(p, -1), c60);
    EXPECT_EQ(NoteLength(p, c60), 120);
    EXPECT_EQ(NoteLength(p, e64), 100);
    EXPECT_EQ(FindNoteOff(c60)->Msg, Off(60));
    _TEvent* second = NextNoteOn(c60, 60);
    EXPECT_EQ(EventTime(p, second), 300);
    EXPECT_EQ(NoteLength(p, second), 100); // a 0x90 with velocity 0 ends it
    EXPECT_EQ(NextNoteOn(c60, -1), e64);
    EXPECT_EQ(NoteAt(p, 119, 60), c60);
    EXPECT_EQ(NoteAt(p, 120, 60), nullptr);
    EXPECT_EQ(NoteAt(p, 350, 60), second);
    EXPECT_EQ(TicksToNextNote(e64), 300);
    EXPECT_EQ(TicksToNextNote(second), -1);
    EXPECT_EQ(CountPartEvents(p), 7);
    EXPECT_EQ(CountSelectedNotes(nullptr), 0);
    EXPECT_TRUE(PartContainsTick(p, 959));
    EXPECT_FALSE(PartContainsTick(p, 960));
    EXPECT_EQ(PartAtTick(Track(), 500), p);
    EXPECT_EQ(PartAtTick(Track(), 960), nullptr);
}

TEST_F(PrimitivesTest, FindNoteOffOnABrokenPartSaysSo) {
    _TPart* p = AddPart(0, 0, 960, {{0, On(60)}, {10, Cc(7, 1)}});
    ScriptedDialogs dialogs;
    dialogs.Answer(platform::IDOK, "1201").Answer(platform::IDOK, "1201");
    EXPECT_EQ(FindNoteOff(p->Events), nullptr);
    EXPECT_EQ(FindNoteOff(p->Events->Next), nullptr); // not a note on
    auto boxes = dialogs.Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].Text, "Internal error: 1201. Part is invalide");
    EXPECT_EQ(boxes[0].Caption, "Error");
    EXPECT_EQ(boxes[0].Icon, platform::MB_ICONERROR);
}

TEST_F(PrimitivesTest, BarsAndGapToTheNextPart) {
    _TPart* a = AddPart(0, 0, 960, {{100, Cc(7, 1)}});
    EXPECT_EQ(BarsToNextPart(a), -1);
    EXPECT_EQ(GapToNextPart(a), INT_MAX);
    _TPart* b = AddPart(0, 1440, 960);
    EXPECT_EQ(BarsToNextPart(a), 0); // exactly half a bar
    EXPECT_EQ(GapToNextPart(a), 1340);
    AddPart(0, 2400 + 1440, 960);
    EXPECT_EQ(BarsToNextPart(b), 2); // one and a half bars: to the even 2
}

TEST_F(PrimitivesTest, EventSelection) {
    _TPart* p = AddPart(0, 0, 960,
                        {{0, On(60)}, {10, On(60)}, {20, Off(60)}, {30, Off(60)}, {40, Cc(7, 1)}});
    _TEvent* on1 = p->Events;
    _TEvent* on2 = on1->Next;
    _TEvent* off1 = on2->Next;
    _TEvent* off2 = off1->Next;
    _TEvent* cc = off2->Next;
    SelectNote(p, on2);
    EXPECT_EQ(on2->Flags, efSelected | efRedraw);
    EXPECT_EQ(off1->Flags, efSelected); // selected bit only
    SelectNote(p, on1);                 // its note off is the first unselected one
    EXPECT_EQ(off2->Flags, efSelected);
    EXPECT_EQ(CountSelectedNotes(p), 2);
    EXPECT_EQ(CountSelectedEvents(p), 4);
    EXPECT_EQ(FirstSelectedNote(p, -1), on1);
    EXPECT_EQ(LastSelectedNote(p, 60), on2);
    DeselectNote(p, on1);
    EXPECT_FALSE(on1->Flags & efSelected);
    EXPECT_FALSE(off1->Flags & efSelected);
    EXPECT_TRUE(off2->Flags & efSelected);

    for (_TEvent* e = p->Events; e; e = e->Next)
        e->Flags = 0;
    cc->Flags = efSelected;
    EXPECT_TRUE(SelectAllNotes(p));
    EXPECT_EQ(cc->Flags, 0u); // deselected without the redraw bit
    EXPECT_EQ(CountSelectedEvents(p), 4);
    EXPECT_FALSE(SelectAllNotes(p));
    EXPECT_TRUE(SelectAllEvents(p));
    EXPECT_FALSE(SelectAllEvents(p));
    EXPECT_TRUE(UnselectEvents(p));
    EXPECT_FALSE(UnselectEvents(p));
    EXPECT_TRUE(InvertSelection(p));
    EXPECT_EQ(CountSelectedEvents(p), 5);
    EXPECT_EQ(FirstSelectedEvent(p), on1);
    EXPECT_TRUE(IsEventSelected(cc));
}

TEST_F(PrimitivesTest, ToggleNotesInAreaTakesPartners) {
    _TPart* p = AddPart(0, 0, 960,
                        {{0, On(60)},
                         {100, Off(60)},
                         {200, On(62)},
                         {300, Off(62)},
                         {400, On(70)},
                         {500, Off(70)}});
    EXPECT_TRUE(ToggleNotesInArea(p, 50, 55, 250, 65)); // 60 holds T1, 62 holds T2
    EXPECT_EQ(CountSelectedEvents(p), 4);
    for (_TEvent* e = p->Events; e; e = e->Next)
        EXPECT_FALSE(e->Flags & efWork);
    EXPECT_TRUE(ToggleNotesInArea(p, 0, 0, 960, 127)); // all lie between: 60/62 off, 70 on
    EXPECT_EQ(CountSelectedNotes(p), 1);
    EXPECT_EQ(CountSelectedEvents(p), 2);
    EXPECT_FALSE(ToggleNotesInArea(p, 600, 0, 900, 127));
}

TEST_F(PrimitivesTest, PartSelectionOverTracks) {
    _TPart* a = AddPart(2, 960, 960);
    _TPart* b = AddPart(5, 0, 480);
    _TPart* c = AddPart(5, 2000, 1000);
    _TPart* d = AddPart(7, 1000, 2000);
    Song->SelectAllParts();
    EXPECT_EQ(Song->SelectedPartCount(), 4);
    EXPECT_EQ(Song->CurrentPart, nullptr); // four newly selected
    Song->UnselectAllParts();
    EXPECT_EQ(Song->SelectedPartCount(), 0);
    b->Flags |= pfSelected;
    Song->SelectAllParts();
    EXPECT_EQ(Song->CurrentPart, nullptr);
    Song->UnselectAllParts();
    a->Flags |= pfSelected;
    b->Flags |= pfSelected;
    c->Flags |= pfSelected;
    Song->SelectAllParts(); // only d is new
    EXPECT_EQ(Song->CurrentPart, d);
    EXPECT_EQ(Song->FirstSelectedPart(), a);
    EXPECT_EQ(Song->EarliestSelectedPart(), b);
    EXPECT_EQ(Song->LastTrackSelectedPart(), d);
    EXPECT_EQ(Song->LatestSelectedPart(), c); // ends at 3000 like d; the lower track wins
    EXPECT_EQ(TrackSelectedPartCount(Track(5)), 2);
    EXPECT_EQ(TrackLastSelectedPart(Track(5)), c);
    TSong::TRect r;
    Song->SelectedPartsRect(r);
    EXPECT_EQ(r.Left, 0);
    EXPECT_EQ(r.Right, 74); // 3000 x 6 / 240 - 1
    EXPECT_EQ(r.Top, 2 * 18);
    EXPECT_EQ(r.Bottom, 8 * 18 - 2);
    Song->UnselectAllParts();
    EXPECT_TRUE(Song->TogglePartsInArea(6, 1500, -3, -10)); // tracks 0..6, ticks 0..1500
    EXPECT_TRUE(a->Flags & pfSelected);                     // holds 1500
    EXPECT_TRUE(b->Flags & pfSelected);                     // holds 0
    EXPECT_FALSE(c->Flags & pfSelected);                    // starts later
    EXPECT_FALSE(d->Flags & pfSelected);                    // track 7
}

TEST_F(PrimitivesTest, SelectedNotesRect) {
    _TPart* p = AddPart(0, 0, 960, {{60, On(60)}, {120, Off(60)}, {180, On(72)}, {300, Off(72)}});
    TSong::TRect r;
    SelectedNotesRect(p, true, r); // nothing selected: every extreme is -1
    EXPECT_EQ(r.Left, FloorToInt(-16.0f / 60));
    EXPECT_EQ(r.Right, r.Left);
    EXPECT_EQ(r.Top, NoteToKeyY(-1));
    EXPECT_EQ(r.Bottom, NoteToKeyY(-1) + NoteHeight);
    SelectAllNotes(p);
    SelectedNotesRect(p, true, r);
    EXPECT_EQ(r.Left, 16); // FloorToInt of the whole even 16
    EXPECT_EQ(r.Right, 80);
    EXPECT_EQ(r.Top, NoteToKeyY(72));
    EXPECT_EQ(r.Bottom, NoteToKeyY(60) + 7);
    SelectedNotesRect(p, false, r);
    EXPECT_EQ(r.Top, 60 * 40);
    EXPECT_EQ(r.Bottom, 73 * 40);
}

TEST_F(PrimitivesTest, DeleteSelectedEventsChoosesTheNoteToSelectNext) {
    Track()->Mode = tmMidi;
    _TPart* p = AddPart(0, 0, 960,
                        {{0, On(60)},
                         {0, Cc(1, 1)},
                         {0, Cc(2, 2)},
                         {10, Off(60)},
                         {20, On(62)},
                         {30, Off(62)},
                         {40, On(64)},
                         {50, Off(64)}});
    SelectNote(p, FirstNoteOn(p, 62));
    DeleteSelectedEvents(p);
    EXPECT_EQ(Events(p), (Ev{{0, On(60)},
                             {0, Cc(1, 1)},
                             {0, Cc(2, 2)},
                             {10, Off(60)},
                             {40, On(64)},
                             {50, Off(64)}}));
    EXPECT_TRUE(FirstNoteOn(p, 64)->Flags & efSelected); // the note after the deleted one
    EXPECT_TRUE(CheckNotePairing(*p));
    // The last note deleted: the one before it is chosen.
    DeleteSelectedEvents(p);
    EXPECT_TRUE(FirstNoteOn(p, 60)->Flags & efSelected);
    // Marked and unselected events.
    p->Events->Next->Flags |= efWork;
    DeleteMarkedEvents(p);
    EXPECT_EQ(Events(p), (Ev{{0, On(60)}, {0, Cc(2, 2)}, {10, Off(60)}}));
    DeleteUnselectedEvents(p);
    EXPECT_EQ(Events(p), (Ev{{0, On(60)}, {10, Off(60)}}));
    EXPECT_TRUE(CheckPartInvariants(*p));
}

TEST_F(PrimitivesTest, DeletePartForgetsIt) {
    _TPart* p = AddPart(3, 0, 960, {{0, On(60)}, {10, Off(60)}});
    Song->SetCurrentPart(p);
    Song->RecordPart = p;
    DeletePart(Track(3), p);
    EXPECT_EQ(Track(3)->Parts, nullptr);
    EXPECT_EQ(Song->CurrentPart, nullptr);
    EXPECT_EQ(Song->RecordPart, nullptr);
}
