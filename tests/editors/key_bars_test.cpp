// The key editor's toolbar and edit bar under the harness: the time, channel, note and length
// fields, the tempo field with its buttons and presets, previous and next part, the edit
// resolution popup, and the fields shown for the selection.
#include "editors/key_fixture.h"

#include "app/main.h"
#include "app/options.h"
#include "devices/midi.h"
#include "platform/forms/buttons.h"
#include "platform/forms/edit.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/memo.h"
#include "platform/menus/menus.h"
#include "song/primitives.h"
#include "song/song.h"
#include "song/undo.h"

using namespace platform;

namespace {

_TEvent* Insert(_TPart* P, int Tick, std::uint32_t Msg) {
    _TEvent* e = NewEvent(Tick, Msg);
    _TPart* p = P;
    InsertEvent(p, e);
    return e;
}

class KeyBarsTest : public KeyTest {
protected:
    // Text typed into the field and Enter pressed there.
    void Enter(TEdit* Field, const std::string& Text) {
        Field->Text = Text;
        char32_t key = U'\r';
        Field->OnKeyPress(Field, key);
        gui.Pump();
    }
    void SetTime(const char* Bars, const char* Beats, const char* Ticks) {
        k->editBars->Text = Bars;
        k->editBeats->Text = Beats;
        Enter(k->editTicks, Ticks);
    }
};

TEST_F(KeyBarsTest, TheTimeFieldsMoveTheSelectionInsideThePart) {
    Start();
    _TPart* p = AddPart(0, 960, 960, {{0, 60, 60}, {480, 62, 120}});
    OpenKey(p);
    SelectNote(p, p->Events->Next->Next); // the note at 480
    k->UpdateEditbar();
    EXPECT_EQ(k->editBars->Text(), "0002");
    EXPECT_EQ(k->editBeats->Text(), "03");
    EXPECT_EQ(k->editTicks->Text(), "000");
    EXPECT_EQ(k->editNote->Text(), "D3");
    EXPECT_EQ(k->editLength->Text(), "121");
    EXPECT_EQ(k->editVel->Text(), "100");
    EXPECT_EQ(k->editCh->Text(), "1");

    SetTime("0002", "01", "000");
    EXPECT_EQ(SelectedNoteTicks(p), std::vector<int>{0});
    EXPECT_EQ(NoteLength(p, FirstSelectedNote(p, -1)), 120);
    EXPECT_EQ(Song->UndoStore->Caption, "Undo time");

    gui.Dialogs().Answer(IDOK, "Time must be between");
    SetTime("0003", "01", "000");
    const auto boxes = gui.Dialogs().Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, "Time must be between 0002:01:000 and 0002:04:239\n\n"
                             "Bars starting from 0001\nBeats 01 - 04\nTicks 000 - 239");
    EXPECT_EQ(boxes[0].Caption, "Edit time");
    EXPECT_EQ(SelectedNoteTicks(p), std::vector<int>{0});
}

TEST_F(KeyBarsTest, NoteChannelAndLengthFields) {
    Start();
    _TPart* p = AddPart(0, 0, 960, {{0, 62, 60}, {240, 64, 60}});
    _TEvent* sysex = Insert(p, 480, 0xF0);
    const std::uint8_t bytes[] = {0xF0, 0x7E, 0xF7};
    SetEventBlock(*sysex, bytes, 3);
    OpenKey(p);
    SelectNote(p, p->Events);
    Enter(k->editNote, "c3");
    EXPECT_EQ(MidiData1(p->Events->Msg), 60u);
    EXPECT_EQ(MidiData1(p->Events->Next->Next->Msg), 64u) << "an unselected note kept its key";

    Enter(k->editLength, "120");
    EXPECT_EQ(NoteLength(p, p->Events), 119);

    UnselectEvents(p);
    Enter(k->editCh, "3");
    for (const _TEvent* e = p->Events; e; e = e->Next)
        EXPECT_EQ(e->Msg & 0xFF, MidiStatus(e->Msg) == 0xF0 ? 0xF0u : MidiStatus(e->Msg) + 2);
    EXPECT_EQ(Song->UndoStore->Caption, "Undo ch");
    Enter(k->editCh, "17");
    EXPECT_EQ(k->editCh->Text(), "");
    EXPECT_EQ(p->Events->Msg & 0x0F, 2u);
}

