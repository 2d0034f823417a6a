// The key editor's frame: panes, creation, binding to the current part, settings, menus,
// geometry, scrolling, zoom, the wheel and auto-scroll, "U&ndo all editing", the Show menu and
// the look. The note grid's painting and mouse live in keypaint.cpp and keymouse.cpp.
#include "editors/midi/key.h"

#include "app/arrange.h"
#include "app/arrangetransport.h"
#include "app/editcommands.h"
#include "app/editorstrips.h"
#include "app/filemenu.h"
#include "app/main.h"
#include "app/transport.h"
#include "app/transportbar.h"
#include "devices/midi.h"
#include "devices/midimsg.h"
#include "gui/dragrect.h"
#include "gui/hemibtn.h"
#include "gui/mscroll.h"
#include "gui/scroll.h"
#include "gui/splitterex2.h"
#include "platform/core/ini.h"
#include "platform/forms/application.h"
#include "platform/forms/buttons.h"
#include "platform/forms/edit.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/header.h"
#include "platform/forms/label.h"
#include "platform/menus/menus.h"
#include "platform/window/input.h"
#include "platform/window/window.h"
#include "song/primitives.h"
#include "song/seams.h"
#include "song/softengine.h"
#include "song/song.h"
#include "song/textconv.h"
#include "song/timebase.h"
#include "song/trackout.h"
#include "song/undo.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <typeinfo>

using namespace platform;

TfmKey* fmKey = nullptr;

TKeyEditorSeams& KeyEditorSeams() {
    static TKeyEditorSeams seams;
    return seams;
}

namespace {

constexpr int kNoteHeightMin = 4, kNoteHeightMax = 40;
constexpr int kWidth16thMin = 4, kWidth16thMax = 500;
constexpr int kLaneHeight = 82, kListWidth = 200;
constexpr int kStripSize = 16, kRulerHeight = 20, kKeyboardWidth = 56;
constexpr const char* kListFontName = "Arial";
constexpr int kListFontSize = 8;

int SaturateInt(std::int64_t V) {
    return int(std::clamp<std::int64_t>(V, INT_MIN, INT_MAX));
}

TSpeedButton* MakeButton(TComponent* Owner, TWinControl* Parent, int& X, int W,
                         const std::string& Caption, const std::string& Hint) {
    auto* b = new TSpeedButton(Owner);
    b->Parent = Parent;
    b->SetBounds(X, 3, W, 21);
    b->Caption = Caption;
    b->Hint = Hint;
    b->Flat = true;
    X += W + 2;
    return b;
}

TEdit* MakeField(TComponent* Owner, TWinControl* Parent, int& X, int W) {
    auto* e = new TEdit(Owner);
    e->Parent = Parent;
    e->SetBounds(X, 3, W, 21);
    X += W + 2;
    return e;
}

TMenuItem* AddItem(TMenuItem* Parent, const std::string& Caption, TShortCut Key = 0,
                   std::function<void(TMenuItem*)> Click = nullptr) {
    auto* i = new TMenuItem(Caption, std::move(Click));
    i->ShortCut = Key;
    Parent->Add(i);
    return i;
}

int TrackModeOf(const _TPart* P) {
    const _TTrack* t = Song ? Song->TrackAt(P->Track) : nullptr;
    return t ? int(t->Mode) : tmMidi;
}

} // namespace

// ---- Geometry ----

int TfmKey::TickToX(std::int64_t Ticks) {
    // Exact: the product in 64 bits, then the quotient rounded half to even.
    const std::int64_t p = Ticks * Width16th * 4;
    std::int64_t q = p / 240, r = p % 240;
    if (r < 0) {
        r += 240;
        --q;
    }
    if (2 * r > 240 || (2 * r == 240 && (q & 1))) ++q;
    return SaturateInt(q);
}

int TfmKey::TickToFloorX(std::int64_t Ticks) {
    return FloorToInt(float(double(Ticks * Width16th) / 60.0));
}

int TfmKey::XToTicks(int X) {
    const float perPixel = 60.0f / float(std::max(1, Width16th));
    return FloorToInt(perPixel * float(X));
}

int TfmKey::XToSnappedTicks(int X, int Step) {
    const int t = XToTicks(X);
    if (Step <= 0) return t;
    return t - t % Step;
}

int TfmKey::GridHeight() {
    return NoteToKeyY(0) + NoteHeight;
}

int TfmKey::PartWidthPixels() const {
    const _TPart* p = Song ? Song->CurrentPart : nullptr;
    if (!p) return key ? key->GetClientWidth() : 0;
    return SaturateInt(std::int64_t(p->Length / TicksPerBeat) * 4 * Width16th);
}

// ---- Creation ----

TfmKey::TfmKey(TComponent* AOwner) : TForm(AOwner) {
    FormStyle = fsMDIChild;
    Visible = false;
    Caption = "Part edit";
    SetBounds(0, 0, 760, 540);
    Color = 0x1F1F1F;
    KeyPreview = true;
    BuildPanes();
    BuildToolbars();
    BuildMenus();
    BuildLaneToolbar();
    BindGridMouse();
    BuildEventList();
    BindBars();
    BindCommands();
    OnKeyDown = [this](TObject* S, std::uint16_t& Key, TShiftState Sh) { FormKeyDown(S, Key, Sh); };
    OnKeyUp = [this](TObject* S, std::uint16_t& Key, TShiftState Sh) { FormKeyUp(S, Key, Sh); };
    scrollTimer.Interval = 50;
    scrollTimer.Enabled = false;
    scrollTimer.OnTimer = [this] { AutoScrollStep(); };
    OnCreate = [this](TObject*) { FormCreate(); };
    OnShow = [this](TObject*) { FormShow(); };
    OnActivate = [this](TObject*) { FormActivate(); };
    OnDeactivate = [this](TObject*) { FormDeactivate(); };
    OnClose = [this](TObject*, TCloseAction& Action) { FormClose(Action); };
    OnResize = [this](TObject*) { FormResize(); };
    OnDestroy = [this](TObject*) {
        scrollTimer.Enabled = false;
        TEditCommandSeams& s = EditCommandSeams();
        s.KeyGrid = s.KeyLane = s.KeyEventList = nullptr;
        s.KeyGridCaption = nullptr;
        s.KeySolo = nullptr;
        TKeyEditorSeams& k = KeyEditorSeams();
        k.RepaintLane = k.ReselectStepCursor = k.RefreshEventList = k.RepaintList = nullptr;
        k.UpdateEditbar = k.BuildOutputMenu = k.BuildColumnMenu = nullptr;
        if (fmKey == this) fmKey = nullptr;
    };
}

