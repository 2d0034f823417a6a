// The parts area under the harness's mouse: moving and copying parts by rows and snapped bars,
// resizing by the half hit, the rubber band, double-clicks, hand scrolling, the auto-scroll, a
// drag cancelled by deactivation, and the edit guard around every change while the song plays
// or records.
#include "arrange_fixture.h"

#include "app/transport.h"
#include "devices/audio.h"
#include "gui/dragrect.h"
#include "gui/mscroll.h"
#include "platform/window/input.h"
#include "song/render.h"
#include "song/timebase.h"
#include "song/undo.h"

using namespace platform;

namespace {

class ArrangeMouse : public ArrangeTest {
protected:
    void SetUp() override {
        ArrangeTest::SetUp();
        Start(Ini());
        // Locators far to the right unless a test moves them.
        Song->Position = 960 * 40;
        Song->LeftLocator = 960 * 41;
        Song->RightLocator = 960 * 42;
        for (int i = 0; i < 8; ++i)
            Song->TrackAt(i)->Mode = tmMidi;
    }
    void TearDown() override {
        UndoBeginHook = nullptr;
        ArrangeSeams().OpenEditor = nullptr;
        ArrangeTest::TearDown();
    }
    virtual std::string Ini() const { return ""; }
    // Screen point of a content point of the parts area.
    TPoint At(int x, int y) const {
        return testsupport::GuiHarness::At(a->arrange->Handle(), x + a->arrange->OffsetX,
                                           y + a->arrange->OffsetY);
    }
    void Drag(std::vector<TPoint> Path, std::initializer_list<UINT> Keys = {}) {
        gui.DragAlong(Path, Keys);
    }
    void DoubleClick(TPoint p, std::initializer_list<UINT> Keys = {}) {
        gui.Advance(1000);
        for (UINT key : Keys)
            gui.KeyDown(key);
        gui.Click(p);
        gui.Click(p);
        for (UINT key : Keys)
            gui.KeyUp(key);
        gui.Pump();
    }
    static int RowY(int Track) { return Track * TrackHeight + 5; }
    void MarkUndo() { Song->UndoStore->Begin(ukSingle, "Undo earlier"); }
};

// At TrackHeight 18 the nearest row wins (9 pixels is half a row, rounded away from zero); the
// ticks follow the bar snap (24 pixels a bar at BeatWidth 6).
TEST_F(ArrangeMouse, DraggedPartMovesByNearestRowAndSnappedBars) {
    ASSERT_EQ(TrackHeight, 18);
    ASSERT_EQ(a->SnapMode, 2);
    _TPart* p = AddPart(2, 0, 1920, "Bass", {{0, 60}});
    struct {
        int dx, dy, track, start;
    } cases[] = {{0, 9, 3, 0}, {0, 8, 3, 0}, {0, -9, 2, 0}, {30, 0, 2, 960}};
    for (const auto& c : cases) {
        MarkUndo();
        const int x = 10 + TickToPixel(p->Start), y = RowY(p->Track);
        Drag({At(x, y), At(x + c.dx / 2, y + c.dy / 2), At(x + c.dx, y + c.dy)});
        EXPECT_EQ(p->Track, c.track) << c.dx << "," << c.dy;
        EXPECT_EQ(p->Start, c.start) << c.dx << "," << c.dy;
        const bool moved = c.dy == 9 || c.dy == -9 || c.dx != 0;
        EXPECT_EQ(Song->UndoStore->Caption, moved ? "Undo move" : "Undo earlier");
        EXPECT_EQ(a->Dragging, 0);
        EXPECT_EQ(DragRect->Mode, 0);
    }
    EXPECT_EQ(Song->TrackAt(2)->Parts, p);
    EXPECT_EQ(PartsPixel(TickToPixel(960) + 30, RowY(2) + 5), Rgb(fmMdi->PartsSelectedColor));
    EXPECT_EQ(PartsPixel(10, RowY(3) + 5), Rgb(fmMdi->ControlBkColor));
}

TEST_F(ArrangeMouse, ClickReleaseChangesNothingAndCtrlDragCopies) {
    _TPart* p = AddPart(1, 0, 1920, "Keys", {{0, 60}});
    p->Flags |= pfSelected;
    a->arrange->Invalidate();
    gui.Pump();
    MarkUndo();
    for (auto keys : {std::initializer_list<UINT>{}, {VK_CONTROL}}) {
        Drag({At(10, RowY(1)), At(10, RowY(1))}, keys);
        EXPECT_EQ(Song->UndoStore->Caption, "Undo earlier");
        EXPECT_TRUE(p->Flags & pfSelected);
        EXPECT_EQ(p->Next, nullptr);
        EXPECT_EQ(GetCursor(), CursorOf(crDefault));
    }
    // Ctrl+drag by a wide detour (the picture passes over empty rows) one row down.
    Drag({At(10, RowY(1)), At(200, RowY(5)), At(10, RowY(2))}, {VK_CONTROL});
    EXPECT_EQ(Song->UndoStore->Caption, "Undo copy");
    _TPart* copy = Song->TrackAt(2)->Parts;
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->Start, 0);
    EXPECT_EQ(copy->Name, "Keys");
    EXPECT_TRUE(copy->Flags & pfSelected);
    EXPECT_FALSE(p->Flags & pfSelected);
    EXPECT_EQ(Song->TrackAt(1)->Parts, p);
    EXPECT_EQ(GetCursor(), CursorOf(crDefault));
    // No picture left anywhere: the copy and the original as drawn parts, the detour empty.
    EXPECT_EQ(PartsPixel(30, RowY(2) + 6), Rgb(fmMdi->PartsSelectedColor));
    EXPECT_EQ(PartsPixel(30, RowY(1) + 6), Rgb(fmMdi->PartsBkColor));
    for (int y : {RowY(4), RowY(5), RowY(5) + 8})
        for (int x = 190; x < 260; x += 3)
            ASSERT_EQ(PartsPixel(x, y), Rgb(fmMdi->ControlBkColor)) << x << "," << y;
}

