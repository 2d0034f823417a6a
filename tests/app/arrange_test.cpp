// The arrange window headless: creation at the end of start-up with its settings, zoom,
// scrolling and the wheel, the parts view's pixels, the XOR marks, locators in the ruler and
// a part inserted between the locators.
#include "app/arrange.h"

#include "arrange_fixture.h"

#include "app/dialogs.h"
#include "app/filemenu.h"
#include "app/main.h"
#include "devices/audio.h"
#include "devices/midi.h"
#include "gui/dragrect.h"
#include "gui/mscroll.h"
#include "gui/scroll.h"
#include "platform/audio/sound.h"
#include "platform/core/dialogs.h"
#include "platform/core/ini.h"
#include "platform/forms/application.h"
#include "platform/forms/buttons.h"
#include "platform/forms/combobox.h"
#include "platform/forms/header.h"
#include "platform/menus/menus.h"
#include "platform/midi/midi.h"
#include "platform/midi/virtualmidi.h"
#include "platform/window/input.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"
#include "song/gmnames.h"
#include "song/primitives.h"
#include "song/seams.h"
#include "song/song.h"
#include "song/songfile.h"
#include "song/timebase.h"
#include "song/undo.h"
#include "support/gui_harness.h"
#include "support/temp_settings.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace platform;

