// The arrange window's commands on the selected parts: the rows of its Edit, Part and Sequence
// menus and of the parts popup, their enabling (set each time a menu opens, and before its keys
// are matched), undo, paste, the part commands of the song, and inserting or cutting the area
// between the locators. Commands that change the song run in the edit guard.
#include "app/arrange.h"
#include "app/editcommands.h"
#include "app/main.h"
#include "app/transport.h"
#include "app/transportbar.h"
#include "gui/scroll.h"
#include "platform/core/dialogs.h"
#include "platform/forms/extctrls.h"
#include "platform/menus/menus.h"
#include "platform/window/input.h"
#include "song/primitives.h"
#include "song/seams.h"
#include "song/song.h"
#include "song/undo.h"

#include <algorithm>

using namespace platform;

namespace {

bool Recording() {
    return Song->State == 1;
}

int Selected() {
    return Song->SelectedPartCount();
}

// A current part on a MIDI or softsynth track.
bool CurrentPartIsMidi() {
    _TTrack* t = Song->CurrentPartTrack();
    return Song->CurrentPart && t && (t->Mode == tmMidi || t->Mode == tmSoftsynth);
}

// Every part from From on moves by By ticks.
void ShiftPartsFrom(int From, int By) {
    for (int i = 0; i < TrackCount; ++i)
        for (_TPart* p = Song->TrackAt(i)->Parts; p; p = p->Next)
            if (p->Start >= From) {
                p->Start += By;
                p->Flags |= pfRedraw;
            }
}

// The step a split left becomes the area's: Undo moves the parts from To back to From and puts
// the saved parts back.
void AreaUndoStep(const char* Caption, int From, int To) {
    TUndo& u = *Song->UndoStore;
    u.Caption = Caption;
    u.Kind = ukArea;
    u.Arg1 = From;
    u.Arg2 = To;
}

template <class F> void InGuard(F Change) {
    TEditGuard guard;
    if (guard) Change();
}

} // namespace

TMenuItem* TfmArrange::MenuRow(TMenuItem* Parent, int Index, const std::string& Caption,
                               TShortCut Key, std::function<void(TMenuItem*)> Click) {
    auto* i = new TMenuItem(Caption, std::move(Click));
    i->ShortCut = Key;
    Parent->Insert(Index < 0 ? Parent->Count() : Index, i);
    return i;
}

