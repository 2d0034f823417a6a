// The key editor's menu commands and the note grid's popup: enabling as each menu opens, the
// commands of its own (undo, selection, the event clipboard, keep, rotate, mute notes, the
// output menu) and the shared commands of the main window with "selected only" passed on.
#include "editors/midi/key.h"

#include "app/arrange.h"
#include "app/editcommands.h"
#include "app/main.h"
#include "app/transport.h"
#include "devices/audio.h"
#include "devices/mfx.h"
#include "devices/midi.h"
#include "devices/midimsg.h"
#include "gui/scroll.h"
#include "platform/core/dialogs.h"
#include "platform/forms/buttons.h"
#include "platform/forms/edit.h"
#include "platform/forms/extctrls.h"
#include "platform/menus/menus.h"
#include "platform/window/input.h"
#include "song/noteedit.h"
#include "song/primitives.h"
#include "song/softengine.h"
#include "song/song.h"
#include "song/trackout.h"
#include "song/undo.h"

#include <algorithm>

using namespace platform;

namespace {

_TPart* ThePart() {
    return Song ? Song->CurrentPart : nullptr;
}

// "Selected only" of the shared commands: a note of the part is selected.
bool NotesSelected() {
    _TPart* p = ThePart();
    return p && CountSelectedNotes(p) > 0;
}

void Call(const std::function<void()>& F) {
    if (F) F();
}

TMenuItem* Add(TMenuItem* Parent, const std::string& Caption,
               std::function<void(TMenuItem*)> Click = nullptr) {
    auto* i = new TMenuItem(Caption, std::move(Click));
    Parent->Add(i);
    return i;
}

bool IsSysex(const _TEvent* E) {
    return MidiStatus(E->Msg) == 0xF0 && MidiData1(E->Msg) == 0;
}

} // namespace

