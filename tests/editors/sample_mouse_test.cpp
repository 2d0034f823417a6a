// The sample-part editor's grid and ruler under the harness's mouse and keys: moving, copying,
// inserting and Shift-painting sample notes, the refusals and the undo steps they leave, step
// input, auto-scroll, a drag cut short by deactivation, and the locators set in the ruler.
#include "editors/sample_fixture.h"

#include "app/transport.h"
#include "devices/audio.h"
#include "gui/dragrect.h"
#include "gui/mscroll.h"
#include "gui/scroll.h"
#include "platform/core/dialogs.h"
#include "platform/forms/buttons.h"
#include "platform/window/window.h"
#include "song/undo.h"

using namespace platform;

namespace {

class SampleMouse : public SampleTest {
protected:
    // An audio track with Slots slots and a part of four bars at Start, opened.
    _TPart* Open(std::vector<TSampleNote> Notes, int Slots = 2, int Start = 0, int Length = 3840) {
        MakeAudioTrack(1, Slots);
        _TPart* p = AddSamplePart(1, Start, Length, Notes);
        OpenAudio(p);
        return p;
    }
    static int Row(int R) { return R * 40 + 20; }
    // The part's events as (tick, message).
    static std::vector<std::pair<int, std::uint32_t>> Events(const _TPart* P) {
        std::vector<std::pair<int, std::uint32_t>> r;
        int t = 0;
        for (const _TEvent* e = P->Events; e; e = e->Next)
            r.emplace_back(t += e->Delta, e->Msg);
        return r;
    }
    // Opens an undo step no edit here takes.
    static void MarkUndo() {
        Song->UndoStore->Begin(ukEdit, "Undo marker");
        Song->UndoStore->AddPart(CopyPart(Song->CurrentPart));
    }
};

TEST_F(SampleMouse, DraggedNoteMovesBySnappedTicksAndSendsNothing) {
    Start();
    for (bool snap : {true, false}) {
        SCOPED_TRACE(snap);
        _TPart* p = Open({{0, 0, 60}});
        s->sbSnap->Down = snap;
        synth.Clear();
        // Pressed at x 8, released at x 27: ticks 30 to 101, 60 on the grid.
        Drag({At(8, Row(0)), At(20, Row(0)), At(27, Row(0))});
        EXPECT_EQ(SampleNotes(p), (std::vector<TSampleNote>{{snap ? 60 : 71, 0, 60}}));
        EXPECT_EQ(Song->UndoStore->Caption, "Undo move");
        EXPECT_TRUE(synth.Sent().empty());
        EXPECT_FALSE(s->Dragging);
        TearDown();
        Start();
    }
}

TEST_F(SampleMouse, ReleasesThatChangeNothingKeepThePreviousUndoStep) {
    Start();
    _TPart* p = Open({{0, 0, 60}, {840, 1, 60}}, 2, 0, 960);
    const auto before = Events(p);
    MarkUndo();
    // On the press point; a move past the part's end (refused); a drag rounded to nothing.
    Drag({At(8, Row(0)), At(40, Row(0)), At(8, Row(0))});
    gui.Dialogs().Answer(IDOK, "Can't move events outside part");
    Drag({At(229, Row(1)), At(245, Row(1))});
    Drag({At(8, Row(0)), At(12, Row(0))});
    EXPECT_EQ(Events(Song->CurrentPart), before);
    EXPECT_EQ(Song->UndoStore->Caption, "Undo marker");
    const auto boxes = gui.Dialogs().Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Caption, "Move events");
}

TEST_F(SampleMouse, CtrlDragCopiesAndAGridOfFifteenSnapsASmallMove) {
    Start();
    _TPart* p = Open({{0, 0, 60}});
    Drag({At(8, Row(0)), At(20, Row(0)), At(27, Row(0))}, {VK_CONTROL});
    EXPECT_EQ(SampleNotes(p), (std::vector<TSampleNote>{{0, 0, 60}, {60, 0, 60}}));
    EXPECT_EQ(Song->UndoStore->Caption, "Undo copy");
    // 64ths: a drag of 7 ticks (x 8 to 10) rounds to one step of 15.
    Song->EditRes = 64;
    s->audio->Invalidate();
    gui.Pump();
    UnselectEvents(p);
    Drag({At(200, Row(1)), At(210, Row(1))}); // nothing there: a band that selects nothing
    Drag({At(8, Row(0)), At(10, Row(0))});
    EXPECT_EQ(std::get<0>(SampleNotes(p)[0]), 15);
}

TEST_F(SampleMouse, InsertModeAddsANoteAndShiftPaintsARow) {
    // The renderer runs: no block renders while a note is linked.
    Start("[Audio]\nSystem=scripted\n");
    ASSERT_TRUE(Audio);
    Audio->Open(fmMdi->Handle());
    Audio->Start();
    ASSERT_TRUE(Audio->Running);
    _TPart* p = Open({});
    int held = 0, free = 0;
    SampleInsertHeldHook = [&] {
        if (EnterRenderBlock()) {
            LeaveRenderBlock();
            ++free;
        } else {
            ++held;
        }
    };
    gui.Key(VK_F3);
    gui.Click(At(40, 60));
    gui.Pump();
    EXPECT_EQ(Events(p),
              (std::vector<std::pair<int, std::uint32_t>>{{120, 0x3F7F0120u}, {179, 0x0130u}}));
    EXPECT_EQ(Song->UndoStore->Caption, "Undo insert");
    EXPECT_EQ(held, 1);
    // Below the last slot: nothing.
    gui.Click(At(40, Row(2)));
    EXPECT_EQ(Events(p).size(), 2u);

    Song->Undo();
    p = Song->CurrentPart;
    Drag({At(40, Row(0)), At(56, Row(0)), At(72, Row(0)), At(88, Row(0)), At(100, Row(0)),
          At(102, Row(0))},
         {VK_SHIFT});
    std::vector<TSampleNote> painted;
    for (int t : {120, 180, 240, 300, 360})
        painted.emplace_back(t, 0, 59);
    EXPECT_EQ(SampleNotes(Song->CurrentPart), painted);
    EXPECT_EQ(held, 1 + 5);
    EXPECT_EQ(free, 0);
    Song->Undo();
    EXPECT_TRUE(SampleNotes(Song->CurrentPart).empty()) << "one undo step for the painting";
}