void TfmArrange::BuildPartCommands() {
    // Edit: Undo before "Edit part"; Paste, Copy and Cut after it.
    TMenuItem* edit = miEditPart->Parent();
    int at = miEditPart->MenuIndex();
    miUndo = MenuRow(edit, at, "&Undo", ShortCut('Z', scCtrl), [this](TMenuItem*) { UndoClick(); });
    at = miEditPart->MenuIndex() + 1;
    miPaste =
        MenuRow(edit, at++, "&Paste", ShortCut('V', scCtrl), [this](TMenuItem*) { PasteParts(); });
    miCopy = MenuRow(edit, at++, "&Copy", 0, nullptr);
    miCut = MenuRow(edit, at++, "C&ut", 0, nullptr);
    edit->OnClick = edit->OnRefresh = [this](TMenuItem*) { RefreshEditMenu(); };

    // Part: the commands between "Insert" and "X-Ray".
    TMenuItem* part = miInsert->Parent();
    at = miInsert->MenuIndex() + 1;
    auto row = [&](const std::string& Caption, TShortCut Key,
                   std::function<void(TMenuItem*)> Click) {
        return MenuRow(part, at++, Caption, Key, std::move(Click));
    };
    miDelete = row("&Delete", ShortCut(VK_DELETE), [this](TMenuItem*) { DeleteParts(); });
    miDelete->OnAcceptKey = [this](TMenuItem*) { return ActiveControl() == nullptr; };
    miDeleteEvents = row("&Delete", 0, nullptr);
    BuildDeleteEvents(miDeleteEvents, false);
    miVelocity = row("&Velocity...", ShortCut('V', scShift), [](TMenuItem*) { VelocityClick(); });
    miVelocity->OnAcceptKey = [this](TMenuItem*) { return ActiveControl() == nullptr; };
    miTranspose = row("&Transpose...", ShortCut('T', scCtrl), [](TMenuItem*) {
        if (fmMdi && Selected() > 0) fmMdi->ShowTransposeDialog();
    });
    miQuantize = row("&Quantize", ShortCut('Q', scCtrl), [](TMenuItem*) {
        if (fmMdi) fmMdi->QuantizeSelection(false);
    });
    miLength = row("L&ength", 0, [](TMenuItem*) { LengthClick(); });
    miLegato = row("&Legato", 0, [](TMenuItem*) { LegatoClick(); });
    miAppend = row("&Append", ShortCut('K', scCtrl), [this](TMenuItem*) { AppendClick(); });
    miMute = row("&Mute", ShortCut('M', scCtrl), [this](TMenuItem*) { MuteClick(); });
    miRename = row("&Rename...", 0, [this](TMenuItem*) { RenameParts(); });
    miGrooves = row("Grooves...", 0, nullptr);
    miGlue = row("&Glue", ShortCut('G', scCtrl), [this](TMenuItem*) { GlueClick(); });
    miCompose = row("&Compose", 0, nullptr);
    BuildCompose(miCompose, false);
    miEcho = row("&Echo...", 0, [](TMenuItem*) {
        if (fmMdi) fmMdi->ShowEchoDialog();
    });
    miOverlap = row("Overlap", 0, nullptr);
    part->OnClick = part->OnRefresh = [this](TMenuItem*) { RefreshPartMenu(); };

    // Sequence: the commands before "Track play position", "Sysex dumps" last.
    TMenuItem* seq = miTrackPlayPosition->Parent();
    at = miTrackPlayPosition->MenuIndex();
    auto srow = [&](const std::string& Caption, TShortCut Key,
                    std::function<void(TMenuItem*)> Click) {
        return MenuRow(seq, at++, Caption, Key, std::move(Click));
    };
    miLoopSelected = srow("&Loop selected parts", ShortCut('P', scCtrl), [](TMenuItem*) {
        if (fmMdi) fmMdi->LocatorsToSelection(true);
    });
    miSplit = srow("&Split selected parts", 0, [this](TMenuItem*) { SplitClick(); });
    miUngroup = srow("&Ungroup", 0, [](TMenuItem*) { Song->UngroupSelectedParts(); });
    miRemix = srow("&Remix selected parts", 0, nullptr);
    miInsertArea = srow("&Insert area", 0, [this](TMenuItem*) { InsertArea(); });
    miCutArea = srow("&Cut area", 0, [this](TMenuItem*) { CutArea(); });
    miGroup = srow("&Group", 0, [](TMenuItem*) { Song->GroupSelectedParts(); });
    miUnmix = srow("U&nmix track by MIDI channel", 0, nullptr);
    miSysexDumps = MenuRow(seq, -1, "&Sysex dumps", 0, nullptr);
    miSysexDumps->Visible = miSysexDumps->Enabled = false;
    seq->OnClick = seq->OnRefresh = [this](TMenuItem*) { RefreshSequenceMenu(); };

    // The parts popup: after "Edit part", "Undo" last.
    TMenuItem* pop = PartsPopup->Items;
    miPopupEditPart = pop->Items(0);
    auto prow = [&](const std::string& Caption, std::function<void(TMenuItem*)> Click) {
        return MenuRow(pop, -1, Caption, 0, std::move(Click));
    };
    miPopupDelete = prow("Delete", [this](TMenuItem*) { DeleteParts(); });
    miPopupDeleteEvents = prow("Delete", nullptr);
    BuildDeleteEvents(miPopupDeleteEvents, true);
    miPopupVelocity = prow("Velocity...", [](TMenuItem*) { VelocityClick(); });
    miPopupTransposeParts = prow("Transpose...", [](TMenuItem*) {
        if (fmMdi && Selected() > 0) fmMdi->ShowTransposeDialog();
    });
    miPopupQuantize = prow("Quantize", [](TMenuItem*) {
        if (fmMdi) fmMdi->QuantizeSelection(false);
    });
    miPopupLength = prow("Length", [](TMenuItem*) { LengthClick(); });
    miPopupLegato = prow("Legato", [](TMenuItem*) { LegatoClick(); });
    miPopupAppend = prow("Append", [this](TMenuItem*) { AppendClick(); });
    miPopupMuteParts = prow("Mute", [this](TMenuItem*) { MuteClick(); });
    miPopupRename = prow("Rename...", [this](TMenuItem*) { RenameParts(); });
    miPopupGrooves = prow("Grooves...", nullptr);
    miPopupGlue = prow("Glue", [this](TMenuItem*) { GlueClick(); });
    miPopupCompose = prow("Compose", nullptr);
    BuildCompose(miPopupCompose, true);
    miPopupEcho = prow("Echo...", [](TMenuItem*) {
        if (fmMdi) fmMdi->ShowEchoDialog();
    });
    miPopupOverlap = prow("Overlap", nullptr);
    miPopupUndo = prow("Undo", nullptr);
    PartsPopup->OnPopup = [this](TPopupMenu*) { RefreshPartsPopup(); };
}

