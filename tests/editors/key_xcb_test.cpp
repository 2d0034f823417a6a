// The key editor on a real X server: Xvfb started by the test, the program run in a child run of
// this executable on Qt's xcb platform with an autoloaded song. A click on a part and Ctrl+E
// (typed with xdotool) open the key editor; a screenshot of the screen is saved in the build
// folder (build/tests/key-xcb.png) and the grid's part of it must equal the grid's retained
// surface pixel for pixel; closing the editor writes its settings.
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
    const TXcbChildRun run = RunXcbChild("KeyXcbChild.*", kChildVar, shot);
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
        return RunTool("xdotool", {"mousemove", "--sync", QString::number(p.X),
                                   QString::number(p.Y), "click", "1"});
    }
};

TEST_F(KeyXcbChild, ClickAPartAndCtrlE) {
    ASSERT_TRUE(DisplayIsX11());
    settings->WriteIni("[Autoload]\nEnabled=1\nSong=" + WriteSong() + "\n[Mixer]\nVisible=0\n");
    ASSERT_TRUE(StartProgram({}));
    ASSERT_NE(fmArrange, nullptr);
    ASSERT_TRUE(SpinUntil([] { return Song->TrackAt(0)->Parts != nullptr; }, 5000));
    Spin(500);
    _TPart* part = Song->TrackAt(0)->Parts;

    // The click on the part's box (the arrange window's mouse makes it the current part).
    TScroll* parts = fmArrange->arrange;
    ASSERT_TRUE(ClickAt(parts->Handle(), TickToPixel(part->Start) + 12 + parts->OffsetX,
                        TrackHeight / 2 + parts->OffsetY));
    ASSERT_TRUE(SpinUntil([&] { return Song->CurrentPart == part; }, 3000))
        << "the click did not make the part current";
    EXPECT_TRUE(part->Flags & pfSelected);
    ASSERT_TRUE(RunTool("xdotool", {"key", "ctrl+e"}));
    ASSERT_TRUE(
        SpinUntil([] { return fmKey && fmKey->Visible && fmKey->key->HandleAllocated(); }, 5000))
        << "Ctrl+E opened no key editor";
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

} // namespace
