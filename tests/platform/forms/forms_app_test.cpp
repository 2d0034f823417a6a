// Forms closing and freeing themselves, dialogs giving the focus back, key preview and menu
// shortcuts, alignment, and the application object's hooks.
#include "platform/forms/application.h"
#include "platform/forms/buttons.h"
#include "platform/forms/edit.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/hint.h"
#include "platform/forms/label.h"
#include "platform/gdi/syscolors.h"
#include "platform/window/focus.h"
#include "platform/window/modal.h"
#include "support/gui_harness.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace platform;

class AppTest : public ::testing::Test {
protected:
    testsupport::GuiHarness gui;
    std::vector<std::string> log;
    TNotifyEvent Note(std::string what) {
        return [this, what](TObject*) { log.push_back(what); };
    }
    void TearDown() override {
        Application->OnMinimize = Application->OnRestore = nullptr;
        Application->HelpFile.clear();
        Application->ResetTerminated();
        TForm::SetShortCutHandler(nullptr);
    }
};

TForm* fmClosing = nullptr;

TEST_F(AppTest, CloseActionsAndRelease) {
    struct Case {
        TCloseAction action;
        bool canClose;
        bool visibleAfter;
        bool freed;
    };
    const Case cases[] = {
        {caHide, true, false, false},    {caNone, true, true, false}, {caHide, false, true, false},
        {caMinimize, true, true, false}, {caFree, true, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.action) * 10 + c.canClose);
        log.clear();
        Application->CreateForm(fmClosing);
        TForm* f = fmClosing;
        Application->MainForm = nullptr;
        f->OnCloseQuery = [&](TObject*, bool& can) {
            log.push_back("query");
            can = c.canClose;
        };
        f->OnClose = [&](TObject*, TCloseAction& a) {
            log.push_back("close");
            a = c.action;
        };
        f->OnDestroy = Note("destroy");
        f->Show();
        f->Close();
        // Freed only once the handler that asked has returned.
        EXPECT_EQ(fmClosing, f);
        gui.Pump();
        std::vector<std::string> expected = {"query"};
        if (c.canClose) expected.push_back("close");
        if (c.freed) expected.push_back("destroy");
        EXPECT_EQ(log, expected);
        EXPECT_EQ(fmClosing == nullptr, c.freed);
        if (!c.freed) {
            EXPECT_EQ(f->Visible(), c.visibleAfter);
            EXPECT_EQ(f->WindowState() == wsMinimized, c.action == caMinimize && c.canClose);
            f->Free();
            EXPECT_EQ(fmClosing, nullptr);
        }
    }
}

TEST_F(AppTest, ClosingTheMainFormTerminates) {
    TForm* main = nullptr;
    Application->CreateForm(main);
    EXPECT_EQ(Application->MainForm, main);
    main->Show();
    main->Close();
    EXPECT_TRUE(Application->Terminated());
    main->Free();
    EXPECT_EQ(Application->MainForm, nullptr);
}

TEST_F(AppTest, DialogClosingLeavesItsControlAndGivesTheFocusBack) {
    auto* owner = new TForm(nullptr);
    auto* field = new TEdit(owner);
    field->Parent = owner;
    field->OnEnter = Note("enter field");
    field->OnExit = Note("exit field");
    owner->Show();
    EXPECT_TRUE(field->Focused());
    auto* dlg = new TForm(nullptr);
    dlg->Caption = "Dialog";
    auto* value = new TEdit(dlg);
    value->Parent = dlg;
    value->OnEnter = Note("enter value");
    value->OnExit = Note("exit value");
    dlg->OnShow = Note("show");
    dlg->OnActivate = Note("activate");
    gui.OnModal("Dialog", [&](HWND) {
        EXPECT_TRUE(value->Focused());
        EXPECT_FALSE(IsWindowEnabled(owner->Handle())) << "the owner waits";
        gui.Type("5");
        gui.Key(VK_ESCAPE); // no cancel button: the form's key
        dlg->ModalResult = mrOk;
    });
    EXPECT_EQ(dlg->ShowModal(), mrOk);
    EXPECT_EQ(value->Text(), "5");
    EXPECT_TRUE(field->Focused());
    EXPECT_EQ(log, (std::vector<std::string>{"enter field", "show", "activate", "enter value",
                                             "exit value"}));
    dlg->Free();
    owner->Free();
}

