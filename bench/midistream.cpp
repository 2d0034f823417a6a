// Stream timing on the real clock: 10,000 events at 480 BPM, one tick apart, pushed through the
// ports of the multimedia back end to a virtual output. Reports how late each message was sent
// (p50, p99, max in microseconds) beside the same figures of a bare thread sleeping to the same
// deadlines, measured in the same run. Goal: p99 under 1 ms on an idle machine.
#include "devices/midimsg.h"
#include "devices/ports.h"
#include "platform/core/messages.h"
#include "platform/midi/midi.h"
#include "platform/midi/midiclock.h"
#include "platform/midi/virtualmidi.h"

#include "private_settings.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

using namespace platform;

namespace {

constexpr int EventCount = 10000;
constexpr int TicksApart = 1;
constexpr double UsPerTick = 60000000.0 / 480 / 240; // 480 BPM

struct TLateness {
    double P50 = 0, P99 = 0, Max = 0;
};

TLateness Measure(std::vector<double> late) {
    std::sort(late.begin(), late.end());
    TLateness r;
    if (late.empty()) return r;
    r.P50 = late[late.size() / 2];
    r.P99 = late[std::min(late.size() - 1, late.size() * 99 / 100)];
    r.Max = late.back();
    return r;
}

TLateness RunStream() {
    PrivateSettings();
    SetMidiRealPorts(false);
    TVirtualMidiOut out("Bench");
    out.Reserve(EventCount);
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
        while (out.Count() < EventCount && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            PumpMessages();
            if (refill) {
                refill = false;
                feed();
            }
        }
        ports.Stop();
        std::vector<double> late;
        auto sent = out.Sent();
        for (std::size_t i = 0; i < sent.size(); ++i)
            late.push_back(static_cast<double>(sent[i].TimeUs - start) -
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

void BM_StreamTiming(benchmark::State& state) {
    TLateness stream, sleeper;
    for (auto _ : state) {
        stream = RunStream();
        sleeper = RunSleeper(2000);
    }
    state.counters["p50_us"] = stream.P50;
    state.counters["p99_us"] = stream.P99;
    state.counters["max_us"] = stream.Max;
    state.counters["ref_p99_us"] = sleeper.P99;
    state.counters["p99_vs_ref"] = sleeper.P99 > 0 ? stream.P99 / sleeper.P99 : 0;
    state.counters["p99_under_1ms"] = stream.P99 < 1000 ? 1 : 0;
}

} // namespace

BENCHMARK(BM_StreamTiming)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
