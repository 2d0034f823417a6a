// The key editor's frame: opening from the arrange window, creation with its settings, the
// geometry, zoom and scrolling, binding at activation, "U&ndo all editing", the Show menu and
// closing.
#include "editors/key_fixture.h"

#include "app/filemenu.h"
#include "app/transport.h"
#include "devices/mfx.h"
#include "devices/midimsg.h"
#include "gui/hemibtn.h"
#include "gui/mscroll.h"
#include "gui/scroll.h"
#include "gui/splitterex2.h"
#include "platform/forms/buttons.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/header.h"
#include "platform/menus/menus.h"
#include "platform/window/focus.h"
#include "song/softengine.h"
#include "song/timebase.h"
#include "song/undo.h"
#include "songdump/dump.h"
#include "support/recording_synths.h"

using namespace platform;

TEST_F(KeyTest, CtrlEOpensTheEditorWithoutSettingsMaximized) {
    Start();
    _TPart* p = AddPart(0, 0, 3850, {{0, 60, 60}});
    OpenKey(p);
    EXPECT_EQ(k->GetFormStyle(), fsMDIChild);
    EXPECT_TRUE(k->Visible);
    EXPECT_EQ(k->WindowState, wsMaximized);
    EXPECT_EQ(k->panelList->Width, 200);
    EXPECT_EQ(k->panelBottom->Height, 82);
    EXPECT_EQ(NoteHeight, 7);
    EXPECT_EQ(Width16th, 16);
    EXPECT_EQ(TfmKey::GridHeight(), 525);
    EXPECT_EQ(k->PartWidthPixels(), 1024);
    EXPECT_EQ(k->ScrollX->Max, std::max(1024 + 100 - k->key->GetClientWidth(), 0));
    EXPECT_EQ(k->Caption, "Part");
    EXPECT_EQ(k->BoundPart, p);
    ASSERT_NE(k->Snapshot, nullptr);
    EXPECT_NE(k->Snapshot, p);
}

// Scrolled by the wheel both ways along both axes and by the scroll bars' arrows, the editor
// shows what a fresh paint shows, with its panes as they open and with the grid taking most of
// the window (the bars, the lane and the list hidden).
TEST_F(KeyTest, ScrolledPanesShowWhatAFreshPaintShows) {
    Start("[Part edit]\nNoteHeight=12\n");
    std::vector<std::tuple<int, int, int>> notes;
    for (int n = 0; n < 128; ++n)
        notes.emplace_back(n * 240, 30 + (n * 5) % 60, 120);
    OpenKey(AddPartWithNotes(0, 0, 32 * 960, "Long", notes));
    for (bool roomy : {false, true}) {
        if (roomy)
            for (platform::TMenuItem* i :
                 {k->miToolbar, k->miEditbar, k->miControllers, k->miListOfEvents})
                i->Click();
        gui.Pump();
        const TRect g = [&] {
            TRect r{};
            GetWindowRect(k->key->Handle(), &r);
            return r;
        }();
        const TPoint time{(g.Left + g.Right) / 2, g.Bottom - 3}, keys{g.Right - 3, g.Top + 30};
        struct Step {
            const char* name;
            std::function<void()> act;
        } steps[] = {
            {"time forward", [&] { gui.Wheel(time, -3 * 120); }},
            {"time back", [&] { gui.Wheel(time, 120); }},
            {"notes up", [&] { gui.Wheel(keys, 3 * 120); }},
            {"notes down", [&] { gui.Wheel(keys, -120); }},
            {"right arrow", [&] { ClickScrollBar(k->guiScrollx, k->ScrollX, 1); }},
            {"left arrow", [&] { ClickScrollBar(k->guiScrollx, k->ScrollX, 0); }},
            {"down arrow", [&] { ClickScrollBar(k->guiScrolly, k->ScrollY, 1); }},
            {"up arrow", [&] { ClickScrollBar(k->guiScrolly, k->ScrollY, 0); }},
        };
        for (const Step& s : steps) {
            const int x = k->ScrollX->Position, y = k->ScrollY->Position;
            s.act();
            EXPECT_TRUE(k->ScrollX->Position != x || k->ScrollY->Position != y)
                << s.name << (roomy ? " roomy" : "");
            EXPECT_EQ(DifferFromAFreshPaint(k->Handle()), 0) << s.name << (roomy ? " roomy" : "");
        }
    }
}

TEST_F(KeyTest, StoredZoomIsBroughtIntoItsRanges) {
    const struct {
        const char* Stored;
        int NoteHeight, Width16th;
    } cases[] = {{"NoteHeight=1000\nWidth16th=100000\n", 40, 500},
                 {"NoteHeight=1\nWidth16th=-5\n", 4, 4},
                 {"NoteHeight=12\nWidth16th=33\n", 12, 33}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Stored);
        Start(std::string("[Part edit]\n") + c.Stored);
        OpenKey(AddPart(0, 0, 960));
        EXPECT_EQ(NoteHeight, c.NoteHeight);
        EXPECT_EQ(Width16th, c.Width16th);
        EXPECT_EQ(k->ScrollY->LineStep, c.NoteHeight);
        EXPECT_EQ(k->ScrollX->PageStep, 4 * c.Width16th);
        TearDown();
    }
}

