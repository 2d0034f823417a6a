#include "app/arrange.h"

#include "app/arrangetransport.h"

#include "app/dialogs.h"
#include "app/editorstrips.h"
#include "app/filemenu.h"
#include "app/main.h"
#include "devices/audio.h"
#include "devices/midi.h"
#include "devices/sblive.h"
#include "devices/ui/audiosetup.h"
#include "editors/audio/sampleedit.h"
#include "editors/midi/key.h"
#include "gui/dragrect.h"
#include "gui/mscroll.h"
#include "gui/scroll.h"
#include "platform/core/ini.h"
#include "platform/core/paths.h"
#include "platform/forms/application.h"
#include "platform/forms/buttons.h"
#include "platform/forms/combobox.h"
#include "platform/forms/edit.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/header.h"
#include "platform/menus/commdlg.h"
#include "platform/menus/menus.h"
#include "platform/window/focus.h"
#include "platform/window/input.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"
#include "song/filehelpers.h"
#include "song/gmnames.h"
#include "song/seams.h"
#include "song/smf.h"
#include "song/softengine.h"
#include "song/song.h"
#include "song/songfile.h"
#include "song/textconv.h"
#include "song/timebase.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <typeinfo>

using namespace platform;

TfmArrange* fmArrange = nullptr;
bool TrackPlayPosition = true;

TArrangeSeams& ArrangeSeams() {
    static TArrangeSeams seams;
    return seams;
}

TOpenSongFn ArrangeOpenSong = LeastOpenSong;

namespace {

TArrangeTransportWindows g_transportWindows;

// What the file menu asks of the arrange window after it opened, cleared or changed the song.
class TArrangeFileMenuWindows : public TFileMenuWindows {
public:
    void CloseEditors() override {
        CloseKeyEditor();
        CloseSampleEditor();
    }
    void SendThru() override {
        if (fmArrange) fmArrange->SendThru();
    }
    void SongOpened() override {
        if (!fmArrange) return;
        fmArrange->SongChanged();
        if (Midi) fmArrange->editBpm->Text = std::to_string(Midi->GetTempo());
    }
    void SongCleared() override {
        if (fmArrange) fmArrange->SongChanged();
    }
    void ShowTempo(int Bpm) override {
        if (fmArrange) fmArrange->editBpm->Text = std::to_string(Bpm);
        if (fmKey) fmKey->editBpm->Text = std::to_string(Bpm);
        if (fmAudio) fmAudio->editBpm->Text = std::to_string(Bpm);
    }
    void FollowPlayback() override {
        if (fmArrange && Song) fmArrange->ScrollToTick(Song->Position);
    }
    void RepaintTrackList() override {
        if (fmArrange) fmArrange->tracks->Invalidate();
    }
    void RefreshTrackbar() override {
        if (fmArrange) fmArrange->RefreshTrackbar();
    }
    void BuildOutputMenus() override {
        if (ArrangeSeams().BuildOutputMenus) ArrangeSeams().BuildOutputMenus();
        if (fmKey && KeyEditorSeams().BuildOutputMenu) KeyEditorSeams().BuildOutputMenu();
    }
};
TArrangeFileMenuWindows g_fileMenuWindows;

// The header sections of the track list: text, width, owner-drawn or clickable.
struct TColumn {
    const char* Text;
    int Width;
    TAlignment Align;
    bool Click;
};
constexpr TColumn kColumns[11] = {
    {"Inp", 16, taLeftJustify, false},    {"Tracks", 80, taLeftJustify, true},
    {"Ch", 30, taCenter, true},           {"M", 25, taCenter, true},
    {"Output", 120, taLeftJustify, true}, {"Prog", 50, taCenter, true},
    {"Vol", 50, taCenter, false},         {"Pan", 50, taCenter, false},
    {"Reverb", 50, taCenter, false},      {"Chorus", 50, taCenter, false},
    {"Transp", 46, taCenter, true}};

constexpr int kZoomBeatMin = 1, kZoomBeatMax = 1000, kZoomRowMin = 10, kZoomRowMax = 40;

std::string FileTitle(std::string_view Path) {
    std::string p(Path);
    std::replace(p.begin(), p.end(), '\\', '/');
    return std::filesystem::path(p).stem().string();
}

std::string FileNameOnly(std::string_view Path) {
    std::string p(Path);
    std::replace(p.begin(), p.end(), '\\', '/');
    return std::filesystem::path(p).filename().string();
}

} // namespace

bool LeastOpenSong(std::string_view FileName) {
    if (!MapFileOpen(FileName)) return false;
    std::string magic;
    MapReadString(magic);
    MapFileClose();
    bool ok = false;
    if (magic == SongFileMagic) {
        ok = LoadSongFile(FileName);
    } else {
        if (!MapFileOpen(FileName)) return false;
        const bool midi = MapReadInt32BE() == 0x4D546864; // "MThd"
        MapFileClose();
        if (!midi) return false;
        ok = ReadSmfSong(FileName);
    }
    Song->Modified = 0;
    // A song read only in part keeps no name to save over.
    if (ok) Song->Untitled = 0;
    TSoftEngine::UpdateMuteSolo();
    if (fmArrange) {
        fmArrange->arrange->Invalidate();
        fmArrange->tracks->Invalidate();
        fmArrange->meter->Invalidate();
        fmArrange->Caption = FileNameOnly(Song->FileName);
    }
    SongFileHost().SetArrangeCaption(FileNameOnly(Song->FileName));
    if (Audio && Audio->AudioOn) Audio->Start();
    return ok;
}