TfmKey::~TfmKey() {
    scrollTimer.Enabled = false;
    if (fmKey == this) fmKey = nullptr;
    if (Snapshot) FreePart(Snapshot);
    Snapshot = nullptr;
    for (TPopupMenu* m : {PopupKey, PopupControl, Popupres, PopupQuick, PopupColumns})
        delete m;
    SetMenu(nullptr);
    delete MainMenu;
}

void TfmKey::BuildPanes() {
    Toolbar = MakeAlignedPanel(this, this, alTop, 27);
    Toolbar->Color = 0x303030;
    editbar = MakeAlignedPanel(this, this, alTop, 27);
    editbar->Color = 0x303030;

    panelList = MakeAlignedPanel(this, this, alLeft, kListWidth);
    panelList->Color = 0x1F1F1F;
    listTitles = new THeaderControl(this);
    listTitles->Parent = panelList;
    listTitles->Align = alTop;
    listTitles->Height = 20;
    for (const char* text : {"Time", "Ch", "Status", "Data-1", "Data-2"}) {
        THeaderSection* s = listTitles->AddSection();
        s->Text = text;
        s->Width = std::string_view(text) == "Time" ? 70 : 50;
    }
    guiColumns = new TMScroll(this);
    guiColumns->Parent = panelList;
    guiColumns->Align = alBottom;
    guiColumns->Height = kStripSize;
    HemisphereButton1 = new THemisphereButton(this);
    HemisphereButton1->Parent = panelList;
    HemisphereButton1->SetBounds(2, 2, 14, 14);
    HemisphereButton1->Hint = "Hide list";
    HemisphereButton1->OnClick = [this](TObject*) {
        // Only remembers the width; the Show menu brings the list back.
        ListWidth = panelList->Width;
        panelList->Width = 0;
        UpdateHScrollRange();
    };
    sbListVert = new TMScroll(this);
    sbListVert->Parent = panelList;
    sbListVert->Align = alRight;
    sbListVert->Width = kStripSize;
    panelList->OnResize = [this](TObject*) {
        for (TMScroll* m : {sbListVert, guiColumns})
            m->AlignControls();
    };
    list = new TScroll(this);
    list->Parent = panelList;
    list->Align = alClient;
    list->Color = 0x1F1F1F;
    list->EraseBkgnd = true;

    SplitterEx21 = new TSplitterEx2(this);
    SplitterEx21->Parent = this;
    SplitterEx21->Align = alLeft;
    SplitterEx21->Width = 3;
    SplitterEx21->Left = kListWidth + 1;
    SplitterEx21->Control = panelList;
    SplitterEx21->MinSize = 0;
    SplitterEx21->OnMoved = [this](TObject*) { UpdateHScrollRange(); };

    panelBottom = MakeAlignedPanel(this, this, alBottom, kLaneHeight);
    panelBottom->Color = 0x1F1F1F;
    guiScrollx = new TMScroll(this);
    guiScrollx->Parent = panelBottom;
    guiScrollx->Align = alBottom;
    guiScrollx->Height = kStripSize;
    PanelToolCC = MakeAlignedPanel(this, panelBottom, alTop, 22);
    PanelToolCC->Color = 0x303030;
    PanelHideCC = MakeAlignedPanel(this, PanelToolCC, alRight, 22);
    PanelHideCC->Color = 0x303030;
    panelLane = MakeAlignedPanel(this, panelBottom, alClient, 0);
    TPanel* laneLeft = MakeAlignedPanel(this, panelLane, alLeft, kKeyboardWidth);
    Panel4 = MakeAlignedPanel(this, laneLeft, alTop, 16);
    Panel4->Caption = "Velocity";
    panelValue = MakeAlignedPanel(this, laneLeft, alClient, 0);
    control = new TScroll(this);
    control->Parent = panelLane;
    control->Align = alClient;
    control->Color = 0x1F1F1F;
    control->EraseBkgnd = true;

    SplitterEx22 = new TSplitterEx2(this);
    SplitterEx22->Parent = this;
    SplitterEx22->Align = alBottom;
    SplitterEx22->Height = 3;
    SplitterEx22->Control = panelBottom;
    SplitterEx22->OnMoved = [this](TObject*) { FitLane(); };

    panelGrid = MakeAlignedPanel(this, this, alClient, 0);
    panelKeyboard = MakeAlignedPanel(this, panelGrid, alLeft, kKeyboardWidth);
    panelKeyboardTop = MakeAlignedPanel(this, panelKeyboard, alTop, kRulerHeight);
    panelKeyboardTop->Color = 0x303030;
    Keyboard = new TScroll(this);
    Keyboard->Parent = panelKeyboard;
    Keyboard->Align = alClient;
    Keyboard->Color = 0xFFFFFF;
    Keyboard->OnPaint = [this](TCanvas& C) { PaintKeyboard(C); };
    TPanel* right = MakeAlignedPanel(this, panelGrid, alClient, 0);
    panelMeter = MakeAlignedPanel(this, right, alTop, kRulerHeight);
    meter = new TScroll(this);
    meter->Parent = panelMeter;
    meter->Align = alClient;
    meter->Color = 0xC0C0C0;
    meter->EraseBkgnd = true;
    meter->OnPaint = [this](TCanvas& C) { PaintRuler(C); };
    panelKey = MakeAlignedPanel(this, right, alClient, 0);
    guiScrolly = new TMScroll(this);
    guiScrolly->Parent = panelKey;
    guiScrolly->Align = alRight;
    guiScrolly->Width = kStripSize;
    key = new TScroll(this);
    key->Parent = panelKey;
    key->Align = alClient;
    key->Color = 0x1F1F1F;
    key->OnPaint = [this](TCanvas& C) { PaintGrid(C); };
    panelKey->OnResize = [this](TObject*) {
        UpdateVScrollRange();
        if (guiScrolly) guiScrolly->AlignControls();
    };
}

