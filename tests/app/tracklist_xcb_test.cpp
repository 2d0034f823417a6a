// The track list with the real pointer on a real X server: Xvfb started by the test, the program
// run in a child run of this executable on Qt's xcb platform with an autoloaded song; xdotool
// clicks a row's "M", drags a row's volume slider and drags a row onto another. The screen is
// saved at the end in the build folder (build/tests/tracklist-xcb.png).
#include "app/arrange.h"

#include "xcb_child.h"

#include "gui/scroll.h"
#include "platform/window/window.h"
#include "song/song.h"
#include "song/songfile.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using namespace platform;
using testsupport::RunTool;
using testsupport::Spin;
using testsupport::SpinUntil;

constexpr const char* kChildVar = "TOLVERN_TRACKLIST_XCB_CHILD";

TEST(TrackListXcb, MuteValueAndRowDragWithARealPointer) {
    if (std::getenv(kChildVar)) GTEST_SKIP() << "the child run of this test";
    const std::string shot = std::string(TOLVERN_BIN_DIR) + "/../tests/tracklist-xcb";
    std::remove((shot + ".png").c_str());
    const TXcbChildRun run = RunXcbChild("TrackListXcbChild.*", kChildVar, shot);
    if (!run.Skipped.empty()) GTEST_SKIP() << run.Skipped;
    EXPECT_EQ(run.Status, 0) << "the child run failed (its output is above)";
    std::fprintf(stderr, "screenshot: %s.png\n", shot.c_str());
}

class TrackListXcbChild : public XcbAppChild {
protected:
    TrackListXcbChild() : XcbAppChild(kChildVar) {}
    // Four MIDI tracks with names, channels, programs and a few values, saved as the autoload
    // song.
    std::string WriteSong() {
        const std::string path = program->Path() + "tracks.seq";
        TSong* keep = Song;
        Song = new TSong;
        const char* names[] = {"Drums", "Bass", "Strings", "Piano"};
        for (int i = 0; i < 4; ++i) {
            _TTrack* t = Song->TrackAt(i);
            t->Name = names[i];
            t->Mode = tmMidi;
            t->Channel = i == 0 ? 9 : i;
            t->Program = i * 16;
            t->Bank = i == 3 ? 1 : -1;
            t->Volume = 100 - 10 * i;
            t->Pan = i == 1 ? 20 : -1;
            t->Reverb = 40;
        }
        Song->TrackAt(5)->Mode = tmAudio;
        Song->TrackAt(5)->Name = "Loops";
        EXPECT_TRUE(SaveSongFile(path));
        delete Song;
        Song = keep;
        return path;
    }
    static bool Pointer(HWND h, int X, int Y, const QStringList& Then) {
        TPoint p{X, Y};
        ClientToScreen(h, &p);
        return RunTool(
            "xdotool",
            QStringList{"mousemove", "--sync", QString::number(p.X), QString::number(p.Y)} + Then);
    }
};

TEST_F(TrackListXcbChild, MuteValueAndRowDrag) {
    ASSERT_TRUE(DisplayIsX11());
    // The form's column widths, the list wide enough for all of them.
    settings->WriteIni("[Autoload]\nEnabled=1\nSong=" + WriteSong() +
                       "\n[Mixer]\nVisible=0\n[Song edit]\nLeft=0\nTop=0\nWidth=900\nHeight=420\n"
                       "Split=571\nCol0=16\nCol1=80\nCol2=30\nCol3=25\nCol4=120\nCol5=50\n"
                       "Col6=50\nCol7=50\nCol8=50\nCol9=50\nCol10=46\n");
    ASSERT_TRUE(StartProgram({}));
    ASSERT_NE(fmArrange, nullptr);
    ASSERT_TRUE(SpinUntil([] { return Song->TrackAt(3)->Name == "Piano"; }, 5000));
    Spin(800);
    TScroll* list = fmArrange->tracks;
    const HWND h = list->Handle();
    auto rowY = [&](int Row) { return Row * TrackHeight + TrackHeight / 2 + list->OffsetY; };

    // "M" (126..151) of row 2.
    ASSERT_TRUE(Pointer(h, 138, rowY(2), {"click", "1"}));
    ASSERT_TRUE(SpinUntil([] { return Song->TrackAt(2)->Mute == 1; }, 3000));
    EXPECT_EQ(Song->CurrentTrackIndex, 0);

    // "Vol" (321..371): from the slider's left end (326, value 0) to 346, half way.
    ASSERT_TRUE(Pointer(h, 326, rowY(1), {"mousedown", "1"}));
    ASSERT_TRUE(SpinUntil([] { return Song->TrackAt(1)->Volume == 0; }, 3000));
    for (int x : {332, 340, 346})
        ASSERT_TRUE(Pointer(h, x, rowY(1), {}));
    ASSERT_TRUE(RunTool("xdotool", {"mouseup", "1"}));
    ASSERT_TRUE(SpinUntil([] { return Song->TrackAt(1)->Volume == 64; }, 3000))
        << Song->TrackAt(1)->Volume;

    // "Piano" (row 3) dragged by its name onto row 0.
    ASSERT_TRUE(Pointer(h, 40, rowY(3), {"mousedown", "1"}));
    Spin(200);
    for (int row : {2, 1, 0})
        ASSERT_TRUE(Pointer(h, 40, rowY(row), {}));
    ASSERT_TRUE(RunTool("xdotool", {"mouseup", "1"}));
    ASSERT_TRUE(SpinUntil([] { return Song->TrackAt(0)->Name == "Piano"; }, 3000));
    EXPECT_EQ(Song->CurrentTrackIndex, 0);
    EXPECT_EQ(Song->TrackAt(1)->Name, "Drums");
    EXPECT_EQ(Song->TrackAt(3)->Name, "Strings");
    EXPECT_EQ(Song->TrackAt(3)->Mute, 1);
    Spin(800);
    ASSERT_TRUE(RunTool("import", {"-window", "root", QString::fromStdString(Value() + ".png")}));
    EXPECT_FALSE(QImage(QString::fromStdString(Value() + ".png")).isNull());
}

} // namespace
