// The key editor's menu commands under the harness: the event clipboard, selecting by a field,
// keep and delete like the selection, mute notes, rotate, the enabling as menus open, the
// dialogs reached through their seams, undo with several parts selected, the output menu of
// the bound part's track, and the renderer held while step notes, channels and times change.
#include "editors/key_fixture.h"

#include "app/editcommands.h"
#include "app/main.h"
#include "devices/audio.h"
#include "devices/mfx.h"
#include "devices/midimsg.h"
#include "gui/scroll.h"
#include "platform/forms/buttons.h"
#include "platform/forms/edit.h"
#include "platform/forms/extctrls.h"
#include "platform/menus/menus.h"
#include "song/primitives.h"
#include "song/softengine.h"
#include "song/song.h"
#include "song/textconv.h"
#include "song/undo.h"
#include "support/recording_synths.h"

using namespace platform;

namespace {

_TEvent* Insert(_TPart* P, int Tick, std::uint32_t Msg) {
    _TEvent* e = NewEvent(Tick, Msg);
    _TPart* p = P;
    InsertEvent(p, e);
    return e;
}

std::vector<int> Keys(const _TPart* P) {
    std::vector<int> r;
    for (const _TEvent* e = P->Events; e; e = e->Next)
        if (IsNoteOn(e->Msg)) r.push_back(int(MidiData1(e->Msg)));
    return r;
}

std::vector<int> NoteTicks(const _TPart* P) {
    std::vector<int> r;
    int t = 0;
    for (const _TEvent* e = P->Events; e; e = e->Next) {
        t += e->Delta;
        if (IsNoteOn(e->Msg)) r.push_back(t);
    }
    return r;
}

void SelectNotesAt(_TPart* P, std::initializer_list<int> Ticks) {
    int t = 0;
    for (_TEvent* e = P->Events; e; e = e->Next) {
        t += e->Delta;
        if (IsNoteOn(e->Msg) && std::find(Ticks.begin(), Ticks.end(), t) != Ticks.end())
            SelectNote(P, e);
    }
}

class KeyCommandsTest : public KeyTest {
protected:
    void TearDown() override {
        EditCommandSeams().ShowGrooves = nullptr;
        EditCommandSeams().ShowVelocity = nullptr;
        EditCommandSeams().ShowTimeScale = nullptr;
        KeyTest::TearDown();
    }
    void Open(_TPart* P) {
        OpenKey(P);
        k->PrepareMenus();
    }
};

TEST_F(KeyCommandsTest, CopyAndPasteAtTheSongPosition) {
    Start();
    _TPart* p = AddPart(0, 0, 1200, {{120, 60, 30}, {240, 62, 30}, {480, 64, 30}});
    Open(p);
    SelectAllNotes(p);
    k->miCopy->Click();
    ASSERT_EQ(fmArrange->EventClipboard.size(), 6u);
    EXPECT_EQ(fmArrange->EventClipboard[0].Offset, 0);
    EXPECT_EQ(fmArrange->EventClipboard[4].Offset, 360);

    Song->Position = 1300;
    gui.Dialogs().Answer(IDOK, "Can't paste if song position is outside part");
    k->miPaste->Click();
    ASSERT_EQ(gui.Dialogs().Boxes().size(), 1u);
    EXPECT_EQ(gui.Dialogs().Boxes()[0].Caption, "Paste");
    EXPECT_EQ(NoteTicks(p).size(), 3u);

    Song->Position = 960;
    k->miPaste->Click();
    gui.Pump();
    _TPart* now = Song->CurrentPart;
    EXPECT_EQ(NoteTicks(now), (std::vector<int>{120, 240, 480, 960, 1080, 1320}));
    EXPECT_EQ(now->Length, 2160);
    EXPECT_EQ(Song->UndoStore->Caption, "Undo paste");
}

// The items' shortcuts follow the state they were enabled for without a menu being opened, and
// Del in a focused field edits the field.
TEST_F(KeyCommandsTest, ShortcutsFollowTheStateAndLeaveDelToAField) {
    Start();
    _TPart* p = AddPart(0, 0, 960, {{0, 60, 30}, {120, 62, 30}});
    Open(p);
    EXPECT_FALSE(k->miPaste->Enabled);
    gui.Chord({VK_CONTROL, 'A'});
    gui.Chord({VK_CONTROL, 'C'});
    Song->Position = 480;
    gui.Chord({VK_CONTROL, 'V'});
    gui.Pump();
    EXPECT_EQ(NoteTicks(Song->CurrentPart), (std::vector<int>{0, 120, 480, 600}));

    UnselectEvents(Song->CurrentPart);
    SelectNote(Song->CurrentPart, Song->CurrentPart->Events);
    k->UpdateEditbar();
    ASSERT_EQ(k->editTicks->Text(), "000");
    gui.Click(testsupport::GuiHarness::At(k->editTicks->Handle(), 4, 4));
    gui.Key(VK_HOME);
    gui.Key(VK_DELETE);
    gui.Pump();
    EXPECT_EQ(k->editTicks->Text(), "00");
    EXPECT_EQ(NoteTicks(Song->CurrentPart).size(), 4u) << "Del deleted events";
}

TEST_F(KeyCommandsTest, SelectionCommands) {
    Start();
    _TPart* p = AddPart(0, 0, 1920, {{0, 60, 30}, {120, 36, 30}, {240, 36, 30}, {360, 62, 30}});
    Insert(p, 600, PackMidiMsg(0xB0, 60, 5));
    Insert(p, 700, PackMidiMsg(0xB0, 61, 5));
    Open(p);
    SelectNotesAt(p, {0});
    k->PrepareMenus();
    EXPECT_TRUE(k->miSelectSame->Enabled);
    k->miSelectSame->Items(1)->Click(); // "&Note/cc"
    int selectedCc = 0;
    for (const _TEvent* e = p->Events; e; e = e->Next)
        if (MidiStatus(e->Msg) == 0xB0 && (e->Flags & efSelected))
            selectedCc = int(MidiData1(e->Msg));
    EXPECT_EQ(selectedCc, 60);
    EXPECT_EQ(CountSelectedEvents(p), 3); // the note, its note-off and controller 60

    UnselectEvents(p);
    SelectNotesAt(p, {120});
    k->miKeepSame->Click();
    gui.Pump();
    _TPart* now = Song->CurrentPart;
    EXPECT_EQ(Keys(now), (std::vector<int>{36, 36}));
    EXPECT_EQ(Song->UndoStore->Caption, "Undo keep same as selected");

    SelectAllNotes(now);
    k->miMuteNotes->Click();
    for (const _TEvent* e = now->Events; e; e = e->Next)
        EXPECT_TRUE(e->Flags & efMuted);
    k->miMuteNotes->Click();
    for (const _TEvent* e = now->Events; e; e = e->Next)
        EXPECT_FALSE(e->Flags & efMuted);
}

TEST_F(KeyCommandsTest, RotateWrapsAroundThePart) {
    Start();
    _TPart* p = AddPart(0, 0, 960, {{0, 60, 30}, {900, 62, 30}});
    Open(p);
    Song->EditRes = 16;
    SelectAllNotes(p);
    k->PrepareMenus();
    EXPECT_EQ(k->miRotateRight->Caption,
              "Rotate &right (" + std::string(k->panelRes->Caption) + ")");
    k->miRotateRight->Click();
    gui.Pump();
    std::vector<int> ticks = NoteTicks(Song->CurrentPart);
    std::sort(ticks.begin(), ticks.end());
    EXPECT_EQ(ticks, (std::vector<int>{0, 60}));
    EXPECT_EQ(Song->UndoStore->Caption, "Undo rotate");
}

TEST_F(KeyCommandsTest, EnablingAsTheMenusOpen) {
    Start();
    _TPart* p = AddPart(0, 0, 960, {{0, 60, 30}});
    Open(p);
    Song->UndoStore->Begin(ukEdit, "Undo test");
    k->PrepareMenus();
    EXPECT_TRUE(k->miUndo->Enabled);
    EXPECT_EQ(k->miUndo->Caption, "Undo test");
    EXPECT_FALSE(k->miPaste->Enabled);
    EXPECT_FALSE(k->miCopy->Enabled);
    EXPECT_FALSE(k->miKeep->Enabled);
    EXPECT_FALSE(k->miEditSysex->Enabled);
    EXPECT_EQ(k->miQuantize->Caption, "&Quantize (" + std::string(k->panelRes->Caption) + ")");
    Song->State = 1;
    k->PrepareMenus();
    EXPECT_FALSE(k->miUndo->Enabled);
    Song->State = 0;
    SelectAllNotes(p);
    k->PrepareMenus();
    EXPECT_TRUE(k->miCopy->Enabled);
    EXPECT_TRUE(k->miKeep->Enabled);
}

TEST_F(KeyCommandsTest, DialogsThroughTheirSeams) {
    Start();
    _TPart* p = AddPart(0, 0, 960, {{0, 60, 30}});
    _TEvent* sysex = Insert(p, 480, 0xF0);
    const std::uint8_t bytes[] = {0xF0, 0x43, 0x10, 0xF7};
    SetEventBlock(*sysex, bytes, 4);
    Open(p);
    int grooves = 0, velocity = 0, scale = 0;
    EditCommandSeams().ShowGrooves = [&] { ++grooves; };
    EditCommandSeams().ShowVelocity = [&] { ++velocity; };
    EditCommandSeams().ShowTimeScale = [&] { ++scale; };
    k->PrepareMenus(); // Shift+G and Shift+V need their items enabled
    gui.Chord({VK_SHIFT, 'G'});
    gui.Chord({VK_SHIFT, 'V'});
    k->miTimeScale->Click();
    gui.Pump();
    EXPECT_EQ(grooves, 1);
    EXPECT_EQ(velocity, 1);
    EXPECT_EQ(scale, 1);

    std::vector<std::string> got;
    int lo = -1, hi = -1;
    KeyEditorSeams().InsertSysexDialog = [&](const std::string& Bar, const std::string& Beat,
                                             const std::string& Tick, int Start, int End) {
        got = {Bar, Beat, Tick};
        lo = Start;
        hi = End;
        return false;
    };
    k->StepTick = 300;
    k->miInsertSysex->Click();
    EXPECT_EQ(got, (std::vector<std::string>{"0001", "02", "060"}));
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 960);

