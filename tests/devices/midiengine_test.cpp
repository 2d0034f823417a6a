// The engine back end on the call layer and the engine library of the program folder, against
// virtual MIDI ports on the virtual clock.

#include "devices/audio.h"
#include "devices/call16.h"
#include "devices/midi.h"
#include "devices/midimsg.h"
#include "devices/ports.h"
#include "platform/core/dynlib.h"
#include "platform/core/paths.h"
#include "platform/core/thunk.h"
#include "platform/midi/midi.h"
#include "platform/midi/virtualmidi.h"
#include "song/engine.h"
#include "song/primitives.h"
#include "song/scheduler_fixture.h"
#include "song/seams.h"
#include "song/song.h"
#include "support/pump.h"
#include "support/scripted_dialogs.h"
#include "support/temp_settings.h"
#include "support/virtual_clock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using namespace platform;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr UINT WM_POSITION = WM_USER + 501;

struct Timed {
    std::int64_t Ms;
    Bytes Data;
    bool operator==(const Timed&) const = default;
};

// The engine's own helper: waits until its player has taken in every change and sleeps on the
// clock, so that moving the clock finds it.
void SettleEngine() {
    static auto settle = [] {
        HMODULE m = LoadLibrary(TOLVERN_BIN_DIR "/midiengine.dll");
        return reinterpret_cast<void (*)()>(GetProcAddress(m, "MidiEngineSettle"));
    }();
    if (settle) settle();
}

// The program's MIDI object in either back end on outputs "Synth" (0) and "Other" (1) and
// input "Keys", with a main window that feeds on refill requests and counts positions.
class EngineRun : public testing::Test {
protected:
    void SetUp() override {
        SetProgramFolder(TOLVERN_BIN_DIR "/");
        SetMidiRealPorts(false);
        Make(0);
    }
    void TearDown() override {
        Free();
        SetHas16BitThunking(false);
        ChooseMidiMode();
        SetMidiRealPorts(true);
    }
    void Make(int Mode) {
        SetHas16BitThunking(Mode == 0);
        ChooseMidiMode();
        Song = new TSong;
        Midi = new TMIDI(TMidiSetup::Devices);
        window.Reply = [this](UINT msg, WPARAM, LPARAM l) -> LRESULT {
            if (msg == WM_REFILLQUEUE && Midi->Pending) Song->FeedMidiEngine(*Song->Engine);
            if (msg == WM_POSITION) positions.push_back(static_cast<int>(l));
            return 0;
        };
        Midi->SetWnd(window.Handle());
        Midi->OpenMidi();
        Midi->SetTempo(120);
    }
    void Free() {
        delete Midi;
        Midi = nullptr;
        delete Song;
        Song = nullptr;
    }
    void Advance(std::uint32_t Ms) {
        SettleEngine();
        clock.Advance(Ms);
    }
    bool Push(int Time, std::uint32_t Msg, int Port = 0, std::uintptr_t Data = 0, int Len = 0) {
        bool accepted = false;
        Midi->PushEvent(Port, Time, Msg, accepted, Data, Len);
        return accepted;
    }
    // The main window's play command.
    void PlaySong(int Tick) {
        Song->Locate(Tick, true);
        Song->StartMidiEngine(Tick);
        Song->FeedMidiEngine(*Song->Engine);
        Midi->Play(Tick, Song->LeftLocator, Song->RightLocator, Song->LoopOn != 0);
    }
    std::vector<Timed> Log(const TVirtualMidiOut& Out) const {
        std::vector<Timed> r;
        for (auto& s : Out.Sent())
            r.push_back({s.TimeUs / 1000 - start, s.Bytes});
        return r;
    }
    std::vector<Bytes> BytesOf(const TVirtualMidiOut& Out) const {
        std::vector<Bytes> r;
        for (auto& s : Out.Sent())
            r.push_back(s.Bytes);
        return r;
    }

    TempSettings settings;
    ScriptedDialogs dialogs;
    testsupport::VirtualClock clock;
    std::int64_t start = clock.Now();
    TVirtualMidiOut synth{"Synth"}, other{"Other"};
    TVirtualMidiIn keys{"Keys"};
    testsupport::RecordingWindow window;
    std::vector<int> positions;
};

