// The key editor on a real X server: Xvfb started by the test, the program run in a child run of
// this executable on Qt's xcb platform with an autoloaded song. A click on a part and Ctrl+E
// (typed with xdotool) open the key editor; a screenshot of the screen is saved in the build
// folder (build/tests/key-xcb.png) and the grid's part of it must equal the grid's retained
// surface pixel for pixel; closing the editor writes its settings. Beside the arrange window
// the editor shows the active caption (build/tests/key-xcb-captions.png) and closes by its
// close button and by Ctrl+F4. The tracker keyboard (Ctrl+Shift+K, then "z") plays to the MIDI
// output, a press in the controller lane changes a velocity that Enter then plays, and the
// lane's part of the screen equals its retained surface (build/tests/key-xcb-lane.png). In
// step-notes mode (F4) "z" writes a note at the step cursor, which F2, Home and Enter then play,
// and the event list's part of the screen equals its surface (build/tests/key-xcb-step.png).
#include "app/arrange.h"
#include "app/dialogs.h"
#include "app/main.h"
#include "editors/midi/key.h"

#include "app/xcb_child.h"
#include "devices/midimsg.h"
#include "gui/scroll.h"
#include "platform/core/ini.h"
#include "platform/forms/application.h"
#include "platform/forms/display.h"
#include "platform/gdi/surface.h"
#include "platform/gdi/syscolors.h"
#include "platform/midi/midi.h"
#include "platform/midi/virtualmidi.h"
#include "platform/window/window.h"
#include "song/primitives.h"
#include "song/song.h"
#include "song/songfile.h"
#include "song/timebase.h"
#include "support/gui_xvfb.h"
#include "support/temp_settings.h"

#include <QImage>

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <optional>

