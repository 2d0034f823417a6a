// The bank and program layouts of the track settings bar other than Default: the GM and GS
// program lists with the GS variations and drum kits, the sound card's banks, the SoundFont
// banks, the user bank files and bank numbers given as MSB and LSB. Every pick stores the
// track's values first and then sends its bank and program.
#include "app/arrange.h"
#include "app/barcontrols.h"
#include "app/dialogs.h"
#include "app/editcommands.h"
#include "app/prog.h"
#include "devices/midi.h"
#include "devices/sblive.h"
#include "platform/core/dialogs.h"
#include "platform/core/files.h"
#include "platform/core/ini.h"
#include "platform/core/nocase.h"
#include "platform/core/paths.h"
#include "platform/core/sysutils.h"
#include "platform/forms/application.h"
#include "platform/forms/buttons.h"
#include "platform/forms/combobox.h"
#include "platform/forms/edit.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/label.h"
#include "platform/gdi/textcodec.h"
#include "platform/menus/commdlg.h"
#include "platform/menus/menus.h"
#include "platform/window/input.h"
#include "song/gmnames.h"
#include "song/seams.h"
#include "song/song.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

using namespace platform;

namespace {

// The names of the drum-set box; the kits' programs are those of GsDrumKits, in this order.
constexpr const char* kDrumSets[16] = {"Standard 1",   "Standard 2", "Room 1",        "Room 2",
                                       "Power",        "Electronic", "TR808 & TR909", "Dance",
                                       "Jazz",         "Brush",      "Orchestra",     "Ethnic",
                                       "Kick & Snare", "SFX",        "Rythm FX",      "CM-64/32"};

// GS programs with the variation 8 (after "0").
constexpr int kVariation8[] = {4,  5,  6,  14, 16, 17, 19, 21, 24,  26,  27,  28,  30, 31,
                               38, 39, 48, 50, 61, 62, 63, 80, 107, 115, 116, 117, 118};

TObject* AsTag(int V) {
    return reinterpret_cast<TObject*>(static_cast<std::intptr_t>(V));
}
int TagOf(const TComboBox* Box, int Index) {
    return int(reinterpret_cast<std::intptr_t>(Box->Items.Objects(Index)));
}

std::string Numbered(int Number, const std::string& Name) {
    char num[16];
    std::snprintf(num, sizeof num, "%03d", Number);
    return std::string(num) + " " + Name;
}

// An entry's number: its first three characters.
int LeadingNumber(const std::string& Entry) {
    return StrToIntDef(std::string_view(Entry).substr(0, 3), 0);
}

TComboBox* BarCombo(TComponent* Owner, TWinControl* Parent, int X, int Width, const char* Hint) {
    auto* c = new TComboBox(Owner);
    c->Parent = Parent;
    c->Style = csDropDownList;
    c->SetBounds(X, 3, Width, 21);
    c->DropDownCount = 16;
    c->Hint = Hint;
    c->ShowHint = true;
    return c;
}

_TTrack* Current() {
    return Song ? Song->CurrentTrack() : nullptr;
}

// The next or previous entry of a box (-1 none selected); Wrap goes round at either end.
int Step(int Index, int Count, int By, bool Wrap) {
    if (Count <= 0) return -1;
    const int next = Index + By;
    if (Wrap) return next < 0 ? Count - 1 : next >= Count ? 0 : next;
    return std::clamp(next, 0, Count - 1);
}

// The entry of that name, matched without regard to case; -1 when none.
int IndexNoCase(const TStrings& Items, const std::string& Name) {
    for (int i = 0; i < Items.Count(); ++i)
        if (SameText(Items[i], Name)) return i;
    return -1;
}

class TArrangeSBLiveWindows : public TSBLiveWindows {
public:
    void FillSBLiveBanks() override {
        if (fmArrange) fmArrange->FillSBLiveBanks();
    }
};
TArrangeSBLiveWindows g_sbLiveWindows;

} // namespace

