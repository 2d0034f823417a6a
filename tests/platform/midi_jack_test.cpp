// JACK MIDI ports as devices, against a dummy-backend JACK server of the test's own and a peer
// JACK client (RtMidi in JACK mode) that owns one input and one output port.
#include "platform/midi/midi.h"
#include "platform/midi/midiclock.h"
#include "platform/midi/midiport.h"
#include "platform/midi_fixture.h"
#include "support/jack_monitor.h"
#include "support/jack_server.h"

#include <gtest/gtest.h>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <rtmidi/RtMidi.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace platform;

namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

// Collects what arrives from another thread and lets the test wait for a count of it.
template <class T> class TArrivals {
public:
    void Add(T item) {
        std::lock_guard lock(mutex_);
        items_.push_back(std::move(item));
        arrived_.notify_all();
    }
    bool WaitFor(std::size_t count, std::chrono::milliseconds limit = std::chrono::seconds(3)) {
        std::unique_lock lock(mutex_);
        return arrived_.wait_for(lock, limit, [&] { return items_.size() >= count; });
    }
    std::vector<T> Items() {
        std::lock_guard lock(mutex_);
        return items_;
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<T> items_;
};

void Quiet(RtMidiError::Type, const std::string&, void*) {}

// The other JACK client: "synth in" takes what our output device sends, "keys out" plays into
// our input device.
class TJackPeer {
public:
    TArrivals<Bytes> Received;

    TJackPeer() {
        in_ = std::make_unique<RtMidiIn>(RtMidi::UNIX_JACK, "Peer");
        in_->setErrorCallback(Quiet);
        in_->ignoreTypes(false, false, false);
        in_->setCallback(Record, this);
        in_->openVirtualPort("synth in");
        out_ = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, "Peer");
        out_->setErrorCallback(Quiet);
        out_->openVirtualPort("keys out");
    }
    void Play(Bytes bytes) { out_->sendMessage(&bytes); }
    // The peer's input client quits, taking "synth in" with it.
    void QuitInput() { in_.reset(); }

private:
    static void Record(double, std::vector<unsigned char>* message, void* self) {
        static_cast<TJackPeer*>(self)->Received.Add(Bytes(message->begin(), message->end()));
    }
    std::unique_ptr<RtMidiIn> in_;
    std::unique_ptr<RtMidiOut> out_;
};

// The device names in device order.
template <class Caps, class Count, class GetCaps>
std::vector<std::string> Names(Count count, GetCaps getCaps) {
    std::vector<std::string> names;
    for (unsigned i = 0, n = count(); i < n; ++i) {
        Caps caps;
        names.push_back(getCaps(i, &caps) == MMSYSERR_NOERROR ? caps.szPname : "?");
    }
    return names;
}
std::vector<std::string> OutNames() {
    return Names<MIDIOUTCAPS>(midiOutGetNumDevs, midiOutGetDevCaps);
}
std::vector<std::string> InNames() {
    return Names<MIDIINCAPS>(midiInGetNumDevs, midiInGetDevCaps);
}

int IndexOf(const std::vector<std::string>& names, const std::string& name) {
    auto it = std::find(names.begin(), names.end(), name);
    return it == names.end() ? -1 : static_cast<int>(it - names.begin());
}

template <class F> bool WaitUntil(F done, std::chrono::milliseconds limit) {
    for (auto end = Clock::now() + limit; Clock::now() < end;
         std::this_thread::sleep_for(std::chrono::milliseconds(20)))
        if (done()) return true;
    return done();
}

Bytes Sysex(std::size_t length) {
    Bytes b(length);
    b.front() = 0xF0;
    for (std::size_t i = 1; i + 1 < length; ++i)
        b[i] = static_cast<std::uint8_t>(i * 7 % 128);
    b.back() = 0xF7;
    return b;
}

// A header over Bytes for midiOutLongMsg, prepared on H.
MIDIHDR PreparedHeader(HMIDIOUT h, Bytes& bytes) {
    MIDIHDR hdr{};
    hdr.lpData = reinterpret_cast<char*>(bytes.data());
    hdr.dwBufferLength = static_cast<std::uint32_t>(bytes.size());
    EXPECT_EQ(midiOutPrepareHeader(h, &hdr), MMSYSERR_NOERROR);
    return hdr;
}

