#pragma once
// The main window: an MDI frame that holds the arrange window and the editors, makes the shared
// singletons when it is created (song, audio, MIDI, looks, drag rectangle, SoundFont manager),
// and takes them down in order when it closes. The program's entry lives here too.

#include "gui/leds.h"
#include "gui/skinbind.h"
#include "gui/transpimages.h"
#include "platform/core/timers.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/form.h"
#include "platform/gdi/graphics.h"
#include "platform/gdi/imagelist.h"
#include "platform/menus/menus.h"
#include "song/songfile.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TDXWaveList;
class TSample;
struct _TPart;
struct _TGroovesItem;
namespace platform {
class TIniFile;
}

// The main window's creation ran to its end.
extern std::uint8_t InitDone;

// One named song area: a span of the song between two ticks (kept in the song file).
using TAreaItem = TSongArea;
// Holder of the song areas.
class TAreaEx {
public:
    std::vector<TAreaItem> Items;
};

class TfmMdi : public platform::TForm {
public:
    explicit TfmMdi(platform::TComponent* AOwner);
    ~TfmMdi() override;
    std::string_view ClassName() const override { return "TfmMdi"; }

    // Appearance, with the defaults an empty settings file gives.
    std::string FontName = "Arial";
    int FontSize = 8;
    platform::TFontStyles FontStyle{};
    platform::TColor FontColor = 0;
    platform::TColor FontBkColor = platform::TColor(0x8000000F);
    platform::TColor LedColor = 0x50A0A0;
    platform::TColor PartsBkColor = 0x50A0A0;      // read by the arrange window
    platform::TColor PartsAudioBkColor = 0x50A0A0; // read by the arrange window
    bool UseBitmap = false;
    std::string BackgroundBitmap = "xyz"; // read by the arrange window
    bool AreaNames = true;
    platform::TColor MainBkColor = 0x1F1F1F;
    platform::TColor ControlBkColor = 0x1F1F1F;
    platform::TColor ControlTextColor = 0xC0C0C0;
    platform::TColor ColumnSeparator = 0;
    platform::TColor LoopBkColor = 0xC0C0C0;
    int Part3d = 24;
    platform::TColor PartsSelectedColor = 0xADD6D6;
    // The skin library's object and file name live in the skin binding (gui/skinbind.h).
    TSkinObject& Skin;
    std::string& SkinName;
    bool LedActive = false;

    // Transport state and the main window's lists.
    std::vector<std::string> RecentFiles; // newest first
    TAreaEx Areas;
    bool Winding = false;
    int WindStep = 16;
    int PressedButton = 0, DrawnButton = 0, DrawnState = 0;
    std::atomic<bool> AudioRecord{false};
    bool PosAsTime = false;

    // Transport indicators and their artwork.
    std::unique_ptr<TAudioVU> VU;
    std::unique_ptr<TMidiLed> MidiLed;
    std::unique_ptr<TMidiPos> PosText;
    platform::TBitmap imgVuOff, imgVuOn, imgLedOff, imgLedOn; // 81 x 6, 6 x 14
    platform::TBitmap imgKnob, imgLedOn2, imgLedOff2;         // 23 x 14, 12 x 12
    platform::TImageList MenuImages{16, 16};
    std::array<std::unique_ptr<platform::TBitmap>, 9> MenuBitmaps; // the last: Undo
    std::unique_ptr<TDXWaveList> imports;

    // The transport images in the looks: images and TranspImageIds.
    TTransportLooks Transport;
    platform::TImageList& images() { return Transport.images; }
    void InitLooks() { Transport.InitLooks(); }
    void LoadTransportImages() { Transport.LoadTransportImages(); }

    // 50 ms meters and buttons; the transport bar sets its OnTimer.
    platform::TTimer systemTimer;

    void FormCreate();
    void FormCloseQuery(bool& CanClose);
    void FormClose(platform::TCloseAction& Action);
    // Frees the song, device and indicator objects that start-up made (the close's last steps;
    // also what a start that threw had made).
    void FreeStartObjects();

    // File menu: Save and Save As; True when the song was written.
    bool Save1Click();
    bool Saveas1Click();
    // Puts a file at the head of the recent files (at most five, no repeats).
    void AddRecentFile(std::string_view Path);

