// The key editor's grid and ruler under the harness's mouse: moving, copying, rubber-banding,
// inserting and Shift-painting notes, the refusals, autoscroll, the locators and the song
// position set in the ruler, and when the play cursor follows.
#include "editors/key_fixture.h"

#include "app/transport.h"
#include "devices/audio.h"
#include "devices/midimsg.h"
#include "gui/dragrect.h"
#include "gui/mscroll.h"
#include "gui/scroll.h"
#include "platform/core/dialogs.h"
#include "platform/forms/buttons.h"
#include "platform/window/window.h"
#include "song/timebase.h"
#include "song/undo.h"

#include <tuple>

using namespace platform;

namespace {

using TNote = std::tuple<int, int, int>; // tick in the part, key, length

std::vector<TNote> Notes(const _TPart* P) {
    std::vector<TNote> r;
    int t = 0;
    for (const _TEvent* e = P->Events; e; e = e->Next) {
        t += e->Delta;
        if (IsNoteOn(e->Msg)) r.push_back({t, int(MidiData1(e->Msg)), NoteLength(P, e)});
    }
    return r;
}

std::vector<int> Selected(const _TPart* P) {
    return SelectedNoteTicks(P);
}

class KeyMouseTest : public KeyTest {
protected:
    // Screen point of a grid content point.
    TPoint At(int x, int y) const {
        return testsupport::GuiHarness::At(k->key->Handle(), x + k->key->OffsetX,
                                           y + k->key->OffsetY);
    }
    TPoint RulerAt(int x) const {
        return testsupport::GuiHarness::At(k->meter->Handle(), x + k->meter->OffsetX, 8);
    }
    static int Row(int Note) { return NoteToKeyY(Note) + 3; }
    // Press, moves on the way, release; keys held throughout.
    void Drag(std::vector<TPoint> Path, std::initializer_list<UINT> Keys = {}) {
        for (UINT key : Keys)
            gui.KeyDown(key);
        gui.MoveTo(Path.front());
        gui.Press(Path.front());
        for (std::size_t i = 1; i < Path.size(); ++i)
            gui.MoveTo(Path[i]);
        gui.Release(Path.back());
        for (UINT key : Keys)
            gui.KeyUp(key);
        gui.Pump();
    }
};

TEST_F(KeyMouseTest, DraggedNoteMovesBySnappedTicks) {
    Start();
    for (bool snap : {true, false}) {
        _TPart* p = AddPart(0, 0, 1920, {{0, 60, 60}});
        OpenKey(p);
        k->sbSnap->Down = snap;
        // Pressed at x 8, released at x 27: 60 ticks with Snap (16 pixels a grid step), 71
        // without (ticks 30 to 101).
        Drag({At(8, Row(60)), At(20, Row(60)), At(27, Row(60))});
        EXPECT_EQ(Notes(p), (std::vector<TNote>{{snap ? 60 : 71, 60, 60}})) << snap;
        EXPECT_EQ(Song->UndoStore->Caption, "Undo move");
        EXPECT_EQ(k->Busy, 0);
        Song->Undo();
        gui.Pump();
        ASSERT_NE(Song->CurrentPart, nullptr);
        EXPECT_EQ(Notes(Song->CurrentPart), (std::vector<TNote>{{0, 60, 60}}));
        DeletePart(Song->TrackAt(0), Song->CurrentPart);
        Song->SetCurrentPart(nullptr);
    }
}

TEST_F(KeyMouseTest, CtrlDragCopiesAndAnUnselectedNoteDragsAlone) {
    Start();
    _TPart* p = AddPart(0, 0, 1920, {{0, 60, 60}, {240, 62, 60}});
    OpenKey(p);
    // A click on the unselected note selects it alone and Ctrl-drags a copy one row up.
    Drag({At(8, Row(60)), At(20, Row(62)), At(40, Row(62))}, {VK_CONTROL});
    EXPECT_EQ(Notes(p), (std::vector<TNote>{{0, 60, 60}, {120, 62, 60}, {240, 62, 60}}));
    EXPECT_EQ(Selected(p), (std::vector<int>{120}));
    EXPECT_EQ(Song->UndoStore->Caption, "Undo copy");
    // A copy drag that ends where it began copies nothing and leaves the undo step alone.
    Song->UndoStore->Begin(ukSingle, "Undo earlier");
    Drag({At(40, Row(62)), At(41, Row(62)), At(40, Row(62))}, {VK_CONTROL});
    EXPECT_EQ(Notes(p).size(), 3u);
    EXPECT_EQ(Song->UndoStore->Caption, "Undo earlier");
}

TEST_F(KeyMouseTest, RubberBandSelectsAndShiftBandDeselects) {
    Start();
    _TPart* p = AddPart(0, 0, 1920, {{0, 60, 60}, {120, 62, 60}, {480, 64, 60}});
    OpenKey(p);
    const std::vector<TPoint> band = {At(4, Row(63)), At(30, Row(61)), At(60, Row(59))};
    Drag(band);
    EXPECT_EQ(Selected(p), (std::vector<int>{0, 120}));
    EXPECT_EQ(k->Busy, 0);
    // Shift and the same band toggle the two off again; the note outside stays as it was.
    Drag(band, {VK_SHIFT});
    EXPECT_TRUE(Selected(p).empty());
    // A plain click on empty grid clears the selection.
    SelectAllNotes(p);
    Drag({At(800, Row(70)), At(800, Row(70))});
    EXPECT_TRUE(Selected(p).empty());
}

TEST_F(KeyMouseTest, AltDragResizesANoteAndScrollsOnEmptyGrid) {
    Start();
    _TPart* p = AddPart(0, 0, 960 * 8, {{0, 60, 60}, {240, 62, 60}});
    OpenKey(p);
    // Alt over a note shows the size cursor; Alt-dragging it lengthens it alone by the snapped
    // distance (x 0 to 32: 120 ticks).
    SelectAllNotes(p);
    gui.KeyDown(VK_MENU);
    gui.MoveTo(At(8, Row(60)));
    EXPECT_EQ(k->key->Cursor, crSizeWE);
    gui.Press(At(8, Row(60)));
    gui.MoveTo(At(20, Row(60)));
    gui.MoveTo(At(40, Row(60)));
    gui.Release(At(40, Row(60)));
    gui.KeyUp(VK_MENU);
    gui.Pump();
    EXPECT_EQ(Notes(p), (std::vector<TNote>{{0, 60, 180}, {240, 62, 60}}));
    EXPECT_EQ(Selected(p), (std::vector<int>{0}));
    EXPECT_EQ(Song->UndoStore->Caption, "Undo resize");
    // On empty grid Alt-drag moves the view with the pointer.
    const int before = k->ScrollX->Position;
    Drag({At(600, Row(80)), At(590, Row(80)), At(570, Row(80))}, {VK_MENU});
    EXPECT_EQ(k->ScrollX->Position, before + 30);
    EXPECT_EQ(k->HandScroll, 0);
    EXPECT_EQ(Notes(p).size(), 2u);
}

TEST_F(KeyMouseTest, InsertModePressDragsTheNewNotesLength) {
    Start();
    _TPart* p = AddPart(0, 0, 960, {});
    OpenKey(p);
    k->EditMode = 1;
    // Pressed at x 40 (tick 150, snapped to 120), dragged in two moves to x 72: the note-off
    // goes from 179 by 120 ticks.
    Drag({At(40, Row(60)), At(56, Row(60)), At(72, Row(60))});
    ASSERT_EQ(Notes(p), (std::vector<TNote>{{120, 60, 179}}));
    std::vector<std::pair<int, std::uint32_t>> events;
    int t = 0;
    for (const _TEvent* e = p->Events; e; e = e->Next)
        events.push_back({t += e->Delta, e->Msg});
    EXPECT_EQ(events,
              (std::vector<std::pair<int, std::uint32_t>>{{120, 0x00403C90u}, {299, 0x00003C90u}}));
    EXPECT_EQ(Song->UndoStore->Caption, "Undo insert");
    EXPECT_EQ(k->Busy, 0);
    // Right of the part's end nothing is inserted.
    Drag({At(k->TickToFloorX(960) + 4, Row(60)), At(k->TickToFloorX(960) + 4, Row(60))});
    EXPECT_EQ(Notes(p).size(), 1u);
}

TEST_F(KeyMouseTest, ShiftPaintingAddsOneNotePerCellUndoneAtOnce) {
    Start();
    _TPart* p = AddPart(0, 0, 960, {});
    OpenKey(p);
    k->EditMode = 1;
    Drag({At(4, Row(60)), At(20, Row(60)), At(21, Row(60)), At(36, Row(60)), At(52, Row(60))},
         {VK_SHIFT});
    EXPECT_EQ(Notes(p),
              (std::vector<TNote>{{0, 60, 59}, {60, 60, 59}, {120, 60, 59}, {180, 60, 59}}));
    EXPECT_EQ(k->PaintInsert, 0);
    Song->Undo();
    ASSERT_NE(Song->CurrentPart, nullptr);
    EXPECT_TRUE(Notes(Song->CurrentPart).empty());
}

TEST_F(KeyMouseTest, MovesThatLeaveThePartAreRefused) {
    Start();
    _TPart* p = AddPart(0, 0, 960, {{841, 60, 59}});
    OpenKey(p);
    SelectAllNotes(p);
    Song->UndoStore->Begin(ukSingle, "Undo earlier");
    // One grid step right would end the note at the part's end.
    gui.Dialogs().Answer(IDOK, "Can't move events outside part");
    EXPECT_FALSE(k->MoveSelectedNotes(60, 0, true));
    gui.Dialogs().Answer(IDOK, "Can't copy events outside part");
    EXPECT_FALSE(k->CopySelectedNotes(-900, 0));
    const auto boxes = gui.Dialogs().Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].Caption, "Move events");
    EXPECT_EQ(boxes[0].Icon, unsigned(MB_ICONINFORMATION));
    EXPECT_EQ(boxes[1].Caption, "Copy events");
    EXPECT_EQ(Notes(p), (std::vector<TNote>{{841, 60, 59}}));
    EXPECT_EQ(Song->UndoStore->Caption, "Undo earlier");
    // One step left is inside.
    EXPECT_TRUE(k->MoveSelectedNotes(-60, 0, true));
    EXPECT_EQ(Notes(p), (std::vector<TNote>{{781, 60, 59}}));
}

