// The sample-part editor's pictures: the grid (grid lines, row lines, note boxes with the
// sample's waveform inside), the ruler with its locator band, the play cursor and the step
// cursor. Everything is drawn in content coordinates (x 0 at the part's start, y 0 at the top of
// slot 0); the marks are XOR so that drawing them twice takes them off again.
#include "editors/audio/sampleedit.h"

#include "app/main.h"
#include "devices/dxsounds.h"
#include "devices/midimsg.h"
#include "gui/dragrect.h"
#include "gui/mscroll.h"
#include "gui/scroll.h"
#include "platform/menus/menus.h"
#include "song/primitives.h"
#include "song/song.h"
#include "song/timebase.h"

#include <algorithm>
#include <cstring>

using namespace platform;

namespace {

constexpr TColor kSilver = 0xC0C0C0, kOffBeat = 0x484848, kRowLine = 0x808080, kSelected = 0x80FFFF,
                 kStepCursor = 0x0000FF;

void SolidPen(TCanvas& C, TColor Colour, int Width = 1) {
    C.Pen.Mode = pmCopy;
    C.Pen.Style = psSolid;
    C.Pen.Width = Width;
    C.Pen.Color = Colour;
}

void Line(TCanvas& C, int X1, int Y1, int X2, int Y2) {
    C.MoveTo(X1, Y1);
    C.LineTo(X2, Y2);
}

bool IsSampleOn(std::uint32_t Msg) {
    return MidiStatus(Msg) == msSampleOn;
}

// The part of the pane's view that the canvas may draw on.
TRect VisibleArea(TCanvas& C, const TScroll* Pane) {
    const int left = -Pane->OffsetX, top = -Pane->OffsetY;
    const TRect clip = C.ClipRect();
    return {std::max(clip.Left, left), std::max(clip.Top, top),
            std::min(clip.Right, left + Pane->GetClientWidth()),
            std::min(clip.Bottom, top + Pane->GetClientHeight())};
}

} // namespace

// ---- Grid ----

void TfmAudio::PaintGrid(TCanvas& C) {
    if (!fmMdi || !Song) return;
    const TRect view = VisibleArea(C, audio);
    C.Brush.Style = bsSolid;
    C.Brush.Color = fmMdi->ControlBkColor;
    C.FillRect(view);
    _TPart* part = Song->CurrentPart;
    if (!part) return;

    const int step = GridStep == -1 ? Song->GridTicks() : GridStep;
    const int lineEnd = NoteToKeyY(0) + NoteHeight;
    if (step > 0) {
        // From the grid line at or left of the view.
        std::int64_t t = std::int64_t(std::max(0, AudioPixelToTick(view.Left)) / step) * step;
        while (t > 0 && TickToX(t) > view.Left)
            t -= step;
        for (int x; (x = TickToX(t)) < view.Right; t += step) {
            if (x < view.Left) continue;
            SolidPen(C, t % TicksPerBeat == 0 ? kSilver : kOffBeat);
            Line(C, x, 0, x, lineEnd);
        }
    }
    SolidPen(C, kRowLine);
    const int rowsEnd = Height + (ScrollY ? ScrollY->Position : 0);
    for (int y = std::max(0, view.Top / SampleHeight) * SampleHeight;
         y < rowsEnd && y < view.Bottom; y += SampleHeight)
        Line(C, view.Left, y, view.Right, y);

    // The notes, then the marks on top of them.
    const TRect notesView = VisibleArea(C, audio);
    std::int64_t t = 0;
    for (_TEvent* e = part->Events; e; e = e->Next) {
        t += e->Delta;
        if (!IsSampleOn(e->Msg)) continue;
        if (!DrawPartEvents(C, e, t, &notesView)) break;
        e->Flags &= ~efRedraw;
    }
    DrawPlayCursorOn(C, Song->Position);
    if (GridDrag && DragRect && DragRect->Mode != 0) DragRect->Redraw(C);
    if (EditMode == 2) DrawStepCursorOn(C);
}

bool TfmAudio::DrawPartEvents(TCanvas& C, const _TEvent* Event, std::int64_t Tick,
                              const TRect* View) {
    const _TPart* part = Song->CurrentPart;
    const TRect view = View ? *View : VisibleArea(C, audio);
    const int x1 = FloorToInt(float(double(std::int64_t(AudioWidth16th) * Tick) / 60.0));
    if (x1 > view.Right) return false;
    int x2 = FloorToInt(
        float(double(std::int64_t(AudioWidth16th) * (Tick + NoteLength(part, Event))) / 60.0));
    if (view.Left > x2) return true;
    if (x2 - x1 < 3) x2 = x1 + 3;
    const int row = int(MidiData1(Event->Msg));
    const int y1 = row * SampleHeight + 1, y2 = y1 + SampleHeight - 1;
    const bool selected = Event->Flags & efSelected;
    SolidPen(C, kSilver);
    C.Brush.Style = bsSolid;
    C.Brush.Color = selected ? kSelected : fmMdi->PartsBkColor;
    C.Rectangle(x1, y1, x2, y2);
    if (miDrawContents->Checked) DrawTrace(C, Event, x1, x2, y1, y2);
    return true;
}

