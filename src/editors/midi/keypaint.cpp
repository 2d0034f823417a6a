// The key editor's pictures: the note grid (grid lines, row lines, note boxes), the drag
// picture of the selected notes, the keyboard strip with the hovered key and the keys played on
// the MIDI input, the time ruler with its locator band, and the play cursor that also marks the
// song position in the event list. Everything is drawn in content coordinates (x 0 at the
// part's start, y 0 at the top of key 127's row); marks are XOR so that drawing them twice
// takes them off again.
#include "editors/midi/key.h"

#include "app/main.h"
#include "devices/midimsg.h"
#include "gui/dragrect.h"
#include "gui/mscroll.h"
#include "gui/scroll.h"
#include "platform/forms/extctrls.h"
#include "platform/window/window.h"
#include "song/primitives.h"
#include "song/song.h"
#include "song/timebase.h"

#include <algorithm>
#include <array>
#include <vector>

using namespace platform;

namespace {

constexpr TColor kGridLine = 0x313131, kHoverKey = 0xFF0000, kMidiInKey = 0xC0C0C0,
                 kDragOutline = 0xC0C0C0, kDragFill = 0x80FFFF, kListMark = 0x808080;

void SolidPen(TCanvas& C, TColor Colour) {
    C.Pen.Mode = pmCopy;
    C.Pen.Style = psSolid;
    C.Pen.Width = 1;
    C.Pen.Color = Colour;
}

void HLine(TCanvas& C, int X1, int X2, int Y) {
    C.MoveTo(X1, Y);
    C.LineTo(X2, Y);
}

void VLine(TCanvas& C, int X, int Y1, int Y2) {
    C.MoveTo(X, Y1);
    C.LineTo(X, Y2);
}

// Only what the canvas shows is walked: rows from the clip box's top.
int FirstRowIn(const TRect& Clip) {
    return NoteHeight > 0 ? std::max(0, Clip.Top / NoteHeight) : 0;
}

} // namespace

// ---- Note grid ----

void TfmKey::PaintGrid(TCanvas& C) {
    if (!fmMdi || !Song) return;
    const int left = -key->OffsetX, top = -key->OffsetY;
    const int right = left + key->GetClientWidth(), bottom = top + key->GetClientHeight();
    TRect clip = C.ClipRect();
    clip = {std::max(clip.Left, left), std::max(clip.Top, top), std::min(clip.Right, right),
            std::min(clip.Bottom, bottom)};
    C.Brush.Style = bsSolid;
    C.Brush.Color = fmMdi->ControlBkColor;
    C.FillRect(clip);

    const int gridBottom = GridHeight();
    const int step = GridSpacing > 0 ? GridSpacing : Song->GridTicks();
    if (step > 0) {
        // From the grid line at or left of the clip box.
        std::int64_t t = std::int64_t(std::max(0, XToTicks(clip.Left)) / step) * step;
        while (t > 0 && TickToX(t) > clip.Left)
            t -= step;
        for (int x; (x = TickToX(t)) < clip.Right; t += step) {
            if (x < clip.Left) continue;
            SolidPen(C, t % TicksPerBeat == 0 ? clBlack : kGridLine);
            VLine(C, x, 0, gridBottom);
        }
    }

    const int rowsEnd = std::min(gridBottom, clip.Bottom + 1);
    if (GridShowFlats) {
        // The white-row boundaries that hold a black key (the cycle starts at key 127, a G).
        SolidPen(C, kGridLine);
        for (int k = FirstRowIn(clip), y; (y = k * NoteHeight) < rowsEnd; ++k)
            if (const int i = k % 7; i != 2 && i != 5) HLine(C, clip.Left, clip.Right, y);
    }
    if (GridShowOctaves) {
        for (int k = FirstRowIn(clip), y; (y = k * NoteHeight) < rowsEnd; ++k) {
            SolidPen(C, (k + 9) % 7 == 0 ? clBlack : kGridLine); // black below each C
            HLine(C, clip.Left, clip.Right, y);
        }
    }

    DrawNotesOn(C, true);
    if (Song->CurrentPart) DrawPlayCursorOn(C, Song->Position);
    if (GridDrag && DragRect && DragRect->Mode != 0) DragRect->Redraw(C);
    if (EditMode == 2 && Song->CurrentPart) DrawStepCursorOn(C);
}