TEST_F(KeyMouseTest, DragPastTheRightEdgeAutoscrolls) {
    Start();
    _TPart* p = AddPart(0, 0, 960 * 40, {{0, 60, 60}});
    OpenKey(p);
    const int w = k->key->GetClientWidth();
    ASSERT_EQ(k->ScrollX->Position, 0);
    gui.MoveTo(At(8, Row(60)));
    gui.Press(At(8, Row(60)));
    gui.MoveTo(At(40, Row(60)));
    gui.MoveTo(testsupport::GuiHarness::At(k->key->Handle(), w + 20, Row(60) + k->key->OffsetY));
    EXPECT_EQ(k->ScrollX->Position, w / 6); // one step at once
    gui.Advance(50);
    EXPECT_EQ(k->ScrollX->Position, 2 * (w / 6));
    gui.Advance(100);
    EXPECT_EQ(k->ScrollX->Position, 4 * (w / 6));
    // The release stops the timer (and the moved note is scrolled into view).
    gui.Release(testsupport::GuiHarness::At(k->key->Handle(), w + 20, Row(60) + k->key->OffsetY));
    const int released = k->ScrollX->Position;
    gui.Advance(200);
    EXPECT_EQ(k->ScrollX->Position, released);
    EXPECT_FALSE(k->scrollTimer.Enabled);
}

