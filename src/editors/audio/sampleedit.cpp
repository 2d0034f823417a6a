// The sample-part editor's frame: panes, tool bars, menus, creation with its settings,
// activation, closing, geometry, the scroll and zoom strips, the column strip, the wheel, the
// tempo box, the output-slot panel, the pane toggles, the look and the seams that let the other
// windows reach it. The grid's painting, mouse and keys live in sampleedit_*.cpp.
#include "editors/audio/sampleedit.h"

#include "app/arrange.h"
#include "app/editcommands.h"
#include "app/editorstrips.h"
#include "app/filemenu.h"
#include "app/main.h"
#include "app/options.h"
#include "app/transportbar.h"
#include "devices/audio.h"
#include "devices/dxsounds.h"
#include "devices/midi.h"
#include "devices/ui/audiosetup.h"
#include "gui/dragrect.h"
#include "gui/hemibtn.h"
#include "gui/mscroll.h"
#include "gui/scroll.h"
#include "gui/skinbind.h"
#include "gui/splitterex2.h"
#include "platform/core/ini.h"
#include "platform/core/paths.h"
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
#include "song/song.h"
#include "song/textconv.h"
#include "song/timebase.h"
#include "song/undo.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <filesystem>

using namespace platform;

TfmAudio* fmAudio = nullptr;

namespace {

// The zoom steps of two reach one past the limits from an odd value; stored values are kept
// there so that a damaged file divides by nothing.
constexpr int kSampleHeightMin = 9, kSampleHeightMax = 101;
constexpr int kWidthMin = 3, kWidthMax = 51;
constexpr int kStripSize = 16, kRulerHeight = 15, kLaneHeight = 82, kBrowserWidth = 132,
              kSplit = 180;

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

TMenuItem* AddItem(TMenuItem* Parent, const std::string& Caption, TShortCut Key = 0,
                   std::function<void(TMenuItem*)> Click = nullptr) {
    auto* i = new TMenuItem(Caption, std::move(Click));
    i->ShortCut = Key;
    Parent->Add(i);
    return i;
}

TLabel* MakeLabel(TComponent* Owner, TWinControl* Parent, int X, const std::string& Caption) {
    auto* l = new TLabel(Owner);
    l->Parent = Parent;
    l->SetBounds(X, 7, 6 * int(Caption.size()) + 4, 14);
    l->Caption = Caption;
    return l;
}

// Digits and backspace only; Enter runs OnEnter.
void DigitsOnly(TEdit* E, std::function<void()> OnEnter) {
    E->OnKeyPress = [OnEnter = std::move(OnEnter)](TObject*, char32_t& Key) {
        if (Key == U'\r') {
            Key = 0;
            OnEnter();
        } else if (!(Key >= U'0' && Key <= U'9') && Key != U'\b') {
            Key = 0;
        }
    };
}

void Call(const std::function<void()>& F) {
    if (F) F();
}

} // namespace

// ---- Geometry ----

int TfmAudio::TickToX(std::int64_t Ticks) {
    return FloorToInt(float(double(std::int64_t(AudioWidth16th) * Ticks * 4) / 240.0));
}

int TfmAudio::SnapXToTicks(int X, int Step) {
    const int w = AudioWidth16th > 0 ? AudioWidth16th : 1;
    const int t = FloorToInt(float(double(X) / w * 60.0));
    return Step > 0 ? t - t % Step : t;
}

int TfmAudio::RowAtY(int Y) {
    return SampleHeight > 0 ? Y / SampleHeight : 0;
}

int TfmAudio::ContentWidth() const {
    const _TPart* p = Song ? Song->CurrentPart : nullptr;
    if (!p) return audio ? audio->GetClientWidth() : 0;
    return SaturateInt(std::int64_t(p->Length / TicksPerBeat) * AudioWidth16th * 4);
}

_TTrack* TfmAudio::PartTrack() {
    const _TPart* p = Song ? Song->CurrentPart : nullptr;
    _TTrack* t = p ? Song->TrackAt(p->Track) : nullptr;
    return t && t->Mode == tmAudio ? t : nullptr;
}

int TfmAudio::SlotCount() {
    const _TTrack* t = PartTrack();
    return t ? int(t->Samples.size()) : 0;
}

// ---- Creation ----

TfmAudio::TfmAudio(TComponent* AOwner) : TForm(AOwner) {
    FormStyle = fsMDIChild;
    Visible = false;
    Caption = "Audio edit";
    SetBounds(0, 0, 800, 563);
    Color = 0x1F1F1F;
    KeyPreview = true;
    BuildPanes();
    BuildToolbars();
    BuildMenus();
    BindMouse();
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
        s.SampleView = nullptr;
        s.SampleGridCaption = nullptr;
        s.SampleSolo = nullptr;
        TSkinHosts& h = SkinBinding().Hosts;
        h.AudioScrolly = h.AudioScrollx = h.AudioColumns = nullptr;
        if (fmAudio == this) fmAudio = nullptr;
    };
}

TfmAudio::~TfmAudio() {
    scrollTimer.Enabled = false;
    if (fmAudio == this) fmAudio = nullptr;
    for (TPopupMenu* m : {popupAudio, popupSamples, PopupColumns, PopupFiles, PopupFavorites,
                          popupPool, popupCh, Popupres})
        delete m;
    SetMenu(nullptr);
    delete MainMenu1;
}

