#pragma once
// The sample-part editor: the editor of a part on an audio track, an MDI child of the main
// window. Its rows are the track's sample slots and its notes the part's sample notes (status
// $20 on, $30 off, data 1 the slot). The grid `audio` with the ruler above it, the sample list at
// its left, the volume/pan lane and the horizontal strip below, the browser at the far left, the
// toolbar and the edit bar on top. Made on first use by the arrange window and bound again to the
// song's current part at every activation; the part is never kept.
//
// Geometry: x is a content coordinate, 0 at the part's start, AudioWidth16th pixels to the
// sixteenth note; rows of SampleHeight pixels, slot 0 at the top.

#include "platform/core/timers.h"
#include "platform/forms/form.h"
#include "platform/gdi/graphics.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {
class TPanel;
class TLabel;
class TSpeedButton;
class TEdit;
class THeaderControl;
class TMainMenu;
class TMenuItem;
class TPopupMenu;
} // namespace platform

class TScroll;
class TMScroll;
class TGuiScrollbar;
class TSplitterEx2;
class THemisphereButton;
struct _TPart;
struct _TTrack;
struct _TEvent;

class TfmAudio : public platform::TForm {
public:
    explicit TfmAudio(platform::TComponent* AOwner);
    ~TfmAudio() override;
    std::string_view ClassName() const override { return "TfmAudio"; }

    // Edit state.
    int CurrentRow = -1;
    std::uint8_t EditMode = 0; // 0 default, 1 insert, 2 step
    int GridStep = 60;         // ticks between grid lines, -1 the edit resolution's step
    bool LaneShowsPan = false;
    std::string LastEditName = "edit.wav";
    bool Auditioning = false;
    bool Dragging = false; // a grid drag or the scroll thumb: the view does not follow playback
    int StepTick = 0;      // song ticks
    int StepRow = 0;
    std::uint8_t RulerButton = 2; // 0 left, 1 right, 2 none
    int SamplePressRow = -1;
    bool LaneUndoOpen = false;
    bool PanView = false;
    int PanX = 0, PanY = 0;
    int PaintRow = 0;
    bool Painting = false;
    bool GridDrag = false; // DragRect holds a drag of the grid
    // Widths and heights remembered by the pane toggles and "last".
    int LastSplit = 0, BrowserWidth = 0, LaneHeight = 0;
    // The folder list's height and the favourite folders (the browser shows them).
    int DirectoryHeight = 150;
    std::vector<std::string> Favorites;

    // Panes.
    platform::TPanel* Toolbar = nullptr;
    platform::TPanel* editbar = nullptr;
    platform::TPanel* panelBrowse = nullptr;
    TSplitterEx2* SplitterEx22 = nullptr;
    platform::TPanel* Panel14 = nullptr;
    platform::TSpeedButton *sbUp = nullptr, *sbFile = nullptr, *sbRecord = nullptr;
    THemisphereButton* HemisphereButton2 = nullptr;
    platform::TPanel* panelFiles = nullptr;
    platform::TPanel* panelRec = nullptr;
    platform::TPanel* panelAudio = nullptr;
    platform::TPanel* panelWaves = nullptr;
    TSplitterEx2* SplitterEx23 = nullptr;
    platform::THeaderControl* sampleTitles = nullptr;
    TScroll* samples = nullptr;
    TMScroll* guiColumns = nullptr;
    platform::TPanel* Panel15 = nullptr; // the ruler's row
    platform::TPanel* Panel17 = nullptr; // above the sample list, beside the ruler
    platform::TPanel* Panel18 = nullptr; // grid and its vertical strip
    TScroll* meter = nullptr;
    TScroll* audio = nullptr;
    TMScroll* guiScrolly = nullptr;
    platform::TPanel* PanelBottom = nullptr;
    TSplitterEx2* SplitterEx24 = nullptr;
    platform::TPanel* PanelToolCC = nullptr;
    platform::TSpeedButton* sbCC = nullptr;
    platform::TLabel* labelControlSample = nullptr;
    THemisphereButton* HemisphereButton3 = nullptr;
    TScroll* control = nullptr;
    TMScroll* guiScrollx = nullptr;
    TGuiScrollbar* ScrollY = nullptr;
    TGuiScrollbar* ScrollX = nullptr;