int PixelToTickSnapped(int X) {
    return PixelToTickSnapped(X, !fmArrange || fmArrange->SnapMode == 2);
}

TfmArrange::TfmArrange(TComponent* AOwner) : TForm(AOwner) {
    FormStyle = fsMDIChild;
    Visible = false;
    Caption = "Untitled";
    SetBounds(0, 0, 747, 420);
    Color = 0x1F1F1F;
    BuildPanes();
    BuildMenus();
    BuildTrackbar();
    BuildTrackMenus();
    InstallPartsMouse();
    BuildPartCommands();
    InstallTrackList();
    InstallToolbarFields();
    KeyPreview = true;
    OnKeyDown = [this](TObject* S, std::uint16_t& Key, TShiftState Sh) { FormKeyDown(S, Key, Sh); };
    OnKeyUp = [this](TObject* S, std::uint16_t& Key, TShiftState Sh) { FormKeyUp(S, Key, Sh); };
    ledTimer.Interval = 10;
    ledTimer.Enabled = false; // runs once the window is made
    ledTimer.OnTimer = [this] { LedTimerTick(); };
    scrollTimer.Interval = 50;
    scrollTimer.Enabled = false;
    scrollTimer.OnTimer = [this] { AutoScrollStep(); };
    OnCreate = [this](TObject*) { FormCreate(); };
    OnShow = [this](TObject*) { FormShow(); };
    OnActivate = [this](TObject*) { FormActivate(); };
    OnResize = [this](TObject*) { FormResize(); };
    OnClose = [](TObject*, TCloseAction& Action) { Action = caNone; };
    OnDestroy = [this](TObject*) {
        if (&TransportWindows() == &g_transportWindows) SetTransportWindows(nullptr);
        if (&FileMenuWindows() == &g_fileMenuWindows) SetFileMenuWindows(nullptr);
        RemoveKeyEditorSeams();
        RemoveTrackList();
        ledTimer.Enabled = false;
        scrollTimer.Enabled = false;
        if (fmArrange == this) fmArrange = nullptr;
    };
}

TfmArrange::~TfmArrange() {
    ledTimer.Enabled = false;
    scrollTimer.Enabled = false;
    if (fmArrange == this) fmArrange = nullptr;
    // The main window's softsynth menu may hang in an output menu: it stays the main window's.
    if (fmMdi) fmMdi->DetachSynthMenu();
    delete PopupDevice;
    delete PopupCh;
    delete TrackPopup;
    delete PartsPopup;
    delete popupSBLive;
    delete OpenDialog1;
    SetSBLiveWindows(nullptr);
    ArrangeSeams().AskPartName = nullptr;
    delete PopupRes;
    SetMenu(nullptr);
    delete MainMenu;
}

