// The widgets on a real form on an X server: Xvfb started by the test, the form shown by a
// child run of this executable on Qt's xcb platform, and a screenshot saved in the build
// folder (build/tests/widgets-xcb.png) for a person to look at.
#include "gui/bkpanel.h"
#include "gui/comctrls95.h"
#include "gui/editincdec.h"
#include "gui/fader.h"
#include "gui/hemibtn.h"
#include "gui/iconbutton.h"
#include "gui/mmaux.h"
#include "gui/nybutton.h"
#include "gui/rotatelabel.h"
#include "gui/scroll.h"
#include "gui/splitterex2.h"
#include "support/gui_xvfb.h"

#include "platform/forms/display.h"
#include "platform/forms/form.h"
#include "platform/forms/label.h"
#include "platform/gdi/syscolors.h"

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <gtest/gtest.h>

#include <cstdlib>
#include <tuple>
#include <unistd.h>

namespace {

using namespace platform;

constexpr const char* kChildVar = "TOLVERN_WIDGETS_XCB_CHILD";

using testsupport::Spin;

TEST(WidgetsXcb, WidgetsOnARealForm) {
    if (std::getenv(kChildVar)) GTEST_SKIP() << "the child run of this test";
    if (!testsupport::OnPath("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
    testsupport::Xvfb x;
    if (x.Display().empty()) GTEST_SKIP() << "Xvfb could not start on a free display";
    const std::string shot = std::string(TOLVERN_BIN_DIR) + "/../tests/widgets-xcb.png";
    std::remove(shot.c_str());
    const std::string suppressions = shot + ".lsan";
    if (FILE* f = std::fopen(suppressions.c_str(), "w")) {
        std::fputs("leak:libdbus-1.so\n", f);
        std::fclose(f);
    }
    pid_t child = testsupport::Spawn({"/proc/self/exe", "--gtest_filter=WidgetsXcbChild.*"},
                                     {"DISPLAY=" + x.Display(), "QT_QPA_PLATFORM=xcb",
                                      std::string(kChildVar) + "=" + shot,
                                      "LSAN_OPTIONS=suppressions=" + suppressions});
    ASSERT_NE(child, 0);
    EXPECT_EQ(testsupport::WaitFor(child, 60000), 0)
        << "the child run failed (its output is above)";
    std::remove(suppressions.c_str());
    EXPECT_EQ(access(shot.c_str(), F_OK), 0) << "no screenshot at " << shot;
}

// A tool dialog as the program builds them: a piano-roll pane beside a splitter, pages of
// settings behind flat tab buttons, a recording line, the dialog's buttons.
class Dialog {
public:
    TForm* form = new TForm(nullptr);
    TPage95Control* pages = nullptr;
    TFader* fader = nullptr;
    tnybutton* ok = nullptr;
    THemisphereButton* hide = nullptr;
    TBkPanel* side = nullptr;
    TScroll* roll = nullptr;

    Dialog() {
        form->Caption = "Velocity";
        form->SetBounds(60, 60, 620, 350);
        form->Color = clBtnFace;
        TFont f = form->Font.Get();
        f.Name = "Arial";
        f.SetSize(8);
        form->Font = f;

        side = new TBkPanel(form);
        side->Parent = form;
        side->Align = alLeft;
        side->Width = 170;
        roll = new TScroll(side);
        roll->Parent = side;
        roll->Align = alClient;
        roll->OnPaint = [r = roll](TCanvas& c) { PaintRoll(r, c); };
        auto* split = new TSplitterEx2(form);
        split->Parent = form;
        split->Left = 170;
        split->Width = 4;
        split->Color = clGray;
        split->Control = side;

        auto* body = new TPanel(form);
        body->Parent = form;
        body->Align = alClient;
        body->BevelOuter = bvNone;

        hide = new THemisphereButton(form);
        hide->Parent = body;
        hide->SetBevelOuter(hbNone);
        hide->SetBounds(14, 6, 17, 17);
        hide->Hint = "Hide";
        hide->Cursor = crHandPoint;

        auto* title = new TRotateLabel(form);
        title->Parent = body;
        title->Escapement = 90;
        TFont tf = title->Font.Get();
        tf.SetSize(14);
        tf.Style = fsBold;
        tf.Color = clNavy;
        title->Font = tf;
        title->Caption = "Velocity";
        title->SetBounds(12, 30, title->Width(), title->Height());

        pages = new TPage95Control(form);
        pages->Parent = body;
        pages->SetBounds(44, 8, 390, 250);
        pages->ButtonStyle = true;
        pages->FlatButtons = true;
        pages->HotTrack = true;
        TTab95Sheet* first = nullptr;
        for (const char* name : {"Range", "Compress", "Random"}) {
            auto* s = new TTab95Sheet(form);
            s->Caption = name;
            s->PageControl = pages;
            if (!first) first = s;
        }
        pages->ActivePage = first;
        int y = 14;
        for (auto [name, value] : {std::pair{"Minimum", "1"}, std::pair{"Maximum", "127"}}) {
            auto* l = new TLabel(form);
            l->Parent = first;
            l->Caption = name;
            l->SetBounds(16, y + 4, l->Width(), l->Height());
            auto* e = new TEditIncDec(form);
            e->Parent = first;
            e->SetBounds(96, y, 60, 21);
            e->Text = value;
            y += 30;
        }
        auto* amount = new TLabel(form);
        amount->Parent = first;
        amount->Caption = "Amount";
        amount->SetBounds(16, y + 6, amount->Width(), amount->Height());
        fader = new TFader(form);
        fader->Parent = first;
        fader->SetBounds(96, y + 2, 260, 20);
        fader->Max = 127;
        fader->ShowText = true;
        fader->UseFrame = true;
        fader->Pos = 96;
        // Two recording lines on a dark strip, the second one switched off.
        auto* strip = new TPanel(form);
        strip->Parent = first;
        strip->SetBounds(16, y + 40, 340, 84);
        strip->BevelOuter = bvLowered;
        strip->Color = TColor(0x303030);
        int lineY = 4;
        for (auto [name, pos, active] :
             {std::tuple{"Line In", 64, true}, std::tuple{"Microphone", 100, false}}) {
            auto* line = new TMMAux(form);
            line->Parent = strip;
            line->SetBounds(6, lineY, 326, 36);
            line->BBB->Caption = name;
            line->AAA->UseFrame = true;
            line->AAA->Pos = pos;
            line->Active = active;
            lineY += 40;
        }

        auto* iconPanel = new TPanel(form);
        iconPanel->Parent = body;
        iconPanel->SetBounds(44, 270, 28, 28);
        auto* play = new TIconButton(form);
        play->Parent = iconPanel;
        TBitmap& pic = play->Picture().Bitmap();
        pic.SetSize(24, 24);
        pic.Canvas().Brush.Color = clBtnFace;
        pic.Canvas().FillRect({0, 0, 24, 24});
        pic.Canvas().Brush.Color = clGreen;
        pic.Canvas().Pen.Color = clGreen;
        const TPoint tri[3] = {{8, 5}, {18, 11}, {8, 17}};
        pic.Canvas().Polygon(tri);
        play->Center = true;
        play->PictureChanged();
        play->State = stUp;

        ok = new tnybutton(form);
        ok->Parent = body;
        ok->Caption = "OK";
        ok->SetBounds(274, 272, 75, 25);
        ok->Default = true;
        auto* cancel = new tnybutton(form);
        cancel->Parent = body;
        cancel->Caption = "Cancel";
        cancel->SetBounds(358, 272, 75, 25);
        auto* undo = new tnybutton(form);
        undo->Parent = body;
        undo->Caption = "Undo";
        undo->SetBounds(190, 272, 75, 25);
        undo->Enabled = false;
    }
    ~Dialog() { form->Free(); }

    // A small piano roll: rows, beat lines and notes, in content coordinates.
    static void PaintRoll(TScroll* roll, TCanvas& c) {
        const int w = roll->Width(), h = roll->Height();
        for (int row = 0; row * 8 < h; ++row) {
            const int key = row % 12;
            const bool black = key == 1 || key == 3 || key == 6 || key == 8 || key == 10;
            c.Brush.Color = black ? TColor(0x303030) : TColor(0x404040);
            c.FillRect({0, row * 8, w, row * 8 + 8});
        }
        c.Pen.Color = TColor(0x606060);
        for (int x = 0; x < w; x += 24) {
            c.MoveTo(x, 0);
            c.LineTo(x, h);
        }
        c.Pen.Color = clBlack;
        c.Brush.Color = TColor(0x40C0FF);
        const int notes[][3] = {{4, 3, 40},   {30, 7, 20},  {54, 10, 44},  {100, 5, 30},
                                {12, 14, 60}, {80, 18, 24}, {110, 22, 40}, {20, 26, 30}};
        for (auto& n : notes)
            c.Rectangle(n[0], n[1] * 8 + 1, n[0] + n[2], n[1] * 8 + 7);
    }
};

class WidgetsXcbChild : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv(kChildVar))
            GTEST_SKIP() << "runs inside WidgetsXcb.WidgetsOnARealForm, under Xvfb";
        std::string error;
        ASSERT_TRUE(OpenDisplay(&error)) << error;
    }
    void TearDown() override {
        if (std::getenv(kChildVar)) CloseDisplay();
    }
};

TEST_F(WidgetsXcbChild, ShowsTheDialog) {
    ASSERT_TRUE(DisplayIsX11());
    Dialog d;
    d.form->Show();
    Spin(800);
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    QImage image = screen->grabWindow(0).toImage();
    ASSERT_FALSE(image.isNull());
    ASSERT_TRUE(image.save(QString::fromLocal8Bit(std::getenv(kChildVar))));
    // The X server shows what the model painted: the hide button's centre and a fader fill.
    const TPoint c = d.hide->ClientToScreen({8, 8});
    EXPECT_EQ(image.pixel(c.X, c.Y) & 0xFFFFFF, 0xCACACAu);
    const TPoint f = d.fader->ClientToScreen({10, 10});
    EXPECT_EQ(image.pixel(f.X, f.Y) & 0xFFFFFF, 0x8080FFu);
}

} // namespace