// Alt on the exact middle tick takes the right edge; the first move after the press leaves the
// edge where it is and later moves drag it; one bar more grows the part by 960.
TEST_F(ArrangeMouse, AltDragResizesByTheHalfHitInWholeSteps) {
    _TPart* p = AddPart(0, 0, 1920, "Pad", {{0, 60}});
    gui.KeyDown(VK_MENU);
    gui.MoveTo(At(24, RowY(0)));
    gui.Press(At(24, RowY(0)));
    EXPECT_EQ(DragRect->Mode, 5);
    gui.MoveTo(At(48, RowY(0)));
    EXPECT_EQ(DragRect->CurX, 24); // the first move leaves the edge
    gui.MoveTo(At(50, RowY(0)));
    EXPECT_EQ(DragRect->CurX, 48);
    gui.Release(At(50, RowY(0)));
    gui.KeyUp(VK_MENU);
    gui.Pump();
    EXPECT_EQ(p->Start, 0);
    EXPECT_EQ(p->Length, 2880);
    EXPECT_EQ(Song->UndoStore->Caption, "Undo resize");
    EXPECT_EQ(Song->CurrentPart, p);
    EXPECT_EQ(PartsPixel(TickToPixel(2880) - 6, RowY(0) + 6), Rgb(fmMdi->PartsSelectedColor));
    // A drag that ends in its start column changes nothing and keeps the undo step.
    MarkUndo();
    Drag({At(48, RowY(0)), At(60, RowY(0)), At(70, RowY(0))}, {VK_MENU});
    EXPECT_EQ(p->Length, 2880);
    EXPECT_EQ(Song->UndoStore->Caption, "Undo earlier");
    // Left of the middle the start moves, here in beats.
    a->SnapMode = 1;
    Drag({At(8, RowY(0)), At(10, RowY(0)), At(20, RowY(0))}, {VK_MENU});
    EXPECT_EQ(p->Start, 480);
    EXPECT_EQ(p->Length, 2400);
    EXPECT_EQ(Song->UndoStore->Caption, "Undo resize");
}

// Shift keeps the selection and the band toggles every part it touches.
TEST_F(ArrangeMouse, ShiftBandTogglesSelectedAndUnselectedParts) {
    _TPart* x = AddPart(0, 960, 960, "X");
    _TPart* y = AddPart(1, 960, 960, "Y");
    _TPart* z = AddPart(5, 960, 960, "Z");
    x->Flags |= pfSelected;
    z->Flags |= pfSelected;
    Drag({At(100, RowY(0)), At(60, RowY(1)), At(10, RowY(1))}, {VK_SHIFT});
    EXPECT_FALSE(x->Flags & pfSelected);
    EXPECT_TRUE(y->Flags & pfSelected);
    EXPECT_TRUE(z->Flags & pfSelected);    // outside the band
    EXPECT_EQ(Song->CurrentPart, nullptr); // two selected
    // A plain band from empty space selects only what it touches.
    Drag({At(100, RowY(5)), At(10, RowY(5))});
    EXPECT_TRUE(z->Flags & pfSelected);
    EXPECT_FALSE(y->Flags & pfSelected);
    EXPECT_EQ(Song->CurrentPart, z);
}