void TfmArrange::BuildPanes() {
    panelControl = MakeAlignedPanel(this, this, alTop, 27);
    panelControl->Color = 0x303030;
    editBpm = new TEdit(this);
    editBpm->Parent = panelControl;
    editBpm->SetBounds(4, 3, 48, 21);
    editBpm->Text = "120";
    panelRes = MakeAlignedPanel(this, panelControl, alNone, 0);
    panelRes->SetBounds(56, 3, 40, 21);
    panelRes->BevelOuter = bvLowered;
    panelRes->Caption = "16";
    btnThru = new TSpeedButton(this);
    btnThru->Parent = panelControl;
    btnThru->SetBounds(100, 3, 44, 21);
    btnThru->Caption = "Thru";
    btnThru->GroupIndex = 11;
    btnThru->AllowAllUp = true;
    sbAudio = new TSpeedButton(this);
    sbAudio->Parent = panelControl;
    sbAudio->SetBounds(148, 3, 48, 21);
    sbAudio->Caption = "Audio";
    sbAudio->Hint = "Audio on/off\rShortcut F6\rRight-click for Options";
    sbAudio->GroupIndex = 12;
    sbAudio->AllowAllUp = true;
    sbAudio->OnClick = [this](TObject*) { SetAudioEnabled(!(Audio && Audio->AudioOn)); };
    sbAudio->OnMouseDown = [](TObject*, TMouseButton Button, TShiftState, int, int) {
        if (Button == mbRight) ShowAudioSetup();
    };

    panelTrackbar = MakeAlignedPanel(this, this, alTop, 27);
    panelTrackbar->Color = 0x303030;
    // The bank panels and the softsynth "Edit" panel, moved into the bar at creation.
    for (const char* name : {"Default", "GM", "GS", "User", "AWE", "SB Live!", "MSB/LSB"}) {
        TPanel* p = MakeAlignedPanel(this, this, alNone, 0);
        p->Visible = false;
        p->Hint = name;
        p->SetBounds(0, 0, 180, 27);
        BankPanels.push_back(p);
    }
    panelSynthEdit = MakeAlignedPanel(this, this, alNone, 0);
    panelSynthEdit->Visible = false;
    panelSynthEdit->SetBounds(0, 0, 60, 27);
    comboGM = new TComboBox(this);
    comboGM->Parent = BankPanels[1];
    comboGM->SetBounds(2, 3, 170, 21);
    comboGS = new TComboBox(this);
    comboGS->Parent = BankPanels[2];
    comboGS->SetBounds(2, 3, 170, 21);

    panelAwe = MakeAlignedPanel(this, this, alBottom, 120);
    panelAwe->Visible = false;
    panelBrowser = MakeAlignedPanel(this, this, alRight, 132);
    panelBrowser->Color = 0x1F1F1F;
    guiMixer = new TMScroll(this);
    guiMixer->Parent = panelBrowser;
    guiMixer->Align = alClient;
    guiMixer->Visible = false; // the browser's system-mixer page shows it

    panelTracks = MakeAlignedPanel(this, this, alLeft, 180);
    panelTracks->Color = 0x1F1F1F;
    trackTitles = new THeaderControl(this);
    trackTitles->Parent = panelTracks;
    trackTitles->Align = alTop;
    trackTitles->Height = 20;
    for (const TColumn& c : kColumns) {
        THeaderSection* s = trackTitles->AddSection();
        s->Text = c.Text;
        s->Width = c.Width;
        s->Alignment = c.Align;
        s->AllowClick = c.Click;
    }
    trackTitles->Sections(0)->Style = hsOwnerDraw;
    guiColumns = new TMScroll(this);
    guiColumns->Parent = panelTracks;
    guiColumns->Align = alBottom;
    guiColumns->Height = 16;
    tracks = new TScroll(this);
    tracks->Parent = panelTracks;
    tracks->Align = alClient;
    tracks->Color = 0x1F1F1F;
    tracks->EraseBkgnd = true;

    splitTracks = new TSplitter(this);
    splitTracks->Parent = this;
    splitTracks->Align = alLeft;
    splitTracks->Width = 3;
    splitTracks->Left = 181;

    panelParts = MakeAlignedPanel(this, this, alClient, 0);
    meter = new TScroll(this);
    meter->Parent = panelParts;
    meter->Align = alTop;
    meter->Height = 20;
    meter->Color = 0x303030;
    meter->EraseBkgnd = true;
    meter->OnPaint = [this](TCanvas& C) { PaintRuler(C); };
    meter->OnMouseDown = [this](TObject*, TMouseButton B, TShiftState S, int X, int Y) {
        RulerMouseDown(B, S, X, Y);
    };
    meter->OnMouseMove = [this](TObject*, TShiftState S, int X, int Y) { RulerMouseMove(S, X, Y); };
    meter->OnMouseUp = [this](TObject*, TMouseButton, TShiftState, int, int) { RulerMouseUp(); };
    guiScrollx = new TMScroll(this);
    guiScrollx->Parent = panelParts;
    guiScrollx->Align = alBottom;
    guiScrollx->Height = 16;
    guiScrolly = new TMScroll(this);
    guiScrolly->Parent = panelParts;
    guiScrolly->Align = alRight;
    guiScrolly->Width = 16;
    arrange = new TScroll(this);
    panelParts->OnResize = [this](TObject*) {
        for (TMScroll* s : {guiScrolly, guiScrollx})
            if (s) s->AlignControls();
    };
    arrange->Parent = panelParts;
    arrange->Align = alClient;
    arrange->Color = 0x1F1F1F;
    arrange->OnPaint = [this](TCanvas& C) { PaintParts(C); };
}

