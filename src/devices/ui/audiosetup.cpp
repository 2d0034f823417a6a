#include "devices/ui/audiosetup.h"

#include "app/arrange.h"
#include "app/dialogs.h"
#include "app/main.h"
#include "devices/audio.h"
#include "devices/midi.h"
#include "devices/ui/setupctrls.h"
#include "platform/core/ini.h"
#include "platform/core/nocase.h"
#include "platform/core/paths.h"
#include "song/seams.h"
#include "song/song.h"
#include "song/timebase.h"

using namespace platform;

TfmAudioSetup* fmAudioSetup = nullptr;
std::function<void(bool On)> SampleEditorAudioButton;

namespace {

constexpr int kLeft = 84;      // the dialog's own area starts right of the side bar
constexpr int kField = 196;    // fields start here
constexpr int kRowHeight = 30; // one row of the form

template <class T> T* Add(TWinControl* Parent, int X, int Y, int W, int H) {
    auto* c = new T(Parent);
    c->Parent = Parent;
    c->SetBounds(X, Y, W, H);
    return c;
}

TComboBox* AddList(TWinControl* Parent, int X, int Y, int W) {
    auto* c = Add<TComboBox>(Parent, X, Y, W, 23);
    c->Style = csDropDownList;
    return c;
}

// A section heading: bold text with a rule to the right edge of the area.
void AddHeading(TWinControl* Parent, const std::string& Caption, int Y, int Right) {
    TLabel* l = AddSetupLabel(Parent, Caption, kLeft, Y);
    TFont f = l->Font.Get();
    f.Style = fsBold;
    l->Font = f;
    auto* rule = Add<TShape>(Parent, kLeft + l->Width + 8, Y + 7, Right - kLeft - l->Width - 8,
                             1);
    rule->Pen.Color = clGray;
    rule->Brush.Color = clGray;
}

std::string Trim(const std::string& S) {
    const auto first = S.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return S.substr(first, S.find_last_not_of(" \t") - first + 1);
}

} // namespace

std::vector<std::string> AudioSystemNames() {
    std::vector<std::string> names;
    std::string folder = FindInstallFile("system");
    if (folder.empty()) return names;
    std::vector<TDirEntry> entries;
    ListDirectory(folder, entries, "*.so");
    for (const TDirEntry& e : entries)
        if (!e.IsDir) names.push_back(ChangeFileExt(e.Name, ""));
    return names;
}

void ShowAudioButtons() {
    const bool on = Audio && Audio->AudioOn;
    if (fmArrange && fmArrange->sbAudio) fmArrange->sbAudio->Down = on;
    if (SampleEditorAudioButton) SampleEditorAudioButton(on);
}

void ShowAudioSetup() {
    MakeForm(fmAudioSetup)->ShowModal();
}