void TfmArrange::BuildBankPanels() {
    // GM: the program list with next and previous.
    TPanel* gm = BankPanels[1];
    BarLabel(this, gm, "Prog", 4);
    comboGM->Parent = gm;
    comboGM->Style = csDropDownList;
    comboGM->SetBounds(32, 3, 170, 21);
    comboGM->DropDownCount = 16;
    comboGM->Hint = "Click to select GM program";
    comboGM->ShowHint = true;
    SpeedButton12 = BarButton(this, gm, "+", 205, 3, 14, 10, "");
    SpeedButton13 = BarButton(this, gm, "-", 205, 14, 14, 10, "");
    gm->Width = 224;
    comboGM->OnClick = [this](TObject*) { GmProgClick(); };
    auto gmStep = [this](int By) {
        comboGM->ItemIndex = Step(comboGM->ItemIndex, comboGM->Items.Count(), By, true);
        GmProgClick();
    };
    SpeedButton12->OnClick = [gmStep](TObject*) { gmStep(1); };
    SpeedButton13->OnClick = [gmStep](TObject*) { gmStep(-1); };

    // GS: programs, variations and drum sets.
    TPanel* gs = BankPanels[2];
    BarLabel(this, gs, "Prog", 4);
    comboGS->Parent = gs;
    comboGS->Style = csDropDownList;
    comboGS->SetBounds(32, 3, 170, 21);
    comboGS->DropDownCount = 16;
    comboGS->Hint = "Click to select GS program";
    comboGS->ShowHint = true;
    labelVar = BarLabel(this, gs, "Var", 208);
    ComboVar = BarCombo(this, gs, 230, 44, "Click to select GS variation");
    BarLabel(this, gs, "Drum sets", 280);
    gsdrums = BarCombo(this, gs, 336, 110, "Click to select GS Drum set");
    for (const char* d : kDrumSets)
        gsdrums->Items.Add(d);
    gs->Width = 450;
    comboGS->OnChange = [this](TObject*) { GsProgChange(); };
    ComboVar->OnChange = [this](TObject*) { GsVarChange(); };
    gsdrums->OnChange = [this](TObject*) { GsDrumsChange(); };

    // User: the bank files of the program folder and the programs of one.
    TPanel* user = BankPanels[3];
    BarLabel(this, user, "File", 4);
    ComboUser = BarCombo(this, user, 28, 120, "Click to select user file");
    BarLabel(this, user, "Prog", 154);
    comboUserProg = BarCombo(this, user, 182, 150, "Click to select user program");
    SpeedButton10 = BarButton(this, user, "+", 335, 3, 14, 10, "");
    SpeedButton11 = BarButton(this, user, "-", 335, 14, 14, 10, "");
    SpeedButton3 = BarButton(this, user, "Edit", 354, 3, 40, 21, "Edit user programs");
    user->Width = 398;
    ComboUser->OnClick = [this](TObject*) { UserFileClick(); };
    comboUserProg->OnClick = [this](TObject*) { UserProgClick(); };
    auto userStep = [this](int By) {
        comboUserProg->ItemIndex =
            Step(comboUserProg->ItemIndex, comboUserProg->Items.Count(), By, false);
        UserProgClick();
    };
    SpeedButton10->OnClick = [userStep](TObject*) { userStep(1); };
    SpeedButton11->OnClick = [userStep](TObject*) { userStep(-1); };
    SpeedButton3->OnClick = [this](TObject*) { EditUserBanks(); };

    // AWE: the sound card's banks and presets.
    TPanel* awe = BankPanels[4];
    BarLabel(this, awe, "Bank", 4);
    aweBanks = BarCombo(this, awe, 34, 140, "Click to select AWE bank");
    BarLabel(this, awe, "Prog", 180);
    comboAWEProg = BarCombo(this, awe, 208, 150, "Click to select AWE program");
    SpeedButton14 = BarButton(this, awe, "+", 361, 3, 14, 10, "");
    SpeedButton15 = BarButton(this, awe, "-", 361, 14, 14, 10, "");
    sbAWE = BarButton(this, awe, "AWE", 380, 3, 40, 21, "Show Virtual AWE\rShortcut F7");
    awe->Width = 424;
    aweBanks->OnClick = [this](TObject*) { AweBankClick(); };
    comboAWEProg->OnClick = [this](TObject*) { AweProgClick(); };
    auto aweStep = [this](int By) {
        comboAWEProg->ItemIndex =
            Step(comboAWEProg->ItemIndex, comboAWEProg->Items.Count(), By, false);
        AweProgClick();
    };
    SpeedButton14->OnClick = [aweStep](TObject*) { aweStep(1); };
    SpeedButton15->OnClick = [aweStep](TObject*) { aweStep(-1); };
    sbAWE->OnClick = [](TObject*) { MidiEditors().ShowAwe(); };

    // SB Live!: the SoundFont banks of device 0 and the presets of one, with the bank actions.
    TPanel* sf = BankPanels[5];
    BarLabel(this, sf, "Bank", 4);
    comboSBLiveBanks = BarCombo(this, sf, 34, 140, "Click to select AWE bank");
    BarLabel(this, sf, "Prog", 180);
    comboSBLivePresets = BarCombo(this, sf, 208, 150, "Click to select AWE program");
    sbSBLiveAction =
        BarButton(this, sf, "Action", 362, 3, 50, 21, "Click to select Soundfont action");
    sf->Width = 416;
    comboSBLiveBanks->OnClick = [this](TObject*) { SBLiveBankClick(); };
    comboSBLiveBanks->OnChange = [this](TObject*) {
        sbSBLiveAction->Enabled = comboSBLiveBanks->ItemIndex >= 0;
    };
    comboSBLivePresets->OnClick = [this](TObject*) { SBLivePresetClick(); };
    popupSBLive = new TPopupMenu();
    popupSBLive->Name = "popupSBLive";
    auto add = [this](const char* Caption, std::function<void()> Click) {
        auto* i = new TMenuItem(Caption, [Click](TMenuItem*) {
            if (Click) Click();
        });
        popupSBLive->Items->Add(i);
        return i;
    };
    add("Load", [this] { SBLiveLoad(); });
    add("Clear", [this] { SBLiveClear(); });
    add("Clear all", [this] { SBLiveClearAll(); });
    add("-", nullptr);
    miSBLiveAutoOpenSave = add("Open/save with Song", [this] { SBLiveToggleAutoOpenSave(); });
    popupSBLive->OnPopup = [this](TPopupMenu*) {
        miSBLiveAutoOpenSave->Checked = SBLive && SBLive->AutoOpenSave;
    };
    sbSBLiveAction->OnClick = [this](TObject*) {
        const TPoint p = sbSBLiveAction->ClientToScreen({0, sbSBLiveAction->Height});
        popupSBLive->Popup(p.X, p.Y);
    };
    OpenDialog1 = new TOpenDialog();
    OpenDialog1->Filter = "Sound Font Banks|*.sf2;*.sbk";
    OpenDialog1->Options |= ofFileMustExist;

    // MSB/LSB: two bank numbers and the program, each set by Enter.
    TPanel* ml = BankPanels[6];
    BarLabel(this, ml, "MSB", 4);
    editBankMSB = BarEdit(this, ml, 34, "Select MSB");
    BarLabel(this, ml, "LSB", 74);
    editBankLSB = BarEdit(this, ml, 100, "Select LSB");
    BarLabel(this, ml, "Prog", 140);
    editProgMSBLSB = BarEdit(this, ml, 168, "Program number");
    ml->Width = 208;
    int which = 0;
    for (TEdit* e : {editBankMSB, editBankLSB, editProgMSBLSB}) {
        e->OnKeyDown = [this, which](TObject*, std::uint16_t& Key, TShiftState) {
            if (Key == VK_RETURN) EnterMsbLsb(which);
        };
        ++which;
    }

    ArrangeSeams().FillBankLists = [] {
        if (!fmArrange) return;
        fmArrange->FillAweBanks();
        fmArrange->FillSBLiveBanks();
        fmArrange->ListUserBanks();
    };
    ArrangeSeams().ChangeLayout = [](int Entry) {
        if (fmArrange) fmArrange->ChangeLayout(Entry);
    };
    ArrangeSeams().ShowLayoutFields = [] {
        if (fmArrange) fmArrange->ShowLayoutFields();
    };
    SetSBLiveWindows(&g_sbLiveWindows);
    InstallRenamePartSeam();
    InstallUserBankCommand();
}

