// The key editor's event list, 900 pixels high, repainted whole over a part of 100,000 events:
// scrolled to its last rows against the same paint at its top ("x_start": the end's time over
// the start's, the best of batches of each taken in turn in the same run; the goal is at most
// 1.5). Every paint walks the whole part to count its rows for the scroll bar; only the rows in
// view are drawn.
#include "app/arrange.h"
#include "app/main.h"
#include "editors/midi/key.h"
#include "gui/mscroll.h"
#include "gui/scroll.h"
#include "platform/core/messages.h"
#include "platform/forms/extctrls.h"
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

constexpr int kH = 900, kEvents = 100000;

struct Program : BenchProgram {
    Program() : BenchProgram(2800, 1800) {
        // Notes and controllers by turns, a sixteenth apart.
        _TPart* p = NewPart("Long", 0, kEvents * 30 + 960, 0);
        for (int n = 0; n < kEvents / 2; ++n) {
            const std::uint32_t key = 36 + (n * 7) % 48;
            AppendEvent(p, NewEvent(n ? 20 : 0, 0x00640090u | key << 8));
            AppendEvent(p, NewEvent(40, 0x000007B0u | std::uint32_t(n % 128) << 16));
        }
        if (!InsertPart(Song->TrackAt(0), p)) throw std::runtime_error("no part");
        Song->SetCurrentPart(p);
        Song->Position = 0;
        fmArrange->OpenPartEditor();
        if (!fmKey) throw std::runtime_error("no key editor");
        fmKey->WindowState = wsNormal;
        fmKey->SetBounds(0, 0, 1600, 1600);
        fmKey->SetBounds(0, 0, 1600, 1600 + kH - fmKey->list->GetClientHeight());
        fmKey->panelList->Width = 290;
        PumpMessages();
        if (fmKey->list->GetClientHeight() < kH / 2) throw std::runtime_error("no list in view");
    }
};

Program& TheProgram() {
    static Program p;
    return p;
}

void ScrollTo(bool End) {
    TScroll* l = fmKey->list;
    l->Invalidate();
    UpdateWindow(l->Handle()); // sets the scroll bar's range
    auto* bar = dynamic_cast<TGuiScrollbar*>(fmKey->sbListVert->GetControlWithID("listvert"));
    if (!bar) throw std::runtime_error("no list scroll bar");
    bar->SetPosition(End ? bar->Max : 0);
    bar->Changed();
    l->SetOffsetY(-bar->Position);
    PumpMessages();
}

void List() {
    fmKey->list->Invalidate();
    UpdateWindow(fmKey->list->Handle());
}

void BM_EventListAtTheEnd(benchmark::State& state) {
    TheProgram();
    ReportOfStart(state, ScrollTo, List);
}
BENCHMARK(BM_EventListAtTheEnd)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
