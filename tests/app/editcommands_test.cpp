// The main window's shared edit commands with the arrange window made: quantize over whole
// selected parts, solo and unsolo on the virtual port, locators around the selection, deleting
// events and notes with undo, the refusals of overlap and compose, the edit grid reaching the
// MIDI input, and every change command doing nothing when the edit guard refuses.
#include "arrange_fixture.h"

#include "app/editcommands.h"
#include "devices/inport.h"
#include "devices/midi.h"
#include "devices/midimsg.h"
#include "platform/core/dialogs.h"
#include "platform/forms/extctrls.h"
#include "song/quantize.h"
#include "song/undo.h"

#include <functional>

using namespace platform;

namespace {

using TEv = std::pair<int, std::uint32_t>; // time in the part, message

std::vector<TEv> Events(const _TPart* P) {
    std::vector<TEv> r;
    int t = 0;
    for (const _TEvent* e = P->Events; e; e = e->Next)
        r.push_back({t += e->Delta, e->Msg});
    return r;
}

_TPart* PartWith(int Track, int Start, std::vector<TEv> Ev, bool Selected = true) {
    _TPart* p = NewPart("p", Start, 1920, Track);
    int last = 0;
    for (auto [t, m] : Ev) {
        AppendEvent(p, NewEvent(t - last, m));
        last = t;
    }
    EXPECT_TRUE(InsertPart(Song->TrackAt(Track), p));
    if (Selected) p->Flags |= pfSelected;
    return p;
}

constexpr std::uint32_t On(int Key) {
    return PackMidiMsg(0x90, std::uint32_t(Key), 100);
}
constexpr std::uint32_t Off(int Key) {
    return PackMidiMsg(0x80, std::uint32_t(Key), 0);
}

class EditCommands : public ArrangeTest {
protected:
    void SetUp() override {
        ArrangeTest::SetUp();
        Start();
        for (int i = 0; i < 16; ++i)
            Song->TrackAt(i)->Mode = tmMidi;
        Song->EditRes = 16; // 60 ticks
    }
    void TearDown() override {
        EditCommandSeams() = TEditCommandSeams{};
        ArrangeTest::TearDown();
    }
    std::vector<std::vector<std::uint8_t>> TakeSent() {
        std::vector<std::vector<std::uint8_t>> r;
        for (const auto& s : synth.Sent())
            r.push_back(s.Bytes);
        r.erase(r.begin(), r.begin() + std::ptrdiff_t(std::min(seen, r.size())));
        seen += r.size();
        return r;
    }
    std::size_t seen = 0;
    TVirtualMidiIn keys{"Keys"};
};

TEST_F(EditCommands, QuantizeMovesEveryNoteOfTheSelectedPartsOrOnlyTheSelectedEvents) {
    _TPart* a = PartWith(0, 0, {{10, On(60)}, {70, Off(60)}, {250, On(62)}, {300, Off(62)}});
    _TPart* b = PartWith(1, 0, {{50, On(64)}, {100, Off(64)}});
    _TPart* c = PartWith(2, 0, {{10, On(65)}, {20, Off(65)}}, false);
    int grid = 0, lane = 0;
    EditCommandSeams().KeyGrid = [&] { ++grid; };
    EditCommandSeams().KeyLane = [&] { ++lane; };
    fmMdi->QuantizeSelection(false);
    EXPECT_EQ(Events(a),
              (std::vector<TEv>{{0, On(60)}, {60, Off(60)}, {240, On(62)}, {290, Off(62)}}));
    EXPECT_EQ(Events(b), (std::vector<TEv>{{60, On(64)}, {110, Off(64)}}));
    EXPECT_EQ(Events(c), (std::vector<TEv>{{10, On(65)}, {20, Off(65)}}));
    EXPECT_EQ(Song->UndoStore->Caption, "Undo quantize");
    EXPECT_EQ(grid, 1);
    EXPECT_EQ(lane, 1);
    // From an editor with events selected only those move.
    b->Flags &= ~pfSelected;
    _TEvent* late = a->Events->Next->Next;
    late->Delta += 25; // 265
    late->Flags |= efSelected;
    late->Next->Flags |= efSelected;
    a->Events->Delta = 10; // 10, not selected
    a->Events->Next->Delta = 50;
    fmMdi->QuantizeSelection(true);
    EXPECT_EQ(Events(a)[0].first, 10);
    EXPECT_EQ(Events(a)[2], (TEv{240, On(62)}));
}

// Solo silences and mutes every other track on its own channel and port (a track without a
// channel on channel 1, a softsynth track not on any port); unsolo clears every mute.
TEST_F(EditCommands, SoloSendsNotesOffAndMutesUnsoloClearsEveryMute) {
    Song->CurrentTrackIndex = 0;
    Song->TrackAt(1)->Channel = 3;
    Song->TrackAt(2)->Channel = -1;
    for (int i = 3; i < TrackCount; ++i)
        Song->TrackAt(i)->Mode = i == 7 ? tmAudio : tmSoftsynth;
    Song->TrackAt(5)->Mute = 1; // muted before the solo
    Song->TrackAt(0)->Mute = 1;
    std::vector<bool> buttons;
    EditCommandSeams().ArrangeSolo = [&](bool Down) { buttons.push_back(Down); };
    EditCommandSeams().KeySolo = [&](bool Down) { buttons.push_back(Down); };
    TakeSent();
    fmMdi->ToggleSolo(false);
    EXPECT_EQ(Song->SoloTrack, 0);
    EXPECT_EQ(Song->TrackAt(0)->Mute, 0);
    for (int i = 1; i < TrackCount; ++i)
        ASSERT_EQ(Song->TrackAt(i)->Mute, 1) << i;
    using B = std::vector<std::uint8_t>;
    EXPECT_EQ(TakeSent(),
              (std::vector<B>{{0xB3, 123, 0}, {0xB3, 120, 0}, {0xB0, 123, 0}, {0xB0, 120, 0}}));
    fmMdi->ToggleSolo(false);
    EXPECT_EQ(Song->SoloTrack, -1);
    for (int i = 0; i < TrackCount; ++i)
        ASSERT_EQ(Song->TrackAt(i)->Mute, 0) << i;
    EXPECT_EQ(TakeSent(), (std::vector<B>{{0xB0, 123, 0}, {0xB0, 120, 0}}));
    // A solo follows the current track.
    fmMdi->ToggleSolo(false);
    Song->CurrentTrackIndex = 1;
    fmMdi->ToggleSolo(true);
    EXPECT_EQ(Song->SoloTrack, 1);
    EXPECT_EQ(Song->TrackAt(1)->Mute, 0);
    EXPECT_EQ(Song->TrackAt(0)->Mute, 1);
    EXPECT_EQ(buttons, (std::vector<bool>{true, true, false, false, true, true, true, true}));
}

TEST_F(EditCommands, LoopSelectionSpansTheSelectedParts) {
    Song->LeftLocator = 100;
    Song->RightLocator = 200;
    _TPart* p = PartWith(3, 960, {}, false);
    fmMdi->LocatorsToSelection(true);
    EXPECT_EQ(Song->LeftLocator, 100);
    EXPECT_EQ(Song->RightLocator, 200);
    p->Flags |= pfSelected;
    fmMdi->LocatorsToSelection(true);
    EXPECT_EQ(Song->LeftLocator, 960);
    EXPECT_EQ(Song->RightLocator, 2880);
    // Looping, the change waits for the guard: while recording nothing moves.
    PartWith(4, 3840, {});
    Song->LoopOn = 1;
    Song->State = 1;
    fmMdi->LocatorsToSelection(true);
    EXPECT_EQ(Song->RightLocator, 2880);
    Song->State = 0;
    fmMdi->LocatorsToSelection(true);
    EXPECT_EQ(Song->RightLocator, 5760);
}

TEST_F(EditCommands, DeleteEventsEmptiesThePartsDeleteNotesKeepsTheRestUndoRestores) {
    const std::vector<TEv> ev{{0, On(60)}, {10, PackMidiMsg(0xB0, 7, 90)}, {60, Off(60)}};
    _TPart* a = PartWith(0, 0, ev);
    _TPart* b = PartWith(1, 960, ev);
    fmMdi->DeleteEvents(false);
    EXPECT_EQ(Song->TrackAt(0)->Parts, a);
    EXPECT_EQ(Song->TrackAt(1)->Parts, b);
    EXPECT_EQ(a->Events, nullptr);
    EXPECT_EQ(b->Events, nullptr);
    EXPECT_EQ(Song->UndoStore->Caption, "Undo delete");
    Song->Undo();
    ASSERT_NE(Song->TrackAt(0)->Parts, nullptr);
    EXPECT_EQ(Events(Song->TrackAt(0)->Parts), ev);
    EXPECT_EQ(Events(Song->TrackAt(1)->Parts), ev);
    Song->SelectAllParts();
    // The key editor repaints after each part, its notes gone.
    std::vector<std::size_t> seen;
    EditCommandSeams().KeyGrid = [&] { seen.push_back(Events(Song->TrackAt(0)->Parts).size()); };
    fmMdi->DeleteNotes();
    EXPECT_EQ(seen, (std::vector<std::size_t>{1, 1}));
    EXPECT_EQ(Events(Song->TrackAt(0)->Parts), (std::vector<TEv>{{10, PackMidiMsg(0xB0, 7, 90)}}));
    EXPECT_EQ(Song->UndoStore->Caption, "Undo delete notes");
}

TEST_F(EditCommands, OverlapAndComposeRefuseTheWrongTracks) {
    Song->TrackAt(2)->Mode = tmSoftsynth;
    _TPart* synth = PartWith(2, 0, {{0, On(60)}, {30, Off(60)}});
    Song->UndoStore->Begin(ukSingle, "Undo earlier");
    gui.Dialogs().Answer(IDOK, "Can't do this operation on audio parts");
    fmMdi->OverlapNotes(synth, false);
    fmMdi->OverlapNotes(nullptr, false);
    EXPECT_EQ(Song->UndoStore->Caption, "Undo earlier");

    std::vector<int> composed;
    EditCommandSeams().ComposeNotesDialog = [&](int Mode, int) -> TForm* {
        composed.push_back(Mode);
        return nullptr;
    };
    PartWith(3, 0, {});
    fmMdi->ShowComposeNotes(0, 0); // two parts: nothing
    Song->TrackAt(3)->Parts->Flags &= ~pfSelected;
    gui.Dialogs().Answer(IDOK, "Can't compose");
    fmMdi->ShowComposeNotes(3, 0);
    fmMdi->ShowComposeNotes(tmSoftsynth, 0);
    EXPECT_EQ(composed, std::vector<int>{tmMidi});
    Song->TrackAt(2)->Mode = tmAudio;
    gui.Dialogs().Answer(IDOK, "Can't compose audio parts");
    fmMdi->ShowComposeControllers();
    const auto boxes = gui.Dialogs().Boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].Caption, "Overlap");
    EXPECT_EQ(boxes[1].Caption, "Compose");
    EXPECT_EQ(boxes[2].Caption, "Compose");
    for (const auto& b : boxes)
        EXPECT_EQ(b.Icon, unsigned(MB_ICONINFORMATION));
}

