// The track settings bar of the arrange window: its controls, its one refresh, the flow of its
// panels, the track mode, and the Default layout's bank and program.
#include "app/trackbar.h"

#include "app/arrange.h"
#include "app/arrangetransport.h"
#include "app/barcontrols.h"
#include "app/editcommands.h"
#include "app/editorstrips.h"
#include "app/main.h"
#include "app/options.h"
#include "app/transport.h"
#include "app/transportbar.h"
#include "devices/midi.h"
#include "platform/core/dialogs.h"
#include "platform/core/sysutils.h"
#include "platform/forms/application.h"
#include "platform/forms/buttons.h"
#include "platform/forms/combobox.h"
#include "platform/forms/edit.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/label.h"
#include "platform/menus/menus.h"
#include "platform/window/input.h"
#include "platform/window/window.h"
#include "song/primitives.h"
#include "song/seams.h"
#include "song/softengine.h"
#include "song/song.h"
#include "song/subengine.h"

#include <algorithm>
#include <string>

using namespace platform;

std::function<void()> ChangeTrackModeHeldHook;

namespace {

constexpr TColor kBarText = 0xC0C0C0;
constexpr int kRowHeight = 27;

// The layout bits in the order the refresh looks for them, with the bank panel of each
// (BankPanels: Default, GM, GS, User, AWE, SB Live!, MSB/LSB).
struct TLayoutBit {
    int Bit;
    int Panel;
};
constexpr TLayoutBit kLayoutBits[7] = {{0x100, 0},  {0x200, 1},  {0x400, 2}, {0x800, 4},
                                       {0x2000, 5}, {0x1000, 3}, {0x4000, 6}};
// The layout box's entries and the layout each names.
constexpr const char* kLayoutNames[7] = {"Default", "GM",   "GS",     "AWE",
                                         "SBLive!", "User", "MSB/LSB"};
constexpr int kLayoutOfEntry[7] = {0x100, 0x200, 0x400, 0x800, 0x2000, 0x1000, 0x4000};

TPanel* CaptionPanel(TComponent* Owner, TWinControl* Parent, int X, int Width, const char* Hint) {
    auto* p = new TPanel(Owner);
    p->Parent = Parent;
    p->SetBounds(X, 3, Width, 21);
    p->BevelOuter = bvLowered;
    p->Color = 0x1F1F1F;
    p->Font.Color = kBarText;
    p->Hint = Hint;
    p->ShowHint = true;
    return p;
}

} // namespace

TLabel* BarLabel(TComponent* Owner, TWinControl* Parent, const char* Text, int X) {
    auto* l = new TLabel(Owner);
    l->Parent = Parent;
    l->Caption = Text;
    l->Font.Color = kBarText;
    l->Transparent = true;
    l->SetBounds(X, 7, 30, 14);
    l->AutoSize = true;
    return l;
}

TSpeedButton* BarButton(TComponent* Owner, TWinControl* Parent, const char* Caption, int X, int Y,
                        int W, int H, const char* Hint) {
    auto* b = new TSpeedButton(Owner);
    b->Parent = Parent;
    b->SetBounds(X, Y, W, H);
    b->Caption = Caption;
    if (*Hint) {
        b->Hint = Hint;
        b->ShowHint = true;
    }
    return b;
}

TEdit* BarEdit(TComponent* Owner, TWinControl* Parent, int X, const char* Hint) {
    auto* e = new TEdit(Owner);
    e->Parent = Parent;
    e->SetBounds(X, 3, 34, 21);
    e->Hint = Hint;
    e->ShowHint = true;
    return e;
}

