#pragma once
// The host form of an editor plug-in: a stay-on-top popup whose frame the plug-in chooses
// (WindowStyle), covered by a native host window that the plug-in's own window lives in. It
// asks the plug-in for its title each time it shows and tells it every new client size.

#include "devices/meditor.h"
#include "platform/forms/form.h"

class TfmEditor : public platform::TForm {
public:
    TfmEditor(platform::TComponent* AOwner, TMEditor& Editor);
    std::string_view ClassName() const override { return "TfmEditor"; }

    TMEditor& Editor;
    TMeInterface* Interface;
    // The native window the plug-in draws in, as large as the client area.
    platform::HWND Host = 0;

    // The X11 window behind Host, as the plug-in panels tell it; 0 where the display has none
    // (offscreen).
    std::uintptr_t HostId();

    platform::LRESULT WndProc(platform::UINT Msg, platform::WPARAM W, platform::LPARAM L) override;

protected:
    void CreateParams(TCreateParams& P) override;
    void DoShow() override;
    void DoHide() override;
    void Resize() override;
    void Activate() override;
};

// Installs the maker of host forms for the editor plug-in engine.
void InstallEditorForms();
// The host form of an editor plug-in; nil before its first open.
TfmEditor* EditorForm(const TMEditor& Editor);
