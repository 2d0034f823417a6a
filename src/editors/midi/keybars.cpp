// The key editor's toolbar and edit bar: the mode buttons, Mute, previous and next part, the
// tempo field, the edit resolution, the buttons that move and lengthen notes, and the fields
// that show and change the time, channel, note and length of the selection.
#include "editors/midi/key.h"

#include "app/arrange.h"
#include "app/filemenu.h"
#include "app/main.h"
#include "app/options.h"
#include "app/transport.h"
#include "devices/audio.h"
#include "devices/midi.h"
#include "devices/midimsg.h"
#include "gui/scroll.h"
#include "platform/core/dialogs.h"
#include "platform/forms/buttons.h"
#include "platform/forms/edit.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/memo.h"
#include "platform/menus/menus.h"
#include "platform/window/window.h"
#include "song/primitives.h"
#include "song/song.h"
#include "song/timebase.h"
#include "song/undo.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace platform;

namespace {

_TPart* ThePart() {
    return Song ? Song->CurrentPart : nullptr;
}

// Digits and backspace only; Enter runs OnEnter.
void DigitsField(TEdit* E, std::function<void()> OnEnter) {
    E->OnKeyPress = [OnEnter = std::move(OnEnter)](TObject*, char32_t& Key) {
        if (Key == U'\r') {
            Key = 0;
            OnEnter();
        } else if (!(Key >= U'0' && Key <= U'9') && Key != U'\b') {
            Key = 0;
        }
    };
}

std::string Format(const char* F, int V) {
    char b[16];
    std::snprintf(b, sizeof b, F, V);
    return b;
}

struct TRes {
    const char* Caption;
    int Res;
};
constexpr TRes kResolutions[] = {{"64", 64}, {"32", 32}, {"16", 16},  {"8", 8},    {"4", 4},
                                 {"2", 2},   {"1", 1},   {"64T", 96}, {"32T", 48}, {"16T", 24},
                                 {"8T", 12}, {"4T", 6},  {"2T", 3}};

} // namespace

void TfmKey::BindBars() {
    TSpeedButton* modes[] = {sbDefault, sbInsert, sbStep, sbStepCtrl};
    for (int m = 0; m < 4; ++m)
        modes[m]->OnClick = [this, m](TObject*) { EnterMode(m); };
    sbMute->OnClick = [this](TObject*) {
        _TPart* part = ThePart();
        if (part && fmArrange) fmArrange->ToggleTrackMute(part->Track);
        UpdateMuteButton();
    };
    sbPrior->OnClick = [this](TObject*) { MovePart(false); };
    sbNext->OnClick = [this](TObject*) { MovePart(true); };

    DigitsField(editBpm, [this] { SetTempoText(std::atoi(editBpm->Text().c_str()), true); });
    editBpm->OnDblClick = [this](TObject*) {
        if (!fmOptions || fmOptions->memoTempo->Lines.Count() == 0) return;
        const std::string& line = fmOptions->memoTempo->Lines[0];
        SetTempoText(std::atoi(line.c_str()), false); // atoi skips the leading blanks
        if (fmArrange) editBpm->Text = fmArrange->editBpm->Text();
    };
    SpeedButton4->OnClick = [this](TObject*) {
        SetTempoText(std::atoi(editBpm->Text().c_str()) + 1, true);
    };
    SpeedButton8->OnClick = [this](TObject*) {
        SetTempoText(std::atoi(editBpm->Text().c_str()) - 1, true);
    };
    BuildResMenu();
    panelRes->OnMouseUp = [this](TObject*, TMouseButton, TShiftState, int, int) {
        const TPoint p = panelRes->ClientToScreen({0, panelRes->Height});
        Popupres->Popup(p.X, p.Y);
    };

    sbMoveLeft1->OnClick = [this](TObject*) { MoveButtonClick(-1, 0); };
    sbMoveRight1->OnClick = [this](TObject*) { MoveButtonClick(1, 0); };
    sbMoveUp12->OnClick = [this](TObject*) { MoveButtonClick(0, 12); };
    sbMoveDown12->OnClick = [this](TObject*) { MoveButtonClick(0, -12); };
    sbMoveUp1->OnClick = [this](TObject*) { MoveButtonClick(0, 1); };
    sbMoveDown1->OnClick = [this](TObject*) { MoveButtonClick(0, -1); };
    auto length = [this](int Dir) {
        _TPart* part = ThePart();
        if (part) ChangeNoteLength(Dir * Song->GridTicks(), CountSelectedNotes(part) > 0);
    };
    sbLengthLeft->OnClick = [length](TObject*) { length(-1); };
    sbLengthRight->OnClick = [length](TObject*) { length(1); };

    for (TEdit* e : {editBars, editBeats, editTicks}) {
        DigitsField(e, [this] { ApplyEditbarTime(); });
        e->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int, int) {
            for (TEdit* f : {editBars, editBeats, editTicks})
                f->TabStop = true;
        };
    }
    DigitsField(editCh, [this] { ApplyEditbarChannel(); });
    editNote->OnKeyPress = [this](TObject*, char32_t& Key) {
        if (Key == U'\r') {
            Key = 0;
            ApplyEditbarNote();
        }
    };
    DigitsField(editLength, [this] { ApplyEditbarLength(); });
}

