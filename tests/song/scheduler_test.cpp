#include "heap_counter.h"

#include "scheduler_fixture.h"
#include "song/recordpool.h"

#include <initializer_list>
#include <map>
#include <stdexcept>

using Lines = std::vector<std::string>;

namespace {
constexpr std::uint32_t On(int Key, int Vel = 100) {
    return PackMidiMsg(0x90, static_cast<std::uint32_t>(Key), static_cast<std::uint32_t>(Vel));
}
constexpr std::uint32_t Off(int Key) {
    return PackMidiMsg(0x80, static_cast<std::uint32_t>(Key), 0);
}
} // namespace

TEST_F(SchedulerRun, TwoTracksInTimeOrderAndEqualTimesInTheOrderQueued) {
    AddPart(0, 0, 960, {{0, On(60)}, {240, Off(60)}, {480, On(62)}, {720, Off(62)}});
    Song->Tracks[1]->Channel = 1; // the events' own channel 0 goes out as channel 2
    AddPart(1, 0, 960, {{0, On(64, 90)}, {240, PackMidiMsg(0xB0, 7, 100)}, {480, Off(64)}});
    Play(0);
    EXPECT_EQ(Song->Engine->Queue, nullptr) << "everything fitted into the first feed";
    clock.Advance(1000);
    EXPECT_EQ(Log(), (Lines{"0 90 3C 64", "0 91 40 5A", "240 80 3C 00", "240 B1 07 64",
                            "480 90 3E 64", "480 81 40 00", "720 80 3E 00"}));
}

TEST_F(SchedulerRun, ChannelsMutedNotesAndSystemExclusive) {
    Song->Tracks[0]->Channel = -1; // each event keeps its own channel
    _TPart* p =
        AddPart(0, 0, 960, {{0, On(60) + 2}, {100, On(61)}, {150, Off(61)}, {200, Off(60) + 2}});
    p->Events->Next->Flags |= efMuted;       // the note at 100 is muted
    p->Events->Next->Next->Flags |= efMuted; // with its note-off
    Song->Tracks[1]->Channel = 5;
    _TPart* q =
        AddPart(1, 0, 960, {{50, PackMidiMsg(msSysex, 0, 0)}, {60, PackMidiMsg(0xC0, 9, 0)}});
    const std::uint8_t block[] = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
    SetEventBlock(*q->Events, block, 6);
    Play(0);
    clock.Advance(300);
    EXPECT_EQ(Log(), (Lines{"0 92 3C 64", "60 C5 09", "200 82 3C 00"}));
}

TEST_F(SchedulerRun, ALoopStartedAtItsLeftLocatorAndANoteRunningPastItsEnd) {
    Loop(480, 960);
    // The note at 720 would end at 1000: it is ended one tick before the loop end, and its own
    // note-off and the events after the loop never play.
    AddPart(0, 0, 1920,
            {{480, On(60)},
             {600, Off(60)},
             {720, On(62)},
             {1000, Off(62)},
             {1200, On(64)},
             {1300, Off(64)}});
    Play(480);
    clock.Advance(1000);
    EXPECT_EQ(Log(),
              (Lines{"0 90 3C 64", "120 80 3C 00", "240 90 3E 64", "479 80 3E 64", "480 90 3C 64",
                     "600 80 3C 00", "720 90 3E 64", "959 80 3E 64", "960 90 3C 64"}));
}

TEST_F(SchedulerRun, ALoopWithoutEventsOrClicksStopsAfterTheFirstWrap) {
    Loop(480, 960);
    AddPart(0, 0, 480, {{0, On(60)}, {100, Off(60)}});
    Play(0);
    EXPECT_EQ(Song->Engine->Queue, nullptr);
    EXPECT_EQ(Song->Engine->Empty, 1);
    clock.Advance(2000);
    EXPECT_EQ(Log(), (Lines{"0 90 3C 64", "100 80 3C 00"}));
}

