#include "app/main.h"
#include "editors/audio/mixer.h"

#include "app/arrange.h"
#include "app/cursors.h"
#include "app/dialogs.h"
#include "app/editorhost.h"
#include "app/filemenu.h"
#include "app/options.h"
#include "editors/audio/sampleedit.h"
#include "editors/midi/key.h"

#include "devices/audio.h"
#include "devices/call16.h"
#include "devices/dxsounds.h"
#include "devices/inport.h"
#include "devices/meditor.h"
#include "devices/midi.h"
#include "devices/sblive.h"
#include "devices/ui/uaudioabout.h"
#include "devices/ui/uplugeditor.h"
#include "devices/ui/upluginsearch.h"
#include "gui/dragrect.h"
#include "gui/glib.h"
#include "gui/looks.h"
#include "gui/nybutton.h"
#include "platform/core/dialogs.h"
#include "platform/core/ini.h"
#include "platform/core/nocase.h"
#include "platform/core/paths.h"
#include "platform/forms/application.h"
#include "platform/gdi/gdi.h"
#include "platform/window/input.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"
#include "song/seams.h"
#include "song/smf.h"
#include "song/softengine.h"
#include "song/song.h"
#include "song/songfile.h"
#include "song/textconv.h"
#include "song/timebase.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <filesystem>

using namespace platform;

std::uint8_t InitDone = 0;
TfmMdi* fmMdi = nullptr;