void TfmAudio::BuildPanes() {
    Toolbar = MakeAlignedPanel(this, this, alTop, 27);
    Toolbar->Color = 0x303030;
    editbar = MakeAlignedPanel(this, this, alTop, 27);
    editbar->Color = 0x303030;

    // Browser: its pages are filled by the sample bank's browser.
    panelBrowse = MakeAlignedPanel(this, this, alLeft, 174);
    panelBrowse->Color = 0x1F1F1F;
    Panel14 = MakeAlignedPanel(this, panelBrowse, alTop, 22);
    int x = 18;
    sbUp = MakeButton(this, Panel14, x, 20, "^", "Up one level");
    sbFile = MakeButton(this, Panel14, x, 40, "Files", "");
    sbRecord = MakeButton(this, Panel14, x, 48, "Record", "");
    for (TSpeedButton* b : {sbUp, sbFile, sbRecord})
        b->Top = 0;
    sbFile->GroupIndex = sbRecord->GroupIndex = 3;
    sbFile->Down = true;
    sbFile->OnClick = [this](TObject*) {
        panelRec->Visible = false;
        panelFiles->Visible = true;
    };
    sbRecord->OnClick = [this](TObject*) {
        panelFiles->Visible = false;
        panelRec->Visible = true;
    };
    HemisphereButton2 = new THemisphereButton(this);
    HemisphereButton2->Parent = Panel14;
    HemisphereButton2->SetBounds(2, 4, 14, 14);
    HemisphereButton2->Hint = "Hide browser";
    HemisphereButton2->OnClick = [this](TObject*) {
        BrowserWidth = panelBrowse->Width;
        panelBrowse->Width = 0;
        UpdateHorzScrollRange();
    };
    panelFiles = MakeAlignedPanel(this, panelBrowse, alClient, 0);
    panelRec = MakeAlignedPanel(this, panelBrowse, alClient, 0);
    panelRec->Visible = false;
    SplitterEx22 = new TSplitterEx2(this);
    SplitterEx22->Parent = this;
    SplitterEx22->Align = alLeft;
    SplitterEx22->Width = 3;
    SplitterEx22->Left = 175;
    SplitterEx22->Control = panelBrowse;
    SplitterEx22->MinSize = 0;
    SplitterEx22->OnMoved = [this](TObject*) { UpdateHorzScrollRange(); };

    panelAudio = MakeAlignedPanel(this, this, alClient, 0);
    PanelBottom = MakeAlignedPanel(this, panelAudio, alBottom, 84);
    PanelBottom->Color = 0x1F1F1F;
    guiScrollx = new TMScroll(this);
    guiScrollx->Parent = PanelBottom;
    guiScrollx->Align = alBottom;
    guiScrollx->Height = kStripSize;
    PanelToolCC = MakeAlignedPanel(this, PanelBottom, alTop, 21);
    PanelToolCC->Color = 0x303030;
    int lx = 18;
    sbCC = MakeButton(this, PanelToolCC, lx, 60, "Volume", "Volume or pan\rShortcut F8");
    sbCC->Top = 0;
    auto* sampleLabel = new TLabel(this);
    sampleLabel->Parent = PanelToolCC;
    sampleLabel->SetBounds(lx + 6, 4, 240, 14);
    sampleLabel->Caption = "Length";
    labelControlSample = sampleLabel;
    HemisphereButton3 = new THemisphereButton(this);
    HemisphereButton3->Parent = PanelToolCC;
    HemisphereButton3->SetBounds(2, 3, 14, 14);
    HemisphereButton3->Hint = "Hide lane";
    HemisphereButton3->OnClick = [this](TObject*) { HideLane(); };
    control = new TScroll(this);
    control->Parent = PanelBottom;
    control->Align = alClient;
    control->Color = 0;
    control->EraseBkgnd = true;
    SplitterEx24 = new TSplitterEx2(this);
    SplitterEx24->Parent = panelAudio;
    SplitterEx24->Align = alBottom;
    SplitterEx24->Height = 3;
    SplitterEx24->Control = PanelBottom;
    SplitterEx24->MinSize = 37;
    SplitterEx24->OnMoved = [this](TObject*) { FitLane(); };

    panelWaves = MakeAlignedPanel(this, panelAudio, alLeft, 158);
    panelWaves->Color = 0;
    Panel17 = MakeAlignedPanel(this, panelWaves, alTop, kRulerHeight);
    Panel17->Color = 0x303030;
    sampleTitles = new THeaderControl(this);
    sampleTitles->Parent = panelWaves;
    sampleTitles->Align = alTop;
    sampleTitles->Height = 18;
    for (auto [text, width] :
         {std::pair{"Samples", 100}, {"M", 24}, {"FR", 30}, {"Vol", 46}, {"Pan", 40}}) {
        THeaderSection* s = sampleTitles->AddSection();
        s->Text = text;
        s->Width = width;
    }
    guiColumns = new TMScroll(this);
    guiColumns->Parent = panelWaves;
    guiColumns->Align = alBottom;
    guiColumns->Height = kStripSize;
    samples = new TScroll(this);
    samples->Parent = panelWaves;
    samples->Align = alClient;
    samples->Color = 0;
    samples->EraseBkgnd = true;
    panelWaves->OnResize = [this](TObject*) {
        if (guiColumns) guiColumns->AlignControls();
    };
    SplitterEx23 = new TSplitterEx2(this);
    SplitterEx23->Parent = panelAudio;
    SplitterEx23->Align = alLeft;
    SplitterEx23->Width = 3;
    SplitterEx23->Left = 159;
    SplitterEx23->Control = panelWaves;
    SplitterEx23->MinSize = 0;
    SplitterEx23->OnMoved = [this](TObject*) { UpdateHorzScrollRange(); };

    TPanel* right = MakeAlignedPanel(this, panelAudio, alClient, 0);
    Panel15 = MakeAlignedPanel(this, right, alTop, kRulerHeight);
    meter = new TScroll(this);
    meter->Parent = Panel15;
    meter->Align = alClient;
    meter->Color = 0xFFFFFF;
    meter->EraseBkgnd = true;
    meter->OnPaint = [this](TCanvas& C) { PaintRuler(C); };
    Panel18 = MakeAlignedPanel(this, right, alClient, 0);
    guiScrolly = new TMScroll(this);
    guiScrolly->Parent = Panel18;
    guiScrolly->Align = alRight;
    guiScrolly->Width = kStripSize;
    audio = new TScroll(this);
    audio->Parent = Panel18;
    audio->Align = alClient;
    audio->Color = 0;
    audio->OnPaint = [this](TCanvas& C) { PaintGrid(C); };
    Panel18->OnResize = [this](TObject*) {
        UpdateRowScrollRange();
        UpdateHorzScrollRange();
    };
}