TEST_F(KeyTest, ZoomStaysInItsRangesAndZoomOffWritesBothKeys) {
    Start("[Part edit]\nWidth16th=5\nNoteHeight=5\n");
    OpenKey(AddPart(0, 0, 3850));
    k->ScrollXControl("zoomHorzOut", 0); // 5 - 2 would be 3
    EXPECT_EQ(Width16th, 4);
    k->ScrollXControl("zoomHorzOut", 0);
    EXPECT_EQ(Width16th, 4);
    EXPECT_EQ(Setting("Part edit", "Width16th"), "4");
    Width16th = 499;
    k->ScrollXControl("zoomHorzIn", 0); // 501 would leave the range
    EXPECT_EQ(Width16th, 500);
    k->ScrollXControl("zoomHorzIn", 0);
    EXPECT_EQ(Width16th, 500);
    EXPECT_EQ(k->ScrollX->LineStep, 500);
    for (int i = 0; i < 50; ++i)
        k->ScrollYControl("zoomVertIn", 0);
    EXPECT_EQ(NoteHeight, 40);
    EXPECT_EQ(Setting("Part edit", "NoteHeight"), "40");
    for (int i = 0; i < 50; ++i)
        k->ScrollYControl("zoomVertOut", 0);
    EXPECT_EQ(NoteHeight, 4);
    EXPECT_EQ(TfmKey::GridHeight(), NoteToKeyY(0) + 4);
    // The ranges follow the zoom; positions stay where they were.
    k->ScrollXControl("zoomOff", 0);
    EXPECT_EQ(NoteHeight, 7);
    EXPECT_EQ(Width16th, 16);
    EXPECT_EQ(Setting("Part edit", "NoteHeight"), "7");
    EXPECT_EQ(Setting("Part edit", "Width16th"), "16");
    EXPECT_EQ(k->ScrollX->Max, std::max(1024 + 100 - k->key->GetClientWidth(), 0));
    EXPECT_EQ(k->ScrollY->Max, std::max(525 - k->key->GetClientHeight(), 0));
}

TEST(KeyGeometry, RoundingTable) {
    struct Case {
        int Width;
        std::int64_t Tick;
        int X;
    };
    // Grid lines round halves to even.
    for (const Case& c :
         {Case{6, 5, 0}, Case{6, 15, 2}, Case{6, 25, 2}, Case{16, 60, 16}, Case{16, -15, -4},
          Case{500, 1'073'742, 8'947'850}, Case{500, 2'000'000'000, 2'147'483'647}}) {
        Width16th = c.Width;
        EXPECT_EQ(TfmKey::TickToX(c.Tick), c.X) << c.Width << " " << c.Tick;
    }
    Width16th = 18;
    EXPECT_EQ(TfmKey::TickToFloorX(10) + 1, 3); // a note's left edge
    Width16th = 16;
    EXPECT_EQ(TfmKey::TickToFloorX(60), 16); // a note of ticks 0..60 covers x 1..16
    EXPECT_EQ(TfmKey::XToTicks(4), 14);      // 15.0 exactly, an odd whole number
    EXPECT_EQ(TfmKey::XToTicks(5), 18);
    EXPECT_EQ(TfmKey::XToSnappedTicks(-20, 60), -60);
    EXPECT_EQ(TfmKey::XToSnappedTicks(40, 60), 120);
    EXPECT_EQ(TfmKey::XToSnappedTicks(41, 0), 153);
    EXPECT_EQ(RoundToMultiple(70, 60), 60);
    EXPECT_EQ(RoundToMultiple(90, 60), 120);
    NoteHeight = 7;
    EXPECT_EQ(TfmKey::GridHeight(), 525);
}

TEST_F(KeyTest, WheelNearTheBottomScrollsSideways) {
    Start("[Part edit]\nNoteHeight=20\n");
    OpenKey(AddPart(0, 0, 96000));
    k->ScrollX->SetPosition(100);
    k->ScrollX->Changed();
    k->ScrollY->SetPosition(70);
    k->ScrollY->Changed();
    EXPECT_EQ(k->key->OffsetX, -100);
    TRect r{};
    GetWindowRect(k->key->Handle(), &r);
    k->WMMouseWheel(120, {r.Left + 300, r.Bottom - 5});
    EXPECT_EQ(k->ScrollX->Position, 84);
    EXPECT_EQ(k->meter->OffsetX, -84);
    k->WMMouseWheel(-240, {r.Right - 5, r.Top + 30});
    EXPECT_EQ(k->ScrollY->Position, 110);
    EXPECT_EQ(k->Keyboard->OffsetY, -110);
    // Through the window's own message, delta in the high word.
    gui.Wheel(testsupport::GuiHarness::At(k->key->Handle(), 300, k->key->GetClientHeight() - 3),
              120);
    gui.Pump();
    EXPECT_EQ(k->ScrollX->Position, 68);
}