    std::string hex;
    KeyEditorSeams().EditSysexDialog = [&](const std::string& Bar, const std::string& Beat,
                                           const std::string& Tick, const std::string& Hex) {
        got = {Bar, Beat, Tick};
        hex = Hex;
        return true;
    };
    sysex->Flags |= efSelected;
    k->PrepareMenus();
    EXPECT_TRUE(k->miEditSysex->Enabled);
    k->miEditSysex->Click();
    EXPECT_EQ(got, (std::vector<std::string>{"0001", "03", "000"}));
    std::string want;
    SysexToHex(*sysex, want);
    EXPECT_EQ(hex, want);
    EXPECT_FALSE(hex.empty());
}

// Undo with two parts selected leaves no current part: all notes off still goes to the edited
// track's output.
TEST_F(KeyCommandsTest, UndoSilencesTheEditedTrack) {
    Start();
    Song->TrackAt(0)->Mode = tmMidi;
    Song->TrackAt(0)->Channel = 4;
    _TPart* a = AddPart(0, 0, 960, {{0, 60, 30}});
    AddPart(0, 1920, 960, {{0, 60, 30}});
    Open(a);
    {
        Song->UndoStore->Begin(ukEdit, "Undo test");
        Song->UndoStore->AddPart(SnapshotPart(a));
    }
    for (_TPart* q = Song->TrackAt(0)->Parts; q; q = q->Next)
        q->Flags |= pfSelected;
    synth.Clear();
    k->PrepareMenus();
    ASSERT_TRUE(k->miUndo->Enabled);
    k->miUndo->Click();
    gui.Pump();
    bool silenced = false;
    for (const auto& m : synth.Sent())
        silenced |= m.Bytes.size() == 3 && m.Bytes[0] == 0xB4 && m.Bytes[1] == 123;
    EXPECT_TRUE(silenced);
}

