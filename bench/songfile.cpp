// Saving and loading a song of 1,000,000 events, and a song with a 50 MB sample pool and 16
// buses, each against copying the same files (read whole, written through a temporary file and
// renamed) measured in the same run ("x_ref" is our time over the copy's: 1.0 is as fast).
#include "song/songfile.h"
#include "devices/dxsounds.h"
#include "devices/midi.h"
#include "devices/midimsg.h"
#include "platform/core/files.h"
#include "song/primitives.h"
#include "song/song.h"
#include "song/subengine.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

constexpr int kEvents = 1000000;

// The best time of five calls, in seconds.
template <class F> double BestOfFive(F&& f) {
    double best = 1e9;
    for (int i = 0; i < 5; ++i) {
        auto t0 = std::chrono::steady_clock::now();
        f();
        std::chrono::duration<double> d = std::chrono::steady_clock::now() - t0;
        best = std::min(best, d.count());
    }
    return best;
}

// Bytes moved per call, and our time over the copy's.
void Report(benchmark::State& state, std::int64_t bytes, double copySeconds) {
    state.SetBytesProcessed(std::int64_t(state.iterations()) * bytes);
    state.counters["x_ref"] =
        benchmark::Counter(double(state.iterations()) * copySeconds,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

struct Fixture {
    std::string dir;
    std::string song, copy;
    std::int64_t bytes = 0;
    double copySeconds = 0;

    Fixture() {
        char tmpl[] = "/tmp/tolvern-bench-XXXXXX";
        dir = mkdtemp(tmpl);
        setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
        song = dir + "/big.seq";
        copy = dir + "/copy.seq";
        Midi = new TMIDI;
        Song = new TSong;
        Build();
        SaveSongFile(song);
        bytes = static_cast<std::int64_t>(std::filesystem::file_size(song));
        copySeconds = BestOfFive([this] { Copy(); });
    }
    ~Fixture() { std::filesystem::remove_all(dir); }

    // 64 tracks of 20 parts with notes, controllers and now and then a system-exclusive block.
    void Build() {
        const int perPart = kEvents / (64 * 20);
        const std::uint8_t block[] = {0xF0, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7};
        int made = 0;
        for (int t = 0; t < 64; ++t)
            for (int p = 0; p < 20; ++p) {
                _TPart* part = NewPart("part", p * 960 * 64, 960 * 64, t);
                InsertPart(Song->Tracks[t].get(), part);
                int n = t == 0 && p == 0 ? kEvents - perPart * 64 * 20 + perPart : perPart;
                for (int i = 0; i < n; ++i, ++made) {
                    _TEvent* e;
                    if (i % 97 == 0) {
                        e = NewEvent(1, PackMidiMsg(0xF0, 0, 0));
                        SetEventBlock(*e, block, sizeof block);
                    } else if (i % 2) {
                        e = NewEvent(1, PackMidiMsg(0x90, 36 + i % 48, 100));
                    } else {
                        e = NewEvent(0, PackMidiMsg(0xB0, 7, i % 128));
                    }
                    AppendEvent(part, e);
                }
            }
        if (made != kEvents) std::abort();
    }

    void Copy() {
        std::string data;
        platform::ReadWholeFile(song, data);
        platform::SaveFileAtomic(copy, data);
    }
};

Fixture& F() {
    static Fixture f;
    return f;
}

void Report(benchmark::State& state) {
    Report(state, F().bytes, F().copySeconds);
}

void BM_CopyFile(benchmark::State& state) {
    for (auto _ : state)
        F().Copy();
    Report(state);
}

void BM_SaveSong(benchmark::State& state) {
    for (auto _ : state)
        SaveSongFile(F().song);
    Report(state);
}

void BM_LoadSong(benchmark::State& state) {
    for (auto _ : state)
        LoadSongFile(F().song);
    Report(state);
}

// A song whose weight is its sample pool (50 MB in 10 samples) and its 16 buses; the copy
// moves the song file and its bank.
struct PoolFixture {
    std::string dir, song, bank;
    std::int64_t bytes = 0;
    double copySeconds = 0;

    PoolFixture() {
        F(); // the song object and settings
        dir = F().dir + "/pool";
        std::filesystem::create_directories(dir);
        song = dir + "/pool.seq";
        bank = dir + "/pool.dxg";
        Song->Clear();
        for (int i = 0; i < 10; ++i) {
            TWaveCollectionItem* item = Song->SamplePool->Items.Add();
            item->SetName("sample " + std::to_string(i));
            item->Wave.SetPCMFormat(44100, 16, 2);
            item->Wave.SetSize(5 * 1000 * 1000);
            std::uint8_t* d = item->Wave.Data();
            for (int j = 0; j < 5 * 1000 * 1000; ++j)
                d[j] = static_cast<std::uint8_t>(j * 31 + i);
        }
        for (int i = 0; i < 16; ++i)
            SubEngine->AddSub(skGroupVolume, "", -1);
        SaveSongFile(song);
        bytes = static_cast<std::int64_t>(std::filesystem::file_size(song) +
                                          std::filesystem::file_size(bank));
        copySeconds = BestOfFive([this] { Copy(); });
    }

    void Copy() {
        for (const std::string& f : {song, bank}) {
            std::string data;
            platform::ReadWholeFile(f, data);
            platform::SaveFileAtomic(f + ".copy", data);
        }
    }
};

PoolFixture& P() {
    static PoolFixture p;
    return p;
}

void PoolReport(benchmark::State& state) {
    Report(state, P().bytes, P().copySeconds);
}

void BM_CopyPoolSong(benchmark::State& state) {
    for (auto _ : state)
        P().Copy();
    PoolReport(state);
}

void BM_SavePoolSong(benchmark::State& state) {
    P();
    for (auto _ : state)
        SaveSongFile(P().song);
    PoolReport(state);
}

void BM_LoadPoolSong(benchmark::State& state) {
    P();
    for (auto _ : state)
        LoadSongFile(P().song);
    PoolReport(state);
}

} // namespace

BENCHMARK(BM_CopyFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveSong)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadSong)->Unit(benchmark::kMillisecond);
// After the big song's: the pool song replaces it.
BENCHMARK(BM_CopyPoolSong)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SavePoolSong)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadPoolSong)->Unit(benchmark::kMillisecond);
