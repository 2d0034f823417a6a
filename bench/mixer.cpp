// The mixer's meter refresh (the system timer's 50 ms step) over 200 output strips and the
// master, against the same meter columns and wave rectangle filled by a plain loop of
// painting-layer calls onto the same window in the same run ("x_ref": our time over the
// loop's; the goal is at most 2).
#include "editors/audio/mixer.h"
#include "app/main.h"
#include "gui/xgui.h"
#include "platform/core/messages.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/graphics.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"
#include "song/render.h"
#include "song/song.h"

#include "program.h"
#include "timing.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <stdexcept>
#include <vector>

using namespace platform;

namespace {

constexpr int kTracks = 100, kOutputs = 2; // 200 strips beside the master

struct Program : BenchProgram {
    Program() : BenchProgram(14000, 1000) {
        for (int t = 0; t < kTracks; ++t) {
            _TTrack* track = Song->TrackAt(t);
            track->Mode = tmAudio;
            track->Samples.push_back(std::make_unique<TSample>());
            Song->UpdateSampleChannel(t);
            for (int o = 0; o < kOutputs; ++o) {
                TSoftOut& slot = track->Outputs[std::size_t(o)];
                slot.Active = 1;
                slot.PeakLeft = 0.1f * float((t + o) % 10);
                slot.PeakRight = 0.07f * float((t * 3 + o) % 14);
            }
        }
        Song->MasterOut.PeakLeft = 0.6f;
        Song->MasterOut.PeakRight = 0.4f;
        // The mixer opens with the arrange window unless the settings close it.
        if (!fmMixer || !fmMixer->Visible) fmMdi->ToggleMixer();
        if (!fmMixer || !fmMixer->Visible) throw std::runtime_error("no mixer");
        fmMixer->Rebuild();
        PumpMessages();
        if (fmMixer->Meters.size() != kTracks * kOutputs + 1)
            throw std::runtime_error("the strips are missing");
    }
};

Program& TheProgram() {
    static Program p;
    return p;
}

// The reference: both columns of every meter and the wave's rectangle filled straight.
double DirectSeconds() {
    TheProgram();
    const HWND h = fmMixer->Handle();
    std::vector<TRect> rects;
    for (TXGuiBase* vu : fmMixer->Meters) {
        TRect r;
        vu->GetRect(r);
        rects.push_back({r.Left + 5, r.Top + 11, r.Left + 11, r.Top + 92});
        rects.push_back({r.Left + 14, r.Top + 11, r.Left + 20, r.Top + 92});
    }
    TRect wave;
    fmMixer->WaveItem->GetRect(wave);
    rects.push_back(wave);
    return SecondsPerCall([&] {
        HDC dc = GetDC(h);
        TCanvas c(dc);
        c.Brush.Style = bsSolid;
        int i = 0;
        for (const TRect& r : rects) {
            c.Brush.Color = (i++ & 1) ? 0x30C040 : 0x101010;
            c.FillRect(r);
        }
        c.SetHandle(0);
        ReleaseDC(h, dc);
    });
}

void BM_MixerRefreshMeters(benchmark::State& state) {
    static const double ref = DirectSeconds();
    for (auto _ : state)
        fmMixer->RefreshMeters(MixWave(), 512);
    state.counters["x_ref"] =
        benchmark::Counter(double(state.iterations()) * ref,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_MixerRefreshMeters)->Unit(benchmark::kMicrosecond);

} // namespace