namespace {

using namespace platform;
using testsupport::RunTool;
using testsupport::Spin;
using testsupport::SpinUntil;

constexpr const char* kChildVar = "TOLVERN_KEY_XCB_CHILD";

TEST(KeyXcb, CtrlEOpensTheKeyEditorOnARealDisplay) {
    if (std::getenv(kChildVar)) GTEST_SKIP() << "the child run of this test";
    const std::string shot = std::string(TOLVERN_BIN_DIR) + "/../tests/key-xcb.png";
    std::remove(shot.c_str());
    const TXcbChildRun run = RunXcbChild("KeyXcbChild.ClickAPartAndCtrlE", kChildVar, shot);
    if (!run.Skipped.empty()) GTEST_SKIP() << run.Skipped;
    EXPECT_EQ(run.Status, 0) << "the child run failed (its output is above)";
    std::fprintf(stderr, "screenshot: %s\n", shot.c_str());
}

TEST(KeyXcb, TheEditorsCaptionShowsItActiveAndItsButtonAndCtrlF4CloseIt) {
    if (std::getenv(kChildVar)) GTEST_SKIP() << "the child run of this test";
    const std::string shot = std::string(TOLVERN_BIN_DIR) + "/../tests/key-xcb-captions.png";
    std::remove(shot.c_str());
    const TXcbChildRun run = RunXcbChild("KeyXcbChild.CaptionsAndClosing", kChildVar, shot);
    if (!run.Skipped.empty()) GTEST_SKIP() << run.Skipped;
    EXPECT_EQ(run.Status, 0) << "the child run failed (its output is above)";
    std::fprintf(stderr, "screenshot: %s\n", shot.c_str());
}

TEST(KeyXcb, TrackerKeyAndLanePressReachTheOutput) {
    if (std::getenv(kChildVar)) GTEST_SKIP() << "the child run of this test";
    const std::string shot = std::string(TOLVERN_BIN_DIR) + "/../tests/key-xcb-lane.png";
    std::remove(shot.c_str());
    const TXcbChildRun run = RunXcbChild("KeyXcbChild.TrackerAndLane", kChildVar, shot);
    if (!run.Skipped.empty()) GTEST_SKIP() << run.Skipped;
    EXPECT_EQ(run.Status, 0) << "the child run failed (its output is above)";
    std::fprintf(stderr, "screenshot: %s\n", shot.c_str());
}

TEST(KeyXcb, AStepNoteIsWrittenAndPlayed) {
    if (std::getenv(kChildVar)) GTEST_SKIP() << "the child run of this test";
    const std::string shot = std::string(TOLVERN_BIN_DIR) + "/../tests/key-xcb-step.png";
    std::remove(shot.c_str());
    const TXcbChildRun run = RunXcbChild("KeyXcbChild.StepNote", kChildVar, shot);
    if (!run.Skipped.empty()) GTEST_SKIP() << run.Skipped;
    EXPECT_EQ(run.Status, 0) << "the child run failed (its output is above)";
    std::fprintf(stderr, "screenshot: %s\n", shot.c_str());
}

class KeyXcbChild : public XcbAppChild {
protected:
    KeyXcbChild() : XcbAppChild(kChildVar) {}
    // A MIDI part of two bars on track 0 with a short phrase, saved as the autoload song.
    std::string WriteSong() {
        const std::string path = program->Path() + "keys.seq";
        TSong* keep = Song;
        Song = new TSong;
        _TTrack* t = Song->TrackAt(0);
        t->Name = "Piano";
        t->Mode = tmMidi;
        _TPart* p = NewPart("Phrase", 0, 1920, 0);
        const int keys[] = {60, 64, 67, 72, 67, 64, 62, 60};
        for (int i = 0; i < 8; ++i) {
            AppendEvent(p, NewEvent(i ? 60 : 0, 0x00640090u | std::uint32_t(keys[i]) << 8));
            AppendEvent(p, NewEvent(180, 0x00000080u | std::uint32_t(keys[i]) << 8));
        }
        EXPECT_TRUE(InsertPart(t, p));
        EXPECT_TRUE(SaveSongFile(path));
        delete Song;
        Song = keep;
        return path;
    }
    static bool ClickAt(HWND h, int X, int Y) {
        TPoint p{X, Y};
        ClientToScreen(h, &p);
        return ClickOnScreen(p);
    }
    static bool ClickOnScreen(TPoint p) {
        return RunTool("xdotool", {"mousemove", "--sync", QString::number(p.X),
                                   QString::number(p.Y), "click", "1"});
    }
    // The program started with the song; a click on its part and Ctrl+E open the key editor.
    void StartAndOpenTheEditor(const std::string& Ini = "") {
        settings->WriteIni("[Autoload]\nEnabled=1\nSong=" + WriteSong() + "\n[Mixer]\nVisible=0\n" +
                           Ini);
        ASSERT_TRUE(StartProgram({}));
        ASSERT_NE(fmArrange, nullptr);
        ASSERT_TRUE(SpinUntil([] { return Song->TrackAt(0)->Parts != nullptr; }, 5000));
        Spin(500);
        part = Song->TrackAt(0)->Parts;
        // The click on the part's box (the arrange window's mouse makes it the current part).
        TScroll* parts = fmArrange->arrange;
        ASSERT_TRUE(ClickAt(parts->Handle(), TickToPixel(part->Start) + 12 + parts->OffsetX,
                            TrackHeight / 2 + parts->OffsetY));
        ASSERT_TRUE(SpinUntil([&] { return Song->CurrentPart == part; }, 3000))
            << "the click did not make the part current";
        EXPECT_TRUE(part->Flags & pfSelected);
        PressCtrlE();
    }
    static void PressCtrlE() {
        ASSERT_TRUE(RunTool("xdotool", {"key", "ctrl+e"}));
        ASSERT_TRUE(SpinUntil(
            [] { return fmKey && fmKey->Visible && fmKey->key->HandleAllocated(); }, 5000))
            << "Ctrl+E opened no key editor";
    }

