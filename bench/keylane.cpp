// The key editor's controller lane, 1600 pixels wide, repainted whole over a part of 100,000
// notes with a volume controller beside every note: the velocity lane and the controller lane
// scrolled to the part's end against the same paint scrolled to its start, where the same
// pattern is in view ("x_start": the end's time over the start's, the best of batches of each
// taken in turn in the same run; the goal is at most 2). The walk to the view resumes from the
// marks the lane keeps while the part stays unchanged.
#include "app/arrange.h"
#include "app/main.h"
#include "editors/midi/key.h"
#include "gui/mscroll.h"
#include "gui/scroll.h"
#include "platform/core/messages.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"
#include "song/primitives.h"
#include "song/song.h"

#include "of_full.h"
#include "program.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <stdexcept>

using namespace platform;

namespace {

constexpr int kW = 1600, kNotes = 100000;

struct Program : BenchProgram {
    Program() : BenchProgram(2800, 1800) {
        // A note every sixteenth, 40 ticks long, velocities climbing; controller 7 at each note.
        _TPart* p = NewPart("Long", 0, kNotes * 60 + 960, 0);
        for (int n = 0; n < kNotes; ++n) {
            const std::uint32_t key = 36 + (n * 7) % 48, vel = 1 + (n * 5) % 127;
            AppendEvent(p, NewEvent(n ? 20 : 0, 0x000007B0u | (n % 128) << 16));
            AppendEvent(p, NewEvent(0, 0x00000090u | key << 8 | vel << 16));
            AppendEvent(p, NewEvent(40, 0x00000080u | key << 8));
        }
        if (!InsertPart(Song->TrackAt(0), p)) throw std::runtime_error("no part");
        Song->SetCurrentPart(p);
        Song->Position = 0;
        fmArrange->OpenPartEditor();
        if (!fmKey) throw std::runtime_error("no key editor");
        fmKey->WindowState = wsNormal;
        fmKey->SetBounds(0, 0, 2600, 1600);
        fmKey->SetBounds(0, 0, 2600 + kW - fmKey->control->GetClientWidth(), 1600);
        PumpMessages();
        if (fmKey->control->GetClientHeight() < 40) throw std::runtime_error("no lane in view");
    }
};

Program& TheProgram() {
    static Program p;
    return p;
}

// Scrolled so that the view starts at the first note or at the 1,000th note from the end.
void ScrollTo(bool End) {
    TfmKey* k = fmKey;
    k->UpdateHScrollRange();
    const int x = End ? TfmKey::TickToFloorX(std::int64_t(kNotes - 1000) * 60) : 0;
    k->ScrollX->SetPosition(x);
    k->ScrollX->Changed();
    PumpMessages();
}

void Lane() {
    fmKey->control->Invalidate();
    UpdateWindow(fmKey->control->Handle());
}

// The lane Code (-4 velocity) at the part's end against its start.
void LaneOfStart(benchmark::State& state, int Code) {
    TheProgram();
    fmKey->SetLane(Code);
    ReportOfStart(state, ScrollTo, Lane);
}

void BM_VelocityLaneAtTheEnd(benchmark::State& state) {
    LaneOfStart(state, -4);
}
BENCHMARK(BM_VelocityLaneAtTheEnd)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_ControllerLaneAtTheEnd(benchmark::State& state) {
    LaneOfStart(state, 7);
}
BENCHMARK(BM_ControllerLaneAtTheEnd)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