void TfmAudio::BuildToolbars() {
    int x = 4;
    sbMute = MakeButton(this, Toolbar, x, 40, "Mute", "Mute on/off\rShortcut M");
    sbMute->GroupIndex = 7;
    sbMute->AllowAllUp = true;
    sbMute->OnClick = [](TObject*) {
        const _TPart* p = Song ? Song->CurrentPart : nullptr;
        if (p && fmArrange) fmArrange->ToggleTrackMute(p->Track);
        if (fmAudio) fmAudio->UpdateMuteButton();
    };
    sbSolo = MakeButton(this, Toolbar, x, 40, "Solo", "Solo on/off\rShortcut S");
    sbSolo->GroupIndex = 6;
    sbSolo->AllowAllUp = true;
    sbSolo->OnClick = [](TObject*) {
        if (fmMdi) fmMdi->ToggleSolo(false);
    };
    x += 8;
    sbDefault = MakeButton(this, Toolbar, x, 24, "D", "Default mode\rShortcut F2");
    sbInsert = MakeButton(this, Toolbar, x, 24, "I", "Insert mode\rShortcut F3");
    sbStep = MakeButton(this, Toolbar, x, 24, "S", "Step mode\rShortcut F4");
    TSpeedButton* modes[] = {sbDefault, sbInsert, sbStep};
    for (int i = 0; i < 3; ++i) {
        modes[i]->GroupIndex = 4;
        modes[i]->OnClick = [this, i](TObject*) { EnterMode(i); };
    }
    sbDefault->Down = true;
    x += 8;
    sbSnap = MakeButton(this, Toolbar, x, 40, "Snap", "Snap to editres on/off");
    sbSnap->GroupIndex = 5;
    sbSnap->AllowAllUp = true;
    sbSnap->Down = true;
    sbAudio = MakeButton(this, Toolbar, x, 44, "Audio", "Audio on/off\rShortcut: F6");
    sbAudio->GroupIndex = 8;
    sbAudio->AllowAllUp = true;
    sbAudio->OnClick = [](TObject*) {
        if (fmArrange) fmArrange->SetAudioEnabled(!(Audio && Audio->AudioOn));
    };
    sbAudio->OnMouseDown = [](TObject*, TMouseButton Button, TShiftState, int, int) {
        if (Button == mbRight) ShowAudioSetup();
    };
    x += 8;
    panelBpm = MakeAlignedPanel(this, Toolbar, alNone, 0);
    panelBpm->SetBounds(x, 3, 108, 21);
    editBpm = new TEdit(this);
    editBpm->Parent = panelBpm;
    editBpm->SetBounds(0, 0, 36, 21);
    editBpm->Text = "120";
    DigitsOnly(editBpm, [this] { editBpmEnter(); });
    editBpm->OnDblClick = [this](TObject*) { editBpmDoubleClick(); };
    int bx = 38;
    SpeedButton4 = MakeButton(this, panelBpm, bx, 18, "+", "");
    SpeedButton8 = MakeButton(this, panelBpm, bx, 18, "-", "");
    for (TSpeedButton* b : {SpeedButton4, SpeedButton8}) {
        b->Top = 0;
        b->Flat = false;
        b->Font.Color = 0;
    }
    auto step = [this](int Delta) { ApplyTempo(std::atoi(editBpm->Text().c_str()) + Delta); };
    SpeedButton4->OnClick = [step](TObject*) { step(1); };
    SpeedButton8->OnClick = [step](TObject*) { step(-1); };
    labelBpm = MakeLabel(this, panelBpm, bx + 2, "bpm");
    labelBpm->Top = 4;
    x += 112;
    panelRes = MakeAlignedPanel(this, Toolbar, alNone, 0);
    panelRes->SetBounds(x, 3, 40, 21);
    panelRes->BevelOuter = bvLowered;
    panelRes->Caption = "16";
    panelRes->Hint = "Edit resolution\rUsed by quantize, length, resize, move and copy\r"
                     "Shortcout Shift + 1-6";
    panelRes->OnMouseUp = [this](TObject*, TMouseButton, TShiftState, int, int) {
        ShowResolutionMenu();
    };
    MakeLabel(this, Toolbar, x + 44, "Editres");

    x = 4;
    SpeedButton1 = MakeButton(this, editbar, x, 56, "Audition", "Audition sample\rShortcut F5");
    x += 6;
    MakeLabel(this, editbar, x, "Move");
    x += 34;
    sbMoveLeft1 = MakeButton(this, editbar, x, 22, "<", "Move left\rShortcut Ctrl+Left ");
    sbMoveRight1 = MakeButton(this, editbar, x, 22, ">", "Move right\rShortcut Ctrl+Right");
    sbMoveLeft1->OnClick = [this](TObject*) { MoveButton(-1); };
    sbMoveRight1->OnClick = [this](TObject*) { MoveButton(1); };
    x += 6;
    MakeLabel(this, editbar, x, "Length");
    x += 42;
    panelLength = MakeAlignedPanel(this, editbar, alNone, 0);
    panelLength->SetBounds(x, 3, 44, 21);
    editLength = new TEdit(this);
    editLength->Parent = panelLength;
    editLength->SetBounds(0, 0, 44, 21);
    DigitsOnly(editLength, [this] { editLengthEnter(); });
    x += 46;
    sbLengthLeft = MakeButton(this, editbar, x, 22, "|<", "Shorten note\rShortcut Alt + Left");
    sbLengthRight = MakeButton(this, editbar, x, 22, ">|", "Lengthen note\rShortcut Alt + Right");
    auto lengthBy = [this](int Dir) {
        const _TPart* p = Song ? Song->CurrentPart : nullptr;
        if (p) ResizeSelectedNotes(Dir * Song->GridTicks(), CountSelectedNotes(p) > 0);
    };
    sbLengthLeft->OnClick = [lengthBy](TObject*) { lengthBy(-1); };
    sbLengthRight->OnClick = [lengthBy](TObject*) { lengthBy(1); };
    x += 6;
    MakeLabel(this, editbar, x, "Ch");
    x += 22;
    panelCh = MakeAlignedPanel(this, editbar, alNone, 0);
    panelCh->SetBounds(x, 3, 36, 21);
    panelCh->BevelOuter = bvLowered;
    panelCh->Caption = "16";
    panelCh->OnMouseUp = [this](TObject*, TMouseButton, TShiftState, int, int) {
        ShowChannelMenu();
    };
}

