// The mixer in the real program on an X server: build/bin/tolvern started on an Xvfb of the
// test's own with a song that has parts and a disk track; a click on the parts area and F11
// open the mixer, a click on the disk strip's mute button mutes it without taking the
// activation, and a drag on the title moves the window. Screenshots are saved in the build
// folder (build/tests/mixer-xcb*.png) for a person to look at.
#include "song/primitives.h"
#include "song/song.h"
#include "song/songfile.h"
#include "support/gui_xvfb.h"
#include "support/temp_settings.h"

#include <QImage>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <thread>
#include <vector>

namespace {

using testsupport::Spawn;
using testsupport::WaitFor;

constexpr QRgb kPartFill = 0xA0A050; // the parts' colour $50A0A0 as stored
constexpr QRgb kSidebar = 0x54647E;  // RGB(84, 100, 126)
constexpr QRgb kMuteOn = 0xE02828;
constexpr int kLeft = 420, kTop = 300; // where the mixer is placed

// Track 0 with a part, track 2 a disk track (its first output is active in a new song).
void WriteFixture(const std::string& Path) {
    TSong* keep = Song;
    Song = new TSong;
    Song->TrackAt(0)->Mode = tmMidi;
    _TPart* p = NewPart("Part", 0, 1920, 0);
    AppendEvent(p, NewEvent(0, 0x00643C90u));
    AppendEvent(p, NewEvent(60, 0x00003C80u));
    EXPECT_TRUE(InsertPart(Song->TrackAt(0), p));
    Song->TrackAt(2)->Mode = tmDisk;
    EXPECT_TRUE(SaveSongFile(Path));
    delete Song;
    Song = keep;
}

bool Shot(const std::string& Display, const std::string& Path, QImage& Image) {
    std::remove(Path.c_str());
    pid_t p = Spawn({"import", "-display", Display, "-window", "root", Path}, {});
    if (!p || WaitFor(p, 10000) != 0) return false;
    return Image.load(QString::fromStdString(Path));
}

// The first pixel of Colour in the rectangle, scanning rows; false when there is none.
bool Find(const QImage& Image, QRgb Colour, int X0, int Y0, int W, int H, int& X, int& Y) {
    for (int y = std::max(Y0, 0); y < Y0 + H && y < Image.height(); ++y)
        for (int x = std::max(X0, 0); x < X0 + W && x < Image.width(); ++x)
            if ((Image.pixel(x, y) & 0xFFFFFF) == Colour) {
                X = x;
                Y = y;
                return true;
            }
    return false;
}

int Count(const QImage& Image, QRgb Colour, int X0, int Y0, int W, int H) {
    int n = 0;
    for (int y = Y0; y < Y0 + H && y < Image.height(); ++y)
        for (int x = X0; x < X0 + W && x < Image.width(); ++x)
            n += (Image.pixel(x, y) & 0xFFFFFF) == Colour;
    return n;
}

class MixerXcb : public testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"Xvfb", "xdotool", "import"})
            if (!testsupport::OnPath(tool)) GTEST_SKIP() << tool << " is not installed";
        if (x.Display().empty()) GTEST_SKIP() << "Xvfb could not start on a free display";
        song = dir.Path() + "fixture.seq";
        WriteFixture(song);
    }
    void TearDown() override {
        if (pid) {
            kill(pid, SIGKILL);
            WaitFor(pid, 5000);
        }
    }
    // xdotool with Args on the test's display, to its end.
    bool Tool(std::vector<std::string> Args) {
        Args.insert(Args.begin(), "xdotool");
        pid_t p = Spawn(Args, {"DISPLAY=" + x.Display()});
        return p && WaitFor(p, 10000) == 0;
    }
    bool Click(int X, int Y) {
        return Tool({"mousemove", "--sync", std::to_string(X), std::to_string(Y), "click", "1"});
    }
    // The window that has the keyboard on the display.
    std::string Focus() {
        const std::string out = dir.Path() + "focus.txt";
        pid_t p =
            Spawn({"sh", "-c", "xdotool getwindowfocus > " + out}, {"DISPLAY=" + x.Display()});
        if (!p || WaitFor(p, 5000) != 0) return "?";
        std::ifstream in(out);
        std::string name;
        std::getline(in, name);
        return name;
    }

    testsupport::Xvfb x;
    TempSettings settings;
    TempDir dir;
    std::string song;
    pid_t pid = 0;
    const std::string shots = std::string(TOLVERN_BIN_DIR) + "/../tests/";
};

