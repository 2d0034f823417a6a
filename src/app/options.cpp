#include "app/options.h"

#include "app/filemenu.h"
#include "app/main.h"
#include "app/transport.h"
#include "devices/inport.h"
#include "devices/midi.h"
#include "devices/midimsg.h"
#include "gui/comctrls95.h"
#include "platform/core/ini.h"
#include "platform/core/nocase.h"
#include "platform/core/paths.h"
#include "platform/forms/application.h"
#include "platform/forms/buttons.h"
#include "platform/forms/checkbox.h"
#include "platform/forms/combobox.h"
#include "platform/forms/edit.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/filectrl.h"
#include "platform/forms/label.h"
#include "platform/forms/memo.h"
#include "platform/window/window.h"
#include "song/seams.h"
#include "song/song.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>

using namespace platform;

TfmOptions* fmOptions = nullptr;

namespace {

constexpr const char* kInactive = "(Inactive) ";

// A whole decimal number, blanks around it ignored; False for anything else.
bool WholeNumber(std::string_view S, int& N) {
    while (!S.empty() && (S.front() == ' ' || S.front() == '\t'))
        S.remove_prefix(1);
    while (!S.empty() && (S.back() == ' ' || S.back() == '\t'))
        S.remove_suffix(1);
    if (S.empty()) return false;
    auto [end, ec] = std::from_chars(S.data(), S.data() + S.size(), N);
    return ec == std::errc() && end == S.data() + S.size();
}

// Key filters of the text entries: digits and backspace, and Enter where it is allowed.
void DigitsOnly(TWinControl* C, bool Enter) {
    C->OnKeyPress = [Enter](TObject*, char32_t& Key) {
        if ((Key >= '0' && Key <= '9') || Key == 8 || (Enter && Key == 13)) return;
        Key = 0;
    };
}

template <class T> T* Make(TfmOptions* Owner, TWinControl* Parent, int X, int Y, int W, int H) {
    auto* c = new T(Owner);
    c->Parent = Parent;
    c->SetBounds(X, Y, W, H);
    return c;
}

TLabel* AddLabel(TfmOptions* Owner, TWinControl* Parent, int X, int Y, const std::string& Text) {
    auto* l = new TLabel(Owner);
    l->Parent = Parent;
    l->Caption = Text;
    l->SetBounds(X, Y, l->Width(), l->Height());
    return l;
}

TCheckBox* Check(TfmOptions* Owner, TWinControl* Parent, int X, int Y, const std::string& Caption,
                 int W = 300) {
    auto* c = Make<TCheckBox>(Owner, Parent, X, Y, W, 19);
    c->Caption = Caption;
    return c;
}

TSpeedButton* Button(TfmOptions* Owner, TWinControl* Parent, int X, int Y, int W,
                     const std::string& Caption, const std::string& Hint = {}) {
    auto* b = new TSpeedButton(Owner);
    b->Parent = Parent;
    b->SetBounds(X, Y, W, 22);
    b->Caption = Caption;
    b->Hint = Hint;
    return b;
}

TComboBox* List(TfmOptions* Owner, TWinControl* Parent, int X, int Y, int W) {
    auto* c = Make<TComboBox>(Owner, Parent, X, Y, W, 21);
    c->Style = csDropDownList;
    c->DropDownCount = 12;
    return c;
}

void WriteBool(std::string_view Section, std::string_view Key, bool Value) {
    TIniFile().WriteBool(Section, Key, Value);
}

} // namespace

TfmOptions::TfmOptions(TComponent* AOwner) : TToolDialog(AOwner, "Options") {
    SetBounds(0, 0, 486, 356);
    OnCreate = [this](TObject*) { FormCreate(); };
    OnShow = [this](TObject*) { FormShow(); };
    OnClose = [this](TObject*, TCloseAction&) { FormClose(); };
}

TfmOptions::~TfmOptions() {
    if (fmOptions == this) fmOptions = nullptr;
}