void TfmArrange::BuildMenus() {
    MainMenu = new TMainMenu();
    auto item = [](TMenuItem* Parent, const std::string& Caption, TShortCut Key,
                   std::function<void(TMenuItem*)> Click) {
        auto* i = new TMenuItem(Caption, std::move(Click));
        i->ShortCut = Key;
        Parent->Add(i);
        return i;
    };
    TMenuItem* edit = item(MainMenu->Items, "&Edit", 0, nullptr);
    edit->GroupIndex = 2;
    miEditPart =
        item(edit, "&Edit part", ShortCut('E', scCtrl), [this](TMenuItem*) { OpenPartEditor(); });
    miSelectAll = item(edit, "Select &all parts", ShortCut('A', scCtrl), [this](TMenuItem*) {
        Song->SelectAllParts();
        DrawParts(0);
    });
    TMenuItem* part = item(MainMenu->Items, "&Part", 0, nullptr);
    part->GroupIndex = 3;
    miInsert = item(part, "&Insert", ShortCut(VK_INSERT),
                    [](TMenuItem*) { InsertPartBetweenLocators(Song->CurrentTrackIndex); });
    miXRay = item(part, "&X-Ray", ShortCut('X'), [this](TMenuItem* I) {
        if (!Active()) return;
        I->Checked = !I->Checked;
        arrange->Invalidate();
    });
    TMenuItem* track = item(MainMenu->Items, "&Track", 0, nullptr);
    track->GroupIndex = 4;
    miTrackCh = item(track, "&Ch", 0, nullptr);
    miModeTrack = item(track, "&Mode", 0, nullptr);
    miModeTrack->Visible = false;
    TMenuItem* seq = item(MainMenu->Items, "&Sequence", 0, nullptr);
    seq->GroupIndex = 5;
    miTrackPlayPosition = item(seq, "Track play position", 0, [](TMenuItem* I) {
        TrackPlayPosition = !TrackPlayPosition;
        I->Checked = TrackPlayPosition;
    });
    miTrackPlayPosition->Checked = TrackPlayPosition;
    miAudio = item(MainMenu->Items, "&Audio", 0, nullptr);
    miAudio->GroupIndex = 6;
    miAudio->Visible = false;
    item(miAudio, "&Enable", ShortCut(VK_F6),
         [this](TMenuItem*) { SetAudioEnabled(!(Audio && Audio->AudioOn)); });
    ShowMenu = item(MainMenu->Items, "S&how", 0, nullptr);
    ShowMenu->GroupIndex = 7;
    ShowMenu->OnClick = [this](TMenuItem*) {
        miToolbar->Checked = panelControl->Visible;
        miTracks->Checked = panelTracks->Width != 0;
        miTrackbar->Checked = panelTrackbar->Visible;
        miAweFaders->Checked = panelAwe->Visible;
        miBrowser->Checked = panelBrowser->Width != 0;
        miEditSkin->Enabled = fmMdi && fmMdi->Skin != nullptr;
    };
    miToolbar = item(ShowMenu, "T&oolbar", 0,
                     [this](TMenuItem*) { panelControl->Visible = !panelControl->Visible; });
    miTransporter = item(ShowMenu, "T&ransporter", ShortCut(VK_F12), nullptr);
    miTracks = item(ShowMenu, "&Tracks", ShortCut(VK_F10), [this](TMenuItem*) {
        if (panelTracks->Width != 0) {
            panelTracks->Tag = panelTracks->Width;
            panelTracks->Width = 0;
        } else {
            panelTracks->Width = panelTracks->Tag != 0 ? panelTracks->Tag : 185;
        }
    });
    miTrackbar = item(ShowMenu, "Trac&kbar", 0,
                      [this](TMenuItem*) { panelTrackbar->Visible = !panelTrackbar->Visible; });
    miAweFaders = item(ShowMenu, "&AWE faders", 0,
                       [this](TMenuItem*) { panelAwe->Visible = !panelAwe->Visible; });
    miBrowser = item(ShowMenu, "&Browser", 0, [this](TMenuItem*) {
        panelBrowser->Width = panelBrowser->Width != 0 ? 0 : 132;
    });
    miEditSkin = item(ShowMenu, "Edit s&kin", 0, nullptr);

    PopupCh = new TPopupMenu();
    PopupCh->Name = "PopupCh";
    TrackPopup = new TPopupMenu();
    miPopupCh = item(TrackPopup->Items, "Ch", 0, nullptr);
    miModePopup = item(TrackPopup->Items, "Mode", 0, nullptr);
    miModePopup->Visible = false;
    PartsPopup = new TPopupMenu();
    item(PartsPopup->Items, "Edit part", 0, [this](TMenuItem*) { OpenPartEditor(); });
}

void TfmArrange::FillProgramBoxes() {
    for (TComboBox* box : {comboGM, comboGS}) {
        box->Items.Clear();
        box->Items.Add("Off");
        char num[8];
        for (int p = 0; p < 128; ++p) {
            std::snprintf(num, sizeof num, "%03d", p);
            box->Items.Add(std::string(num) + " " + std::string(GmProgramNames[std::size_t(p)]));
        }
    }
}

void TfmArrange::BuildChannelMenus() {
    for (TMenuItem* menu : {PopupCh->Items, miTrackCh, miPopupCh}) {
        menu->Clear();
        for (int i = 0; i <= 16; ++i) {
            auto* it = new TMenuItem(i < 16 ? std::to_string(i + 1) : std::string("Off"));
            it->Tag = i < 16 ? i : -1;
            if (i == 8 || i == 16) it->Break = mbBreak;
            it->OnClick = [](TMenuItem* I) {
                if (ArrangeSeams().ChannelItemClick) ArrangeSeams().ChannelItemClick(I);
            };
            menu->Add(it);
        }
    }
}

void TfmArrange::ReadSettings() {
    TIniFile ini;
    BrowserFolder = ini.ReadString("Directory", "Song", "");
    BrowserSplit = ini.ReadInteger("Browser", "Split", 100);
    panelBrowser->Width = ini.ReadInteger("Browser", "Width", 132);
    PlaceWindow();
    const int split = ini.ReadInteger("Song edit", "Split", 180);
    panelTracks->Width = split;
    trackTitles->Tag = split;
    for (int i = 0; i < trackTitles->SectionCount(); ++i)
        trackTitles->Sections(i)->Width =
            ini.ReadInteger("Song Edit", "Col" + std::to_string(i), 40);
    btnThru->Down = ini.ReadBool("MIDI", "Thru", true);
    Favourites.clear();
    const auto favourites = ini.ReadSectionValues("Songs Favorites");
    for (const auto& kv : favourites)
        Favourites.push_back(kv.first);
    if (ArrangeSeams().FillFavourites) ArrangeSeams().FillFavourites(favourites);
}