TfmAudioSetup::TfmAudioSetup(TComponent* AOwner) : TToolDialog(AOwner, "Audio setup") {
    Caption = "Audio Options";
    ClientWidth = 470;
    ClientHeight = 388;
    const int right = ClientWidth - 14;
    RotateLabel1->Hint = "Click for help";
    RotateLabel1->ShowHint = true;
    SetHelp("Audio system, output device and plug-in folders");
    TButton* close = AddButton("&Close", mrCancel);
    close->Default = true;
    close->OnClick = [this](TObject*) { btnCloseClick(); };

    int y = 12;
    AddHeading(this, "Audio", y, right);
    y += 24;
    AddSetupLabel(this, "System", kLeft + 8, y + 4);
    ComboSystem = AddList(this, kField, y, 170);
    sbAudio = Add<TSpeedButton>(this, right - 70, y, 70, 23);
    sbAudio->Caption = "Audio";
    sbAudio->Hint = "Audio on/off";
    sbAudio->ShowHint = true;
    sbAudio->GroupIndex = 1;
    sbAudio->AllowAllUp = true;
    y += kRowHeight;
    AddSetupLabel(this, "Output", kLeft + 8, y + 4);
    comboAudio = AddList(this, kField, y, right - kField);
    y += kRowHeight;
    AddSetupLabel(this, "Sample rate", kLeft + 8, y + 2);
    labelDetail = AddSetupLabel(this, "---", kField, y + 2);
    AddSetupLabel(this, "Frames", kField + 90, y + 2);
    labelFrames = AddSetupLabel(this, "---", kField + 140, y + 2);
    Label14 = AddLinkLabel(this, "Properties", right - 56, y + 2);
    y += 26;
    chkSync = Add<TCheckBox>(this, kLeft + 8, y, 180, 20);
    chkSync->Caption = "Sync MIDI to Audio";
    AddSetupLabel(this, "HD rec", kField + 90, y + 3);
    comboHdRecBits = AddList(this, kField + 140, y, 60);
    for (const char* bits : {"16", "24", "32"})
        comboHdRecBits->Items.Add(bits);
    AddSetupLabel(this, "bits", kField + 206, y + 3);

    y += 36;
    AddHeading(this, "Sample editor", y, right);
    y += 24;
    editEditor = Add<TEdit>(this, kLeft + 8, y, right - kLeft - 8 - 62, 23);
    Label15 = AddLinkLabel(this, "Browse", right - 50, y + 4);
    OpenDialog1.Filter = "Application (*.exe)|*.exe";
    OpenDialog1.DefaultExt = "*.exe";
    OpenDialog1.Title = "Sample editor";

    y += 40;
    AddHeading(this, "Plug-in folders", y, right);
    y += 24;
    TFolderRow synth = AddFolderRow(this, "Softsynth folder", kLeft + 8, y, right - kLeft - 8);
    editSynthFolder = synth.Edit;
    Label12 = synth.Browse;
    Label11 = synth.UseDefault;
    TFolderRow fx = AddFolderRow(this, "Effect folder", kLeft + 8, y + 66, right - kLeft - 8);
    editFxFolder = fx.Edit;
    Label17 = fx.Browse;
    Label16 = fx.UseDefault;

    ComboSystem->OnClick = [this](TObject*) { ComboSystemClick(); };
    comboAudio->OnClick = [this](TObject*) { comboAudioClick(); };
    sbAudio->OnClick = [this](TObject*) { sbAudioClick(); };
    Label14->OnClick = [this](TObject*) { Label14Click(); };
    chkSync->OnClick = [this](TObject*) { chkSyncClick(); };
    comboHdRecBits->OnClick = [this](TObject*) { comboHdRecBitsClick(); };
    Label15->OnClick = [this](TObject*) { Label15Click(); };
    Label12->OnClick = [this](TObject*) { BrowsePluginFolder(false, editSynthFolder); };
    Label17->OnClick = [this](TObject*) { BrowsePluginFolder(true, editFxFolder); };
    Label11->OnClick = [this](TObject*) { UseDefaultPluginFolder(false, editSynthFolder); };
    Label16->OnClick = [this](TObject*) { UseDefaultPluginFolder(true, editFxFolder); };
    FormCreate();
}

void TfmAudioSetup::FormCreate() {
    for (const std::string& name : AudioSystemNames())
        ComboSystem->Items.Add(name);
    TIniFile ini;
    editEditor->Text = ini.ReadString("Sample edit", "Editor", "");
    updating_ = true;
    chkSync->Checked = ini.ReadBool("Audio", "synctoaudio", true);
    updating_ = false;
    const std::string system = ini.ReadString("Audio", "System", "");
    ComboSystem->ItemIndex = -1;
    for (int i = 0; i < ComboSystem->Items.Count(); ++i)
        if (SameText(ComboSystem->Items[i], system)) ComboSystem->ItemIndex = i;
    FillComboAudio();
}

void TfmAudioSetup::FillComboAudio() {
    comboAudio->Items.Clear();
    if (!Audio) return;
    std::string name;
    for (int i = 0; i < Audio->DeviceCount(); ++i) {
        name.clear();
        Audio->DeviceName(i, name);
        comboAudio->Items.Add(name);
    }
    comboAudio->ItemIndex = Audio->Device < comboAudio->Items.Count() ? Audio->Device : -1;
}

void TfmAudioSetup::DoShow() {
    if (Audio) Audio->NotifyWnd = Handle();
    updating_ = true;
    chkSync->Checked = Song && Song->SyncToAudio;
    updating_ = false;
    chkSync->Enabled = MidiMode == 0;
    Refresh();
    editSynthFolder->Text = Song ? Song->SynthPath : std::string();
    editFxFolder->Text = Song ? Song->FxPath : std::string();
    const int bits = Audio ? Audio->HDDefaultRecBits : 16;
    comboHdRecBits->ItemIndex = bits == 24 ? 1 : bits == 32 ? 2 : 0;
    // The side bar and its text take the main window's control colours.
    TToolDialog::DoShow();
}