void TfmArrange::SendTrackProgram() {
    _TTrack* t = Current();
    if (!t) return;
    if (Midi) Midi->SendProgramChange(t->Output, t->Channel, t->Bank, t->Program, t->Layout & 0xFF);
    InvalidateTrackRow(Song->CurrentTrackIndex);
    ActiveControl = nullptr;
}

void TfmArrange::ChangeLayout(int Entry) {
    _TTrack* t = Current();
    if (!t || Entry < 0 || Entry >= comboLayout->Items.Count()) return;
    comboLayout->ItemIndex = Entry;
    static constexpr std::pair<std::string_view, int> kValues[7] = {
        {"Default", 0x100}, {"GM", 0x200},       {"GS", 0x400},      {"AWE", 0x800},
        {"User", 0x1000},   {"SBLive!", 0x2000}, {"MSB/LSB", 0x4020}};
    int layout = t->Layout;
    const std::string text = comboLayout->Items[Entry];
    for (const auto& [name, value] : kValues)
        if (text == name) layout = value;
    t->Bank = -1;
    t->Program = -1;
    t->UserFile.clear();
    t->Layout = layout;
    RefreshTrackbar();
    InvalidateTrackRow(Song->CurrentTrackIndex);
    ActiveControl = nullptr;
}

void TfmArrange::ShowLayoutFields() {
    _TTrack* t = Current();
    if (!t) return;
    const int layout = t->Layout;
    const int bank = t->Bank, program = t->Program;
    auto entryOrNone = [](TComboBox* Box, int Index) {
        Box->ItemIndex = Index >= 0 && Index < Box->Items.Count() ? Index : -1;
    };
    if (layout & 0x100) return; // the Default layout shows its own
    if (layout & 0x200) {
        entryOrNone(comboGM, program + 1);
    } else if (layout & 0x400) {
        if (layout & 1) {
            comboGS->ItemIndex = -1;
            ComboVar->ItemIndex = -1;
            ComboVar->Enabled = labelVar->Enabled = false;
            for (std::size_t i = 0; i < GsDrumKits.size(); ++i)
                if (GsDrumKits[i].Program == program) gsdrums->ItemIndex = int(i);
        } else {
            FillGSVariations(program);
            ComboVar->Enabled = labelVar->Enabled = ComboVar->Items.Count() >= 2;
            gsdrums->ItemIndex = -1;
            ComboVar->ItemIndex = bank == -1 ? -1 : ComboVar->Items.IndexOf(std::to_string(bank));
            entryOrNone(comboGS, program + 1);
        }
    } else if (layout & 0x800) {
        aweBanks->ItemIndex = -1;
        if (bank >= 0 && bank <= 127)
            for (int i = 0; i < aweBanks->Items.Count(); ++i)
                if (LeadingNumber(aweBanks->Items[i]) == bank) {
                    aweBanks->ItemIndex = i;
                    break;
                }
        const int shown = aweBanks->ItemIndex;
        FillAwePresets(shown >= 0 ? LeadingNumber(aweBanks->Items[shown]) : -1);
        if (program >= 0 && program < comboAWEProg->Items.Count())
            comboAWEProg->ItemIndex = program;
        else if (program == -1)
            comboAWEProg->ItemIndex = -1;
        sbAWE->Enabled = AweAvailable != 0;
    } else if (layout & 0x2000) {
        // Another track's bank is not left standing for this one.
        comboSBLiveBanks->ItemIndex = -1;
        comboSBLivePresets->Items.Clear();
        if (bank >= 0 && bank <= 127) {
            comboSBLiveBanks->ItemIndex = comboSBLiveBanks->Items.IndexOfObject(AsTag(bank));
            FillSBLivePresets(bank);
            comboSBLivePresets->ItemIndex = comboSBLivePresets->Items.IndexOfObject(AsTag(program));
        }
        sbSBLiveAction->Enabled = comboSBLiveBanks->ItemIndex >= 0;
    } else if (layout & 0x1000) {
        const int file = IndexNoCase(ComboUser->Items, t->UserFile);
        ComboUser->ItemIndex = file;
        if (file < 0) {
            // No such bank: nothing is read, and another track's programs do not stay.
            comboUserProg->Items.Clear();
            UserList.clear();
        } else {
            LoadUserBank(ProgramFolder() + ComboUser->Items[file]);
            for (std::size_t i = 0; i < UserList.size(); ++i)
                if (UserList[i].Bank == bank && UserList[i].Prog == program) {
                    comboUserProg->ItemIndex = int(i);
                    break;
                }
        }
    } else if (layout & 0x4000) {
        editBankMSB->Text = bank == -1 ? std::string() : std::to_string(bank / 65536);
        editBankLSB->Text = bank == -1 ? std::string() : std::to_string(bank % 65536);
        editProgMSBLSB->Text = program == -1 ? std::string() : std::to_string(program);
    }
}