TEST_F(KeyTest, ClosingWritesItsSettingsAndAStoredPlacementIsChecked) {
    // Left is not less than the window's own width of 760: it goes back to 0.
    Start("[Partedit]\nMaximized=0\nLeft=5000\nTop=30\nWidth=500\nHeight=400\nCol1=66\n"
          "Splitter=150\n[Control]\nHeight=120\n[Part edit]\nGrid=120\nStepPreviw=0\n"
          "MusicKeyboard=1\nGridShowOctaves=0\nGridShowFlats=1\n");
    OpenKey(AddPart(0, 0, 960));
    EXPECT_EQ(k->WindowState, wsNormal);
    EXPECT_EQ(k->Left, 0);
    EXPECT_EQ(k->Top, 30);
    EXPECT_EQ(k->Width, 500);
    EXPECT_EQ(k->Height, 400);
    EXPECT_EQ(k->listTitles->Sections(0)->Width(), 40);
    EXPECT_EQ(k->listTitles->Sections(1)->Width(), 66);
    EXPECT_EQ(k->panelList->Width, 150);
    EXPECT_EQ(k->panelBottom->Height, 120);
    EXPECT_EQ(k->GridSpacing, 120);
    EXPECT_FALSE(k->miStepPreview->Checked);
    EXPECT_TRUE(k->sbKeyb->Down);
    EXPECT_FALSE(k->GridShowOctaves);
    EXPECT_TRUE(k->GridShowFlats);
    EXPECT_TRUE(k->PanelToolCC->Visible); // 16 + 22 fit into 120
    k->listTitles->Sections(4)->Width = 77;
    k->SetBounds(12, 14, 520, 410);
    k->miStepPreview->Click();
    k->Close();
    gui.Pump();
    EXPECT_EQ(fmKey, nullptr);
    EXPECT_EQ(Setting("Partedit", "Col4"), "77");
    EXPECT_EQ(Setting("Partedit", "Col1"), "66");
    EXPECT_EQ(Setting("Partedit", "Splitter"), "150");
    EXPECT_EQ(Setting("Partedit", "Maximized"), "0");
    EXPECT_EQ(Setting("Partedit", "Left"), "12");
    EXPECT_EQ(Setting("Partedit", "Height"), "410");
    EXPECT_EQ(Setting("Control", "Height"), "120");
    EXPECT_EQ(Setting("Part edit", "Grid"), "120");
    EXPECT_EQ(Setting("Part edit", "StepPreviw"), "1");
    // Opened again, it is made anew from the settings.
    OpenKey(Song->CurrentPart);
    EXPECT_EQ(k->Left, 12);
}

TEST_F(KeyTest, ActivationBindsTheCurrentPartAndItsTrack) {
    Start();
    _TPart* a = AddPart(0, 0, 960, {{0, 60, 60}}, "First");
    _TPart* b = AddPart(3, 960, 960, {{0, 62, 60}}, "Second");
    b->Events->Flags |= efSelected;
    OpenKey(a);
    _TPart* snapshot = k->Snapshot;
    EXPECT_EQ(fmMdi->WindStep, 1);
    // Activating again for the same part keeps its snapshot.
    k->FormActivate();
    EXPECT_EQ(k->Snapshot, snapshot);
    // Another part of another track: bound, unselected, its track current.
    Song->SetCurrentPart(b);
    k->FormActivate();
    EXPECT_EQ(k->Caption, "Second");
    EXPECT_EQ(k->BoundPart, b);
    EXPECT_EQ(b->Events->Flags & efSelected, 0u);
    EXPECT_EQ(Song->CurrentTrackIndex, 3);
    EXPECT_TRUE(k->sbPrior->Enabled == false && k->sbNext->Enabled == false);
    EXPECT_TRUE(k->editNote->Enabled);
    // While the song records the current track stays.
    Song->SetCurrentPart(a);
    Song->State = 1;
    k->FormActivate();
    Song->State = 0;
    EXPECT_EQ(k->BoundPart, a);
    EXPECT_EQ(Song->CurrentTrackIndex, 3);
    // A solo moves to the new current track.
    fmMdi->ToggleSolo(false);
    ASSERT_EQ(Song->SoloTrack, 3);
    EXPECT_TRUE(k->sbSolo->Down);
    k->FormActivate();
    EXPECT_EQ(Song->CurrentTrackIndex, 0);
    EXPECT_EQ(Song->SoloTrack, 0);
    EXPECT_EQ(Song->TrackAt(3)->Mute, 1);
    fmMdi->ToggleSolo(false);
    EXPECT_FALSE(k->sbSolo->Down);
    // Without a part every editing control is off.
    Song->SetCurrentPart(nullptr);
    k->FormActivate();
    EXPECT_EQ(k->Caption, "Part edit");
    EXPECT_EQ(k->Snapshot, nullptr);
    EXPECT_EQ(k->BoundPart, nullptr);
    EXPECT_FALSE(k->editNote->Enabled);
    EXPECT_FALSE(k->sbInsert->Enabled);
    EXPECT_TRUE(k->sbDefault->Down);
}