void RecordDone(HMIDIOUT, std::uint32_t msg, std::uintptr_t instance, std::uintptr_t,
                std::uintptr_t) {
    if (msg == MOM_DONE) reinterpret_cast<TArrivals<int>*>(instance)->Add(1);
}

class MidiJack : public testing::Test {
protected:
    void SetUp() override {
        // The server takes a moment to come up (the layer looks again once a second); one that
        // ends at once may have met another test's server going down: it gets two more tries.
        std::unique_ptr<DummyJackServer> last;
        for (int tries = 0; tries < 3 && !server_; ++tries) {
            last.reset(); // the one before ends first
            server_ = std::make_unique<DummyJackServer>(128, 48000, true);
            if (!server_->Started())
                GTEST_SKIP() << server_->Unavailable(
                    "jackd could not be started (is jackd2 installed?)");
            auto up = [&] { return server_->Exited() || JackServer(); };
            if (!WaitUntil(up, std::chrono::seconds(10)) || !JackServer())
                last = std::move(server_);
        }
        if (!server_)
            GTEST_SKIP() << last->Unavailable(
                "the dummy JACK server did not come up in three tries");
        SetMidiRealPorts(true);
        probe_ = jack_client_open("Probe", JackNoStartServer, nullptr);
        ASSERT_NE(probe_, nullptr);
        peer_ = std::make_unique<TJackPeer>();
        ASSERT_TRUE(WaitUntil(
            [] {
                return IndexOf(OutNames(), "synth in") >= 0 && IndexOf(InNames(), "keys out") >= 0;
            },
            std::chrono::seconds(3)))
            << "the peer's ports are not listed";
        synthIn_ = static_cast<unsigned>(IndexOf(OutNames(), "synth in"));
        keysOut_ = static_cast<unsigned>(IndexOf(InNames(), "keys out"));
    }
    void TearDown() override {
        // libjack crashes when clients of a stopped server are closed; those are left alone.
        if (server_ && !server_->Started()) {
            static auto* stopped = new std::vector<std::unique_ptr<TJackPeer>>;
            stopped->push_back(std::move(peer_));
            probe_ = nullptr;
        }
        // Our clients end first, the server last.
        peer_.reset();
        if (probe_) jack_client_close(probe_);
        if (server_ && server_->Started()) ReleaseJackServer();
        server_.reset();
    }
    // How many connections the port of this full name has (-1: no such port), once the
    // server's graph holds the count asked for (it takes a new graph at its next cycle).
    int Connections(const char* full, int expected) {
        auto count = [&] {
            jack_port_t* port = jack_port_by_name(probe_, full);
            return port ? jack_port_connected(port) : -1;
        };
        WaitUntil([&] { return count() == expected; }, std::chrono::seconds(1));
        return count();
    }

    std::unique_ptr<DummyJackServer> server_;
    std::unique_ptr<TJackPeer> peer_;
    jack_client_t* probe_ = nullptr;
    unsigned synthIn_ = 0;

    // A stream to the peer's input port that adds to Done for every buffer handed back.
    HMIDISTRM OpenStream(TArrivals<int>& done) {
        HMIDISTRM stream = nullptr;
        unsigned device = synthIn_;
        EXPECT_EQ(midiStreamOpen(&stream, &device, 1, RecordDone,
                                 reinterpret_cast<std::uintptr_t>(&done), CALLBACK_FUNCTION),
                  MMSYSERR_NOERROR);
        return stream;
    }
    unsigned keysOut_ = 0;
};