bool TfmKey::PaintNote(TCanvas& C, const _TEvent* Event, std::int64_t Tick, const TRect& Clip) {
    const int x1 = TickToFloorX(Tick) + 1;
    if (x1 > Clip.Right) return false;
    int x2 = TickToFloorX(Tick + NoteLength(Song->CurrentPart, Event));
    if (x2 < Clip.Left) return true;
    if (x2 - x1 < 3) x2 = x1 + 3;
    const int y1 = NoteToKeyY(int(MidiData1(Event->Msg))) + 1, y2 = y1 + NoteHeight - 2;
    const bool muted = Event->Flags & efMuted;
    if (!muted) {
        C.Brush.Style = bsSolid;
        C.Brush.Color =
            (Event->Flags & efSelected) ? fmMdi->PartsSelectedColor : fmMdi->PartsBkColor;
        C.FillRect({x1, y1, x2, y2});
    }
    // A muted note keeps the brush of the note before it for its bevel.
    const std::uint32_t brush = std::uint32_t(C.Brush.Color);
    const float f = float(fmMdi->Part3d) * (1.0f / 127);
    SolidPen(C, TColor(BlendColor(brush, 0xFFFFFF, f)));
    C.MoveTo(x1, y2);
    C.LineTo(x1, y1);
    C.LineTo(x2 + 1, y1);
    C.Pen.Color = TColor(BlendColor(0, brush, 1 - f));
    C.MoveTo(x1, y2);
    C.LineTo(x2, y2);
    C.LineTo(x2, y1);
    return true;
}

namespace {

// The first tick whose note-box x (TickToFloorX) reaches X: notes that end before it lie wholly
// left of X.
std::int64_t FirstTickAt(int X) {
    if (Width16th <= 0 || TfmKey::TickToFloorX(0) >= X) return 0;
    std::int64_t t = std::int64_t(X) * 60 / Width16th;
    while (t > 0 && TfmKey::TickToFloorX(t) >= X)
        t -= 1 + t / 1000000;
    while (TfmKey::TickToFloorX(t) < X)
        ++t;
    return t;
}

using TWaitingNote = std::pair<_TEvent*, std::int64_t>; // a note-on and its tick

// Note-ons whose note-off has not come yet, by key (the note-off of a key ends every note of
// that key still waiting, as NoteLength pairs them).
struct TWaiting {
    std::array<std::vector<TWaitingNote>, 256> ByKey;
    void Clear() {
        for (auto& k : ByKey)
            k.clear();
    }
    void Add(const std::vector<TWaitingNote>& Notes) {
        for (const TWaitingNote& n : Notes)
            ByKey[MidiData1(n.first->Msg)].push_back(n);
    }
    std::vector<TWaitingNote> All() const {
        std::vector<TWaitingNote> r;
        for (const auto& k : ByKey)
            r.insert(r.end(), k.begin(), k.end());
        return r;
    }
};

// Where a walk over a part's events stood: the next event, the tick of the last one passed and
// the notes sounding there; Print sums up the events passed since the mark before (each one's
// place in memory, delta and message), which are all the walk's state depends on.
struct TWalkMark {
    _TEvent* Next = nullptr;
    std::int64_t Time = 0;
    std::vector<TWaitingNote> Waiting;
    std::uint64_t Print = 0;
};

std::uint64_t AddToPrint(std::uint64_t Print, const _TEvent* E) {
    const std::uint64_t x =
        reinterpret_cast<std::uintptr_t>(E) ^
        (std::uint64_t(std::uint32_t(E->Delta)) << 32 | E->Msg) * 0xff51afd7ed558ccdULL;
    return (Print ^ x) * 0x9e3779b97f4a7c15ULL + (Print >> 29);
}

// Marks every few thousand events of the part the grid last showed, so that a paint far into a
// long part starts its walk near the view (none while recording). While EventListEpoch stays
// as it was (nothing made, freed or changed under the renderer's hold since) all of them hold;
// after a change the marks are checked from the part's start against their prints, so those
// before the first changed event are kept and the walk goes on from the last of them. Checked:
// the marks known to hold for Epoch.
struct TWalkCache {
    const _TPart* Part = nullptr;
    std::uint64_t Epoch = 0;
    std::size_t Checked = 0;
    std::vector<TWalkMark> Marks;

