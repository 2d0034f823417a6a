#pragma once
// The key editor: the MIDI editor of the song's current part, an MDI child of the main window.
// A piano roll (note grid `key`) with the keyboard strip at its left, the time ruler above it,
// the controller lane and the horizontal scroll strip below, the event list at the left, the
// toolbar and the edit bar on top. Made on first use by the arrange window and bound again to
// the song's current part at every activation.
//
// Geometry: x is a content coordinate, 0 at the part's start, Width16th pixels to the sixteenth
// note; rows of NoteHeight pixels with key 127 at the top (song/timebase.h NoteToKeyY).

#include "platform/core/timers.h"
#include "platform/forms/form.h"
#include "platform/gdi/graphics.h"
#include "song/keyb.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace platform {
class TPanel;
class TSpeedButton;
class TEdit;
class THeaderControl;
class TMainMenu;
class TMenuItem;
class TPopupMenu;
class TLabel;
} // namespace platform

class TScroll;
class TMScroll;
class TGuiScrollbar;
class TSplitterEx2;
class THemisphereButton;
class TSelect;
struct _TPart;
struct _TEvent;

// What the key editor asks of routines that later parts of the program fill in; each empty one
// does nothing.
struct TKeyEditorSeams {
    // The event list refreshed after a change of events; the step cursor's selection renewed;
    // Track > Output rebuilt; the list's column chooser built.
    std::function<void()> RefreshEventList, ReselectStepCursor, BuildOutputMenu, BuildColumnMenu;
    // The lane's and the list's repaint (their Parts fill these).
    std::function<void()> RepaintLane, RepaintList;
    // Show > "&MIDI faders" (the fader window shown or hidden) and "&Customize" (the appearance
    // dialog on its "Part edit" page when this item makes it).
    std::function<void()> ToggleMidiFaders, ShowCustomize;
    // TfmKey.UpdateEditbar: the edit bar shows the selection.
    std::function<void()> UpdateEditbar;
    // The controller picker: on OK, True with its page (0 controllers, 1 sound-card
    // parameters) and the chosen index.
    std::function<bool(int& Page, int& Index)> ChooseController;
    // The minimum/maximum dialog captioned Caption: on OK, True with the range.
    std::function<bool(const std::string& Caption, int& Min, int& Max)> AskRange;
    // The system-exclusive dialogs: insert with the time fields' texts preset and the allowed
    // song range; edit with the time texts and the event's bytes as hex. True on OK.
    std::function<bool(const std::string& Bar, const std::string& Beat, const std::string& Tick,
                       int RangeStart, int RangeEnd)>
        InsertSysexDialog;
    std::function<bool(const std::string& Bar, const std::string& Beat, const std::string& Tick,
                       const std::string& Hex)>
        EditSysexDialog;
};
TKeyEditorSeams& KeyEditorSeams();

class TfmKey : public platform::TForm {
public:
    explicit TfmKey(platform::TComponent* AOwner);
    ~TfmKey() override;
    std::string_view ClassName() const override { return "TfmKey"; }

    // Edit state.
    int EditMode = 0;          // 0 default, 1 insert, 2 step notes, 3 step controllers
    std::uint8_t LaneKind = 0; // 0 velocity, 1 pitch bend, 2 controller, 3 NRPN, 4 sysex, 5 program
    int LaneCode = -4;
    int StepTick = 0;
    int StepPitch = 72;
    int TrackerBase = 24;
    int GridSpacing = 60;       // ticks between grid lines, -1 the edit resolution's step
    _TPart* Snapshot = nullptr; // owned: the bound part as it was bound
    _TPart* BoundPart = nullptr;
    std::uint8_t Busy = 0;
    std::uint8_t LaneDrawing = 0;
    std::uint8_t PaintInsert = 0;
    int HeldMidiKeys = 0;
    // The MIDI keys counted in HeldMidiKeys (pressed while entering the current step).
    std::array<bool, 128> StepKeys{};
    std::uint8_t PreviewOn = 0;
    std::uint8_t ListView = 0;
    int RowHeight = 14;
    std::uint8_t HandScroll = 0;
    int HoveredKey = -1;
    // Keys lit by the MIDI input, so that a repaint of the strip keeps them; they go with the
    // editor (a note-off after closing lights nothing in the next one).
    std::array<bool, 128> LitKeys{};
    std::uint8_t RulerButton = 2;    // 2 none
    std::uint8_t AutoScrollPane = 0; // 0 note grid, 1 lane or ruler
    TKeyb TrackerKeys;
    bool GridShowOctaves = true;
    bool GridShowFlats = false;
    // The lane's height before it was hidden (0: none yet); the list's width likewise.
    int LaneHeight = 0;
    int ListWidth = 0;

