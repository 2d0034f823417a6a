// The output, channel and tempo menus of the arrange window, the removal of a softsynth, the
// disk channels, the Track menu and the track list's context menu.
#include "app/trackmenus.h"

#include "app/arrange.h"
#include "app/filemenu.h"
#include "app/main.h"
#include "app/options.h"
#include "app/trackbar.h"
#include "app/transport.h"
#include "app/transportbar.h"
#include "devices/audio.h"
#include "devices/inport.h"
#include "devices/midi.h"
#include "devices/midimsg.h"
#include "gui/scroll.h"
#include "platform/forms/buttons.h"
#include "platform/forms/combobox.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/header.h"
#include "platform/menus/menus.h"
#include "platform/window/input.h"
#include "song/seams.h"
#include "song/softengine.h"
#include "song/song.h"
#include "song/subengine.h"
#include "song/trackout.h"

#include <memory>
#include <string>

using namespace platform;

namespace {

// The Track menu's Mode items; the track popup's have no accelerators.
const char* const kModeCaptions[5] = {"&MIDI", "Softsynth", "&Audio", "Param", "Disk"};
const char* const kPopupModeCaptions[5] = {"MIDI", "Softsynth", "Audio", "Param", "Disk"};
const char* const kLayoutCaptions[7] = {"Default", "GM", "GS", "AWE", "SBLive!", "User", "MSB/LSB"};

TMenuItem* AddItem(TMenuItem* Parent, const std::string& Caption,
                   std::function<void(TMenuItem*)> Click = nullptr, TShortCut Key = 0) {
    auto* i = new TMenuItem(Caption, std::move(Click));
    i->ShortCut = Key;
    Parent->Add(i);
    return i;
}

_TTrack* Current() {
    return Song ? Song->CurrentTrack() : nullptr;
}

// Checks the item of the current track's mode in a Mode submenu.
void CheckModeItems(TMenuItem* Mode) {
    _TTrack* t = Current();
    for (int i = 0; i < Mode->Count() && i < 5; ++i)
        Mode->Items(i)->Checked = t && t->Mode == ModeOfItem[i];
}

void FillModeItems(TMenuItem* Mode, const char* const (&Captions)[5]) {
    Mode->Clear();
    for (int i = 0; i < 5; ++i)
        AddItem(Mode, Captions[i], [i](TMenuItem*) { ChangeTrackMode(ModeOfItem[i]); });
    Mode->OnClick = [](TMenuItem* I) { CheckModeItems(I); };
}

void FillLayoutItems(TMenuItem* Layout) {
    for (int i = 0; i < 7; ++i)
        AddItem(Layout, kLayoutCaptions[i], [i](TMenuItem*) {
            if (!fmArrange) return;
            fmArrange->comboLayout->ItemIndex = i;
            if (ArrangeSeams().ChangeLayout) ArrangeSeams().ChangeLayout(i);
        });
}

// The main window's softsynth menu ("Add") hung into an output menu: before "Remove" when
// softsynths are loaded, else last.
void HangSynthMenu(TMenuItem* Output) {
    if (!fmMdi || !fmMdi->PopupSynth) return;
    fmMdi->DetachSynthMenu();
    TMenuItem* add = fmMdi->PopupSynth->Items;
    if (SoftEngine && SoftEngine->Count() > 0 && Output->Count() > 0)
        Output->Insert(Output->Count() - 1, add);
    else
        Output->Add(add);
}

// MIDI port items show the port's icon: a hardware port, or an FM synthesizer.
void PortBitmaps(TMenuItem* Output) {
    _TTrack* t = Current();
    if (!t || t->Mode != tmMidi || !Midi || !fmMdi) return;
    for (int i = 0; i < Output->Count(); ++i) {
        TMenuItem* item = Output->Items(i);
        int technology = 0;
        std::string name;
        Midi->GetOutputCaps(item->Tag, technology, name);
        const int icon = technology == 1 ? 4 : technology == 4 ? 5 : -1;
        if (icon >= 0 && fmMdi->MenuBitmaps[std::size_t(icon)])
            item->Bitmap =
                std::make_shared<Surface>(fmMdi->MenuBitmaps[std::size_t(icon)]->Pixels());
        else
            item->Bitmap = nullptr;
    }
}

// Before a track's output or channel changes, the notes it sounds end where they sound: its
// port or softsynth (every channel of every port for a track without a channel).
void EndTrackNotes(const _TTrack* T) {
    if (T->Channel == -1) {
        if (Midi) Midi->AllNotesOff(-1, -1);
    } else {
        SendToTrack(T, PackMidiMsg(0xB0u + Song->CurrentChannel(), 123, 0));
    }
}

} // namespace