namespace {

TEST_F(ArrangeTest, CreationFinishesStartup) {
    Start();
    EXPECT_TRUE(a->Visible);
    EXPECT_EQ(a->GetFormStyle(), fsMDIChild);
    EXPECT_EQ(GetParent(a->Handle()), fmMdi->ClientHandle());
    EXPECT_EQ(a->SnapMode, 2);
    EXPECT_EQ(a->DragLocator, 2);
    EXPECT_EQ(a->TrackDragRow, -1);
    ASSERT_EQ(a->trackTitles->SectionCount(), 11);
    EXPECT_EQ(a->trackTitles->Sections(4)->Text(), "Output");
    EXPECT_EQ(a->trackTitles->Sections(10)->Width(), 40); // the stored default
    ASSERT_EQ(a->comboGM->Items.Count(), 129);
    EXPECT_EQ(a->comboGM->Items[0], "Off");
    EXPECT_EQ(a->comboGS->Items[1], "000 " + std::string(GmProgramNames[0]));
    EXPECT_EQ(a->comboGM->Items[128], "127 " + std::string(GmProgramNames[127]));
    for (TMenuItem* m : {a->PopupCh->Items, a->miTrackCh, a->miPopupCh}) {
        ASSERT_EQ(m->Count(), 17);
        EXPECT_EQ(m->Items(8)->Caption, "9");
        EXPECT_EQ(m->Items(8)->Break, mbBreak);
        EXPECT_EQ(m->Items(16)->Caption, "Off");
        EXPECT_EQ(m->Items(16)->Tag, -1);
        EXPECT_EQ(m->Items(16)->Break, mbBreak);
        EXPECT_EQ(m->Items(15)->Break, mbNone);
    }
    EXPECT_TRUE(a->btnThru->Down);
    EXPECT_EQ(a->ScrollX->Max, 1000);
    EXPECT_TRUE(a->ledTimer.Enabled);
    EXPECT_TRUE(fmMdi->systemTimer.Enabled);
    EXPECT_FALSE(Audio->AudioOn);
    EXPECT_EQ(Setting("Audio", "ShutdownOK"), "0");
    // Activation makes winding move one bar.
    fmMdi->WindStep = 1;
    a->FormActivate();
    EXPECT_EQ(fmMdi->WindStep, 16);
    // The window cannot be closed.
    a->Close();
    EXPECT_EQ(fmArrange, a);
    EXPECT_TRUE(a->Visible);
}

TEST_F(ArrangeTest, PlacementColumnsAndSettingsWrittenAtShutdown) {
    // The default input and two more: Input=2 names the last.
    platform::UseAudioDevices(platform::TAudioDevices::Scripted);
    Start("[Song edit]\nLeft=800\nTop=20\nWidth=500\nHeight=300\nSplit=150\n"
          "[Song Edit]\nCol1=90\n[MIDI]\nThru=0\n[Songs Favorites]\n/songs/a=0\n"
          "[beep]\nmidinote=42\nmidich=3\n[Audio]\nInput=2\n");
    EXPECT_EQ(a->Left, 0); // not less than the form's own width of 747
    EXPECT_EQ(a->Top, 20);
    EXPECT_EQ(a->Width, 500);
    EXPECT_EQ(a->Height, 300);
    EXPECT_EQ(a->panelTracks->Width, 150);
    EXPECT_EQ(a->trackTitles->Tag, 150);
    EXPECT_EQ(a->trackTitles->Sections(1)->Width(), 90);
    EXPECT_FALSE(a->btnThru->Down);
    a->trackTitles->Sections(2)->Width = 33;
    a->SetBounds(10, 11, 520, 310);
    Song->Precounts = 2;
    gui.Dialogs().Answer(IDYES, "Are you sure?");
    fmMdi->Close();
    EXPECT_EQ(fmArrange, nullptr);
    const std::string ini = settings.IniText();
    EXPECT_EQ(Setting("Song edit", "Left"), "10");
    EXPECT_EQ(Setting("Song edit", "Width"), "520");
    EXPECT_EQ(Setting("Song edit", "Maximized"), "0");
    EXPECT_EQ(Setting("Song Edit", "Col2"), "33");
    EXPECT_EQ(Setting("Songs Favorites", "/songs/a"), "0");
    EXPECT_EQ(Setting("MIDI", "Thru"), "0");
    EXPECT_EQ(Setting("Audio", "Input"), "2"); // written back as read
    platform::UseAudioDevices(platform::TAudioDevices::Null);
    EXPECT_EQ(Setting("Audio", "Enabled"), "0");
    EXPECT_EQ(Setting("beep", "precounts"), "2");
    EXPECT_EQ(Setting("beep", "midinote"), "42");
    EXPECT_EQ(Setting("beep", "midich"), "3");
    EXPECT_EQ(Setting("Audio", "ShutdownOK"), "1");
    fmMdi->Free();
}

TEST_F(ArrangeTest, TheInputSettingChoosesTheCaptureDeviceAndIsWrittenBack) {
    platform::UseAudioDevices(platform::TAudioDevices::Scripted);
    // The default input and two more. A stored device that is missing (unplugged) records
    // through the default and keeps its number until another is chosen.
    struct Case {
        const char* input;
        int device;
        int chosen; // -1: none chosen
        const char* written;
    } cases[] = {{"1", 1, 2, "2"}, {"5", 0, -1, "5"}, {"5", 0, 1, "1"}, {"5", 0, 0, "0"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input + std::string(" ") + c.written);
        Start(std::string("[Audio]\nInput=") + c.input + "\n");
        ASSERT_NE(Audio, nullptr);
        EXPECT_EQ(Audio->GetCaptureDevice(), c.device);
        EXPECT_EQ(Audio->CaptureGuid, CaptureDrivers[std::size_t(c.device)].Guid);
        if (c.chosen >= 0) Audio->SetCaptureDevice(c.chosen);
        gui.Dialogs().Answer(IDYES, "Are you sure?");
        fmMdi->Close();
        EXPECT_EQ(Setting("Audio", "Input"), c.written);
        fmMdi->Free();
        FreeApplicationForms();
    }
    platform::UseAudioDevices(platform::TAudioDevices::Null);
}

TEST_F(ArrangeTest, AudioStaysOffAfterARunThatDidNotEndCleanly) {
    struct Case {
        const char* ini;
        bool on;
    } cases[] = {{"Enabled=1\nShutdownOK=0\n", false},
                 {"Enabled=1\nShutdownOK=1\n", true},
                 {"Enabled=1\n", true},
                 {"Enabled=0\nShutdownOK=1\n", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ini);
        Start(std::string("[Audio]\nSystem=scripted\n") + c.ini);
        EXPECT_EQ(Audio->AudioOn.load(), c.on);
        EXPECT_EQ(a->sbAudio->Down, c.on);
        EXPECT_EQ(Setting("Audio", "ShutdownOK"), "0");
        TearDown();
    }
}

class ArrangeAutoload : public ArrangeTest {
protected:
    // A native song: MIDI tracks 0 and 1, a part each, a note every beat, output 0.
    std::string NativeSong() {
        TSong* keep = Song;
        Song = new TSong;
        AddPart(0, 0, 1920, "Drums", {{0, 36}, {240, 38}, {480, 36}, {720, 38}});
        AddPart(1, 1920, 1920, "Bass", {{0, 40}, {240, 43}, {480, 45}, {720, 47}});
        const std::string path = program.Path() + "fixture.seq";
        EXPECT_TRUE(SaveSongFile(path));
        delete Song;
        Song = keep;
        return path;
    }
};

TEST_F(ArrangeAutoload, OpensTheSongAndNotesAutoplayOnlyForALoadedOne) {
    const std::string song = NativeSong();
    Start("[Autoload]\nEnabled=1\nSong=" + song + "\n[Autoplay]\nEnabled=1\n");
    EXPECT_EQ(Song->Untitled, 0);
    EXPECT_EQ(Song->Modified, 0);
    EXPECT_EQ(a->Caption(), "fixture.seq");
    ASSERT_NE(Song->TrackAt(1)->Parts, nullptr);
    EXPECT_EQ(Song->TrackAt(1)->Parts->Name, "Bass");
    EXPECT_TRUE(a->AutoplayNoted);
    TearDown();

    // A missing file is skipped silently; a cut-off MIDI file stays untitled; neither plays.
    const std::string cut = program.WriteFile("cut.mid", std::string("MThd\0\0\0\6\0\1\0\2", 12));
    for (const std::string& f : {program.Path() + "missing.seq", cut}) {
        SCOPED_TRACE(f);
        gui.Dialogs().AllowUnexpectedBoxes(); // the cut file's reader says what it could not read
        Start("[Autoload]\nEnabled=1\nSong=" + f + "\n[Autoplay]\nEnabled=1\n");
        EXPECT_EQ(Song->Untitled, 1);
        EXPECT_FALSE(a->AutoplayNoted);
        EXPECT_EQ(Setting("Audio", "ShutdownOK"), "0");
        TearDown();
    }
}

TEST_F(ArrangeTest, ZoomStopsAtItsRangeAndStoredZerosAreClamped) {
    Start("[Song edit]\nBeatWidth=0\nTrackHeight=0\n");
    EXPECT_EQ(BeatWidth, 1);
    EXPECT_EQ(TrackHeight, 10);
    a->ScrollXControl("zoomHorzOut", 0);
    a->ScrollYControl("zoomVertOut", 0);
    EXPECT_EQ(BeatWidth, 1);
    EXPECT_EQ(TrackHeight, 10);
    BeatWidth = 1000;
    a->ScrollXControl("zoomHorzIn", 0);
    EXPECT_EQ(BeatWidth, 1000);
    a->SetTrackHeight(40);
    a->ScrollYControl("zoomVertIn", 0);
    EXPECT_EQ(TrackHeight, 40);
    a->ScrollYControl("zoomVertOut", 0);
    EXPECT_EQ(TrackHeight, 38);
    EXPECT_EQ(Setting("Song edit", "TrackHeight"), "38");
    a->ScrollXControl("zoomOff", 0);
    EXPECT_EQ(BeatWidth, 6);
    EXPECT_EQ(TrackHeight, 18);
    EXPECT_EQ(Setting("Song edit", "BeatWidth"), "6");
    EXPECT_EQ(Setting("Song edit", "TrackHeight"), "18");
    EXPECT_EQ(a->ScrollY->Max, 18 * 128 - a->arrange->GetClientHeight());
}

TEST_F(ArrangeTest, WheelScrollsByBarsNearTheBottomAndByRowsElsewhere) {
    Start();
    const TPoint o = a->arrange->ClientToScreen({0, 0});
    const int w = a->arrange->GetWidth(), h = a->arrange->GetHeight();
    struct Case {
        TPoint p;
        int dx, dy;
    } cases[] = {{{o.X + 10, o.Y + h - 5}, 24, 0},       // nearer the bottom: a bar
                 {{o.X + w - 5, o.Y + 10}, 0, 18},       // nearer the right: a row
                 {{o.X + w - 20, o.Y + h - 20}, 0, 18}}; // equal: a row
    for (const Case& c : cases) {
        a->ScrollX->SetPosition(240);
        a->ScrollX->Changed();
        a->ScrollY->SetPosition(180);
        a->ScrollY->Changed();
        a->MouseWheel(-120, c.p); // one notch back
        EXPECT_EQ(a->ScrollX->Position, 240 + c.dx);
        EXPECT_EQ(a->ScrollY->Position, 180 + c.dy);
        EXPECT_EQ(a->arrange->OffsetX, -a->ScrollX->Position);
    }
    // A notch forward, through the window's message (the delta a signed 16-bit value).
    a->ScrollY->SetPosition(180);
    gui.MoveTo(cases[1].p);
    SendMessage(a->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, std::uint16_t(120)), 0);
    EXPECT_EQ(a->ScrollY->Position, 162);
    EXPECT_EQ(a->tracks->OffsetY, -162);
}

