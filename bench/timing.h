#pragma once
// The reference timing of the benchmarks: the best of five batches of twenty calls; and the
// best single calls of a reference and of a measurement taken in turn.

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

// The best time of one call of each, in seconds.
struct TBestInTurn {
    double Ref = 1e9, Own = 1e9;
    // Our time over the reference's.
    double Ratio() const { return Own / Ref; }
};

// Rounds rounds of one call of Ref then one of Own, so that a machine busy with other work
// slows both alike; each side's best call.
template <class R, class O> TBestInTurn BestInTurn(int Rounds, R&& Ref, O&& Own) {
    TBestInTurn best;
    auto time = [](auto& f) {
        auto t0 = std::chrono::steady_clock::now();
        f();
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    };
    for (int i = 0; i < Rounds; ++i) {
        best.Ref = std::min(best.Ref, time(Ref));
        best.Own = std::min(best.Own, time(Own));
    }
    return best;
}
