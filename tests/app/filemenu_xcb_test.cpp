// The File menu on a real X server: Xvfb started by the test, the program's main window run by a
// child run of this executable on Qt's xcb platform, keys typed with xdotool. File > Open goes
// through the real Qt file dialog; File > "O&ptions" opens by keyboard, a screenshot of it is
// saved in the build folder (build/tests/options-xcb.png) and Escape closes it; after the file
// dialog, Alt+F, P reaches the main window again without a click.
#include "app/arrange.h"
#include "app/dialogs.h"
#include "app/filemenu.h"
#include "app/main.h"
#include "app/options.h"

#include "platform/forms/application.h"
#include "platform/forms/display.h"
#include "platform/midi/midi.h"
#include "platform/midi/virtualmidi.h"
#include "song/song.h"
#include "song/songfile.h"
#include "support/gui_xvfb.h"
#include "support/temp_settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace platform;

constexpr const char* kChildVar = "TOLVERN_FILEMENU_XCB_CHILD";

TEST(FileMenuXcb, OpenAndOptionsOnARealDisplay) {
    if (std::getenv(kChildVar)) GTEST_SKIP() << "the child run of this test";
    for (const char* tool : {"Xvfb", "xdotool", "import"})
        if (!testsupport::OnPath(tool)) GTEST_SKIP() << tool << " is not installed";
    testsupport::Xvfb x;
    if (x.Display().empty()) GTEST_SKIP() << "Xvfb could not start on a free display";
    const std::string shot = std::string(TOLVERN_BIN_DIR) + "/../tests/options-xcb.png";
    std::remove(shot.c_str());
    const std::string suppressions = shot + ".lsan";
    if (FILE* f = std::fopen(suppressions.c_str(), "w")) {
        std::fputs("leak:libdbus-1.so\nleak:libfontconfig.so\n", f);
        std::fclose(f);
    }
    // Keys typed by another client can be lost on a loaded machine: one more run then.
    int status = -1;
    for (int run = 0; run < 2 && status != 0; ++run) {
        pid_t child = testsupport::Spawn({"/proc/self/exe", "--gtest_filter=FileMenuXcbChild.*"},
                                         {"DISPLAY=" + x.Display(), "QT_QPA_PLATFORM=xcb",
                                          std::string(kChildVar) + "=" + shot,
                                          "LSAN_OPTIONS=suppressions=" + suppressions});
        ASSERT_NE(child, 0);
        status = testsupport::WaitFor(child, 90000);
    }
    EXPECT_EQ(status, 0) << "the child run failed (its output is above)";
    std::remove(suppressions.c_str());
    EXPECT_EQ(access(shot.c_str(), F_OK), 0) << "no screenshot at " << shot;
}

bool Exited(pid_t Pid) {
    int status = 0;
    return waitpid(Pid, &status, WNOHANG) != 0; // ended, or already reaped
}

// Runs a shell line beside the event loop (keys typed while a modal dialog runs).
pid_t Script(const std::string& Line) {
    return testsupport::Spawn({"/bin/sh", "-c", Line}, {});
}

class FileMenuXcbChild : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv(kChildVar))
            GTEST_SKIP() << "runs inside FileMenuXcb.OpenAndOptionsOnARealDisplay, under Xvfb";
        std::string error;
        ASSERT_TRUE(OpenDisplay(&error)) << error;
        SetMidiRealPorts(false);
        program.emplace();
        settings.emplace();
        program->WriteFile("MidiEngine.DLL", "stand-in");
    }
    void TearDown() override {
        if (!std::getenv(kChildVar)) return;
        if (fmMdi) {
            fmMdi->OnCloseQuery = nullptr;
            fmMdi->Close();
            fmMdi->Free();
        }
        FreeApplicationForms();
        SetMidiRealPorts(true);
        CloseDisplay();
    }
    std::optional<TempSettings> settings;
    std::optional<TempProgramFolder> program;
    TVirtualMidiOut synth{"Synth"};
};

TEST_F(FileMenuXcbChild, OpenTypedInTheDialogThenOptionsByKeyboard) {
    ASSERT_TRUE(DisplayIsX11());
    ASSERT_TRUE(StartProgram({}));
    const std::string song = program->Path() + "typed.seq";
    ASSERT_TRUE(SaveSongFile(song));
    fmMdi->New1Click();
    ASSERT_NE(Song->FileName, "typed.seq");
    testsupport::Spin(500);

    // Alt+F, P: the options dialog on its File page; the screen is taken, Escape closes it.
    bool shown = false;
    auto show = fmOptions->OnShow;
    fmOptions->OnShow = [&](TObject* Sender) {
        shown = true;
        show(Sender);
    };
    const std::string shot = std::getenv(kChildVar);
    const pid_t keys = Script("sleep 1; xdotool search --name '^Tolvern$' windowfocus --sync; sleep 1; "
                              "xdotool key alt+f; sleep 1.5; xdotool key p; sleep 3; "
                              "import -window root '" +
                              shot + "'; sleep 0.5; xdotool key Escape");
    EXPECT_TRUE(testsupport::SpinUntil([&] { return Exited(keys); }, 30000));
    EXPECT_TRUE(testsupport::SpinUntil([&] { return shown && !fmOptions->Visible; }, 5000));
    EXPECT_TRUE(shown) << "Alt+F, P did not open the options";
    EXPECT_FALSE(fmOptions->Visible) << "Escape did not close the options";

    // Ctrl+O: the real open dialog; the typed name opens the song.
    const pid_t typer = Script("sleep 3; xdotool type --delay 20 '" + song +
                               "'; sleep 1; xdotool key Return");
    ASSERT_TRUE(testsupport::RunTool("xdotool", {"key", "ctrl+o"}));
    EXPECT_TRUE(testsupport::SpinUntil([&] { return Exited(typer); }, 15000));
    EXPECT_TRUE(testsupport::SpinUntil([] { return Song->FileName == "typed.seq"; }, 5000));
    EXPECT_FALSE(Song->Untitled);
    EXPECT_EQ(fmMdi->RecentFiles.front(), song);
    ASSERT_NE(fmArrange, nullptr);
    EXPECT_EQ(fmArrange->Caption(), "typed.seq");

    // The keyboard is the main window's again once the dialog has gone: Alt+F, P, with no
    // click or focusing between, opens the options.
    shown = false;
    const pid_t again = Script("sleep 1; xdotool key alt+f; sleep 1.5; xdotool key p; sleep 2; "
                               "xdotool key Escape");
    EXPECT_TRUE(testsupport::SpinUntil([&] { return Exited(again); }, 20000));
    EXPECT_TRUE(testsupport::SpinUntil([&] { return shown && !fmOptions->Visible; }, 5000));
    EXPECT_TRUE(shown) << "Alt+F, P after the file dialog did not reach the main window";
}

} // namespace