// Scrolled by the wheel both ways along both axes and by the scroll bars' arrows and pages, the
// window shows what a fresh paint shows: the uncovered strips of the ruler are erased before
// their bar numbers are drawn again.
TEST_F(ArrangeView, ScrolledPanesShowWhatAFreshPaintShows) {
    for (int t = 0; t < 12; ++t)
        for (int bar = t % 2; bar < 64; bar += 2)
            AddPart(t, bar * 960, 960, "P" + std::to_string(bar + 1), {{0, 60}});
    Repaint();
    const TPoint o = a->arrange->ClientToScreen({0, 0});
    const int w = a->arrange->GetWidth(), h = a->arrange->GetHeight();
    const TPoint bars{o.X + w / 2, o.Y + h - 3}, rows{o.X + w / 3, o.Y + h / 2};
    struct Step {
        const char* name;
        std::function<void()> act;
    } steps[] = {
        {"bars forward", [&] { gui.Wheel(bars, -3 * 120); }},
        {"bars back", [&] { gui.Wheel(bars, 120); }},
        {"rows down", [&] { gui.Wheel(rows, -2 * 120); }},
        {"rows up", [&] { gui.Wheel(rows, 120); }},
        {"right arrow", [&] { ClickScrollBar(a->guiScrollx, a->ScrollX, 1); }},
        {"page right", [&] { ClickScrollBar(a->guiScrollx, a->ScrollX, 2); }},
        {"left arrow", [&] { ClickScrollBar(a->guiScrollx, a->ScrollX, 0); }},
        {"down arrow", [&] { ClickScrollBar(a->guiScrolly, a->ScrollY, 1); }},
        {"up arrow", [&] { ClickScrollBar(a->guiScrolly, a->ScrollY, 0); }},
    };
    for (const Step& s : steps) {
        const int x = a->ScrollX->Position, y = a->ScrollY->Position;
        s.act();
        EXPECT_TRUE(a->ScrollX->Position != x || a->ScrollY->Position != y) << s.name;
        EXPECT_EQ(DifferFromAFreshPaint(a->Handle()), 0) << s.name;
    }
}

