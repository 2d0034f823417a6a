#include "platform/forms/application.h"
#include "platform/forms/edit.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/form.h"
#include "platform/forms/label.h"
#include "platform/gdi/syscolors.h"
#include "platform/menus/menus.h"
#include "platform/window/modal.h"
#include "platform/window/window_fixture.h"

namespace forms_test {
namespace {

std::vector<std::string> Captions(const std::vector<TMenuItem*>& items) {
    std::vector<std::string> out;
    for (TMenuItem* i : items)
        out.push_back(i->Caption);
    return out;
}

class MenusTest : public FormsTest {
protected:
    HWND form = 0;
    std::vector<std::string> clicks;

    void SetUp() override {
        form = Make(kPopup | WS_CAPTION | WS_BORDER, {100, 100, 500, 400});
        SetFocus(form);
    }

    // An item that records its caption when it runs.
    TMenuItem* Item(std::string caption, TShortCut shortCut = 0) {
        auto* item = new TMenuItem(caption, [this](TMenuItem* s) { clicks.push_back(s->Caption); });
        item->ShortCut = shortCut;
        return item;
    }

    static TRect WindowRect(HWND h) {
        TRect r;
        GetWindowRect(h, &r);
        return r;
    }

    std::uint32_t SysRgb(int index) { return Rgb(GetSysColor(index)); }
};

TEST(MenuShortCuts, TextRoundTrips) {
    struct Case {
        TShortCut shortCut;
        const char* text;
    } cases[] = {{ShortCut('V', scCtrl), "Ctrl+V"},
                 {ShortCut(VK_F11), "F11"},
                 {ShortCut(VK_DELETE, scShift | scCtrl), "Shift+Ctrl+Del"},
                 {ShortCut('O', scCtrl | scAlt), "Ctrl+Alt+O"},
                 {ShortCut(VK_NUMPAD5), "Num 5"},
                 {ShortCut(VK_OEM_PLUS, scCtrl), "Ctrl+="}};
    for (const Case& c : cases) {
        EXPECT_EQ(ShortCutToText(c.shortCut), c.text);
        EXPECT_EQ(TextToShortCut(c.text), c.shortCut) << c.text;
    }
    EXPECT_EQ(TextToShortCut("ctrl+f5"), ShortCut(VK_F5, scCtrl));
    EXPECT_EQ(TextToShortCut("Ctrl+"), 0);
    EXPECT_EQ(TextToShortCut("Hyper+Q"), 0);
    EXPECT_EQ(ShortCutToText(0), "");
}

TEST(MenuModel, ItemsMoveBetweenParentsAndFreeTheirChildren) {
    TPopupMenu a, b;
    auto* item = new TMenuItem("x");
    auto* child = new TMenuItem("child");
    item->Add(child);
    a.Items->Add(item);
    EXPECT_EQ(item->GetParentMenu(), &a);
    b.Items->Insert(0, item); // leaves a first
    EXPECT_EQ(a.Items->Count(), 0);
    EXPECT_EQ(b.Items->IndexOf(item), 0);
    EXPECT_EQ(item->GetParentMenu(), &b);
    item->Add(item->Parent()); // no cycles
    EXPECT_EQ(item->Count(), 1);
    const std::uint64_t serial = child->Serial();
    b.Items->Delete(0);
    EXPECT_EQ(b.Items->Count(), 0);
    EXPECT_EQ(LiveMenuItem(serial), nullptr);
}

TEST(MenuModel, RadioItemsOfAGroupCheckOneAtATime) {
    TPopupMenu m;
    TMenuItem* r[3];
    for (int i = 0; i < 3; ++i) {
        r[i] = new TMenuItem(std::to_string(i));
        r[i]->RadioItem = true;
        r[i]->GroupIndex = i < 2 ? 1 : 2;
        m.Items->Add(r[i]);
    }
    r[2]->SetChecked(true);
    r[0]->SetChecked(true);
    r[1]->SetChecked(true);
    EXPECT_FALSE(r[0]->Checked);
    EXPECT_TRUE(r[1]->Checked);
    EXPECT_TRUE(r[2]->Checked); // another group
}

TEST(MenuModel, MergedBarTakesTheChildGroupsByIndex) {
    TMainMenu frame, child;
    auto add = [](TMainMenu& m, const char* caption, int group) {
        auto* i = new TMenuItem(caption);
        i->GroupIndex = group;
        m.Items->Add(i);
    };
    add(frame, "File", 0);
    add(frame, "Edit", 1);
    add(frame, "Window", 9);
    add(child, "Edit2", 1);
    add(child, "Track", 5);
    add(child, "Help", 10);
    EXPECT_EQ(Captions(frame.BarItems()), (std::vector<std::string>{"File", "Edit", "Window"}));
    frame.Merge(&child);
    EXPECT_EQ(Captions(frame.BarItems()),
              (std::vector<std::string>{"File", "Edit2", "Track", "Window", "Help"}));
    {
        TMainMenu other;
        frame.Merge(&other);
    } // a merged menu that goes is unmerged
    EXPECT_EQ(frame.Merged(), nullptr);
}

TEST_F(MenusTest, ABreakStartsASecondColumnWhoseSubmenuOpens) {
    TPopupMenu menu;
    menu.Name = "PopupLibraries";
    for (int i = 0; i < 35; ++i)
        menu.Items->Add(Item("Library " + std::to_string(i)));
    menu.Items->Items(30)->Break = mbBreak;
    TMenuItem* sub = menu.Items->Items(32);
    sub->Add(Item("Deep"));
    std::vector<std::size_t> shownAtClick;
    sub->OnClick = [&](TMenuItem* s) {
        shownAtClick.push_back(OpenMenuWindows().size());
        s->Add(Item("Added on open")); // shows in the submenu that follows
    };

    gui.OnModal("PopupLibraries", [&](HWND) {
        ASSERT_EQ(OpenMenuWindows().size(), 1u);
        HWND level = OpenMenuWindows()[0];
        TRect r = WindowRect(level);
        EXPECT_EQ(r.Left, 50);
        EXPECT_EQ(r.Top, 60);
        // 30 rows in the first column, 5 in the second: wider than tall would be for one.
        EXPECT_EQ(r.Height(), 30 * 19 + 6);
        const int columnWidth = (r.Width() - 6) / 2;
        // Point at the submenu item, third row of the second column.
        const TPoint at{r.Left + 3 + columnWidth + 10, r.Top + 3 + 2 * 19 + 9};
        gui.MoveTo(at);
        ASSERT_EQ(OpenMenuWindows().size(), 2u);
        EXPECT_EQ(Captions(ShownMenuItems(1)), (std::vector<std::string>{"Deep", "Added on open"}));
        EXPECT_GE(WindowRect(OpenMenuWindows()[1]).Left, r.Right - 8); // beside its item
        // The hovered row is highlighted in the second column only; the first column's row at
        // that height is plain, and the second column's first row carries text.
        EXPECT_EQ(gui.Pixel(level, at.X - r.Left, at.Y - r.Top), SysRgb(COLOR_HIGHLIGHT));
        EXPECT_EQ(gui.Pixel(level, 3 + 2, at.Y - r.Top), SysRgb(COLOR_MENU));
        bool text = false;
        for (int x = 3 + columnWidth + 20; x < 3 + columnWidth + 60; ++x)
            for (int y = 5; y < 19; ++y)
                text |= gui.Pixel(level, x, y) == SysRgb(COLOR_MENUTEXT);
        EXPECT_TRUE(text);
        gui.Key(VK_RIGHT); // into the submenu
        gui.Key(VK_DOWN);
        gui.Key(VK_RETURN);
    });
    menu.Popup(50, 60);
    EXPECT_EQ(shownAtClick, (std::vector<std::size_t>{1})); // before its submenu showed
    EXPECT_TRUE(clicks.empty()); // chosen items run once Popup has returned
    gui.Pump();
    EXPECT_EQ(clicks, (std::vector<std::string>{"Added on open"}));
    EXPECT_FALSE(MenuTracking());
}

TEST_F(MenusTest, MarksBitmapsAndDisabledItemsAreDrawn) {
    TPopupMenu menu;
    menu.Items->Add(Item("Checked"));
    menu.Items->Items(0)->Checked = true;
    menu.Items->Add(Item("Radio"));
    menu.Items->Items(1)->RadioItem = true;
    menu.Items->Items(1)->SetChecked(true);
    menu.Items->Add(Item("Picture"));
    auto bitmap = std::make_shared<Surface>(12, 12, 0xFF00FF00u); // green: clear
    for (int y = 0; y < 6; ++y)
        for (int x = 6; x < 12; ++x)
            bitmap->Row(y)[x] = 0xFFFF0000u; // a red corner
    menu.Items->Items(2)->Bitmap = bitmap;
    menu.Items->Add(Item("Off"));
    menu.Items->Items(3)->Enabled = false;
    menu.Items->Add(Item("Plain"));
    gui.OnModal("menu", [&](HWND) {
        HWND level = OpenMenuWindows()[0];
        auto count = [&](int row, int x0, int x1, std::uint32_t rgb) {
            int n = 0;
            for (int y = 3 + row * 19; y < 3 + (row + 1) * 19; ++y)
                for (int x = x0; x < x1; ++x)
                    n += gui.Pixel(level, x, y) == rgb;
            return n;
        };
        const std::uint32_t text = SysRgb(COLOR_MENUTEXT);
        EXPECT_GT(count(0, 3, 21, text), 8);     // the tick
        EXPECT_GT(count(1, 3, 21, text), 8);     // the dot
        EXPECT_EQ(count(4, 3, 21, text), 0);     // nothing beside a plain item
        EXPECT_EQ(count(2, 3, 21, 0x00FF00), 0); // the bitmap's clear colour
        EXPECT_EQ(count(2, 3, 21, 0xFF0000), 36);
        EXPECT_GT(count(3, 21, 60, SysRgb(COLOR_GRAYTEXT)), 8);
        EXPECT_EQ(count(3, 21, 60, text), 0);
        gui.Key(VK_ESCAPE);
    });
    menu.Popup(300, 300);
}

TEST_F(MenusTest, KeyboardChoosesSkipsSeparatorsAndUsesAccessLetters) {
    struct Case {
        std::vector<UINT> keys;
        std::vector<std::string> clicked;
    } cases[] = {
        {{VK_DOWN, VK_DOWN, VK_RETURN}, {"&Save"}}, // the separator is skipped
        {{VK_UP, VK_RETURN}, {}},                   // "&Disabled": nothing runs
        {{VK_UP, VK_UP, VK_RETURN}, {"E&xit"}},
        {{'X'}, {"E&xit"}},
        {{'S'}, {"&Save"}},
        {{VK_DOWN, VK_ESCAPE}, {}},
        {{'Q', VK_ESCAPE}, {}}, // no such letter
    };
    TPopupMenu menu;
    menu.Items->Add(Item("&Open"));
    menu.Items->Add(Item("-"));
    menu.Items->Add(Item("&Save"));
    menu.Items->Add(Item("Hidden"));
    menu.Items->Items(3)->Visible = false;
    menu.Items->Add(Item("E&xit"));
    menu.Items->Add(Item("&Disabled"));
    menu.Items->Items(5)->Enabled = false;
    int popups = 0;
    menu.OnPopup = [&](TPopupMenu*) { ++popups; };
    for (const Case& c : cases) {
        clicks.clear();
        gui.OnModal("menu", [&](HWND) {
            for (UINT k : c.keys)
                gui.Key(k);
            if (MenuTracking()) gui.Key(VK_ESCAPE); // the disabled case is still open
        });
        menu.Popup(10, 10);
        gui.Pump();
        EXPECT_EQ(clicks, c.clicked) << c.keys.size() << " keys, first " << c.keys[0];
    }
    EXPECT_EQ(popups, int(std::size(cases)));
}

TEST_F(MenusTest, PointerChoosesAndAPressOutsideCloses) {
    TPopupMenu menu;
    menu.Items->Add(Item("One"));
    menu.Items->Add(Item("Two"));
    gui.OnModal("menu", [&](HWND) {
        TRect r = WindowRect(OpenMenuWindows()[0]);
        gui.Click({r.Left + 10, r.Top + 3 + 19 + 5});
    });
    menu.Popup(200, 200);
    gui.Pump();
    EXPECT_EQ(clicks, (std::vector<std::string>{"Two"}));

    clicks.clear();
    gui.OnModal("menu", [&](HWND) { gui.Click({5, 700}); });
    menu.Popup(200, 200);
    gui.Pump();
    EXPECT_TRUE(clicks.empty());
    EXPECT_TRUE(OpenMenuWindows().empty());
}

TEST_F(MenusTest, AnItemMovedToAnotherMenuShowsOnlyThereAtTheNextOpening) {
    TPopupMenu first, second;
    first.Name = "First";
    second.Name = "Second";
    TMenuItem* moving = Item("Moving");
    first.Items->Add(Item("Stays"));
    first.Items->Add(moving);
    second.Items->Add(Item("Other"));
    std::vector<std::string> shown;
    auto record = [&](HWND) {
        shown.push_back("");
        for (auto& c : Captions(ShownMenuItems(0)))
            shown.back() += c + ";";
        gui.Key(VK_ESCAPE);
    };
    gui.OnModal("First", record).OnModal("Second", record);
    first.Popup(0, 0);
    second.Popup(0, 0);
    second.Items->Add(moving);
    moving->Caption = "Moved";
    gui.OnModal("First", record).OnModal("Second", record);
    first.Popup(0, 0);
    second.Popup(0, 0);
    EXPECT_EQ(shown,
              (std::vector<std::string>{"Stays;Moving;", "Other;", "Stays;", "Other;Moved;"}));
}

TEST_F(MenusTest, TheMenuBarSitsAboveTheClientAreaAndOpensFromTheKeyboard) {
    TRect before;
    GetClientRect(form, &before);
    TMainMenu main;
    main.Name = "MainMenu";
    auto* file = new TMenuItem("&File");
    file->Add(Item("&New"));
    file->Add(Item("&Open"));
    auto* edit = new TMenuItem("&Edit");
    edit->Add(Item("&Undo"));
    main.Items->Add(file);
    main.Items->Add(edit);
    SetWindowMenu(form, &main);
    gui.Pump();
    TRect after;
    GetClientRect(form, &after);
    EXPECT_EQ(after.Height(), before.Height() - kMenuBarHeight);
    EXPECT_EQ(S(form).Of(WM_SIZE).back().l, MAKELPARAM(after.Width(), after.Height()));
    TRect bar = MenuBarRect(form);
    ASSERT_EQ(bar.Height(), kMenuBarHeight);
    HWND child = Make(kChild, {0, 0, 50, 50}, form);
    SetFocus(child);

    // F10 lights the first item; Down opens it; Right moves to the next; Enter chooses.
    gui.OnModal("MainMenu", [&](HWND) {
        Surface s = gui.Capture(form, false);
        EXPECT_EQ((s.Row(bar.Top + 3)[bar.Left + 3] & 0xFFFFFF), SysRgb(COLOR_HIGHLIGHT));
        EXPECT_TRUE(OpenMenuWindows().empty());
        gui.Key(VK_DOWN);
        EXPECT_EQ(Captions(ShownMenuItems(0)), (std::vector<std::string>{"&New", "&Open"}));
        gui.Key(VK_RIGHT);
        EXPECT_EQ(Captions(ShownMenuItems(0)), (std::vector<std::string>{"&Undo"}));
        gui.Key(VK_RETURN);
    });
    gui.Key(VK_F10);
    gui.Pump();
    EXPECT_EQ(clicks, (std::vector<std::string>{"&Undo"}));

    // Alt+F opens "File" with its first item selected; a lone Alt opens the bar too.
    gui.OnModal("MainMenu", [&](HWND) { gui.Key(VK_RETURN); });
    gui.KeyDown(VK_MENU);
    gui.KeyDown('F');
    RouteChar(U'f'); // Alt+F types a system character
    gui.KeyUp('F');
    gui.KeyUp(VK_MENU);
    gui.OnModal("MainMenu", [&](HWND) { gui.Key(VK_ESCAPE); });
    gui.Key(VK_MENU);
    // A press on "Edit" in the bar opens it below the item.
    gui.OnModal("MainMenu", [&](HWND) {
        ASSERT_EQ(OpenMenuWindows().size(), 1u);
        EXPECT_EQ(Captions(ShownMenuItems(0)), (std::vector<std::string>{"&Undo"}));
        TRect wr = WindowRect(form), dropdown = WindowRect(OpenMenuWindows()[0]);
        EXPECT_EQ(dropdown.Top, wr.Top + bar.Bottom);
        gui.Click({dropdown.Left + 10, dropdown.Top + 8});
    });
    EXPECT_EQ(SendMessage(form, WM_NCHITTEST, 0,
                          MAKELPARAM(WindowRect(form).Left + bar.Left + 45,
                                     WindowRect(form).Top + bar.Top + 5)),
              HTMENU);
    gui.Press({WindowRect(form).Left + bar.Left + 45, WindowRect(form).Top + bar.Top + 5});
    gui.Release({WindowRect(form).Left + bar.Left + 45, WindowRect(form).Top + bar.Top + 5});
    gui.Pump();
    EXPECT_EQ(clicks, (std::vector<std::string>{"&Undo", "&New", "&Undo"}));

    SetWindowMenu(form, nullptr);
    GetClientRect(form, &after);
    EXPECT_EQ(after.Height(), before.Height());
}

// Menus on forms of the framework.
class FormMenusTest : public ::testing::Test {
protected:
    testsupport::GuiHarness gui;
    std::vector<std::string> clicks;
    TForm* form = nullptr;
    TEdit* edit = nullptr;

