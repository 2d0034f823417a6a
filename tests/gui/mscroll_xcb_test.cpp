// An enumeration's drop-down list on a real X server: Xvfb started by the test, the program's
// part run in a child process of this executable on Qt's xcb platform.
#include "platform/window/qt_fixture.h"

#include "gui/mscroll.h"
#include "platform/forms/form.h"
#include "support/gui_xvfb.h"

#include <QImage>
#include <QWindow>

#include <cstdlib>

namespace gui_test {
namespace {

using namespace platform;
using testsupport::RunTool;
using testsupport::Spin;
using testsupport::SpinUntil;

constexpr const char* kChildVar = "TOLVERN_MSCROLL_XCB_CHILD";

TEST(MScrollXcb, DropDownListOnAnXServer) {
    if (std::getenv(kChildVar)) GTEST_SKIP() << "the child run of this test";
    for (const char* tool : {"Xvfb", "xdotool", "import"})
        if (!testsupport::OnPath(tool))
            GTEST_SKIP() << tool << " is not installed (scripts/setup.sh installs it)";
    testsupport::Xvfb x;
    if (x.Display().empty()) GTEST_SKIP() << "Xvfb could not start on a free display";
    const std::string shot = TOLVERN_BIN_DIR "/../tests/mscroll-xcb-list.png";
    // Qt's session bus connection keeps a buffer of libdbus to the end: not ours to report.
    const std::string lsan = shot + ".lsan";
    if (FILE* f = std::fopen(lsan.c_str(), "w")) {
        std::fputs("leak:libdbus-1.so\n", f);
        std::fclose(f);
    }
    const pid_t child = testsupport::Spawn({"/proc/self/exe", "--gtest_filter=MScrollXcbChild.*"},
                                           {"DISPLAY=" + x.Display(), "QT_QPA_PLATFORM=xcb",
                                            std::string(kChildVar) + "=" + shot,
                                            "LSAN_OPTIONS=suppressions=" + lsan});
    ASSERT_NE(child, 0);
    EXPECT_EQ(testsupport::WaitFor(child, 60000), 0)
        << "the child run failed (its output is above)";
    std::remove(lsan.c_str());
    std::fprintf(stderr, "screenshot: %s\n", shot.c_str());
}

class MScrollXcbChild : public forms_test::QtTest {
protected:
    void SetUp() override {
        if (!std::getenv(kChildVar))
            GTEST_SKIP() << "runs inside MScrollXcb.DropDownListOnAnXServer, under Xvfb";
        QtTest::SetUp();
    }
    void TearDown() override {
        if (std::getenv(kChildVar)) QtTest::TearDown();
    }
    static bool Click(HWND h, int x, int y) {
        TPoint p{x, y};
        ClientToScreen(h, &p);
        return RunTool("xdotool",
                       {"mousemove", QString::number(p.X), QString::number(p.Y), "click", "1"});
    }
};

TEST_F(MScrollXcbChild, Scenario) {
    ASSERT_TRUE(DisplayIsX11());
    TForm form(nullptr);
    form.Caption = "Track";
    form.BorderStyle = bsSingle;
    form.SetBounds(200, 150, 320, 180);
    auto* host = new TMScroll(&form);
    host->Parent = &form;
    host->Align = alClient;
    host->Gradient = bmSolid;
    host->BkColor = 0x302020;
    host->Border = 2;
    TGuiLabel* label = host->AddLabel("Program", alNone, nullptr);
    label->AutoSize = false;
    label->Left = 10, label->Top = 12, label->Right = 80, label->Bottom = 28;
    label->Alignment = 0;
    TGuiEnum* e = host->AddEnum("", 160, alNone, nullptr);
    e->Id = "program";
    e->Left = 90, e->Top = 12, e->Right = 250, e->Bottom = 28;
    e->DropDown = true;
    for (const char* n : {"Acoustic Grand Piano", "Bright Acoustic Piano", "Electric Grand Piano",
                          "Honky-tonk Piano", "Electric Piano 1", "Electric Piano 2"})
        e->AddItem(n);
    std::vector<std::string> chosen;
    host->OnControl = [&](TObject*, const std::string& id, int, const std::string& s) {
        chosen.push_back(id + " " + s);
    };
    form.Show();
    const HWND top = form.Handle();
    ASSERT_TRUE(SpinUntil(
        [&] { return Qw(top) && Qw(top)->windowHandle() && Qw(top)->windowHandle()->isExposed(); },
        5000));
    const bool qtActive = SpinUntil([&] { return Qw(top)->isActiveWindow(); }, 2000);
    host->Paint();
    Spin(100);

    // A click on the face drops the list below it, top-most over the form.
    ASSERT_TRUE(Click(host->Handle(), 150, 20));
    const HWND list = e->ListWindow->Handle();
    ASSERT_TRUE(SpinUntil(
        [&] {
            return !e->ListClosed && Qw(list) && Qw(list)->windowHandle() &&
                   Qw(list)->windowHandle()->isExposed();
        },
        5000));
    Spin(300);
    EXPECT_EQ(GetActiveWindow(), top);
    if (qtActive) {
        EXPECT_TRUE(Qw(top)->isActiveWindow());
    }
    const QString shot = QString::fromLocal8Bit(std::getenv(kChildVar));
    ASSERT_TRUE(RunTool("import", {"-window", "root", shot}));
    QImage screen(shot);
    ASSERT_FALSE(screen.isNull());
    TRect lr, fr;
    GetWindowRect(list, &lr);
    GetWindowRect(top, &fr);
    EXPECT_EQ(lr.Height(), 6 * 16 + 4);
    EXPECT_LT(lr.Top, fr.Bottom); // over the form
    // The entries: silver faces with black captions, inside the list's frame.
    int text = 0, face = 0;
    for (int y = lr.Top + 3; y < lr.Bottom - 3; ++y)
        for (int x = lr.Left + 3; x < lr.Right - 3; ++x) {
            const std::uint32_t px = screen.pixel(x, y) & 0xFFFFFF;
            text += px == 0x000000;
            face += px == 0xC0C0C0;
        }
    EXPECT_GT(text, 100);
    EXPECT_GT(face, (lr.Width() - 6) * (lr.Height() - 6) / 2);
    EXPECT_EQ(screen.pixel(lr.Left, lr.Top + 20) & 0xFFFFFF, 0xC0C0C0u); // the host's frame

    // A press outside the list closes it and chooses nothing.
    ASSERT_TRUE(Click(host->Handle(), 20, 150));
    EXPECT_TRUE(SpinUntil([&] { return e->ListClosed; }, 5000));
    EXPECT_FALSE(IsWindowVisible(list));
    EXPECT_TRUE(chosen.empty());
    EXPECT_EQ(GetActiveWindow(), top);
}

} // namespace
} // namespace gui_test
