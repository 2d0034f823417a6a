// The transport keys on a real X server: a MIDI file opened by Ctrl+O in the real file dialog,
// a click on the parts area, then Enter plays (the position and the play cursor move), Space
// stops and Home goes back to the start. The program runs in a child run of this executable on
// Qt's xcb platform; keys and clicks come from xdotool. The screenshot while playing is saved in
// the build folder (build/tests/arrangekeys-xcb.png).
#include "app/arrange.h"
#include "app/main.h"
#include "app/xcb_child.h"

#include "gui/scroll.h"
#include "platform/forms/edit.h"
#include "platform/window/focus.h"
#include "platform/window/window.h"
#include "song/primitives.h"
#include "song/smf.h"
#include "song/song.h"
#include "song/timebase.h"

#include <QImage>

#include <sys/wait.h>

namespace {

using namespace platform;
using testsupport::RunTool;
using testsupport::Spin;
using testsupport::SpinUntil;

constexpr const char* kChildVar = "TOLVERN_ARRANGEKEYS_XCB_CHILD";

TEST(ArrangeKeysXcb, EnterSpaceAndHomeAfterAClickInThePartsArea) {
    if (std::getenv(kChildVar)) GTEST_SKIP() << "the child run of this test";
    const std::string shot = std::string(TOLVERN_BIN_DIR) + "/../tests/arrangekeys-xcb.png";
    std::remove(shot.c_str());
    const TXcbChildRun run = RunXcbChild("ArrangeKeysXcbChild.*", kChildVar, shot);
    if (!run.Skipped.empty()) GTEST_SKIP() << run.Skipped;
    EXPECT_EQ(run.Status, 0) << "the child run failed (its output is above)";
    std::fprintf(stderr, "screenshot: %s\n", shot.c_str());
}

class ArrangeKeysXcbChild : public XcbAppChild {
protected:
    ArrangeKeysXcbChild() : XcbAppChild(kChildVar) {}
    // Four tracks of eight bars with a note on every beat, written as a MIDI file.
    std::string WriteMidiFile() {
        const std::string path = program->Path() + "beats.mid";
        TSong* keep = Song;
        Song = new TSong;
        for (int t = 0; t < 4; ++t) {
            _TPart* p = NewPart("Beats", 0, 8 * 960, t);
            for (int b = 0; b < 32; ++b) {
                AppendEvent(p, NewEvent(b ? 180 : 0, 0x00640090u | std::uint32_t(t + b) << 8 | t));
                AppendEvent(p, NewEvent(60, 0x00000080u | std::uint32_t(t + b) << 8 | t));
            }
            EXPECT_TRUE(InsertPart(Song->TrackAt(t), p));
        }
        EXPECT_TRUE(WriteSmfFile(path));
        delete Song;
        Song = keep;
        return path;
    }
    static pid_t Script(const std::string& Line) {
        return testsupport::Spawn({"/bin/sh", "-c", Line}, {});
    }
    static bool Exited(pid_t Pid) {
        int status = 0;
        return waitpid(Pid, &status, WNOHANG) != 0;
    }
    static bool Key(const char* Name) { return RunTool("xdotool", {"key", Name}); }
    // The screen's pixels of the parts area.
    static QImage PartsOnScreen(const QString& Path) {
        if (!RunTool("import", {"-window", "root", Path})) return {};
        TRect r;
        GetWindowRect(fmArrange->arrange->Handle(), &r);
        return QImage(Path).copy(r.Left, r.Top, r.Width(), r.Height());
    }
};

TEST_F(ArrangeKeysXcbChild, OpenAMidiFileClickThePartsAndUseTheTransportKeys) {
    ASSERT_TRUE(DisplayIsX11());
    ASSERT_TRUE(StartProgram({}));
    ASSERT_NE(fmArrange, nullptr);
    const std::string file = WriteMidiFile();
    Spin(500);

    // Ctrl+O, the name typed into the real file dialog.
    const pid_t typer =
        Script("sleep 3; xdotool type --delay 20 '" + file + "'; sleep 1; xdotool key Return");
    ASSERT_TRUE(Key("ctrl+o"));
    EXPECT_TRUE(SpinUntil([&] { return Exited(typer); }, 20000));
    ASSERT_TRUE(SpinUntil([] { return Song->FileName == "beats.mid"; }, 5000))
        << "the MIDI file was not opened";
    Spin(500);

    // A click on the empty parts area below the tracks' parts.
    TScroll* parts = fmArrange->arrange;
    TPoint p{TickToPixel(960) + parts->OffsetX, 6 * TrackHeight + parts->OffsetY};
    ClientToScreen(parts->Handle(), &p);
    ASSERT_TRUE(RunTool("xdotool", {"mousemove", "--sync", QString::number(p.X),
                                    QString::number(p.Y), "click", "1"}));
    Spin(300);
    EXPECT_NE(GetFocus(), fmArrange->editBpm->Handle()) << "the tempo field kept the focus";

    const QString shot = QString::fromLocal8Bit(std::getenv(kChildVar));
    const QImage stopped = PartsOnScreen(shot);
    ASSERT_FALSE(stopped.isNull());
    ASSERT_TRUE(Key("Return"));
    ASSERT_TRUE(SpinUntil([] { return Song->State == 2; }, 3000)) << "Enter did not play";
    EXPECT_TRUE(SpinUntil([] { return Song->Position > 480; }, 5000))
        << "the position stood still at " << Song->Position.load();
    Spin(300);
    const QImage playing = PartsOnScreen(shot);
    ASSERT_EQ(playing.size(), stopped.size());
    // The play cursor: a column of the parts area changed from the stopped screen.
    int columns = 0;
    for (int x = 0; x < playing.width(); ++x) {
        int changed = 0;
        for (int y = 0; y < playing.height(); ++y)
            changed += playing.pixel(x, y) != stopped.pixel(x, y);
        columns += changed > playing.height() / 4;
    }
    EXPECT_GE(columns, 1) << "no play cursor moved on the screen";

    ASSERT_TRUE(Key("space"));
    EXPECT_TRUE(SpinUntil([] { return Song->State == 0; }, 3000)) << "Space did not stop";
    EXPECT_GT(Song->Position, 0);
    ASSERT_TRUE(Key("Home"));
    EXPECT_TRUE(SpinUntil([] { return Song->Position == 0; }, 3000))
        << "Home left the position at " << Song->Position.load();
}

} // namespace
