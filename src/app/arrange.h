#pragma once
// The arrange window: the song overview, an MDI child of the main window and the last form
// made at start-up (its creation finishes the start-up). The track list on the left, the ruler
// and the parts area on the right, the tool bar and the track settings bar above, the browser
// at the right. Geometry is TickToPixel and its inverses (song/timebase.h) with BeatWidth and
// TrackHeight (song/song.h).

#include "platform/core/timers.h"
#include "platform/forms/form.h"
#include "platform/gdi/graphics.h"
#include "song/userbank.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {
struct Surface;
class TPanel;
class TSplitter;
class THeaderControl;
class TSpeedButton;
class TEdit;
class TComboBox;
class TLabel;
class TMainMenu;
class TMenuItem;
class TPopupMenu;
class TOpenDialog;
} // namespace platform

class TScroll;
class TMScroll;
class TGuiScrollbar;
class TGuiEnum;
class TGuiAlign;
struct _TPart;

// The parts area follows the play position.
extern bool TrackPlayPosition;

// What later parts of the window fill in; each does nothing until its owner installs it.
struct TArrangeSeams {
    // The track settings bar shows the current track (Part of the track settings bar).
    std::function<void()> RefreshTrackbar;
    // The track list's column popup, the output menus, the bank lists, the browser's
    // system-mixer page, the editors menu, the favourite folders, and the colours of the
    // window's controls.
    std::function<void()> BuildColumnPopup, BuildOutputMenus, FillBankLists, BuildEditorsMenu,
        ApplyColours;
    std::function<void(int Device)> BuildMixerPage;
    std::function<void(const std::vector<std::pair<std::string, std::string>>&)> FillFavourites;
    // A channel menu item was chosen (its Tag: 0..15, -1 "Off").
    std::function<void(platform::TMenuItem*)> ChannelItemClick;
    // The editors of a part's track mode (0 and 2 the key editor, 1 samples, 3 automation,
    // 4 disk): made or brought to the front.
    std::function<void(int Mode)> OpenEditor;
    // The open editors' play cursors and locator bands.
    std::function<void(int Position)> EditorsPlayCursor;
    std::function<void(int Which)> EditorsLocators;
    // The key editor's scroll timer runs (holds off the position post).
    std::function<bool()> KeyEditorScrolling;
    // The mixer window toggled by the main window.
    std::function<void()> ToggleMixer;
    // The main window's locator displays.
    std::function<void()> PaintLeftLocator, PaintRightLocator;
    // The bank and program layouts: entry 0..6 of the layout box was chosen (Default, GM, GS,
    // AWE, SBLive!, User, MSB/LSB); the current track's bank and program shown in the panel of
    // its layout (every layout but Default).
    std::function<void(int Entry)> ChangeLayout;
    std::function<void()> ShowLayoutFields;
    // The browser's song areas: the selected entry of its list (-1 none), and going to an entry
    // (the list selects it; -1 selects none).
    std::function<int()> AreaIndex;
    std::function<void(int Index)> GotoArea;
    // The name for the selected parts (the rename-part dialog); False when cancelled.
    std::function<bool(std::string& Name)> AskPartName;
};
TArrangeSeams& ArrangeSeams();

// Opens a song file for the autoload; the file menu installs the full opener. True when read.
using TOpenSongFn = bool (*)(std::string_view FileName);
extern TOpenSongFn ArrangeOpenSong;
// The least opener: a native song or a Standard MIDI File, then caption, mute and solo and
// the audio start.
bool LeastOpenSong(std::string_view FileName);

// One event of the event clipboard: its message, its ticks after the first copied event, and a
// system-exclusive block's bytes or a 32-bit value event's value.
struct TEventCopy {
    std::uint32_t Msg = 0;
    int Offset = 0;
    std::vector<std::uint8_t> Block;
    std::uint32_t Value = 0;
    bool HasValue = false;
};

class TfmArrange : public platform::TForm {
public:
    explicit TfmArrange(platform::TComponent* AOwner);
    ~TfmArrange() override;
    std::string_view ClassName() const override { return "TfmArrange"; }

    int SnapMode = 2;
    // The key editor's copied events.
    std::vector<TEventCopy> EventClipboard;
    std::uint8_t ErasingParts = 0;
    std::uint8_t Dragging = 0;
    std::uint8_t DragLocator = 2;
    int TrackDragRow = -1;
    int HandScrollX = 0, HandScrollY = 0;
    std::uint8_t HandScroll = 0;
    platform::TColor TracksSelBkColor = 0x444444, TracksSelColor = 0xFFFFFF;
    int ValueDragRow = -1, ValueDragColumn = -1;
    // The entries of the last user bank read, and its bank-select mode.
    std::vector<TUser> UserList;
    int UserMode = 0;
    TGuiScrollbar* ScrollY = nullptr;
    TGuiScrollbar* ScrollX = nullptr;
    TGuiEnum* MixerSelector = nullptr;
    TGuiAlign* MixerFaders = nullptr;

