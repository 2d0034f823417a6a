// The key editor's note grid, 1600 x 900, repainted whole over a part of 100,000 notes: scrolled
// to the part's end against the same paint scrolled to its start, where the same pattern of
// notes is in view ("x_start": the end's time over the start's, the best of batches of each taken
// in turn in the same run; the goal is at most 1.5). The walk to the view resumes from marks the
// grid keeps every few thousand events; the last benchmark repaints the end after every change
// of a note in view (its velocity), which leaves the marks before that note standing.
#include "app/arrange.h"
#include "app/main.h"
#include "devices/audio.h"
#include "editors/midi/key.h"
#include "gui/mscroll.h"
#include "gui/scroll.h"
#include "platform/core/messages.h"
#include "platform/midi/midi.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"
#include "song/primitives.h"
#include "song/song.h"

#include "of_full.h"
#include "program.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <stdexcept>

using namespace platform;

namespace {

constexpr int kW = 1600, kH = 900, kNotes = 100000;

struct Program : BenchProgram {
    Program() : BenchProgram(2800, 1800) {
        // A note every sixteenth, keys climbing in steps of 7 over four octaves, 40 ticks long.
        _TPart* p = NewPart("Long", 0, kNotes * 60 + 960, 0);
        for (int n = 0; n < kNotes; ++n) {
            const std::uint32_t key = 36 + (n * 7) % 48;
            AppendEvent(p, NewEvent(n ? 20 : 0, 0x00640090u | key << 8));
            AppendEvent(p, NewEvent(40, 0x00000080u | key << 8));
        }
        if (!InsertPart(Song->TrackAt(0), p)) throw std::runtime_error("no part");
        Edited = p->Events;
        for (int n = 0; n < 2 * (kNotes - 500); ++n)
            Edited = Edited->Next;
        Song->SetCurrentPart(p);
        Song->Position = 0;
        fmArrange->OpenPartEditor();
        if (!fmKey) throw std::runtime_error("no key editor");
        fmKey->WindowState = wsNormal;
        fmKey->SetBounds(0, 0, 2600, 1600);
        fmKey->SetBounds(0, 0, 2600 + kW - fmKey->key->GetClientWidth(),
                         1600 + kH - fmKey->key->GetClientHeight());
        PumpMessages();
    }
    _TEvent* Edited = nullptr; // a note-on in view at the part's end
};

Program& TheProgram() {
    static Program p;
    return p;
}

// Scrolled so that the view starts at the first note (0) or at the 1,000th note from the end;
// the same notes fall in view either way.
void ScrollTo(bool End) {
    TfmKey* k = fmKey;
    k->UpdateHScrollRange();
    const int x = End ? TfmKey::TickToFloorX(std::int64_t(kNotes - 1000) * 60) : 0;
    k->ScrollX->SetPosition(x);
    k->ScrollX->Changed();
    PumpMessages();
}

void Full() {
    fmKey->key->Invalidate();
    UpdateWindow(fmKey->key->Handle());
}

// Batches of the start's paint and of End taken in turn: "x_start", End's best time per call
// over the start's.
template <class F> void ReportOfStart(benchmark::State& state, F&& End) {
    TheProgram();
    double start = 1e9, end = 1e9;
    for (auto _ : state)
        for (int batch = 0; batch < 20; ++batch) {
            ScrollTo(false);
            start = std::min(start, BatchSecondsPerCall(Full));
            ScrollTo(true);
            end = std::min(end, BatchSecondsPerCall(End));
        }
    state.counters["x_start"] = end / start;
    state.counters["start_ms"] = start * 1e3;
    state.counters["end_ms"] = end * 1e3;
}

void BM_GridFullPaintAtTheStart(benchmark::State& state) {
    TheProgram();
    ScrollTo(false);
    for (auto _ : state)
        Full();
}
BENCHMARK(BM_GridFullPaintAtTheStart)->Unit(benchmark::kMillisecond);

void BM_GridFullPaintAtTheEnd(benchmark::State& state) {
    ReportOfStart(state, Full);
}
BENCHMARK(BM_GridFullPaintAtTheEnd)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_GridFullPaintAtTheEndAfterAChange(benchmark::State& state) {
    _TEvent* note = TheProgram().Edited;
    ReportOfStart(state, [note] {
        HoldRenderer();           // as every change of the song does
        note->Msg ^= 0x00010000u; // velocity 100 or 101
        ReleaseRenderer();
        Full();
    });
}
BENCHMARK(BM_GridFullPaintAtTheEndAfterAChange)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
