// The key editor's keys: the key table by edit mode, the tracker keyboard that plays the
// letter and digit rows as a piano, the step cursors with their selection and preview, and the
// keyboard strip's press preview. Keys the editor does not use go on to the main window.
#include "editors/midi/key.h"

#include "app/arrange.h"
#include "app/main.h"
#include "app/transport.h"
#include "devices/inport.h"
#include "devices/midi.h"
#include "devices/midimsg.h"
#include "gui/dragrect.h"
#include "gui/mscroll.h"
#include "gui/scroll.h"
#include "platform/core/ini.h"
#include "platform/forms/buttons.h"
#include "platform/forms/edit.h"
#include "platform/forms/extctrls.h"
#include "platform/menus/menus.h"
#include "platform/window/input.h"
#include "platform/window/window.h"
#include "song/primitives.h"
#include "song/seams.h"
#include "song/song.h"
#include "song/timebase.h"

#include <algorithm>
#include <string_view>

using namespace platform;

namespace {

constexpr std::string_view kTrackerKeys = "ZSXDCVGBHNJMQ2W3ER5T6Y7UI9O0P";
constexpr TColor kStepCursor = 0x0000FF;

bool IsTrackerKey(std::uint16_t Key) {
    return Key > 0 && Key < 0x80 && kTrackerKeys.find(char(Key)) != std::string_view::npos;
}

_TPart* ThePart() {
    return Song ? Song->CurrentPart : nullptr;
}

void Call(const std::function<void()>& F) {
    if (F) F();
}

void ListToSelection() {
    MidiEditors().UpdateEventListScroll();
}

// Sounds Msg through the thru path to output Port.
void Thru(int Port, std::uint32_t Msg) {
    if (Midi && Midi->InPort) Midi->InPort->PlayThru(Port, Msg);
}

int TrackOutput(int Track) {
    const _TTrack* t = Song ? Song->TrackAt(Track) : nullptr;
    return t ? int(t->Output) : 0;
}

// The song position moved with the play cursor taken off and drawn again.
void MoveSongPositionTo(int Tick) {
    TTransportWindows& w = TransportWindows();
    w.MovePlayCursor(Song->Position, true, false);
    Song->Position = Tick;
    w.PaintSongPosition();
    w.MovePlayCursor(Song->Position, true, false);
}

// A note newly selected by the arrow keys scrolled into view; the changed notes repainted.
void ShowChosenNote(TfmKey& K, _TPart* Part, _TEvent* Chosen) {
    if (Chosen) {
        Chosen->Flags |= efRedraw;
        K.ScrollToEvent(EventTime(Part, Chosen), NoteLength(Part, Chosen));
    }
    K.DrawNotes(false);
    ListToSelection();
    Call(KeyEditorSeams().UpdateEditbar);
}

// Bar scrolled so that Lo..Hi shows in the view of Size pixels from ViewLo.
void ScrollInto(TGuiScrollbar* Bar, int Lo, int Hi, int ViewLo, int Size) {
    if (Hi > ViewLo + Size)
        Bar->SetPosition(Hi - Size);
    else if (Lo < ViewLo)
        Bar->SetPosition(Lo);
    else
        return;
    Bar->Changed();
}

} // namespace

// ---- Key-down ----

