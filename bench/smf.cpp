// Reading a Standard MIDI File of 100,000 events as a song, and writing it, each against midicsv
// (from the midicsv package) turning the same file into text, the two taken in turn in the same
// run ("x_ref" is our best call over midicsv's best: below 1.0 is faster), all in wall-clock time
// since midicsv runs as a process of its own.
#include "song/smf.h"
#include "devices/midi.h"
#include "devices/midimsg.h"
#include "platform/core/dialogs.h"
#include "song/primitives.h"
#include "song/song.h"

#include "timing.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

constexpr int kEvents = 100000;

struct Fixture {
    std::string dir, file, written;
    bool midicsv = false;

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
        midicsv = std::system("command -v midicsv >/dev/null 2>&1") == 0;
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

// midicsv and our call in turn: the best call's time as the iteration's, "x_ref", and midicsv's
// best in milliseconds as "ref_ms".
template <class Own> void Measure(benchmark::State& state, Own&& own) {
    if (!F().midicsv) {
        state.SkipWithError("midicsv is not installed (scripts/setup.sh installs it)");
        return;
    }
    TBestInTurn best;
    for (auto _ : state) {
        best = BestInTurn(
            7, [] { F().Midicsv(); }, own);
        state.SetIterationTime(best.Own);
    }
    state.counters["events"] = kEvents;
    state.counters["x_ref"] = best.Ratio();
    state.counters["ref_ms"] = best.Ref * 1e3;
}

void BM_ReadSmfSong(benchmark::State& state) {
    Measure(state, [] {
        if (!ReadSmfSong(F().file)) std::abort();
    });
}

void BM_WriteSmfFile(benchmark::State& state) {
    if (!ReadSmfSong(F().file)) std::abort();
    Measure(state, [] {
        if (!WriteSmfFile(F().written)) std::abort();
    });
}

} // namespace

BENCHMARK(BM_ReadSmfSong)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteSmfFile)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