void TfmArrange::BuildTrackMenus() {
    btnThru->Hint = "Midi thru on/off\rShortcut Ctrl + Shift +  T";
    btnThru->ShowHint = true;
    btnThru->OnClick = [this](TObject*) { btnThruClick(); };

    // Track menu: Ch, Output, Mode, Layout; rename and input transposition; mute and solo.
    miTrackMenu = miTrackCh->Parent();
    Device1 = new TMenuItem("&Output");
    miTrackMenu->Insert(miTrackMenu->IndexOf(miTrackCh) + 1, Device1);
    miModeTrack->Caption = "M&ode";
    FillModeItems(miModeTrack, kModeCaptions);
    miTrackLayout = AddItem(miTrackMenu, "Layout");
    FillLayoutItems(miTrackLayout);
    AddItem(miTrackMenu, "-");
    AddItem(miTrackMenu, "&Rename...", [](TMenuItem*) {
        if (fmMdi) fmMdi->ShowRenameTrack();
    });
    miTrackTranspose = AddItem(miTrackMenu, "&Transpose input...", [](TMenuItem*) {
        if (fmMdi) fmMdi->ShowTrackTranspose();
    });
    AddItem(miTrackMenu, "-");
    miTrackMute = AddItem(
        miTrackMenu, "&Mute",
        [](TMenuItem*) {
            if (Song && MdiHooks().ToggleTrackMute)
                MdiHooks().ToggleTrackMute(Song->CurrentTrackIndex);
        },
        ShortCut('M'));
    miTrackSolo = AddItem(
        miTrackMenu, "&Solo",
        [](TMenuItem*) {
            if (MdiHooks().ToggleSolo) MdiHooks().ToggleSolo();
        },
        ShortCut('S'));
    miTrackMenu->OnClick = [this](TMenuItem*) {
        _TTrack* t = Current();
        if (!t) return;
        const int mode = t->Mode;
        miTrackCh->Visible = miTrackTranspose->Visible = IsMidiMode(mode);
        Device1->Visible = mode != tmParameter;
        miTrackSolo->Checked = Song->SoloTrack == Song->CurrentTrackIndex;
        miTrackMute->Checked = t->Mute != 0;
        miTrackLayout->Visible = mode == tmMidi;
        if (mode == tmSoftsynth) HangSynthMenu(Device1);
    };
    Device1->OnClick = [](TMenuItem* I) { PortBitmaps(I); };

    // The track list's popup, in menu order.
    TMenuItem* popup = TrackPopup->Items;
    popup->Remove(miModePopup);
    popup->Insert(0, miModePopup);
    FillModeItems(miModePopup, kPopupModeCaptions);
    popup->Insert(1, new TMenuItem("-"));
    Device2 = new TMenuItem("Ouput");
    popup->Insert(popup->IndexOf(miPopupCh) + 1, Device2);
    Device2->OnClick = [](TMenuItem* I) { PortBitmaps(I); };
    AddItem(popup, "Rename...", [](TMenuItem*) {
        if (fmMdi) fmMdi->ShowRenameTrack();
    });
    miPopupTranspose = AddItem(popup, "Transpose input...", [](TMenuItem*) {
        if (fmMdi) fmMdi->ShowTrackTranspose();
    });
    miPopupLayout = AddItem(popup, "Layout");
    FillLayoutItems(miPopupLayout);
    AddItem(popup, "-");
    miPopupMute = AddItem(popup, "Mute", miTrackMute->OnClick, ShortCut('M'));
    miPopupSolo = AddItem(popup, "Solo", miTrackSolo->OnClick, ShortCut('S'));
    AddItem(popup, "-");
    AddItem(popup, "Hide", [this](TMenuItem*) { HideTrackList(); });
    AddItem(popup, "-");
    AddItem(popup, "Show all", [this](TMenuItem*) { ShowAllColumns(); });
    AddItem(popup, "Restore last width", [this](TMenuItem*) { RestoreTrackListWidth(); });
    TrackPopup->Name = "PopupTracks";
    TrackPopup->OnPopup = [this](TPopupMenu*) { PopupTracksPopup(); };

    // Audio > "&Enable" shows whether the audio engine is on.
    miAudio->OnClick = [](TMenuItem* I) {
        if (I->Count() > 0) I->Items(0)->Checked = Audio && Audio->AudioOn;
    };

    PopupDevice->OnPopup = [this](TPopupMenu*) {
        _TTrack* t = Current();
        if (!t) return;
        if (t->Mode == tmMidi) PortBitmaps(PopupDevice->Items);
        if (t->Mode == tmSoftsynth) HangSynthMenu(PopupDevice->Items);
    };
}