    // Panes.
    platform::TPanel* Toolbar = nullptr;
    platform::TPanel* editbar = nullptr;
    platform::TPanel* panelList = nullptr;
    TSplitterEx2* SplitterEx21 = nullptr;
    platform::THeaderControl* listTitles = nullptr;
    TScroll* list = nullptr;
    TMScroll* sbListVert = nullptr;
    TMScroll* guiColumns = nullptr;
    THemisphereButton* HemisphereButton1 = nullptr;
    platform::TPanel* panelGrid = nullptr; // keyboard, ruler and grid
    platform::TPanel* panelKeyboard = nullptr;
    platform::TPanel* panelKeyboardTop = nullptr; // above the keyboard, beside the ruler
    TScroll* Keyboard = nullptr;
    platform::TPanel* panelMeter = nullptr;
    TScroll* meter = nullptr;
    platform::TPanel* panelKey = nullptr;
    TScroll* key = nullptr;
    TMScroll* guiScrolly = nullptr;
    TSplitterEx2* SplitterEx22 = nullptr;
    platform::TPanel* panelBottom = nullptr;
    platform::TPanel* PanelToolCC = nullptr;
    platform::TPanel* PanelHideCC = nullptr; // the lane toolbar's hide panel
    platform::TPanel* panelLane = nullptr;   // value panel and lane
    platform::TPanel* panelValue = nullptr;
    platform::TPanel* Panel4 = nullptr;
    TScroll* control = nullptr;
    TMScroll* guiScrollx = nullptr;
    TGuiScrollbar* ScrollY = nullptr;
    TGuiScrollbar* ScrollX = nullptr;

    // Toolbar.
    platform::TSpeedButton *sbDefault = nullptr, *sbInsert = nullptr, *sbStep = nullptr,
                           *sbStepCtrl = nullptr, *sbSnap = nullptr, *sbSolo = nullptr,
                           *sbMute = nullptr, *sbKeyb = nullptr, *sbPrior = nullptr,
                           *sbNext = nullptr, *SpeedButton4 = nullptr, *SpeedButton8 = nullptr;
    platform::TEdit* editBpm = nullptr;
    platform::TPanel* panelRes = nullptr;
    // Edit bar.
    platform::TSpeedButton *sbMoveLeft1 = nullptr, *sbMoveRight1 = nullptr, *sbMoveUp12 = nullptr,
                           *sbMoveDown12 = nullptr, *sbMoveUp1 = nullptr, *sbMoveDown1 = nullptr,
                           *sbLengthLeft = nullptr, *sbLengthRight = nullptr, *sbVelPlus = nullptr,
                           *sbVelMinus = nullptr;
    platform::TEdit *editBars = nullptr, *editBeats = nullptr, *editTicks = nullptr,
                    *editCh = nullptr, *editNote = nullptr, *editLength = nullptr,
                    *editVel = nullptr, *editCtrlValue = nullptr;
    // Lane toolbar.
    platform::TSpeedButton *sbCC = nullptr, *sbQuick = nullptr, *sbVelUp = nullptr,
                           *sbVelDown = nullptr, *sbIns = nullptr, *sbDel = nullptr;
    THemisphereButton* HemisphereButton2 = nullptr;
    platform::TPanel *panelVel = nullptr, *panelCtrlValue = nullptr, *panelTime = nullptr,
                     *panelCh = nullptr, *panelNote = nullptr, *panelLength = nullptr,
                     *panelBpm = nullptr;

