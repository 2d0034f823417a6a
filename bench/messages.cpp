// Posting and pumping window messages, against pushing the same records through a vector.
#include "platform/core/messages.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <vector>

namespace {

using namespace platform;
using Clock = std::chrono::steady_clock;

constexpr int kBatch = 1000;

struct Record {
    HWND h;
    UINT msg;
    WPARAM w;
    LPARAM l;
};

// The reference: the cheapest queue there is, one thread, growing storage reused.
std::int64_t VectorRound(std::vector<Record>& v, HWND h) {
    for (int i = 0; i < kBatch; ++i) v.push_back(Record{h, WM_USER, WPARAM(i), 0});
    std::int64_t sum = 0;
    for (const Record& r : v) sum += LPARAM(r.w);
    v.clear();
    return sum;
}

double SecondsOfVectorRounds(std::int64_t rounds) {
    std::vector<Record> v;
    v.reserve(kBatch);
    auto t0 = Clock::now();
    for (std::int64_t i = 0; i < rounds; ++i) benchmark::DoNotOptimize(VectorRound(v, 1));
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

void BM_VectorPushPop(benchmark::State& state) {
    std::vector<Record> v;
    v.reserve(kBatch);
    for (auto _ : state) benchmark::DoNotOptimize(VectorRound(v, 1));
    state.SetItemsProcessed(state.iterations() * kBatch);
}

void BM_PostAndPump(benchmark::State& state) {
    SetGuiThread();
    std::int64_t sum = 0;
    HWND h = RegisterWindowProc([&](HWND, UINT, WPARAM w, LPARAM) -> LRESULT {
        sum += LPARAM(w);
        return 0;
    });
    auto t0 = Clock::now();
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i) PostMessage(h, WM_USER, WPARAM(i), 0);
        PumpMessages();
    }
    double ours = std::chrono::duration<double>(Clock::now() - t0).count();
    benchmark::DoNotOptimize(sum);
    UnregisterWindowProc(h);
    state.SetItemsProcessed(state.iterations() * kBatch);
    state.counters["x_vector"] = ours / SecondsOfVectorRounds(state.iterations());
}

} // namespace

BENCHMARK(BM_VectorPushPop);
BENCHMARK(BM_PostAndPump);