TEST_F(AppTest, ReleaseInsideAModalFormWaitsForTheLoop) {
    TForm* dlg = nullptr;
    Application->CreateForm(dlg);
    Application->MainForm = nullptr;
    dlg->Caption = "Going";
    TForm** ref = &dlg;
    gui.OnModal("Going", [&](HWND) {
        dlg->Release();
        gui.Pump();
        EXPECT_NE(*ref, nullptr);
        dlg->ModalResult = mrCancel;
    });
    EXPECT_EQ(dlg->ShowModal(), mrCancel);
    gui.Pump();
    EXPECT_EQ(dlg, nullptr);
}

TEST_F(AppTest, ShortcutsThenKeyPreviewThenTheControl) {
    auto* form = new TForm(nullptr);
    auto* e = new TEdit(form);
    e->Parent = form;
    form->KeyPreview = true;
    form->OnKeyDown = [&](TObject*, std::uint16_t& k, TShiftState) {
        log.push_back("preview " + std::to_string(k));
        if (k == VK_F2) k = 0;
    };
    form->OnKeyPress = [&](TObject*, char32_t& k) {
        if (k == 'a') k = 'b';
        if (k == 'z') k = 0;
    };
    e->OnKeyDown = [&](TObject*, std::uint16_t& k, TShiftState) {
        log.push_back("edit " + std::to_string(k));
    };
    TForm::SetShortCutHandler([&](TForm* f, std::uint16_t k, TShiftState s) {
        EXPECT_EQ(f, form);
        if (k == 'S' && s == ssCtrl) {
            log.push_back("shortcut");
            return true;
        }
        return false;
    });
    form->Show();
    gui.Chord({VK_CONTROL, 'S'});
    gui.Key(VK_F2);
    gui.Key(VK_F3);
    EXPECT_EQ(log, (std::vector<std::string>{"preview 17", "edit 17", "shortcut", "preview 113",
                                             "preview 114", "edit 114"}));
    gui.Type("azc");
    EXPECT_EQ(e->Text(), "bc");
    form->Free();
}

// MDI children are forms of their own: each previews its keys, and one that clears its focused
// control while it is the active child takes the keyboard from whichever field had it (also a
// field of another child), also in its activation handler when it is first shown.
TEST_F(AppTest, AnMdiChildPreviewsItsKeysAndClearingItsFocusTakesTheKeyboard) {
    TForm* frame = nullptr;
    Application->CreateForm(frame);
    frame->FormStyle = fsMDIForm;
    frame->Show();
    auto child = [&](const char* Caption) {
        auto* f = new TForm(Application);
        f->FormStyle = fsMDIChild;
        f->Caption = Caption;
        auto* e = new TEdit(f);
        e->Parent = f;
        return std::pair{f, e};
    };
    auto [first, firstField] = child("First");
    first->KeyPreview = true;
    first->OnKeyDown = [&](TObject*, std::uint16_t& k, TShiftState) {
        log.push_back("first " + std::to_string(k));
    };
    first->Show();
    EXPECT_TRUE(firstField->Focused());
    gui.Key(VK_F3);
    gui.Type("7");
    EXPECT_EQ(log, (std::vector<std::string>{"first 114", "first 55"}));
    EXPECT_EQ(firstField->Text(), "7");

    // Activated, the second child clears its focused control: nothing of it keeps the keyboard.
    auto [second, secondField] = child("Second");
    second->OnActivate = [s = second](TObject*) { s->ActiveControl = nullptr; };
    second->Show();
    EXPECT_EQ(frame->ActiveMDIChild(), second);
    EXPECT_EQ(GetFocus(), second->Handle());
    EXPECT_FALSE(secondField->Focused());
    gui.Type("8");
    EXPECT_EQ(secondField->Text(), "");
    EXPECT_EQ(firstField->Text(), "7");

    // The first child's field takes the focus back; the second, active again, clears it.
    second->OnActivate = nullptr;
    firstField->SetFocus();
    EXPECT_EQ(frame->ActiveMDIChild(), first);
    MdiActivate(second->Handle());
    EXPECT_TRUE(firstField->Focused()) << "activation alone moves no focus";
    second->ActiveControl = nullptr;
    EXPECT_EQ(GetFocus(), second->Handle());
    gui.Type("9");
    EXPECT_EQ(firstField->Text(), "7");

    // A form that is not active leaves the focus where it is.
    firstField->SetFocus();
    second->ActiveControl = nullptr;
    EXPECT_TRUE(firstField->Focused());
    second->Free();
    first->Free();
    frame->Free();
}

