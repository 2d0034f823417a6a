// The sample-part editor in the real program on an X server: build/bin/tolvern started on an
// Xvfb of the test's own, autoloading a song with a part on an audio track. xdotool clicks the
// part, types Ctrl+E, F3 (insert mode), clicks a cell of the grid and Ctrl+S; the saved song has
// the new sample note, and Esc closes the editor, which writes its settings. The screenshot is
// saved in the build folder (build/tests/sample-xcb.png) for a person to look at.
#include "devices/dxsounds.h"
#include "devices/midimsg.h"
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
#include <memory>
#include <sstream>
#include <thread>

namespace {

using testsupport::Spawn;
using testsupport::WaitFor;

constexpr QRgb kPartFill = 0xA0A050, kRowLine = 0x808080, kSelectedFill = 0xFFFF80;

// An audio track 0 with two slots on two silent samples, a part 0-1920 with one note on slot 0.
void WriteFixture(const std::string& Path) {
    TSong* keep = Song;
    Song = new TSong;
    _TTrack* t = Song->TrackAt(0);
    t->Name = "Drums";
    t->Mode = tmAudio;
    for (int i = 0; i < 2; ++i) {
        TWaveCollectionItem* item = Song->SamplePool->Items.Add();
        item->SetName("sample" + std::to_string(i + 1));
        item->Wave.SetPCMFormat(44100, 16, 1);
        item->Wave.SetSize(8820);
        t->Samples.push_back(std::make_unique<TSample>());
        t->Samples.back()->Index = i;
    }
    _TPart* p = NewPart("Take", 0, 1920, 0);
    AppendEvent(p, NewEvent(0, PackMidiMsg(msSampleOn, 0, 127) + (63u << 24)));
    AppendEvent(p, NewEvent(240, PackMidiMsg(msSampleOff, 0, 0)));
    EXPECT_TRUE(InsertPart(t, p));
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

// The first pixel of Colour scanning rows, or (with Run) the start of the first horizontal run
// of Run pixels of it.
bool Find(const QImage& Image, QRgb Colour, int Run, int& X, int& Y) {
    for (int y = 0; y < Image.height(); ++y)
        for (int x = 0, n = 0; x < Image.width(); ++x) {
            n = (Image.pixel(x, y) & 0xFFFFFF) == Colour ? n + 1 : 0;
            if (n == Run) {
                X = x - Run + 1;
                Y = y;
                return true;
            }
        }
    return false;
}

std::string ReadText(const std::string& Path) {
    std::ifstream in(Path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class SampleXcb : public testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"Xvfb", "import", "xdotool"})
            if (!testsupport::OnPath(tool)) GTEST_SKIP() << tool << " is missing";
        if (x.Display().empty()) GTEST_SKIP() << "Xvfb could not start on a free display";
        song = dir.Path() + "samples.seq";
        WriteFixture(song);
    }
    void TearDown() override {
        if (pid) {
            kill(pid, SIGKILL);
            WaitFor(pid, 5000);
        }
    }
    bool Tool(std::vector<std::string> Args) {
        Args.insert(Args.begin(), "xdotool");
        const pid_t p = Spawn(Args, {"DISPLAY=" + x.Display()});
        return p && WaitFor(p, 10000) == 0;
    }
    static void Wait(int Ms) { std::this_thread::sleep_for(std::chrono::milliseconds(Ms)); }
    bool ClickAt(int X, int Y) {
        return Tool({"mousemove", "--sync", std::to_string(X), std::to_string(Y)}) &&
               Tool({"click", "1"});
    }

    testsupport::Xvfb x;
    TempSettings settings;
    TempDir dir;
    std::string song;
    pid_t pid = 0;
    const std::string shots = std::string(TOLVERN_BIN_DIR) + "/../tests/";
};

TEST_F(SampleXcb, CtrlEF3AndAClickInsertANoteThatCtrlSSaves) {
    settings.WriteIni("[Autoload]\nEnabled=1\nSong=" + song +
                      "\n[Mixer]\nVisible=0\n[Song edit]\nLeft=0\nTop=0\nWidth=640\nHeight=420\n");
    pid = Spawn({std::string(TOLVERN_BIN_DIR) + "/tolvern"},
                {"DISPLAY=" + x.Display(), "QT_QPA_PLATFORM=xcb",
                 "XDG_CONFIG_HOME=" + settings.ConfigHome()});
    ASSERT_NE(pid, 0);
    QImage img;
    int px = 0, py = 0;
    for (int i = 0; i < 60 && !(Shot(x.Display(), shots + "sample-xcb.png", img) &&
                                Find(img, kPartFill, 1, px, py));
         ++i)
        Wait(250);
    ASSERT_TRUE(Find(img, kPartFill, 1, px, py)) << "no part box: " << shots << "sample-xcb.png";
    ASSERT_TRUE(ClickAt(px + 10, py + 5));
    Wait(500);
    ASSERT_TRUE(Tool({"key", "ctrl+e"}));
    // The grid's first row line runs along its top from its left edge.
    int gx = 0, gy = 0;
    for (int i = 0; i < 40 && !(Shot(x.Display(), shots + "sample-xcb.png", img) &&
                                Find(img, kRowLine, 300, gx, gy));
         ++i)
        Wait(250);
    ASSERT_TRUE(Find(img, kRowLine, 300, gx, gy))
        << "no sample grid: " << shots << "sample-xcb.png";
    ASSERT_TRUE(Tool({"key", "F3"}));
    Wait(300);
    // Row 1 at x 200: the sixteenth at tick 720.
    ASSERT_TRUE(ClickAt(gx + 200, gy + 60));
    Wait(700);
    ASSERT_TRUE(Shot(x.Display(), shots + "sample-xcb.png", img));
    EXPECT_EQ(img.pixel(gx + 200, gy + 60) & 0xFFFFFF, kSelectedFill)
        << "no new note box: " << shots << "sample-xcb.png";
    EXPECT_EQ(img.pixel(gx + 20, gy + 30) & 0xFFFFFF, kPartFill) << "the first note's box";

    const auto stamp = std::filesystem::last_write_time(song);
    ASSERT_TRUE(Tool({"key", "ctrl+s"}));
    for (int i = 0; i < 50 && std::filesystem::last_write_time(song) == stamp; ++i)
        Wait(100);
    Wait(500);
    const std::string dump = dir.Path() + "events.txt";
    const pid_t d = Spawn({"sh", "-c",
                           "exec '" + std::string(TOLVERN_BIN_DIR) + "/songdump' --events '" +
                               song + "' > '" + dump + "'"},
                          {});
    ASSERT_TRUE(d && WaitFor(d, 10000) == 0);
    const std::string events = ReadText(dump);
    EXPECT_NE(events.find("0 0 720 20 1 127"), std::string::npos) << events;
    EXPECT_NE(events.find("0 0 779 30 1 0"), std::string::npos) << events;

    // Esc closes the editor, which writes its settings.
    ASSERT_TRUE(Tool({"key", "Escape"}));
    for (int i = 0; i < 40 && settings.IniText().find("[Sample edit]") == std::string::npos; ++i)
        Wait(100);
    EXPECT_NE(settings.IniText().find("[Sample edit]"), std::string::npos) << settings.IniText();
}

} // namespace