void TfmKey::BuildToolbars() {
    int x = 4;
    sbDefault = MakeButton(this, Toolbar, x, 24, "D", "Default mode\rShortcut F2");
    sbInsert = MakeButton(this, Toolbar, x, 24, "I", "Insert mode\rShortcut F3");
    sbStep = MakeButton(this, Toolbar, x, 24, "S", "Step mode - notes\rShortcut F4");
    sbStepCtrl = MakeButton(this, Toolbar, x, 24, "C", "Step mode - controllers\rShortcut F5");
    for (TSpeedButton* b : {sbDefault, sbInsert, sbStep, sbStepCtrl})
        b->GroupIndex = 4;
    sbDefault->Down = true;
    x += 8;
    sbSnap = MakeButton(this, Toolbar, x, 40, "Snap", "Snap to editres on/off");
    sbSnap->GroupIndex = 5;
    sbSnap->AllowAllUp = true;
    sbSnap->Down = true;
    sbSolo = MakeButton(this, Toolbar, x, 40, "Solo", "[S] Track solo on/off");
    sbSolo->GroupIndex = 6;
    sbSolo->AllowAllUp = true;
    sbSolo->OnClick = [](TObject*) {
        if (fmMdi) fmMdi->ToggleSolo(false);
    };
    sbMute = MakeButton(this, Toolbar, x, 40, "Mute", "Mute on/off\rShortcut M");
    sbMute->GroupIndex = 7;
    sbMute->AllowAllUp = true;
    sbKeyb = MakeButton(this, Toolbar, x, 80, "Tracker keyb",
                        "Tracker keyboard on/off\rShortcut Ctrl + Shift + K");
    sbKeyb->GroupIndex = 8;
    sbKeyb->AllowAllUp = true;
    sbKeyb->OnClick = [this](TObject*) {
        TIniFile().WriteBool("Part edit", "MusicKeyboard", sbKeyb->Down);
        SetTrackerKeyboard(sbKeyb->Down);
    };
    x += 8;
    sbPrior = MakeButton(this, Toolbar, x, 24, "<", "Move to previous part");
    sbNext = MakeButton(this, Toolbar, x, 24, ">", "Move to next part");
    x += 8;
    panelBpm = MakeAlignedPanel(this, Toolbar, alNone, 0);
    panelBpm->SetBounds(x, 3, 112, 21);
    int bx = 0;
    editBpm = MakeField(this, panelBpm, bx, 36);
    editBpm->SetBounds(0, 0, 36, 21);
    editBpm->Text = "120";
    bx = 38;
    SpeedButton4 = MakeButton(this, panelBpm, bx, 18, "+", "");
    SpeedButton8 = MakeButton(this, panelBpm, bx, 18, "-", "");
    for (TSpeedButton* b : {SpeedButton4, SpeedButton8})
        b->Top = 0;
    auto* bpm = new TLabel(this);
    bpm->Parent = panelBpm;
    bpm->SetBounds(bx + 4, 4, 28, 14);
    bpm->Caption = "bpm";
    x += 118;
    panelRes = MakeAlignedPanel(this, Toolbar, alNone, 0);
    panelRes->SetBounds(x, 3, 40, 21);
    panelRes->BevelOuter = bvLowered;
    panelRes->Caption = "16";
    panelRes->Hint = "Edit resolution\rUsed by quantize, length, resize, move and copy\r"
                     "Shortcout Shift + 1-6";

    x = 4;
    sbMoveLeft1 = MakeButton(this, editbar, x, 22, "<", "Move left\rShortcut Ctrl + Left");
    sbMoveRight1 = MakeButton(this, editbar, x, 22, ">", "Move right\rShortcut Ctrl + Right");
    sbMoveUp12 = MakeButton(this, editbar, x, 22, "+12", "Up 12\rShortcut Ctrl + Shift + Up");
    sbMoveDown12 = MakeButton(this, editbar, x, 22, "-12", "Down 12\rShortcut Ctrl + Shift + Down");
    sbMoveUp1 = MakeButton(this, editbar, x, 22, "+1", "Up one\rShortcut Ctrl + Up");
    sbMoveDown1 = MakeButton(this, editbar, x, 22, "-1", "Down one\rShortcut Ctrl + Down");
    sbLengthLeft = MakeButton(this, editbar, x, 22, "|<", "Shorten note\rShortcut Alt + Left");
    sbLengthRight = MakeButton(this, editbar, x, 22, ">|", "Lengthen note\rShortcut Alt + Right");
    x += 8;
    auto field = [&](TPanel*& Panel, const char* Label, int Width) {
        Panel = MakeAlignedPanel(this, editbar, alNone, 0);
        auto* l = new TLabel(this);
        l->Parent = Panel;
        l->Caption = Label;
        l->SetBounds(2, 4, 34, 14);
        Panel->SetBounds(x, 3, 38 + Width, 21);
        x += 40 + Width;
        return Panel;
    };
    int fx = 38;
    field(panelTime, "Time", 110);
    editBars = MakeField(this, panelTime, fx, 40);
    editBeats = MakeField(this, panelTime, fx, 30);
    editTicks = MakeField(this, panelTime, fx, 36);
    fx = 38;
    field(panelCh, "Ch", 30);
    editCh = MakeField(this, panelCh, fx, 30);
    fx = 38;
    field(panelNote, "Note", 40);
    editNote = MakeField(this, panelNote, fx, 40);
    fx = 38;
    field(panelLength, "Length", 50);
    editLength = MakeField(this, panelLength, fx, 50);
    for (TEdit* e : {editBpm, editBars, editBeats, editTicks, editCh, editNote, editLength})
        e->Top = 0;

    // The lane's value panels (Part of the controller lane).
    panelVel = MakeAlignedPanel(this, panelValue, alTop, 22);
    int vx = 2;
    editVel = MakeField(this, panelVel, vx, 30);
    sbVelPlus = MakeButton(this, panelVel, vx, 10, "+", "");
    sbVelMinus = MakeButton(this, panelVel, vx, 10, "-", "");
    // Raised buttons with dark captions on the value panels' colour.
    for (TSpeedButton* b : {SpeedButton4, SpeedButton8, sbVelPlus, sbVelMinus}) {
        b->Flat = false;
        b->Font.Color = 0;
    }
    // The step value field, on the lane toolbar in the step modes.
    panelCtrlValue = MakeAlignedPanel(this, PanelToolCC, alNone, 0);
    panelCtrlValue->Visible = false;
    labelCtrlValue = new TLabel(this);
    labelCtrlValue->Parent = panelCtrlValue;
    labelCtrlValue->SetBounds(2, 3, 44, 14);
    labelCtrlValue->Caption = "Insert \u00BB";
    vx = 48;
    editCtrlValue = MakeField(this, panelCtrlValue, vx, 40);
    editCtrlValue->Top = 0;
}