    // Panes and controls.
    platform::TPanel* panelControl = nullptr;  // tool bar
    platform::TPanel* panelTrackbar = nullptr; // track settings bar
    platform::TPanel* panelTracks = nullptr;   // track list pane
    platform::TSplitter* splitTracks = nullptr;
    platform::TPanel* panelBrowser = nullptr;
    platform::TPanel* panelAwe = nullptr; // sound-card faders
    platform::TPanel* panelParts = nullptr;
    platform::THeaderControl* trackTitles = nullptr;
    TScroll* tracks = nullptr;
    TScroll* meter = nullptr;
    TScroll* arrange = nullptr;
    TMScroll* guiScrolly = nullptr;
    TMScroll* guiScrollx = nullptr;
    TMScroll* guiColumns = nullptr;
    TMScroll* guiMixer = nullptr;
    platform::TEdit* editBpm = nullptr;
    platform::TPanel* panelRes = nullptr;
    platform::TSpeedButton* btnThru = nullptr;
    platform::TSpeedButton* btnAutoQ = nullptr; // "Auto Q": recorded input quantized
    platform::TPopupMenu* PopupRes = nullptr;   // the edit resolutions under panelRes
    platform::TSpeedButton* sbAudio = nullptr;
    platform::TComboBox* comboGM = nullptr;    // the GM layout's programs
    platform::TComboBox* comboGS = nullptr;    // the GS layout's programs
    std::vector<platform::TPanel*> BankPanels; // Default, GM, GS, User, AWE, SB Live!, MSB/LSB
    platform::TPanel* panelSynthEdit = nullptr;
    // Autoplay was noted by the autoload (only for a song that was read).
    bool AutoplayNoted = false;
    int BrowserSplit = 100;
    std::string BrowserFolder;
    std::vector<std::string> Favourites;
    // The background picture of the parts area (Background/Bitmap), drawn when UseBitmap.
    platform::TBitmap Image1;

    // Menus: the window's bar (merged into the frame's), the channel menus.
    platform::TMainMenu* MainMenu = nullptr;
    platform::TMenuItem *ShowMenu = nullptr, *miToolbar = nullptr, *miTransporter = nullptr,
                        *miTracks = nullptr, *miTrackbar = nullptr, *miAweFaders = nullptr,
                        *miBrowser = nullptr, *miEditSkin = nullptr;
    platform::TMenuItem *miXRay = nullptr, *miInsert = nullptr, *miEditPart = nullptr,
                        *miSelectAll = nullptr, *miTrackPlayPosition = nullptr;
    platform::TMenuItem *miAudio = nullptr, *miModeTrack = nullptr, *miModePopup = nullptr;
    platform::TMenuItem* miTrackCh = nullptr; // Track > "&Ch"
    platform::TMenuItem* miPopupCh = nullptr; // the track popup's "Ch"
    platform::TPopupMenu* PopupCh = nullptr;
    platform::TPopupMenu* PopupDevice = nullptr; // the current track's outputs
    platform::TPopupMenu* TrackPopup = nullptr;
    platform::TPopupMenu* PartsPopup = nullptr;

    platform::TTimer ledTimer;    // 10 ms
    platform::TTimer scrollTimer; // 50 ms, auto-scroll of drags

    // Creation (the end of start-up), events.
    void FormCreate();
    void FormShow();
    void FormActivate();
    void FormResize();
    platform::LRESULT WndProc(platform::UINT msg, platform::WPARAM w, platform::LPARAM l) override;

    void BuildArrangeSkinControls();
    void LoadArrangeAppearance();
    void SetAudioEnabled(bool Enabled);
    void SetTrackHeight(int Height);
    void UpdateVerticalRange();
    void ScrollYControl(const std::string& Id, int Value);
    void ScrollXControl(const std::string& Id, int Value);
    void MouseWheel(int Delta, platform::TPoint ScreenPos);
    void LedTimerTick();
    // The parts area's auto-scroll while a drag leaves it.
    void AutoScrollStep();
    void StartAutoScroll();

