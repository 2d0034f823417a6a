// The window layer on a real X server: Xvfb started by the test, the program's part run in a
// child process of this executable on Qt's xcb platform.
#include "qt_fixture.h"

#include "platform/gdi/syscolors.h"
#include "platform/menus/menus.h"
#include "platform/window/focus.h"
#include "platform/window/native_host.h"

#include <QApplication>
#include <QImage>
#include <QWindow>

#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace forms_test {
namespace {

constexpr const char* kChildVar = "TOLVERN_XCB_CHILD";

using testsupport::OnPath;
using testsupport::RunTool;
using testsupport::Spawn;
using testsupport::WaitFor;
using testsupport::Xvfb;

TEST(QtXcb, RealWindowsOnAnXServer) {
    if (std::getenv(kChildVar)) GTEST_SKIP() << "the child run of this test";
    for (const char* tool : {"Xvfb", "xdotool", "import"})
        if (!OnPath(tool))
            GTEST_SKIP() << tool << " is not installed (scripts/setup.sh installs it)";
    Xvfb x;
    if (x.Display().empty()) GTEST_SKIP() << "Xvfb could not start on a free display";
    const std::string shot =
        (std::filesystem::temp_directory_path() / ("tolvern-xcb-" + std::to_string(getpid()) + ".png"))
            .string();
    // Qt's session bus connection keeps a buffer of libdbus to the end: not ours to report.
    const std::string suppressions = shot + ".lsan";
    if (FILE* f = std::fopen(suppressions.c_str(), "w")) {
        std::fputs("leak:libdbus-1.so\n", f);
        std::fclose(f);
    }
    pid_t child = Spawn({"/proc/self/exe", "--gtest_filter=QtXcbChild.*"},
                        {"DISPLAY=" + x.Display(), "QT_QPA_PLATFORM=xcb",
                         std::string(kChildVar) + "=" + shot,
                         "LSAN_OPTIONS=suppressions=" + suppressions});
    ASSERT_NE(child, 0);
    EXPECT_EQ(WaitFor(child, 60000), 0) << "the child run failed (its output is above)";
    std::remove(suppressions.c_str());
    for (const std::string& file : {shot, shot + ".menu.png"}) {
        if (!std::getenv("TOLVERN_KEEP_SCREENSHOT"))
            std::remove(file.c_str());
        else
            std::fprintf(stderr, "screenshot: %s\n", file.c_str());
    }
}

class QtXcbChild : public QtTest {
protected:
    void SetUp() override {
        if (!std::getenv(kChildVar))
            GTEST_SKIP() << "runs inside QtXcb.RealWindowsOnAnXServer, under Xvfb";
        QtTest::SetUp();
    }
    void TearDown() override {
        if (std::getenv(kChildVar)) QtTest::TearDown();
    }
    static QString ScreenPoint(HWND h, int x, int y) {
        TPoint p{x, y};
        ClientToScreen(h, &p);
        return QString::number(p.X) + " " + QString::number(p.Y);
    }
};

TEST_F(QtXcbChild, Scenario) {
    ASSERT_TRUE(DisplayIsX11());
    HWND main = Make(WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, {50, 50, 450, 350}, 0, RGB(200, 0, 0));
    HWND child = Make(kChild, {20, 20, 120, 100}, main, RGB(0, 0, 255));
    HWND tool = Make(WS_POPUP | WS_BORDER, {600, 100, 760, 220}, main, RGB(0, 160, 0), 0,
                     WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW | WS_EX_TOPMOST);
    ShowWindow(main, SW_SHOW);
    ShowWindow(tool, SW_SHOWNOACTIVATE);
    ASSERT_TRUE(SpinUntil([&] {
        return Qw(main)->windowHandle() && Qw(main)->windowHandle()->isExposed() &&
               Qw(tool)->windowHandle() && Qw(tool)->windowHandle()->isExposed();
    }, 5000));
    Spin(200);
    EXPECT_EQ(GetActiveWindow(), main);
    const bool qtActive = SpinUntil([&] { return Qw(main)->isActiveWindow(); }, 2000);

    // The screen as the X server has it.
    const QString shot = QString::fromLocal8Bit(std::getenv(kChildVar));
    ASSERT_TRUE(RunTool("import", {"-window", "root", shot}));
    QImage screen(shot);
    ASSERT_FALSE(screen.isNull());
    auto pixel = [&](HWND h, int x, int y) {
        TPoint p{x, y};
        ClientToScreen(h, &p);
        return screen.pixel(p.X, p.Y) & 0xFFFFFF;
    };
    EXPECT_EQ(pixel(main, 300, 200), 0xC80000u);
    EXPECT_EQ(pixel(child, 10, 10), 0x0000FFu);
    EXPECT_EQ(pixel(tool, 10, 10), 0x00A000u);

    // A click on the no-activate tool window leaves the main window active.
    const QStringList click =
        QStringList{"mousemove"} + ScreenPoint(tool, 30, 30).split(' ') + QStringList{"click", "1"};
    ASSERT_TRUE(RunTool("xdotool", click));
    ASSERT_TRUE(SpinUntil([&] { return S(tool).Count(WM_LBUTTONUP) > 0; }, 5000));
    EXPECT_EQ(S(tool).Count(WM_LBUTTONDOWN), 1);
    EXPECT_EQ(GetActiveWindow(), main);
    if (qtActive) {
        EXPECT_TRUE(Qw(main)->isActiveWindow());
    }

    // A hot key through the key grab on the root window.
    ASSERT_TRUE(RegisterHotKey(main, 7, MOD_CONTROL | MOD_SHIFT, 'K'));
    ASSERT_TRUE(RunTool("xdotool", {"key", "ctrl+shift+k"}));
    ASSERT_TRUE(SpinUntil([&] { return S(main).Count(WM_HOTKEY) > 0; }, 5000));
    auto hot = S(main).Of(WM_HOTKEY);
    EXPECT_EQ(hot[0].w, 7u);
    EXPECT_EQ(hot[0].l, MAKELPARAM(MOD_CONTROL | MOD_SHIFT, 'K'));
    for (const Msg& m : S(main).Of(WM_KEYDOWN))  // the grab took it, not the focused window
        EXPECT_NE(m.w, WPARAM('K'));
    UnregisterHotKey(main, 7);

    // Native hosts are X11 windows inside their top-level window.
    HWND host = CreateNativeHost(main, 150, 20, 100, 80);
    EXPECT_NE(NativeWindowId(host), 0u);

    DestroyWindow(main);
    EXPECT_EQ(Qw(main), nullptr);
    EXPECT_EQ(Qw(tool), nullptr);
    Spin(50);
}

TEST_F(QtXcbChild, MenuBarOpensFromTheKeyboard) {
    ASSERT_TRUE(DisplayIsX11());
    HWND main = Make(WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, {50, 50, 450, 350}, 0, RGB(200, 0, 0));
    TMainMenu menu;
    menu.Name = "MainMenu";
    auto* file = new TMenuItem("&File");
    file->Add(new TMenuItem("&New"));
    file->Add(new TMenuItem("&Open...", [](TMenuItem*) {}));
    file->Items(1)->ShortCut = ShortCut('O', scCtrl);
    menu.Items->Add(file);
    menu.Items->Add(new TMenuItem("&Edit"));
    SetWindowMenu(main, &menu);
    ShowWindow(main, SW_SHOW);
    ASSERT_TRUE(SpinUntil([&] {
        return Qw(main)->windowHandle() && Qw(main)->windowHandle()->isExposed();
    }, 5000));
    if (!SpinUntil([&] { return Qw(main)->isActiveWindow(); }, 2000)) {
        Qw(main)->activateWindow();
        ASSERT_TRUE(SpinUntil([&] { return Qw(main)->isActiveWindow(); }, 3000));
    }
    Spin(100);

    // F10 lights "File", Down opens it; the screen then shows both.
    const std::string shot = std::string(std::getenv(kChildVar)) + ".menu.png";
    bool shown = false;
    gui.OnModal("MainMenu", [&](HWND) {
        ASSERT_TRUE(RunTool("xdotool", {"key", "Down"}));
        ASSERT_TRUE(SpinUntil([&] {
            auto open = OpenMenuWindows();
            return open.size() == 1 && Qw(open[0]) && Qw(open[0])->windowHandle() &&
                   Qw(open[0])->windowHandle()->isExposed();
        }, 5000));
        Spin(300);
        ASSERT_TRUE(RunTool("import", {"-window", "root", QString::fromStdString(shot)}));
        QImage screen(QString::fromStdString(shot));
        ASSERT_FALSE(screen.isNull());
        TRect wr, bar = MenuBarRect(main), drop;
        GetWindowRect(main, &wr);
        GetWindowRect(OpenMenuWindows()[0], &drop);
        const std::uint32_t highlight = Rgb(GetSysColor(COLOR_HIGHLIGHT));
        const std::uint32_t face = Rgb(GetSysColor(COLOR_MENU));
        EXPECT_EQ(screen.pixel(wr.Left + bar.Left + 2, wr.Top + bar.Top + 3) & 0xFFFFFF, highlight);
        EXPECT_EQ(screen.pixel(drop.Left + 4, drop.Bottom - 4) & 0xFFFFFF, face);
        EXPECT_GE(drop.Top, wr.Top + bar.Bottom);
        int text = 0; // caption pixels of the dropdown's rows
        for (int y = drop.Top + 3; y < drop.Bottom - 3; ++y)
            for (int x = drop.Left + 20; x < drop.Right - 20; ++x)
                text += (screen.pixel(x, y) & 0xFFFFFF) == Rgb(GetSysColor(COLOR_MENUTEXT));
        EXPECT_GT(text, 20);
        shown = true;
        ASSERT_TRUE(RunTool("xdotool", {"key", "Escape"}));
        ASSERT_TRUE(RunTool("xdotool", {"key", "Escape"}));
        Spin(200); // the loop ends once this returns
    });
    ASSERT_TRUE(RunTool("xdotool", {"key", "F10"}));
    SpinUntil([&] { return shown && !MenuTracking(); }, 5000);
    EXPECT_TRUE(shown);
    EXPECT_FALSE(MenuTracking());
    DestroyWindow(main);
    Spin(50);
}

} // namespace
} // namespace forms_test