TEST_F(ArrangeView, PartBoxFillBevelNameAndEmptyMarks) {
    AddPart(0, 0, 1920, "Bass", {{0, 60}});
    AddPart(1, 0, 1920, ""); // an empty MIDI part
    Song->TrackAt(2)->Mode = tmDisk;
    _TPart* disk = AddPart(2, 0, 1920, ""); // no sample
    AddPart(3, 0, 1920, "");
    Song->TrackAt(3)->Mode = tmDisk;
    Song->TrackAt(3)->Parts->Sample = 0; // a sample, no events
    Repaint();
    const float p = 24 * (1.0f / 127);
    EXPECT_EQ(PartsPixel(44, 14), Fill());
    EXPECT_EQ(PartsPixel(0, 8), Rgb(BlendColor(fmMdi->PartsBkColor, 0xFFFFFF, p)));
    EXPECT_EQ(PartsPixel(20, 0), Rgb(BlendColor(fmMdi->PartsBkColor, 0xFFFFFF, p)));
    EXPECT_EQ(PartsPixel(46, 8), Rgb(BlendColor(0, fmMdi->PartsBkColor, 1 - p)));
    EXPECT_EQ(PartsPixel(20, 16), Rgb(BlendColor(0, fmMdi->PartsBkColor, 1 - p)));
    EXPECT_EQ(PartsPixel(47, 8), Back()); // the box is 47 x 17
    EXPECT_EQ(PartsPixel(20, 17), Back());
    int ink = 0; // the name in the parts font's colour (black)
    for (int x = 3; x < 40; ++x)
        for (int y = 2; y < 16; ++y)
            ink += PartsPixel(x, y) == 0;
    EXPECT_GT(ink, 10);
    const int y2 = 16;
    auto mark = [&](int row) { return PartsPixel(1, row * 18 + y2 - 2) == 0xFF0000; };
    EXPECT_FALSE(mark(0));
    EXPECT_TRUE(mark(1));
    EXPECT_TRUE(mark(2));
    EXPECT_FALSE(mark(3));
    EXPECT_EQ(disk->Sample, -1);
}