// Opening takes the focus from every field (the arrange window's tempo field had it), and so
// does a press on the grid or the ruler: the editor itself has the keyboard.
TEST_F(KeyTest, OpeningAndPressesOnTheGridAndRulerLeaveNoFieldFocused) {
    Start();
    _TPart* p = AddPart(0, 0, 1920, {{0, 60, 60}});
    fmArrange->editBpm->SetFocus();
    OpenKey(p);
    EXPECT_EQ(platform::GetFocus(), k->Handle());
    for (TScroll* on : {k->key, k->meter}) {
        k->editNote->SetFocus();
        ASSERT_TRUE(k->editNote->Focused());
        gui.Advance(1000);
        gui.Click(testsupport::GuiHarness::At(on->Handle(), 300, 5));
        EXPECT_EQ(platform::GetFocus(), k->Handle());
    }
}

TEST_F(KeyTest, APartOfAnAudioTrackClosesTheEditorAndOpensItsOwn) {
    Start();
    Song->TrackAt(2)->Mode = tmAudio;
    _TPart* audio = AddPart(2, 0, 960);
    OpenKey(AddPart(0, 0, 960));
    std::vector<int> opened;
    ArrangeSeams().OpenEditor = [&](int Mode) { opened.push_back(Mode); };
    Song->SetCurrentPart(audio);
    k->FormActivate();
    gui.Pump();
    ArrangeSeams().OpenEditor = nullptr;
    EXPECT_EQ(fmKey, nullptr);
    EXPECT_EQ(opened, std::vector<int>{tmAudio});
}

TEST_F(KeyTest, NewAndOpenCloseTheEditorAndShutDownFreesIt) {
    Start();
    OpenKey(AddPart(0, 0, 960));
    Song->Modified = 0;
    fmMdi->New1Click();
    gui.Pump();
    EXPECT_EQ(fmKey, nullptr);
    EXPECT_EQ(Setting("Partedit", "Splitter"), "200");
    OpenKey(AddPart(0, 0, 960));
    gui.Dialogs().Answer(IDYES, "Are you sure?");
    fmMdi->Close();
    EXPECT_EQ(fmKey, nullptr);
    EXPECT_EQ(Setting("Partedit", "Maximized"), "1");
    fmMdi->Free();
}

namespace {

// Edits the part the way commands do: a note's key changed, a note added at the end.
void EditPart(_TPart* P) {
    P->Events->Msg = (P->Events->Msg & ~0xFF00u) | (70u << 8);
    _TPart* part = P;
    InsertEvent(part, NewEvent(700, 0x904000u | (90u << 16)));
    InsertEvent(part, NewEvent(760, 0x804000u));
}

// The song's parts and events as songdump prints them (flags of the views' redraws aside).
std::string PartsAndEvents() {
    std::string s = DumpEvents(*Song);
    for (int i = 0; i < TrackCount; ++i)
        for (const _TPart* p = Song->TrackAt(i)->Parts; p; p = p->Next)
            s += std::to_string(i) + " " + p->Name + " " + std::to_string(p->Start) + " " +
                 std::to_string(p->Length) + "\n";
    return s;
}

// "U&ndo all editing" by its keys (offered in the Edit menu): the song is as it was bound, the
// editor bound to the part now current.
void UndoAllByKeys(TfmKey* k, testsupport::GuiHarness& gui, const std::string& Bound) {
    k->miEdit->Click();
    EXPECT_TRUE(k->miUndoAll->Enabled);
    gui.Chord({VK_CONTROL, VK_SHIFT, 'Z'});
    gui.Pump();
    EXPECT_EQ(PartsAndEvents(), Bound);
    ASSERT_NE(Song->CurrentPart, nullptr);
    EXPECT_EQ(k->BoundPart, Song->CurrentPart);
}

} // namespace