// ---- GM and GS -----------------------------------------------------------------------------

void TfmArrange::GmProgClick() {
    _TTrack* t = Current();
    if (!t || comboGM->ItemIndex < 0) return;
    t->Bank = 0;
    t->Program = comboGM->ItemIndex - 1;
    SendTrackProgram();
}

void TfmArrange::FillGSVariations(int Program) {
    ComboVar->Items.Clear();
    ComboVar->Items.Add("0");
    std::vector<int> add;
    if (std::find(std::begin(kVariation8), std::end(kVariation8), Program) != std::end(kVariation8))
        add = {8};
    else if (Program == 25)
        add = {8, 16};
    else if (Program == 120 || Program == 123)
        add = {1, 2};
    else if (Program == 121)
        add = {1};
    else if (Program == 122 || Program == 124 || Program == 126)
        add = {1, 2, 3, 4, 5};
    else if (Program == 125)
        add = {1, 2, 3, 4, 5, 6, 7, 8};
    else if (Program == 127)
        add = {1, 2, 3, 9};
    for (int v : add)
        ComboVar->Items.Add(std::to_string(v));
}

void TfmArrange::GsProgChange() {
    _TTrack* t = Current();
    const int entry = comboGS->ItemIndex;
    if (!t || entry < 0) return;
    FillGSVariations(entry - 1);
    ComboVar->ItemIndex = 0;
    ComboVar->Enabled = labelVar->Enabled = ComboVar->Items.Count() >= 2;
    gsdrums->ItemIndex = -1;
    t->Bank = 0;
    t->Program = entry - 1;
    if (entry == 0) ComboVar->ItemIndex = -1;
    t->Layout &= ~1;
    SendTrackProgram();
}

