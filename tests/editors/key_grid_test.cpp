// The key editor's pictures read back from the retained surfaces: note boxes with their fills
// and bevels, grid and row lines, the keyboard strip with its labels, hovered and MIDI-input
// keys, the ruler's labels, the play cursor and the locator band as XOR marks.
#include "editors/key_fixture.h"

#include "app/transport.h"
#include "devices/audio.h"
#include "devices/midimsg.h"
#include "gui/mscroll.h"
#include "gui/scroll.h"
#include "platform/core/messages.h"
#include "platform/gdi/surface.h"
#include "platform/menus/menus.h"
#include "platform/window/window.h"
#include "song/timebase.h"

using namespace platform;

namespace {

constexpr std::uint32_t kBackground = 0x1F1F1F, kLine = 0x313131, kBlack = 0;
// PartsBkColor $50A0A0 with Part3d 24: the bevels the fill blends into.
constexpr std::uint32_t kFill = 0xA0A050, kLight = 0xB2B271, kShadow = 0x828241;

bool SameSurface(const Surface& A, const Surface& B) {
    if (A.width != B.width || A.height != B.height) return false;
    for (int y = 0; y < A.height; ++y)
        for (int x = 0; x < A.width; ++x)
            if ((A.Row(y)[x] & 0xFFFFFF) != (B.Row(y)[x] & 0xFFFFFF)) return false;
    return true;
}

class KeyGridTest : public KeyTest {
protected:
    // Content coordinates of the grid, keyboard and ruler.
    std::uint32_t Grid(int x, int y) const {
        return gui.Pixel(k->key->Handle(), x + k->key->OffsetX, y + k->key->OffsetY);
    }
    std::uint32_t Keys(int x, int y) const {
        return gui.Pixel(k->Keyboard->Handle(), x, y + k->Keyboard->OffsetY);
    }
    std::uint32_t Ruler(int x, int y) const {
        return gui.Pixel(k->meter->Handle(), x + k->meter->OffsetX, y);
    }
    void Repaint() {
        k->key->Invalidate();
        k->Keyboard->Invalidate();
        k->meter->Invalidate();
        gui.Pump();
    }
    // The middle row of a note's box.
    static int BoxRow(int Note) { return NoteToKeyY(Note) + 3; }
    // Columns of the ruler with ink (black) in its upper half, where only labels reach,
    // between x0 and x1.
    int InkColumns(int x0, int x1) const {
        int n = 0;
        for (int x = x0; x < x1; ++x)
            for (int y = 0; y < k->meter->GetClientHeight() / 2; ++y)
                if (Ruler(x, y) == kBlack) {
                    ++n;
                    break;
                }
        return n;
    }
};

TEST_F(KeyGridTest, NoteBoxesFillsBevelsAndGridLines) {
    Start();
    // The part starts at bar 2, so the play cursor at 0 lies left of the grid.
    _TPart* p = AddPart(0, 960, 1920, {{0, 72, 60}, {120, 74, 1}, {240, 76, 60}});
    OpenKey(p);
    Repaint();
    // Ticks 0..60 at Width16th 16 cover x 1..16: light bevel left and on top, shadow right and
    // below.
    const int y = BoxRow(72), top = NoteToKeyY(72) + 1, bottom = top + NoteHeight - 2;
    EXPECT_NE(Grid(0, y), kFill);
    EXPECT_EQ(Grid(1, y), kLight);
    for (int x = 2; x <= 15; ++x)
        EXPECT_EQ(Grid(x, y), kFill) << x;
    EXPECT_EQ(Grid(16, y), kShadow);
    EXPECT_EQ(Grid(17, y), kBackground);
    EXPECT_EQ(Grid(16, top), kLight);
    EXPECT_EQ(Grid(8, bottom), kShadow);
    // A one-tick note at 120 (x1 = 33) is still 3 pixels wide.
    EXPECT_EQ(Grid(33, BoxRow(74)), kLight);
    EXPECT_EQ(Grid(35, BoxRow(74)), kFill);
    EXPECT_EQ(Grid(36, BoxRow(74)), kShadow);
    EXPECT_EQ(Grid(37, BoxRow(74)), kBackground);
    // Beat lines black, other grid steps $313131, on a row without notes.
    const int empty = BoxRow(100);
    EXPECT_EQ(Grid(64, empty), kBlack);
    EXPECT_EQ(Grid(128, empty), kBlack);
    EXPECT_EQ(Grid(16, empty), kLine);
    EXPECT_EQ(Grid(48, empty), kLine);
    EXPECT_EQ(Grid(8, empty), kBackground);

    // A selected note takes the selected colour.
    for (_TEvent* e = p->Events; e; e = e->Next)
        if (MidiData1(e->Msg) == 76) e->Flags |= efSelected;
    Repaint();
    EXPECT_EQ(Grid(70, BoxRow(76)), Rgb(fmMdi->PartsSelectedColor));
    EXPECT_EQ(Grid(70, BoxRow(72)), kBackground);

    // At Width16th 18 a note at tick 10 starts at x 3.
    Width16th = 18;
    FreePartEvents(p);
    AppendEvent(p, NewEvent(10, 0x00644F90u));
    AppendEvent(p, NewEvent(60, 0x00004F80u));
    Repaint();
    EXPECT_EQ(Grid(3, BoxRow(79)), kLight);
    EXPECT_EQ(Grid(2, BoxRow(79)), kBackground);
}

TEST_F(KeyGridTest, GridMenuSetsTheLineSpacing) {
    Start();
    _TPart* p = AddPart(0, 960, 1920, {{0, 60, 60}});
    OpenKey(p);
    const int row = BoxRow(100);
    struct Case {
        const char* Item;
        int Spacing, Line, NoLine; // a column with a grid line, one without
    };
    const Case cases[] = {{"8", 120, 32, 16}, {"16T", 40, 11, 16}, {"Editres", -1, 16, 8}};
    for (const Case& c : cases) {
        TMenuItem* item = nullptr;
        for (int i = 0; i < k->miGrid->Count(); ++i)
            if (k->miGrid->Items(i)->Caption == c.Item) item = k->miGrid->Items(i);
        ASSERT_NE(item, nullptr) << c.Item;
        item->OnClick(item);
        gui.Pump();
        EXPECT_EQ(k->GridSpacing, c.Spacing) << c.Item;
        EXPECT_EQ(Grid(c.Line, row), kLine) << c.Item;
        EXPECT_EQ(Grid(c.NoLine, row), kBackground) << c.Item;
        k->miGrid->OnClick(k->miGrid);
        EXPECT_TRUE(item->Checked) << c.Item;
    }
}

TEST_F(KeyGridTest, AKeyLitWhenTheEditorClosedIsDarkInTheNextOne) {
    Start();
    OpenKey(AddPart(0, 0, 960));
    SendMessage(fmMdi->Handle(), MM_MIM_DATA, 0, LPARAM(0x00643C90));
    gui.Pump();
    ASSERT_TRUE(k->LitKeys[60]);
    k->Close();
    gui.Pump();
    ASSERT_EQ(fmKey, nullptr);
    // The note-off comes while no editor is open.
    SendMessage(fmMdi->Handle(), MM_MIM_DATA, 0, LPARAM(0x00003C80));
    gui.Pump();
    OpenKey(Song->TrackAt(0)->Parts);
    k->ScrollY->SetPosition(k->ScrollY->Max);
    k->ScrollY->Changed();
    Repaint();
    EXPECT_FALSE(k->LitKeys[60]);
    EXPECT_EQ(Keys(k->Keyboard->GetClientWidth() - 3, NoteToKeyY(60) + 3), 0xFFFFFFu);
}

TEST_F(KeyGridTest, AGridAtTheEditResolutionFollowsItsChange) {
    const struct {
        int Spacing;
        int Line, NoLine; // after the edit resolution became 1/8
    } cases[] = {{-1, 32, 16}, {60, 16, 8}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Spacing);
        Start();
        OpenKey(AddPart(0, 960, 1920, {{0, 60, 60}}));
        k->SetGridSpacing(c.Spacing);
        fmMdi->SetGridValue(16, "16");
        Repaint();
        const int row = BoxRow(100);
        ASSERT_EQ(Grid(16, row), kLine);
        fmMdi->SetGridValue(8, "8");
        gui.Pump();
        EXPECT_EQ(k->panelRes->Caption, "8");
        EXPECT_EQ(Grid(c.Line, row), kLine);
        EXPECT_EQ(Grid(c.NoLine, row), kBackground);
        TearDown();
    }
}

