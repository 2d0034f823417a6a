// Editing commands on one part of 100,000 events, in nanoseconds per event ("ns_event"), each
// beside a plain walk over the same list measured in the same run ("x_walk" is the command's
// time over the walk's: how many walks one command costs).
#include "devices/midimsg.h"
#include "song/noteedit.h"
#include "song/primitives.h"
#include "song/quantize.h"
#include "song/song.h"
#include "song/undo.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

namespace {

constexpr int kEvents = 100000;

// The song, with its settings in a folder of its own.
TSong& BenchSong() {
    static TSong* song = [] {
        std::filesystem::path dir = std::filesystem::temp_directory_path() / "tolvern-bench";
        std::filesystem::create_directories(dir);
        setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
        Song = new TSong;
        return Song;
    }();
    return *song;
}

// A selected part of notes off the grid: 50,000 notes, each 30 ticks long, 37 ticks apart.
_TPart* MakePart() {
    TSong& s = BenchSong();
    _TTrack* t = s.Tracks[0].get();
    while (t->Parts)
        DeletePart(t, t->Parts);
    _TPart* p = NewPart("bench", 0, 960, 0);
    InsertPart(t, p);
    for (int i = 0; i < kEvents / 2; ++i) {
        int key = 36 + i % 48;
        AppendEvent(p, NewEvent(i == 0 ? 5 : 7, PackMidiMsg(0x90, key, 64 + i % 32)));
        AppendEvent(p, NewEvent(30, PackMidiMsg(0x80, key, 0)));
    }
    p->Flags |= pfSelected;
    return p;
}

// The plain walk over a freshly made part, measured once for every benchmark.
double WalkSeconds() {
    static const double s = [] {
        const _TPart* p = MakePart();
        double best = 1e9;
        for (int batch = 0; batch < 5; ++batch) {
            auto t0 = std::chrono::steady_clock::now();
            for (int i = 0; i < 20; ++i) {
                std::uint32_t sum = 0;
                std::int64_t time = 0;
                for (const _TEvent* e = p->Events; e; e = e->Next) {
                    time += e->Delta;
                    sum += e->Msg;
                }
                benchmark::DoNotOptimize(sum);
                benchmark::DoNotOptimize(time);
            }
            std::chrono::duration<double> d = std::chrono::steady_clock::now() - t0;
            best = std::min(best, d.count() / 20);
        }
        return best;
    }();
    return s;
}

void Report(benchmark::State& state) {
    state.SetItemsProcessed(std::int64_t(state.iterations()) * kEvents);
    state.counters["ns_event"] =
        benchmark::Counter(double(state.iterations()) * kEvents * 1e-9,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["x_walk"] =
        benchmark::Counter(double(state.iterations()) * WalkSeconds(),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_Walk(benchmark::State& state) {
    WalkSeconds();
    _TPart* p = MakePart();
    for (auto _ : state) {
        std::uint32_t sum = 0;
        for (const _TEvent* e = p->Events; e; e = e->Next)
            sum += e->Msg;
        benchmark::DoNotOptimize(sum);
    }
    Report(state);
}

// The whole command as the key editor runs it: undo copy, moves, sort, back to deltas.
void BM_Quantize(benchmark::State& state) {
    TSong& s = BenchSong();
    WalkSeconds();
    for (auto _ : state) {
        state.PauseTiming();
        MakePart(); // quantized notes would stay where they are
        state.ResumeTiming();
        benchmark::DoNotOptimize(s.QuantizeSelectedParts(60, false));
    }
    Report(state);
}

void BM_Transpose(benchmark::State& state) {
    TSong& s = BenchSong();
    WalkSeconds();
    MakePart();
    int step = 1;
    for (auto _ : state) {
        s.TransposeSelectedParts(step);
        step = -step;
    }
    Report(state);
}

void BM_Velocity(benchmark::State& state) {
    TSong& s = BenchSong();
    WalkSeconds();
    MakePart();
    int step = 1;
    for (auto _ : state) {
        s.VelocitySelectedParts(step, 2, false);
        step = -step;
    }
    Report(state);
}

BENCHMARK(BM_Walk)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Quantize)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Transpose)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Velocity)->Unit(benchmark::kMillisecond);

} // namespace
