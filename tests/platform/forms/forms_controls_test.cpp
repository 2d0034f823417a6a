// The standard controls: events raised by code changes, keys through the framework's filter,
// mouse and keys reaching the widgets, and the controls' state.
#include "platform/forms/application.h"
#include "platform/forms/checkbox.h"
#include "platform/forms/combobox.h"
#include "platform/forms/edit.h"
#include "platform/forms/filectrl.h"
#include "platform/forms/grid.h"
#include "platform/forms/header.h"
#include "platform/forms/listbox.h"
#include "platform/forms/memo.h"
#include "platform/forms/progressbar.h"
#include "platform/forms/scrollbar.h"
#include "platform/forms/statusbar.h"
#include "platform/forms/tabs.h"
#include "platform/forms/updown.h"
#include "platform/gdi/syscolors.h"
#include "support/gui_harness.h"
#include "support/temp_settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace platform;

class ControlsTest : public ::testing::Test {
protected:
    testsupport::GuiHarness gui;
    std::vector<std::string> log;
    TForm* form = nullptr;

    void SetUp() override {
        form = new TForm(nullptr);
        form->Caption = "Controls";
        form->SetBounds(50, 50, 400, 300);
    }
    void TearDown() override { form->Free(); }

    TNotifyEvent Note(std::string what) {
        return [this, what](TObject*) { log.push_back(what); };
    }
    template <class T> T* Make(int x, int y, int w, int h) {
        auto* c = new T(form);
        c->Parent = form;
        c->SetBounds(x, y, w, h);
        return c;
    }
    TPoint At(TWinControl* c, int x, int y) { return gui.At(c->Handle(), x, y); }
};

