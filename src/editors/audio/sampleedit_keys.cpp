// The sample-part editor's keys and step input: the key table, the edit modes, selecting the
// notes of the current row one by one, the step cursor with its selection and insert, the
// edit bar's move button, "Stretch to end" and undo. Keys the editor does not use go on to the
// main window.
#include "editors/audio/sampleedit.h"

#include "app/cursors.h"
#include "app/editcommands.h"
#include "app/main.h"
#include "app/transport.h"
#include "devices/midi.h"
#include "devices/midimsg.h"
#include "gui/dragrect.h"
#include "gui/mscroll.h"
#include "gui/scroll.h"
#include "platform/core/dialogs.h"
#include "platform/forms/buttons.h"
#include "platform/forms/edit.h"
#include "platform/window/input.h"
#include "song/primitives.h"
#include "song/song.h"
#include "song/undo.h"

#include <algorithm>

using namespace platform;

namespace {

_TPart* ThePart() {
    return Song ? Song->CurrentPart : nullptr;
}

bool IsRowNote(const _TEvent* E, int Row) {
    return MidiStatus(E->Msg) == msSampleOn && int(MidiData1(E->Msg)) == Row;
}

_TEvent* NextRowNote(_TEvent* E, int Row) {
    for (; E && !IsRowNote(E, Row); E = E->Next) {
    }
    return E;
}

} // namespace

// ---- Modes and the step cursor ----

void TfmAudio::EnterMode(int Mode) {
    TSpeedButton* buttons[] = {sbDefault, sbInsert, sbStep};
    // Step input does not run while the song records.
    if (Mode == 2 && Song && Song->State == 1) Mode = 0;
    buttons[Mode]->Down = true;
    if (Mode == EditMode) return;
    if (EditMode == 2) DrawStepCursor();
    EditMode = std::uint8_t(Mode);
    static constexpr int kCursors[] = {crDefault, crKeyInsert, crKeyStep};
    audio->Cursor = kCursors[Mode];
    if (Mode == 2) {
        _TPart* part = ThePart();
        StepTick = part ? part->Start : 0;
        StepRow = CurrentRow;
        DrawStepCursor();
        if (part) SelectStepCell();
    }
}

void TfmAudio::SelectStepCell() {
    _TPart* part = ThePart();
    if (!part) return;
    UnselectEvents(part);
    const int t = StepTick - part->Start;
    ToggleNotesInArea(part, t, StepRow, t + Song->GridTicks() - 1, StepRow);
    PaintNotes(false);
}

void TfmAudio::InsertAtStepCursor() {
    _TPart* part = ThePart();
    // Without a slot under the cursor there is nothing to sound.
    if (EditMode != 2 || !part || StepRow < 0 || StepRow >= SlotCount()) return;
    if (StepTick < part->Start ||
        std::int64_t(StepTick) >= std::int64_t(part->Start) + part->Length) {
        MessageBox("Can't insert outside part", "Insert note", MB_OK | MB_ICONINFORMATION);
        return;
    }
    {
        TEditGuard guard;
        if (!guard) return;
        DrawStepCursor();
        UnselectEvents(part);
        Song->UndoStore->Begin(ukStep, "Undo insert");
        Song->UndoStore->AddPart(CopyPart(part));
        const int t = StepTick - part->Start;
        _TPart* p = part;
        InsertEvent(
            p, NewEvent(t, PackMidiMsg(msSampleOn, std::uint32_t(StepRow), 127) + (63u << 24)));
        p = part;
        InsertEvent(p, NewEvent(t + Song->GridTicks() - 1,
                                PackMidiMsg(msSampleOff, std::uint32_t(StepRow), 0)));
    }
    SelectStepCell();
    RepaintLane();
    DrawStepCursor();
}

// ---- Selecting the notes of the current row ----

