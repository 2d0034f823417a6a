// Saving and loading a song of 1,000,000 events, each against copying the same file (read
// whole, written through a temporary file and renamed) measured in the same run ("x_ref" is
// our time over the copy's: 1.0 is as fast).
#include "song/songfile.h"
#include "devices/midi.h"
#include "devices/midimsg.h"
#include "platform/core/files.h"
#include "song/primitives.h"
#include "song/song.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

constexpr int kEvents = 1000000;

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
        copySeconds = 1e9;
        for (int i = 0; i < 5; ++i) {
            auto t0 = std::chrono::steady_clock::now();
            Copy();
            std::chrono::duration<double> d = std::chrono::steady_clock::now() - t0;
            copySeconds = std::min(copySeconds, d.count());
        }
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
    state.SetBytesProcessed(std::int64_t(state.iterations()) * F().bytes);
    state.counters["x_ref"] =
        benchmark::Counter(double(state.iterations()) * F().copySeconds,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
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

} // namespace

BENCHMARK(BM_CopyFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveSong)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadSong)->Unit(benchmark::kMillisecond);