void TfmOptions::BuildControls() {
    TFont f = Font.Get();
    f.Name = "Arial";
    f.SetSize(8);
    Font = f;
    Color = clBtnFace;
    ShowHint = true;

    OnTitleClick = [](TObject*) { Application->HelpContext(3); };
    labelTitle->Hint = "Click for help";
    labelTitle->Cursor = crHandPoint;
    AddButton("&Close", mrCancel)->Default = true;

    pages = new TPage95Control(this);
    pages->Parent = this;
    pages->SetBounds(78, 8, ClientWidth() - 86, ClientHeight() - 16);
    pages->ButtonStyle = true;
    pages->FlatButtons = true;
    pages->HotTrack = true;
    auto page = [this](const char* Caption) {
        auto* s = new TTab95Sheet(this);
        s->Caption = Caption;
        s->PageControl = pages;
        return s;
    };
    TabFile = page("File");
    TabBeep = page("Beep");
    TabMidi = page("MIDI");
    TabGlobal = page("Tempo");
    Tab95Sheet1 = page("Default");

    // File
    chkAautoload = Check(this, TabFile, 12, 12, "Open last saved song on start-up");
    chkAutoplay = Check(this, TabFile, 12, 36, "Start playback on start-up");
    chkConvert = Check(this, TabFile, 12, 60, "Split MIDI files format 0 on MIDI channels");
    AddLabel(this, TabFile, 12, 94, "Start-up folder");
    editPath = Make<TEdit>(this, TabFile, 12, 110, 320, 21);
    editPath->ReadOnly = true;
    SpeedButton8 = Button(this, TabFile, 336, 110, 24, "...", "Show/hide directory");
    DirectoryListBox1 = Make<TDirectoryListBox>(this, TabFile, 12, 136, 348, 140);
    DirectoryListBox1->Visible = false;

    // Beep
    chkActive = Check(this, TabBeep, 12, 12, "Active", 120);
    chkInternal = Check(this, TabBeep, 12, 36, "PC speaker", 120);
    chkInternal->Hint = "Use internal metronom";
    chkMidiBeep = Check(this, TabBeep, 12, 60, "MIDI", 60);
    chkMidiBeep->Hint = "Use metronom thru midi";
    AddLabel(this, TabBeep, 84, 63, "Ch");
    editCh = Make<TEdit>(this, TabBeep, 102, 60, 32, 21);
    AddLabel(this, TabBeep, 146, 63, "Note");
    editNote = Make<TEdit>(this, TabBeep, 174, 60, 44, 21);
    editNote->Hint = "Input note with midi-keyboard";
    AddLabel(this, TabBeep, 12, 97, "Output");
    comboDev = List(this, TabBeep, 84, 94, 250);
    AddLabel(this, TabBeep, 12, 134, "Precounts on record");
    AddLabel(this, TabBeep, 12, 157, "Beats");
    editBeats = Make<TEdit>(this, TabBeep, 84, 154, 32, 21);
    editBeats->MaxLength = 2;

    // MIDI
    AddLabel(this, TabMidi, 12, 10, "MIDI outputs");
    comboOutputs = List(this, TabMidi, 12, 26, 260);
    SpeedButton7 = Button(this, TabMidi, 12, 52, 62, "Use", "Use this output device on all tracks");
    sbEnableOut = Button(this, TabMidi, 78, 52, 62, "Enable");
    sbDisableOut = Button(this, TabMidi, 144, 52, 62, "Disable");
    SpeedButton5 = Button(this, TabMidi, 210, 52, 62, "Default", "Set as default output device");
    AddLabel(this, TabMidi, 12, 88, "MIDI input");
    comboInput = List(this, TabMidi, 12, 104, 260);
    chkRecSysex = Check(this, TabMidi, 12, 132, "Record SYSEX");
    chkSplitInput = Check(this, TabMidi, 12, 154, "Map midi channel to track");
    AddLabel(this, TabMidi, 12, 188, "CC map");
    comboCC1 = List(this, TabMidi, 12, 204, 60);
    AddLabel(this, TabMidi, 80, 207, "->");
    comboCC2 = List(this, TabMidi, 98, 204, 60);
    SpeedButton1 = Button(this, TabMidi, 166, 203, 62, "Reset");

    // Tempo
    AddLabel(this, TabGlobal, 12, 10, "Tempo settings");
    memoTempo = Make<TMemo>(this, TabGlobal, 12, 26, 110, 240);
    for (auto [y, note] : {std::pair{26, "Right click on the BPM field of the arrange window or "
                                         "the key editor to choose one of these tempos."},
                           std::pair{90, "Double click on the BPM field to take the top one."}}) {
        auto* l = new TLabel(this);
        l->Parent = TabGlobal;
        l->AutoSize = false;
        l->WordWrap = true;
        l->Caption = note;
        l->SetBounds(136, y, 220, 56);
    }

    // Default
    AddLabel(this, Tab95Sheet1, 12, 15, "Track mode");
    comboTrackMode = List(this, Tab95Sheet1, 84, 12, 120);
    for (const char* m : {"MIDI", "Audio", "Softsynth"})
        comboTrackMode->Items.Add(m);
}