void TfmArrange::GsVarChange() {
    _TTrack* t = Current();
    const int i = ComboVar->ItemIndex;
    if (!t || i < 0) return;
    t->Bank = StrToIntDef(ComboVar->Items[i], 0);
    SendTrackProgram();
}

void TfmArrange::GsDrumsChange() {
    _TTrack* t = Current();
    const int i = gsdrums->ItemIndex;
    if (!t || i < 0 || i >= int(GsDrumKits.size())) return;
    comboGS->ItemIndex = -1;
    ComboVar->ItemIndex = -1;
    ComboVar->Enabled = labelVar->Enabled = false;
    t->Program = GsDrumKits[std::size_t(i)].Program;
    t->Bank = 0;
    t->Layout |= 1;
    SendTrackProgram();
}

// ---- sound card ----------------------------------------------------------------------------

void TfmArrange::FillAweBanks() {
    if (!AweAvailable) return;
    std::vector<std::string> lines;
    MidiEditors().AweListBanks(lines);
    aweBanks->Items.Clear();
    for (const std::string& l : lines)
        aweBanks->Items.Add(l);
    if (aweBanks->Items.Count() > 0) {
        aweBanks->ItemIndex = 0;
        FillAwePresets(LeadingNumber(aweBanks->Items[0]));
    }
}

void TfmArrange::FillAwePresets(int Bank) {
    comboAWEProg->Items.Clear();
    if (Bank < 0 || Bank > 127) return;
    std::vector<std::string> lines;
    MidiEditors().AweListPresets(Bank, lines);
    for (const std::string& l : lines)
        comboAWEProg->Items.Add(l);
}

void TfmArrange::AweBankClick() {
    const int i = aweBanks->ItemIndex;
    if (i < 0) return;
    FillAwePresets(LeadingNumber(aweBanks->Items[i]));
    if (comboAWEProg->Items.Count() > 0) {
        comboAWEProg->ItemIndex = 0;
        AweProgClick();
    }
    if (Song) InvalidateTrackRow(Song->CurrentTrackIndex);
    ActiveControl = nullptr;
}

