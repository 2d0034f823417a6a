// Plug-in editors on a real X server: Xvfb started by the test, the windows run in a child
// process of this executable on Qt's xcb platform. The example instruments' editors show their
// coloured windows inside the editor windows, and a DPF plug-in's OpenGL editor opens sized from
// its rectangle, gets the idle hook's calls and closes cleanly. The screenshot stays in the
// build's tests folder (plugeditor_xcb.png).
#include "app/synthmenu.h"
#include "devices/mfx.h"
#include "devices/ui/uplugeditor.h"
#include "platform/forms/display.h"
#include "platform/forms/form.h"
#include "platform/window/native_host.h"
#include "platform/window/qt_presenter.h"
#include "song/softengine.h"
#include "song/song.h"
#include "support/gui_xvfb.h"
#include "support/temp_settings.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>
#include <QWindow>
#include <X11/Xlib.h>

#include <cstdio>
#include <dlfcn.h>
#include <filesystem>
#include <link.h>
#include <string_view>
#include <unistd.h>
#include <vector>

using namespace platform;
using namespace testsupport;

namespace {

constexpr const char* kChildVar = "TOLVERN_PLUGEDITOR_XCB_CHILD";
const std::string kBin = TOLVERN_BIN_DIR;
const std::string kDpf = "/usr/lib/vst/Nekobi-vst.so";

TEST(PlugEditorXcb, EditorsInTheirWindowsOnARealDisplay) {
    if (std::getenv(kChildVar)) GTEST_SKIP() << "the child run of this test";
    for (const char* tool : {"Xvfb", "import"})
        if (!OnPath(tool))
            GTEST_SKIP() << tool << " is not installed (scripts/setup.sh installs it)";
    Xvfb x;
    if (x.Display().empty()) GTEST_SKIP() << "Xvfb could not start on a free display";
    const std::string shot =
        (std::filesystem::path(TOLVERN_BIN_DIR).parent_path() / "tests" / "plugeditor_xcb.png")
            .string();
    // Qt's session bus connection keeps its buffer to the end: not ours. (The GL driver's blocks
    // stay reachable: the child keeps the driver loaded.)
    const std::string suppressions = shot + ".lsan";
    if (FILE* f = std::fopen(suppressions.c_str(), "w")) {
        std::fputs("leak:libdbus-1.so\n", f);
        std::fclose(f);
    }
    pid_t child =
        Spawn({"/proc/self/exe", "--gtest_filter=PlugEditorXcbChild.*"},
              {"DISPLAY=" + x.Display(), "QT_QPA_PLATFORM=xcb", std::string(kChildVar) + "=" + shot,
               "LSAN_OPTIONS=suppressions=" + suppressions});
    ASSERT_NE(child, 0);
    EXPECT_EQ(WaitFor(child, 90000), 0) << "the child run failed (its output is above)";
    std::remove(suppressions.c_str());
}

// The screen's pixel (0xRRGGBB) at a point of a window's client area.
std::uint32_t ScreenPixel(const QImage& Screen, HWND H, int X, int Y) {
    TPoint p{X, Y};
    ClientToScreen(H, &p);
    return Screen.pixel(p.X, p.Y) & 0xFFFFFF;
}

bool HasGlx() {
    Display* d = XOpenDisplay(nullptr);
    if (!d) return false;
    int op = 0, event = 0, error = 0;
    const bool glx = XQueryExtension(d, "GLX", &op, &event, &error);
    XCloseDisplay(d);
    return glx;
}

// Mesa's GL driver keeps blocks in its own globals and does not free them when libGL unloads it
// with the display's last GLX connection (the DPF editor's, at its close); unloaded, its blocks
// show as leaks without a module or a name. The sanitizer build keeps the driver loaded to the
// end, so that what it keeps stays reachable.
void KeepGlDriverLoaded() {
#ifdef TOLVERN_SANITIZE
    std::vector<std::string> drivers;
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void* out) {
            const std::string_view name = info->dlpi_name ? info->dlpi_name : "";
            if (name.find("/dri/") != std::string_view::npos)
                static_cast<std::vector<std::string>*>(out)->emplace_back(name);
            return 0;
        },
        &drivers);
    for (const std::string& d : drivers)
        dlopen(d.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
#endif
}

int idleCalls = 0;
AEffectDispatcherProc realDispatcher = nullptr;
VstIntPtr CountingDispatcher(AEffect* e, std::int32_t op, std::int32_t index, VstIntPtr value,
                             void* ptr, float opt) {
    if (op == effEditIdle) ++idleCalls;
    return realDispatcher(e, op, index, value, ptr, opt);
}