void TfmKey::BuildMenus() {
    MainMenu = new TMainMenu();
    TMenuItem* root = MainMenu->Items;
    miEdit = AddItem(root, "&Edit", ShortCut('L', scCtrl));
    miEdit->GroupIndex = 2;
    miEdit->OnClick = [this](TMenuItem*) { miUndoAll->Enabled = Snapshot != nullptr; };
    miUndo = AddItem(miEdit, "&Undo", ShortCut('Z', scCtrl));
    miUndoAll = AddItem(miEdit, "U&ndo all editing", ShortCut('Z', scCtrl | scShift),
                        [this](TMenuItem*) { UndoAllEditing(); });
    miUndoAll->Enabled = false;
    AddItem(miEdit, "-");
    miSelectAllNotes = AddItem(miEdit, "Select &all notes", ShortCut('A', scCtrl));
    miSelectAllEvents = AddItem(miEdit, "Select all &events", ShortCut('A', scCtrl | scShift));
    miInvertSelection = AddItem(miEdit, "&Invert selection", ShortCut('I', scCtrl));
    miSelectSame = AddItem(miEdit, "&Select events with same...");
    for (const char* c : {"&Status", "&Note/cc", "&Velocity/value", "&MIDI ch"})
        AddItem(miSelectSame, c);
    AddItem(miEdit, "-");
    miCopy = AddItem(miEdit, "&Copy", ShortCut('C', scCtrl));
    miPaste = AddItem(miEdit, "&Paste at Song pos", ShortCut('V', scCtrl));
    AddItem(miEdit, "-");
    miGrid = AddItem(miEdit, "Grid");
    for (const char* c :
         {"64", "32", "16", "8", "4", "2", "64T", "32T", "16T", "8T", "4T", "2T", "Editres"})
        AddItem(miGrid, c);

    miTrack = AddItem(root, "&Track");
    miTrack->GroupIndex = 3;
    miTrackCh = AddItem(miTrack, "&Ch");
    miOutput = AddItem(miTrack, "&Output");
    miRename = AddItem(miTrack, "&Rename...");
    miTransposeInput = AddItem(miTrack, "&Transpose input...");
    miMute = AddItem(miTrack, "&Mute", ShortCut('M'));
    miSolo = AddItem(miTrack, "&Solo", ShortCut('S'), [](TMenuItem*) {
        if (fmMdi) fmMdi->ToggleSolo(false);
    });

    miPart = AddItem(root, "&Part");
    miPart->GroupIndex = 4;
    miCompose = AddItem(miPart, "&Compose");
    AddItem(miCompose, "&Notes...", ShortCut('1', scCtrl));
    AddItem(miCompose, "&Controllers...", ShortCut('2', scCtrl));
    AddItem(miCompose, "&AWE NRPN", ShortCut('3', scCtrl));
    miDelete = AddItem(miPart, "&Delete");
    for (const char* c : {"&AWE NRPN", "&Control change", "&Notes", "&Pith bend", "P&rogram change",
                          "&Double notes"})
        AddItem(miDelete, c);
    AddItem(miDelete, "Aftertouch")->Enabled = false;
    AddItem(miDelete, "&Sysex")->Enabled = false;
    AddItem(miPart, "-");
    miEcho = AddItem(miPart, "&Echo...");
    miGrooves = AddItem(miPart, "Grooves...", ShortCut('G', scShift));
    miLegato = AddItem(miPart, "&Legato");
    miLength = AddItem(miPart, "L&ength");
    miOverlap = AddItem(miPart, "Overlap");
    miQuantize = AddItem(miPart, "&Quantize", ShortCut('Q', scCtrl));
    miTranspose = AddItem(miPart, "&Transpose...", ShortCut('T', scCtrl));
    miVelocity = AddItem(miPart, "&Velocity...", ShortCut('V', scShift));

    miEvents = AddItem(root, "E&vents");
    miEvents->GroupIndex = 5;
    // Its shortcut takes Del before the key table sees it.
    miEventsDelete = AddItem(miEvents, "&Delete", ShortCut(VK_DELETE),
                             [this](TMenuItem*) { DeleteKeyEvents(); });
    miKeep = AddItem(miEvents, "&Keep");
    miDeleteSame = AddItem(miEvents, "Delete same as selected");
    miKeepSame = AddItem(miEvents, "Keep same as selected");
    miStretch = AddItem(miEvents, "&Stretch to end of Part", ShortCut(VK_END, scShift));
    miTimeScale = AddItem(miEvents, "Time scale...");
    miRotateLeft = AddItem(miEvents, "Rotate &left", ShortCut(VK_LEFT, scCtrl | scAlt));
    miRotateRight = AddItem(miEvents, "Rotate &right", ShortCut(VK_RIGHT, scCtrl | scAlt));
    miMuteNotes = AddItem(miEvents, "&Mute notes");
    AddItem(miEvents, "-");
    miInsertSysex = AddItem(miEvents, "&Insert sysex");
    miEditSysex = AddItem(miEvents, "Edit sysex");
    miViewAs = AddItem(miEvents, "&View events as...");
    miViewText = AddItem(miViewAs, "&Text");
    miViewNumber = AddItem(miViewAs, "&Number");
    AddItem(miEvents, "-");
    miStepPreview =
        AddItem(miEvents, "Step preview", 0, [](TMenuItem* I) { I->Checked = !I->Checked; });
    miStepPreview->Checked = true;

    ShowMenu = AddItem(root, "&Show");
    ShowMenu->GroupIndex = 6;
    ShowMenu->OnClick = [this](TMenuItem*) { ShowMenuPopup(); };
    miToolbar = AddItem(ShowMenu, "T&oolbar", 0,
                        [this](TMenuItem*) { Toolbar->Visible = !Toolbar->Visible; });
    miEditbar = AddItem(ShowMenu, "&Editbar", 0,
                        [this](TMenuItem*) { editbar->Visible = !editbar->Visible; });
    miControllers =
        AddItem(ShowMenu, "&Controllers", ShortCut(VK_F10), [this](TMenuItem*) { ToggleLane(); });
    miListOfEvents = AddItem(ShowMenu, "&List of events", ShortCut(VK_F9),
                             [this](TMenuItem*) { ToggleEventList(); });
    miMidiFaders = AddItem(ShowMenu, "&MIDI faders", 0, [](TMenuItem*) {
        if (KeyEditorSeams().ToggleMidiFaders) KeyEditorSeams().ToggleMidiFaders();
    });
    miTransporter = AddItem(ShowMenu, "&Transporter", ShortCut(VK_F12), [](TMenuItem*) {
        if (fmMdi && fmMdi->panelTransporter)
            fmMdi->panelTransporter->Visible = !fmMdi->panelTransporter->Visible;
    });
    miCustomize = AddItem(ShowMenu, "&Customize", 0, [](TMenuItem*) {
        if (KeyEditorSeams().ShowCustomize) KeyEditorSeams().ShowCustomize();
    });

    PopupKey = new TPopupMenu();
    PopupControl = new TPopupMenu();
    Popupres = new TPopupMenu();
    PopupQuick = new TPopupMenu();
    PopupColumns = new TPopupMenu();
}

