// The arrange window's parts area, 1920 x 1080, repainted whole: 128 tracks of 200 one-bar
// parts with names, and with X-Ray over about 50,000 notes in view. Each against the same
// boxes, names and note lines drawn by a plain loop of painting-layer calls onto the same
// window in the same run ("x_ref": our time over the loop's; the goal is at most 2).
// The track list's 128 rows with every column set, drawn whole onto one surface, against the
// same cell texts and value bars drawn by a plain loop onto it.
#include "app/arrange.h"
#include "app/main.h"
#include "devices/midimsg.h"
#include "gui/scroll.h"
#include "platform/core/messages.h"
#include "platform/core/paths.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/header.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/graphics.h"
#include "platform/menus/menus.h"
#include "platform/midi/midi.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"
#include "song/primitives.h"
#include "song/song.h"
#include "song/subengine.h"
#include "song/timebase.h"

#include "program.h"
#include "timing.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

using namespace platform;

namespace {

constexpr int kW = 1920, kH = 1080, kParts = 200, kNotes = 11;

struct Program : BenchProgram {
    Program() : BenchProgram(2800, 1800) {
        TfmArrange* a = fmArrange;
        a->SetBounds(0, 0, 2600, 1500);
        a->SetBounds(0, 0, 2600 + kW - a->arrange->GetClientWidth(),
                     1500 + kH - a->arrange->GetClientHeight());
        for (int t = 0; t < TrackCount; ++t)
            for (int i = 0; i < kParts; ++i) {
                _TPart* p = NewPart("P" + std::to_string(i), i * 960, 960, t);
                for (int n = 0; n < kNotes; ++n)
                    AppendEvent(p,
                                NewEvent(n ? 80 : 20,
                                         0x00640090u | std::uint32_t(30 + (n * 7 + t) % 90) << 8)),
                        AppendEvent(p, NewEvent(40, 0x00000080u |
                                                        std::uint32_t(30 + (n * 7 + t) % 90) << 8));
                InsertPart(Song->TrackAt(t), p);
            }
        Song->Position = 960 * 300;
        Song->LeftLocator = 960 * 301;
        Song->RightLocator = 960 * 302;
        PumpMessages();
    }
};

Program& TheProgram() {
    static Program p;
    return p;
}

void SetXRay(bool On) {
    fmArrange->miXRay->Checked = On;
}

void Full() {
    fmArrange->arrange->Invalidate();
    UpdateWindow(fmArrange->arrange->Handle());
}

// The reference: the visible boxes with their bevels and names or note lines, straight.
void DrawDirect(TCanvas& c, bool XRay) {
    c.Brush.Style = bsSolid;
    c.Brush.Color = fmMdi->ControlBkColor;
    c.FillRect({0, 0, kW, kH});
    c.Font = fmArrange->arrange->Font.Get();
    for (int t = 0; t < TrackCount && t * TrackHeight < kH; ++t)
        for (_TPart* p = Song->TrackAt(t)->Parts; p; p = p->Next) {
            const int x1 = TickToPixel(p->Start), x2 = TickToPixel(p->Start + p->Length) - 2;
            if (x1 > kW) break;
            const int y1 = t * TrackHeight, y2 = y1 + TrackHeight - 2;
            c.Pen.Style = psSolid;
            c.Brush.Style = bsSolid;
            c.Brush.Color = fmMdi->PartsBkColor;
            c.FillRect({x1, y1, x2 + 1, y2 + 1});
            c.Pen.Color = 0xC0C0C0;
            c.MoveTo(x1, y2);
            c.LineTo(x1, y1);
            c.LineTo(x2 + 1, y1);
            c.Pen.Color = 0x404040;
            c.MoveTo(x1, y2);
            c.LineTo(x2, y2);
            c.LineTo(x2, y1);
            if (XRay) {
                c.Pen.Color = 0xFFFFFF;
                int at = p->Start;
                for (const _TEvent* e = p->Events; e; e = e->Next) {
                    at += e->Delta;
                    if (!IsNoteOn(e->Msg)) continue;
                    const int y = y2 - int(MidiData1(e->Msg)) * (y2 - y1) / 127;
                    const int xs = TickToPixel(at);
                    c.MoveTo(xs, y);
                    c.LineTo(TickToPixel(at + 40), y);
                }
            } else {
                c.Brush.Style = bsClear;
                TRect r{x1 + 3, y1 + 1, x2, y2};
                CanvasDrawText(c, p->Name, &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX, 0);
            }
        }
}

double DirectSeconds(bool XRay) {
    TheProgram();
    HDC dc = GetDC(fmArrange->arrange->Handle());
    TCanvas c(dc);
    const double s = SecondsPerCall([&] { DrawDirect(c, XRay); });
    c.SetHandle(0);
    ReleaseDC(fmArrange->arrange->Handle(), dc);
    return s;
}

void Report(benchmark::State& state, double Ref) {
    state.counters["x_ref"] =
        benchmark::Counter(double(state.iterations()) * Ref,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_PartsFullPaint(benchmark::State& state) {
    static const double ref = DirectSeconds(false);
    SetXRay(false);
    for (auto _ : state)
        Full();
    Report(state, ref);
}
BENCHMARK(BM_PartsFullPaint)->Unit(benchmark::kMillisecond);

void BM_PartsFullPaintXRay(benchmark::State& state) {
    static const double ref = DirectSeconds(true);
    SetXRay(true);
    for (auto _ : state)
        Full();
    SetXRay(false);
    Report(state, ref);
}
BENCHMARK(BM_PartsFullPaintXRay)->Unit(benchmark::kMillisecond);

void BM_PartsScrollByABar(benchmark::State& state) {
    TheProgram();
    static const double ref = DirectSeconds(false);
    SetXRay(false);
    int pos = 0;
    for (auto _ : state) {
        pos = pos == 0 ? 24 : 0;
        fmArrange->ScrollXControl("scrollx", pos);
        UpdateWindow(fmArrange->arrange->Handle());
    }
    Report(state, ref);
}
BENCHMARK(BM_PartsScrollByABar)->Unit(benchmark::kMillisecond);

// The form's column widths, every track with a name, channel, program, bank and all four
// values; the surface holds all 128 rows.
TBitmap& TrackRowsSurface() {
    static TBitmap b;
    if (!b.Empty()) return b;
    TheProgram();
    constexpr int widths[11] = {16, 80, 30, 25, 120, 50, 50, 50, 50, 50, 46};
    int w = 0;
    for (int i = 0; i < 11; ++i) {
        fmArrange->trackTitles->Sections(i)->Width = widths[i];
        w += widths[i];
    }
    fmArrange->panelTracks->Width = w + 4;
    for (int t = 0; t < TrackCount; ++t) {
        _TTrack* tr = Song->TrackAt(t);
        tr->Name = "Track " + std::to_string(t + 1);
        tr->Mode = tmMidi;
        tr->Channel = t % 16;
        tr->Program = t;
        tr->Bank = t % 3;
        tr->Volume = 100 - t % 50;
        tr->Pan = 64;
        tr->Reverb = t;
        tr->Chorus = 127 - t;
        tr->Transpose = t % 12 - 6;
    }
    PumpMessages();
    b.SetSize(fmArrange->tracks->GetClientWidth(), TrackCount * TrackHeight);
    return b;
}

// The reference: background, separators, the current row, then each row's cells by the same
// texts (made beforehand) and bars.
double TrackRowsDirectSeconds() {
    TCanvas& c = TrackRowsSurface().Canvas();
    const int w = fmArrange->tracks->GetClientWidth(), h = TrackCount * TrackHeight;
    int xs[11], ws[11];
    for (int i = 0, x = 5; i < 11; ++i) {
        xs[i] = x;
        ws[i] = fmArrange->trackTitles->Sections(i)->Width;
        x += ws[i];
    }
    std::vector<std::array<std::string, 11>> texts(TrackCount);
    for (int t = 0; t < TrackCount; ++t) {
        const _TTrack& tr = *Song->TrackAt(t);
        texts[t] = {"",
                    tr.Name,
                    std::to_string(tr.Channel + 1),
                    "",
                    "",
                    std::to_string(tr.Bank) + "/" + std::to_string(tr.Program),
                    std::to_string(tr.Volume),
                    std::to_string(tr.Pan),
                    std::to_string(tr.Reverb),
                    std::to_string(tr.Chorus),
                    std::to_string(tr.Transpose)};
        TrackOutputText(tr, texts[t][4]);
    }
    return SecondsPerCall([&] {
        c.Brush.Style = bsSolid;
        c.Brush.Color = fmMdi->ControlBkColor;
        c.FillRect({0, 0, w, h});
        c.Pen.Style = psSolid;
        c.Pen.Color = fmArrange->TracksSelBkColor;
        c.Brush.Color = fmArrange->TracksSelBkColor;
        c.Rectangle(0, 0, w, TrackHeight);
        c.Pen.Color = fmMdi->ColumnSeparator;
        for (int i = 1; i < 11; ++i) {
            c.MoveTo(xs[i] + ws[i] - 6, 0);
            c.LineTo(xs[i] + ws[i] - 6, h);
        }
        c.Font = fmArrange->tracks->Font.Get();
        for (int t = 0; t < TrackCount; ++t) {
            const _TTrack& tr = *Song->TrackAt(t);
            const int y = t * TrackHeight;
            const int values[4] = {tr.Volume, tr.Pan, tr.Reverb, tr.Chorus};
            for (int i = 1; i < 11; ++i) {
                TRect r{xs[i], y, xs[i] + ws[i] - 10, y + TrackHeight};
                if (i >= 6 && i <= 9) {
                    c.Brush.Style = bsSolid;
                    c.Brush.Color = fmMdi->PartsBkColor;
                    c.Pen.Color = fmMdi->PartsBkColor;
                    c.Rectangle(r.Left, r.Top + 4,
                                r.Left + (r.Right - r.Left) * values[i - 6] / 127, r.Bottom - 4);
                }
                c.Brush.Style = bsClear;
                const unsigned centre = i == 1 || i == 4 ? 0 : DT_CENTER;
                CanvasDrawText(c, texts[t][i], &r,
                               DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | centre, 0xFFFFFF);
            }
        }
    });
}

void BM_TrackRowsFullPaint(benchmark::State& state) {
    static const double ref = TrackRowsDirectSeconds();
    TCanvas& c = TrackRowsSurface().Canvas();
    for (auto _ : state)
        fmArrange->DrawTrackRows(c);
    Report(state, ref);
}
BENCHMARK(BM_TrackRowsFullPaint)->Unit(benchmark::kMillisecond);

} // namespace