void TfmArrange::BuildTrackbar() {
    // Channel, output and mode, first in the bar.
    panelCh = MakeAlignedPanel(this, panelTrackbar, alNone, 0);
    panelCh->SetBounds(0, 0, 378, kRowHeight);
    // The bar's panels take its colour, on which the labels are drawn.
    for (TPanel* p : BankPanels)
        p->Color = panelTrackbar->Color;
    panelCh->Color = panelSynthEdit->Color = panelTrackbar->Color;
    BarLabel(this, panelCh, "Ch", 6);
    panelChannel = CaptionPanel(this, panelCh, 24, 34,
                                "Click to select MIDI channel\rUse channel Off for none "
                                "channel-mapping");
    BarLabel(this, panelCh, "Output", 64);
    panelOutput = CaptionPanel(this, panelCh, 102, 150,
                               "Click to select MIDI output device\rRight click for options");
    panelOutput->Alignment = taLeftJustify;
    BarLabel(this, panelCh, "Mode", 258);
    comboTrackMode = new TComboBox(this);
    comboTrackMode->Parent = panelCh;
    comboTrackMode->Style = csDropDownList;
    comboTrackMode->SetBounds(290, 3, 84, 21);
    for (const char* m : {"MIDI", "Softsynth", "Audio", "Param", "Disk"})
        comboTrackMode->Items.Add(m);
    comboTrackMode->Hint = "Click to select track mode";
    comboTrackMode->ShowHint = true;

    panelChannel->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int, int) {
        panelChannel->SetFocus();
    };
    panelChannel->OnMouseUp = [this](TObject*, TMouseButton, TShiftState, int, int) {
        const TPoint p = panelChannel->ClientToScreen({0, panelChannel->Height});
        PopupCh->Popup(p.X, p.Y);
        ActiveControl = nullptr;
    };
    panelOutput->OnMouseDown = [this](TObject*, TMouseButton Button, TShiftState, int, int) {
        if (Button == mbLeft) {
            panelOutput->SetFocus();
        } else if (Button == mbRight) {
            _TTrack* t = Song ? Song->CurrentTrack() : nullptr;
            if (t && t->Mode == tmMidi) ShowOptionsPage(2);
        }
    };
    panelOutput->OnMouseUp = [this](TObject*, TMouseButton Button, TShiftState, int, int) {
        if (Button != mbLeft) return;
        const TPoint p = panelOutput->ClientToScreen({0, panelOutput->Height});
        PopupDevice->Popup(p.X, p.Y);
        ActiveControl = nullptr;
    };
    comboTrackMode->OnClick = [this](TObject*) {
        const int i = comboTrackMode->ItemIndex;
        if (i >= 0 && i < 5) ChangeTrackMode(ModeOfItem[i]);
        _TTrack* t = Song ? Song->CurrentTrack() : nullptr;
        if (t) {
            const int m = t->Mode;
            comboTrackMode->ItemIndex = int(std::find(ModeOfItem, ModeOfItem + 5, m) - ModeOfItem);
        }
        ActiveControl = nullptr;
    };

    // The Default layout: bank and program as numbers, each with two arrows.
    TPanel* def = BankPanels[0];
    BarLabel(this, def, "Bank", 4);
    editBank = BarEdit(this, def, 32, "Bank number");
    sbMoveUp1 = BarButton(this, def, "+", 67, 3, 14, 10, "");
    sbMoveDown1 = BarButton(this, def, "-", 67, 14, 14, 10, "");
    BarLabel(this, def, "Prog", 88);
    editProgram = BarEdit(this, def, 116, "Program number");
    sbProgUp = BarButton(this, def, "+", 151, 3, 14, 10, "");
    sbProgDown = BarButton(this, def, "-", 151, 14, 14, 10, "");
    def->Width = 170;
    editProgram->OnKeyDown = [this](TObject*, std::uint16_t& Key, TShiftState) {
        if (Key == VK_RETURN) EnterProgramOrBank(true);
    };
    editBank->OnKeyDown = [this](TObject*, std::uint16_t& Key, TShiftState) {
        if (Key == VK_RETURN) EnterProgramOrBank(false);
    };
    sbProgUp->OnClick = [this](TObject*) { StepProgramOrBank(true, 1); };
    sbProgDown->OnClick = [this](TObject*) { StepProgramOrBank(true, -1); };
    sbMoveUp1->OnClick = [this](TObject*) { StepProgramOrBank(false, 1); };
    sbMoveDown1->OnClick = [this](TObject*) { StepProgramOrBank(false, -1); };

    sbEditSynth = BarButton(this, panelSynthEdit, "Edit", 4, 3, 52, 21, "");
    sbEditSynth->ShowHint = true;
    sbEditSynth->OnClick = [this](TObject*) { ToggleSynthEditor(); };

    // In the tool bar: mute, solo and the layout box.
    btnMute = BarButton(this, panelControl, "Mute", 200, 3, 44, 21, "Mute on/off\rShortcut M");
    btnMute->GroupIndex = 13;
    btnMute->AllowAllUp = true;
    btnMute->OnClick = [](TObject*) {
        if (Song && MdiHooks().ToggleTrackMute) MdiHooks().ToggleTrackMute(Song->CurrentTrackIndex);
    };
    sbSolo = BarButton(this, panelControl, "Solo", 248, 3, 44, 21, "Solo on/off\rShortcut S");
    sbSolo->GroupIndex = 14;
    sbSolo->AllowAllUp = true;
    // The main window's solo (TfmMdi::ToggleSolo(false)), as the S key runs it.
    sbSolo->OnClick = [](TObject*) {
        if (MdiHooks().ToggleSolo) MdiHooks().ToggleSolo();
    };
    LabelLayout = BarLabel(this, panelControl, "Layout", 300);
    comboLayout = new TComboBox(this);
    comboLayout->Parent = panelControl;
    comboLayout->Style = csDropDownList;
    comboLayout->SetBounds(338, 3, 84, 21);
    for (const char* n : kLayoutNames)
        comboLayout->Items.Add(n);
    comboLayout->ItemIndex = 0;
    comboLayout->Hint = "Click to select Bank/Program layout";
    comboLayout->ShowHint = true;
    comboLayout->OnChange = [this](TObject*) {
        const int i = comboLayout->ItemIndex;
        if (i >= 0 && ArrangeSeams().ChangeLayout) ArrangeSeams().ChangeLayout(i);
    };

    PopupDevice = new TPopupMenu();
    PopupDevice->Name = "PopupDevice";

    // The shared solo command shows its state on the solo button.
    EditCommandSeams().ArrangeSolo = [](bool Down) {
        if (fmArrange) fmArrange->sbSolo->Down = Down;
    };
    ArrangeSeams().RefreshTrackbar = [] {
        if (fmArrange) fmArrange->RefreshTrackbarSteps();
    };
    ArrangeSeams().BuildOutputMenus = [] {
        if (fmArrange) fmArrange->BuildOutputMenus();
    };
    ArrangeSeams().ChannelItemClick = [](TMenuItem* Sender) {
        if (fmArrange) fmArrange->ChannelItemClick(Sender);
    };
    BuildBankPanels();
}

