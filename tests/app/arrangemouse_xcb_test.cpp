// A part dragged with the real pointer on a real X server: Xvfb started by the test, the program
// run in a child run of this executable on Qt's xcb platform with an autoloaded song; xdotool
// presses on a part, moves the pointer one track row down and releases. The screen is saved
// before and after in the build folder (build/tests/arrange-drag-before.png and
// arrange-drag-after.png).
#include "app/arrange.h"

#include "xcb_child.h"

#include "gui/scroll.h"
#include "platform/window/window.h"
#include "song/primitives.h"
#include "song/song.h"
#include "song/songfile.h"
#include "song/timebase.h"
#include "song/undo.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using namespace platform;
using testsupport::RunTool;
using testsupport::Spin;
using testsupport::SpinUntil;

constexpr const char* kChildVar = "TOLVERN_ARRANGE_DRAG_XCB_CHILD";

TEST(ArrangeDragXcb, ARealPointerDragMovesAPartOneTrackDown) {
    if (std::getenv(kChildVar)) GTEST_SKIP() << "the child run of this test";
    const std::string shots = std::string(TOLVERN_BIN_DIR) + "/../tests/arrange-drag";
    for (const char* s : {"-before.png", "-after.png"})
        std::remove((shots + s).c_str());
    const TXcbChildRun run = RunXcbChild("ArrangeDragXcbChild.*", kChildVar, shots);
    if (!run.Skipped.empty()) GTEST_SKIP() << run.Skipped;
    EXPECT_EQ(run.Status, 0) << "the child run failed (its output is above)";
    std::fprintf(stderr, "screenshots: %s-before.png, %s-after.png\n", shots.c_str(),
                 shots.c_str());
}

class ArrangeDragXcbChild : public XcbAppChild {
protected:
    ArrangeDragXcbChild() : XcbAppChild(kChildVar) {}
    // A small arrangement on four MIDI tracks, saved as the autoload song.
    std::string WriteSong() {
        const std::string path = program->Path() + "drag.seq";
        TSong* keep = Song;
        Song = new TSong;
        struct {
            const char* Track;
            const char* Part;
            int Row, Start, Length;
        } parts[] = {{"Drums", "Beat", 0, 0, 3840},
                     {"Drums", "Fill", 0, 3840, 960},
                     {"Bass", "Line", 1, 1920, 3840},
                     {"Piano", "Chords", 3, 0, 1920},
                     {"Piano", "Chords 2", 3, 3840, 1920}};
        for (const auto& d : parts) {
            _TTrack* t = Song->TrackAt(d.Row);
            t->Name = d.Track;
            t->Mode = tmMidi;
            _TPart* p = NewPart(d.Part, d.Start, d.Length, d.Row);
            for (int i = 0; i < d.Length / 240; ++i) {
                AppendEvent(p,
                            NewEvent(i ? 120 : 0, 0x00640090u | std::uint32_t(48 + i % 12) << 8));
                AppendEvent(p, NewEvent(120, 0x00000080u | std::uint32_t(48 + i % 12) << 8));
            }
            EXPECT_TRUE(InsertPart(t, p));
        }
        Song->TrackAt(2)->Name = "Strings";
        Song->TrackAt(2)->Mode = tmMidi;
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
    static bool Shot(const std::string& Path) {
        if (!RunTool("import", {"-window", "root", QString::fromStdString(Path)})) return false;
        return !QImage(QString::fromStdString(Path)).isNull();
    }
};

TEST_F(ArrangeDragXcbChild, DragOneRowDown) {
    ASSERT_TRUE(DisplayIsX11());
    settings->WriteIni("[Autoload]\nEnabled=1\nSong=" + WriteSong() + "\n[Mixer]\nVisible=0\n");
    ASSERT_TRUE(StartProgram({}));
    ASSERT_NE(fmArrange, nullptr);
    ASSERT_TRUE(SpinUntil([] { return Song->TrackAt(3)->Parts != nullptr; }, 5000));
    Spin(800);
    _TPart* part = Song->TrackAt(3)->Parts; // "Chords" on the Piano track
    ASSERT_EQ(part->Name, "Chords");
    const std::string shots = Value();
    ASSERT_TRUE(Shot(shots + "-before.png"));

    TScroll* area = fmArrange->arrange;
    const HWND h = area->Handle();
    const int x = TickToPixel(part->Start) + 14 + area->OffsetX;
    const int y = 3 * TrackHeight + TrackHeight / 2 + area->OffsetY;
    ASSERT_TRUE(Pointer(h, x, y, {"mousedown", "1"}));
    Spin(200);
    for (int dy : {4, 8, 12, TrackHeight})
        ASSERT_TRUE(Pointer(h, x, y + dy, {}));
    Spin(200);
    ASSERT_TRUE(RunTool("xdotool", {"mouseup", "1"})); // where the last move left it
    ASSERT_TRUE(SpinUntil([&] { return part->Track == 4; }, 3000))
        << "the part is on track " << part->Track;
    EXPECT_EQ(part->Start, 0);
    EXPECT_EQ(Song->TrackAt(4)->Parts, part);
    EXPECT_EQ(Song->TrackAt(3)->Parts->Name, "Chords 2");
    EXPECT_EQ(Song->UndoStore->Caption, "Undo move");
    EXPECT_EQ(fmArrange->Dragging, 0);
    Spin(800);
    ASSERT_TRUE(Shot(shots + "-after.png"));
}

} // namespace