TEST_F(KeyCommandsTest, TheOutputMenuFollowsTheBoundPartsTrack) {
    RecordingVst vst;
    Start();
    TSoftItem* item = SoftEngine->AddSoftsynth("recvst");
    ASSERT_TRUE(item && item->Plugin->Loaded);
    std::string name;
    item->Plugin->GetName(name);
    Song->TrackAt(1)->Mode = tmSoftsynth;
    _TPart* midi = AddPart(0, 0, 960);
    _TPart* soft = AddPart(1, 0, 960);
    Open(midi);
    k->miTrack->Click();
    const int ports = k->miOutput->Count();
    EXPECT_GT(ports, 0);
    OpenKey(soft);
    k->miTrack->Click();
    ASSERT_EQ(k->miOutput->Count(), 1);
    EXPECT_EQ(k->miOutput->Items(0)->Caption, name);
}

// Softsynth queues walk the part: each step note, channel change and time change holds the
// renderer; a recording song takes no guard.
TEST_F(KeyCommandsTest, ChangesHoldTheRenderer) {
    Start("[Audio]\nSystem=scripted\n");
    Song->TrackAt(0)->Mode = tmSoftsynth;
    _TPart* p = AddPart(0, 0, 1920, {{0, 60, 30}, {60, 62, 30}});
    Open(p);
    ASSERT_TRUE(Audio);
    Audio->Open(fmMdi->Handle());
    Audio->Start();
    ASSERT_TRUE(Audio->Running);
    fmMdi->StartPlayback(false);
    int changes = 0, held = 0;
    KeyInsertHeldHook = [&] {
        ++changes;
        if (EnterRenderBlock())
            LeaveRenderBlock();
        else
            ++held;
    };
    gui.Key(VK_F4);
    SendMessage(fmMdi->Handle(), MM_MIM_DATA, 0, LPARAM(0x00503C90));
    SendMessage(fmMdi->Handle(), MM_MIM_DATA, 0, LPARAM(0x00003C80));
    gui.Pump();
    k->editCh->Text = "2";
    char32_t enter = U'\r';
    k->editCh->OnKeyPress(k->editCh, enter);
    SelectNote(p, p->Events);
    k->editBars->Text = "0001";
    k->editBeats->Text = "02";
    k->editTicks->Text = "000";
    enter = U'\r';
    k->editTicks->OnKeyPress(k->editTicks, enter);
    gui.Pump();
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(held, changes);
    KeyInsertHeldHook = nullptr;
    fmMdi->StopPlayback(false);
}

} // namespace