void TfmKey::FormKeyDown(TObject* Sender, std::uint16_t& Key, TShiftState Shift) {
    if (dynamic_cast<TEdit*>(ActiveControl())) return; // the field's key
    auto toMain = [&] {
        if (fmMdi) fmMdi->FormKeyDown(Sender, Key, Shift);
    };
    const bool shift = Shift & ssShift, ctrl = Shift & ssCtrl, alt = Shift & ssAlt;
    // Auto-repeat does not start winding again.
    if ((Key == VK_PRIOR || Key == VK_NEXT) && fmMdi && fmMdi->transportTimer.Enabled) {
        Key = 0;
        toMain();
        return;
    }
    if (Key == VK_ESCAPE || Key == VK_OEM_5) {
        if (DragRect && DragRect->Mode != 0 && (GridDrag || LaneDrag)) {
            CancelDrag();
            toMain();
            return;
        }
        if (Key == VK_ESCAPE) {
            Close();
            return;
        }
    }
    if (Key == VK_SPACE && ctrl) {
        TransportWindows().ToggleSynthEditor();
        return;
    }
    _TPart* part = ThePart();
    if (!part) {
        toMain();
        return;
    }
    if (sbKeyb->Down && !shift && !ctrl && !alt) {
        if (IsTrackerKey(Key)) {
            TrackerNoteOn(KeyToNote(Key, TrackerBase));
            return;
        }
        if (Key == VK_OEM_COMMA || Key == VK_OEM_PERIOD) {
            TrackerKeys.ReleaseAll();
            TrackerBase = std::clamp(TrackerBase + (Key == VK_OEM_COMMA ? -12 : 12), 0, 108);
            toMain();
            return;
        }
    }

    const int editRes = std::max(1, int(Song->EditRes));
    const int grid = Song->GridTicks();
    const int step = (shift ? 3840 : 960) / editRes;
    const bool notesSelected = CountSelectedNotes(part) > 0;
    const bool dOrI = EditMode == 0 || EditMode == 1;
    switch (Key) {
    case VK_LEFT:
    case VK_RIGHT: {
        const int dir = Key == VK_LEFT ? -1 : 1;
        if (EditMode == 3) {
            StepMove(dir * step, false);
        } else if (alt) {
            if (EditMode <= 2) ChangeNoteLength(dir * grid, notesSelected);
        } else if (ctrl) {
            if (notesSelected && EditMode <= 2 && MoveSelectedNotes(dir * step, 0, true) &&
                EditMode == 2)
                StepMove(dir * step, true);
        } else if (dOrI) {
            if (dir < 0)
                SelectPreviousNote(shift);
            else
                SelectNextNote(shift);
        } else if (EditMode == 2) {
            if (AnyTrackerKeyHeld() || HeldMidiKeys > 0) {
                StepMove(dir * step, true);
                ChangeNoteLength(dir * grid, true); // the held notes grow or shrink
            } else {
                StepMove(dir * step, false);
            }
        }
        Call(KeyEditorSeams().UpdateEditbar);
        return;
    }
    case VK_UP:
    case VK_DOWN: {
        const int dir = Key == VK_UP ? 1 : -1;
        if (EditMode == 3) {
            {
                TEditGuard guard;
                if (!guard) return;
                Song->ChangeLaneValueAt(part, dir * (shift ? 1 : 8), LaneCode, LaneKind,
                                        StepTick - part->Start);
            }
            RepaintLaneNow();
            RefreshEventList();
        } else if (ctrl && notesSelected) {
            MoveSelectedNotes(0, dir * (shift ? 12 : 1), false);
        } else if (alt) {
            if (EditMode == 2 || LaneKind == 0) {
                {
                    TEditGuard guard;
                    if (!guard) return;
                    Song->VelocitySelectedParts(dir * 8, 2, notesSelected);
                }
                key->Invalidate();
                RepaintLaneNow();
                RefreshEventList();
            }
        } else if (EditMode == 2) {
            StepPreviewOff();
            DrawStepCursor(false);
            StepPitch = std::clamp(StepPitch + dir * (shift ? 12 : 1), 0, 127);
            DrawStepCursor(true);
            panelValue->Caption = MidiNoteName(StepPitch);
            SelectAtStepCursor();
            if (miStepPreview->Checked) StepPreviewOn();
        }
        Call(KeyEditorSeams().UpdateEditbar);
        return;
    }
    case VK_HOME:
    case VK_END: {
        const bool end = Key == VK_END;
        if (dOrI) {
            {
                TEditGuard guard;
                if (!guard) return;
                MoveSongPositionTo(end ? part->Start + part->Length : part->Start);
                if (Midi) Midi->AllNotesOff(-1, -1);
            }
            if (Song->State == 0 && ScrollX) {
                ScrollX->SetPosition(end ? ScrollX->Max : 0);
                ScrollX->Changed();
            }
        } else {
            StepMove((end ? part->Start + part->Length - grid : part->Start) - StepTick,
                     EditMode == 2 && (AnyTrackerKeyHeld() || HeldMidiKeys > 0));
        }
        return;
    }
    case VK_INSERT:
        if (shift && !PreviewOn) {
            StepPreviewOn();
        } else {
            if (UnselectEvents(part)) {
                DrawNotes(false);
                RepaintLaneNow();
            }
            InsertStepNote();
        }
        return;
    case VK_DELETE:
        DeleteSelected();
        return;
    case '1':
    case '2':
    case '3':
    case '4':
    case '5':
    case '6':
        if (shift) {
            static constexpr int kRes[] = {64, 32, 16, 8, 4, 2};
            const int res = kRes[Key - '1'];
            SetEditRes(res, std::to_string(res));
            return;
        }
        break;
    case 'K':
        if (ctrl && shift) {
            sbKeyb->Down = !sbKeyb->Down;
            sbKeyb->Click();
            return;
        }
        break;
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
    case VK_F2:
    case VK_F3:
    case VK_F4:
    case VK_F5:
        EnterMode(Key - VK_F2);
        return;
    case VK_F8:
        ChooseLane();
        return;
    case VK_NUMPAD1:
    case VK_NUMPAD2:
    case VK_NUMPAD3:
        if (EditMode == 2) {
            DrawStepCursor(false);
            toMain();
            DrawStepCursor(false);
            return;
        }
        break;
    case VK_PRIOR:
        if (fmMdi) fmMdi->StartFastForward(fmMdi->WindStep);
        return;
    case VK_NEXT:
        if (fmMdi) fmMdi->StartRewind(fmMdi->WindStep);
        return;
    default:
        break;
    }
    toMain();
}

