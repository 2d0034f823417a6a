// The real program on an X server: build/bin/tolvern started on an Xvfb of the test's own with
// a settings folder that autoloads a small native song, its MIDI going to the test switch's
// logging output. Screenshots are saved in the build folder (build/tests/arrange-xcb*.png) for
// a person to look at.
#include "song/primitives.h"
#include "song/song.h"
#include "song/songfile.h"
#include "support/gui_xvfb.h"
#include "support/temp_settings.h"

#include <QImage>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace {

using testsupport::Spawn;
using testsupport::WaitFor;

// MIDI tracks 0 and 1, parts 0-1920 and 1920-3840, a note every beat, output 0.
void WriteFixture(const std::string& Path) {
    TSong* keep = Song;
    Song = new TSong;
    const int keys[2][4] = {{36, 38, 36, 38}, {40, 43, 45, 47}};
    for (int t = 0; t < 2; ++t) {
        Song->TrackAt(t)->Name = t ? "Bass" : "Drums";
        _TPart* p = NewPart(t ? "Bass" : "Drums", 1920 * t, 1920, t);
        for (int b = 0; b < 4; ++b) {
            AppendEvent(p, NewEvent(b ? 180 : 0, 0x00640090u | std::uint32_t(keys[t][b]) << 8));
            AppendEvent(p, NewEvent(60, 0x00000080u | std::uint32_t(keys[t][b]) << 8));
        }
        EXPECT_TRUE(InsertPart(Song->TrackAt(t), p));
    }
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

// The top-left pixel of the first box filled in the parts colour, scanning rows.
bool FindFill(const QImage& Image, QRgb Fill, int& X, int& Y) {
    for (int y = 0; y < Image.height(); ++y)
        for (int x = 0; x < Image.width(); ++x)
            if ((Image.pixel(x, y) & 0xFFFFFF) == Fill) {
                X = x;
                Y = y;
                return true;
            }
    return false;
}

class ArrangeXcb : public testing::Test {
protected:
    void SetUp() override {
        if (!testsupport::OnPath("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
        if (!testsupport::OnPath("import")) GTEST_SKIP() << "import (ImageMagick) is missing";
        if (x.Display().empty()) GTEST_SKIP() << "Xvfb could not start on a free display";
        song = dir.Path() + "fixture.seq";
        WriteFixture(song);
        log = dir.Path() + "midi.log";
    }
    void TearDown() override {
        if (pid) {
            kill(pid, SIGKILL);
            WaitFor(pid, 5000);
        }
    }
    void Run(const std::string& Extra) {
        settings.WriteIni("[Autoload]\nEnabled=1\nSong=" + song +
                          "\n[Mixer]\nVisible=0\n[Song edit]\nLeft=0\nTop=0\nWidth=640\n"
                          "Height=420\n" +
                          Extra);
        pid = Spawn({std::string(TOLVERN_BIN_DIR) + "/tolvern"},
                    {"DISPLAY=" + x.Display(), "QT_QPA_PLATFORM=xcb",
                     "XDG_CONFIG_HOME=" + settings.ConfigHome(), "TOLVERN_TEST_MIDI_LOG=" + log});
        ASSERT_NE(pid, 0);
    }
    // Waits until a screenshot shows the first box; its fill's top-left corner.
    bool WaitForBoxes(const std::string& Path, QImage& Image, int& X, int& Y) {
        for (int i = 0; i < 60; ++i) {
            if (Shot(x.Display(), Path, Image) && FindFill(Image, kFill, X, Y)) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
        }
        return false;
    }

    static constexpr QRgb kFill = 0xA0A050; // $50A0A0 as stored
    testsupport::Xvfb x;
    TempSettings settings;
    TempDir dir;
    std::string song, log;
    pid_t pid = 0;
    const std::string shots = std::string(TOLVERN_BIN_DIR) + "/../tests/";
};

TEST_F(ArrangeXcb, TheAutoloadedSongShowsItsPartBoxes) {
    Run("");
    QImage img;
    int fx = 0, fy = 0;
    ASSERT_TRUE(WaitForBoxes(shots + "arrange-xcb.png", img, fx, fy))
        << "no part box on the screen; the screenshot is " << shots << "arrange-xcb.png\n"
        << settings.IniText() << "\nexists " << std::filesystem::exists(song) << " size "
        << std::filesystem::file_size(song);
    // The fill starts inside the light bevel: the box is (fx - 1, fy - 1), 47 x 17.
    const int x1 = fx - 1, y1 = fy - 1;
    auto px = [&](int X, int Y) { return img.pixel(X, Y) & 0xFFFFFF; };
    EXPECT_NE(px(x1, y1 + 8), kFill);       // light bevel
    EXPECT_EQ(px(x1 + 45, y1 + 15), kFill); // the last filled pixel
    EXPECT_NE(px(x1 + 46, y1 + 8), kFill);  // dark bevel
    EXPECT_NE(px(x1 + 47, y1 + 8), kFill);  // beyond the box
    EXPECT_NE(px(x1 + 20, y1 + 17), kFill);
    EXPECT_EQ(px(x1 + 45 + 48, y1 + 15 + 18), kFill); // the second box, 48 px right, a row down
    EXPECT_EQ(px(x1 + 1 + 48, y1 + 1 + 18), kFill);
    EXPECT_NE(px(x1 + 48 + 47, y1 + 18 + 8), kFill);
    EXPECT_NE(px(x1 + 48 + 20, y1 + 18 + 17), kFill);
}

} // namespace
