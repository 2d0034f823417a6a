// The key editor's controller lane under the harness: values set by presses and Shift line
// drags, the readout, the bars' pixels, Esc in a line drag, quick select, the popup, the value
// field, the faked controller picker and range dialog, and the renderer held for each value a
// stroke writes.
#include "editors/key_fixture.h"

#include "app/transport.h"
#include "devices/audio.h"
#include "devices/midimsg.h"
#include "gui/dragrect.h"
#include "gui/scroll.h"
#include "platform/forms/buttons.h"
#include "platform/forms/edit.h"
#include "platform/forms/extctrls.h"
#include "platform/menus/menus.h"
#include "platform/window/window.h"
#include "song/gmnames.h"
#include "song/undo.h"

using namespace platform;

namespace {

std::vector<int> Velocities(const _TPart* P) {
    std::vector<int> r;
    for (const _TEvent* e = P->Events; e; e = e->Next)
        if (IsNoteOn(e->Msg)) r.push_back(int(MidiData2(e->Msg)));
    return r;
}

// Data 2 of the controller events of number Cc, in list order.
std::vector<int> Controllers(const _TPart* P, int Cc) {
    std::vector<int> r;
    for (const _TEvent* e = P->Events; e; e = e->Next)
        if (MidiStatus(e->Msg) == 0xB0 && int(MidiData1(e->Msg)) == Cc)
            r.push_back(int(MidiData2(e->Msg)));
    return r;
}

bool SamePixels(const Surface& A, const Surface& B) {
    if (A.width != B.width || A.height != B.height) return false;
    for (int y = 0; y < A.height; ++y)
        if (!std::equal(A.Row(y), A.Row(y) + A.width, B.Row(y))) return false;
    return true;
}

_TEvent* Insert(_TPart* P, int Tick, std::uint32_t Msg) {
    _TEvent* e = NewEvent(Tick, Msg);
    _TPart* p = P;
    InsertEvent(p, e);
    return e;
}

class KeyLaneTest : public KeyTest {
protected:
    // The lane H pixels high.
    void OpenLane(_TPart* P, int H = 82) {
        OpenKey(P);
        k->panelBottom->Height += H - k->control->GetClientHeight();
        gui.Pump();
        ASSERT_EQ(k->LaneH(), H);
        UnselectEvents(P);
    }
    TPoint LaneAt(int x, int y) const {
        return testsupport::GuiHarness::At(k->control->Handle(), x + k->control->OffsetX, y);
    }
    std::uint32_t LanePixel(int x, int y) const {
        return gui.Pixel(k->control->Handle(), x + k->control->OffsetX, y);
    }
    void Repaint() {
        k->control->Invalidate();
        gui.Pump();
    }
};

TEST_F(KeyLaneTest, PressesSetTheVelocityUnderThePointer) {
    Start();
    _TPart* p = AddPart(0, 0, 1920, {{0, 60, 60}});
    OpenLane(p);
    for (auto [y, v] : {std::pair{41, 63}, {0, 126}, {81, 1}}) {
        gui.Click(LaneAt(8, y));
        gui.Pump();
        EXPECT_EQ(Velocities(p), std::vector<int>{v}) << y;
    }
    EXPECT_EQ(Song->UndoStore->Caption, "Undo velocity");
    EXPECT_EQ(k->LaneDrawing, 0);
}

TEST_F(KeyLaneTest, PitchBendPressAndReadout) {
    Start();
    _TPart* p = AddPart(0, 0, 1920, {{0, 60, 60}});
    _TEvent* bend = Insert(p, 0, PackMidiMsg(0xE0, 0, 64));
    OpenLane(p);
    k->SetLane(-3);
    EXPECT_EQ(k->LaneKind, 1);
    EXPECT_EQ(k->sbCC->Caption, "Pitch bend");
    gui.MoveTo(LaneAt(8, 41));
    EXPECT_EQ(k->panelValue->Caption, "-65");
    gui.Click(LaneAt(8, 41));
    gui.Pump();
    EXPECT_EQ(MidiData1(bend->Msg), 127u);
    EXPECT_EQ(MidiData2(bend->Msg), 63u);
    EXPECT_EQ(Song->UndoStore->Caption, "Undo pitch bend");
}

TEST_F(KeyLaneTest, ShiftLineDragsRampTheVelocitiesEitherWay) {
    Start();
    _TPart* p = AddPart(0, 0, 1920,
                        {{0, 60, 30}, {60, 60, 30}, {120, 60, 30}, {180, 60, 30}, {240, 60, 30}});
    OpenLane(p);
    const std::vector<int> ramp{1, 32, 63, 94, 126}, before(5, 100);
    gui.DragAlong({LaneAt(0, 81), LaneAt(30, 40), LaneAt(64, 0)}, {VK_SHIFT});
    gui.Pump();
    EXPECT_EQ(Velocities(p), ramp);
    Song->Undo();
    p = Song->CurrentPart;
    EXPECT_EQ(Velocities(p), before);
    gui.DragAlong({LaneAt(64, 0), LaneAt(30, 40), LaneAt(0, 81)}, {VK_SHIFT});
    gui.Pump();
    EXPECT_EQ(Velocities(p), ramp);
    Song->Undo();
    p = Song->CurrentPart;

    // A Shift click without moving, and a move without a button after it, change nothing.
    gui.KeyDown(VK_SHIFT);
    gui.Click(LaneAt(64, 0));
    gui.KeyUp(VK_SHIFT);
    gui.MoveTo(LaneAt(20, 10));
    gui.Pump();
    EXPECT_EQ(Velocities(p), before);

    // Esc in a line drag: the line goes from the lane, the arrange window is untouched and
    // the release ramps nothing.
    Repaint();
    const Surface lane = gui.Capture(k->control->Handle());
    const Surface parts = gui.Capture(fmArrange->arrange->Handle());
    gui.KeyDown(VK_SHIFT);
    gui.MoveTo(LaneAt(0, 81));
    gui.Press(LaneAt(0, 81));
    gui.MoveTo(LaneAt(64, 0));
    EXPECT_EQ(DragRect->Mode, 4);
    gui.KeyUp(VK_SHIFT);
    gui.Key(VK_ESCAPE);
    gui.Pump();
    EXPECT_EQ(DragRect->Mode, 0);
    EXPECT_EQ(fmKey, k);
    EXPECT_TRUE(SamePixels(gui.Capture(k->control->Handle()), lane));
    EXPECT_TRUE(SamePixels(gui.Capture(fmArrange->arrange->Handle()), parts));
    gui.Release(LaneAt(64, 0));
    gui.Pump();
    EXPECT_EQ(Velocities(p), before);
}

TEST_F(KeyLaneTest, VelocityBarsAndTheSysexText) {
    Start();
    fmMdi->Part3d = 24;
    _TPart* p = AddPart(0, 0, 1920, {{60, 60, 30}, {120, 62, 30}});
    _TEvent* value = Insert(p, 300, PackMidiMsg(0xF0, 1, 0));
    _TEvent* block = Insert(p, 400, PackMidiMsg(0xF0, 0, 0));
    static const std::uint8_t bytes[] = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
    SetEventBlock(*block, bytes, sizeof bytes);
    OpenLane(p);
    p->Events->Msg = PackMidiMsg(0x90, 60, 64);
    for (_TEvent* e = p->Events->Next; e; e = e->Next)
        if (IsNoteOn(e->Msg)) e->Msg = PackMidiMsg(0x90, 62, 1);
    Repaint();
    const std::uint32_t bk = Rgb(fmMdi->ControlBkColor);
    EXPECT_EQ(LanePixel(18, 50), Rgb(fmMdi->PartsBkColor));
    EXPECT_EQ(LanePixel(18, 40), bk);
    EXPECT_NE(LanePixel(17, 41), bk); // the bevel along the top
    EXPECT_EQ(LanePixel(34, 79), bk); // velocity 1: three pixels tall
    EXPECT_NE(LanePixel(34, 80), bk);
    SelectNote(p, p->Events);
    Repaint();
    EXPECT_EQ(LanePixel(18, 50), Rgb(0x80FFFF));

    OpenLane(p, 81);
    p->Events->Msg = PackMidiMsg(0x90, 60, 127);
    Repaint();
    EXPECT_EQ(LanePixel(18, 0), bk);
    EXPECT_NE(LanePixel(18, 1), bk);

    // The sysex lane prints the first selected system-exclusive block, not a value event.
    k->SetLane(-1);
    UnselectEvents(p);
    value->Flags |= efSelected;
    Repaint();
    auto text = [&] {
        for (int y = 4; y < 20; ++y)
            for (int x = 4; x < 80; ++x)
                if (LanePixel(x, y) != bk) return true;
        return false;
    };
    EXPECT_FALSE(text());
    block->Flags |= efSelected;
    Repaint();
    EXPECT_TRUE(text());
}

TEST_F(KeyLaneTest, QuickSelectPopupAndValueField) {
    Start();
    _TPart* p = AddPart(0, 0, 1920, {{0, 60, 60}, {120, 62, 60}});
    OpenLane(p);
    auto captions = [&] {
        k->BuildQuickMenu();
        std::vector<std::string> r;
        for (int i = 0; i < k->PopupQuick->Items->Count(); ++i)
            r.push_back(k->PopupQuick->Items->Items(i)->Caption);
        return r;
    };
    EXPECT_EQ(captions(), std::vector<std::string>{"Velocity"});
    Insert(p, 10, PackMidiMsg(0xE0, 0, 64));
    _TEvent* cc = Insert(p, 20, PackMidiMsg(0xB0, 7, 90));
    Insert(p, 30, PackMidiMsg(0xB0, 10, 64));
    Insert(p, 40, PackAweParam(0, 5, 0));
    std::string param;
    AweParamName(5, param);
    EXPECT_EQ(captions(), (std::vector<std::string>{"Velocity", "-", "Pitch bend", "Main volum",
                                                    "Pan", "-", param}));
    EXPECT_EQ(k->PopupQuick->Items->Items(6)->Tag, 1005);

    // "Delete" only on controller and sound-card parameter lanes.
    for (auto [tag, enabled] : {std::pair{-4, false}, {-3, false}, {7, true}, {1005, true}}) {
        k->QuickItemClick(tag);
        k->PreparePopupControl();
        EXPECT_EQ(k->PopupControl->Items->Items(2)->Enabled, enabled) << tag;
    }
    k->QuickItemClick(7);
    k->PreparePopupControl();
    EXPECT_EQ(k->PopupControl->Items->Items(2)->Caption, "Delete Main volum");
    EXPECT_EQ(k->Panel4->Caption, "Vol");

    // The value field: typed with Enter on the velocity lane, clamped in its text.
    struct Case {
        int Tag;
        const char* Text;
        int Stored;
        const char* Shown;
    };
    for (const Case& c : {Case{-4, "200", 127, "127"}, Case{-4, "-5", 1, "1"},
                          Case{7, "-5", 0, "0"}, Case{-3, "9000", 16383, "8192"}}) {
        k->QuickItemClick(c.Tag);
        UnselectEvents(p);
        k->editVel->Text = c.Text;
        k->editVelEnter();
        int stored = -1;
        for (const _TEvent* e = p->Events; e; e = e->Next) {
            const std::uint32_t s = MidiStatus(e->Msg);
            if (c.Tag == -4 && IsNoteOn(e->Msg)) stored = int(MidiData2(e->Msg));
            if (c.Tag == 7 && e == cc) stored = int(MidiData2(e->Msg));
            if (c.Tag == -3 && s == 0xE0) stored = int(MidiData1(e->Msg) + 128 * MidiData2(e->Msg));
        }
        EXPECT_EQ(stored, c.Stored) << c.Text;
        EXPECT_EQ(k->editVel->Text, c.Shown) << c.Text;
    }
}

TEST_F(KeyLaneTest, ControllerPickerAndRangeDialogThroughTheirSeams) {
    Start();
    _TPart* p = AddPart(0, 0, 1920, {{0, 60, 60}});
    Insert(p, 10, PackMidiMsg(0xB0, 7, 5));
    Insert(p, 20, PackMidiMsg(0xB0, 7, 120));
    Insert(p, 30, PackMidiMsg(0xB0, 10, 5));
    OpenLane(p);
    bool answer = true;
    KeyEditorSeams().ChooseController = [&](int& Page, int& Index) {
        Page = 0;
        Index = 7 + 4;
        return answer;
    };
    answer = false;
    gui.Key(VK_F8);
    EXPECT_EQ(k->LaneKind, 0);
    answer = true;
    gui.Key(VK_F8);
    EXPECT_EQ(k->LaneKind, 2);
    EXPECT_EQ(k->LaneCode, 7);
    EXPECT_EQ(k->sbCC->Caption, "Main volum");

    std::string caption;
    KeyEditorSeams().AskRange = [&](const std::string& Caption, int& Min, int& Max) {
        caption = Caption;
        Min = 20;
        Max = 100;
        return answer;
    };
    TMenuItem* modify = k->PopupControl->Items->Items(3);
    answer = false;
    modify->Click();
    EXPECT_EQ(caption, "Modify Main volum");
    EXPECT_EQ(Controllers(p, 7), (std::vector<int>{5, 120}));
    answer = true;
    modify->Click();
    p = Song->CurrentPart;
    EXPECT_EQ(Controllers(p, 7), (std::vector<int>{20, 100}));
    EXPECT_EQ(Controllers(p, 10), std::vector<int>{5});
    EXPECT_EQ(Song->UndoStore->Caption, "Undo controller range");
}

TEST_F(KeyLaneTest, StrokesHoldTheRendererForEachValueAndRestartPlaybackOnce) {
    Start("[Audio]\nSystem=scripted\n");
    Song->TrackAt(0)->Mode = tmSoftsynth;
    _TPart* p = AddPart(0, 0, 1920, {{0, 60, 30}, {60, 62, 30}, {120, 64, 30}});
    OpenLane(p);
    ASSERT_TRUE(Audio);
    Audio->Open(fmMdi->Handle());
    Audio->Start();
    ASSERT_TRUE(Audio->Running);
    fmMdi->StartPlayback(false);
    ASSERT_EQ(Song->State, 2);
    int changes = 0, held = 0;
    KeyInsertHeldHook = [&] {
        ++changes;
        if (EnterRenderBlock())
            LeaveRenderBlock();
        else
            ++held;
    };
    WasPlaying = 0;
    gui.DragAlong({LaneAt(4, 10), LaneAt(20, 20), LaneAt(36, 30)});
    gui.Pump();
    EXPECT_EQ(WasPlaying, 1);
    EXPECT_EQ(Song->State, 2);
    EXPECT_GE(changes, 3);
    EXPECT_EQ(held, changes);
    WasPlaying = 0;
    changes = held = 0;
    gui.DragAlong({LaneAt(0, 81), LaneAt(64, 0)}, {VK_SHIFT});
    gui.Pump();
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(held, 1);
    EXPECT_EQ(WasPlaying, 1);
    KeyInsertHeldHook = nullptr;
    fmMdi->StopPlayback(false);
}

} // namespace