void TfmKey::BuildChannelMenu() {
    miTrackCh->Clear();
    for (int i = 0; i <= 16; ++i) {
        auto* it = new TMenuItem(i < 16 ? std::to_string(i + 1) : std::string("Off"));
        it->Tag = i < 16 ? i : -1;
        if (i == 8 || i == 16) it->Break = mbBarBreak;
        it->OnClick = [](TMenuItem* I) {
            if (ArrangeSeams().ChannelItemClick) ArrangeSeams().ChannelItemClick(I);
        };
        miTrackCh->Add(it);
    }
}

void TfmKey::BuildScrollStrips() {
    const TEditorStrips strips = BuildEditorStrips(guiScrolly, guiScrollx, guiColumns, Handle());
    ScrollY = strips.ScrollY;
    ScrollY->LineStep = NoteHeight;
    ScrollY->PageStep = 8 * NoteHeight;
    guiScrolly->OnControl = [this](TObject*, const std::string& Id, int V, const std::string&) {
        ScrollYControl(Id, V);
    };
    // The event list's bar (its range comes with the list).
    sbListVert->Clear();
    auto* listBar = new TGuiScrollbar(sbListVert);
    listBar->Id = "listvert";
    listBar->Vertical = true;
    listBar->Align = alClient;
    listBar->Max = 0;
    sbListVert->Add(listBar);
    sbListVert->AlignControls();
    ScrollX = strips.ScrollX;
    ScrollX->LineStep = Width16th;
    ScrollX->PageStep = 4 * Width16th;
    ScrollX->PageSize = std::max(1, key->GetClientWidth());
    guiScrollx->OnControl = [this](TObject*, const std::string& Id, int V, const std::string&) {
        ScrollXControl(Id, V);
    };
}

void TfmKey::FormCreate() {
    fmKey = this;
    TKeyEditorSeams& k = KeyEditorSeams();
    k.RefreshEventList = [this] { RefreshEventList(); };
    k.RepaintList = [this] { RepaintList(); };
    k.UpdateEditbar = [this] { UpdateEditbar(); };
    k.BuildOutputMenu = [this] { BuildOutputMenu(); };
    k.BuildColumnMenu = [this] { BuildColumnMenu(); };
    BuildScrollStrips(); // 1
    SplitterEx22->MinSize = guiScrollx->Height;
    // 2: the fields start as declared; the value panel lines up with the lane.
    panelValue->Height = panelLane->Height;
    ReadSettings(); // 3
    SetTrackerKeyboard(sbKeyb->Down);
    FitLane();
    // 4
    if (KeyEditorSeams().BuildOutputMenu) KeyEditorSeams().BuildOutputMenu();
    if (KeyEditorSeams().BuildColumnMenu) KeyEditorSeams().BuildColumnMenu();
    BuildChannelMenu();
    ApplyLook(); // 5
    SetMenu(MainMenu);
    // The shared edit commands repaint the views and show the grid and the solo here.
    TEditCommandSeams& s = EditCommandSeams();
    s.KeyGrid = [this] { key->Invalidate(); };
    s.KeyLane = [this] {
        control->Invalidate();
        if (KeyEditorSeams().RepaintLane) KeyEditorSeams().RepaintLane();
    };
    s.KeyEventList = [this] { RefreshEventList(); };
    s.KeyGridCaption = [this](const std::string& Caption) {
        panelRes->Caption = Caption;
        // The grid drawn at the edit resolution's step follows it.
        if (GridSpacing == -1 && key) key->Invalidate();
    };
    s.KeySolo = [this](bool Down) { sbSolo->Down = Down; };
    KeyEditorSeams().RepaintLane = [this] { control->Invalidate(); };
    KeyEditorSeams().ReselectStepCursor = [this] {
        if (EditMode == 2) SelectAtStepCursor();
    };
}

void TfmKey::ReadSettings() {
    TIniFile ini;
    for (int i = 0; i < listTitles->SectionCount(); ++i)
        listTitles->Sections(i)->Width = ini.ReadInteger("Partedit", "Col" + std::to_string(i), 40);
    panelList->Width = std::max(0, ini.ReadInteger("Partedit", "Splitter", kListWidth));
    PlaceWindow();
    panelBottom->Height =
        std::max<int>(guiScrollx->Height, ini.ReadInteger("Control", "Height", kLaneHeight));
    // Values outside the zoom ranges (a damaged file) are brought into them.
    NoteHeight = std::clamp(ini.ReadInteger("Part edit", "NoteHeight", NoteHeight), kNoteHeightMin,
                            kNoteHeightMax);
    Width16th = std::clamp(ini.ReadInteger("Part edit", "Width16th", Width16th), kWidth16thMin,
                           kWidth16thMax);
    if (ScrollY) {
        ScrollY->LineStep = NoteHeight;
        ScrollY->PageStep = 8 * NoteHeight;
    }
    if (ScrollX) {
        ScrollX->LineStep = Width16th;
        ScrollX->PageStep = 4 * Width16th;
    }
    GridSpacing = ini.ReadInteger("Part edit", "Grid", 60);
    list->Font.Name = ini.ReadString("Part edit", "ListFontName", kListFontName);
    list->Font.SetSize(ini.ReadInteger("Part edit", "ListFontSize", kListFontSize));
    list->Font.Style = IntToFontStyles(ini.ReadInteger("Part edit", "ListFontStyle", 0));
    list->Font.Color = ReadIniColor(ini, "Part edit", "ListFontColor", 0xC0C0C0);
    sbKeyb->Down = ini.ReadBool("Part edit", "MusicKeyboard", false);
    miStepPreview->Checked = ini.ReadBool("Part edit", "StepPreviw", true);
    GridShowOctaves = ini.ReadBool("Part edit", "GridShowOctaves", true);
    GridShowFlats = ini.ReadBool("Part edit", "GridShowFlats", false);
}