TEST_F(KeyTest, UndoAllEditingReturnsToTheBoundStateEachTime) {
    Start();
    _TPart* p = AddPart(0, 960, 960, {{0, 60, 60}, {240, 64, 60}});
    AddPart(0, 2880, 960, {{0, 50, 60}}, "Next");
    OpenKey(p);
    const std::string bound = PartsAndEvents();
    EditPart(p);
    ASSERT_NE(PartsAndEvents(), bound);
    UndoAllByKeys(k, gui, bound);
    ASSERT_NE(Song->CurrentPart, nullptr);
    EXPECT_EQ(Song->CurrentPart->Start, 960);
    EditPart(Song->CurrentPart);
    k->UndoAllEditing();
    EXPECT_EQ(PartsAndEvents(), bound);
    EXPECT_EQ(Song->UndoStore->Caption, "Undo");
    // Two edits, the last one undone the way the editor's own undo does: the part in its place
    // is another copy now, and undoing all editing still returns to the bound state.
    EditPart(Song->CurrentPart);
    Song->UndoStore->Begin(ukEdit, "Undo edit");
    Song->UndoStore->AddPart(SnapshotPart(Song->CurrentPart));
    EditPart(Song->CurrentPart);
    Song->Undo();
    ASSERT_NE(Song->CurrentPart, k->BoundPart);
    k->UndoAllEditing();
    EXPECT_EQ(PartsAndEvents(), bound);
}

TEST_F(KeyTest, UndoAllEditingAfterThePartWasMovedBindsItWhereItIsNow) {
    Start();
    _TPart* p = AddPart(0, 960, 960, {{0, 60, 60}});
    OpenKey(p);
    EditPart(p);
    // Moved in the arrange window while the editor stays open: the old copy must not come back
    // at the old place.
    Song->MoveSelectedParts(0, 1920);
    ASSERT_EQ(p->Start, 2880);
    ASSERT_EQ(Song->CurrentPart, p);
    const std::string moved = PartsAndEvents();
    k->UndoAllEditing();
    EXPECT_EQ(PartsAndEvents(), moved);
    EXPECT_EQ(PartAtTick(Song->TrackAt(0), 960), nullptr);
    EditPart(p);
    k->UndoAllEditing();
    EXPECT_EQ(PartsAndEvents(), moved);
    // The same when the editor is activated after the move.
    Song->MoveSelectedParts(0, -960);
    ASSERT_EQ(Song->CurrentPart->Start, 1920);
    const std::string back = PartsAndEvents();
    k->FormActivate();
    EditPart(Song->CurrentPart);
    k->UndoAllEditing();
    EXPECT_EQ(PartsAndEvents(), back);
}

TEST_F(KeyTest, UndoAllEditingSurvivesTheSongsUndoPuttingBackACopyOfThePart) {
    // The song's undo of these kinds puts back a new part at the same track and start; the
    // editor keeps its snapshot for it, whether or not it was activated in between.
    const struct {
        int Kind;
        bool Activate;
    } cases[] = {{ukSingle, false}, {ukEdit, false}, {ukStep, false}, {ukEdit, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << c.Kind << " activated " << c.Activate);
        Start();
        _TPart* p = AddPart(0, 960, 960, {{0, 60, 60}, {240, 64, 60}});
        OpenKey(p);
        const std::string bound = PartsAndEvents();
        EditPart(p);
        Song->UndoStore->Begin(c.Kind, "Undo");
        Song->UndoStore->AddPart(SnapshotPart(p));
        EditPart(p);
        Song->Undo();
        ASSERT_NE(Song->CurrentPart, nullptr);
        if (c.Activate) k->FormActivate();
        ASSERT_NE(k->Snapshot, nullptr);
        UndoAllByKeys(k, gui, bound);
        ASSERT_NE(Song->CurrentPart, nullptr);
        EXPECT_NE(k->Snapshot, nullptr);
        TearDown();
    }
}

TEST_F(KeyTest, UndoAllEditingLeavesTheEditorUnboundWhenTheCopyNoLongerFits) {
    Start();
    Song->TrackAt(0)->Mode = tmMidi;
    _TPart* p = AddPart(0, 960, 960, {{0, 60, 60}});
    OpenKey(p);
    // The part shrinks and another part takes the freed time: the copy overlaps it.
    p->Length = 480;
    AddPart(0, 1440, 480, {}, "Later");
    synth.Clear();
    k->UndoAllEditing();
    EXPECT_EQ(Song->CurrentPart, nullptr);
    EXPECT_EQ(k->Snapshot, nullptr);
    EXPECT_EQ(k->BoundPart, nullptr);
    EXPECT_EQ(k->Caption, "Part edit");
    EXPECT_FALSE(k->editNote->Enabled);
    ASSERT_NE(PartAtTick(Song->TrackAt(0), 1440), nullptr);
    EXPECT_EQ(PartAtTick(Song->TrackAt(0), 1440)->Name, "Later");
    ASSERT_EQ(synth.Sent().size(), 1u);
    EXPECT_EQ(synth.Sent()[0].Bytes, (std::vector<std::uint8_t>{0xB0, 123, 0}));
    k->miEdit->Click();
    EXPECT_FALSE(k->miUndoAll->Enabled);
}