void TfmArrange::PlaceWindow() {
    TIniFile ini;
    if (ini.ReadBool("Song edit", "Maximized", false)) {
        WindowState = wsMaximized;
        return;
    }
    // The size the window has before the stored one is what the position is checked against.
    const int w = Width, h = Height;
    int left = ini.ReadInteger("Song edit", "Left", 32);
    if (left >= w) left = 0;
    int top = ini.ReadInteger("Song edit", "Top", 32);
    if (top > h) top = 0;
    SetBounds(left, top, ini.ReadInteger("Song edit", "Width", 600),
              ini.ReadInteger("Song edit", "Height", 400));
}

void TfmArrange::LoadArrangeAppearance() {
    TIniFile ini;
    const std::string bitmap = ini.ReadString("Background", "Bitmap", "xyz");
    if (FileExists(bitmap)) {
        try {
            Image1.LoadFromFile(bitmap);
        } catch (...) {
            Image1.SetSize(0, 0); // an unreadable picture leaves the plain background
        }
    }
    tracks->Font.Name = ini.ReadString("Song edit", "TracksFontName", "Arial");
    tracks->Font.SetSize(ini.ReadInteger("Song edit", "TracksFontSize", 8));
    tracks->Font.Style = IntToFontStyles(ini.ReadInteger("Song edit", "TracksFontStyle", 0));
    tracks->Font.Color = ReadIniColor(ini, "Song edit", "TracksFontColor", 0xFFFFFF);
    arrange->Font.Name = ini.ReadString("Song edit", "PartsFontName", "Arial");
    arrange->Font.SetSize(ini.ReadInteger("Song edit", "PartsFontSize", 8));
    arrange->Font.Style = IntToFontStyles(ini.ReadInteger("Song edit", "PartsFontStyle", 0));
    arrange->Font.Color = ReadIniColor(ini, "Song edit", "PartsFontColor", 0);
    TracksSelBkColor = ReadIniColor(ini, "Song edit", "TracksSelBkColor", 0x444444);
    TracksSelColor = ReadIniColor(ini, "Song edit", "TracksSelColor", 0xFFFFFF);
    // Divisors and row sizes: a stored value outside the zoom range is brought into it.
    BeatWidth =
        std::clamp(ini.ReadInteger("Song edit", "BeatWidth", 6), kZoomBeatMin, kZoomBeatMax);
    TrackHeight =
        std::clamp(ini.ReadInteger("Song edit", "TrackHeight", 18), kZoomRowMin, kZoomRowMax);
    if (fmMdi) {
        fmMdi->PartsBkColor = ReadIniColor(ini, "Song edit", "PartsBkColor", 0x50A0A0);
        fmMdi->PartsAudioBkColor = ReadIniColor(ini, "Song edit", "PartsAudioBkColor", 0x50A0A0);
    }
    panelBrowser->Width = ini.ReadInteger("Browser", "Width", 132);
}

void TfmArrange::BuildArrangeSkinControls() {
    const TEditorStrips strips = BuildEditorStrips(guiScrolly, guiScrollx, guiColumns, Handle());
    guiMixer->Clear();
    guiMixer->Skin = static_cast<TSkinObject>(fmMdi ? fmMdi->Skin : nullptr);
    ScrollY = strips.ScrollY;
    ScrollY->LineStep = TrackHeight;
    ScrollY->PageStep = 3 * TrackHeight;
    guiScrolly->OnControl = [this](TObject*, const std::string& Id, int V, const std::string&) {
        ScrollYControl(Id, V);
    };
    ScrollX = strips.ScrollX;
    ScrollX->LineStep = 4 * BeatWidth;
    ScrollX->PageStep = 32 * BeatWidth;
    ScrollX->PageSize = std::max(1, arrange->GetClientWidth());
    guiScrollx->OnControl = [this](TObject*, const std::string& Id, int V, const std::string&) {
        ScrollXControl(Id, V);
    };

    TGuiAlign* top = guiMixer->AddAlign(alTop, 0, 20, nullptr);
    MixerSelector = guiMixer->AddEnum("", 120, alClient, top);
    MixerSelector->Id = "mixer";
    TGuiAlign* outer = guiMixer->AddAlign(alClient, 0, 0, nullptr);
    MixerFaders = guiMixer->AddAlign(alClient, 0, 0, outer);
    MixerFaders->Color = 0;
    TGuiScrollbar* bar = MixerFaders->AddScrollbar(alRight, outer);
    bar->Vertical = true;
    bar->LineStep = 36;
    bar->PageStep = 108;
    guiMixer->AlignControls();
}

