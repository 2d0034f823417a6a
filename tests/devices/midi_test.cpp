#include "devices/midi.h"
#include "devices/midimsg.h"
#include "devices/ports.h"
#include "platform/core/messages.h"
#include "platform/midi/midi.h"
#include "platform/midi/virtualmidi.h"
#include "song/seams.h"
#include "song/song.h"
#include "support/scripted_dialogs.h"
#include "support/temp_settings.h"
#include "support/virtual_clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace platform;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes Short(std::uint32_t Msg) {
    Bytes b{static_cast<std::uint8_t>(Msg), static_cast<std::uint8_t>(Msg >> 8),
            static_cast<std::uint8_t>(Msg >> 16)};
    std::uint32_t s = Msg & 0xF0;
    if (s == 0xC0 || s == 0xD0) b.resize(2);
    return b;
}

std::vector<Bytes> BytesOf(const TVirtualMidiOut& Out) {
    std::vector<Bytes> r;
    for (auto& s : Out.Sent())
        r.push_back(s.Bytes);
    return r;
}

// The multimedia back end on virtual outputs "Synth" (0) and "Stream" (1, the stream by the
// default [sdevice] id), on the virtual clock, with a window that counts refill requests.
class MidiObject : public testing::Test {
protected:
    virtual std::string_view Ini() const { return ""; }
    void SetUp() override {
        SetMidiRealPorts(false);
        if (!Ini().empty()) settings.WriteIni(Ini());
        synth = std::make_unique<TVirtualMidiOut>("Synth port whose name runs past 32 characters");
        stream = std::make_unique<TVirtualMidiOut>("Stream");
        window = RegisterWindowProc([this](HWND, UINT msg, WPARAM, LPARAM) -> LRESULT {
            if (msg == WM_REFILLQUEUE) ++refills;
            return 0;
        });
        Song = new TSong;
        MidiMode = 1;
        Midi = new TMIDI(TMidiSetup::Devices);
        Midi->SetWnd(window);
        Midi->SetTempo(120);
    }
    void TearDown() override {
        delete Midi;
        Midi = nullptr;
        delete Song;
        Song = nullptr;
        UnregisterWindowProc(window);
        SetMidiRealPorts(true);
    }
    bool Push(int Time, std::uint32_t Msg, int Port = 1, std::uintptr_t Data = 0) {
        bool accepted = false;
        Midi->PushEvent(Port, Time, Msg, accepted, Data, 0);
        return accepted;
    }
    // Clock time of the output's records, in ms from the test's start.
    std::vector<std::int64_t> TimesMs(const TVirtualMidiOut& Out) const {
        std::vector<std::int64_t> r;
        for (auto& s : Out.Sent())
            r.push_back(s.TimeUs / 1000 - start);
        return r;
    }

    TempSettings settings;
    ScriptedDialogs dialogs;
    testsupport::VirtualClock clock;
    std::int64_t start = clock.Now();
    std::unique_ptr<TVirtualMidiOut> synth, stream;
    HWND window = 0;
    int refills = 0;
};

} // namespace

TEST_F(MidiObject, TimeZeroPushesShareOneMarkerAndGoOutInOrder) {
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(Push(0, PackMidiMsg(0x90, 60 + i, 100)));
    EXPECT_EQ(Ports->Buffers[Ports->Current].dwBufferLength, 12u);
    Midi->Play(0, 0, 1920, false);
    clock.Advance(1);
    auto sent = BytesOf(*stream);
    ASSERT_EQ(sent.size(), 10u);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(sent[i], Short(PackMidiMsg(0x90, 60 + i, 100)));
    EXPECT_EQ(Ports->Outputs[1]->NoteCount[0][65], 1);
}