TEST_F(ArrangeMouse, DoubleClicksInsertOpenAndSplit) {
    Song->LeftLocator = 1920;
    Song->RightLocator = 3840;
    DoubleClick(At(30, RowY(3))); // left of the locators: nothing
    EXPECT_EQ(Song->TrackAt(3)->Parts, nullptr);
    DoubleClick(At(60, RowY(3)));
    _TPart* made = Song->TrackAt(3)->Parts;
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->Start, 1920);
    EXPECT_EQ(made->Length, 1920);
    EXPECT_EQ(Song->UndoStore->Caption, "Undo insert");

    // On a part: it becomes the current part and its editor opens.
    Song->TrackAt(4)->Mode = tmAudio;
    _TPart* audio = AddPart(4, 0, 1920, "Take");
    std::vector<int> opened;
    ArrangeSeams().OpenEditor = [&](int Mode) { opened.push_back(Mode); };
    DoubleClick(At(10, RowY(4)));
    EXPECT_EQ(opened, std::vector<int>{tmAudio});
    EXPECT_EQ(Song->CurrentPart, audio);
    EXPECT_TRUE(audio->Flags & pfSelected);
    EXPECT_FALSE(made->Flags & pfSelected);

    // Alt: the selected parts that span the snapped tick are cut there.
    DoubleClick(At(30, RowY(4)), {VK_MENU});
    EXPECT_EQ(Song->UndoStore->Caption, "Undo split");
    EXPECT_EQ(audio->Length, 960);
    ASSERT_NE(audio->Next, nullptr);
    EXPECT_EQ(audio->Next->Start, 960);
}

TEST_F(ArrangeMouse, AltDragOnEmptySpaceScrollsWithTheMouse) {
    a->ScrollY->Max = 2000;
    Drag({At(200, 100), At(180, 90), At(150, 80)}, {VK_MENU});
    EXPECT_EQ(a->ScrollX->Position, 50);
    EXPECT_EQ(a->ScrollY->Position, 20);
    EXPECT_EQ(a->arrange->OffsetX, -50);
    EXPECT_EQ(a->HandScroll, 0);
    EXPECT_EQ(Song->UndoStore->Kind, ukNone);
}

// Held 20 pixels right of the view the drag scrolls 36 pixels at once and every 50 ms after,
// and the range grows at its end.
TEST_F(ArrangeMouse, DragOutOfTheViewScrollsAndDeactivationCancelsIt) {
    _TPart* p = AddPart(0, 0, 960, "Lead");
    const int w = a->arrange->GetClientWidth();
    gui.MoveTo(At(10, RowY(0)));
    gui.Press(At(10, RowY(0)));
    gui.MoveTo(At(20, RowY(0)));
    gui.MoveTo(testsupport::GuiHarness::At(a->arrange->Handle(), w + 20, RowY(0)));
    EXPECT_TRUE(a->scrollTimer.Enabled);
    EXPECT_EQ(a->ScrollX->Position, 36);
    gui.Advance(100);
    EXPECT_EQ(a->ScrollX->Position, 108);
    a->ScrollX->SetPosition(a->ScrollX->Max);
    const int max = a->ScrollX->Max;
    gui.Advance(50);
    EXPECT_EQ(a->ScrollX->Max, max + w);

    // Another window comes to the front: the drag ends, the release changes nothing.
    auto* other = new TForm(Application);
    other->FormStyle = fsMDIChild;
    other->Caption = "Other";
    other->Show();
    gui.Pump();
    EXPECT_EQ(DragRect->Mode, 0);
    EXPECT_EQ(a->Dragging, 0);
    EXPECT_FALSE(a->scrollTimer.Enabled);
    gui.Release(At(200, RowY(2)));
    gui.Pump();
    EXPECT_EQ(p->Start, 0);
    EXPECT_EQ(p->Track, 0);
    EXPECT_EQ(Song->UndoStore->Kind, ukNone);
    other->Free();
}