void TfmArrange::BuildOutputMenus() {
    // The softsynth menu may hang in one of them: it is the main window's and must not go.
    if (fmMdi) fmMdi->DetachSynthMenu();
    _TTrack* t = Current();
    for (TMenuItem* menu : {PopupDevice->Items, Device1, Device2}) {
        menu->Clear();
        if (!t) continue;
        auto output = [menu](const std::string& Caption, int Tag) {
            AddItem(menu, Caption, [](TMenuItem* I) {
                if (fmArrange) fmArrange->OutputItemClick(I);
            })->Tag = Tag;
        };
        switch (t->Mode.load()) {
        case tmMidi:
            for (int i = 0; i < MidiOutCount && Midi; ++i) {
                int technology = 0;
                std::string name;
                Midi->GetOutputCaps(i, technology, name);
                output(Midi->IsOutputOpen(i) ? name : "(Inactive) " + name, i);
            }
            break;
        case tmSoftsynth: {
            const int n = SoftEngine ? SoftEngine->Count() : 0;
            for (int i = 0; i < n; ++i)
                output(SoftsynthItemName(i), i);
            if (n == 0) break;
            AddItem(menu, "-");
            TMenuItem* remove = AddItem(menu, "Remove");
            for (int i = 0; i < n; ++i)
                AddItem(remove, SoftsynthItemName(i), [](TMenuItem* I) {
                    if (fmArrange) fmArrange->RemoveSoftsynth(I->Tag);
                })->Tag = i;
            break;
        }
        case tmAudio:
            for (int i = 0; Audio && i < Audio->DeviceCount(); ++i) {
                std::string name;
                Audio->DeviceName(i, name);
                output(name, i);
            }
            break;
        case tmDisk: {
            const TSoftOuts& slots = Song->DiskOutputs;
            int n = 0;
            while (n < int(slots.size()) && slots[std::size_t(n)].Active)
                ++n;
            for (int i = 0; i < n; ++i)
                output("Ch" + std::to_string(i + 1), i);
            AddItem(menu, "-");
            AddItem(menu, "Add channel", [](TMenuItem*) {
                if (fmArrange) fmArrange->AddDiskChannelClick();
            })->Tag = n;
            break;
        }
        default:
            break;
        }
    }
}

void TfmArrange::btnThruClick() {
    SendThru();
}

void TfmArrange::OutputItemClick(TMenuItem* Sender) {
    _TTrack* t = Current();
    if (!t) return;
    const int tag = Sender->Tag;
    switch (t->Mode.load()) {
    case tmSoftsynth: {
        TEditGuard guard(fmMdi);
        if (!guard) break;
        if (Midi && Midi->InPort) Midi->InPort->ThruNotesOff();
        t->Output = tag;
        Song->Modified = 1;
        SendThru();
        break;
    }
    case tmMidi: {
        TEditGuard guard(fmMdi);
        if (!guard) break;
        EndTrackNotes(t);
        t->Output = tag;
        SendThru();
        Song->Modified = 1;
        break;
    }
    case tmAudio: {
        const bool on = Audio && Audio->AudioOn;
        if (on) Audio->Close();
        if (Audio) Audio->SetDevice(tag);
        if (on) SetAudioEnabled(true);
        t->Output = tag;
        break;
    }
    case tmDisk:
        t->Output = tag;
        break;
    default:
        break;
    }
    InvalidateTrackRow(Song->CurrentTrackIndex);
    RefreshTrackbar();
}