    // Menus.
    platform::TMainMenu* MainMenu = nullptr;
    platform::TMenuItem *miEdit = nullptr, *miUndo = nullptr, *miUndoAll = nullptr,
                        *miSelectAllNotes = nullptr, *miSelectAllEvents = nullptr,
                        *miInvertSelection = nullptr, *miSelectSame = nullptr, *miCopy = nullptr,
                        *miPaste = nullptr, *miGrid = nullptr;
    platform::TMenuItem *miTrack = nullptr, *miTrackCh = nullptr, *miOutput = nullptr,
                        *miRename = nullptr, *miTransposeInput = nullptr, *miMute = nullptr,
                        *miSolo = nullptr;
    platform::TMenuItem *miPart = nullptr, *miCompose = nullptr, *miDelete = nullptr,
                        *miEcho = nullptr, *miGrooves = nullptr, *miLegato = nullptr,
                        *miLength = nullptr, *miOverlap = nullptr, *miQuantize = nullptr,
                        *miTranspose = nullptr, *miVelocity = nullptr;
    platform::TMenuItem *miEvents = nullptr, *miEventsDelete = nullptr, *miKeep = nullptr,
                        *miDeleteSame = nullptr, *miKeepSame = nullptr, *miStretch = nullptr,
                        *miTimeScale = nullptr, *miRotateLeft = nullptr, *miRotateRight = nullptr,
                        *miMuteNotes = nullptr, *miInsertSysex = nullptr, *miEditSysex = nullptr,
                        *miViewAs = nullptr, *miViewText = nullptr, *miViewNumber = nullptr,
                        *miStepPreview = nullptr;
    platform::TMenuItem *ShowMenu = nullptr, *miToolbar = nullptr, *miEditbar = nullptr,
                        *miControllers = nullptr, *miListOfEvents = nullptr,
                        *miMidiFaders = nullptr, *miTransporter = nullptr, *miCustomize = nullptr;
    platform::TPopupMenu *PopupKey = nullptr, *PopupControl = nullptr, *Popupres = nullptr,
                         *PopupQuick = nullptr, *PopupColumns = nullptr;

    // 50 ms auto-scroll while a drag leaves its pane.
    platform::TTimer scrollTimer;

    // Geometry (Width16th, NoteHeight and the current part).
    // Grid lines and the locator band: Round(Ticks x Width16th x 4 / 240), halves to even.
    static int TickToX(std::int64_t Ticks);
    // Note boxes, lane bars, cursors: FloorToInt(Width16th x Ticks / 60).
    static int TickToFloorX(std::int64_t Ticks);
    static int XToTicks(int X);
    // XToTicks cut toward zero to a multiple of Step.
    static int XToSnappedTicks(int X, int Step);
    static int GridHeight();
    // The current part's whole beats in pixels; the grid's client width without a part.
    int PartWidthPixels() const;

    // Creation, show, activation, close.
    void FormCreate();
    void FormShow();
    void FormActivate();
    void FormDeactivate();
    void FormClose(platform::TCloseAction& Action);
    void FormResize();
    platform::LRESULT WndProc(platform::UINT Msg, platform::WPARAM W, platform::LPARAM L) override;

    void BuildScrollStrips();
    void ApplyLook();
    void ScrollToFirstNote();
    void UndoAllEditing();
    void EnableControls();
    void UpdatePartButtons();
    void UpdateMuteButton();
    // Grid, lane and event list.
    void RepaintViews();
    void RefreshEventList();
    void WriteSettings();

    // Scrolling and zoom.
    void ScrollYControl(const std::string& Id, int Value);
    void ScrollXControl(const std::string& Id, int Value);
    void UpdateHScrollRange();
    void UpdateVScrollRange();
    void WMMouseWheel(int Delta, platform::TPoint ScreenPos);
    // One auto-scroll step for the pane the drag is in (AutoScrollPane), and the timer's start.
    void AutoScrollStep();
    void StartAutoScroll(int Pane);
    void StopAutoScroll();

    // Show menu.
    void ShowMenuPopup();
    void ToggleLane();
    void ToggleEventList();
    void FitLane();

    // Track > Ch: 17 items bound to the arrange window's channel handler.
    void BuildChannelMenu();

    // Binds the editor to Part (nil: unbound): the bound part and its snapshot.
    void BindPart(_TPart* Part);

    // ---- Step input (keystep.cpp) ----
    // The mode buttons' clicks: 0 default, 1 insert, 2 step notes, 3 step controllers.
    void EnterMode(int Mode);
    // A note (step-notes mode) or a lane value (step-controllers mode) at the step cursor.
    void InsertStepNote();
    // The step value field's whole number, else Default.
    int StepValue(int Default) const;
    platform::TLabel* labelCtrlValue = nullptr;

    // ---- Event list (keylist.cpp) ----
    void BuildEventList();
    void PaintEventList(platform::TCanvas& C);
    void RepaintList();
    void ScrollListToSelection();
    void listMouseDown(platform::TMouseButton Button, platform::TShiftState Shift, int X, int Y);
    void listDblClick(int X, int Y);
    void SetListView(int View);
    // The list panel's width by the column strip's buttons ("less", "more", "all", "last")
    // and the column chooser.
    void ColumnsClick(const std::string& Id);
    void ColumnItemClick(int Section);
    void BuildColumnMenu();
    void InsertSysex();
    void EditSysex();
    // The five cells of the list's row of Event at song time Time.
    void ListRowTexts(const _TEvent* Event, int Time, std::string Cells[5]) const;
    // The event of list row Row, its song time in Time; nil past the last row.
    _TEvent* EventAtRow(int Row, int& Time) const;
    int PrevListWidth = 0;

