// Fader, enumeration, check box and buttons.
#include "mscroll_fixture.h"

namespace gui_test {
namespace {

using Values = HostTest;

TEST_F(Values, FaderTakesItsValueFromThePixelAndClampsDrags) {
    TGuiFader* f = host->AddFader("vol", 0, 127, 0, 128, nullptr);
    f->Left = 10, f->Right = 138;
    gui.Press(At(10 + 64, 10));
    EXPECT_EQ(f->Position, 64); // Round(64 x 127 / 128)
    gui.MoveTo(At(10 + 200, 10));
    EXPECT_EQ(f->Position, 127);
    gui.Release(At(10 + 200, 10));
    ASSERT_GE(reports.size(), 2u);
    EXPECT_EQ(reports[0], (Report{"vol", 64, "64"}));
    EXPECT_EQ(reports.back(), (Report{"vol", 127, "127"}));
    // Halves go to the even neighbour: 63.5 -> 64, 62.5 -> 62.
    TGuiFader* g = host->AddFader("g", 0, 127, 0, 254, nullptr);
    EXPECT_EQ(g->ValueAt(127), 64);
    EXPECT_EQ(g->ValueAt(125), 62);
}

TEST_F(Values, CtrlShiftDragMovesTenPerPixelAndClamps) {
    TGuiFader* f = host->AddFader("f", 0, 127, 20, 128, nullptr);
    gui.KeyDown(VK_CONTROL);
    gui.KeyDown(VK_SHIFT);
    gui.Press(At(50, 10));
    EXPECT_EQ(f->Position, 20); // a Ctrl press only anchors
    EXPECT_TRUE(reports.empty());
    gui.MoveTo(At(49, 10));
    gui.MoveTo(At(47, 10));
    EXPECT_EQ(f->Position, 0); // -30, clamped at Min
    gui.Release(At(47, 10));
    gui.KeyUp(VK_SHIFT);
    gui.KeyUp(VK_CONTROL);
    EXPECT_EQ(reports.back(), (Report{"f", 0, "0"}));
}

TEST_F(Values, RightPressStepsTowardsTheHalfUnlessOnMouseIsSet) {
    TGuiFader* f = host->AddFader("f", 0, 127, 50, 128, nullptr);
    int changes = 0;
    f->OnChange = [&](TGuiFader* s, TMouseButton b, TShiftState) {
        EXPECT_EQ(s, f);
        changes += b == mbRight;
    };
    gui.Click(At(10, 10), MouseButton::Right);
    EXPECT_EQ(f->Position, 49);
    gui.Click(At(100, 10), MouseButton::Right);
    EXPECT_EQ(f->Position, 50);
    EXPECT_EQ(changes, 2);
    std::vector<int> states;
    f->OnMouse = [&](TGuiFader*, TMouseButton, TShiftState, int, int, int state) {
        states.push_back(state);
    };
    reports.clear();
    gui.Click(At(10, 10), MouseButton::Right);
    EXPECT_EQ(f->Position, 50);
    EXPECT_EQ(reports, (std::vector<Report>{{"f", 50, "50"}}));
    EXPECT_EQ(states, (std::vector<int>{0, 2}));
    EXPECT_EQ(changes, 2); // OnMouse replaces OnChange
}

TEST_F(Values, FaderStepsAndPaintsItsFill) {
    TGuiFader* f = host->AddFader("f", 0, 100, 50, 100, nullptr);
    f->Step(-10);
    EXPECT_EQ(f->Position, 60);
    f->Step(100);
    EXPECT_EQ(f->Position, 0);
    EXPECT_EQ(reports, (std::vector<Report>{{"f", 60, "60"}, {"f", 0, "0"}}));
    f->Position = 50;
    f->OnGetText = [](TGuiFader*, std::string& t) { t = ""; };
    host->Paint();
    EXPECT_EQ(Pixel(30, 12), Rgb(kGuiSilver));
    EXPECT_EQ(Pixel(70, 12), Rgb(GuiFace()));
    EXPECT_EQ(Pixel(0, 12), Rgb(kGuiWhite));
}

TEST_F(Values, FaderWithoutWidthOrRangeStaysSane) {
    TGuiFader* f = host->AddFader("f", 10, 20, 15, 0, nullptr);
    EXPECT_EQ(f->ValueAt(5), 10);
    TGuiFader* g = host->AddFader("g", 7, 7, 7, 100, nullptr);
    g->Top = 40, g->Bottom = 56;
    g->OnGetText = [](TGuiFader*, std::string& t) { t = ""; };
    gui.Click(At(60, 45));
    EXPECT_EQ(g->Position, 7);
    host->Paint();
    EXPECT_EQ(Pixel(50, 48), Rgb(GuiFace())); // no fill drawn
}

TEST_F(Values, EnumerationArrowZonesWrapAndStepWraps) {
    TGuiEnum* e = host->AddEnum("", 100, alNone, nullptr);
    e->Id = "mode";
    e->Left = 0, e->Right = 100;
    for (const char* n : {"one", "two", "three"})
        e->AddItem(n);
    gui.Click(At(5, 10));
    EXPECT_EQ(e->ItemIndex, 2);
    gui.Click(At(95, 10));
    EXPECT_EQ(e->ItemIndex, 0);
    e->Step(1);
    EXPECT_EQ(e->ItemIndex, 2);
    e->Step(-1);
    EXPECT_EQ(e->ItemIndex, 0);
    EXPECT_EQ(
        reports,
        (std::vector<Report>{
            {"mode", 2, "three"}, {"mode", 0, "one"}, {"mode", 2, "three"}, {"mode", 0, "one"}}));
    EXPECT_EQ(e->PressedZone, 0);
}

TEST_F(Values, EnumerationWithoutEntriesIgnoresPresses) {
    TGuiEnum* e = host->AddEnum("", 100, alNone, nullptr);
    e->Left = 0, e->Right = 100;
    gui.Click(At(5, 10));
    gui.Click(At(50, 10));
    e->Step(1);
    EXPECT_TRUE(reports.empty());
    EXPECT_TRUE(e->ListClosed);
    EXPECT_EQ(e->Text(), "");
    e->AddItem("x");
    e->ClearItems();
    EXPECT_EQ(e->ItemIndex, -1);
    EXPECT_EQ(e->Text(), "");
}

TEST_F(Values, DropDownListChoosesTheEntryReleasedOn) {
    TGuiEnum* e = host->AddEnum("", 120, alNone, nullptr);
    e->Id = "kind";
    e->Left = 10, e->Right = 130;
    e->DropDown = true;
    for (const char* n : {"MIDI", "Audio", "Softsynth"})
        e->AddItem(n);
    gui.Click(At(20, 10));
    ASSERT_FALSE(e->ListClosed);
    HWND list = e->ListWindow->Handle();
    EXPECT_EQ(GetCapture(), list);
    TRect r;
    GetWindowRect(list, &r);
    const TPoint below = At(10, 20);
    EXPECT_EQ(TRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top),
              TRect(below.X, below.Y, 120, 3 * 16 + 4));
    EXPECT_EQ(GetActiveWindow(), form->Handle());
    // Hovering lights the entry; a release on it chooses it.
    TPoint second = gui.At(list, 30, 2 + 16 + 8);
    gui.MoveTo(second);
    gui.Press(second);
    gui.Release(second);
    EXPECT_TRUE(e->ListClosed);
    EXPECT_FALSE(IsWindowVisible(list));
    EXPECT_EQ(e->ItemIndex, 1);
    EXPECT_EQ(reports, (std::vector<Report>{{"kind", 1, "Audio"}}));
    // A press outside an open list closes it and chooses nothing.
    gui.Click(At(20, 10));
    ASSERT_FALSE(e->ListClosed);
    gui.Press(At(300, 200));
    EXPECT_TRUE(e->ListClosed);
    EXPECT_EQ(reports.size(), 1u);
}

TEST_F(Values, ShortDropDownListScrollsItsEntries) {
    TGuiEnum* e = host->AddEnum("", 120, alNone, nullptr);
    e->Left = 10, e->Right = 130;
    e->DropDown = true;
    e->DropDownCount = 3;
    for (const char* n : {"a", "b", "c", "d", "e"})
        e->AddItem(n);
    gui.Click(At(20, 10));
    ASSERT_FALSE(e->ListClosed);
    HWND list = e->ListWindow->Handle();
    TRect r;
    GetWindowRect(list, &r);
    EXPECT_EQ(r.Bottom - r.Top, 3 * 16 + 4);
    TGuiAlign* box = dynamic_cast<TGuiAlign*>(e->ListHost->Controls[0]);
    ASSERT_NE(box, nullptr);
    ASSERT_NE(box->ScrollBar, nullptr);
    EXPECT_TRUE(box->ScrollBar->Visible);
    // The bar's second arrow scrolls one entry; its release chooses nothing.
    const TPoint arrow = gui.At(list, 120 - 2 - 8, 52 - 2 - 4);
    gui.Click(arrow);
    EXPECT_EQ(box->ScrollY, 16);
    EXPECT_FALSE(e->ListClosed);
    EXPECT_TRUE(reports.empty());
    // The first entry showing is now "b".
    const TPoint entry = gui.At(list, 20, 2 + 4);
    gui.MoveTo(entry);
    gui.Click(entry);
    EXPECT_EQ(reports, (std::vector<Report>{{"", 1, "b"}}));
}

TEST_F(Values, CheckBoxTogglesOnlyOnAReleaseInside) {
    TGuiCheck* c = host->AddCheck("solo", "Solo", 80, alNone, nullptr);
    c->Left = 0, c->Right = 80;
    gui.Press(At(10, 10));
    gui.Release(At(200, 10));
    EXPECT_TRUE(c->Checked);
    EXPECT_TRUE(reports.empty());
    gui.Click(At(10, 10));
    EXPECT_FALSE(c->Checked);
    EXPECT_EQ(reports, (std::vector<Report>{{"solo", 0, ""}}));
}

TEST_F(Values, ButtonsReportTheirTagOnlyWhenReleasedInside) {
    TGuiButton* b = host->AddButton("ok", "OK", 0, nullptr);
    b->Left = 0, b->Top = 0, b->Right = 40, b->Bottom = 20;
    b->Tag = 7;
    EXPECT_EQ(b->GetValue(), -1);
    gui.Press(At(10, 10));
    gui.Release(At(100, 100));
    EXPECT_TRUE(reports.empty());
    gui.Click(At(10, 10));
    EXPECT_EQ(reports, (std::vector<Report>{{"ok", 7, "OK"}}));
    // A close glyph released outside neither reports nor closes; inside it closes its window.
    TForm other(nullptr);
    other.SetBounds(500, 100, 100, 100);
    other.Show();
    TGuiImageButton* close =
        host->AddIconButton("close", "", 1, alNone, 0, nullptr, other.Handle());
    close->Left = 100, close->Top = 0, close->Right = 118, close->Bottom = 18;
    reports.clear();
    gui.Press(At(105, 5));
    gui.Release(At(300, 200));
    EXPECT_TRUE(reports.empty());
    EXPECT_TRUE(IsWindowVisible(other.Handle()));
    gui.Click(At(105, 5));
    EXPECT_EQ(reports, (std::vector<Report>{{"close", 0, ""}}));
    EXPECT_FALSE(IsWindowVisible(other.Handle()));
}

TEST_F(Values, ImageButtonsDrawTheirGlyphs) {
    TGuiImageButton* up = host->AddIconButton("up", "", 7, alNone, 0, nullptr, 0);
    up->Left = 0, up->Top = 0, up->Right = 18, up->Bottom = 16;
    TGuiImageButton* menu = host->AddIconButton("m", "Edit", 13, alNone, 0, nullptr, 0);
    menu->Left = 20, menu->Top = 0, menu->Right = 80, menu->Bottom = 16;
    host->Paint();
    EXPECT_EQ(Pixel(9, 8), Rgb(kGuiBlue));
    EXPECT_EQ(Pixel(1, 1), Rgb(kGuiSilver));
    EXPECT_EQ(Pixel(0, 0), Rgb(kGuiWhite));
    EXPECT_EQ(Pixel(21, 1), Rgb(kGuiBlack));
    up->Down = true;
    up->Pressed = true;
    up->Redraw();
    EXPECT_EQ(Pixel(0, 0), Rgb(kGuiGrey)); // sunken
}

} // namespace
} // namespace gui_test