Bytes B(std::initializer_list<int> V) {
    Bytes b;
    for (int v : V)
        b.push_back(static_cast<std::uint8_t>(v));
    return b;
}

} // namespace

TEST_F(EngineRun, ASongSoundsAsItDoesInTheMultimediaBackEnd) {
    ASSERT_EQ(Midi->Mode(), 0) << "the engine library was loaded and set up";
    auto build = [] {
        // Two tracks on two outputs, notes and controllers, the second part after a gap.
        for (int t = 0; t < 2; ++t) {
            Song->Tracks[t]->Mode = tmMidi;
            Song->Tracks[t]->Output = t;
        }
        std::vector<std::pair<int, std::uint32_t>> a, b;
        for (int i = 0; i < 40; ++i) {
            a.push_back({i * 60, PackMidiMsg(0x90, 60 + i % 12, 100)});
            a.push_back({i * 60 + 30, PackMidiMsg(0x80, 60 + i % 12, 0)});
        }
        b = {{0, PackMidiMsg(0xB1, 7, 100)},
             {100, PackMidiMsg(0x91, 40, 90)},
             {700, PackMidiMsg(0x81, 40, 0)},
             {1000, PackMidiMsg(0xE1, 0, 64)}};
        AddPart(0, 0, 2400, a);
        AddPart(1, 0, 1920, b);
        std::vector<std::pair<int, std::uint32_t>> c{{2000, PackMidiMsg(0x91, 50, 80)},
                                                     {2100, PackMidiMsg(0x81, 50, 0)}};
        AddPart(1, 1990, 480, c);
    };
    std::vector<Timed> logs[2][2];
    for (int mode : {0, 1}) {
        if (mode == 1) {
            Free();
            Make(1);
            ASSERT_EQ(Midi->Mode(), 1);
        }
        build();
        synth.Clear();
        other.Clear();
        start = clock.Now();
        PlaySong(0);
        Advance(5000);
        Midi->Stop(0);
        logs[mode][0] = Log(synth);
        logs[mode][1] = Log(other);
    }
    ASSERT_EQ(logs[0][0].size(), 80u);
    EXPECT_EQ(logs[0][0], logs[1][0]);
    EXPECT_EQ(logs[0][1], logs[1][1]);
    EXPECT_EQ(logs[0][1].back(), (Timed{4375, B({0x81, 50, 0})}));
}

TEST_F(EngineRun, PositionsArePostedAndRoomIsAnnouncedAfterAFullBuffer) {
    int pushed = 0;
    while (Push(1, PackMidiMsg(0x90, 60, 100)) && pushed < 5000)
        ++pushed;
    EXPECT_EQ(pushed, 1024) << "a full buffer refuses";
    Midi->Play(0, 0, 0, false);
    Advance(105);
    EXPECT_EQ(positions.size(), 10u) << "one every 10 ms";
    EXPECT_EQ(positions[4], 24);
    auto rooms = std::count_if(window.messages.begin(), window.messages.end(),
                               [](auto& m) { return m.msg == WM_REFILLQUEUE; });
    EXPECT_EQ(rooms, 0) << "50 of 1024 events played";
    Advance(1100);
    rooms = std::count_if(window.messages.begin(), window.messages.end(),
                          [](auto& m) { return m.msg == WM_REFILLQUEUE; });
    EXPECT_EQ(rooms, 1) << "room again once half is free";
    Midi->Stop(0);
    std::size_t posted = positions.size();
    Advance(100);
    EXPECT_EQ(positions.size(), posted) << "nothing while stopped";
}

