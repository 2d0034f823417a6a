// The edit commands the arrange window, the key editor and the sample-part editor share: each
// takes the edit guard, runs one song operation (which opens its undo step), resumes, and then
// repaints the windows that exist.
#include "app/editcommands.h"

#include "app/arrange.h"
#include "app/main.h"
#include "app/transport.h"
#include "app/transportbar.h"
#include "devices/midi.h"
#include "gui/scroll.h"
#include "platform/core/dialogs.h"
#include "platform/forms/extctrls.h"
#include "song/noteedit.h"
#include "song/primitives.h"
#include "song/quantize.h"
#include "song/song.h"
#include "song/trackout.h"
#include "song/undo.h"

using namespace platform;

TEditCommandSeams& EditCommandSeams() {
    static TEditCommandSeams seams;
    return seams;
}

namespace {

template <class F, class... A> void Run(const F& Fn, A&&... Args) {
    if (Fn) Fn(std::forward<A>(Args)...);
}

// The repaints of the tables' last column.
enum : unsigned {
    rpParts = 1,      // the arrange window's parts marked for redraw
    rpKeyGrid = 2,    // key editor's note grid
    rpKeyLane = 4,    // its controller lane
    rpKeyList = 8,    // its event list
    rpSample = 16,    // the sample-part editor's view
    rpSampleList = 32 // its sample list
};

void RepaintWindows(unsigned What) {
    TEditCommandSeams& s = EditCommandSeams();
    if ((What & rpParts) && fmArrange) fmArrange->RedrawParts(false);
    if (What & rpKeyGrid) Run(s.KeyGrid);
    if (What & rpKeyLane) Run(s.KeyLane);
    if (What & rpKeyList) Run(s.KeyEventList);
    if (What & rpSample) Run(s.SampleView);
    if (What & rpSampleList) Run(s.SampleList);
}

// One guarded song operation: nothing when the guard refuses (False); the repaints after the
// resume, the arrange window's parts only when Change answers True.
template <class F> bool GuardedEdit(TfmMdi* Form, unsigned What, F&& Change) {
    bool partsToo;
    {
        TEditGuard guard(Form);
        if (!guard) return false;
        partsToo = Change();
    }
    RepaintWindows(partsToo ? What | rpParts : What);
    return true;
}

constexpr unsigned kEventsRepaint = rpKeyGrid | rpKeyLane | rpKeyList | rpSample;

// Exactly one part selected: that part, else nil.
_TPart* SoleSelectedPart() {
    return Song->SelectedPartCount() == 1 ? Song->FirstSelectedPart() : nullptr;
}

int PartTrackMode(const _TPart* Part) {
    const _TTrack* t = Song->TrackAt(Part->Track);
    return t ? int(t->Mode) : -1;
}

void Refusal(std::string_view Text, std::string_view Caption) {
    MessageBox(Text, Caption, MB_OK | MB_ICONINFORMATION);
}

// Deletes the selected parts' events that Select marks, the copies of the parts saved first;
// After runs once each part is done.
template <class F, class G>
void DeleteInSelectedParts(std::string_view Caption, F&& Select, G&& After) {
    Song->UndoStore->Begin(ukEdit, Caption);
    ForSelectedParts(*Song, false, [&](_TTrack*, _TPart* p) {
        p->Flags |= pfRedraw;
        Song->UndoStore->AddPart(SnapshotPart(p));
        Select(p);
        DeleteSelectedEvents(p);
        After();
    });
}

} // namespace

void TfmMdi::QuantizeSelection(bool SelectedOnly) {
    GuardedEdit(this, rpKeyGrid | rpKeyLane | rpSample,
                [&] { return Song->QuantizeSelectedParts(Song->GridTicks(), SelectedOnly); });
}

void TfmMdi::LegatoSelection(bool SelectedOnly) {
    GuardedEdit(this, kEventsRepaint, [&] {
        Song->LegatoSelectedParts(SelectedOnly);
        return false;
    });
}

void TfmMdi::SetNoteLengths(int Ticks, bool SelectedOnly) {
    GuardedEdit(this, kEventsRepaint, [&] {
        Song->LengthSelectedParts(Ticks, SelectedOnly);
        return false;
    });
}

void TfmMdi::DeleteControllers(int Controller) {
    GuardedEdit(this, rpKeyLane | rpKeyList, [&] {
        Song->DeleteControllersSelectedParts(Controller);
        return false;
    });
}

void TfmMdi::DeleteAweNrpns(int Param) {
    GuardedEdit(this, rpKeyLane | rpKeyList, [&] {
        Song->DeleteParamsSelectedParts(Param);
        return false;
    });
}

void TfmMdi::DeleteStatusEvents(int Status) {
    GuardedEdit(this, rpKeyLane | rpKeyList, [&] {
        Song->DeleteStatusSelectedParts(Status);
        return false;
    });
}

void TfmMdi::DeleteDoubleNotes() {
    GuardedEdit(this, rpKeyList, [&] {
        Song->DeleteDoublesSelectedParts();
        return false;
    });
}

void TfmMdi::OverlapNotes(_TPart* Part, bool SelectedOnly) {
    if (!Part) return;
    if (PartTrackMode(Part) != tmMidi) {
        Refusal("Can't do this operation on audio parts", "Overlap");
        return;
    }
    GuardedEdit(this, rpKeyGrid | rpKeyList, [&] {
        ::OverlapNotes(Part, Song->GridTicks(), SelectedOnly);
        return false;
    });
}

