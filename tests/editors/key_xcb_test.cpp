// The key editor on a real X server: Xvfb started by the test, the program run in a child run of
// this executable on Qt's xcb platform with an autoloaded song. A click on a part and Ctrl+E
// (typed with xdotool) open the key editor; a screenshot of the screen is saved in the build
// folder (build/tests/key-xcb.png) and the grid's part of it must equal the grid's retained
// surface pixel for pixel; closing the editor writes its settings. Beside the arrange window
// the editor shows the active caption (build/tests/key-xcb-captions.png) and closes by its
// close button and by Ctrl+F4.
#include "app/arrange.h"
#include "app/dialogs.h"
#include "app/main.h"
#include "editors/midi/key.h"

#include "app/xcb_child.h"
#include "gui/scroll.h"
#include "platform/core/ini.h"
#include "platform/forms/application.h"
#include "platform/forms/display.h"
#include "platform/gdi/surface.h"
#include "platform/gdi/syscolors.h"
#include "platform/midi/midi.h"
#include "platform/midi/virtualmidi.h"
#include "platform/window/window.h"
#include "song/primitives.h"
#include "song/song.h"
#include "song/songfile.h"
#include "song/timebase.h"
#include "support/gui_xvfb.h"
#include "support/temp_settings.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

namespace {

using namespace platform;
using testsupport::RunTool;
using testsupport::Spin;
using testsupport::SpinUntil;

constexpr const char* kChildVar = "TOLVERN_KEY_XCB_CHILD";

TEST(KeyXcb, CtrlEOpensTheKeyEditorOnARealDisplay) {
    if (std::getenv(kChildVar)) GTEST_SKIP() << "the child run of this test";
    const std::string shot = std::string(TOLVERN_BIN_DIR) + "/../tests/key-xcb.png";
    std::remove(shot.c_str());
    const TXcbChildRun run = RunXcbChild("KeyXcbChild.ClickAPartAndCtrlE", kChildVar, shot);
    if (!run.Skipped.empty()) GTEST_SKIP() << run.Skipped;
    EXPECT_EQ(run.Status, 0) << "the child run failed (its output is above)";
    std::fprintf(stderr, "screenshot: %s\n", shot.c_str());
}

TEST(KeyXcb, TheEditorsCaptionShowsItActiveAndItsButtonAndCtrlF4CloseIt) {
    if (std::getenv(kChildVar)) GTEST_SKIP() << "the child run of this test";
    const std::string shot = std::string(TOLVERN_BIN_DIR) + "/../tests/key-xcb-captions.png";
    std::remove(shot.c_str());
    const TXcbChildRun run = RunXcbChild("KeyXcbChild.CaptionsAndClosing", kChildVar, shot);
    if (!run.Skipped.empty()) GTEST_SKIP() << run.Skipped;
    EXPECT_EQ(run.Status, 0) << "the child run failed (its output is above)";
    std::fprintf(stderr, "screenshot: %s\n", shot.c_str());
}

class KeyXcbChild : public XcbAppChild {
protected:
    KeyXcbChild() : XcbAppChild(kChildVar) {}
    // A MIDI part of two bars on track 0 with a short phrase, saved as the autoload song.
    std::string WriteSong() {
        const std::string path = program->Path() + "keys.seq";
        TSong* keep = Song;
        Song = new TSong;
        _TTrack* t = Song->TrackAt(0);
        t->Name = "Piano";
        t->Mode = tmMidi;
        _TPart* p = NewPart("Phrase", 0, 1920, 0);
        const int keys[] = {60, 64, 67, 72, 67, 64, 62, 60};
        for (int i = 0; i < 8; ++i) {
            AppendEvent(p, NewEvent(i ? 60 : 0, 0x00640090u | std::uint32_t(keys[i]) << 8));
            AppendEvent(p, NewEvent(180, 0x00000080u | std::uint32_t(keys[i]) << 8));
        }
        EXPECT_TRUE(InsertPart(t, p));
        EXPECT_TRUE(SaveSongFile(path));
        delete Song;
        Song = keep;
        return path;
    }
    static bool ClickAt(HWND h, int X, int Y) {
        TPoint p{X, Y};
        ClientToScreen(h, &p);
        return ClickOnScreen(p);
    }
    static bool ClickOnScreen(TPoint p) {
        return RunTool("xdotool", {"mousemove", "--sync", QString::number(p.X),
                                   QString::number(p.Y), "click", "1"});
    }
    // The program started with the song; a click on its part and Ctrl+E open the key editor.
    void StartAndOpenTheEditor(const std::string& Ini = "") {
        settings->WriteIni("[Autoload]\nEnabled=1\nSong=" + WriteSong() + "\n[Mixer]\nVisible=0\n" +
                           Ini);
        ASSERT_TRUE(StartProgram({}));
        ASSERT_NE(fmArrange, nullptr);
        ASSERT_TRUE(SpinUntil([] { return Song->TrackAt(0)->Parts != nullptr; }, 5000));
        Spin(500);
        part = Song->TrackAt(0)->Parts;
        // The click on the part's box (the arrange window's mouse makes it the current part).
        TScroll* parts = fmArrange->arrange;
        ASSERT_TRUE(ClickAt(parts->Handle(), TickToPixel(part->Start) + 12 + parts->OffsetX,
                            TrackHeight / 2 + parts->OffsetY));
        ASSERT_TRUE(SpinUntil([&] { return Song->CurrentPart == part; }, 3000))
            << "the click did not make the part current";
        EXPECT_TRUE(part->Flags & pfSelected);
        PressCtrlE();
    }
    static void PressCtrlE() {
        ASSERT_TRUE(RunTool("xdotool", {"key", "ctrl+e"}));
        ASSERT_TRUE(SpinUntil(
            [] { return fmKey && fmKey->Visible && fmKey->key->HandleAllocated(); }, 5000))
            << "Ctrl+E opened no key editor";
    }