void TfmArrange::BuildDeleteEvents(TMenuItem* Menu, bool Popup) {
    auto add = [Menu](const std::string& Caption, std::function<void(TMenuItem*)> Click) {
        TMenuItem* i = MenuRow(Menu, -1, Caption, 0, std::move(Click));
        return i;
    };
    add(Popup ? "Control change" : "&Control change", [Popup](TMenuItem*) {
        if (!fmMdi) return;
        if (!Popup) {
            fmMdi->DeleteControllers(-1);
            return;
        }
        InGuard([] { Song->DeleteControllersSelectedParts(-1); });
        if (EditCommandSeams().KeyLane) EditCommandSeams().KeyLane();
    });
    add(Popup ? "Notes" : "&Notes", [](TMenuItem*) {
        if (fmMdi) fmMdi->DeleteNotes();
    });
    add(Popup ? "Pitch bend" : "&Pitch bend", [](TMenuItem*) {
        if (fmMdi) fmMdi->DeleteStatusEvents(0xE0);
    });
    add(Popup ? "Program change" : "P&rogram change", [](TMenuItem*) {
        if (fmMdi) fmMdi->DeleteStatusEvents(0xC0);
    });
    add(Popup ? "Double notes" : "&Double notes", [](TMenuItem*) {
        if (fmMdi) fmMdi->DeleteDoubleNotes();
    });
    for (const char* c : {"&Aftertouch", "&Sysex"})
        add(Popup ? std::string(c).erase(0, 1) : c, nullptr)->Enabled = false;
}

void TfmArrange::BuildCompose(TMenuItem* Menu, bool Popup) {
    MenuRow(Menu, -1, Popup ? "Notes..." : "&Notes...", Popup ? 0 : ShortCut('1', scCtrl),
            [](TMenuItem*) {
                _TTrack* t = Song->CurrentTrack();
                if (fmMdi && t) fmMdi->ShowComposeNotes(t->Mode, 0);
            });
    MenuRow(Menu, -1, Popup ? "Controllers..." : "&Controllers...",
            Popup ? 0 : ShortCut('2', scCtrl), [](TMenuItem*) {
                if (fmMdi) fmMdi->ShowComposeControllers();
            });
}

// ---- enabling ------------------------------------------------------------------------------

void TfmArrange::RefreshEditMenu() {
    if (!Song) return;
    const bool rec = Recording();
    miUndo->Caption = Song->UndoStore->Caption;
    miUndo->Enabled = Song->UndoStore->Kind != ukNone && !rec;
    miUndo->Bitmap = UndoBitmap();
    miEditPart->Enabled = Song->CurrentPart && !rec;
    miPaste->Enabled = Song->Clipboard && Song->State == 0;
    miCopy->Enabled = miCut->Enabled = Selected() > 0;
}

void TfmArrange::RefreshPartMenu() {
    if (!Song) return;
    const bool rec = Recording();
    const int n = Selected();
    miInsert->Enabled = !rec;
    for (TMenuItem* i : {miDelete, miDeleteEvents, miVelocity, miTranspose, miQuantize, miLength,
                         miLegato, miAppend, miMute, miRename, miGrooves})
        i->Enabled = n > 0 && !rec;
    miGlue->Enabled = n > 1 && !rec;
    miCompose->Enabled = n == 1 && !rec && CurrentPartIsMidi();
    miEcho->Enabled = miOverlap->Enabled = n == 1 && !rec;
    ResolutionCaptions(miOverlap, miQuantize, miLength);
}