TEST_F(KeyTest, ShowMenuTogglesTheBarsTheLaneAndTheList) {
    Start();
    OpenKey(AddPart(0, 0, 960));
    k->ShowMenu->Click();
    EXPECT_TRUE(k->miToolbar->Checked && k->miEditbar->Checked && k->miControllers->Checked &&
                k->miListOfEvents->Checked);
    k->miToolbar->Click();
    k->miEditbar->Click();
    EXPECT_FALSE(k->Toolbar->Visible);
    EXPECT_FALSE(k->editbar->Visible);
    // The lane: only the scroll strip remains, then the remembered height comes back.
    k->panelBottom->Height = 100;
    gui.Chord({VK_F10});
    EXPECT_EQ(k->panelBottom->Height, k->guiScrollx->Height);
    EXPECT_FALSE(k->PanelToolCC->Visible);
    EXPECT_FALSE(k->panelLane->Visible);
    k->ShowMenu->Click();
    EXPECT_FALSE(k->miControllers->Checked);
    EXPECT_FALSE(k->miToolbar->Checked);
    k->miControllers->Click();
    EXPECT_EQ(k->panelBottom->Height, 100);
    EXPECT_TRUE(k->PanelToolCC->Visible);
    // A splitter drag leaving no room for the lane toolbar hides it.
    k->panelBottom->Height = 30;
    k->SplitterEx22->OnMoved(k->SplitterEx22);
    EXPECT_FALSE(k->PanelToolCC->Visible);
    // The list: width 0, then back to the remembered width; the hide button only remembers.
    k->panelList->Width = 180;
    gui.Chord({VK_F9});
    EXPECT_EQ(k->panelList->Width, 0);
    k->ShowMenu->Click();
    EXPECT_FALSE(k->miListOfEvents->Checked);
    k->miListOfEvents->Click();
    EXPECT_EQ(k->panelList->Width, 180);
    k->HemisphereButton1->OnClick(k->HemisphereButton1);
    EXPECT_EQ(k->panelList->Width, 0);
    k->miListOfEvents->Click();
    EXPECT_EQ(k->panelList->Width, 180);
}

TEST_F(KeyTest, MenusCarryTheirCaptionsAndTheChannelItemsReachTheArrangeHandler) {
    Start();
    OpenKey(AddPart(0, 0, 960));
    auto captions = [](TMenuItem* M) {
        std::vector<std::string> v;
        for (int i = 0; i < M->Count(); ++i)
            v.push_back(M->Items(i)->Caption);
        return v;
    };
    EXPECT_EQ(k->miEdit->ShortCut, ShortCut('L', scCtrl));
    EXPECT_EQ(k->miUndoAll->ShortCut, ShortCut('Z', scCtrl | scShift));
    EXPECT_EQ(
        captions(k->miDelete),
        (std::vector<std::string>{"&AWE NRPN", "&Control change", "&Notes", "&Pith bend",
                                  "P&rogram change", "&Double notes", "Aftertouch", "&Sysex"}));
    EXPECT_FALSE(k->miDelete->Items(6)->Enabled);
    EXPECT_EQ(captions(k->ShowMenu),
              (std::vector<std::string>{"T&oolbar", "&Editbar", "&Controllers", "&List of events",
                                        "&MIDI faders", "&Transporter", "&Customize"}));
    EXPECT_EQ(k->miGrid->Count(), 13);
    EXPECT_EQ(k->miGrid->Items(12)->Caption, "Editres");
    EXPECT_TRUE(k->miStepPreview->Checked);
    ASSERT_EQ(k->miTrackCh->Count(), 17);
    for (int i = 0; i < 17; ++i) {
        TMenuItem* it = k->miTrackCh->Items(i);
        EXPECT_EQ(it->Caption, i < 16 ? std::to_string(i + 1) : "Off");
        EXPECT_EQ(it->Tag, i < 16 ? i : -1);
        EXPECT_EQ(it->Break, i == 8 || i == 16 ? mbBarBreak : mbNone);
    }
    std::vector<int> tags;
    ArrangeSeams().ChannelItemClick = [&](TMenuItem* I) { tags.push_back(I->Tag); };
    k->miTrackCh->Items(16)->Click();
    k->miTrackCh->Items(2)->Click();
    ArrangeSeams().ChannelItemClick = nullptr;
    EXPECT_EQ(tags, (std::vector<int>{-1, 2}));
}