void TfmArrange::AweProgClick() {
    _TTrack* t = Current();
    const int b = aweBanks->ItemIndex, p = comboAWEProg->ItemIndex;
    if (!t || b < 0 || p < 0) return;
    t->Bank = LeadingNumber(aweBanks->Items[b]);
    t->Program = LeadingNumber(comboAWEProg->Items[p]);
    SendTrackProgram();
}

// ---- SoundFont banks -----------------------------------------------------------------------

void TfmArrange::FillSBLiveBanks() {
    comboSBLiveBanks->Items.Clear();
    std::string name;
    for (int b = 0; b < 128; ++b) {
        name.clear();
        if (SBLive) SBLive->GetBankName(0, b, name);
        comboSBLiveBanks->Items.AddObject(Numbered(b, DisplayUtf8(name)), AsTag(b));
    }
    sbSBLiveAction->Enabled = false;
}

void TfmArrange::FillSBLivePresets(int Bank) {
    comboSBLivePresets->Items.Clear();
    if (!SBLive) return;
    std::string name;
    for (int p = 0; p < 128; ++p) {
        name.clear();
        SBLive->GetPresetName(0, Bank, p, name);
        if (!name.empty())
            comboSBLivePresets->Items.AddObject(Numbered(p, DisplayUtf8(name)), AsTag(p));
    }
}

void TfmArrange::SBLiveBankClick() {
    const int i = comboSBLiveBanks->ItemIndex;
    if (i < 0) return;
    FillSBLivePresets(TagOf(comboSBLiveBanks, i));
    if (comboSBLivePresets->Items.Count() > 0) {
        comboSBLivePresets->ItemIndex = 0;
        SBLivePresetClick();
    }
    if (Song) InvalidateTrackRow(Song->CurrentTrackIndex);
    ActiveControl = nullptr;
}

void TfmArrange::SBLivePresetClick() {
    _TTrack* t = Current();
    const int b = comboSBLiveBanks->ItemIndex, p = comboSBLivePresets->ItemIndex;
    if (!t || b < 0 || p < 0) return;
    t->Bank = TagOf(comboSBLiveBanks, b);
    t->Program = TagOf(comboSBLivePresets, p);
    SendTrackProgram();
}

namespace {

// The bank list again, the same bank still chosen, then the track settings shown again.
void RefillSBLiveBanks(TfmArrange& A, int Index) {
    A.FillSBLiveBanks();
    A.comboSBLiveBanks->ItemIndex = Index;
    A.sbSBLiveAction->Enabled = Index >= 0;
    A.RefreshTrackbar();
    if (Song) A.InvalidateTrackRow(Song->CurrentTrackIndex);
}

} // namespace

void TfmArrange::SBLiveLoad() {
    const int i = comboSBLiveBanks->ItemIndex;
    if (i < 0 || !SBLive) return;
    if (!OpenDialog1->Execute()) return;
    const int bank = TagOf(comboSBLiveBanks, i);
    const std::string file = OpenDialog1->FileName;
    // The bank is emptied first: a failed load leaves it empty.
    SBLive->ClearBank(0, bank);
    if (SBLive->LoadBank(0, bank, file)) {
        if (_TTrack* t = Current()) t->Bank = bank;
        RefillSBLiveBanks(*this, i);
    } else {
        RefillSBLiveBanks(*this, i);
        MessageBox("Could not load " + ExtractFileName(file) + " into bank " + std::to_string(bank),
                   "Load", MB_OK | MB_ICONINFORMATION);
    }
}

void TfmArrange::SBLiveClear() {
    const int i = comboSBLiveBanks->ItemIndex;
    if (i < 0 || !SBLive) return;
    const int bank = TagOf(comboSBLiveBanks, i);
    if (SBLive->ClearBank(0, bank))
        RefillSBLiveBanks(*this, i);
    else
        MessageBox("Could not clear Soundfont in bank " + std::to_string(bank), "Clear",
                   MB_OK | MB_ICONINFORMATION);
}

