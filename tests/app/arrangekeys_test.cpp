// The arrange window's keys headless: the tempo field keeps its keys while it has the focus, a
// click on the parts area or the ruler takes the focus from it, and then the transport keys and
// the other global keys reach the main window; Esc ends a drag of the parts area.
#include "arrange_fixture.h"

#include "app/transport.h"
#include "app/transportbar.h"
#include "gui/dragrect.h"
#include "platform/forms/edit.h"
#include "platform/window/focus.h"
#include "platform/window/input.h"
#include "song/timebase.h"

using namespace platform;

namespace {

class ArrangeKeys : public ArrangeTest {
protected:
    void SetUp() override {
        ArrangeTest::SetUp();
        Start();
        Song->TrackAt(0)->Mode = tmMidi;
        part = AddPart(0, 0, 1920, "Drums", {{0, 36}, {480, 38}});
        Repaint();
    }
    void TearDown() override {
        if (Song) fmMdi->StopPlayback(false);
        EnterGuard = 0;
        ArrangeTest::TearDown();
    }
    // A content point of the parts area on the screen.
    TPoint Parts(int x, int y) const {
        return testsupport::GuiHarness::At(a->arrange->Handle(), x + a->arrange->OffsetX,
                                           y + a->arrange->OffsetY);
    }
    bool BpmFocused() const { return a->editBpm->Focused(); }
    _TPart* part = nullptr;
};

TEST_F(ArrangeKeys, TheTempoFieldKeepsItsKeysUntilAClickInThePartsArea) {
    ASSERT_TRUE(BpmFocused()) << "the window's first control has the focus when it shows";
    gui.Key(VK_RETURN);
    gui.Key(VK_HOME); // the caret to the start
    gui.Type("9");
    EXPECT_EQ(Song->State, 0) << "Enter is the field's";
    EXPECT_EQ(a->editBpm->Text(), "9120");

    for (int y : {5, 6 * TrackHeight}) { // on a part, and below the parts
        a->editBpm->SetFocus();
        gui.Advance(1000);
        gui.Click(Parts(TickToPixel(240), y));
        EXPECT_FALSE(BpmFocused()) << y;
        EXPECT_EQ(GetFocus(), a->Handle()) << y;
    }
    Song->Position = 960;
    gui.Key(VK_RETURN);
    EXPECT_EQ(Song->State, 2);
    gui.Key(VK_SPACE);
    EXPECT_EQ(Song->State, 0);
    gui.Key(VK_RETURN); // its release reached the main window: a second Enter plays again
    EXPECT_EQ(Song->State, 2);
    gui.Key(VK_NUMPAD0);
    EXPECT_EQ(Song->State, 0);
    EXPECT_NE(Song->Position, 0);
    gui.Key(VK_HOME);
    EXPECT_EQ(Song->Position, 0);
    const auto metronome = Song->MetronomeOn.load();
    gui.Key('B');
    EXPECT_NE(Song->MetronomeOn, metronome);
    EXPECT_EQ(a->editBpm->Text(), "9120");
}

TEST_F(ArrangeKeys, AClickOnTheRulerOrTheTrackListTakesTheFocusFromTheField) {
    for (TScroll* pane : {a->meter, a->tracks}) {
        a->editBpm->SetFocus();
        gui.Advance(1000);
        gui.Click(testsupport::GuiHarness::At(pane->Handle(), 40, 5));
        EXPECT_FALSE(BpmFocused());
        EXPECT_EQ(GetFocus(), a->Handle());
        gui.Key(VK_RETURN);
        EXPECT_EQ(Song->State, 2);
        gui.Key(VK_SPACE);
        EXPECT_EQ(Song->State, 0);
    }
}

TEST_F(ArrangeKeys, EscEndsADragAndTheReleaseChangesNothing) {
    const TPoint from = Parts(10, 5), to = Parts(10 + TickToPixel(1920), 5 + TrackHeight);
    gui.Advance(1000);
    gui.Press(from);
    gui.MoveTo(Parts(20, 10));
    gui.MoveTo(to);
    ASSERT_NE(DragRect->Mode, 0);
    gui.Key(VK_ESCAPE);
    EXPECT_EQ(DragRect->Mode, 0);
    EXPECT_EQ(a->Dragging, 0);
    gui.Release(to);
    EXPECT_EQ(part->Start, 0);
    EXPECT_EQ(part->Track, 0);
}

} // namespace