void TfmAudio::DrawTrace(TCanvas& C, const _TEvent* Event, int X1, int X2, int Y1, int Y2) {
    const _TTrack* track = PartTrack();
    const int row = int(MidiData1(Event->Msg));
    if (!track || row >= int(track->Samples.size()) || !Song->SamplePool) return;
    const int index = track->Samples[std::size_t(row)]->Index;
    if (index < 0 || index >= Song->SamplePool->Items.Count()) return;
    const TWave& wave = Song->SamplePool->Items.GetItem(index)->Wave;
    TWaveFormatHead f;
    // Only the formats the renderer plays, with their frames laid out as they say.
    if (!wave.FormatHead(f) || (f.BitsPerSample != 8 && f.BitsPerSample != 16) ||
        (f.Channels != 1 && f.Channels != 2) ||
        f.BlockAlign != f.Channels * (f.BitsPerSample / 8) || !wave.Data())
        return;
    const std::int64_t size = wave.Size(), align = f.BlockAlign;
    const std::uint8_t* data = wave.Data();
    const bool wide = f.BitsPerSample == 16;
    const int h = Y2 - Y1;
    const double k = wide ? (f.Channels == 1 ? 1.0 / 65535 : 1.0 / 131070)
                          : (f.Channels == 1 ? 1.0 / 256 : 1.0 / 512);
    SolidPen(C, (Event->Flags & efSelected) ? kRowLine : TColor(0xFFFFFF));
    for (int pass = 0; pass < f.Channels; ++pass) {
        const int centre = f.Channels == 1 ? Y1 + h / 2
                           : pass == 0     ? Y1 + h / 4
                                           : Y1 + h / 2 + h / 4;
        C.MoveTo(X1, centre);
        for (int x = X1; x < X2; ++x) {
            const int ms = Round(TicksToMs(AudioPixelToTick(x - X1)));
            std::int64_t offset = Round(ms * 0.001 * f.SamplesPerSec * double(align));
            if (offset > 0 && offset % align != 0) offset += align - offset % align;
            if (offset + align > size) break; // the whole frame lies in the data
            int value;
            if (wide) {
                std::int16_t s;
                std::memcpy(&s, data + offset + 2 * pass, 2);
                value = s;
            } else {
                value = int(data[offset + pass]) - 128;
            }
            C.LineTo(x, Round(centre + value * h * k));
        }
    }
}

void TfmAudio::PaintNotes(bool All) {
    _TPart* part = Song ? Song->CurrentPart : nullptr;
    if (!part || !audio || !audio->HandleAllocated() || !fmMdi) return;
    TCanvas& c = audio->Canvas();
    audio->ApplyOrigin();
    // The play cursor comes off while boxes are drawn over it and goes on again on top.
    DrawPlayCursorOn(c, Song->Position);
    const TRect view = VisibleArea(c, audio);
    std::int64_t t = 0;
    for (_TEvent* e = part->Events; e; e = e->Next) {
        t += e->Delta;
        if (!IsSampleOn(e->Msg) || (!All && !(e->Flags & efRedraw))) continue;
        if (!DrawPartEvents(c, e, t, &view)) break;
        e->Flags &= ~efRedraw;
    }
    DrawPlayCursorOn(c, Song->Position);
}

void TfmAudio::SetGridStep(int Step) {
    GridStep = Step;
    audio->Invalidate();
}

// ---- Play cursor, locator band, step cursor ----

void TfmAudio::DrawPlayCursorOn(TCanvas& C, int Position) {
    const _TPart* part = Song->CurrentPart;
    if (!part) return;
    const int x = FloorToInt(
        float(double(std::int64_t(Position) - part->Start) / 240.0 * 4 * AudioWidth16th));
    C.Pen.Mode = pmXor;
    C.Pen.Style = psDot;
    C.Pen.Width = 1;
    C.Pen.Color = clWhite;
    C.Brush.Style = bsClear;
    // Down to the window's height below the view's top, wherever it is scrolled to.
    Line(C, x, 0, x, Height + (ScrollY ? ScrollY->Position : 0));
    SolidPen(C, clBlack);
}