TEST_F(MidiObject, EventsGoOutOnTheirTickAtTheTempo) {
    ASSERT_TRUE(Push(0, PackMidiMsg(0x90, 60, 100)));
    ASSERT_TRUE(Push(240, PackMidiMsg(0x80, 60, 0), 0)); // another output, on the same clock
    ASSERT_TRUE(Push(0, PackMidiMsg(0x90, 62, 100), 0));
    Midi->Play(0, 0, 1920, false);
    clock.Advance(499);
    EXPECT_TRUE(synth->Sent().empty());
    clock.Advance(1);
    EXPECT_EQ(TimesMs(*synth), (std::vector<std::int64_t>{500, 500}));
    EXPECT_EQ(BytesOf(*synth)[1], Short(PackMidiMsg(0x90, 62, 100)));
    EXPECT_EQ(Midi->GetPos(), 240);
    EXPECT_EQ(refills, 1) << "the buffer came back";
}

TEST_F(MidiObject, FullBufferHandsOverAndThePushIsRefusedWhileTheOtherIsQueued) {
    for (int i = 0; i < 1024; ++i)
        ASSERT_TRUE(Push(1, PackMidiMsg(0x90, 60, 1 + i % 100)));
    EXPECT_EQ(Ports->Buffers[0].dwBufferLength, 12288u);
    EXPECT_EQ(Ports->Buffers[0].dwUser, 1u);
    ASSERT_TRUE(Push(0, PackMidiMsg(0x80, 60, 0)))
        << "time 0 shares the last marker of a full buffer";
    ASSERT_TRUE(Push(1, PackMidiMsg(0x90, 61, 1)));
    EXPECT_EQ(Ports->Buffers[0].dwUser, 2u);
    EXPECT_EQ(Ports->Current, 1);
    for (int i = 1; i < 1024; ++i)
        ASSERT_TRUE(Push(1, PackMidiMsg(0x90, 61, 1)));
    EXPECT_FALSE(Push(1, PackMidiMsg(0x90, 62, 1)));
    EXPECT_EQ(Ports->Buffers[1].dwUser, 2u) << "the full buffer went to the stream";
    EXPECT_FALSE(Push(1, PackMidiMsg(0x90, 62, 1)));

    Midi->Play(0, 0, 1920, false);
    clock.Advance(2 * 1024 * 250 / 120 + 10); // 2048 ticks at 120 BPM
    EXPECT_EQ(stream->Sent().size(), 2049u) << "the refused pushes queued nothing";
    EXPECT_EQ(refills, 2) << "one refill request per finished buffer";
    EXPECT_EQ(Ports->Buffers[0].dwUser, 0u);
    EXPECT_EQ(Ports->Buffers[1].dwUser, 0u);
    EXPECT_TRUE(Push(1, PackMidiMsg(0x90, 62, 1)));
}

TEST_F(MidiObject, StopFreesTheBuffersAndANewStartPlaysAgain) {
    ASSERT_TRUE(Push(0, PackMidiMsg(0x90, 60, 100)));
    ASSERT_TRUE(Push(480, PackMidiMsg(0x90, 61, 100)));
    Midi->FlushOutput();
    ASSERT_TRUE(Push(480, PackMidiMsg(0x90, 62, 100)));
    Midi->Play(0, 0, 1920, false);
    EXPECT_TRUE(Midi->Pending);
    EXPECT_EQ(Song->State, 2);
    clock.Advance(250);
    EXPECT_EQ(Midi->Stop(0), 120);
    EXPECT_FALSE(Midi->Pending);
    EXPECT_EQ(Ports->Buffers[0].dwUser, 0u);
    EXPECT_EQ(Ports->Buffers[1].dwUser, 0u);
    clock.Advance(5000);
    EXPECT_EQ(stream->Sent().size(), 1u) << "nothing plays after the stop";

    ASSERT_TRUE(Push(0, PackMidiMsg(0x90, 70, 100)));
    ASSERT_TRUE(Push(240, PackMidiMsg(0x90, 71, 100)));
    Midi->Play(960, 0, 1920, false);
    clock.Advance(1);
    EXPECT_EQ(Midi->GetPos(), 960);
    clock.Advance(499);
    auto sent = BytesOf(*stream);
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[1], Short(PackMidiMsg(0x90, 70, 100)));
    EXPECT_EQ(sent[2], Short(PackMidiMsg(0x90, 71, 100)));
    EXPECT_EQ(Midi->GetPos(), 1200);
}