void TfmOptions::FormCreate() {
    fmOptions = this;
    BuildControls();

    // Inputs; while the input is closed every entry is marked.
    const bool inputOpen = Midi && Midi->IsInputOpen();
    for (int i = 0; i < MidiInCount && Midi; ++i) {
        std::string name;
        Midi->GetInputName(i, name);
        comboInput->Items.Add((inputOpen ? "" : kInactive) + name);
    }
    OptionsListOutputs();
    editBeats->Enabled = MidiMode == 0;

    TIniFile ini;
    comboOutputs->ItemIndex = ini.ReadInteger("Options", "Default device", 0);
    const int input = ini.ReadInteger("Options", "Input device", 0);
    if (input >= 0 && input < comboInput->Items.Count()) {
        comboInput->ItemIndex = input;
        if (input > 0 && Midi) Midi->SelectInput(input);
    }
    chkConvert->Checked = ini.ReadBool("Options", "SplitFormat0", true);
    chkAautoload->Checked = ini.ReadBool("Autoload", "Enabled", false);
    chkAutoplay->Checked = ini.ReadBool("Autoplay", "Enabled", false);
    const std::string folder = ini.ReadString("Directory", "Song", "");
    editPath->Text = folder;
    std::error_code ec;
    // A folder that is gone leaves the current folder as it is.
    if (!folder.empty() && std::filesystem::is_directory(folder, ec)) {
        std::filesystem::current_path(folder, ec);
        DirectoryListBox1->Directory = folder;
    } else {
        DirectoryListBox1->Directory = std::filesystem::current_path(ec).string();
    }
    chkInternal->Checked = ini.ReadBool("beep", "pcspeaker", false);
    chkMidiBeep->Checked = ini.ReadBool("beep", "midibeep", true);
    BeepNote = std::clamp(ini.ReadInteger("beep", "midinote", 36), 0, 127);
    editNote->Text = MidiNoteName(BeepNote);
    comboDev->ItemIndex = ini.ReadInteger("beep", "mididevice", 0);
    editCh->Text = ini.ReadString("beep", "midich", "1");
    chkRecSysex->Checked = ini.ReadBool("MIDI", "RecordSysex", false);
    editBeats->Text = std::to_string(Song ? Song->Precounts : 0);
    chkActive->Checked = Song && Song->MetronomeOn;
    comboTrackMode->ItemIndex = DefaultTrackMode;

    OptionsSendMetronome();
    ShowPage(TabFile);
    chkSplitInput->Checked = Midi && Midi->MapInput;
    for (int n = 0; n < 128; ++n) {
        char s[4];
        std::snprintf(s, sizeof s, "%03d", n);
        comboCC1->Items.Add(s);
        comboCC2->Items.Add(s);
    }
    comboCC1->ItemIndex = 0;
    comboCC2->ItemIndex = CcMap[0];
    ConnectControls();
    if (Midi)
        Midi->Metronom(Song && Song->MetronomeOn, OptionsPcSpeaker(), OptionsMidiBeep(),
                       Song && Song->Precounts >= 1, Song ? Song->Precounts : 0,
                       OptionsBeepChannel(), OptionsBeepDevice(), OptionsBeepNote());
}