TEST_F(AppTest, AlignmentWaitsWhileDisabled) {
    auto* form = new TForm(nullptr);
    form->ClientWidth = 200;
    form->ClientHeight = 100;
    auto* a = new TPanel(form);
    a->Parent = form;
    auto* b = new TPanel(form);
    b->Parent = form;
    form->DisableAlign();
    a->Height = 30;
    a->Align = alBottom;
    b->Width = 50;
    b->Align = alRight;
    EXPECT_EQ(a->Width(), 185) << "nothing moves yet";
    form->EnableAlign();
    EXPECT_EQ(a->BoundsRect(), (TRect{0, 70, 200, 100}));
    EXPECT_EQ(b->BoundsRect(), (TRect{150, 0, 200, 70}));
    a->Visible = false;
    EXPECT_EQ(b->BoundsRect(), (TRect{150, 0, 200, 100}));
    form->Free();
}

TEST_F(AppTest, HelpShellAndLaunchGoThroughTheirHooks) {
    std::vector<THelpRequest> help;
    std::vector<std::string> opened;
    std::vector<std::vector<std::string>> launched;
    HelpHook oldHelp = SetHelpHook([&](const THelpRequest& r) {
        help.push_back(r);
        return true;
    });
    ShellOpenHook oldShell = SetShellOpenHook([&](const std::string& t) {
        opened.push_back(t);
        return true;
    });
    LaunchHook oldLaunch = SetLaunchHook([&](const std::vector<std::string>& argv) {
        launched.push_back(argv);
        return true;
    });
    EXPECT_FALSE(Application->HelpContext(10)) << "no help file";
    Application->HelpFile = "tolvern.hlp";
    EXPECT_TRUE(Application->HelpContext(10));
    EXPECT_TRUE(Application->HelpJump("Key editor"));
    ASSERT_EQ(help.size(), 2u);
    EXPECT_EQ(help[0].Command, "context");
    EXPECT_EQ(help[0].Context, 10);
    EXPECT_EQ(help[1].Command, "jump");
    EXPECT_EQ(help[1].Topic, "Key editor");
    EXPECT_EQ(help[1].File, "tolvern.hlp");
    EXPECT_TRUE(ShellOpen("mailto:someone@example.org"));
    EXPECT_EQ(opened, (std::vector<std::string>{"mailto:someone@example.org"}));
    EXPECT_TRUE(LaunchProgram({"editor", "/tmp/a b.wav"}));
    EXPECT_EQ(launched, (std::vector<std::vector<std::string>>{{"editor", "/tmp/a b.wav"}}));
    // Without a hook the help says it is not there.
    SetHelpHook(nullptr);
    gui.Dialogs().Answer(IDOK, "Help is not available");
    EXPECT_FALSE(Application->HelpContext(3));
    SetHelpHook(oldHelp);
    SetShellOpenHook(oldShell);
    SetLaunchHook(oldLaunch);
}