    void SetUp() override {
        form = new TForm(nullptr);
        form->Caption = "Menus";
        form->SetBounds(100, 100, 300, 200);
        edit = new TEdit(form);
        edit->Parent = form;
        edit->SetBounds(8, 8, 100, 21);
    }
    void TearDown() override { delete form; }

    TMenuItem* Item(std::string caption, TShortCut shortCut = 0, int group = 0) {
        auto* item = new TMenuItem(caption, [this](TMenuItem* s) { clicks.push_back(s->Caption); });
        item->ShortCut = shortCut;
        item->GroupIndex = group;
        return item;
    }
};

TEST_F(FormMenusTest, ShortcutsRunTheFirstItemEvenWithAnEditFocused) {
    TMainMenu main;
    TPopupMenu context;
    auto* file = new TMenuItem("&File");
    main.Items->Add(file);
    TMenuItem* first = Item("First", ShortCut(VK_F11));
    file->Add(first);
    file->Add(Item("Second", ShortCut(VK_F11)));
    file->Add(Item("Paste", ShortCut('V', scCtrl)));
    context.Items->Add(Item("Context copy", ShortCut('C', scCtrl)));
    context.Items->Add(Item("Context paste", ShortCut('V', scCtrl)));
    context.Items->Items(1)->Enabled = false; // a disabled item passes the key on
    form->Menu = &main;
    edit->PopupMenu = &context;
    form->ActiveControl = edit;
    form->Show();
    gui.Pump();
    ASSERT_EQ(GetFocus(), edit->Handle());
    ASSERT_EQ(GetMenuBarHeight(form->Handle()), kMenuBarHeight);

    gui.Key(VK_F11);
    gui.Chord({VK_CONTROL, 'V'});
    gui.Chord({VK_CONTROL, 'C'});
    EXPECT_EQ(clicks, (std::vector<std::string>{"First", "Paste", "Context copy"}));
    EXPECT_EQ(edit->Text(), ""); // the edit saw none of them

    clicks.clear();
    first->ShortCut = ShortCut(VK_F11, scShift);
    gui.Key(VK_F11);
    gui.Chord({VK_SHIFT, VK_F11});
    first->Visible = false;
    gui.Chord({VK_SHIFT, VK_F11}); // hidden: nothing
    EXPECT_EQ(clicks, (std::vector<std::string>{"Second", "First"}));

    form->Menu = nullptr;
    EXPECT_EQ(GetMenuBarHeight(form->Handle()), 0);
    gui.Key(VK_F11);
    EXPECT_EQ(clicks.size(), 2u);
}

TEST_F(FormMenusTest, ARightClickOpensTheControlsPopupMenu) {
    TPopupMenu context;
    context.Name = "PopupEdit";
    context.Items->Add(Item("Send"));
    context.Items->Add(Item("Open"));
    form->ActiveControl = edit; // a focused edit leaves the menu loop idle
    auto* panel = new TPanel(form);
    panel->Parent = form;
    panel->SetBounds(8, 40, 100, 50);
    panel->PopupMenu = &context;
    form->Show();
    gui.Pump();
    gui.OnModal("PopupEdit", [&](HWND) {
        ASSERT_EQ(OpenMenuWindows().size(), 1u);
        TRect r;
        GetWindowRect(OpenMenuWindows()[0], &r);
        EXPECT_EQ(r.Left, gui.At(panel->Handle(), 20, 10).X);
        gui.Key(VK_UP);
        gui.Key(VK_RETURN);
    });
    gui.Click(gui.At(panel->Handle(), 20, 10), MouseButton::Right);
    gui.Pump();
    EXPECT_EQ(clicks, (std::vector<std::string>{"Open"}));
    EXPECT_EQ(context.PopupComponent, panel);
}

TEST_F(FormMenusTest, AFreedPopupMenuLeavesTheControlsThatShowedIt) {
    auto* context = new TPopupMenu;
    context->Items->Add(Item("Copy", ShortCut('C', scCtrl)));
    auto* panel = new TPanel(form);
    panel->Parent = form;
    panel->SetBounds(8, 40, 100, 50);
    panel->PopupMenu = context;
    edit->PopupMenu = context;
    auto* other = new TPopupMenu; // another menu stays where it is
    auto* label = new TLabel(form);
    label->PopupMenu = other;
    form->ActiveControl = edit;
    form->Show();
    gui.Pump();

    delete context;
    EXPECT_EQ(panel->PopupMenu, nullptr);
    EXPECT_EQ(edit->PopupMenu, nullptr);
    EXPECT_EQ(label->PopupMenu, other);
    // The right-click and the shortcut step walk the controls' menus: neither finds one.
    gui.Click(gui.At(panel->Handle(), 20, 10), MouseButton::Right);
    gui.Chord({VK_CONTROL, 'C'});
    gui.Pump();
    EXPECT_TRUE(OpenMenuWindows().empty());
    EXPECT_TRUE(clicks.empty());
    delete other;
    EXPECT_EQ(label->PopupMenu, nullptr);
}

TEST_F(FormMenusTest, AnMdiChildsMenuMergesIntoTheFramesBarWhileActive) {
    delete form;
    form = nullptr;
    auto* frame = new TForm(nullptr);
    frame->FormStyle = fsMDIForm;
    frame->SetBounds(0, 0, 600, 400);
    TForm* previousMain = Application->MainForm;
    Application->MainForm = frame;
    TMainMenu frameMenu, childMenu;
    frameMenu.Name = "Bar";
    frameMenu.Items->Add(Item("File", 0, 0));
    frameMenu.Items->Add(Item("Edit", 0, 1));
    frameMenu.Items->Add(Item("Window", 0, 9));
    childMenu.Items->Add(Item("Track edit", 0, 1));
    childMenu.Items->Add(Item("Track", 0, 5));
    childMenu.Items->Items(1)->Add(Item("Mute", ShortCut('M')));
    frame->Menu = &frameMenu;
    frame->Show();
    auto* child = new TForm(frame);
    child->FormStyle = fsMDIChild;
    child->Menu = &childMenu;
    child->SetBounds(10, 10, 200, 150);
    child->Show();
    gui.Pump();

    std::vector<std::string> bar;
    auto readBar = [&](HWND) {
        bar = {};
        for (TMenuItem* i : frameMenu.BarItems())
            bar.push_back(i->Caption);
        gui.Key(VK_ESCAPE);
    };
    gui.OnModal("Bar", readBar);
    gui.Key(VK_F10);
    EXPECT_EQ(bar, (std::vector<std::string>{"File", "Track edit", "Track", "Window"}));
    gui.Key('M');
    EXPECT_EQ(clicks, (std::vector<std::string>{"Mute"}));

    delete child; // the frame's own items come back
    gui.Pump();
    gui.OnModal("Bar", readBar);
    gui.Key(VK_F10);
    EXPECT_EQ(bar, (std::vector<std::string>{"File", "Edit", "Window"}));
    Application->MainForm = previousMain;
    delete frame;
}

} // namespace
} // namespace forms_test