    // Toolbar and edit bar.
    platform::TSpeedButton *sbMute = nullptr, *sbSolo = nullptr, *sbDefault = nullptr,
                           *sbInsert = nullptr, *sbStep = nullptr, *sbSnap = nullptr,
                           *sbAudio = nullptr, *SpeedButton4 = nullptr, *SpeedButton8 = nullptr;
    platform::TPanel *panelBpm = nullptr, *panelRes = nullptr;
    platform::TEdit* editBpm = nullptr;
    platform::TLabel* labelBpm = nullptr;
    platform::TSpeedButton *SpeedButton1 = nullptr, *sbMoveLeft1 = nullptr, *sbMoveRight1 = nullptr,
                           *sbLengthLeft = nullptr, *sbLengthRight = nullptr;
    platform::TPanel *panelLength = nullptr, *panelCh = nullptr;
    platform::TEdit* editLength = nullptr;

    // Menus.
    platform::TMainMenu* MainMenu1 = nullptr;
    platform::TMenuItem *miEdit = nullptr, *miUndo = nullptr, *miSelectAll = nullptr,
                        *miGrid = nullptr;
    platform::TMenuItem *miPart = nullptr, *miCompose = nullptr, *miGrooves = nullptr,
                        *miLegato = nullptr, *miLength = nullptr, *miQuantize = nullptr;
    platform::TMenuItem *miSample = nullptr, *miSampleDelete = nullptr,
                        *miSampleDeleteAll = nullptr, *miSampleReplace = nullptr,
                        *miLastReplace = nullptr, *miRename = nullptr, *miEditExternal = nullptr,
                        *miSaveAs = nullptr, *miSaveBank = nullptr, *miDrawContents = nullptr;
    platform::TMenuItem *miEvent = nullptr, *miInsert = nullptr, *miEventDelete = nullptr,
                        *miStretch = nullptr;
    platform::TMenuItem *miAudio = nullptr, *miEnable = nullptr, *miOptions = nullptr,
                        *miMixer = nullptr;
    platform::TMenuItem *ShowMenu = nullptr, *miBrowser = nullptr, *miSamples = nullptr,
                        *miToolbar = nullptr, *miEditbar = nullptr, *miRecbar = nullptr,
                        *miControllers = nullptr, *miTransporter = nullptr, *miCustomize = nullptr;
    platform::TPopupMenu *popupAudio = nullptr, *popupSamples = nullptr, *PopupColumns = nullptr,
                         *PopupFiles = nullptr, *PopupFavorites = nullptr, *popupPool = nullptr,
                         *popupCh = nullptr, *Popupres = nullptr;
    platform::TMenuItem* miPopupUndo = nullptr;

    // 50 ms auto-scroll while a grid drag is outside the view.
    platform::TTimer scrollTimer;

    // Geometry (AudioWidth16th, SampleHeight and the current part); products in 64 bits.
    static int TickToX(std::int64_t Ticks);
    // Ticks at X cut toward zero to a multiple of Step.
    static int SnapXToTicks(int X, int Step);
    static int RowAtY(int Y);
    // The current part's whole beats in pixels; the grid's client width without a part.
    int ContentWidth() const;
    // The current part's track when it is an audio track, and its slot count.
    static _TTrack* PartTrack();
    static int SlotCount();

    // Creation, show, activation, close.
    void FormCreate();
    void FormShow();
    void FormActivate();
    void FormDeactivate();
    void FormClose(platform::TCloseAction& Action);
    void FormResize();
    platform::LRESULT WndProc(platform::UINT Msg, platform::WPARAM W, platform::LPARAM L) override;
    void SaveSettings();
    void ApplyLook();
    void UpdateMuteButton();
    void SetCurrentRow(int Row);
    void UpdateRowScrollRange();
    void UpdateHorzScrollRange();
    void RefreshChannelPanel();

    // Scrolling and zoom.
    void ScrollYControl(const std::string& Id, int Value);
    void ScrollXControl(const std::string& Id, int Value);
    void ColumnsControl(const std::string& Id);
    void WMMouseWheel(int Delta, platform::TPoint ScreenPos);
    void AutoScrollStep();