    // ---- Edit bar and toolbar (keybars.cpp) ----
    void BindBars();
    void UpdateEditbar();
    void ApplyEditbarTime();
    void ApplyEditbarChannel();
    void ApplyEditbarNote();
    void ApplyEditbarLength();
    void SetTempoText(int Bpm, bool Clamp);
    void SetEditRes(int Res, const std::string& Caption);
    void BuildResMenu();
    void MovePart(bool Next);
    void MoveButtonClick(int DeltaTicks, int DeltaNotes);

    // ---- Commands (keycommands.cpp) ----
    void BindCommands();
    void PrepareMenus();
    void UndoLast();
    void DeleteSelected();
    void KeepSelected();
    void SelectSameField(int Field);
    void MuteSelectedNotes();
    void BuildOutputMenu();
    void CopyEvents();
    void PasteEvents();
    // Repaints after a change of the selection: notes, list and lane, the edit bar.
    void SelectionChanged();
    // The bound part is the current part, still where it was bound.
    bool BoundToCurrent();

private:
    void BuildPanes();
    void BuildToolbars();
    void BuildMenus();
    void ReadSettings();
    void PlaceWindow();

public:
    // ---- Note grid (keypaint.cpp, keymouse.cpp) ----
    void PaintGrid(platform::TCanvas& C);
    void PaintKeyboard(platform::TCanvas& C);
    void PaintRuler(platform::TCanvas& C);
    // The play cursor XOR-drawn at Position (drawn again it goes), the view following it while
    // the song runs, and unless GridOnly the song position's line across the event list.
    void MovePlayCursor(int Position, bool GridOnly);
    // The locator band XOR-drawn on the ruler.
    void DrawLocators();
    // MM_MIM_DATA passed on by the main window.
    void StepMidiInput(std::uint32_t Msg);
    // The grid's, the keyboard's and the ruler's mouse handlers are bound here (creation).
    void BindGridMouse();
    // A drag of the grid ends where it is, applying nothing (Esc, deactivation).
    void CancelDrag();
    // Ends Shift-painting, restarting playback over the painted notes.
    void EndPaintInsert();
    // The notes marked for redraw (All: every note), drawn on the grid at once with the play
    // cursor lifted around them.
    void DrawNotes(bool All);
    // The box of the note-on Event at Tick (from the part's start); False when it starts right
    // of Clip, the canvas's clip box (the walk stops there).
    bool PaintNote(platform::TCanvas& C, const _TEvent* Event, std::int64_t Tick,
                   const platform::TRect& Clip);
    // The selected notes into the shared drag picture (move and copy drags).
    void DrawSelectedNotesToBitmap();
    void HighlightKeyboardKey(bool Show, bool Force);
    // A key played on the MIDI input lit ($C0C0C0) or put back.
    void ShowMidiInKey(int Note, bool On);
    // Edit > Grid: ticks between grid lines, -1 the edit resolution's step.
    void SetGridSpacing(int Spacing);
    void keyMouseDown(platform::TMouseButton Button, platform::TShiftState Shift, int X, int Y);
    void keyMouseMove(platform::TShiftState Shift, int X, int Y);
    void keyMouseUp(platform::TMouseButton Button, platform::TShiftState Shift, int X, int Y);
    void meterMouseDown(platform::TMouseButton Button, platform::TShiftState Shift, int X, int Y);
    void meterMouseMove(platform::TShiftState Shift, int X, int Y);
    void meterMouseUp();
    // The ruler lost the mouse capture while a button was held in it.
    void meterCaptureLost();
    // Refused (message box) when a note would leave the part; True when the notes moved.
    bool MoveSelectedNotes(int DeltaTicks, int DeltaNotes, bool ScrollTo);
    bool CopySelectedNotes(int DeltaTicks, int DeltaNotes);
    void ChangeNoteLength(int Delta, bool SelectedOnly);
    // Scrolls the view so that the note-on at Tick with Length shows (only while stopped).
    void ScrollToEvent(int Tick, int Length);
    int PaintKey = 0;         // the key Shift-painting writes
    int HandX = 0, HandY = 0; // the pointer when hand scrolling last moved the view
    bool GridDrag = false;    // DragRect holds a drag of the grid