void TfmAudio::BuildMenus() {
    MainMenu1 = new TMainMenu();
    TMenuItem* root = MainMenu1->Items;
    auto undoState = [](TMenuItem* Item) {
        Item->Caption = Song ? Song->UndoStore->Caption : std::string("&Undo");
        Item->Enabled = Song && Song->UndoStore->Kind != ukNone && Song->State != 1;
    };
    miEdit = AddItem(root, "&Edit");
    miEdit->GroupIndex = 2;
    miEdit->OnClick = [this, undoState](TMenuItem*) { undoState(miUndo); };
    miUndo = AddItem(miEdit, "&Undo", ShortCut('Z', scCtrl), [this](TMenuItem*) { UndoEdit(); });
    miSelectAll = AddItem(miEdit, "Select &all", ShortCut('A', scCtrl), [this](TMenuItem*) {
        _TPart* p = Song ? Song->CurrentPart : nullptr;
        if (!p) return;
        SelectAllNotes(p);
        for (_TEvent* e = p->Events; e; e = e->Next)
            e->Flags |= efRedraw;
        PaintNotes(false);
        RepaintLane();
    });
    miGrid = AddItem(miEdit, "Grid");
    static constexpr std::pair<const char*, int> kSteps[] = {
        {"64", 15}, {"32", 30},  {"16", 60},  {"8", 120},  {"4", 240},
        {"2", 480}, {"-", 0},    {"64T", 10}, {"32T", 20}, {"16T", 40},
        {"8T", 80}, {"4T", 160}, {"2T", 320}, {"-", 0},    {"Editres", -1}};
    for (auto [caption, step] : kSteps) {
        TMenuItem* i = AddItem(miGrid, caption);
        if (step == 0) continue;
        i->Tag = step;
        i->RadioItem = true;
        i->OnClick = [this](TMenuItem* Sender) { SetGridStep(Sender->Tag); };
    }
    miGrid->OnClick = [this](TMenuItem*) {
        for (int i = 0; i < miGrid->Count(); ++i)
            if (miGrid->Items(i)->Caption != "-")
                miGrid->Items(i)->Checked = miGrid->Items(i)->Tag == GridStep;
    };

    auto compose = [this](TMenuItem*) {
        if (fmMdi && SlotCount() > 0) fmMdi->ShowComposeNotes(1, CurrentRow);
    };
    auto grooves = [](TMenuItem*) { Call(EditCommandSeams().ShowGrooves); };
    auto selectedNotes = [] {
        const _TPart* p = Song ? Song->CurrentPart : nullptr;
        return p && CountSelectedNotes(p) > 0;
    };
    auto legato = [this, selectedNotes](TMenuItem*) {
        if (!fmMdi || !Song || !Song->CurrentPart) return;
        fmMdi->LegatoSelection(selectedNotes());
        audio->Invalidate();
    };
    auto length = [selectedNotes](TMenuItem*) {
        if (fmMdi && Song && Song->CurrentPart)
            fmMdi->SetNoteLengths(Song->GridTicks(), selectedNotes());
    };
    auto quantize = [this, selectedNotes](TMenuItem*) {
        if (!fmMdi || !Song || !Song->CurrentPart) return;
        fmMdi->QuantizeSelection(selectedNotes());
        audio->Invalidate();
    };
    miPart = AddItem(root, "&Part");
    miPart->GroupIndex = 3;
    miPart->OnClick = [this](TMenuItem*) { miCompose->Enabled = SlotCount() > 0; };
    miCompose = AddItem(miPart, "&Compose...", ShortCut('1', scCtrl), compose);
    miGrooves = AddItem(miPart, "&Grooves...", ShortCut('G', scShift), grooves);
    miLegato = AddItem(miPart, "&Legato", 0, legato);
    miLength = AddItem(miPart, "L&ength", 0, length);
    miQuantize = AddItem(miPart, "&Quantize", ShortCut('Q', scCtrl), quantize);

    // The sample bank's commands fill these.
    miSample = AddItem(root, "&Sample");
    miSample->GroupIndex = 4;
    miSample->OnClick = [this](TMenuItem*) {
        const int n = SlotCount();
        const bool row = PartTrack() && CurrentRow >= 0 && CurrentRow < n;
        miSampleDelete->Enabled = miSampleDeleteAll->Enabled = miSampleReplace->Enabled = row;
        miLastReplace->Enabled = CurrentRow >= 0;
        for (TMenuItem* i : {miRename, miEditExternal, miSaveAs, miSaveBank})
            i->Enabled = n > 0;
    };
    miEditExternal = AddItem(miSample, "&Edit (external)...", ShortCut('E', scCtrl));
    TMenuItem* last = AddItem(miSample, "&Last edit");
    AddItem(last, "&Add");
    miLastReplace = AddItem(last, "&Replace", ShortCut('R', scCtrl));
    AddItem(miSample, "-");
    AddItem(miSample, "&Add...");
    miSampleReplace = AddItem(miSample, "&Replace...");
    AddItem(miSample, "&Copy...");
    AddItem(miSample, "&Import...");
    AddItem(miSample, "-");
    miSampleDelete = AddItem(miSample, "&Delete", ShortCut(VK_DELETE, scShift));
    miSampleDeleteAll = AddItem(miSample, "De&lete all", ShortCut(VK_DELETE, scCtrl | scShift));
    AddItem(miSample, "-");
    AddItem(miSample, "Resample with FX...")->Enabled = false;
    miSaveAs = AddItem(miSample, "&Save as...");
    miSaveBank = AddItem(miSample, "Save &bank...");
    miSaveBank->Visible = false;
    miRename = AddItem(miSample, "&Rename...");
    AddItem(miSample, "-");
    miDrawContents = AddItem(miSample, "Dra&w contents", 0, [this](TMenuItem* I) {
        I->Checked = !I->Checked;
        audio->Invalidate();
    });
    miDrawContents->Checked = true;

    miEvent = AddItem(root, "E&vent");
    miEvent->GroupIndex = 5;
    miInsert = AddItem(miEvent, "&Insert", ShortCut(VK_INSERT),
                       [this](TMenuItem*) { InsertAtStepCursor(); });
    miEventDelete = AddItem(miEvent, "&Delete", ShortCut(VK_DELETE), [](TMenuItem*) {
        if (fmMdi && Song && Song->CurrentPart) fmMdi->DeleteEvents(true);
    });
    miStretch = AddItem(miEvent, "Stretch to end", ShortCut(VK_END, scShift),
                        [this](TMenuItem*) { StretchToEnd(); });

    miAudio = AddItem(root, "&Audio");
    miAudio->GroupIndex = 6;
    miAudio->OnClick = [this](TMenuItem*) { miEnable->Checked = Audio && Audio->AudioOn; };
    miEnable = AddItem(miAudio, "&Enable", ShortCut(VK_F6), [](TMenuItem*) {
        if (fmArrange) fmArrange->SetAudioEnabled(!(Audio && Audio->AudioOn));
    });
    miOptions = AddItem(miAudio, "&Options...", 0, [](TMenuItem*) { ShowAudioSetup(); });
    // F11 is the mixer's: the first item with a shortcut takes it.
    miMixer = AddItem(miAudio, "Mixer", ShortCut(VK_F11), [](TMenuItem*) {
        if (fmMdi) fmMdi->ToggleMixer();
    });

    ShowMenu = AddItem(root, "&Show");
    ShowMenu->GroupIndex = 7;
    ShowMenu->OnClick = [this](TMenuItem*) { ShowMenuPopup(); };
    miBrowser = AddItem(ShowMenu, "&Browser", ShortCut('B', scCtrl),
                        [this](TMenuItem*) { TogglePane(panelBrowse, BrowserWidth); });
    miSamples = AddItem(ShowMenu, "&Samples", ShortCut(VK_F10),
                        [this](TMenuItem*) { TogglePane(panelWaves, LastSplit); });
    miToolbar = AddItem(ShowMenu, "T&oolbar", 0,
                        [this](TMenuItem*) { Toolbar->Visible = !Toolbar->Visible; });
    miEditbar = AddItem(ShowMenu, "&Editbar", 0,
                        [this](TMenuItem*) { editbar->Visible = !editbar->Visible; });
    miRecbar = AddItem(ShowMenu, "&Recbar", 0, [this](TMenuItem*) {
        if (panelBrowse->Width == 0) panelBrowse->Width = BrowserWidth > 0 ? BrowserWidth : 200;
        sbRecord->Down = true;
        sbRecord->Click();
        UpdateHorzScrollRange();
    });
    miControllers =
        AddItem(ShowMenu, "Controllers", ShortCut(VK_F11), [this](TMenuItem*) { ToggleLane(); });
    miTransporter = AddItem(ShowMenu, "&Transporter", ShortCut(VK_F12), [](TMenuItem*) {
        if (fmMdi && fmMdi->panelTransporter)
            fmMdi->panelTransporter->Visible = !fmMdi->panelTransporter->Visible;
    });
    miCustomize = AddItem(ShowMenu, "&Customize", 0, [](TMenuItem*) {
        if (EditCommandSeams().ShowCustomize) EditCommandSeams().ShowCustomize(0);
    });

    popupAudio = new TPopupMenu();
    TMenuItem* pr = popupAudio->Items;
    popupAudio->OnPopup = [this, undoState](TPopupMenu*) { undoState(miPopupUndo); };
    miPopupUndo = AddItem(pr, "&Undo", 0, [this](TMenuItem*) { UndoEdit(); });
    AddItem(pr, "-");
    const char* modeCaptions[] = {"Default mode", "Insert mode", "Step mode"};
    for (int i = 0; i < 3; ++i)
        AddItem(pr, modeCaptions[i], 0, [this, i](TMenuItem*) {
            TSpeedButton* b[] = {sbDefault, sbInsert, sbStep};
            b[i]->Down = !b[i]->Down;
            b[i]->Click();
        });
    AddItem(pr, "-");
    AddItem(pr, "Compose...", 0, compose);
    AddItem(pr, "Grooves...", 0, grooves);
    AddItem(pr, "Legato", 0, legato);
    AddItem(pr, "Length", 0, length);
    AddItem(pr, "Quantize", 0, quantize);
    popupSamples = new TPopupMenu();
    PopupColumns = new TPopupMenu();
    PopupFiles = new TPopupMenu();
    PopupFavorites = new TPopupMenu();
    popupPool = new TPopupMenu();
    popupCh = new TPopupMenu();
    Popupres = new TPopupMenu();
    static constexpr std::pair<const char*, int> kRes[] = {
        {"64", 64},  {"32", 32},  {"16", 16},  {"8", 8},   {"4", 4},  {"2", 2}, {"1", 1},
        {"64T", 96}, {"32T", 48}, {"16T", 24}, {"8T", 12}, {"4T", 6}, {"2T", 3}};
    for (auto [caption, value] : kRes) {
        TMenuItem* i = AddItem(Popupres->Items, caption);
        i->Tag = value;
        i->OnClick = [this](TMenuItem* Sender) { SetEditRes(Sender->Tag, Sender->Caption); };
    }
}