TEST_F(EditCommands, GridValueReachesEveryGridPanelAndTheInputQuantize) {
    ASSERT_TRUE(Midi && Midi->InPort);
    std::string keyCaption;
    EditCommandSeams().KeyGridCaption = [&](const std::string& C) { keyCaption = C; };
    Song->InputQuantize = 1;
    fmMdi->SetGridValue(16, "16");
    EXPECT_EQ(Song->EditRes, 16);
    EXPECT_EQ(a->panelRes->Caption, "16");
    EXPECT_EQ(keyCaption, "16");
    EXPECT_TRUE(Midi->InPort->QuantizeOn);
    EXPECT_EQ(Midi->InPort->QuantizeValue, 60);
    fmMdi->SetGridValue(7, "7"); // not a division of a quarter note
    EXPECT_EQ(Song->EditRes, 16);
}

// A refused guard (recording) makes every change command do nothing and show nothing; granted,
// each changes a part of the same events.
TEST_F(EditCommands, ARefusedGuardChangesNothing) {
    const std::vector<TEv> ev{{10, On(60)},
                              {10, On(60)},
                              {20, PackMidiMsg(0xB0, 7, 90)},
                              {30, PackMidiMsg(0xC0, 5, 0)},
                              {40, PackAweParam(0, 3, 100)},
                              {70, Off(60)},
                              {80, Off(60)}};
    _TGroovesItem* groove = Song->AddGroove("Swing", 2);
    groove->Steps[1].Time = 30;
    int repaints = 0;
    EditCommandSeams().KeyEventList = [&] { ++repaints; };
    bool grooved = true;
    const std::vector<std::pair<const char*, std::function<void(_TPart*)>>> commands{
        {"quantize", [](_TPart*) { fmMdi->QuantizeSelection(false); }},
        {"legato", [](_TPart*) { fmMdi->LegatoSelection(false); }},
        {"length", [](_TPart*) { fmMdi->SetNoteLengths(240, false); }},
        {"controllers", [](_TPart*) { fmMdi->DeleteControllers(-1); }},
        {"awe", [](_TPart*) { fmMdi->DeleteAweNrpns(-1); }},
        {"program", [](_TPart*) { fmMdi->DeleteStatusEvents(0xC0); }},
        {"doubles", [](_TPart*) { fmMdi->DeleteDoubleNotes(); }},
        {"overlap", [](_TPart* P) { fmMdi->OverlapNotes(P, false); }},
        {"groove", [&](_TPart*) { grooved = fmMdi->ApplyGroove(groove, false); }},
        {"events", [](_TPart*) { fmMdi->DeleteEvents(false); }},
        {"notes", [](_TPart*) { fmMdi->DeleteNotes(); }}};
    _TPart* p = PartWith(0, 0, ev);
    Song->UndoStore->Begin(ukSingle, "Undo earlier");
    Song->Modified = 0;
    Song->State = 1;
    for (const auto& [name, run] : commands) {
        run(p);
        EXPECT_EQ(Events(p), ev) << name;
        EXPECT_EQ(Song->UndoStore->Caption, "Undo earlier") << name;
    }
    EXPECT_FALSE(grooved);
    fmMdi->ToggleSolo(false);
    Song->State = 0;
    EXPECT_EQ(Song->SoloTrack, -1);
    EXPECT_EQ(Song->Modified, 0);
    EXPECT_EQ(repaints, 0);
    EXPECT_TRUE(gui.Dialogs().Boxes().empty());
    int track = 1;
    for (const auto& [name, run] : commands) {
        Song->UnselectAllParts();
        _TPart* fresh = PartWith(track++, 0, ev);
        run(fresh);
        EXPECT_NE(Events(fresh), ev) << name;
    }
    EXPECT_TRUE(grooved);
}

} // namespace
