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
void WriteFixture(const std::string& Path, int Output = 0) {
    TSong* keep = Song;
    Song = new TSong;
    const int keys[2][4] = {{36, 38, 36, 38}, {40, 43, 45, 47}};
    for (int t = 0; t < 2; ++t) {
        Song->TrackAt(t)->Name = t ? "Bass" : "Drums";
        Song->TrackAt(t)->Mode = tmMidi;
        Song->TrackAt(t)->Output = Output;
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

// The note-ons of the log ("90 24" and so on), in the order they were sent.
std::vector<std::string> NoteOns(const std::string& Log) {
    std::ifstream in(Log);
    std::vector<std::string> r;
    for (std::string l; std::getline(in, l);) {
        unsigned st = 0, key = 0, vel = 0;
        if (std::sscanf(l.c_str(), "%X %X %X", &st, &key, &vel) == 3 && (st & 0xF0) == 0x90 && vel)
            r.push_back(l.substr(0, 5));
    }
    return r;
}

// A dotted column (the play cursor) of XOR white on the parts background right of X0.
int DottedColumn(const QImage& Image, int X0, int Y0, int Skip) {
    for (int x = X0 + 1; x < X0 + 400 && x < Image.width(); ++x) {
        if (x == Skip) continue;
        int lit = 0;
        for (int y = Y0; y < Y0 + 40; ++y)
            lit += (Image.pixel(x, y) & 0xFFFFFF) == 0xE0E0E0;
        if (lit >= 10 && lit <= 30) return x;
    }
    return -1;
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

namespace {

TEST_F(ArrangeXcb, AutoplayPlaysTheSongToTheLoggingOutput) {
    Run("[Autoplay]\nEnabled=1\n");
    QImage img;
    int fx = 0, fy = 0;
    ASSERT_TRUE(WaitForBoxes(shots + "arrange-xcb-play.png", img, fx, fy));
    // After a note-on or two the cursor has left its first place (the left edge of the parts).
    for (int i = 0; i < 100 && NoteOns(log).size() < 2; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_GE(NoteOns(log).size(), 2u) << "nothing was played to the logging output";
    ASSERT_TRUE(Shot(x.Display(), shots + "arrange-xcb-play.png", img));
    const int x1 = fx - 1, y1 = fy - 1;
    const int cursor = DottedColumn(img, x1, y1 + 40, x1 + 48);
    EXPECT_GT(cursor, x1) << "no play cursor right of the song start in " << shots
                          << "arrange-xcb-play.png";
    // The whole song, in song order (track 1 plays on channel 2).
    const std::vector<std::string> want = {"90 24", "90 26", "90 24", "90 26",
                                           "91 28", "91 2B", "91 2D", "91 2F"};
    for (int i = 0; i < 150 && NoteOns(log).size() < want.size(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::vector<std::string> got = NoteOns(log);
    if (got.size() > want.size()) got.resize(want.size());
    EXPECT_EQ(got, want);
}

// The position field of the transport bar (as TransportBarXcb finds it): its pixels, empty when
// the bar is not on the screen.
std::vector<QRgb> PositionField(const QImage& Image) {
    int top = -1;
    for (int y = 0; y < Image.height() && top < 0; ++y)
        if ((Image.pixel(1000, y) & 0xFFFFFF) == 0xCCCCCC) top = y;
    if (top < 0) return {};
    int left = 0;
    while (left < Image.width() && (Image.pixel(left, top + 1) & 0xFFFFFF) != 0xCCCCCC)
        ++left;
    std::vector<QRgb> px;
    for (int y = top + 4; y < top + 24; ++y)
        for (int x = left + 367; x < left + 437 && x < Image.width(); ++x)
            px.push_back(Image.pixel(x, y) & 0xFFFFFF);
    return px;
}

// No MIDI port at all (no sequencer, no JACK server, no logging output): the stream runs on no
// port, and its clock moves the position field and the play cursor.
TEST_F(ArrangeXcb, WithoutAMidiPortPlayMovesThePositionAndTheCursor) {
    if (access("/dev/snd/seq", F_OK) == 0)
        GTEST_SKIP() << "this machine has an ALSA sequencer (its ports are MIDI outputs)";
    log.clear();
    Run("[Autoplay]\nEnabled=1\n");
    QImage first, second;
    int fx = 0, fy = 0;
    ASSERT_TRUE(WaitForBoxes(shots + "arrange-xcb-noport.png", first, fx, fy));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_TRUE(Shot(x.Display(), shots + "arrange-xcb-noport.png", first));
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    ASSERT_TRUE(Shot(x.Display(), shots + "arrange-xcb-noport-later.png", second));
    const int x1 = fx - 1, y1 = fy - 1;
    const int before = DottedColumn(first, x1, y1 + 40, x1 + 48);
    const int after = DottedColumn(second, x1, y1 + 40, x1 + 48);
    EXPECT_GT(before, x1) << "no play cursor right of the song start in " << shots
                          << "arrange-xcb-noport.png";
    EXPECT_GT(after, before) << "the play cursor stood still (" << shots
                             << "arrange-xcb-noport-later.png)";
    const std::vector<QRgb> a = PositionField(first), b = PositionField(second);
    ASSERT_FALSE(a.empty()) << "no transport bar";
    int changed = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
        changed += a[i] != b[i];
    EXPECT_GT(changed, 20) << "the position field stood still";
}

// The same song to a real ALSA sequencer port when the machine has one.
TEST_F(ArrangeXcb, AutoplayPlaysToAnAlsaSequencerPort) {
    if (access("/dev/snd/seq", R_OK | W_OK) != 0)
        GTEST_SKIP() << "no ALSA sequencer on this machine (/dev/snd/seq)";
    if (!testsupport::OnPath("aseqdump")) GTEST_SKIP() << "aseqdump (alsa-utils) is missing";
    const std::string dump = dir.Path() + "aseqdump.txt";
    pid_t d = Spawn({"sh", "-c", "exec aseqdump > " + dump}, {});
    ASSERT_NE(d, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    // The output devices are the ports that take messages in client order (aconnect -o):
    // the song plays to aseqdump's.
    const std::string list = dir.Path() + "ports.txt";
    pid_t l = Spawn({"sh", "-c", "aconnect -o > " + list}, {});
    ASSERT_TRUE(l && WaitFor(l, 5000) == 0);
    int index = -1, n = 0;
    bool inDump = false;
    {
        std::ifstream in(list);
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("client ", 0) == 0) {
                inDump = line.find("'aseqdump'") != std::string::npos;
                continue;
            }
            if (line.empty() || line[0] != ' ') continue;
            if (inDump && index < 0) index = n;
            ++n;
        }
    }
    ASSERT_GE(index, 0) << "aseqdump's port is not in aconnect -o";
    WriteFixture(song, index);
    log.clear();
    Run("[Autoplay]\nEnabled=1\n");
    bool heard = false;
    for (int i = 0; i < 100 && !heard; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        std::ifstream in(dump);
        std::stringstream ss;
        ss << in.rdbuf();
        heard = ss.str().find("Note on") != std::string::npos;
    }
    kill(d, SIGTERM);
    WaitFor(d, 2000);
    EXPECT_TRUE(heard) << "aseqdump heard no note-on";
}
} // namespace

namespace {

// A right click on the track list opens its popup; "Ch" > "5" chosen by keys sets the current
// track's channel, shown in its row and in the settings bar, and Ctrl+S saves it.
TEST_F(ArrangeXcb, TrackPopupChannelByKeysIsShownAndSaved) {
    if (!testsupport::OnPath("xdotool")) GTEST_SKIP() << "xdotool is missing";
    Run("");
    QImage before, after;
    int fx = 0, fy = 0;
    ASSERT_TRUE(WaitForBoxes(shots + "trackbar-xcb-before.png", before, fx, fy));
    // The parts area starts at the first box; left of it the splitter and the list (180 wide,
    // sections 40 wide: "Ch" is the third), above it the ruler, the bar and the tool bar.
    const int listLeft = fx - 1 - 183, row0 = fy - 1;
    const int barTop = row0 - 20 - 27;
    // xdotool on the test's display; the program runs on its own.
    auto run = [&](std::vector<std::string> Args) {
        Args.insert(Args.begin(), "xdotool");
        const pid_t p = Spawn(Args, {"DISPLAY=" + x.Display()});
        return p && WaitFor(p, 10000) == 0;
    };
    auto wait = [](int Ms) { std::this_thread::sleep_for(std::chrono::milliseconds(Ms)); };
    ASSERT_TRUE(run({"mousemove", std::to_string(listLeft + 20), std::to_string(row0 + 9)}));
    ASSERT_TRUE(run({"click", "3"}));
    wait(700);
    for (const char* k : {"Down", "Down", "Right", "Down", "Down", "Down", "Down"}) {
        ASSERT_TRUE(run({"key", k}));
        wait(150);
    }
    QImage menu;
    ASSERT_TRUE(Shot(x.Display(), shots + "trackbar-xcb-popup.png", menu));
    ASSERT_TRUE(run({"key", "Return"}));
    wait(700);
    ASSERT_TRUE(Shot(x.Display(), shots + "trackbar-xcb.png", after));
    // The row's "Ch" cell and the bar's channel panel show another text than before.
    auto differs = [&](int X0, int Y0, int X1, int Y1) {
        int n = 0;
        for (int y = Y0; y < Y1; ++y)
            for (int x = X0; x < X1; ++x)
                n += before.pixel(x, y) != after.pixel(x, y);
        return n;
    };
    EXPECT_GT(differs(listLeft + 81, row0 + 1, listLeft + 119, row0 + 17), 5)
        << "the row's channel did not change: " << shots << "trackbar-xcb.png";
    EXPECT_GT(differs(listLeft + 25, barTop + 4, listLeft + 57, barTop + 23), 5)
        << "the bar's channel did not change: " << shots << "trackbar-xcb.png";
    const auto stamp = std::filesystem::last_write_time(song);
    ASSERT_TRUE(run({"key", "ctrl+s"}));
    for (int i = 0; i < 50 && std::filesystem::last_write_time(song) == stamp; ++i)
        wait(100);
    wait(500);
    TSong* keep = Song;
    Song = new TSong;
    ASSERT_TRUE(LoadSongFile(song));
    EXPECT_EQ(Song->TrackAt(0)->Channel, 4);
    EXPECT_EQ(Song->TrackAt(1)->Channel, 1);
    delete Song;
    Song = keep;
}

} // namespace
