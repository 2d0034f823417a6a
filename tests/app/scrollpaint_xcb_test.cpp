// Scrolling on a real X server: the arrange window scrolled by the wheel (rows and bars, both
// ways, in quick bursts, over the ruler) and by its scroll bars (arrows, page, thumb), then the
// key editor's grid the same way; after each step the screen shows exactly the window's
// retained surface, and that is what a fresh paint gives. The program runs in a child run of
// this executable on Qt's xcb platform, the pointer and the wheel driven with xdotool. A step
// whose screen differs leaves its screenshot in the build folder
// (build/tests/scrollpaint-xcb-<step>.png); the last screen is build/tests/scrollpaint-xcb.png.
#include "app/arrange.h"
#include "app/main.h"
#include "app/xcb_child.h"
#include "editors/midi/key.h"

#include "gui/mscroll.h"
#include "gui/scroll.h"
#include "platform/gdi/surface.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"
#include "song/primitives.h"
#include "song/song.h"
#include "song/songfile.h"
#include "song/timebase.h"

#include <QImage>

namespace {

using namespace platform;
using testsupport::RunTool;
using testsupport::Spin;
using testsupport::SpinUntil;

constexpr const char* kChildVar = "TOLVERN_SCROLLPAINT_XCB_CHILD";

TEST(ScrollPaintXcb, TheScreenShowsTheRetainedSurfaceAfterEveryScroll) {
    if (std::getenv(kChildVar)) GTEST_SKIP() << "the child run of this test";
    const std::string shot = std::string(TOLVERN_BIN_DIR) + "/../tests/scrollpaint-xcb.png";
    std::remove(shot.c_str());
    const TXcbChildRun run = RunXcbChild("ScrollPaintXcbChild.*", kChildVar, shot);
    if (!run.Skipped.empty()) GTEST_SKIP() << run.Skipped;
    EXPECT_EQ(run.Status, 0) << "the child run failed (its output is above)";
    std::fprintf(stderr, "screenshot: %s\n", shot.c_str());
}

class ScrollPaintXcbChild : public XcbAppChild {
protected:
    ScrollPaintXcbChild() : XcbAppChild(kChildVar) {}
    // Twelve tracks of parts, one every two bars up to bar 64, notes over four octaves.
    std::string WriteSong() {
        const std::string path = program->Path() + "long.seq";
        TSong* keep = Song;
        Song = new TSong;
        _TPart* one = NewPart("Long", 0, 32 * 960, 0);
        for (int n = 0; n < 128; ++n) {
            const std::uint32_t key = 30 + std::uint32_t((n * 5) % 60);
            AppendEvent(one, NewEvent(n ? 120 : 0, 0x00640090u | key << 8));
            AppendEvent(one, NewEvent(120, 0x00000080u | key << 8));
        }
        EXPECT_TRUE(InsertPart(Song->TrackAt(0), one));
        for (int t = 1; t < 12; ++t) {
            Song->TrackAt(t)->Mode = tmMidi;
            for (int bar = t % 2; bar < 64; bar += 2) {
                _TPart* p = NewPart("P" + std::to_string(bar + 1), bar * 960, 960, t);
                for (int n = 0; n < 8; ++n) {
                    const std::uint32_t key = 36 + std::uint32_t((n * 7 + bar) % 48);
                    AppendEvent(p, NewEvent(n ? 60 : 0, 0x00640090u | key << 8));
                    AppendEvent(p, NewEvent(60, 0x00000080u | key << 8));
                }
                EXPECT_TRUE(InsertPart(Song->TrackAt(t), p));
            }
        }
        EXPECT_TRUE(SaveSongFile(path));
        delete Song;
        Song = keep;
        return path;
    }
    static bool MouseAt(HWND h, int X, int Y) {
        TPoint p{X, Y};
        ClientToScreen(h, &p);
        // (No --sync: it waits for a motion, and the pointer may be there already.)
        if (!RunTool("xdotool", {"mousemove", QString::number(p.X), QString::number(p.Y)}))
            return false;
        Spin(100);
        return true;
    }
    // Clicks of button 1 (left), 4 and 5 (the wheel up and down) at a client point of h.
    static bool ClickAt(HWND h, int X, int Y, int Button, int Times = 1) {
        if (!MouseAt(h, X, Y)) return false;
        // Turns of the wheel come quickly, as a hand turns it.
        return RunTool("xdotool", {"click", "--repeat", QString::number(Times), "--delay", "15",
                                   QString::number(Button)});
    }
    // A point in a strip's scroll bar: Where of its length (negative from the far end), across
    // its middle.
    static bool ClickBar(TMScroll* Strip, TGuiScrollbar* Bar, int Where) {
        const int along = Where >= 0 ? Where : (Bar->Vertical ? Bar->Bottom : Bar->Right) + Where;
        const int x = Bar->Vertical ? (Bar->Left + Bar->Right) / 2 : Bar->Left + along;
        const int y = Bar->Vertical ? Bar->Top + along : (Bar->Top + Bar->Bottom) / 2;
        return ClickAt(Strip->Handle(), x, y, 1);
    }
    // The screen against the retained surface of the window on test, pixel for pixel, after
    // the whole main window was painted afresh: what the scrolls left on the screen is what a
    // fresh paint gives.
    void ExpectScreenIsTheSurface(const std::string& Step) {
        const HWND form = Step.rfind("key", 0) == 0 ? fmKey->Handle() : fmArrange->Handle();
        Spin(600);
        const std::string shot = Value();
        ASSERT_TRUE(RunTool("import", {"-window", "root", QString::fromStdString(shot)}));
        QImage screen(QString::fromStdString(shot));
        ASSERT_FALSE(screen.isNull());
        RedrawWindow(fmMdi->Handle(), nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        Surface s;
        ASSERT_TRUE(ReadWindowPixels(form, s, false));
        TRect r;
        GetWindowRect(form, &r);
        int differ = 0;
        TRect box{1 << 20, 1 << 20, -1, -1};
        for (int y = 0; y < s.height; ++y)
            for (int x = 0; x < s.width; ++x) {
                if (r.Left + x >= screen.width() || r.Top + y >= screen.height()) continue;
                if ((screen.pixel(r.Left + x, r.Top + y) & 0xFFFFFF) == (s.Row(y)[x] & 0xFFFFFF))
                    continue;
                ++differ;
                box = {std::min(box.Left, x), std::min(box.Top, y), std::max(box.Right, x + 1),
                       std::max(box.Bottom, y + 1)};
            }
        if (differ) {
            const std::string kept = shot.substr(0, shot.size() - 4) + "-" + Step + ".png";
            screen.save(QString::fromStdString(kept));
            ADD_FAILURE() << Step << ": the screen differs from the surface in " << differ
                          << " pixels within (" << box.Left << ", " << box.Top << ")-(" << box.Right
                          << ", " << box.Bottom << "); the screen is " << kept;
        }
    }
    void StartWithTheSong() {
        settings->WriteIni("[Autoload]\nEnabled=1\nSong=" + WriteSong() + "\n[Mixer]\nVisible=0\n");
        ASSERT_TRUE(StartProgram({}));
        ASSERT_NE(fmArrange, nullptr);
        ASSERT_TRUE(SpinUntil([] { return Song->TrackAt(11)->Parts != nullptr; }, 5000));
        Spin(500);
    }
};

TEST_F(ScrollPaintXcbChild, TheArrangeWindowByTheWheelAndItsScrollBars) {
    ASSERT_TRUE(DisplayIsX11());
    StartWithTheSong();
    TScroll* parts = fmArrange->arrange;
    const HWND h = parts->Handle();
    const int w = parts->GetClientWidth(), ht = parts->GetClientHeight();
    // The focus away from the tempo field (its caret blinks), on an empty row.
    ASSERT_TRUE(ClickAt(h, w / 2, 12 * TrackHeight + 5, 1));
    ExpectScreenIsTheSurface("arrange-start");
    ASSERT_TRUE(ClickAt(h, w / 2, ht / 3, 5, 3));
    EXPECT_GT(fmArrange->ScrollY->Position, 0);
    ExpectScreenIsTheSurface("arrange-wheel-rows-down");
    ASSERT_TRUE(ClickAt(h, w / 2, ht / 3, 4));
    ExpectScreenIsTheSurface("arrange-wheel-rows-up");
    ASSERT_TRUE(ClickAt(h, w / 2, ht - 3, 5, 3));
    EXPECT_GT(fmArrange->ScrollX->Position, 0);
    ExpectScreenIsTheSurface("arrange-wheel-bars-forward");
    ASSERT_TRUE(ClickAt(h, w / 2, ht - 3, 4));
    ExpectScreenIsTheSurface("arrange-wheel-bars-back");

    ASSERT_TRUE(ClickAt(fmArrange->meter->Handle(), w / 2, 5, 5, 2)); // over the ruler: bars
    ExpectScreenIsTheSurface("arrange-wheel-over-the-ruler");

    // Quick bursts of notches without a pause, along both axes.
    for (int i = 0; i < 6; ++i) {
        TPoint p{i % 2 ? w / 2 : w / 3, i % 2 ? ht - 3 : ht / 2};
        ClientToScreen(h, &p);
        ASSERT_TRUE(
            RunTool("xdotool", {"mousemove", QString::number(p.X), QString::number(p.Y), "click",
                                "--repeat", "8", "--delay", "1", i % 3 ? "5" : "4"}));
    }
    ExpectScreenIsTheSurface("arrange-wheel-bursts");

    // The thumb dragged right and part of the way back.
    TGuiScrollbar* x = fmArrange->ScrollX;
    const int bx = x->Bottom - x->Top;
    TPoint t{x->Left + bx + x->ThumbPos() + 3, (x->Top + x->Bottom) / 2};
    ClientToScreen(fmArrange->guiScrollx->Handle(), &t);
    QStringList drag{"mousemove", QString::number(t.X), QString::number(t.Y), "mousedown", "1"};
    for (int i : {2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 16, 12, 8})
        drag << "mousemove" << QString::number(t.X + i * 7) << QString::number(t.Y) << "sleep"
             << "0.01";
    drag << "mouseup"
         << "1";
    ASSERT_TRUE(RunTool("xdotool", drag));
    ExpectScreenIsTheSurface("arrange-thumb-drag");

    ASSERT_TRUE(ClickBar(fmArrange->guiScrollx, x, -bx / 2));
    ExpectScreenIsTheSurface("arrange-bar-right-arrow");
    ASSERT_TRUE(ClickBar(fmArrange->guiScrollx, x, -bx - 3));
    ExpectScreenIsTheSurface("arrange-bar-page-right");
    ASSERT_TRUE(ClickBar(fmArrange->guiScrollx, x, bx / 2));
    ExpectScreenIsTheSurface("arrange-bar-left-arrow");
    TGuiScrollbar* y = fmArrange->ScrollY;
    const int by = y->Right - y->Left;
    ASSERT_TRUE(ClickBar(fmArrange->guiScrolly, y, -by / 2));
    ExpectScreenIsTheSurface("arrange-bar-down-arrow");
    ASSERT_TRUE(ClickBar(fmArrange->guiScrolly, y, by / 2));
    ExpectScreenIsTheSurface("arrange-bar-up-arrow");
}

TEST_F(ScrollPaintXcbChild, TheKeyEditorsGridByTheWheelAndItsScrollBars) {
    ASSERT_TRUE(DisplayIsX11());
    StartWithTheSong();
    _TPart* part = Song->TrackAt(0)->Parts;
    TScroll* parts = fmArrange->arrange;
    ASSERT_TRUE(ClickAt(parts->Handle(), TickToPixel(part->Start) + 12 + parts->OffsetX,
                        TrackHeight / 2 + parts->OffsetY, 1));
    ASSERT_TRUE(SpinUntil([&] { return Song->CurrentPart == part; }, 3000));
    ASSERT_TRUE(RunTool("xdotool", {"key", "ctrl+e"}));
    ASSERT_TRUE(
        SpinUntil([] { return fmKey && fmKey->Visible && fmKey->key->HandleAllocated(); }, 5000))
        << "Ctrl+E opened no key editor";
    Spin(1000);
    // The bars and the lane hidden: the grid takes most of the window, beside the list.
    fmKey->miToolbar->Click();
    fmKey->miEditbar->Click();
    fmKey->miControllers->Click();
    Spin(500);
    const HWND h = fmKey->key->Handle();
    const int w = fmKey->key->GetClientWidth(), ht = fmKey->key->GetClientHeight();
    ASSERT_TRUE(ClickAt(h, w - 20, 5, 1)); // on the grid, away from the notes
    ExpectScreenIsTheSurface("key-start");
    ASSERT_TRUE(ClickAt(h, w - 5, ht / 3, 5, 3));
    ExpectScreenIsTheSurface("key-wheel-notes-down");
    ASSERT_TRUE(ClickAt(h, w - 5, ht / 3, 4));
    ExpectScreenIsTheSurface("key-wheel-notes-up");
    ASSERT_TRUE(ClickAt(h, w / 2, ht - 3, 5, 3));
    ExpectScreenIsTheSurface("key-wheel-time-forward");
    ASSERT_TRUE(ClickAt(h, w / 2, ht - 3, 4));
    ExpectScreenIsTheSurface("key-wheel-time-back");

    TGuiScrollbar* x = fmKey->ScrollX;
    const int bx = x->Bottom - x->Top;
    ASSERT_TRUE(ClickBar(fmKey->guiScrollx, x, -bx / 2));
    ExpectScreenIsTheSurface("key-bar-right-arrow");
    ASSERT_TRUE(ClickBar(fmKey->guiScrollx, x, bx / 2));
    ExpectScreenIsTheSurface("key-bar-left-arrow");
    TGuiScrollbar* y = fmKey->ScrollY;
    const int by = y->Right - y->Left;
    ASSERT_TRUE(ClickBar(fmKey->guiScrolly, y, -by / 2));
    ExpectScreenIsTheSurface("key-bar-down-arrow");
    ASSERT_TRUE(ClickBar(fmKey->guiScrolly, y, by / 2));
    ExpectScreenIsTheSurface("key-bar-up-arrow");
}

} // namespace
