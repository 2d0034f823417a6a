// The mouse on the key editor's note grid and time ruler: selecting by click and rubber band,
// moving, copying and resizing notes through the shared drag rectangle, inserting and
// Shift-painting notes in insert mode, Alt-drag scrolling, and the song position and locators
// set in the ruler. Moves, copies and resizes go through the edit guard; insertion changes the
// part first (holding the renderer off the part meanwhile) and restarts playback afterwards.
#include "editors/midi/key.h"

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
#include "song/seams.h"
#include "song/song.h"
#include "song/timebase.h"
#include "song/undo.h"

#include <algorithm>

using namespace platform;

std::function<void()> KeyInsertHeldHook;

namespace {

void Call(const std::function<void()>& F) {
    if (F) F();
}

void RepaintLane() {
    Call(KeyEditorSeams().RepaintLane);
}

// The event list shows the selection.
void ListToSelection() {
    MidiEditors().UpdateEventListScroll();
}

_TPart* ThePart() {
    return Song ? Song->CurrentPart : nullptr;
}

bool SnapDown(const TfmKey& K) {
    return K.sbSnap && K.sbSnap->Down;
}

} // namespace

// ---- Grid drags ----

void TfmKey::BeginGridDrag(int Mode, int Kind, int X, int Y) {
    if (!DragRect) return;
    if (Mode != 1) {
        TSong::TRect r;
        SelectedNotesRect(ThePart(), true, r);
        DragRect->Rect = {r.Left, r.Top, r.Right, r.Bottom};
    }
    DragRect->Snap = SnapDown(*this) ? std::max(1, TickToX(Song->GridTicks())) : 1;
    TCanvas& c = key->Canvas();
    key->ApplyOrigin();
    DragRect->BeginDrag(Mode, Kind, c, X, Y, GridHeight());
    GridDrag = true;
    Busy = 1;
}

void TfmKey::CancelDrag() {
    if (LaneDrag && DragRect && DragRect->Mode != 0) {
        // The release that follows ramps nothing.
        if (control && control->HandleAllocated()) {
            TCanvas& c = control->Canvas();
            control->ApplyOrigin();
            DragRect->EndDrag(c, DragRect->CurX, DragRect->CurY);
        } else {
            DragRect->Mode = 0;
        }
        control->Cursor = crDefault;
        StopAutoScroll();
        LaneDrag = false;
        // The stroke draws no more values on the way to the release.
        if (GetCapture() == control->Handle()) ReleaseCapture();
    }
    LaneDrag = false;
    if (GridDrag && DragRect && DragRect->Mode != 0) {
        if (key && key->HandleAllocated()) {
            TCanvas& c = key->Canvas();
            key->ApplyOrigin();
            DragRect->EndDrag(c, 0, 0);
        } else {
            DragRect->Mode = 0;
            DragRect->Snap = 1;
        }
        SetScreenCursor(0);
        StopAutoScroll();
    }
    GridDrag = false;
    Busy = 0;
    // Painting and hand-scrolling end as at the release, which will not come to this editor.
    HandScroll = 0;
    EndPaintInsert();
}

void TfmKey::EndPaintInsert() {
    if (!PaintInsert) return;
    // Playback starts again over the painted notes.
    TEditGuard guard;
    PaintInsert = 0;
}

void TfmKey::InsertNoteAt(int Tick, int Note) {
    _TPart* part = ThePart();
    const std::uint32_t status = 0x90u + Song->TrackChannel(part->Track);
    _TEvent* on = NewEvent(Tick, PackMidiMsg(status, std::uint32_t(Note), 64));
    on->Flags |= efRedraw;
    std::int64_t offAt = std::int64_t(Tick) + Song->GridTicks() - 1;
    // A following part within half a bar would take the note-off away from its note-on: the
    // note ends on the part's last tick instead.
    if (offAt >= part->Length && BarsToNextPart(part) == 0)
        offAt = std::max<std::int64_t>(Tick, part->Length - 1);
    _TEvent* off = NewEvent(int(offAt), PackMidiMsg(status, std::uint32_t(Note), 0));
    const bool grew = LinkNoteHeld(part, on, off, KeyInsertHeldHook);
    SelectNote(part, on);
    if (grew) {
        part->Flags |= pfRedraw;
        if (fmArrange) fmArrange->RedrawParts(false);
        UpdateHScrollRange();
    }
    DrawNotes(false);
}