void TfmArrange::RefreshSequenceMenu() {
    if (!Song) return;
    const int n = Selected();
    for (TMenuItem* i : {miLoopSelected, miSplit, miUngroup, miRemix})
        i->Enabled = n > 0;
    miInsertArea->Enabled = miCutArea->Enabled = Song->RightLocator > Song->LeftLocator;
    miGroup->Enabled = n > 1;
    _TTrack* t = Song->CurrentTrack();
    miUnmix->Enabled = t && (t->Mode == tmMidi || t->Mode == tmSoftsynth);
    miTrackPlayPosition->Checked = TrackPlayPosition;
}

void TfmArrange::RefreshPartsPopup() {
    if (!Song) return;
    const int n = Selected();
    miPopupEditPart->Enabled = Song->CurrentPart != nullptr;
    for (TMenuItem* i : {miPopupDelete, miPopupDeleteEvents, miPopupVelocity, miPopupTransposeParts,
                         miPopupQuantize, miPopupLength, miPopupLegato, miPopupAppend,
                         miPopupMuteParts, miPopupRename, miPopupGrooves})
        i->Enabled = n >= 1;
    miPopupGlue->Enabled = n > 1;
    miPopupCompose->Enabled = n == 1 && CurrentPartIsMidi();
    miPopupEcho->Enabled = miPopupOverlap->Enabled = n == 1;
    miPopupUndo->Caption = Song->UndoStore->Caption;
    miPopupUndo->Enabled = Song->UndoStore->Kind != ukNone && !Recording();
    miPopupUndo->Bitmap = UndoBitmap();
    ResolutionCaptions(miPopupOverlap, miPopupQuantize, miPopupLength);
}

void TfmArrange::ResolutionCaptions(TMenuItem* Overlap, TMenuItem* Quantize, TMenuItem* Length) {
    const std::string res = "(" + panelRes->Caption() + ")";
    Overlap->Caption = "Overlap " + res;
    Quantize->Caption = "Quantize " + res;
    Length->Caption = "Length " + res;
}

std::shared_ptr<Surface> TfmArrange::UndoBitmap() const {
    if (!fmMdi || !fmMdi->MenuBitmaps[kUndoMenuBitmap]) return nullptr;
    return std::make_shared<Surface>(fmMdi->MenuBitmaps[kUndoMenuBitmap]->Pixels());
}

// ---- commands ------------------------------------------------------------------------------

void TfmArrange::UndoClick() {
    if (!Song || Song->UndoStore->Kind == ukNone || Recording()) return;
    const int kind = Song->UndoStore->Kind;
    // The undo may leave no current part: the track of the take is noted beforehand.
    int track = Song->CurrentPart ? int(Song->CurrentPart->Track) : -1;
    if (kind == ukRecordNew && !Song->UndoStore->Parts.empty())
        track = Song->UndoStore->Parts.back()->Track;
    {
        TEditGuard guard;
        if (!guard) return;
        Song->Undo();
    }
    arrange->Invalidate();
    if (kind != ukRecordNew) return;
    TEditCommandSeams& s = EditCommandSeams();
    for (auto* view : {&s.SampleView, &s.SampleList})
        if (*view) (*view)();
    if (track >= 0) Song->UpdateSampleChannel(track);
    AudioWindows().RebuildMixer();
    RedrawParts(false);
}

void TfmArrange::PasteParts() {
    if (!Song || !Song->Clipboard || Song->State != 0) return;
    Song->UnselectAllParts();
    MovePlayCursor(Song->Position, true, true);
    const int unit = SnapMode == 2 ? SongBeatsPerBar() * 240 : 240;
    Song->Position = Song->Position - Song->Position % unit;
    TUndo& u = *Song->UndoStore;
    u.Begin(ukAdded, "Undo paste");
    const int at = Song->Position;
    long long latest = at;
    for (const _TPart* c = Song->Clipboard; c; c = c->Next) {
        _TPart* p = CopyPart(c);
        p->Start = c->Start + at;
        p->Flags = pfSelected | pfRedraw;
        p->Track = c->Track;
        p->Next = nullptr;
        latest = std::max(latest, static_cast<long long>(p->Start) + p->Length);
        if (InsertPart(Song->TrackAt(p->Track), p))
            u.AddPart(CopyPart(p));
        else
            FreePart(p);
    }
    Song->Position = int(std::min<long long>(latest, INT32_MAX));
    TransportWindows().PaintSongPosition();
    MovePlayCursor(Song->Position, true, false);
    DrawParts(0);
    if (u.Parts.empty()) u.Begin(ukNone, "Undo");
}

