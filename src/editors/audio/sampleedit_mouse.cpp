// The mouse on the sample-part editor's grid and ruler: selecting by click and rubber band,
// moving, copying and resizing sample notes through the shared drag rectangle, inserting and
// Shift-painting notes in insert mode, placing the step cursor, Alt-drag panning, auto-scroll,
// and the song position and locators set in the ruler. Moves, copies and resizes go through the
// edit guard; insertion links the notes first (holding the renderer off the part meanwhile) and
// restarts playback afterwards.
#include "editors/audio/sampleedit.h"

#include "app/arrange.h"
#include "app/main.h"
#include "app/transport.h"
#include "devices/audio.h"
#include "editors/noteinsert.h"
#include "devices/midimsg.h"
#include "gui/dragrect.h"
#include "gui/mscroll.h"
#include "gui/scroll.h"
#include "platform/core/dialogs.h"
#include "platform/forms/buttons.h"
#include "platform/menus/menus.h"
#include "platform/window/input.h"
#include "platform/window/window.h"
#include "song/noteedit.h"
#include "song/primitives.h"
#include "song/song.h"
#include "song/timebase.h"
#include "song/undo.h"

#include <algorithm>

using namespace platform;

std::function<void()> SampleInsertHeldHook;

namespace {

_TPart* ThePart() {
    return Song ? Song->CurrentPart : nullptr;
}

bool SnapDown(const TfmAudio& A) {
    return A.sbSnap && A.sbSnap->Down;
}

int StepLength() {
    return 960 / std::max(1, int(Song->EditRes)) - 1;
}

} // namespace

// ---- Grid drags ----

void TfmAudio::BeginGridDrag(int Mode, int X, int Y, int MaxY) {
    if (!DragRect) return;
    if (Mode != 1) {
        TSong::TRect r;
        SelectedNotesRect(ThePart(), false, r);
        DragRect->Rect = {r.Left, r.Top, r.Right, r.Bottom};
    }
    DragRect->Snap = Mode == 5 && SnapDown(*this) ? std::max(1, TickToX(Song->GridTicks())) : 1;
    TCanvas& c = audio->Canvas();
    audio->ApplyOrigin();
    DragRect->BeginDrag(Mode, 3, c, X, Y, MaxY);
    GridDrag = true;
    Dragging = true;
}

void TfmAudio::CancelDrag() {
    if (GridDrag && DragRect && DragRect->Mode != 0) {
        if (audio && audio->HandleAllocated()) {
            TCanvas& c = audio->Canvas();
            audio->ApplyOrigin();
            DragRect->EndDrag(c, 0, 0);
        } else {
            DragRect->Mode = 0;
        }
        DragRect->Snap = 1;
        SetScreenCursor(0);
    }
    // The release will not come to this window: what it ends ends here.
    GridDrag = false;
    Dragging = false;
    PanView = false;
    StopAutoScroll();
    EndPainting();
}

void TfmAudio::EndPainting() {
    if (!Painting) return;
    Painting = false;
    // Playback starts again over the painted notes.
    TEditGuard guard;
}

void TfmAudio::StartAutoScroll() {
    if (scrollTimer.Enabled) return;
    AutoScrollStep();
    scrollTimer.Enabled = true;
}

void TfmAudio::StopAutoScroll() {
    scrollTimer.Enabled = false;
}

void TfmAudio::AutoScrollStep() {
    if (!ScrollX || !ScrollY || !audio->HandleAllocated()) return;
    TPoint p{};
    GetCursorPos(&p);
    p = audio->ScreenToClient(p);
    const int w = audio->GetClientWidth(), h = audio->GetClientHeight();
    auto scroll = [](TGuiScrollbar* Bar, int Delta) {
        Bar->SetPosition(Bar->Position + Delta);
        Bar->Changed();
    };
    if (p.X > w)
        scroll(ScrollX, w / 10);
    else if (p.X < 0)
        scroll(ScrollX, -(w / 10));
    if (p.Y > h)
        scroll(ScrollY, 3 * SampleHeight);
    else if (p.Y < 0)
        scroll(ScrollY, -3 * SampleHeight);
    if (GridDrag && DragRect && DragRect->Mode != 0) {
        TCanvas& c = audio->Canvas();
        audio->ApplyOrigin();
        DragRect->DragTo(c, p.X - audio->OffsetX, p.Y - audio->OffsetY);
    }
}

// ---- Inserting ----