void TfmKey::keyMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    ActiveControl = nullptr;
    _TPart* part = ThePart();
    if (Button == mbRight || !part) return;
    const int x = X - key->OffsetX, y = Y - key->OffsetY;
    const int t = XToTicks(x), note = KeyYToNote(y);
    if (EditMode == 0) {
        _TEvent* hit = NoteAt(part, t, note);
        const bool alt = Shift & ssAlt, shift = Shift & ssShift, ctrl = Shift & ssCtrl;
        if (hit && alt) {
            UnselectEvents(part);
            SelectNote(part, hit);
            RepaintList();
            DrawNotes(false);
            RepaintLane();
            BeginGridDrag(5, 0, x, y);
            key->Cursor = crSizeWE;
        } else if (alt) {
            HandScroll = 1;
            HandX = X;
            HandY = Y;
        } else if (hit && !shift) {
            if (!(hit->Flags & efSelected)) {
                UnselectEvents(part);
                ToggleNotesInArea(part, t, note, t, note);
                DrawNotes(false);
                RepaintList();
                RepaintLane();
            }
            BeginGridDrag(ctrl ? 3 : 2, 1, x, y);
            DrawSelectedNotesToBitmap();
            if (ctrl) SetScreenCursor(CursorOf(crDrag));
        } else {
            if (!shift && UnselectEvents(part)) {
                DrawNotes(false);
                RepaintList();
                if (LaneKind == 1 || LaneKind == 2 || LaneKind == 5) RepaintLane();
            }
            BeginGridDrag(1, 0, x, y);
        }
    } else if (EditMode == 1) {
        const int ts = XToSnappedTicks(x, Song->GridTicks());
        if (ts >= part->Length) return;
        UnselectEvents(part);
        Song->UndoStore->Begin(ukSingle, "Undo insert");
        Song->UndoStore->AddPart(CopyPart(part));
        InsertNoteAt(SnapDown(*this) ? ts : t, note);
        RepaintList();
        if (Shift & ssShift) {
            PaintInsert = 1;
            PaintKey = note;
        } else {
            BeginGridDrag(5, 0, x, y);
        }
        RepaintLane();
    } else if (EditMode == 2) {
        DrawStepCursor(false);
        StepTick = XToSnappedTicks(x, Song->GridTicks()) + part->Start;
        StepPitch = std::clamp(note, 0, 127);
        SelectAtStepCursor();
        DrawStepCursor(false);
    }
    // Step-controllers mode places its cursor from the lane.
}

void TfmKey::keyMouseMove(TShiftState Shift, int X, int Y) {
    const int x = X - key->OffsetX, y = Y - key->OffsetY;
    if (GridDrag && DragRect && DragRect->Mode != 0) {
        if (X >= 0 && Y >= 0 && X < key->GetClientWidth() && Y < key->GetClientHeight()) {
            StopAutoScroll();
            TCanvas& c = key->Canvas();
            key->ApplyOrigin();
            DragRect->DragTo(c, x, y);
        } else {
            StartAutoScroll(0);
        }
        return;
    }
    HighlightKeyboardKey(true, false);
    _TPart* part = ThePart();
    if (EditMode == 0 && (Shift & ssAlt)) {
        const bool over = part && NoteAt(part, XToTicks(x), KeyYToNote(y));
        key->Cursor = over ? crSizeWE : crDefault;
        if (HandScroll) {
            if (ScrollX) {
                ScrollX->SetPosition(ScrollX->Position + HandX - X);
                ScrollX->Changed();
            }
            if (ScrollY) {
                ScrollY->SetPosition(ScrollY->Position + HandY - Y);
                ScrollY->Changed();
            }
            HandX = X;
            HandY = Y;
        }
    } else if (EditMode == 1 && (Shift & ssShift) && PaintInsert && part) {
        const int ts = XToSnappedTicks(x, Song->GridTicks());
        if (ts >= 0 && ts < part->Length && !NoteAt(part, ts, PaintKey)) {
            InsertNoteAt(ts, PaintKey);
            RepaintList();
            RepaintLane();
        }
    } else if (key->Cursor == crSizeWE) {
        key->Cursor = crDefault;
    }
}