TEST_F(MidiObject, PositionFollowsTheSongThroughTheLoop) {
    Song->LeftLocator = 960;
    Song->RightLocator = 1920;
    Song->Looping = 1;
    Midi->Play(960, 960, 1920, true);
    clock.Advance(2000); // 960 ticks
    EXPECT_EQ(Midi->GetPos(), 1920);
    clock.Advance(292); // 1,100 ticks since the start
    EXPECT_EQ(Midi->GetPos(), 1100);
    EXPECT_EQ(Ports->LoopOffset, -960);
    clock.Advance(2000); // 2,060 ticks: the second wrap
    EXPECT_EQ(Midi->GetPos(), 1100);
    EXPECT_EQ(Ports->LoopOffset, -1920);
    Song->RightLocator = 960; // a loop without length never wraps
    EXPECT_EQ(Midi->GetPos(), 3020 - 1920);
}

TEST_F(MidiObject, OnlyDeviceMessagesGoOutAndTheOthersKeepTheirTime) {
    ASSERT_TRUE(Push(0, PackAweParam(0, 3, 100)));                 // sound-card parameter
    ASSERT_TRUE(Push(0, PackMidiMsg(msSampleOn, 5, 100)));         // sample note
    ASSERT_TRUE(Push(0, 0));                                       // muted note
    ASSERT_TRUE(Push(0, PackMidiMsg(0x90, 60, 100) | (7u << 24))); // track number in byte 3
    ASSERT_TRUE(Push(120, PackMidiMsg(msSampleOff, 5, 0)));
    ASSERT_TRUE(Push(120, PackMidiMsg(msSysex + 2, 1, 0), 1, 0x04030201)); // 32-bit value event
    ASSERT_TRUE(Push(0, PackMidiMsg(msSysex, 0, 0), 1, 0x1234));           // system exclusive
    ASSERT_TRUE(Push(0, PackMidiMsg(0xF0 + 8, 0, 0)));                     // no device status
    ASSERT_TRUE(Push(0, PackMidiMsg(0x90, 61, 100), 9));                   // no such output
    ASSERT_TRUE(Push(0, PackMidiMsg(0x80, 60, 0)));
    Midi->Play(0, 0, 1920, false);
    clock.Advance(600);
    EXPECT_EQ(BytesOf(*stream),
              (std::vector<Bytes>{Short(0x643C90), Short(0x0163B2), Short(0x0262B2),
                                  Short(0x0306B2), Short(0x0426B2), Short(0x3C80)}));
    EXPECT_EQ(TimesMs(*stream), (std::vector<std::int64_t>{0, 500, 500, 500, 500, 500}));
    EXPECT_EQ(Ports->Outputs[1]->NoteCount[0][5], 0) << "sample notes are not counted";
    EXPECT_EQ(Ports->Outputs[1]->NoteCount[0][60], 0);
    Midi->DirectMidiOut(9, PackMidiMsg(0x90, 60, 100));
    Midi->DirectMidiOut(-1, PackMidiMsg(0x90, 60, 100));
    Midi->DirectMidiOut(0, PackMidiMsg(msSampleOn, 60, 100));
    Midi->DirectMidiOut(0, PackMidiMsg(0xB3, 7, 90) | (5u << 24));
    EXPECT_EQ(BytesOf(*synth), (std::vector<Bytes>{Short(0x5A07B3)}));
}