void TfmAudio::MovePlayCursor(int Position) {
    const _TPart* part = Song ? Song->CurrentPart : nullptr;
    if (!part || !audio) return;
    if (audio->HandleAllocated()) {
        TCanvas& c = audio->Canvas();
        audio->ApplyOrigin();
        DrawPlayCursorOn(c, Position);
    }
    if (EditMode == 2 || Dragging || PanView || !ScrollX) return;
    if (Song->State == 0 && !(fmMdi && fmMdi->Winding)) return;
    const int x = FloorToInt(
        float(double(std::int64_t(Position) - part->Start) / 240.0 * 4 * AudioWidth16th));
    const int w = audio->GetClientWidth(), left = -audio->OffsetX;
    if (x >= left + w) {
        if (ScrollX->Position >= ScrollX->Max || x >= ContentWidth()) return;
        ScrollX->SetPosition(x - w / 4); // the line jumps to a quarter of the width
    } else if (x < left && x >= 0) {
        ScrollX->SetPosition(x);
    } else {
        return;
    }
    ScrollX->Changed();
}

void TfmAudio::DrawBand(TCanvas& C) {
    const _TPart* part = Song ? Song->CurrentPart : nullptr;
    const int l = Song ? int(Song->LeftLocator) : 0, r = Song ? int(Song->RightLocator) : 0;
    if (!part || l > r) return;
    const int x1 = TickToX(std::int64_t(l) - part->Start),
              x2 = TickToX(std::int64_t(r) - part->Start);
    C.Pen.Mode = pmXor;
    C.Pen.Style = psClear;
    C.Brush.Style = bsSolid;
    C.Brush.Color = clWhite;
    C.Rectangle(x1 - 1, 0, x2 + 3, meter->GetClientHeight() + 2);
    SolidPen(C, clBlack);
}

void TfmAudio::DrawLocators() {
    if (!meter || !meter->HandleAllocated()) return;
    TCanvas& c = meter->Canvas();
    meter->ApplyOrigin();
    DrawBand(c);
}

void TfmAudio::DrawStepCursorOn(TCanvas& C) {
    const _TPart* part = Song ? Song->CurrentPart : nullptr;
    if (!part) return;
    const int x1 =
        FloorToInt(float(double((std::int64_t(StepTick) - part->Start) * AudioWidth16th) / 60.0)) -
        1;
    const int x2 =
        x1 + 1 + FloorToInt(float(double(std::int64_t(Song->GridTicks()) * AudioWidth16th) / 60.0));
    const int y1 = StepRow * SampleHeight, y2 = y1 + SampleHeight + 2;
    SolidPen(C, kStepCursor, 2);
    C.Pen.Mode = pmXor;
    C.Brush.Style = bsClear;
    C.Rectangle(x1, y1, x2, y2);
    SolidPen(C, clBlack);
}

void TfmAudio::DrawStepCursor() {
    if (!audio || !audio->HandleAllocated()) return;
    TCanvas& c = audio->Canvas();
    audio->ApplyOrigin();
    DrawStepCursorOn(c);
}

// ---- Ruler ----

void TfmAudio::PaintRuler(TCanvas& C) {
    const TRect clip = C.ClipRect();
    C.Brush.Style = bsSolid;
    C.Brush.Color = meter->GetColor();
    C.FillRect(clip);
    const _TPart* part = Song ? Song->CurrentPart : nullptr;
    if (!part || AudioWidth16th <= 0) return;
    const int h = meter->GetClientHeight();
    const int left = -meter->OffsetX, right = left + meter->GetClientWidth();
    const int bpb = std::max(1, SongBeatsPerBar());
    const std::int64_t barTicks = std::int64_t(bpb) * TicksPerBeat;
    const std::int64_t start = part->Start, length = part->Length;
    std::int64_t tick = start, beat = start / TicksPerBeat;
    std::int64_t bar = beat / bpb + (beat % bpb ? 1 : 0);
    TFont big = meter->Font.Get(), small = big;
    small.SetSize(Round(big.Size() * 10.0 / 13));
    SolidPen(C, clBlack);
    C.Brush.Style = bsClear;
    const std::int64_t limit = std::int64_t(ContentWidth()) - meter->OffsetX;
    for (std::int64_t x = 0; x <= limit && x <= right; x += AudioWidth16th) {
        const bool shown = x >= left - 40;
        if (tick % barTicks == 0) {
            if (shown) {
                C.Font = big;
                std::string label = std::to_string(bar + 1);
                if (beat * TicksPerBeat - start == length) label += " end of part";
                C.TextOut(int(x) + 5, 3, label);
                Line(C, int(x), 0, int(x), h);
            }
            tick += 60;
            ++beat;
            ++bar;
        } else if (tick % TicksPerBeat == 0) {
            if (shown && tick - start < length) {
                C.Font = small;
                C.TextOut(int(x) + 5, 3, std::to_string(beat % bpb + 1));
                Line(C, int(x), h / 2, int(x), h);
            }
            ++beat;
            tick += 60;
        } else {
            if (shown && tick - start < length) Line(C, int(x), h / 2 + h / 4, int(x), h);
            tick += 60;
        }
    }
    DrawBand(C);
}
