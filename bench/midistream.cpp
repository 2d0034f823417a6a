// Stream timing on the real clock: 10,000 events at 480 BPM, one tick apart, pushed through the
// ports of the multimedia back end. Reports how late each message came (p50, p95, p99, max in
// microseconds) beside the same figures of a bare thread sleeping to the same deadlines,
// measured in the same run. Goal: p99 under 1 ms on an idle machine.
//  - BM_StreamTiming: to a virtual output; the time is when the layer sent the message.
//  - BM_StreamArrival: to a JACK MIDI port of a peer client on a dummy-backend JACK server of
//    the benchmark's own (and to an ALSA sequencer port where the machine has a sequencer); the
//    time is when the message reached the peer, so the server's period is part of the figure.
#include "devices/midimsg.h"
#include "devices/ports.h"
#include "platform/core/ini.h"
#include "platform/core/messages.h"
#include "platform/midi/midi.h"
#include "platform/midi/midiclock.h"
#include "platform/midi/midiport.h"
#include "platform/midi/virtualmidi.h"
#include "support/jack_monitor.h"
#include "support/jack_server.h"

#include "private_settings.h"

#include <benchmark/benchmark.h>
#include <rtmidi/RtMidi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace platform;

namespace {

constexpr int EventCount = 10000;
constexpr int TicksApart = 1;
constexpr double UsPerTick = 60000000.0 / 480 / 240; // 480 BPM
constexpr int JackRate = 48000;
constexpr int JackFrames = 64;

struct TLateness {
    double P50 = 0, P95 = 0, P99 = 0, Max = 0;
    std::size_t Count = 0;
};

TLateness Measure(std::vector<double> late) {
    std::sort(late.begin(), late.end());
    TLateness r;
    r.Count = late.size();
    if (late.empty()) return r;
    auto at = [&](std::size_t percent) {
        return late[std::min(late.size() - 1, late.size() * percent / 100)];
    };
    r.P50 = at(50);
    r.P95 = at(95);
    r.P99 = at(99);
    r.Max = late.back();
    return r;
}

// Where the messages are seen to arrive: how many so far, and their times on the MIDI clock.
struct TArrivals {
    std::function<std::size_t()> Count;
    std::function<std::vector<std::int64_t>()> TimesUs;
};

// How late each arrival came against its due time, the first due one tick after Start; Either:
// early counts as late.
TLateness Lateness(const std::vector<std::int64_t>& Times, std::int64_t Start, bool Either) {
    std::vector<double> late;
    for (std::size_t i = 0; i < Times.size(); ++i) {
        const double off = static_cast<double>(Times[i] - Start) -
                           static_cast<double>(i + 1) * TicksApart * UsPerTick;
        late.push_back(Either ? std::fabs(off) : off);
    }
    return Measure(late);
}

// Plays the events through the stream of output device Device and measures each arrival
// against its due time.
TLateness RunStream(int device, const TArrivals& arrivals, bool Either = false) {
    {
        // The stream goes to the device; the others stay closed.
        TIniFile ini("tolvern.ini");
        ini.WriteInteger("sdevice", "id", device);
        for (int i = 0, n = static_cast<int>(midiOutGetNumDevs()); i < n; ++i)
            ini.WriteBool("midisetup", "device" + std::to_string(i), i == device);
    }
    bool refill = false;
    HWND window = RegisterWindowProc([&](HWND, UINT msg, WPARAM, LPARAM) -> LRESULT {
        if (msg == WM_REFILLQUEUE) refill = true;
        return 0;
    });
    TLateness result;
    {
        TPorts ports(window);
        ports.SetTempo(480);
        int pushed = 0;
        auto feed = [&] {
            while (pushed < EventCount &&
                   ports.Push(TicksApart, PackMidiMsg(pushed % 2 ? 0x80 : 0x90, 60, 100), 0, 0))
                ++pushed;
            if (pushed == EventCount) ports.FlushOutput();
        };
        feed();
        std::int64_t start = MidiClockUs();
        ports.Start(0);
        auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::microseconds(
                            static_cast<std::int64_t>(EventCount * TicksApart * UsPerTick)) +
                        std::chrono::seconds(5);
        while (arrivals.Count() < EventCount && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            PumpMessages();
            if (refill) {
                refill = false;
                feed();
            }
        }
        ports.Stop();
        result = Lateness(arrivals.TimesUs(), start, Either);
    }
    UnregisterWindowProc(window);
    return result;
}

// The reference: one thread sleeping on the steady clock to the same deadlines.
TLateness RunSleeper(int count) {
    std::vector<double> late;
    late.reserve(count);
    auto start = std::chrono::steady_clock::now();
    for (int i = 1; i <= count; ++i) {
        auto due = start + std::chrono::nanoseconds(
                               static_cast<std::int64_t>(i * TicksApart * UsPerTick * 1000));
        std::this_thread::sleep_until(due);
        late.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - due)
                .count());
    }
    return Measure(late);
}