TEST_F(ArrangeView, PartsLeftOfTheViewAreSkipped) {
    _TPart* gone = AddPart(0, 0, 1960); // x2 = 47
    _TPart* edge = AddPart(1, 0, 2000); // x2 = 48
    a->ScrollX->SetPosition(48);
    a->ScrollX->Changed();
    gui.Pump();
    gone->Flags |= pfRedraw;
    edge->Flags |= pfRedraw;
    a->DrawParts(-1);
    EXPECT_TRUE(gone->Flags & pfRedraw); // not reached
    EXPECT_FALSE(edge->Flags & pfRedraw);
}

TEST_F(ArrangeView, XRayLinesByKeyAndHeight) {
    a->miXRay->Checked = true;
    AddPart(0, 0, 1920, "", {{240, 127}});
    AddPart(1, 0, 1920, "", {{240, 0}});
    _TPart* zero = NewPart("z", 0, 1920, 2); // a note that ends where it starts
    AppendEvent(zero, NewEvent(480, 0x00643C90));
    AppendEvent(zero, NewEvent(0, 0x00003C80));
    ASSERT_TRUE(InsertPart(Song->TrackAt(2), zero));
    Repaint();
    const std::uint32_t white = 0xFFFFFF;
    EXPECT_EQ(PartsPixel(7, 0), white);            // note 127 on y1 (16 x 127/127)
    EXPECT_EQ(PartsPixel(7, 18 + 16), white);      // note 0 on y2
    EXPECT_EQ(PartsPixel(12, 36 + 16 - 7), white); // key 60: 16 x 60 / 127 = 7.6
    EXPECT_NE(PartsPixel(13, 36 + 16 - 7), white); // one pixel long
    // At an odd height the product is an odd whole number: note 127 one pixel lower.
    TrackHeight = 19;
    Repaint();
    EXPECT_NE(PartsPixel(7, 0), white);
    EXPECT_EQ(PartsPixel(7, 1), white);
    // The drag picture rounds to even: on y1 at any height.
    Song->TrackAt(0)->Parts->Flags |= pfSelected;
    a->PaintDragBitmap();
    EXPECT_EQ(Rgb(SelectBitmap().Canvas().Pixel(7, 0)), Rgb(0x80FFFF));
}