// The handlers go on once the stored values are shown, so that showing them writes nothing.
void TfmOptions::ConnectControls() {
    TFileMenuWindows& w = FileMenuWindows();
    auto send = [](TObject*) { OptionsSendMetronome(); };
    chkActive->OnClick = [this, &w](TObject*) {
        OptionsSendMetronome();
        if (Song) Song->MetronomeOn = chkActive->Checked ? 1 : 0;
        w.RepaintMetronomeButton();
    };
    chkInternal->OnClick = send;
    chkMidiBeep->OnClick = send;
    comboDev->OnChange = send;
    DigitsOnly(editCh, true);
    editCh->OnChange = [this](TObject*) {
        if (!editCh->Text().empty()) OptionsSendMetronome();
    };
    editNote->OnChange = [this](TObject*) {
        if (!editNote->Text().empty()) OptionsSendMetronome();
    };
    DigitsOnly(editBeats, false);
    editBeats->OnExit = [this](TObject*) { BeatsExit(); };
    chkAautoload->OnClick = [this](TObject*) {
        WriteBool("Autoload", "Enabled", chkAautoload->Checked);
    };
    chkAutoplay->OnClick = [this](TObject*) {
        WriteBool("Autoplay", "Enabled", chkAutoplay->Checked);
    };
    chkConvert->OnClick = [this](TObject*) {
        WriteBool("Options", "SplitFormat0", chkConvert->Checked);
    };
    SpeedButton8->OnClick = [this](TObject*) {
        DirectoryListBox1->Visible = !DirectoryListBox1->Visible;
    };
    DirectoryListBox1->OnChange = [this](TObject*) {
        editPath->Text = DirectoryListBox1->Directory();
        TIniFile().WriteString("Directory", "Song", DirectoryListBox1->Directory());
    };
    comboOutputs->OnChange = [this](TObject*) { UpdateOutputButtons(); };
    SpeedButton7->OnClick = [this](TObject*) { UseClick(); };
    sbEnableOut->OnClick = [this](TObject*) { EnableClick(true); };
    sbDisableOut->OnClick = [this](TObject*) { EnableClick(false); };
    SpeedButton5->OnClick = [this](TObject*) {
        TIniFile().WriteInteger("Options", "Default device", comboOutputs->ItemIndex);
    };
    comboInput->OnChange = [this](TObject*) {
        TIniFile().WriteInteger("Options", "Input device", comboInput->ItemIndex);
        if (Midi) Midi->SelectInput(comboInput->ItemIndex);
    };
    chkRecSysex->OnClick = [this](TObject*) { RecordSysexClick(); };
    chkSplitInput->OnClick = [this](TObject*) {
        if (Midi) Midi->MapInput = chkSplitInput->Checked();
        WriteBool("MIDI", "MapInput", chkSplitInput->Checked);
    };
    comboCC1->OnChange = [this](TObject*) {
        if (int n = comboCC1->ItemIndex; n >= 0 && n < 128) comboCC2->ItemIndex = CcMap[n];
    };
    comboCC2->OnChange = [this](TObject*) {
        const int n = comboCC1->ItemIndex, m = comboCC2->ItemIndex;
        if (n >= 0 && n < 128 && m >= 0 && m < 128) CcMap[n] = std::uint8_t(m);
    };
    SpeedButton1->OnClick = [this](TObject*) {
        for (int n = 0; n < 128; ++n)
            CcMap[n] = std::uint8_t(n);
        comboCC2->ItemIndex = std::max(0, comboCC1->ItemIndex());
    };
    comboTrackMode->OnChange = [this](TObject*) {
        if (comboTrackMode->ItemIndex >= 0) DefaultTrackMode = comboTrackMode->ItemIndex;
    };
    DigitsOnly(memoTempo, true);
    memoTempo->OnExit = [this](TObject*) { TempoExit(); };
    pages->OnChange = [this](TObject*) { ShowPage(pages->ActivePage); };
}

