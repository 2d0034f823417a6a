// The arrange window's parts area and ruler: part boxes, the XOR marks (play cursor and
// locators) kept on top of whatever is drawn, follow-playback scrolling, locators set in the
// ruler, a part inserted between the locators and the editor of the current part.
#include "app/arrange.h"

#include "app/main.h"
#include "devices/audio.h"
#include "devices/midimsg.h"
#include "editors/midi/key.h"
#include "gui/dragrect.h"
#include "gui/mscroll.h"
#include "gui/scroll.h"
#include "platform/core/dialogs.h"
#include "platform/forms/extctrls.h"
#include "platform/gdi/gdi.h"
#include "platform/menus/menus.h"
#include "platform/window/input.h"
#include "platform/window/paint.h"
#include "song/primitives.h"
#include "song/seams.h"
#include "song/song.h"
#include "song/timebase.h"
#include "song/undo.h"

#include <algorithm>

using namespace platform;

std::function<void()> InsertPartHeldHook;

namespace {

// A part flag: the next draw of the part is skipped (and the flag cleared).
constexpr std::uint32_t pfSkipDraw = 0x10;
constexpr TColor kRed = 255;

struct TBox {
    int x1, x2, y1, y2;
};

TBox PartBox(const _TPart* P) {
    const int y1 = TrackHeight * P->Track;
    return {TickToPixel(P->Start), TickToPixel(P->Start + P->Length) - 2, y1, y1 + TrackHeight - 2};
}

int TrackModeOf(const _TPart* P) {
    const _TTrack* t = Song ? Song->TrackAt(P->Track) : nullptr;
    return t ? int(t->Mode) : tmMidi;
}

void EmptyMark(TCanvas& C, int x1, int y2) {
    C.Pen.Mode = pmCopy;
    C.Pen.Style = psSolid;
    C.Pen.Color = kRed;
    C.Brush.Style = bsSolid;
    C.Brush.Color = kRed;
    const TPoint tri[4] = {{x1 + 1, y2 - 1}, {x1 + 1, y2 - 3}, {x1 + 3, y2 - 1}, {x1 + 1, y2 - 1}};
    C.Polygon(tri);
}

void PartName(TCanvas& C, const _TPart* P, TRect r, TColor Colour) {
    C.Brush.Style = bsClear;
    CanvasDrawText(C, P->Name, &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX, Colour);
}

// Note lines of a part; y of a key by the caller's rule. Stops after the first note that
// starts right of Stop (that one still drawn) unless Stop is INT_MAX.
template <class YOf>
void NoteLines(TCanvas& C, const _TPart* P, int Mode, int DX, int DY, int Left, int Stop, YOf yOf) {
    const bool midi = IsMidiMode(Mode);
    std::int64_t t = P->Start;
    for (const _TEvent* e = P->Events; e; e = e->Next) {
        t += e->Delta;
        if (!IsNoteOn(e->Msg)) continue;
        const int xs = TickToPixel(int(t));
        int xe = TickToPixel(int(t + NoteLength(P, e)));
        if (xe >= Left) {
            const int d1 = int(MidiData1(e->Msg));
            const int y = yOf(midi ? d1 : 127 - d1);
            if (xe == xs) xe = xs + 1;
            C.MoveTo(xs - DX, y - DY);
            C.LineTo(xe - DX, y - DY);
        }
        if (xs > Stop) break;
    }
}

} // namespace

bool TfmArrange::XRay() const {
    return miXRay && miXRay->Checked;
}