void TfmKey::BindCommands() {
    auto with = [this](void (TfmKey::*F)()) { return [this, F](TMenuItem*) { (this->*F)(); }; };
    auto mdi = [](auto F) {
        return [F](TMenuItem*) {
            if (fmMdi && ThePart()) F(*fmMdi);
        };
    };
    miUndo->OnClick = with(&TfmKey::UndoLast);
    miSelectAllNotes->OnClick = [this](TMenuItem*) {
        _TPart* p = ThePart();
        if (p && SelectAllNotes(p)) SelectionChanged();
    };
    miSelectAllEvents->OnClick = [this](TMenuItem*) {
        _TPart* p = ThePart();
        if (!p) return;
        SelectAllEvents(p);
        SelectionChanged();
    };
    miInvertSelection->OnClick = [this](TMenuItem*) {
        _TPart* p = ThePart();
        if (!p) return;
        InvertSelection(p);
        SelectionChanged();
    };
    static constexpr int kFields[] = {3, 1, 2, 0};
    for (int i = 0; i < 4; ++i)
        miSelectSame->Items(i)->OnClick = [this, i](TMenuItem*) { SelectSameField(kFields[i]); };
    miCopy->OnClick = with(&TfmKey::CopyEvents);
    miPaste->OnClick = with(&TfmKey::PasteEvents);

    miTrack->OnClick = [this](TMenuItem*) { BuildOutputMenu(); };
    miRename->OnClick = [](TMenuItem*) {
        if (fmMdi) fmMdi->ShowRenameTrack();
    };
    miTransposeInput->OnClick = [](TMenuItem*) {
        if (fmMdi) fmMdi->ShowTrackTranspose();
    };
    miMute->OnClick = [this](TMenuItem*) {
        if (Song && fmArrange) fmArrange->ToggleTrackMute(Song->CurrentTrackIndex);
        UpdateMuteButton();
    };

    // The Part menu and its twins in the grid's popup.
    struct TShared {
        const char* Popup;
        std::function<void(TMenuItem*)> Click;
    };
    auto composeNotes = mdi([](TfmMdi& M) {
        const _TTrack* t = Song->TrackAt(ThePart()->Track);
        M.ShowComposeNotes(t ? int(t->Mode) : 0, -1);
    });
    auto composeCtrl = mdi([](TfmMdi& M) { M.ShowComposeControllers(); });
    auto composeAwe = mdi([](TfmMdi& M) { M.ShowComposeAweNrpn(); });
    TMenuItem* compose = miCompose;
    compose->Items(0)->OnClick = composeNotes;
    compose->Items(1)->OnClick = composeCtrl;
    compose->Items(2)->OnClick = composeAwe;
    const std::function<void(TMenuItem*)> deletes[] = {
        mdi([](TfmMdi& M) { M.DeleteAweNrpns(-1); }),
        mdi([](TfmMdi& M) { M.DeleteControllers(-1); }),
        mdi([](TfmMdi& M) { M.DeleteNotes(); }),
        mdi([](TfmMdi& M) { M.DeleteStatusEvents(0xE0); }),
        mdi([](TfmMdi& M) { M.DeleteStatusEvents(0xC0); }),
        mdi([](TfmMdi& M) { M.DeleteDoubleNotes(); }),
    };
    for (int i = 0; i < 6; ++i)
        miDelete->Items(i)->OnClick = deletes[i];
    // The menu's pitch-bend item also refreshes the list.
    miDelete->Items(3)->OnClick = [this, d = deletes[3]](TMenuItem* I) {
        d(I);
        RefreshEventList();
    };
    auto echo = mdi([](TfmMdi& M) { M.ShowEchoDialog(); });
    auto grooves = [](TMenuItem*) {
        if (Song && Song->SelectedPartCount() > 0) Call(EditCommandSeams().ShowGrooves);
    };
    auto legato = mdi([](TfmMdi& M) { M.LegatoSelection(NotesSelected()); });
    auto length = mdi([](TfmMdi& M) { M.SetNoteLengths(Song->GridTicks(), NotesSelected()); });
    auto overlap = mdi([](TfmMdi& M) { M.OverlapNotes(ThePart(), NotesSelected()); });
    auto quantize = [this](TMenuItem*) {
        if (!fmMdi || !ThePart()) return;
        fmMdi->QuantizeSelection(NotesSelected());
        key->Invalidate();
        RepaintLaneNow();
    };
    auto transpose = mdi([](TfmMdi& M) { M.ShowTransposeDialog(); });
    auto velocity = [](TMenuItem*) {
        if (ThePart()) Call(EditCommandSeams().ShowVelocity);
    };
    miEcho->OnClick = echo;
    miGrooves->OnClick = grooves;
    miLegato->OnClick = legato;
    miLength->OnClick = length;
    miOverlap->OnClick = overlap;
    miQuantize->OnClick = [this, quantize](TMenuItem* I) {
        quantize(I);
        RefreshEventList();
    };
    miTranspose->OnClick = transpose;
    miVelocity->OnClick = velocity;

    miEventsDelete->OnClick = with(&TfmKey::DeleteSelected);
    miKeep->OnClick = with(&TfmKey::KeepSelected);
    auto likeSelected = [this](const char* Caption, void (*F)(_TPart*)) {
        return [this, Caption, F](TMenuItem*) {
            _TPart* p = ThePart();
            if (!p) return;
            {
                TEditGuard guard;
                if (!guard) return;
                Song->UndoStore->Begin(ukEdit, Caption);
                Song->UndoStore->AddPart(SnapshotPart(p));
                F(p);
            }
            RefreshEventList();
            key->Invalidate();
            RepaintLaneNow();
        };
    };
    miDeleteSame->OnClick = likeSelected("Undo delete same as selected", DeleteNotesLikeSelected);
    miKeepSame->OnClick = likeSelected("Undo keep same as selected", KeepNotesLikeSelected);
    miStretch->OnClick = [this](TMenuItem*) {
        _TPart* p = ThePart();
        if (!p) return;
        {
            TEditGuard guard;
            if (!guard) return;
            Song->StretchNotesToEnd(p, CountSelectedEvents(p) > 0);
        }
        key->Invalidate();
        RefreshEventList();
    };
    miTimeScale->OnClick = [](TMenuItem*) { Call(EditCommandSeams().ShowTimeScale); };
    auto rotate = [this](int Dir) {
        _TPart* p = ThePart();
        if (!p) return;
        {
            TEditGuard guard;
            if (!guard) return;
            RotateNotes(p, Dir * Song->GridTicks());
        }
        key->Invalidate();
        RepaintLaneNow();
        RefreshEventList();
    };
    miRotateLeft->OnClick = [rotate](TMenuItem*) { rotate(-1); };
    miRotateRight->OnClick = [rotate](TMenuItem*) { rotate(1); };
    miMuteNotes->OnClick = with(&TfmKey::MuteSelectedNotes);

    for (TMenuItem* m : {miEdit, miPart, miEvents})
        m->OnClick = [this](TMenuItem*) { PrepareMenus(); };

    // The grid's popup, on the grid and the list.
    TMenuItem* items = PopupKey->Items;
    Add(items, "Undo", with(&TfmKey::UndoLast));
    Add(items, "-");
    Add(items, "Default mode", [this](TMenuItem*) { EnterMode(0); });
    Add(items, "Insert mode", [this](TMenuItem*) { EnterMode(1); });
    Add(items, "Step mode - notes", [this](TMenuItem*) { EnterMode(2); });
    Add(items, "Step mode - controllers", [this](TMenuItem*) { EnterMode(3); });
    Add(items, "-");
    TMenuItem* c = Add(items, "Compose");
    Add(c, "Notes...", composeNotes);
    Add(c, "Controllers...", composeCtrl);
    Add(c, "AWE NRPN", composeAwe);
    TMenuItem* d = Add(items, "Delete");
    const char* deleteCaptions[] = {"AWE NRPN",   "Control change", "Notes",
                                    "Pitch bend", "Program change", "Double notes"};
    for (int i = 0; i < 6; ++i)
        Add(d, deleteCaptions[i], deletes[i]);
    Add(items, "Echo...", echo);
    Add(items, "Grooves...", grooves);
    Add(items, "Legato", legato);
    Add(items, "Length", length);
    Add(items, "Overlap", overlap);
    Add(items, "Quantize", quantize);
    Add(items, "Transpose...", transpose);
    Add(items, "Velocity...", velocity);
    Add(items, "-");
    Add(items, "Delete", with(&TfmKey::DeleteSelected));
    Add(items, "Keep", with(&TfmKey::KeepSelected));
    PopupKey->OnPopup = [this](TPopupMenu*) { PrepareMenus(); };
    // Del in a focused field is the field's: the item gives up its shortcut meanwhile.
    for (TEdit* e : {editBpm, editBars, editBeats, editTicks, editCh, editNote, editLength, editVel,
                     editCtrlValue}) {
        e->OnEnter = [this](TObject*) { miEventsDelete->ShortCut = 0; };
        e->OnExit = [this](TObject*) { miEventsDelete->ShortCut = ShortCut(VK_DELETE); };
    }
    key->PopupMenu = PopupKey;
    list->PopupMenu = PopupKey;
}