namespace {

std::vector<std::string> g_args;

// What the song model asks of the main window; the transport issue's edit guard comes here.
class TMdiSeam : public TMainWindowSeam {
public:
    bool PausePlayback() override { return !fmMdi || fmMdi->PausePlayback(); }
    void ResumePlayback() override {
        if (fmMdi) fmMdi->ResumePlayback();
    }
    void StopPlayback(bool StopAudio) override {
        if (fmMdi) fmMdi->StopPlayback(StopAudio);
    }
    void PaintParts(int All) override {
        if (fmArrange) fmArrange->DrawParts(All);
    }
    void RefreshMixer() override {
        if (fmMdi) fmMdi->RefreshMixer();
    }
    void RefreshParamEditorIfNoPart() override {
        if (fmMdi) fmMdi->RefreshParamEditorIfNoPart();
    }
};

class TMdiAudioHooks : public TAudioHooks {
public:
    bool RecordAudio() override { return fmMdi && fmMdi->AudioRecord.load(); }
    void SetPeaks(const float* Buffer, int Frames) override {
        if (fmMdi && fmMdi->VU) fmMdi->VU->SetPeaks(Buffer, Frames);
    }
    void BroadcastBlock(float* Buffer, int Frames) override {
        BroadcastEditorBlock(Buffer, Frames);
    }
    bool ShowAbout() override { return ShowAudioAbout(); }
};

class TMdiSongFileHost : public TSongFileHost {
public:
    void AddRecentFile(std::string_view Path) override {
        if (fmMdi) fmMdi->AddRecentFile(Path);
    }
    bool SaveAs() override { return fmMdi && fmMdi->Saveas1Click(); }
    void SetArrangeCaption(std::string_view Caption) override {
        if (fmArrange) fmArrange->Caption = std::string(Caption);
    }
    std::vector<TSongArea>& Areas() override {
        return fmMdi ? fmMdi->Areas.Items : TSongFileHost::Areas();
    }
    void ClearSongLists() override { SongListsCleared(); }
    // The tempo presets live in the options window.
    std::vector<std::string> TempoLines() override { return OptionsTempoLines(); }
    void AppendTempoLine(std::string_view Line) override { OptionsAppendTempo(Line); }
};

TMdiSeam g_seam;
TMdiAudioHooks g_audioHooks;
TMdiSongFileHost g_fileHost;

// Colours are stored as signed decimals; the unsigned spelling of the same number reads too.
TColor ReadColor(const TIniFile& ini, std::string_view Section, std::string_view Key, TColor Def) {
    std::string s = ini.ReadString(Section, Key, "");
    std::string_view v = s;
    while (!v.empty() && v.front() == ' ')
        v.remove_prefix(1);
    while (!v.empty() && v.back() == ' ')
        v.remove_suffix(1);
    long long n = 0;
    auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
    if (!v.empty() && ec == std::errc() && end == v.data() + v.size() && n >= INT_MIN &&
        n <= static_cast<long long>(UINT_MAX))
        return static_cast<TColor>(static_cast<std::uint32_t>(n));
    return StrToIntDef(v, Def);
}

// A folder under the program folder, matched without regard to case, made when missing.
void EnsureProgramSubFolder(const std::string& Name) {
    std::error_code ec;
    const std::filesystem::path root = ProgramFolder();
    for (const auto& e : std::filesystem::directory_iterator(root, ec))
        if (e.is_directory(ec) && SameText(e.path().filename().string(), Name)) return;
    std::filesystem::create_directories(root / Name, ec); // a failure is not reported
}

void FillBitmap(TBitmap& b, int w, int h, TColor face, TColor edge) {
    b.SetSize(w, h);
    TCanvas& c = b.Canvas();
    c.Brush.Color = edge;
    c.FillRect(TRect{0, 0, w, h});
    c.Brush.Color = face;
    c.FillRect(TRect{1, 1, w - 1, h - 1});
}

// A fader knob: a raised cap, light at the top, with a grip line down its middle.
void DrawKnob(TBitmap& b) {
    b.SetSize(23, 14);
    TCanvas& c = b.Canvas();
    DrawGradient(c, 0xE8E8E8, 0x686868, 0, TRect{0, 0, 23, 14});
    c.Brush.Color = clBlack;
    c.FrameRect(TRect{0, 0, 23, 14});
    c.Pen.Color = clWhite;
    c.MoveTo(11, 2);
    c.LineTo(11, 12);
    c.Pen.Color = 0x303030;
    c.MoveTo(12, 2);
    c.LineTo(12, 12);
}

// A round LED on black, its light towards the top-left.
void DrawLed(TBitmap& b, TColor face, TColor light) {
    b.SetSize(12, 12);
    TCanvas& c = b.Canvas();
    c.Brush.Color = clBlack;
    c.FillRect(TRect{0, 0, 12, 12});
    c.Pen.Color = 0x202020;
    c.Brush.Color = face;
    c.Ellipse(1, 1, 11, 11);
    c.Pen.Color = light;
    c.Brush.Color = light;
    c.Ellipse(3, 3, 6, 6);
}

// The Undo items' icon: an arrow that turns back to the left, on a clear ground (the ground
// colour is the bottom-left pixel's).
void DrawUndoIcon(TBitmap& b) {
    b.SetSize(16, 16);
    TCanvas& c = b.Canvas();
    c.Brush.Color = 0xFF00FF;
    c.FillRect(TRect{0, 0, 16, 16});
    c.Pen.Color = 0x2060C0;
    c.Pen.Width = 2;
    c.MoveTo(5, 6);
    c.LineTo(10, 6);
    c.LineTo(13, 9);
    c.LineTo(13, 11);
    c.LineTo(10, 13);
    c.LineTo(7, 13);
    c.Pen.Width = 1;
    c.Brush.Color = 0x2060C0;
    const TPoint head[3] = {{1, 6}, {6, 2}, {6, 10}};
    c.Polygon(head);
}

} // namespace

TfmMdi::TfmMdi(TComponent* AOwner)
    : TForm(AOwner), Skin(SkinBinding().Skin), SkinName(SkinBinding().SkinFileName) {
    Caption = "Tolvern";
    FormStyle = fsMDIForm;
    SetBounds(0, 0, 1024, 740);
    systemTimer.Interval = 50;
    systemTimer.Enabled = false;
    OnCreate = [this](TObject*) { FormCreate(); };
    OnCloseQuery = [this](TObject*, bool& CanClose) { FormCloseQuery(CanClose); };
    OnClose = [this](TObject*, TCloseAction& Action) { FormClose(Action); };
}

