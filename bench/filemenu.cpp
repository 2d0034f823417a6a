// Opening a song through the File menu's dispatcher against its reader alone, in the same run:
// a native song of 1,000,000 events and a Standard MIDI File of 100,000 events, the two taken in
// turn. "x_ref" is the opener's best time over the reader's; the goal is at most 1.2 (the
// recognising, the refresh of the windows around the song and the recent list cost little
// beside the read).
#include "app/filemenu.h"
#include "app/main.h"
#include "platform/midi/midi.h"
#include "song/primitives.h"
#include "song/smf.h"
#include "song/song.h"
#include "song/songfile.h"

#include "program.h"
#include "timing.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

using namespace platform;

namespace {

std::string g_folder;

// Tracks of one-bar parts of note pairs until Events events are made.
void MakeSong(int Events) {
    Song->Clear();
    int made = 0;
    for (int t = 0; t < TrackCount && made < Events; ++t) {
        Song->TrackAt(t)->Mode = tmMidi;
        for (int bar = 0; made < Events && bar < 100000; ++bar) {
            _TPart* p = NewPart("P", bar * 960, 960, t);
            for (int n = 0; n < 50 && made < Events; ++n, made += 2) {
                AppendEvent(p, NewEvent(n ? 10 : 0, 0x00640090u | std::uint32_t(36 + n) << 8));
                AppendEvent(p, NewEvent(8, 0x00000080u | std::uint32_t(36 + n) << 8));
            }
            InsertPart(Song->TrackAt(t), p);
            if (made >= Events / TrackCount * (t + 1)) break;
        }
    }
}

struct Program : BenchProgram {
    std::string Native, Midi;
    Program() {
        char tmpl[] = "/tmp/tolvern-bench-XXXXXX";
        if (!mkdtemp(tmpl)) throw std::runtime_error("no temporary folder");
        g_folder = std::string(tmpl) + "/";
        Native = g_folder + "big.seq";
        Midi = g_folder + "big.mid";
        MakeSong(1000000);
        if (!SaveSongFile(Native)) throw std::runtime_error("the native song was not written");
        MakeSong(100000);
        if (!WriteSmfFile(Midi)) throw std::runtime_error("the MIDI file was not written");
        Song->Modified = 0;
    }
};

Program& TheProgram() {
    static Program p;
    return p;
}

void Open(benchmark::State& state, bool Native, bool (*Reader)(std::string_view)) {
    Program& p = TheProgram();
    const std::string& file = Native ? p.Native : p.Midi;
    TBestInTurn best;
    for (auto _ : state) {
        best = BestInTurn(
            21, [&] { Reader(file); },
            [&] {
                Song->Modified = 0;
                benchmark::DoNotOptimize(OpenSong(file));
            });
        state.SetIterationTime(best.Own);
    }
    state.counters["x_ref"] = best.Ratio();
    state.counters["ref_ms"] = best.Ref * 1e3;
}

void BM_OpenNativeSong(benchmark::State& state) {
    Open(state, true, &LoadSongFile);
}
void BM_OpenMidiFile(benchmark::State& state) {
    Open(state, false, &ReadSmfSong);
}
BENCHMARK(BM_OpenNativeSong)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenMidiFile)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
