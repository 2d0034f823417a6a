// The arrange window's keys headless: the tempo field keeps its keys while it has the focus, a
// click on the parts area or the ruler takes the focus from it, and then the transport keys and
// the other global keys reach the main window; Esc ends a drag of the parts area.
#include "arrange_fixture.h"

#include "app/options.h"
#include "app/transport.h"
#include "devices/inport.h"
#include "devices/midi.h"
#include "platform/menus/menus.h"
#include "app/transportbar.h"
#include "gui/dragrect.h"
#include "platform/forms/edit.h"
#include "platform/window/focus.h"
#include "platform/window/input.h"
#include "song/timebase.h"
#include "song/undo.h"

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
    gui.Key(VK_HOME); // the caret to the start
    gui.Type("9");
    EXPECT_EQ(a->editBpm->Text(), "9120");
    gui.Key(VK_RETURN);
    EXPECT_EQ(Song->State, 0) << "Enter is the field's";
    EXPECT_EQ(a->editBpm->Text(), "250") << "set, clamped";
    EXPECT_FALSE(BpmFocused()) << "the field gives the focus back";
    gui.Key(VK_RETURN);
    EXPECT_EQ(Song->State, 2) << "the next Enter plays";
    gui.Key(VK_SPACE);

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
    EXPECT_EQ(a->editBpm->Text(), "250");
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

// The window's own keys with the keyboard at the window (no control focused).
class ArrangeNavigation : public ArrangeKeys {
protected:
    void SetUp() override {
        ArrangeKeys::SetUp();
        second = AddPart(0, 1920, 960, "Bass");
        third = AddPart(0, 3840, 960, "Keys");
        a->ActiveControl = nullptr;
        gui.Pump();
    }
    void TearDown() override {
        ArrangeSeams().AreaIndex = nullptr;
        ArrangeSeams().GotoArea = nullptr;
        ArrangeKeys::TearDown();
    }
    std::vector<_TPart*> SelectedParts() const {
        std::vector<_TPart*> r;
        for (_TPart* p = Song->TrackAt(0)->Parts; p; p = p->Next)
            if (p->Flags & pfSelected) r.push_back(p);
        return r;
    }
    _TPart* second = nullptr;
    _TPart* third = nullptr;
};

TEST_F(ArrangeNavigation, RightAndLeftWalkTheCurrentTracksParts) {
    using V = std::vector<_TPart*>;
    gui.Key(VK_RIGHT);
    EXPECT_EQ(SelectedParts(), V{part});
    EXPECT_EQ(Song->CurrentPart, part);
    gui.Key(VK_RIGHT);
    EXPECT_EQ(SelectedParts(), V{second});
    gui.Chord({VK_SHIFT, VK_RIGHT});
    EXPECT_EQ(SelectedParts(), (V{second, third}));
    EXPECT_EQ(Song->CurrentPart, nullptr) << "two selected: no current part";
    gui.Chord({VK_SHIFT, VK_LEFT});
    EXPECT_EQ(SelectedParts(), (V{part, second, third}));
    gui.Key(VK_LEFT); // the first part is selected: it is unselected, nothing else
    EXPECT_EQ(SelectedParts(), (V{second, third}));
    gui.Key(VK_LEFT);
    EXPECT_EQ(SelectedParts(), V{part});
    Song->UnselectAllParts();
    third->Flags |= pfSelected;
    gui.Key(VK_RIGHT); // on the last part
    EXPECT_EQ(SelectedParts(), V{});
    EXPECT_EQ(Song->CurrentPart, nullptr);
}

TEST_F(ArrangeNavigation, UpAndDownMoveTheCurrentTrackAndItsRowStaysInView) {
    struct Case {
        int track, state;
        UINT key;
        int expected;
    };
    for (Case c : {Case{0, 0, VK_UP, 0}, Case{127, 0, VK_DOWN, 127}, Case{5, 1, VK_UP, 5},
                   Case{5, 1, VK_DOWN, 5}, Case{5, 0, VK_UP, 4}, Case{5, 0, VK_DOWN, 6}}) {
        Song->CurrentTrackIndex = c.track;
        Song->State = c.state;
        gui.Key(c.key);
        Song->State = 0;
        EXPECT_EQ(Song->CurrentTrackIndex, c.expected) << c.track << " " << c.key;
    }
    // Down puts the new row at the list's bottom edge, wherever the list stood.
    a->Height = a->Height + 180 - a->tracks->GetClientHeight();
    gui.Pump();
    ASSERT_EQ(a->tracks->GetClientHeight(), 180);
    a->ScrollY->SetPosition(100);
    a->ScrollY->Changed();
    Song->CurrentTrackIndex = 10;
    part->Flags |= pfSelected;
    gui.Key(VK_DOWN);
    EXPECT_EQ(a->ScrollY->Position, 36);
    EXPECT_EQ(a->tracks->OffsetY, -36);
    EXPECT_EQ(Song->SelectedPartCount(), 0) << "the selection goes";
    // Up above the view scrolls to the row's top.
    Song->CurrentTrackIndex = 2;
    gui.Key(VK_UP);
    EXPECT_EQ(a->ScrollY->Position, TrackHeight);
}