void TfmAudio::BuildScrollStrips() {
    const TEditorStrips strips = BuildEditorStrips(guiScrolly, guiScrollx, guiColumns, Handle());
    ScrollY = strips.ScrollY;
    ScrollY->LineStep = SampleHeight;
    ScrollY->PageStep = 3 * SampleHeight;
    guiScrolly->OnControl = [this](TObject*, const std::string& Id, int V, const std::string&) {
        ScrollYControl(Id, V);
    };
    ScrollX = strips.ScrollX;
    ScrollX->LineStep = AudioWidth16th;
    ScrollX->PageStep = 4 * AudioWidth16th;
    ScrollX->PageSize = std::max(1, audio->GetClientWidth());
    guiScrollx->OnControl = [this](TObject*, const std::string& Id, int V, const std::string&) {
        ScrollXControl(Id, V);
    };
    guiColumns->OnControl = [this](TObject*, const std::string& Id, int, const std::string&) {
        ColumnsControl(Id);
    };
    guiColumns->OnMouseDown = [this](TObject*, TMouseButton B, TShiftState, int X, int Y) {
        if (B != mbRight) return;
        PopupColumns->Items->Clear();
        int sum = 0;
        for (int i = 0; i < sampleTitles->SectionCount(); ++i) {
            sum += sampleTitles->Sections(i)->Width;
            TMenuItem* it = AddItem(PopupColumns->Items, sampleTitles->Sections(i)->Text());
            it->Tag = sum + 4;
            it->OnClick = [this](TMenuItem* Sender) {
                panelWaves->Width = Sender->Tag;
                UpdateHorzScrollRange();
            };
        }
        const TPoint p = guiColumns->ClientToScreen({X, Y});
        PopupColumns->Popup(p.X, p.Y);
    };
    TSkinHosts& h = SkinBinding().Hosts;
    h.AudioScrolly = guiScrolly;
    h.AudioScrollx = guiScrollx;
    h.AudioColumns = guiColumns;
}

