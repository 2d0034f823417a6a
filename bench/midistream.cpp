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
#include "support/jack_server.h"

#include "private_settings.h"

#include <benchmark/benchmark.h>
#include <rtmidi/RtMidi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
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

// Plays the events through the stream of output device Device and measures each arrival
// against its due time.
TLateness RunStream(int device, const TArrivals& arrivals) {
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
        std::vector<double> late;
        auto times = arrivals.TimesUs();
        for (std::size_t i = 0; i < times.size(); ++i)
            late.push_back(static_cast<double>(times[i] - start) -
                           (i + 1) * TicksApart * UsPerTick);
        result = Measure(late);
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

void BM_StreamArrival(benchmark::State& state) {
    PrivateSettings();
    SetMidiRealPorts(true);
    DummyJackServer server(JackFrames, JackRate, true);
    if (!server.Started() || !WaitUntil([&] { return server.Exited() || JackServer(); }) ||
        !JackServer()) {
        state.SkipWithError("jackd could not be started");
        return;
    }
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

} // namespace

BENCHMARK(BM_StreamTiming)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_StreamArrival)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