void TfmKey::keyMouseUp(TMouseButton Button, TShiftState /*Shift*/, int X, int Y) {
    if (Button == mbRight) return;
    HandScroll = 0;
    StopAutoScroll();
    _TPart* part = ThePart();
    if (GridDrag && DragRect && DragRect->Mode != 0) {
        const int mode = DragRect->Mode;
        TCanvas& c = key->Canvas();
        key->ApplyOrigin();
        DragRect->EndDrag(c, X - key->OffsetX, Y - key->OffsetY);
        GridDrag = false;
        Busy = 0;
        if (mode == 1) DragRect->Normalize();
        const int k1 = KeyYToNote(DragRect->StartY), k2 = KeyYToNote(DragRect->CurY);
        const int t1 = XToTicks(DragRect->StartX), t2 = XToTicks(DragRect->CurX);
        const bool moved = t1 != t2 || k1 != k2;
        const int dt = SnapDown(*this) ? RoundToMultiple(t2 - t1, Song->GridTicks()) : t2 - t1;
        if (!part) {
        } else if (mode == 5 && (EditMode == 0 || EditMode == 1)) {
            ChangeNoteLength(t2 - t1, true);
        } else if (mode == 1 && EditMode == 0) {
            if (ToggleNotesInArea(part, t1, k2, t2, k1)) {
                DrawNotes(false);
                ListToSelection();
            }
        } else if (mode == 2 && EditMode == 0 && moved) {
            MoveSelectedNotes(dt, k2 - k1, true);
            key->Invalidate();
            RepaintLane();
            ListToSelection();
        } else if (mode == 3 && EditMode == 0) {
            SetScreenCursor(0);
            if (moved) CopyNotes(dt, k2 - k1, true);
        }
    }
    EndPaintInsert();
    UpdateEditbar();
}

// ---- Moving, copying and resizing notes ----

bool TfmKey::FitsInPart(int DeltaTicks, const char* Text, const char* Caption) {
    _TPart* part = ThePart();
    const _TEvent* first = FirstSelectedNote(part, -1);
    const _TEvent* last = LastSelectedNote(part, -1);
    if (!first || !last) return false;
    if (std::int64_t(EventTime(part, first)) + DeltaTicks < 0 ||
        std::int64_t(EventTime(part, last)) + NoteLength(part, last) + DeltaTicks >= part->Length) {
        MessageBox(Text, Caption, MB_OK | MB_ICONINFORMATION);
        return false;
    }
    return true;
}

bool TfmKey::MoveSelectedNotes(int DeltaTicks, int DeltaNotes, bool ScrollTo) {
    _TPart* part = ThePart();
    if (!part || CountSelectedNotes(part) == 0) return false;
    if (!FitsInPart(DeltaTicks, "Can't move events outside part", "Move events")) return false;
    bool changed = false;
    {
        TEditGuard guard;
        if (!guard) return false;
        changed = MoveNotes(part, DeltaTicks, DeltaNotes);
        if (changed) key->Invalidate();
    }
    if (ScrollTo)
        if (const _TEvent* last = LastSelectedNote(part, -1))
            ScrollToEvent(EventTime(part, last), NoteLength(part, last));
    ListToSelection();
    RepaintLane();
    UpdateEditbar();
    return changed;
}

bool TfmKey::CopyNotes(int DeltaTicks, int DeltaNotes, bool RecordUndo) {
    _TPart* part = ThePart();
    if (!part || CountSelectedNotes(part) == 0) return false;
    if (!FitsInPart(DeltaTicks, "Can't copy events outside part", "Copy events")) return false;
    {
        TEditGuard guard;
        if (!guard) return false;
        if (RecordUndo) {
            Song->UndoStore->Begin(ukSingle, "Undo copy");
            Song->UndoStore->AddPart(CopyPart(part));
        }
        DuplicateNotes(part, DeltaTicks, DeltaNotes);
    }
    key->Invalidate();
    RepaintList();
    RepaintLane();
    UpdateEditbar();
    return true;
}

bool TfmKey::CopySelectedNotes(int DeltaTicks, int DeltaNotes) {
    return CopyNotes(DeltaTicks, DeltaNotes, false);
}

void TfmKey::ChangeNoteLength(int Delta, bool SelectedOnly) {
    _TPart* part = ThePart();
    if (!part) return;
    {
        TEditGuard guard;
        if (!guard) return;
        ResizeNotes(part, Delta, SelectedOnly, EditMode == 0);
    }
    if (Delta != 0) {
        key->Invalidate();
        Call(KeyEditorSeams().RefreshEventList);
        UpdateEditbar();
    }
}