TEST_F(MidiObject, AllNotesOffEndsCountedNotesOnceThenSilencesEveryChannel) {
    ASSERT_TRUE(Push(0, PackMidiMsg(0x92, 60, 100), 0));
    ASSERT_TRUE(Push(0, PackMidiMsg(0x92, 60, 90), 0));
    ASSERT_TRUE(Push(0, PackMidiMsg(0x92, 61, 90), 0));
    ASSERT_TRUE(Push(0, PackMidiMsg(0x82, 61, 0), 0));
    ASSERT_TRUE(Push(0, PackMidiMsg(0x82, 61, 0), 0)); // ends nothing: the counter stays at 0
    Midi->Play(0, 0, 1920, false);
    clock.Advance(1);
    Midi->Stop(0);
    EXPECT_EQ(Ports->Outputs[0]->NoteCount[2][60], 2);
    EXPECT_EQ(Ports->Outputs[0]->NoteCount[2][61], 0);
    synth->Clear();
    stream->Clear();
    Midi->AllNotesOff(-1, -1);
    EXPECT_EQ(Ports->Outputs[0]->NoteCount[2][60], 1);
    auto sent = BytesOf(*synth);
    ASSERT_EQ(sent.size(), 33u);
    EXPECT_EQ(sent[0], (Bytes{0x92, 60, 0}));
    EXPECT_EQ(sent[1], (Bytes{0xB0, 123, 0}));
    EXPECT_EQ(sent[2], (Bytes{0xB0, 120, 0}));
    EXPECT_EQ(sent[32], (Bytes{0xBF, 120, 0}));
    EXPECT_EQ(stream->Sent().size(), 32u);

    synth->Clear();
    Midi->AllNotesOff(3, 0);
    EXPECT_EQ(BytesOf(*synth), (std::vector<Bytes>{{0x92, 60, 0}, {0xB3, 123, 0}, {0xB3, 120, 0}}));
    EXPECT_EQ(Ports->Outputs[0]->NoteCount[2][60], 0);
}

TEST_F(MidiObject, TheStreamDeviceCannotBeClosedButOthersCan) {
    std::string name;
    int technology = -5;
    Midi->GetOutputCaps(1, technology, name);
    EXPECT_EQ(name, "Stream");
    EXPECT_EQ(technology, MOD_MIDIPORT);
    Midi->GetOutputCaps(0, technology, name);
    EXPECT_EQ(name, "Synth port whose name runs past "); // the first 32 characters
    EXPECT_EQ(Ports->Outputs[0]->Name, name);
    Midi->GetOutputCaps(2, technology, name);
    EXPECT_EQ(name, "Out of range");
    Midi->GetOutputCaps(-1, technology, name);
    EXPECT_EQ(name, "Out of range");
    dialogs.Answer(IDOK, "This device can't be disabled");
    EXPECT_TRUE(Midi->CloseOutDev(1));
    ASSERT_EQ(dialogs.Boxes().size(), 1u);
    EXPECT_EQ(dialogs.Boxes()[0].Caption, "MIDI output");
    EXPECT_EQ(dialogs.Boxes()[0].Icon, MB_ICONINFORMATION);
    EXPECT_TRUE(Midi->IsOutputOpen(1));
    EXPECT_TRUE(Midi->CloseOutDev(0));
    EXPECT_FALSE(Midi->IsOutputOpen(0));
    EXPECT_EQ(synth->OpenCount(), 0);
    Midi->DirectMidiOut(0, PackMidiMsg(0x90, 60, 100));
    EXPECT_TRUE(synth->Sent().empty());
    EXPECT_TRUE(Midi->OpenOutDev(0));
    EXPECT_TRUE(Midi->IsOutputOpen(0));
    EXPECT_FALSE(Midi->IsOutputOpen(2));
    EXPECT_FALSE(Midi->IsOutputOpen(-1));
    EXPECT_TRUE(Midi->CloseOutDev(7));
    EXPECT_TRUE(Midi->OpenOutDev(-3));
}