TEST_F(ArrangeNavigation, AltRightAndLeftResizeTheOneSelectedPartByASnapStep) {
    a->SnapMode = 2; // bars of four beats
    third->Flags |= pfSelected;
    gui.Chord({VK_MENU, VK_RIGHT});
    EXPECT_EQ(third->Length, 960 + 960);
    EXPECT_EQ(Song->UndoStore->Caption, "Undo resize");
    gui.Chord({VK_MENU, VK_LEFT});
    EXPECT_EQ(third->Length, 960);
    a->SnapMode = 1; // beats
    gui.Chord({VK_MENU, VK_RIGHT});
    EXPECT_EQ(third->Length, 1200);

    Song->UnselectAllParts();
    part->Flags |= pfSelected; // the next part starts at its end: no room
    gui.Chord({VK_MENU, VK_RIGHT});
    EXPECT_EQ(part->Length, 1920);
    second->Flags |= pfSelected; // two selected: nothing
    gui.Chord({VK_MENU, VK_LEFT});
    EXPECT_EQ(part->Length, 1920);
    EXPECT_EQ(second->Length, 960);

    // During playback under the pause: resized, and the song plays on.
    Song->UnselectAllParts();
    third->Flags |= pfSelected;
    fmMdi->StartPlayback(false);
    ASSERT_EQ(Song->State, 2);
    gui.Chord({VK_MENU, VK_RIGHT});
    EXPECT_EQ(third->Length, 1440);
    EXPECT_EQ(Song->State, 2);
    // While recording the pause is refused: nothing.
    fmMdi->StopPlayback(false);
    Song->State = 1;
    gui.Chord({VK_MENU, VK_RIGHT});
    Song->State = 0;
    EXPECT_EQ(third->Length, 1440);
}

TEST_F(ArrangeNavigation, DigitsThruAndAutoQuantize) {
    gui.Chord({VK_SHIFT, '1'});
    EXPECT_EQ(Song->EditRes, 64);
    gui.Key('3');
    EXPECT_EQ(Song->EditRes, 64) << "3 alone does nothing";
    gui.Chord({VK_SHIFT, '3'});
    EXPECT_EQ(Song->EditRes, 16);
    EXPECT_EQ(a->panelRes->Caption(), "16");

    const bool thru = a->btnThru->Down;
    gui.Key('T');
    EXPECT_EQ(a->btnThru->Down, thru);
    gui.Chord({VK_CONTROL, VK_SHIFT, 'T'});
    EXPECT_NE(a->btnThru->Down, thru);

    ASSERT_FALSE(a->btnAutoQ->Down);
    gui.Key('A');
    EXPECT_TRUE(a->btnAutoQ->Down);
    EXPECT_EQ(Song->InputQuantize, 1);
    EXPECT_TRUE(Midi->InPort->QuantizeOn);
    EXPECT_EQ(Midi->InPort->QuantizeValue, Song->GridTicks());
    gui.Key('A');
    EXPECT_EQ(Song->InputQuantize, 0);
    EXPECT_FALSE(Midi->InPort->QuantizeOn);
}

TEST_F(ArrangeNavigation, TheAreaKeysGoThroughTheBrowsersList) {
    int index = -1;
    std::vector<int> went;
    ArrangeSeams().AreaIndex = [&] { return index; };
    ArrangeSeams().GotoArea = [&](int i) {
        went.push_back(i);
        index = i;
    };
    fmMdi->Areas.Items.clear();
    gui.Key(226); // no areas: nothing to go to
    EXPECT_TRUE(went.empty());
    fmMdi->Areas.Items.resize(3);
    gui.Key(226);
    gui.KeyDown(VK_SHIFT);
    index = -1;
    gui.Key(226);
    gui.Key(226);
    gui.Key(VK_F2);
    gui.Key(VK_F10);
    gui.KeyUp(VK_SHIFT);
    EXPECT_EQ(went, (std::vector<int>{1, 0, 1, 1, -1}));
    EXPECT_FALSE(MenuTracking()) << "Shift+F10 stays off the menu bar";
}

TEST_F(ArrangeNavigation, TheTempoFieldSetsAClampedTempoAndThePresetAsItStands) {
    struct Case {
        const char* text;
        int tempo;
    };
    for (Case c : {Case{"300", 250}, Case{"", 120}, Case{" 5 ", 10}, Case{"96", 96}}) {
        a->editBpm->SetFocus();
        a->editBpm->Text = c.text;
        gui.Key(VK_RETURN);
        EXPECT_EQ(Midi->GetTempo(), c.tempo) << c.text;
        EXPECT_EQ(a->editBpm->Text(), std::to_string(c.tempo)) << c.text;
        EXPECT_FALSE(BpmFocused()) << c.text;
    }
    a->editBpm->SetFocus();
    a->editBpm->Text = "abc";
    gui.Dialogs().Answer(IDOK, "'abc' is not a valid integer value");
    gui.Key(VK_RETURN);
    EXPECT_EQ(Midi->GetTempo(), 96) << "refused: nothing changes";

    ASSERT_NE(fmOptions, nullptr);
    OptionsClearTempo();
    OptionsAppendTempo(" 300 ");
    gui.Advance(1000);
    const TPoint field = a->editBpm->ClientToScreen({10, 10});
    gui.Click(field);
    gui.Click(field);
    EXPECT_EQ(a->editBpm->Text(), "300");
    EXPECT_EQ(Midi->GetTempo(), 300) << "the preset is not clamped";
    EXPECT_FALSE(BpmFocused());
}

} // namespace