TEST_F(MixerXcb, F11OpensItAClickMutesAndTheTitleDragsIt) {
    settings.WriteIni("[Autoload]\nEnabled=1\nSong=" + song + "\n[Mixer]\nVisible=0\nLeft=" +
                      std::to_string(kLeft) + "\nTop=" + std::to_string(kTop) +
                      "\n[Song edit]\nLeft=0\nTop=0\nWidth=640\nHeight=420\n");
    pid = Spawn({std::string(TOLVERN_BIN_DIR) + "/tolvern"},
                {"DISPLAY=" + x.Display(), "QT_QPA_PLATFORM=xcb",
                 "XDG_CONFIG_HOME=" + settings.ConfigHome()});
    ASSERT_NE(pid, 0);
    QImage img;
    int fx = 0, fy = 0;
    bool shown = false;
    for (int i = 0; i < 60 && !shown; ++i) {
        shown = Shot(x.Display(), shots + "mixer-xcb.png", img) &&
                Find(img, kPartFill, 0, 0, img.width(), img.height(), fx, fy);
        if (!shown) std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    ASSERT_TRUE(shown) << "the arrange window did not show its part";
    // The keys go to the main window after a click on the empty rows below the part.
    ASSERT_TRUE(Click(fx + 10, fy + 60));
    const std::string main = Focus();
    ASSERT_NE(main, "?");
    ASSERT_TRUE(Tool({"key", "F11"}));
    int sx = 0, sy = 0;
    shown = false;
    for (int i = 0; i < 40 && !shown; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        shown = Shot(x.Display(), shots + "mixer-xcb.png", img) &&
                Find(img, kSidebar, kLeft, kTop, 40, 60, sx, sy);
    }
    ASSERT_TRUE(shown) << "F11 showed no mixer at its place; see " << shots << "mixer-xcb.png";
    // The master strip and the disk strip: two sidebars, 65 pixels apart.
    int dx = 0, dy = 0;
    EXPECT_TRUE(Find(img, kSidebar, sx + 60, sy, 10, 1, dx, dy));
    EXPECT_EQ(dx, sx + 65);

    // The disk strip's mute button: below its name (20 high), 24 x 20.
    const int muteX = kLeft + 3 + 82, muteY = kTop + 21 + 20;
    EXPECT_EQ(Count(img, kMuteOn, muteX, muteY, 24, 20), 0);
    ASSERT_TRUE(Click(muteX + 8, muteY + 10));
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    ASSERT_TRUE(Shot(x.Display(), shots + "mixer-xcb-muted.png", img));
    EXPECT_GT(Count(img, kMuteOn, muteX, muteY, 24, 20), 40)
        << "no mute-on image; see " << shots << "mixer-xcb-muted.png";
    EXPECT_EQ(Focus(), main) << "the click took the keyboard from the main window";

    // A drag on the title (right of "Add") moves the window right and down with the pointer.
    const int grabX = kLeft + 3 + 50, grabY = kTop + 3 + 8;
    auto n = [](int V) { return std::to_string(V); };
    ASSERT_TRUE(Tool({"mousemove", "--sync", n(grabX),    n(grabY), "mousedown",   "1",
                      "sleep",     "0.3",    "mousemove", "--sync", n(grabX + 30), n(grabY + 20),
                      "sleep",     "0.3",    "mousemove", "--sync", n(grabX + 60), n(grabY + 40),
                      "sleep",     "0.3",    "mouseup",   "1"}));
    shown = false;
    for (int i = 0; i < 20 && !shown; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        shown = Shot(x.Display(), shots + "mixer-xcb-moved.png", img) &&
                Find(img, kSidebar, kLeft + 20, kTop + 10, 200, 200, dx, dy) && dx > sx + 20 &&
                dy > sy + 10;
    }
    EXPECT_TRUE(shown) << "the mixer did not follow the drag; see " << shots
                       << "mixer-xcb-moved.png";
}

} // namespace
