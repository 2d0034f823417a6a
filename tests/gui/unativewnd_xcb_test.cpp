// The native pop-up window on a real X server: Xvfb started by the test, the program's part run
// in a child process of this executable on Qt's xcb platform. The screenshot stays in the
// build's tests folder (nativewin_xcb.png).
#include "gui/unativewnd.h"
#include "platform/forms/display.h"
#include "platform/forms/form.h"
#include "platform/gdi/canvas.h"
#include "platform/window/focus.h"
#include "platform/window/paint.h"
#include "platform/window/qt_presenter.h"
#include "support/gui_xvfb.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>
#include <QWindow>

#include <cstdio>
#include <filesystem>
#include <unistd.h>

using namespace platform;
using namespace testsupport;

namespace {

constexpr const char* kChildVar = "TOLVERN_NATIVEWIN_XCB_CHILD";

TEST(NativeWinXcb, PopupOverARealWindow) {
    if (std::getenv(kChildVar)) GTEST_SKIP() << "the child run of this test";
    for (const char* tool : {"Xvfb", "xdotool", "import"})
        if (!OnPath(tool))
            GTEST_SKIP() << tool << " is not installed (scripts/setup.sh installs it)";
    Xvfb x;
    if (x.Display().empty()) GTEST_SKIP() << "Xvfb could not start on a free display";
    const std::string shot =
        (std::filesystem::path(TOLVERN_BIN_DIR).parent_path() / "tests" / "nativewin_xcb.png")
            .string();
    // Qt's session bus connection keeps a buffer of libdbus to the end: not ours to report.
    const std::string suppressions = shot + ".lsan";
    if (FILE* f = std::fopen(suppressions.c_str(), "w")) {
        std::fputs("leak:libdbus-1.so\n", f);
        std::fclose(f);
    }
    pid_t child = Spawn({"/proc/self/exe", "--gtest_filter=NativeWinXcbChild.*"},
                        {"DISPLAY=" + x.Display(), "QT_QPA_PLATFORM=xcb",
                         std::string(kChildVar) + "=" + shot,
                         "LSAN_OPTIONS=suppressions=" + suppressions});
    ASSERT_NE(child, 0);
    EXPECT_EQ(WaitFor(child, 60000), 0) << "the child run failed (its output is above)";
    std::remove(suppressions.c_str());
}

// A tool window as the program makes them: the pop-up with a panel filling its inside.
class TPanelWin : public TNativeWin {
public:
    TPanelWin(HWND owner, int w, int h) : TNativeWin(owner, w, h) {
        WNDCLASS wc;
        wc.lpfnWndProc = [this](HWND h, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
            if (msg == WM_LBUTTONUP) ++clicks;
            if (msg != WM_PAINT) return DefWindowProc(h, msg, w, l);
            PAINTSTRUCT ps;
            TCanvas c(BeginPaint(h, &ps));
            TRect r;
            GetClientRect(h, &r);
            c.Brush.Color = clSilver;
            c.FillRect(r);
            c.Brush.Color = TColor(0x6B4A2E);
            c.FillRect({0, 0, r.Right, 18});
            c.Font.Name = "Arial";
            c.Font.SetSize(8);
            c.Font.Color = clWhite;
            c.Brush.Style = bsClear;
            c.TextOut(6, 2, "Tolvern Synth");
            c.Font.Color = clBlack;
            c.TextOut(8, 30, "Cutoff");
            c.TextOut(8, 60, "Resonance");
            c.Brush.Style = bsSolid;
            c.Brush.Color = clWhite;
            c.Rectangle(80, 30, r.Right - 10, 44);
            c.Rectangle(80, 60, r.Right - 10, 74);
            c.SetHandle(0);
            EndPaint(h, &ps);
            return 0;
        };
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.hCursor = LoadCursor(0, IDC_ARROW);
        wc.lpszClassName = "TvTestPanel";
        RegisterClass(wc);
        panel = CreateWindowEx(0, "TvTestPanel", "", WS_CHILD | WS_VISIBLE, 2, 2, w - 4, h - 4,
                               Handle);
    }
    void BoundsChanged() override {
        MoveWindow(panel, 2, 2, GetWidth() - 4, GetHeight() - 4, true);
    }
    HWND panel = 0;
    int clicks = 0;
};

QWidget* Qw(HWND top) {
    QtPresenter* p = CurrentQtPresenter();
    return p ? p->Widget(top) : nullptr;
}

bool Exposed(HWND top) {
    QWidget* w = Qw(top);
    return w && w->windowHandle() && w->windowHandle()->isExposed();
}

// The X server's active window, 0 when none.
unsigned long XActiveWindow() {
    FILE* p = popen("xdotool getactivewindow 2>/dev/null", "r");
    if (!p) return 0;
    unsigned long id = 0;
    if (std::fscanf(p, "%lu", &id) != 1) id = 0;
    pclose(p);
    return id;
}

QStringList Point(int x, int y) {
    return {QString::number(x), QString::number(y)};
}

TEST(NativeWinXcbChild, ClickAndBorderDrag) {
    if (!std::getenv(kChildVar)) GTEST_SKIP() << "runs inside NativeWinXcb.PopupOverARealWindow";
    std::string error;
    ASSERT_TRUE(OpenDisplay(&error)) << error;
    ASSERT_TRUE(DisplayIsX11());
    auto* main = new TForm(nullptr);
    main->SetBounds(60, 60, 520, 380);
    main->Caption = "Tolvern";
    main->Show();
    TPanelWin win(main->Handle(), 168, 201);
    win.SetLeft(420);
    win.SetTop(160);
    win.Show();
    ASSERT_TRUE(SpinUntil([&] { return Exposed(main->Handle()) && Exposed(win.Handle); }, 5000));
    if (!SpinUntil([&] { return Qw(main->Handle())->isActiveWindow(); }, 2000)) {
        Qw(main->Handle())->activateWindow();
        ASSERT_TRUE(SpinUntil([&] { return Qw(main->Handle())->isActiveWindow(); }, 3000));
    }
    Spin(200);
    const unsigned long xMain = static_cast<unsigned long>(Qw(main->Handle())->winId());
    const bool xKnowsActive = XActiveWindow() == xMain;

    // A click on the pop-up leaves the main window active, in the model and on the server.
    TRect r;
    GetWindowRect(win.Handle, &r);
    const QStringList click =
        QStringList{"mousemove"} + Point(r.Left + 80, r.Top + 100) + QStringList{"click", "1"};
    ASSERT_TRUE(RunTool("xdotool", click));
    ASSERT_TRUE(SpinUntil([&] { return win.clicks > 0; }, 5000));
    Spin(200);
    EXPECT_EQ(GetActiveWindow(), main->Handle());
    EXPECT_TRUE(Qw(main->Handle())->isActiveWindow());
    if (xKnowsActive) {
        EXPECT_EQ(XActiveWindow(), xMain);
    }
    EXPECT_FALSE(Qw(win.Handle)->isActiveWindow());

    // The bottom-right corner dragged by the real pointer: the edges follow it.
    const QStringList drag = QStringList{"mousemove"} + Point(r.Right - 10, r.Bottom - 2) +
                             QStringList{"mousedown", "1", "sleep", "0.2", "mousemove"} +
                             Point(r.Right + 30, r.Bottom + 40) +
                             QStringList{"sleep", "0.2", "mouseup", "1"};
    ASSERT_TRUE(RunTool("xdotool", drag));
    ASSERT_TRUE(SpinUntil(
        [&] {
            TRect now;
            GetWindowRect(win.Handle, &now);
            return now.Right == r.Right + 30 && now.Bottom == r.Bottom + 40;
        },
        5000));
    EXPECT_EQ(GetActiveWindow(), main->Handle());
    Spin(300);

    // The screen as the X server has it: the frame around the resized window.
    const QString shot = QString::fromLocal8Bit(std::getenv(kChildVar));
    ASSERT_TRUE(RunTool("import", {"-window", "root", shot}));
    QImage screen(shot);
    ASSERT_FALSE(screen.isNull());
    GetWindowRect(win.Handle, &r);
    auto pixel = [&](int x, int y) { return screen.pixel(r.Left + x, r.Top + y) & 0xFFFFFF; };
    const int w = r.Width(), h = r.Height();
    EXPECT_EQ(pixel(0, 0), 0xC0C0C0u);
    EXPECT_EQ(pixel(w - 1, h - 1), 0x000000u);
    EXPECT_EQ(pixel(1, 1), 0xFFFFFFu);
    EXPECT_EQ(pixel(w - 2, h - 2), 0x808080u);
    EXPECT_EQ(pixel(w / 2, h - 10), 0xC0C0C0u); // the panel followed the new size

    main->Free();
    CloseDisplay();
}

} // namespace
