#include "devices/ui/uplugeditor.h"

#include "app/main.h"
#include "gui/glib.h"
#include "platform/core/dialogs.h"
#include "platform/core/files.h"
#include "platform/forms/application.h"
#include "platform/forms/extctrls.h"
#include "platform/menus/menus.h"
#include "platform/window/input.h"
#include "platform/window/native_host.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"
#include "song/softengine.h"
#include "song/song.h"
#include "song/subengine.h"
#include "song/timebase.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

using namespace platform;

namespace {

constexpr int TitleHeight = 18, CellSize = 16, CloseWidth = 18;
constexpr int RolledHeight = 22, RolledWidth = 128;
constexpr TColor LabelColor = 0x47B1F8;
constexpr TColor FaceColor = 0xC0C0C0, ShadowColor = 0x808080;
// Program names go through buffers larger than any plug-in should write.
constexpr int NameBufferBytes = 256;

// A panel whose window lies in a window of the window model rather than in a control.
class THostedPanel : public TPanel {
public:
    THostedPanel(HWND Host) : TPanel(nullptr), host_(Host) {}

protected:
    void CreateParams(TCreateParams& P) override {
        TPanel::CreateParams(P);
        if (!P.WndParent) P.WndParent = host_;
    }

private:
    HWND host_;
};

// The main window's pictures; none without it.
TBitmap* Picture(TBitmap TfmMdi::*Which) {
    return fmMdi ? &(fmMdi->*Which) : nullptr;
}

void Line(TCanvas& C, TColor Color, int X1, int Y1, int X2, int Y2) {
    C.Pen.Color = Color;
    C.MoveTo(X1, Y1);
    C.LineTo(X2, Y2);
}

void FillBlack(TCanvas& C, const TRect& R) {
    C.Brush.Style = bsSolid;
    C.Brush.Color = clBlack;
    C.FillRect(R);
}

// One line of text, vertically centred, on a transparent background.
void ItemText(TCanvas& C, const std::string& Text, TRect R, unsigned Align, TColor Color) {
    C.Brush.Style = bsClear;
    CanvasDrawText(C, Text, &R, Align | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX, Color);
    C.Brush.Style = bsSolid;
}

// A button of the page's scroll bar: silver, framed, a black arrow; the bare arrow in grey
// when there is nothing to scroll.
void ScrollButton(TCanvas& C, const TRect& R, int Direction, bool Active) {
    if (Active) {
        C.Brush.Style = bsSolid;
        C.Brush.Color = FaceColor;
        C.FillRect(R);
        DrawFrame3D(C, R, clWhite, ShadowColor);
    }
    DrawArrow(C, Active ? clBlack : ShadowColor, Direction, R, 0, 0);
}

// Shown in its parent, whether or not the window itself is shown now.
bool Shown(HWND H) {
    return IsWindow(H) && (GetWindowStyle(H) & WS_VISIBLE) != 0;
}

} // namespace

// ---- the window ----

TSoftsynthEditor::TSoftsynthEditor(HWND ParentWnd, int Width, int Height)
    : TNativeWin(ParentWnd, Width, Height), Menu(std::make_unique<TPopupMenu>()) {
    PluginPanel = CreateNativeHost(Handle, 2, 2 + TitleHeight, 1, 1);
    if (PluginPanel) ShowWindow(PluginPanel, SW_HIDE);
}

TSoftsynthEditor::~TSoftsynthEditor() {
    if (Gui) Gui->Captured = nullptr;
    delete Frame; // and the canvas with it
    Frame = nullptr;
    Gui = nullptr;
    roots_.clear();
    if (IsWindow(PluginPanel)) DestroyWindow(PluginPanel);
    if (IsWindow(wholeHost_)) DestroyWindow(wholeHost_);
    Menu.reset();
}

HWND TSoftsynthEditor::EditorParentWnd() {
    if (WithTitleBar) return PluginPanel;
    if (!IsWindow(wholeHost_)) {
        wholeHost_ =
            CreateNativeHost(Handle, 0, 0, std::max(GetWidth(), 1), std::max(GetHeight(), 1));
        if (wholeHost_) ShowWindow(wholeHost_, SW_HIDE);
    }
    return wholeHost_;
}