// Moves the step cursor by Delta ticks, not before the part's start; in step-notes mode not
// past its last step. KeepSelection: the notes stay selected (they moved or are held).
void TfmKey::StepMove(int Delta, bool KeepSelection) {
    _TPart* part = ThePart();
    if (!part) return;
    const int grid = Song->GridTicks();
    std::int64_t to = std::max<std::int64_t>(std::int64_t(StepTick) + Delta, part->Start);
    if (EditMode == 2)
        to = std::min<std::int64_t>(to, std::int64_t(part->Start) + part->Length - grid);
    to = std::max<std::int64_t>(to, part->Start);
    if (EditMode == 3) {
        DrawLaneStepCursor(false);
        StepTick = int(to);
        Song->SelectLaneEventsAt(part, StepTick - part->Start, LaneCode, LaneKind);
        RepaintLaneNow(); // draws the lane cursor again
        ListToSelection();
        return;
    }
    DrawStepCursor(false);
    StepTick = int(to);
    DrawStepCursor(true);
    if (KeepSelection) return;
    SelectAtStepCursor();
    if (miStepPreview->Checked && !PreviewOn) StepPreviewOn();
}

// ---- Key-up ----

void TfmKey::FormKeyUp(TObject* Sender, std::uint16_t& Key, TShiftState Shift) {
    if (dynamic_cast<TEdit*>(ActiveControl())) return;
    // A held tracker key ends at its release whatever the modifiers and the switch are by then.
    if (IsTrackerKey(Key)) {
        const int note = KeyToNote(Key, TrackerBase);
        if (TrackerKeys.Down[std::size_t(note)]) TrackerNoteOff(note);
    }
    if (PreviewOn) {
        if (Key == VK_LEFT || Key == VK_UP || Key == VK_RIGHT || Key == VK_DOWN ||
            Key == VK_INSERT) {
            StepPreviewOff();
            PreviewOn = 0;
        }
        return;
    }
    if (fmMdi) fmMdi->FormKeyUp(Sender, Key, Shift);
}

// ---- Selecting notes one by one ----

void TfmKey::SelectPreviousNote(bool Shift) {
    _TPart* part = ThePart();
    if (!part || !part->Events) return;
    _TEvent* first = FirstNoteOn(part, -1);
    _TEvent* chosen = nullptr;
    if (CountSelectedNotes(part) == 0) {
        if (UnselectEvents(part)) RepaintLaneNow();
        for (_TEvent* e = first; e; e = NextNoteOn(e, -1))
            chosen = e;
        if (chosen) SelectNote(part, chosen);
    } else if (first && !(first->Flags & efSelected)) {
        _TEvent* firstSel = FirstSelectedNote(part, -1);
        for (_TEvent* e = first; e && e != firstSel; e = NextNoteOn(e, -1))
            chosen = e;
        if (!Shift) UnselectEvents(part);
        if (chosen) SelectNote(part, chosen);
    } else if (!Shift) {
        UnselectEvents(part);
    }
    ShowChosenNote(*this, part, chosen);
}