    // Whether mark I (I >= 1, mark I - 1 checked) still stands where the part's events put it.
    bool Holds(std::size_t I) const;
};
constexpr int kEventsPerMark = 4096;

bool TWalkCache::Holds(std::size_t I) const {
    const TWalkMark& m = Marks[I];
    std::uint64_t print = 0;
    std::int64_t t = Marks[I - 1].Time;
    _TEvent* e = Marks[I - 1].Next;
    for (int n = 0; n < kEventsPerMark; ++n, e = e->Next) {
        if (!e) return false;
        t += e->Delta;
        print = AddToPrint(print, e);
    }
    return e == m.Next && t == m.Time && print == m.Print;
}

} // namespace

void TfmKey::DrawNotesOn(TCanvas& C, bool All) {
    _TPart* part = Song ? Song->CurrentPart : nullptr;
    if (!part || !fmMdi) return;
    const TRect clip = C.ClipRect();
    // Up to the view's left edge the walk only pairs note-ons with their note-offs (no length
    // walk and no pixel arithmetic per note): a note whose note-off comes before the edge is
    // not drawn; those still sounding at the edge are drawn first, in list order.
    static TWaiting waiting;
    static TWalkCache cache;
    const std::uint64_t epoch = EventListEpoch.load(std::memory_order_relaxed);
    const std::int64_t edge = FirstTickAt(clip.Left);
    const TWalkMark start{part->Events, 0, {}};
    const TWalkMark* mark = &start;
    bool extend = false;
    if (All && Song->State != 1) {
        if (cache.Part != part) {
            cache.Part = part;
            cache.Marks.assign(1, start);
            cache.Checked = 1;
        } else if (cache.Epoch != epoch) {
            cache.Marks.front() = start;
            cache.Checked = 1;
        }
        cache.Epoch = epoch;
        std::size_t from = 0;
        while (from + 1 < cache.Marks.size() && cache.Marks[from + 1].Time < edge) {
            if (from + 1 == cache.Checked) {
                if (!cache.Holds(from + 1)) {
                    cache.Marks.resize(from + 1);
                    break;
                }
                ++cache.Checked;
            }
            ++from;
        }
        mark = &cache.Marks[from];
        extend = from + 1 == cache.Marks.size();
        // Marks past the view are checked when a later paint walks to them.
    }
    waiting.Clear();
    waiting.Add(mark->Waiting);
    _TEvent* e = mark->Next;
    std::int64_t t = mark->Time;
    std::uint64_t print = 0;
    for (int passed = 0; e; e = e->Next) {
        const std::int64_t at = t + e->Delta;
        if (at >= edge) break;
        t = at;
        if (extend) print = AddToPrint(print, e);
        if (IsNoteOn(e->Msg)) {
            if (All || (e->Flags & efRedraw)) waiting.ByKey[MidiData1(e->Msg)].push_back({e, t});
        } else if (IsNoteOff(e->Msg)) {
            auto& k = waiting.ByKey[MidiData1(e->Msg)];
            for (auto& w : k)
                if (w.first->Flags & efRedraw) w.first->Flags &= ~efRedraw;
            k.clear();
        }
        if (extend && ++passed % kEventsPerMark == 0) {
            cache.Marks.push_back(TWalkMark{e->Next, t, waiting.All(), print});
            cache.Checked = cache.Marks.size();
            print = 0;
        }
    }
    std::vector<TWaitingNote> sounding = waiting.All();
    std::stable_sort(sounding.begin(), sounding.end(),
                     [](const auto& A, const auto& B) { return A.second < B.second; });
    for (auto& [on, at] : sounding) {
        PaintNote(C, on, at, clip);
        on->Flags &= ~efRedraw;
    }
    for (; e; e = e->Next) {
        t += e->Delta;
        if (!IsNoteOn(e->Msg) || (!All && !(e->Flags & efRedraw))) continue;
        if (!PaintNote(C, e, t, clip)) break;
        e->Flags &= ~efRedraw;
    }
    if (LaneKind == 0 && KeyEditorSeams().RepaintLane) KeyEditorSeams().RepaintLane();
}

