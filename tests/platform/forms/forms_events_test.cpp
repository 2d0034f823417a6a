// Events raised by changes made in code, as the framework raises them, and by user actions on
// the painted controls.
#include "platform/forms/application.h"
#include "platform/forms/buttons.h"
#include "platform/forms/edit.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/label.h"
#include "support/gui_harness.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using namespace platform;

struct Controls {
    TForm* form;
    TEdit* edit;
    TLabel* label;
    TSpeedButton* speed;
    TButton* button;
    TPanel* panel;
};

TEST(FormsEvents, CodeChangesRaiseExactlyTheFrameworksEvents) {
    testsupport::GuiHarness gui;
    struct Row {
        const char* change;
        std::function<void(Controls&)> act;
        std::vector<std::string> events;
    };
    const std::vector<Row> rows = {
        {"edit text", [](Controls& c) { c.edit->Text = "new"; }, {"edit change"}},
        {"edit same text", [](Controls& c) { c.edit->Text = "old"; }, {}},
        {"edit cleared", [](Controls& c) { c.edit->Clear(); }, {"edit change"}},
        {"edit select all", [](Controls& c) { c.edit->SelectAll(); }, {}},
        {"edit max length", [](Controls& c) { c.edit->MaxLength = 2; }, {}},
        {"label caption", [](Controls& c) { c.label->Caption = "x"; }, {}},
        {"speed button down", [](Controls& c) { c.speed->Down = true; }, {}},
        {"button caption", [](Controls& c) { c.button->Caption = "&OK"; }, {}},
        {"panel caption and colour",
         [](Controls& c) {
             c.panel->Caption = "p";
             c.panel->Color = clRed;
         },
         {}},
        {"button click in code", [](Controls& c) { c.button->Click(); }, {"button click"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.change);
        std::vector<std::string> log;
        auto note = [&log](std::string s) { return [&log, s](TObject*) { log.push_back(s); }; };
        Controls c;
        c.form = new TForm(nullptr);
        c.edit = new TEdit(c.form);
        c.edit->Parent = c.form;
        c.edit->Text = "old";
        c.label = new TLabel(c.form);
        c.label->Parent = c.form;
        c.speed = new TSpeedButton(c.form);
        c.speed->Parent = c.form;
        c.speed->GroupIndex = 1;
        c.button = new TButton(c.form);
        c.button->Parent = c.form;
        c.panel = new TPanel(c.form);
        c.panel->Parent = c.form;
        c.form->Show();
        c.edit->OnChange = note("edit change");
        c.label->OnClick = note("label click");
        c.speed->OnClick = note("speed click");
        c.button->OnClick = note("button click");
        c.panel->OnClick = note("panel click");
        c.form->OnResize = note("form resize");
        row.act(c);
        gui.Pump();
        EXPECT_EQ(log, row.events);
        c.form->Free();
    }
}

class ButtonsTest : public ::testing::Test {
protected:
    testsupport::GuiHarness gui;
    TForm* form = new TForm(nullptr);
    ~ButtonsTest() override { form->Free(); }
};

TEST_F(ButtonsTest, SpeedButtonGroupsKeepOneDown) {
    std::vector<TSpeedButton*> b;
    for (int i = 0; i < 3; ++i) {
        b.push_back(new TSpeedButton(form));
        b[i]->Parent = form;
        b[i]->SetBounds(10 + 30 * i, 10, 23, 22);
        b[i]->GroupIndex = 1;
    }
    auto* single = new TSpeedButton(form);
    single->Parent = form;
    single->SetBounds(10, 50, 23, 22);
    int clicks = 0;
    single->OnClick = [&](TObject*) { ++clicks; };
    form->Show();
    const HWND h = form->Handle();
    gui.Click(gui.At(h, 15, 15));
    EXPECT_TRUE(b[0]->Down());
    gui.Click(gui.At(h, 45, 15));
    EXPECT_FALSE(b[0]->Down());
    EXPECT_TRUE(b[1]->Down());
    gui.Click(gui.At(h, 45, 15));
    EXPECT_TRUE(b[1]->Down()) << "without AllowAllUp the down button stays down";
    b[2]->AllowAllUp = true;
    gui.Click(gui.At(h, 45, 15));
    EXPECT_FALSE(b[1]->Down()) << "AllowAllUp belongs to the whole group";
    b[2]->Down = true;
    EXPECT_FALSE(b[0]->Down() || b[1]->Down());
    gui.Click(gui.At(h, 15, 55));
    EXPECT_FALSE(single->Down());
    EXPECT_EQ(clicks, 1);
    // Pressed and released outside: no click.
    gui.Press(gui.At(h, 15, 55));
    gui.Release(gui.At(h, 200, 200));
    EXPECT_EQ(clicks, 1);
}

// An owner-drawn button as the program's dialogs make them.
class TOwnerButton : public TButton {
public:
    explicit TOwnerButton(TComponent* AOwner) : TButton(AOwner) { ownerDraw_ = true; }
    std::vector<UINT> states;
    std::vector<bool> styles;
    bool active = false;

protected:
    void SetButtonStyle(bool isDefault) override {
        styles.push_back(isDefault);
        if (isDefault != active) {
            active = isDefault;
            Invalidate();
        }
    }
    void DrawItem(const TDrawItemStruct& item) override {
        states.push_back(item.itemState);
        TCanvas c(item.hDC);
        c.Brush.Color = (item.itemState & ODS_SELECTED) ? clBlack : active ? clRed : clGreen;
        c.FillRect(item.rcItem);
    }
};

TEST_F(ButtonsTest, DefaultCancelAndOwnerDrawnStates) {
    auto* edit = new TEdit(form);
    edit->Parent = form;
    edit->SetBounds(10, 10, 80, 21);
    auto* ok = new TOwnerButton(form);
    ok->Parent = form;
    ok->SetBounds(10, 40, 75, 25);
    ok->Default = true;
    ok->ModalResult = mrOk;
    auto* cancel = new TOwnerButton(form);
    cancel->Parent = form;
    cancel->SetBounds(100, 40, 75, 25);
    cancel->Cancel = true;
    cancel->ModalResult = mrCancel;
    form->Caption = "Buttons";
    TModalResult results[3] = {};
    int run = 0;
    for (int i = 0; i < 3; ++i)
        gui.OnModal("Buttons", [&, i](HWND) {
            if (i == 0) {
                EXPECT_TRUE(edit->Focused());
                EXPECT_TRUE(ok->active)
                    << "the default button is active while an edit has the focus";
                EXPECT_EQ(gui.Pixel(ok->Handle(), 10, 10), 0xFF0000u);
                gui.Key(VK_RETURN);
            } else if (i == 1) {
                gui.Key(VK_ESCAPE);
            } else {
                // Tab to the cancel button: it becomes the active one; Enter clicks it.
                cancel->SetFocus();
                gui.Pump();
                EXPECT_FALSE(ok->active);
                EXPECT_TRUE(cancel->active);
                EXPECT_NE(cancel->states.back() & ODS_FOCUS, 0u);
                gui.Press(gui.At(ok->Handle(), 5, 5));
                EXPECT_NE(ok->states.back() & ODS_SELECTED, 0u);
                EXPECT_EQ(gui.Pixel(ok->Handle(), 10, 10), 0x000000u);
                gui.Release(gui.At(ok->Handle(), 5, 5));
            }
        });
    for (int i = 0; i < 3; ++i)
        results[run++] = form->ShowModal();
    EXPECT_EQ(results[0], mrOk);
    EXPECT_EQ(results[1], mrCancel);
    EXPECT_EQ(results[2], mrOk);
    ok->Enabled = false;
    form->Show();
    gui.Pump();
    EXPECT_NE(ok->states.back() & ODS_DISABLED, 0u);
}

TEST_F(ButtonsTest, SplitterResizesItsNeighbour) {
    form->SetBounds(0, 0, 400, 300);
    auto* left = new TPanel(form);
    left->Parent = form;
    left->Width = 100;
    left->Align = alLeft;
    auto* split = new TSplitter(form);
    split->Parent = form;
    split->Left = 200;
    split->Align = alLeft;
    auto* rest = new TPanel(form);
    rest->Parent = form;
    rest->Align = alClient;
    int moved = 0;
    split->OnMoved = [&](TObject*) { ++moved; };
    form->Show();
    EXPECT_EQ(split->Left(), 100);
    const HWND h = form->Handle();
    gui.Drag(gui.At(h, 101, 50), gui.At(h, 151, 50));
    EXPECT_EQ(left->Width(), 150);
    EXPECT_EQ(rest->Left(), 153);
    EXPECT_EQ(moved, 1);
    gui.Drag(gui.At(h, 151, 50), gui.At(h, 0, 50));
    EXPECT_EQ(left->Width(), split->MinSize);
}

} // namespace