void TfmArrange::RefreshTrackbarSteps() {
    _TTrack* t = Song ? Song->CurrentTrack() : nullptr;
    if (!t) return;
    const int mode = t->Mode;
    BuildOutputMenus(); // 1
    // 2.
    if (mode == tmAudio || mode == tmParameter || mode == tmDisk)
        panelChannel->Caption = "---";
    else
        panelChannel->Caption =
            t->Channel == -1 ? std::string("Off") : std::to_string(t->Channel + 1);
    // 3.
    std::string out;
    TrackOutputText(*t, out);
    panelOutput->Caption = out;
    // 4.
    const TLayoutBit* layout = nullptr;
    for (const TLayoutBit& b : kLayoutBits)
        if (t->Layout & b.Bit) {
            layout = &b;
            break;
        }
    if (layout && layout->Bit == 0x100) {
        auto number = [mode](int v) {
            return mode == tmAudio ? std::string("---")
                   : v == -1       ? std::string()
                                   : std::to_string(v);
        };
        editBank->Text = number(t->Bank);
        editProgram->Text = number(t->Program);
    } else if (layout && ArrangeSeams().ShowLayoutFields) {
        ArrangeSeams().ShowLayoutFields();
    }
    btnMute->Down = t->Mute != 0; // 5
    // 6.
    const bool midi = IsMidiMode(mode);
    for (TControl* c : std::initializer_list<TControl*>{
             panelChannel, editBank, sbMoveUp1, sbMoveDown1, editProgram, sbProgUp, sbProgDown})
        c->Enabled = midi;
    // 7.
    for (int i = 0; i < 7; ++i)
        if ((t->Layout & 0xFF00) == kLayoutOfEntry[i]) comboLayout->ItemIndex = i;
    // 8.
    comboLayout->Visible = LabelLayout->Visible = mode == tmMidi;
    for (const TLayoutBit& b : kLayoutBits)
        BankPanels[std::size_t(b.Panel)]->Visible = mode == tmMidi && (t->Layout & b.Bit) != 0;
    panelSynthEdit->Visible = mode == tmSoftsynth;
    // 9.
    comboTrackMode->ItemIndex = int(std::find(ModeOfItem, ModeOfItem + 5, mode) - ModeOfItem);
    // 10.
    sbEditSynth->Hint = "Edit " + panelOutput->Caption() + "\r" + "Shortcut CTRL + SPACE";
    FlowTrackbar(); // 11
    // 12.
    TransportWindows().BroadcastEditors(9, reinterpret_cast<std::intptr_t>(t), midi ? 0 : 1);
}