TEST_F(MidiObject, TempoInTheMultimediaBackEnd) {
    Midi->SetTempo(300);
    EXPECT_EQ(Midi->Tempo, 300);
    MIDIPROPTEMPO tempo;
    ASSERT_EQ(midiStreamProperty(Ports->Stream, &tempo, MIDIPROP_GET | MIDIPROP_TEMPO),
              MMSYSERR_NOERROR);
    EXPECT_EQ(tempo.dwTempo, 200000u);
    Midi->SetTempo(0);
    EXPECT_EQ(Midi->Tempo, 300);
    Midi->SetTempo(-40);
    EXPECT_EQ(Midi->Tempo, 300);
    Midi->SetTempo(3); // 20,000,000 us per quarter: beyond the 24 bits of a stream tempo
    EXPECT_EQ(Midi->Tempo, 300);
    Midi->SetTempo(97);
    ASSERT_EQ(midiStreamProperty(Ports->Stream, &tempo, MIDIPROP_GET | MIDIPROP_TEMPO),
              MMSYSERR_NOERROR);
    EXPECT_EQ(tempo.dwTempo, 618557u);
}

namespace {
// The audio object with its output open, and a main window that records the playback guard.
class OpenAudio : public TMidiAudio, public TMainWindowSeam {
public:
    std::vector<std::string> Calls;
    bool AudioOn() override { return true; }
    void NotifyStart() override { Calls.push_back("notify start"); }
    void Stop() override { Calls.push_back("stop audio"); }
    bool PausePlayback() override {
        Calls.push_back("pause");
        return true;
    }
    void ResumePlayback() override { Calls.push_back("resume"); }
};
} // namespace

TEST_F(MidiObject, WithAudioOpenTheFirstAudioBlockStartsMidi) {
    OpenAudio audio;
    SetMidiAudio(&audio);
    SetMainWindow(&audio);
    ASSERT_TRUE(Push(0, PackMidiMsg(0x90, 60, 100)));
    Midi->Play(240, 0, 1920, false);
    clock.Advance(100);
    EXPECT_TRUE(stream->Sent().empty()) << "Play leaves the start to the audio block";
    EXPECT_EQ(Midi->GetPos(), 0);
    Midi->StartPending();
    clock.Advance(1);
    EXPECT_EQ(stream->Sent().size(), 1u);
    EXPECT_EQ(Midi->GetPos(), 240);
    Midi->SetTempo(100);
    Midi->Stop(1);
    SetMidiAudio(nullptr);
    SetMainWindow(nullptr);
    EXPECT_EQ(audio.Calls,
              (std::vector<std::string>{"notify start", "pause", "resume", "stop audio"}));
}

TEST_F(MidiObject, TheRecordingClockCountsFromTheStartAndFollowsTheLoop) {
    Song->LeftLocator = 960;
    Song->RightLocator = 1920;
    Song->Looping = 1;
    Midi->Record(960, 960, 1920, true);
    EXPECT_EQ(Song->State, 1);
    clock.Advance(500);
    EXPECT_EQ(Midi->GetInputPos(), 1200);
    clock.Advance(2000); // 1,200 ticks from the start: 2,160 wraps to 1,200
    EXPECT_EQ(Midi->GetInputPos(), 1200);
    Song->State = 2;
    EXPECT_EQ(Midi->GetInputPos(), Midi->GetPos());
}

namespace {
class CcMapFromIni : public testing::Test {
protected:
    void SetUp() override { SetMidiRealPorts(false); }
    void TearDown() override { SetMidiRealPorts(true); }
    TempSettings settings;
};
} // namespace

TEST_F(CcMapFromIni, ControllerNumbersMapOnlyWithinRange) {
    struct {
        const char* ini;
        std::map<int, int> expected;
    } cases[] = {
        {"[ccmap]\n7=11\n", {{7, 11}}},
        {"[ccmap]\n200=5\nabc=3\n", {}},
        {"[ccmap]\n7=300\n", {}},
        {"[ccmap]\n7=-1\n", {}},
        {"[ccmap]\n7=abc\n", {}},
        {"[ccmap]\n1=11\n11=1\n$10=4\n -2=3\n", {{1, 11}, {11, 1}, {16, 4}}},
    };
    for (auto& c : cases) {
        settings.WriteIni(c.ini);
        TMIDI midi(TMidiSetup::Devices);
        for (int i = 0; i < 128; ++i) {
            int want = c.expected.count(i) ? c.expected.at(i) : i;
            EXPECT_EQ(CcMap[i], want) << c.ini << " entry " << i;
        }
    }
}

