// The user banks in the real program on an X server: build/bin/tolvern copied into a program
// folder of its own beside a bank file, started on an Xvfb of the test's own with an autoloaded
// song whose MIDI goes to the test switch's logging output. xdotool chooses the User layout and
// the bank, opens the bank editor and saves the song. Screenshots are saved in the build folder
// (build/tests/banks-xcb*.png).
#include "song/primitives.h"
#include "song/song.h"
#include "song/songfile.h"
#include "support/gui_xvfb.h"
#include "support/temp_settings.h"

#include <QImage>
#include <QRect>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <thread>

namespace {

using testsupport::Spawn;
using testsupport::WaitFor;

constexpr QRgb kFill = 0xA0A050; // the parts' fill, $50A0A0 as stored

std::vector<std::string> LogLines(const std::string& Log) {
    std::ifstream in(Log);
    std::vector<std::string> r;
    for (std::string l; std::getline(in, l);)
        r.push_back(l);
    return r;
}

class BanksXcb : public testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"Xvfb", "import", "xdotool"})
            if (!testsupport::OnPath(tool)) GTEST_SKIP() << tool << " is not installed";
        if (x.Display().empty()) GTEST_SKIP() << "Xvfb could not start on a free display";
        const std::string exe = folder.Path() + "tolvern";
        std::filesystem::copy_file(TOLVERN_BIN_DIR "/tolvern", exe);
        std::filesystem::permissions(exe, std::filesystem::perms::owner_exec,
                                     std::filesystem::perm_options::add);
        std::filesystem::copy_file(TOLVERN_BIN_DIR "/midiengine.dll",
                                   folder.Path() + "midiengine.dll");
        folder.WriteFile("Synth.mxp", "Mode=2\r\n5,1,Piano\r\n");
        // One MIDI track with a part, on the logging output.
        song = dir.Path() + "banks.seq";
        TSong* keep = Song;
        Song = new TSong;
        Song->TrackAt(0)->Name = "Keys";
        Song->TrackAt(0)->Mode = tmMidi;
        Song->TrackAt(0)->Output = 0;
        EXPECT_TRUE(InsertPart(Song->TrackAt(0), NewPart("Keys", 0, 1920, 0)));
        EXPECT_TRUE(SaveSongFile(song));
        delete Song;
        Song = keep;
        log = dir.Path() + "midi.log";
        settings.WriteIni("[Autoload]\nEnabled=1\nSong=" + song +
                          "\n[Mixer]\nVisible=0\n[Song edit]\nLeft=0\nTop=0\nWidth=900\n"
                          "Height=420\n");
        errors = dir.Path() + "errors.txt";
        program.emplace(
            Spawn({"sh", "-c", "exec \"$0\" 2>\"$1\"", exe, errors},
                  {"DISPLAY=" + x.Display(), "QT_QPA_PLATFORM=xcb",
                   "XDG_CONFIG_HOME=" + settings.ConfigHome(), "TOLVERN_TEST_MIDI_LOG=" + log}));
        ASSERT_TRUE(*program);
    }
    void TearDown() override {
        if (HasFailure()) {
            std::ifstream in(errors);
            std::fprintf(stderr, "the program's errors:\n%s\n",
                         std::string(std::istreambuf_iterator<char>(in), {}).c_str());
        }
    }
    bool Shot(const std::string& Name, QImage& Image) {
        const std::string path = shots + Name;
        std::remove(path.c_str());
        const pid_t p = Spawn({"import", "-display", x.Display(), "-window", "root", path}, {});
        return p && WaitFor(p, 10000) == 0 && Image.load(QString::fromStdString(path));
    }
    // xdotool on the test's display.
    bool Tool(std::vector<std::string> Args) {
        Args.insert(Args.begin(), "xdotool");
        const pid_t p = Spawn(Args, {"DISPLAY=" + x.Display()});
        return p && WaitFor(p, 10000) == 0;
    }
    bool ClickAt(int X, int Y) {
        return Tool({"mousemove", std::to_string(X), std::to_string(Y)}) && Tool({"click", "1"});
    }
    static void Wait(int Ms) { std::this_thread::sleep_for(std::chrono::milliseconds(Ms)); }
    // Waits at most 10 s until the screen differs from Before within R (the program answered a
    // click or a key), then a little longer for the rest of its painting.
    bool WaitForChange(const QImage& Before, const QRect& R) {
        QImage now;
        for (int i = 0; i < 40; ++i) {
            if (Shot("banks-xcb-wait.png", now) && now.copy(R) != Before.copy(R)) {
                Wait(300);
                return true;
            }
            Wait(250);
        }
        return false;
    }
    // The top-left pixel of the part box's fill, once the window shows it.
    bool FindPart(int& X, int& Y) {
        QImage img;
        for (int i = 0; i < 60; ++i) {
            if (Shot("banks-xcb-start.png", img))
                for (int y = 0; y < img.height(); ++y)
                    for (int x = 0; x < img.width(); ++x)
                        if ((img.pixel(x, y) & 0xFFFFFF) == kFill) {
                            X = x;
                            Y = y;
                            return true;
                        }
            Wait(250);
        }
        return false;
    }

    testsupport::Xvfb x;
    TempSettings settings;
    TempDir dir;
    TempDir folder{"tolvern-banks-xcb"};
    // Killed and waited for before the display goes.
    std::optional<testsupport::ChildProcess> program;
    std::string song, log, errors;
    const std::string shots = std::string(TOLVERN_BIN_DIR) + "/../tests/";
};

} // namespace

