// The setup dialogs and the looks editor on an X server: Xvfb started by the test, the program's
// code started in a child run of this executable on Qt's xcb platform, each window reached as a
// user reaches it through the display (xdotool): the audio options by a right press on the
// arrange window's "Audio" button, the properties dialog by its "Properties" link, the folder
// picker by "Browse" under the plug-in folders (closed by OK and by Escape), the looks editor
// from the transport bar's pop-up menu, and the "Plug-ins" dialog by opening a song that names a
// missing plug-in. Screenshots: build/tests/setup-xcb-*.png.
#include "app/arrange.h"
#include "app/dialogs.h"
#include "app/filemenu.h"
#include "app/form_shot.h"
#include "app/main.h"
#include "app/ugui.h"
#include "devices/ui/audiosetup.h"
#include "devices/ui/uaudioabout.h"
#include "devices/ui/upluginsearch.h"
#include "platform/core/ini.h"
#include "platform/core/paths.h"
#include "platform/forms/display.h"
#include "platform/gdi/syscolors.h"
#include "platform/midi/midi.h"
#include "song/softengine.h"
#include "song/song.h"
#include "song/songfile.h"
#include "support/gui_xvfb.h"
#include "support/temp_settings.h"

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

namespace {

using namespace platform;

constexpr const char* kChildVar = "TOLVERN_SETUP_XCB_CHILD";
const std::string kShots = std::string(TOLVERN_BIN_DIR) + "/../tests/";

TEST(SetupXcb, TheSetupDialogsAndTheLooksEditorOnTheDisplay) {
    if (std::getenv(kChildVar)) GTEST_SKIP() << "the child run of this test";
    for (const char* tool : {"Xvfb", "xdotool"})
        if (!testsupport::OnPath(tool))
            GTEST_SKIP() << tool << " is not installed (scripts/setup.sh installs it)";
    testsupport::Xvfb x;
    if (x.Display().empty()) GTEST_SKIP() << "Xvfb could not start on a free display";
    TempSettings settings;
    // Qt's session bus connection keeps a buffer of libdbus to the end: not ours to report.
    TempDir scratch;
    const std::string suppressions = scratch.WriteFile("lsan.supp", "leak:libdbus-1.so\n");
    pid_t child = testsupport::Spawn(
        {"/proc/self/exe", "--gtest_filter=SetupXcbChild.*"},
        {"QT_QPA_PLATFORM=xcb", "DISPLAY=" + x.Display(), std::string(kChildVar) + "=1",
         "XDG_CONFIG_HOME=" + settings.ConfigHome(), "LSAN_OPTIONS=suppressions=" + suppressions});
    ASSERT_NE(child, 0);
    EXPECT_EQ(testsupport::WaitFor(child, 120000), 0) << "the child run failed (output above)";
}

class SetupXcbChild : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv(kChildVar)) GTEST_SKIP() << "runs inside SetupXcb";
        std::string error;
        ASSERT_TRUE(OpenDisplay(&error)) << error;
        SetMidiRealPorts(false);
        program.WriteFile("midiengine.dll", "stand-in");
        std::filesystem::remove_all(program.Path() + "system");
        std::filesystem::create_directory_symlink(TOLVERN_BIN_DIR "/system",
                                                  program.Path() + "system");
    }
    void TearDown() override {
        if (!std::getenv(kChildVar)) return;
        if (fmMdi) {
            fmMdi->OnCloseQuery = nullptr;
            fmMdi->Close();
            if (fmMdi) fmMdi->Free();
        }
        FreeApplicationForms();
        SetMidiRealPorts(true);
        CloseDisplay();
    }
    // Saves the part of the screen a form covers.
    static void Grab(TForm* form, const std::string& name) {
        ASSERT_NE(form, nullptr) << name;
        EXPECT_TRUE(SaveFormShot(form, kShots + "setup-xcb-" + name + ".png")) << name;
    }
    // xdotool on the display, not waited for (the program's event loop must go on).
    static void Xdo(const std::vector<std::string>& args) {
        std::vector<std::string> all{"xdotool"};
        all.insert(all.end(), args.begin(), args.end());
        ASSERT_NE(testsupport::Spawn(all, {}), 0);
    }
    static void ClickAt(TControl* c, int button) {
        const TPoint p = c->ClientToScreen({c->Width / 2, c->Height / 2});
        Xdo({"mousemove", "--sync", std::to_string(p.X), std::to_string(p.Y), "click",
             std::to_string(button)});
    }
    // Runs the steps one after another: each waits until its condition holds (polled every
    // 100 ms, also inside modal loops), then acts after the window had Settle ms to paint.
    struct Step {
        std::function<bool()> Ready;
        std::function<void()> Act;
    };
    void RunSteps(std::vector<Step> steps, int Settle, int TimeoutMs) {
        std::size_t next = 0;
        int readyFor = 0, waited = 0;
        QTimer timer;
        timer.setInterval(100);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            waited += 100;
            if (next >= steps.size()) return;
            if (!steps[next].Ready()) {
                readyFor = 0;
                return;
            }
            readyFor += 100;
            if (readyFor < Settle) return;
            readyFor = 0;
            steps[next++].Act();
        });
        timer.start();
        testsupport::SpinUntil([&] { return next >= steps.size(); }, TimeoutMs);
        EXPECT_EQ(next, steps.size()) << "a step never became ready";
    }
    TempProgramFolder program;
};