TfmMdi::~TfmMdi() {
    // The editors and the arrange window are the frame's children: they go first.
    if (fmKey) fmKey->Free();
    if (fmAudio) fmAudio->Free();
    if (fmArrange) fmArrange->Free();
    if (fmMixer) fmMixer->Free();
    if (fmMdi == this) fmMdi = nullptr;
}

// Our own artwork: meter bars, the MIDI LED, the knob and the small LEDs, the menu icons.
void TfmMdi::DrawArtwork() {
    FillBitmap(imgVuOff, 81, 6, 0x203020, 0x101010);
    FillBitmap(imgVuOn, 81, 6, 0x30D040, 0x101010);
    {
        // The lit bar turns amber and then red towards its end.
        TCanvas& c = imgVuOn.Canvas();
        c.Brush.Color = 0x20C0F0;
        c.FillRect(TRect{60, 1, 72, 5});
        c.Brush.Color = 0x2020E0;
        c.FillRect(TRect{72, 1, 80, 5});
    }
    FillBitmap(imgLedOff, 6, 14, 0x204020, 0x101010);
    FillBitmap(imgLedOn, 6, 14, 0x40FF40, 0x101010);
    DrawKnob(imgKnob);
    DrawLed(imgLedOn2, 0x40E040, 0xC0FFC0);
    DrawLed(imgLedOff2, 0x284028, 0x406040);
    // Menu icons: 0 open, 1 save, 2 new, 3 port, 4 synthesizer, 5 plug-in, 6 audio, 7 editor.
    static const TColor kIcon[8] = {0x40A0E0, 0xE08040, 0xF0F0F0, 0x40C040,
                                    0xC040C0, 0x4040E0, 0x40C0C0, 0xC0C040};
    for (TColor col : kIcon) {
        TBitmap b;
        FillBitmap(b, 16, 16, col, 0x404040);
        MenuImages.Add(b, nullptr);
    }
}

void TfmMdi::ReadAppearance() {
    TIniFile ini;
    AreaNames = ini.ReadBool("Options", "AreaNames", true);
    FontName = ini.ReadString("Global", "FontName", "Arial");
    FontSize = ini.ReadInteger("Global", "FontSize", 8);
    FontStyle = IntToFontStyles(ini.ReadInteger("Global", "FontStyle", 0));
    FontColor = ReadColor(ini, "Global", "FontColor", 0);
    FontBkColor = ReadColor(ini, "Global", "FontBkColor", TColor(0x8000000F));
    LedColor = ReadColor(ini, "Song edit", "LedColor", 0x50A0A0);
    UseBitmap = ini.ReadBool("Background", "UseBitmap", false);
    MainBkColor = ReadColor(ini, "Background", "Main", 0x1F1F1F);
    ControlBkColor = ReadColor(ini, "Layout", "ControlBkColor", 0x1F1F1F);
    ControlTextColor = ReadColor(ini, "Layout", "ControlTextColor", 0xC0C0C0);
    ColumnSeparator = ReadColor(ini, "Layout", "ColumnSeparator", 0);
    LoopBkColor = ReadColor(ini, "Layout", "LoopBkColor", 0xC0C0C0);
    Part3d = ini.ReadInteger("Layout", "Part3d", 24);
    PartsSelectedColor = ReadColor(ini, "Song edit", "PartsSelectedColor", 0xADD6D6);
    LedActive = true;
    Color = MainBkColor;
    SetButtonColors(ControlBkColor, ControlTextColor);
}