void TfmAudio::FormCreate() {
    fmAudio = this;
    BuildScrollStrips(); // 1
    CurrentRow = -1;
    EditMode = 0;
    ReadSettings();                          // 2
    sbAudio->Down = Audio && Audio->AudioOn; // 3
    LastEditName = "edit.wav";
    UpdateRowScrollRange();
    ApplyLook();
    SplitterEx24->MinSize = guiScrollx->Height;
    // 5: the recorded takes' and the effects' folders.
    std::error_code ec;
    for (const char* folder : {"recpool", "fx"})
        std::filesystem::create_directories(std::filesystem::path(ProgramFolder()) / folder, ec);
    UpdateHorzScrollRange(); // 7
    SetMenu(MainMenu1);
    TEditCommandSeams& s = EditCommandSeams();
    s.SampleView = [this] {
        audio->Invalidate();
        RepaintLane();
    };
    s.SampleGridCaption = [this](const std::string& Caption) {
        panelRes->Caption = Caption;
        if (GridStep == -1) audio->Invalidate();
    };
    s.SampleSolo = [this](bool Down) { sbSolo->Down = Down; };
}

void TfmAudio::ReadSettings() {
    TIniFile ini;
    samples->Font.Name = ini.ReadString("Song edit", "TracksFontName", "Arial");
    samples->Font.SetSize(ini.ReadInteger("Song edit", "TracksFontSize", 8));
    samples->Font.Style = IntToFontStyles(ini.ReadInteger("Song edit", "TracksFontStyle", 3));
    samples->Font.Color = ReadIniColor(ini, "Song edit", "TracksFontColor", 0xFFFFFF);
    SampleHeight = std::clamp(ini.ReadInteger("Sample Edit", "SampleHeight", 40), kSampleHeightMin,
                              kSampleHeightMax);
    AudioWidth16th =
        std::clamp(ini.ReadInteger("Sample Edit", "AudioWidth16th", 16), kWidthMin, kWidthMax);
    ScrollY->LineStep = SampleHeight;
    ScrollY->PageStep = 3 * SampleHeight;
    ScrollX->LineStep = AudioWidth16th;
    ScrollX->PageStep = 4 * AudioWidth16th;
    panelWaves->Width = std::max(0, ini.ReadInteger("Sample edit", "Split", kSplit));
    LastSplit = panelWaves->Width;
    panelBrowse->Width = std::max(0, ini.ReadInteger("Sample edit", "Browser", kBrowserWidth));
    PanelBottom->Height =
        std::max<int>(guiScrollx->Height, ini.ReadInteger("Audio", "Control", kLaneHeight));
    FitLane();
    DirectoryHeight = ini.ReadInteger("Audio", "Directory", 150);
    Favorites = ini.ReadSection("Samples Favorites");
    GridStep = ini.ReadInteger("Sample edit", "Grid", 60);
    // A step of 0 or below would never end the grid's lines.
    if (GridStep == 0 || GridStep < -1) GridStep = 60;
}

void TfmAudio::SaveSettings() {
    TIniFile ini;
    ini.WriteInteger("Sample edit", "Split", panelWaves->Width);
    ini.WriteInteger("Sample edit", "Browser", panelBrowse->Width);
    ini.EraseSection("Samples Favorites");
    for (std::size_t i = 0; i < Favorites.size(); ++i)
        ini.WriteString("Samples Favorites", Favorites[i], std::to_string(i));
    ini.WriteInteger("Audio", "Control", PanelBottom->Height);
    ini.WriteInteger("Audio", "Directory", DirectoryHeight);
    ini.WriteInteger("Sample edit", "Grid", GridStep);
}

void TfmAudio::FormShow() {
    if (FormStyle != fsMDIChild) FormStyle = fsMDIChild;
    if (Midi) editBpm->Text = std::to_string(Midi->GetTempo());
    sbSolo->Down = Song && Song->SoloTrack != -1;
    if (fmArrange) panelRes->Caption = fmArrange->panelRes->Caption;
    if (SlotCount() > 0) SetCurrentRow(0);
}

void TfmAudio::FormActivate() {
    if (fmMdi) fmMdi->WindStep = 1; // 1
    _TPart* part = Song ? Song->CurrentPart : nullptr;
    if (part) {
        const _TTrack* t = Song->TrackAt(part->Track);
        if (!t || t->Mode != tmAudio) { // 2
            Close();
            if (fmArrange) fmArrange->OpenPartEditor();
            return;
        }
        if (part->Track != Song->CurrentTrackIndex) { // 3
            const int old = Song->CurrentTrackIndex;
            Song->CurrentTrackIndex = part->Track;
            if (fmArrange) {
                fmArrange->InvalidateTrackRow(old);
                fmArrange->InvalidateTrackRow(part->Track);
                fmArrange->RefreshTrackbar();
            }
        }
        Caption = part->Name; // 4
    } else {
        Caption = "Audio edit";
    }
    if (part && CurrentRow >= SlotCount()) { // 5
        if (EditMode == 2) DrawStepCursor();
        SetCurrentRow(0);
        samples->Invalidate();
        if (UnselectEvents(part)) PaintNotes(false);
        if (EditMode == 2) {
            StepRow = CurrentRow;
            DrawStepCursor();
        }
    }
    UpdateMuteButton(); // 6
    SetCurrentRow(CurrentRow);
    ActiveControl = nullptr;
}

void TfmAudio::FormDeactivate() {
    CancelDrag();
}

void TfmAudio::FormClose(TCloseAction& Action) {
    StopAutoScroll();
    // An audition (the sample browser's) ends with the window.
    Auditioning = false;
    Action = caFree;
    SaveSettings();
}

void TfmAudio::FormResize() {
    meter->Invalidate();
    audio->Invalidate();
    control->Invalidate();
    UpdateRowScrollRange();
    UpdateHorzScrollRange();
    for (TMScroll* s : {guiScrolly, guiScrollx, guiColumns})
        if (s) s->AlignControls();
}

LRESULT TfmAudio::WndProc(UINT Msg, WPARAM W, LPARAM L) {
    if (Msg == WM_ERASEBKGND) return 1; // the panes cover the window
    if (Msg == WM_MOUSEWHEEL) {
        TPoint p{};
        GetCursorPos(&p);
        WMMouseWheel(GET_WHEEL_DELTA_WPARAM(W), p);
        return 0;
    }
    return TForm::WndProc(Msg, W, L);
}

void TfmAudio::UpdateMuteButton() {
    const _TPart* p = Song ? Song->CurrentPart : nullptr;
    const _TTrack* t = p ? Song->TrackAt(p->Track) : nullptr;
    sbMute->Down = t && p->Track == Song->CurrentTrackIndex && t->Mute;
}

