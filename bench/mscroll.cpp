// One scroll step of a control host's container of 128 faders (400 x 600, about 30 faders
// showing), against drawing the same visible faders' fills, frames and texts straight onto
// the host's DC in the same run ("x_ref": our time over the reference's; the goal is at
// most 3).
#include "gui/mscroll.h"
#include "platform/core/messages.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/form.h"
#include "platform/gdi/gdi.h"

#include "timing.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

using namespace platform;

namespace {

struct Strip {
    std::unique_ptr<TForm> form = std::make_unique<TForm>(nullptr);
    TMScroll* host;
    TGuiAlign* box;
    TGuiScrollbar* bar;
    Strip() {
        SetGuiThread();
        form->SetBounds(0, 0, 420, 640);
        host = new TMScroll(form.get());
        host->Parent = form.get();
        host->SetBounds(0, 0, 400, 600);
        form->Show();
        box = host->AddAlign(alClient, 0, 0, nullptr);
        bar = box->AddScrollbar(alRight, nullptr);
        bar->Vertical = true;
        bar->SetWidth(16);
        bar->LineStep = 20;
        for (int i = 0; i < 128; ++i) {
            TGuiFader* f = host->AddFader("f" + std::to_string(i), 0, 127, i, 360, box);
            f->Align = alTop;
        }
        host->AlignControls();
    }
};

Strip& TheStrip() {
    static Strip s;
    return s;
}

// The reference: the visible faders drawn with the same calls, straight onto the host DC.
void DrawDirect(Strip& s, TCanvas& c) {
    const int dy = s.box->ScrollY;
    for (TGuiBase* b : s.host->Controls) {
        auto* f = dynamic_cast<TGuiFader*>(b);
        if (!f || f->Bottom - dy < s.box->Top || f->Top - dy >= s.box->Bottom) continue;
        const int w = f->GetWidth(), h = f->GetHeight();
        const TRect r{f->Left, f->Top - dy, f->Left + w, f->Top - dy + h};
        GuiFillRect(c, GuiFace(), r);
        const int x = r.Left + GuiRound(double(f->Position - f->Min) * w / (f->Max - f->Min));
        GuiFillRect(c, kGuiSilver, {r.Left, r.Top, x, r.Bottom});
        GuiFrame(c, {r.Left, r.Top, x, r.Bottom}, kGuiWhite, kGuiGrey);
        c.Font = GuiFont();
        TRect t = r;
        CanvasDrawText(c, std::to_string(f->Position), &t,
                       DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX, kGuiBlack);
    }
}

double DirectSeconds() {
    static const double s = [] {
        Strip& st = TheStrip();
        HDC dc = GetDC(st.host->Handle());
        TCanvas c(dc);
        const double t = SecondsPerCall([&] { DrawDirect(st, c); });
        c.SetHandle(0);
        ReleaseDC(st.host->Handle(), dc);
        return t;
    }();
    return s;
}

void BM_DirectFaders(benchmark::State& state) {
    Strip& s = TheStrip();
    HDC dc = GetDC(s.host->Handle());
    TCanvas c(dc);
    for (auto _ : state)
        DrawDirect(s, c);
    c.SetHandle(0);
    ReleaseDC(s.host->Handle(), dc);
    state.counters["x_ref"] =
        benchmark::Counter(double(state.iterations()) * DirectSeconds(),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_DirectFaders)->Unit(benchmark::kMicrosecond);

void BM_ContainerStep(benchmark::State& state) {
    Strip& s = TheStrip();
    int dir = 1;
    for (auto _ : state) {
        // Down and back up, so that every step scrolls and repaints.
        if (s.box->ScrollY == 0) dir = -1;
        if (s.box->ScrollY >= s.box->ContentHeight() - s.box->GetHeight()) dir = 1;
        s.bar->Step(dir);
    }
    PumpMessages();
    state.counters["x_ref"] =
        benchmark::Counter(double(state.iterations()) * DirectSeconds(),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ContainerStep)->Unit(benchmark::kMicrosecond);

} // namespace
