// Save As on a real X server: Xvfb started by the test, the program's main window run by a child
// run of this executable on Qt's xcb platform, keys typed with xdotool. The song's own name is
// offered, so Enter picks a file that exists: the save dialog asks first, with No as the default
// (a screenshot of the question is saved as build/tests/saveas-xcb.png), and stays open; Escape
// then leaves the file as it was. Alt+Y replaces it.
#include "xcb_child.h"

#include "song/song.h"
#include "song/songfile.h"

#include <fstream>
#include <unistd.h>

namespace {

constexpr const char* kChildVar = "TOLVERN_SAVEAS_XCB_CHILD";

TEST(SaveAsXcb, ReplacingAFileIsAskedOnARealDisplay) {
    if (std::getenv(kChildVar)) GTEST_SKIP() << "the child run of this test";
    const std::string shot = std::string(TOLVERN_BIN_DIR) + "/../tests/saveas-xcb.png";
    std::remove(shot.c_str());
    // Keys typed by another client can be lost on a loaded machine: one more run then.
    TXcbChildRun run;
    for (int i = 0; i < 2 && run.Status != 0; ++i) {
        run = RunXcbChild("SaveAsXcbChild.*", kChildVar, shot);
        if (!run.Skipped.empty()) GTEST_SKIP() << run.Skipped;
    }
    EXPECT_EQ(run.Status, 0) << "the child run failed (its output is above)";
    EXPECT_EQ(access(shot.c_str(), F_OK), 0) << "no screenshot at " << shot;
}

// Runs a shell line beside the event loop (keys typed while a modal dialog runs).
pid_t Script(const std::string& Line) {
    return testsupport::Spawn({"/bin/sh", "-c", Line}, {});
}

std::string ReadText(const std::string& Path) {
    std::ifstream in(Path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class SaveAsXcbChild : public XcbAppChild {
protected:
    SaveAsXcbChild() : XcbAppChild(kChildVar) {}
};

TEST_F(SaveAsXcbChild, EnterOnAnExistingFileAsksFirst) {
    ASSERT_TRUE(platform::DisplayIsX11());
    ASSERT_TRUE(StartProgram({}));
    const std::string song = program->Path() + "there.seq";
    ASSERT_TRUE(SaveSongFile(song));
    const std::string saved = ReadText(song);
    Song->BeatsPerBar = 3;
    testsupport::Spin(500);

    // Enter takes the offered name; the question shows over the dialog (two windows of that
    // caption), Enter answers No and the dialog stays until Escape.
    const std::string shot = Value();
    const std::string count = program->Path() + "windows.txt";
    const pid_t no =
        Script("sleep 3; xdotool key Return; sleep 2; import -window root '" + shot +
               "'; xdotool search --onlyvisible --name '^Save song$' | wc -l > '" + count +
               "'; xdotool key Return; sleep 1.5; xdotool search --onlyvisible "
               "--name '^Save song$' | wc -l >> '" +
               count + "'; xdotool key Escape");
    EXPECT_FALSE(fmMdi->Saveas1Click());
    EXPECT_EQ(testsupport::WaitFor(no, 15000), 0); // its last key closed the dialog
    EXPECT_EQ(ReadText(count), "2\n1\n") << "the question, then the dialog alone";
    EXPECT_EQ(ReadText(song), saved);

    // Alt+Y replaces it.
    const pid_t yes = Script("sleep 3; xdotool key Return; sleep 2; xdotool key alt+y");
    EXPECT_TRUE(fmMdi->Saveas1Click());
    EXPECT_EQ(testsupport::WaitFor(yes, 15000), 0);
    EXPECT_NE(ReadText(song), saved);
}

} // namespace
