#pragma once
// Forms: top-level windows of the framework built in code, with their kinds (border, style,
// position, state), the focus among their controls, key preview, closing with its queries and
// actions, modal showing on the window model's modal loop, and Release.
//
// A form of the program is made on first use behind a global that is nil until then:
//   TfmGroove* fmGroove = nullptr;
//   if (!fmGroove) Application->CreateForm(fmGroove);   // nils it again when the form goes
//   fmGroove->ShowModal();

#include "platform/forms/controls.h"

namespace platform {

class TMenu;

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum TPosition { poDesigned, poScreenCenter };
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
enum TCloseAction { caNone, caHide, caFree, caMinimize };

// The buttons of a form's caption, a set of these bits: the system menu (with the close
// button), minimise, maximise/restore.
using TBorderIcons = unsigned;
inline constexpr TBorderIcons biSystemMenu = 1, biMinimize = 2, biMaximize = 4;

using TModalResult = int;
inline constexpr TModalResult mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4,
                              mrIgnore = 5, mrYes = 6, mrNo = 7, mrAll = 8;

using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;

// Sent to a form to free it once the current handler has returned (Release).
inline constexpr UINT CM_RELEASE = 0xB021;

class TForm : public TWinControl {
public:
    explicit TForm(TComponent* AOwner);
    ~TForm() override;

    std::string_view ClassName() const override { return "TForm"; }

    TFormBorderStyle GetBorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TFormBorderStyle v);
    TProperty<TForm, TFormBorderStyle, &TForm::GetBorderStyle, &TForm::SetBorderStyle> BorderStyle{
        this};
    TFormStyle GetFormStyle() const { return formStyle_; }
    void SetFormStyle(TFormStyle v);
    TProperty<TForm, TFormStyle, &TForm::GetFormStyle, &TForm::SetFormStyle> FormStyle{this};
    TBorderIcons GetBorderIcons() const { return borderIcons_; }
    void SetBorderIcons(TBorderIcons v);
    TProperty<TForm, TBorderIcons, &TForm::GetBorderIcons, &TForm::SetBorderIcons> BorderIcons{
        this};
    TPosition Position = poDesigned;
    TWindowState GetWindowState() const;
    void SetWindowState(TWindowState v);
    TProperty<TForm, TWindowState, &TForm::GetWindowState, &TForm::SetWindowState> WindowState{
        this};

    // The focused control of the form (it gets the focus when the form shows); may be nil.
    TWinControl* GetActiveControl() const { return activeControl_; }
    void SetActiveControl(TWinControl* c);
    TProperty<TForm, TWinControl*, &TForm::GetActiveControl, &TForm::SetActiveControl>
        ActiveControl{this};

    bool GetKeyPreview() const { return keyPreview_; }
    void SetKeyPreview(bool v);
    TProperty<TForm, bool, &TForm::GetKeyPreview, &TForm::SetKeyPreview> KeyPreview{this};

    TModalResult ModalResult = mrNone;

    // The main menu: the menu bar of the form, or, for an MDI child, merged into its frame's
    // bar while the child is active (menus_forms.cpp).
    TMainMenu* GetMenu() const { return menu_; }
    void SetMenu(TMainMenu* menu);
    TProperty<TForm, TMainMenu*, &TForm::GetMenu, &TForm::SetMenu> Menu{this};
    // A menu is being destroyed: forms showing it forget it.
    static void MenuGoing(TMenu* menu);

    // For an MDI frame: the client area that holds the children.
    HWND ClientHandle() const { return clientHandle_; }
    // For an MDI frame: its active child form, nullptr when none.
    TForm* ActiveMDIChild() const;

    TNotifyEvent OnCreate, OnShow, OnHide, OnActivate, OnDeactivate, OnDestroy, OnResize, OnPaint;
    TCloseEvent OnClose;
    TCloseQueryEvent OnCloseQuery;

    // OnCreate runs once: Application->CreateForm calls it after the constructor (a form made
    // with new gets it at its first showing); OnDestroy runs before the form is deleted by
    // Free, Release or its close action (delete alone runs it late, from ~TForm).
    void DoCreate();
    void DoDestroy();
    void Free();

    // Visible := True and brought to the front (activated).
    void Show();
    void Close();
    // Runs the form modally; returns its ModalResult (mrCancel when the application
    // terminates). The form is hidden afterwards.
    TModalResult ShowModal();
    bool Modal() const { return modal_; }
    // The form is being destroyed (OnDestroy ran or the destructor began): none of its
    // handlers, nor its controls' handlers, runs any more.
    bool Going() const { return destroyedEvent_ || Destroying(); }
    // Frees the form once the handler running now has returned.
    void Release();
    virtual bool CloseQuery();
    bool Active() const;

    // A key-down offered to the form's menus before its key preview; true when taken.
    virtual bool IsShortCut(std::uint16_t key, TShiftState shift);
    // How the menus match a form's shortcuts (its Menu and its controls' PopupMenus).
    using ShortCutHandler = std::function<bool(TForm* form, std::uint16_t key, TShiftState shift)>;
    static void SetShortCutHandler(ShortCutHandler handler);

    // The focus changes between controls of the form (windowed controls call these).
    void FocusControl(TWinControl* c);
    void FocusEntered(TWinControl* c);
    void ControlHidden(TWinControl* c);
    void ControlGoing(TControl* c);
    // Tells the router which buttons Enter and Escape click: the focused button or else the
    // Default one, and the Cancel one.
    void UpdateDialogButtons();
    // Alt and a character: the first visible, enabled control of the form whose accelerator
    // it is acts (DialogChar). True when one did.
    bool DialogCharToControls(char32_t ch);
    // Tells every control of the form where the focus went (FocusChanged).
    void BroadcastFocus(TWinControl* focused);

    // The place of the global that Application->CreateForm filled; nilled when the form goes.
    TForm** Reference = nullptr;

    void SetVisible(bool v) override;
    TPoint ClientOrigin() const override;
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override;
    // The canvas of the form, valid inside OnPaint.
    TCanvas& Canvas() { return canvas_; }

protected:
    void CreateParams(TCreateParams& params) override;
    void CreateWnd() override;
    void PaintWindow(HDC dc) override;
    void AlignControls(TRect& rect) override;
    virtual void Paint();
    virtual void DoShow();
    virtual void DoHide();
    virtual void DoClose(TCloseAction& action);
    virtual void Activate();
    virtual void Deactivate();
    virtual void Resize();

private:
    void UpdateStyles();
    void ApplyMenu(); // the window shows menu_ (after the window was made)
    void ExitChain(TWinControl* from, TControl* keep);
    void EnterChain(TWinControl* to, TControl* keep);
    void CloseModal();
    void PlaceOnShow();

    TMainMenu* menu_ = nullptr;
    TFormBorderStyle borderStyle_ = bsSizeable;
    TFormStyle formStyle_ = fsNormal;
    TBorderIcons borderIcons_ = biSystemMenu | biMinimize | biMaximize;
    TWindowState state_ = wsNormal;
    TWinControl* activeControl_ = nullptr;
    TWinControl* entered_ = nullptr; // the control whose OnEnter ran last without OnExit
    bool keyPreview_ = false;
    bool modal_ = false;
    bool shownOnce_ = false;
    bool releasing_ = false;
    bool createdEvent_ = false;
    bool destroyedEvent_ = false;
    bool releasePending_ = false;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    HWND clientHandle_ = 0;
    TCanvas canvas_;
};

} // namespace platform