void Report(benchmark::State& state, const std::string& prefix, const TLateness& l) {
    state.counters[prefix + "p95_us"] = l.P95;
    state.counters[prefix + "p99_us"] = l.P99;
}

void BM_StreamTiming(benchmark::State& state) {
    PrivateSettings();
    SetMidiRealPorts(false);
    TVirtualMidiOut out("Bench");
    out.Reserve(EventCount);
    TArrivals arrivals{[&] { return out.Count(); },
                       [&] {
                           std::vector<std::int64_t> times;
                           for (auto& s : out.Sent())
                               times.push_back(s.TimeUs);
                           return times;
                       }};
    TLateness stream, sleeper;
    for (auto _ : state) {
        stream = RunStream(0, arrivals);
        sleeper = RunSleeper(2000);
    }
    state.counters["p50_us"] = stream.P50;
    state.counters["p95_us"] = stream.P95;
    state.counters["p99_us"] = stream.P99;
    state.counters["max_us"] = stream.Max;
    Report(state, "ref_", sleeper);
    state.counters["p99_vs_ref"] = sleeper.P99 > 0 ? stream.P99 / sleeper.P99 : 0;
    state.counters["p99_under_1ms"] = stream.P99 < 1000 ? 1 : 0;
}

// A peer client that stamps every message it takes with the MIDI clock, on the thread that
// delivers it (for JACK: the peer's process cycle).
class TPeer {
public:
    TPeer(RtMidi::Api api, const std::string& port) : times_(EventCount) {
        in_ = std::make_unique<RtMidiIn>(api, "Bench peer");
        in_->setErrorCallback([](RtMidiError::Type, const std::string&, void*) {}, nullptr);
        in_->setCallback(Stamp, this);
        in_->openVirtualPort(port);
    }
    TArrivals Arrivals() {
        return {[this] { return count_.load(); },
                [this] {
                    return std::vector<std::int64_t>(times_.begin(),
                                                     times_.begin() + count_.load());
                }};
    }
    void Clear() { count_ = 0; }

private:
    static void Stamp(double, std::vector<unsigned char>*, void* user) {
        auto* self = static_cast<TPeer*>(user);
        std::size_t i = self->count_.load();
        if (i < self->times_.size()) {
            self->times_[i] = MidiClockUs();
            self->count_.store(i + 1);
        }
    }
    std::vector<std::int64_t> times_;
    std::atomic<std::size_t> count_{0};
    std::unique_ptr<RtMidiIn> in_;
};

int OutputDevice(const std::string& name) {
    for (unsigned i = 0, n = midiOutGetNumDevs(); i < n; ++i) {
        MIDIOUTCAPS caps;
        if (midiOutGetDevCaps(i, &caps) == MMSYSERR_NOERROR && name == caps.szPname)
            return static_cast<int>(i);
    }
    return -1;
}