void TfmKey::DrawNotes(bool All) {
    if (!key || !key->HandleAllocated() || !Song || !Song->CurrentPart) return;
    TCanvas& c = key->Canvas();
    key->ApplyOrigin();
    // The play cursor comes off while boxes are drawn over it and goes on again on top.
    DrawPlayCursorOn(c, Song->Position);
    DrawNotesOn(c, All);
    DrawPlayCursorOn(c, Song->Position);
}

void TfmKey::DrawSelectedNotesToBitmap() {
    _TPart* part = Song ? Song->CurrentPart : nullptr;
    if (!part || !DragRect) return;
    TSong::TRect sr;
    SelectedNotesRect(part, true, sr);
    const TRect R{sr.Left, sr.Top, sr.Right, sr.Bottom};
    DragRect->PrepareDragBitmap(R);
    TCanvas& c = SelectBitmap().Canvas();
    SolidPen(c, kDragOutline);
    c.Brush.Style = bsSolid;
    c.Brush.Color = kDragFill;
    std::int64_t t = 0;
    for (_TEvent* e = part->Events; e; e = e->Next) {
        t += e->Delta;
        if (!IsNoteOn(e->Msg) || !(e->Flags & efSelected)) continue;
        const int x1 = TickToFloorX(t) + 1 - R.Left;
        int x2 = TickToFloorX(t + NoteLength(part, e)) - R.Left;
        if (x2 - x1 < 3) x2 = x1 + 3;
        const int y1 = NoteToKeyY(int(MidiData1(e->Msg))) + 1 - R.Top;
        c.Rectangle(x1, y1, x2 + 1, y1 + NoteHeight - 1);
        e->Flags &= ~efRedraw;
    }
}

void TfmKey::SetGridSpacing(int Spacing) {
    GridSpacing = Spacing;
    if (key) key->Invalidate();
}

// ---- Play cursor, locator band, list mark ----

void TfmKey::DrawPlayCursorOn(TCanvas& C, int Position) {
    const _TPart* part = Song->CurrentPart;
    const int x = TickToFloorX(std::int64_t(Position) - part->Start);
    C.Pen.Mode = pmXor;
    C.Pen.Style = psDot;
    C.Pen.Width = 1;
    C.Pen.Color = clWhite;
    C.Brush.Style = bsClear;
    VLine(C, x, 0, GridHeight());
    SolidPen(C, clBlack);
}

void TfmKey::FollowPlayCursor(int X) {
    if ((EditMode != 0 && EditMode != 1) || Busy || !ScrollX || HandScroll) return;
    const int state = Song->State;
    if (state != 1 && state != 2 && !(fmMdi && fmMdi->Winding)) return;
    const int w = key->GetClientWidth(), left = -key->OffsetX;
    int to;
    if (X >= left + w && ScrollX->Position < ScrollX->Max && X < PartWidthPixels())
        to = X - w / 4; // the line jumps to a quarter of the width from the left
    else if (X >= 0 && X < left)
        to = X;
    else
        return;
    ScrollX->SetPosition(to);
    ScrollX->Changed();
}

void TfmKey::DrawListMark(int Position) {
    if (!list || !list->HandleAllocated()) return;
    const _TPart* part = Song->CurrentPart;
    const std::int64_t at = std::int64_t(Position) - part->Start;
    int row = 0;
    std::int64_t t = 0;
    for (const _TEvent* e = part->Events; e; e = e->Next, ++row)
        if ((t += e->Delta) >= at) break;
    const int y = row == 0 ? 0 : row * RowHeight - 2;
    TCanvas& c = list->Canvas();
    list->ApplyOrigin();
    c.Pen.Mode = pmXor;
    c.Pen.Style = psSolid;
    c.Pen.Width = 1;
    c.Pen.Color = kListMark;
    HLine(c, -list->OffsetX, -list->OffsetX + list->GetClientWidth(), y);
    c.Pen.Mode = pmCopy;
}