void TfmAudio::SetCurrentRow(int Row) {
    CurrentRow = Row;
    std::string name;
    const _TTrack* t = PartTrack();
    if (t && Row >= 0 && Row < int(t->Samples.size()) && Song->SamplePool) {
        const int index = t->Samples[std::size_t(Row)]->Index;
        if (index >= 0 && index < Song->SamplePool->Items.Count()) {
            name = Song->SamplePool->Items.GetItem(index)->Name();
            if (const auto cut = name.find_last_of("\\/"); cut != std::string::npos)
                name = name.substr(cut + 1);
        }
    }
    labelControlSample->Caption = name;
    labelControlSample->Hint = "Current sample is " + name;
    RefreshChannelPanel();
}

void TfmAudio::RefreshChannelPanel() {
    const _TTrack* t = PartTrack();
    if (t && CurrentRow >= 0 && CurrentRow < int(t->Samples.size())) {
        char text[16];
        std::snprintf(text, sizeof text, "%02d", int(t->Samples[std::size_t(CurrentRow)]->Bus) + 1);
        panelCh->Caption = text;
    } else {
        panelCh->Caption = "---";
    }
}

void TfmAudio::ShowChannelMenu() {
    _TTrack* t = PartTrack();
    popupCh->Items->Clear();
    if (t)
        for (int slot = 0; slot < OutputSlotCount; ++slot) {
            if (!static_cast<const TSoftOuts&>(t->Outputs)[std::size_t(slot)].Active) continue;
            char text[16];
            std::snprintf(text, sizeof text, "%02d", slot + 1);
            TMenuItem* i = AddItem(popupCh->Items, text);
            i->Tag = slot;
            i->OnClick = [this](TMenuItem* Sender) {
                _TTrack* track = PartTrack();
                if (!track || CurrentRow < 0 || CurrentRow >= int(track->Samples.size())) return;
                track->Samples[std::size_t(CurrentRow)]->Bus = Sender->Tag;
                RefreshChannelPanel();
            };
        }
    const TPoint p = panelCh->ClientToScreen({0, panelCh->Height});
    popupCh->Popup(p.X, p.Y);
}

void TfmAudio::ShowResolutionMenu() {
    const TPoint p = panelRes->ClientToScreen({0, panelRes->Height});
    Popupres->Popup(p.X, p.Y);
}

// ---- Tempo and length fields ----

void TfmAudio::ApplyTempo(int Bpm) {
    const int tempo = std::clamp(Bpm, 10, 250);
    if (Midi) Midi->SetTempo(tempo);
    if (fmMdi) fmMdi->BroadcastTempo();
    editBpm->Text = std::to_string(tempo);
    FileMenuWindows().ShowTempo(tempo);
    ActiveControl = nullptr;
    audio->Invalidate();
}

void TfmAudio::editBpmEnter() {
    ApplyTempo(std::atoi(editBpm->Text().c_str()));
}

void TfmAudio::editBpmDoubleClick() {
    const std::vector<std::string> lines = OptionsTempoLines();
    if (!lines.empty()) {
        const int tempo = std::atoi(lines.front().c_str()); // atoi skips the leading blanks
        if (Midi) Midi->SetTempo(tempo);
        if (fmMdi) fmMdi->BroadcastTempo();
        FileMenuWindows().ShowTempo(tempo);
        if (fmArrange) editBpm->Text = fmArrange->editBpm->Text();
    }
    ActiveControl = nullptr;
}

void TfmAudio::editLengthEnter() {
    const std::string text = editLength->Text();
    if (!text.empty()) {
        int v = std::atoi(text.c_str());
        if (v < 1) {
            v = 1;
            editLength->Text = "1";
        }
        const _TPart* p = Song ? Song->CurrentPart : nullptr;
        if (fmMdi && p) fmMdi->SetNoteLengths(v, CountSelectedNotes(p) > 0);
    }
    ActiveControl = nullptr;
}

// ---- Show menu and pane toggles ----

void TfmAudio::ShowMenuPopup() {
    miBrowser->Checked = panelBrowse->Width > 0 && panelFiles->Visible;
    miToolbar->Checked = Toolbar->Visible;
    miEditbar->Checked = editbar->Visible;
    miTransporter->Checked = fmMdi && fmMdi->panelTransporter && fmMdi->panelTransporter->Visible;
    miControllers->Checked = PanelToolCC->Visible;
    miSamples->Checked = panelWaves->Width >= 1;
    miRecbar->Checked = panelBrowse->Width > 0 && panelRec->Visible;
}

void TfmAudio::TogglePane(TPanel* Pane, int& Remembered) {
    if (Pane->Width > 0) {
        Remembered = Pane->Width;
        Pane->Width = 0;
    } else {
        Pane->Width = Remembered > 0 ? Remembered : 200;
    }
    UpdateHorzScrollRange();
}

void TfmAudio::FitLane() {
    const bool fits = guiScrollx->Height + PanelToolCC->Height < PanelBottom->Height;
    PanelToolCC->Visible = fits;
    control->Visible = fits;
}

void TfmAudio::HideLane() {
    LaneHeight = PanelBottom->Height;
    PanelBottom->Height = guiScrollx->Height;
    FitLane();
}

void TfmAudio::ToggleLane() {
    if (PanelToolCC->Visible) {
        HideLane();
        return;
    }
    PanelBottom->Height = LaneHeight > 0 ? LaneHeight : kLaneHeight;
    FitLane();
}

// ---- Look ----

void TfmAudio::ApplyLook() {
    if (!fmMdi) return;
    Font.Name = fmMdi->FontName;
    Font.SetSize(fmMdi->FontSize);
    Font.Style = fmMdi->FontStyle;
    Font.Color = fmMdi->FontColor;
    for (TControl* c :
         std::initializer_list<TControl*>{Toolbar, editbar, Panel14, PanelToolCC, SplitterEx22,
                                          SplitterEx23, SplitterEx24, Panel18, Panel17, Panel15})
        c->Color = fmMdi->FontBkColor;
    for (TControl* c : std::initializer_list<TControl*>{editLength, panelCh, editBpm, panelRes}) {
        c->Color = fmMdi->ControlBkColor;
        c->Font.Color = fmMdi->ControlTextColor;
    }
    panelLength->Color = fmMdi->ControlBkColor;
    panelBpm->Color = fmMdi->ControlBkColor;
    labelBpm->Font.Color = fmMdi->ControlTextColor;
    meter->Color = fmMdi->LoopBkColor;
    if (Visible) {
        samples->Invalidate();
        meter->Invalidate();
    }
}

