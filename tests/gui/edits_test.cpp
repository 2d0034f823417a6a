// The focus-colour edit and the numeric edit.
#include "gui/editincdec.h"
#include "gui/editnew.h"
#include "widgets_fixture.h"

#include "platform/window/input.h"

namespace widgets_test {
namespace {

class EditIncDecTest : public WidgetsTest {
protected:
    TEditIncDec* e = nullptr;
    void Make(const std::string& text) {
        e = new TEditIncDec(form);
        e->Parent = form;
        e->SetBounds(10, 10, 80, 22);
        e->Text = text;
        ShowForm();
        e->SetFocus();
        gui.Pump();
    }
    void CtrlClick(MouseButton b, bool shift = false) {
        gui.KeyDown(VK_CONTROL);
        if (shift) gui.KeyDown(VK_SHIFT);
        gui.Click(gui.At(e->Handle(), 20, 10), b);
        if (shift) gui.KeyUp(VK_SHIFT);
        gui.KeyUp(VK_CONTROL);
    }
};

TEST_F(EditIncDecTest, ArrowsStepWholeNumbersWithoutClamping) {
    struct Case {
        std::string text;
        std::initializer_list<UINT> keys;
        std::string after;
    };
    const Case cases[] = {
        {" 12 ", {VK_SHIFT, VK_UP}, "22"},
        {"abc", {VK_UP}, "abc"},
        {"127", {VK_UP}, "128"}, // Max 127: the windows check the range, not the field
        {"0", {VK_DOWN}, "-1"},
        {"5", {VK_SHIFT, VK_DOWN}, "-5"},
        {"3000000000", {VK_UP}, "3000000001"},
        {"9223372036854775807", {VK_UP}, "9223372036854775807"},
        {"1.5", {VK_UP}, "1.5"},
        {"", {VK_UP}, ""},
    };
    for (const Case& c : cases) {
        Make(c.text);
        gui.Chord(c.keys);
        EXPECT_EQ(e->Text(), c.after) << "'" << c.text << "'";
        delete e;
    }
}

TEST_F(EditIncDecTest, TypingTakesDigitsAndAMinusOnlyBelowZero) {
    Make("");
    gui.Type("1-2.a3");
    EXPECT_EQ(e->Text(), "123");
    gui.Type("\b");
    EXPECT_EQ(e->Text(), "12");
    e->Min = -10;
    e->Text = "";
    gui.Type("-4.5");
    EXPECT_EQ(e->Text(), "-45");
}

TEST_F(EditIncDecTest, CtrlClicksStepDownLeftAndUpRight) {
    Make("50");
    int ups = 0;
    e->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) { ++ups; };
    CtrlClick(MouseButton::Right);
    EXPECT_EQ(e->Text(), "51");
    CtrlClick(MouseButton::Left);
    EXPECT_EQ(e->Text(), "50");
    CtrlClick(MouseButton::Left, true);
    EXPECT_EQ(e->Text(), "40");
    gui.Click(gui.At(e->Handle(), 20, 10), MouseButton::Right);
    EXPECT_EQ(e->Text(), "40") << "without Ctrl nothing steps";
    EXPECT_EQ(ups, 0) << "releases raise no event";
    ASSERT_NE(e->PopupMenu, nullptr);
    EXPECT_EQ(e->Min, 0);
    EXPECT_EQ(e->Max, 127);
}

using EditNewTest = WidgetsTest;

TEST_F(EditNewTest, ColoursFollowFocusAndTheMouse) {
    auto* a = new TEditNew(form);
    a->Parent = form;
    a->SetBounds(10, 10, 100, 22);
    auto* b = new TEditNew(form);
    b->Parent = form;
    b->SetBounds(10, 50, 100, 22);
    ShowForm();
    b->SetFocus();
    gui.Pump();
    EXPECT_EQ(b->Color(), 0x80FFFF);
    EXPECT_EQ(b->Font.Color(), clBlack);
    // Over the unfocused one: focus colours until the mouse leaves.
    gui.MoveTo(gui.At(a->Handle(), 30, 10));
    EXPECT_EQ(a->Color(), 0x80FFFF);
    gui.MoveTo(gui.At(H(), 200, 150));
    EXPECT_EQ(a->Color(), clBlack);
    EXPECT_EQ(a->Font.Color(), 0xFFFFFF);
    // Colours set now show at the next change only.
    a->FocusColor = clYellow;
    EXPECT_EQ(a->Color(), clBlack);
    a->SetFocus();
    gui.Pump();
    EXPECT_EQ(a->Color(), clYellow);
    EXPECT_EQ(b->Color(), clBlack);
    EXPECT_EQ(b->Font.Color(), 0xFFFFFF);
    // Focused, the mouse changes nothing.
    gui.MoveTo(gui.At(a->Handle(), 30, 10));
    gui.MoveTo(gui.At(H(), 200, 150));
    EXPECT_EQ(a->Color(), clYellow);
    gui.Press(gui.At(a->Handle(), 30, 10));
    EXPECT_TRUE(a->MouseIsDown());
    gui.Release(gui.At(a->Handle(), 30, 10));
    EXPECT_FALSE(a->MouseIsDown());
}

} // namespace
} // namespace widgets_test