TEST_F(KeyGridTest, RowLinesBelowEachCAreBlackWithBothSwitches) {
    Start();
    _TPart* p = AddPart(0, 960, 960, {{0, 60, 60}});
    OpenKey(p);
    struct Case {
        bool Octaves, Flats;
        int BelowC, BelowD, EAndF; // the boundary under C, under D, and between F and E
    };
    const Case cases[] = {
        {true, true, kBlack, kLine, kLine},
        {true, false, kBlack, kLine, kLine},
        {false, true, kBackground, kLine, kBackground}, // no black key between B and C
        {false, false, kBackground, kBackground, kBackground},
    };
    for (const Case& c : cases) {
        k->GridShowOctaves = c.Octaves;
        k->GridShowFlats = c.Flats;
        Repaint();
        // x 8 lies between grid lines; boundaries under C3 and D3 (keys 48 and 50), and the top
        // of E3's row (key 52), under F3.
        EXPECT_EQ(Grid(8, NoteToKeyY(48) + NoteHeight), std::uint32_t(c.BelowC))
            << c.Octaves << c.Flats;
        EXPECT_EQ(Grid(8, NoteToKeyY(50) + NoteHeight), std::uint32_t(c.BelowD))
            << c.Octaves << c.Flats;
        EXPECT_EQ(Grid(8, NoteToKeyY(52)), std::uint32_t(c.EAndF)) << c.Octaves << c.Flats;
    }
}