void DrawPart(_TPart* Part, TCanvas& C, int /*Mode*/) {
    if (Part->Flags & pfSkipDraw) {
        Part->Flags &= ~pfSkipDraw;
        return;
    }
    const TBox b = PartBox(Part);
    const TRect clip = C.ClipRect();
    if (clip.Right < b.x1 || clip.Left > b.x2) return;
    const int mode = TrackModeOf(Part);
    const bool selected = Part->Flags & pfSelected, muted = Part->Flags & pfMuted;
    const TColor fill = selected           ? fmMdi->PartsSelectedColor
                        : IsMidiMode(mode) ? fmMdi->PartsBkColor
                                           : fmMdi->PartsAudioBkColor;
    C.Pen.Mode = pmCopy;
    C.Pen.Style = psSolid;
    C.Brush.Style = bsSolid;
    C.Brush.Color = fill;
    C.FillRect({b.x1, b.y1, b.x2 + 1, b.y2 + 1});
    const float p = float(fmMdi->Part3d) * (1.0f / 127);
    C.Pen.Color = TColor(BlendColor(fill, 0xFFFFFF, p));
    C.MoveTo(b.x1, b.y2);
    C.LineTo(b.x1, b.y1);
    C.LineTo(b.x2 + 1, b.y1);
    C.Pen.Color = TColor(BlendColor(0, fill, 1 - p));
    C.MoveTo(b.x1, b.y2);
    C.LineTo(b.x2, b.y2);
    C.LineTo(b.x2, b.y1);
    const TColor text = muted ? TColor(0x808080) : selected ? TColor(0) : C.Font.Color;
    TScroll* area = fmArrange ? fmArrange->arrange : nullptr;
    if (fmArrange && fmArrange->XRay()) {
        C.Pen.Color = muted ? TColor(0x808080) : TColor(0xFFFFFF);
        const double scale = double(b.y2 - b.y1) * double(1.0f / 127);
        const int left = area ? -area->OffsetX : INT_MIN;
        const int stop = area ? area->GetClientWidth() - area->OffsetX : INT_MAX;
        NoteLines(C, Part, mode, 0, 0, left, stop,
                  [&](int v) { return b.y2 - FloorToInt(float(v * scale)); });
    } else {
        PartName(C, Part, {b.x1 + 3, b.y1 + 1, b.x2, b.y2}, text);
    }
    if ((mode == tmDisk && Part->Sample == -1) || (!Part->Events && mode != tmDisk))
        EmptyMark(C, b.x1, b.y2);
}

void TfmArrange::DrawPlayCursorAt(TCanvas& C, int Position) {
    C.Pen.Style = psDot;
    C.Pen.Width = 1;
    C.Pen.Color = 0xFFFFFF;
    C.Pen.Mode = pmXor;
    C.Brush.Style = bsClear;
    const int x = TickToPixel(Position);
    C.MoveTo(x, 0);
    C.LineTo(x, arrange->GetClientHeight() - arrange->OffsetY);
    C.Pen.Mode = pmCopy;
    C.Pen.Style = psSolid;
}

void TfmArrange::DrawLocatorLines(TCanvas& C) {
    const int l = Song->LeftLocator, r = Song->RightLocator;
    C.Pen.Mode = pmXor;
    C.Pen.Style = psSolid;
    C.Pen.Color = 0xFFFFFF;
    const int bottom = arrange->GetClientHeight() - arrange->OffsetY;
    const int xl = TickToPixel(l);
    C.MoveTo(xl, 0);
    C.LineTo(xl, bottom);
    if (l != r) {
        const int xr = TickToPixel(r);
        C.MoveTo(xr, 0);
        C.LineTo(xr, bottom);
    }
    C.Pen.Mode = pmCopy;
}

void TfmArrange::DrawRulerBand(TCanvas& C) {
    const int l = Song->LeftLocator, r = Song->RightLocator;
    if (l > r) return;
    C.Pen.Mode = pmXor;
    C.Pen.Style = psClear;
    C.Brush.Style = bsSolid;
    C.Brush.Color = 0xFFFFFF;
    C.Rectangle(TickToPixel(l) - 1, 0, TickToPixel(r) + 3, meter->GetClientHeight() + 2);
    C.Pen.Mode = pmCopy;
    C.Pen.Style = psSolid;
}

void TfmArrange::MovePlayCursor(int Position, bool InEditors, bool NoScroll) {
    if (arrange->HandleAllocated()) {
        TCanvas& c = arrange->Canvas();
        arrange->ApplyOrigin();
        DrawPlayCursorAt(c, Position);
    }
    if (!NoScroll) FollowPlayback(Position);
    if (InEditors && fmKey) fmKey->MovePlayCursor(Position, false);
    if (InEditors && ArrangeSeams().EditorsPlayCursor) ArrangeSeams().EditorsPlayCursor(Position);
}

void TfmArrange::DrawLocators(int Which, bool InEditors) {
    if ((Which & 2) && meter->HandleAllocated()) {
        TCanvas& c = meter->Canvas();
        meter->ApplyOrigin();
        DrawRulerBand(c);
        if (InEditors && fmKey) fmKey->DrawLocators();
        if (InEditors && ArrangeSeams().EditorsLocators) ArrangeSeams().EditorsLocators(Which);
    }
    if ((Which & 1) && arrange->HandleAllocated()) {
        TCanvas& c = arrange->Canvas();
        arrange->ApplyOrigin();
        DrawLocatorLines(c);
    }
}

void TfmArrange::ToggleXorMarks() {
    if (!arrange->HandleAllocated()) return;
    TCanvas& c = arrange->Canvas();
    arrange->ApplyOrigin();
    DrawPlayCursorAt(c, Song->Position);
    DrawLocatorLines(c);
}