TEST_F(KeyMouseTest, RulerSetsLocatorsAndShiftClickThePosition) {
    Start();
    _TPart* p = AddPart(0, 960, 1920, {{0, 60, 60}});
    OpenKey(p);
    // x 21 is a third of a beat (the beat at 960), x 43 two thirds (the next beat).
    gui.Click(RulerAt(21));
    gui.Click(RulerAt(43), MouseButton::Right);
    gui.Pump();
    EXPECT_EQ(Song->LeftLocator, 960);
    EXPECT_EQ(Song->RightLocator, 1200);
    EXPECT_EQ(k->Busy, 0);
    EXPECT_EQ(k->RulerButton, 2);

    synth.Clear();
    gui.KeyDown(VK_SHIFT);
    gui.Click(RulerAt(100));
    gui.KeyUp(VK_SHIFT);
    gui.Pump();
    EXPECT_EQ(Song->Position, 960 + 480);
    bool notesOff = false;
    for (const auto& s : synth.Sent())
        notesOff |= s.Bytes.size() == 3 && (s.Bytes[0] & 0xF0) == 0xB0 && s.Bytes[1] == 123;
    EXPECT_TRUE(notesOff) << "no all-notes-off after the position moved";

    // Dragged left past the window's edge, ticks below 0 set nothing.
    _TPart* q = AddPart(1, 0, 960, {{0, 60, 60}});
    OpenKey(q);
    Song->LeftLocator = 240;
    gui.MoveTo(RulerAt(20));
    gui.Press(RulerAt(20));
    gui.MoveTo(RulerAt(-200));
    EXPECT_EQ(Song->LeftLocator, 0);
    gui.Release(RulerAt(-200));
    gui.Pump();
    EXPECT_EQ(Song->LeftLocator, 0);
}

