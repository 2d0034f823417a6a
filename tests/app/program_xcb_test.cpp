// The real program on an X server: Xvfb started by the test, the program's executable run from
// a temporary program folder, its main window closed through the display (WM_DELETE_WINDOW,
// "Are you sure?" answered with the keyboard); and its dialogs opened once each by a child run
// of this executable on Qt's xcb platform. Screenshots go to the build folder
// (build/tests/program-*.png) for a person to look at.
#include "app/dialogs.h"
#include "app/form_shot.h"
#include "app/main.h"
#include "app/x11_close.h"
#include "platform/core/ini.h"
#include "platform/core/paths.h"
#include "platform/forms/display.h"
#include "platform/midi/midi.h"
#include "platform/midi/midiport.h"
#include "song/song.h"
#include "support/gui_xvfb.h"
#include "support/jack_server.h"
#include "support/temp_settings.h"

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace platform;
using testsupport::Spin;
using testsupport::SpinUntil;

constexpr const char* kChildVar = "TOLVERN_PROGRAM_XCB_CHILD";
const std::string kShots = std::string(TOLVERN_BIN_DIR) + "/../tests/";

// The output of a command line run on the test's display.
std::string Output(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[256];
        while (std::fgets(buf, sizeof buf, p))
            out += buf;
        pclose(p);
    }
    return out;
}

// The first visible window of that exact title, 0 when none.
unsigned long FindWindow(const std::string& title) {
    std::istringstream ids(
        Output("xdotool search --onlyvisible --name '^" + title + "$' 2>/dev/null"));
    unsigned long id = 0;
    ids >> id;
    return id;
}

