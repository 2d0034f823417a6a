#include "devices/inport.h"
#include "devices/mfx.h"
#include "devices/midi.h"
#include "devices/midimsg.h"
#include "platform/core/messages.h"
#include "platform/midi/midi.h"
#include "platform/midi/virtualmidi.h"
#include "song/primitives.h"
#include "song/softengine.h"
#include "song/song.h"
#include "song/song_invariants.h"
#include "support/pump.h"
#include "support/temp_settings.h"
#include "support/virtual_clock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace platform;
using testsupport::Received;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes Short(std::uint32_t Msg) {
    Bytes b{static_cast<std::uint8_t>(Msg), static_cast<std::uint8_t>(Msg >> 8),
            static_cast<std::uint8_t>(Msg >> 16)};
    std::uint32_t s = Msg & 0xF0;
    if (s == 0xC0 || s == 0xD0) b.resize(2);
    return b;
}

struct TimedMsg {
    int Time;
    std::uint32_t Msg;
    bool operator==(const TimedMsg&) const = default;
};

struct Block {
    int Time;
    Bytes Data;
    bool operator==(const Block&) const = default;
    friend void PrintTo(const Block& B, std::ostream* Os) {
        *Os << B.Time << ": " << B.Data.size() << " bytes";
    }
};

std::vector<TimedMsg> PartEvents(const _TPart* P) {
    std::vector<TimedMsg> r;
    int t = 0;
    for (const _TEvent* e = P->Events; e; e = e->Next) {
        t += e->Delta;
        r.push_back({t, e->Msg});
    }
    return r;
}

// The multimedia back end with a keyboard on input 0, a synth on output 0 and the stream on
// output 1, at 125 BPM so that a tick is 2 ms of the virtual clock; the test's window stands in
// for the main window.
class InputPort : public testing::Test {
protected:
    virtual std::string_view Ini() const { return ""; }
    void SetUp() override {
        SetMidiRealPorts(false);
        if (!Ini().empty()) settings.WriteIni(Ini());
        keys = std::make_unique<TVirtualMidiIn>("Keys");
        synth = std::make_unique<TVirtualMidiOut>("Synth");
        stream = std::make_unique<TVirtualMidiOut>("Stream");
        Song = new TSong;
        MidiMode = 1;
        Midi = new TMIDI(TMidiSetup::Devices);
        Midi->SetWnd(window.Handle());
        Midi->SetTempo(125);
        ASSERT_TRUE(Midi->IsInputOpen());
        In().ThruOn = true;
        In().ThruPort = 0;
        In().ThruTrack = 5;
        In().ThruChannel = -1;
    }
    void TearDown() override {
        delete Midi;
        Midi = nullptr;
        delete Song;
        Song = nullptr;
        SetMidiRealPorts(true);
    }
    TInPort& In() { return *Midi->InPort; }
    void Send(std::uint32_t Msg) { keys->Send(Short(Msg)); }
    std::vector<Bytes> Thru() const {
        std::vector<Bytes> r;
        for (auto& s : synth->Sent())
            r.push_back(s.Bytes);
        return r;
    }
    // The input's messages that reached the test's window, pumped first.
    std::vector<Received> Posted() {
        testsupport::PumpAll();
        std::vector<Received> r;
        for (auto& m : window.messages)
            if (m.msg == MM_MIM_DATA || m.msg == WM_INPUTACTIVITY || m.msg == WM_SYNCSTARTSTOP)
                r.push_back(m);
        window.messages.clear();
        return r;
    }
    // The record command on the current track from the left locator, as the main window does.
    void StartRecording() {
        Song->PrepareRecordPart();
        Song->State = 1;
        Midi->Record(Song->LeftLocator, Song->LeftLocator, Song->RightLocator, Song->Looping);
    }
    // The stop command's part of it: MIDI stops first, then the record part is let go.
    _TPart* StopRecording() {
        _TPart* part = Song->RecordPart;
        Midi->Stop(0);
        Song->RecordPart = nullptr;
        Song->State = 0;
        return part;
    }
    void AtTick(int Tick) {
        clock.Advance(static_cast<std::uint32_t>(2 * Tick) - (clock.Now() - recordStart));
    }

    TempSettings settings;
    testsupport::VirtualClock clock;
    testsupport::RecordingWindow window;
    std::unique_ptr<TVirtualMidiIn> keys;
    std::unique_ptr<TVirtualMidiOut> synth, stream;
    std::uint32_t recordStart = 0;
};