TEST_F(BanksXcb, TheUserLayoutSendsTheBankAndTheSongKeepsIt) {
    int fx = 0, fy = 0;
    ASSERT_TRUE(FindPart(fx, fy)) << "no part box: " << shots << "banks-xcb-start.png";
    // Left of the parts the list (180 wide and the splitter), above them the ruler, the settings
    // bar and the tool bar, whose layout box is 338 pixels in.
    const int left = fx - 1 - 183, barTop = fy - 1 - 20 - 27, toolTop = barTop - 27;
    QImage before, img;
    ASSERT_TRUE(Shot("banks-xcb-start.png", before));
    // The layout box's list opens under it; "User" is five entries below "Default".
    ASSERT_TRUE(ClickAt(left + 338 + 40, toolTop + 13));
    ASSERT_TRUE(WaitForChange(before, QRect(left + 338, toolTop + 26, 84, 60)))
        << "the layout box did not open";
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(Tool({"key", "Down"}));
    ASSERT_TRUE(Tool({"key", "Return"}));
    // The User panel follows the channel panel (378 wide) in the bar; its file box 28 in.
    const QRect filePanel(left + 378, barTop, 398, 27);
    ASSERT_TRUE(WaitForChange(before, filePanel)) << "no User panel";
    ASSERT_TRUE(Shot("banks-xcb-layout.png", before));
    ASSERT_TRUE(ClickAt(left + 378 + 28 + 50, barTop + 13));
    ASSERT_TRUE(WaitForChange(before, QRect(left + 378 + 28, barTop + 26, 120, 30)))
        << "the file box did not open";
    ASSERT_TRUE(Tool({"key", "Down"}));
    ASSERT_TRUE(Tool({"key", "Return"}));
    // The bank select and the program change follow what the output was sent at its opening.
    const std::vector<std::string> want = {"B0 00 00", "B0 20 05", "C0 00"};
    auto sent = [&] {
        const std::vector<std::string> lines = LogLines(log);
        return std::search(lines.begin(), lines.end(), want.begin(), want.end()) != lines.end();
    };
    for (int i = 0; i < 100 && !sent(); ++i)
        Wait(100);
    Wait(300);
    ASSERT_TRUE(Shot("banks-xcb.png", img));
    ASSERT_TRUE(sent()) << "not sent; the screen is " << shots << "banks-xcb.png";

    // "Edit": the bank editor in the middle of the screen, closed by Escape.
    ASSERT_TRUE(ClickAt(left + 378 + 354 + 20, barTop + 13));
    const QRect middle(412, 284, 200, 200);
    ASSERT_TRUE(WaitForChange(img, middle)) << "no bank editor";
    Wait(500); // its title grows
    ASSERT_TRUE(Shot("banks-xcb-editor.png", before));
    ASSERT_TRUE(Tool({"key", "Escape"}));
    ASSERT_TRUE(WaitForChange(before, middle)) << "the bank editor stayed";

    const auto stamp = std::filesystem::last_write_time(song);
    ASSERT_TRUE(Tool({"key", "ctrl+s"}));
    for (int i = 0; i < 100 && std::filesystem::last_write_time(song) == stamp; ++i)
        Wait(100);
    Wait(500);
    TSong* keep = Song;
    Song = new TSong;
    ASSERT_TRUE(LoadSongFile(song));
    const _TTrack* t = Song->TrackAt(0);
    EXPECT_EQ(t->Layout, 0x1002);
    EXPECT_EQ(t->UserFile, "Synth.mxp");
    EXPECT_EQ(t->Bank, 5);
    EXPECT_EQ(t->Program, 1);
    delete Song;
    Song = keep;
}
