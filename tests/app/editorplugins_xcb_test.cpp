// The test editor on a real X server: Xvfb started by the test, the program run by a child run
// of this executable on Qt's xcb platform. The editor's form shows the plug-in's one-colour X11
// child, made inside the form's native host; the screen is saved in the build folder
// (build/tests/editorplugin-xcb.png).
#include "app/editorhost.h"
#include "app/dialogs.h"
#include "app/main.h"

#include "devices/meditor.h"
#include "devices/ui/editorform.h"
#include "platform/core/dynlib.h"
#include "platform/forms/application.h"
#include "platform/forms/display.h"
#include "platform/midi/midi.h"
#include "platform/midi/virtualmidi.h"
#include "support/gui_xvfb.h"
#include "support/temp_settings.h"
#include "testlibs/testeditor.h"

#include "x11_windows.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <unistd.h>

namespace {

using namespace platform;

constexpr const char* kChildVar = "TOLVERN_EDITORPLUGIN_XCB_CHILD";
constexpr std::uint32_t kColour = 0x20A060;

TEST(EditorPluginXcb, TheFormShowsThePluginsColouredChild) {
    if (std::getenv(kChildVar)) GTEST_SKIP() << "the child run of this test";
    for (const char* tool : {"Xvfb", "import"})
        if (!testsupport::OnPath(tool)) GTEST_SKIP() << tool << " is not installed";
    testsupport::Xvfb x;
    if (x.Display().empty()) GTEST_SKIP() << "Xvfb could not start on a free display";
    const std::string shot = std::string(TOLVERN_BIN_DIR) + "/../tests/editorplugin-xcb.png";
    std::remove(shot.c_str());
    const std::string suppressions = shot + ".lsan";
    if (FILE* f = std::fopen(suppressions.c_str(), "w")) {
        std::fputs("leak:libdbus-1.so\nleak:libfontconfig.so\nleak:libX11.so\n", f);
        std::fclose(f);
    }
    pid_t child = testsupport::Spawn({"/proc/self/exe", "--gtest_filter=EditorPluginXcbChild.*"},
                                     {"DISPLAY=" + x.Display(), "QT_QPA_PLATFORM=xcb",
                                      std::string(kChildVar) + "=" + shot,
                                      "LSAN_OPTIONS=suppressions=" + suppressions});
    ASSERT_NE(child, 0);
    EXPECT_EQ(testsupport::WaitFor(child, 90000), 0) << "the child run failed (its output is above)";
    std::remove(suppressions.c_str());
    EXPECT_EQ(access(shot.c_str(), F_OK), 0) << "no screenshot at " << shot;
}

class EditorPluginXcbChild : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv(kChildVar))
            GTEST_SKIP() << "runs inside EditorPluginXcb.TheFormShowsThePluginsColouredChild";
        std::string error;
        ASSERT_TRUE(OpenDisplay(&error)) << error;
        SetMidiRealPorts(false);
        program.emplace();
        settings.emplace();
        program->WriteFile("MidiEngine.DLL", "stand-in");
        std::filesystem::create_directories(program->Path() + "editor");
        std::filesystem::copy_file(TOLVERN_TEST_EDITOR, program->Path() + "editor/TestEditor.so");
    }
    void TearDown() override {
        if (!std::getenv(kChildVar)) return;
        if (fmMdi) {
            fmMdi->OnCloseQuery = nullptr;
            fmMdi->Close();
            fmMdi->Free();
        }
        FreeApplicationForms();
        if (lib) FreeLibrary(lib);
        SetMidiRealPorts(true);
        CloseDisplay();
    }
    std::optional<TempSettings> settings;
    std::optional<TempProgramFolder> program;
    TVirtualMidiOut synth{"Synth"};
    HMODULE lib = 0;
};

TEST_F(EditorPluginXcbChild, TheTestEditorDrawsInItsForm) {
    ASSERT_TRUE(DisplayIsX11());
    lib = LoadLibrary(program->Path() + "editor/TestEditor.so");
    ASSERT_NE(lib, 0);
    TTestEditorSetup config;
    config.Colour = kColour;
    config.Size = {320, 180};
    std::snprintf(config.Title, sizeof config.Title, "Test editor - drum pattern");
    reinterpret_cast<TTestEditorSetupFn>(GetProcAddress(lib, "TestEditorSetup"))(&config);
    auto window = reinterpret_cast<TTestEditorWindowFn>(GetProcAddress(lib, "TestEditorWindow"));

    ASSERT_TRUE(StartProgram({}));
    ASSERT_NE(EditorEngine, nullptr);
    ASSERT_EQ(EditorEngine->Editors.size(), 1u);
    TMEditor& editor = *EditorEngine->Editors[0];
    editor.Open(EditorHostCallback);
    TfmEditor* form = EditorForm(editor);
    ASSERT_NE(form, nullptr);
    ASSERT_NE(form->HostId(), 0u);
    ASSERT_NE(window(), 0u) << "the plug-in made no window";
    EXPECT_EQ(X11ParentOf(window()), form->HostId());
    SetWindowPos(form->Handle(), 0, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_TRUE(testsupport::SpinUntil([&] { return X11ScreenColourAt(window()) == kColour; }, 5000))
        << std::hex << X11ScreenColourAt(window());
    EXPECT_EQ(form->GetClientWidth(), 320);
    EXPECT_EQ(form->Caption(), "Test editor - drum pattern");
    testsupport::Spin(300);
    EXPECT_TRUE(testsupport::RunTool("import", {"-window", "root", std::getenv(kChildVar)}));
}

} // namespace