TEST(PlugEditorXcbChild, ExampleAndDpfEditors) {
    if (!std::getenv(kChildVar)) GTEST_SKIP() << "runs inside PlugEditorXcb";
    std::string error;
    ASSERT_TRUE(OpenDisplay(&error)) << error;
    ASSERT_TRUE(DisplayIsX11());
    TempSettings settings;
    TempProgramFolder program;
    InstallPluginWindows();
    Song = new TSong;
    ASSERT_NE(SoftEngine, nullptr);

    // The VST example under the title bar, the own-interface example alone.
    TSoftItem* vst = SoftEngine->AddSoftsynth(kBin + "/synth/tvsynth.so");
    TSoftItem* own = SoftEngine->AddSoftsynth(kBin + "/synth/mfxsynth.so");
    ASSERT_TRUE(vst->Plugin->HasEditor);
    ASSERT_TRUE(own->Plugin->HasEditor);
    vst->Editor->SetLeft(40);
    vst->Editor->SetTop(60);
    vst->Editor->Show();
    own->Editor->SetLeft(340);
    own->Editor->SetTop(60);
    own->Editor->Show();
    EXPECT_EQ(vst->Editor->GetWidth(), 244);
    EXPECT_EQ(vst->Editor->GetHeight(), 142);
    EXPECT_EQ(own->Editor->GetWidth(), 240);
    EXPECT_EQ(own->Editor->GetHeight(), 120);
    EXPECT_TRUE(vst->Plugin->EditorOpen);

    // A DPF plug-in's OpenGL editor, where the server has GLX.
    TSoftItem* dpf = nullptr;
    std::string dpfSkipped;
    if (!std::filesystem::exists(kDpf))
        dpfSkipped = "dpf-plugins-vst is not installed (" + kDpf + ")";
    else if (!HasGlx())
        dpfSkipped = "the X server has no GLX, which the DPF editors need";
    if (dpfSkipped.empty()) {
        dpf = SoftEngine->AddSoftsynth(kDpf);
        ASSERT_TRUE(dpf->Plugin->Loaded);
        ASSERT_TRUE(dpf->Plugin->HasEditor);
        realDispatcher = dpf->Plugin->Effect->dispatcher;
        dpf->Plugin->Effect->dispatcher = &CountingDispatcher;
        dpf->Editor->SetLeft(40);
        dpf->Editor->SetTop(260);
        dpf->Editor->Show();
        KeepGlDriverLoaded();
        ERect* rect = dpf->Plugin->EditorRect;
        ASSERT_NE(rect, nullptr);
        EXPECT_GT(rect->right, 0);
        EXPECT_EQ(dpf->Editor->GetWidth(), rect->right + 4);
        EXPECT_EQ(dpf->Editor->GetHeight(), rect->bottom + 22);
    }
    // The main window's idle hook, as the message loop runs it.
    for (int i = 0; i < 40; ++i) {
        bool done = true;
        VstEditorIdle(nullptr, done);
        Spin(25);
    }
    if (dpf) {
        EXPECT_GE(idleCalls, 40);
    }

    const QString file = QString::fromLocal8Bit(std::getenv(kChildVar));
    ASSERT_TRUE(RunTool("import", {"-window", "root", file}));
    QImage screen(file);
    ASSERT_FALSE(screen.isNull());
    // The plug-ins' own windows in their colours: under the title bar, and filling the window.
    EXPECT_EQ(ScreenPixel(screen, vst->Editor->Handle, 2 + 230, 20 + 8), 0x2E6B8Au);
    EXPECT_EQ(ScreenPixel(screen, vst->Editor->Handle, 2 + 230, 20 + 112), 0x2E6B8Au);
    EXPECT_EQ(ScreenPixel(screen, own->Editor->Handle, 230, 8), 0x8A2E6Bu);
    EXPECT_EQ(ScreenPixel(screen, own->Editor->Handle, 4, 116), 0x8A2E6Bu);
    // The title bar above the plug-in's window stays the program's.
    EXPECT_EQ(ScreenPixel(screen, vst->Editor->Handle, 60, 4), 0x000000u);
    if (dpf) {
        // The DPF editor painted its picture: more than one colour inside its panel.
        const int w = dpf->Plugin->EditorRect->right, h = dpf->Plugin->EditorRect->bottom;
        std::uint32_t first = ScreenPixel(screen, dpf->Editor->Handle, 2 + w / 2, 20 + h / 2);
        bool varied = false;
        for (int y = 0; y < h && !varied; y += 7)
            for (int x = 0; x < w && !varied; x += 7)
                varied = ScreenPixel(screen, dpf->Editor->Handle, 2 + x, 20 + y) != first;
        EXPECT_TRUE(varied) << "the DPF editor drew nothing";
    }

    // Closing: the editors go before their windows, with the song.
    vst->Editor->Hide();
    delete Song;
    Song = nullptr;
    Spin(100);
    CloseDisplay();
    if (!dpfSkipped.empty()) GTEST_SKIP() << dpfSkipped;
}

} // namespace