// A part spanning the left locator whose only events lie after the right one: from the left
// locator it has nothing to play, so it neither plays outside the loop on every pass nor
// gives a made note-off a negative time.
TEST_F(SchedulerRun, APartWhoseEventsLieOnlyAfterTheLoopPlaysNothingInIt) {
    Loop(480, 960);
    AddPart(0, 0, 3000, {{1500, On(60)}, {1600, Off(60)}});
    for (int start : {480, 0}) {
        Play(start);
        EXPECT_EQ(Song->Engine->Queue, nullptr) << start;
        EXPECT_EQ(Song->Engine->Empty, 1) << start;
        clock.Advance(3000);
        EXPECT_EQ(Log(), Lines{}) << start;
        Midi->Stop(0);
    }
    // Beside a track that plays in the loop, it stays silent on every pass.
    stream->Clear();
    start = clock.Now();
    AddPart(1, 0, 960, {{500, On(70)}, {520, Off(70)}});
    Play(480);
    clock.Advance(1500);
    EXPECT_EQ(Log(), (Lines{"20 91 46 64", "40 81 46 00", "500 91 46 64", "520 81 46 00",
                            "980 91 46 64", "1000 81 46 00", "1460 91 46 64", "1480 81 46 00"}));
}

TEST_F(SchedulerRun, AWrapInsideTheLeadInWaitsForTheRestOfIt) {
    Loop(480, 960);
    AddPart(0, 0, 3000, {{0, On(60)}, {100, Off(60)}, {2000, On(61)}, {2010, Off(61)}});
    AddPart(1, 0, 960, {{500, On(70)}, {520, Off(70)}});
    Song->Tracks[1]->Mute = 1;
    Song->StartMidiEngine(0);
    Song->Tracks[1]->Mute = 0; // read again when the loop wraps
    Song->FeedMidiEngine(*Song->Engine);
    Midi->Play(0, 480, 960, true);
    clock.Advance(1600);
    EXPECT_EQ(Log(), (Lines{"0 90 3C 64", "100 80 3C 00", "980 91 46 64", "1000 81 46 00",
                            "1460 91 46 64", "1480 81 46 00"}));
}

TEST_F(SchedulerRun, ARefusedMessageGoesOutFirstAtTheNextFeed) {
    std::vector<std::pair<int, std::uint32_t>> events;
    for (int i = 0; i < 3000; ++i)
        events.push_back({i + 1, PackMidiMsg(0xB0, 7, static_cast<std::uint32_t>(i % 128))});
    AddPart(0, 0, 3200, events);
    Play(0);
    ASSERT_NE(Song->Engine->Queue, nullptr) << "the stream refused the rest";
    clock.Advance(3100);
    EXPECT_GE(refills, 1);
    Lines log = Log();
    ASSERT_EQ(log.size(), 3000u);
    int wrong = 0;
    for (int i = 0; i < 3000; ++i) {
        char want[32];
        std::snprintf(want, sizeof want, "%d B0 07 %02X", i + 1, i % 128);
        if (log[i] != want && wrong++ < 3) ADD_FAILURE() << log[i] << " instead of " << want;
    }
    EXPECT_EQ(wrong, 0);
}

TEST_F(SchedulerRun, MetronomeClicksFromAStartAt250FallOnTheBeats) {
    Midi->ClickOn = true;
    Midi->ClickChannel = 9;
    Midi->ClickDevice = 1;
    Midi->ClickNote = 37;
    Play(250);
    clock.Advance(600);
    EXPECT_EQ(Log(), (Lines{"230 99 25 3F", "350 89 25 00", "470 99 25 3F", "590 89 25 00"}));
    EXPECT_EQ(Song->MetronomeTrack()->Channel, 9);
}

TEST_F(SchedulerRun, ClearFreesTheNoteOffsTheSchedulerMade) {
    AddPart(0, 0, 960, {{0, On(60)}, {700, Off(60)}});
    Song->StartMidiEngine(0);
    _TEvent* made = NewEvent(0, Off(60)); // as a wrap made it for the note at 0
    made->Flags = efEngine;
    made->ToGo = 479;
    Song->Engine->Insert(0, nullptr, made);
    heapcounter::Start();
    Song->Engine->Clear(); // the stop road
    // Events go back to the song's pool, not to the heap (but under AddressSanitizer).
    EXPECT_EQ(heapcounter::Stop(), RecordsOnHeap ? 1 : 0)
        << "the made note-off is freed, nothing else";
    EXPECT_EQ(Song->Engine->Queue, nullptr);
}