// ---- Tempo ----

// Bpm (clamped to 10..250 when Clamp) becomes the tempo, told to the plug-ins and shown in every
// tempo field; the focus leaves the field.
void TfmKey::SetTempoText(int Bpm, bool Clamp) {
    if (Clamp) Bpm = std::clamp(Bpm, 10, 250);
    if (Midi) Midi->SetTempo(Bpm);
    if (fmMdi) fmMdi->BroadcastTempo();
    editBpm->Text = std::to_string(Bpm);
    FileMenuWindows().ShowTempo(Bpm);
    ActiveControl = nullptr;
}

// ---- Edit resolution ----

void TfmKey::BuildResMenu() {
    Popupres->Items->Clear();
    for (const TRes& r : kResolutions) {
        auto* i = new TMenuItem(r.Caption, [this, r](TMenuItem*) { SetEditRes(r.Res, r.Caption); });
        i->Tag = r.Res;
        Popupres->Items->Add(i);
    }
}

void TfmKey::SetEditRes(int Res, const std::string& Caption) {
    if (EditMode == 2) DrawStepCursor(false);
    if (EditMode == 3) DrawLaneStepCursor(false);
    if (fmMdi) fmMdi->SetGridValue(Res, Caption);
    if (EditMode == 2) DrawStepCursor(false);
    _TPart* part = ThePart();
    if (EditMode == 3 && part) {
        Song->SelectLaneEventsAt(part, StepTick - part->Start, LaneCode, LaneKind);
        RepaintLaneNow(); // with the cursor
        RepaintList();
    } else if (EditMode == 3) {
        DrawLaneStepCursor(false);
    }
}

// ---- Previous and next part ----

void TfmKey::MovePart(bool Next) {
    _TPart* part = ThePart();
    if (!part) return;
    _TPart* to = nullptr;
    if (Next) {
        to = part->Next;
    } else if (const _TTrack* t = Song->TrackAt(part->Track)) {
        for (_TPart* p = t->Parts; p && p->Start < part->Start; p = p->Next)
            to = p;
    }
    if (!to) return;
    part->Flags = (part->Flags & ~pfSelected) | pfRedraw;
    Song->SetCurrentPart(to);
    to->Flags |= pfSelected | pfRedraw;
    BindPart(to);
    Caption = to->Name;
    if (fmArrange) fmArrange->RedrawParts(false);
    meter->Invalidate();
    key->Invalidate();
    RepaintLaneNow();
    RefreshEventList();
    UpdateHScrollRange();
    UpdatePartButtons();
}

// ---- Edit bar ----

void TfmKey::MoveButtonClick(int DeltaSteps, int DeltaNotes) {
    _TPart* part = ThePart();
    if (!part) return;
    const bool notes = CountSelectedNotes(part) > 0;
    if (!notes) SelectAllEvents(part);
    if (DeltaSteps)
        MoveSelectedNotes(DeltaSteps * (960 / std::max(1, int(Song->EditRes))), 0, notes);
    else
        MoveSelectedNotes(0, DeltaNotes, false);
    if (!notes) UnselectEvents(part);
    UpdateEditbar();
}

void TfmKey::UpdateEditbar() {
    for (TEdit* e : {editBars, editBeats, editTicks, editCh})
        e->Text = "";
    std::string value, note, length;
    _TPart* part = ThePart();
    if (part && (CountSelectedNotes(part) == 1 || CountSelectedEvents(part) == 1)) {
        int t = part->Start;
        for (_TEvent* e = part->Events; e; e = e->Next) {
            t += e->Delta;
            if (!(e->Flags & efSelected) || IsNoteOff(e->Msg)) continue;
            const std::uint32_t st = MidiStatus(e->Msg);
            if (IsNoteOn(e->Msg)) {
                if (LaneKind == 0) value = std::to_string(MidiData2(e->Msg));
                note = MidiNoteName(int(MidiData1(e->Msg)));
                length = std::to_string(NoteLength(part, e) + 1);
            } else if (st == 0xB0 && LaneKind == 2 && int(MidiData1(e->Msg)) == LaneCode) {
                value = std::to_string(MidiData2(e->Msg));
            } else if (st == 0xC0 && LaneKind == 5) {
                value = std::to_string(MidiData1(e->Msg));
            } else if (st == 0xE0 && LaneKind == 1) {
                value = std::to_string(int(128 * MidiData2(e->Msg) + MidiData1(e->Msg)) - 8192);
            }
            int bar = 0, beat = 0, tick = 0;
            SplitPosition(t, bar, beat, tick);
            editBars->Text = Format("%0.4d", bar);
            editBeats->Text = Format("%0.2d", beat);
            editTicks->Text = Format("%0.3d", tick);
            editCh->Text = std::to_string((e->Msg & 0x0F) + 1);
            break;
        }
    }
    editVel->Text = value;
    editNote->Text = note;
    editLength->Text = length;
    // The menu items' shortcuts follow the selection.
    PrepareMenus();
}