template <class F> bool WaitUntil(F done) {
    for (int i = 0; i < 100 && !done(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return done();
}

// A dummy JACK server of the benchmark's own, up and seen by the MIDI layer; nil (the benchmark
// skipped) when it does not come up.
std::unique_ptr<DummyJackServer> StartJack(benchmark::State& state) {
    PrivateSettings();
    SetMidiRealPorts(true);
    auto server = std::make_unique<DummyJackServer>(JackFrames, JackRate, true);
    if (!server->Started() || !WaitUntil([&] { return server->Exited() || JackServer(); }) ||
        !JackServer()) {
        state.SkipWithError("jackd could not be started");
        return nullptr;
    }
    return server;
}

void BM_StreamArrival(benchmark::State& state) {
    auto server = StartJack(state);
    if (!server) return;
    TPeer jackPeer(RtMidi::UNIX_JACK, "bench in");
    int jackDevice = -1;
    WaitUntil([&] { return (jackDevice = OutputDevice("bench in")) >= 0; });
    if (jackDevice < 0) {
        state.SkipWithError("the peer's JACK port is not listed");
        return;
    }
    std::unique_ptr<TPeer> alsaPeer;
    int alsaDevice = -1;
    if (MidiSequencerAvailable()) {
        alsaPeer = std::make_unique<TPeer>(RtMidi::LINUX_ALSA, "bench alsa in");
        WaitUntil([&] { return (alsaDevice = OutputDevice("bench alsa in")) >= 0; });
    }
    TLateness jack, alsa, sleeper;
    for (auto _ : state) {
        jackPeer.Clear();
        jack = RunStream(jackDevice, jackPeer.Arrivals());
        if (alsaDevice >= 0) {
            alsaPeer->Clear();
            alsa = RunStream(alsaDevice, alsaPeer->Arrivals());
        }
        sleeper = RunSleeper(2000);
    }
    Report(state, "jack_", jack);
    state.counters["jack_arrived"] = static_cast<double>(jack.Count);
    state.counters["jack_period_us"] = 1e6 * JackFrames / JackRate;
    Report(state, "ref_", sleeper);
    if (alsaDevice >= 0) {
        Report(state, "alsa_", alsa);
        state.counters["alsa_arrived"] = static_cast<double>(alsa.Count);
    } else {
        state.SetLabel("no ALSA sequencer on this machine: no ALSA figures");
    }
}

// A plain JACK client: writes message I, due at Start + (I + 1) ticks on the MIDI clock, at its
// frame from its own process callback.
class TPlainJackClient {
public:
    TPlainJackClient(const std::string& Target, std::int64_t ToServer) : toServer_(ToServer) {
        client_ = jack_client_open("Plain", JackNoStartServer, nullptr);
        if (!client_) return;
        out_ = jack_port_register(client_, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        if (!out_ || jack_set_process_callback(client_, Process, this) != 0 ||
            jack_activate(client_) != 0 ||
            jack_connect(client_, jack_port_name(out_), Target.c_str()) != 0) {
            jack_client_close(client_);
            client_ = nullptr;
        }
    }
    ~TPlainJackClient() {
        if (client_) jack_client_close(client_);
    }
    bool Running() const { return client_ != nullptr; }
    void Play(std::int64_t StartUs) {
        next_.store(0);
        start_.store(StartUs);
    }

private:
    static int Process(jack_nframes_t frames, void* arg) {
        auto* self = static_cast<TPlainJackClient*>(arg);
        void* buffer = jack_port_get_buffer(self->out_, frames);
        jack_midi_clear_buffer(buffer);
        const std::int64_t start = self->start_.load();
        jack_nframes_t first = 0;
        jack_time_t begin = 0, end = 0;
        float period = 0;
        if (start < 0 || jack_get_cycle_times(self->client_, &first, &begin, &end, &period) != 0)
            return 0;
        const auto cycleUs = static_cast<std::int64_t>(end - begin);
        for (int i = self->next_.load(); i < EventCount; self->next_.store(++i)) {
            const std::int64_t due = start + self->toServer_ +
                                     static_cast<std::int64_t>((i + 1) * TicksApart * UsPerTick) -
                                     static_cast<std::int64_t>(begin);
            if (due >= cycleUs) break;
            const jack_nframes_t frame =
                due <= 0 ? 0 : static_cast<jack_nframes_t>(due * frames / cycleUs);
            const jack_midi_data_t note[3] = {static_cast<jack_midi_data_t>(i % 2 ? 0x80 : 0x90),
                                              60, 100};
            if (jack_midi_event_write(buffer, frame, note, 3) != 0) break;
        }
        return 0;
    }
    std::int64_t toServer_;
    jack_client_t* client_ = nullptr;
    jack_port_t* out_ = nullptr;
    std::atomic<std::int64_t> start_{-1};
    std::atomic<int> next_{0};
};

// The monitor's arrivals on the MIDI clock.
TArrivals MonitorArrivals(TJackMonitor& Monitor, std::int64_t ToServer) {
    return {[&Monitor] { return static_cast<std::size_t>(Monitor.Count()); },
            [&Monitor, ToServer] {
                std::vector<std::int64_t> times;
                for (const auto& e : Monitor.Events())
                    times.push_back(e.TimeUs - ToServer);
                return times;
            }};
}

void BM_StreamFrames(benchmark::State& state) {
    auto server = StartJack(state);
    if (!server) return;
    TJackMonitor monitor(EventCount);
    int device = -1;
    WaitUntil([&] { return (device = OutputDevice("monitor in")) >= 0; });
    if (!monitor.Running() || device < 0) {
        state.SkipWithError("the monitor's JACK port is not listed");
        return;
    }
    const std::int64_t toServer = static_cast<std::int64_t>(jack_get_time()) - MidiClockUs();
    TPlainJackClient plain(monitor.Port(), toServer);
    if (!plain.Running()) {
        state.SkipWithError("the plain JACK client could not start");
        return;
    }
    TLateness stream, reference;
    for (auto _ : state) {
        monitor.Clear();
        stream = RunStream(device, MonitorArrivals(monitor, toServer), true);
        monitor.Clear();
        const std::int64_t plainStart = MidiClockUs() + 20000;
        plain.Play(plainStart);
        monitor.WaitFor(EventCount,
                        std::chrono::milliseconds(
                            static_cast<int>(EventCount * TicksApart * UsPerTick / 1000) + 5000));
        reference = Lateness(MonitorArrivals(monitor, toServer).TimesUs(), plainStart, true);
    }
    state.counters["p50_us"] = stream.P50;
    state.counters["p99_us"] = stream.P99;
    state.counters["max_us"] = stream.Max;
    state.counters["arrived"] = static_cast<double>(stream.Count);
    Report(state, "plain_", reference);
    state.counters["p99_vs_plain"] = reference.P99 > 0 ? stream.P99 / reference.P99 : 0;
    state.counters["p99_under_500us"] = stream.P99 < 500 ? 1 : 0;
}

} // namespace

BENCHMARK(BM_StreamTiming)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_StreamArrival)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_StreamFrames)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