    _TPart* part = nullptr;
};

TEST_F(KeyXcbChild, ClickAPartAndCtrlE) {
    ASSERT_TRUE(DisplayIsX11());
    StartAndOpenTheEditor();
    Spin(1500);
    EXPECT_EQ(fmKey->BoundPart, part);

    const QString shot = QString::fromLocal8Bit(std::getenv(kChildVar));
    ASSERT_TRUE(RunTool("import", {"-window", "root", shot}));
    QImage screen(shot);
    ASSERT_FALSE(screen.isNull());
    Surface grid;
    ASSERT_TRUE(ReadWindowPixels(fmKey->key->Handle(), grid));
    TRect r;
    GetWindowRect(fmKey->key->Handle(), &r);
    ASSERT_EQ(r.Width(), grid.width);
    ASSERT_EQ(r.Height(), grid.height);
    ASSERT_GT(grid.width, 100);
    ASSERT_GT(grid.height, 100);
    int differ = 0, notes = 0;
    for (int y = 0; y < grid.height; ++y)
        for (int x = 0; x < grid.width; ++x) {
            if (r.Left + x >= screen.width() || r.Top + y >= screen.height()) continue;
            const std::uint32_t want = grid.Row(y)[x] & 0xFFFFFF;
            differ += (screen.pixel(r.Left + x, r.Top + y) & 0xFFFFFF) != want;
            notes += want == 0xA0A050; // note fill
        }
    EXPECT_EQ(differ, 0) << "the screen differs from the grid's surface in " << differ << " pixels";
    EXPECT_GT(notes, 8 * 20) << "the phrase's boxes are not in view";

    fmKey->Close();
    ASSERT_TRUE(SpinUntil([] { return fmKey == nullptr; }, 3000));
    TIniFile ini;
    EXPECT_NE(ini.ReadString("Partedit", "Splitter", "<none>"), "<none>");
    EXPECT_NE(ini.ReadString("Part edit", "Grid", "<none>"), "<none>");
}

// The editor beside the arrange window: its caption in the active colours and the arrange
// window's in the inactive ones; its close button and Ctrl+F4 close it, while the arrange
// window refuses to close.
TEST_F(KeyXcbChild, CaptionsAndClosing) {
    ASSERT_TRUE(DisplayIsX11());
    StartAndOpenTheEditor("[Partedit]\nMaximized=0\nLeft=420\nTop=140\nWidth=560\nHeight=440\n");
    Spin(1500);
    ASSERT_EQ(fmKey->WindowState, wsNormal);
    EXPECT_EQ(fmMdi->ActiveMDIChild(), fmKey);

    const QString shot = QString::fromLocal8Bit(std::getenv(kChildVar));
    ASSERT_TRUE(RunTool("import", {"-window", "root", shot}));
    QImage screen(shot);
    ASSERT_FALSE(screen.isNull());
    // The caption's fill at its right end, left of the buttons, as the screen shows it.
    auto caption = [&](HWND h) {
        TRect r;
        GetWindowRect(h, &r);
        return screen.pixel(r.Right - 70, r.Top + 8) & 0xFFFFFFu;
    };
    auto rgb = [](int Index) {
        const std::uint32_t c = GetSysColor(Index);
        return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
    };
    EXPECT_EQ(caption(fmKey->Handle()), rgb(COLOR_ACTIVECAPTION));
    EXPECT_EQ(caption(fmArrange->Handle()), rgb(COLOR_INACTIVECAPTION));

    // The close button: the rightmost of the caption.
    auto closeButton = [](TForm* f) {
        TRect r;
        GetWindowRect(f->Handle(), &r);
        const TPoint p{r.Right - 14, r.Top + 13};
        EXPECT_EQ(SendMessage(f->Handle(), WM_NCHITTEST, 0,
                              MAKELPARAM(std::uint16_t(p.X), std::uint16_t(p.Y))),
                  HTCLOSE);
        return p;
    };
    ASSERT_TRUE(ClickOnScreen(closeButton(fmKey)));
    ASSERT_TRUE(SpinUntil([] { return fmKey == nullptr; }, 3000))
        << "the close button left the editor open";

    PressCtrlE();
    Spin(500);
    ASSERT_TRUE(RunTool("xdotool", {"key", "ctrl+F4"}));
    ASSERT_TRUE(SpinUntil([] { return fmKey == nullptr; }, 3000)) << "Ctrl+F4 left the editor open";

    // The arrange window stays, by Ctrl+F4 and by its close button.
    EXPECT_EQ(fmMdi->ActiveMDIChild(), fmArrange);
    ASSERT_TRUE(RunTool("xdotool", {"key", "ctrl+F4"}));
    ASSERT_TRUE(ClickOnScreen(closeButton(fmArrange)));
    Spin(500);
    ASSERT_NE(fmArrange, nullptr);
    EXPECT_TRUE(fmArrange->Visible);
    EXPECT_EQ(fmArrange->WindowState, wsNormal);
}

} // namespace