TEST_F(KeyGridTest, KeyboardLabelsTheLowestCAndLightsHoveredAndPlayedKeys) {
    Start();
    _TPart* p = AddPart(0, 0, 960, {{0, 60, 60}});
    OpenKey(p);
    k->ScrollY->SetPosition(k->ScrollY->Max);
    k->ScrollY->Changed();
    Repaint();
    const int w = k->Keyboard->GetClientWidth();
    auto ink = [&](int Note) {
        int n = 0;
        const int y0 = NoteToKeyY(Note);
        for (int y = y0 - 4; y < y0 + NoteHeight + 4; ++y)
            for (int x = w / 2; x < w; ++x)
                n += Keys(x, y) == kBlack;
        return n;
    };
    EXPECT_GT(ink(0), 6) << "no label \"-2\" at note 0";
    EXPECT_LT(ink(4), 4 + w / 2 * 2); // E: its two boundary lines only

    // MIDI input passed on by the main window lights the key and puts it back.
    const int y = NoteToKeyY(60) + 3;
    SendMessage(fmMdi->Handle(), MM_MIM_DATA, 0, LPARAM(0x00643C90));
    gui.Pump();
    EXPECT_EQ(Keys(w - 3, y), 0xC0C0C0u);
    SendMessage(fmMdi->Handle(), MM_MIM_DATA, 0, LPARAM(0x00003C80));
    gui.Pump();
    EXPECT_EQ(Keys(w - 3, y), 0xFFFFFFu);

    // The key under the pointer is blue; its name shows in the value panel.
    const int blackY = NoteToKeyY(61) + 3;
    gui.MoveTo(
        testsupport::GuiHarness::At(k->Keyboard->Handle(), 2, blackY + k->Keyboard->OffsetY));
    gui.Pump();
    EXPECT_EQ(Keys(2, blackY), 0x0000FFu);
    EXPECT_EQ(k->HoveredKey, 61);
    EXPECT_EQ(k->panelValue->Caption(), MidiNoteName(61));
    gui.MoveTo(testsupport::GuiHarness::At(k->Keyboard->Handle(), 2, y + k->Keyboard->OffsetY));
    gui.Pump();
    EXPECT_EQ(Keys(2, blackY), kBlack);
    EXPECT_EQ(Keys(w - 3, y), 0x0000FFu);
}