TEST_F(CcMapFromIni, TheStreamDeviceIsClampedToTheOutputs) {
    TVirtualMidiOut a("A"), b("B"), c("C");
    struct {
        const char* ini;
        int device;
    } cases[] = {
        {"", 1}, {"[sdevice]\nid=5\n", 2}, {"[sdevice]\nid=-3\n", 0}, {"[sdevice]\nid=0\n", 0}};
    for (auto& k : cases) {
        settings.WriteIni(k.ini);
        TMIDI midi(TMidiSetup::Devices);
        EXPECT_EQ(Ports->StreamDevice, k.device) << k.ini;
        EXPECT_EQ(Ports->Stream, Ports->Outputs[k.device]->Handle.load());
    }
    settings.WriteIni("[midisetup]\ndevice0=0\n");
    TMIDI midi(TMidiSetup::Devices);
    EXPECT_FALSE(midi.IsOutputOpen(0)) << "switched off in the setup";
    EXPECT_TRUE(midi.IsOutputOpen(1));
    EXPECT_TRUE(midi.IsOutputOpen(2));
}

TEST(MidiProgramChange, EveryBankMode) {
    struct {
        int bank, program, mode;
        std::vector<std::uint32_t> sent;
        int channel = 2;
    } cases[] = {
        {5, 10, 0, {0x0500B2, 0x0AC2}},
        // A track that keeps its events' channels: channel 0, never pressure and controller 16.
        {5, 10, 0, {0x0500B0, 0x0AC0}, -1},
        {5, 10, 32, {0x0000B0, 0x0520B0, 0x0AC0}, -1},
        // Bytes outside 0..127 send nothing rather than another status or value.
        {300, 300, 0, {}},
        {128, 128, 1, {}},
        {200, 10, 2, {0x09C2}},
        {0x00020080, 10, 32, {0x0AC2}},
        {0x00800000, 10, 32, {0x0AC2}},
        {200, 10, 16, {0x09C2}},
        {5, 10, 1, {0x0500B2, 0x0AC2}},
        {5, 10, 2, {0x0000B2, 0x0520B2, 0x09C2}},
        {-1, 5, 2, {0x04C2}},
        {5, 0, 2, {0x0000B2, 0x0520B2}}, // program 0 would be 0xFF on the wire: not sent
        {5, -1, 2, {0x0000B2, 0x0520B2}},
        {5, 10, 4, {0x3F00B2, 0x0520B2, 0x09C2}},
        {5, 10, 8, {0x4000B2, 0x0020B2, 0x09C2}},
        {5, 10, 16, {0x0500B2, 0x0020B2, 0x09C2}},
        {0x00030002, 10, 32, {0x0300B2, 0x0220B2, 0x0AC2}},
        {5, 10, 3, {}},
        {-1, -1, 0, {}},
    };
    for (auto& c : cases) {
        TMIDI midi;
        midi.SendProgramChange(4, c.channel, c.bank, c.program, c.mode);
        std::vector<std::uint32_t> sent;
        for (auto& s : midi.Sent) {
            EXPECT_EQ(s.Port, 4);
            sent.push_back(s.Msg);
        }
        EXPECT_EQ(sent, c.sent) << "bank " << c.bank << " program " << c.program << " mode "
                                << c.mode << " channel " << c.channel;
    }
}

namespace {
class NoMidiDevice : public testing::Test {
protected:
    void SetUp() override { SetMidiRealPorts(false); }
    void TearDown() override { SetMidiRealPorts(true); }
    TempSettings settings;
    ScriptedDialogs dialogs;
    testsupport::VirtualClock clock;
};
} // namespace