bool WaitUntil(const std::function<bool()>& done, int ms) {
    for (int waited = 0; waited < ms; waited += 50) {
        if (done()) return true;
        usleep(50000);
    }
    return done();
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(ProgramXcb, RunsOpensItsDialogsAndClosesThroughTheDisplay) {
    if (std::getenv(kChildVar)) GTEST_SKIP() << "the child run of this test";
    for (const char* tool : {"Xvfb", "xdotool", "import"})
        if (!testsupport::OnPath(tool))
            GTEST_SKIP() << tool << " is not installed (scripts/setup.sh installs it)";
    testsupport::Xvfb x;
    if (x.Display().empty()) GTEST_SKIP() << "Xvfb could not start on a free display";
    setenv("DISPLAY", x.Display().c_str(), 1);
    const std::string suppressions = kShots + "program-xcb.lsan";
    if (FILE* f = std::fopen(suppressions.c_str(), "w")) {
        std::fputs("leak:libdbus-1.so\nleak:libfontconfig.so\n", f);
        std::fclose(f);
    }
    const std::string lsan = "LSAN_OPTIONS=suppressions=" + suppressions;

    // The dialogs, once each, by the program's code in a child run.
    {
        TempSettings settings;
        pid_t child = testsupport::Spawn({"/proc/self/exe", "--gtest_filter=ProgramXcbChild.*"},
                                         {"QT_QPA_PLATFORM=xcb", std::string(kChildVar) + "=1",
                                          "XDG_CONFIG_HOME=" + settings.ConfigHome(), lsan});
        ASSERT_NE(child, 0);
        EXPECT_EQ(testsupport::WaitFor(child, 90000), 0)
            << "the child run failed (its output is above)";
    }

    // The program itself, from a program folder of its own.
    TempDir folder("tolvern-xcb-program");
    TempDir config("tolvern-xcb-config");
    const std::string exe = folder.Path() + "tolvern";
    std::filesystem::copy_file(TOLVERN_BIN_DIR "/tolvern", exe);
    std::filesystem::permissions(exe, std::filesystem::perms::owner_exec,
                                 std::filesystem::perm_options::add);
    std::filesystem::copy_file(TOLVERN_BIN_DIR "/midiengine.dll", folder.Path() + "midiengine.dll");
    const std::string log = folder.Path() + "runtimelog.txt";
    testsupport::ChildProcess program(testsupport::Spawn(
        {exe}, {"QT_QPA_PLATFORM=xcb", "XDG_CONFIG_HOME=" + config.Path(), lsan}));
    ASSERT_TRUE(program);
    unsigned long main = 0;
    EXPECT_TRUE(WaitUntil(
        [&] {
            main = FindWindow("Tolvern");
            return main && ReadText(log).find("Initialization done...") != std::string::npos;
        },
        20000))
        << "the main window did not show";
    usleep(500000);
    Output("import -window root " + kShots + "program-main.png");

    ASSERT_TRUE(main);
    ASSERT_TRUE(SendDeleteWindow(x.Display(), main));
    unsigned long box = 0;
    EXPECT_TRUE(WaitUntil([&] { return (box = FindWindow("Exit Tolvern")) != 0; }, 10000))
        << "no \"Are you sure?\"";
    usleep(300000);
    Output("import -window root " + kShots + "program-exit.png");
    // Yes is the box's default button: Return on the box answers it.
    Output("xdotool windowfocus --sync " + std::to_string(box) + " key Return 2>&1");
    const int code = program.Wait(20000);
    EXPECT_EQ(code, 0) << "the program's exit status";
    EXPECT_EQ(ReadText(config.Path() + "tolvern/tolvern.ini").find("ShutdownOK=1") !=
                  std::string::npos,
              true)
        << ReadText(config.Path() + "tolvern/tolvern.ini");
    const std::string text = ReadText(log);
    for (const char* line :
         {"Song object created...", "Audio object created...", "MIDI object created...",
          "Show main window...", "Registering hot keys done...", "Initialization done..."})
        EXPECT_NE(text.find(line), std::string::npos) << line << " missing from\n" << text;
    std::remove(suppressions.c_str());
}

// A session bus that takes the connection and never answers (Qt's accessibility set-up waited on
// it for good, holding the first window): start-up goes on without it after its time limit,
// says so once on stderr, and the program runs.
TEST(ProgramXcb, ASessionBusThatDoesNotAnswerHoldsNoWindow) {
    if (std::getenv(kChildVar)) GTEST_SKIP() << "the child run of ProgramXcb";
    for (const char* tool : {"Xvfb", "xdotool"})
        if (!testsupport::OnPath(tool))
            GTEST_SKIP() << tool << " is not installed (scripts/setup.sh installs it)";
    testsupport::Xvfb x;
    if (x.Display().empty()) GTEST_SKIP() << "Xvfb could not start on a free display";
    setenv("DISPLAY", x.Display().c_str(), 1);
    TempDir dir("tolvern-mute-bus");
    TempSettings settings;
    const std::string bus = dir.Path() + "bus", errors = dir.Path() + "errors.txt";
    // Connections wait in the backlog, unanswered.
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::strncpy(a.sun_path, bus.c_str(), sizeof a.sun_path - 1);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(listen(fd, 8), 0);
    testsupport::ChildProcess program(testsupport::Spawn(
        {"sh", "-c", "exec \"$0\" 2>\"$1\"", TOLVERN_BIN_DIR "/tolvern", errors},
        {"DISPLAY=" + x.Display(), "QT_QPA_PLATFORM=xcb",
         "XDG_CONFIG_HOME=" + settings.ConfigHome(), "DBUS_SESSION_BUS_ADDRESS=unix:path=" + bus}));
    ASSERT_TRUE(program);
    // Start-up has ended when the run is marked as not ended cleanly.
    EXPECT_TRUE(WaitUntil(
        [&] {
            return FindWindow("Tolvern") &&
                   settings.IniText().find("ShutdownOK=0") != std::string::npos;
        },
        30000))
        << "start-up did not end\n"
        << ReadText(errors);
    const std::string text = ReadText(errors);
    const std::string said = "tolvern: the session bus did not answer within 2 s; going on "
                             "without it\n";
    EXPECT_NE(text.find(said), std::string::npos) << text;
    EXPECT_EQ(text.find(said), text.rfind(said)) << text;
    program.Kill();
    close(fd);
}

class ProgramXcbChild : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv(kChildVar))
            GTEST_SKIP() << "runs inside ProgramXcb.RunsOpensItsDialogsAndClosesThroughTheDisplay";
        std::string error;
        ASSERT_TRUE(OpenDisplay(&error)) << error;
        SetMidiRealPorts(false);
        program.WriteFile("midiengine.dll", "stand-in");
    }
    void TearDown() override {
        if (!std::getenv(kChildVar)) return;
        FreeApplicationForms();
        SetMidiRealPorts(true);
        CloseDisplay();
    }
    // Saves the part of the screen a form covers.
    static void Grab(TForm* form, const std::string& name) {
        ASSERT_NE(form, nullptr) << name;
        EXPECT_TRUE(SaveFormShot(form, kShots + "program-" + name + ".png")) << name;
    }
    // Shows a modal dialog through its command, grabs it once it settled, and cancels it.
    static void GrabModal(const std::function<TForm*()>& form, const std::string& name,
                          const std::function<void()>& show) {
        QTimer::singleShot(700, [form, name] {
            Grab(form(), name);
            if (form()) form()->ModalResult = mrCancel;
        });
        show();
    }
    TempProgramFolder program;
};

