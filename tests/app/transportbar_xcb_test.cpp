// The real program on an X server: Xvfb started by the test, the program run with fresh
// settings, its docked transport bar saved as a screenshot in the build folder
// (build/tests/transport-bar-xcb.png), then a click on the song position and a second
// screenshot (transport-bar-xcb-time.png) for a person to look at.
#include "support/gui_xvfb.h"
#include "support/temp_settings.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kWidth = 1024, kHeight = 768;

bool RunX(const std::vector<std::string>& args, const std::string& display) {
    pid_t pid = testsupport::Spawn(args, {"DISPLAY=" + display});
    return pid && testsupport::WaitFor(pid, 20000) == 0;
}

// The screen as 0xRRGGBB pixels, and the PNG beside it; empty when a tool failed.
std::vector<std::uint32_t> Shot(const std::string& display, const std::string& png) {
    const std::string raw = png + ".rgb";
    if (!RunX({"import", "-window", "root", png}, display)) return {};
    if (!RunX({"convert", png, "-depth", "8", "rgb:" + raw}, display)) return {};
    std::ifstream in(raw, std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), {});
    std::remove(raw.c_str());
    if (bytes.size() != std::size_t(kWidth) * kHeight * 3) return {};
    std::vector<std::uint32_t> px(std::size_t(kWidth) * kHeight);
    for (std::size_t i = 0; i < px.size(); ++i)
        px[i] = std::uint32_t(bytes[3 * i]) << 16 | std::uint32_t(bytes[3 * i + 1]) << 8 |
                bytes[3 * i + 2];
    return px;
}

TEST(TransportBarXcb, TheRealProgramShowsTheBarAndSwitchesToTime) {
    for (const char* tool : {"Xvfb", "xdotool", "import", "convert"})
        if (!testsupport::OnPath(tool)) GTEST_SKIP() << tool << " is not installed";
    testsupport::Xvfb x;
    if (x.Display().empty()) GTEST_SKIP() << "Xvfb could not start on a free display";
    TempSettings settings; // the program starts as on a fresh machine
    const std::string bin = TOLVERN_BIN_DIR;
    const std::string shots = bin + "/../tests/";
    testsupport::ChildProcess program(
        testsupport::Spawn({bin + "/tolvern"}, {"DISPLAY=" + x.Display(), "QT_QPA_PLATFORM=xcb"}));
    ASSERT_TRUE(program);
    bool shown = false;
    for (int i = 0; i < 100 && !shown; ++i) {
        shown = RunX({"xdotool", "search", "--onlyvisible", "--name", "^Tolvern$"}, x.Display());
        if (!shown) usleep(200000);
    }
    EXPECT_TRUE(shown) << "no main window";
    auto at = [](const std::vector<std::uint32_t>& s, int X, int Y) {
        return s[std::size_t(Y) * kWidth + std::size_t(X)];
    };
    // The bar: the first row of the bar colour down the screen, 27 rows of it at its right. On
    // a loaded machine the first paint may take a while.
    std::vector<std::uint32_t> first;
    int top = -1;
    for (int tries = 0; tries < 20 && top < 0; ++tries) {
        usleep(1500000); // painted, and a few ticks of the system timer
        first = Shot(x.Display(), shots + "transport-bar-xcb.png");
        ASSERT_FALSE(first.empty());
        for (int y = 0; y < kHeight && top < 0; ++y)
            if (at(first, 1000, y) == 0xCCCCCC) top = y;
    }
    ASSERT_GE(top, 0) << "no transport bar";
    for (int y = top; y < top + 27; ++y)
        EXPECT_EQ(at(first, 1000, y), 0xCCCCCCu) << y;
    EXPECT_NE(at(first, 1000, top + 27), 0xCCCCCCu);
    int left = 0;
    while (left < kWidth && at(first, left, top + 1) != 0xCCCCCC)
        ++left;
    // Text in the position field (396 - 8 ... at full layout it is 367 with the defaults).
    const int posX = left + 367, posY = top + 4;
    int ink = 0;
    for (int y = posY; y < posY + 20; ++y)
        for (int x = posX; x < posX + 70; ++x)
            ink += at(first, x, y) != 0xCCCCCC;
    EXPECT_GT(ink, 40);

    EXPECT_TRUE(RunX({"xdotool", "mousemove", "--sync", std::to_string(posX + 20),
                      std::to_string(posY + 8), "click", "1"},
                     x.Display()));
    usleep(700000);
    const auto second = Shot(x.Display(), shots + "transport-bar-xcb-time.png");
    ASSERT_FALSE(second.empty());
    int changed = 0;
    for (int y = posY; y < posY + 20; ++y)
        for (int x = posX; x < posX + 70; ++x)
            changed += at(first, x, y) != at(second, x, y);
    EXPECT_GT(changed, 20) << "the position field did not switch to time";

    program.Kill();
}

} // namespace
