// Saving and loading a song of 1,000,000 events, and a song with a 50 MB sample pool and 16
// buses, each against copying the same files (read whole, written through a temporary file and
// renamed), the copy and our call taken in turn in the same run ("x_ref" is our best call over
// the copy's best: 1.0 is as fast).
#include "song/songfile.h"
#include "devices/dxsounds.h"
#include "devices/midi.h"
#include "devices/midimsg.h"
#include "platform/core/files.h"
#include "song/primitives.h"
#include "song/song.h"
#include "song/subengine.h"

#include "timing.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

constexpr int kEvents = 1000000;

constexpr int kRounds = 7;

// Our calls and the copies in turn: the best call's time as the iteration's, "x_ref", and the
// copy's best in milliseconds as "ref_ms".
template <class Copy, class Own>
void Measure(benchmark::State& state, std::int64_t bytes, Copy&& copy, Own&& own) {
    TBestInTurn best;
    for (auto _ : state) {
        best = BestInTurn(kRounds, copy, own);
        state.SetIterationTime(best.Own);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * bytes);
    state.counters["x_ref"] = best.Ratio();
    state.counters["ref_ms"] = best.Ref * 1e3;
}

struct Fixture {
    std::string dir;
    std::string song, copy;
    std::int64_t bytes = 0;

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

void BM_SaveSong(benchmark::State& state) {
    Measure(
        state, F().bytes, [] { F().Copy(); }, [] { SaveSongFile(F().song); });
}

void BM_LoadSong(benchmark::State& state) {
    Measure(
        state, F().bytes, [] { F().Copy(); }, [] { LoadSongFile(F().song); });
}

// A song whose weight is its sample pool (50 MB in 10 samples) and its 16 buses; the copy
// moves the song file and its bank.
struct PoolFixture {
    std::string dir, song, bank;
    std::int64_t bytes = 0;

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

void BM_SavePoolSong(benchmark::State& state) {
    Measure(
        state, P().bytes, [] { P().Copy(); }, [] { SaveSongFile(P().song); });
}

void BM_LoadPoolSong(benchmark::State& state) {
    Measure(
        state, P().bytes, [] { P().Copy(); }, [] { LoadSongFile(P().song); });
}

} // namespace

BENCHMARK(BM_SaveSong)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadSong)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
// After the big song's: the pool song replaces it.
BENCHMARK(BM_SavePoolSong)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadPoolSong)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