// Which changes made by code raise which events (and which raise none).
TEST_F(ControlsTest, CodeChangesRaiseTheFrameworksEvents) {
    auto* memo = Make<TMemo>(0, 0, 100, 60);
    auto* bar = Make<TScrollBar>(0, 70, 100, 16);
    auto* check = Make<TCheckBox>(0, 90, 100, 17);
    auto* radioA = Make<TRadioButton>(0, 110, 100, 17);
    auto* radioB = Make<TRadioButton>(0, 130, 100, 17);
    auto* group = Make<TRadioGroup>(120, 0, 120, 80);
    auto* combo = Make<TComboBox>(120, 90, 100, 21);
    auto* list = Make<TListBox>(120, 120, 100, 60);
    auto* edit = Make<TEdit>(250, 0, 100, 21);
    auto* grid = Make<TStringGrid>(250, 30, 140, 100);
    auto* updown = Make<TUpDown>(250, 140, 15, 21);
    auto* tabs = Make<TTabControl>(0, 160, 200, 100);
    tabs->OnChange = Note("tabs change");
    tabs->OnChanging = [this](TObject*, bool&) { log.push_back("tabs changing"); };
    tabs->Tabs.Add("MIDI");
    tabs->Tabs.Add("Audio");
    memo->OnChange = Note("memo change");
    bar->OnChange = Note("bar change");
    check->OnClick = Note("check click");
    radioA->OnClick = Note("radioA click");
    radioB->OnClick = Note("radioB click");
    group->OnClick = Note("group click");
    combo->OnChange = Note("combo change");
    combo->OnClick = Note("combo click");
    list->OnClick = Note("list click");
    edit->OnChange = Note("edit change");
    updown->OnClick = [this](TObject*, TUDBtnType) { log.push_back("updown click"); };
    grid->OnSelectCell = [this](TObject*, int, int, bool&) { log.push_back("grid select"); };
    group->Items.Add("one");
    group->Items.Add("two");
    for (const char* s : {"alpha", "beta", "gamma"}) {
        combo->Items.Add(s);
        list->Items.Add(s);
    }
    grid->ColCount = 3;
    grid->RowCount = 3;
    updown->Associate = edit;
    log.clear();

    struct Case {
        const char* what;
        std::function<void()> change;
        std::vector<std::string> events;
    };
    const Case cases[] = {
        {"memo lines added", [&] { memo->Lines.Add("120"); }, {"memo change"}},
        {"memo text set", [&] { memo->Text = "90\r\n100"; }, {"memo change"}},
        {"scroll bar position", [&] { bar->Position = 40; }, {"bar change"}},
        {"scroll bar same position", [&] { bar->Position = 40; }, {}},
        {"scroll bar range moves it", [&] { bar->Max = 20; }, {"bar change"}},
        {"scroll bar range keeps it", [&] { bar->Max = 50; }, {}},
        {"check box checked", [&] { check->Checked = true; }, {"check click"}},
        {"check box same", [&] { check->Checked = true; }, {}},
        {"check box unchecked", [&] { check->Checked = false; }, {"check click"}},
        {"radio checked", [&] { radioA->Checked = true; }, {"radioA click"}},
        {"other radio checked", [&] { radioB->Checked = true; }, {"radioB click"}},
        {"radio unchecked", [&] { radioB->Checked = false; }, {}},
        {"radio group index", [&] { group->ItemIndex = 1; }, {"group click"}},
        {"combo index", [&] { combo->ItemIndex = 2; }, {}},
        {"combo text", [&] { combo->Text = "delta"; }, {}},
        {"list index", [&] { list->ItemIndex = 1; }, {}},
        {"list selected", [&] { list->SetSelected(2, true); }, {}},
        {"edit text", [&] { edit->Text = "7"; }, {"edit change"}},
        {"up-down position", [&] { updown->Position = 5; }, {"edit change"}},
        {"grid cell", [&] { grid->SetCells(1, 1, "x"); }, {}},
        {"grid row", [&] { grid->Row = 2; }, {}},
        {"tab index", [&] { tabs->TabIndex = 1; }, {}},
    };
    for (const Case& c : cases) {
        log.clear();
        c.change();
        EXPECT_EQ(log, c.events) << c.what;
    }
    EXPECT_EQ(memo->Lines.Count(), 2);
    EXPECT_EQ(bar->Position(), 20);
    EXPECT_TRUE(radioA->Checked() == false);
    EXPECT_EQ(group->ItemIndex(), 1);
    EXPECT_TRUE(group->Buttons(1)->Checked());
    EXPECT_EQ(combo->ItemIndex(), 2);
    EXPECT_EQ(combo->Text(), "delta");
    EXPECT_EQ(list->ItemIndex(), 2);
    EXPECT_EQ(edit->Text(), "5");
    EXPECT_EQ(grid->Cells(1, 1), "x");
    EXPECT_EQ(tabs->TabIndex(), 1);
}

