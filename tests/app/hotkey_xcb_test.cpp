// The real program on a real X server: its emergency hot key works while another program has
// the focus.
#include "platform/core/ini.h"
#include "support/gui_xvfb.h"
#include "support/temp_settings.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

using testsupport::ChildProcess;
using testsupport::OnPath;
using testsupport::Spawn;
using testsupport::WaitFor;
using testsupport::Xvfb;

std::string ReadText(const std::string& Path) {
    std::ifstream in(Path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(EmergencyQuitXcb, CtrlAltNumPad9EndsTheProgramAtOnceWhileAnotherClientHasTheFocus) {
    for (const char* tool : {"Xvfb", "xdotool", "xmessage"})
        if (!OnPath(tool))
            GTEST_SKIP() << tool << " is not installed (scripts/setup.sh installs it)";
    Xvfb x;
    if (x.Display().empty()) GTEST_SKIP() << "Xvfb could not start on a free display";
    TempSettings settings; // the child inherits XDG_CONFIG_HOME
    // Qt's session bus connection keeps a buffer of libdbus to the end: not ours to report.
    TempDir scratch;
    const std::string suppressions = scratch.WriteFile("lsan.supp", "leak:libdbus-1.so\n");
    const std::vector<std::string> env = {"DISPLAY=" + x.Display(), "QT_QPA_PLATFORM=xcb",
                                          "LSAN_OPTIONS=suppressions=" + suppressions};
    ChildProcess program(Spawn({TOLVERN_BIN_DIR "/tolvern"}, env));
    ASSERT_TRUE(program);
    // Start-up has ended when the run is marked as not ended cleanly.
    bool started = false;
    for (int i = 0; i < 300 && !started; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const std::string ini = ReadText(settings.IniPath());
        started = ini.find("ShutdownOK=0") != std::string::npos;
    }
    ASSERT_TRUE(started) << "the program did not finish its start-up";

    ChildProcess other(Spawn({"xmessage", "-name", "othertool", "Another program"}, env));
    ASSERT_TRUE(other);
    pid_t focus = Spawn(
        {"xdotool", "search", "--sync", "--classname", "othertool", "windowfocus", "--sync"}, env);
    EXPECT_EQ(WaitFor(focus, 10000), 0);
    pid_t key = Spawn({"xdotool", "key", "ctrl+alt+KP_9"}, env);
    EXPECT_EQ(WaitFor(key, 10000), 0);

    // No dialogue, nothing saved: the process ends by itself and the run stays marked.
    EXPECT_EQ(program.Wait(10000), 0);
    EXPECT_NE(ReadText(settings.IniPath()).find("ShutdownOK=0"), std::string::npos);
}

} // namespace