void TfmArrange::FormCreate() {
    fmArrange = this;
    // Installed unless another window (or a test) answers the transport already.
    if (typeid(TransportWindows()) == typeid(TTransportWindows))
        SetTransportWindows(&g_transportWindows);
    if (typeid(FileMenuWindows()) == typeid(TFileMenuWindows))
        SetFileMenuWindows(&g_fileMenuWindows);
    InstallKeyEditorSeams();
    InstallSampleEditorSeams();
    SplashStep();               // 1
    BuildArrangeSkinControls(); // 2
    SnapMode = 2;               // 3
    DragLocator = 2;
    TrackDragRow = ValueDragRow = ValueDragColumn = -1;
    Dragging = HandScroll = ErasingParts = 0;
    FillProgramBoxes();          // 4
    for (TPanel* p : BankPanels) // 5
        p->Parent = panelTrackbar;
    panelSynthEdit->Parent = panelTrackbar;
    miAudio->Visible = miModeTrack->Visible = miModePopup->Visible = true;
    if (ArrangeSeams().BuildColumnPopup) ArrangeSeams().BuildColumnPopup(); // 6
    if (ArrangeSeams().BuildOutputMenus) ArrangeSeams().BuildOutputMenus();
    BuildChannelMenus();     // 7
    UserList.clear();        // 8
    ReadSettings();          // 9 - 13
    LoadArrangeAppearance(); // 14
    SendThru();              // 15
    TIniFile ini;            // 16
    if (ArrangeSeams().BuildMixerPage)
        ArrangeSeams().BuildMixerPage(ini.ReadInteger("Mixer", "Playback", 0));
    if (ArrangeSeams().FillBankLists) ArrangeSeams().FillBankLists();
    RefreshTrackbar();
    if (ArrangeSeams().ApplyColours) ArrangeSeams().ApplyColours();
    if (ArrangeSeams().BuildEditorsMenu) ArrangeSeams().BuildEditorsMenu();
    SetMenu(MainMenu);
    Show(); // 17
    UpdateVerticalRange();
    ledTimer.Enabled = true;

    AutoplayNoted = false; // 18
    if (ini.ReadBool("Autoload", "Enabled", false)) {
        const std::string song = ini.ReadString("Autoload", "Song", "xyz");
        if (FileExists(song)) {
            SplashInfo("Loading " + FileTitle(song) + "...");
            Application->ProcessMessages();
            const bool read = ArrangeOpenSong(song);
            if (fmMdi && fmMdi->HandleAllocated()) platform::SetFocus(fmMdi->Handle());
            AutoplayNoted = read && ini.ReadBool("Autoplay", "Enabled", false);
        }
    }
    if (ini.ReadBool("Mixer", "Visible", true) && ArrangeSeams().ToggleMixer) // 19
        ArrangeSeams().ToggleMixer();
    if (Audio) Audio->SetDevice(ini.ReadInteger("Audio", "Output", 0)); // 20
    if (Audio) Audio->SetCaptureDevice(ini.ReadInteger("Audio", "Input", 0));
    bool enabled = ini.ReadBool("Audio", "Enabled", false); // 21
    if (enabled) enabled = ini.ReadBool("Audio", "ShutdownOK", true);
    SetAudioEnabled(enabled);
    if (AutoplayNoted && fmMdi) fmMdi->StartPlayback(false); // 22
    ini.WriteBool("Audio", "ShutdownOK", false);             // 23
    if (dlgSplach && dlgSplach->Visible) dlgSplach->Hide();  // 24
    if (fmMdi) fmMdi->systemTimer.Enabled = true;
}

void TfmArrange::FormShow() {
    Caption = Song && !Song->FileName.empty() ? FileNameOnly(Song->FileName) : "Untitled";
    SendThru();
    sbAudio->Down = Audio && Audio->AudioOn;
}

void TfmArrange::SendThru() {
    if (!Midi || !Song) return;
    _TTrack* t = Song->CurrentTrack();
    Midi->SetMThru(btnThru->Down, t ? int(t->Output) : 0, Song->CurrentChannel(),
                   Song->CurrentTrackIndex, CurrentSynthPlugin());
    Midi->SetTranspose(t ? int(t->Transpose) : 0);
}

void TfmArrange::SongChanged() {
    arrange->Invalidate();
    meter->Invalidate();
    tracks->Invalidate();
    RefreshTrackbar();
    Caption = Song && !Song->FileName.empty() ? FileNameOnly(Song->FileName) : "Untitled";
}

void TfmArrange::FormActivate() {
    if (fmMdi) fmMdi->WindStep = SongBeatsPerBar() * 4;
}

void TfmArrange::FormResize() {
    UpdateVerticalRange();
    for (TMScroll* s : {guiScrolly, guiScrollx, guiColumns})
        if (s) s->AlignControls();
}

LRESULT TfmArrange::WndProc(UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_ERASEBKGND) return 0;
    if (msg == WM_MOUSEWHEEL) {
        TPoint p{};
        GetCursorPos(&p);
        MouseWheel(GET_WHEEL_DELTA_WPARAM(w), p);
        return 0;
    }
    return TForm::WndProc(msg, w, l);
}

void TfmArrange::MouseWheel(int Delta, TPoint P) {
    if (!ScrollX || !ScrollY) return;
    const TPoint o = arrange->ClientToScreen({0, 0});
    const TRect r{o.X, o.Y, o.X + arrange->GetWidth(), o.Y + arrange->GetHeight()};
    const int steps = RoundExtended(static_cast<long double>(std::int16_t(Delta)) * (1.0L / 120));
    if (std::abs(r.Bottom - P.Y) < std::abs(r.Right - P.X)) {
        ScrollX->SetPosition(ScrollX->Position - steps * BeatWidth * SongBeatsPerBar());
        ScrollX->Changed();
    } else {
        ScrollY->SetPosition(ScrollY->Position - steps * TrackHeight);
        ScrollY->Changed();
    }
}

