// The rotated label, the icon button and the push button.
#include "gui/iconbutton.h"
#include "gui/nybutton.h"
#include "gui/rotatelabel.h"
#include "widgets_fixture.h"

#include "platform/window/input.h"

namespace widgets_test {
namespace {

TEST(RotateLabel, EscapementTurnsIntoZeroTo360) {
    const std::pair<int, int> cases[] = {{-30, 330}, {-400, 320}, {720, 360}, {361, 1},
                                         {360, 360}, {-360, 0},   {0, 0},     {-721, 359}};
    for (auto [in, out] : cases)
        EXPECT_EQ(NormalizeEscapement(in), out) << in;
}

using RotateLabelTest = WidgetsTest;

TEST_F(RotateLabelTest, DefaultsAndAutoSizeAtNinetySwapsTheSides) {
    auto* flat = new TRotateLabel(form);
    flat->Parent = form;
    EXPECT_EQ(flat->Escapement(), 45);
    EXPECT_EQ(flat->TextStyle(), tsRaised);
    EXPECT_EQ(flat->Font.Name(), "Arial");
    flat->Escapement = 0;
    // A caption whose flat box is even both ways: at 90 degrees the box is exactly turned
    // (an odd side would lose a pixel to the floor helper).
    std::string caption = "Tempo";
    for (int size = 8; size < 16 && (flat->Width() % 2 || flat->Height() % 2); ++size) {
        flat->Font.SetSize(size);
        for (std::string c : {"Tempo", "Tempo:", "Volume", "Pan", "Velocity", "Velocity:"}) {
            flat->Caption = c;
            caption = c;
            if (flat->Width() % 2 == 0 && flat->Height() % 2 == 0) break;
        }
    }
    ASSERT_EQ(flat->Width() % 2, 0);
    ASSERT_EQ(flat->Height() % 2, 0);
    auto* turned = new TRotateLabel(form);
    turned->Parent = form;
    turned->Font = flat->Font.Get();
    turned->Caption = caption;
    turned->Escapement = 90;
    EXPECT_EQ(turned->Width(), flat->Height());
    EXPECT_EQ(turned->Height(), flat->Width());
    // -30 is stored as 330 and the box follows.
    turned->Escapement = -30;
    EXPECT_EQ(turned->Escapement(), 330);
}

TEST_F(RotateLabelTest, RaisedTextHasShadowBelowRightAndHighlightAboveLeft) {
    auto* l = new TRotateLabel(form);
    l->Parent = form;
    l->Escapement = 0;
    l->Font.Color = clBlack;
    TFont f = l->Font.Get();
    f.SetSize(20);
    l->Font = f;
    l->Caption = "I";
    form->Color = clTeal;
    l->Left = 20;
    l->Top = 20;
    l->Transparent = true;
    ShowForm();
    const TRect b = l->BoundsRect();
    const std::uint32_t shadow = Rgb(clBtnShadow), highlight = Rgb(clBtnHighlight);
    // The bar of the "I": find its black columns, then look just beside them.
    int left = -1, right = -1, mid = b.Top + b.Height() / 2;
    for (int x = b.Left; x < b.Right + 1; ++x)
        if (gui.Pixel(H(), x, mid) == 0x000000) {
            if (left < 0) left = x;
            right = x;
        }
    ASSERT_GE(left, 0);
    EXPECT_EQ(gui.Pixel(H(), right + 1, mid), shadow);
    EXPECT_EQ(gui.Pixel(H(), left - 1, mid), highlight);
    // Recessed swaps them.
    l->TextStyle = tsRecessed;
    gui.Pump();
    EXPECT_EQ(gui.Pixel(H(), right + 1, mid), highlight);
    EXPECT_EQ(gui.Pixel(H(), left - 1, mid), shadow);
    // Plain text: none of either.
    l->TextStyle = tsNone;
    gui.Pump();
    EXPECT_EQ(Count(H(), b, shadow) + Count(H(), b, highlight), 0);
}

TEST_F(RotateLabelTest, TurnedTextLandsInsideItsBox) {
    for (int a : {30, 90, 135, 200, 270, 315}) {
        auto* l = new TRotateLabel(form);
        l->Parent = form;
        l->TextStyle = tsNone;
        l->Font.Color = clBlack;
        l->Caption = "Velocity";
        l->Escapement = a;
        l->Left = 150;
        l->Top = 80;
        ShowForm();
        const TRect b = l->BoundsRect();
        const TRect around{b.Left - 10, b.Top - 10, b.Right + 10, b.Bottom + 10};
        const int inside = Count(H(), b, 0x000000);
        EXPECT_GT(inside, 20) << a;
        EXPECT_EQ(Count(H(), around, 0x000000), inside) << "nothing outside the box at " << a;
        delete l;
        gui.Pump();
    }
}

using IconButtonTest = WidgetsTest;

TEST_F(IconButtonTest, StateShowsOnThePanelAndClicksFollowTheRules) {
    auto* panel = new TPanel(form);
    panel->Parent = form;
    panel->SetBounds(10, 10, 40, 40);
    auto* b = new TIconButton(panel);
    b->Parent = panel;
    EXPECT_EQ(b->Align(), alClient);
    int downs = 0, ups = 0, clicks = 0;
    b->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++downs; };
    b->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) {
        ++ups;
        b->State = stDown; // the window's handler sets the next state
    };
    b->OnClick = [&](TObject*) { ++clicks; };
    ShowForm();
    const HWND p = panel->Handle();
    // stNone ignores a click completely.
    b->State = stNone;
    EXPECT_EQ(panel->BevelOuter(), bvNone);
    gui.Click(gui.At(p, 20, 20));
    EXPECT_EQ(downs + ups + clicks, 0);
    EXPECT_EQ(b->State(), stNone);
    // stUp: a click inside gives the handler its say.
    b->State = stUp;
    EXPECT_EQ(panel->BevelOuter(), bvRaised);
    gui.Click(gui.At(p, 20, 20));
    EXPECT_EQ(downs, 1);
    EXPECT_EQ(ups, 1);
    EXPECT_EQ(b->State(), stDown);
    EXPECT_EQ(panel->BevelOuter(), bvLowered);
    // stUp, released outside: back to stUp, no event.
    b->State = stUp;
    gui.Press(gui.At(p, 20, 20));
    EXPECT_EQ(b->State(), stNone);
    gui.Release(gui.At(p, 80, 20));
    EXPECT_EQ(b->State(), stUp);
    EXPECT_EQ(ups, 1);
    EXPECT_EQ(downs, 2);
    // The right button does nothing.
    gui.Click(gui.At(p, 20, 20), MouseButton::Right);
    EXPECT_EQ(downs, 2);
    EXPECT_EQ(b->State(), stUp);
}