TEST_F(KeyGridTest, RulerLabelsTheEndOfThePart) {
    Start();
    // One bar at bar 4: its end, bar 5, reads "5 end of part"; a two-bar part's bar 5 is "5".
    _TPart* p = AddPart(0, 2880, 960, {{0, 60, 60}});
    _TPart* q = AddPart(1, 2880, 1920, {{0, 60, 60}});
    OpenKey(p);
    Repaint();
    const int oneBar = InkColumns(256 + 1, 256 + 64);
    EXPECT_GT(InkColumns(5, 20), 2); // "4"
    OpenKey(q);
    Repaint();
    const int twoBars = InkColumns(256 + 1, 256 + 64);
    EXPECT_GT(twoBars, 2);
    EXPECT_GT(oneBar, twoBars + 30) << "no \" end of part\" after the 5";
}

TEST_F(KeyGridTest, PlayCursorAndBandAreXorMarks) {
    Start();
    _TPart* p = AddPart(0, 960, 1920, {{0, 60, 60}, {120, 62, 60}, {240, 64, 60}});
    OpenKey(p);
    Song->Position = 0;
    Song->LeftLocator = 960;
    Song->RightLocator = 1920;
    Repaint();
    const Surface grid = gui.Capture(k->key->Handle()), ruler = gui.Capture(k->meter->Handle());

    k->MovePlayCursor(960 + 240, true);
    EXPECT_FALSE(SameSurface(gui.Capture(k->key->Handle()), grid));
    k->MovePlayCursor(960 + 240, true);
    EXPECT_TRUE(SameSurface(gui.Capture(k->key->Handle()), grid));

    k->DrawLocators();
    EXPECT_FALSE(SameSurface(gui.Capture(k->meter->Handle()), ruler));
    k->DrawLocators();
    EXPECT_TRUE(SameSurface(gui.Capture(k->meter->Handle()), ruler));

    // The song position's line across the event list, at the row of the first event at or
    // after it (the fifth event: top 4 x RowHeight - 2).
    const Surface list = gui.Capture(k->list->Handle());
    k->MovePlayCursor(960 + 240, false);
    const int y = 4 * k->RowHeight - 2;
    EXPECT_EQ(gui.Pixel(k->list->Handle(), 10, y), (list.Row(y)[10] & 0xFFFFFF) ^ 0x808080u);
    EXPECT_EQ(gui.Pixel(k->list->Handle(), 10, y + 1), list.Row(y + 1)[10] & 0xFFFFFF);
    k->MovePlayCursor(960 + 240, false);
    EXPECT_TRUE(SameSurface(gui.Capture(k->list->Handle()), list));

    // No band at all when the left locator lies after the right one.
    Song->LeftLocator = 2400;
    Song->RightLocator = 1200;
    Repaint();
    const Surface bare = gui.Capture(k->meter->Handle());
    k->DrawLocators();
    EXPECT_TRUE(SameSurface(gui.Capture(k->meter->Handle()), bare));
    Song->LeftLocator = 0;
    Song->RightLocator = 1920;
}