    // The screen's pixels where Window shows equal its retained surface; the count of those
    // that differ.
    static int DiffersFromScreen(HWND Window, const QString& Shot) {
        if (!RunTool("import", {"-window", "root", Shot})) return -1;
        QImage screen(Shot);
        Surface s;
        if (screen.isNull() || !ReadWindowPixels(Window, s)) return -1;
        TRect r;
        GetWindowRect(Window, &r);
        if (r.Width() != s.width || r.Height() != s.height || s.width < 50) return -1;
        int differ = 0;
        for (int y = 0; y < s.height; ++y)
            for (int x = 0; x < s.width; ++x)
                if (r.Left + x < screen.width() && r.Top + y < screen.height())
                    differ += (screen.pixel(r.Left + x, r.Top + y) & 0xFFFFFF) !=
                              (s.Row(y)[x] & 0xFFFFFF);
        return differ;
    }
    // The note messages the output got (status, key, velocity), in order.
    std::vector<std::array<int, 3>> Notes() const {
        std::vector<std::array<int, 3>> r;
        for (const auto& m : synth.Sent())
            if (m.Bytes.size() == 3 && (m.Bytes[0] & 0xE0) == 0x80)
                r.push_back({m.Bytes[0] & 0xF0, m.Bytes[1], m.Bytes[2]});
        return r;
    }
    bool Sent(int Key, int Velocity) const {
        for (const auto& n : Notes())
            if (n[0] == 0x90 && n[1] == Key && n[2] == Velocity) return true;
        return false;
    }