// Enabling and captions as the menus open.
void TfmKey::PrepareMenus() {
    _TPart* part = ThePart();
    const bool has = part != nullptr;
    const int selEvents = has ? CountSelectedEvents(part) : 0;
    const int selNotes = has ? CountSelectedNotes(part) : 0;
    const bool canUndo = Song && Song->UndoStore->Kind != ukNone && Song->State != 1;
    const std::string res = panelRes->Caption;
    miUndo->Caption = Song ? Song->UndoStore->Caption : "&Undo";
    miUndo->Enabled = canUndo;
    miUndoAll->Enabled = Snapshot != nullptr;
    miSelectAllNotes->Enabled = has;
    miPaste->Enabled = has && fmArrange && !fmArrange->EventClipboard.empty();
    miCopy->Enabled = has && selEvents > 0;
    miSelectSame->Enabled = has && (selEvents == 1 || selNotes == 1);

    for (TMenuItem* i : {miCompose, miDelete, miLegato, miLength, miQuantize, miTranspose,
                         miVelocity, miEcho, miOverlap})
        i->Enabled = has;
    miGrooves->Enabled = Song && Song->SelectedPartCount() > 0;
    miOverlap->Caption = "Overlap (" + res + ")";
    miQuantize->Caption = "&Quantize (" + res + ")";
    miLength->Caption = "L&ength (" + res + ")";

    miInsertSysex->Enabled = has;
    miTimeScale->Enabled = has;
    miEventsDelete->Enabled = has && (EditMode == 2 || selEvents > 0);
    for (TMenuItem* i : {miKeep, miDeleteSame, miKeepSame, miStretch, miRotateLeft, miRotateRight})
        i->Enabled = has && selEvents > 0;
    miMuteNotes->Enabled = has;
    const _TEvent* first = has ? FirstSelectedEvent(part) : nullptr;
    miEditSysex->Enabled = selEvents == 1 && first && IsSysex(first);
    miRotateLeft->Caption = "Rotate &left (" + res + ")";
    miRotateRight->Caption = "Rotate &right (" + res + ")";

    // The grid's popup.
    TMenuItem* items = PopupKey->Items;
    for (int i = 0; i < items->Count(); ++i) {
        TMenuItem* it = items->Items(i);
        const std::string& c = it->Caption;
        if (c == "Undo") {
            it->Enabled = canUndo;
        } else if (c == "Grooves...") {
            it->Enabled = miGrooves->Enabled;
        } else if (c == "Keep") {
            it->Enabled = has && selEvents > 0;
        } else if (c == "Delete" && it->Count() == 0) {
            it->Enabled = miEventsDelete->Enabled;
        } else if (c.rfind("Overlap", 0) == 0) {
            it->Caption = "Overlap (" + res + ")";
            it->Enabled = has;
        } else if (c.rfind("Quantize", 0) == 0) {
            it->Caption = "Quantize (" + res + ")";
            it->Enabled = has;
        } else if (c.rfind("Length", 0) == 0) {
            it->Caption = "Length (" + res + ")";
            it->Enabled = has;
        } else if (c != "-") {
            it->Enabled = has;
        }
    }
}