TEST_F(ArrangeView, LocatorLinesInThePartsAndTheBandInTheRuler) {
    const std::uint32_t inv = Back() ^ 0xFFFFFF;
    Song->LeftLocator = Song->RightLocator = 1200; // x 30
    Repaint();
    EXPECT_EQ(PartsPixel(30, 40), inv); // one line: drawn twice it would vanish
    const std::uint32_t rb = RulerPixel(20, 1), rinv = rb ^ 0xFFFFFF;
    EXPECT_NE(RulerPixel(28, 1), rinv);
    EXPECT_EQ(RulerPixel(29, 1), rinv);
    EXPECT_EQ(RulerPixel(31, 1), rinv);
    EXPECT_NE(RulerPixel(33, 1), rinv);
    Song->LeftLocator = 2400; // after the right one: two lines, no band
    Repaint();
    EXPECT_EQ(PartsPixel(30, 40), inv);
    EXPECT_EQ(PartsPixel(60, 40), inv);
    EXPECT_EQ(RulerPixel(31, 1), rb);
    EXPECT_EQ(RulerPixel(45, 1), rb);
}

TEST_F(ArrangeView, XorMarksRestoreAndStayOnTopOfRedrawnParts) {
    AddPart(0, 0, 1920, "Bass", {{0, 60}});
    Song->Position = 480;
    Song->LeftLocator = 240;
    Song->RightLocator = 1440;
    Repaint();
    const Surface before = gui.Capture(a->arrange->Handle());
    a->MovePlayCursor(960, false, true);
    EXPECT_NE(gui.Capture(a->arrange->Handle()).pixels, before.pixels);
    a->MovePlayCursor(960, false, true);
    EXPECT_EQ(gui.Capture(a->arrange->Handle()).pixels, before.pixels);
    a->RedrawParts(true);
    const Surface redrawn = gui.Capture(a->arrange->Handle());
    Repaint();
    EXPECT_EQ(redrawn.pixels, gui.Capture(a->arrange->Handle()).pixels);
    EXPECT_EQ(PartsPixel(12, 30), Back() ^ 0xFFFFFF); // cursor below the part, dotted
}

TEST_F(ArrangeView, FollowPlaybackCentresOnlyWhilePlaying) {
    const int w = a->arrange->GetClientWidth();
    const int tick = (w + 1) * 40; // x = w + 1 at 6 pixels a beat
    ASSERT_EQ(TickToPixel(tick), w + 1);
    a->MovePlayCursor(tick, false, false);
    EXPECT_EQ(a->ScrollX->Position, 0); // stopped
    Song->State = 2;
    a->MovePlayCursor(tick, false, false);
    EXPECT_EQ(a->ScrollX->Position, w + 1 - w / 2);
    EXPECT_EQ(a->arrange->OffsetX, -(w + 1 - w / 2));
    EXPECT_EQ(a->meter->OffsetX, a->arrange->OffsetX);
    // Beyond the range the range grows.
    a->MovePlayCursor(40 * 5000, false, false);
    EXPECT_EQ(a->ScrollX->Position, 5000 - w / 2);
    Song->State = 0;
}

class RefusingGuard : public TMainWindowSeam {
public:
    bool PausePlayback() override {
        ++asked;
        return false;
    }
    int asked = 0;
};

TEST_F(ArrangeView, RulerClicksSetLocatorsOrThePosition) {
    const HWND m = a->meter->Handle();
    gui.Click(testsupport::GuiHarness::At(m, 50, 5)); // x 50 snaps to bar 3 (tick 1920)
    EXPECT_EQ(Song->LeftLocator, 1920);
    gui.Click(testsupport::GuiHarness::At(m, 100, 5), MouseButton::Right);
    EXPECT_EQ(Song->RightLocator, 3840);
    EXPECT_EQ(a->DragLocator, 2);
    EXPECT_EQ(a->Dragging, 0);
    // Shift: the song position only.
    gui.KeyDown(VK_SHIFT);
    gui.Click(testsupport::GuiHarness::At(m, 150, 5));
    gui.KeyUp(VK_SHIFT);
    EXPECT_EQ(Song->Position, 5760);
    EXPECT_EQ(Song->LeftLocator, 1920);
    EXPECT_EQ(Song->RightLocator, 3840);
    // With the loop on, a refused edit guard changes nothing.
    RefusingGuard guard;
    SetMainWindow(&guard);
    Song->LoopOn = 1;
    gui.Click(testsupport::GuiHarness::At(m, 10, 5));
    EXPECT_EQ(Song->LeftLocator, 1920);
    EXPECT_GE(guard.asked, 1);
    Song->LoopOn = 0;
    gui.Click(testsupport::GuiHarness::At(m, 10, 5));
    EXPECT_EQ(Song->LeftLocator, 0);
}