// A form with a list, a combo and an edit: keys through the filter, Tab through the controls
// with OnEnter and OnExit, the user's choices raising their events, the state read back.
TEST_F(ControlsTest, ScriptedFormWithAListAndACombo) {
    auto* edit = Make<TEdit>(8, 8, 100, 21);
    auto* list = Make<TListBox>(8, 40, 120, 80);
    auto* combo = Make<TComboBox>(8, 130, 120, 21);
    auto* pick = Make<TComboBox>(8, 160, 120, 21);
    pick->Style = csDropDownList;
    for (auto [c, n] : {std::pair<TWinControl*, const char*>{edit, "edit"},
                        {list, "list"},
                        {combo, "combo"},
                        {pick, "pick"}}) {
        c->OnEnter = Note(std::string("enter ") + n);
        c->OnExit = Note(std::string("exit ") + n);
    }
    TObject tag;
    list->Items.AddObject("Piano", &tag);
    list->Items.Add("Organ");
    list->Items.Add("Guitar");
    for (const char* s : {"Small", "Medium", "Large"}) {
        combo->Items.Add(s);
        pick->Items.Add(s);
    }
    list->OnClick = Note("list click");
    combo->OnChange = Note("combo change");
    pick->OnClick = Note("pick click");
    pick->OnChange = Note("pick change");
    // Upper case in the combo; digits dropped.
    combo->OnKeyPress = [](TObject*, char32_t& k) {
        if (k >= '0' && k <= '9') k = 0;
        if (k >= 'a' && k <= 'z') k -= 32;
    };
    form->Show();
    gui.Pump();
    ASSERT_TRUE(edit->Focused());

    gui.Key(VK_TAB);
    EXPECT_TRUE(list->Focused());
    gui.Key(VK_DOWN);
    EXPECT_EQ(list->ItemIndex(), 0) << "the first Down selects the first item";
    gui.Key(VK_DOWN);
    EXPECT_EQ(list->ItemIndex(), 1);
    gui.Click(At(list, 10, list->ItemRect(2).Top + 2));
    EXPECT_EQ(list->ItemIndex(), 2);
    EXPECT_EQ(list->Items.Objects(0), &tag);

    gui.Key(VK_TAB);
    EXPECT_TRUE(combo->Focused());
    gui.Type("ab1c");
    EXPECT_EQ(combo->Text(), "ABC");
    EXPECT_EQ(combo->ItemIndex(), -1);

    gui.Key(VK_TAB);
    EXPECT_TRUE(pick->Focused());
    gui.Key(VK_DOWN);
    EXPECT_EQ(pick->ItemIndex(), 0);
    gui.Type("l");
    EXPECT_EQ(pick->Text(), "Large");

    gui.Chord({VK_SHIFT, VK_TAB});
    EXPECT_TRUE(combo->Focused());
    EXPECT_EQ(log, (std::vector<std::string>{
                       "enter edit", "exit edit", "enter list", "list click", "list click",
                       "list click", "exit list", "enter combo", "combo change", "combo change",
                       "combo change", "exit combo", "enter pick", "pick click", "pick change",
                       "pick click", "pick change", "exit pick", "enter combo"}));
}