void TfmAudio::InsertSampleNote(_TPart* Part, int Tick, int Row, int Length) {
    _TEvent* on = NewEvent(Tick, PackMidiMsg(msSampleOn, std::uint32_t(Row), 127) + (63u << 24));
    on->Flags |= efRedraw;
    std::int64_t offAt = std::int64_t(Tick) + Length;
    // A following part within half a bar would take the note-off away from its note-on: the
    // note ends on the part's last tick instead.
    if (offAt >= Part->Length && BarsToNextPart(Part) == 0)
        offAt = std::max<std::int64_t>(Tick, Part->Length - 1);
    _TEvent* off = NewEvent(int(offAt), PackMidiMsg(msSampleOff, std::uint32_t(Row), 0));
    const bool grew = LinkNoteHeld(Part, on, off, SampleInsertHeldHook);
    SelectNote(Part, on);
    if (grew) {
        Part->Flags |= pfRedraw;
        if (fmArrange) fmArrange->RedrawParts(false);
        UpdateHorzScrollRange();
    }
    PaintNotes(false);
    RepaintLane();
}

// ---- Grid mouse ----

void TfmAudio::audioMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    _TPart* part = ThePart();
    if (Button == mbRight) {
        TPoint p = audio->ClientToScreen({X, Y});
        popupAudio->Popup(p.X, p.Y);
        return;
    }
    if (!part) return;
    ActiveControl = nullptr;
    const int x = X - audio->OffsetX, y = Y - audio->OffsetY;
    const int tick = AudioPixelToTick(x), row = RowAtY(y);
    _TEvent* note = NoteAt(part, tick, row);
    const bool alt = Shift & ssAlt, shift = Shift & ssShift, ctrl = Shift & ssCtrl;
    const int slots = SlotCount();
    if (EditMode == 0) {
        if (alt && !note) {
            PanView = true;
            PanX = X;
            PanY = Y;
        } else if (!note || shift) {
            if (!shift && UnselectEvents(part)) {
                PaintNotes(false);
                RepaintLane();
            }
            BeginGridDrag(1, x, y, 2000);
        } else if (!alt) {
            if (!(note->Flags & efSelected)) {
                UnselectEvents(part);
                ToggleNotesInArea(part, tick, row, tick, row);
                PaintNotes(false);
                RepaintLane();
            }
            BeginGridDrag(ctrl ? 3 : 2, x, y, slots * SampleHeight);
            if (ctrl) SetScreenCursor(CursorOf(crDrag));
        } else {
            UnselectEvents(part);
            SelectNote(part, note);
            PaintNotes(false);
            RepaintLane();
            BeginGridDrag(5, x, y, 2000);
            audio->Cursor = crSizeWE;
        }
    } else if (EditMode == 1) {
        const int grid = Song->GridTicks();
        const int at = SnapDown(*this) ? SnapXToTicks(x, grid) : tick;
        if (SnapXToTicks(x, grid) >= part->Length || row < 0 || row >= slots || at < 0) return;
        UnselectEvents(part);
        Song->UndoStore->Begin(ukSingle, "Undo insert");
        Song->UndoStore->AddPart(CopyPart(part));
        InsertSampleNote(part, at, row, StepLength());
        if (alt && !shift) {
            BeginGridDrag(5, x, y, 2000);
            audio->Cursor = crSizeWE;
        } else if (shift) {
            PaintRow = row;
            Painting = true;
        } else {
            TEditGuard guard; // the playing engine picks up the new note
        }
    } else {
        DrawStepCursor();
        StepTick = SnapXToTicks(x, Song->GridTicks()) + part->Start;
        StepRow = slots > 0 ? std::clamp(row, 0, slots - 1) : -1;
        SetCurrentRow(StepRow);
        samples->Invalidate();
        SelectStepCell();
        DrawStepCursor();
    }
}