TEST_F(ArrangeMouse, RecordingDropsMovesCopiesAndResizes) {
    _TPart* p = AddPart(0, 0, 1920, "Rec", {{0, 60}});
    MarkUndo();
    Song->State = 1;
    Drag({At(10, RowY(0)), At(40, RowY(1)), At(60, RowY(1))});
    Drag({At(10, RowY(0)), At(40, RowY(1)), At(60, RowY(1))}, {VK_CONTROL});
    Drag({At(30, RowY(0)), At(40, RowY(0)), At(60, RowY(0))}, {VK_MENU});
    Song->State = 0;
    EXPECT_EQ(Song->TrackAt(0)->Parts, p);
    EXPECT_EQ(p->Next, nullptr);
    EXPECT_EQ(Song->TrackAt(1)->Parts, nullptr);
    EXPECT_EQ(p->Start, 0);
    EXPECT_EQ(p->Length, 1920);
    EXPECT_EQ(Song->UndoStore->Caption, "Undo earlier");
    EXPECT_EQ(a->Dragging, 0);
    EXPECT_EQ(PartsPixel(30, RowY(0) + 6), Rgb(fmMdi->PartsSelectedColor));
}

// Playing through the scripted audio driver: every step the mouse opens is opened under a
// granted pause (the song stopped for it), except the insertion between the locators, which
// holds the renderer off while it links the part.
class ArrangeMousePlaying : public ArrangeMouse {
protected:
    std::string Ini() const override { return "[Audio]\nSystem=scripted\nEnabled=1\n"; }
};

TEST_F(ArrangeMousePlaying, EveryChangeIsMadeUnderAGrantedPause) {
    ASSERT_TRUE(Audio && Audio->AudioOn);
    _TPart* p = AddPart(0, 0, 1920, "Loop", {{0, 60}, {480, 62}});
    Song->Position = 0;
    fmMdi->StartPlayback(false);
    ASSERT_EQ(Song->State, 2);
    std::vector<std::string> unpaused, steps;
    UndoBeginHook = [&](int Kind, std::string_view Caption) {
        if (Kind == ukNone) return;
        steps.emplace_back(Caption);
        if (!Paused || Song->State != 0) unpaused.emplace_back(Caption);
    };
    bool held = false;
    InsertPartHeldHook = [&] {
        held = !EnterRenderBlock();
        if (!held) LeaveRenderBlock();
    };
    Drag({At(10, RowY(0)), At(20, RowY(1)), At(34, RowY(1))}); // move
    ASSERT_EQ(Song->State, 2);
    Drag({At(34, RowY(1)), At(40, RowY(2)), At(34, RowY(2))}, {VK_CONTROL}); // copy
    Drag({At(70, RowY(2)), At(80, RowY(2)), At(100, RowY(2))}, {VK_MENU});   // resize
    DoubleClick(At(60, RowY(2)), {VK_MENU});                                 // split
    Song->LeftLocator = 0;
    Song->RightLocator = 960;
    DoubleClick(At(10, RowY(6))); // insert: no pause, the renderer held
    EXPECT_EQ(Song->State, 2);
    fmMdi->StopPlayback(false);
    EXPECT_EQ(steps, (std::vector<std::string>{"Undo move", "Undo copy", "Undo resize",
                                               "Undo split", "Undo insert"}));
    EXPECT_EQ(unpaused, std::vector<std::string>{"Undo insert"});
    EXPECT_TRUE(held);
    EXPECT_EQ(p->Track, 1);
    EXPECT_EQ(p->Start, 960);
    _TPart* copy = Song->TrackAt(2)->Parts;
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->Length, 960); // grown by two bars to 3840, then cut at 1920
    ASSERT_NE(copy->Next, nullptr);
    EXPECT_EQ(copy->Next->Length, 2880);
}

} // namespace

namespace {

TEST_F(ArrangeMouse, SnapMenuSetsBeatsOrBarsAndChecksTheCurrentOne) {
    ASSERT_NE(a->miSnap, nullptr);
    EXPECT_EQ(a->miSnap->Caption, "Snap");
    a->miSnapBeats->Click();
    EXPECT_EQ(a->SnapMode, 1);
    EXPECT_EQ(a->DragSnapStep(), BeatWidth);
    a->miSnap->Click(); // opening it
    EXPECT_TRUE(a->miSnapBeats->Checked);
    EXPECT_FALSE(a->miSnapBars->Checked);
    a->miSnapBars->Click();
    a->miSnap->Click();
    EXPECT_EQ(a->SnapMode, 2);
    EXPECT_EQ(a->DragSnapStep(), BeatWidth * 4);
    EXPECT_TRUE(a->miSnapBars->Checked);
}

} // namespace