TEST_F(AppTest, MinimizeAndRestore) {
    TForm* main = nullptr;
    Application->CreateForm(main);
    main->Show();
    Application->OnMinimize = Note("minimize");
    Application->OnRestore = Note("restore");
    Application->Minimize();
    EXPECT_TRUE(IsIconic(main->Handle()));
    Application->Restore();
    EXPECT_FALSE(IsIconic(main->Handle()));
    // The window's own minimise button too.
    SendMessage(main->Handle(), WM_SYSCOMMAND, 0xF020, 0);
    ShowWindow(main->Handle(), SW_RESTORE);
    EXPECT_EQ(log, (std::vector<std::string>{"minimize", "restore", "minimize", "restore"}));
    main->Free();
}

} // namespace

namespace {

using namespace platform;

TEST(FormKinds, BorderStylesPositionStateAndMdi) {
    testsupport::GuiHarness gui(1000, 800);
    struct Kind {
        TFormBorderStyle border;
        DWORD style, exStyle;
    };
    const Kind kinds[] = {
        {bsNone, WS_POPUP, 0},
        {bsSingle, WS_CAPTION | WS_BORDER, 0},
        {bsSizeable, WS_THICKFRAME | WS_CAPTION, 0},
        {bsDialog, WS_CAPTION | WS_DLGFRAME, WS_EX_DLGMODALFRAME},
        {bsToolWindow, WS_CAPTION, WS_EX_TOOLWINDOW},
        {bsSizeToolWin, WS_THICKFRAME | WS_CAPTION, WS_EX_TOOLWINDOW},
    };
    for (const Kind& k : kinds) {
        SCOPED_TRACE(int(k.border));
        auto* f = new TForm(nullptr);
        auto* e = new TEdit(f);
        e->Parent = f;
        e->Text = "stays";
        f->BorderStyle = k.border;
        f->ClientWidth = 300;
        f->ClientHeight = 200;
        f->Position = poScreenCenter;
        f->Show();
        const HWND h = f->Handle();
        EXPECT_EQ(GetWindowStyle(h) & k.style, k.style);
        EXPECT_EQ(GetWindowLongPtr(h, GWL_EXSTYLE) & k.exStyle, LONG_PTR(k.exStyle));
        TRect c;
        GetClientRect(h, &c);
        EXPECT_EQ(c.Width(), 300);
        EXPECT_EQ(c.Height(), 200);
        EXPECT_EQ(f->Left() + f->Width() / 2, 500);
        EXPECT_EQ(e->Text(), "stays") << "controls live on through a new window";
        EXPECT_TRUE(e->Focused());
        f->Free();
    }

    auto* top = new TForm(nullptr);
    top->FormStyle = fsStayOnTop;
    top->Show();
    EXPECT_NE(GetWindowLongPtr(top->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    top->WindowState = wsMaximized;
    EXPECT_TRUE(IsZoomed(top->Handle()));
    EXPECT_EQ(top->WindowState(), wsMaximized);
    top->Free();

    TForm* frame = nullptr;
    Application->CreateForm(frame);
    frame->FormStyle = fsMDIForm;
    frame->Show();
    ASSERT_NE(frame->ClientHandle(), 0);
    auto* child = new TForm(Application);
    child->FormStyle = fsMDIChild;
    child->Caption = "Child";
    child->Show();
    EXPECT_EQ(GetParent(child->Handle()), frame->ClientHandle());
    EXPECT_EQ(frame->ActiveMDIChild(), child);
    // An MDI child closes to a minimised window.
    child->Close();
    EXPECT_TRUE(IsIconic(child->Handle()));
    child->Free();
    frame->Free();
    EXPECT_THROW(
        {
            TForm orphan(nullptr);
            orphan.FormStyle = fsMDIChild;
        },
        EInvalidOperation);
}

// MDI children draw the caption of the platform: the active child's in the active colours
// while its frame is active, and the buttons its border icons give, which act on a click; a
// minimised child stays in view as its caption along the foot of the client area; Ctrl+F4
// closes the active child, unless its form refuses.
TEST_F(AppTest, MdiChildCaptionsShowTheActiveChildAndTheirButtonsAct) {
    TForm* frame = nullptr;
    Application->CreateForm(frame);
    frame->FormStyle = fsMDIForm;
    frame->SetBounds(0, 0, 800, 600);
    frame->Show();
    auto child = [](const char* Caption, int Left, TCloseAction OnClosing) {
        auto* f = new TForm(Application);
        f->FormStyle = fsMDIChild;
        f->Caption = Caption;
        f->SetBounds(Left, 10, 300, 200);
        f->OnClose = [OnClosing](TObject*, TCloseAction& Action) { Action = OnClosing; };
        f->Show();
        return f;
    };
    TForm* stays = child("Stays", 10, caNone);
    TForm* goes = child("Goes", 350, caFree);
    goes->Reference = &goes;
    gui.Pump();
    ASSERT_EQ(frame->ActiveMDIChild(), goes);

    auto rgb = [](int index) {
        const std::uint32_t c = GetSysColor(index);
        return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
    };
    // The caption's fill at its right end, left of the buttons.
    auto captionColour = [&](TForm* f) {
        const Surface s = gui.Capture(f->Handle(), false);
        return s.Row(8)[s.width - 70] & 0xFFFFFFu;
    };
    EXPECT_EQ(captionColour(goes), rgb(COLOR_ACTIVECAPTION));
    EXPECT_EQ(captionColour(stays), rgb(COLOR_INACTIVECAPTION));
    gui.Click(gui.At(stays->Handle(), 100, 100));
    EXPECT_EQ(frame->ActiveMDIChild(), stays);
    EXPECT_EQ(captionColour(stays), rgb(COLOR_ACTIVECAPTION));
    EXPECT_EQ(captionColour(goes), rgb(COLOR_INACTIVECAPTION));
    gui.Click(gui.At(goes->Handle(), 100, 100));
    EXPECT_EQ(captionColour(goes), rgb(COLOR_ACTIVECAPTION));
    // Another window active: the active child's caption is drawn inactive with its frame's.
    auto* other = new TForm(nullptr);
    other->SetBounds(850, 0, 100, 100);
    other->Show();
    gui.Pump();
    EXPECT_EQ(captionColour(goes), rgb(COLOR_INACTIVECAPTION));
    other->Free();
    gui.Pump();
    EXPECT_EQ(captionColour(goes), rgb(COLOR_ACTIVECAPTION));

    // The buttons from the right in window coordinates: close, maximise, minimise.
    auto button = [](TForm* f, int fromRight) {
        TRect r;
        GetWindowRect(f->Handle(), &r);
        return TPoint{r.Right - 14 - 18 * fromRight - (fromRight ? 2 : 0), r.Top + 13};
    };
    auto hit = [](TForm* f, TPoint p) {
        return SendMessage(f->Handle(), WM_NCHITTEST, 0,
                           MAKELPARAM(std::uint16_t(p.X), std::uint16_t(p.Y)));
    };
    EXPECT_EQ(hit(goes, button(goes, 0)), HTCLOSE);
    EXPECT_EQ(hit(goes, button(goes, 1)), HTMAXBUTTON);
    EXPECT_EQ(hit(goes, button(goes, 2)), HTMINBUTTON);
    const TRect normal = goes->BoundsRect();
    gui.Click(button(goes, 2));
    EXPECT_EQ(goes->WindowState, wsMinimized);
    EXPECT_TRUE(IsWindowVisible(goes->Handle()));
    EXPECT_EQ(goes->Height, 27);
    EXPECT_EQ(goes->Top + goes->Height, frame->ClientHeight - 4); // the client area's edge
    EXPECT_EQ(hit(goes, button(goes, 2)), HTMINBUTTON);           // now: restore
    gui.Click(button(goes, 2));
    EXPECT_EQ(goes->WindowState, wsNormal);
    EXPECT_EQ(goes->BoundsRect(), normal);
    gui.Click(button(goes, 1));
    EXPECT_EQ(goes->WindowState, wsMaximized);
    // Minimised from maximised, it comes back maximised.
    gui.Click(button(goes, 2));
    EXPECT_EQ(goes->WindowState, wsMinimized);
    gui.Click(button(goes, 2));
    EXPECT_EQ(goes->WindowState, wsMaximized);
    gui.Click(button(goes, 1));
    EXPECT_EQ(goes->WindowState, wsNormal);
    EXPECT_EQ(goes->BoundsRect(), normal);
    // A press on a button and the release away from it does nothing.
    gui.Press(button(goes, 0));
    gui.Release(gui.At(goes->Handle(), 50, 50));
    EXPECT_NE(goes, nullptr);

    // The close button and Ctrl+F4 ask the form: the one refuses, the other goes.
    gui.Click(button(stays, 0));
    gui.Chord({VK_CONTROL, VK_F4});
    EXPECT_TRUE(stays->Visible);
    EXPECT_EQ(stays->WindowState, wsNormal);
    EXPECT_EQ(frame->ActiveMDIChild(), stays);
    goes->Show();
    EXPECT_EQ(frame->ActiveMDIChild(), goes);
    gui.Chord({VK_CONTROL, VK_F4});
    gui.Pump();
    EXPECT_EQ(goes, nullptr);
    EXPECT_EQ(frame->ActiveMDIChild(), stays);

    // Without a system menu, no buttons; without maximise, the close and minimise buttons.
    stays->BorderIcons = biSystemMenu | biMinimize;
    EXPECT_EQ(hit(stays, button(stays, 0)), HTCLOSE);
    EXPECT_EQ(hit(stays, button(stays, 1)), HTMINBUTTON);
    stays->BorderIcons = biMinimize;
    EXPECT_EQ(hit(stays, button(stays, 0)), HTCAPTION);
    stays->Free();
    frame->Free();
}

} // namespace

namespace {

using namespace platform;

TEST(Hints, ShowAfterThePauseWithTheirLinesAndGoOnAPress) {
    testsupport::GuiHarness gui;
    auto* form = new TForm(nullptr);
    form->SetBounds(100, 100, 300, 200);
    form->ShowHint = true;
    auto* panel = new TPanel(form);
    panel->Parent = form;
    panel->SetBounds(0, 0, 150, 100);
    panel->Hint = "Click to select MIDI channel\rUse channel Off for none channel-mapping";
    auto* label = new TLabel(form);
    label->Parent = form;
    label->SetBounds(200, 20, 50, 13);
    label->Caption = "Tip";
    label->Hint = "Label hint";
    auto* quiet = new TPanel(form);
    quiet->Parent = form;
    quiet->SetBounds(0, 110, 100, 50);
    quiet->Hint = "never";
    quiet->ShowHint = false;
    form->Show();
    const HWND h = form->Handle();

    gui.MoveTo(gui.At(h, 20, 20));
    gui.Advance(400);
    EXPECT_EQ(CurrentHint(), "");
    gui.Advance(200);
    EXPECT_EQ(CurrentHint(), panel->Hint);
    HWND tip = 0;
    for (HWND t : TopLevelWindows())
        if (GetClassName(t) == "THintWindow") tip = t;
    ASSERT_TRUE(IsWindowVisible(tip));
    TRect r;
    GetClientRect(tip, &r);
    EXPECT_GT(r.Height(), 2 * 11) << "two lines";
    EXPECT_EQ(gui.Pixel(tip, r.Width() - 2, 1), 0xFFFFE1u) << "the info colour";
    gui.Press(gui.At(h, 20, 20));
    EXPECT_EQ(CurrentHint(), "");
    gui.Release(gui.At(h, 20, 20));

    // A windowless control's hint, and the hint going after its time.
    gui.MoveTo(gui.At(h, 210, 25));
    gui.Advance(600);
    EXPECT_EQ(CurrentHint(), "Label hint");
    gui.Advance(3000);
    EXPECT_EQ(CurrentHint(), "");

    gui.MoveTo(gui.At(h, 20, 130));
    gui.Advance(1000);
    EXPECT_EQ(CurrentHint(), "") << "ShowHint off";
    form->Free();
}

// Modal forms opened from modal forms by a click, all made before the first one shows (as a
// program makes its dialogs at start-up): each takes the mouse while it shows, and closing it
// gives the input back to the one below, down to the main window.
TEST_F(AppTest, NestedModalFormsTakeInputAndGiveItBack) {
    struct Dialog {
        TForm* form;
        TButton *ok, *cancel;
        TLabel* next;
    };
    for (int depth : {2, 3})
        for (TModalResult closing : {mrOk, mrCancel}) {
            SCOPED_TRACE(testing::Message()
                         << depth << " forms, closed by " << (closing == mrOk ? "OK" : "Cancel"));
            auto* main = new TForm(nullptr);
            main->Caption = "Main";
            main->SetBounds(0, 0, 600, 500);
            std::vector<Dialog> dialogs;
            for (int i = 0; i < depth; ++i) {
                Dialog d{new TForm(nullptr), nullptr, nullptr, nullptr};
                d.form->Caption = "Dialog " + std::to_string(i);
                d.form->SetBounds(40 + 60 * i, 40 + 60 * i, 300, 200);
                d.ok = new TButton(d.form);
                d.ok->Parent = d.form;
                d.ok->SetBounds(10, 140, 75, 25);
                d.ok->Caption = "&OK";
                d.ok->ModalResult = mrOk;
                d.cancel = new TButton(d.form);
                d.cancel->Parent = d.form;
                d.cancel->SetBounds(100, 140, 75, 25);
                d.cancel->Caption = "&Cancel";
                d.cancel->ModalResult = mrCancel;
                d.next = new TLabel(d.form);
                d.next->Parent = d.form;
                d.next->SetBounds(10, 10, 60, 16);
                d.next->Caption = "Browse";
                dialogs.push_back(d);
            }
            main->Show();
            gui.Pump();
            std::vector<TModalResult> results(std::size_t(depth), mrNone);
            for (int i = 0; i < depth; ++i) {
                Dialog& d = dialogs[std::size_t(i)];
                const bool innermost = i == depth - 1;
                if (!innermost)
                    d.next->OnClick = [&, i](TObject*) {
                        results[std::size_t(i + 1)] = dialogs[std::size_t(i + 1)].form->ShowModal();
                    };
                gui.OnModal(d.form->Caption, [&, i, innermost](HWND) {
                    EXPECT_EQ(ModalLevel(), i + 1);
                    EXPECT_TRUE(IsWindowEnabled(d.form->Handle()));
                    EXPECT_EQ(GetActiveWindow(), d.form->Handle());
                    EXPECT_FALSE(IsWindowEnabled(main->Handle()));
                    for (int o = 0; o < i; ++o)
                        EXPECT_FALSE(IsWindowEnabled(dialogs[std::size_t(o)].form->Handle()));
                    if (!innermost) {
                        gui.Click(gui.At(d.form->Handle(), 20, 15));
                        // Back from the one above: this form has the input again.
                        EXPECT_EQ(results[std::size_t(i + 1)], closing);
                        EXPECT_TRUE(IsWindowEnabled(d.form->Handle()));
                        EXPECT_EQ(GetActiveWindow(), d.form->Handle());
                    }
                    TButton* b = closing == mrOk ? d.ok : d.cancel;
                    gui.Click(gui.At(b->Handle(), 10, 10));
                });
            }
            results[0] = dialogs[0].form->ShowModal();
            gui.Pump();
            EXPECT_EQ(results, std::vector<TModalResult>(std::size_t(depth), closing));
            EXPECT_EQ(ModalLevel(), 0);
            for (const Dialog& d : dialogs) {
                EXPECT_FALSE(d.form->Visible);
                EXPECT_TRUE(IsWindowEnabled(d.form->Handle()));
            }
            EXPECT_TRUE(IsWindowEnabled(main->Handle()));
            EXPECT_EQ(GetActiveWindow(), main->Handle());
            for (const Dialog& d : dialogs)
                d.form->Free();
            main->Free();
        }
}

} // namespace