void TfmKey::PlaceWindow() {
    TIniFile ini;
    if (ini.ReadBool("Partedit", "Maximized", true)) {
        WindowState = wsMaximized;
        return;
    }
    // The size the window has before the stored one is what the position is checked against.
    const int w = Width, h = Height;
    int left = ini.ReadInteger("Partedit", "Left", Left);
    if (left >= w) left = 0;
    int top = ini.ReadInteger("Partedit", "Top", Top);
    if (top > h) top = 0;
    SetBounds(left, top, ini.ReadInteger("Partedit", "Width", w),
              ini.ReadInteger("Partedit", "Height", h));
}

void TfmKey::WriteSettings() {
    TIniFile ini;
    for (int i = 0; i < listTitles->SectionCount(); ++i)
        ini.WriteInteger("Partedit", "Col" + std::to_string(i), listTitles->Sections(i)->Width);
    ini.WriteInteger("Partedit", "Splitter", panelList->Width);
    ini.WriteBool("Partedit", "Maximized", WindowState == wsMaximized);
    if (WindowState == wsNormal) {
        ini.WriteInteger("Partedit", "Left", Left);
        ini.WriteInteger("Partedit", "Top", Top);
        ini.WriteInteger("Partedit", "Width", Width);
        ini.WriteInteger("Partedit", "Height", Height);
    }
    ini.WriteInteger("Control", "Height", panelBottom->Height);
    ini.WriteInteger("Part edit", "Grid", GridSpacing);
    ini.WriteBool("Part edit", "StepPreviw", miStepPreview->Checked);
}

void TfmKey::FormShow() {
    if (FormStyle != fsMDIChild) FormStyle = fsMDIChild;
    if (Midi) editBpm->Text = std::to_string(Midi->GetTempo());
    sbSolo->Down = Song && Song->SoloTrack != -1;
    if (fmArrange) panelRes->Caption = fmArrange->panelRes->Caption;
}

// The current part is the bound one when it stands where the snapshot was taken. The song's
// undo puts back a copy of a part (a new object at the same track and start, the old one
// freed): that copy is taken as the bound part and the snapshot is kept.
bool TfmKey::BoundToCurrent() {
    _TPart* p = Song ? Song->CurrentPart : nullptr;
    if (!p || !Snapshot || p->Track != Snapshot->Track || p->Start != Snapshot->Start) return false;
    BoundPart = p;
    return true;
}

void TfmKey::BindPart(_TPart* Part) {
    if (Snapshot) FreePart(Snapshot);
    Snapshot = Part ? CopyPart(Part) : nullptr;
    BoundPart = Part;
    miUndoAll->Enabled = Snapshot != nullptr;
}

void TfmKey::FormActivate() {
    if (fmMdi) fmMdi->WindStep = 1; // 1
    _TPart* part = Song ? Song->CurrentPart : nullptr;
    if (part) {
        const int mode = TrackModeOf(part);
        if (mode != tmMidi && mode != tmSoftsynth) { // 2
            Close();
            if (fmArrange) fmArrange->OpenPartEditor();
            return;
        }
        Caption = part->Name; // 3
        // A part moved since it was bound is bound afresh: its snapshot would go back to the old
        // place.
        if (!BoundToCurrent()) {
            BindPart(part);
            UnselectEvents(part);
        }
        if (part->Track != Song->CurrentTrackIndex && Song->State != 1) {
            const int old = Song->CurrentTrackIndex;
            Song->CurrentTrackIndex = part->Track;
            if (fmArrange) {
                fmArrange->InvalidateTrackRow(old);
                fmArrange->InvalidateTrackRow(part->Track);
                fmArrange->RefreshTrackbar();
                fmArrange->SendThru();
            } else if (Midi) {
                const _TTrack* t = Song->CurrentTrack();
                Midi->SetTranspose(t ? int(t->Transpose) : 0);
            }
            if (Song->SoloTrack != -1 && fmMdi) fmMdi->ToggleSolo(true);
        }
    } else {
        Caption = "Part edit"; // 4
        EnterMode(0);
        BindPart(nullptr);
    }
    EnableControls(); // 5
    UpdatePartButtons();
    UpdateMuteButton();
    ActiveControl = nullptr;
}

void TfmKey::FormDeactivate() {
    CancelDrag();
}

void TfmKey::FormClose(TCloseAction& Action) {
    StopAutoScroll();
    TrackerKeys.ReleaseAll();
    WriteSettings();
    for (TEdit* e : {editBars, editBeats, editTicks})
        e->TabStop = false;
    Action = caFree;
}

void TfmKey::FormResize() {
    meter->Invalidate();
    key->Invalidate();
    control->Invalidate();
    UpdateHScrollRange();
    for (TMScroll* s : {guiScrolly, guiScrollx, guiColumns})
        if (s) s->AlignControls();
}

LRESULT TfmKey::WndProc(UINT Msg, WPARAM W, LPARAM L) {
    if (Msg == WM_MOUSEWHEEL) {
        TPoint p{};
        GetCursorPos(&p);
        WMMouseWheel(GET_WHEEL_DELTA_WPARAM(W), p);
        return 0;
    }
    if (Msg == MM_MIM_DATA) {
        StepMidiInput(std::uint32_t(L));
        return 0;
    }
    return TForm::WndProc(Msg, W, L);
}

void TfmKey::EnableControls() {
    const bool has = Song && Song->CurrentPart;
    bool changed = false;
    for (TControl* c : std::initializer_list<TControl*>{
             sbMoveLeft1,  sbMoveRight1,  sbMoveUp12, sbMoveDown12,  sbMoveUp1, sbMoveDown1,
             sbLengthLeft, sbLengthRight, editVel,    editCtrlValue, editNote,  editLength,
             editCh,       editBars,      editBeats,  editTicks,     sbVelPlus, sbVelMinus,
             sbDefault,    sbInsert,      sbStep,     sbStepCtrl}) {
        changed |= c->Enabled != has;
        c->Enabled = has;
    }
    if (changed) {
        key->Invalidate();
        control->Invalidate();
    }
}