namespace {

// The 16-bit engine back end, whose push entries show the messages as the scheduler made them.
class PushRecorder : public TMidiEngineLink {
public:
    std::vector<std::string> Pushes;
    int Room = 100; // pushes accepted before the engine refuses
    std::uint32_t Load(const std::string&) override { return 1; }
    void Resolve(std::string_view) override {}
    int Call(std::string_view Name, std::initializer_list<std::uint32_t> Args) override {
        return Record(Name, Args, -1);
    }
    int CallWithBlock(std::string_view Name, std::initializer_list<std::uint32_t> Args,
                      const std::uint8_t*, int Len, std::uint32_t) override {
        return Record(Name, Args, Len);
    }
    void Unload() override {}

private:
    int Record(std::string_view Name, std::initializer_list<std::uint32_t> Args, int Len) {
        if (Name.substr(0, 4) != "Push") return 1;
        if (Room == 0) return 0;
        --Room;
        std::string s(Name);
        for (auto a : Args) {
            char hex[16];
            std::snprintf(hex, sizeof hex, " %X", a);
            s += hex;
        }
        if (Len >= 0) s += " [" + std::to_string(Len) + "]";
        Pushes.push_back(s);
        return 1;
    }
};

class SchedulerEngineBackEnd : public testing::Test {
protected:
    void SetUp() override {
        platform::SetMidiRealPorts(false);
        SetMidiEngineLink(&engine);
        MidiMode = 0;
        Song = new TSong;
        Midi = new TMIDI(TMidiSetup::Devices);
    }
    void TearDown() override {
        delete Midi;
        Midi = nullptr;
        delete Song;
        Song = nullptr;
        MidiMode = 1;
        SetMidiEngineLink(nullptr);
        platform::SetMidiRealPorts(true);
    }
    TempSettings settings;
    PushRecorder engine;
};

} // namespace

TEST_F(SchedulerEngineBackEnd, SystemExclusiveOnAChannelTrackKeepsItsKind) {
    Song->Tracks[1]->Mode = tmMidi;
    Song->Tracks[1]->Output = 3;
    Song->Tracks[1]->Channel = 5;
    _TPart* q = AddPart(
        1, 0, 960, {{0, PackMidiMsg(msSysex, 0, 0)}, {10, On(60)}, {20, PackAweParam(2, 4, 100)}});
    const std::uint8_t block[] = {0xF0, 0x43, 0x10, 0xF7};
    SetEventBlock(*q->Events, block, 4);
    Song->StartMidiEngine(0);
    Song->FeedMidiEngine(*Song->Engine);
    // Status 0xF5 with the track in the fourth byte, through the system-exclusive entry;
    // a sound-card value keeps its fourth byte.
    EXPECT_EQ(engine.Pushes, (Lines{"PushSysexOut 3 0 10000F5 [4]", "PushMidiOut 3 A 1643C95",
                                    "PushMidiOut 3 A 64400415"}));
}

TEST_F(SchedulerEngineBackEnd, ASampleNoteRunningPastTheLoopEndGetsASampleNoteOff) {
    Song->LeftLocator = 0;
    Song->RightLocator = 480;
    Song->LoopOn = 1;
    Song->Tracks[2]->Mode = tmAudio;
    Song->Tracks[2]->Output = 0;
    AddPart(2, 0, 960,
            {{400, PackMidiMsg(msSampleOn, 3, 100)}, {600, PackMidiMsg(msSampleOff, 3, 0)}});
    engine.Room = 3;
    Song->StartMidiEngine(0);
    Song->FeedMidiEngine(*Song->Engine);
    // Slot 3 on channel 2 of track 2: ended at 479, and again from the left locator at 480 + 400.
    EXPECT_EQ(engine.Pushes, (Lines{"PushMidiOut 0 190 2640322", "PushMidiOut 0 4F 2640332",
                                    "PushMidiOut 0 191 2640322"}));
    ASSERT_NE(Song->Engine->Queue, nullptr);
    EXPECT_EQ(Song->Engine->Queue->Event->Msg, PackMidiMsg(msSampleOff, 3, 100))
        << "refused, still first";
    EXPECT_EQ(Song->Engine->Queue->Part, nullptr);
}

TEST_F(SchedulerEngineBackEnd, AMutedNoteStaysSilentWhenTheLoopEndsIt) {
    Song->LeftLocator = 0;
    Song->RightLocator = 480;
    Song->LoopOn = 1;
    Song->Tracks[0]->Mode = tmMidi;
    Song->Tracks[0]->Output = 0;
    _TPart* p = AddPart(0, 0, 960, {{400, On(60)}, {600, Off(60)}});
    p->Events->Flags |= efMuted;
    p->Events->Next->Flags |= efMuted;
    engine.Room = 2;
    Song->StartMidiEngine(0);
    Song->FeedMidiEngine(*Song->Engine);
    EXPECT_EQ(engine.Pushes, (Lines{"PushMidiOut 0 190 0", "PushMidiOut 0 4F 0"}));
}