void TfmKey::SelectNextNote(bool Shift) {
    _TPart* part = ThePart();
    if (!part || !part->Events) return;
    _TEvent* chosen = nullptr;
    if (CountSelectedNotes(part) == 0) {
        if (UnselectEvents(part)) RepaintLaneNow();
        chosen = FirstNoteOn(part, -1);
        if (chosen) SelectNote(part, chosen);
    } else if (Shift) {
        if (_TEvent* last = LastSelectedNote(part, -1)) chosen = NextNoteOn(last, -1);
        if (chosen) SelectNote(part, chosen);
    } else {
        for (_TEvent* e = FirstSelectedNote(part, -1); e; e = NextNoteOn(e, -1))
            if (!(e->Flags & efSelected)) {
                chosen = e;
                break;
            }
        UnselectEvents(part);
        if (chosen) SelectNote(part, chosen);
    }
    ShowChosenNote(*this, part, chosen);
}

// ---- Tracker keyboard ----

bool TfmKey::AnyTrackerKeyHeld() const {
    return std::any_of(TrackerKeys.Down.begin(), TrackerKeys.Down.end(), [](bool b) { return b; });
}

void TfmKey::TrackerNoteOn(int Note) {
    _TPart* part = ThePart();
    if (!part || Note < 0 || Note > 127 || TrackerKeys.Down[std::size_t(Note)]) return;
    const _TTrack* track = Song->CurrentTrack();
    const std::uint32_t status = 0x90u + Song->CurrentChannel();
    Thru(track ? int(track->Output) : 0, PackMidiMsg(status, std::uint32_t(Note), 64));
    TrackerKeys.Down[std::size_t(Note)] = true;
    if (EditMode == 2) DrawStepCursor(false);
    StepPitch = Note;
    if (EditMode == 2) {
        DrawStepCursor(false);
        InsertStepNote();
    } else if (Song->State == 1) {
        Caption = "*********";
        if (Midi) Midi->RecordEvent(PackMidiMsg(0x90, std::uint32_t(Note), 64));
    }
}

void TfmKey::TrackerNoteOff(int Note) {
    if (Note < 0 || Note > 127) return;
    const _TTrack* track = Song ? Song->CurrentTrack() : nullptr;
    const std::uint32_t status = 0x90u + (Song ? Song->CurrentChannel() : 0);
    Thru(track ? int(track->Output) : 0, PackMidiMsg(status, std::uint32_t(Note), 0));
    TrackerKeys.Down[std::size_t(Note)] = false;
    if (!Song) return;
    if (Song->State == 1 && Midi) Midi->RecordEvent(PackMidiMsg(0x80, std::uint32_t(Note), 0));
    _TPart* part = ThePart();
    if (EditMode == 2 && part && !AnyTrackerKeyHeld()) {
        const int grid = Song->GridTicks();
        DrawStepCursor(false);
        StepTick += grid;
        if (std::int64_t(StepTick) >= std::int64_t(part->Start) + part->Length)
            StepTick = part->Start + part->Length - grid;
        DrawStepCursor(true);
        SelectAtStepCursor();
    }
}

void TfmKey::SetTrackerKeyboard(bool On) {
    miMute->ShortCut = On ? 0 : ShortCut('M');
    miSolo->ShortCut = On ? 0 : ShortCut('S');
}

// ---- Deleting ----

void TfmKey::DeleteKeyEvents() {
    _TPart* part = ThePart();
    if (fmMdi) fmMdi->DeleteEvents(part && CountSelectedEvents(part) > 0);
}

// ---- Step cursors ----

