// Labels, the edit, menus and their pop-up lists.
#include "mscroll_fixture.h"

namespace gui_test {
namespace {

using Text = HostTest;

TEST_F(Text, LabelReportsEveryReleaseAPushButtonOnlyInside) {
    TGuiLabel* l = host->AddLabel("Mute", alNone, nullptr);
    l->Id = "mute";
    l->Tag = 3;
    l->AutoSize = false;
    l->Left = 0, l->Right = 60;
    gui.Press(At(10, 10));
    gui.Release(At(300, 200));
    EXPECT_EQ(reports, (std::vector<Report>{{"mute", 3, "Mute"}}));
    TGuiButton* b = host->AddButton("b", "B", 0, nullptr);
    b->Left = 100, b->Right = 140;
    gui.Press(At(110, 10));
    gui.Release(At(300, 200));
    EXPECT_EQ(reports.size(), 1u);
}

TEST_F(Text, AutoSizedLabelTakesItsTextWidth) {
    TGuiLabel* l = host->AddLabel("Tempo", alLeft, nullptr);
    const int text = host->MeasureCanvas().TextWidth("Tempo");
    EXPECT_GT(text, 10);
    EXPECT_EQ(l->GetWidth(), text + 8);
    host->AlignControls();
    EXPECT_EQ(l->Right - l->Left, text + 8);
}

TEST_F(Text, EditKeysMoveDeleteAndEscapeRestores) {
    TGuiEdit* e = host->AddEdit("", "abc", 100, nullptr);
    e->Id = "name";
    host->SetCaptureControl(e);
    EXPECT_EQ(e->CaretPos, 3);
    host->WmChar(37);
    host->WmChar(8);
    EXPECT_EQ(e->Text, "ac");
    EXPECT_EQ(e->CaretPos, 1);
    EXPECT_TRUE(e->Modified);
    host->WmChar(27);
    EXPECT_EQ(e->Text, "abc");
    EXPECT_EQ(host->CaptureControl, nullptr);
    EXPECT_EQ(reports, (std::vector<Report>{{"name", 0, "abc"}}));
}

TEST_F(Text, EditInsertsTheCharacterOfAKeyDownThroughTheLayout) {
    TGuiEdit* e = host->AddEdit("", "", 100, nullptr);
    host->SetCaptureControl(e);
    auto key = [&](UINT vk) {
        TGuiKeyMsg m;
        m.Key = vk;
        return host->KeyboardCaptured(m);
    };
    EXPECT_TRUE(key('A'));
    gui.KeyDown(VK_SHIFT);
    key('B');
    key('1');
    gui.KeyUp(VK_SHIFT);
    key(VK_OEM_MINUS);
    key(VK_HOME);
    key(VK_DELETE);
    gui.KeyDown(VK_CONTROL);
    key('C'); // Ctrl types nothing
    gui.KeyUp(VK_CONTROL);
    key(VK_END);
    key(VK_INSERT);
    EXPECT_EQ(e->Text, "B!-");
    EXPECT_EQ(e->CaretPos, 3);
    // Enter ends editing; the change is reported.
    EXPECT_TRUE(key(VK_RETURN));
    EXPECT_EQ(reports, (std::vector<Report>{{"", 0, "B!-"}}));
}

TEST_F(Text, EditPressPlacesTheCaretBetweenCharacters) {
    TGuiEdit* e = host->AddEdit("", "abcd", 100, nullptr);
    e->Left = 0, e->Right = 100;
    gui.Press(At(1, 10));
    EXPECT_EQ(e->CaretPos, 0);
    gui.Release(At(1, 10));
    gui.Press(At(90, 10));
    EXPECT_EQ(e->CaretPos, 4);
    gui.Release(At(90, 10));
    const int ab = host->MeasureCanvas().TextWidth("ab");
    gui.Press(At(4 + ab + 1, 10));
    EXPECT_EQ(e->CaretPos, 2);
}

TEST_F(Text, TwoCaretBlinksRestoreThePixels) {
    TGuiEdit* e = host->AddEdit("", "abc", 100, nullptr);
    e->Left = 0, e->Right = 100;
    host->SetCaptureControl(e);
    gui.Pump();
    const Surface before = gui.Capture(H());
    gui.Advance(400);
    const Surface blink = gui.Capture(H());
    gui.Advance(400);
    const Surface after = gui.Capture(H());
    EXPECT_NE(std::vector<std::uint32_t>(blink.pixels.begin(), blink.pixels.end()),
              std::vector<std::uint32_t>(before.pixels.begin(), before.pixels.end()));
    EXPECT_EQ(std::vector<std::uint32_t>(after.pixels.begin(), after.pixels.end()),
              std::vector<std::uint32_t>(before.pixels.begin(), before.pixels.end()));
    host->SetCaptureControl(nullptr);
}

class Menus : public HostTest {
protected:
    TGuiMenu* menu = nullptr;
    void SetUp() override {
        HostTest::SetUp();
        menu = host->AddMenu("", "file", "File", nullptr);
        host->AlignControls();
        for (const char* c : {"New", "-", "Open"}) {
            TGuiMenuLabel* l = menu->MenuHost->AddMenuLabel(c);
            l->Tag = menu->MenuHost->Controls.size() == 1 ? 10 : 30;
        }
    }
    HWND List(TGuiMenu* m) { return m->PopupWindow->Handle(); }
    TPoint Entry(TGuiMenu* m, int index, int dx = 10) {
        TGuiBase* c = m->MenuHost->Controls[std::size_t(index)];
        return gui.At(List(m), c->Left + dx, c->Top + 3);
    }
};

TEST_F(Menus, ChosenEntryReportsMenuIdTagAndCaption) {
    gui.Click(At(menu->Left + 4, menu->Top + 4));
    ASSERT_FALSE(menu->Closed);
    TRect r;
    GetWindowRect(List(menu), &r);
    const TPoint title = At(menu->Left, menu->Bottom);
    EXPECT_EQ(r.Left, title.X);
    EXPECT_EQ(r.Top, title.Y + 1);
    EXPECT_EQ(GetActiveWindow(), form->Handle());
    // A release on the separator does nothing.
    gui.MoveTo(Entry(menu, 1));
    gui.Click(Entry(menu, 1));
    EXPECT_FALSE(menu->Closed);
    EXPECT_TRUE(reports.empty());
    gui.MoveTo(Entry(menu, 2));
    gui.Click(Entry(menu, 2));
    EXPECT_TRUE(menu->Closed);
    EXPECT_FALSE(IsWindowVisible(List(menu)));
    EXPECT_EQ(reports, (std::vector<Report>{{"file", 30, "Open"}}));
    EXPECT_EQ(GetCapture(), 0);
}

TEST_F(Menus, LongMenuIsCappedAndWideEnoughForItsScrollBar) {
    menu->MenuHost->Clear();
    for (int i = 0; i < 133; ++i)
        menu->MenuHost->AddMenuLabel("Entry " + std::to_string(i));
    menu->MaxHeight = 256;
    menu->ShowPopup();
    TRect r;
    GetWindowRect(List(menu), &r);
    EXPECT_EQ(r.Bottom - r.Top, 256);
    EXPECT_EQ(r.Right - r.Left, menu->MenuHost->ControlsWidth() + 18);
    menu->HidePopup();
}

TEST_F(Menus, ListNearTheScreensBottomEndsThere) {
    form->SetBounds(100, 700, 420, 60);
    gui.Pump();
    menu->ShowPopup();
    TRect r;
    GetWindowRect(List(menu), &r);
    EXPECT_EQ(r.Bottom, GetSystemMetrics(SM_CYSCREEN));
    menu->HidePopup();
}

TEST_F(Menus, SubMenuOpensAndClosesOnItsTimer) {
    TGuiMenu* sub = host->AddSubMenu(menu, "recent", "Recent", nullptr);
    sub->MenuHost->AddMenuLabel("song1.seq")->Tag = 5;
    gui.Click(At(menu->Left + 4, menu->Top + 4));
    ASSERT_FALSE(menu->Closed);
    gui.MoveTo(Entry(menu, 3));
    EXPECT_TRUE(sub->Focused);
    gui.Advance(290);
    EXPECT_TRUE(sub->Closed);
    gui.Advance(20);
    ASSERT_FALSE(sub->Closed);
    EXPECT_FALSE(menu->Closed);
    TRect title, list;
    GetWindowRect(List(menu), &title);
    GetWindowRect(List(sub), &list);
    EXPECT_EQ(list.Left, gui.At(List(menu), sub->Right + 1, 0).X);
    // Back over the parent's list: 300 ms later the sub-menu closes, the parent stays.
    gui.MoveTo(Entry(menu, 0));
    gui.Advance(290);
    EXPECT_FALSE(sub->Closed);
    gui.Advance(20);
    EXPECT_TRUE(sub->Closed);
    EXPECT_FALSE(menu->Closed);
    // Open again and choose in it: reported where the menu reports.
    gui.MoveTo(Entry(menu, 3));
    gui.Advance(310);
    ASSERT_FALSE(sub->Closed);
    gui.MoveTo(Entry(sub, 0));
    gui.Click(Entry(sub, 0));
    EXPECT_EQ(reports, (std::vector<Report>{{"recent", 5, "song1.seq"}}));
    EXPECT_TRUE(sub->Closed);
    EXPECT_TRUE(menu->Closed);
}

TEST_F(Menus, DeactivationClosesAnOpenSubMenuAndItsParentsList) {
    TGuiMenu* sub = host->AddSubMenu(menu, "recent", "Recent", nullptr);
    sub->MenuHost->AddMenuLabel("song1.seq");
    gui.Click(At(menu->Left + 4, menu->Top + 4));
    gui.MoveTo(Entry(menu, 3));
    gui.Advance(310);
    ASSERT_FALSE(sub->Closed);
    SetAppActive(false);
    gui.Pump();
    EXPECT_TRUE(sub->Closed);
    EXPECT_TRUE(menu->Closed);
    EXPECT_FALSE(IsWindowVisible(List(menu)));
    SetAppActive(true);
}

TEST_F(Menus, HidingTheListWindowClosesTheMenu) {
    menu->ShowPopup();
    ShowWindow(List(menu), SW_HIDE);
    EXPECT_TRUE(menu->Closed);
    // A second press on the title closes it.
    gui.Click(At(menu->Left + 4, menu->Top + 4));
    EXPECT_FALSE(menu->Closed);
    gui.Click(At(menu->Left + 4, menu->Top + 4));
    EXPECT_TRUE(menu->Closed);
}

TEST_F(Menus, ShortcutOfAnEntryReportsThroughTheMenu) {
    menu->MenuHost->Controls[2]->ShortCut = 'O';
    TGuiKeyMsg k;
    k.Key = 'O';
    EXPECT_TRUE(host->KeyboardCaptured(k));
    EXPECT_EQ(reports, (std::vector<Report>{{"file", 30, "Open"}}));
}

} // namespace
} // namespace gui_test