bool TfmMdi::ApplyGroove(const _TGroovesItem* Groove, bool SelectedOnly) {
    return GuardedEdit(this, rpKeyGrid | rpKeyLane | rpKeyList, [&] {
        return Song->GrooveSelectedParts(Song->GridTicks(), Groove, SelectedOnly);
    });
}

void TfmMdi::DeleteEvents(bool SelectedOnly) {
    GuardedEdit(this, kEventsRepaint | rpSampleList, [&] {
        DeleteInSelectedParts(
            "Undo delete",
            [&](_TPart* p) {
                if (!SelectedOnly) SelectAllEvents(p);
            },
            [] {});
        return true;
    });
}

void TfmMdi::DeleteNotes() {
    GuardedEdit(this, 0, [&] {
        // The key editor follows part by part.
        DeleteInSelectedParts(
            "Undo delete notes", [](_TPart* p) { SelectAllNotes(p); },
            [] { RepaintWindows(rpKeyGrid | rpKeyLane | rpKeyList); });
        return true;
    });
}

void TfmMdi::SetGridValue(int Value, std::string_view Caption) {
    // Only whole divisions of a quarter note make a grid.
    if (Value <= 0 || 960 % Value != 0) return;
    Song->EditRes = Value;
    const std::string caption(Caption);
    if (fmArrange && fmArrange->panelRes) fmArrange->panelRes->Caption = caption;
    TEditCommandSeams& s = EditCommandSeams();
    Run(s.KeyGridCaption, caption);
    Run(s.SampleGridCaption, caption);
    Run(s.AutomationGridCaption, caption);
    if (Midi) Midi->SetQ(Song->InputQuantize != 0, Song->GridTicks());
}

void TfmMdi::ToggleSolo(bool FollowCurrent) {
    {
        TEditGuard guard(this);
        if (guard) {
            const int current = Song->CurrentTrackIndex;
            if (Song->SoloTrack == -1 || FollowCurrent) {
                Song->SoloTrack = current;
                for (int i = 0; i < TrackCount; ++i) {
                    _TTrack* t = Song->TrackAt(i);
                    if (i == current) {
                        t->Mute = 0;
                        continue;
                    }
                    TrackAllNotesOff(t);
                    t->Mute = 1;
                }
            } else {
                Song->SoloTrack = -1;
                for (int i = 0; i < TrackCount; ++i)
                    Song->TrackAt(i)->Mute = 0;
                TrackAllNotesOff(Song->TrackAt(current));
            }
        }
    }
    if (fmArrange) fmArrange->tracks->Invalidate();
    const bool down = Song->SoloTrack != -1;
    TEditCommandSeams& s = EditCommandSeams();
    Run(s.ArrangeSolo, down);
    Run(s.KeySolo, down);
    Run(s.SampleSolo, down);
}

void TfmMdi::LocatorsToSelection(bool Pause) {
    _TPart* first = Song->EarliestSelectedPart();
    _TPart* last = Song->LatestSelectedPart();
    if (!first || !last) return;
    const bool guarded = Song->LoopOn && Pause;
    if (guarded && !PausePlayback()) return;
    if (fmArrange) fmArrange->DrawLocators(3, true);
    Song->LeftLocator = first->Start;
    Song->RightLocator = last->Start + last->Length;
    if (fmArrange) fmArrange->DrawLocators(3, true);
    PaintLeftLocator();
    PaintRightLocator();
    if (guarded) ResumePlayback();
}

void TfmMdi::ShowTransposeDialog() {
    if (Song->SelectedPartCount() == 0 || !EditCommandSeams().TransposeDialog) return;
    if (TForm* dialog = EditCommandSeams().TransposeDialog()) ShowModalWithMidiWindow(*dialog);
}

void TfmMdi::ShowComposeNotes(int Mode, int Sample) {
    if (!SoleSelectedPart()) return;
    if (Mode == tmSoftsynth) Mode = tmMidi;
    if (Mode != tmMidi && Mode != tmAudio) {
        Refusal("Can't compose", "Compose");
        return;
    }
    if (!EditCommandSeams().ComposeNotesDialog) return;
    if (TForm* dialog = EditCommandSeams().ComposeNotesDialog(Mode, Sample))
        ShowModalWithMidiWindow(*dialog);
}

void TfmMdi::ShowComposeControllers() {
    _TPart* part = SoleSelectedPart();
    if (!part) return;
    const int mode = PartTrackMode(part);
    if (mode != tmMidi && mode != tmSoftsynth) {
        Refusal("Can't compose audio parts", "Compose");
        return;
    }
    Run(EditCommandSeams().ShowComposeControllers);
}

void TfmMdi::ShowComposeAweNrpn() {
    _TPart* part = SoleSelectedPart();
    if (!part) return;
    if (PartTrackMode(part) != tmMidi) {
        Refusal("Can't compose audio parts", "Compose");
        return;
    }
    Run(EditCommandSeams().ShowComposeAweNrpn);
}

void TfmMdi::ShowEchoDialog() {
    if (EditCommandSeams().ShowEcho && EditCommandSeams().ShowEcho())
        RepaintWindows(rpKeyGrid | rpKeyLane | rpKeyList);
}

void TfmMdi::ShowUserBankDialog() {
    Run(EditCommandSeams().ShowUserBank);
}

void TfmMdi::InstallEditCommands() {
    MdiHooks().ToggleSolo = [this] { ToggleSolo(false); };
    MdiHooks().LocatorsToSelection = [this] { LocatorsToSelection(false); };
}