void TfmArrange::DeleteParts() {
    if (!Song || ActiveControl() || Selected() == 0) return;
    InGuard([this] {
        EraseSelectedParts();
        Song->DeleteSelectedParts(true);
    });
}

void TfmArrange::MuteClick() {
    if (!Song || Selected() == 0) return;
    InGuard([] { Song->ToggleSelectedPartsMute(); });
    RedrawParts(false);
}

void TfmArrange::AppendClick() {
    if (!Song || Selected() == 0) return;
    InGuard([] { Song->AppendParts(); });
    RedrawParts(false);
}

void TfmArrange::GlueClick() {
    if (!Song || Selected() < 2) return;
    InGuard([] { Song->GlueParts(); });
    RedrawParts(false);
}

void TfmArrange::LegatoClick() {
    if (fmMdi && Song && Selected() > 0) fmMdi->LegatoSelection(false);
}

void TfmArrange::LengthClick() {
    if (fmMdi && Song && Selected() > 0) fmMdi->SetNoteLengths(Song->GridTicks(), false);
}

void TfmArrange::VelocityClick() {
    if (Song && Selected() >= 1 && EditCommandSeams().ShowVelocity)
        EditCommandSeams().ShowVelocity();
}

void TfmArrange::RenameParts() {
    if (!Song || !ArrangeSeams().AskPartName) return;
    std::string name;
    if (Selected() == 1) name = Song->FirstSelectedPart()->Name;
    if (!ArrangeSeams().AskPartName(name)) return;
    Song->RenameSelectedParts(name);
    RedrawParts(false);
}

void TfmArrange::SplitClick() {
    if (!Song) return;
    InGuard([] { Song->SplitParts(Song->LeftLocator, Song->RightLocator, true); });
    arrange->Invalidate();
}

void TfmArrange::InsertArea() {
    if (!Song) return;
    const int left = Song->LeftLocator, right = Song->RightLocator;
    if (left >= right) return;
    {
        TEditGuard guard;
        if (!guard) return;
        Song->SplitParts(left, left, false);
        Song->UnselectAllParts();
        ShiftPartsFrom(left, right - left);
    }
    arrange->Invalidate();
    AreaUndoStep("&Undo insert area", left, right);
}

void TfmArrange::CutArea() {
    if (!Song) return;
    const int left = Song->LeftLocator, right = Song->RightLocator;
    if (left >= right) return;
    // Disk parts are never split: one across a locator would overlap the parts moved onto it.
    for (int i = 0; i < TrackCount; ++i) {
        _TTrack* t = Song->TrackAt(i);
        if (t->Mode != tmDisk) continue;
        for (_TPart* p = t->Parts; p; p = p->Next) {
            const long long end = static_cast<long long>(p->Start) + p->Length;
            if ((p->Start < left && left < end) || (p->Start < right && right < end)) {
                MessageBox("A part of a disk track lies across a locator and cannot "
                                        "be cut. Move the locators or the part first.",
                                        "Cut area", MB_OK | MB_ICONINFORMATION);
                return;
            }
        }
    }
    {
        TEditGuard guard;
        if (!guard) return;
        Song->UnselectAllParts();
        Song->SplitParts(left, right, false);
        TUndo& u = *Song->UndoStore;
        // The parts inside go first (a part is found by its start), then the rest moves left.
        for (int i = 0; i < TrackCount; ++i)
            for (_TPart* p = Song->TrackAt(i)->Parts; p; p = p->Next) {
                const long long end = static_cast<long long>(p->Start) + p->Length;
                if (p->Start >= left && end <= right && !(p->Flags & pfSelected)) {
                    _TPart* copy = CopyPart(p);
                    copy->Flags = pfSelected | pfBeforeSplit;
                    copy->Next = nullptr;
                    u.AddPart(copy);
                    p->Flags |= pfSelected;
                }
            }
        Song->DeleteSelectedParts(false);
        ShiftPartsFrom(right, left - right);
    }
    arrange->Invalidate();
    AreaUndoStep("&Undo cut area", right, left);
}