    // The edit guard and the transport commands (transport.cpp).
    bool PausePlayback();
    void ResumePlayback();
    void StartPlayback(bool RecordAudio);
    void StopPlayback(bool StopAudio);
    void GotoSongStart();
    void GotoSongEnd();
    void GotoLeftLocator();
    void GotoRightLocator();
    void SetSongPosition(int Position);
    void ToggleLoop(bool Pause);
    void StartFastForward(int Step);
    void StartRewind(int Step);
    void StopWinding();
    void transportTimerTimer();
    // 50 ms winding steps.
    platform::TTimer transportTimer;

    // Recording (record.cpp): an audio take into the current part (RecMode as TAudio::
    // RecordMode; Sample and Slot the sample slot taken over, nil and -1 for a new one); the
    // slot the take belongs to; its span in ticks from the current part's start; the take's end.
    void StartAudioRecord(int RecMode, TSample* Sample, int Slot);
    TSample* PrepareAudioTake(_TPart* Part, TSample* Sample, int Slot);
    int TakeStartTick() const;
    int TakeEndTick() const;
    void WMAudioRecordDone();

    // Posted and sent messages, hot keys and the application's minimise and restore
    // (transport.cpp).
    platform::LRESULT WndProc(platform::UINT Msg, platform::WPARAM W, platform::LPARAM L) override;
    void WMHotKey(platform::WPARAM Key);
    void WMMidiInData(platform::LPARAM Msg);
    void WMMouseWheel(platform::WPARAM W, platform::LPARAM L);
    void WMSetSongPos(platform::LPARAM Position);
    void WMRefillQueue();
    void WMTrackActivity(platform::WPARAM Track);
    void WMSyncStartStop(platform::WPARAM Kind);
    void WMUser(platform::WPARAM W);
    void WMPluginIdle(platform::WPARAM W, platform::LPARAM Effect);
    void WMRestartAudio();
    void WMEngineError(platform::WPARAM Code);
    void WMDone();
    void WMDiskRepaint();
    void AppMinimize();
    void AppRestore();

    // Ctrl+Alt+NumPad9: out at once, nothing saved, nothing asked.
    void EmergencyQuit();

    // The transport bar (transportbar.cpp): docked at the top of the frame or floating inside
    // its client area; the song name and ten fields painted with gdi.
    platform::TPanel* panelTransporter = nullptr;
    platform::TPanel* panelSongName = nullptr;
    platform::TPaintBox *paintMidiLed = nullptr, *paintTransp = nullptr, *paintLoop = nullptr,
                        *paintBeep = nullptr, *paintVU = nullptr, *paintTimeSig = nullptr,
                        *paintPos = nullptr, *paintLeft = nullptr, *paintRight = nullptr,
                        *paintCPU = nullptr;
    std::unique_ptr<platform::TPopupMenu> PopupTransp, PopupBars;
    platform::TPoint DragStart{};
    // Creation step 20: makes the bar, reads [Transporter] and lays it out.
    void CreateTransportBar();
    // [Transporter] as SaveMainSettings stores it.
    void WriteTransportSettings();
    void PaintSongPosition();
    void PaintCpu(platform::HDC DC);
    // Draws the MIDI LED on its field when that is visible (MIDI input activity).
    void PaintMidiLed();
    void SetBeatsPerBar(int Beats);
    void systemTimerTimer();
    void Gui1Click();

    // The softsynth menu and the plug-ins' GUI side (synthmenu.cpp).
    std::unique_ptr<platform::TPopupMenu> PopupSynth;
    // Creation steps 29 and 30: the idle handler (VstEditorIdle) and the menu.
    void InstallSynthMenu();
    void BuildSynthMenu();
    // Takes the menu out of the menu that shows it (before a rebuild, at shut-down).
    void DetachSynthMenu();
    void PopupSynthPopup();
    void BroadcastTempo();
    void NotifySoftsynthCount();
    void ToggleSoftsynthEditor(int Index);
    void ToggleMixer();
    void RefreshMixer();
    void RefreshParamEditor();
    void RefreshParamEditorIfNoPart();