    // Mouse editing in the parts area (arrangemouse.cpp): select, move, copy, resize, hand
    // scroll, insert, open and split; X, Y in the area's client coordinates.
    platform::TMenuItem *miSnap = nullptr, *miSnapBeats = nullptr, *miSnapBars = nullptr;
    void PartsMouseDown(platform::TMouseButton Button, platform::TShiftState Shift, int X, int Y);
    void PartsMouseMove(platform::TShiftState Shift, int X, int Y);
    void PartsMouseUp(platform::TMouseButton Button, platform::TShiftState Shift, int X, int Y);
    // Ends a drag without changing anything (Esc, deactivation); the release then does nothing.
    void CancelDrag();
    // Horizontal snap of a drag in pixels: a bar or a beat by SnapMode.
    int DragSnapStep() const;

    // The track list (tracklist.cpp): rows, activity bars, header and mouse. X, Y in the list's
    // client coordinates.
    // The header section under X (a shared edge belongs to the right-hand one) with its edges;
    // 0, edges untouched, when none.
    int ColumnAt(int X, int& Left, int& Right) const;
    void ToggleTrackMute(int Track);
    void DrawTrackRows(platform::TCanvas& C);
    void DrawInputLeds();
    void TracksMouseDown(platform::TMouseButton Button, platform::TShiftState Shift, int X, int Y);
    void TracksMouseMove(platform::TShiftState Shift, int X, int Y);
    void TracksMouseUp(platform::TMouseButton Button, platform::TShiftState Shift, int X, int Y);
    void TrackTitlesSectionClick(const std::string& Text);
    void OnSectionTrack(int Section, int Width);

    // Keys (arrangekeys.cpp): the window previews every key; what it keeps nothing of goes to
    // the main window's handler, except while an edit field has the focus.
    void FormKeyDown(platform::TObject* Sender, std::uint16_t& Key, platform::TShiftState Shift);
    void FormKeyUp(platform::TObject* Sender, std::uint16_t& Key, platform::TShiftState Shift);
    // Right and Left: the next or previous part of the current track becomes the selection
    // (Shift adds it); a lone selected part becomes the current part and comes into view.
    void SelectNextPart(bool Shift);
    void SelectPreviousPart(bool Shift);
    // Up and Down (never while recording): the current track moves by one row.
    void PreviousTrack();
    void NextTrack();
    // Alt+Right and Alt+Left: the end of the one selected part by a bar or a beat (SnapMode).
    void ResizeByStep(bool Longer);
    // The tool bar: Enter in the tempo field (10..250), its double click (the first preset of
    // the options, as it stands), the "Auto Q" button.
    void EnterTempo();
    void TempoPreset();
    void btnAutoQClick();

    // The part commands (arrangecmds.cpp): the rows of the Edit, Part and Sequence menus and of
    // the parts popup, their enabling, and what they run. Rows without a click here are filled
    // by the window's other commands.
    platform::TMenuItem *miUndo = nullptr, *miPaste = nullptr, *miCopy = nullptr, *miCut = nullptr;
    platform::TMenuItem *miDelete = nullptr, *miDeleteEvents = nullptr, *miVelocity = nullptr,
                        *miTranspose = nullptr, *miQuantize = nullptr, *miLength = nullptr,
                        *miLegato = nullptr, *miAppend = nullptr, *miMute = nullptr,
                        *miRename = nullptr, *miGrooves = nullptr, *miGlue = nullptr,
                        *miCompose = nullptr, *miEcho = nullptr, *miOverlap = nullptr;
    platform::TMenuItem *miLoopSelected = nullptr, *miSplit = nullptr, *miUngroup = nullptr,
                        *miRemix = nullptr, *miInsertArea = nullptr, *miCutArea = nullptr,
                        *miGroup = nullptr, *miUnmix = nullptr, *miSysexDumps = nullptr;
    platform::TMenuItem *miPopupEditPart = nullptr, *miPopupDelete = nullptr,
                        *miPopupDeleteEvents = nullptr, *miPopupVelocity = nullptr,
                        *miPopupTransposeParts = nullptr, *miPopupQuantize = nullptr,
                        *miPopupLength = nullptr, *miPopupLegato = nullptr,
                        *miPopupAppend = nullptr, *miPopupMuteParts = nullptr,
                        *miPopupRename = nullptr, *miPopupGrooves = nullptr,
                        *miPopupGlue = nullptr, *miPopupCompose = nullptr, *miPopupEcho = nullptr,
                        *miPopupOverlap = nullptr, *miPopupUndo = nullptr;
    void RefreshEditMenu();
    void RefreshPartMenu();
    void RefreshSequenceMenu();
    void RefreshPartsPopup();
    void UndoClick();
    // The clipboard's parts at the song position (snapped down to a bar or a beat), selected;
    // the position goes to their end. Parts that would overlap are dropped.
    void PasteParts();
    void DeleteParts();
    void MuteClick();
    void AppendClick();
    void GlueClick();
    void SplitClick();
    static void LegatoClick();
    static void LengthClick();
    static void VelocityClick();
    // The selected parts get the name the rename dialog gives.
    void RenameParts();
    // Between the locators: room made by moving the later parts right, or the parts there
    // removed and the later ones moved left; one Undo takes either back.
    void InsertArea();
    void CutArea();

