// The key editor's event list under the harness: the row texts by kind and view, the pixels of
// the selection, the channel column and the position line, clicks and Shift+clicks, the lane
// chosen by a double click, the scroll bar's return to the top and the column strip's widths.
#include "editors/key_fixture.h"

#include "app/main.h"
#include "gui/mscroll.h"
#include "gui/scroll.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/header.h"
#include "platform/menus/menus.h"
#include "song/primitives.h"
#include "song/song.h"

#include <array>

using namespace platform;

namespace {

_TEvent* Insert(_TPart* P, int Tick, std::uint32_t Msg) {
    _TEvent* e = NewEvent(Tick, Msg);
    _TPart* p = P;
    InsertEvent(p, e);
    return e;
}

_TEvent* EventAt(_TPart* P, int Index) {
    _TEvent* e = P->Events;
    for (int i = 0; e && i < Index; ++i)
        e = e->Next;
    return e;
}

class KeyListTest : public KeyTest {
protected:
    std::array<std::string, 5> Row(_TPart* P, int Index) {
        std::array<std::string, 5> r;
        int t = P->Start;
        for (_TEvent* e = P->Events; e; e = e->Next, --Index) {
            t += e->Delta;
            if (Index == 0) {
                k->ListRowTexts(e, t, r.data());
                break;
            }
        }
        return r;
    }
    void Repaint() {
        k->list->Invalidate();
        gui.Pump();
    }
    // The pixels of list row Row between columns X1 and X2 that Is accepts.
    template <class F> int CountIn(int Row, int X1, int X2, F&& Is) {
        int n = 0;
        for (int y = Row * k->RowHeight; y < (Row + 1) * k->RowHeight; ++y)
            for (int x = X1; x < X2; ++x)
                n += Is(gui.Pixel(k->list->Handle(), x, y + k->list->OffsetY) & 0xFFFFFF);
        return n;
    }
    // Text pixels: yellow ones (the selection's) and any that differ from the background.
    static bool Yellow(std::uint32_t C) {
        return (C >> 16) > 0x80 && ((C >> 8) & 0xFF) > 0x80 && (C & 0xFF) < 0x60;
    }
    static bool Inked(std::uint32_t C) { return C != (fmMdi->ControlBkColor & 0xFFFFFFu); }
    TPoint RowAt(int Row) const {
        return testsupport::GuiHarness::At(k->list->Handle(), 60,
                                           Row * k->RowHeight + k->RowHeight / 2);
    }
};

TEST_F(KeyListTest, RowTextsByKindAndView) {
    Start();
    _TPart* p = AddPart(0, 0, 1920, {{0, 60, 60}});
    Insert(p, 120, PackMidiMsg(0xE0, 0, 64));
    Insert(p, 240, PackMidiMsg(0xE1, 127, 127));
    Insert(p, 480, PackMidiMsg(0xB0, 7, 100));
    _TEvent* sysex = Insert(p, 960, 0xF0);
    const std::uint8_t bytes[] = {0xF0, 0x41, 0x10, 0x42, 0xF7};
    SetEventBlock(*sysex, bytes, 5);
    _TEvent* nrpn = Insert(p, 1440, PackMidiMsg(0xF0, 1, 0));
    SetEventValue(*nrpn, 0x40010203u);
    Insert(p, 1500, PackMidiMsg(0xA0, 60, 9));
    OpenKey(p);
    using R = std::array<std::string, 5>;
    const R want[] = {
        {"0001:01:000", "1", "Note on", "C3", "100"},
        {"0001:01:060", "1", "Note off", "C3", ""},
        {"0001:01:120", "1", "Pitch wheel", "0", ""},
        {"0001:02:000", "2", "Pitch wheel", "8191", ""},
        {"0001:03:000", "1", "Control change", "Main volum", "100"},
        {"0002:01:000", "1", "Sysex", "5 bytes", ""},
        {"0002:03:000", "1", "NRPN", "3, 2", "-8000"},
        {"0002:03:060", "1", "Key pressure", "60", ""},
    };
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(Row(p, i), want[i]) << "row " << i;
    k->miViewNumber->Click();
    EXPECT_EQ(k->ListView, 1);
    EXPECT_TRUE(k->miViewNumber->Checked);
    EXPECT_FALSE(k->miViewText->Checked);
    EXPECT_EQ(Row(p, 4), (R{"0001:03:000", "1", "Control change", "7", "100"}));
}

TEST_F(KeyListTest, SelectionChannelAndPositionPixels) {
    Start();
    _TPart* p = AddPart(0, 960, 960, {{0, 60, 60}, {120, 62, 60}});
    OpenKey(p);
    Song->Position = 960 + 100; // before the second note's row
    SelectNote(p, EventAt(p, 2));
    Repaint();
    const int colRight = k->listTitles->Sections(0)->Width + k->listTitles->Sections(1)->Width;
    const int w = k->list->GetClientWidth();
    EXPECT_EQ(CountIn(0, 0, w, Yellow), 0);
    EXPECT_GT(CountIn(2, 0, w, Yellow), 20) << "the selected row";
    EXPECT_GT(CountIn(0, 0, w, Inked), 20);
    // "Ch" centred in its column: as many lit columns left of its middle as right of it.
    const int colLeft = k->listTitles->Sections(0)->Width, mid = (colLeft + colRight) / 2;
    int lo = colRight, hi = colLeft;
    for (int x = colLeft; x < colRight; ++x)
        if (CountIn(0, x, x + 1, Inked) > 0) {
            lo = std::min(lo, x);
            hi = std::max(hi, x);
        }
    ASSERT_LT(lo, hi);
    EXPECT_LE(std::abs((lo + hi) / 2 - mid), 2) << lo << ".." << hi;
    // The position line 2 pixels above the row of the first event at or after it.
    const int y = 2 * k->RowHeight - 2;
    EXPECT_EQ(gui.Pixel(k->list->Handle(), 150, y), 0x808080u);
    EXPECT_NE(gui.Pixel(k->list->Handle(), 150, y + 3), 0x808080u);
}

TEST_F(KeyListTest, AnEmptyPartSaysSoWithoutAPositionLine) {
    Start();
    _TPart* p = AddPart(0, 0, 960);
    OpenKey(p);
    Song->Position = 0;
    Repaint();
    EXPECT_GT(CountIn(0, 5, 90, Inked), 20) << "no \"<part is empty>\"";
    EXPECT_EQ(CountIn(1, 0, k->list->GetClientWidth(), Inked), 0);
    int grey = 0;
    for (int y = 0; y < 3 * k->RowHeight; ++y)
        grey += gui.Pixel(k->list->Handle(), 150, y) == 0x808080u;
    EXPECT_EQ(grey, 0);
}

TEST_F(KeyListTest, ClicksSelectRowsAndDoubleClicksChooseTheLane) {
    Start();
    _TPart* p = AddPart(0, 0, 960, {{0, 60, 30}, {120, 62, 30}});
    Insert(p, 480, PackMidiMsg(0xB0, 10, 64));
    _TEvent* nrpn = Insert(p, 600, PackMidiMsg(0xF0, 1, 0));
    SetEventValue(*nrpn, 0x01020304u);
    OpenKey(p);
    Repaint();
    gui.Click(RowAt(0));
    EXPECT_EQ(SelectedNoteTicks(p), std::vector<int>{0});
    gui.Click(RowAt(2)); // note-on of the second note
    EXPECT_EQ(SelectedNoteTicks(p), std::vector<int>{120});
    gui.Click(RowAt(0));
    gui.KeyDown(VK_SHIFT);
    gui.Click(RowAt(2));
    gui.KeyUp(VK_SHIFT);
    EXPECT_EQ(SelectedNoteTicks(p), (std::vector<int>{0, 120}));
    gui.Click(RowAt(1)); // a note-off row only clears
    EXPECT_EQ(CountSelectedEvents(p), 0);

    k->listDblClick(60, 4 * k->RowHeight + 1);
    EXPECT_EQ(k->LaneKind, 2);
    EXPECT_EQ(k->LaneCode, 10);
    k->listDblClick(60, 5 * k->RowHeight + 1); // NRPN: no lane
    EXPECT_EQ(k->LaneCode, 10);
    k->listDblClick(60, 0);
    EXPECT_EQ(k->LaneKind, 0);
}

TEST_F(KeyListTest, RefreshReturnsToTheTopAndTheStripSetsTheWidth) {
    Start();
    std::initializer_list<std::tuple<int, int, int>> none;
    _TPart* p = AddPart(0, 0, 7680, none);
    for (int i = 0; i < 100; ++i)
        Insert(p, i * 60, PackMidiMsg(0xB0, 7, std::uint32_t(i)));
    OpenKey(p);
    Repaint();
    auto* bar = dynamic_cast<TGuiScrollbar*>(k->sbListVert->GetControlWithID("listvert"));
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->Enabled);
    EXPECT_EQ(bar->Max, 100 * k->RowHeight - k->list->GetClientHeight());
    // Selecting row 50 scrolls it to the top; a refresh goes back to row 0.
    EventAt(p, 50)->Flags |= efSelected;
    k->ScrollListToSelection();
    gui.Pump();
    EXPECT_EQ(bar->Position, 50 * k->RowHeight);
    EXPECT_EQ(k->list->OffsetY, -50 * k->RowHeight);
    k->RefreshEventList();
    gui.Pump();
    EXPECT_EQ(bar->Position, 0);
    EXPECT_EQ(k->list->OffsetY, 0);

    const int strip = k->sbListVert->Width;
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(k->listTitles->Sections(i)->Width, 40);
    struct TCase {
        const char* Id;
        int Width;
    };
    for (const TCase& c : {TCase{"all", 204 + strip},
                           {"less", 164 + strip},
                           {"less", 124 + strip},
                           {"more", 164 + strip},
                           {"last", 124 + strip},
                           {"last", 164 + strip}}) {
        k->ColumnsClick(c.Id);
        EXPECT_EQ(k->panelList->Width, c.Width) << c.Id;
    }
    ASSERT_EQ(k->PopupColumns->Items->Count(), 5);
    EXPECT_EQ(k->PopupColumns->Items->Items(2)->Caption, "Status");
    k->PopupColumns->Items->Items(2)->Click();
    EXPECT_EQ(k->panelList->Width, 124);
}

} // namespace