void TfmAudio::SelectPreviousNote(bool Shift) {
    _TPart* part = ThePart();
    if (!part) return;
    _TEvent* first = NextRowNote(part->Events, CurrentRow);
    if (CountSelectedNotes(part) > 0) {
        if (first && !(first->Flags & efSelected)) {
            _TEvent* before = first;
            _TEvent* e = NextRowNote(first->Next, CurrentRow);
            for (; e && !(e->Flags & efSelected); e = NextRowNote(e->Next, CurrentRow))
                before = e;
            if (e) {
                if (!Shift) UnselectEvents(part);
                SelectNote(part, before);
            }
        } else if (first && !Shift) {
            UnselectEvents(part);
        }
    } else {
        _TEvent* last = nullptr;
        for (_TEvent* e = first; e; e = NextRowNote(e->Next, CurrentRow))
            last = e;
        SelectNote(part, last);
    }
    PaintNotes(false);
    RepaintLane();
}

void TfmAudio::SelectNextNote(bool Shift) {
    _TPart* part = ThePart();
    if (!part) return;
    _TEvent* first = NextRowNote(part->Events, CurrentRow);
    if (CountSelectedNotes(part) > 0) {
        _TEvent* e = first;
        for (; e && !(e->Flags & efSelected); e = NextRowNote(e->Next, CurrentRow)) {
        }
        if (Shift) {
            _TEvent* lastSelected = nullptr;
            for (_TEvent* n = e; n; n = NextRowNote(n->Next, CurrentRow))
                if (n->Flags & efSelected) lastSelected = n;
            if (lastSelected) SelectNote(part, NextRowNote(lastSelected->Next, CurrentRow));
        } else {
            while (e && (e->Flags & efSelected))
                e = NextRowNote(e->Next, CurrentRow);
            UnselectEvents(part);
            SelectNote(part, e);
        }
    } else {
        UnselectEvents(part);
        SelectNote(part, first);
    }
    PaintNotes(false);
    RepaintLane();
}

// ---- Commands ----

void TfmAudio::MoveButton(int Direction) {
    _TPart* part = ThePart();
    if (!part) return;
    const int step = Direction * (960 / std::max(1, int(Song->EditRes)));
    if (CountSelectedNotes(part) > 0) {
        MoveSelectedNotes(step, 0);
        return;
    }
    SelectAllEvents(part);
    MoveSelectedNotes(step, 0);
    if (ThePart()) UnselectEvents(ThePart());
    audio->Invalidate();
}

void TfmAudio::StretchToEnd() {
    _TPart* part = ThePart();
    if (!part) return;
    {
        TEditGuard guard;
        if (!guard) return;
        Song->StretchNotesToEnd(part, CountSelectedEvents(part) > 0);
    }
    audio->Invalidate();
}

void TfmAudio::UndoEdit() {
    if (!Song || !fmMdi) return;
    {
        TEditGuard guard;
        if (!guard) return;
        const int kind = Song->UndoStore->Kind;
        Song->Undo();
        // A take recorded as a new sample goes with its slot.
        if (kind == ukRecordNew && CurrentRow >= SlotCount()) SetCurrentRow(SlotCount() - 1);
    }
    audio->Invalidate();
    if (EditCommandSeams().SampleList) EditCommandSeams().SampleList();
    samples->Invalidate();
    RepaintLane();
    if (EditMode == 2) SelectStepCell();
}

// ---- Keys ----