// ---- Scrolling and zoom ----

void TfmAudio::UpdateRowScrollRange() {
    if (!ScrollY) return;
    const int h = audio->GetClientHeight();
    const std::int64_t rows = std::int64_t(SlotCount()) * SampleHeight;
    if (Song && Song->CurrentPart && rows > h) {
        ScrollY->PageSize = std::max(1, h);
        ScrollY->Max = SaturateInt(rows - h);
    } else {
        ScrollY->Max = 0;
    }
    if (ScrollY->Position > ScrollY->Max) {
        ScrollY->SetPosition(ScrollY->Max);
        ScrollY->Changed();
    }
    ScrollY->Redraw();
    guiScrolly->AlignControls();
}

void TfmAudio::UpdateHorzScrollRange() {
    if (!ScrollX) return;
    const int w = audio->GetClientWidth();
    ScrollX->PageSize = std::max(1, w);
    ScrollX->Max = std::max(ContentWidth() + 100 - w, 0);
    if (ScrollX->Position > ScrollX->Max) {
        ScrollX->SetPosition(ScrollX->Max);
        ScrollX->Changed();
    }
    ScrollX->Redraw();
}

void TfmAudio::ScrollYControl(const std::string& Id, int Value) {
    if (Id == "scrolly") {
        if (Value < 0) return;
        audio->SetOffsetY(-Value);
        samples->SetOffsetY(-Value);
        return;
    }
    if (Id == "zoomVertIn") {
        if (SampleHeight < 100) SampleHeight += 2;
    } else if (Id == "zoomVertOut") {
        if (SampleHeight > 10) SampleHeight -= 2;
    } else {
        return;
    }
    ScrollY->LineStep = SampleHeight;
    ScrollY->PageStep = 3 * SampleHeight;
    UpdateRowScrollRange();
    audio->Invalidate();
    samples->Invalidate();
    RepaintLane();
    TIniFile().WriteInteger("Sample Edit", "SampleHeight", SampleHeight);
}

void TfmAudio::ScrollXControl(const std::string& Id, int Value) {
    if (Id == "scrollx") {
        if (Value == -1) {
            Dragging = true;
        } else if (Value == -2) {
            Dragging = false;
        } else {
            audio->SetOffsetX(-Value);
            meter->SetOffsetX(-Value);
            control->SetOffsetX(-Value);
        }
        return;
    }
    TIniFile ini;
    if (Id == "zoomHorzIn" || Id == "zoomHorzOut") {
        if (Id == "zoomHorzIn" && AudioWidth16th < 50) AudioWidth16th += 2;
        if (Id == "zoomHorzOut" && AudioWidth16th >= 5) AudioWidth16th -= 2;
        ini.WriteInteger("Sample Edit", "AudioWidth16th", AudioWidth16th);
    } else if (Id == "zoomOff") {
        SampleHeight = 40;
        AudioWidth16th = 16;
        ScrollY->LineStep = SampleHeight;
        ScrollY->PageStep = 3 * SampleHeight;
        UpdateRowScrollRange();
        ini.WriteInteger("Sample Edit", "SampleHeight", SampleHeight);
        ini.WriteInteger("Sample Edit", "AudioWidth16th", AudioWidth16th);
    } else {
        return;
    }
    ScrollX->LineStep = AudioWidth16th;
    ScrollX->PageStep = 4 * AudioWidth16th;
    audio->Invalidate();
    samples->Invalidate();
    meter->Invalidate();
    RepaintLane();
    UpdateHorzScrollRange();
}

void TfmAudio::ColumnsControl(const std::string& Id) {
    std::vector<int> sums; // the header's widths up to each column, + 4
    int sum = 0;
    for (int i = 0; i < sampleTitles->SectionCount(); ++i)
        sums.push_back((sum += sampleTitles->Sections(i)->Width) + 4);
    const int w = panelWaves->Width;
    int to = w;
    if (Id == "less") {
        for (int s : sums)
            if (s < w) to = s;
    } else if (Id == "more") {
        for (auto it = sums.rbegin(); it != sums.rend(); ++it)
            if (*it > w) to = *it;
    } else if (Id == "all") {
        to = sums.empty() ? w : sums.back();
    } else if (Id == "last") {
        to = LastSplit;
    } else {
        return;
    }
    LastSplit = w;
    panelWaves->Width = to;
    UpdateHorzScrollRange();
}

void TfmAudio::WMMouseWheel(int Delta, TPoint P) {
    if (!ScrollX || !ScrollY) return;
    TRect r{};
    GetWindowRect(audio->Handle(), &r);
    const int n = Round(double(std::int16_t(Delta)) / 120.0);
    if (std::abs(r.Bottom - P.Y) < std::abs(r.Right - P.X)) {
        ScrollX->SetPosition(ScrollX->Position - n * AudioWidth16th);
        ScrollX->Changed();
    } else {
        ScrollY->SetPosition(ScrollY->Position - n * SampleHeight);
        ScrollY->Changed();
    }
}

void TfmAudio::RepaintLane() {
    control->Invalidate();
}

// ---- Opening, closing, seams ----

void OpenSampleEditor() {
    if (!fmAudio) Application->CreateForm(fmAudio);
    fmAudio->Show();
}

void CloseSampleEditor() {
    if (fmAudio) fmAudio->Close();
}

void InstallSampleEditorSeams() {
    TArrangeSeams& a = ArrangeSeams();
    // Other track modes stay with whoever opened them before.
    a.OpenEditor = [other = a.OpenEditor](int Mode) {
        if (Mode == tmAudio)
            OpenSampleEditor();
        else if (other)
            other(Mode);
    };
    a.EditorsPlayCursor = [other = a.EditorsPlayCursor](int Position) {
        if (fmAudio) fmAudio->MovePlayCursor(Position);
        if (other) other(Position);
    };
    a.EditorsLocators = [other = a.EditorsLocators](int Which) {
        if (fmAudio) fmAudio->DrawLocators();
        if (other) other(Which);
    };
    MdiHooks().RepaintRulers = [other = MdiHooks().RepaintRulers] {
        if (other) other();
        if (fmAudio) fmAudio->meter->Invalidate();
    };
    SampleEditorAudioButton = [](bool On) {
        if (fmAudio) fmAudio->sbAudio->Down = On;
    };
}