void TfmKey::MovePlayCursor(int Position, bool GridOnly) {
    const _TPart* part = Song ? Song->CurrentPart : nullptr;
    if (!part || !key) return;
    if (key->HandleAllocated()) {
        TCanvas& c = key->Canvas();
        key->ApplyOrigin();
        DrawPlayCursorOn(c, Position);
    }
    FollowPlayCursor(TickToFloorX(std::int64_t(Position) - part->Start));
    if (!GridOnly && Position >= part->Start &&
        std::int64_t(Position) <= std::int64_t(part->Start) + part->Length)
        DrawListMark(Position);
}

void TfmKey::DrawBand(TCanvas& C) {
    const _TPart* part = Song ? Song->CurrentPart : nullptr;
    const int l = Song ? int(Song->LeftLocator) : 0, r = Song ? int(Song->RightLocator) : 0;
    if (!part || l > r) return;
    const int x1 = TickToX(std::int64_t(l) - part->Start),
              x2 = TickToX(std::int64_t(r) - part->Start);
    C.Pen.Mode = pmXor;
    C.Pen.Style = psClear;
    C.Brush.Style = bsSolid;
    C.Brush.Color = clWhite;
    C.Rectangle(x1 - 1, -1, x2 + 3, meter->GetClientHeight() + 2);
    SolidPen(C, clBlack);
}

void TfmKey::DrawLocators() {
    if (!meter || !meter->HandleAllocated()) return;
    TCanvas& c = meter->Canvas();
    meter->ApplyOrigin();
    DrawBand(c);
}

// ---- Ruler ----

void TfmKey::PaintRuler(TCanvas& C) {
    const TRect clip = C.ClipRect();
    C.Brush.Style = bsSolid;
    C.Brush.Color = meter->GetColor();
    C.FillRect(clip);
    const _TPart* part = Song ? Song->CurrentPart : nullptr;
    if (!part || Width16th <= 0) return;
    const int h = meter->GetClientHeight();
    const int left = -meter->OffsetX, right = left + meter->GetClientWidth();
    const int bpb = std::max(1, SongBeatsPerBar());
    const std::int64_t bar = std::int64_t(bpb) * TicksPerBeat;
    const std::int64_t start = part->Start, length = part->Length;
    std::int64_t t = start, b = start / TicksPerBeat;
    std::int64_t n = b / bpb + (b % bpb ? 1 : 0);
    TFont big = meter->Font.Get(), small = big;
    small.SetSize(Round(big.Size() * 10.0 / 13));
    SolidPen(C, clBlack);
    C.Brush.Style = bsClear;
    // The labels run on past the part's end by the scroll offset.
    const std::int64_t limit = std::int64_t(PartWidthPixels()) - meter->OffsetX;
    for (std::int64_t x = 0; x <= limit && x <= right; x += Width16th, t += 60) {
        const bool shown = x >= left - 40;
        if (t % bar == 0) {
            if (shown) {
                C.Font = big;
                std::string label = std::to_string(n + 1);
                if (b * TicksPerBeat - start == length) label += " end of part";
                C.TextOut(int(x) + 5, 3, label);
                VLine(C, int(x), 0, h);
            }
            ++b;
            ++n;
        } else if (t % TicksPerBeat == 0) {
            if (shown && t - start < length) {
                C.Font = small;
                C.TextOut(int(x) + 5, 3, std::to_string(b % bpb + 1));
                VLine(C, int(x), h / 2, h);
            }
            ++b;
        } else if (x >= left && t - start < length) {
            VLine(C, int(x), h / 2 + h / 4, h);
        }
    }
    DrawBand(C);
}

// ---- Keyboard strip ----