// The drop-down list: opened by the pointer or Alt+Down, chosen from by the pointer or the keys,
// closed by a press elsewhere or Escape without a change; it opens above the control where the
// screen ends below it.
TEST_F(ControlsTest, ComboDropDownListChoosesByPointerAndKeys) {
    auto* edit = Make<TEdit>(8, 8, 100, 21);
    auto* pick = Make<TComboBox>(8, 40, 120, 21);
    pick->Style = csDropDownList;
    for (int i = 0; i < 12; ++i)
        pick->Items.Add("Item " + std::to_string(i));
    pick->OnClick = Note("click");
    pick->OnChange = Note("change");
    edit->OnChange = Note("edit change");
    form->Show();
    gui.Pump();

    // The list's window and its row height (it shows DropDownCount rows and a 1-pixel frame).
    auto rowHeight = [](HWND list) {
        TRect r;
        GetClientRect(list, &r);
        return (r.Bottom - 2) / 8;
    };
    auto row = [&](HWND list, int i) { return gui.At(list, 10, 1 + i * rowHeight(list) + 3); };
    auto sysRgb = [](int index) {
        const COLORREF c = GetSysColor(index);
        return std::uint32_t((GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c));
    };

    TRect combo;
    GetWindowRect(pick->Handle(), &combo);
    gui.OnModal("combo list", [&](HWND list) {
        EXPECT_TRUE(pick->DroppedDown());
        EXPECT_TRUE(pick->Focused()); // the list never takes the focus
        TRect r;
        GetWindowRect(list, &r);
        EXPECT_EQ(r.Top, combo.Bottom);
        EXPECT_EQ(r.Left, combo.Left);
        EXPECT_EQ(r.Bottom - r.Top, 8 * rowHeight(list) + 2) << "eight rows of twelve items";
        gui.MoveTo(row(list, 1));
        gui.Pump();
        EXPECT_EQ(gui.Pixel(list, 60, 1 + rowHeight(list) + 1), sysRgb(COLOR_HIGHLIGHT));
        EXPECT_EQ(gui.Pixel(list, 60, 1 + 1), sysRgb(COLOR_WINDOW));
        gui.Click(row(list, 2));
    });
    gui.Click(At(pick, 30, 10));
    gui.Pump();
    EXPECT_EQ(pick->ItemIndex(), 2);
    EXPECT_EQ(pick->Text(), "Item 2");
    EXPECT_FALSE(pick->DroppedDown());
    EXPECT_EQ(log, (std::vector<std::string>{"click", "change"}));

    // A press outside closes the list and changes nothing; the press goes nowhere else.
    log.clear();
    gui.OnModal("combo list", [&](HWND) { gui.Click(At(edit, 5, 5)); });
    gui.Click(At(pick, 30, 10));
    gui.Pump();
    EXPECT_EQ(pick->ItemIndex(), 2);
    EXPECT_FALSE(pick->DroppedDown());
    EXPECT_TRUE(log.empty());

    // Keys: Alt+Down opens, arrows move from the chosen item, Enter takes it; Escape cancels.
    pick->SetFocus();
    gui.OnModal("combo list", [&](HWND) {
        gui.KeyUp(VK_DOWN); // the list opened while the chord was held
        gui.KeyUp(VK_MENU);
        gui.Key(VK_DOWN);
        gui.Key(VK_DOWN);
        gui.Key(VK_UP);
        gui.Key(VK_RETURN);
    });
    gui.KeyDown(VK_MENU);
    gui.KeyDown(VK_DOWN);
    gui.Pump();
    EXPECT_EQ(pick->ItemIndex(), 3);
    EXPECT_EQ(log, (std::vector<std::string>{"click", "change"}));
    log.clear();
    gui.OnModal("combo list", [&](HWND) {
        gui.Key(VK_DOWN);
        gui.Key(VK_ESCAPE);
    });
    gui.Key(VK_F4);
    gui.Pump();
    EXPECT_EQ(pick->ItemIndex(), 3);
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(pick->Focused());

    // Scrolled to the end, the first visible row is the fifth item.
    gui.OnModal("combo list", [&](HWND list) {
        gui.Key(VK_END);
        gui.Click(row(list, 0));
    });
    gui.Click(At(pick, 30, 10));
    gui.Pump();
    EXPECT_EQ(pick->ItemIndex(), 4);

    // Near the bottom of the screen the list opens above the control.
    form->Top = GetSystemMetrics(SM_CYSCREEN) - 100;
    gui.Pump();
    GetWindowRect(pick->Handle(), &combo);
    gui.OnModal("combo list", [&](HWND list) {
        TRect r;
        GetWindowRect(list, &r);
        EXPECT_EQ(r.Bottom, combo.Top);
        gui.Key(VK_ESCAPE);
    });
    gui.Click(At(pick, 30, 10));
    gui.Pump();
    EXPECT_EQ(pick->ItemIndex(), 4);
}