void TfmOptions::FormShow() {
    chkActive->Checked = Song && Song->MetronomeOn;
}

void TfmOptions::FormClose() {
    TempoExit();
    if (editBeats->Enabled) BeatsExit();
    if (memoTempo->Modified) {
        FileMenuWindows().BuildTempoPopup();
        memoTempo->Modified = false;
    }
    TIniFile ini;
    ini.EraseSection("ccmap");
    for (int n = 0; n < 128; ++n)
        if (CcMap[n] != n) ini.WriteInteger("ccmap", std::to_string(n), CcMap[n]);
    ini.WriteInteger("Default", "TrackMode", DefaultTrackMode);
}

void TfmOptions::ShowPage(TTab95Sheet* Page) {
    if (!Page) return;
    pages->ActivePage = Page;
    if (Page == TabFile)
        SetHelp("Select options for autosave and open last saved song at program start");
    else if (Page == TabBeep)
        SetHelp("Select beep on/off, beep midi ch, beep output device and beep precount");
    else if (Page == TabMidi)
        SetHelp("Select midi input, default midi output device or change all track devices to "
                "a spesific device");
    else if (Page == TabGlobal)
        SetHelp("Set master tempo for song");
}

void TfmOptions::OptionsListOutputs() {
    const int dev = comboDev->ItemIndex, out = comboOutputs->ItemIndex;
    comboDev->Items.Clear();
    comboOutputs->Items.Clear();
    for (int i = 0; i < MidiOutCount && Midi; ++i) {
        int technology = 0;
        std::string name;
        Midi->GetOutputCaps(i, technology, name);
        if (!Midi->IsOutputOpen(i)) name = kInactive + name;
        comboDev->Items.Add(name);
        comboOutputs->Items.Add(name);
    }
    if (dev >= 0 && dev < comboDev->Items.Count()) comboDev->ItemIndex = dev;
    if (out >= 0 && out < comboOutputs->Items.Count()) comboOutputs->ItemIndex = out;
    UpdateOutputButtons();
}

void TfmOptions::UpdateOutputButtons() {
    if (!sbEnableOut) return;
    const int i = comboOutputs->ItemIndex;
    const bool open = i >= 0 && Midi && Midi->IsOutputOpen(i);
    sbEnableOut->Enabled = i >= 0 && !open;
    sbDisableOut->Enabled = i >= 0 && open;
}

void TfmOptions::UseClick() {
    const int i = comboOutputs->ItemIndex;
    if (i < 0 || !Song) return;
    // Every track takes the output, whatever its mode and whatever the edit guard answers;
    // only the notes still sounding need the guard.
    for (int t = 0; t < TrackCount; ++t)
        Song->TrackAt(t)->Output = i;
    if (MainWindow().PausePlayback()) {
        if (Midi) Midi->AllNotesOff(-1, -1);
        MainWindow().ResumePlayback();
    }
    FileMenuWindows().RepaintTrackList();
    FileMenuWindows().RefreshTrackbar();
}

void TfmOptions::EnableClick(bool Open) {
    const int i = comboOutputs->ItemIndex;
    if (i < 0 || !Midi || !MainWindow().PausePlayback()) return;
    const bool done = (Open ? Midi->OpenOutDev(i) : Midi->CloseOutDev(i)) &&
                      Midi->IsOutputOpen(i) == Open;
    if (done) {
        OptionsListOutputs();
        TFileMenuWindows& w = FileMenuWindows();
        w.RepaintTrackList();
        w.RefreshTrackbar();
        w.BuildOutputMenus();
    }
    MainWindow().ResumePlayback();
    UpdateOutputButtons();
}

void TfmOptions::RecordSysexClick() {
    WriteBool("MIDI", "RecordSysex", chkRecSysex->Checked);
    if (!Midi || !Midi->InPort) return;
    // The flag is read when the input opens.
    Midi->InPort->RecordSysex = chkRecSysex->Checked;
    Midi->SelectInput(std::max(0, comboInput->ItemIndex()));
}