    // The main window's keys, and every editor's unused ones (keyboard.cpp).
    void FormKeyDown(platform::TObject* Sender, std::uint16_t& Key, platform::TShiftState Shift);
    void FormKeyUp(platform::TObject* Sender, std::uint16_t& Key, platform::TShiftState Shift);
    void EnterKey(platform::TShiftState Shift);
    // The metronome switch of the B key and the transport bar's metronome button.
    void ToggleMetronome();

    // The current track's name and input transposition (dialogs.cpp).
    void ShowRenameTrack();
    void ShowTrackTranspose();

    // The edit commands the arrange window and the editors share (editcommands.cpp). Those that
    // change events run in the edit guard and do nothing when it refuses. SelectedOnly: only
    // the selected events of each selected part (the editors pass it when events are selected).
    void QuantizeSelection(bool SelectedOnly);
    void LegatoSelection(bool SelectedOnly);
    void SetNoteLengths(int Ticks, bool SelectedOnly);
    void DeleteControllers(int Controller); // -1 every controller
    void DeleteAweNrpns(int Param);         // -1 every sound-card parameter
    void DeleteStatusEvents(int Status);    // $C0 program changes, $E0 pitch bends
    void DeleteDoubleNotes();
    void OverlapNotes(_TPart* Part, bool SelectedOnly);
    // False when the edit guard refused (nothing changed).
    bool ApplyGroove(const _TGroovesItem* Groove, bool SelectedOnly);
    void DeleteEvents(bool SelectedOnly);
    void DeleteNotes();
    // The edit grid: Value divides 960; Caption is shown in every window's grid panel.
    void SetGridValue(int Value, std::string_view Caption);
    // Solo of the current track, or back to no solo; FollowCurrent moves an active solo to the
    // current track.
    void ToggleSolo(bool FollowCurrent);
    // The locators around the selected parts; Pause: a looping playback restarts with them.
    void LocatorsToSelection(bool Pause);
    void ShowTransposeDialog();
    // Mode: the target track's kind (0 MIDI, 1 sample notes, 2 softsynth); Sample preselected.
    void ShowComposeNotes(int Mode, int Sample);
    void ShowComposeControllers();
    void ShowComposeAweNrpn();
    void ShowEchoDialog();
    void ShowUserBankDialog();

    // The File and Help menus, dropped files and the song's areas (filemenu.cpp).
    platform::TMainMenu MainMenu;
    platform::TMenuItem* File1 = nullptr;
    platform::TMenuItem* Help1 = nullptr;
    platform::TMenuItem* VirtualAwe1 = nullptr;
    platform::TMenuItem* AweLine = nullptr; // the separator above it
    std::array<platform::TMenuItem*, 5> lastSaved{};
    void InitFileMenu(); // menus, recent-file items, dropped files accepted
    void Open1Click();
    void New1Click();
    void Append1Click();
    void Options1Click();
    void MIDIreset1Click();
    void ClearAreas();
    void FillAreaList();
    // WM_DROPFILES: the first dropped file is appended to the current track.
    void WMDropFiles(std::uintptr_t Drop);

private:
    // The owned pop-up windows minimise hid, shown again on restore.
    std::vector<platform::HWND> hiddenPopups_;
    void InstallTransport();
    void InstallEditCommands(); // the keys' hooks of the edit commands
    void ReadAppearance();
    void DrawArtwork();
    void LoadRecentFiles();
};

extern TfmMdi* fmMdi;

// The Undo items' icon among TfmMdi::MenuBitmaps.
inline constexpr std::size_t kUndoMenuBitmap = 8;

// A colour setting: a signed decimal, or the unsigned spelling of the same number.
platform::TColor ReadIniColor(const platform::TIniFile& Ini, std::string_view Section,
                              std::string_view Key, platform::TColor Def);

// Writes the main window's own settings (recent files, transport bar, mixer placement).
void SaveMainSettings();

// The end of start-up: the arrange window is made, which opens the autoload song, enables
// audio, marks the run as not ended cleanly and starts the system timer.
void FinishStartup();

// Start-up up to the message loop: False (the reason shown) when the program must end.
bool StartProgram(const std::vector<std::string>& args);
// The program's entry after the display is open; args are the program's own arguments (not the
// program name). Returns the exit code.
int RunProgram(const std::vector<std::string>& args);