void TfmArrange::RemoveSoftsynth(int Index) {
    if (!Song || !SoftEngine || Index < 0 || Index >= SoftEngine->Count()) return;
    {
        TEditGuard guard(fmMdi);
        if (!guard) return;
        SetScreenCursor(CursorOf(crHourGlass));
        SoftEngine->Remove(Index);
        for (int i = 0; i < TrackCount; ++i) {
            _TTrack* t = Song->TrackAt(i);
            if (t && t->Mode == tmSoftsynth && t->Output >= 1 && t->Output >= Index) --t->Output;
        }
        SendThru();
        TSoftEngine::UpdateMuteSolo();
        if (fmMdi) fmMdi->NotifySoftsynthCount();
        AudioWindows().RebuildMixer();
        AudioWindows().RebuildParamRows();
    }
    RefreshTrackbar();
    tracks->Invalidate();
    SetScreenCursor(0);
}

void TfmArrange::AddDiskChannelClick() {
    _TTrack* t = Current();
    if (!t) return;
    for (int slot = 0; slot < 32; ++slot) {
        if (static_cast<const TSoftOuts&>(Song->DiskOutputs)[std::size_t(slot)].Active) continue;
        Song->DiskOutputs[std::size_t(slot)].Active = 1;
        t->Output = slot;
        TSoftEngine::UpdateMuteSolo();
        AudioWindows().RebuildMixer();
        RefreshTrackbar();
        InvalidateTrackRow(Song->CurrentTrackIndex);
        return;
    }
}

void TfmArrange::ChannelItemClick(TMenuItem* Sender) {
    SetTrackChannel(Sender->Tag);
    RefreshTrackbar();
}

void SetTrackChannel(int Channel) {
    _TTrack* t = Current();
    if (!t || !fmArrange) return;
    {
        TEditGuard guard(fmMdi);
        if (!guard) return;
        EndTrackNotes(t);
        t->Channel = Channel;
        // The route takes the value itself: -1 for Off, until the next command sets it again.
        if (Midi)
            Midi->SetMThru(fmArrange->btnThru->Down, t->Output, Channel, Song->CurrentTrackIndex,
                           CurrentSynthPlugin());
    }
    fmArrange->InvalidateTrackRow(Song->CurrentTrackIndex);
    Song->Modified = 1;
}

void TfmArrange::TempoItemClick(TMenuItem* Sender) {
    const int tag = Sender->Tag;
    if (tag >= 0) {
        if (Midi) Midi->SetTempo(tag);
        if (fmMdi) fmMdi->BroadcastTempo();
        FileMenuWindows().ShowTempo(tag);
    } else if (tag == -2) {
        ShowOptionsPage(3);
    }
}

void TfmArrange::PopupTracksPopup() {
    _TTrack* t = Current();
    if (!t) return;
    const int mode = t->Mode;
    miPopupCh->Visible = miPopupTranspose->Visible = IsMidiMode(mode);
    Device2->Visible = mode != tmParameter;
    miPopupLayout->Visible = mode == tmMidi;
    miPopupMute->Checked = t->Mute != 0;
    miPopupSolo->Checked = Song->SoloTrack == Song->CurrentTrackIndex;
    if (mode == tmSoftsynth) HangSynthMenu(Device2);
}

void TfmArrange::HideTrackList() {
    panelTracks->Visible = false;
}

void TfmArrange::ShowAllColumns() {
    trackTitles->Tag = panelTracks->Width;
    int width = 0;
    for (int i = 0; i < trackTitles->SectionCount(); ++i)
        width += trackTitles->Sections(i)->Width;
    panelTracks->Width = width + 4;
}

void TfmArrange::RestoreTrackListWidth() {
    panelTracks->Width = trackTitles->Tag;
}