TEST_F(ArrangeView, InsertBetweenTheLocators) {
    Song->LeftLocator = 1920;
    Song->RightLocator = 1920;
    gui.Dialogs().Answer(IDOK, "Right locator must be greater then left locator");
    InsertPartBetweenLocators(0);
    EXPECT_EQ(Song->TrackAt(0)->Parts, nullptr);

    Song->RightLocator = 3840;
    AddPart(1, 960, 1920); // over the left locator
    AddPart(2, 2880, 960); // inside the span, the track's first part
    AddPart(3, 0, 480);    // before the left locator ...
    AddPart(3, 2880, 960); // ... and one inside: the new part is shortened into the gap
    for (int track : {1, 2}) {
        gui.Dialogs().Answer(IDOK, "Overlapping parts not allowed");
        InsertPartBetweenLocators(track);
    }
    auto boxes = gui.Dialogs().Boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[1].Caption, "Insert part");
    EXPECT_EQ(boxes[1].Icon, MB_ICONINFORMATION);
    InsertPartBetweenLocators(3);
    _TPart* made = Song->TrackAt(3)->Parts->Next;
    EXPECT_EQ(made->Start, 1920);
    EXPECT_EQ(made->Length, 960);

    // Recording goes on; the renderer is held while the part is linked; no relocation.
    Song->State = 1;
    Song->Position = 100;
    bool held = false;
    InsertPartHeldHook = [&] {
        held = !EnterRenderBlock();
        if (!held) LeaveRenderBlock();
    };
    Song->TrackAt(4)->Name = "Lead";
    InsertPartBetweenLocators(4);
    EXPECT_TRUE(held);
    EXPECT_EQ(Song->Position, 100);
    _TPart* p = Song->TrackAt(4)->Parts;
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->Name, "Lead");
    EXPECT_EQ(p->Start, 1920);
    EXPECT_EQ(p->Length, 1920);
    EXPECT_TRUE(p->Flags & pfSelected);
    EXPECT_FALSE(made->Flags & pfSelected);
    EXPECT_EQ(Song->CurrentPart, p);
    EXPECT_EQ(Song->CurrentTrackIndex, 4);
    EXPECT_EQ(Song->UndoStore->Kind, ukInsert);
    EXPECT_EQ(Song->UndoStore->Caption, "Undo insert");
    ASSERT_EQ(Song->UndoStore->Parts.size(), 1u);
    EXPECT_EQ(Song->UndoStore->Parts[0]->Start, 1920);
    Song->State = 0;
}

} // namespace

namespace {

// The play cursor follows playback through the position posts: two seconds at 120 BPM are two
// bars, 24 pixels at 6 pixels a beat.
TEST_F(ArrangeView, PlayCursorMovesAtTheSongsRate) {
    Song->TrackAt(0)->Mode = tmMidi;
    Song->TrackAt(0)->Output = 0;
    AddPart(0, 0, 3840, "Notes", {{0, 60}, {240, 62}, {480, 64}, {720, 65}});
    Song->Position = 0;
    Repaint();
    const std::uint32_t inv = Back() ^ 0xFFFFFF;
    auto cursorAt = [&](int x) {
        int lit = 0;
        for (int y = 40; y < 60; ++y)
            lit += PartsPixel(x, y) == inv;
        return lit >= 5; // dotted
    };
    EXPECT_TRUE(cursorAt(0));
    fmMdi->StartPlayback(false);
    ASSERT_EQ(Song->State, 2);
    gui.Advance(2000);
    EXPECT_NEAR(Song->Position, 960, 12);
    EXPECT_EQ(TickToPixel(Song->Position), 24);
    EXPECT_TRUE(cursorAt(24));
    EXPECT_FALSE(cursorAt(0));
    int ons = 0;
    for (const auto& m : synth.Sent())
        ons += m.Bytes.size() == 3 && (m.Bytes[0] & 0xF0) == 0x90 && m.Bytes[2];
    EXPECT_EQ(ons, 4); // the notes of the first bar went to the output
    fmMdi->StopPlayback(false);
}

} // namespace

