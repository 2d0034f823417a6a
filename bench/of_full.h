#pragma once
// Partial repaints against the whole repaint of the same window, measured in the same run and
// by the same statistic: "of_full" is the partial repaint's best time per call over the whole
// repaint's best time per call, their batches taken in turn, so that a machine busy with other
// work slows both alike.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

// The time per call of one batch of ten calls.
template <class F> double BatchSecondsPerCall(F&& f) {
    auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < 10; ++i)
        f();
    std::chrono::duration<double> d = std::chrono::steady_clock::now() - t0;
    return d.count() / 10;
}

// The best time of one call over five batches of ten calls.
template <class F> double SecondsPerCall(F&& f) {
    double best = 1e9;
    for (int batch = 0; batch < 5; ++batch)
        best = std::min(best, BatchSecondsPerCall(f));
    return best;
}

// Fifty batches of each, in turn: "of_full", with the two best times per call in
// milliseconds as "full_ms" and "part_ms".
template <class Part, class Full>
void ReportOfFull(benchmark::State& state, Part&& part, Full&& full) {
    double bestPart = 1e9, bestFull = 1e9;
    for (int batch = 0; batch < 50; ++batch) {
        bestFull = std::min(bestFull, BatchSecondsPerCall(full));
        bestPart = std::min(bestPart, BatchSecondsPerCall(part));
    }
    state.counters["of_full"] = bestPart / bestFull;
    state.counters["full_ms"] = bestFull * 1e3;
    state.counters["part_ms"] = bestPart * 1e3;
}

// A paint scrolled to the end of a long part against the same paint scrolled to its start:
// twenty batches of each, in turn (ScrollTo(false) before the start's, ScrollTo(true) before
// the end's): "x_start", the end's best time per call over the start's, with "start_ms" and
// "end_ms".
template <class Scroll, class Paint>
void ReportOfStart(benchmark::State& state, Scroll&& ScrollTo, Paint&& paint) {
    double start = 1e9, end = 1e9;
    for (auto _ : state)
        for (int batch = 0; batch < 20; ++batch) {
            ScrollTo(false);
            start = std::min(start, BatchSecondsPerCall(paint));
            ScrollTo(true);
            end = std::min(end, BatchSecondsPerCall(paint));
        }
    state.counters["x_start"] = end / start;
    state.counters["start_ms"] = start * 1e3;
    state.counters["end_ms"] = end * 1e3;
}