void TfmKey::UpdatePartButtons() {
    const _TPart* p = Song ? Song->CurrentPart : nullptr;
    const _TTrack* t = p ? Song->TrackAt(p->Track) : nullptr;
    sbPrior->Enabled = t && t->Parts && t->Parts->Start < p->Start;
    sbNext->Enabled = p && p->Next;
}

void TfmKey::UpdateMuteButton() {
    const _TPart* p = Song ? Song->CurrentPart : nullptr;
    const _TTrack* t = p ? Song->TrackAt(p->Track) : nullptr;
    sbMute->Down = t && p->Track == Song->CurrentTrackIndex && t->Mute;
}

void TfmKey::RepaintViews() {
    key->Invalidate();
    control->Invalidate();
    if (KeyEditorSeams().RepaintLane) KeyEditorSeams().RepaintLane();
    RefreshEventList();
}

void TfmKey::ScrollToFirstNote() {
    const _TPart* p = Song ? Song->CurrentPart : nullptr;
    if (p && p->Events && ScrollY) {
        for (const _TEvent* e = p->Events; e; e = e->Next) {
            if (!IsNoteOn(e->Msg)) continue;
            const int row = NoteToKeyY(int(MidiData1(e->Msg)));
            const int h = key->GetClientHeight();
            if (row > h / 2) {
                ScrollY->SetPosition(row - h + h / 2);
                ScrollY->Changed();
            }
            break;
        }
    }
    UpdateHScrollRange();
}

void TfmKey::UndoAllEditing() {
    if (!Snapshot || !Song) return;
    // The current part is not where the snapshot was taken (moved, or another part): the copy
    // would land at the old place, so the editor is bound to what is current instead. A part
    // put back by an undo in its place is the bound part's successor and is undone as usual.
    if (!BoundToCurrent()) {
        BindPart(Song->CurrentPart);
        return;
    }
    const int track = Snapshot->Track, start = Snapshot->Start;
    {
        TEditGuard guard;
        if (!guard) return;
        // The undo takes the snapshot over (it goes into the song, or is freed when it no
        // longer fits); the part now there is freed with it.
        _TPart* snap = Snapshot;
        Snapshot = nullptr;
        BoundPart = nullptr;
        Song->UndoStore->Begin(ukEdit, "Undo");
        Song->UndoStore->AddPart(snap);
        Song->Undo();
        _TPart* p = PartAtTick(Song->TrackAt(track), start);
        if (p && p->Start != start) p = nullptr;
        Song->SetCurrentPart(p);
        BindPart(p);
        // On a softsynth track the output names a softsynth, not a port.
        SendToTrack(Song->TrackAt(track),
                    PackMidiMsg(0xB0 + (Song->TrackChannel(track) & 15), 123, 0));
    }
    if (!Song->CurrentPart) {
        Caption = "Part edit";
        EnableControls();
    }
    RefreshEventList();
    key->Invalidate();
    if (KeyEditorSeams().ReselectStepCursor) KeyEditorSeams().ReselectStepCursor();
    control->Invalidate();
    if (KeyEditorSeams().RepaintLane) KeyEditorSeams().RepaintLane();
    if (fmArrange) fmArrange->RedrawParts(false);
}

// ---- Show menu ----

void TfmKey::ShowMenuPopup() {
    miToolbar->Checked = Toolbar->Visible;
    miEditbar->Checked = editbar->Visible;
    miControllers->Checked = PanelToolCC->Visible;
    miListOfEvents->Checked = panelList->Width >= 1;
    miTransporter->Checked = fmMdi && fmMdi->panelTransporter && fmMdi->panelTransporter->Visible;
}

void TfmKey::FitLane() {
    const bool fits = guiScrollx->Height + PanelToolCC->Height < panelBottom->Height;
    PanelToolCC->Visible = fits;
    panelLane->Visible = fits;
}

void TfmKey::ToggleLane() {
    if (PanelToolCC->Visible) {
        LaneHeight = panelBottom->Height;
        panelBottom->Height = guiScrollx->Height;
    } else {
        panelBottom->Height = LaneHeight > 0 ? LaneHeight : kLaneHeight;
    }
    FitLane();
}

void TfmKey::ToggleEventList() {
    if (panelList->Width > 0) {
        ListWidth = panelList->Width;
        panelList->Width = 0;
    } else {
        panelList->Width = ListWidth > 0 ? ListWidth : kListWidth;
    }
    UpdateHScrollRange();
}

// ---- Look ----

void TfmKey::ApplyLook() {
    if (!fmMdi) return;
    Font.Name = fmMdi->FontName;
    Font.SetSize(fmMdi->FontSize);
    Font.Style = fmMdi->FontStyle;
    Font.Color = fmMdi->FontColor;
    for (TControl* c :
         std::initializer_list<TControl*>{Toolbar, editbar, panelKeyboardTop, SplitterEx21,
                                          SplitterEx22, PanelToolCC, PanelHideCC})
        c->Color = fmMdi->FontBkColor;
    for (TControl* c : std::initializer_list<TControl*>{
             Panel4, panelValue, panelVel, editVel, panelCtrlValue, editCtrlValue, panelTime,
             editBars, editBeats, editTicks, panelCh, editCh, panelNote, editNote, panelLength,
             editLength, panelBpm, editBpm, panelRes}) {
        c->Color = fmMdi->ControlBkColor;
        c->Font.Color = fmMdi->ControlTextColor;
    }
    meter->Color = fmMdi->LoopBkColor;
    if (Visible) {
        key->Invalidate();
        list->Invalidate();
        control->Invalidate();
        meter->Invalidate();
    }
}

// ---- Scrolling and zoom ----

void TfmKey::UpdateHScrollRange() {
    if (!ScrollX) return;
    const int w = key->GetClientWidth();
    ScrollX->PageSize = std::max(1, w);
    ScrollX->Max = std::max(PartWidthPixels() + 100 - w, 0);
    if (ScrollX->Position > ScrollX->Max) {
        ScrollX->SetPosition(ScrollX->Max);
        ScrollX->Changed();
    }
    ScrollX->Redraw();
}

void TfmKey::UpdateVScrollRange() {
    if (!ScrollY) return;
    const int h = key->GetClientHeight();
    if (GridHeight() - h > 0) {
        ScrollY->PageSize = std::max(1, h);
        ScrollY->Max = GridHeight() - h;
    } else {
        ScrollY->Max = 0;
    }
    if (ScrollY->Position > ScrollY->Max) {
        ScrollY->SetPosition(ScrollY->Max);
        ScrollY->Changed();
    }
    ScrollY->Redraw();
}