TEST_F(ControlsTest, MultiSelectListAndOwnerDrawing) {
    auto* list = Make<TListBox>(8, 8, 150, 100);
    list->MultiSelect = true;
    list->Style = lbOwnerDrawFixed;
    list->ItemHeight = 20;
    for (const char* s : {"Velocity", "Pitch bend", "Sysex", "Modulation"})
        list->Items.Add(s);
    std::vector<int> drawn;
    list->OnDrawItem = [&](TWinControl*, int i, const TRect& r, TOwnerDrawState) {
        drawn.push_back(i);
        // Items in the set are bold and yellow, as the program's lists draw them.
        list->Canvas().Font.Style = i == 1 ? TFontStyles(fsBold) : 0u;
        list->Canvas().Brush.Color = i == 1 ? clBlack : clWhite;
        list->Canvas().Font.Color = i == 1 ? clYellow : clBlack;
        list->Canvas().FillRect(r);
        list->Canvas().TextOut(r.Left + 4, r.Top, list->Items[i]);
    };
    form->Show();
    gui.Pump();
    EXPECT_EQ(list->ItemRect(1).Top - list->ItemRect(0).Top, 20);
    EXPECT_EQ(drawn, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(gui.Pixel(list->Handle(), list->ItemRect(1).Left + 1, list->ItemRect(1).Top + 1),
              0x000000u);
    EXPECT_EQ(list->ItemAtPos({10, list->ItemRect(3).Top + 5}, true), 3);
    EXPECT_EQ(list->ItemAtPos({10, list->ItemRect(3).Bottom + 5}, true), -1);
    EXPECT_EQ(list->ItemAtPos({10, list->ItemRect(3).Bottom + 5}, false), 4);

    gui.Click(At(list, 10, list->ItemRect(0).Top + 5));
    gui.KeyDown(VK_SHIFT);
    gui.Click(At(list, 10, list->ItemRect(2).Top + 5));
    gui.KeyUp(VK_SHIFT);
    EXPECT_EQ(list->SelCount(), 3);
    gui.KeyDown(VK_CONTROL);
    gui.Click(At(list, 10, list->ItemRect(1).Top + 5));
    gui.KeyUp(VK_CONTROL);
    EXPECT_EQ(list->SelCount(), 2);
    EXPECT_FALSE(list->Selected(1));
    EXPECT_TRUE(list->Selected(2));
    EXPECT_THROW(list->Selected(9), EStringListError);
}

TEST_F(ControlsTest, MemoLinesFollowTyping) {
    auto* memo = Make<TMemo>(8, 8, 200, 100);
    memo->OnKeyPress = [](TObject*, char32_t& k) {
        if (k != 8 && k != 13 && (k < '0' || k > '9')) k = 0;
    };
    form->Show();
    gui.Pump();
    gui.Type("120\rx90");
    ASSERT_EQ(memo->Lines.Count(), 2);
    EXPECT_EQ(memo->Lines[0], "120");
    EXPECT_EQ(memo->Lines[1], "90");
    EXPECT_EQ(memo->Text(), "120\r\n90");
    EXPECT_EQ(memo->SelStart(), 7) << "a line break counts two";
    EXPECT_TRUE(memo->Modified);
    memo->SelStart = 5;
    gui.Type("1");
    EXPECT_EQ(memo->Lines[1], "190");
    memo->ReadOnly = true;
    gui.Type("5");
    EXPECT_EQ(memo->Lines[1], "190");
}

TEST_F(ControlsTest, ButtonsToggleByMouseAndSpace) {
    auto* check = Make<TCheckBox>(8, 8, 120, 17);
    check->Caption = "Transmit MIDI clock";
    auto* group = Make<TRadioGroup>(8, 40, 160, 80);
    group->Items.Add("View track names");
    group->Items.Add("View GM instruments");
    check->OnClick = Note("check");
    group->OnClick = Note("group");
    form->Show();
    gui.Pump();
    gui.Click(At(check, 6, 8));
    EXPECT_TRUE(check->Checked());
    gui.Type(" ");
    EXPECT_FALSE(check->Checked());
    check->AllowGrayed = true;
    gui.Type("  ");
    EXPECT_EQ(check->State(), cbGrayed);
    TRadioButton* second = group->Buttons(1);
    gui.Click(gui.At(second->Handle(), 6, 8));
    EXPECT_EQ(group->ItemIndex(), 1);
    gui.Click(gui.At(second->Handle(), 6, 8));
    EXPECT_EQ(log, (std::vector<std::string>{"check", "check", "check", "check", "group"}));
}

TEST_F(ControlsTest, GridCellsAndEditing) {
    auto* grid = Make<TStringGrid>(8, 8, 300, 120);
    grid->ColCount = 3;
    grid->RowCount = 3;
    grid->DefaultRowHeight = 16;
    grid->Options = goEditing;
    grid->SetCells(0, 0, "Bnk");
    grid->SetCells(1, 0, "Prg");
    grid->SetCells(2, 0, "Name");
    std::vector<std::string> edits;
    grid->OnSetEditText = [&](TObject*, int c, int r, const std::string& v) {
        edits.push_back(std::to_string(c) + "," + std::to_string(r) + "=" + v);
    };
    EXPECT_THROW(grid->SetCells(3, 0, "x"), EInvalidOperation);
    EXPECT_EQ(grid->Cells(5, 5), "");
    form->Show();
    gui.Pump();
    grid->Col = 2;
    grid->Row = 1;
    gui.Type("Pad\r");
    EXPECT_EQ(grid->Cells(2, 1), "Pad");
    EXPECT_FALSE(grid->EditorMode());
    EXPECT_EQ(edits, (std::vector<std::string>{"2,1=Pad"}));
    gui.Key(VK_DOWN);
    EXPECT_EQ(grid->Row(), 2);
    gui.Key(VK_UP);
    gui.Key(VK_UP);
    EXPECT_EQ(grid->Row(), 1) << "the heading row takes no selection";
}

TEST_F(ControlsTest, BarsAndArrows) {
    auto* edit = Make<TEdit>(8, 8, 60, 21);
    auto* updown = Make<TUpDown>(0, 0, 15, 21);
    updown->Min = 10;
    updown->Max = 12;
    updown->Associate = edit;
    EXPECT_EQ(updown->Left(), 68);
    EXPECT_EQ(edit->Text(), "10");
    auto* progress = Make<TProgressBar>(8, 40, 100, 16);
    progress->Max = 5;
    progress->Step = 2;
    progress->StepIt();
    progress->StepIt();
    EXPECT_EQ(progress->Position(), 4);
    progress->Position = 9;
    EXPECT_EQ(progress->Position(), 5);
    auto* status = new TStatusBar(form);
    status->Parent = form;
    status->AddPanel().Width = 80;
    status->AddPanel();
    status->SetPanelText(1, "Ready");
    EXPECT_EQ(status->Panels(1).Text, "Ready");
    form->Show();
    gui.Pump();
    EXPECT_EQ(status->Top(), form->ClientHeight() - status->Height());
    std::vector<int> clicks;
    updown->OnClick = [&](TObject*, TUDBtnType b) { clicks.push_back(b == btNext ? 1 : -1); };
    for (int i = 0; i < 3; ++i)
        gui.Click(At(updown, 7, 4));
    gui.Click(At(updown, 7, 17));
    EXPECT_EQ(edit->Text(), "11");
    EXPECT_EQ(clicks, (std::vector<int>{1, 1, 1, -1}));
    updown->Wrap = true;
    updown->Position = 12;
    updown->ClickButton(btNext);
    EXPECT_EQ(updown->Position(), 10);
}

TEST_F(ControlsTest, HeaderSectionsClickTrackAndDraw) {
    auto* header = Make<THeaderControl>(0, 0, 300, 17);
    const char* names[] = {"Inp", "Name", "Ch"};
    for (int i = 0; i < 3; ++i) {
        THeaderSection* s = header->AddSection();
        s->Text = names[i];
        s->Width = i == 0 ? 16 : 60;
    }
    header->Sections(0)->Style = hsOwnerDraw;
    header->Sections(0)->AllowClick = false;
    header->Sections(2)->Alignment = taCenter;
    header->Sections(1)->MinWidth = 20;
    std::vector<std::string> events;
    header->OnSectionClick = [&](THeaderControl*, THeaderSection* s) {
        events.push_back("click " + s->Text());
    };
    header->OnSectionTrack = [&](THeaderControl*, THeaderSection* s, int w, TSectionTrackState st) {
        if (st != tsTrackMove) events.push_back("track " + s->Text() + " " + std::to_string(w));
    };
    header->OnSectionResize = [&](THeaderControl*, THeaderSection* s) {
        events.push_back("resize " + s->Text());
    };
    TRect drawn;
    header->OnDrawSection = [&](THeaderControl* h, THeaderSection*, const TRect& r, bool) {
        drawn = r;
        h->Canvas().Pen.Color = TColor(0xFF0000);
        h->Canvas().Pen.Width = 2;
        h->Canvas().MoveTo(r.Left + 2, r.Top + 5);
        h->Canvas().LineTo(r.Right - 5, r.Top + 5);
    };
    form->Show();
    gui.Pump();
    EXPECT_EQ(header->Align(), alTop);
    EXPECT_EQ(header->Sections(2)->Left(), 76);
    EXPECT_EQ(header->SectionAt(76), 2) << "a shared edge is the right-hand section's";
    EXPECT_EQ(header->SectionAt(500), -1);
    EXPECT_GT(drawn.Width(), 0);
    EXPECT_EQ(gui.Pixel(header->Handle(), drawn.Left + 3, drawn.Top + 5), 0x0000FFu);

    gui.Click(At(header, 5, 8));  // not clickable
    gui.Click(At(header, 40, 8)); // "Name"
    gui.Press(At(header, 40, 8));
    gui.Release(At(header, 100, 8)); // released over another section: no click
    gui.Drag(At(header, 75, 8), At(header, 105, 8));
    EXPECT_EQ(header->Sections(1)->Width(), 90);
    gui.Drag(At(header, 105, 8), At(header, 20, 8));
    EXPECT_EQ(header->Sections(1)->Width(), 20) << "kept at MinWidth";
    EXPECT_EQ(events, (std::vector<std::string>{"click Name", "track Name 60", "track Name 90",
                                                "resize Name", "track Name 90", "track Name 20",
                                                "resize Name"}));
}

TEST_F(ControlsTest, TabStripSelectionHitTestAndDisplayArea) {
    auto* tabs = Make<TTabControl>(8, 8, 300, 150);
    TObject page1, page2;
    tabs->Tabs.AddObject("General", &page1);
    tabs->Tabs.AddObject(" Tempo ", &page2);
    tabs->Tabs.Add("Colors");
    tabs->TabIndex = 0;
    bool allow = true;
    std::vector<std::string> events;
    tabs->OnChanging = [&](TObject*, bool& a) {
        events.push_back("changing");
        a = allow;
    };
    tabs->OnChange = [&](TObject*) { events.push_back("change " + std::to_string(tabs->TabIndex())); };
    int leaves = 0;
    tabs->OnMouseLeave = [&](TObject*) { ++leaves; };
    std::vector<std::pair<int, bool>> drawn;
    tabs->OwnerDraw = true;
    tabs->Style = tsFlatButtons;
    tabs->OnDrawTab = [&](TCustomControl*, int i, const TRect&, bool active) {
        drawn.push_back({i, active});
    };
    form->Show();
    gui.Pump();
    const TRect r0 = tabs->TabRect(0), r1 = tabs->TabRect(1), r2 = tabs->TabRect(2);
    EXPECT_EQ(r0.Top, 0);
    EXPECT_EQ(r1.Left, r0.Right + 3) << "buttons stand apart";
    EXPECT_EQ(tabs->IndexOfTabAt(r1.Left + 1, r1.Top + 1), 1);
    EXPECT_EQ(tabs->IndexOfTabAt(r2.Right + 50, r2.Top + 1), -1);
    EXPECT_EQ(tabs->DisplayRect().Top, r0.Bottom + 3);
    EXPECT_EQ(tabs->DisplayRect().Bottom, 150);
    EXPECT_NE(std::find(drawn.begin(), drawn.end(), std::pair<int, bool>{0, true}), drawn.end());
    EXPECT_EQ(tabs->Tabs.Objects(1), &page2);

    gui.Click(At(tabs, r1.Left + 2, r1.Top + 2));
    EXPECT_EQ(tabs->TabIndex(), 1);
    allow = false;
    gui.Click(At(tabs, r2.Left + 2, r2.Top + 2));
    EXPECT_EQ(tabs->TabIndex(), 1) << "refused";
    allow = true;
    tabs->SetFocus();
    gui.Key(VK_RIGHT);
    EXPECT_EQ(tabs->TabIndex(), 2);
    gui.Key(VK_RIGHT);
    EXPECT_EQ(tabs->TabIndex(), 2) << "no wrap at the end";
    gui.MoveTo(At(tabs, 10, 100));
    gui.MoveTo(gui.At(form->Handle(), 350, 250));
    EXPECT_EQ(leaves, 1);
    EXPECT_EQ(events, (std::vector<std::string>{"changing", "change 1", "changing", "changing",
                                                "change 2"}));

    tabs->Tabs.Insert(0, "First");
    EXPECT_EQ(tabs->TabIndex(), 3) << "the selection stays on its tab";
    tabs->Tabs.Delete(3);
    EXPECT_EQ(tabs->TabIndex(), -1);
    tabs->Style = tsTabs;
    EXPECT_EQ(tabs->TabRect(0).Left, 2);
    EXPECT_EQ(tabs->DisplayRect().Left, 4);
}

TEST(MountPointsTest, RootFirstThenRealFileSystems) {
    const std::string mounts = "proc /proc proc rw 0 0\n"
                               "/dev/sda1 / ext4 rw 0 0\n"
                               "/dev/sdb1 /media/usb\\040stick vfat rw 0 0\n"
                               "tmpfs /run tmpfs rw 0 0\n"
                               "/dev/loop3 /snap/core squashfs ro 0 0\n"
                               "server:/music /mnt/music nfs4 rw 0 0\n";
    EXPECT_EQ(MountPoints(mounts),
              (std::vector<std::string>{"/", "/media/usb stick", "/mnt/music"}));
}

TEST_F(ControlsTest, DriveFolderAndFileListsFollowEachOther) {
    TempDir tmp;
    const std::string root = tmp.Path() + "songs";
    std::filesystem::create_directories(root + "/Demo");
    std::filesystem::create_directories(root + "/beats");
    std::filesystem::create_directories(root + "/.hidden");
    for (const char* f : {"a.SEQ", "b.mid", "c.wav", "Demo/d.mid"})
        std::ofstream(root + "/" + f) << "x";
    auto* drive = Make<TDriveComboBox>(8, 8, 150, 21);
    auto* dirs = Make<TDirectoryListBox>(8, 40, 150, 120);
    auto* files = Make<TFileListBox>(170, 40, 150, 120);
    drive->DirList = dirs;
    dirs->FileList = files;
    files->Mask = "*.seq;*.mid";
    int changes = 0;
    dirs->OnChange = [&](TObject*) { ++changes; };
    std::vector<std::string> opened;
    files->OnDblClick = [&](TObject*) { opened.push_back(files->FileName()); };
    EXPECT_EQ(drive->Items[0], "/");
    EXPECT_EQ(drive->Drive(), "/");

    dirs->Directory = root;
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(files->Directory(), root);
    ASSERT_EQ(files->Items.Count(), 2);
    EXPECT_EQ(files->Items[0], "a.SEQ");
    EXPECT_EQ(files->Items[1], "b.mid");
    const int depth = dirs->ItemIndex();
    EXPECT_EQ(dirs->Items[depth], "songs");
    EXPECT_EQ(dirs->Items.Count(), depth + 3) << "beats and Demo, no hidden folder";
    EXPECT_EQ(dirs->Items[depth + 1], "beats");
    EXPECT_EQ(dirs->GetItemPath(depth + 2), root + "/Demo");
    EXPECT_EQ(dirs->GetItemPath(0), "/");

    form->Show();
    gui.Pump();
    const TRect demo = dirs->ItemRect(depth + 2);
    ASSERT_GT(demo.Height(), 0);
    gui.Click(At(dirs, 10, demo.Top + 2));
    gui.Click(At(dirs, 10, demo.Top + 2));
    EXPECT_EQ(dirs->Directory(), root + "/Demo");
    EXPECT_EQ(files->Items.Count(), 1);
    dirs->ItemIndex = dirs->ItemIndex() - 1;
    dirs->OpenCurrent();
    EXPECT_EQ(dirs->Directory(), root);

    files->FileName = root + "/b.mid";
    EXPECT_EQ(files->ItemIndex(), 1);
    const TRect b = files->ItemRect(1);
    gui.Click(At(files, 10, b.Top + 2));
    gui.Click(At(files, 10, b.Top + 2));
    EXPECT_EQ(opened, (std::vector<std::string>{root + "/b.mid"}));

    files->DragMode = dmAutomatic;
    gui.Press(At(files, 10, b.Top + 2));
    gui.MoveTo(At(files, 40, b.Top + 20));
    EXPECT_TRUE(Dragging());
    gui.Release(At(files, 40, b.Top + 20));
    EXPECT_FALSE(Dragging());

    drive->Drive = "/";
    EXPECT_EQ(dirs->Directory(), "/");
    EXPECT_EQ(files->Directory(), "/");
}

} // namespace