void TfmArrange::PaintParts(TCanvas& C) {
    if (!Song || !fmMdi) return;
    const int w = arrange->GetClientWidth(), h = arrange->GetClientHeight();
    const int ox = arrange->OffsetX, oy = arrange->OffsetY;
    if (fmMdi->UseBitmap && Image1.Width() > 0 && Image1.Height() > 0) {
        const int bw = Image1.Width(), bh = Image1.Height();
        for (int row = 0; row <= (h - oy) / bh + 1; ++row)
            for (int col = 0; col <= (w - ox) / bw + 1; ++col) {
                if ((col + 1) * bw < -ox) continue;
                C.Draw(col * bw, row * bh, Image1);
            }
    } else {
        C.Brush.Style = bsSolid;
        C.Brush.Color = fmMdi->ControlBkColor;
        C.FillRect({-ox, 0, -ox + w, -oy + h});
    }
    DrawPlayCursorAt(C, Song->Position);
    DrawLocatorLines(C);
    if (!ErasingParts) {
        // The marks come off while parts are drawn and go on again on top of them.
        DrawPlayCursorAt(C, Song->Position);
        DrawLocatorLines(C);
        DrawPartsIn(C, -1);
        DrawPlayCursorAt(C, Song->Position);
        DrawLocatorLines(C);
    }
    if (Dragging && DragRect && DragRect->Mode != 0) DragRect->Redraw(C); // its own drags only
}

void TfmArrange::DrawPartsIn(TCanvas& C, int Which) {
    const int left = -arrange->OffsetX, right = arrange->GetClientWidth() - arrange->OffsetX;
    const TRect clip = C.ClipRect();
    C.Font = arrange->Font.Get();
    for (int i = 0; i < TrackCount; ++i) {
        _TTrack* t = Song->TrackAt(i);
        // A row the canvas clips away entirely: its parts count as drawn without the calls.
        const bool rowShown = i * TrackHeight < clip.Bottom && (i + 1) * TrackHeight > clip.Top;
        for (_TPart* p = t ? t->Parts : nullptr; p; p = p->Next) {
            const int x2 = TickToPixel(p->Start + p->Length) - 2;
            if (x2 < left) continue;
            if (TickToPixel(p->Start) > right) break;
            if (Which != -1 && !(p->Flags & pfRedraw)) continue;
            if (rowShown)
                DrawPart(p, C, 0);
            else
                p->Flags &= ~pfSkipDraw;
            p->Flags &= ~pfRedraw;
        }
    }
}

void TfmArrange::DrawParts(int Which) {
    if (!arrange->HandleAllocated()) return;
    ToggleXorMarks();
    TCanvas& c = arrange->Canvas();
    arrange->ApplyOrigin();
    DrawPartsIn(c, Which);
    ToggleXorMarks();
}

namespace {

// Draws every part the test picks (visible or not: the canvas clips), marks off around it.
template <class Pick> void RedrawPicked(TfmArrange& A, Pick pick) {
    if (!A.arrange->HandleAllocated()) return;
    A.ToggleXorMarks();
    TCanvas& c = A.arrange->Canvas();
    A.arrange->ApplyOrigin();
    c.Font = A.arrange->Font.Get();
    for (int i = 0; i < TrackCount; ++i) {
        _TTrack* t = Song->TrackAt(i);
        for (_TPart* p = t ? t->Parts : nullptr; p; p = p->Next)
            if (pick(p)) {
                DrawPart(p, c, 0);
                p->Flags &= ~pfRedraw;
            }
    }
    A.ToggleXorMarks();
}

} // namespace

void TfmArrange::RedrawParts(bool All) {
    RedrawPicked(*this, [All](const _TPart* p) { return All || (p->Flags & pfRedraw); });
}

void TfmArrange::RedrawSelectedParts() {
    RedrawPicked(*this, [](const _TPart* p) { return (p->Flags & pfSelected) != 0; });
}

void TfmArrange::EraseSelectedParts() {
    if (!arrange->HandleAllocated()) return;
    ErasingParts = 1;
    for (int i = 0; i < TrackCount; ++i) {
        _TTrack* t = Song->TrackAt(i);
        for (_TPart* p = t ? t->Parts : nullptr; p; p = p->Next) {
            if (!(p->Flags & pfSelected)) continue;
            const TBox b = PartBox(p);
            const TRect r{b.x1 + arrange->OffsetX, b.y1 + arrange->OffsetY,
                          b.x2 + 1 + arrange->OffsetX, b.y1 + TrackHeight - 1 + arrange->OffsetY};
            InvalidateRect(arrange->Handle(), &r, false);
        }
    }
    arrange->Update();
    ErasingParts = 0;
}