TEST_F(KeyTest, OpeningScrollsTheFirstNoteToMidHeight) {
    Start("[Part edit]\nNoteHeight=20\n");
    _TPart* p = AddPart(0, 0, 960, {{120, 10, 60}, {0, 100, 60}});
    AddPart(1, 0, 960, {{0, 120, 60}});
    OpenKey(p);
    // The first note-on in time (key 100) sits high: nothing scrolls for it.
    EXPECT_EQ(k->ScrollY->Position, 0);
    // Key 10 first: its row lies below half the grid.
    p->Events->Msg = 0x900A64;
    fmArrange->OpenPartEditor();
    const int h = k->key->GetClientHeight();
    const int row = NoteToKeyY(10);
    ASSERT_GT(row, h / 2);
    EXPECT_EQ(k->ScrollY->Position, std::min(row - h + h / 2, k->ScrollY->Max));
    EXPECT_EQ(k->key->OffsetY, -k->ScrollY->Position);
}

TEST_F(KeyTest, TheFirstOpeningScrollsTheFirstNoteToMidHeightOfTheMaximizedWindow) {
    const struct { int NoteHeight, Key; } cases[] = {{20, 10}, {20, 0}, {30, 40}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "note height " << c.NoteHeight << " key " << c.Key);
        Start("[Part edit]\nNoteHeight=" + std::to_string(c.NoteHeight) + "\n");
        ASSERT_EQ(fmKey, nullptr);
        OpenKey(AddPart(0, 0, 960, {{0, c.Key, 60}}));
        EXPECT_EQ(k->WindowState, wsMaximized);
        const int h = k->key->GetClientHeight();
        const int row = NoteToKeyY(c.Key);
        ASSERT_GT(row, h / 2);
        EXPECT_GT(k->ScrollY->Position, 0);
        EXPECT_EQ(k->ScrollY->Position, std::min(row - h + h / 2, k->ScrollY->Max));
        EXPECT_EQ(k->key->OffsetY, -k->ScrollY->Position);
        TearDown();
    }
}

TEST_F(KeyTest, ThumbDragsAndAutoScrollKeepTheEditorBusyAndScrolling) {
    Start();
    OpenKey(AddPart(0, 0, 96000));
    k->ScrollXControl("scrollx", -1);
    EXPECT_EQ(k->Busy, 1);
    k->ScrollXControl("scrollx", -2);
    EXPECT_EQ(k->Busy, 0);
    // Right of the grid: one step at once, then one every 50 ms until the pointer is back.
    const int w = k->key->GetClientWidth();
    gui.MoveTo(testsupport::GuiHarness::At(k->key->Handle(), w + 20, 50));
    k->StartAutoScroll(0);
    EXPECT_EQ(k->ScrollX->Position, w / 6);
    EXPECT_TRUE(k->scrollTimer.Enabled);
    gui.Advance(50);
    gui.Pump();
    EXPECT_EQ(k->ScrollX->Position, 2 * (w / 6));
    EXPECT_EQ(k->meter->OffsetX, -2 * (w / 6));
    gui.MoveTo(testsupport::GuiHarness::At(k->key->Handle(), w / 2, 50));
    gui.Advance(50);
    gui.Pump();
    EXPECT_FALSE(k->scrollTimer.Enabled);
    EXPECT_EQ(k->ScrollX->Position, 2 * (w / 6));
    // The lane and the ruler scroll by two sixteenths.
    gui.MoveTo(testsupport::GuiHarness::At(k->control->Handle(), -10, 5));
    k->StartAutoScroll(1);
    EXPECT_EQ(k->ScrollX->Position, 2 * (w / 6) - 32);
    k->StopAutoScroll();
}

TEST_F(KeyTest, OtherWindowsReachTheEditorsViews) {
    Start();
    OpenKey(AddPart(0, 0, 960, {{0, 60, 60}}));
    int grid = 0, lane = 0;
    const TPaintEvent paintGrid = k->key->OnPaint;
    k->key->OnPaint = [&](TCanvas& C) {
        ++grid;
        paintGrid(C);
    };
    k->control->OnPaint = [&](TCanvas&) { ++lane; };
    gui.Pump();
    grid = lane = 0;
    MidiEditors().InvalidateViews();
    gui.Pump();
    EXPECT_GT(grid, 0);
    EXPECT_GT(lane, 0);
    grid = 0;
    TransportWindows().RepaintKeyEditor();
    gui.Pump();
    EXPECT_GT(grid, 0);
    EXPECT_EQ(TransportWindows().KeyEditorWindow(), k->Handle());
    // Quantize from the arrange window (the part is selected there) and the grid value.
    grid = lane = 0;
    Song->CurrentPart->Events->Delta = 7;
    fmMdi->QuantizeSelection(false);
    gui.Pump();
    EXPECT_EQ(Song->CurrentPart->Events->Delta, 0);
    EXPECT_GT(grid, 0);
    EXPECT_GT(lane, 0);
    fmMdi->SetGridValue(32, "32");
    EXPECT_EQ(k->panelRes->Caption, "32");
}