TRect TfmKey::StepCursorRect() const {
    const _TPart* part = ThePart();
    const int start = part ? part->Start : 0;
    const int x1 = TickToFloorX(std::int64_t(StepTick) - start) - 1;
    const int x2 = x1 + 1 + TickToFloorX(Song ? Song->GridTicks() : 60);
    const int y1 = NoteToKeyY(StepPitch);
    return {x1, y1, x2, y1 + NoteHeight + 1};
}

namespace {

void XorFrame(TCanvas& C, const TRect& R) {
    C.Pen.Mode = pmXor;
    C.Pen.Style = psSolid;
    C.Pen.Width = 2;
    C.Pen.Color = kStepCursor;
    C.Brush.Style = bsClear;
    C.Rectangle(R.Left, R.Top, R.Right, R.Bottom);
    C.Pen.Mode = pmCopy;
    C.Pen.Width = 1;
    C.Brush.Style = bsSolid;
}

} // namespace

void TfmKey::DrawStepCursorOn(TCanvas& C) {
    XorFrame(C, StepCursorRect());
}

void TfmKey::DrawLaneStepCursorOn(TCanvas& C) {
    const TRect r = StepCursorRect();
    XorFrame(C, {r.Left, 0, r.Right, LaneH()});
}

void TfmKey::DrawStepCursor(bool Scroll) {
    if (!ThePart() || !key) return;
    const TRect r = StepCursorRect();
    if (key->HandleAllocated()) {
        TCanvas& c = key->Canvas();
        key->ApplyOrigin();
        DrawStepCursorOn(c);
    }
    if (panelValue) panelValue->Caption = MidiNoteName(StepPitch);
    if (!Scroll || !ScrollX || !ScrollY) return;
    ScrollInto(ScrollX, r.Left, r.Right, -key->OffsetX, key->GetClientWidth());
    ScrollInto(ScrollY, r.Top, r.Bottom, -key->OffsetY, key->GetClientHeight());
}

void TfmKey::DrawLaneStepCursor(bool Scroll) {
    if (!ThePart() || !control) return;
    if (control->HandleAllocated()) {
        TCanvas& c = control->Canvas();
        control->ApplyOrigin();
        DrawLaneStepCursorOn(c);
    }
    if (!Scroll || !ScrollX) return;
    const TRect r = StepCursorRect();
    ScrollInto(ScrollX, r.Left, r.Right, -control->OffsetX, control->GetClientWidth());
}

void TfmKey::SelectAtStepCursor() {
    _TPart* part = ThePart();
    if (!part) return;
    UnselectEvents(part);
    const int s = StepTick - part->Start;
    ToggleNotesInArea(part, s, StepPitch, s + Song->GridTicks() - 1, StepPitch);
    DrawNotes(false);
    ListToSelection();
    UpdateEditbar();
}

// ---- Step preview ----

void TfmKey::StepPreviewOn() {
    _TPart* part = ThePart();
    if (!part) return;
    PreviewPort = TrackOutput(part->Track);
    PreviewMsg = PackMidiMsg(0x90u + Song->TrackChannel(part->Track), std::uint32_t(StepPitch), 64);
    Thru(PreviewPort, PreviewMsg);
    PreviewOn = 1;
}

// Ends the note the preview started, though a tracker key may have moved the step pitch since.
void TfmKey::StepPreviewOff() {
    if (!PreviewOn) return;
    Thru(PreviewPort, PreviewMsg & 0xFFFFu);
}

// ---- Keyboard strip ----

void TfmKey::KeyboardMouseDown(int Y) {
    ActiveControl = nullptr;
    if (!Song || !Song->CurrentTrack()) return;
    SetCapture(Keyboard->Handle());
    const int note = KeyYToNote(Y - Keyboard->OffsetY);
    if (note < 0 || note > 127) return;
    KeyboardPort = int(Song->CurrentTrack()->Output);
    KeyboardMsg = PackMidiMsg(0x90u + Song->CurrentChannel(), std::uint32_t(note), 64);
    Thru(KeyboardPort, KeyboardMsg);
}

void TfmKey::KeyboardMouseUp() {
    if (GetCapture() == Keyboard->Handle()) ReleaseCapture();
    if (KeyboardPort < 0) return;
    Thru(KeyboardPort, KeyboardMsg & 0xFFFFu);
    KeyboardPort = -1;
}