    // Parts view (arrangeview.cpp).
    bool XRay() const;
    void PaintParts(platform::TCanvas& C);
    void PaintRuler(platform::TCanvas& C);
    void MovePlayCursor(int Position, bool InEditors, bool NoScroll);
    void DrawLocators(int Which, bool InEditors);
    void ToggleXorMarks();
    void RedrawParts(bool All);
    void RedrawSelectedParts();
    void DrawParts(int Which);
    void EraseSelectedParts();
    void PaintDragBitmap();
    void FollowPlayback(int Tick);
    void ScrollToTick(int Tick);
    void OpenPartEditor();
    void RulerMouseDown(platform::TMouseButton Button, platform::TShiftState Shift, int X, int Y);
    void RulerMouseMove(platform::TShiftState Shift, int X, int Y);
    void RulerMouseUp();
    void RefreshTrackbar();
    void InvalidateTrackRow(int Row);

    // The track settings bar (trackbar.cpp): mode, channel and output of the current track, the
    // Default layout's bank and program, its mute, solo and layout in the tool bar.
    platform::TPanel *panelCh = nullptr, *panelChannel = nullptr, *panelOutput = nullptr;
    platform::TComboBox* comboTrackMode = nullptr;
    platform::TEdit *editBank = nullptr, *editProgram = nullptr;
    platform::TSpeedButton *sbMoveUp1 = nullptr, *sbMoveDown1 = nullptr, *sbProgUp = nullptr,
                           *sbProgDown = nullptr;
    platform::TSpeedButton* sbEditSynth = nullptr;
    platform::TSpeedButton *btnMute = nullptr, *sbSolo = nullptr;
    platform::TLabel* LabelLayout = nullptr;
    platform::TComboBox* comboLayout = nullptr;
    // Track menu and track popup items of the current track.
    platform::TMenuItem *miTrackMenu = nullptr, *Device1 = nullptr, *miTrackTranspose = nullptr,
                        *miTrackMute = nullptr, *miTrackSolo = nullptr, *miTrackLayout = nullptr;
    platform::TMenuItem *Device2 = nullptr, *miPopupTranspose = nullptr, *miPopupMute = nullptr,
                        *miPopupSolo = nullptr, *miPopupLayout = nullptr;
    void RefreshTrackbarSteps(); // what ArrangeSeams().RefreshTrackbar runs
    void BuildOutputMenus();
    void FlowTrackbar();
    void ToggleSynthEditor();
    // Program (0..199) or bank (0..127) of the Default layout: the edit's text set by Enter, or
    // a step of the arrow buttons.
    void EnterProgramOrBank(bool Program);
    void StepProgramOrBank(bool Program, int By);

    // The bank and program layouts other than Default (banklayouts.cpp).
    platform::TSpeedButton *SpeedButton12 = nullptr, *SpeedButton13 = nullptr; // GM next, previous
    platform::TComboBox *ComboVar = nullptr, *gsdrums = nullptr;
    platform::TLabel* labelVar = nullptr;
    platform::TComboBox *aweBanks = nullptr, *comboAWEProg = nullptr;
    platform::TSpeedButton *sbAWE = nullptr, *SpeedButton14 = nullptr, *SpeedButton15 = nullptr;
    platform::TComboBox *comboSBLiveBanks = nullptr, *comboSBLivePresets = nullptr;
    platform::TSpeedButton* sbSBLiveAction = nullptr;
    platform::TPopupMenu* popupSBLive = nullptr;
    platform::TMenuItem* miSBLiveAutoOpenSave = nullptr;
    platform::TOpenDialog* OpenDialog1 = nullptr;
    platform::TComboBox *ComboUser = nullptr, *comboUserProg = nullptr;
    platform::TSpeedButton *SpeedButton3 = nullptr, *SpeedButton10 = nullptr,
                           *SpeedButton11 = nullptr;
    platform::TEdit *editBankMSB = nullptr, *editBankLSB = nullptr, *editProgMSBLSB = nullptr;
    // Entry 0..6 of the layout box (Default, GM, GS, AWE, SBLive!, User, MSB/LSB) for the
    // current track: bank and program none, no user file, nothing sent.
    void ChangeLayout(int Entry);
    // The current track's bank and program in the panel of its layout.
    void ShowLayoutFields();
    void FillGSVariations(int Program);
    void FillAweBanks();
    void FillAwePresets(int Bank);
    void FillSBLiveBanks();
    void FillSBLivePresets(int Bank);
    void ListUserBanks();
    void LoadUserBank(const std::string& FileName);
    // The handlers of the layouts' boxes, buttons and edits.
    void GmProgClick();
    void GsProgChange();
    void GsVarChange();
    void GsDrumsChange();
    void AweBankClick();
    void AweProgClick();
    void SBLiveBankClick();
    void SBLivePresetClick();
    void SBLiveLoad();
    void SBLiveClear();
    void SBLiveClearAll();
    void SBLiveToggleAutoOpenSave();
    void UserFileClick();
    void UserProgClick();
    void EditUserBanks();
    void EnterMsbLsb(int Which); // 0 MSB, 1 LSB, 2 program