void TfmArrange::SetTrackHeight(int Height) {
    if (Height < kZoomRowMin || Height > kZoomRowMax) return;
    TrackHeight = Height;
    tracks->Invalidate();
}

void TfmArrange::UpdateVerticalRange() {
    if (!ScrollY) return;
    const int h = arrange->GetClientHeight();
    if (h >= TrackHeight * 128) {
        ScrollY->Max = 0;
    } else {
        ScrollY->PageSize = std::max(1, h);
        ScrollY->Max = TrackHeight * 128 - h;
    }
    if (ScrollY->Max < ScrollY->Position) {
        ScrollY->SetPosition(ScrollY->Max);
        ScrollY->Changed();
    }
    ScrollY->Redraw();
}

void TfmArrange::ScrollYControl(const std::string& Id, int Value) {
    if (Id == "scrolly") {
        if (Value < 0) return;
        arrange->SetOffsetY(-Value);
        tracks->SetOffsetY(-Value);
        return;
    }
    if (Id != "zoomVertOut" && Id != "zoomVertIn") return;
    SetTrackHeight(Id == "zoomVertIn" ? TrackHeight + 2 : TrackHeight - 2);
    ScrollY->LineStep = TrackHeight;
    ScrollY->PageStep = 3 * TrackHeight;
    UpdateVerticalRange();
    tracks->Invalidate();
    arrange->Invalidate();
    TIniFile().WriteInteger("Song edit", "TrackHeight", TrackHeight);
}

void TfmArrange::ScrollXControl(const std::string& Id, int Value) {
    if (Id == "scrollx") {
        if (Value == -1) {
            Dragging = 1;
        } else if (Value == -2) {
            Dragging = 0;
            if (ScrollX->Position == ScrollX->Max) ScrollX->Max += arrange->GetClientWidth();
        } else {
            arrange->SetOffsetX(-Value);
            meter->SetOffsetX(-Value);
        }
        return;
    }
    if (Id == "zoomHorzOut" || Id == "zoomHorzIn") {
        if (Id == "zoomHorzOut" && BeatWidth >= 2) --BeatWidth;
        if (Id == "zoomHorzIn" && BeatWidth < kZoomBeatMax) ++BeatWidth;
    } else if (Id == "zoomOff") {
        TrackHeight = 18;
        BeatWidth = 6;
        SetTrackHeight(18);
        UpdateVerticalRange();
        tracks->Invalidate();
        TIniFile().WriteInteger("Song edit", "TrackHeight", TrackHeight);
    } else {
        return;
    }
    ScrollX->LineStep = 4 * BeatWidth;
    ScrollX->PageStep = 32 * BeatWidth;
    arrange->Invalidate();
    meter->Invalidate();
    TIniFile().WriteInteger("Song edit", "BeatWidth", BeatWidth);
}

void TfmArrange::SetAudioEnabled(bool Enabled) {
    SetScreenCursor(CursorOf(crHourGlass));
    if (Audio && Enabled != Audio->AudioOn.load() && MainWindow().PausePlayback()) {
        if (Enabled) {
            Audio->Open(fmMdi ? fmMdi->Handle() : 0);
            Audio->Start();
        } else {
            Audio->Close();
        }
        MainWindow().ResumePlayback();
    }
    ShowAudioButtons();
    RefreshTrackbar();
    for (int i = 0; Song && i < TrackCount; ++i)
        if (Song->TrackAt(i)->Mode == tmAudio) InvalidateTrackRow(i);
    SetScreenCursor(0);
}

void TfmArrange::RefreshTrackbar() {
    if (ArrangeSeams().RefreshTrackbar) ArrangeSeams().RefreshTrackbar();
}

void TfmArrange::InvalidateTrackRow(int Row) {
    if (!tracks->HandleAllocated()) return;
    const TRect r{0, Row * TrackHeight + tracks->OffsetY, tracks->GetClientWidth(),
                  (Row + 1) * TrackHeight + tracks->OffsetY + 1};
    InvalidateRect(tracks->Handle(), &r, false);
}

void TfmArrange::LedTimerTick() {
    if (scrollTimer.Enabled) return;
    if (fmMdi && fmMdi->transportTimer.Enabled) return;
    if (fmKey && fmKey->scrollTimer.Enabled) return;
    if (ArrangeSeams().KeyEditorScrolling && ArrangeSeams().KeyEditorScrolling()) return;
    if (trackTitles->SectionCount() == 0) return;
    if (DecayInputActivity()) DrawInputLeds();
    if (Song && Song->State != 0 && MidiMode == 1 && Midi && fmMdi && fmMdi->HandleAllocated())
        PostMessage(fmMdi->Handle(), WM_USER + 501, 0, Midi->GetPos());
}

void TfmArrange::StartAutoScroll() {
    if (scrollTimer.Enabled) return;
    AutoScrollStep();
    scrollTimer.Enabled = true;
}