void TfmArrange::FlowTrackbar() {
    int x = 0, row = 1;
    const int before = panelTrackbar->Height;
    TPoint mouse{};
    GetCursorPos(&mouse);
    for (int i = 0; i < panelTrackbar->ControlCount(); ++i) {
        auto* p = dynamic_cast<TPanel*>(panelTrackbar->Controls(i));
        if (!p || !p->Visible) continue;
        p->SetBounds(x, (row - 1) * kRowHeight, p->Width, p->Height);
        if (x > 0 && p->Left + p->Width >= panelTrackbar->Width) {
            ++row;
            x = 0;
            p->SetBounds(0, (row - 1) * kRowHeight, p->Width, p->Height);
        }
        x += p->Width;
    }
    if (row * kRowHeight != before) {
        panelTrackbar->Height = row * kRowHeight;
        SetCursorPos(mouse.X, mouse.Y + panelTrackbar->Height - before);
    }
}

void TfmArrange::ToggleSynthEditor() {
    _TTrack* t = Song ? Song->CurrentTrack() : nullptr;
    if (!t || t->Mode != tmSoftsynth || !SoftEngine || !fmMdi) return;
    if (t->Output >= 0 && t->Output < SoftEngine->Count()) fmMdi->ToggleSoftsynthEditor(t->Output);
}

void TArrangeTransportWindows::ToggleSynthEditor() {
    if (fmArrange) fmArrange->ToggleSynthEditor();
}

namespace {

// Stores and sends a program or bank of the Default layout, shows it back and repaints the row.
void SetProgramOrBank(TfmArrange& A, bool Program, int Value) {
    _TTrack* t = Song->CurrentTrack();
    if (Program)
        t->Program = Value;
    else
        t->Bank = Value;
    if (Value != -1 && Midi)
        Midi->SendProgramChange(t->Output, t->Channel, t->Bank, t->Program, t->Layout & 0xFF);
    (Program ? A.editProgram : A.editBank)->Text =
        Value == -1 ? std::string() : std::to_string(Value);
    A.InvalidateTrackRow(Song->CurrentTrackIndex);
}

} // namespace

void TfmArrange::EnterProgramOrBank(bool Program) {
    if (!Song || !Song->CurrentTrack()) return;
    const std::string text = (Program ? editProgram : editBank)->Text;
    int v = -1;
    if (!text.empty()) {
        try {
            v = std::clamp(StrToInt(text), 0, Program ? 199 : 127);
        } catch (const EConvertError&) {
            Application->HandleException(std::current_exception());
            return;
        }
    }
    SetProgramOrBank(*this, Program, v);
    ActiveControl = nullptr;
}

void TfmArrange::StepProgramOrBank(bool Program, int By) {
    if (!Song || !Song->CurrentTrack()) return;
    TEdit* edit = Program ? editProgram : editBank;
    if (edit->Text().empty()) edit->Text = "0";
    int v = 0;
    try {
        v = StrToInt(edit->Text());
    } catch (const EConvertError&) {
        Application->HandleException(std::current_exception());
        return;
    }
    SetProgramOrBank(*this, Program, std::clamp(v + By, 0, Program ? 199 : 127));
}

void ChangeTrackMode(int Mode) {
    if (!Song || !fmArrange) return;
    _TTrack* t = Song->CurrentTrack();
    if (!t || Mode == t->Mode) return; // 1
    if (!t->Samples.empty()) {         // 2
        MessageBox("Can't change track mode when track contains samples", "Track mode",
                   MB_OK | MB_ICONINFORMATION);
        return;
    }
    // 3. MIDI and softsynth parts hold the same events; every other mode's parts are its own.
    auto kind = [](int M) { return M == tmSoftsynth ? tmMidi : M; };
    if (t->Parts && kind(Mode) != kind(t->Mode)) {
        if (MessageBox("This will delete all parts in track. Are you sure?", "Track mode",
                       MB_YESNO | MB_ICONQUESTION) != IDYES)
            return;
        // The scheduler, the softsynth queues and the sample voices of a playing song point
        // into the parts: they go, and the mode changes, while playback is paused.
        TEditGuard guard(fmMdi);
        if (!guard) return;
        if (ChangeTrackModeHeldHook) ChangeTrackModeHeldHook();
        Song->UnselectAllParts();
        while (t->Parts)
            DeletePart(t, t->Parts);
        t->Mode = Mode;
        guard.Release();
        fmArrange->RedrawParts(true);
    }
    // 4.
    t->Mode = Mode;
    Song->ClearClipboard();
    fmArrange->InvalidateTrackRow(Song->CurrentTrackIndex);
    fmArrange->RefreshTrackbar();
    AudioWindows().RebuildMixer();
}