namespace {

// Erasing the selected parts paints the background over them and leaves the others; a redraw
// of the flagged parts brings them back where they now are.
TEST_F(ArrangeView, EraseSelectedPartsAndRedrawThemMoved) {
    _TPart* keep = AddPart(0, 0, 1920, "Keep");
    _TPart* moved = AddPart(1, 0, 1920, "Moved");
    Repaint();
    moved->Flags |= pfSelected;
    a->EraseSelectedParts();
    EXPECT_EQ(PartsPixel(44, 18 + 14), Back());
    EXPECT_EQ(PartsPixel(44, 14), Fill());
    moved->Start = 1920; // as a move would leave it
    moved->Flags &= ~pfSelected;
    moved->Flags |= pfRedraw;
    a->RedrawParts(false);
    EXPECT_EQ(PartsPixel(48 + 44, 18 + 14), Fill());
    EXPECT_EQ(PartsPixel(44, 18 + 14), Back());
    EXPECT_FALSE(moved->Flags & pfRedraw);
    EXPECT_EQ(keep->Start, 0);
}

// Dragging a locator out of the view to the right starts the auto-scroll, which moves the view
// 36 pixels every 50 ms and grows the range at its end; the release stops it.
TEST_F(ArrangeView, ALocatorDraggedOutOfTheViewScrollsIt) {
    const HWND m = a->meter->Handle();
    const int w = a->meter->GetClientWidth();
    gui.Press(testsupport::GuiHarness::At(m, 20, 5));
    EXPECT_EQ(a->DragLocator, 0);
    EXPECT_EQ(a->Dragging, 1);
    gui.MoveTo(testsupport::GuiHarness::At(m, a->arrange->GetClientWidth() + 30, 5));
    EXPECT_TRUE(a->scrollTimer.Enabled);
    const int before = a->ScrollX->Position;
    EXPECT_GT(before, 0); // one step at once
    gui.Advance(100);
    EXPECT_EQ(a->ScrollX->Position, before + 72);
    gui.Release(testsupport::GuiHarness::At(m, a->arrange->GetClientWidth() + 30, 5));
    EXPECT_FALSE(a->scrollTimer.Enabled);
    EXPECT_EQ(a->DragLocator, 2);
    EXPECT_EQ(a->Dragging, 0);
    EXPECT_GT(Song->LeftLocator, PixelToTick(w)); // the locator followed the mouse
}

} // namespace

namespace {

// A song opened from the File menu shows in the window at once: caption and parts.
TEST_F(ArrangeAutoload, ASongOpenedLaterShowsItsCaptionAndParts) {
    const std::string song = NativeSong();
    Start();
    EXPECT_EQ(a->Caption(), "Undefined.seq"); // the new song's name
    ASSERT_TRUE(OpenSong(song));
    gui.Pump();
    EXPECT_EQ(a->Caption(), "fixture.seq");
    EXPECT_EQ(gui.Pixel(a->arrange->Handle(), 48 + 44, 18 + 14), Rgb(fmMdi->PartsBkColor))
        << "Bass";
}

} // namespace

TEST_F(ArrangeTest, ScrollStripsFollowThePartsPanelWhenItsWidthChanges) {
    Start();
    for (int browser : {132, 0, 300}) {
        a->panelBrowser->Width = browser;
        gui.Pump();
        const int w = a->guiScrollx->GetClientWidth();
        TGuiBase* zoom = a->guiScrollx->GetControlWithID("zoomOff");
        ASSERT_NE(zoom, nullptr);
        EXPECT_EQ(zoom->Right, w) << "browser " << browser;
        EXPECT_EQ(a->ScrollX->Right, w - 3 * 16) << "browser " << browser;
        const int h = a->guiScrolly->GetClientHeight();
        EXPECT_EQ(a->guiScrolly->GetControlWithID("zoomVertIn")->Bottom, h)
            << "browser " << browser;
    }
}