TEST_F(EngineRun, ThePositionFollowsTheLoopAndCountsThePasses) {
    Midi->Play(960, 960, 1920, true);
    Advance(1000);
    EXPECT_EQ(Midi->GetPos(), 1440);
    EXPECT_EQ(Midi->GetLoopCount(), 0);
    Advance(1292);
    EXPECT_EQ(Midi->GetPos(), 1100) << "960 + 1100 - 960";
    EXPECT_EQ(Midi->GetLoopCount(), 1);
    Advance(2008);
    EXPECT_EQ(Midi->GetPos(), 1104);
    EXPECT_EQ(Midi->GetLoopCount(), 2);
    EXPECT_EQ(Midi->Stop(0), 1104);
    Advance(500);
    EXPECT_EQ(Midi->GetPos(), 1104) << "the clock stands with the stop";
}

TEST_F(EngineRun, TheTempoIsClampedInTheObjectAndInTheEngine) {
    Midi->SetTempo(300);
    EXPECT_EQ(Midi->Tempo, 250);
    ASSERT_TRUE(Push(240, PackMidiMsg(0x90, 60, 100)));
    Midi->Play(0, 0, 0, false);
    Advance(239);
    EXPECT_TRUE(synth.Sent().empty());
    Advance(1);
    EXPECT_EQ(Log(synth), (std::vector<Timed>{{240, B({0x90, 60, 100})}})) << "240 ticks, 240 ms";
    EXPECT_EQ(Midi->GetPos(), 240);
    Midi->SetTempo(5);
    EXPECT_EQ(Midi->Tempo, 10);
}

TEST_F(EngineRun, WithAudioOpenTheScriptedDriversFirstBlockStarts) {
    settings.WriteIni("[Audio]\nSystem=scripted\nFrames=441\n");
    TAudio audio(window.Handle());
    ASSERT_NE(audio.Library, 0);
    auto run = reinterpret_cast<std::int32_t (*)(std::int32_t, std::int32_t)>(
        GetProcAddress(audio.Library, "ScriptedRunBlocks"));
    ASSERT_NE(run, nullptr);
    audio.Open(window.Handle());
    ASSERT_TRUE(audio.AudioOn);
    audio.Start();
    ASSERT_TRUE(Push(0, PackMidiMsg(0x90, 60, 100)));
    Midi->Play(480, 0, 0, false);
    Advance(50);
    EXPECT_TRUE(synth.Sent().empty()) << "Play leaves the start to the first block";
    EXPECT_EQ(Midi->GetPos(), 0);
    EXPECT_EQ(run(1, 0), 1);
    Advance(1);
    EXPECT_EQ(BytesOf(synth), (std::vector<Bytes>{B({0x90, 60, 100})}));
    Advance(499);
    EXPECT_EQ(Midi->GetPos(), 480 + 240);
    Midi->Stop(1);
    audio.Close();
}

TEST_F(EngineRun, OnlyRealMessagesReachAWireValuesAsControllersAndSysexAsAWhole) {
    Bytes sysex{0xF0, 0x41, 0x10, 0x42, 0xF7};
    ASSERT_TRUE(Push(0, PackAweParam(0, 3, 100)));
    ASSERT_TRUE(Push(0, PackMidiMsg(msSampleOn, 5, 100)));
    ASSERT_TRUE(Push(0, 0)); // a muted note
    ASSERT_TRUE(Push(0, PackMidiMsg(0x90, 60, 100) | (7u << 24)));
    ASSERT_TRUE(Push(120, PackMidiMsg(msSysex + 2, 1, 0), 0, 0x04030201));
    ASSERT_TRUE(Push(0, PackMidiMsg(msSysex, 0, 0), 0,
                     reinterpret_cast<std::uintptr_t>(sysex.data()),
                     static_cast<int>(sysex.size())));
    ASSERT_TRUE(Push(0, PackMidiMsg(0x90, 61, 100), 9)); // no such output
    Midi->Play(0, 0, 0, false);
    Advance(300);
    EXPECT_EQ(BytesOf(synth),
              (std::vector<Bytes>{B({0x90, 60, 100}), B({0xB2, 99, 1}), B({0xB2, 98, 2}),
                                  B({0xB2, 6, 3}), B({0xB2, 38, 4}), sysex}));
    synth.Clear();
    Midi->DirectMidiOut(0, PackAweParam(0, 3, 100));
    Midi->DirectMidiOut(0, PackMidiMsg(msSampleOn, 5, 100));
    Midi->DirectMidiOut(0, PackMidiMsg(0xB3, 7, 90) | (5u << 24));
    EXPECT_EQ(BytesOf(synth), (std::vector<Bytes>{B({0xB3, 7, 90})})) << "sent at once";
    // All notes off ends the counted note once, then every channel of every output.
    synth.Clear();
    Midi->Stop(0);
    Midi->AllNotesOff(-1, -1);
    auto sent = BytesOf(synth);
    ASSERT_EQ(sent.size(), 1u + 32u);
    EXPECT_EQ(sent[0], B({0x90, 60, 0}));
    EXPECT_EQ(sent[1], B({0xB0, 123, 0}));
    EXPECT_EQ(sent[2], B({0xB0, 120, 0}));
    synth.Clear();
    Midi->AllNotesOff(-1, -1);
    EXPECT_EQ(BytesOf(synth).size(), 32u) << "the note was ended once";
}