namespace {

using namespace platform;

// Alt held down around a letter key and its character.
void Alt(testsupport::GuiHarness& gui, UINT vk, char32_t ch) {
    RouteKey(VK_MENU, true);
    RouteKey(vk, true);
    RouteChar(ch);
    RouteKey(vk, false);
    RouteKey(VK_MENU, false);
    gui.Pump();
}

TEST(Accelerators, AltAndTheMarkedLetterClicksOrFocuses) {
    testsupport::GuiHarness gui;
    auto* form = new TForm(nullptr);
    auto* edit = new TEdit(form);
    edit->Parent = form;
    auto* other = new TEdit(form);
    other->Parent = form;
    other->Top = 30;
    auto* label = new TLabel(form);
    label->Parent = form;
    label->Top = 60;
    label->Caption = "&Name";
    label->FocusControl = other;
    auto* apply = new TButton(form);
    apply->Parent = form;
    apply->Top = 80;
    apply->Caption = "&Apply";
    int clicks = 0;
    apply->OnClick = [&](TObject*) { ++clicks; };
    form->Show();
    auto alt = [&](UINT vk, char32_t ch) { Alt(gui, vk, ch); };
    alt('N', U'n');
    EXPECT_TRUE(other->Focused());
    alt('A', U'a');
    EXPECT_EQ(clicks, 1);
    alt('Q', U'q');
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(IsAccel('x', "E&xit"));
    EXPECT_FALSE(IsAccel('b', "A&&b"));
    form->Free();
}

TEST(Accelerators, ALabelForgetsItsFocusControlWhenTheControlIsFreed) {
    testsupport::GuiHarness gui;
    auto* form = new TForm(nullptr);
    auto* edit = new TEdit(form);
    edit->Parent = form;
    auto* panel = new TPanel(form);
    panel->Parent = form;
    panel->Top = 30;
    auto* inner = new TEdit(form); // freed with its parent
    inner->Parent = panel;
    auto* name = new TLabel(form);
    name->Parent = form;
    name->Caption = "&Name";
    name->FocusControl = panel;
    auto* size = new TLabel(form);
    size->Parent = form;
    size->Caption = "&Size";
    size->FocusControl = inner;
    auto* kept = new TLabel(form);
    kept->FocusControl = edit;
    form->ActiveControl = edit;
    form->Show();
    gui.Pump();

    delete panel;
    EXPECT_EQ(name->FocusControl, nullptr);
    EXPECT_EQ(size->FocusControl, nullptr);
    EXPECT_EQ(kept->FocusControl, edit);
    Alt(gui, 'N', U'n');
    Alt(gui, 'S', U's');
    EXPECT_TRUE(edit->Focused());
    form->Free();
}

} // namespace