void TfmKey::SelectionChanged() {
    DrawNotes(false);
    RepaintList();
    RepaintLaneNow();
    UpdateEditbar();
}

void TfmKey::UndoLast() {
    if (!Song) return;
    // The track of the part being edited, taken before the undo frees the part.
    _TPart* part = ThePart();
    const _TTrack* track = part ? Song->TrackAt(part->Track) : nullptr;
    {
        TEditGuard guard;
        if (!guard) return;
        Song->Undo();
        if (track) SendOnTrackChannel(track, PackMidiMsg(0xB0, 123, 0));
    }
    if (!BoundToCurrent()) BoundPart = nullptr; // never the part the undo freed
    key->Invalidate();
    RefreshEventList();
    _TPart* now = ThePart();
    if (now && EditMode == 2)
        SelectAtStepCursor();
    else if (now && EditMode == 3)
        Song->SelectLaneEventsAt(now, StepTick - now->Start, LaneCode, LaneKind);
    RepaintLaneNow();
    UpdateEditbar();
    PrepareMenus();
}

void TfmKey::DeleteSelected() {
    if (dynamic_cast<TEdit*>(ActiveControl())) return; // the field's Del
    _TPart* part = ThePart();
    if (!part) return;
    DeleteKeyEvents();
    part = ThePart();
    if (EditMode == 3 && part) {
        Song->SelectLaneEventsAt(part, StepTick - part->Start, LaneCode, LaneKind);
        if (LaneKind == 2 || LaneKind == 5) RepaintLaneNow();
    }
}

void TfmKey::KeepSelected() {
    _TPart* p = ThePart();
    if (!p) return;
    {
        TEditGuard guard;
        if (!guard) return;
        Song->UndoStore->Begin(ukEdit, "Undo keep");
        Song->UndoStore->AddPart(SnapshotPart(p));
        DeleteUnselectedEvents(p);
    }
    RefreshEventList();
    key->Invalidate();
    RepaintLaneNow();
}

void TfmKey::SelectSameField(int Field) {
    _TPart* p = ThePart();
    const _TEvent* e = p ? FirstSelectedEvent(p) : nullptr;
    if (!e) return;
    const std::uint32_t m = e->Msg;
    const int value = Field == 3   ? int(MidiStatus(m))
                      : Field == 1 ? int(MidiData1(m))
                      : Field == 2 ? int(MidiData2(m))
                                   : int(m & 0x0F);
    Song->SelectEventsByField(p, value, Field);
    SelectionChanged();
}

