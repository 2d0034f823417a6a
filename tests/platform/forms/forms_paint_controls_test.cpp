// The painted controls' pixels and sizes, and the edit's state.
#include "platform/forms/application.h"
#include "platform/forms/checkbox.h"
#include "platform/forms/edit.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/label.h"
#include "platform/gdi/syscolors.h"
#include "platform/window/focus.h"
#include "support/gui_harness.h"

#include <gtest/gtest.h>

namespace {

using namespace platform;

class PaintedTest : public ::testing::Test {
protected:
    testsupport::GuiHarness gui;
    TForm* form = new TForm(nullptr);
    PaintedTest() {
        form->SetBounds(0, 0, 300, 200);
        form->Color = clWhite;
    }
    ~PaintedTest() override { form->Free(); }
    bool AnyPixel(HWND h, TRect r, std::uint32_t rgb) {
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x)
                if (gui.Pixel(h, x, y) == rgb) return true;
        return false;
    }
};

TEST_F(PaintedTest, LabelSizesItselfWrapsAndMarksItsAccelerator) {
    auto* a = new TLabel(form);
    a->Parent = form;
    a->Caption = "&Open";
    auto* b = new TLabel(form);
    b->Parent = form;
    b->ShowAccelChar = false;
    b->Caption = "&Open";
    EXPECT_LT(a->Width(), b->Width()) << "the mark is not drawn";
    EXPECT_GT(a->Height(), 0);
    auto* w = new TLabel(form);
    w->Parent = form;
    w->WordWrap = true;
    w->AutoSize = false;
    w->Width = 60;
    w->AutoSize = true;
    w->Caption = "one two three four five six";
    EXPECT_EQ(w->Width(), 60);
    EXPECT_GT(w->Height(), 2 * a->Height()) << "wrapped over lines";
    // Transparent shows the parent; otherwise the label's colour (the parent's by default).
    auto* t = new TLabel(form);
    t->Parent = form;
    t->AutoSize = false;
    t->SetBounds(100, 100, 40, 20);
    t->Color = clRed;
    form->Show();
    gui.Pump();
    const HWND h = form->Handle();
    EXPECT_EQ(gui.Pixel(h, 138, 118), 0xFF0000u);
    t->Transparent = true;
    gui.Pump();
    EXPECT_EQ(gui.Pixel(h, 138, 118), 0xFFFFFFu);
    EXPECT_TRUE(AnyPixel(h, a->BoundsRect(), 0x000000u));
    EXPECT_EQ(gui.Pixel(h, a->Width() - 1, 0), 0xFFFFFFu) << "ParentColor: white like the form";
}

TEST_F(PaintedTest, ShapeAndImage) {
    auto* s = new TShape(form);
    s->Parent = form;
    s->SetBounds(10, 10, 40, 20);
    s->Brush.Color = clBlue;
    s->Pen.Color = clRed;
    auto* c = new TShape(form);
    c->Parent = form;
    c->SetBounds(60, 10, 40, 20);
    c->Shape = stCircle;
    c->Brush.Color = clLime;
    auto* img = new TImage(form);
    img->Parent = form;
    img->SetBounds(120, 10, 20, 20);
    TBitmap& bmp = img->Picture().Bitmap();
    bmp.SetSize(2, 2);
    bmp.Canvas().SetPixel(0, 0, clRed);
    bmp.Canvas().SetPixel(1, 0, clBlue);
    bmp.Canvas().SetPixel(0, 1, clLime);
    bmp.Canvas().SetPixel(1, 1, clBlack);
    img->Stretch = true;
    img->PictureChanged();
    form->Show();
    gui.Pump();
    const HWND h = form->Handle();
    EXPECT_EQ(gui.Pixel(h, 10, 10), 0xFF0000u) << "the pen";
    EXPECT_EQ(gui.Pixel(h, 30, 20), 0x0000FFu) << "the brush";
    EXPECT_EQ(gui.Pixel(h, 80, 20), 0x00FF00u) << "circle centre";
    EXPECT_EQ(gui.Pixel(h, 61, 11), 0xFFFFFFu) << "a circle in the middle of its bounds";
    EXPECT_EQ(gui.Pixel(h, 120, 10), 0xFF0000u);
    EXPECT_EQ(gui.Pixel(h, 139, 9 + 10), 0x0000FFu) << "stretched: each pixel a 10x10 block";
    EXPECT_EQ(gui.Pixel(h, 139, 29), 0x000000u);
    img->Stretch = false;
    img->AutoSize = true;
    EXPECT_EQ(img->Width(), 2);
}

TEST_F(PaintedTest, EditStateReadOnlyCaseAndSelection) {
    auto* e = new TEdit(form);
    e->Parent = form;
    e->CharCase = ecUpperCase;
    e->Text = "abc";
    EXPECT_EQ(e->Text(), "ABC");
    form->Show();
    e->SelectAll();
    EXPECT_EQ(e->SelLength(), 3);
    EXPECT_EQ(e->SelText(), "ABC");
    gui.Type("x");
    EXPECT_EQ(e->Text(), "X");
    e->ReadOnly = true;
    gui.Type("yz");
    EXPECT_EQ(e->Text(), "X");
    e->ReadOnly = false;
    e->MaxLength = 2;
    gui.Type("yz");
    EXPECT_EQ(e->Text(), "XY");
    e->Modified = false;
    e->Text = "long text set in code";
    EXPECT_EQ(e->Text(), "LONG TEXT SET IN CODE");
    EXPECT_TRUE(e->Modified);
    // The form's focused control cleared: the focus goes to the form itself.
    form->ActiveControl = nullptr;
    EXPECT_FALSE(e->Focused());
    EXPECT_EQ(GetFocus(), form->Handle());
}

// Disabled controls draw greyed, like the system's own: no text in the control's black, the
// grey text colour instead, and an edit field on the button face.
TEST_F(PaintedTest, DisabledEditAndCheckBoxDrawGreyed) {
    auto* e = new TEdit(form);
    e->Parent = form;
    e->SetBounds(10, 10, 80, 23);
    e->Text = "MMMM";
    auto* c = new TCheckBox(form);
    c->Parent = form;
    c->SetBounds(10, 50, 150, 20);
    c->Caption = "MMMMMMMM";
    form->Show();
    gui.Pump();
    const HWND h = form->Handle();
    const TRect edit{12, 12, 88, 31}, check{10, 50, 160, 70};
    const std::uint32_t grey = 0x808080, face = 0xC0C0C0;
    ASSERT_EQ(ColorToRGB(clGrayText), 0x808080u);
    ASSERT_EQ(ColorToRGB(clBtnFace), 0xC0C0C0u);
    EXPECT_TRUE(AnyPixel(h, edit, 0x000000u));
    EXPECT_TRUE(AnyPixel(h, check, 0x000000u));
    EXPECT_FALSE(AnyPixel(h, edit, face));
    e->Enabled = false;
    c->Enabled = false;
    gui.Pump();
    for (const TRect& r : {edit, check}) {
        EXPECT_FALSE(AnyPixel(h, r, 0x000000u)) << r.Top << ": black text on a disabled control";
        EXPECT_TRUE(AnyPixel(h, r, grey)) << r.Top;
    }
    EXPECT_EQ(gui.Pixel(h, 80, 20), face) << "the disabled field's background";
    e->Enabled = true;
    gui.Pump();
    EXPECT_TRUE(AnyPixel(h, edit, 0x000000u));
    EXPECT_EQ(gui.Pixel(h, 80, 20), 0xFFFFFFu);
}

} // namespace