void TfmOptions::TempoExit() {
    std::vector<std::string> kept;
    bool changed = false;
    for (int i = 0; i < memoTempo->Lines.Count(); ++i) {
        int bpm = 0;
        const std::string& line = memoTempo->Lines[i];
        if (WholeNumber(line, bpm) && bpm >= 10 && bpm <= 250) {
            kept.push_back(std::to_string(bpm));
            changed |= kept.back() != line;
        } else {
            changed = true;
        }
    }
    if (!changed) return;
    memoTempo->Lines.BeginUpdate();
    memoTempo->Lines.Clear();
    for (const std::string& s : kept)
        memoTempo->Lines.Add(s);
    memoTempo->Lines.EndUpdate();
}

void TfmOptions::BeatsExit() {
    int beats = 0;
    if (!WholeNumber(editBeats->Text(), beats) || beats < 0) {
        beats = 0;
        editBeats->Text = "0";
    }
    if (Song) Song->Precounts = beats;
    OptionsSendMetronome();
}

LRESULT TfmOptions::WndProc(UINT Msg, WPARAM W, LPARAM L) {
    switch (Msg) {
    case MM_MIM_DATA: {
        // A played key becomes the metronome note; system messages carry no note.
        const auto m = static_cast<std::uint32_t>(L);
        if ((m & 0x80) && (m & 0xF0) != 0xF0) {
            BeepNote = int(MidiData1(m) & 0x7F);
            editNote->Text = MidiNoteName(BeepNote);
            OptionsSendMetronome();
        }
        return 0;
    }
    default:
        // The song position and the output queue stay the main window's.
        if (ForwardTransportMessage(Msg, W, L)) return 0;
        return TToolDialog::WndProc(Msg, W, L);
    }
}

// ---- what the other windows read ----------------------------------------------------------

bool OptionsPcSpeaker() {
    return fmOptions && fmOptions->chkInternal->Checked;
}

bool OptionsMidiBeep() {
    return !fmOptions || fmOptions->chkMidiBeep->Checked;
}

int OptionsBeepChannel() {
    if (!fmOptions) return 0;
    int ch = 0;
    if (!WholeNumber(fmOptions->editCh->Text(), ch) || ch < 1 || ch > 16) {
        fmOptions->editCh->Text = "1";
        return 0;
    }
    return ch - 1;
}

int OptionsBeepDevice() {
    if (!fmOptions) return 0;
    const int i = fmOptions->comboDev->ItemIndex;
    return i >= 0 && i < MidiOutCount ? i : 0;
}

int OptionsBeepNote() {
    if (!fmOptions) return 36;
    const std::string text = fmOptions->editNote->Text();
    for (int n = 0; n < 128; ++n)
        if (SameText(MidiNoteName(n), text)) return n;
    return 36;
}

void OptionsSendMetronome() {
    if (!Midi || !fmOptions) return;
    const int precounts = Song ? Song->Precounts : 0;
    Midi->Metronom(fmOptions->chkActive->Checked, OptionsPcSpeaker(), OptionsMidiBeep(),
                   precounts >= 1, precounts, OptionsBeepChannel(), OptionsBeepDevice(),
                   OptionsBeepNote());
}

std::vector<std::string> OptionsTempoLines() {
    std::vector<std::string> r;
    if (!fmOptions) return r;
    for (int i = 0; i < fmOptions->memoTempo->Lines.Count(); ++i)
        r.push_back(fmOptions->memoTempo->Lines[i]);
    return r;
}

void OptionsAppendTempo(std::string_view Line) {
    if (fmOptions) fmOptions->memoTempo->Lines.Add(std::string(Line));
}

void OptionsClearTempo() {
    if (fmOptions) fmOptions->memoTempo->Lines.Clear();
}

void ShowOptionsPage(int Page) {
    if (!fmOptions) return;
    TTab95Sheet* sheets[] = {fmOptions->TabFile, fmOptions->TabBeep, fmOptions->TabMidi,
                             fmOptions->TabGlobal, fmOptions->Tab95Sheet1};
    if (Page >= 0 && Page < 5) fmOptions->ShowPage(sheets[Page]);
    fmOptions->ShowModal();
}