void TfmKey::MuteSelectedNotes() {
    _TPart* p = ThePart();
    if (!p) return;
    {
        TEditGuard guard;
        if (!guard) return;
        for (_TEvent* e = p->Events; e; e = e->Next)
            if ((e->Flags & efSelected) && (IsNoteOn(e->Msg) || IsNoteOff(e->Msg)))
                e->Flags = (e->Flags ^ efMuted) | efRedraw;
    }
    key->Invalidate();
}

// Track > Output for the track of the part (or the current track): softsynths for a track that
// is not a MIDI track, the MIDI ports for one that is.
void TfmKey::BuildOutputMenu() {
    miOutput->Clear();
    if (!Song) return;
    const _TPart* part = ThePart();
    const _TTrack* t = part ? Song->TrackAt(part->Track) : Song->CurrentTrack();
    auto add = [this](const std::string& Caption, int Tag) {
        Add(miOutput, Caption, [](TMenuItem* I) {
            if (fmArrange) fmArrange->OutputItemClick(I);
        })->Tag = Tag;
    };
    if (t && t->Mode != tmMidi) {
        const int n = SoftEngine ? SoftEngine->Count() : 0;
        for (int i = 0; i < n; ++i) {
            std::string name;
            if (TSoftItem* item = SoftEngine->GetItem(i); item && item->Plugin)
                item->Plugin->GetName(name);
            add(name, i);
        }
    } else {
        for (int i = 0; i < MidiOutCount && Midi; ++i) {
            int technology = 0;
            std::string name;
            Midi->GetOutputCaps(i, technology, name);
            add(Midi->IsOutputOpen(i) ? name : "(Inactive) " + name, i);
        }
    }
}

// ---- The event clipboard ----

void TfmKey::CopyEvents() {
    _TPart* p = ThePart();
    if (!p || !fmArrange) return;
    std::vector<TEventCopy>& clip = fmArrange->EventClipboard;
    clip.clear();
    int t = 0;
    for (const _TEvent* e = p->Events; e; e = e->Next) {
        t += e->Delta;
        if (!(e->Flags & efSelected)) continue;
        TEventCopy c;
        c.Msg = e->Msg;
        c.Offset = t;
        if (e->DataLen >= 1 && EventBlock(*e))
            c.Block.assign(EventBlock(*e), EventBlock(*e) + e->DataLen);
        else if (std::holds_alternative<std::uint32_t>(e->Data)) {
            c.Value = EventValue(*e);
            c.HasValue = true;
        }
        clip.push_back(std::move(c));
    }
    if (clip.empty()) return;
    const int first = clip.front().Offset;
    for (TEventCopy& c : clip)
        c.Offset -= first;
    PrepareMenus(); // the shortcuts of Paste and the rest follow at once
}

void TfmKey::PasteEvents() {
    _TPart* p = ThePart();
    if (!p || !fmArrange) return;
    if (Song->Position < p->Start ||
        std::int64_t(Song->Position) >= std::int64_t(p->Start) + p->Length) {
        MessageBox("Can't paste if song position is outside part", "Paste",
                   MB_OK | MB_ICONINFORMATION);
        return;
    }
    const std::vector<TEventCopy>& clip = fmArrange->EventClipboard;
    if (clip.empty()) return;
    {
        TEditGuard guard;
        if (!guard) return;
        Song->UndoStore->Begin(ukEdit, "Undo paste");
        Song->UndoStore->AddPart(SnapshotPart(p));
        const int at = Song->Position - p->Start;
        bool grew = false;
        for (const TEventCopy& c : clip) {
            _TEvent* e = NewEvent(at + c.Offset, c.Msg);
            if (!c.Block.empty())
                SetEventBlock(*e, c.Block.data(), int(c.Block.size()));
            else if (c.HasValue)
                SetEventValue(*e, c.Value);
            _TPart* target = p;
            grew |= InsertEvent(target, e) == 4;
        }
        if (grew) {
            p->Flags |= pfRedraw;
            if (fmArrange) fmArrange->RedrawParts(false);
            UpdateHScrollRange();
        }
    }
    key->Invalidate();
    RepaintLaneNow();
    RefreshEventList();
}