TEST_F(MidiJack, PeerPortsAreDevicesThatCarryMessagesBothWays) {
    auto outs = OutNames();
    auto ins = InNames();
    EXPECT_EQ(IndexOf(outs, "keys out"), -1) << "an output port is no output device";
    EXPECT_EQ(IndexOf(ins, "synth in"), -1) << "an input port is no input device";
    MIDIOUTCAPS caps;
    ASSERT_EQ(midiOutGetDevCaps(synthIn_, &caps), MMSYSERR_NOERROR);
    EXPECT_EQ(caps.wTechnology, MOD_MIDIPORT);

    HMIDIOUT out;
    ASSERT_EQ(midiOutOpen(&out, synthIn_, nullptr, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    TArrivals<std::uint32_t> heard;
    HMIDIIN in;
    ASSERT_EQ(midiInOpen(
                  &in, keysOut_,
                  [](HMIDIIN, std::uint32_t msg, std::uintptr_t instance, std::uintptr_t p1,
                     std::uintptr_t) {
                      if (msg == MIM_DATA)
                          reinterpret_cast<TArrivals<std::uint32_t>*>(instance)->Add(
                              static_cast<std::uint32_t>(p1));
                  },
                  reinterpret_cast<std::uintptr_t>(&heard), CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
    ASSERT_EQ(midiInStart(in), MMSYSERR_NOERROR);
    EXPECT_EQ(Connections("Peer:synth in", 1), 1) << "opening connects our own port";
    EXPECT_EQ(Connections("Peer-01:keys out", 1), 1);
    // Our own ports (one of each kind now) are never offered, and nothing else moved.
    EXPECT_EQ(OutNames(), outs);
    EXPECT_EQ(InNames(), ins);

    EXPECT_EQ(midiOutShortMsg(out, 0x00403C90), MMSYSERR_NOERROR);
    Bytes sysex = Sysex(200);
    MIDIHDR hdr = PreparedHeader(out, sysex);
    EXPECT_EQ(midiOutLongMsg(out, &hdr), MMSYSERR_NOERROR);
    ASSERT_TRUE(peer_->Received.WaitFor(2));
    EXPECT_EQ(peer_->Received.Items(), (std::vector<Bytes>{{0x90, 0x3C, 0x40}, sysex}));

    peer_->Play({0x91, 64, 90});
    ASSERT_TRUE(heard.WaitFor(1)) << "the peer's note did not arrive";
    EXPECT_EQ(heard.Items(), std::vector<std::uint32_t>{0x005A4091});

    EXPECT_EQ(midiOutUnprepareHeader(out, &hdr), MMSYSERR_NOERROR);
    EXPECT_EQ(midiOutClose(out), MMSYSERR_NOERROR);
    EXPECT_EQ(midiInStop(in), MMSYSERR_NOERROR);
    EXPECT_EQ(midiInClose(in), MMSYSERR_NOERROR);
    EXPECT_EQ(Connections("Peer:synth in", 0), 0) << "closing disconnects";
    EXPECT_EQ(Connections("Peer-01:keys out", 0), 0);
    EXPECT_EQ(OutNames(), outs);
    EXPECT_EQ(InNames(), ins);
}

// A short song through the stream output: every message arrives, in order, byte for byte.
TEST_F(MidiJack, StreamPlaysASongToThePortCompleteAndInOrder) {
    TArrivals<int> done;
    HMIDISTRM stream = OpenStream(done);
    ASSERT_NE(stream, nullptr);
    MIDIPROPTIMEDIV div;
    div.dwTimeDiv = 240;
    ASSERT_EQ(midiStreamProperty(stream, &div, MIDIPROP_SET | MIDIPROP_TIMEDIV), MMSYSERR_NOERROR);
    TStreamBuffer song;
    std::vector<Bytes> expected;
    for (std::uint8_t i = 0; i < 40; ++i) {
        std::uint8_t key = 48 + i / 2, status = i % 2 ? 0x80 : 0x90;
        song.Short(i % 4 == 3 ? 0 : 12, status | std::uint32_t(key) << 8 | 100u << 16);
        expected.push_back({status, key, 100});
        if (i == 20) {
            song.Long(6, Sysex(33));
            expected.push_back(Sysex(33));
        }
    }
    MIDIHDR* hdr = song.Header();
    ASSERT_EQ(midiOutPrepareHeader(stream, hdr), MMSYSERR_NOERROR);
    ASSERT_EQ(midiStreamOut(stream, hdr), MMSYSERR_NOERROR);
    ASSERT_EQ(midiStreamRestart(stream), MMSYSERR_NOERROR);
    ASSERT_TRUE(done.WaitFor(1, std::chrono::seconds(5))) << "the buffer never came back";
    ASSERT_TRUE(peer_->Received.WaitFor(expected.size()));
    EXPECT_EQ(peer_->Received.Items(), expected);
    EXPECT_EQ(midiOutUnprepareHeader(stream, hdr), MMSYSERR_NOERROR);
    EXPECT_EQ(midiStreamClose(stream), MMSYSERR_NOERROR);
}

// Two frames of the fixture's server (48 kHz) either way, in microseconds: a message's frame is
// its time's, and the server's cycle times, by which both sides turn frames into times, are
// estimates of its own that a loaded machine makes coarser.
constexpr std::int64_t FrameUs = 42;

// Messages handed to the output ahead of their time arrive at the frames their times give,
// wherever they fall in a period; those already late when handed over arrive at the start of
// the next cycle, in the order they were handed over, none dropped.
TEST_F(MidiJack, TimedMessagesArriveAtTheirFramesAndLateOnesAtTheCycleStartInOrder) {
    TJackMonitor monitor(256);
    ASSERT_TRUE(monitor.Running());
    auto out = OpenJackOutput(monitor.Port(), JackServer());
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->LeadUs(), 200000);
    // 2,500 us apart: 120 frames, which moves along the period from message to message.
    const std::int64_t base = MidiClockUs() + 60000;
    for (std::uint8_t k = 0; k < 8; ++k) {
        const Bytes note{0x90, static_cast<std::uint8_t>(60 + k), 100};
        ASSERT_TRUE(out->SendAt(note.data(), note.size(), base + 2500 * k));
    }
    ASSERT_TRUE(monitor.WaitFor(8, std::chrono::seconds(2)));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const Bytes late[] = {{0x90, 40, 1}, {0xB0, 7, 2}, {0x80, 40, 0}};
    // Well before any cycle the server may still run: a dummy server on a loaded machine runs
    // its cycles tens of milliseconds after their times.
    const std::int64_t past = MidiClockUs() - 2000000;
    for (const Bytes& m : late)
        ASSERT_TRUE(out->SendAt(m.data(), m.size(), past));
    ASSERT_TRUE(monitor.WaitFor(11, std::chrono::seconds(2)));
    const auto events = monitor.Events();
    ASSERT_EQ(events.size(), 11u);
    for (std::size_t k = 0; k < 8; ++k) {
        EXPECT_EQ(events[k].Message[1], 60 + k);
        EXPECT_NEAR(events[k].TimeUs - events[0].TimeUs, 2500 * static_cast<std::int64_t>(k),
                    FrameUs)
            << "message " << k;
    }
    const std::set<std::uint64_t> offsets{events[0].Offset, events[1].Offset, events[2].Offset,
                                          events[3].Offset};
    EXPECT_GT(offsets.size(), 1u) << "the messages came at the cycles' starts";
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(events[8 + i].Message, late[i]);
        EXPECT_EQ(events[8 + i].Offset, 0u) << "late message " << i;
    }
}

// A song through the stream: each note at the frame of its tick. Then a stop while notes were
// handed ahead: none of them sounds, only the ends of notes come.
TEST_F(MidiJack, StreamPlaysEachNoteAtItsFrameAndStopTakesBackWhatWasHandedAhead) {
    TJackMonitor monitor(256);
    ASSERT_TRUE(monitor.Running());
    int device = -1;
    ASSERT_TRUE(WaitUntil([&] { return (device = IndexOf(OutNames(), "monitor in")) >= 0; },
                          std::chrono::seconds(3)));
    TArrivals<int> done;
    HMIDISTRM stream = nullptr;
    unsigned id = static_cast<unsigned>(device);
    ASSERT_EQ(midiStreamOpen(&stream, &id, 1, RecordDone, reinterpret_cast<std::uintptr_t>(&done),
                             CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
    // 480 ticks to 500,000 us: 1,041.67 us a tick.
    MIDIPROPTIMEDIV div;
    div.cbStruct = sizeof div;
    div.dwTimeDiv = 480;
    ASSERT_EQ(midiStreamProperty(stream, &div, MIDIPROP_SET | MIDIPROP_TIMEDIV), MMSYSERR_NOERROR);
    TStreamBuffer song;
    const std::uint32_t gaps[] = {40, 17, 33, 5, 61, 24, 19, 48};
    for (std::uint32_t i = 0; i < 8; ++i)
        song.Short(gaps[i], 0x00644090 | i << 8);
    MIDIHDR* hdr = song.Header();
    ASSERT_EQ(midiOutPrepareHeader(stream, hdr), MMSYSERR_NOERROR);
    ASSERT_EQ(midiStreamOut(stream, hdr), MMSYSERR_NOERROR);
    ASSERT_EQ(midiStreamRestart(stream), MMSYSERR_NOERROR);
    ASSERT_TRUE(monitor.WaitFor(8, std::chrono::seconds(3)));
    auto events = monitor.Events();
    std::int64_t tick = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(events[i].Message[1], 0x40 + i);
        EXPECT_NEAR(events[i].TimeUs - events[0].TimeUs, tick * 500000 / 480, FrameUs)
            << "note " << i;
        if (i + 1 < 8) tick += gaps[i + 1];
    }
    ASSERT_TRUE(done.WaitFor(1));
    ASSERT_EQ(midiStreamStop(stream), MMSYSERR_NOERROR);

    // Notes 150 and 200 ms on, each ended 40 ms later: all handed ahead before the stop at
    // about 100 ms.
    TStreamBuffer more;
    more.Short(144, 0x00643090);
    more.Short(38, 0x00003080);
    more.Short(10, 0x00643290);
    more.Short(38, 0x00003280);
    hdr = more.Header();
    ASSERT_EQ(midiOutPrepareHeader(stream, hdr), MMSYSERR_NOERROR);
    ASSERT_EQ(midiStreamOut(stream, hdr), MMSYSERR_NOERROR);
    ASSERT_EQ(midiStreamRestart(stream), MMSYSERR_NOERROR);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_EQ(midiStreamStop(stream), MMSYSERR_NOERROR);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    events = monitor.Events();
    std::vector<Bytes> after;
    for (std::size_t i = 8; i < events.size(); ++i)
        after.push_back(events[i].Message);
    EXPECT_EQ(after, (std::vector<Bytes>{{0x80, 0x30, 0}, {0x80, 0x32, 0}}));
    EXPECT_EQ(midiOutUnprepareHeader(stream, hdr), MMSYSERR_NOERROR);
    EXPECT_EQ(midiStreamClose(stream), MMSYSERR_NOERROR);
}

// The peer quits while our output and a playing stream are open on its port.
TEST_F(MidiJack, PortThatGoesAwayFailsSendsQuietlyAndLeavesTheList) {
    HMIDIOUT out;
    ASSERT_EQ(midiOutOpen(&out, synthIn_, nullptr, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    TArrivals<int> done;
    HMIDISTRM stream = OpenStream(done);
    ASSERT_NE(stream, nullptr);
    TStreamBuffer song;
    for (int i = 0; i < 100; ++i)
        song.Short(2, i % 2 ? 0x00003C80 : 0x00643C90);
    MIDIHDR* hdr = song.Header();
    ASSERT_EQ(midiOutPrepareHeader(stream, hdr), MMSYSERR_NOERROR);
    ASSERT_EQ(midiStreamOut(stream, hdr), MMSYSERR_NOERROR);
    ASSERT_EQ(midiStreamRestart(stream), MMSYSERR_NOERROR);
    EXPECT_EQ(midiOutShortMsg(out, 0x00403C90), MMSYSERR_NOERROR);
    ASSERT_TRUE(peer_->Received.WaitFor(3));

    peer_->QuitInput();
    auto start = Clock::now();
    EXPECT_EQ(midiOutShortMsg(out, 0x00003C90), MMSYSERR_ERROR);
    Bytes sysex = Sysex(20);
    MIDIHDR long_ = PreparedHeader(out, sysex);
    EXPECT_EQ(midiOutLongMsg(out, &long_), MMSYSERR_ERROR);
    EXPECT_TRUE(long_.dwFlags & MHDR_DONE) << "a failed long message still comes back";
    EXPECT_EQ(IndexOf(OutNames(), "synth in"), -1);
    EXPECT_GE(IndexOf(InNames(), "keys out"), 0) << "the peer's other client stays";

    // The stream plays its buffer to the end against the missing port and closes as usual.
    ASSERT_TRUE(done.WaitFor(1, std::chrono::seconds(5))) << "the buffer never came back";
    EXPECT_EQ(midiOutUnprepareHeader(stream, hdr), MMSYSERR_NOERROR);
    EXPECT_EQ(midiStreamClose(stream), MMSYSERR_NOERROR);
    EXPECT_EQ(midiOutClose(out), MMSYSERR_NOERROR);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(8)) << "something hung";
}

TEST_F(MidiJack, ServerThatStopsFailsSendsAndTakesItsPortsAlong) {
    HMIDIOUT out;
    ASSERT_EQ(midiOutOpen(&out, synthIn_, nullptr, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    EXPECT_EQ(midiOutShortMsg(out, 0x00403C90), MMSYSERR_NOERROR);
    auto start = Clock::now();
    server_->Stop();
    // The server's end reaches us on libjack's thread a moment later; from then on sends fail.
    EXPECT_TRUE(WaitUntil([&] { return midiOutShortMsg(out, 0x00003C90) == MMSYSERR_ERROR; },
                          std::chrono::seconds(3)));
    EXPECT_EQ(IndexOf(OutNames(), "synth in"), -1);
    EXPECT_EQ(IndexOf(InNames(), "keys out"), -1);
    EXPECT_EQ(midiOutClose(out), MMSYSERR_NOERROR);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(15)) << "something hung";
}

// A server that died (killed, or its test was) keeps its entry in libjack's registry of eight
// servers until a server of the same name starts: the test servers reuse their names, so that
// more dead servers than the registry holds leave room for the next. A server that cannot start
// says so on stderr, with what it printed.
TEST(MidiJackServers, DeadServersLeaveRoomAndAFailedStartIsSaid) {
    if (!DummyJackServer::Installed()) GTEST_SKIP() << "jackd is not installed";
    jack_set_error_function([](const char*) {}); // refused connections while a server comes up
    auto cameUp = [](DummyJackServer& server) {
        jack_client_t* probe = nullptr;
        WaitUntil(
            [&] {
                if (server.Exited()) return true;
                probe = jack_client_open("Probe", JackNoStartServer, nullptr);
                return probe != nullptr;
            },
            std::chrono::seconds(10));
        if (probe) jack_client_close(probe); // the client first
        return probe != nullptr;
    };
    for (int i = 0; i < 9; ++i) {
        DummyJackServer server;
        ASSERT_TRUE(cameUp(server)) << "server " << i;
        pid_t jackd = 0;
        for (pid_t pid : JackServerProcesses())
            if (ProcessNamesServer(pid, server.Name())) jackd = pid;
        ASSERT_NE(jackd, 0);
        kill(jackd, SIGKILL);
        WaitUntil([&] { return server.Exited(); }, std::chrono::seconds(5));
    }
    DummyJackServer next;
    EXPECT_TRUE(cameUp(next)) << "no room left in the registry";
    next.Stop();

    DummyJackServer bad(-5); // a period jackd refuses
    ASSERT_TRUE(WaitUntil([&] { return bad.Exited(); }, std::chrono::seconds(10)));
    testing::internal::CaptureStderr();
    EXPECT_EQ(bad.Unavailable("it did not come up"), "it did not come up");
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find(bad.Name() + ": it did not come up, although jackd is installed"),
              std::string::npos)
        << said;
    EXPECT_NE(said.find("jackdmp"), std::string::npos) << "what the server printed: " << said;
}

// Without a server nothing changes, and no server is started behind our back.
TEST(MidiJackAbsent, NoServerMeansNoJackDevicesAndNoServerStarted) {
    std::string name = "tolvern-absent-" + std::to_string(getpid());
    setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
    unsetenv("JACK_NO_START_SERVER"); // libjack would start one unless asked not to
    auto before = JackServerProcesses();
    SetMidiRealPorts(false);
    auto virtualOuts = OutNames();
    auto virtualIns = InNames();
    SetMidiRealPorts(true);
    auto outs = OutNames();
    auto ins = InNames();
    if (!MidiSequencerAvailable()) {
        EXPECT_EQ(outs, virtualOuts);
        EXPECT_EQ(ins, virtualIns);
    }
    EXPECT_EQ(JackServer(), nullptr);
    for (unsigned i = 0; i < outs.size(); ++i) {
        HMIDIOUT h;
        if (midiOutOpen(&h, i, nullptr, 0, CALLBACK_NULL) == MMSYSERR_NOERROR) midiOutClose(h);
    }
    // An auto-started server would be running by now: libjack waits for it to come up.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    for (pid_t pid : JackServerProcesses()) {
        if (std::find(before.begin(), before.end(), pid) == before.end()) {
            EXPECT_FALSE(ProcessNamesServer(pid, name)) << "a JACK server was started: " << pid;
        }
    }
    unsetenv("JACK_DEFAULT_SERVER");
}

} // namespace