TEST_F(ProgramXcbChild, OpensEachDialogOnce) {
    ASSERT_TRUE(DisplayIsX11());
    ASSERT_TRUE(StartProgram({}));
    Spin(300);
    // The splash as the start shows it, and again as the about box.
    dlgSplach->Show();
    Spin(400);
    Grab(dlgSplach, "splash");
    dlgSplach->Close();
    ShowAboutBox();
    Spin(400);
    Grab(dlgSplach, "about");
    dlgSplach->Close();

    fmDirectory->DirectoryListBox1->Directory = program.Path();
    GrabModal([] { return fmDirectory; }, "folder", [] { fmDirectory->ShowModal(); });
    Song->CurrentTrack()->Name = "Piano";
    GrabModal([] { return dlgRenameTrack; }, "rename-track", [] { fmMdi->ShowRenameTrack(); });
    GrabModal([] { return dlgTransp; }, "transpose", [] { fmMdi->ShowTrackTranspose(); });
    GrabModal([] { return fmSync; }, "sync", [] { ShowSyncDialog(); });
    MakeForm(dlgRenameSample)->editName->Text = "Kick 01";
    GrabModal([] { return dlgRenameSample; }, "rename-sample",
              [] { dlgRenameSample->ShowModal(); });

    fmMdi->OnCloseQuery = nullptr;
    fmMdi->Close();
    if (fmMdi) fmMdi->Free();
}