// A long part: the walk resumes from marks near the view. Whatever the scroll position, the
// picture is the one a walk from the part's first event gives, also for notes that began far
// left of the view and sound into it, and after edits that leave the marks before them standing
// (a delta, an event put in, one taken out, a key changed).
TEST_F(KeyGridTest, LongPartPaintsTheSameFromItsMarks) {
    Start();
    _TPart* p = NewPart("Long", 0, 20000 * 60 + 960, 0);
    AppendEvent(p, NewEvent(0, 0x00643090u)); // key 48, sounding over the whole part
    for (int n = 0; n < 20000; ++n) {
        const std::uint32_t key = 50 + (n * 5) % 30;
        AppendEvent(p, NewEvent(n ? 20 : 0, 0x00640090u | key << 8));
        AppendEvent(p, NewEvent(40, 0x00000080u | key << 8));
    }
    AppendEvent(p, NewEvent(10, 0x00003080u));
    ASSERT_TRUE(InsertPart(Song->TrackAt(0), p));
    OpenKey(p);
    auto scrollTo = [&](int Sixteenth) {
        k->ScrollX->SetPosition(TfmKey::TickToFloorX(std::int64_t(Sixteenth) * 60));
        k->ScrollX->Changed();
    };
    // The first event swapped for a copy of its own: no mark holds, the walk starts over.
    auto cold = [&] {
        HoldRenderer();
        _TEvent* first = p->Events;
        _TEvent* copy = NewEvent(first->Delta, first->Msg);
        copy->Next = first->Next;
        p->Events = copy;
        FreeEvent(first);
        ReleaseRenderer();
        Repaint();
        return gui.Capture(k->key->Handle());
    };
    for (int sixteenth : {15000, 3000, 19900, 8000, 8001}) {
        scrollTo(sixteenth);
        Repaint();
        Repaint();
        const Surface warm = gui.Capture(k->key->Handle());
        EXPECT_TRUE(SameSurface(warm, cold())) << sixteenth;
        EXPECT_EQ(Grid(-k->key->OffsetX + 30, BoxRow(48)), kFill) << sixteenth;
    }
    // Events 1 + 2n and 2 + 2n are note n's on and off (before the edits put in or take out).
    using TNth = _TEvent* (*)(_TPart*, int);
    struct TEdit {
        const char* What;
        void (*Apply)(_TPart*, TNth);
    };
    const TEdit edits[] = {
        {"a later delta",
         [](_TPart* P, TNth Nth) {
             Nth(P, 1 + 2 * 6000)->Delta += 120;
             P->EndTime += 120;
         }},
        {"a note put in across marks",
         [](_TPart* P, TNth Nth) {
             _TEvent *on = NewEvent(0, 0x00643190u), *off = NewEvent(0, 0x00003180u);
             _TEvent* before = Nth(P, 1 + 2 * 7000);
             on->Next = before->Next;
             before->Next = on;
             before = Nth(P, 2 + 2 * 12000 + 1);
             off->Next = before->Next;
             before->Next = off;
         }},
        {"a note-off taken out",
         [](_TPart* P, TNth Nth) {
             _TEvent* before = Nth(P, 1 + 2 * 9000 + 1);
             _TEvent* off = before->Next;
             before->Next = off->Next;
             off->Next->Delta += off->Delta;
             FreeEvent(off);
         }},
        {"a key changed",
         [](_TPart* P, TNth Nth) {
             Nth(P, 1 + 2 * 16000 + 1)->Msg = 0x00643390u;
             Nth(P, 2 + 2 * 16000 + 1)->Msg = 0x00003380u;
         }},
    };
    const TNth nth = [](_TPart* P, int Index) {
        _TEvent* e = P->Events;
        while (Index-- > 0)
            e = e->Next;
        return e;
    };
    const int views[] = {3000, 15000, 8000, 19900, 6500, 12000};
    for (const TEdit& edit : edits) {
        HoldRenderer();
        edit.Apply(p, nth);
        ReleaseRenderer();
        std::vector<Surface> warm;
        for (int sixteenth : views) {
            scrollTo(sixteenth);
            Repaint();
            warm.push_back(gui.Capture(k->key->Handle()));
        }
        for (std::size_t v = 0; v < std::size(views); ++v) {
            scrollTo(views[v]);
            EXPECT_TRUE(SameSurface(warm[v], cold())) << edit.What << ", " << views[v];
        }
    }
    // An edit inside the guard shows at once.
    Song->State = 0;
    for (_TEvent* e = p->Events; e; e = e->Next)
        if (MidiData1(e->Msg) == 48) e->Flags |= efSelected;
    EXPECT_TRUE(k->MoveSelectedNotes(0, 13, false));
    Repaint();
    EXPECT_EQ(Grid(-k->key->OffsetX + 30, BoxRow(61)), Rgb(fmMdi->PartsSelectedColor));
    EXPECT_NE(Grid(-k->key->OffsetX + 30, BoxRow(48)), kFill);
}

TEST_F(KeyGridTest, InvalidateViewsRepaintsTheGrid) {
    Start();
    _TPart* p = AddPart(0, 960, 960, {{0, 60, 60}});
    OpenKey(p);
    Repaint();
    EXPECT_EQ(Grid(8, BoxRow(60)), kFill);
    p->Events->Flags |= efSelected;
    gui.Pump();
    EXPECT_EQ(Grid(8, BoxRow(60)), kFill);
    MidiEditors().InvalidateViews();
    gui.Pump();
    EXPECT_EQ(Grid(8, BoxRow(60)), Rgb(fmMdi->PartsSelectedColor));
}

} // namespace
