// Reading a Standard MIDI File of 100,000 events as a song, against midicsv (from the midicsv
// package) turning the same file into text, measured in the same run ("x_ref" is our time over
// midicsv's: below 1.0 is faster), all in wall-clock time since midicsv runs as a process of its
// own. Writing the file is measured beside them.
#include "song/smf.h"
#include "devices/midi.h"
#include "devices/midimsg.h"
#include "platform/core/dialogs.h"
#include "song/primitives.h"
#include "song/song.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

constexpr int kEvents = 100000;

struct Fixture {
    std::string dir, file, written;
    double midicsvSeconds = 0; // 0 when midicsv is not installed

    Fixture() {
        char tmpl[] = "/tmp/tolvern-bench-XXXXXX";
        dir = mkdtemp(tmpl);
        setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
        file = dir + "/big.mid";
        written = dir + "/written.mid";
        platform::TDialogHooks hooks;
        hooks.MessageBox = [](std::string_view, std::string_view, unsigned) { return 1; };
        platform::SetDialogHooks(hooks);
        Midi = new TMIDI;
        Song = new TSong;
        Build();
        if (!WriteSmfFile(file)) std::abort();
        if (std::system("command -v midicsv >/dev/null 2>&1") == 0) {
            midicsvSeconds = 1e9;
            for (int i = 0; i < 5; ++i) {
                auto t0 = std::chrono::steady_clock::now();
                Midicsv();
                std::chrono::duration<double> d = std::chrono::steady_clock::now() - t0;
                midicsvSeconds = std::min(midicsvSeconds, d.count());
            }
        }
    }
    ~Fixture() { std::filesystem::remove_all(dir); }

    // 16 MIDI tracks of notes (note on, note off) with a controller now and then and a
    // system-exclusive block every 500 events; parts of 8 bars with a bar of rest between.
    void Build() {
        const std::uint8_t block[] = {0xF0, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7};
        const int perTrack = kEvents / 16;
        for (int t = 0; t < 16; ++t) {
            Song->Tracks[t]->Mode = tmMidi;
            Song->Tracks[t]->Channel = -1;
            _TPart* part = nullptr;
            for (int i = 0; i < perTrack; ++i) {
                if (i % 200 == 0) {
                    part = NewPart("part", i / 200 * 960 * 9, 960 * 8, t);
                    InsertPart(Song->Tracks[t].get(), part);
                }
                _TEvent* e;
                if (i % 500 == 499) {
                    e = NewEvent(0, PackMidiMsg(0xF0, 0, 0));
                    SetEventBlock(*e, block, sizeof block);
                } else if (i % 50 == 49) {
                    e = NewEvent(0, PackMidiMsg(0xB0 + t, 7, i % 128));
                } else if (i % 2 == 0) {
                    e = NewEvent(i % 200 ? 30 : 0, PackMidiMsg(0x90 + t, 36 + i % 48, 100));
                } else {
                    e = NewEvent(7, PackMidiMsg(0x80 + t, 36 + (i - 1) % 48, 0));
                }
                AppendEvent(part, e);
            }
        }
    }

    void Midicsv() {
        std::string cmd = "midicsv " + file + " /dev/null";
        if (std::system(cmd.c_str()) != 0) std::abort();
    }
};

Fixture& F() {
    static Fixture f;
    return f;
}

void Report(benchmark::State& state) {
    state.counters["events"] = kEvents;
    if (F().midicsvSeconds > 0)
        state.counters["x_ref"] =
            benchmark::Counter(double(state.iterations()) * F().midicsvSeconds,
                               benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_Midicsv(benchmark::State& state) {
    if (F().midicsvSeconds == 0) {
        state.SkipWithError("midicsv is not installed (scripts/setup.sh installs it)");
        return;
    }
    for (auto _ : state)
        F().Midicsv();
    Report(state);
}

void BM_ReadSmfSong(benchmark::State& state) {
    for (auto _ : state)
        if (!ReadSmfSong(F().file)) std::abort();
    Report(state);
}

void BM_WriteSmfFile(benchmark::State& state) {
    if (!ReadSmfSong(F().file)) std::abort();
    for (auto _ : state)
        if (!WriteSmfFile(F().written)) std::abort();
    Report(state);
}

} // namespace

BENCHMARK(BM_Midicsv)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadSmfSong)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WriteSmfFile)->Unit(benchmark::kMillisecond)->UseRealTime();