class NyButtonTest : public WidgetsTest {
protected:
    tnybutton* b = nullptr;
    void Make() {
        b = new tnybutton(form);
        b->Parent = form;
        b->SetBounds(20, 20, 80, 26);
        b->Caption = "OK";
        TFont f = b->Font.Get();
        f.Style = fsBold;
        b->Font = f;
        ShowForm();
    }
    int CaptionPixels(std::uint32_t rgb) { return Count(b->Handle(), {6, 6, 74, 20}, rgb); }
};

TEST_F(NyButtonTest, ColoursAreSetTogether) {
    EXPECT_EQ(ButtonBkColor, 0x1F1F1F);
    EXPECT_EQ(ButtonTextColor, 0xC0C0C0);
    SetButtonColors(0x102030, 0x405060);
    EXPECT_EQ(ButtonBkColor, 0x102030);
    EXPECT_EQ(ButtonTextColor, 0x405060);
    SetButtonColors(0x1F1F1F, 0xC0C0C0);
}

TEST_F(NyButtonTest, FramePressedFrameAndCaptionColours) {
    Make();
    const HWND h = b->Handle();
    EXPECT_EQ(gui.Pixel(h, 0, 10), 0xC0C0C0u);
    EXPECT_EQ(gui.Pixel(h, 1, 10), 0xC0C0C0u);
    EXPECT_EQ(gui.Pixel(h, 79, 10), 0x808080u);
    EXPECT_EQ(gui.Pixel(h, 78, 10), 0x808080u);
    EXPECT_EQ(gui.Pixel(h, 40, 0), 0xC0C0C0u);
    EXPECT_EQ(gui.Pixel(h, 40, 25), 0x808080u);
    EXPECT_EQ(gui.Pixel(h, 10, 10), Rgb(clBtnFace));
    EXPECT_GT(CaptionPixels(0x000000), 10);
    // Pressed: the greys swap.
    gui.Press(gui.At(h, 40, 13));
    EXPECT_EQ(gui.Pixel(h, 0, 10), 0x808080u);
    EXPECT_EQ(gui.Pixel(h, 1, 10), 0x808080u);
    EXPECT_EQ(gui.Pixel(h, 79, 10), 0xC0C0C0u);
    EXPECT_EQ(gui.Pixel(h, 40, 25), 0xC0C0C0u);
    gui.Release(gui.At(h, 40, 13));
    // Disabled: a grey caption.
    b->Enabled = false;
    gui.Pump();
    EXPECT_GT(CaptionPixels(0x808080), 10);
    EXPECT_EQ(CaptionPixels(0x000000), 0);
}

TEST_F(NyButtonTest, CaptionIsNeverBoldAndTheFocusedButtonShowsItsMark) {
    Make();
    auto* plain = new tnybutton(form);
    plain->Parent = form;
    plain->SetBounds(120, 20, 80, 26);
    plain->Caption = "OK";
    gui.Pump();
    EXPECT_EQ(CaptionPixels(0x000000), Count(plain->Handle(), {6, 6, 74, 20}, 0x000000));
    // Focused and active: the dotted focus mark 4 pixels in.
    b->SetFocus();
    gui.Pump();
    ASSERT_TRUE(b->IsActive());
    int marks = 0;
    for (int x = 4; x < 76; ++x)
        marks += gui.Pixel(b->Handle(), x, 4) != Rgb(clBtnFace);
    EXPECT_GT(marks, 10);
    int plainMarks = 0;
    for (int x = 4; x < 76; ++x)
        plainMarks += gui.Pixel(plain->Handle(), x, 4) != Rgb(clBtnFace);
    EXPECT_EQ(plainMarks, 0);
}

} // namespace
} // namespace widgets_test
