// The key editor's step input: the mode buttons, notes written at the step cursor by Insert, the
// tracker keyboard and a MIDI keyboard (a chord at a time, the cursor moving on when its last
// key is released), and values written at the lane's step cursor.
#include "editors/midi/key.h"

#include "app/cursors.h"
#include "app/transport.h"
#include "devices/audio.h"
#include "devices/midimsg.h"
#include "gui/scroll.h"
#include "platform/core/dialogs.h"
#include "platform/forms/buttons.h"
#include "platform/forms/edit.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/label.h"
#include "song/primitives.h"
#include "song/song.h"
#include "song/timebase.h"
#include "song/undo.h"

#include <algorithm>

using namespace platform;

namespace {

_TPart* ThePart() {
    return Song ? Song->CurrentPart : nullptr;
}

bool CursorInside(const _TPart* P, int Tick) {
    return Tick >= P->Start && std::int64_t(Tick) < std::int64_t(P->Start) + P->Length;
}

void RefuseOutside() {
    MessageBox("Can't insert outside part", "Insert note", MB_OK | MB_ICONINFORMATION);
}

// A note of Key and Velocity GridTicks long at Tick (from the part's start), both events
// selected, linked with the renderer held (softsynth queues walk the part).
void InsertStepNoteAt(_TPart* Part, int Tick, int Key, int Velocity) {
    const std::uint32_t status = 0x90u + Song->TrackChannel(Part->Track);
    _TEvent* on = NewEvent(Tick, PackMidiMsg(status, std::uint32_t(Key), std::uint32_t(Velocity)));
    on->Flags |= efSelected | efRedraw;
    _TEvent* off =
        NewEvent(Tick + Song->GridTicks() - 1, PackMidiMsg(status, std::uint32_t(Key), 0));
    off->Flags |= efSelected;
    TRendererHold hold;
    if (KeyInsertHeldHook) KeyInsertHeldHook();
    _TPart* p = Part;
    InsertEvent(p, on);
    p = Part;
    InsertEvent(p, off);
}

} // namespace

int TfmKey::StepValue(int Default) const {
    const std::string t = editCtrlValue ? editCtrlValue->Text() : std::string();
    return IsIntegerText(t) ? std::atoi(t.c_str()) : Default;
}

// The value field shows in both step modes, "Ins" and "Del" in step-controllers mode.
void TfmKey::ShowStepControls() {
    panelCtrlValue->Visible = EditMode >= 2;
    sbIns->Visible = EditMode == 3;
    sbDel->Visible = EditMode == 3;
}

void TfmKey::EnterMode(int Mode) {
    TSpeedButton* buttons[] = {sbDefault, sbInsert, sbStep, sbStepCtrl};
    _TPart* part = ThePart();
    // No step entry while recording; the step modes need a part for their cursor.
    if (Mode == 2 && Song && Song->State == 1) Mode = 0;
    if (Mode >= 2 && !part) {
        buttons[EditMode]->Down = true;
        return;
    }
    buttons[Mode]->Down = true;
    if (Mode < 2) {
        if (EditMode == 3) DrawLaneStepCursor(false);
        if (EditMode == 2) DrawStepCursor(false);
        EditMode = Mode;
        key->Cursor = Mode == 1 ? crKeyInsert : crDefault;
        ShowStepControls();
        if (part) {
            if (UnselectEvents(part)) DrawNotes(false);
            RepaintList();
        }
        RepaintLaneNow();
        return;
    }
    if (Mode == 2) {
        if (EditMode == 3) DrawLaneStepCursor(false);
        if (EditMode == 2) return;
        EditMode = 2;
        key->Cursor = crKeyStep;
        HeldMidiKeys = 0;
        StepKeys.fill(false);
        panelValue->Caption = MidiNoteName(StepPitch);
        StepTick = part->Start;
        DrawStepCursor(true);
        SelectAtStepCursor();
    } else {
        if (EditMode == 2) DrawStepCursor(false);
        if (EditMode == 3) return;
        if (UnselectEvents(part)) DrawNotes(false);
        key->Cursor = crHandPoint;
        StepTick = part->Start;
        Song->SelectLaneEventsAt(part, 0, LaneCode, LaneKind);
        EditMode = 3;
    }
    ShowStepControls();
    RepaintLaneNow();
    RepaintList();
}