    // ---- Keys (keykeys.cpp) ----
    void FormKeyDown(platform::TObject* Sender, std::uint16_t& Key, platform::TShiftState Shift);
    void FormKeyUp(platform::TObject* Sender, std::uint16_t& Key, platform::TShiftState Shift);
    void SelectPreviousNote(bool Shift);
    void SelectNextNote(bool Shift);
    void TrackerNoteOn(int Note);
    void TrackerNoteOff(int Note);
    bool AnyTrackerKeyHeld() const;
    // Track > Mute and Solo lose their shortcuts M and S while the tracker keyboard is on.
    void SetTrackerKeyboard(bool On);
    // Events > Delete: only the selected events when the part has any selected.
    void DeleteKeyEvents();
    // XOR marks: drawn again they go.
    void DrawStepCursor(bool Scroll);
    void DrawLaneStepCursor(bool Scroll);
    void SelectAtStepCursor();
    void StepPreviewOn();
    void StepPreviewOff();
    // A keyboard-strip press sounds its key until the release.
    void KeyboardMouseDown(int Y);
    void KeyboardMouseUp();
    // The step cursor's rectangle in content coordinates (the lane's: y from 0 to its height).
    platform::TRect StepCursorRect() const;
    void DrawStepCursorOn(platform::TCanvas& C);
    void DrawLaneStepCursorOn(platform::TCanvas& C);
    // What the step preview and the strip's press sent, so that the release ends that note.
    std::uint32_t PreviewMsg = 0, KeyboardMsg = 0;
    int PreviewPort = 0, KeyboardPort = -1;

    // ---- Controller lane (keylane.cpp) ----
    void BuildLaneToolbar();
    void controlPaint(platform::TCanvas& C);
    void PaintVelocityLane(platform::TCanvas& C);
    void PaintLaneValues(platform::TCanvas& C);
    void PaintAweLane(platform::TCanvas& C);
    void PaintSysexLane(platform::TCanvas& C);
    void controlMouseDown(platform::TMouseButton Button, platform::TShiftState Shift, int X, int Y);
    void controlMouseMove(platform::TShiftState Shift, int X, int Y);
    void controlMouseUp(platform::TMouseButton Button, platform::TShiftState Shift, int X, int Y);
    void SetLaneCaption(const std::string& Short, const std::string& Long);
    // Kind and code by a lane code (-4 .. 127) or a sound-card parameter (Param >= 0).
    void SetLane(int Code, int Param = -1);
    void ChooseLane();
    void BuildQuickMenu();
    void QuickItemClick(int Tag);
    void PreparePopupControl();
    void ChangeLaneBy(int Delta); // sbVelUp / sbVelDown
    void editVelEnter();
    void RepaintLaneNow();
    std::string LaneLongName() const;
    // The lane's height in pixels (H).
    int LaneH() const;
    bool LaneDrag = false; // DragRect holds a line drag of the lane

private:
    void SetLaneValueFromPoint(int X, int Y);
    void StepMove(int Delta, bool WithNotes);
    void ShowStepControls();
    void DrawNotesOn(platform::TCanvas& C, bool All);
    void DrawPlayCursorOn(platform::TCanvas& C, int Position);
    void FollowPlayCursor(int X);
    void DrawListMark(int Position);
    void DrawBand(platform::TCanvas& C);
    void PaintKeyShape(platform::TCanvas& C, int Note, platform::TColor Colour, bool Restore);
    void RulerPress(int Button, platform::TShiftState Shift, int X);
    void InsertNoteAt(int Tick, int Note);
    bool FitsInPart(int DeltaTicks, const char* Text, const char* Caption);
    void BeginGridDrag(int Mode, int Kind, int X, int Y);
    // CopySelectedNotes, with the undo step "Undo copy" opened inside the guard (mouse copies).
    bool CopyNotes(int DeltaTicks, int DeltaNotes, bool RecordUndo);
};

extern TfmKey* fmKey;

// Seen by tests: runs while an inserted or painted note is linked, the renderer held.
extern std::function<void()> KeyInsertHeldHook;

// The arrange window's Ctrl+E for a MIDI or softsynth part: the key editor made on first use,
// scrolled to the part's first note and brought to the front.
void OpenKeyEditor();
// Closes the key editor when it exists (a new or opened song, shut-down).
void CloseKeyEditor();
// The seams through which the arrange window, the transport, the file menu and the song model
// reach the key editor; installed by the arrange window's creation.
void InstallKeyEditorSeams();
void RemoveKeyEditorSeams();