void TSoftsynthEditor::Show() {
    if (NeedsBuild) {
        NeedsBuild = false;
        Build();
    }
    TNativeWin::Show();
}

void TSoftsynthEditor::BuildFrame(int Height) {
    auto* frame = new THostedPanel(Handle);
    Frame = frame;
    frame->BevelOuter = bvNone;
    frame->BevelInner = bvNone;
    frame->Color = clBlack;
    frame->SetBounds(2, 2, GetWidth() - 4, Height);
    frame->Handle();
    Gui = new TXGui(frame);
    Gui->Parent = frame;
    Gui->SetBounds(0, 0, frame->GetWidth(), frame->GetHeight());
    Gui->HostWnd = frame->Handle();
    Gui->OnPaintCtrl = [this](TXGui*, TXGuiBase* Item, TCanvas& C, bool& Done) {
        PaintCtrl(Item, C, Done);
    };
    Gui->OnMouse = [this](TXGui*, TXGuiBase* Item, TMouseButton Button, TShiftState Shift, int, int,
                          int State) { MouseCtrl(Item, Button, Shift, State); };

    // The title bar: LED, program buttons with more than one program, the title, close.
    auto bar = std::make_unique<TXGuiScroll>(nullptr);
    TitleBar = bar.get();
    bar->Name = "titleBar";
    bar->SetBounds(0, 0, Gui->InnerWidth(), TitleHeight);
    bar->Scrollbar->Visible = false;
    auto cell = [&](const char* Name, int X) {
        auto* item = new TXGuiUser(bar.get());
        item->Name = Name;
        item->SetBounds(X, 1, CellSize, CellSize);
        bar->Add(item);
    };
    int x = 1;
    cell("Led", x);
    x += CellSize;
    if (Plugin && Plugin->NumPrograms() > 1) {
        cell("Prior", x);
        x += CellSize;
        cell("Next", x);
        x += CellSize;
    }
    DragItem = new TXGuiDrag(bar.get());
    DragItem->Name = "Drag";
    DragItem->Wnd = Handle;
    DragItem->SetBounds(x, 1, bar->W - 34, CellSize);
    bar->Add(DragItem);
    CloseItem = new TXGuiButton(bar.get());
    CloseItem->Name = "Close";
    CloseItem->Caption.clear();
    CloseItem->SetBounds(bar->W - 17, 1, CloseWidth, CellSize);
    bar->Add(CloseItem);
    Gui->Items.push_back(bar.get());
    roots_.push_back(std::move(bar));
}