void TfmKey::InsertStepNote() {
    _TPart* part = ThePart();
    if (PreviewOn || !part) return;
    if (EditMode == 2) {
        if (!CursorInside(part, StepTick)) {
            TrackerKeys.ReleaseAll();
            RefuseOutside();
            return;
        }
        {
            TEditGuard guard;
            if (!guard) return;
            DrawStepCursor(false);
            Song->UndoStore->Begin(ukStep, "Undo step");
            Song->UndoStore->AddPart(SnapshotPart(part));
            InsertStepNoteAt(part, StepTick - part->Start, StepPitch,
                             std::clamp(StepValue(64), 1, 127));
        }
        DrawNotes(false);
        DrawStepCursor(false);
        RepaintLaneNow();
        UpdateEditbar();
        ScrollListToSelection();
    } else if (EditMode == 3 && (LaneKind == 1 || LaneKind == 2 || LaneKind == 5)) {
        if (!CursorInside(part, StepTick)) {
            RefuseOutside();
            return;
        }
        {
            TEditGuard guard;
            if (!guard) return;
            DrawLaneStepCursor(false);
            Song->UndoStore->Begin(ukStep, "Undo step");
            Song->UndoStore->AddPart(SnapshotPart(part));
            const int v = StepValue(64);
            const std::uint32_t ch = Song->TrackChannel(part->Track);
            std::uint32_t msg = 0;
            if (LaneKind == 2) {
                msg = PackMidiMsg(0xB0u + ch, std::uint32_t(LaneCode),
                                  std::uint32_t(std::clamp(v, 0, 127)));
            } else if (LaneKind == 5) {
                msg = PackMidiMsg(0xC0u + ch, std::uint32_t(std::clamp(v, 0, 127)), 0);
            } else {
                const int p = std::clamp(v, -8192, 8191);
                msg = PackMidiMsg(0xE0u + ch, std::uint32_t(p) & 127u,
                                  std::uint32_t((p + 8192) >> 7) & 127u);
            }
            TRendererHold hold;
            if (KeyInsertHeldHook) KeyInsertHeldHook();
            _TPart* p = part;
            InsertEvent(p, NewEvent(StepTick - part->Start, msg));
        }
        Song->SelectLaneEventsAt(part, StepTick - part->Start, LaneCode, LaneKind);
        RepaintLaneNow(); // with the cursor
        UpdateEditbar();
        ScrollListToSelection();
    }
}

void TfmKey::StepMidiInput(std::uint32_t Msg) {
    _TPart* part = ThePart();
    const int note = int(MidiData1(Msg) & 0x7F);
    // A cursor outside the part (past its end after the last step, or before its start after
    // moving to the next part) only lights the keys.
    if (!part || EditMode != 2 || !CursorInside(part, StepTick)) {
        if (IsNoteOn(Msg))
            ShowMidiInKey(note, true);
        else if (IsNoteOff(Msg))
            ShowMidiInKey(note, false);
        return;
    }
    if (IsNoteOn(Msg)) {
        if (StepKeys[std::size_t(note)]) return; // already written in this step
        if (Song->UndoStore->Kind != ukStep) {
            Song->UndoStore->Begin(ukStep, "Undo step");
            Song->UndoStore->AddPart(SnapshotPart(part));
        }
        if (HeldMidiKeys == 0) {
            // Undo takes back the last step, chord and all.
            UnselectEvents(part);
            Song->UndoStore->Begin(ukStep, "Undo step");
            Song->UndoStore->AddPart(SnapshotPart(part));
        }
        const int velocity = std::clamp(StepValue(int(MidiData2(Msg))), 1, 127);
        InsertStepNoteAt(part, StepTick - part->Start, note, velocity);
        DrawNotes(false);
        StepKeys[std::size_t(note)] = true;
        ++HeldMidiKeys;
        RepaintLaneNow();
    } else if (IsNoteOff(Msg)) {
        // Keys not counted in this step (held before it began) change nothing.
        if (!StepKeys[std::size_t(note)]) return;
        StepKeys[std::size_t(note)] = false;
        if (--HeldMidiKeys > 0) return;
        DrawStepCursor(false);
        StepPitch = note;
        StepTick += Song->GridTicks();
        DrawStepCursor(true);
        if (UnselectEvents(part)) DrawNotes(false);
        ScrollListToSelection();
    }
}