TEST_F(SetupXcbChild, EachWindowAsTheUserReachesIt) {
    ASSERT_TRUE(DisplayIsX11());
    TIniFile().WriteString("Audio", "System", "scripted");
    TIniFile().WriteBool("Audio", "Enabled", true);
    TIniFile().WriteBool("Mixer", "Visible", false);
    ASSERT_TRUE(StartProgram({}));
    testsupport::Spin(800);
    ASSERT_NE(fmArrange, nullptr);

    // A song that names a softsynth which is not there any more.
    SetPluginSearch(nullptr);
    SoftEngine->AddSoftsynth(program.Path() + "gone/Lost Strings.so");
    const std::string song = program.Path() + "lost.seq";
    ASSERT_TRUE(SaveSongFile(song));
    SetPluginSearch(&SearchPluginDialog);

    auto shown = [](auto* form) { return form && form->Visible; };
    RunSteps(
        {
            {[] { return true; }, [] { ClickAt(fmArrange->sbAudio, 3); }},
            {[&] { return shown(fmAudioSetup); },
             [] {
                 Grab(fmAudioSetup, "audio-options");
                 ClickAt(fmAudioSetup->Label14, 1);
             }},
            {[&] { return shown(fmAudioAbout); },
             [] {
                 Grab(fmAudioAbout, "properties");
                 fmAudioAbout->ModalResult = mrCancel;
             }},
            // A modal form from a modal form: "Browse" under the plug-in folders opens the
            // folder picker, which takes the click on OK and the Escape key, and the options
            // dialog takes the input again after each.
            {[&] { return !shown(fmAudioAbout); }, [] { ClickAt(fmAudioSetup->Label17, 1); }},
            {[&] { return shown(fmDirectory); },
             [] {
                 Grab(fmDirectory, "select-folder");
                 ClickAt(fmDirectory->btnOk, 1);
             }},
            {[&] { return !shown(fmDirectory); },
             [] {
                 EXPECT_NE(fmAudioSetup->editFxFolder->Text(), "");
                 EXPECT_EQ(Song->FxPath, fmAudioSetup->editFxFolder->Text());
                 ClickAt(fmAudioSetup->Label12, 1);
             }},
            {[&] { return shown(fmDirectory); }, [] { Xdo({"key", "Escape"}); }},
            {[&] { return !shown(fmDirectory); },
             [] {
                 EXPECT_EQ(fmAudioSetup->editSynthFolder->Text(), "");
                 ClickAt(fmAudioSetup->btnClose, 1);
             }},
            {[&] { return !shown(fmAudioSetup); },
             [] { ClickAt(fmMdi->panelTransporter, 3); }},
            {[] { return true; }, [] { Xdo({"key", "Up", "Return"}); }},
            {[&] { return shown(fmGui); },
             [song] {
                 Grab(fmGui, "looks-editor");
                 // The list stands on the transport bar's colour.
                 const QImage screen =
                     QGuiApplication::primaryScreen()->grabWindow(0).toImage();
                 const TPoint p = fmGui->surface->ClientToScreen({2, 2});
                 const std::uint32_t bar = ColorToRGB(fmMdi->panelTransporter->Color());
                 EXPECT_EQ(screen.pixel(p.X, p.Y) & 0xFFFFFFu,
                           ((bar & 0xFF) << 16) | (bar & 0xFF00) | ((bar >> 16) & 0xFF));
                 fmGui->Close();
                 // Its own timer: the search dialog's modal loop runs inside it.
                 QTimer::singleShot(0, [song] { OpenSong(song); });
             }},
            {[&] { return shown(fmPluginSearch); },
             [] {
                 Grab(fmPluginSearch, "plugins");
                 const std::string info = fmPluginSearch->labelInfo->Caption();
                 // The song stores the name in its own form (backslashes, ".dll").
                 EXPECT_NE(info.find("Lost Strings.dll' not found..."), std::string::npos)
                     << info;
                 EXPECT_NE(fmPluginSearch->labelInfo->Hint.find("Lost Strings"),
                           std::string::npos);
                 fmPluginSearch->ModalResult = mrCancel;
             }},
            {[&] { return !shown(fmPluginSearch); }, [] {}},
        },
        900, 60000);
}

} // namespace