void TfmKey::ScrollYControl(const std::string& Id, int Value) {
    if (Id == "scrolly") {
        if (Value < 0) return;
        key->SetOffsetY(-Value);
        Keyboard->SetOffsetY(-Value);
        return;
    }
    if (Id == "zoomVertIn" && NoteHeight < kNoteHeightMax) {
        ++NoteHeight;
    } else if (Id == "zoomVertOut" && NoteHeight > kNoteHeightMin) {
        --NoteHeight;
    } else if (Id != "zoomVertIn" && Id != "zoomVertOut") {
        return;
    }
    NoteHeight = std::clamp(NoteHeight, kNoteHeightMin, kNoteHeightMax);
    ScrollY->LineStep = NoteHeight;
    ScrollY->PageStep = 8 * NoteHeight;
    UpdateVScrollRange();
    key->Invalidate();
    Keyboard->Invalidate();
    TIniFile().WriteInteger("Part edit", "NoteHeight", NoteHeight);
}

void TfmKey::ScrollXControl(const std::string& Id, int Value) {
    if (Id == "scrollx") {
        if (Value == -1) {
            Busy = 1;
        } else if (Value == -2) {
            Busy = 0;
        } else {
            key->SetOffsetX(-Value);
            meter->SetOffsetX(-Value);
            control->SetOffsetX(-Value);
        }
        return;
    }
    TIniFile ini;
    if (Id == "zoomHorzIn" || Id == "zoomHorzOut") {
        if (Id == "zoomHorzIn" && Width16th < kWidth16thMax) Width16th += 2;
        if (Id == "zoomHorzOut" && Width16th >= 5) Width16th -= 2;
        // Steps of two from an odd width would leave the range.
        Width16th = std::clamp(Width16th, kWidth16thMin, kWidth16thMax);
        ini.WriteInteger("Part edit", "Width16th", Width16th);
    } else if (Id == "zoomOff") {
        NoteHeight = 7;
        Width16th = 16;
        ScrollY->LineStep = NoteHeight;
        ScrollY->PageStep = 8 * NoteHeight;
        UpdateVScrollRange();
        Keyboard->Invalidate();
        ini.WriteInteger("Part edit", "NoteHeight", NoteHeight);
        ini.WriteInteger("Part edit", "Width16th", Width16th);
    } else {
        return;
    }
    ScrollX->LineStep = Width16th;
    ScrollX->PageStep = 4 * Width16th;
    key->Invalidate();
    meter->Invalidate();
    control->Invalidate();
    UpdateHScrollRange();
}

void TfmKey::WMMouseWheel(int Delta, TPoint P) {
    if (!ScrollX || !ScrollY) return;
    TRect r{};
    GetWindowRect(key->Handle(), &r);
    const int n = Round(double(std::int16_t(Delta)) / 120.0);
    if (std::abs(r.Bottom - P.Y) < std::abs(r.Right - P.X)) {
        ScrollX->SetPosition(ScrollX->Position - n * Width16th);
        ScrollX->Changed();
    } else {
        ScrollY->SetPosition(ScrollY->Position - n * NoteHeight);
        ScrollY->Changed();
    }
}

void TfmKey::StartAutoScroll(int Pane) {
    AutoScrollPane = std::uint8_t(Pane);
    if (scrollTimer.Enabled) return;
    AutoScrollStep();
    scrollTimer.Enabled = true;
}

void TfmKey::StopAutoScroll() {
    scrollTimer.Enabled = false;
}

void TfmKey::AutoScrollStep() {
    if (!ScrollX || !ScrollY) return;
    TScroll* pane = AutoScrollPane == 0 ? key : control;
    TPoint p{};
    GetCursorPos(&p);
    if (AutoScrollPane != 0 && RulerButton != 2) pane = meter;
    p = pane->ScreenToClient(p);
    const int w = pane->GetClientWidth(), h = pane->GetClientHeight();
    bool moved = false;
    auto scroll = [&](TGuiScrollbar* Bar, int Delta) {
        Bar->SetPosition(Bar->Position + Delta);
        Bar->Changed();
        moved = true;
    };
    if (AutoScrollPane == 0) {
        if (p.X > w)
            scroll(ScrollX, w / 6);
        else if (p.X < 0)
            scroll(ScrollX, -(w / 6));
        if (p.Y > h)
            scroll(ScrollY, 3 * NoteHeight);
        else if (p.Y < 0)
            scroll(ScrollY, -3 * NoteHeight);
        if (moved && GridDrag && DragRect && DragRect->Mode != 0) {
            TCanvas& c = key->Canvas();
            key->ApplyOrigin();
            DragRect->DragTo(c, p.X - key->OffsetX, p.Y - key->OffsetY);
        }
    } else {
        if (p.X > w)
            scroll(ScrollX, 2 * Width16th);
        else if (p.X < 0)
            scroll(ScrollX, -2 * Width16th);
    }
    if (p.X >= 0 && p.X <= w && (AutoScrollPane != 0 || (p.Y >= 0 && p.Y <= h))) StopAutoScroll();
}

// ---- Opening, closing, seams ----

void OpenKeyEditor() {
    // Shown first: only the visible, maximized window has the height the first note is
    // centred in.
    if (!fmKey) Application->CreateForm(fmKey);
    fmKey->Show();
    fmKey->ScrollToFirstNote();
}

void CloseKeyEditor() {
    if (fmKey) fmKey->Close();
}

namespace {

class TKeyMidiEditors : public TMidiEditorsSeam {
public:
    void InvalidateViews() override {
        if (fmKey) fmKey->RepaintViews();
    }
    void UpdateEventListScroll() override {
        if (fmKey) fmKey->ScrollListToSelection();
    }
};
TKeyMidiEditors g_midiEditors;

} // namespace

void InstallKeyEditorSeams() {
    if (typeid(MidiEditors()) == typeid(TMidiEditorsSeam)) SetMidiEditors(&g_midiEditors);
    // Beats per bar changed: the editors' rulers.
    if (!MdiHooks().RepaintRulers)
        MdiHooks().RepaintRulers = [] {
            if (fmKey) fmKey->meter->Invalidate();
        };
}

void RemoveKeyEditorSeams() {
    if (&MidiEditors() == &g_midiEditors) SetMidiEditors(nullptr);
}