// The stream runs on no port: the events go nowhere, and its clock is the song position.
TEST_F(NoMidiDevice, TheObjectOpensPlaysAndStopsAndTakesTempoChanges) {
    TSong song;
    Song = &song;
    MidiMode = 1;
    {
        TMIDI midi(TMidiSetup::Devices);
        EXPECT_TRUE(midi.Created);
        EXPECT_EQ(MidiOutCount, 0);
        EXPECT_EQ(Ports->StreamDevice, -1);
        EXPECT_TRUE(Ports->HasStream());
        midi.OpenMidi();
        midi.SetTempo(300);
        EXPECT_EQ(midi.Tempo, 300);
        midi.SetTempo(0);
        EXPECT_EQ(midi.Tempo, 300);
        midi.SetTempo(120);
        bool accepted = false;
        midi.PushEvent(0, 0, PackMidiMsg(0x90, 60, 100), accepted, 0, 0);
        EXPECT_TRUE(accepted);
        midi.PushEvent(0, 240, PackMidiMsg(0x80, 60, 0), accepted, 0, 0);
        EXPECT_TRUE(accepted);
        midi.FlushOutput();
        midi.Play(480, 0, 1920, false);
        EXPECT_EQ(midi.GetPos(), 480);
        clock.Advance(500); // a beat at 120 BPM
        EXPECT_EQ(midi.GetPos(), 720);
        midi.DirectMidiOut(0, PackMidiMsg(0x90, 60, 100));
        midi.AllNotesOff(-1, -1);
        midi.ResetControllers();
        midi.SendProgramChange(0, 0, 1, 1, 2);
        clock.Advance(250);
        EXPECT_EQ(midi.Stop(1), 840);
        EXPECT_EQ(midi.GetPos(), 480) << "stopped, the position is where the run began";
        std::string name;
        int technology = 0;
        midi.GetOutputCaps(0, technology, name);
        EXPECT_EQ(name, "Out of range");
        midi.GetInputName(0, name);
        EXPECT_EQ(name, "Out of range");
        EXPECT_FALSE(midi.IsInputOpen());
    }
    EXPECT_EQ(Ports, nullptr);
    Song = nullptr;
}

namespace {
// Records the engine calls of the 16-bit back end and answers them.
class FakeEngine : public TMidiEngineLink {
public:
    std::vector<std::string> Calls;
    std::map<std::string, int> Answers;
    std::string Missing;
    Bytes LastBlock;
    std::uint32_t Load(const std::string& Path) override {
        Calls.push_back("load " + Path.substr(Path.rfind('/') + 1));
        return 0x1234;
    }
    void Resolve(std::string_view Name) override {
        if (Name == Missing)
            throw std::runtime_error("Get 16-bit address failed: " + std::string(Name));
    }
    int Call(std::string_view Name, std::initializer_list<std::uint32_t> Args) override {
        std::string s(Name);
        for (auto a : Args)
            s += " " + std::to_string(static_cast<std::int32_t>(a));
        Calls.push_back(s);
        auto it = Answers.find(std::string(Name));
        return it == Answers.end() ? 1 : it->second;
    }
    int CallWithBlock(std::string_view Name, std::initializer_list<std::uint32_t> Args,
                      const std::uint8_t* Block, int Len, std::uint32_t Last) override {
        LastBlock.assign(Block, Block + Len);
        std::string s(Name);
        for (auto a : Args)
            s += " " + std::to_string(a);
        Calls.push_back(s + " [" + std::to_string(Len) + "] " + std::to_string(Last));
        return 1;
    }
    void Unload() override { Calls.push_back("unload"); }
};

class EngineBackEnd : public testing::Test {
protected:
    void SetUp() override {
        SetMidiRealPorts(false);
        MidiMode = 0;
        SetMidiEngineLink(&engine);
        Song = &song;
    }
    void TearDown() override {
        SetMidiEngineLink(nullptr);
        MidiMode = 1;
        Song = nullptr;
        SetMidiRealPorts(true);
    }
    TempSettings settings;
    TSong song;
    FakeEngine engine;
    TVirtualMidiOut out{"Out"};
};
} // namespace