void TSoftsynthEditor::Build() {
    TMFX* plug = Plugin;
    const bool ownEditor = plug && plug->HasEditor;
    if (!ownEditor) {
        // 1. The generic page: a fader for each parameter under the title bar.
        BuildFrame(GetHeight() - 4);
        auto page = std::make_unique<TXGuiScroll>(nullptr);
        ParamPage = page.get();
        page->Name = "Editor";
        page->SetBounds(0, TitleHeight, Gui->InnerWidth(), Gui->InnerHeight() - TitleHeight);
        Gui->Items.push_back(page.get());
        roots_.push_back(std::move(page));
        AddParamControls(ParamPage->W - 16, ParamPage);
        RefreshParams();
        BoundsChanged();
    } else if (plug->Kind == 1 || WithTitleBar) {
        // 2. The plug-in's own editor in the panel under the title bar.
        BuildFrame(TitleHeight);
        SetWindowPos(PluginPanel, 0, 2, 2 + TitleHeight, Frame->GetWidth(), 1,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        TEditorSize size;
        plug->ShowEditor(PluginPanel, size);
        SetWidth(size.Width + 4);
        SetHeight(size.Height + 4 + TitleHeight);
        ShowWindow(PluginPanel, SW_SHOWNA);
        BoundsChanged();
    } else {
        // 3. An own-interface editor alone: it fills the window, which has no frame of its own.
        Framed = false;
        TEditorSize size;
        plug->ShowEditor(0, size);
        SetWidth(size.Width);
        SetHeight(size.Height);
        const HWND host = EditorParentWnd();
        SetWindowPos(host, 0, 0, 0, size.Width, size.Height,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    }
    if (plug && plug->Kind == 1) {
        // 4. Bank and program files of VST plug-ins.
        TMenuItem* root = Menu->Items;
        root->Add(new TMenuItem("Open fxb...", [this](TMenuItem*) { OpenBankClick(); }));
        root->Add(new TMenuItem("Save fxb...", [this](TMenuItem*) { SaveBankClick(); }));
        root->Add(new TMenuItem("-"));
        root->Add(new TMenuItem("Open fxp...", [this](TMenuItem*) { OpenProgramClick(); }));
        root->Add(new TMenuItem("Save fxp...", [this](TMenuItem*) { SaveProgramClick(); }));
    }
}

void TSoftsynthEditor::BoundsChanged() {
    if (!Frame) {
        // A bare own-interface editor: its host keeps the window's size.
        if (IsWindow(wholeHost_) && Shown(wholeHost_))
            SetWindowPos(wholeHost_, 0, 0, 0, GetWidth(), GetHeight(),
                         SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    const int frameWidth = GetWidth() - 4;
    if (Shown(PluginPanel)) {
        Frame->SetBounds(2, 2, frameWidth, Frame->GetHeight());
        SetWindowPos(PluginPanel, 0, 2, 2 + Frame->GetHeight(), frameWidth,
                     std::max(GetHeight() - 4 - Frame->GetHeight(), 0),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    } else {
        Frame->SetBounds(2, 2, frameWidth, GetHeight() - 4);
    }
    Gui->SetBounds(0, 0, Frame->GetWidth(), Frame->GetHeight());
    TitleBar->W = Frame->GetWidth();
    CloseItem->X = TitleBar->W - CloseItem->W - 1;
    DragItem->W = CloseItem->X - DragItem->X - 2;
    if (ParamPage) {
        ParamPage->W = Frame->GetWidth();
        ParamPage->H = Frame->GetHeight() - TitleHeight;
        ParamPage->UpdateRange();
        for (TXGuiBase* item : ParamPage->Children)
            item->W = ParamPage->W - 16;
    }
    Gui->Invalidate();
}

void TSoftsynthEditor::UserMessage(WPARAM WParam) {
    if (WParam == 0) {
        RepaintItem(DragItem);
        RefreshParams();
    } else if (WParam == 1) {
        RepaintItem(TitleBar);
    }
}

void TSoftsynthEditor::AddParamControls(int Width, TXGuiScroll* Container) {
    if (!Plugin || !Container) return;
    for (int i = 0; i < Plugin->NumParams(); ++i) {
        auto* label = new TXGuiLabel(Container);
        label->Name = "FxLabel" + std::to_string(i);
        label->Tag = i;
        Plugin->GetParamName(i, label->Caption);
        label->SetBounds(0, 32 * i, Width, 16);
        Container->Add(label);
        auto* fader = new TXGuiFader(Container);
        fader->Name = "FxFader";
        fader->Min = 0;
        fader->Max = 100;
        fader->Tag = reinterpret_cast<std::intptr_t>(label);
        fader->SetBounds(0, 32 * i + 16, Width, 16);
        Container->Add(fader);
    }
}

void TSoftsynthEditor::RefreshParams() {
    if (!ParamPage || !Plugin || Plugin->HasEditor) return;
    for (TXGuiBase* item : ParamPage->Children)
        if (item->Name == "FxFader") {
            auto* label = reinterpret_cast<TXGuiBase*>(item->Tag);
            AsXGuiFader(item)->Pos =
                Round(Plugin->GetParameter(static_cast<int>(label->Tag)) * 100.0);
        }
    RepaintItem(ParamPage);
}

void TSoftsynthEditor::SetRolledUp(bool Value) {
    if (Value == RolledUp) return;
    if (Value) {
        SavedWidth = GetWidth();
        SavedHeight = GetHeight();
        TNativeWin::SetHeight(RolledHeight);
        if (GetWidth() > RolledWidth) TNativeWin::SetWidth(RolledWidth);
        RolledUp = true;
    } else {
        RolledUp = false;
        TNativeWin::SetWidth(SavedWidth);
        TNativeWin::SetHeight(SavedHeight);
    }
    BoundsChanged();
}

void TSoftsynthEditor::SetWidth(int W) {
    if (RolledUp)
        SavedWidth = W;
    else
        TNativeWin::SetWidth(W);
}

void TSoftsynthEditor::SetHeight(int H) {
    if (RolledUp)
        SavedHeight = H;
    else
        TNativeWin::SetHeight(H);
}

std::string TSoftsynthEditor::TitleText() const {
    std::string name;
    if (!Plugin) return name;
    Plugin->GetName(name);
    if (!Plugin->Loaded || Plugin->NumPrograms() <= 1) return name;
    char program[NameBufferBytes] = {};
    Plugin->Dispatch(effGetProgramName, 0, 0, program);
    program[NameBufferBytes - 1] = 0;
    const auto current = static_cast<long long>(Plugin->Dispatch(effGetProgram));
    char number[32];
    std::snprintf(number, sizeof number, "%.2lld", current + 1);
    return name + " - " + number + " " + program;
}

void TSoftsynthEditor::RepaintItem(TXGuiBase* Item) {
    if (Gui && Item) Gui->InvalidateControl(Item);
}

void TSoftsynthEditor::PaintCtrl(TXGuiBase* Item, TCanvas& C, bool& Done) {
    TRect r;
    Item->GetRect(r);
    const std::string& name = Item->Name;
    if (name == "titleBar" || name == "Editor") {
        FillBlack(C, r);
    } else if (name == "Drag") {
        DragItem->Caption = TitleText();
        ItemText(C, DragItem->Caption, {r.Left + 4, r.Top, r.Right, r.Bottom}, DT_LEFT, clWhite);
        Done = true;
    } else if (name == "Prior" || name == "Next") {
        FillBlack(C, r);
        DrawArrow(C, clWhite, name == "Prior" ? 3 : 4, r, 0, 0);
        Done = true;
    } else if (name == "Close") {
        const int o = Item->Pressed ? 1 : 0;
        const int cx = (r.Left + r.Right) / 2 + o, cy = (r.Top + r.Bottom) / 2 + o;
        Line(C, clWhite, cx - 5, cy - 2, cx + 5, cy - 2);
        Line(C, clWhite, cx - 3, cy, cx + 3, cy);
        Line(C, clWhite, cx - 1, cy + 2, cx + 1, cy + 2);
        Line(C, ShadowColor, r.Left, r.Top + 3, r.Left, r.Bottom - 3);
        Done = true;
    } else if (name == "Scrolly") {
        auto* bar = static_cast<TXGuiScrollbar2*>(Item);
        const bool thumb = bar->ThumbLength > 0;
        if (thumb) {
            const TRect t{r.Left, r.Top + bar->ThumbPos(), r.Right,
                          r.Top + bar->ThumbPos() + bar->ThumbLength};
            C.Brush.Style = bsSolid;
            C.Brush.Color = FaceColor;
            C.FillRect(t);
            DrawFrame3D(C, t, clWhite, ShadowColor);
        }
        ScrollButton(C, {r.Left, r.Top, r.Right, r.Top + bar->W}, 1, thumb);
        ScrollButton(C, {r.Left, r.Bottom - 16, r.Right, r.Bottom}, 2, thumb);
        Done = true;
    } else if (name == "FxFader") {
        auto* fader = AsXGuiFader(Item);
        TBitmap* knob = Picture(&TfmMdi::imgKnob);
        const int kw = knob ? knob->Width() : 23, kh = knob ? knob->Height() : 14;
        const int cy = (r.Top + r.Bottom) / 2;
        Line(C, clBlack, r.Left + kw / 2 - 2, cy, r.Right - (kw / 2 - 2), cy);
        const int span = fader->Max - fader->Min;
        const int x =
            r.Left + (span ? Round(double(fader->W - kw) * (fader->Pos - fader->Min) / span) : 0);
        if (knob) C.Draw(x, r.Top + (fader->H - kh) / 2, *knob);
        Done = true;
    } else if (name.rfind("FxLabel", 0) == 0) {
        ItemText(C, AsXGuiLabel(Item)->Caption, {r.Left + 4, r.Top, r.Right, r.Bottom}, DT_LEFT,
                 LabelColor);
        std::string value;
        if (Plugin) Plugin->GetParamDisplay(static_cast<int>(Item->Tag), value);
        ItemText(C, value, {r.Left, r.Top, r.Right - 4, r.Bottom}, DT_RIGHT, LabelColor);
        Done = true;
    } else if (name == "Led") {
        FillBlack(C, r);
        TBitmap* led = Picture(Plugin && Plugin->Enabled.load() == 1 ? &TfmMdi::imgLedOn2
                                                                     : &TfmMdi::imgLedOff2);
        if (led)
            C.Draw(r.Left + (Item->W - led->Width()) / 2, r.Top + (Item->H - led->Height()) / 2,
                   *led);
        Done = true;
    }
}

void TSoftsynthEditor::MouseCtrl(TXGuiBase* Item, TMouseButton Button, TShiftState Shift,
                                 int State) {
    if (!Item) return;
    const std::string& name = Item->Name;
    if (name == "Drag") {
        if (State == 1 && Button == mbLeft && (Shift & ssDouble)) {
            SetRolledUp(!RolledUp);
        } else if (State == 1 && Button == mbRight && Plugin && Plugin->Kind == 1) {
            TPoint p;
            GetCursorPos(&p);
            Menu->Popup(p.X, p.Y);
        }
    } else if ((name == "Prior" || name == "Next") && State == 1) {
        if (!Plugin || !Plugin->Loaded) return;
        const auto p = static_cast<int>(Plugin->Dispatch(effGetProgram));
        if (name == "Prior" && p > 0) SelectProgram(p - 1);
        if (name == "Next" && p + 1 < Plugin->NumPrograms()) SelectProgram(p + 1);
    } else if (name == "Close" && State == 2) {
        Hide();
    } else if (name == "FxFader") {
        auto* label = reinterpret_cast<TXGuiBase*>(Item->Tag);
        if (Plugin)
            Plugin->SetParameter(static_cast<int>(label->Tag), AsXGuiFader(Item)->Pos * 0.01);
        RepaintItem(label);
    } else if (name == "Led" && State == 1) {
        if (!Plugin) return;
        Plugin->Enabled = Plugin->Enabled.load() == 1 ? 0 : 1;
        RepaintItem(Item);
        if (NotifyWnd) PostMessage(NotifyWnd, WM_USER, 1, 0);
    }
}

void TSoftsynthEditor::SelectProgram(int P) {
    if (!Song || Song->State.load() == 0 || WithTitleBar) {
        Plugin->Dispatch(effSetProgram, 0, P);
        RefreshParams();
        RepaintItem(DragItem);
        RepaintItem(ParamPage);
    } else {
        // A softsynth while the song runs: its next block selects the program and tells us.
        Plugin->AddEvent(false, static_cast<std::uint32_t>(P));
    }
}

// ---- bank and program files ----

namespace {

TFileDialogRequest FileRequest(TFxFile Kind, bool Save) {
    TFileDialogRequest r;
    const bool bank = Kind == TFxFile::Bank;
    r.Filter = bank ? "Bank (*.fxb)|*.fxb" : "Program (*.fxp)|*.fxp";
    r.DefaultExt = bank ? "fxb" : "fxp";
    r.Title = std::string(Save ? "Save " : "Open ") + (bank ? "Bank" : "Program");
    return r;
}

void FileError(const std::string& Text) {
    Application->ShowException(std::make_exception_ptr(std::runtime_error(Text)));
}

} // namespace

void TSoftsynthEditor::LoadFile(TFxFile Kind) {
    TFileDialogRequest r = FileRequest(Kind, false);
    if (!GetOpenFileName(r)) return;
    std::string bytes, error;
    if (!ReadWholeFile(r.FileName, bytes, &error)) {
        FileError(error);
        return;
    }
    if (!Plugin) return;
    const TFxOutcome out = LoadFxFile(
        *Plugin, Kind, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    switch (out.Result) {
    case TFxResult::IdMismatch:
        MessageBox("Plugin id doesn't match id in file", "Open fxb", MB_OK | MB_ICONINFORMATION);
        if (Plugin->Effect && (Plugin->Effect->flags & effFlagsProgramChunks))
            MessageBox(std::to_string(out.FileId) + "\n" + std::to_string(out.PluginId), "Open fxb",
                       MB_OK | MB_ICONINFORMATION);
        break;
    case TFxResult::Refused:
        MessageBox("The file is damaged or incomplete: nothing was loaded", "Open fxb",
                   MB_OK | MB_ICONERROR);
        break;
    default:
        break;
    }
    if (out.Refresh) UserMessage(0);
}

void TSoftsynthEditor::SaveFile(TFxFile Kind) {
    TFileDialogRequest r = FileRequest(Kind, true);
    if (!GetSaveFileName(r)) return;
    std::vector<std::uint8_t> data;
    TFxOutcome out;
    if (Plugin) out = SaveFxFile(*Plugin, Kind, data);
    if (out.Refresh) UserMessage(0);
    if (out.Result == TFxResult::NoChunk) {
        MessageBox("The plug-in gave no data to save: no file was written", r.Title,
                   MB_OK | MB_ICONERROR);
        return;
    }
    std::string error;
    if (!SaveFileAtomic(r.FileName,
                        std::string_view(reinterpret_cast<const char*>(data.data()), data.size()),
                        &error))
        FileError(error);
}

void TSoftsynthEditor::OpenBankClick() {
    LoadFile(TFxFile::Bank);
}
void TSoftsynthEditor::SaveBankClick() {
    SaveFile(TFxFile::Bank);
}
void TSoftsynthEditor::OpenProgramClick() {
    LoadFile(TFxFile::Program);
}
void TSoftsynthEditor::SaveProgramClick() {
    SaveFile(TFxFile::Program);
}

// ---- plug-in panels ----

HWND TNativePluginPanels::CreatePanel(HWND Parent) {
    HWND panel = CreateNativeHost(Parent, 0, 0, 1, 1);
    if (panel) ShowWindow(panel, SW_HIDE);
    return panel;
}

void TNativePluginPanels::ShowPanel(HWND Panel, int Width, int Height) {
    if (!IsWindow(Panel)) return;
    SetWindowPos(Panel, HWND_TOP, 0, 0, std::max(Width, 0), std::max(Height, 0),
                 SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void TNativePluginPanels::FreePanel(HWND Panel) {
    if (IsWindow(Panel)) DestroyWindow(Panel);
}

std::uintptr_t TNativePluginPanels::NativeWindowId(HWND Wnd) {
    return platform::NativeWindowId(Wnd);
}

// ---- the editor windows of softsynths and bus effects ----

namespace {

class TEditorWindows : public TSoftsynthWindows {
public:
    TSoftsynthEditor* CreateEditor(TMFX* Plugin, bool WithTitleBar) override {
        auto* e = new TSoftsynthEditor(fmMdi ? fmMdi->Handle() : 0, 168, 201);
        e->Plugin = Plugin;
        e->WithTitleBar = WithTitleBar;
        return e;
    }
    HWND EditorHandle(TSoftsynthEditor* Editor) override { return Editor ? Editor->Handle : 0; }
    HWND EditorParent(TSoftsynthEditor* Editor) override {
        return Editor ? Editor->EditorParentWnd() : 0;
    }
    void HideEditor(TSoftsynthEditor* Editor) override {
        if (Editor) Editor->Hide();
    }
    void FreeEditor(TSoftsynthEditor* Editor) override { delete Editor; }
    TEditorPlacement Placement(TSoftItem& Item) override {
        TSoftsynthEditor* e = Item.Editor;
        if (!e) return Item.Placement;
        TEditorPlacement p;
        p.Left = e->GetLeft();
        p.Top = e->GetTop();
        p.Width = e->RolledUp ? e->SavedWidth : e->GetWidth();
        p.Height = e->RolledUp ? e->SavedHeight : e->GetHeight();
        p.RolledUp = e->RolledUp;
        p.Visible = IsWindowVisible(e->Handle);
        p.ShowAfterLoad = e->ShowAfterLoad;
        return p;
    }
    void SetPlacement(TSoftItem& Item, const TEditorPlacement& P) override {
        TSoftsynthEditor* e = Item.Editor;
        if (!e) {
            Item.Placement = P;
            return;
        }
        e->SetLeft(P.Left);
        e->SetTop(P.Top);
        e->SetRolledUp(P.RolledUp);
        e->SetWidth(P.Width);
        e->SetHeight(P.Height);
        e->ShowAfterLoad = P.ShowAfterLoad;
    }
    void ShowEditorWindow(TSoftItem& Item) override {
        if (Item.Editor) Item.Editor->Show();
    }
};

TNativePluginPanels nativePanels;
TEditorWindows editorWindows;

} // namespace

void InstallPluginWindows() {
    SetPluginPanels(&nativePanels);
    SetSoftsynthWindows(&editorWindows);
}
