#include "devices/ui/editorform.h"

#include "devices/mfx.h"
#include "platform/window/native_host.h"

#include <cstring>

using namespace platform;

TfmEditor::TfmEditor(TComponent* AOwner, TMEditor& AEditor)
    : TForm(AOwner), Editor(AEditor), Interface(AEditor.Interface) {
    // Designed at 309 x 247; the plug-in's size replaces it before the first show.
    SetBounds(0, 0, 309, 247);
    Color = clSilver;
    BorderStyle = bsNone; // a popup; the plug-in's style bits add the frame
    FormStyle = fsStayOnTop;
    Host = CreateNativeHost(Handle(), 0, 0, GetClientWidth(), GetClientHeight());
}

void TfmEditor::CreateParams(TCreateParams& P) {
    TForm::CreateParams(P);
    const int style = Interface ? Interface->WindowStyle : 0;
    if (style & ME_STYLE_SIZEABLE) P.Style |= WS_THICKFRAME;
    if (style & ME_STYLE_CAPTION) P.Style |= WS_CAPTION;
    if (style & ME_STYLE_BORDER) P.Style |= WS_BORDER;
    if ((style & ME_STYLE_CAPTION) && (style & ME_STYLE_SYSMENU)) P.Style |= WS_SYSMENU;
}

std::uintptr_t TfmEditor::HostId() {
    return PluginPanels().NativeWindowId(Host);
}

void TfmEditor::DoShow() {
    char title[ME_TITLE_BYTES];
    std::memset(title, 0, sizeof title);
    Editor.Command(ME_TITLE, reinterpret_cast<std::intptr_t>(title), 0);
    Caption = std::string(title, strnlen(title, sizeof title));
    TForm::DoShow();
    Editor.FormVisible.store(true, std::memory_order_release);
}

void TfmEditor::DoHide() {
    Editor.FormVisible.store(false, std::memory_order_release);
    TForm::DoHide();
}

void TfmEditor::Resize() {
    if (Host) MoveWindow(Host, 0, 0, GetClientWidth(), GetClientHeight(), true);
    Editor.Command(ME_RESIZE, GetClientWidth(), GetClientHeight());
    TForm::Resize();
}

void TfmEditor::Activate() {
    BringToFront();
    TForm::Activate();
}

LRESULT TfmEditor::WndProc(UINT Msg, WPARAM W, LPARAM L) {
    if (Msg == WM_ERASEBKGND) return 1; // the plug-in's window covers the client
    // Hidden or shown by other means than the form's (the window layer, a minimised program):
    // the audio blocks follow the window itself.
    if (Msg == WM_SHOWWINDOW) Editor.FormVisible.store(W != 0, std::memory_order_release);
    return TForm::WndProc(Msg, W, L);
}

namespace {

class TEditorFormHolder : public TEditorHostForm {
public:
    explicit TEditorFormHolder(TMEditor& Editor) : form_(new TfmEditor(nullptr, Editor)) {}
    ~TEditorFormHolder() override { form_->Free(); }
    std::uintptr_t ParentId() override { return form_->HostId(); }
    void SetClientSize(int Width, int Height) override { form_->SetClientSize(Width, Height); }
    void ShowForm() override { form_->Show(); }
    bool FormVisible() override { return form_->Visible; }
    void BringToFront() override { form_->BringToFront(); }
    TfmEditor* Form() const { return form_; }

private:
    TfmEditor* form_;
};

std::unique_ptr<TEditorHostForm> MakeEditorForm(TMEditor& Editor) {
    return std::make_unique<TEditorFormHolder>(Editor);
}

} // namespace

TfmEditor* EditorForm(const TMEditor& Editor) {
    auto* holder = dynamic_cast<TEditorFormHolder*>(Editor.Form.get());
    return holder ? holder->Form() : nullptr;
}

void InstallEditorForms() {
    SetEditorFormFactory(MakeEditorForm);
}
