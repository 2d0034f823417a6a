// Forms closing and freeing themselves, dialogs giving the focus back, key preview and menu
// shortcuts, alignment, and the application object's hooks.
#include "platform/forms/application.h"
#include "platform/forms/edit.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/focus.h"
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
