// The arrange window's track list, headless: the cells read back as pixels against the text
// renderer's own, the mute, value and row clicks and drags with what they send and to which
// instrument, the header's clicks and drawing, and the input-activity bars. No settings file:
// every header section is 40 pixels wide.
#include "arrange_fixture.h"

#include "app/editcommands.h"
#include "app/transportbar.h"
#include "devices/mfx.h"
#include "devices/midimsg.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/header.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/graphics.h"
#include "platform/menus/menus.h"
#include "platform/window/focus.h"
#include "song/gmnames.h"
#include "song/primitives.h"
#include "song/softengine.h"
#include "support/recording_synths.h"

#include <optional>

using namespace platform;

namespace {

using Bytes = std::vector<std::vector<std::uint8_t>>;

class TrackListTest : public ArrangeTest {
protected:
    void SetUp() override {
        ArrangeTest::SetUp();
        Start();
        for (int i = 0; i < TrackCount; ++i) {
            Song->TrackAt(i)->Mode = tmMidi;
            Song->TrackAt(i)->Output = 0;
        }
        a->panelTracks->Width = 470; // every column in view
        a->RefreshTrackbar();
        gui.Pump();
    }
    void TearDown() override {
        EditCommandSeams() = TEditCommandSeams{};
        if (bar) ArrangeSeams().RefreshTrackbar = *bar;
        ArrangeTest::TearDown();
    }
    // Counts the settings bar's refreshes, which still run.
    void CountRefreshes(int& Count) {
        bar = ArrangeSeams().RefreshTrackbar;
        ArrangeSeams().RefreshTrackbar = [&Count, run = *bar] {
            ++Count;
            if (run) run();
        };
    }
    HWND List() const { return a->tracks->Handle(); }
    TPoint At(int X, int Row) const { return gui.At(List(), X, Row * TrackHeight + 9); }
    Bytes TakeSent() {
        Bytes r;
        for (const auto& s : synth.Sent())
            r.push_back(s.Bytes);
        r.erase(r.begin(), r.begin() + std::ptrdiff_t(std::min(seen, r.size())));
        seen += r.size();
        if (echoes) {
            r.resize(r.size() - std::min(echoes, r.size()));
            echoes = 0;
        }
        return r;
    }
    // Live events a softsynth's plug-in was handed since the last look.
    static std::vector<std::uint32_t> TakeLive(TSoftItem& Item) {
        std::vector<std::uint32_t> out;
        TRTEvent e;
        while (Item.Plugin->Events.Pop(e))
            out.push_back(e.Value);
        return out;
    }
    void Repaint() {
        a->tracks->Invalidate();
        gui.Pump();
    }
    // A press and its release at the same point: what the press sent is left to be taken (the
    // harness's move before the release sends the same value again).
    void Press(TPoint P) {
        gui.Press(P);
        const std::size_t pressed = synth.Count();
        gui.Release(P);
        const std::size_t released = synth.Count();
        if (released > pressed) {
            const auto sent = synth.Sent();
            EXPECT_EQ(sent.back().Bytes, sent[pressed - 1].Bytes);
        }
        echoes += released - pressed;
    }
    std::uint32_t ListPixel(int X, int Y) const { return gui.Pixel(List(), X, Y); }
    // Cell (Row, Section) shows Text in Colour on Back, as the text renderer draws it.
    void ExpectCell(int Row, int Section, std::string_view Text, TColor Colour, TColor Back,
                    bool Centred = true) {
        SCOPED_TRACE(testing::Message()
                     << "row " << Row << " section " << Section << " \"" << Text << "\"");
        int x = 5;
        for (int i = 0; i < Section; ++i)
            x += a->trackTitles->Sections(i)->Width;
        const int y = Row * TrackHeight, w = a->trackTitles->Sections(Section)->Width - 10;
        TBitmap b;
        b.SetSize(w, TrackHeight);
        TCanvas& c = b.Canvas();
        c.Brush.Style = bsSolid;
        c.Brush.Color = Back;
        c.FillRect({0, 0, w, TrackHeight});
        c.Font = a->tracks->Font.Get();
        TRect r{0, 0, w, TrackHeight};
        CanvasDrawText(c, Text, &r,
                       DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX |
                           (Centred ? unsigned(DT_CENTER) : 0u),
                       Colour);
        int differ = 0, inked = 0;
        for (int yy = 0; yy < TrackHeight; ++yy)
            for (int xx = 0; xx < w; ++xx) {
                const std::uint32_t want = b.Pixels().Row(yy)[xx] & 0xFFFFFF;
                differ += ListPixel(x + xx, y + yy) != want;
                inked += want != Rgb(Back);
            }
        EXPECT_EQ(differ, 0);
        EXPECT_EQ(inked > 0, !Text.empty());
    }
    std::size_t seen = 0, echoes = 0;
    std::optional<std::function<void()>> bar;
};

// A value column is a slider from 0 at Left + 5 to 127 at Right - 5 (halves to even); left of
// it the value rounds below 0: not set, the neutral value goes out. The message goes on the
// clicked row's channel to its port, and the current track stays.
TEST_F(TrackListTest, ValueClicksSetAndSendTheControllerOfTheClickedRow) {
    Song->TrackAt(7)->Channel = 2;
    struct Case {
        int x, value;
        std::uint8_t controller, sent;
    };
    for (const Case c : {Case{245, 0, 7, 0}, Case{275, 127, 7, 127}, Case{260, 64, 7, 64},
                         Case{244, -1, 7, 127}, Case{284, -1, 10, 64}, Case{300, 64, 10, 64},
                         Case{324, -1, 91, 0}, Case{364, -1, 93, 0}, Case{395, 127, 93, 127}}) {
        SCOPED_TRACE(c.x);
        Press(At(c.x, 7));
        const _TTrack& t = *Song->TrackAt(7);
        const int column = (c.x - 240) / 40;
        EXPECT_EQ((std::array<int, 4>{t.Volume, t.Pan, t.Reverb, t.Chorus})[column], c.value);
        EXPECT_EQ(TakeSent(), (Bytes{{0xB2, c.controller, c.sent}}));
    }
    EXPECT_EQ(Song->CurrentTrackIndex, 0);
    EXPECT_EQ(Song->TrackAt(0)->Volume, -1);
}

// A value drag follows the pointer only inside the cell it started in: another column or row
// pauses it, coming back goes on. A column of 10 pixels or less has no slider at all.
TEST_F(TrackListTest, ValueDragsStayInTheirCellAndANarrowColumnDoesNothing) {
    Song->TrackAt(3)->Channel = 0;
    gui.Press(At(250, 3));
    gui.MoveTo(At(300, 3)); // "Pan"
    gui.MoveTo(At(262, 4));
    EXPECT_EQ(Song->TrackAt(3)->Volume, 21);
    EXPECT_EQ(Song->TrackAt(3)->Pan, -1);
    EXPECT_EQ(Song->TrackAt(4)->Volume, -1);
    gui.MoveTo(At(270, 3));
    EXPECT_EQ(Song->TrackAt(3)->Volume, 106);
    EXPECT_EQ(TakeSent(), (Bytes{{0xB0, 7, 21}, {0xB0, 7, 106}}));
    gui.Release(At(270, 3));
    TakeSent();
    gui.MoveTo(At(255, 3)); // released: no drag
    EXPECT_EQ(Song->TrackAt(3)->Volume, 106);

    a->trackTitles->Sections(6)->Width = 10;
    for (int x : {240, 245, 248}) {
        gui.Press(At(x, 1));
        gui.MoveTo(At(x + 1, 1));
        gui.Release(At(x + 1, 1));
    }
    EXPECT_EQ(Song->TrackAt(1)->Volume, -1);
    EXPECT_TRUE(TakeSent().empty());
}

// The values reach the instrument of the row clicked: a softsynth row its plug-in, a MIDI row
// its port, never the current track's thru plug-in.
TEST_F(TrackListTest, ValuesGoToTheRowsInstrumentNotTheThruPlugin) {
    RecordingVst vst;
    TSoftItem* item = SoftEngine->AddSoftsynth("recvst");
    ASSERT_TRUE(item);
    Song->TrackAt(0)->Mode = tmSoftsynth;
    Song->TrackAt(0)->Channel = 4;
    Song->TrackAt(5)->Channel = 0;
    a->btnThru->Down = true;
    a->SendThru(); // track 0's plug-in takes the input
    Press(At(275, 5));
    EXPECT_EQ(TakeSent(), (Bytes{{0xB0, 7, 127}}));
    EXPECT_TRUE(TakeLive(*item).empty());
    gui.Press(At(260, 0));
    EXPECT_TRUE(TakeSent().empty());
    EXPECT_EQ(TakeLive(*item), (std::vector<std::uint32_t>{PackMidiMsg(0xB4, 7, 64)}));
    gui.Release(At(260, 0));
    TakeLive(*item);
    // An audio row has no instrument: the value is kept, nothing goes out.
    Song->TrackAt(6)->Mode = tmAudio;
    gui.Click(At(275, 6));
    EXPECT_EQ(Song->TrackAt(6)->Volume, 127);
    EXPECT_TRUE(TakeSent().empty());
    EXPECT_TRUE(TakeLive(*item).empty());
    SoftEngine->Clear();
}

// A click in "M" mutes or unmutes that row and leaves the current track; muting ends the
// track's notes on its own instrument: a MIDI track's channel and port, a softsynth's plug-in.
// The M key mutes the current track.
TEST_F(TrackListTest, MuteClicksEndTheNotesOfTheRowsInstrument) {
    RecordingVst vst;
    TSoftItem* item = SoftEngine->AddSoftsynth("recvst");
    ASSERT_TRUE(item);
    Song->TrackAt(7)->Channel = 2;
    int refreshed = 0;
    CountRefreshes(refreshed);
    gui.Click(At(120, 7));
    EXPECT_EQ(Song->TrackAt(7)->Mute, 1);
    EXPECT_EQ(Song->CurrentTrackIndex, 0);
    EXPECT_EQ(refreshed, 1);
    EXPECT_EQ(TakeSent(), (Bytes{{0xB2, 123, 0}, {0xB2, 120, 0}}));
    gui.Click(At(159, 7));
    EXPECT_EQ(Song->TrackAt(7)->Mute, 0);
    EXPECT_TRUE(TakeSent().empty());

    Song->TrackAt(9)->Mode = tmSoftsynth;
    Song->TrackAt(9)->Channel = 5;
    gui.Click(At(140, 9));
    EXPECT_EQ(Song->TrackAt(9)->Mute, 1);
    EXPECT_TRUE(TakeSent().empty());
    EXPECT_EQ(TakeLive(*item),
              (std::vector<std::uint32_t>{PackMidiMsg(0xB5, 123, 0), PackMidiMsg(0xB5, 120, 0)}));
    // A disk track toggles without the guard, which refuses while recording.
    Song->TrackAt(10)->Mode = tmDisk;
    Song->State = 1;
    a->ToggleTrackMute(10);
    a->ToggleTrackMute(11);
    Song->State = 0;
    EXPECT_EQ(Song->TrackAt(10)->Mute, 1);
    EXPECT_EQ(Song->TrackAt(11)->Mute, 0);

    Song->CurrentTrackIndex = 2;
    SetFocus(fmMdi->Handle());
    gui.Key('M');
    EXPECT_EQ(Song->TrackAt(2)->Mute, 1);
    SoftEngine->Clear();
}

// A click elsewhere makes the row current: the solo moves with it, selected parts are let go,
// the bar is refreshed; Shift selects the track's parts. Dragging row 5 onto row 2 moves the
// track there with its solo and the clipboard's copy of its part; a release on the same row
// changes nothing.
TEST_F(TrackListTest, RowClicksChooseTheTrackAndDragsMoveIt) {
    _TPart* selected = AddPart(1, 0, 960);
    selected->Flags |= pfSelected;
    _TPart* own = AddPart(4, 960, 960);
    Song->SoloTrack = 0;
    int refreshed = 0;
    CountRefreshes(refreshed);
    gui.Click(At(60, 4));
    EXPECT_EQ(Song->CurrentTrackIndex, 4);
    EXPECT_EQ(Song->SoloTrack, 4);
    EXPECT_FALSE(selected->Flags & pfSelected);
    EXPECT_GE(refreshed, 1);
    gui.Click(At(60, 4)); // the current row again
    EXPECT_FALSE(own->Flags & pfSelected);
    gui.KeyDown(VK_SHIFT);
    gui.Click(At(60, 4));
    gui.KeyUp(VK_SHIFT);
    EXPECT_TRUE(own->Flags & pfSelected);

    _TTrack* five = Song->TrackAt(5);
    _TTrack* two = Song->TrackAt(2);
    _TPart* part = AddPart(5, 0, 960);
    Song->Clipboard = CopyPart(part);
    Song->Clipboard->Next = nullptr;
    Song->SoloTrack = 5;
    gui.Drag(At(20, 5), At(20, 2));
    EXPECT_EQ(Song->TrackAt(2), five);
    EXPECT_EQ(Song->CurrentTrackIndex, 2);
    EXPECT_EQ(Song->SoloTrack, 2);
    EXPECT_EQ(Song->Clipboard->Track, 2);
    EXPECT_EQ(part->Track, 2);
    EXPECT_EQ(Song->TrackAt(3), two);
    gui.Drag(At(20, 2), At(30, 2));
    EXPECT_EQ(Song->TrackAt(2), five);
    EXPECT_EQ(Song->CurrentTrackIndex, 2);
    Song->ClearClipboard();
}

// What the cells show: channel, mute, bank and program, values with their bars, and the track
// name where a GM program name would need a program beyond 127.
TEST_F(TrackListTest, CellsShowTheTrackSettings) {
    const TColor back = fmMdi->ControlBkColor, font = a->tracks->Font.Get().Color;
    Song->CurrentTrackIndex = 0;
    Song->TrackAt(0)->Name = "Lead";
    Song->TrackAt(1)->Channel = -1;
    Song->TrackAt(2)->Mode = tmAudio;
    Song->TrackAt(3)->Mute = 1;
    Song->TrackAt(3)->Name = "Muted";
    Song->TrackAt(4)->Layout = 0x4000;
    Song->TrackAt(4)->Bank = 65538;
    Song->TrackAt(4)->Program = 5;
    Song->TrackAt(6)->Volume = 127;
    Song->TrackAt(6)->Pan = 0;
    Song->TrackAt(7)->Mode = tmSoftsynth;
    Song->TrackAt(7)->Reverb = 64;
    Song->TrackAt(8)->Name = "Strings";
    Song->TrackAt(8)->Program = 150;
    Song->TrackAt(9)->Program = 5;
    Song->TrackAt(9)->Name = "Keys";
    Repaint();
    ExpectCell(0, 1, "Lead", a->TracksSelColor, a->TracksSelBkColor, false);
    ExpectCell(1, 2, "Off", font, back);
    ExpectCell(2, 2, "---", font, back);
    ExpectCell(2, 5, "---", font, back);
    ExpectCell(3, 3, "x", 0x808080, back);
    ExpectCell(3, 1, "Muted", 0x808080, back, false);
    ExpectCell(4, 5, "1/2/5", font, back);
    ExpectCell(5, 5, "-/-", font, back);
    ExpectCell(5, 6, "---", font, back);
    ExpectCell(7, 8, "---", font, back); // reverb of a softsynth track
    ExpectCell(9, 1, "Keys", font, back, false);
    // Value 127 fills the cell 245..274 between 4 pixels off the row's edges; value 0 is none.
    const int y = 6 * TrackHeight;
    const std::uint32_t bar = Rgb(fmMdi->PartsBkColor);
    for (int x : {245, 246, 273, 274}) {
        EXPECT_EQ(ListPixel(x, y + 4), bar) << x;
        EXPECT_EQ(ListPixel(x, y + TrackHeight - 5), bar) << x;
        EXPECT_EQ(ListPixel(x, y + 3), Rgb(back)) << x;
    }
    EXPECT_EQ(ListPixel(275, y + 4), Rgb(back));
    for (int x = 285; x < 315; ++x)
        ASSERT_NE(ListPixel(x, y + 4), bar) << x;

    TrackList().SetTrackNames(false);
    Repaint();
    ExpectCell(8, 1, "Strings", font, back, false);
    ExpectCell(9, 1, GmProgramNames[5], font, back, false);
    TrackList().SetTrackNames(true);
}

// The header: "Prog" opens the user bank dialog and "Ch" the channel menu for MIDI and
// softsynth tracks, "Output" the output menu, "Tracks" the rename dialog (whose choice of GM
// names the list shows at once), "M" mutes the current track; the "Inp" section carries three
// blue lines, and a dragged section edge moves the cells at once.
TEST_F(TrackListTest, HeaderClicksDrawingAndResizing) {
    int banks = 0;
    EditCommandSeams().ShowUserBank = [&] { ++banks; };
    const HWND header = a->trackTitles->Handle();
    gui.Click(gui.At(header, 220, 10)); // "Prog"
    EXPECT_EQ(banks, 1);
    for (const char* menu : {"PopupDevice", "PopupCh"})
        gui.OnModal(menu, [&](HWND) {
            EXPECT_FALSE(ShownMenuItems(0).empty());
            gui.Key(VK_ESCAPE);
        });
    gui.Click(gui.At(header, 180, 10)); // "Output"
    gui.Click(gui.At(header, 100, 10)); // "Ch"

    Song->TrackAt(0)->Program = 5;
    gui.OnModal("Rename track", [&](HWND) {
        gui.Click(gui.At(dlgRenameTrack->chkGMName->Handle(), 4, 4));
        gui.Click(gui.At(dlgRenameTrack->btnCancel->Handle(), 4, 4));
    });
    gui.Click(gui.At(header, 60, 10)); // "Tracks"
    EXPECT_FALSE(TrackList().TrackNames());
    gui.Pump();
    ExpectCell(0, 1, GmProgramNames[5], a->TracksSelColor, a->TracksSelBkColor, false);
    TrackList().SetTrackNames(true);

    Song->TrackAt(0)->Mode = tmAudio;
    gui.Click(gui.At(header, 220, 10));
    gui.Click(gui.At(header, 100, 10)); // no menu for an audio track
    EXPECT_EQ(banks, 1);
    gui.Click(gui.At(header, 130, 10)); // "M"
    EXPECT_EQ(Song->TrackAt(0)->Mute, 1);
    gui.Click(gui.At(header, 260, 10)); // "Vol" takes no click
    EXPECT_EQ(Song->TrackAt(0)->Volume, -1);

    const std::uint32_t blue = 0x0000FF;
    const TRect r{1, 1, 39, 19}; // inside the section's frame
    EXPECT_EQ(gui.Pixel(header, r.Left + 2, r.Top + 5), blue);
    EXPECT_EQ(gui.Pixel(header, r.Right - 6, r.Top + 5), blue);
    EXPECT_EQ(gui.Pixel(header, r.Left + 2, r.Top + 13), blue);
    EXPECT_EQ(gui.Pixel(header, (r.Left + r.Right) / 2 + 2, r.Top + 13) == blue, false);

    Song->TrackAt(1)->Channel = -1;
    Repaint();
    gui.Drag(gui.At(header, 80, 10), gui.At(header, 100, 10));
    EXPECT_EQ(a->trackTitles->Sections(1)->Width, 60);
    ExpectCell(1, 2, "Off", a->tracks->Font.Get().Color, fmMdi->ControlBkColor);
}

// An input event's 12 decays by 2 every 10 ms tick: bars of 1.0, 0.8, 0.6 and 0.4 of the
// "Inp" width, then the counter clears and the bar goes.
TEST_F(TrackListTest, ActivityBarsShrinkWithEveryTick) {
    fmMdi->LedActive = true;
    Repaint();
    Song->TrackAt(3)->InputActivity = 12;
    const int y = 3 * TrackHeight + 4;
    const std::uint32_t led = Rgb(fmMdi->LedColor), back = Rgb(fmMdi->ControlBkColor);
    for (int width : {40, 32, 24, 16}) {
        SCOPED_TRACE(width);
        a->LedTimerTick();
        gui.Pump();
        EXPECT_EQ(ListPixel(width - 1, y), led);
        EXPECT_EQ(ListPixel(width - 1, y + TrackHeight - 9), led);
        if (width < 40) {
            EXPECT_EQ(ListPixel(width, y), back);
        }
    }
    a->LedTimerTick();
    gui.Pump();
    EXPECT_EQ(Song->TrackAt(3)->InputActivity, 0);
    EXPECT_EQ(ListPixel(0, y), back);
    a->LedTimerTick();
    EXPECT_EQ(Song->TrackAt(3)->InputActivity, 0);
}

} // namespace
