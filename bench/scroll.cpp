// The editors' drawing surface: a 1920 x 1080 key-editor-like grid (128 note rows, beat lines,
// 2,000 notes, 64 bar labels) repainted whole, and scrolled by 40 pixels, which moves the
// pixels and paints only the uncovered strip. "of_full" is the scroll's time over the whole
// repaint's, both the best of batches taken in turn in the same run (of_full.h); the goal for
// the scroll is at most 0.25.
#include "gui/scroll.h"
#include "platform/forms/form.h"
#include "platform/window/paint.h"

#include "of_full.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

using namespace platform;

namespace {

constexpr int kW = 1920, kH = 1080, kRow = 12, kRows = 128, kBeat = 48;

struct Note {
    int x, row, len;
};

struct Editor {
    std::unique_ptr<TForm> form{new TForm(nullptr)};
    TScroll* surface = nullptr;
    std::vector<Note> notes;

    Editor() {
        SetScreenGeometry(2560, 1440);
        form->BorderStyle = bsNone;
        form->SetBounds(0, 0, kW, kH);
        surface = new TScroll(form.get());
        surface->Parent = form.get();
        surface->SetBounds(0, 0, kW, kH);
        unsigned seed = 12345;
        auto next = [&seed](int n) {
            seed = seed * 1103515245u + 12345u;
            return int((seed >> 8) % unsigned(n));
        };
        for (int i = 0; i < 2000; ++i)
            notes.push_back({next(kW * 2), next(kRows), 12 + next(180)});
        surface->OnPaint = [this](TCanvas& c) { Paint(c); };
        form->Show();
        UpdateWindow(surface->Handle());
    }

    void Paint(TCanvas& c) {
        const TRect clip = c.ClipRect();
        c.Pen.Style = psSolid;
        c.Pen.Mode = pmCopy;
        c.Brush.Style = bsSolid;
        // Rows: the black keys' rows darker, a line under each.
        for (int row = clip.Top / kRow; row < kRows && row * kRow < clip.Bottom; ++row) {
            const int key = (kRows - 1 - row) % 12;
            const bool black = key == 1 || key == 3 || key == 6 || key == 8 || key == 10;
            c.Brush.Color = black ? TColor(0x2A2A2A) : TColor(0x383838);
            c.FillRect({clip.Left, row * kRow, clip.Right, row * kRow + kRow});
            c.Pen.Color = TColor(0x202020);
            c.MoveTo(clip.Left, row * kRow + kRow - 1);
            c.LineTo(clip.Right, row * kRow + kRow - 1);
        }
        // Beat lines, every fourth a bar line.
        for (int x = clip.Left - clip.Left % kBeat; x < clip.Right; x += kBeat) {
            c.Pen.Color = (x / kBeat) % 4 == 0 ? TColor(0x707070) : TColor(0x484848);
            c.MoveTo(x, clip.Top);
            c.LineTo(x, clip.Bottom);
        }
        c.Pen.Color = clBlack;
        c.Brush.Color = TColor(0x40C0FF);
        for (const Note& n : notes) {
            const int top = n.row * kRow;
            if (n.x >= clip.Right || n.x + n.len <= clip.Left || top >= clip.Bottom ||
                top + kRow <= clip.Top)
                continue;
            c.Rectangle(n.x, top + 1, n.x + n.len, top + kRow - 1);
        }
        c.Brush.Style = bsClear;
        c.Font.Color = clWhite;
        for (int bar = 0; bar < 64; ++bar) {
            const int x = bar * kBeat * 4 + 3, y = (bar % 8) * 130 + 2;
            if (x < clip.Right && y < clip.Bottom && y + 16 > clip.Top)
                c.TextOut(x, y, "Bar " + std::to_string(bar + 1));
        }
    }

    void Full() {
        surface->Invalidate();
        UpdateWindow(surface->Handle());
    }
    void Scroll() {
        surface->SetOffsetY(surface->OffsetY == 0 ? -40 : 0);
        UpdateWindow(surface->Handle());
    }
};

Editor& TheEditor() {
    static Editor e;
    return e;
}

void BM_FullRepaint(benchmark::State& state) {
    Editor& e = TheEditor();
    for (auto _ : state)
        e.Full();
    ReportOfFull(state, [&] { e.Full(); }, [&] { e.Full(); });
}

void BM_ScrollBy40(benchmark::State& state) {
    Editor& e = TheEditor();
    for (auto _ : state)
        e.Scroll();
    ReportOfFull(state, [&] { e.Scroll(); }, [&] { e.Full(); });
}

} // namespace

BENCHMARK(BM_FullRepaint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScrollBy40)->Unit(benchmark::kMillisecond);