void TfmMdi::FormCreate() {
    fmMdi = this;
    RunLogStart();
    InitLooks();
    DrawArtwork();
    imports = std::make_unique<TDXWaveList>();

    SetMainWindow(&g_seam);
    SetAudioHooks(&g_audioHooks);
    SetSongFileHost(&g_fileHost);

    Song = new TSong();
    RunLogAdd("Song object created...");
    Audio = new TAudio(Handle());
    Audio->NotifyWnd = Handle();
    RunLogAdd("Audio object created...");
    SplashInfo("Connecting MIDI...");
    if (g_args.size() == 1 && g_args[0] == "Win2k") MidiMode = 1;
    Midi = new TMIDI(TMidiSetup::Devices);
    RunLogAdd("MIDI object created...");

    if (HWND client = ClientHandle()) {
        SetWindowLongPtr(client, GWL_EXSTYLE,
                         GetWindowLongPtr(client, GWL_EXSTYLE) & ~LONG_PTR(WS_EX_CLIENTEDGE));
        SetWindowPos(client, 0, 0, 0, 0, 0,
                     SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOZORDER);
    }
    RunLogAdd("Window client frame removed...");
    // The client area behind the child windows takes the main window's background colour and
    // always fills the frame.
    if (HWND client = ClientHandle()) {
        platform::WndProc old = GetWindowProc(client);
        SetWindowProc(client, [this, old](HWND h, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
            if (msg != WM_ERASEBKGND) return CallWindowProc(old, h, msg, w, l);
            TRect r{};
            GetClientRect(h, &r);
            HBRUSH b = CreateSolidBrush(COLORREF(MainBkColor));
            FillRect(HDC(w), &r, b);
            DeleteObject(b);
            return 1;
        });
    }
    OnResize = [this](TObject*) {
        if (HWND client = ClientHandle()) {
            // The client area takes what the docked transport bar leaves.
            Realign();
            // A grown client has area that was never painted.
            InvalidateRect(client, nullptr, true);
        }
    };

    VU = std::make_unique<TAudioVU>(imgVuOff, imgVuOn);
    MidiLed = std::make_unique<TMidiLed>(imgLedOff, imgLedOn);
    PosText = std::make_unique<TMidiPos>(0xC0C0C0, 0xFF0000, 90, 16);
    RunLogAdd("Transporter GUI created...");

    AudioRecord = false;
    TIniFile ini;
    auto folder = [&](std::string_view Key) {
        std::string s = ini.ReadString("Folders", Key, "");
        if (!s.empty() && s.back() != '\\') s += '\\';
        return s;
    };
    Song->SynthPath = folder("Synth");
    Song->FxPath = folder("FX");
    RunLogAdd("Folders checked...");

    ReadAppearance();

    Show();
    WindowState = wsMaximized;
    if (OnResize) OnResize(this);
    RunLogAdd("Show main window...");
    Midi->SetWnd(Handle());
    RunLogAdd("MIDI Message Handle set...");
    if (ini.ReadBool("MIDI", "RecordSysex", false) && Midi->InPort) {
        Midi->InPort->RecordSysex = true;
        // Opened again so that its system-exclusive buffer is queued.
        Midi->SelectInput(0);
    }
    RunLogAdd("MIDI Sysex check done...");
    Midi->OpenMidi();
    RunLogAdd("Open MIDI devices done...");
    Midi->SetTempo(120);
    RunLogAdd("Set tempo done...");
    Midi->SetSync(ini.ReadBool("MTC", "Active", false), ini.ReadInteger("MTC", "Device", 0),
                  ini.ReadInteger("MTC", "fps", 25));
    RunLogAdd("Sync done...");

    Song->MetronomeOn = ini.ReadBool("beep", "active", false) ? 1 : 0;
    for (const char* f : {"fx", "synth", "editor", "gui", "system"})
        EnsureProgramSubFolder(f);
    SplashStep();

    // Dropped files (the file menu issue) take their place here.
    CreateTransportBar();
    OnKeyDown = [this](TObject* S, std::uint16_t& Key, TShiftState Sh) { FormKeyDown(S, Key, Sh); };
    OnKeyUp = [this](TObject* S, std::uint16_t& Key, TShiftState Sh) { FormKeyUp(S, Key, Sh); };
    SkinBinding().LoadSkinFromSettings();

    SBLive = new TSBLive();
    SBLive->AutoOpenSave = ini.ReadBool("SBLive!", "AutoOpenSave", false);
    if (SBLive->Library) SplashInfo("Soundfont Manager found...");

    Song->SyncToAudio = (ini.ReadBool("Audio", "synctoaudio", true) && MidiMode == 0) ? 1 : 0;
    Song->RespondToStartStop = ini.ReadBool("SyncIn", "StartStopContinue", false) ? 1 : 0;

    if (!DragRect) DragRect = new TSelect();

    InitFileMenu();
    LoadRecentFiles();
    Winding = false;
    WindStep = 16;
    Areas.Items.clear();

    Application->HelpFile = ProgramFolder() + "Tolvern.hlp";

    // The menu icons in the order the menus take them.
    static const int kMenuIndex[8] = {0, 1, 2, 6, 3, 4, 5, 7};
    for (int i = 0; i < 8; ++i) {
        MenuBitmaps[i] = std::make_unique<TBitmap>();
        MenuImages.GetBitmap(kMenuIndex[i], *MenuBitmaps[i]);
    }
    MenuBitmaps[kUndoMenuBitmap] = std::make_unique<TBitmap>();
    DrawUndoIcon(*MenuBitmaps[kUndoMenuBitmap]);
    RegisterKeyCursors();

    for (UINT vk : {UINT(VK_RETURN), UINT(VK_SPACE), UINT(VK_NUMPAD0), UINT(VK_HOME),
                    UINT(VK_NUMPAD1), UINT(VK_NUMPAD2), UINT(VK_NUMPAD9)})
        RegisterHotKey(Handle(), int(vk), MOD_CONTROL | MOD_ALT, vk);
    RunLogAdd("Registering hot keys done...");

    PressedButton = DrawnState = DrawnButton = 0;
    InstallTransport();
    InstallSynthMenu();
    InstallPluginWindows();
    InstallMixer();
    InstallEditorPlugins();
    InstallEditCommands();
    TSoftEngine::UpdateMuteSolo();

    InitDone = 1;
    RunLogAdd("Initialization done...");
}

