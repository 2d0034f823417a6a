#include "platform/core/clock.h"
#include "platform/midi/midi.h"
#include "platform/midi/midiclock.h"
#include "platform/midi/virtualmidi.h"
#include "platform/midi_fixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

using namespace platform;

namespace {

using Bytes = std::vector<std::uint8_t>;

// Virtual clock and virtual ports only, whatever the machine offers.
class MidiLayer : public testing::Test {
protected:
    void SetUp() override {
        SetMidiRealPorts(false);
        UseVirtualClock(0);
    }
    void TearDown() override {
        UseRealClock();
        SetMidiRealPorts(true);
    }
    // Moves the virtual clock to ms and lets the streams carry out what fell due.
    static void At(std::uint32_t ms) {
        SetVirtualTime(ms);
        WaitClockSettled();
        MidiSettle();
    }
};

struct TCallbackLog {
    std::vector<std::pair<std::uint32_t, std::uintptr_t>> Calls;
    static void Proc(HMIDIOUT, std::uint32_t msg, std::uintptr_t instance, std::uintptr_t p1,
                     std::uintptr_t) {
        reinterpret_cast<TCallbackLog*>(instance)->Calls.push_back({msg, p1});
    }
    int Count(std::uint32_t msg) const {
        int n = 0;
        for (auto& c : Calls)
            n += c.first == msg;
        return n;
    }
};

HMIDISTRM OpenStream(unsigned device, TCallbackLog& log, std::uint32_t timeDiv = 240,
                     std::uint32_t tempo = 500000) {
    HMIDISTRM h = nullptr;
    EXPECT_EQ(midiStreamOpen(&h, &device, 1, TCallbackLog::Proc,
                             reinterpret_cast<std::uintptr_t>(&log), CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
    MIDIPROPTIMEDIV div;
    div.dwTimeDiv = timeDiv;
    EXPECT_EQ(midiStreamProperty(h, &div, MIDIPROP_SET | MIDIPROP_TIMEDIV), MMSYSERR_NOERROR);
    MIDIPROPTEMPO t;
    t.dwTempo = tempo;
    EXPECT_EQ(midiStreamProperty(h, &t, MIDIPROP_SET | MIDIPROP_TEMPO), MMSYSERR_NOERROR);
    return h;
}

std::uint32_t Ticks(HMIDISTRM h) {
    MMTIME t;
    t.wType = TIME_MS;
    EXPECT_EQ(midiStreamPosition(h, &t), MMSYSERR_NOERROR);
    EXPECT_EQ(t.wType, TIME_TICKS);
    return t.ticks;
}

} // namespace

TEST_F(MidiLayer, DevicesReportNamesUpTo32CharactersAndTechnology) {
    std::string name32 = "Virtual Port With A 32-char Name";
    ASSERT_EQ(name32.size(), 32u);
    TVirtualMidiOut a(name32);
    TVirtualMidiOut b(name32 + " and more", MOD_SWSYNTH);
    TVirtualMidiIn in("Keys");
    ASSERT_EQ(midiOutGetNumDevs(), 2u);
    ASSERT_EQ(midiInGetNumDevs(), 1u);
    MIDIOUTCAPS caps;
    ASSERT_EQ(midiOutGetDevCaps(0, &caps), MMSYSERR_NOERROR);
    EXPECT_EQ(std::string(caps.szPname), name32);
    EXPECT_EQ(caps.wTechnology, MOD_MIDIPORT);
    ASSERT_EQ(midiOutGetDevCaps(1, &caps), MMSYSERR_NOERROR);
    EXPECT_EQ(std::string(caps.szPname), name32);
    EXPECT_EQ(caps.wTechnology, MOD_SWSYNTH);
    EXPECT_EQ(midiOutGetDevCaps(2, &caps), MMSYSERR_BADDEVICEID);
    MIDIINCAPS icaps;
    ASSERT_EQ(midiInGetDevCaps(0, &icaps), MMSYSERR_NOERROR);
    EXPECT_EQ(std::string(icaps.szPname), "Keys");
    EXPECT_EQ(midiInGetDevCaps(1, &icaps), MMSYSERR_BADDEVICEID);
    HMIDIOUT h;
    EXPECT_EQ(midiOutOpen(&h, 2, nullptr, 0, CALLBACK_NULL), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(h, nullptr);
}

TEST_F(MidiLayer, ShortMessagesSendTheirOwnLengthAndRefuseWhatIsNoMessage) {
    TVirtualMidiOut port("Out");
    HMIDIOUT h;
    ASSERT_EQ(midiOutOpen(&h, 0, nullptr, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    EXPECT_EQ(midiOutShortMsg(h, 0x05643C90), MMSYSERR_NOERROR); // byte 3 never goes out
    EXPECT_EQ(midiOutShortMsg(h, 0x000005C3), MMSYSERR_NOERROR);
    EXPECT_EQ(midiOutShortMsg(h, 0x000000FC), MMSYSERR_NOERROR);
    EXPECT_EQ(midiOutShortMsg(h, 0x00643C20), MMSYSERR_INVALPARAM);
    EXPECT_EQ(midiOutShortMsg(h, 0x000000F0), MMSYSERR_INVALPARAM);
    EXPECT_EQ(midiOutShortMsg(h, 0x00903C90),
              MMSYSERR_INVALPARAM); // a data byte that reads as a status
    EXPECT_EQ(midiOutShortMsg(h, 0x0000C5C3), MMSYSERR_INVALPARAM);
    EXPECT_EQ(midiOutShortMsg(h, 0x00FF00C3), MMSYSERR_NOERROR)
        << "bytes beyond the message are no part of it";
    auto sent = port.Sent();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[0].Bytes, (Bytes{0x90, 0x3C, 0x64}));
    EXPECT_EQ(sent[1].Bytes, (Bytes{0xC3, 0x05}));
    EXPECT_EQ(sent[2].Bytes, (Bytes{0xFC}));
    EXPECT_EQ(sent[3].Bytes, (Bytes{0xC3, 0x00}));

    Bytes sysex{0xF0, 0x41, 0x10, 0xF7};
    MIDIHDR hdr{};
    hdr.lpData = reinterpret_cast<char*>(sysex.data());
    hdr.dwBufferLength = 4;
    EXPECT_EQ(midiOutLongMsg(h, &hdr), MIDIERR_UNPREPARED);
    ASSERT_EQ(midiOutPrepareHeader(h, &hdr), MMSYSERR_NOERROR);
    EXPECT_EQ(midiOutLongMsg(h, &hdr), MMSYSERR_NOERROR);
    EXPECT_TRUE(hdr.dwFlags & MHDR_DONE);
    EXPECT_EQ(port.Sent().back().Bytes, sysex);

    EXPECT_EQ(port.OpenCount(), 1);
    EXPECT_EQ(midiOutClose(h), MMSYSERR_NOERROR);
    EXPECT_EQ(port.OpenCount(), 0);
    EXPECT_EQ(midiOutShortMsg(h, 0x00643C90), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(midiOutShortMsg(nullptr, 0x00643C90), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(midiOutClose(h), MMSYSERR_INVALHANDLE);
}

TEST_F(MidiLayer, StreamPropertiesCheckFlagsSizesAndValues) {
    TVirtualMidiOut port("Out");
    TCallbackLog log;
    HMIDISTRM h = OpenStream(0, log, 240, 500000);
    MIDIPROPTIMEDIV div;
    EXPECT_EQ(midiStreamProperty(h, &div, MIDIPROP_GET | MIDIPROP_TIMEDIV), MMSYSERR_NOERROR);
    EXPECT_EQ(div.dwTimeDiv, 240u);
    MIDIPROPTEMPO tempo;
    EXPECT_EQ(midiStreamProperty(h, &tempo, MIDIPROP_GET | MIDIPROP_TEMPO), MMSYSERR_NOERROR);
    EXPECT_EQ(tempo.dwTempo, 500000u);

    struct {
        std::uint32_t flags;
        std::uint32_t cb;
        std::uint32_t value;
        MMRESULT result;
    } cases[] = {
        {MIDIPROP_TEMPO, sizeof(MIDIPROPTEMPO), 1000, MMSYSERR_INVALFLAG},
        {MIDIPROP_SET | MIDIPROP_GET | MIDIPROP_TEMPO, sizeof(MIDIPROPTEMPO), 1000,
         MMSYSERR_INVALFLAG},
        {MIDIPROP_SET | 7, sizeof(MIDIPROPTEMPO), 1000, MMSYSERR_INVALFLAG},
        {MIDIPROP_SET | MIDIPROP_TEMPO, 4, 1000, MMSYSERR_INVALPARAM},
        {MIDIPROP_SET | MIDIPROP_TEMPO, sizeof(MIDIPROPTEMPO), 0, MMSYSERR_INVALPARAM},
        {MIDIPROP_SET | MIDIPROP_TIMEDIV, sizeof(MIDIPROPTIMEDIV), 0, MMSYSERR_INVALPARAM},
        {MIDIPROP_SET | MIDIPROP_TIMEDIV, sizeof(MIDIPROPTIMEDIV), 0xE728,
         MMSYSERR_INVALPARAM}, // SMPTE
        {MIDIPROP_SET | MIDIPROP_TEMPO, sizeof(MIDIPROPTEMPO), 200000, MMSYSERR_NOERROR},
    };
    for (auto& c : cases) {
        std::uint32_t prop[2] = {c.cb, c.value};
        EXPECT_EQ(midiStreamProperty(h, prop, c.flags), c.result)
            << std::hex << c.flags << " " << std::dec << c.value;
    }
    EXPECT_EQ(midiStreamProperty(h, nullptr, MIDIPROP_SET | MIDIPROP_TEMPO), MMSYSERR_INVALPARAM);
    HMIDIOUT plain;
    ASSERT_EQ(midiOutOpen(&plain, 0, nullptr, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    EXPECT_EQ(midiStreamProperty(plain, &tempo, MIDIPROP_GET | MIDIPROP_TEMPO),
              MMSYSERR_INVALHANDLE);
    EXPECT_EQ(midiStreamRestart(plain), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(midiOutClose(plain), MMSYSERR_NOERROR);
    EXPECT_EQ(midiStreamClose(h), MMSYSERR_NOERROR);
    EXPECT_EQ(log.Count(MOM_OPEN), 1);
    EXPECT_EQ(log.Count(MOM_CLOSE), 1);
}

TEST_F(MidiLayer, StreamPlaysEventsOnTheClockAndCallsBackWhenDue) {
    TVirtualMidiOut port("Out");
    TCallbackLog log;
    HMIDISTRM h = OpenStream(0, log);
    TStreamBuffer b;
    b.Short(0, MEVT_F_CALLBACK);                // marker at 0
    b.Short(0, 0x00643C90);                     // note at 0
    b.Short(240, 0x00003C90 | MEVT_F_CALLBACK); // tick 240 = 500 ms at 120 BPM
    b.Short(240, 0x007F07B0);                   // tick 480 = 1000 ms
    MIDIHDR* hdr = b.Header();
    EXPECT_EQ(midiStreamOut(h, hdr), MIDIERR_UNPREPARED);
    ASSERT_EQ(midiOutPrepareHeader(h, hdr), MMSYSERR_NOERROR);
    ASSERT_EQ(midiStreamOut(h, hdr), MMSYSERR_NOERROR);
    EXPECT_EQ(midiStreamOut(h, hdr), MIDIERR_STILLPLAYING);
    EXPECT_EQ(midiOutUnprepareHeader(h, hdr), MIDIERR_STILLPLAYING);

    At(0);
    EXPECT_TRUE(port.Sent().empty()) << "a stream opens paused";
    ASSERT_EQ(midiStreamRestart(h), MMSYSERR_NOERROR);
    MidiSettle();
    ASSERT_EQ(port.Sent().size(), 1u);
    EXPECT_EQ(log.Count(MOM_POSITIONCB), 1);
    EXPECT_EQ(log.Calls.back().second, reinterpret_cast<std::uintptr_t>(hdr));
    EXPECT_EQ(hdr->dwOffset, 0u);
    At(250);
    EXPECT_EQ(Ticks(h), 120u);
    At(499);
    EXPECT_EQ(port.Sent().size(), 1u);
    At(500);
    ASSERT_EQ(port.Sent().size(), 2u);
    EXPECT_EQ(port.Sent()[1].TimeUs, 500000);
    EXPECT_EQ(hdr->dwOffset, 24u);
    EXPECT_EQ(log.Count(MOM_POSITIONCB), 2);
    EXPECT_EQ(log.Count(MOM_DONE), 0);
    At(2000);
    ASSERT_EQ(port.Sent().size(), 3u);
    EXPECT_EQ(port.Sent()[2].TimeUs, 2000000)
        << "a clock that jumps past an event sends it at once";
    EXPECT_EQ(log.Count(MOM_DONE), 1);
    EXPECT_TRUE(hdr->dwFlags & MHDR_DONE);
    EXPECT_FALSE(hdr->dwFlags & MHDR_INQUEUE);
    EXPECT_EQ(Ticks(h), 960u) << "the clock runs on past the last event";
    EXPECT_EQ(midiOutUnprepareHeader(h, hdr), MMSYSERR_NOERROR);
    EXPECT_EQ(midiStreamClose(h), MMSYSERR_NOERROR);
}

// No port at all: the stream's clock, position and callbacks run as with one.
TEST_F(MidiLayer, AStreamOnNoDeviceRunsItsClockAndCallsBack) {
    ASSERT_EQ(midiOutGetNumDevs(), 0u);
    TCallbackLog log;
    HMIDISTRM h = OpenStream(MIDI_NODEVICE, log);
    ASSERT_NE(h, nullptr);
    TStreamBuffer b;
    b.Short(0, 0x00643C90 | MEVT_F_CALLBACK);
    b.Short(240, 0x00003C90 | MEVT_F_CALLBACK);
    MIDIHDR* hdr = b.Header();
    ASSERT_EQ(midiOutPrepareHeader(h, hdr), MMSYSERR_NOERROR);
    ASSERT_EQ(midiStreamOut(h, hdr), MMSYSERR_NOERROR);
    At(0);
    ASSERT_EQ(midiStreamRestart(h), MMSYSERR_NOERROR);
    At(250);
    EXPECT_EQ(Ticks(h), 120u);
    EXPECT_EQ(log.Count(MOM_POSITIONCB), 1);
    At(1000);
    EXPECT_EQ(Ticks(h), 480u);
    EXPECT_EQ(log.Count(MOM_POSITIONCB), 2);
    EXPECT_EQ(log.Count(MOM_DONE), 1);
    EXPECT_EQ(midiOutShortMsg(h, 0x00403C90), MMSYSERR_NOERROR) << "taken, and heard by nobody";
    EXPECT_EQ(midiStreamStop(h), MMSYSERR_NOERROR);
    EXPECT_EQ(Ticks(h), 0u);
    EXPECT_EQ(midiOutUnprepareHeader(h, hdr), MMSYSERR_NOERROR);
    EXPECT_EQ(midiStreamClose(h), MMSYSERR_NOERROR);
    HMIDIOUT out = nullptr;
    EXPECT_EQ(midiOutOpen(&out, MIDI_NODEVICE, nullptr, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    EXPECT_EQ(midiOutShortMsg(out, 0x00403C90), MMSYSERR_NOERROR);
    EXPECT_EQ(midiOutClose(out), MMSYSERR_NOERROR);
    unsigned bad = 0;
    EXPECT_EQ(midiStreamOpen(&h, &bad, 1, nullptr, 0, CALLBACK_NULL), MMSYSERR_BADDEVICEID);
}

TEST_F(MidiLayer, PauseHoldsThePositionAndStopHandsEveryBufferBackAtOnce) {
    TVirtualMidiOut port("Out");
    TCallbackLog log;
    HMIDISTRM h = OpenStream(0, log);
    TStreamBuffer b1, b2;
    b1.Short(480, 0x00403C90);
    b2.Short(480, 0x00403E90);
    for (auto* hdr : {b1.Header(), b2.Header()}) {
        ASSERT_EQ(midiOutPrepareHeader(h, hdr), MMSYSERR_NOERROR);
        ASSERT_EQ(midiStreamOut(h, hdr), MMSYSERR_NOERROR);
    }
    ASSERT_EQ(midiStreamRestart(h), MMSYSERR_NOERROR);
    At(500);
    EXPECT_EQ(Ticks(h), 240u);
    ASSERT_EQ(midiStreamPause(h), MMSYSERR_NOERROR);
    At(5000);
    EXPECT_EQ(Ticks(h), 240u);
    EXPECT_TRUE(port.Sent().empty());
    ASSERT_EQ(midiStreamRestart(h), MMSYSERR_NOERROR);
    At(5500);
    ASSERT_EQ(port.Sent().size(), 1u);
    EXPECT_EQ(port.Sent()[0].TimeUs, 5500000);
    EXPECT_EQ(log.Count(MOM_DONE), 1);
    EXPECT_EQ(midiStreamClose(h), MIDIERR_STILLPLAYING);

    ASSERT_EQ(midiStreamStop(h), MMSYSERR_NOERROR);
    EXPECT_EQ(log.Count(MOM_DONE), 2) << "the second buffer came back inside Stop";
    EXPECT_FALSE(b2.Hdr.dwFlags & MHDR_INQUEUE);
    EXPECT_EQ(Ticks(h), 0u);
    At(9000);
    EXPECT_EQ(port.Sent().size(), 1u);
    EXPECT_EQ(log.Count(MOM_DONE), 2);

    // A stopped stream plays again from 0 with fresh buffers.
    ASSERT_EQ(midiStreamOut(h, b1.Header()), MIDIERR_UNPREPARED);
    ASSERT_EQ(midiOutPrepareHeader(h, &b1.Hdr), MMSYSERR_NOERROR);
    ASSERT_EQ(midiStreamOut(h, &b1.Hdr), MMSYSERR_NOERROR);
    ASSERT_EQ(midiStreamRestart(h), MMSYSERR_NOERROR);
    At(10000);
    ASSERT_EQ(port.Sent().size(), 2u);
    EXPECT_EQ(port.Sent()[1].TimeUs, 10000000);
    EXPECT_EQ(midiStreamClose(h), MMSYSERR_NOERROR);
}

TEST_F(MidiLayer, TempoChangesTakeEffectAtTheirTick) {
    TVirtualMidiOut port("Out");
    TCallbackLog log;
    HMIDISTRM h = OpenStream(0, log);
    TStreamBuffer b;
    b.Short(240, (std::uint32_t(MEVT_TEMPO) << 24) | 250000); // at 500 ms: twice as fast
    b.Short(240, 0x00403C90);                                 // 500 + 250 ms
    b.Long(0, {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7});
    b.Short(0, (std::uint32_t(MEVT_NOP) << 24));
    ASSERT_EQ(midiOutPrepareHeader(h, b.Header()), MMSYSERR_NOERROR);
    ASSERT_EQ(midiStreamOut(h, &b.Hdr), MMSYSERR_NOERROR);
    ASSERT_EQ(midiStreamRestart(h), MMSYSERR_NOERROR);
    At(500);
    EXPECT_EQ(Ticks(h), 240u);
    At(749);
    EXPECT_TRUE(port.Sent().empty());
    At(750);
    auto sent = port.Sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].TimeUs, 750000);
    EXPECT_EQ(sent[1].Bytes, (Bytes{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}));
    MIDIPROPTEMPO tempo;
    ASSERT_EQ(midiStreamProperty(h, &tempo, MIDIPROP_GET | MIDIPROP_TEMPO), MMSYSERR_NOERROR);
    EXPECT_EQ(tempo.dwTempo, 250000u);
    EXPECT_EQ(midiStreamStop(h), MMSYSERR_NOERROR);
    EXPECT_EQ(midiStreamClose(h), MMSYSERR_NOERROR);
}

TEST_F(MidiLayer, TempoPropertyKeepsTheElapsedTicks) {
    TVirtualMidiOut port("Out");
    TCallbackLog log;
    HMIDISTRM h = OpenStream(0, log);
    TStreamBuffer b;
    b.Short(480, 0x00403C90);
    ASSERT_EQ(midiOutPrepareHeader(h, b.Header()), MMSYSERR_NOERROR);
    ASSERT_EQ(midiStreamOut(h, &b.Hdr), MMSYSERR_NOERROR);
    ASSERT_EQ(midiStreamRestart(h), MMSYSERR_NOERROR);
    At(500);
    MIDIPROPTEMPO tempo;
    tempo.dwTempo = 1000000; // 60 BPM from here: the next 240 ticks take a second
    ASSERT_EQ(midiStreamProperty(h, &tempo, MIDIPROP_SET | MIDIPROP_TEMPO), MMSYSERR_NOERROR);
    EXPECT_EQ(Ticks(h), 240u);
    At(1499);
    EXPECT_TRUE(port.Sent().empty());
    At(1500);
    ASSERT_EQ(port.Sent().size(), 1u);
    EXPECT_EQ(midiStreamStop(h), MMSYSERR_NOERROR);
    EXPECT_EQ(midiStreamClose(h), MMSYSERR_NOERROR);
}

TEST_F(MidiLayer, StreamTimesOnTheSteadyClock) {
    UseRealClock();
    TVirtualMidiOut port("Out");
    TCallbackLog log;
    HMIDISTRM h = OpenStream(0, log, 240, 60000); // a tick lasts 250 us
    TStreamBuffer b;
    for (int i = 0; i < 5; ++i)
        b.Short(40, 0x00403C90); // every 10 ms
    ASSERT_EQ(midiOutPrepareHeader(h, b.Header()), MMSYSERR_NOERROR);
    ASSERT_EQ(midiStreamOut(h, &b.Hdr), MMSYSERR_NOERROR);
    std::int64_t start = MidiClockUs();
    ASSERT_EQ(midiStreamRestart(h), MMSYSERR_NOERROR);
    for (int i = 0; i < 200 && port.Sent().size() < 5; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    auto sent = port.Sent();
    ASSERT_EQ(sent.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        std::int64_t error = sent[i].TimeUs - (start + (i + 1) * 10000);
        EXPECT_GE(error, 0) << i;
        EXPECT_LT(error, 20000) << i; // loose: shared machines stall
    }
    EXPECT_EQ(midiStreamClose(h), MMSYSERR_NOERROR);
}

namespace {
struct TInputLog {
    HMIDIIN Handle = nullptr;
    std::vector<std::uint32_t> Data;
    std::vector<std::uintptr_t> Stamps;
    std::vector<std::uint32_t> Lengths;
    bool Requeue = true;
    static void Proc(HMIDIIN h, std::uint32_t msg, std::uintptr_t instance, std::uintptr_t p1,
                     std::uintptr_t p2) {
        auto* self = reinterpret_cast<TInputLog*>(instance);
        if (msg == MIM_DATA) {
            self->Data.push_back(static_cast<std::uint32_t>(p1));
            self->Stamps.push_back(p2);
        } else if (msg == MIM_LONGDATA) {
            auto* hdr = reinterpret_cast<MIDIHDR*>(p1);
            self->Lengths.push_back(hdr->dwBytesRecorded);
            if (self->Requeue && hdr->dwBytesRecorded > 0) midiInAddBuffer(h, hdr);
        }
    }
};
} // namespace

TEST_F(MidiLayer, InputDeliversShortMessagesAndSplitsSystemExclusiveOverBuffers) {
    TVirtualMidiIn port("Keys");
    TInputLog log;
    HMIDIIN h;
    ASSERT_EQ(midiInOpen(&h, 0, TInputLog::Proc, reinterpret_cast<std::uintptr_t>(&log),
                         CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
    port.Send({0x90, 60, 100});
    EXPECT_TRUE(log.Data.empty()) << "nothing before start";
    SetVirtualTime(1000);
    ASSERT_EQ(midiInStart(h), MMSYSERR_NOERROR);
    SetVirtualTime(1250);
    port.Send({0x90, 60, 100});
    port.Send({0xF8});
    port.Send({0xC2, 7});
    ASSERT_EQ(log.Data, (std::vector<std::uint32_t>{0x00643C90, 0xF8, 0x07C2}));
    EXPECT_EQ(log.Stamps[0], 250u);

    std::vector<char> block(512);
    MIDIHDR hdr{};
    hdr.lpData = block.data();
    hdr.dwBufferLength = 512;
    EXPECT_EQ(midiInAddBuffer(h, &hdr), MIDIERR_UNPREPARED);
    ASSERT_EQ(midiInPrepareHeader(h, &hdr), MMSYSERR_NOERROR);
    ASSERT_EQ(midiInAddBuffer(h, &hdr), MMSYSERR_NOERROR);
    Bytes sysex(600, 0x11);
    sysex.front() = 0xF0;
    sysex.back() = 0xF7;
    port.Send(sysex);
    ASSERT_EQ(log.Lengths, (std::vector<std::uint32_t>{512, 88}));
    EXPECT_EQ(static_cast<std::uint8_t>(block[87]), 0xF7);
    EXPECT_EQ(midiInUnprepareHeader(h, &hdr), MIDIERR_STILLPLAYING);
    EXPECT_EQ(midiInClose(h), MIDIERR_STILLPLAYING);

    log.Requeue = false;
    ASSERT_EQ(midiInReset(h), MMSYSERR_NOERROR);
    EXPECT_EQ(log.Lengths.back(), 0u) << "reset hands the buffer back empty";
    port.Send({0x90, 61, 100});
    EXPECT_EQ(log.Data.size(), 3u) << "reset stops the input";
    EXPECT_EQ(midiInUnprepareHeader(h, &hdr), MMSYSERR_NOERROR);
    EXPECT_EQ(port.OpenCount(), 1);
    EXPECT_EQ(midiInClose(h), MMSYSERR_NOERROR);
    EXPECT_EQ(port.OpenCount(), 0);
    EXPECT_EQ(midiInStart(h), MMSYSERR_INVALHANDLE);
}

// The sequencer's own ports: shown wherever the kernel offers a sequencer, and simply absent
// otherwise (no error, no message).
TEST(MidiRealPorts, NoSequencerMeansNoPortsAndNeverAFailure) {
    setenv("JACK_DEFAULT_SERVER", "tolvern-no-such-server", 1); // whatever JACK this machine runs
    SetMidiRealPorts(true);
    if (MidiSequencerAvailable()) GTEST_SKIP() << "this machine has an ALSA sequencer";
    EXPECT_EQ(midiOutGetNumDevs(), 0u);
    EXPECT_EQ(midiInGetNumDevs(), 0u);
    HMIDIOUT h;
    EXPECT_EQ(midiOutOpen(&h, 0, nullptr, 0, CALLBACK_NULL), MMSYSERR_BADDEVICEID);
}

TEST(MidiRealPorts, SequencerPortTakesMessages) {
    SetMidiRealPorts(true);
    if (!MidiSequencerAvailable())
        GTEST_SKIP() << "no ALSA sequencer here (/dev/snd/seq missing): no real MIDI port to test";
    unsigned n = midiOutGetNumDevs();
    if (n == 0) GTEST_SKIP() << "the ALSA sequencer offers no output port";
    MIDIOUTCAPS caps;
    ASSERT_EQ(midiOutGetDevCaps(0, &caps), MMSYSERR_NOERROR);
    EXPECT_GT(std::strlen(caps.szPname), 0u);
    HMIDIOUT h;
    ASSERT_EQ(midiOutOpen(&h, 0, nullptr, 0, CALLBACK_NULL), MMSYSERR_NOERROR) << caps.szPname;
    EXPECT_EQ(midiOutShortMsg(h, 0x00403C90), MMSYSERR_NOERROR);
    EXPECT_EQ(midiOutShortMsg(h, 0x00003C90), MMSYSERR_NOERROR);
    EXPECT_EQ(midiOutClose(h), MMSYSERR_NOERROR);
}