void TfmArrange::SBLiveClearAll() {
    const int i = comboSBLiveBanks->ItemIndex;
    if (i < 0 || !SBLive) return;
    SBLive->ClearAllBanks(0);
    RefillSBLiveBanks(*this, i);
}

void TfmArrange::SBLiveToggleAutoOpenSave() {
    if (!SBLive) return;
    SBLive->AutoOpenSave = !SBLive->AutoOpenSave;
    TIniFile().WriteBool("SBLive!", "AutoOpenSave", SBLive->AutoOpenSave);
}

// ---- user banks ----------------------------------------------------------------------------

void TfmArrange::ListUserBanks() {
    ComboUser->Items.Clear();
    comboUserProg->Items.Clear();
    std::vector<TDirEntry> files;
    ListDirectory(ProgramFolder(), files, "*.mxp");
    for (const TDirEntry& f : files)
        if (!f.IsDir) ComboUser->Items.Add(f.Name);
}

void TfmArrange::LoadUserBank(const std::string& FileName) {
    comboUserProg->Items.Clear();
    UserList.clear();
    std::string bytes;
    if (!FileExists(FileName) || !ReadWholeFile(FileName, bytes)) return;
    ReadUserBank(bytes, UserMode, UserList);
    for (const TUser& u : UserList)
        comboUserProg->Items.Add(DisplayUtf8(u.Name));
}

void TfmArrange::UserFileClick() {
    _TTrack* t = Current();
    const int i = ComboUser->ItemIndex;
    if (!t || i < 0) return;
    LoadUserBank(ProgramFolder() + ComboUser->Items[i]);
    t->UserFile = ComboUser->Items[i];
    if (comboUserProg->Items.Count() > 0) {
        comboUserProg->ItemIndex = 0;
        UserProgClick();
    }
    InvalidateTrackRow(Song->CurrentTrackIndex);
    ActiveControl = nullptr;
}

void TfmArrange::UserProgClick() {
    _TTrack* t = Current();
    const int i = comboUserProg->ItemIndex;
    if (!t || i < 0 || i >= int(UserList.size())) return;
    const TUser& u = UserList[std::size_t(i)];
    t->Bank = u.Bank;
    t->Layout = (t->Layout & 0xFFF00) | (UserMode & 0xFF);
    t->Program = u.Prog;
    SendTrackProgram();
}

void TfmArrange::EditUserBanks() {
    if (EditCommandSeams().ShowUserBank) EditCommandSeams().ShowUserBank();
    const std::string file = ComboUser->Text(), program = comboUserProg->Text();
    ListUserBanks();
    const int f = ComboUser->Items.IndexOf(file);
    if (f < 0) return;
    ComboUser->ItemIndex = f;
    LoadUserBank(ProgramFolder() + file);
    comboUserProg->ItemIndex = comboUserProg->Items.IndexOf(program);
    UserProgClick();
}

// ---- MSB/LSB -------------------------------------------------------------------------------

void TfmArrange::EnterMsbLsb(int Which) {
    _TTrack* t = Current();
    if (!t) return;
    TEdit* edit = Which == 0 ? editBankMSB : Which == 1 ? editBankLSB : editProgMSBLSB;
    const std::string text = edit->Text();
    if (text.empty()) {
        if (Which == 2) {
            t->Program = -1;
        } else {
            t->Bank = -1;
            (Which == 0 ? editBankLSB : editBankMSB)->Text = "";
        }
    } else {
        int v = 0;
        try {
            v = StrToInt(text);
        } catch (const EConvertError&) {
            Application->HandleException(std::current_exception());
            return;
        }
        v = std::clamp(v, 0, Which == 2 ? 199 : 127);
        if (Which == 2)
            t->Program = v;
        else if (Which == 0)
            t->Bank = v * 65536 + (t->Bank == -1 ? 0 : t->Bank % 65536);
        else
            t->Bank = t->Bank == -1 ? v : (t->Bank & ~0xFFFF) | v;
        edit->Text = std::to_string(v);
        if (Midi)
            Midi->SendProgramChange(t->Output, t->Channel, t->Bank, t->Program, t->Layout & 0xFF);
    }
    InvalidateTrackRow(Song->CurrentTrackIndex);
    ActiveControl = nullptr;
}