void TfmKey::ScrollToEvent(int Tick, int Length) {
    if (!ScrollX || Song->State != 0) return;
    const int w = key->GetClientWidth(), left = -key->OffsetX;
    const int x1 = TickToFloorX(Tick), x2 = TickToFloorX(std::int64_t(Tick) + Length);
    if (x2 > left + w)
        ScrollX->SetPosition(x2 - w);
    else if (x1 < left)
        ScrollX->SetPosition(x1);
    else
        return;
    ScrollX->Changed();
}

// ---- Ruler ----

void TfmKey::RulerPress(int Button, TShiftState Shift, int X) {
    const _TPart* part = ThePart();
    if (!part) return;
    const int x = X - meter->OffsetX;
    const std::int64_t t =
        std::int64_t(XToSnappedTicks(x + TickToX(120), TicksPerBeat)) + part->Start;
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
    Call(Button == 0 ? ArrangeSeams().PaintLeftLocator : ArrangeSeams().PaintRightLocator);
}

void TfmKey::meterMouseDown(TMouseButton Button, TShiftState Shift, int X, int /*Y*/) {
    if (!ThePart() || Button == mbMiddle) return;
    ActiveControl = nullptr;
    RulerButton = Button == mbRight ? 1 : 0;
    RulerPress(RulerButton, Shift, X);
    SetCapture(meter->Handle());
    Busy = 1;
}

void TfmKey::meterMouseMove(TShiftState Shift, int X, int /*Y*/) {
    if (RulerButton == 2) return;
    if (GetCapture() != meter->Handle()) {
        meterCaptureLost();
        return;
    }
    RulerPress(RulerButton, Shift, X);
    if (X < 0 || X >= meter->GetClientWidth())
        StartAutoScroll(1);
    else
        StopAutoScroll();
}

void TfmKey::meterMouseUp() {
    StopAutoScroll();
    RulerButton = 2;
    Busy = 0;
    ReleaseCapture();
}

void TfmKey::meterCaptureLost() {
    if (RulerButton == 2) return;
    StopAutoScroll();
    RulerButton = 2;
    Busy = 0;
}

void TfmKey::BindGridMouse() {
    key->OnMouseDown = [this](TObject*, TMouseButton B, TShiftState S, int X, int Y) {
        keyMouseDown(B, S, X, Y);
    };
    key->OnMouseMove = [this](TObject*, TShiftState S, int X, int Y) { keyMouseMove(S, X, Y); };
    key->OnMouseUp = [this](TObject*, TMouseButton B, TShiftState S, int X, int Y) {
        keyMouseUp(B, S, X, Y);
    };
    Keyboard->OnMouseMove = [this](TObject*, TShiftState, int, int) {
        HighlightKeyboardKey(true, false);
    };
    Keyboard->OnMouseDown = [this](TObject*, TMouseButton B, TShiftState, int, int Y) {
        if (B == mbLeft) KeyboardMouseDown(Y);
    };
    Keyboard->OnMouseUp = [this](TObject*, TMouseButton B, TShiftState, int, int) {
        if (B == mbLeft) KeyboardMouseUp();
    };
    Keyboard->OnCaptureLost = [this] { KeyboardMouseUp(); };
    meter->OnMouseDown = [this](TObject*, TMouseButton B, TShiftState S, int X, int Y) {
        meterMouseDown(B, S, X, Y);
    };
    meter->OnMouseMove = [this](TObject*, TShiftState S, int X, int Y) { meterMouseMove(S, X, Y); };
    meter->OnMouseUp = [this](TObject*, TMouseButton, TShiftState, int, int) { meterMouseUp(); };
    meter->OnCaptureLost = [this] { meterCaptureLost(); };
    // Edit > Grid: each item's tag is its spacing in ticks; opening the menu checks the item of
    // the spacing in use.
    static constexpr int kSpacings[] = {15, 30, 60, 120, 240, 480, 10, 20, 40, 80, 160, 320, -1};
    for (int i = 0; miGrid && i < miGrid->Count() && i < int(std::size(kSpacings)); ++i) {
        TMenuItem* item = miGrid->Items(i);
        item->Tag = kSpacings[i];
        item->RadioItem = true;
        item->OnClick = [this](TMenuItem* Sender) { SetGridSpacing(Sender->Tag); };
    }
    if (miGrid)
        miGrid->OnClick = [this](TMenuItem*) {
            for (int i = 0; i < miGrid->Count(); ++i)
                miGrid->Items(i)->Checked = miGrid->Items(i)->Tag == GridSpacing;
        };
}