void TfmArrange::AutoScrollStep() {
    if (!ScrollX || !ScrollY) return;
    TPoint p{};
    GetCursorPos(&p);
    p = arrange->ScreenToClient(p);
    auto follow = [&] {
        arrange->ApplyOrigin();
        if (DragRect && DragRect->Mode != 0)
            DragRect->DragTo(arrange->Canvas(), p.X - arrange->OffsetX, p.Y - arrange->OffsetY);
    };
    const int w = arrange->GetClientWidth(), h = arrange->GetClientHeight();
    if (p.X > w) {
        ScrollX->SetPosition(ScrollX->Position + 36);
        if (ScrollX->Position == ScrollX->Max) ScrollX->Max += w;
        ScrollX->Changed();
        follow();
    } else if (p.X < 0) {
        ScrollX->SetPosition(ScrollX->Position - 36);
        ScrollX->Changed();
        follow();
    }
    if (p.Y > h) {
        ScrollY->SetPosition(ScrollY->Position + 18);
        ScrollY->Changed();
        follow();
    } else if (p.Y < 0) {
        ScrollY->SetPosition(ScrollY->Position - 18);
        ScrollY->Changed();
        follow();
    }
}

void SaveArrangeSettings() {
    TfmArrange* a = fmArrange;
    if (!a) return;
    TIniFile ini;
    ini.WriteBool("Song edit", "Maximized", a->WindowState == wsMaximized);
    if (a->WindowState == wsNormal) {
        ini.WriteInteger("Song edit", "Left", a->Left);
        ini.WriteInteger("Song edit", "Top", a->Top);
        ini.WriteInteger("Song edit", "Width", a->Width);
        ini.WriteInteger("Song edit", "Height", a->Height);
    }
    ini.WriteInteger("Browser", "Width", a->panelBrowser->Width);
    ini.WriteInteger("Song edit", "Split", a->panelTracks->Width);
    ini.WriteInteger("Browser", "Split", a->BrowserSplit);
    for (int i = 0; i < a->trackTitles->SectionCount(); ++i)
        ini.WriteInteger("Song Edit", "Col" + std::to_string(i),
                         a->trackTitles->Sections(i)->Width);
    ini.EraseSection("Songs Favorites");
    for (std::size_t i = 0; i < a->Favourites.size(); ++i)
        ini.WriteString("Songs Favorites", a->Favourites[i], std::to_string(i));
    ini.WriteInteger("Audio", "Output", Audio ? Audio->GetDevice() : 0);
    ini.WriteInteger("Audio", "Input", Audio ? Audio->CaptureDeviceSetting() : 0);
    ini.WriteBool("Audio", "Enabled", a->sbAudio->Down);
    ini.WriteBool("MIDI", "Thru", a->btnThru->Down);
    // The metronome's click settings live in the options window; until it exists the stored
    // values go back as they were.
    ini.WriteBool("beep", "active", Song && Song->MetronomeOn);
    ini.WriteBool("beep", "pcspeaker", ini.ReadBool("beep", "pcspeaker", false));
    ini.WriteBool("beep", "midibeep", ini.ReadBool("beep", "midibeep", false));
    ini.WriteInteger("beep", "midinote", ini.ReadInteger("beep", "midinote", 37));
    ini.WriteInteger("beep", "mididevice", ini.ReadInteger("beep", "mididevice", 0));
    ini.WriteInteger("beep", "precounts", Song ? Song->Precounts : 4);
    ini.WriteString("beep", "midich", ini.ReadString("beep", "midich", "10"));
}

void CreateArrangeWindow() {
    Application->CreateForm(fmArrange);
}

void TArrangeTransportWindows::MovePlayCursor(int Position, bool InEditors, bool NoScroll) {
    if (fmArrange) fmArrange->MovePlayCursor(Position, InEditors, NoScroll);
}

void TArrangeTransportWindows::ScrollArrangeToStart() {
    if (!fmArrange || !fmArrange->ScrollX) return;
    fmArrange->ScrollX->SetPosition(0);
    fmArrange->ScrollX->Changed();
}

void TArrangeTransportWindows::ScrollArrangeToEnd(int Tick) {
    if (!fmArrange || !fmArrange->ScrollX) return;
    TGuiScrollbar* bar = fmArrange->ScrollX;
    const int x = TickToPixel(Tick) - fmArrange->arrange->GetClientWidth() / 2;
    if (x > bar->Max) bar->Max = x;
    bar->SetPosition(x);
    bar->Changed();
}

void TArrangeTransportWindows::RedrawCurrentPart() {
    if (!fmArrange || !Song || !Song->CurrentPart) return;
    Song->CurrentPart->Flags |= pfRedraw;
    fmArrange->RedrawParts(false);
}

void TArrangeTransportWindows::BuildOutputMenus() {
    if (ArrangeSeams().BuildOutputMenus) ArrangeSeams().BuildOutputMenus();
}

void TArrangeTransportWindows::RepaintKeyEditor() {
    if (fmKey && Song && Song->CurrentPart) fmKey->RepaintViews();
}

platform::HWND TArrangeTransportWindows::KeyEditorWindow() {
    return fmKey && fmKey->HandleAllocated() ? fmKey->Handle() : 0;
}

void TArrangeTransportWindows::AudioRecordDone() {
    if (fmMdi) fmMdi->WMAudioRecordDone();
}

void TArrangeTransportWindows::RepaintTrackList() {
    if (fmArrange) fmArrange->tracks->Invalidate();
}
