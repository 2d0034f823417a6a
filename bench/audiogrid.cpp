// The sample-part editor's grid, 1600 x 600 with waveforms drawn, repainted whole over a part of
// 10,000 sample notes at 50 pixels a sixteenth: scrolled to the part's end against the same
// paint scrolled to its start, where the same pattern of notes is in view ("x_start": the end's
// time over the start's, the best of batches of each taken in turn in the same run; the goal is
// at most 1.5).
#include "app/arrange.h"
#include "app/main.h"
#include "devices/dxsounds.h"
#include "devices/midimsg.h"
#include "editors/audio/sampleedit.h"
#include "gui/mscroll.h"
#include "gui/scroll.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"
#include "song/primitives.h"
#include "song/song.h"

#include "of_full.h"
#include "program.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <stdexcept>

using namespace platform;

namespace {

constexpr int kW = 1600, kH = 600, kNotes = 10000, kSlots = 8;

struct Program : BenchProgram {
    Program() : BenchProgram(2800, 1800) {
        // Eight slots, each a second of a 16-bit stereo tone.
        _TTrack* t = Song->TrackAt(0);
        t->Mode = tmAudio;
        for (int i = 0; i < kSlots; ++i) {
            TWaveCollectionItem* item = Song->SamplePool->Items.Add();
            item->Wave.SetPCMFormat(44100, 16, 2);
            item->Wave.SetSize(44100 * 4);
            auto* d = reinterpret_cast<std::int16_t*>(item->Wave.Data());
            for (int f = 0; f < 44100; ++f)
                d[2 * f] = d[2 * f + 1] = std::int16_t(8000 * std::sin(f * 0.01 * (i + 1)));
            t->Samples.push_back(std::make_unique<TSample>());
            t->Samples.back()->Index = i;
        }
        // A note every sixteenth on the slots in turn, 40 ticks long.
        _TPart* p = NewPart("Long", 0, kNotes * 60 + 960, 0);
        for (int n = 0; n < kNotes; ++n) {
            const std::uint32_t row = std::uint32_t(n % kSlots);
            AppendEvent(p, NewEvent(n ? 20 : 0, PackMidiMsg(msSampleOn, row, 127) + (63u << 24)));
            AppendEvent(p, NewEvent(40, PackMidiMsg(msSampleOff, row, 0)));
        }
        if (!InsertPart(t, p)) throw std::runtime_error("no part");
        Song->SetCurrentPart(p);
        Song->Position = 0;
        fmArrange->OpenPartEditor();
        if (!fmAudio) throw std::runtime_error("no sample-part editor");
        AudioWidth16th = 50;
        fmAudio->SetBounds(0, 0, 2600, 1600);
        fmAudio->SetBounds(0, 0, 2600 + kW - fmAudio->audio->GetClientWidth(),
                           1600 + kH - fmAudio->audio->GetClientHeight());
        PumpMessages();
    }
};

Program& TheProgram() {
    static Program p;
    return p;
}

// Scrolled so that the view starts at the first note (0) or at the 500th note from the end; the
// same notes fall in view either way (the pattern repeats every eight notes).
void ScrollTo(bool End) {
    TfmAudio* a = fmAudio;
    a->UpdateHorzScrollRange();
    const int x = End ? TfmAudio::TickToX(std::int64_t(kNotes - 504) * 60) : 0;
    a->ScrollX->SetPosition(x);
    a->ScrollX->Changed();
    PumpMessages();
}

void Full() {
    fmAudio->audio->Invalidate();
    UpdateWindow(fmAudio->audio->Handle());
}

void BM_AudioGridFullPaintAtTheStart(benchmark::State& state) {
    TheProgram();
    ScrollTo(false);
    for (auto _ : state)
        Full();
}
BENCHMARK(BM_AudioGridFullPaintAtTheStart)->Unit(benchmark::kMillisecond);

void BM_AudioGridFullPaintAtTheEnd(benchmark::State& state) {
    TheProgram();
    double start = 1e9, end = 1e9;
    for (auto _ : state)
        for (int batch = 0; batch < 20; ++batch) {
            ScrollTo(false);
            start = std::min(start, BatchSecondsPerCall(Full));
            ScrollTo(true);
            end = std::min(end, BatchSecondsPerCall(Full));
        }
    state.counters["x_start"] = end / start;
    state.counters["start_ms"] = start * 1e3;
    state.counters["end_ms"] = end * 1e3;
}
BENCHMARK(BM_AudioGridFullPaintAtTheEnd)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
