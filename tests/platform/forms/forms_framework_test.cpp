// The form framework: forms built in code, focus and keys, closing, the application object.
#include "platform/core/dialogs.h"
#include "platform/core/sysutils.h"
#include "platform/core/timers.h"
#include "platform/forms/application.h"
#include "platform/forms/edit.h"
#include "platform/window/focus.h"
#include "platform/window/input.h"
#include "support/gui_harness.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace platform;

class FrameworkTest : public ::testing::Test {
protected:
    testsupport::GuiHarness gui;
    std::vector<std::string> log;

    void TearDown() override {
        Application->OnIdle = nullptr;
        Application->ResetTerminated();
    }

    TNotifyEvent Note(std::string what) {
        return [this, what](TObject*) { log.push_back(what); };
    }
};

TEST_F(FrameworkTest, KeysPassTheFilterAndTabMovesTheFocusWithEnterAndExit) {
    auto* form = new TForm(nullptr);
    form->Caption = "Keys";
    form->SetBounds(100, 100, 300, 200);
    auto* a = new TEdit(form);
    a->Name = "editA";
    a->Parent = form;
    a->SetBounds(8, 8, 100, 21);
    auto* b = new TEdit(form);
    b->Name = "editB";
    b->Parent = form;
    b->SetBounds(8, 40, 100, 21);
    a->OnEnter = Note("enter A");
    a->OnExit = Note("exit A");
    b->OnEnter = Note("enter B");
    b->OnExit = Note("exit B");
    // Digits only; 'x' becomes 'y' on the way in.
    a->OnKeyPress = [](TObject*, char32_t& k) {
        if (k == 'x')
            k = 'y';
        else if (k != 8 && k != 'y' && (k < '0' || k > '9'))
            k = 0;
    };
    form->Show();
    gui.Pump();
    EXPECT_EQ(form->ActiveControl(), a);
    EXPECT_TRUE(a->Focused());
    gui.Type("1a2x");
    EXPECT_EQ(a->Text(), "12y");
    gui.Type("\b");
    EXPECT_EQ(a->Text(), "12");
    gui.Key(VK_TAB);
    EXPECT_TRUE(b->Focused());
    gui.Type("ab");
    EXPECT_EQ(b->Text(), "ab") << "the tab character stays out";
    gui.Chord({VK_SHIFT, VK_TAB});
    EXPECT_TRUE(a->Focused());
    EXPECT_EQ(log, (std::vector<std::string>{"enter A", "exit A", "enter B", "exit B", "enter A"}));
    EXPECT_EQ(form->Find<TEdit>("EDITB"), b);
    EXPECT_EQ(std::string(FocusedControl()->ClassName()), "TEdit");
    form->Free();
}

TEST_F(FrameworkTest, KeyDownFilterDropsAKey) {
    auto* form = new TForm(nullptr);
    auto* e = new TEdit(form);
    e->Parent = form;
    e->Text = "abc";
    e->SelStart = 3;
    e->OnKeyDown = [](TObject*, std::uint16_t& k, TShiftState) {
        if (k == VK_LEFT) k = 0;
    };
    form->Show();
    gui.Key(VK_HOME);
    EXPECT_EQ(e->SelStart(), 0);
    gui.Key(VK_END);
    gui.Key(VK_LEFT);
    EXPECT_EQ(e->SelStart(), 3);
    form->Free();
}

TEST_F(FrameworkTest, ExceptionInAHandlerShowsItsMessageAndTheProgramGoesOn) {
    Application->Title = "Tolvern test";
    auto* form = new TForm(nullptr);
    auto* e = new TEdit(form);
    e->Parent = form;
    int after = 0;
    e->OnChange = [&](TObject*) {
        if (e->Text().empty()) return;
        StrToInt(e->Text());
        ++after;
    };
    form->Show();
    gui.Dialogs().Answer(IDOK, "'abc' is not a valid integer value");
    e->Text = "abc";
    auto boxes = gui.Dialogs().Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, "'abc' is not a valid integer value.");
    EXPECT_EQ(boxes[0].Caption, "Tolvern test");
    EXPECT_EQ(boxes[0].Icon, MB_ICONERROR);
    EXPECT_EQ(after, 0);
    EXPECT_EQ(e->Text(), "abc");
    e->Text = "";
    gui.Type("12");
    EXPECT_EQ(e->Text(), "12");
    EXPECT_EQ(after, 2) << "handlers run again after the error";
    form->Free();
}

TEST_F(FrameworkTest, ModalCloseQueryRefusesUntilAllowed) {
    auto* dlg = new TForm(nullptr);
    dlg->Caption = "Dialog";
    int queries = 0;
    bool visibleWhenRefused = false;
    TTimer retry;
    retry.Enabled = false;
    retry.Interval = 100;
    retry.OnTimer = [&] {
        retry.Enabled = false;
        dlg->ModalResult = mrOk;
    };
    dlg->OnCloseQuery = [&](TObject*, bool& can) {
        can = ++queries >= 2;
        if (!can) {
            visibleWhenRefused = dlg->Visible();
            retry.Enabled = true; // asks again later
        }
    };
    gui.OnModal("Dialog", [&](HWND) { dlg->ModalResult = mrCancel; });
    EXPECT_EQ(dlg->ShowModal(), mrOk);
    EXPECT_EQ(queries, 2);
    EXPECT_TRUE(visibleWhenRefused);
    EXPECT_FALSE(dlg->Visible());
    dlg->Free();
}

TEST_F(FrameworkTest, IdleRunsWhenTheQueueEmpties) {
    int idles = 0;
    Application->OnIdle = [&](TObject*, bool& done) {
        ++idles;
        done = true;
    };
    auto* form = new TForm(nullptr);
    form->Caption = "Idle";
    gui.OnModal("Idle", [&](HWND) { form->ModalResult = mrCancel; });
    form->ShowModal();
    EXPECT_GE(idles, 1);
    form->Free();
}

} // namespace

namespace {

TEST_F(FrameworkTest, AFocusedEditFreedOnItsOwnLeavesAFormThatStillWorks) {
    auto* form = new TForm(nullptr);
    form->SetBounds(100, 100, 300, 200);
    auto* a = new TEdit(form);
    a->Parent = form;
    a->SetBounds(8, 8, 100, 21);
    auto* b = new TEdit(form);
    b->Parent = form;
    b->SetBounds(8, 40, 100, 21);
    form->Show();
    gui.Pump();
    ASSERT_TRUE(a->Focused());
    delete a;
    gui.Pump();
    gui.Key(VK_TAB);
    gui.Type("ok");
    EXPECT_EQ(b->Text(), "ok");
    form->Hide();
    form->Show();
    gui.Pump();
    gui.Key(VK_TAB);
    EXPECT_TRUE(b->Focused());
    form->Free();
}

} // namespace
