// The key editor's step input under the harness: MIDI keys through the main window written a
// chord at a time at the step cursor, Insert with the step value field, the lane's step values,
// the cursor outside the part, keys counted per step, and the renderer held while a step note,
// a channel or a time change goes in.
#include "editors/key_fixture.h"

#include "app/cursors.h"
#include "devices/audio.h"
#include "devices/midimsg.h"
#include "gui/scroll.h"
#include "platform/forms/buttons.h"
#include "platform/forms/edit.h"
#include "platform/forms/extctrls.h"
#include "platform/window/window.h"
#include "song/primitives.h"
#include "song/undo.h"

#include <algorithm>

using namespace platform;

namespace {

struct TNote {
    int Tick, Key, Length, Velocity;
    bool Selected;
    bool operator==(const TNote&) const = default;
};

std::ostream& operator<<(std::ostream& o, const TNote& n) {
    return o << "{" << n.Tick << ", " << n.Key << ", " << n.Length << ", " << n.Velocity << ", "
             << n.Selected << "}";
}

std::vector<TNote> Notes(const _TPart* P) {
    std::vector<TNote> r;
    int t = 0;
    for (const _TEvent* e = P->Events; e; e = e->Next) {
        t += e->Delta;
        if (IsNoteOn(e->Msg))
            r.push_back({t, int(MidiData1(e->Msg)), NoteLength(P, e), int(MidiData2(e->Msg)),
                         (e->Flags & efSelected) != 0});
    }
    return r;
}

class KeyStepTest : public KeyTest {
protected:
    void Midi(std::uint32_t Msg) {
        SendMessage(fmMdi->Handle(), MM_MIM_DATA, 0, LPARAM(Msg));
        gui.Pump();
    }
    void On(int Key, int Velocity = 90) {
        Midi(PackMidiMsg(0x90, std::uint32_t(Key), std::uint32_t(Velocity)));
    }
    void Off(int Key) { Midi(PackMidiMsg(0x80, std::uint32_t(Key), 0)); }
    // A one-bar part at 0, resolution 16, the editor in step-notes mode.
    _TPart* OpenStepNotes(std::initializer_list<std::tuple<int, int, int>> Notes = {}) {
        _TPart* p = AddPart(0, 0, 960, Notes);
        OpenKey(p);
        Song->EditRes = 16;
        gui.Key(VK_F4);
        gui.Pump();
        return p;
    }
};

TEST_F(KeyStepTest, MidiChordsAreWrittenAStepAtATime) {
    Start();
    _TPart* p = OpenStepNotes();
    EXPECT_EQ(k->EditMode, 2);
    EXPECT_TRUE(k->sbStep->Down);
    EXPECT_EQ(k->panelValue->Caption, "C4");
    EXPECT_EQ(k->key->Cursor, crKeyStep);
    EXPECT_TRUE(k->panelCtrlValue->Visible);

    On(60);
    On(64);
    On(67);
    auto chord = Notes(p);
    std::sort(chord.begin(), chord.end(),
              [](const TNote& a, const TNote& b) { return a.Key < b.Key; });
    EXPECT_EQ(chord, (std::vector<TNote>{
                         {0, 60, 59, 90, true}, {0, 64, 59, 90, true}, {0, 67, 59, 90, true}}));
    Off(67);
    Off(60);
    EXPECT_EQ(k->StepTick, 0);
    Off(64);
    EXPECT_EQ(k->StepTick, 60);
    EXPECT_EQ(k->StepPitch, 64);
    EXPECT_TRUE(SelectedNoteTicks(p).empty());
    // One undo takes back the chord.
    EXPECT_EQ(Song->UndoStore->Caption, "Undo step");
    Song->Undo();
    EXPECT_TRUE(Notes(Song->CurrentPart).empty());
}

TEST_F(KeyStepTest, TheValueFieldGivesTheVelocity) {
    Start();
    _TPart* p = OpenStepNotes();
    struct TCase {
        const char* Field;
        int Played, Want;
    };
    int tick = 0;
    for (const TCase& c :
         {TCase{"100", 30, 100}, {"abc", 30, 30}, {"", 127, 127}, {"500", 5, 127}}) {
        k->editCtrlValue->Text = c.Field;
        On(60, c.Played);
        Off(60);
        EXPECT_EQ(Notes(p).back().Tick, tick) << c.Field;
        EXPECT_EQ(Notes(p).back().Velocity, c.Want) << c.Field;
        tick += 60;
    }
    // Insert writes the step pitch at the cursor without moving it: 64 without a number; each
    // Insert first clears the selection.
    k->editCtrlValue->Text = "abc";
    gui.Key(VK_INSERT);
    gui.Key(VK_INSERT);
    gui.Pump();
    const auto notes = Notes(p);
    ASSERT_EQ(notes.size(), 6u);
    EXPECT_EQ(notes[4], (TNote{240, 60, 59, 64, false}));
    EXPECT_EQ(notes[5], (TNote{240, 60, 59, 64, true}));
    EXPECT_EQ(k->StepTick, 240);
}

TEST_F(KeyStepTest, TheCursorPastTheEndOrBeforeThePartOnlyLightsKeys) {
    Start();
    _TPart* p = AddPart(0, 0, 960);
    _TPart* next = AddPart(0, 1920, 960);
    OpenKey(p);
    Song->EditRes = 16;
    gui.Key(VK_F4);
    k->StepTick = 900; // the last step
    On(62);
    Off(62);
    EXPECT_EQ(k->StepTick, 960);
    const std::size_t count = Notes(p).size();
    On(64);
    EXPECT_EQ(Notes(p).size(), count);
    EXPECT_TRUE(k->LitKeys[64]);
    Off(64);
    // Insert past the end is refused.
    gui.Dialogs().Answer(IDOK, "Can't insert outside part");
    gui.Key(VK_INSERT);
    gui.Pump();
    ASSERT_EQ(gui.Dialogs().Boxes().size(), 1u);
    EXPECT_EQ(gui.Dialogs().Boxes()[0].Caption, "Insert note");

    // After "Move to next part" the cursor lies before that part's start: a key writes nothing.
    k->sbNext->Click();
    gui.Pump();
    ASSERT_EQ(Song->CurrentPart, next);
    EXPECT_LT(k->StepTick, next->Start);
    On(60);
    Off(60);
    EXPECT_TRUE(Notes(next).empty());
}

// A key held when the mode began ends without ending the step of the keys pressed after it.
TEST_F(KeyStepTest, KeysAreCountedPerStep) {
    Start();
    _TPart* p = AddPart(0, 0, 960);
    OpenKey(p);
    Song->EditRes = 16;
    On(50);
    gui.Key(VK_F4);
    gui.Pump();
    Off(50); // counted by no step
    Off(50);
    EXPECT_EQ(k->HeldMidiKeys, 0);
    On(60);
    Off(60);
    EXPECT_EQ(k->StepTick, 60);
    On(62);
    Off(62);
    EXPECT_EQ(k->StepTick, 120);
}

TEST_F(KeyStepTest, StepControllersWriteTheLaneValue) {
    Start();
    _TPart* p = AddPart(0, 0, 960);
    OpenKey(p);
    Song->EditRes = 16;
    k->SetLane(-3);
    gui.Key(VK_F5);
    gui.Pump();
    EXPECT_EQ(k->EditMode, 3);
    EXPECT_TRUE(k->sbIns->Visible);
    struct TCase {
        const char* Field;
        std::uint32_t D1, D2;
    };
    int tick = 0;
    for (const TCase& c :
         {TCase{"-8192", 0, 0}, {"8191", 127, 127}, {"9000", 127, 127}, {"0", 0, 64}}) {
        k->StepTick = tick;
        k->editCtrlValue->Text = c.Field;
        k->sbIns->Click();
        gui.Pump();
        const _TEvent* e = p->Events;
        int t = e ? e->Delta : 0;
        while (e && t != tick) {
            e = e->Next;
            if (e) t += e->Delta;
        }
        ASSERT_NE(e, nullptr) << c.Field;
        EXPECT_EQ(MidiStatus(e->Msg), 0xE0u) << c.Field;
        EXPECT_EQ(MidiData1(e->Msg), c.D1) << c.Field;
        EXPECT_EQ(MidiData2(e->Msg), c.D2) << c.Field;
        EXPECT_TRUE(e->Flags & efSelected) << c.Field;
        tick += 120;
    }
    EXPECT_EQ(Song->UndoStore->Caption, "Undo step");
    // Del deletes the events at the cursor (360) only.
    _TPart* q = p;
    InsertEvent(q, NewEvent(480, PackMidiMsg(0xE0, 0, 64)));
    k->sbDel->Click();
    gui.Pump();
    std::vector<int> ticks;
    int t = 0;
    for (const _TEvent* e = Song->CurrentPart->Events; e; e = e->Next)
        ticks.push_back(t += e->Delta);
    EXPECT_EQ(ticks, (std::vector<int>{0, 120, 240, 480}));
}

TEST_F(KeyStepTest, StepNotesAreRefusedWhileRecording) {
    Start();
    _TPart* p = AddPart(0, 0, 960);
    OpenKey(p);
    k->EnterMode(1);
    Song->State = 1;
    gui.Key(VK_F4);
    gui.Pump();
    Song->State = 0;
    EXPECT_EQ(k->EditMode, 0);
    EXPECT_TRUE(k->sbDefault->Down);
    EXPECT_EQ(k->key->Cursor, crDefault);
}

} // namespace
