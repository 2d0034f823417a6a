// The named-item canvas: a 1600 x 600 canvas of 64 strips of 12 items each, repainted whole,
// and one fader repainted after InvalidateControl. "of_full" is the fader's repaint time over
// the whole canvas's, both the best of batches taken in turn in the same run (of_full.h); the
// goal is at most 0.05.
#include "gui/xgui.h"
#include "platform/forms/form.h"
#include "platform/window/paint.h"

#include "of_full.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

using namespace platform;

namespace {

constexpr int kStrips = 64, kStripWidth = 25;

struct Mixer {
    std::unique_ptr<TForm> form{new TForm(nullptr)};
    TXGui* canvas = nullptr;
    std::vector<std::unique_ptr<TXGuiBase>> items;
    TXGuiFader* fader = nullptr;

    Mixer() {
        form->BorderStyle = bsNone;
        form->SetBounds(0, 0, 1600, 600);
        canvas = new TXGui(form.get());
        canvas->Parent = form.get();
        canvas->SetBounds(0, 0, 1600, 600);
        canvas->HostWnd = form->Handle();
        canvas->BorderWidth = 3;
        canvas->OnBeforePaint = [](TXGui* s, TCanvas& c) {
            c.Brush.Color = TColor(0x303030);
            c.FillRect({0, 0, s->GetWidth(), s->GetHeight()});
        };
        // The owner draws its knobs and meters.
        canvas->OnPaintCtrl = [](TXGui*, TXGuiBase* item, TCanvas& c, bool& done) {
            TRect r;
            item->GetRect(r);
            if (dynamic_cast<TXGuiKnob*>(item)) {
                c.Brush.Color = clSilver;
                c.Pen.Color = clBlack;
                c.Ellipse(r);
                done = true;
            } else if (dynamic_cast<TXGuiUser*>(item)) {
                c.Brush.Color = clGreen;
                c.FillRect({r.Left, r.Top + r.Height() / 2, r.Right, r.Bottom});
                done = true;
            }
        };
        for (int s = 0; s < kStrips; ++s) {
            const int x = 3 + s * kStripWidth, w = kStripWidth - 1;
            Add<TXGuiLabel>(x, 3, w, 14);
            for (int k = 0; k < 4; ++k)
                Add<TXGuiKnob>(x + 2, 20 + k * 24, w - 4, w - 4);
            Add<TXGuiButton>(x, 120, w, 16);
            Add<TXGuiButton>(x, 138, w, 16);
            Add<TXGuiButton>(x, 156, w, 16);
            Add<TXGuiUser>(x + 2, 180, 8, 300);
            auto* f = Add<TXGuiFader>(x + 12, 180, 10, 300);
            f->Horizontal = false;
            if (s == kStrips / 2) fader = f;
            Add<TXGuiLabel>(x, 490, w, 14);
            Add<TXGuiButton>(x, 510, w, 16);
        }
        form->Show();
        UpdateWindow(form->Handle());
    }
    template <class T> T* Add(int x, int y, int w, int h) {
        auto item = std::make_unique<T>(nullptr);
        item->SetBounds(x, y, w, h);
        T* raw = item.get();
        canvas->Items.push_back(raw);
        items.push_back(std::move(item));
        return raw;
    }
    void Full() {
        canvas->Invalidate();
        UpdateWindow(form->Handle());
    }
    void OneFader() {
        fader->Pos = (fader->Pos + 1) % 100;
        canvas->InvalidateControl(fader);
        UpdateWindow(form->Handle());
    }
};

Mixer& TheMixer() {
    static Mixer m;
    return m;
}

void BM_FullRepaint(benchmark::State& state) {
    Mixer& m = TheMixer();
    for (auto _ : state)
        m.Full();
    ReportOfFull(state, [&] { m.Full(); }, [&] { m.Full(); });
}

void BM_OneFaderRepaint(benchmark::State& state) {
    Mixer& m = TheMixer();
    for (auto _ : state)
        m.OneFader();
    ReportOfFull(state, [&] { m.OneFader(); }, [&] { m.Full(); });
}

} // namespace

BENCHMARK(BM_FullRepaint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OneFaderRepaint)->Unit(benchmark::kMicrosecond);