TEST_F(KeyBarsTest, TempoStaysWithinItsRange) {
    Start();
    OpenKey(AddPart(0, 0, 960));
    struct TCase {
        const char* Start;
        TSpeedButton* TfmKey::*Button;
        int Want;
    };
    for (const TCase& c : {TCase{"10", &TfmKey::SpeedButton8, 10},
                           {"250", &TfmKey::SpeedButton4, 250},
                           {"119", &TfmKey::SpeedButton4, 120}}) {
        k->editBpm->Text = c.Start;
        (k->*c.Button)->Click();
        gui.Pump();
        EXPECT_EQ(k->editBpm->Text(), std::to_string(c.Want)) << c.Start;
        EXPECT_EQ(Midi->GetTempo(), c.Want) << c.Start;
    }
    Enter(k->editBpm, "300");
    EXPECT_EQ(k->editBpm->Text(), "250");
    EXPECT_EQ(fmArrange->editBpm->Text(), "250");
    EXPECT_EQ(Midi->GetTempo(), 250);
    // The first preset, as it stands.
    ASSERT_NE(fmOptions, nullptr);
    fmOptions->memoTempo->Lines.Clear();
    fmOptions->memoTempo->Lines.Add(" 300");
    fmOptions->memoTempo->Lines.Add("90");
    k->editBpm->OnDblClick(k->editBpm);
    gui.Pump();
    EXPECT_EQ(Midi->GetTempo(), 300);
    EXPECT_EQ(k->editBpm->Text(), fmArrange->editBpm->Text());
}

TEST_F(KeyBarsTest, PreviousAndNextPartAndTheResolutionPopup) {
    Start();
    _TPart* a = AddPart(0, 0, 960, {{0, 60, 60}}, "First");
    _TPart* b = AddPart(0, 1920, 960, {{0, 62, 60}}, "Second");
    OpenKey(a);
    EXPECT_FALSE(k->sbPrior->Enabled);
    EXPECT_TRUE(k->sbNext->Enabled);
    k->sbNext->Click();
    gui.Pump();
    EXPECT_EQ(Song->CurrentPart, b);
    EXPECT_EQ(k->BoundPart, b);
    EXPECT_TRUE(b->Flags & pfSelected);
    EXPECT_FALSE(a->Flags & pfSelected);
    ASSERT_NE(k->Snapshot, nullptr);
    EXPECT_EQ(k->Snapshot->Start, 1920);
    EXPECT_TRUE(k->sbPrior->Enabled);
    EXPECT_FALSE(k->sbNext->Enabled);
    k->sbPrior->Click();
    gui.Pump();
    EXPECT_EQ(Song->CurrentPart, a);

    TMenuItem* triplet = nullptr;
    for (int i = 0; i < k->Popupres->Items->Count(); ++i)
        if (k->Popupres->Items->Items(i)->Caption == "16T") triplet = k->Popupres->Items->Items(i);
    ASSERT_NE(triplet, nullptr);
    triplet->Click();
    gui.Pump();
    EXPECT_EQ(Song->EditRes, 24);
    EXPECT_EQ(k->panelRes->Caption, "16T");
    EXPECT_EQ(fmArrange->panelRes->Caption, "16T");
}

TEST_F(KeyBarsTest, MoveAndLengthButtons) {
    Start();
    _TPart* p = AddPart(0, 0, 1920, {{120, 60, 60}, {480, 62, 60}});
    OpenKey(p);
    Song->EditRes = 16;
    // Nothing selected: everything moves, and nothing stays selected.
    k->sbMoveRight1->Click();
    gui.Pump();
    EXPECT_EQ(EventTime(p, p->Events), 180);
    EXPECT_EQ(CountSelectedEvents(p), 0);
    SelectNote(p, p->Events);
    k->sbMoveUp12->Click();
    k->sbLengthRight->Click();
    gui.Pump();
    EXPECT_EQ(MidiData1(p->Events->Msg), 72u);
    EXPECT_EQ(NoteLength(p, p->Events), 120);
}

} // namespace