void TfmAudio::audioMouseMove(TShiftState Shift, int X, int Y) {
    const int x = X - audio->OffsetX, y = Y - audio->OffsetY;
    if (GridDrag && DragRect && DragRect->Mode != 0) {
        if (X >= 0 && Y >= 0 && X < audio->GetClientWidth() && Y < audio->GetClientHeight()) {
            StopAutoScroll();
            TCanvas& c = audio->Canvas();
            audio->ApplyOrigin();
            DragRect->DragTo(c, x, y);
        } else {
            StartAutoScroll();
        }
        return;
    }
    _TPart* part = ThePart();
    if (EditMode == 0 && (Shift & ssAlt)) {
        const bool over = part && NoteAt(part, AudioPixelToTick(x), RowAtY(y));
        audio->Cursor = over ? crSizeWE : crDefault;
        if (PanView && ScrollX && ScrollY) {
            ScrollX->SetPosition(ScrollX->Position + PanX - X);
            ScrollX->Changed();
            ScrollY->SetPosition(ScrollY->Position + PanY - Y);
            ScrollY->Changed();
            PanX = X;
            PanY = Y;
        }
    } else if (EditMode == 1 && (Shift & ssShift) && Painting && part) {
        const int t = SnapXToTicks(x, Song->GridTicks());
        if (t >= 0 && t < part->Length && !NoteAt(part, t, PaintRow))
            InsertSampleNote(part, t, PaintRow, StepLength());
    } else if (audio->Cursor == crSizeWE) {
        audio->Cursor = crDefault;
    }
}

void TfmAudio::audioMouseUp(TMouseButton Button, TShiftState /*Shift*/, int X, int Y) {
    if (Button == mbRight) return;
    _TPart* part = ThePart();
    PanView = false;
    StopAutoScroll();
    if (part && GridDrag && DragRect && DragRect->Mode != 0) {
        const int mode = DragRect->Mode;
        TCanvas& c = audio->Canvas();
        audio->ApplyOrigin();
        DragRect->EndDrag(c, X - audio->OffsetX, Y - audio->OffsetY);
        GridDrag = false;
        if (mode == 1) DragRect->Normalize();
        const int sx = DragRect->StartX, ex = DragRect->CurX;
        const int r1 = RowAtY(DragRect->StartY), r2 = RowAtY(DragRect->CurY);
        const int grid = Song->GridTicks();
        if (mode == 1 && EditMode == 0) {
            if (ToggleNotesInArea(part, AudioPixelToTick(sx), r1, AudioPixelToTick(ex), r2)) {
                PaintNotes(false);
                RepaintLane();
            }
        } else if (mode == 5 && (EditMode == 0 || EditMode == 1)) {
            ResizeSelectedNotes(AudioPixelToTick(ex) - AudioPixelToTick(sx), true);
        } else if (mode == 2 && EditMode == 0) {
            int dt = AudioPixelToTick(ex) - AudioPixelToTick(sx);
            if (SnapDown(*this)) dt = RoundToMultiple(dt, grid);
            // MoveNotes opens its own undo step, and only when something moves.
            if (dt != 0 || r2 != r1) MoveSelectedNotes(dt, r2 - r1);
        } else if (mode == 3 && EditMode == 0) {
            SetScreenCursor(0);
            int dt = SnapXToTicks(ex, grid) - SnapXToTicks(sx, grid);
            if (SnapDown(*this)) dt = RoundToMultiple(dt, grid);
            if ((dt != 0 || r2 != r1) &&
                FitsInPart(dt, r2 - r1, "Can't copy events outside part", "Copy events")) {
                {
                    TEditGuard guard;
                    if (guard) {
                        Song->UndoStore->Begin(ukSingle, "Undo copy");
                        Song->UndoStore->AddPart(CopyPart(part));
                        DuplicateNotes(part, dt, r2 - r1);
                    }
                }
                audio->Invalidate();
                RepaintLane();
            }
        }
        if (audio->Cursor == crSizeWE) audio->Cursor = crDefault;
    }
    GridDrag = false;
    Dragging = false;
    EndPainting();
}

// ---- Moving, copying and resizing ----

bool TfmAudio::FitsInPart(int DTicks, int DRows, const char* Text, const char* Caption) {
    _TPart* part = ThePart();
    const _TEvent* first = FirstSelectedNote(part, -1);
    const _TEvent* last = LastSelectedNote(part, -1);
    if (!first || !last) return false;
    bool fits =
        std::int64_t(EventTime(part, first)) + DTicks >= 0 &&
        std::int64_t(EventTime(part, last)) + NoteLength(part, last) + DTicks < part->Length;
    const int slots = SlotCount();
    for (const _TEvent* e = part->Events; fits && e; e = e->Next)
        if ((e->Flags & efSelected) && IsNoteOn(e->Msg)) {
            const int row = int(MidiData1(e->Msg)) + DRows;
            fits = row >= 0 && row < slots;
        }
    if (!fits) MessageBox(Text, Caption, MB_OK | MB_ICONINFORMATION);
    return fits;
}