TEST_F(SampleMouse, CtrlUpOnRowZeroIsRefused) {
    Start();
    _TPart* p = Open({{0, 0, 60}, {0, 1, 60}});
    SelectAllNotes(p);
    gui.Dialogs().Answer(IDOK, "Can't move events outside part");
    gui.Chord({VK_CONTROL, VK_UP});
    gui.Pump();
    ASSERT_EQ(gui.Dialogs().Boxes().size(), 1u);
    EXPECT_EQ(gui.Dialogs().Boxes()[0].Caption, "Move events");
    gui.Dialogs().Answer(IDOK, "Can't move events outside part");
    gui.Chord({VK_CONTROL, VK_DOWN}); // row 1 to 2 leaves the slots too
    gui.Pump();
    EXPECT_EQ(gui.Dialogs().Boxes().size(), 2u);
    UnselectEvents(p);
    SelectNote(p, NoteAt(p, 0, 0));
    gui.Chord({VK_CONTROL, VK_DOWN});
    gui.Pump();
    EXPECT_EQ(SampleNotes(Song->CurrentPart), (std::vector<TSampleNote>{{0, 1, 60}, {0, 1, 60}}));
}

TEST_F(SampleMouse, StepModeMovesTheCursorAndInsertsWithinThePart) {
    Start();
    _TPart* p = Open({}, 2, 960);
    gui.Key(VK_F4);
    EXPECT_EQ(s->EditMode, 2);
    EXPECT_EQ(s->StepTick, 960);
    gui.Key(VK_LEFT);
    EXPECT_EQ(s->StepTick, 960) << "stops at the part's start";
    gui.Key(VK_DOWN);
    gui.Key(VK_RIGHT);
    gui.Key(VK_INSERT);
    gui.Pump();
    EXPECT_EQ(SampleNotes(Song->CurrentPart), (std::vector<TSampleNote>{{60, 1, 59}}));
    EXPECT_EQ(Song->UndoStore->Caption, "Undo insert");
    // At the part's end: refused.
    p = Song->CurrentPart;
    s->StepTick = 960 + 3840;
    gui.Dialogs().Answer(IDOK, "Can't insert outside part");
    gui.Key(VK_INSERT);
    gui.Pump();
    ASSERT_EQ(gui.Dialogs().Boxes().size(), 1u);
    EXPECT_EQ(gui.Dialogs().Boxes()[0].Caption, "Insert note");
    // A click places the cursor on the grid.
    gui.Click(At(40, Row(0)));
    EXPECT_EQ(s->StepTick, 960 + 120);
    EXPECT_EQ(s->StepRow, 0);
    EXPECT_EQ(SampleNotes(p).size(), 1u);
}

TEST_F(SampleMouse, StepInsertWithoutSlotsDoesNothing) {
    Start();
    _TPart* p = Open({}, 0);
    gui.Key(VK_F4);
    gui.Click(At(40, 20));
    EXPECT_EQ(s->StepRow, -1);
    gui.Key(VK_INSERT);
    gui.Pump();
    EXPECT_EQ(p->Events, nullptr);
}

TEST_F(SampleMouse, DragPastTheEdgeScrollsAndDeactivationEndsIt) {
    Start();
    Open({{0, 0, 60}});
    const int w = s->audio->GetClientWidth();
    gui.MoveTo(At(8, Row(0)));
    gui.Press(At(8, Row(0)));
    gui.MoveTo(testsupport::GuiHarness::At(s->audio->Handle(), w + 20, Row(0)));
    gui.Pump();
    EXPECT_EQ(s->ScrollX->Position, w / 10) << "at once";
    gui.Advance(50);
    EXPECT_EQ(s->ScrollX->Position, 2 * (w / 10)) << "every 50 ms";
    EXPECT_TRUE(s->scrollTimer.Enabled);
    // The arrange window taken to the front mid-drag.
    fmArrange->SetFocus();
    gui.Pump();
    EXPECT_FALSE(s->scrollTimer.Enabled);
    EXPECT_FALSE(s->Dragging);
    const int at = s->ScrollX->Position;
    gui.Advance(200);
    EXPECT_EQ(s->ScrollX->Position, at);
    gui.Release(testsupport::GuiHarness::At(s->audio->Handle(), w + 20, Row(0)));
    gui.Pump();
    EXPECT_EQ(SampleNotes(Song->CurrentPart), (std::vector<TSampleNote>{{0, 0, 60}}));
}

TEST_F(SampleMouse, RulerClicksSetTheLocatorsToTheNearestBeat) {
    Start();
    Open({}, 1, 960);
    gui.Click(RulerAt(31));
    gui.Click(RulerAt(32), MouseButton::Right);
    gui.Pump();
    EXPECT_EQ(Song->LeftLocator, 960);
    EXPECT_EQ(Song->RightLocator, 1200);
    // Shift: the song position.
    gui.KeyDown(VK_SHIFT);
    gui.Click(RulerAt(100));
    gui.KeyUp(VK_SHIFT);
    gui.Pump();
    EXPECT_EQ(Song->Position, 960 + 480);
}

} // namespace
