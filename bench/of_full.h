#pragma once
// Partial repaints against the whole repaint of the same window, measured in the same run:
// "of_full" is the benchmark's time per iteration over the whole repaint's.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

// The best time of one call over five batches of ten calls.
template <class F> double SecondsPerCall(F&& f) {
    double best = 1e9;
    for (int batch = 0; batch < 5; ++batch) {
        auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < 10; ++i)
            f();
        std::chrono::duration<double> d = std::chrono::steady_clock::now() - t0;
        best = std::min(best, d.count() / 10);
    }
    return best;
}

inline void ReportOfFull(benchmark::State& state, double fullSeconds) {
    state.counters["of_full"] =
        benchmark::Counter(double(state.iterations()) * fullSeconds,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