TEST_F(EngineRun, InputIsRecordedQuantizedAndReadBackAfterTheStop) {
    Midi->SetQ(true, 120);
    Midi->Record(0, 0, 0, false);
    ASSERT_EQ(Song->State, 1);
    Advance(127); // tick 60.96: 60
    keys.Send({0x90, 60, 100});
    Advance(10); // tick 65
    keys.Send({0x91, 64, 90});
    Advance(100); // tick 113
    keys.Send({0x80, 60, 0});
    keys.Send({0xB0, 7, 80});
    Advance(20); // tick 123
    keys.Send({0x81, 64, 0});
    Midi->Stop(0);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> got; // time, message
    while (Midi->MoreMidiIn()) {
        std::uint32_t msg = 0, time = 0;
        Midi->ReadMidiIn(msg, time);
        got.push_back({time, msg & 0xFFFFFF});
    }
    EXPECT_EQ(got, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{
                       {0, 0x643C90},   // 60 goes back to 0 (an exact half goes back)
                       {120, 0x5A4090}, // 65 forward to 120 (on the thru channel)
                       {53, 0x3C80},    // 113 moved as its note-on
                       {113, 0x5007B0}, // other messages keep their time
                       {178, 0x4080}}));
    Midi->Record(0, 0, 0, false);
    EXPECT_FALSE(Midi->MoreMidiIn()) << "a new take starts empty";
}

TEST_F(EngineRun, TheMetronomeClicksEveryBeatAfterItsPrecount) {
    Midi->Metronom(true, true, true, true, 4, 9, 1, 37);
    Midi->Record(0, 0, 0, false);
    Advance(2999);
    std::vector<Timed> expected;
    for (int beat = 0; beat < 6; ++beat) {
        expected.push_back({beat * 500, B({0x99, 37, 63})});
        expected.push_back({beat * 500 + 250, B({0x89, 37, 0})});
    }
    EXPECT_EQ(Log(other), expected) << "4 precount beats, then beats 0 and 240";
    EXPECT_EQ(Midi->GetPos(), 479);
    Midi->Stop(0);
    other.Clear();
    Midi->Metronom(false, false, true, true, 4, 9, 1, 37);
    Midi->Play(250, 0, 0, false);
    Advance(1000);
    EXPECT_TRUE(other.Sent().empty()) << "switched off";
}

TEST_F(EngineRun, TimeCodeSendsFourQuarterFramesAFrame) {
    Midi->SetSync(true, 1, 25);
    Midi->Play(0, 0, 0, false);
    Advance(999);
    auto sent = BytesOf(other);
    ASSERT_EQ(sent.size(), 100u);
    for (std::size_t i = 0; i < sent.size(); ++i) {
        ASSERT_EQ(sent[i].size(), 2u);
        EXPECT_EQ(sent[i][0], 0xF1);
        EXPECT_EQ(sent[i][1] >> 4, static_cast<int>(i % 8));
    }
    EXPECT_EQ(sent[8][1], 0x02) << "frame 2 begins the second group";
    EXPECT_EQ(sent[7][1], 0x72) << "25 frames a second, hours 0";
}