    _TPart* part = nullptr;
};

TEST_F(KeyXcbChild, ClickAPartAndCtrlE) {
    ASSERT_TRUE(DisplayIsX11());
    StartAndOpenTheEditor();
    Spin(1500);
    EXPECT_EQ(fmKey->BoundPart, part);

    const QString shot = QString::fromLocal8Bit(std::getenv(kChildVar));
    ASSERT_TRUE(RunTool("import", {"-window", "root", shot}));
    QImage screen(shot);
    ASSERT_FALSE(screen.isNull());
    Surface grid;
    ASSERT_TRUE(ReadWindowPixels(fmKey->key->Handle(), grid));
    TRect r;
    GetWindowRect(fmKey->key->Handle(), &r);
    ASSERT_EQ(r.Width(), grid.width);
    ASSERT_EQ(r.Height(), grid.height);
    ASSERT_GT(grid.width, 100);
    ASSERT_GT(grid.height, 100);
    int differ = 0, notes = 0;
    for (int y = 0; y < grid.height; ++y)
        for (int x = 0; x < grid.width; ++x) {
            if (r.Left + x >= screen.width() || r.Top + y >= screen.height()) continue;
            const std::uint32_t want = grid.Row(y)[x] & 0xFFFFFF;
            differ += (screen.pixel(r.Left + x, r.Top + y) & 0xFFFFFF) != want;
            notes += want == 0xA0A050; // note fill
        }
    EXPECT_EQ(differ, 0) << "the screen differs from the grid's surface in " << differ << " pixels";
    EXPECT_GT(notes, 8 * 20) << "the phrase's boxes are not in view";

    fmKey->Close();
    ASSERT_TRUE(SpinUntil([] { return fmKey == nullptr; }, 3000));
    TIniFile ini;
    EXPECT_NE(ini.ReadString("Partedit", "Splitter", "<none>"), "<none>");
    EXPECT_NE(ini.ReadString("Part edit", "Grid", "<none>"), "<none>");
}

// The editor beside the arrange window: its caption in the active colours and the arrange
// window's in the inactive ones; its close button and Ctrl+F4 close it, while the arrange
// window refuses to close.
TEST_F(KeyXcbChild, CaptionsAndClosing) {
    ASSERT_TRUE(DisplayIsX11());
    StartAndOpenTheEditor("[Partedit]\nMaximized=0\nLeft=420\nTop=140\nWidth=560\nHeight=440\n");
    Spin(1500);
    ASSERT_EQ(fmKey->WindowState, wsNormal);
    EXPECT_EQ(fmMdi->ActiveMDIChild(), fmKey);

    const QString shot = QString::fromLocal8Bit(std::getenv(kChildVar));
    ASSERT_TRUE(RunTool("import", {"-window", "root", shot}));
    QImage screen(shot);
    ASSERT_FALSE(screen.isNull());
    // The caption's fill at its right end, left of the buttons, as the screen shows it.
    auto caption = [&](HWND h) {
        TRect r;
        GetWindowRect(h, &r);
        return screen.pixel(r.Right - 70, r.Top + 8) & 0xFFFFFFu;
    };
    auto rgb = [](int Index) {
        const std::uint32_t c = GetSysColor(Index);
        return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
    };
    EXPECT_EQ(caption(fmKey->Handle()), rgb(COLOR_ACTIVECAPTION));
    EXPECT_EQ(caption(fmArrange->Handle()), rgb(COLOR_INACTIVECAPTION));

    // The close button: the rightmost of the caption.
    auto closeButton = [](TForm* f) {
        TRect r;
        GetWindowRect(f->Handle(), &r);
        const TPoint p{r.Right - 14, r.Top + 13};
        EXPECT_EQ(SendMessage(f->Handle(), WM_NCHITTEST, 0,
                              MAKELPARAM(std::uint16_t(p.X), std::uint16_t(p.Y))),
                  HTCLOSE);
        return p;
    };
    ASSERT_TRUE(ClickOnScreen(closeButton(fmKey)));
    ASSERT_TRUE(SpinUntil([] { return fmKey == nullptr; }, 3000))
        << "the close button left the editor open";

    PressCtrlE();
    Spin(500);
    ASSERT_TRUE(RunTool("xdotool", {"key", "ctrl+F4"}));
    ASSERT_TRUE(SpinUntil([] { return fmKey == nullptr; }, 3000)) << "Ctrl+F4 left the editor open";

    // The arrange window stays, by Ctrl+F4 and by its close button.
    EXPECT_EQ(fmMdi->ActiveMDIChild(), fmArrange);
    ASSERT_TRUE(RunTool("xdotool", {"key", "ctrl+F4"}));
    ASSERT_TRUE(ClickOnScreen(closeButton(fmArrange)));
    Spin(500);
    ASSERT_NE(fmArrange, nullptr);
    EXPECT_TRUE(fmArrange->Visible);
    EXPECT_EQ(fmArrange->WindowState, wsNormal);
}

// Ctrl+Shift+K and "z" play note 24 and end it; a press in the lane over the first note sets
// its velocity, which the song then plays by Enter.
TEST_F(KeyXcbChild, TrackerAndLane) {
    ASSERT_TRUE(DisplayIsX11());
    StartAndOpenTheEditor();
    Spin(1000);
    ASSERT_TRUE(RunTool("xdotool", {"key", "ctrl+shift+k"}));
    ASSERT_TRUE(SpinUntil([] { return bool(fmKey->sbKeyb->Down); }, 3000))
        << "Ctrl+Shift+K left the tracker keyboard off";
    synth.Clear();
    ASSERT_TRUE(RunTool("xdotool", {"key", "z"}));
    EXPECT_TRUE(SpinUntil([&] { return Sent(24, 64) && Sent(24, 0); }, 3000))
        << "\"z\" played no note 24 with its end: " << Notes().size() << " notes";

    // The lane's first bar: the note at tick 0 (velocity 100).
    TScroll* lane = fmKey->control;
    const int h = fmKey->LaneH();
    ASSERT_GT(h, 20) << "the lane is hidden";
    ASSERT_TRUE(ClickAt(lane->Handle(), TfmKey::TickToFloorX(0) + 1 + lane->OffsetX, h / 2));
    int velocity = 100;
    ASSERT_TRUE(SpinUntil(
        [&] {
            velocity = int(MidiData2(part->Events->Msg));
            return velocity != 100;
        },
        3000))
        << "the lane press changed no velocity";
    EXPECT_NEAR(velocity, 64, 2);
    Spin(500);
    const QString shot = QString::fromLocal8Bit(std::getenv(kChildVar));
    EXPECT_EQ(DiffersFromScreen(lane->Handle(), shot), 0)
        << "the screen differs from the lane's surface";

    synth.Clear();
    ASSERT_TRUE(RunTool("xdotool", {"key", "Return"}));
    EXPECT_TRUE(SpinUntil([&] { return Sent(60, velocity); }, 5000))
        << "Enter played no note 60 at velocity " << velocity;
    ASSERT_TRUE(RunTool("xdotool", {"key", "space"}));
    EXPECT_TRUE(SpinUntil([] { return Song->State == 0; }, 3000));
}

// F4, Ctrl+Shift+K and "z" write note 24 at the step cursor (the part's start); F2, Home and
// Enter play it.
TEST_F(KeyXcbChild, StepNote) {
    ASSERT_TRUE(DisplayIsX11());
    StartAndOpenTheEditor();
    Spin(1000);
    ASSERT_TRUE(RunTool("xdotool", {"key", "F4"}));
    ASSERT_TRUE(SpinUntil([] { return fmKey->EditMode == 2; }, 3000)) << "F4 left the mode";
    ASSERT_TRUE(RunTool("xdotool", {"key", "ctrl+shift+k"}));
    ASSERT_TRUE(SpinUntil([] { return bool(fmKey->sbKeyb->Down); }, 3000));
    ASSERT_TRUE(RunTool("xdotool", {"key", "z"}));
    const auto written = [&] {
        for (const _TEvent* e = part->Events; e; e = e->Next)
            if (e->Delta == 0 && IsNoteOn(e->Msg) && MidiData1(e->Msg) == 24) return true;
        return false;
    };
    ASSERT_TRUE(SpinUntil(written, 3000)) << "\"z\" wrote no note 24 at the cursor";
    Spin(800);
    const QString shot = QString::fromLocal8Bit(std::getenv(kChildVar));
    // The cursor scrolled the grid to the note: its box is on the screen as on the surface.
    const TRect box{fmKey->key->OffsetX + 2, NoteToKeyY(24) + fmKey->key->OffsetY + 2,
                    fmKey->key->OffsetX + 10,
                    NoteToKeyY(24) + fmKey->key->OffsetY + NoteHeight - 1};
    ASSERT_GE(box.Top, 0) << "the note's row is above the view";
    ASSERT_LT(box.Bottom, fmKey->key->GetClientHeight()) << "the note's row is below the view";
    EXPECT_EQ(DiffersFromScreen(fmKey->key->Handle(), shot), 0);
    Surface grid;
    ASSERT_TRUE(ReadWindowPixels(fmKey->key->Handle(), grid));
    const int cy = (box.Top + box.Bottom) / 2;
    EXPECT_NE(grid.Row(cy)[box.Left + 3] & 0xFFFFFF, grid.Row(cy)[box.Left + 200] & 0xFFFFFF)
        << "no note box at the step cursor";
    EXPECT_EQ(DiffersFromScreen(fmKey->list->Handle(), shot), 0)
        << "the screen differs from the list's surface";

    synth.Clear();
    for (const char* key : {"F2", "Home", "Return"})
        ASSERT_TRUE(RunTool("xdotool", {"key", key}));
    EXPECT_TRUE(SpinUntil([&] { return Sent(24, 64); }, 5000)) << "Enter did not play the note";
    ASSERT_TRUE(RunTool("xdotool", {"key", "space"}));
    EXPECT_TRUE(SpinUntil([] { return Song->State == 0; }, 3000));
}

} // namespace