    // Output and channel menus (trackmenus.cpp).
    void btnThruClick();
    void OutputItemClick(platform::TMenuItem* Sender);
    void RemoveSoftsynth(int Index);
    void AddDiskChannelClick();
    void ChannelItemClick(platform::TMenuItem* Sender);
    void TempoItemClick(platform::TMenuItem* Sender);
    void PopupTracksPopup();
    // The track popup's "Hide", "Show all" and "Restore last width".
    void HideTrackList();
    void ShowAllColumns();
    void RestoreTrackListWidth();
    // The thru route and input transposition of the current track go to the MIDI object.
    void SendThru();
    // Another song (opened or new): caption, ruler, parts, track list and settings bar.
    void SongChanged();

private:
    void BuildPanes();
    void BuildMenus();
    void FillProgramBoxes();
    void BuildChannelMenus();
    void BuildTrackbar();   // trackbar.cpp
    void BuildBankPanels(); // banklayouts.cpp
    // Sends the current track's bank and program, then repaints its row; no control keeps the
    // focus.
    void SendTrackProgram();
    void BuildTrackMenus();   // trackmenus.cpp
    void InstallPartsMouse(); // the parts area's mouse, Edit > Snap, deactivation
    void InstallTrackList();  // the track list's painting, mouse and header
    void InstallToolbarFields(); // arrangekeys.cpp
    void BuildPartCommands();    // arrangecmds.cpp
    void BuildDeleteEvents(platform::TMenuItem* Menu, bool Popup);
    void BuildCompose(platform::TMenuItem* Menu, bool Popup);
    void ResolutionCaptions(platform::TMenuItem* Overlap, platform::TMenuItem* Quantize,
                            platform::TMenuItem* Length);
    std::shared_ptr<platform::Surface> UndoBitmap() const;
    static platform::TMenuItem* MenuRow(platform::TMenuItem* Parent, int Index,
                                        const std::string& Caption, std::uint16_t Key,
                                        std::function<void(platform::TMenuItem*)> Click);
    void MoveCurrentTrack(int By);
    // Shift+F1..F10 and key 226: an area by its index, the next or previous one.
    void AreaKey(int Index);
    void StepArea(bool Next);
    void RemoveTrackList();
    // Sets the controller of a value column (6..9) of Row from x and sends it to the track.
    void SetTrackValue(int Row, int Column, int X, int Left, int Right);
    // Every activity counter down by 2; true when any was running.
    bool DecayInputActivity();
    void ReadSettings();
    void PlaceWindow();
    void DrawPlayCursorAt(platform::TCanvas& C, int Position);
    void DrawLocatorLines(platform::TCanvas& C);
    void DrawRulerBand(platform::TCanvas& C);
    void DrawPartsIn(platform::TCanvas& C, int Which);
    void SetLocatorAt(int Button, platform::TShiftState Shift, int X);
};

extern TfmArrange* fmArrange;

// One part box on the parts area's canvas (content coordinates).
void DrawPart(_TPart* Part, platform::TCanvas& Canvas, int Mode);
// A new part on the track between the locators, selected and current.
void InsertPartBetweenLocators(int Track);
// The Record command: MIDI input into the current track from the left locator (a part there,
// or a new one between the locators), or an audio take on an audio track. Only while stopped.
void RecordPunchIn();
// Writes the window's settings; the main window calls it at shut-down.
void SaveArrangeSettings();
// Makes the arrange window, which finishes start-up (called by the program's entry).
void CreateArrangeWindow();
// PixelToTickSnapped by the arrange window's snap mode (bars when there is no window).
int PixelToTickSnapped(int X);
// Seen by tests: runs while the busy flag is held around linking an inserted part.
extern std::function<void()> InsertPartHeldHook;