void TfmKey::PaintKeyShape(TCanvas& C, int Note, TColor Colour, bool Restore) {
    const int w = Keyboard->GetClientWidth(), y = NoteToKeyY(Note);
    C.Pen.Mode = pmCopy;
    C.Pen.Style = psClear;
    C.Brush.Style = bsSolid;
    C.Brush.Color = Colour;
    if (IsBlackKey(Note))
        C.Rectangle(0, y + 1, w / 2 + (Restore ? 1 : 0), y + NoteHeight);
    else
        C.Rectangle(w / 2, y + 2, w + (Restore ? 1 : 0), y + NoteHeight);
    if (Restore && Note % 12 == 0) {
        C.Font = Keyboard->Font.Get();
        C.Font.Color = clBlack;
        C.Brush.Style = bsClear;
        const std::string label = std::to_string(Note / 12 - 2);
        C.TextOut(w - C.TextWidth(label), y + NoteHeight / 2 - C.TextHeight(label) / 2, label);
    }
    SolidPen(C, clBlack);
}

void TfmKey::PaintKeyboard(TCanvas& C) {
    const TRect clip = C.ClipRect();
    const int w = Keyboard->GetClientWidth();
    C.Brush.Style = bsSolid;
    C.Brush.Color = clWhite;
    C.FillRect(clip);
    SolidPen(C, clBlack);
    C.Brush.Color = clBlack;
    C.Font = Keyboard->Font.Get();
    C.Font.Color = clBlack;
    for (int note = 127; note >= 0; --note) {
        const int y = NoteToKeyY(note);
        if (y > clip.Bottom) break;
        if (y + NoteHeight < clip.Top) continue;
        if (IsBlackKey(note)) {
            C.Brush.Style = bsSolid;
            C.Rectangle(0, y + 1, w / 2, y + NoteHeight - 1);
            HLine(C, 0, w, y + NoteHeight / 2);
        } else {
            HLine(C, 0, w, y);
        }
    }
    for (int note = 0; note <= 127; note += 12) {
        const int y = NoteToKeyY(note);
        const std::string label = std::to_string(note / 12 - 2);
        C.Brush.Style = bsClear;
        C.TextOut(w - C.TextWidth(label), y + NoteHeight / 2 - C.TextHeight(label) / 2, label);
    }
    for (int note = 0; note < 128; ++note)
        if (LitKeys[std::size_t(note)]) PaintKeyShape(C, note, kMidiInKey, false);
    if (HoveredKey >= 0 && HoveredKey < 128) PaintKeyShape(C, HoveredKey, kHoverKey, false);
}

void TfmKey::HighlightKeyboardKey(bool Show, bool Force) {
    if (!Keyboard || !Keyboard->HandleAllocated()) return;
    TPoint p;
    GetCursorPos(&p);
    platform::ScreenToClient(Keyboard->Handle(), &p);
    const int y = p.Y - Keyboard->OffsetY;
    const int note = KeyYToNote(y);
    if (note == HoveredKey && !Force) return;
    TCanvas& c = Keyboard->Canvas();
    Keyboard->ApplyOrigin();
    if (Show && HoveredKey >= 0 && HoveredKey < 128) {
        const bool lit = LitKeys[std::size_t(HoveredKey)];
        PaintKeyShape(c, HoveredKey,
                      lit                      ? kMidiInKey
                      : IsBlackKey(HoveredKey) ? clBlack
                                               : clWhite,
                      !lit);
    }
    if (y >= GridHeight()) {
        HoveredKey = -1;
    } else if (Show) {
        PaintKeyShape(c, note, kHoverKey, false);
        HoveredKey = note;
        if (panelValue) panelValue->Caption = MidiNoteName(note);
    }
}

void TfmKey::ShowMidiInKey(int Note, bool On) {
    if (Note < 0 || Note > 127) return;
    LitKeys[std::size_t(Note)] = On;
    if (!Keyboard || !Keyboard->HandleAllocated()) return;
    TCanvas& c = Keyboard->Canvas();
    Keyboard->ApplyOrigin();
    if (On)
        PaintKeyShape(c, Note, kMidiInKey, false);
    else
        PaintKeyShape(c, Note, IsBlackKey(Note) ? clBlack : clWhite, true);
}
