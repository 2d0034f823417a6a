// The key editor's keys under the harness: the tracker keyboard on the recording MIDI output,
// the key table by edit mode, the step cursor's pixels and the step preview.
#include "editors/key_fixture.h"

#include "app/transport.h"
#include "devices/midimsg.h"
#include "gui/dragrect.h"
#include "gui/scroll.h"
#include "platform/forms/buttons.h"
#include "platform/forms/extctrls.h"
#include "platform/menus/menus.h"
#include "platform/window/window.h"
#include "song/timebase.h"
#include "song/undo.h"

using namespace platform;

namespace {

using TBytes = std::vector<std::uint8_t>;

std::vector<int> Velocities(const _TPart* P) {
    std::vector<int> r;
    for (const _TEvent* e = P->Events; e; e = e->Next)
        if (IsNoteOn(e->Msg)) r.push_back(int(MidiData2(e->Msg)));
    return r;
}

void SelectAt(_TPart* P, std::initializer_list<int> Ticks) {
    int t = 0;
    for (_TEvent* e = P->Events; e; e = e->Next) {
        t += e->Delta;
        if (IsNoteOn(e->Msg) && std::find(Ticks.begin(), Ticks.end(), t) != Ticks.end())
            SelectNote(P, e);
    }
}

class KeyKeysTest : public KeyTest {
protected:
    // Note-ons (status $9n) sent since the last call.
    std::vector<TBytes> TakeNotes() {
        std::vector<TBytes> r;
        const auto sent = synth.Sent();
        for (std::size_t i = seen; i < sent.size(); ++i)
            if ((sent[i].Bytes.at(0) & 0xF0) == 0x90) r.push_back(sent[i].Bytes);
        seen = sent.size();
        return r;
    }
    std::vector<TBytes> TakeAll() {
        std::vector<TBytes> r;
        const auto sent = synth.Sent();
        for (std::size_t i = seen; i < sent.size(); ++i)
            r.push_back(sent[i].Bytes);
        seen = sent.size();
        return r;
    }
    void Open(_TPart* P) {
        OpenKey(P);
        TakeAll();
    }
    std::size_t seen = 0;
};

TEST_F(KeyKeysTest, TrackerKeyboardPlaysTheRowsAsAPiano) {
    Start();
    Open(AddPart(0, 0, 1920, {{0, 60, 60}}));
    ASSERT_FALSE(k->sbKeyb->Down);
    EXPECT_EQ(k->miMute->ShortCut, ShortCut('M'));
    gui.Chord({VK_CONTROL, VK_SHIFT, 'K'});
    gui.Pump();
    ASSERT_TRUE(k->sbKeyb->Down);
    EXPECT_EQ(Setting("Part edit", "MusicKeyboard"), "1");
    EXPECT_EQ(k->miMute->ShortCut, 0);
    EXPECT_EQ(k->miSolo->ShortCut, 0);

    // One note-on while held (auto-repeat), ended by a velocity-0 note-on.
    gui.HoldKey('Z', 700);
    gui.Pump();
    EXPECT_EQ(TakeNotes(), (std::vector<TBytes>{{0x90, 24, 64}, {0x90, 24, 0}}));
    gui.Key('Q');
    gui.Key('P');
    gui.Key('M'); // a note while the switch is on, not Track > Mute
    gui.Pump();
    EXPECT_EQ(TakeNotes(), (std::vector<TBytes>{{0x90, 36, 64},
                                                {0x90, 36, 0},
                                                {0x90, 52, 64},
                                                {0x90, 52, 0},
                                                {0x90, 35, 64},
                                                {0x90, 35, 0}}));
    EXPECT_EQ(Song->TrackAt(0)->Mute, 0);

    for (int i = 0; i < 5; ++i)
        gui.Key(VK_OEM_COMMA);
    EXPECT_EQ(k->TrackerBase, 0);
    gui.Key('Z');
    gui.Pump();
    EXPECT_EQ(TakeNotes(), (std::vector<TBytes>{{0x90, 0, 64}, {0x90, 0, 0}}));
    for (int i = 0; i < 10; ++i)
        gui.Key(VK_OEM_PERIOD);
    EXPECT_EQ(k->TrackerBase, 108);
    gui.Key('P');
    gui.Pump();
    EXPECT_EQ(TakeNotes(), (std::vector<TBytes>{{0x90, 127, 64}, {0x90, 127, 0}}));

    // A key released with Shift held, or after the switch went off, still ends its note.
    k->TrackerBase = 24;
    gui.KeyDown('Z');
    gui.KeyDown(VK_SHIFT);
    gui.KeyUp('Z');
    gui.KeyUp(VK_SHIFT);
    gui.KeyDown('X');
    gui.Chord({VK_CONTROL, VK_SHIFT, 'K'});
    gui.KeyUp('X');
    gui.Pump();
    EXPECT_EQ(TakeNotes(),
              (std::vector<TBytes>{{0x90, 24, 64}, {0x90, 24, 0}, {0x90, 26, 64}, {0x90, 26, 0}}));
    EXPECT_FALSE(k->AnyTrackerKeyHeld());
    EXPECT_FALSE(k->sbKeyb->Down);
    EXPECT_EQ(k->miMute->ShortCut, ShortCut('M'));
    EXPECT_EQ(k->miSolo->ShortCut, ShortCut('S'));
    EXPECT_EQ(Setting("Part edit", "MusicKeyboard"), "0");
}

TEST_F(KeyKeysTest, TrackerNotesWhileRecordingAndOnATrackSetToOff) {
    Start("[Part edit]\nMusicKeyboard=1\n");
    Song->TrackAt(0)->Channel = 5;
    Open(AddPart(0, 0, 1920, {{0, 60, 60}}));
    ASSERT_TRUE(k->sbKeyb->Down); // the stored state applied at creation
    EXPECT_EQ(k->miMute->ShortCut, 0);
    Song->State = 1;
    gui.KeyDown('Z');
    EXPECT_EQ(k->Caption, "*********");
    gui.KeyUp('Z');
    Song->State = 0;
    Song->TrackAt(0)->Channel = -1;
    gui.Key('Q');
    gui.Pump();
    EXPECT_EQ(TakeNotes(),
              (std::vector<TBytes>{{0x95, 24, 64}, {0x95, 24, 0}, {0x90, 36, 64}, {0x90, 36, 0}}));
}

TEST_F(KeyKeysTest, KeyTableByMode) {
    Start();
    _TPart* p = AddPart(0, 3840, 960, {{0, 60, 60}, {120, 62, 60}});
    Open(p);
    // Alt+Up in step-notes mode: +8 to the selected notes, capped.
    k->EditMode = 2;
    k->StepTick = 3840;
    UnselectEvents(p);
    SelectAt(p, {0, 120});
    p->Events->Msg = PackMidiMsg(0x90, 60, 100);
    for (_TEvent* e = p->Events->Next; e; e = e->Next)
        if (IsNoteOn(e->Msg)) e->Msg = PackMidiMsg(0x90, 62, 125);
    gui.Chord({VK_MENU, VK_UP});
    gui.Pump();
    EXPECT_EQ(Velocities(p), (std::vector<int>{108, 127}));
    EXPECT_EQ(Song->UndoStore->Caption, "Undo velocity");

    // Right in step-notes mode stops at the part's last step, Left at its start.
    UnselectEvents(p);
    for (int i = 0; i < 20; ++i)
        gui.Key(VK_RIGHT);
    EXPECT_EQ(k->StepTick, 4740);
    for (int i = 0; i < 20; ++i)
        gui.Key(VK_LEFT);
    EXPECT_EQ(k->StepTick, 3840);
    gui.Pump();
    gui.Key(VK_F2);
    EXPECT_EQ(k->EditMode, 0);
    EXPECT_TRUE(k->sbDefault->Down);

    // Ctrl+Left in the default mode moves the selected notes a step earlier.
    UnselectEvents(p);
    SelectAt(p, {120});
    gui.Chord({VK_CONTROL, VK_LEFT});
    gui.Pump();
    EXPECT_EQ(SelectedNoteTicks(p), std::vector<int>{60});

    // Shift+3: edit resolution 16 in every window.
    Song->EditRes = 4;
    gui.Chord({VK_SHIFT, '3'});
    EXPECT_EQ(Song->EditRes, 16);
    EXPECT_EQ(k->panelRes->Caption, "16");
}

TEST_F(KeyKeysTest, HomeSetsThePositionAndSilencesEveryChannel) {
    Start();
    _TPart* p = AddPart(0, 1920, 960, {{0, 60, 60}});
    Open(p);
    Song->Position = 100;
    gui.Key(VK_HOME);
    gui.Pump();
    EXPECT_EQ(Song->Position, 1920);
    std::vector<int> channels;
    for (const TBytes& b : TakeAll())
        if (b.size() == 3 && (b[0] & 0xF0) == 0xB0 && b[1] == 123) channels.push_back(b[0] & 15);
    EXPECT_EQ(channels.size(), 16u);
    gui.Key(VK_END);
    EXPECT_EQ(Song->Position, 2880);

    // A held Page Up starts winding once: its repeats are swallowed while the timer runs.
    Song->Position = 0;
    gui.KeyDown(VK_PRIOR);
    gui.KeyDown(VK_PRIOR);
    gui.KeyDown(VK_PRIOR);
    EXPECT_EQ(Song->Position, 60);
    EXPECT_TRUE(fmMdi->transportTimer.Enabled);
    gui.KeyUp(VK_PRIOR);
    EXPECT_FALSE(fmMdi->transportTimer.Enabled);
}

TEST_F(KeyKeysTest, LeftAndRightWalkTheNotes) {
    Start();
    _TPart* p = AddPart(0, 0, 1920, {{0, 60, 60}, {240, 62, 60}, {480, 64, 60}});
    Open(p);
    UnselectEvents(p);
    gui.Key(VK_LEFT);
    EXPECT_EQ(SelectedNoteTicks(p), std::vector<int>{480});
    gui.Key(VK_LEFT);
    EXPECT_EQ(SelectedNoteTicks(p), std::vector<int>{240});
    gui.Chord({VK_SHIFT, VK_LEFT});
    EXPECT_EQ(SelectedNoteTicks(p), (std::vector<int>{0, 240}));
    gui.Key(VK_LEFT);
    EXPECT_TRUE(SelectedNoteTicks(p).empty());
    gui.Key(VK_RIGHT);
    EXPECT_EQ(SelectedNoteTicks(p), std::vector<int>{0});
    gui.Chord({VK_SHIFT, VK_RIGHT});
    EXPECT_EQ(SelectedNoteTicks(p), (std::vector<int>{0, 240}));
    gui.Key(VK_RIGHT);
    EXPECT_EQ(SelectedNoteTicks(p), std::vector<int>{480});
    gui.Key(VK_RIGHT);
    EXPECT_TRUE(SelectedNoteTicks(p).empty());
}

TEST_F(KeyKeysTest, EscCancelsADragFirstAndThenCloses) {
    Start();
    _TPart* p = AddPart(0, 0, 1920, {{0, 60, 60}});
    Open(p);
    const TPoint from = testsupport::GuiHarness::At(k->key->Handle(), 200, 200);
    gui.MoveTo(from);
    gui.Press(from);
    gui.MoveTo(testsupport::GuiHarness::At(k->key->Handle(), 260, 240));
    ASSERT_EQ(DragRect->Mode, 1);
    gui.Key(VK_ESCAPE);
    gui.Pump();
    EXPECT_EQ(DragRect->Mode, 0);
    ASSERT_EQ(fmKey, k);
    gui.Release(testsupport::GuiHarness::At(k->key->Handle(), 260, 240));
    gui.Key(VK_ESCAPE);
    gui.Pump();
    EXPECT_EQ(fmKey, nullptr);
}

TEST_F(KeyKeysTest, WithoutAPartHomeGoesToTheSongStart) {
    Start();
    _TPart* p = AddPart(0, 1920, 960, {{0, 60, 60}});
    Open(p);
    Song->SetCurrentPart(nullptr);
    Song->Position = 500;
    gui.Key(VK_HOME);
    EXPECT_EQ(Song->Position, 0);
}

TEST_F(KeyKeysTest, DeleteTakesTheSelectedEventsOrTheWholePart) {
    Start();
    _TPart* p = AddPart(0, 0, 1920, {{0, 60, 60}, {240, 62, 60}});
    _TEvent* cc = NewEvent(120, PackMidiMsg(0xB0, 7, 90));
    InsertEvent(p, cc);
    Open(p);
    UnselectEvents(p);
    cc->Flags |= efSelected;
    gui.Key(VK_DELETE);
    gui.Pump();
    EXPECT_EQ(CountPartEvents(Song->CurrentPart), 4);
    EXPECT_FALSE(Song->PartHasController(Song->CurrentPart, 7));
    UnselectEvents(Song->CurrentPart);
    gui.Key(VK_DELETE);
    gui.Pump();
    EXPECT_EQ(CountPartEvents(Song->CurrentPart), 0);
    Song->Undo();
    EXPECT_EQ(CountPartEvents(Song->CurrentPart), 4);
}

TEST_F(KeyKeysTest, StepCursorIsAnXorMarkAndAHeldArrowSoundsOnePreview) {
    Start();
    _TPart* p = AddPart(0, 0, 1920, {});
    Open(p);
    k->ScrollY->SetPosition(NoteToKeyY(72) - 20);
    k->ScrollY->Changed();
    gui.Pump();
    const int y = NoteToKeyY(72) + k->key->OffsetY;
    const std::uint32_t before = gui.Pixel(k->key->Handle(), 20, y + 3);
    k->EditMode = 2;
    k->StepTick = 60;
    const TRect r = k->StepCursorRect();
    EXPECT_EQ(r.Left, 15);
    EXPECT_EQ(r.Right, 32);
    k->DrawStepCursor(false);
    EXPECT_NE(gui.Pixel(k->key->Handle(), 15, y + 3), before);
    k->DrawStepCursor(false);
    EXPECT_EQ(gui.Pixel(k->key->Handle(), 15, y + 3), before);
    EXPECT_EQ(gui.Pixel(k->key->Handle(), 31, y + 3), before);

    // A held Right sounds one preview; its release ends that note though a tracker key moved
    // the step pitch meanwhile.
    k->sbKeyb->Down = true;
    k->SetTrackerKeyboard(true);
    k->DrawStepCursor(false);
    TakeAll();
    gui.KeyDown(VK_RIGHT);
    gui.KeyDown(VK_RIGHT);
    EXPECT_EQ(k->StepTick, 180);
    gui.KeyDown('Q');
    gui.KeyUp('Q');
    EXPECT_EQ(k->StepPitch, 36);
    gui.KeyUp(VK_RIGHT);
    gui.Pump();
    EXPECT_EQ(TakeNotes(),
              (std::vector<TBytes>{{0x90, 72, 64}, {0x90, 36, 64}, {0x90, 36, 0}, {0x90, 72, 0}}));
    EXPECT_EQ(k->PreviewOn, 0);
}

} // namespace