bool TfmAudio::MoveSelectedNotes(int DTicks, int DRows) {
    _TPart* part = ThePart();
    if (!part || CountSelectedNotes(part) == 0) return false;
    if (!FitsInPart(DTicks, DRows, "Can't move events outside part", "Move events")) return false;
    bool changed = false;
    {
        TEditGuard guard;
        if (!guard) return false;
        changed = MoveNotes(part, DTicks, DRows);
    }
    if (changed) {
        audio->Invalidate();
        RepaintLane();
    }
    return changed;
}

bool TfmAudio::CopySelectedNotes(int DTicks, int DRows) {
    _TPart* part = ThePart();
    if (!part || CountSelectedNotes(part) == 0) return false;
    if (!FitsInPart(DTicks, DRows, "Can't copy events outside part", "Copy events")) return false;
    {
        TEditGuard guard;
        if (!guard) return false;
        DuplicateNotes(part, DTicks, DRows);
    }
    audio->Invalidate();
    RepaintLane();
    return true;
}

void TfmAudio::ResizeSelectedNotes(int Delta, bool SelectedOnly) {
    _TPart* part = ThePart();
    if (!part) return;
    {
        TEditGuard guard;
        if (!guard) return;
        ResizeNotes(part, Delta, SelectedOnly, EditMode == 0);
    }
    audio->Invalidate();
}

void TfmAudio::SetEditRes(int Value, const std::string& Caption) {
    if (EditMode == 2) DrawStepCursor();
    if (fmMdi) fmMdi->SetGridValue(Value, Caption);
    if (EditMode == 2) DrawStepCursor();
    if (GridStep == -1) audio->Invalidate();
}

// ---- Ruler ----

void TfmAudio::RulerPress(int Button, TShiftState Shift, int X) {
    const _TPart* part = ThePart();
    if (!part) return;
    const int x = X - meter->OffsetX;
    const std::int64_t t = std::int64_t(SnapXToTicks(x + TickToX(120), TicksPerBeat)) + part->Start;
    // Left of the song's start: nothing to set.
    if (t < 0 || t > INT32_MAX) return;
    if (Shift & ssShift) {
        if (t != Song->Position && fmMdi) fmMdi->SetSongPosition(int(t));
        return;
    }
    std::atomic<std::int32_t>& loc = Button == 0 ? Song->LeftLocator : Song->RightLocator;
    if (t == loc) return;
    TEditGuard guard;
    if (!guard) return;
    auto band = [this] {
        if (fmArrange)
            fmArrange->DrawLocators(3, true);
        else
            DrawLocators();
    };
    band();
    loc = int(t);
    band();
    const auto& paint =
        Button == 0 ? ArrangeSeams().PaintLeftLocator : ArrangeSeams().PaintRightLocator;
    if (paint) paint();
}

void TfmAudio::meterMouseDown(TMouseButton Button, TShiftState Shift, int X) {
    if (!ThePart() || Button == mbMiddle) return;
    ActiveControl = nullptr;
    RulerButton = Button == mbRight ? 1 : 0;
    RulerPress(RulerButton, Shift, X);
    SetCapture(meter->Handle());
}

void TfmAudio::meterMouseMove(TShiftState Shift, int X) {
    if (RulerButton == 2) return;
    RulerPress(RulerButton, Shift, X);
}

void TfmAudio::meterMouseUp() {
    RulerButton = 2;
    ReleaseCapture();
}

void TfmAudio::BindMouse() {
    audio->OnMouseDown = [this](TObject*, TMouseButton B, TShiftState S, int X, int Y) {
        audioMouseDown(B, S, X, Y);
    };
    audio->OnMouseMove = [this](TObject*, TShiftState S, int X, int Y) { audioMouseMove(S, X, Y); };
    audio->OnMouseUp = [this](TObject*, TMouseButton B, TShiftState S, int X, int Y) {
        audioMouseUp(B, S, X, Y);
    };
    meter->OnMouseDown = [this](TObject*, TMouseButton B, TShiftState S, int X, int) {
        meterMouseDown(B, S, X);
    };
    meter->OnMouseMove = [this](TObject*, TShiftState S, int X, int) { meterMouseMove(S, X); };
    meter->OnMouseUp = [this](TObject*, TMouseButton, TShiftState, int, int) { meterMouseUp(); };
    meter->OnCaptureLost = [this] { RulerButton = 2; };
}