void TfmAudioSetup::Refresh() {
    const bool on = Audio && Audio->AudioOn;
    sbAudio->Down = on;
    if (!Audio || !Audio->Properties)
        Caption = "Audio options (No system selected)";
    else
        Caption = on ? "Audio Options (Audio is active)" : "Audio Options (Audio is not active)";
    labelFrames->Caption = on ? std::to_string(Audio->Frames) : "---";
    labelDetail->Caption = on ? std::to_string(Round(Audio->Rate)) : "---";
    if (Audio)
        comboAudio->ItemIndex = Audio->Device < comboAudio->Items.Count() ? Audio->Device : -1;
}

LRESULT TfmAudioSetup::WndProc(UINT Msg, WPARAM W, LPARAM L) {
    if (Msg == WM_USER) {
        Refresh();
        return 0;
    }
    return TToolDialog::WndProc(Msg, W, L);
}

void TfmAudioSetup::ComboSystemClick() {
    if (!Audio || !fmArrange) return;
    const int index = ComboSystem->ItemIndex;
    if (index < 0) return;
    fmArrange->SetAudioEnabled(false);
    if (Audio->AudioOn) {
        // Audio could not be switched off (a take runs): the driver stays, and so does the list.
        ComboSystem->ItemIndex = -1;
        for (int i = 0; i < ComboSystem->Items.Count(); ++i)
            if (SameText(ComboSystem->Items[i], Audio->SystemName)) ComboSystem->ItemIndex = i;
        return;
    }
    const std::string name = ComboSystem->Items[index];
    Audio->LoadSystem(name);
    FillComboAudio();
    Refresh();
    TIniFile().WriteString("Audio", "System", name);
}

void TfmAudioSetup::comboAudioClick() {
    if (!Audio) return;
    if (!MainWindow().PausePlayback()) {
        Refresh(); // the device in use again
        return;
    }
    Audio->Device = comboAudio->ItemIndex;
    if (Audio->AudioOn) Audio->Close();
    // Choosing a device switches audio on.
    Audio->Open(fmMdi ? fmMdi->Handle() : Audio->MainWnd);
    Audio->Start();
    MainWindow().ResumePlayback();
    ShowAudioButtons();
    Refresh();
}

void TfmAudioSetup::sbAudioClick() {
    if (fmArrange) fmArrange->SetAudioEnabled(!(Audio && Audio->AudioOn));
    ShowAudioButtons();
    Refresh();
}

void TfmAudioSetup::Label14Click() {
    if (!Audio) return;
    Audio->ShowSettings();
    // After OK the audio system runs, also when it was off before.
    ShowAudioButtons();
    Refresh();
}

void TfmAudioSetup::chkSyncClick() {
    if (updating_ || !Song) return;
    Song->SyncToAudio = chkSync->Checked ? 1 : 0;
}

void TfmAudioSetup::comboHdRecBitsClick() {
    static const int bits[] = {16, 24, 32};
    const int i = comboHdRecBits->ItemIndex;
    if (Audio && i >= 0 && i < 3) Audio->HDDefaultRecBits = bits[i];
}

void TfmAudioSetup::Label15Click() {
    if (!OpenDialog1.Execute()) return;
    editEditor->Text = OpenDialog1.FileName;
    TIniFile().WriteString("Sample edit", "Editor", OpenDialog1.FileName);
}

void TfmAudioSetup::btnCloseClick() {
    Close();
}

void TfmAudioSetup::DoClose(TCloseAction& Action) {
    FormClose();
    TToolDialog::DoClose(Action);
}

void TfmAudioSetup::FormClose() {
    if (Audio) Audio->NotifyWnd = 0;
    TIniFile ini;
    ini.WriteBool("Audio", "synctoaudio", chkSync->Checked);
    if (Audio) {
        ini.WriteInteger("Audio", "Frames", Audio->Frames);
        ini.WriteInteger("Audio", "HDDefaultRecBits", Audio->HDDefaultRecBits);
    }
    ini.WriteInteger("Audio", "Buffers", AudioBuffers);
    auto folder = [&ini](std::string_view Key, const std::string& Text) {
        const std::string value = Trim(Text);
        if (value.empty())
            ini.DeleteKey("Folders", Key);
        else
            ini.WriteString("Folders", Key, value);
    };
    folder("Synth", editSynthFolder->Text);
    folder("FX", editFxFolder->Text);
}
