// The Qt presentation of the window model on the offscreen platform.
#include "qt_fixture.h"

#include "platform/core/clock.h"
#include "platform/core/timers.h"
#include "platform/window/modal.h"
#include "platform/window/native_host.h"
#include "support/temp_settings.h"

#include <QApplication>
#include <QDialog>
#include <QImage>
#include <QKeyEvent>
#include <QMimeData>
#include <QPixmap>
#include <QScreen>
#include <QUrl>

#include <thread>

namespace forms_test {
namespace {

std::uint32_t At(const QImage& img, int x, int y) { return img.pixel(x, y) & 0xFFFFFF; }

void SendKey(QWidget* w, QEvent::Type type, int key, Qt::KeyboardModifiers mods,
             const QString& text = {}, bool autoRepeat = false) {
    QKeyEvent e(type, key, mods, 0, 0, 0, text, autoRepeat);
    QCoreApplication::sendEvent(w, &e);
}

void SendMouse(QWidget* w, QEvent::Type type, QPointF local, Qt::MouseButton b) {
    QMouseEvent e(type, local, w->mapToGlobal(local), b,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : b, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

TEST_F(QtTest, WindowShowsItsSurfaceAndExposureNeverRepaintsTheModel) {
    HWND top = Make(kPopup | WS_BORDER, {100, 100, 300, 250}, 0, RGB(200, 0, 0));
    HWND child = Make(kChild, {10, 10, 60, 60}, top, RGB(0, 0, 255));
    (void)child;
    gui.Pump();
    QtWindow* w = Qw(top);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->geometry(), QRect(100, 100, 200, 150));
    QImage img = w->grab().toImage();
    EXPECT_EQ(At(img, 5, 5), 0xC80000u);
    EXPECT_EQ(At(img, 20, 20), 0x0000FFu);

    // A mark drawn outside a paint shows at the next turn of the loop, without a WM_PAINT.
    Spin(20);
    const int painted = w->Paints();
    const int wmPaints = S(top).Count(WM_PAINT);
    HDC dc = GetDC(top);
    TRect mark{100, 50, 120, 70};
    PatBlt(dc, mark.Left, mark.Top, mark.Width(), mark.Height(), DSTINVERT);
    ReleaseDC(top, dc);
    ASSERT_TRUE(SpinUntil([&] { return w->Paints() > painted; }, 2000));
    // An exposure by the window system repaints from the surface: the XOR mark survives.
    w->repaint();
    img = w->grab().toImage();
    EXPECT_EQ(At(img, 1 + 105, 1 + 55), 0x37FFFFu);
    EXPECT_EQ(S(top).Count(WM_PAINT), wmPaints);
}

// A vertical scroll of the whole window turns the surface's rows and moves what the display
// holds of them: the window's store and a repaint both show the surface, also when a mark
// drawn just before the scroll was not shown yet.
TEST_F(QtTest, AScrolledWindowShowsEveryRowInPlace) {
    constexpr int W = 80, H = 60;
    HWND top = Make(kPopup, {100, 100, 100 + W, 100 + H});
    gui.Pump();
    QtWindow* w = Qw(top);
    ASSERT_NE(w, nullptr);
    std::shared_ptr<Surface> s = GetWindowSurface(top);
    std::vector<std::uint32_t> want(std::size_t(W) * H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            want[std::size_t(y) * W + x] = std::uint32_t(x << 16 | y << 8);
            s->Row(y)[x] = 0xFF000000u | want[std::size_t(y) * W + x];
        }
    ++s->changes;
    const int painted = w->Paints();
    FlushSurfaces();
    ASSERT_TRUE(SpinUntil([&] { return w->Paints() > painted; }, 2000));
    auto scroll = [&](int dy) {
        ScrollWindowEx(top, 0, dy, nullptr, nullptr, nullptr, nullptr, 0);
        const std::vector<std::uint32_t> was = want;
        for (int y = std::max(0, dy); y < std::min(H, H + dy); ++y)
            for (int x = 0; x < W; ++x)
                want[std::size_t(y) * W + x] = was[std::size_t(y - dy) * W + x];
        Spin(50);
    };
    auto shows = [&](const char* what) {
        const QImage stored = w->screen()->grabWindow(w->winId()).toImage();
        const QImage repainted = w->grab().toImage();
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const std::uint32_t p = want[std::size_t(y) * W + x];
                ASSERT_EQ(s->Row(y)[x] & 0xFFFFFFu, p) << what << " " << x << ", " << y;
                ASSERT_EQ(At(stored, x, y), p) << what << " " << x << ", " << y;
                ASSERT_EQ(At(repainted, x, y), p) << what << " " << x << ", " << y;
            }
    };
    scroll(-10);
    ASSERT_NE(s->top, 0);
    shows("scrolled");
    const Region mark(TRect{20, 30, 30, 34});
    HDC dc = GetDCEx(top, &mark, 0);
    PatBlt(dc, 20, 30, 10, 4, DSTINVERT);
    ReleaseDC(top, dc);
    for (int y = 30; y < 34; ++y)
        for (int x = 20; x < 30; ++x)
            want[std::size_t(y) * W + x] ^= 0xFFFFFFu;
    scroll(7);
    shows("scrolled with a mark not shown yet");
}

TEST_F(QtTest, AtTwiceThePixelRatioEverySurfacePixelBecomesASharpSquare) {
    CloseDisplay();
    setenv("QT_SCALE_FACTOR", "2", 1);
    ASSERT_TRUE(OpenDisplay());
    unsetenv("QT_SCALE_FACTOR");
    HWND top = Make(kPopup, {100, 100, 140, 130}, 0, RGB(200, 0, 0));
    S(top).painter = [](HDC dc, const TRect& r) {
        HBRUSH red = CreateSolidBrush(RGB(200, 0, 0)), blue = CreateSolidBrush(RGB(0, 0, 255));
        FillRect(dc, &r, red);
        TRect line{10, 0, 11, 30};  // one pixel wide
        FillRect(dc, &line, blue);
        DeleteObject(red);
        DeleteObject(blue);
    };
    gui.Pump();
    QtWindow* w = Qw(top);
    ASSERT_NE(w, nullptr);
    QImage img = w->grab().toImage();
    ASSERT_EQ(img.width(), 80);
    for (int x = 18; x < 24; ++x)
        EXPECT_EQ(At(img, x, 10), (x == 20 || x == 21) ? 0x0000FFu : 0xC80000u) << x;
}

TEST_F(QtTest, ModelMovesTheWidgetAndTheWindowSystemMovesTheModel) {
    HWND top = Make(kPopup, {100, 100, 300, 250});
    gui.Pump();
    QtWindow* w = Qw(top);
    ASSERT_NE(w, nullptr);
    MoveWindow(top, 50, 60, 120, 80, true);
    EXPECT_EQ(w->geometry(), QRect(50, 60, 120, 80));
    w->move(200, 210);  // the window manager placed it
    TRect r;
    GetWindowRect(top, &r);
    EXPECT_EQ(r, (TRect{200, 210, 320, 290}));
    ShowWindow(top, SW_HIDE);
    EXPECT_FALSE(w->isVisible());
}

TEST_F(QtTest, WindowKindsGetTheirFlags) {
    struct Case {
        DWORD style, exStyle;
        UINT classStyle;
        Qt::WindowFlags type;
        bool onTop, noFocus, quiet;
    } cases[] = {
        {WS_OVERLAPPEDWINDOW, 0, 0, Qt::Window, false, false, false},
        {WS_POPUP | WS_CAPTION, WS_EX_TOOLWINDOW, 0, Qt::Tool, false, false, false},
        {WS_POPUP, WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE | WS_EX_TOPMOST, 0, Qt::Tool, true, true, true},
        {WS_POPUP | WS_BORDER, 0, CS_SAVEBITS, Qt::ToolTip, false, false, true},
        {WS_POPUP | WS_CAPTION, 0, CS_SAVEBITS, Qt::Window, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.style << " " << c.exStyle);
        Qt::WindowFlags f = WindowFlagsFor(c.style, c.exStyle, c.classStyle);
        EXPECT_EQ(f & Qt::WindowType_Mask, c.type);
        EXPECT_TRUE(f & Qt::FramelessWindowHint);
        EXPECT_EQ(bool(f & Qt::WindowStaysOnTopHint), c.onTop);
        EXPECT_EQ(bool(f & Qt::WindowDoesNotAcceptFocus), c.noFocus);
        EXPECT_EQ(ShowsWithoutActivating(c.style, c.exStyle, c.classStyle), c.quiet);
    }
}

TEST_F(QtTest, QtKeysBecomeVirtualKeys) {
    struct Case {
        int key;
        Qt::KeyboardModifiers mods;
        std::uint32_t scan;
        UINT vk;
        bool extended;
    } cases[] = {
        {Qt::Key_A, Qt::NoModifier, 0, 'A', false},
        {Qt::Key_A, Qt::ShiftModifier, 38, 'A', false},
        {Qt::Key_5, Qt::NoModifier, 0, '5', false},
        {Qt::Key_5, Qt::KeypadModifier, 0, VK_NUMPAD5, false},
        {Qt::Key_Percent, Qt::ShiftModifier, 14, '5', false},   // by place
        {Qt::Key_Percent, Qt::ShiftModifier, 0, '5', false},    // without a scan code
        {Qt::Key_Asterisk, Qt::KeypadModifier, 63, VK_MULTIPLY, false},
        {Qt::Key_Enter, Qt::KeypadModifier, 104, VK_RETURN, true},
        {Qt::Key_Return, Qt::NoModifier, 36, VK_RETURN, false},
        {Qt::Key_Left, Qt::NoModifier, 113, VK_LEFT, true},
        {Qt::Key_Left, Qt::KeypadModifier, 83, VK_LEFT, false},
        {Qt::Key_Minus, Qt::NoModifier, 20, VK_OEM_MINUS, false},
        {Qt::Key_Minus, Qt::KeypadModifier, 82, VK_SUBTRACT, false},
        {Qt::Key_Less, Qt::NoModifier, 94, VK_OEM_102, false},
        {Qt::Key_F12, Qt::NoModifier, 96, VK_F12, false},
        {Qt::Key_Control, Qt::NoModifier, 105, VK_RCONTROL, true},
        {Qt::Key_Shift, Qt::NoModifier, 50, VK_LSHIFT, false},
        {0x0444 /* Cyrillic ef */, Qt::NoModifier, 38, 'A', false},
        {Qt::Key_unknown, Qt::NoModifier, 0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.key << " scan " << std::dec << c.scan);
        bool ext = true;
        EXPECT_EQ(VirtualKeyOf(c.key, c.mods, c.scan, &ext), c.vk);
        EXPECT_EQ(ext, c.extended);
    }
}

TEST_F(QtTest, KeyEventsReachTheRouter) {
    HWND top = Make(kPopup, {100, 100, 300, 250});
    gui.Pump();
    SetFocus(top);
    QtWindow* w = Qw(top);
    ASSERT_NE(w, nullptr);
    SendKey(w, QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
    SendKey(w, QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, "a", true);  // auto-repeat: dropped
    SendKey(w, QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a", true);
    SendKey(w, QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, "a");
    SendKey(w, QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier, "\t");  // not Qt's focus chain
    auto downs = S(top).Of(WM_KEYDOWN);
    ASSERT_EQ(downs.size(), 3u);
    EXPECT_EQ(downs[0].w, WPARAM('A'));
    EXPECT_FALSE(downs[0].l & KF_REPEAT_BIT);
    EXPECT_TRUE(downs[1].l & KF_REPEAT_BIT);
    EXPECT_EQ(downs[2].w, WPARAM(VK_TAB));
    EXPECT_EQ(S(top).Count(WM_KEYUP), 1);
    auto chars = S(top).Of(WM_CHAR);
    ASSERT_EQ(chars.size(), 3u);
    EXPECT_EQ(chars[0].w, WPARAM('a'));
    EXPECT_EQ(chars[2].w, WPARAM('\t'));

    // Hot keys still work inside the program where the display grabs nothing.
    ASSERT_TRUE(RegisterHotKey(top, 5, MOD_CONTROL, VK_F9));
    SendKey(w, QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier);
    SendKey(w, QEvent::KeyPress, Qt::Key_F9, Qt::ControlModifier);
    SendKey(w, QEvent::KeyRelease, Qt::Key_F9, Qt::ControlModifier);
    SendKey(w, QEvent::KeyRelease, Qt::Key_Control, Qt::NoModifier);
    gui.Pump();
    auto hot = S(top).Of(WM_HOTKEY);
    ASSERT_EQ(hot.size(), 1u);
    EXPECT_EQ(hot[0].w, 5u);
}

TEST_F(QtTest, DoubleClicksArePressesAndWheelIsRouted) {
    HWND top = Make(kPopup, {100, 100, 300, 250}, 0, RGB(255, 255, 255), CS_DBLCLKS);
    gui.Pump();
    SetFocus(top);
    QtWindow* w = Qw(top);
    ASSERT_NE(w, nullptr);
    SendMouse(w, QEvent::MouseButtonPress, {20, 30}, Qt::LeftButton);
    SendMouse(w, QEvent::MouseButtonRelease, {20, 30}, Qt::LeftButton);
    SendMouse(w, QEvent::MouseButtonDblClick, {20, 30}, Qt::LeftButton);
    SendMouse(w, QEvent::MouseButtonRelease, {20, 30}, Qt::LeftButton);
    EXPECT_EQ(S(top).Count(WM_LBUTTONDOWN), 1);
    EXPECT_EQ(S(top).Count(WM_LBUTTONDBLCLK), 1);
    EXPECT_EQ(S(top).Count(WM_LBUTTONUP), 2);
    auto down = S(top).Of(WM_LBUTTONDOWN);
    EXPECT_EQ(down[0].l, MAKELPARAM(20, 30));

    QWheelEvent wheel({20, 30}, w->mapToGlobal(QPointF(20, 30)), {}, {0, -240}, Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(w, &wheel);
    auto wheels = S(top).Of(WM_MOUSEWHEEL);
    ASSERT_EQ(wheels.size(), 1u);
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(wheels[0].w), -240);
}

TEST_F(QtTest, FilesDroppedFromOtherProgramsArriveWithFullPaths) {
    HWND top = Make(kPopup, {100, 100, 300, 250});
    HWND child = Make(kChild, {10, 10, 60, 60}, top);
    DragAcceptFiles(top, true);
    gui.Pump();
    QtWindow* w = Qw(top);
    ASSERT_NE(w, nullptr);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/tmp/some song.mid"), QUrl("https://example.org/x"),
                  QUrl::fromLocalFile("/tmp/b/../a.wav")});
    QDragEnterEvent enter({30, 40}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop({30, 40}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &drop);
    gui.Pump();
    auto drops = S(top).Of(WM_DROPFILES);
    ASSERT_EQ(drops.size(), 1u);  // the child takes no files: its parent gets them
    EXPECT_EQ(S(child).Count(WM_DROPFILES), 0);
    HDROP d = drops[0].w;
    EXPECT_EQ(DragQueryFile(d, 0xFFFFFFFF, nullptr), 2u);
    std::string path;
    DragQueryFile(d, 0, &path);
    EXPECT_EQ(path, "/tmp/some song.mid");
    DragQueryFile(d, 1, &path);
    EXPECT_EQ(path, "/tmp/a.wav");
    TPoint pt;
    ASSERT_TRUE(DragQueryPoint(d, &pt));
    EXPECT_EQ(pt, (TPoint{30, 40}));
    DragFinish(d);
}

TEST_F(QtTest, PostFromAnotherThreadIsHandledInsideAQtModalDialog) {
    QDialog dialog;
    HWND top = Make(kPopup, {100, 100, 300, 250});
    S(top).handler = [&](HWND, UINT m, WPARAM w, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_USER + 1) dialog.done(int(w));
        return std::nullopt;
    };
    gui.Pump();
    std::thread poster;
    QTimer::singleShot(0, [&] {
        poster = std::thread([top] { PostMessage(top, WM_USER + 1, 7, 0); });
    });
    QTimer::singleShot(5000, &dialog, [&] { dialog.done(-1); });
    EXPECT_EQ(dialog.exec(), 7);
    poster.join();
}

TEST_F(QtTest, CoreTimersFireInsideAQtModalDialog) {
    QDialog dialog;
    TTimer timer;
    timer.Interval = 50;
    timer.OnTimer = [&] { dialog.done(3); };
    SetVirtualTime(TimeGetTime() + 60);  // due now; only Qt's loop is left to fire it
    QTimer::singleShot(5000, &dialog, [&] { dialog.done(-1); });
    EXPECT_EQ(dialog.exec(), 3);
}

TEST_F(QtTest, ModalLoopOfTheModelServesQtAndOtherThreads) {
    HWND form = Make(kPopup | WS_CAPTION, {100, 100, 300, 250});
    bool done = false;
    S(form).handler = [&](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_USER + 2) done = true;
        return std::nullopt;
    };
    gui.Pump();
    ModalIdleHook harness = SetModalIdleHook(nullptr);  // wait in Qt, not in the harness
    std::thread poster;
    bool qtRan = false;
    QTimer::singleShot(20, [&] {
        qtRan = true;
        poster = std::thread([form] { PostMessage(form, WM_USER + 2, 0, 0); });
    });
    QTimer::singleShot(5000, [&] { done = true; });
    RunModalLoop(form, [&] { return done; });
    SetModalIdleHook(std::move(harness));
    poster.join();
    EXPECT_TRUE(qtRan);
    EXPECT_EQ(S(form).Count(WM_USER + 2), 1);
}

TEST_F(QtTest, CursorsFollowTheModel) {
    HWND top = Make(kPopup, {100, 100, 300, 250});
    gui.Pump();
    QtWindow* w = Qw(top);
    ASSERT_NE(w, nullptr);
    SetCursor(IDC_IBEAM);
    EXPECT_EQ(w->cursor().shape(), Qt::IBeamCursor);
    SetScreenCursor(CursorOf(crHourGlass));
    EXPECT_EQ(w->cursor().shape(), Qt::WaitCursor);
    SetScreenCursor(0);

    ::TempDir dir;
    QImage img(16, 16, QImage::Format_RGB32);
    img.fill(Qt::black);
    img.setPixel(8, 8, 0xFFFFFFFF);
    const std::string path = dir.Path() + "hand.bmp";
    ASSERT_TRUE(img.save(QString::fromStdString(path), "BMP"));
    HCURSOR c = RegisterCursor(1, path, {8, 8});
    SetCursor(c);
    QCursor qc = w->cursor();
    EXPECT_EQ(qc.shape(), Qt::BitmapCursor);
    EXPECT_EQ(qc.hotSpot(), QPoint(8, 8));
    QImage shown = qc.pixmap().toImage();
    EXPECT_EQ(qAlpha(shown.pixel(0, 0)), 0);  // black is transparent
    EXPECT_EQ(shown.pixel(8, 8), 0xFFFFFFFFu);
    SetCursor(IDC_ARROW);
}

TEST_F(QtTest, NativeHostsHaveNoX11WindowOffscreen) {
    HWND top = Make(kPopup, {100, 100, 300, 250});
    HWND host = CreateNativeHost(top, 10, 10, 100, 80);
    ASSERT_NE(host, 0);
    EXPECT_TRUE(IsNativeHost(host));
    EXPECT_FALSE(IsNativeHost(top));
    EXPECT_FALSE(DisplayIsX11());
    EXPECT_EQ(NativeWindowId(host), 0u);
    EXPECT_EQ(NativeWindowId(top), 0u);
}

TEST_F(QtTest, StandardControlsUsePixelSizedFonts) {
    QFont f = StandardControlFont();
    EXPECT_EQ(f.pixelSize(), 11);
    EXPECT_EQ(f.family(), "Liberation Sans");
    EXPECT_EQ(QApplication::font().pixelSize(), 11);
}

} // namespace
} // namespace forms_test
