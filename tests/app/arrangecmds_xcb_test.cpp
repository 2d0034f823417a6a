// The arrange window's keys and menus on a real X server, as a user reaches them: a MIDI file
// opened by Ctrl+O, Enter in the tempo field and Enter again to play, Space to stop; the Part
// menu opened by Alt+P with "Quantize (16)" (its screenshot is saved as
// build/tests/arrangecmds-xcb.png); Right selects the first part, Del deletes it and Ctrl+Z
// brings it back. The program runs in a child run of this executable on Qt's xcb platform; the
// keys come from xdotool.
#include "app/arrange.h"
#include "app/main.h"
#include "app/xcb_child.h"

#include "gui/scroll.h"
#include "platform/core/timers.h"
#include "platform/forms/edit.h"
#include "platform/menus/menus.h"
#include "platform/window/focus.h"
#include "platform/window/window.h"
#include "song/primitives.h"
#include "song/smf.h"
#include "song/song.h"

#include <algorithm>

#include <sys/wait.h>

namespace {

using namespace platform;
using testsupport::RunTool;
using testsupport::Spin;
using testsupport::SpinUntil;

constexpr const char* kChildVar = "TOLVERN_ARRANGECMDS_XCB_CHILD";

TEST(ArrangeCommandsXcb, TheKeysAndThePartMenuOnTheDisplay) {
    if (std::getenv(kChildVar)) GTEST_SKIP() << "the child run of this test";
    const std::string shot = std::string(TOLVERN_BIN_DIR) + "/../tests/arrangecmds-xcb.png";
    std::remove(shot.c_str());
    const TXcbChildRun run = RunXcbChild("ArrangeCommandsXcbChild.*", kChildVar, shot);
    if (!run.Skipped.empty()) GTEST_SKIP() << run.Skipped;
    EXPECT_EQ(run.Status, 0) << "the child run failed (its output is above)";
    std::fprintf(stderr, "screenshot: %s\n", shot.c_str());
}

class ArrangeCommandsXcbChild : public XcbAppChild {
protected:
    ArrangeCommandsXcbChild() : XcbAppChild(kChildVar) {}
    // Two parts of four bars on track 1, a note on every beat.
    std::string WriteMidiFile() {
        const std::string path = program->Path() + "two.mid";
        TSong* keep = Song;
        Song = new TSong;
        for (int start : {0, 8 * 960}) {
            _TPart* p = NewPart("Beats", start, 4 * 960, 0);
            for (int b = 0; b < 16; ++b) {
                AppendEvent(p, NewEvent(b ? 180 : 0, 0x00640090u | std::uint32_t(60 + b) << 8));
                AppendEvent(p, NewEvent(60, 0x00000080u | std::uint32_t(60 + b) << 8));
            }
            EXPECT_TRUE(InsertPart(Song->TrackAt(0), p));
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
    static int PartCount() {
        int n = 0;
        for (_TPart* p = Song->TrackAt(0)->Parts; p; p = p->Next)
            ++n;
        return n;
    }
};

TEST_F(ArrangeCommandsXcbChild, OpenPlayStopThenThePartMenuAndThePartKeys) {
    ASSERT_TRUE(DisplayIsX11());
    ASSERT_TRUE(StartProgram({}));
    ASSERT_NE(fmArrange, nullptr);
    const std::string file = WriteMidiFile();
    Spin(500);

    const pid_t typer =
        Script("sleep 3; xdotool type --delay 20 '" + file + "'; sleep 1; xdotool key Return");
    ASSERT_TRUE(Key("ctrl+o"));
    EXPECT_TRUE(SpinUntil([&] { return Exited(typer); }, 20000));
    ASSERT_TRUE(SpinUntil([] { return Song->FileName == "two.mid"; }, 5000))
        << "the MIDI file was not opened";
    Spin(500);
    ASSERT_EQ(GetFocus(), fmArrange->editBpm->Handle()) << "the tempo field has the focus";

    // The first Enter is the tempo field's, which gives the focus back; the second plays.
    ASSERT_TRUE(Key("Return"));
    ASSERT_TRUE(SpinUntil([] { return GetFocus() != fmArrange->editBpm->Handle(); }, 3000));
    EXPECT_EQ(Song->State, 0);
    ASSERT_TRUE(Key("Return"));
    ASSERT_TRUE(SpinUntil([] { return Song->State == 2; }, 3000)) << "Enter did not play";
    EXPECT_TRUE(SpinUntil([] { return Song->Position > 480; }, 5000))
        << "the position stood still at " << Song->Position.load();
    ASSERT_TRUE(Key("space"));
    EXPECT_TRUE(SpinUntil([] { return Song->State == 0; }, 3000)) << "Space did not stop";

    // Alt+P opens the Part menu with the resolution in the captions. The menu runs its own loop
    // until Escape closes it: what it shows is read, and the screen taken, by a timer inside it.
    std::vector<std::string> shown;
    const QString shot = QString::fromLocal8Bit(std::getenv(kChildVar));
    TTimer look;
    look.Interval = 1500;
    look.OnTimer = [&] {
        look.Enabled = false;
        for (TMenuItem* i : ShownMenuItems(0))
            shown.push_back(i->Caption);
        RunTool("import", {"-window", "root", shot});
    };
    look.Enabled = true;
    const pid_t closer = Script("sleep 4; xdotool key Escape; sleep 0.5; xdotool key Escape");
    ASSERT_TRUE(Key("alt+p"));
    EXPECT_TRUE(SpinUntil([&] { return Exited(closer) && !MenuTracking(); }, 15000));
    EXPECT_NE(std::find(shown.begin(), shown.end(), "Quantize (16)"), shown.end())
        << "the Part menu shows no \"Quantize (16)\" (" << shown.size() << " items)";
    Spin(300);

    // Right selects the first part, Del deletes it, Ctrl+Z brings it back.
    ASSERT_EQ(PartCount(), 2);
    ASSERT_TRUE(Key("Right"));
    ASSERT_TRUE(SpinUntil([] { return Song->SelectedPartCount() == 1; }, 3000));
    EXPECT_EQ(Song->CurrentPart, Song->TrackAt(0)->Parts);
    ASSERT_TRUE(Key("Delete"));
    ASSERT_TRUE(SpinUntil([] { return PartCount() == 1; }, 3000)) << "Del deleted nothing";
    EXPECT_EQ(Song->TrackAt(0)->Parts->Start, 8 * 960);
    ASSERT_TRUE(Key("ctrl+z"));
    ASSERT_TRUE(SpinUntil([] { return PartCount() == 2; }, 3000)) << "Ctrl+Z undid nothing";
    EXPECT_EQ(Song->TrackAt(0)->Parts->Start, 0);
}

} // namespace