void TfmArrange::PaintDragBitmap() {
    TSong::TRect sr;
    Song->SelectedPartsRect(sr);
    const TRect R{sr.Left, sr.Top, sr.Right, sr.Bottom};
    if (!DragRect) return;
    DragRect->PrepareDragBitmap(R);
    TCanvas& c = SelectBitmap().Canvas();
    c.Font = arrange->Font.Get();
    c.Font.Color = 0x80FFFF;
    c.Pen.Style = psSolid;
    c.Pen.Mode = pmCopy;
    c.Brush.Style = bsClear;
    for (int i = 0; i < TrackCount; ++i) {
        _TTrack* t = Song->TrackAt(i);
        for (_TPart* p = t ? t->Parts : nullptr; p; p = p->Next) {
            if (!(p->Flags & pfSelected)) continue;
            TBox b = PartBox(p);
            if (b.x1 > R.Right || b.x2 < R.Left) continue;
            b = {b.x1 - R.Left, b.x2 - R.Left, b.y1 - R.Top, b.y2 - R.Top};
            c.Pen.Color = 0xC0C0C0;
            c.MoveTo(b.x1, b.y2);
            c.LineTo(b.x1, b.y1);
            c.LineTo(b.x2 + 1, b.y1);
            c.Pen.Color = 0x808080;
            c.MoveTo(b.x1, b.y2);
            c.LineTo(b.x2, b.y2);
            c.LineTo(b.x2, b.y1);
            if (XRay()) {
                c.Pen.Color = 0x80FFFF;
                const int span = b.y2 - b.y1;
                NoteLines(c, p, TrackModeOf(p), R.Left, 0, INT_MIN, INT_MAX, [&](int v) {
                    return b.y2 - RoundExtended(static_cast<long double>(v) * span * (1.0L / 127));
                });
            } else {
                PartName(c, p, {b.x1 + 3, b.y1 + 1, b.x2, b.y2}, 0x80FFFF);
            }
            if (!p->Events) EmptyMark(c, b.x1, b.y2);
        }
    }
}

void TfmArrange::PaintRuler(TCanvas& C) {
    if (!Song) return;
    const int w = meter->GetClientWidth(), h = meter->GetClientHeight();
    const int ox = meter->OffsetX;
    C.Pen.Mode = pmCopy;
    C.Pen.Style = psSolid;
    C.Brush.Style = bsClear;
    C.Font = meter->Font.Get();
    C.Font.Color = fmMdi ? fmMdi->ControlTextColor : TColor(0xC0C0C0);
    const int step = SongBeatsPerBar() * BeatWidth;
    int n = 1;
    int x = 0;
    if (step > 0 && -ox - 40 > 0) {
        n = (-ox - 40) / step + 1;
        x = (n - 1) * step;
    }
    for (; x < w - ox; x += step, ++n) {
        const int top = (n - 1) % 4 == 0 ? 0 : h / 2;
        C.Pen.Color = 0xC0C0C0;
        C.MoveTo(x, top);
        C.LineTo(x, h);
        C.Pen.Color = 0x808080;
        C.MoveTo(x + 1, top);
        C.LineTo(x + 1, h);
        if ((n - 1) % 2 == 0) C.TextOut(x + 3, 3, std::to_string(n));
        if (step <= 0) break;
    }
    if (fmMdi && fmMdi->AreaNames) {
        C.Font.Color = 0;
        C.Brush.Style = bsSolid;
        C.Brush.Color = fmMdi->LoopBkColor;
        for (const TAreaItem& a : fmMdi->Areas.Items) {
            const int ax = TickToPixel(a.Left);
            C.TextRect({ax, 0, ax + C.TextWidth(a.Name) + 3, h}, ax + 3, 3, a.Name);
        }
    }
    DrawRulerBand(C);
}

void TfmArrange::FollowPlayback(int Tick) {
    if (!TrackPlayPosition || !ScrollX || Dragging || HandScroll) return;
    const int state = Song->State;
    if (state != 1 && state != 2 && !(fmMdi && fmMdi->Winding)) return;
    const int x = TickToPixel(Tick), W = arrange->GetClientWidth(), half = W / 2;
    if (x > W - arrange->OffsetX) {
        ScrollX->SetPosition(x - half);
        if (x - half > ScrollX->Position) {
            ScrollX->Max = x + ScrollX->PageSize + half;
            ScrollX->SetPosition(x - half);
        }
        ScrollX->Changed();
    } else if (x < -arrange->OffsetX) {
        ScrollX->SetPosition(x - half);
        ScrollX->Changed();
    }
}

