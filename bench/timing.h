#pragma once
// The reference timing of the benchmarks: the best of five batches of twenty calls.

#include <algorithm>
#include <chrono>

template <class F> double SecondsPerCall(F&& f) {
    double best = 1e9;
    for (int batch = 0; batch < 5; ++batch) {
        auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < 20; ++i)
            f();
        std::chrono::duration<double> d = std::chrono::steady_clock::now() - t0;
        best = std::min(best, d.count() / 20);
    }
    return best;
}
