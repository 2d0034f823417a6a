#pragma once
// The plug-in editor window: the floating window that shows one plug-in instance, with the
// plug-in's own editor under a skinned title bar, its own editor alone, or a generic page of
// labelled faders, and the windows a plug-in's own editor lives in. GUI thread only.

#include "devices/fxbank.h"
#include "devices/mfx.h"
#include "gui/unativewnd.h"
#include "gui/xgui.h"

#include <memory>
#include <string>
#include <vector>

namespace platform {
class TPanel;
class TPopupMenu;
} // namespace platform

class TSoftsynthEditor : public TNativeWin {
public:
    // Hidden, owned by ParentWnd; the creator sets Plugin right after.
    TSoftsynthEditor(platform::HWND ParentWnd, int Width, int Height);
    ~TSoftsynthEditor() override;

    bool WithTitleBar = true;
    bool ShowAfterLoad = false;
    bool NeedsBuild = true;
    TMFX* Plugin = nullptr;
    TXGui* Gui = nullptr;
    platform::TPanel* Frame = nullptr;
    platform::HWND PluginPanel = 0; // a native host; hidden until an editor shows in it
    TXGuiScroll* TitleBar = nullptr;
    TXGuiDrag* DragItem = nullptr;
    TXGuiButton* CloseItem = nullptr;
    TXGuiScroll* ParamPage = nullptr;
    bool RolledUp = false;
    int SavedWidth = 0, SavedHeight = 0;
    platform::HWND NotifyWnd = 0;
    std::unique_ptr<platform::TPopupMenu> Menu;

    void Show() override;
    void BoundsChanged() override;
    void UserMessage(platform::WPARAM WParam) override;

    // A label and a fader for each parameter of Plugin, appended to Container, Width wide.
    void AddParamControls(int Width, TXGuiScroll* Container);
    // The page's faders from the plug-in's values (only for a plug-in without an editor).
    void RefreshParams();
    void SetRolledUp(bool Value);
    // While rolled up they only change the size kept for unrolling.
    void SetWidth(int W);
    void SetHeight(int H);

    // The window an own-interface plug-in builds its editor in when it is loaded: the panel
    // under the title bar, or (without it) a native host that fills the whole window.
    platform::HWND EditorParentWnd();

    // The title bar menu's bank and program files.
    void OpenBankClick();
    void SaveBankClick();
    void OpenProgramClick();
    void SaveProgramClick();

    // The title text as the "Drag" item shows it.
    std::string TitleText() const;

private:
    void Build();
    void BuildFrame(int Height);
    void PaintCtrl(TXGuiBase* Item, platform::TCanvas& Canvas, bool& Done);
    void MouseCtrl(TXGuiBase* Item, platform::TMouseButton Button, platform::TShiftState Shift,
                   int State);
    void SelectProgram(int P);
    void RepaintItem(TXGuiBase* Item);
    void LoadFile(TFxFile Kind);
    void SaveFile(TFxFile Kind);

    std::vector<std::unique_ptr<TXGuiBase>> roots_; // the canvas's root items
    platform::HWND wholeHost_ = 0;
};

// Plug-in panels as native hosts of the window layer: on an X11 display each has a window of
// the display that a plug-in's editor takes as its parent; elsewhere they have none.
class TNativePluginPanels : public TPluginPanels {
public:
    platform::HWND CreatePanel(platform::HWND Parent) override;
    void ShowPanel(platform::HWND Panel, int Width, int Height) override;
    void FreePanel(platform::HWND Panel) override;
    std::uintptr_t NativeWindowId(platform::HWND Wnd) override;
};

// Installs the real plug-in panels and editor windows (the main window's creation).
void InstallPluginWindows();