bool TfmMdi::Save1Click() {
    return SaveSong();
}

bool TfmMdi::Saveas1Click() {
    TFileDialogRequest r;
    r.Title = "Save song";
    r.Filter = "Tolvern song (*.seq)|*.seq|MIDI file (*.mid)|*.mid";
    r.DefaultExt = "seq";
    if (Song->Untitled) {
        r.InitialDir = TIniFile().ReadString("Directory", "Song", "");
        r.FilterIndex = 1;
    } else {
        r.InitialDir = Song->Folder;
        r.FileName = Song->FileName;
        r.FilterIndex = Song->IsMidiFile ? 2 : 1;
    }
    for (;;) {
        if (!GetSaveFileName(r)) return false;
        std::string ext = std::filesystem::path(r.FileName).extension().string();
        for (char& c : ext)
            c = char(std::toupper(static_cast<unsigned char>(c)));
        const bool midi = ext == ".MID" || (ext != ".SEQ" && r.FilterIndex == 2);
        // The writers name the file after the kind they write (".seq" added, ".mid" cut): a
        // file under that other name is not replaced without asking either.
        const std::string target = midi ? SmfFileTarget(r.FileName) : SongFileTarget(r.FileName);
        if (target == r.FileName || MayReplaceFile(target, r.Title))
            return midi ? WriteSmfFile(r.FileName) : SaveSongFile(r.FileName);
    }
}