// The program's ends that come before its main window (no display; a file missing) while its
// start-up threads wait: a JACK server that stops answering holds the MIDI port listers in libjack
// for good. The program ends at once all the same, as it did before those threads.
class ProgramStoppedJack : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv(kChildVar)) GTEST_SKIP() << "the child run of ProgramXcb";
        server_.emplace();
        if (!server_->Started())
            GTEST_SKIP() << server_->Unavailable(
                "jackd could not be started (is jackd2 installed?)");
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!server_->Exited() && !JackServer() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (!JackServer())
            GTEST_SKIP() << server_->Unavailable("the dummy JACK server did not come up");
        for (pid_t pid : JackServerProcesses())
            if (ProcessNamesServer(pid, server_->Name())) jackd_ = pid;
        ASSERT_NE(jackd_, 0);
        ASSERT_EQ(kill(jackd_, SIGSTOP), 0);
        exe_ = folder_.Path() + "tolvern";
        std::filesystem::copy_file(TOLVERN_BIN_DIR "/tolvern", exe_);
        std::filesystem::permissions(exe_, std::filesystem::perms::owner_exec,
                                     std::filesystem::perm_options::add);
    }
    void TearDown() override {
        if (jackd_) kill(jackd_, SIGCONT); // its owner ends it with SIGTERM
        if (server_ && server_->Started()) platform::ReleaseJackServer(); // our client first
    }
    // The program run from its folder (no midiengine.dll beside it), its errors into a file.
    pid_t Run(const std::vector<std::string>& env) {
        return testsupport::Spawn({"sh", "-c", "exec \"$0\" 2>\"$1\"", exe_, errors_}, env);
    }
    // An Xvfb of the test's own as the display; the test is skipped without one.
    void UseXvfb() {
        for (const char* tool : {"Xvfb", "xdotool"})
            if (!testsupport::OnPath(tool))
                GTEST_SKIP() << tool << " is not installed (scripts/setup.sh installs it)";
        x_.emplace();
        if (x_->Display().empty()) GTEST_SKIP() << "Xvfb could not start on a free display";
        setenv("DISPLAY", x_->Display().c_str(), 1);
    }
    static constexpr int kPromptly = 10000; // ms; the waits it must not do are for ever

    std::optional<DummyJackServer> server_;
    std::optional<testsupport::Xvfb> x_;
    pid_t jackd_ = 0;
    TempDir folder_{"tolvern-stopped-jack"};
    TempDir config_{"tolvern-stopped-jack-config"};
    std::string exe_;
    const std::string errors_ = folder_.Path() + "errors.txt";
};

TEST_F(ProgramStoppedJack, NoDisplayEndsAtOnce) {
    testsupport::ChildProcess program(
        Run({"QT_QPA_PLATFORM=xcb", "DISPLAY=:987", "XDG_CONFIG_HOME=" + config_.Path()}));
    ASSERT_TRUE(program);
    EXPECT_EQ(program.Wait(kPromptly), 1);
    EXPECT_NE(ReadText(errors_).find("tolvern: cannot open the X display \":987\""),
              std::string::npos)
        << ReadText(errors_);
}

TEST_F(ProgramStoppedJack, MissingEngineEndsOnceTheBoxIsAnswered) {
    UseXvfb();
    if (IsSkipped()) return;
    testsupport::ChildProcess program(
        Run({"QT_QPA_PLATFORM=xcb", "XDG_CONFIG_HOME=" + config_.Path()}));
    ASSERT_TRUE(program);
    unsigned long box = 0;
    EXPECT_TRUE(WaitUntil([&] { return (box = FindWindow("Error")) != 0; }, 20000))
        << "no \"Missing file midiengine.dll\" box";
    Output("xdotool windowfocus --sync " + std::to_string(box) + " key Return 2>&1");
    EXPECT_EQ(program.Wait(kPromptly), 1) << ReadText(errors_);
}

// Start-up lists the MIDI ports while the listers wait in libjack on the stopped server: it goes
// on without the server's ports after a time limit, says so once, and ends.
TEST_F(ProgramStoppedJack, StartUpGoesOnWithoutTheServersPorts) {
    UseXvfb();
    if (IsSkipped()) return;
    std::filesystem::copy_file(TOLVERN_BIN_DIR "/midiengine.dll",
                               folder_.Path() + "midiengine.dll");
    testsupport::ChildProcess program(
        Run({"QT_QPA_PLATFORM=xcb", "XDG_CONFIG_HOME=" + config_.Path()}));
    ASSERT_TRUE(program);
    // Start-up has ended when the run is marked as not ended cleanly.
    EXPECT_TRUE(WaitUntil(
        [&] {
            return ReadText(config_.Path() + "tolvern/tolvern.ini").find("ShutdownOK=0") !=
                   std::string::npos;
        },
        30000))
        << "start-up did not end\n"
        << ReadText(errors_);
    std::fprintf(
        stderr, "%s",
        Output("gdb -p " + std::to_string(program.Pid()) +
               " -batch -ex 'thread apply all bt 25' 2>&1 | grep -E '^#|^Thread' | cut -c1-160")
            .c_str());
}

} // namespace