void TfmAudio::FormKeyDown(TObject* Sender, std::uint16_t& Key, TShiftState Shift) {
    if (dynamic_cast<TEdit*>(ActiveControl())) return; // the field's key
    auto toMain = [&] {
        if (fmMdi) fmMdi->FormKeyDown(Sender, Key, Shift);
    };
    _TPart* part = ThePart();
    if (!part) {
        toMain();
        return;
    }
    const bool shift = Shift & ssShift, ctrl = Shift & ssCtrl, alt = Shift & ssAlt;
    const bool drag = GridDrag && DragRect && DragRect->Mode != 0;
    const int editRes = std::max(1, int(Song->EditRes));
    const int grid = Song->GridTicks();
    const int slots = SlotCount();
    const bool notesSelected = CountSelectedNotes(part) > 0;
    if (shift && Key >= '1' && Key <= '6') {
        static const char* kCaptions[] = {"64", "32", "16", "8", "4", "2"};
        SetEditRes(64 >> (Key - '1'), kCaptions[Key - '1']);
        return;
    }
    switch (Key) {
    case VK_ESCAPE:
        if (drag) {
            CancelDrag();
            toMain();
        } else {
            Close();
        }
        return;
    case VK_OEM_5:
        if (drag) CancelDrag();
        toMain();
        return;
    case VK_PRIOR:
        if (fmMdi) fmMdi->StartFastForward(fmMdi->WindStep);
        return;
    case VK_NEXT:
        if (fmMdi) fmMdi->StartRewind(fmMdi->WindStep);
        return;
    case VK_HOME:
    case VK_END: {
        const bool home = Key == VK_HOME;
        if (EditMode == 2) {
            DrawStepCursor();
            StepTick = home ? part->Start : part->Start + part->Length - grid;
            SelectStepCell();
            DrawStepCursor();
            return;
        }
        {
            TEditGuard guard;
            if (!guard) return;
            TTransportWindows& w = TransportWindows();
            w.MovePlayCursor(Song->Position, true, true);
            Song->Position = home ? part->Start : part->Start + part->Length;
            if (fmMdi) fmMdi->PaintSongPosition();
            w.MovePlayCursor(Song->Position, true, true);
            if (Midi) Midi->AllNotesOff(-1, -1);
        }
        if (Song->State == 0 && ScrollX) {
            ScrollX->SetPosition(home ? 0 : ScrollX->Max);
            ScrollX->Changed();
        }
        return;
    }
    case VK_LEFT:
    case VK_RIGHT: {
        const int dir = Key == VK_LEFT ? -1 : 1;
        if (ctrl) {
            if (notesSelected) MoveSelectedNotes(dir * (960 / editRes), 0);
        } else if (alt) {
            ResizeSelectedNotes(dir * grid, notesSelected);
        } else if (dir < 0) {
            SelectPreviousNote(shift);
        } else {
            SelectNextNote(shift);
        }
        if (EditMode == 2) {
            DrawStepCursor();
            StepTick += dir * ((shift ? 3840 : 960) / editRes);
            if (dir < 0) StepTick = std::max(StepTick, part->Start);
            SelectStepCell();
            DrawStepCursor();
        }
        return;
    }
    case VK_UP:
    case VK_DOWN: {
        const int dir = Key == VK_UP ? -1 : 1;
        if (ctrl) {
            if (notesSelected) MoveSelectedNotes(0, dir);
        } else if (slots > 0) {
            SetCurrentRow(std::clamp(CurrentRow + dir, 0, slots - 1));
            samples->Invalidate();
            UnselectEvents(part);
            PaintNotes(false);
            RepaintLane();
        }
        if (EditMode == 2 && slots > 0) {
            DrawStepCursor();
            StepRow = std::clamp(StepRow + dir, 0, slots - 1);
            SelectStepCell();
            DrawStepCursor();
        }
        return;
    }
    case VK_F2:
    case VK_F3:
    case VK_F4: {
        TSpeedButton* b[] = {sbDefault, sbInsert, sbStep};
        b[Key - VK_F2]->Down = true;
        b[Key - VK_F2]->Click();
        return;
    }
    case VK_F5:
    case VK_F8:
    case VK_MULTIPLY:
        return; // audition, the lane's value and the record button: the sample bank's
    case 'P':
        if (ctrl) {
            if (fmMdi) fmMdi->LocatorsToSelection(true);
            return;
        }
        break;
    case 'S':
        if (!alt) {
            if (fmMdi) fmMdi->ToggleSolo(false);
            return;
        }
        break;
    default:
        if (Key >= '1' && Key <= '9' && !shift) return; // audition of rows 0..8
        break;
    }
    toMain();
}

void TfmAudio::FormKeyUp(TObject* Sender, std::uint16_t& Key, TShiftState Shift) {
    if ((Key >= '1' && Key <= '9') || Key == VK_F5) return; // the audition stops
    if (fmMdi) fmMdi->FormKeyUp(Sender, Key, Shift);
}