    // Tool bar.
    void ApplyTempo(int Bpm);
    void editBpmEnter();
    void editBpmDoubleClick();
    void ShowChannelMenu();
    void ShowResolutionMenu();
    void editLengthEnter();
    // Show menu and pane toggles.
    void ShowMenuPopup();
    void ToggleLane();
    void HideLane();
    void FitLane();
    void TogglePane(platform::TPanel* Pane, int& Remembered);

    // ---- Grid (sampleedit_paint.cpp) ----
    void PaintGrid(platform::TCanvas& C);
    void PaintRuler(platform::TCanvas& C);
    // The notes marked for redraw (All: every note) drawn on the grid now.
    void PaintNotes(bool All);
    // The box of the sample note-on Event at Tick (from the part's start); False when it starts
    // right of the visible area.
    // View: the canvas's visible area when the caller has it (a loop over the part's events
    // takes it once), else it is worked out here.
    bool DrawPartEvents(platform::TCanvas& C, const _TEvent* Event, std::int64_t Tick,
                        const platform::TRect* View = nullptr);
    // XOR marks: drawn again they go.
    void MovePlayCursor(int Position);
    void DrawLocators();
    void DrawStepCursor();
    void SetGridStep(int Step);

    // ---- Mouse (sampleedit_mouse.cpp) ----
    void audioMouseDown(platform::TMouseButton Button, platform::TShiftState Shift, int X, int Y);
    void audioMouseMove(platform::TShiftState Shift, int X, int Y);
    void audioMouseUp(platform::TMouseButton Button, platform::TShiftState Shift, int X, int Y);
    void meterMouseDown(platform::TMouseButton Button, platform::TShiftState Shift, int X);
    void meterMouseMove(platform::TShiftState Shift, int X);
    void meterMouseUp();
    void CancelDrag();
    bool MoveSelectedNotes(int DTicks, int DRows);
    bool CopySelectedNotes(int DTicks, int DRows);
    void ResizeSelectedNotes(int Delta, bool SelectedOnly);
    void SetEditRes(int Value, const std::string& Caption);

    // ---- Keys and step input (sampleedit_keys.cpp) ----
    void FormKeyDown(platform::TObject* Sender, std::uint16_t& Key, platform::TShiftState Shift);
    void FormKeyUp(platform::TObject* Sender, std::uint16_t& Key, platform::TShiftState Shift);
    void EnterMode(int Mode);
    void SelectStepCell();
    void InsertAtStepCursor();
    void SelectPreviousNote(bool Shift);
    void SelectNextNote(bool Shift);
    void MoveButton(int Direction);
    void StretchToEnd();
    void UndoEdit();
    void RepaintLane();

private:
    void BuildPanes();
    void BuildToolbars();
    void BuildMenus();
    void BuildScrollStrips();
    void ReadSettings();
    void BindMouse();
    void DrawPlayCursorOn(platform::TCanvas& C, int Position);
    void DrawBand(platform::TCanvas& C);
    void DrawStepCursorOn(platform::TCanvas& C);
    void DrawTrace(platform::TCanvas& C, const _TEvent* Event, int X1, int X2, int Y1, int Y2);
    void BeginGridDrag(int Mode, int X, int Y, int MaxY);
    void InsertSampleNote(_TPart* Part, int Tick, int Row, int Length);
    bool FitsInPart(int DTicks, int DRows, const char* Text, const char* Caption);
    void RulerPress(int Button, platform::TShiftState Shift, int X);
    void StartAutoScroll();
    void StopAutoScroll();
    void EndPainting();
    // The play cursor lifted while Change draws under it.
    void WithCursorOff(const std::function<void()>& Change);
};

extern TfmAudio* fmAudio;

// Seen by tests: runs while an inserted or painted sample note is linked, the renderer held.
extern std::function<void()> SampleInsertHeldHook;

// The arrange window's Ctrl+E for a part on an audio track: the editor made on first use and
// brought to the front.
void OpenSampleEditor();
// Closes the editor when it exists (a new or opened song, shut-down).
void CloseSampleEditor();
// The seams through which the arrange window, the transport and the edit commands reach this
// editor; installed by the arrange window's creation after the key editor's.
void InstallSampleEditorSeams();