class InputPortMapped : public InputPort {
protected:
    std::string_view Ini() const override { return "[ccmap]\n1=11\n"; }
};

} // namespace

TEST_F(InputPortMapped, ThruTransposesRemapsAndReportsEachMessage) {
    struct Case {
        const char* What;
        int Transpose, ThruChannel;
        std::uint32_t In;
        std::uint32_t Out; // 0: nothing at all
    } cases[] = {
        {"note transposed", 12, -1, PackMidiMsg(0x90, 60, 100), PackMidiMsg(0x90, 72, 100)},
        {"release transposed", 12, -1, PackMidiMsg(0x80, 60, 64), PackMidiMsg(0x80, 72, 64)},
        {"controller not transposed", 12, -1, PackMidiMsg(0xB0, 7, 90), PackMidiMsg(0xB0, 7, 90)},
        {"forced channel", 0, 3, PackMidiMsg(0x99, 36, 90), PackMidiMsg(0x93, 36, 90)},
        {"own channel", 0, -1, PackMidiMsg(0x99, 36, 90), PackMidiMsg(0x99, 36, 90)},
        {"controller map", 0, -1, PackMidiMsg(0xB2, 1, 33), PackMidiMsg(0xB2, 11, 33)},
        {"controller map after channel", 0, 4, PackMidiMsg(0xB2, 1, 33), PackMidiMsg(0xB4, 11, 33)},
        {"system message keeps its status", 0, 3, PackMidiMsg(0xF2, 5, 1), PackMidiMsg(0xF2, 5, 1)},
        {"pushed above the keyboard", 12, -1, PackMidiMsg(0x90, 120, 100), 0},
        {"its release as well", 12, -1, PackMidiMsg(0x80, 120, 0), 0},
        {"pushed below the keyboard", -61, -1, PackMidiMsg(0x90, 60, 100), 0},
        {"silent note below", -61, -1, PackMidiMsg(0x90, 60, 0), 0},
        {"lowest note kept", -60, -1, PackMidiMsg(0x90, 60, 100), PackMidiMsg(0x90, 0, 100)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        Midi->SetTranspose(c.Transpose);
        Midi->SetMThru(true, 0, c.ThruChannel, 5, nullptr);
        synth->Clear();
        Send(c.In);
        if (c.Out == 0) {
            EXPECT_TRUE(Thru().empty());
            EXPECT_TRUE(Posted().empty());
            continue;
        }
        EXPECT_EQ(Thru(), std::vector<Bytes>{Short(c.Out)});
        EXPECT_EQ(Posted(), (std::vector<Received>{
                                {window.Handle(), MM_MIM_DATA, 0, static_cast<LPARAM>(c.Out)}}));
    }
    Midi->SetMThru(false, 0, -1, 5, nullptr);
    synth->Clear();
    Send(PackMidiMsg(0x90, 60, 100));
    EXPECT_TRUE(Thru().empty()) << "thru off";
    EXPECT_EQ(Posted().size(), 1u) << "the activity is still reported";
}

TEST_F(InputPort, RealTimeMessagesAreTransportOrNothing) {
    struct Case {
        std::uint8_t Byte;
        int Posted; // wParam of the transport message; 0 for none
    } cases[] = {{0xF8, 0}, {0xFE, 0}, {0xFA, 1}, {0xFB, 3}, {0xFC, 2}, {0xF9, 0}, {0xFF, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Byte);
        keys->Send({c.Byte});
        auto posted = Posted();
        if (c.Posted == 0)
            EXPECT_TRUE(posted.empty());
        else
            EXPECT_EQ(posted, (std::vector<Received>{{window.Handle(), WM_SYNCSTARTSTOP,
                                                      static_cast<WPARAM>(c.Posted), 0}}));
    }
    EXPECT_TRUE(Thru().empty());
}

TEST_F(InputPort, RecordsQuantizedNotesWithTheirLengthAndWrapsHeldNotesAtTheLoopEnd) {
    Song->LeftLocator = 0;
    Song->RightLocator = 1920;
    Song->Looping = 1;
    Midi->SetQ(true, 120);
    recordStart = clock.Now();
    StartRecording();
    ASSERT_NE(Song->RecordPart, nullptr);

    AtTick(61);
    Send(PackMidiMsg(0x90, 60, 100)); // moves forward to 120
    AtTick(300);
    Send(PackMidiMsg(0x91, 62, 90)); // an exact half goes back to 240
    AtTick(340);
    Send(PackMidiMsg(0x90, 60, 0)); // released: 279 ticks after the quantized start
    AtTick(400);
    Send(PackMidiMsg(0x81, 62, 64));
    Send(PackMidiMsg(0x80, 99, 0)); // nothing held on 99: dropped
    AtTick(500);
    Send(PackMidiMsg(0xB0, 7, 100)); // goes in at once, unquantized
    AtTick(1800);
    Send(PackMidiMsg(0x90, 64, 80));
    testsupport::PumpAll();
    EXPECT_EQ(In().Recorded.size(), 1u) << "a held note waits for its release";
    AtTick(1920 + 100); // the loop wrapped while the note was held
    Send(PackMidiMsg(0x80, 64, 0));
    testsupport::PumpAll();

    _TPart* part = StopRecording();
    EXPECT_EQ(PartEvents(part), (std::vector<TimedMsg>{
                                    {120, PackMidiMsg(0x90, 60, 100)},
                                    {240, PackMidiMsg(0x91, 62, 90)},
                                    {340, PackMidiMsg(0x81, 62, 64)},
                                    {399, PackMidiMsg(0x90, 60, 0)},
                                    {500, PackMidiMsg(0xB0, 7, 100)},
                                    {1800, PackMidiMsg(0x90, 64, 80)},
                                    {1919, PackMidiMsg(0x80, 64, 0)},
                                }));
    EXPECT_EQ(part->Length, 1920);
    EXPECT_TRUE(CheckSongInvariants(*Song));
    EXPECT_TRUE(CheckSongNotePairing(*Song));
    EXPECT_EQ(Thru().size(), 8u) << "everything was echoed as it came";
}

TEST_F(InputPort, LoopRecordingKeepsWhatMeetsTheLoopEndInsideTheLoop) {
    const auto on = PackMidiMsg(0x90, 60, 100), off = PackMidiMsg(0x80, 60, 0),
               cc = PackMidiMsg(0xB0, 64, 0);
    struct Case {
        const char* Name;
        int Quantize, OnAt, OffAt;
        std::vector<TimedMsg> Want;
    } cases[] = {
        {"quantized onto the loop end, released before the wrap", 120, 1900, 1910,
         {{0, on}, {10, off}}},
        {"quantized onto the loop end, released after the wrap", 120, 1900, 1920 + 100,
         {{0, on}, {120, off}}},
        {"played on the loop end", 0, 1920, 1920 + 50, {{0, on}, {50, off}}},
        {"released in the tick it was played", 0, 500, 500, {{500, on}, {500, off}}},
        {"released with a pedal on the loop end", 0, 1800, 1920,
         {{1800, on}, {1919, off}, {1919, cc}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        delete Song;
        Song = new TSong;
        Song->LeftLocator = 0;
        Song->RightLocator = 1920;
        Song->Looping = 1;
        Midi->SetQ(c.Quantize > 0, c.Quantize);
        recordStart = clock.Now();
        StartRecording();
        AtTick(c.OnAt);
        Send(on);
        AtTick(c.OffAt);
        Send(off);
        if (c.Want.size() > 2) Send(cc);
        _TPart* part = StopRecording();
        EXPECT_EQ(PartEvents(part), c.Want);
        EXPECT_EQ(part->Length, 1920) << "the part stays inside the loop";
        EXPECT_TRUE(CheckSongNotePairing(*Song));
    }
}

TEST_F(InputPort, InputBeforeTheFirstAudioBlockIsRecordedAtTheStart) {
    struct AudioOnline : TMidiAudio {
        AudioOnline() { SetMidiAudio(this); }
        ~AudioOnline() override { SetMidiAudio(nullptr); }
        bool AudioOn() override { return true; }
    } audio;
    // An earlier recording left the input clock a minute behind.
    recordStart = clock.Now();
    StartRecording();
    StopRecording();
    clock.Advance(60000);

    StartRecording(); // with audio open, MIDI starts with the first block
    const int length = Song->RecordPart->Length;
    Send(PackMidiMsg(0xB0, 64, 127));
    Send(PackMidiMsg(0x90, 60, 100));
    clock.Advance(5);
    recordStart = clock.Now();
    Midi->RecordPending();
    AtTick(10);
    Send(PackMidiMsg(0x80, 60, 0));
    _TPart* part = StopRecording();
    EXPECT_EQ(PartEvents(part), (std::vector<TimedMsg>{{0, PackMidiMsg(0xB0, 64, 127)},
                                                       {0, PackMidiMsg(0x90, 60, 100)},
                                                       {10, PackMidiMsg(0x80, 60, 0)}}));
    EXPECT_EQ(part->Length, length);
}

TEST_F(InputPort, StopTakesWhatArrivedAndIgnoresWhatFollows) {
    recordStart = clock.Now();
    StartRecording();
    AtTick(10);
    Send(PackMidiMsg(0x90, 60, 100));
    Send(PackMidiMsg(0xB0, 1, 5));
    AtTick(20);
    Send(PackMidiMsg(0x80, 60, 0));
    Send(PackMidiMsg(0x90, 61, 100)); // still held at the stop: not written
    // The last two are still queued: the stop itself takes them.
    _TPart* part = StopRecording();
    // A note goes in when it is released, behind what came in its tick meanwhile.
    EXPECT_EQ(PartEvents(part), (std::vector<TimedMsg>{{10, PackMidiMsg(0xB0, 1, 5)},
                                                       {10, PackMidiMsg(0x90, 60, 100)},
                                                       {20, PackMidiMsg(0x80, 60, 0)}}));
    Send(PackMidiMsg(0x80, 61, 0));
    Send(PackMidiMsg(0xB0, 1, 6));
    testsupport::PumpAll();
    EXPECT_EQ(PartEvents(part).size(), 3u);

    // Input of one tick keeps its order at the head of the part too.
    recordStart = clock.Now();
    Song->LeftLocator = 1920;
    Song->RightLocator = 3840;
    StartRecording();
    ASSERT_NE(Song->RecordPart, part);
    EXPECT_TRUE(In().Recorded.empty()) << "the new recording forgot the held note";
    Send(PackMidiMsg(0xB0, 0, 1));
    Send(PackMidiMsg(0xC0, 5, 0));
    Send(PackMidiMsg(0x90, 70, 100));
    Send(PackMidiMsg(0x80, 70, 0));
    part = StopRecording();
    EXPECT_EQ(PartEvents(part), (std::vector<TimedMsg>{{0, PackMidiMsg(0xB0, 0, 1)},
                                                       {0, PackMidiMsg(0xC0, 5, 0)},
                                                       {0, PackMidiMsg(0x90, 70, 100)},
                                                       {0, PackMidiMsg(0x80, 70, 0)}}));
    EXPECT_TRUE(CheckSongInvariants(*Song));
    EXPECT_TRUE(CheckSongNotePairing(*Song));
}

TEST_F(InputPort, AStopWhileNotesArriveLeavesAConsistentPart) {
    testsupport::DropReports drops; // the player outruns the window's queue
    In().ThruOn = false;
    recordStart = clock.Now();
    StartRecording();
    std::atomic<bool> done{false};
    std::atomic<int> sent{0};
    std::thread player([&] {
        for (int i = 0; !done; ++i) {
            auto note = static_cast<std::uint32_t>(36 + i % 48);
            Send(PackMidiMsg(0x90, note, 100));
            Send(PackMidiMsg(0xB0, 1, note));
            Send(PackMidiMsg(0x80, note, 0));
            ++sent;
            std::this_thread::sleep_for(std::chrono::microseconds(20));
        }
    });
    for (int i = 0; i < 50 || sent < 200; ++i)
        clock.Advance(3);
    _TPart* part = StopRecording();
    int events = static_cast<int>(PartEvents(part).size());
    for (int i = 0; i < 20; ++i)
        clock.Advance(3);
    done = true;
    player.join();
    testsupport::PumpAll();
    EXPECT_GT(events, 0);
    EXPECT_EQ(static_cast<int>(PartEvents(part).size()), events)
        << "nothing came in after the stop";
    EXPECT_TRUE(CheckSongInvariants(*Song));
    EXPECT_TRUE(CheckSongNotePairing(*Song));
}

TEST_F(InputPort, SystemExclusiveIsRecordedInBlocksOf512Bytes) {
    In().RecordSysex = true;
    Midi->SelectInput(0);
    ASSERT_TRUE(In().HeaderPrepared);

    Bytes before{0xF0, 0x41, 0x10, 0xF7};
    keys->Send(before); // not recording: not kept, the buffer is queued again
    recordStart = clock.Now();
    StartRecording();
    AtTick(30);
    Bytes long600(600, 0x11);
    long600.front() = 0xF0;
    long600.back() = 0xF7;
    keys->Send(long600);
    AtTick(40);
    // A message the device hands over in two pieces: the first fills the open event to its
    // size and the rest begins the next one.
    Bytes head(300, 0x22), tail(400, 0x33);
    head.front() = 0xF0;
    tail.back() = 0xF7;
    keys->Send(head);
    keys->Send(tail);
    testsupport::PumpAll();
    _TPart* part = StopRecording();

    std::vector<Block> blocks;
    int t = 0;
    for (const _TEvent* e = part->Events; e; e = e->Next) {
        t += e->Delta;
        ASSERT_EQ(e->Msg, msSysex);
        blocks.push_back({t, Bytes(EventBlock(*e), EventBlock(*e) + e->DataLen)});
    }
    Bytes joined(head);
    joined.insert(joined.end(), tail.begin(), tail.end());
    EXPECT_EQ(blocks, (std::vector<Block>{
                          {30, Bytes(long600.begin(), long600.begin() + 512)},
                          {30, Bytes(long600.begin() + 512, long600.end())},
                          {40, Bytes(joined.begin(), joined.begin() + 512)},
                          {40, Bytes(joined.begin() + 512, joined.end())},
                      }));
    EXPECT_TRUE(Posted().empty()) << "system exclusive reports no activity";
}

TEST_F(InputPort, ThruToASoftsynthGoesToItsPluginAndReportsTheTrack) {
    TSoftEngine engine;
    struct Installed {
        TSoftEngine* Saved = SoftEngine;
        explicit Installed(TSoftEngine* E) { SoftEngine = E; }
        ~Installed() { SoftEngine = Saved; }
    } installed(&engine);
    TMFX& plugin = *engine.AddSoftsynth(TOLVERN_BIN_DIR "/synth/mfxsynth.so")->Plugin;
    TMFX& other = *engine.AddSoftsynth(TOLVERN_BIN_DIR "/synth/mfxsynth.so")->Plugin;
    ASSERT_TRUE(plugin.Loaded);
    ASSERT_TRUE(other.Loaded);
    auto input = [](TMFX& P) {
        std::vector<std::uint32_t> r;
        std::uint32_t m;
        while (P.InputEvents.Pop(m))
            r.push_back(m);
        return r;
    };
    auto live = [](TMFX& P) {
        std::vector<std::uint32_t> r;
        TRTEvent e;
        while (P.Events.Pop(e))
            if (e.IsMidi) r.push_back(e.Value);
        return r;
    };
    Midi->SetMThru(true, 0, 2, 7, &plugin);
    recordStart = clock.Now();
    StartRecording();
    AtTick(50);
    Send(PackMidiMsg(0x90, 60, 100));
    EXPECT_EQ(input(plugin), std::vector<std::uint32_t>{PackMidiMsg(0x92, 60, 100)});
    EXPECT_TRUE(Thru().empty()) << "nothing to the output port";
    EXPECT_EQ(Posted(), (std::vector<Received>{
                            {window.Handle(), WM_INPUTACTIVITY, 7, PackMidiMsg(0x92, 60, 100)},
                            {window.Handle(), MM_MIM_DATA, 0, PackMidiMsg(0x92, 60, 100)}}));
    AtTick(80);
    Send(PackMidiMsg(0x80, 60, 0));
    _TPart* part = StopRecording();
    EXPECT_EQ(PartEvents(part), (std::vector<TimedMsg>{{50, PackMidiMsg(0x92, 60, 100)},
                                                       {80, PackMidiMsg(0x82, 60, 0)}}))
        << "the song records the softsynth's input itself";

    // Mapped input: the track of the input channel names the softsynth by its output.
    Midi->MapInput = true;
    Song->Tracks[9]->Output = 1;
    Song->Tracks[8]->Output = 5;
    input(plugin);
    Send(PackMidiMsg(0x99, 38, 100));
    Send(PackMidiMsg(0x98, 39, 100));
    EXPECT_EQ(input(other), std::vector<std::uint32_t>{PackMidiMsg(0x99, 38, 100)});
    EXPECT_TRUE(input(plugin).empty());

    // Previews from the editors go through the same target, on the GUI thread's queue.
    In().PlayThru(3, PackMidiMsg(0x90, 64, 1));
    In().ThruNotesOff();
    EXPECT_EQ(live(plugin),
              (std::vector<std::uint32_t>{PackMidiMsg(0x90, 64, 1), PackMidiMsg(0xB0, 123, 0)}));
    Midi->SetMThru(true, 0, 2, 7, nullptr);
    In().PlayThru(0, PackMidiMsg(0x90, 64, 1));
    In().ThruNotesOff();
    EXPECT_EQ(Thru(), std::vector<Bytes>{Short(PackMidiMsg(0x90, 64, 1))});
}