TEST_F(KeyMouseTest, RulerDragEndsWhenTheCaptureIsLost) {
    Start();
    _TPart* p = AddPart(0, 960, 1920, {{0, 60, 60}});
    OpenKey(p);
    gui.MoveTo(RulerAt(20));
    gui.Press(RulerAt(20));
    EXPECT_EQ(k->Busy, 1);
    EXPECT_EQ(GetCapture(), k->meter->Handle());
    SetCapture(k->key->Handle()); // another window takes the mouse
    EXPECT_EQ(k->Busy, 0);
    EXPECT_EQ(k->RulerButton, 2);
    ReleaseCapture();
    const int left = Song->LeftLocator;
    gui.MoveTo(RulerAt(200)); // a later move over the ruler moves no locator
    EXPECT_EQ(Song->LeftLocator, left);
    gui.Release(RulerAt(200));
}

TEST_F(KeyMouseTest, PlayCursorFollowsOnlyOutsideStepModesAndDrags) {
    Start();
    _TPart* p = AddPart(0, 0, 960 * 40, {{0, 60, 60}});
    OpenKey(p);
    const int w = k->key->GetClientWidth();
    const int far = 960 * 20; // right of the view
    const int x = k->TickToFloorX(far);
    Song->State = 2;
    auto follows = [&] {
        k->ScrollX->SetPosition(0);
        k->ScrollX->Changed();
        k->MovePlayCursor(far, true);
        k->MovePlayCursor(far, true);
        return k->ScrollX->Position != 0;
    };
    EXPECT_TRUE(follows());
    EXPECT_EQ(k->ScrollX->Position, x - w / 4);
    k->EditMode = 2;
    EXPECT_FALSE(follows());
    k->EditMode = 3;
    EXPECT_FALSE(follows());
    k->EditMode = 0;
    // A rubber band holds it off; a deactivation cancels the band and it follows again.
    gui.MoveTo(At(600, Row(80)));
    gui.Press(At(600, Row(80)));
    gui.MoveTo(At(620, Row(78)));
    EXPECT_FALSE(follows());
    fmArrange->Show(); // the arrange window comes to the front: the editor deactivates
    gui.Pump();
    EXPECT_EQ(k->Busy, 0);
    EXPECT_EQ(DragRect->Mode, 0);
    EXPECT_TRUE(follows());
    gui.Release(At(620, Row(78)));
    EXPECT_TRUE(Selected(p).empty()); // the release found no drag
    Song->State = 0;
}