TEST_F(KeyTest, UndoAllEditingOnASoftsynthTrackSilencesTheSynthNotAPort) {
    RecordingVst vst;
    Start();
    TSoftItem* item = SoftEngine->AddSoftsynth("recvst");
    ASSERT_TRUE(item && item->Plugin->Loaded);
    _TTrack* t = Song->TrackAt(1);
    t->Mode = tmSoftsynth;
    t->Output = 0;
    t->Channel = 4;
    _TPart* p = AddPart(1, 0, 960, {{0, 60, 60}});
    OpenKey(p);
    EditPart(p);
    synth.Clear();
    TRTEvent e;
    while (item->Plugin->Events.Pop(e)) {
    }
    k->UndoAllEditing();
    std::vector<std::uint32_t> got;
    while (item->Plugin->Events.Pop(e))
        got.push_back(e.Value);
    EXPECT_EQ(got, std::vector<std::uint32_t>{PackMidiMsg(0xB4, 123, 0)});
    EXPECT_EQ(synth.Sent().size(), 0u);
    TearDown(); // the program unloads the plug-in while it is still there
}

TEST_F(KeyTest, TheArrangeWindowDrawsTheEditorsMarksAndTheFileMenuItsTempo) {
    Start();
    Song->LeftLocator = 960;
    Song->RightLocator = 1920;
    OpenKey(AddPart(0, 0, 3840, {{0, 60, 60}}));
    gui.Pump();
    // The band and the play cursor are XOR marks: drawn once they show, twice they are gone.
    const int bandX = TfmKey::TickToX(1200);
    const std::uint32_t ruler = gui.Pixel(k->meter->Handle(), bandX, 5);
    fmArrange->DrawLocators(3, true);
    EXPECT_NE(gui.Pixel(k->meter->Handle(), bandX, 5), ruler);
    fmArrange->DrawLocators(3, true);
    EXPECT_EQ(gui.Pixel(k->meter->Handle(), bandX, 5), ruler);
    const int cursorX = TfmKey::TickToFloorX(480);
    const std::uint32_t grid = gui.Pixel(k->key->Handle(), cursorX, 100);
    fmArrange->MovePlayCursor(480, true, true);
    EXPECT_NE(gui.Pixel(k->key->Handle(), cursorX, 100), grid);
    fmArrange->MovePlayCursor(480, true, true);
    EXPECT_EQ(gui.Pixel(k->key->Handle(), cursorX, 100), grid);
    FileMenuWindows().ShowTempo(133);
    EXPECT_EQ(k->editBpm->Text, "133");
}

namespace {

// The editor behind the arrange window when New, Open or Exit frees it: nothing of it runs
// while it goes (its activation used to reach controls already freed).
class KeyBehind : public KeyTest {
protected:
    void OpenBehindTheArrangeWindow() {
        Start("[Partedit]\nMaximized=0\nLeft=700\nTop=0\nWidth=400\nHeight=300\n");
        OpenKey(AddPart(0, 0, 960, {{0, 60, 60}}));
        // A click into the arrange window away from the editor brings it to the front.
        const TPoint inArrange = gui.At(a->arrange->Handle(), 40, 200);
        TRect keyRect;
        GetWindowRect(k->Handle(), &keyRect);
        ASSERT_FALSE(inArrange.X >= keyRect.Left && inArrange.Y < keyRect.Bottom);
        gui.Click(inArrange);
        gui.Pump();
        ASSERT_EQ(fmMdi->ActiveMDIChild(), a);
        ASSERT_FALSE(k->Active());
        // The editor's own handlers still run (under the sanitizers a late one is a report).
        for (TNotifyEvent* e : {&k->OnActivate, &k->OnDeactivate})
            *e = [this, own = *e](TObject* Sender) {
                ++activations;
                own(Sender);
            };
        song = program.Path() + "behind.seq";
        ASSERT_TRUE(SaveSongFile(song));
        Song->Modified = 0;
    }
    void ExpectFreedQuietly() {
        gui.Pump();
        EXPECT_EQ(fmKey, nullptr);
        EXPECT_EQ(activations, 0);
    }
    int activations = 0;
    std::string song;
};

} // namespace

TEST_F(KeyBehind, NewFreesTheEditor) {
    OpenBehindTheArrangeWindow();
    fmMdi->New1Click();
    ExpectFreedQuietly();
}

TEST_F(KeyBehind, OpenFreesTheEditor) {
    OpenBehindTheArrangeWindow();
    gui.Dialogs().OpenFile(song);
    gui.Chord({VK_CONTROL, 'O'});
    ExpectFreedQuietly();
    EXPECT_EQ(Song->FileName, "behind.seq");
}

TEST_F(KeyBehind, ExitFreesTheEditor) {
    OpenBehindTheArrangeWindow();
    gui.Dialogs().Answer(IDYES, "Are you sure?");
    fmMdi->Close();
    ExpectFreedQuietly();
    fmMdi->Free();
}