void TfmArrange::ScrollToTick(int Tick) {
    if (!ScrollX || Song->State != 0 || Dragging) return;
    const int x = TickToPixel(Tick), W = arrange->GetClientWidth();
    if (x > W - arrange->OffsetX) {
        ScrollX->SetPosition(x - arrange->Width);
        if (x - arrange->Width > ScrollX->Position) { // clamped: the range grows
            ScrollX->Max = x + ScrollX->PageSize;
            ScrollX->SetPosition(x - arrange->Width);
        }
        ScrollX->Changed();
    } else if (x < -arrange->OffsetX) {
        ScrollX->SetPosition(x);
        ScrollX->Changed();
    }
}

void TfmArrange::SetLocatorAt(int Button, TShiftState Shift, int X) {
    const int t = PixelToTickSnapped(X - meter->OffsetX);
    if (Shift & ssShift) {
        if (fmMdi) fmMdi->SetSongPosition(t);
        return;
    }
    std::atomic<std::int32_t>& loc = Button == 0 ? Song->LeftLocator : Song->RightLocator;
    if (t < 0 || t == loc) return;
    const bool guarded = Song->LoopOn != 0;
    if (guarded && !MainWindow().PausePlayback()) return;
    DrawLocators(3, true);
    loc = t;
    auto& repaint =
        Button == 0 ? ArrangeSeams().PaintLeftLocator : ArrangeSeams().PaintRightLocator;
    if (repaint) repaint();
    if (guarded) MainWindow().ResumePlayback();
    DrawLocators(3, true);
}

void TfmArrange::RulerMouseDown(TMouseButton Button, TShiftState Shift, int X, int /*Y*/) {
    ActiveControl = nullptr;
    const int button = Button == mbRight ? 1 : 0;
    SetLocatorAt(button, Shift, X);
    DragLocator = std::uint8_t(button);
    SetCapture(meter->Handle());
    Dragging = 1;
}

void TfmArrange::RulerMouseMove(TShiftState Shift, int X, int Y) {
    if (DragLocator == 2) return;
    SetLocatorAt(DragLocator, Shift, X);
    const int cx = X - meter->OffsetX;
    const int ox = arrange->OffsetX, oy = arrange->OffsetY;
    if (cx < -ox || cx > arrange->GetClientWidth() - ox || Y < -oy ||
        Y > arrange->GetClientHeight() - oy)
        StartAutoScroll();
}

void TfmArrange::RulerMouseUp() {
    scrollTimer.Enabled = false;
    DragLocator = 2;
    ReleaseCapture();
    Dragging = 0;
}

void InsertPartBetweenLocators(int Track) {
    const int l = Song->LeftLocator, r = Song->RightLocator;
    if (r <= l) {
        MessageBox("Right locator must be greater then left locator", "Insert part",
                   MB_OK | MB_ICONINFORMATION);
        return;
    }
    _TTrack* t = Song->TrackAt(Track);
    if (!t) return;
    _TPart* p = NewPart(t->Name, l, r - l, Track);
    bool linked;
    {
        // No edit guard (recording goes on), but the renderer's lists are not walked while the
        // part is linked.
        TRendererHold hold;
        if (InsertPartHeldHook) InsertPartHeldHook();
        linked = InsertPart(t, p);
    }
    if (!linked) {
        FreePart(p);
        MessageBox("Overlapping parts not allowed", "Insert part", MB_OK | MB_ICONINFORMATION);
        return;
    }
    Song->UnselectAllParts();
    p->Flags |= pfSelected | pfRedraw;
    if (fmArrange) fmArrange->RedrawParts(false);
    Song->UndoStore->Begin(ukInsert, "Undo insert");
    Song->UndoStore->AddPart(CopyPart(p));
    Song->SetCurrentPart(p);
    if (Track != Song->CurrentTrackIndex) {
        const int old = Song->CurrentTrackIndex;
        Song->CurrentTrackIndex = Track;
        if (fmArrange) {
            fmArrange->InvalidateTrackRow(old);
            fmArrange->InvalidateTrackRow(Track);
            fmArrange->RefreshTrackbar();
        }
    }
}

void TfmArrange::OpenPartEditor() {
    if (!Song->CurrentPart) return;
    const int mode = TrackModeOf(Song->CurrentPart);
    if (mode == tmMidi || mode == tmSoftsynth)
        OpenKeyEditor();
    else if (mode >= 0 && mode <= 4 && ArrangeSeams().OpenEditor)
        ArrangeSeams().OpenEditor(mode);
}