TEST_F(KeyMouseTest, InsertAndPaintHoldTheRendererAndRestartPlayback) {
    Start("[Audio]\nSystem=scripted\n");
    Song->TrackAt(0)->Mode = tmSoftsynth;
    _TPart* p = AddPart(0, 0, 1920, {});
    OpenKey(p);
    k->EditMode = 1;
    ASSERT_TRUE(Audio);
    Audio->Open(fmMdi->Handle());
    Audio->Start();
    ASSERT_TRUE(Audio->Running);
    fmMdi->StartPlayback(false);
    ASSERT_EQ(Song->State, 2);
    int changes = 0, held = 0;
    KeyInsertHeldHook = [&] {
        ++changes;
        if (EnterRenderBlock())
            LeaveRenderBlock();
        else
            ++held;
    };
    // Shift-painting three cells, then a plain insert dragged longer: every note is linked
    // with the renderer held, and each gesture ends in a pause and resume of the playing song.
    WasPlaying = 0;
    Drag({At(4, Row(60)), At(20, Row(60)), At(36, Row(60))}, {VK_SHIFT});
    EXPECT_EQ(WasPlaying, 1);
    EXPECT_EQ(Song->State, 2);
    WasPlaying = 0;
    Drag({At(100, Row(64)), At(116, Row(64)), At(132, Row(64))});
    EXPECT_EQ(WasPlaying, 1);
    EXPECT_EQ(Song->State, 2);
    KeyInsertHeldHook = nullptr;
    EXPECT_EQ(changes, 4);
    EXPECT_EQ(held, 4);
    EXPECT_EQ(Notes(p).size(), 4u);
    fmMdi->StopPlayback(false);
}

TEST_F(KeyMouseTest, DeactivationEndsPaintingAndHandScrollAsTheReleaseWould) {
    Start("[Audio]\nSystem=scripted\n");
    _TPart* p = AddPart(0, 0, 1920, {});
    OpenKey(p);
    ASSERT_TRUE(Audio);
    Audio->Open(fmMdi->Handle());
    Audio->Start();
    fmMdi->StartPlayback(false);
    ASSERT_EQ(Song->State, 2);
    // Shift-painting: the editor deactivates before the release; playback starts again over
    // the painted notes all the same, and moves after it paint nothing.
    k->EditMode = 1;
    gui.KeyDown(VK_SHIFT);
    gui.MoveTo(At(4, Row(60)));
    gui.Press(At(4, Row(60)));
    gui.MoveTo(At(20, Row(60)));
    ASSERT_EQ(k->PaintInsert, 1);
    WasPlaying = 0;
    fmArrange->Show();
    gui.Pump();
    EXPECT_EQ(k->PaintInsert, 0);
    EXPECT_EQ(WasPlaying, 1);
    EXPECT_EQ(Song->State, 2);
    EXPECT_EQ(Notes(p).size(), 2u);
    k->keyMouseMove(ssShift, 36 + k->key->OffsetX, Row(60) + k->key->OffsetY);
    EXPECT_EQ(Notes(p).size(), 2u);
    gui.Release(At(36, Row(60)));
    gui.KeyUp(VK_SHIFT);
    gui.Pump();
    EXPECT_EQ(Notes(p).size(), 2u);
    // Alt on empty grid: after the deactivation a move no longer scrolls the view.
    k->Show();
    gui.Pump();
    k->EditMode = 0;
    gui.KeyDown(VK_MENU);
    gui.MoveTo(At(600, Row(80)));
    gui.Press(At(600, Row(80)));
    ASSERT_EQ(k->HandScroll, 1);
    fmArrange->Show();
    gui.Pump();
    EXPECT_EQ(k->HandScroll, 0);
    const int before = k->ScrollX->Position;
    k->keyMouseMove(ssAlt, 570 + k->key->OffsetX, Row(80) + k->key->OffsetY);
    EXPECT_EQ(k->ScrollX->Position, before);
    gui.Release(At(570, Row(80)));
    gui.KeyUp(VK_MENU);
    gui.Pump();
    fmMdi->StopPlayback(false);
}

} // namespace