void TfmMdi::FormCloseQuery(bool& CanClose) {
    CanClose = MessageBox("Are you sure?", "Exit Tolvern", MB_YESNO | MB_ICONQUESTION) == IDYES;
    if (!CanClose || !Song || !Song->Modified) return;
    if (MessageBox("Save changes to " + Song->FileName + "?", "Save song",
                   MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    Midi->Stop(0);
    Midi->AllNotesOff(-1, -1);
    // The window closes only when the song was written; a cancelled or failed save keeps it.
    bool saved = false;
    try {
        saved = Save1Click();
    } catch (...) {
        Application->ShowException(std::current_exception());
    }
    if (saved) return;
    CanClose = false;
    if (Song->State != 0) StopPlayback(false);
}

void TfmMdi::FormClose(TCloseAction& Action) {
    systemTimer.Enabled = false;
    DetachSynthMenu();
    // The AWE window comes with its issue.
    SkinBinding().UnloadSkin();
    if (Midi) Midi->Stop(1);
    SaveMainSettings();
    // Editors, the arrange window and the mixer write their settings and go here.
    if (fmKey && fmKey->Visible) fmKey->Close();
    if (fmKey) fmKey->Free();
    if (fmAudio) {
        fmAudio->SaveSettings();
        fmAudio->Free();
    }
    if (fmArrange) {
        if (fmArrange->Visible) SaveArrangeSettings();
        fmArrange->Free();
    }
    if (fmMixer) fmMixer->Free();
    Action = caFree;
    FreeStartObjects();
    TIniFile().WriteBool("Audio", "ShutdownOK", true);
}

void TfmMdi::FreeStartObjects() {
    // The input's callback reads the song and feeds the thru softsynth: it goes before them.
    if (Midi && Midi->InPort) Midi->InPort->Close();
    delete Song;
    Song = nullptr;
    delete SBLive;
    SBLive = nullptr;
    for (auto& b : MenuBitmaps)
        b.reset();
    VU.reset();
    MidiLed.reset();
    PosText.reset();
    delete GuiLooks;
    GuiLooks = nullptr;
    delete Audio;
    Audio = nullptr;
    delete Midi;
    Midi = nullptr;
    SetAudioHooks(nullptr);
}

void TfmMdi::EmergencyQuit() {
    // The audio callback reads the MIDI object: the driver stops (and its running block ends)
    // before either object goes.
    try {
        if (Midi) Midi->Stop(1);
    } catch (...) {
    }
    TAudio* a = Audio;
    TMIDI* m = Midi;
    Audio = nullptr;
    Midi = nullptr;
    try {
        delete a;
    } catch (...) {
    }
    try {
        delete m;
    } catch (...) {
    }
    systemTimer.Enabled = false;
    Application->Terminate();
}

void SaveMainSettings() {
    if (!fmMdi) return;
    TIniFile ini;
    ini.EraseSection("LastSaved");
    for (std::size_t i = 0; i < fmMdi->RecentFiles.size() && i < 5; ++i)
        ini.WriteString("LastSaved", "File" + std::to_string(i + 1), fmMdi->RecentFiles[i]);
    // The [Transporter] rows are the transport bar's.
    fmMdi->WriteTransportSettings();
    ini.WriteBool("Transporter", "PosAsTime", fmMdi->PosAsTime);
    ini.WriteBool("Song edit", "LedActive", fmMdi->LedActive);
    if (fmMixer) {
        ini.WriteBool("Mixer", "Visible", fmMixer->Visible);
        ini.WriteInteger("Mixer", "Left", fmMixer->GetLeft());
        ini.WriteInteger("Mixer", "Top", fmMixer->GetTop());
    }
}

void FinishStartup() {
    CreateArrangeWindow();
}

TColor ReadIniColor(const TIniFile& Ini, std::string_view Section, std::string_view Key,
                    TColor Def) {
    return ReadColor(Ini, Section, Key, Def);
}

bool StartProgram(const std::vector<std::string>& args) {
    g_args = args;
    InitDone = 0;
    if (FindInstallFile("midiengine.dll").empty()) {
        MessageBox("Missing file midiengine.dll", "Error", MB_OK | MB_ICONERROR);
        return false;
    }
    ChooseMidiMode();
    MakeForm(dlgSplach)->Show();
    dlgSplach->Update();
    try {
        Application->CreateForm(fmMdi);
    } catch (...) {
        Application->ShowException(std::current_exception());
        if (fmMdi) fmMdi->FreeStartObjects();
    }
    if (InitDone) {
        MakeForm(fmDirectory);
        MakeForm(fmAudioAbout);
        MakeForm(fmPluginSearch);
        SetPluginSearch(&SearchPluginDialog);
        // Hidden to the end: other windows read their settings from it.
        MakeForm(fmOptions);
    }
    if (!InitDone) {
        dlgSplach->Close();
        MessageBox("Tolvern could not initialize properly. Shutting down...", "Startup error",
                   MB_OK | MB_ICONERROR);
        return false;
    }
    FinishStartup();
    return true;
}

int RunProgram(const std::vector<std::string>& args) {
    if (!StartProgram(args)) {
        FreeApplicationForms();
        return 1;
    }
    Application->Run();
    FreeApplicationForms();
    return 0;
}