void TfmKey::ApplyEditbarTime() {
    _TPart* part = ThePart();
    if (part && !editBars->Text().empty() && !editBeats->Text().empty() &&
        !editTicks->Text().empty()) {
        const int t =
            ParsePosition(std::atoi(editBars->Text().c_str()), std::atoi(editBeats->Text().c_str()),
                          std::atoi(editTicks->Text().c_str()));
        if (t >= part->Start && std::int64_t(t) < std::int64_t(part->Start) + part->Length) {
            const int to = t - part->Start;
            Song->UndoStore->Begin(ukSingle, "Undo time");
            Song->UndoStore->AddPart(SnapshotPart(part));
            const bool all = CountSelectedEvents(part) == 0;
            bool noteMoved = false;
            {
                // Softsynth queues walk the part: absolute times and the sort are no list of
                // theirs.
                TRendererHold hold;
                if (KeyInsertHeldHook) KeyInsertHeldHook();
                EventsToAbsolute(part);
                for (_TEvent* e = part->Events; e; e = e->Next) {
                    if (!all && !(e->Flags & efSelected)) continue;
                    if (IsNoteOn(e->Msg)) {
                        const int delta = to - e->Delta;
                        const std::uint32_t k = MidiData1(e->Msg);
                        for (_TEvent* o = e->Next; o; o = o->Next)
                            if (IsNoteOff(o->Msg) && MidiData1(o->Msg) == k) {
                                o->Delta = int(std::min<std::int64_t>(
                                    std::int64_t(o->Delta) + delta, part->Length - 1));
                                break;
                            }
                        e->Delta = to;
                        e->Flags |= efRedraw;
                        noteMoved = true;
                    } else if (!IsNoteOff(e->Msg)) {
                        e->Delta = to;
                    }
                }
                SortPartEvents(part);
                EventsToDelta(part);
            }
            {
                // Playback starts again over the change.
                TEditGuard guard;
            }
            if (noteMoved) key->Invalidate();
            RepaintList();
            RepaintLaneNow();
        } else {
            const std::string text = "Time must be between " + FormatPosition(part->Start) +
                                     " and " + FormatPosition(part->Start + part->Length - 1) +
                                     "\n\nBars starting from 0001\nBeats 01 - " +
                                     Format("%0.2d", Song->BeatsPerBar) + "\nTicks 000 - 239";
            MessageBox(text, "Edit time", MB_OK | MB_ICONINFORMATION);
        }
    }
    ActiveControl = nullptr;
    for (TEdit* e : {editBars, editBeats, editTicks})
        e->TabStop = false;
    UpdateEditbar();
}

void TfmKey::ApplyEditbarChannel() {
    _TPart* part = ThePart();
    const std::string text = editCh->Text();
    if (part && !text.empty()) {
        const int ch = std::atoi(text.c_str());
        if (ch >= 1 && ch <= 16) {
            Song->UndoStore->Begin(ukSingle, "Undo ch");
            Song->UndoStore->AddPart(SnapshotPart(part));
            const bool all = CountSelectedEvents(part) == 0;
            TRendererHold hold; // the queues read the statuses
            if (KeyInsertHeldHook) KeyInsertHeldHook();
            for (_TEvent* e = part->Events; e; e = e->Next)
                // Events of status $F0 carry no channel in that nibble.
                if ((all || (e->Flags & efSelected)) && (e->Msg & 0xF0) != 0xF0)
                    e->Msg = (e->Msg & ~0x0Fu) | std::uint32_t(ch - 1);
        } else {
            editCh->Text = "";
        }
        RepaintList();
    }
    ActiveControl = nullptr;
}

void TfmKey::ApplyEditbarNote() {
    _TPart* part = ThePart();
    const int note = NoteFromName(editNote->Text());
    if (part && note >= 0) {
        {
            TEditGuard guard;
            if (!guard) return;
            Song->SetPitchSelectedParts(note, CountSelectedNotes(part) > 0);
        }
        key->Invalidate();
    }
    ActiveControl = nullptr;
}

void TfmKey::ApplyEditbarLength() {
    _TPart* part = ThePart();
    if (part && !editLength->Text().empty()) {
        int v = std::atoi(editLength->Text().c_str());
        if (v < 1) {
            v = 1;
            editLength->Text = "1";
        }
        if (fmMdi) fmMdi->SetNoteLengths(v, CountSelectedNotes(part) > 0);
    }
    ActiveControl = nullptr;
}