TEST_F(EngineBackEnd, ForwardsToTheEngineAndClampsTheTempo) {
    {
        TMIDI midi(TMidiSetup::Devices);
        EXPECT_EQ(Ports, nullptr);
        midi.OpenMidi();
        EXPECT_TRUE(midi.IsOutputOpen(0));
        midi.SetTempo(300);
        EXPECT_EQ(midi.Tempo, 250);
        midi.SetTempo(0);
        EXPECT_EQ(midi.Tempo, 10);
        midi.Play(480, 0, 960, true);
        EXPECT_EQ(song.State, 2);
        bool accepted = false;
        midi.PushEvent(2, 30, PackMidiMsg(0x90, 60, 100), accepted, 0, 0);
        EXPECT_TRUE(accepted);
        midi.PushEvent(2, 30, PackMidiMsg(0xF0, 1, 0), accepted, 0x01020304, 0);
        Bytes sysex(600, 0x11);
        midi.PushEvent(2, 30, PackMidiMsg(0xF0, 0, 0), accepted,
                       reinterpret_cast<std::uintptr_t>(sysex.data()), 600);
        EXPECT_EQ(engine.LastBlock.size(), 512u);
        engine.Answers["PushMidiOut"] = 0;
        midi.PushEvent(2, 30, PackMidiMsg(0x90, 60, 100), accepted, 0, 0);
        EXPECT_FALSE(accepted) << "an answer other than 1 refuses";
        engine.Answers["GetPos"] = 777;
        EXPECT_EQ(midi.Stop(0), 777);
        engine.Answers["CloseOutDev"] = 1;
        EXPECT_TRUE(midi.CloseOutDev(0));
        EXPECT_FALSE(midi.IsOutputOpen(0));
        EXPECT_FALSE(midi.CloseOutDev(0));
        midi.SendProgramChange(1, 0, -1, 5, 2);
    }
    std::vector<std::string> expected{"load midiengine.dll",
                                      "MidiSetup",
                                      "OpenMidi",
                                      "OutputActive 0",
                                      "SetTempo 300",
                                      "SetTempo 0",
                                      "SetupMTC 480",
                                      "Start 480 0 960 1",
                                      "PushMidiOut 2 30 6569104",
                                      "PushSysexOut 2 30 496 [0] 16909060",
                                      "PushSysexOut 2 30 240 [512] 512",
                                      "PushMidiOut 2 30 6569104",
                                      "StopMidi",
                                      "GetPos",
                                      "AllNotesOff -1 -1",
                                      "CloseOutDev 0",
                                      "DirectMidiOut 1 1216",
                                      "AllNotesOff -1 -1",
                                      "CloseMidi",
                                      "unload"};
    EXPECT_EQ(engine.Calls, expected);
}

TEST_F(EngineBackEnd, AMissingEntryEndsTheCreation) {
    engine.Missing = "GetTotalPos";
    try {
        TMIDI midi(TMidiSetup::Devices);
        FAIL() << "made without its engine entry";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Get 16-bit address failed: GetTotalPos");
    }
    SetMidiEngineLink(nullptr);
    EXPECT_THROW(TMIDI(TMidiSetup::Devices), std::runtime_error);
}

TEST(MidiRealPort, StreamsToAnAlsaSequencerPort) {
    if (!MidiSequencerAvailable())
        GTEST_SKIP()
            << "no ALSA sequencer here (/dev/snd/seq missing): no real MIDI port to play to";
    SetMidiRealPorts(true);
    TempSettings settings;
    settings.WriteIni("[sdevice]\nid=0\n");
    if (midiOutGetNumDevs() == 0) GTEST_SKIP() << "the ALSA sequencer offers no output port";
    MidiMode = 1;
    TMIDI midi(TMidiSetup::Devices);
    ASSERT_NE(Ports->Stream, nullptr);
    midi.SetTempo(480);
    for (int i = 0; i < 8; ++i) {
        bool accepted = false;
        midi.PushEvent(0, 10, PackMidiMsg(i % 2 ? 0x80 : 0x90, 60, 100), accepted, 0, 0);
        ASSERT_TRUE(accepted);
    }
    midi.Play(0, 0, 1920, false);
    for (int i = 0; i < 200 && midi.GetPos() < 100; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_GE(midi.Stop(0), 0);
}
