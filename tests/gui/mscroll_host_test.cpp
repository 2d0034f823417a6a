// The control host: hit test and paint order, capture and hover, the border zone, keys,
// alignment and clearing.
#include "mscroll_fixture.h"

#include "platform/gdi/gdi.h"

namespace gui_test {
namespace {

// A control that logs what reaches it and paints one colour.
class TProbe : public TGuiBase {
public:
    TProbe(TMScroll* owner, std::string name, std::vector<std::string>& log, TColor fill = 0)
        : TGuiBase(owner), name_(std::move(name)), log_(log), fill_(fill) {}
    ~TProbe() override { log_.push_back(name_ + " freed"); }
    void MouseDown(TMouseButton b, TShiftState s, int x, int y) override {
        TGuiBase::MouseDown(b, s, x, y);
        log_.push_back(name_ + " down " + std::to_string(x) + "," + std::to_string(y));
    }
    void MouseUp(TMouseButton b, TShiftState s, int x, int y) override {
        TGuiBase::MouseUp(b, s, x, y);
        log_.push_back(name_ + " up");
    }
    void MouseMove(TShiftState, int x, int y) override {
        log_.push_back(name_ + " move " + std::to_string(x) + "," + std::to_string(y));
    }
    void MouseEnter() override {
        TGuiBase::MouseEnter();
        log_.push_back(name_ + " enter");
    }
    void MouseLeave() override {
        TGuiBase::MouseLeave();
        log_.push_back(name_ + " leave");
    }
    void Enter() override {
        TGuiBase::Enter();
        log_.push_back(name_ + " capture");
    }
    void Exit() override {
        TGuiBase::Exit();
        log_.push_back(name_ + " release");
    }
    void Paint(TCanvas& c) override {
        if (!IsShowing()) return;
        log_.push_back(name_ + " paint");
        GuiFillRect(c, fill_, {Left, Top - ParentScrollY(), Right, Bottom - ParentScrollY()});
    }
    bool HandleShortcut(TGuiKeyMsg& m) override {
        log_.push_back(name_ + " shortcut");
        return TGuiBase::HandleShortcut(m);
    }
    void Changed() override { log_.push_back(name_ + " changed"); }

private:
    std::string name_;
    std::vector<std::string>& log_;
    TColor fill_;
};

class Host : public HostTest {
protected:
    std::vector<std::string> log;
    TProbe* Probe(const std::string& name, int l, int t, int r, int b, TColor fill = 0) {
        return Place(new TProbe(host, name, log, fill), l, t, r, b);
    }
    bool Logged(const std::string& s) const {
        return std::find(log.begin(), log.end(), s) != log.end();
    }
};

TEST_F(Host, FirstAddedOfTwoOverlappingGetsTheClickAndPaintsFirst) {
    Probe("a", 10, 10, 60, 40, kGuiRed);
    Probe("b", 30, 20, 90, 50, kGuiBlue);
    host->Paint();
    EXPECT_EQ(Pixel(40, 30), Rgb(kGuiBlue)); // b painted over a
    EXPECT_EQ(Pixel(15, 15), Rgb(kGuiRed));
    gui.MoveTo(At(40, 30));
    log.clear();
    gui.Press(At(40, 30));
    EXPECT_EQ(log, (std::vector<std::string>{"a move 30,20", "a capture", "a down 30,20"}));
}

TEST_F(Host, ChildOfScrolledContainerIsHitHigherAndGetsUnscrolledY) {
    TGuiAlign* box = host->AddAlign(alNone, 0, 0, nullptr);
    box->Left = 0, box->Top = 0, box->Right = 200, box->Bottom = 100;
    TProbe* child = Probe("child", 10, 80, 100, 130);
    child->Parent = box;
    box->ScrollY = 30;
    EXPECT_EQ(host->GetControlAtPos(20, 55), child);
    EXPECT_EQ(host->GetControlAtPos(20, 105), nullptr);
    gui.Press(At(20, 55));
    EXPECT_TRUE(Logged("child down 10,-25")); // Y - Top, as the control lies unscrolled
}

TEST_F(Host, CaptureStaysAfterReleaseAndMovesReachCaptureAndHover) {
    TProbe* a = Probe("a", 10, 10, 60, 40);
    TProbe* b = Probe("b", 100, 10, 160, 40);
    gui.Click(At(20, 20));
    EXPECT_EQ(host->CaptureControl, a);
    log.clear();
    gui.MoveTo(At(110, 15));
    EXPECT_EQ(host->CaptureControl, a);
    EXPECT_EQ(host->HoverControl, b);
    EXPECT_EQ(log.back(), "b enter");
    EXPECT_EQ(log.front(), "a move 100,5");
    log.clear();
    gui.MoveTo(At(111, 15));
    EXPECT_EQ(log, (std::vector<std::string>{"a move 101,5", "b move 11,5"}));
}

TEST_F(Host, PressInTheBorderZoneReachesTheSizeGrip) {
    host->Border = 2;
    TGuiSize* grip = Place(new TGuiSize(host), 380, 280, 396, 296);
    host->SizeGrip = grip;
    Probe("a", 10, 10, 60, 40);
    gui.MoveTo(At(397, 100)); // 3 px inside the right edge, on empty space
    EXPECT_EQ(GetCursor(), CursorOf(crSizeNWSE));
    gui.Press(At(397, 100));
    EXPECT_EQ(host->CaptureControl, grip);
    EXPECT_TRUE(grip->Pressed);
    gui.Release(At(397, 100));
    gui.MoveTo(At(200, 100));
    EXPECT_NE(GetCursor(), CursorOf(crSizeNWSE));
}

TEST_F(Host, PassRightClickRaisesTheHostsMouseDownOnly) {
    Probe("a", 10, 10, 60, 40);
    host->PassRightClick = true;
    int raised = 0;
    host->OnMouseDown = [&](TObject*, TMouseButton b, TShiftState, int, int) {
        raised += b == mbRight;
    };
    gui.Press(At(20, 20), MouseButton::Right);
    gui.Release(At(20, 20), MouseButton::Right);
    EXPECT_EQ(raised, 1);
    EXPECT_FALSE(Logged("a down 10,10"));
}

TEST_F(Host, TopAlignedControlsStackWithTheirMargins) {
    TProbe* a = Probe("a", 0, 0, 10, 16);
    TProbe* b = Probe("b", 0, 0, 10, 16);
    a->Align = b->Align = alTop;
    a->Margin = b->Margin = 2;
    host->AlignControls();
    EXPECT_EQ(std::pair(a->Top, a->Bottom), std::pair(2, 18));
    EXPECT_EQ(std::pair(b->Top, b->Bottom), std::pair(20, 36));
    EXPECT_EQ(std::pair(a->Left, a->Right), std::pair(2, 398));
    // Resizing the host alone moves nothing.
    host->SetBounds(0, 0, 300, 200);
    gui.Pump();
    EXPECT_EQ(a->Right, 398);
}

TEST_F(Host, AlignmentPassesShareTheBandsLeftByEarlierOnes) {
    TProbe* top = Probe("top", 0, 0, 0, 20);
    TProbe* bottom = Probe("bottom", 0, 0, 0, 10);
    TProbe* left = Probe("left", 0, 0, 30, 0);
    TProbe* right = Probe("right", 0, 0, 40, 0);
    TProbe* client = Probe("client", 0, 0, 0, 0);
    top->Align = alTop, bottom->Align = alBottom, left->Align = alLeft;
    right->Align = alRight, client->Align = alClient;
    host->Border = 2;
    host->AlignControls();
    EXPECT_EQ(TRect(top->Left, top->Top, top->Right, top->Bottom), TRect(2, 2, 398, 22));
    EXPECT_EQ(TRect(bottom->Left, bottom->Top, bottom->Right, bottom->Bottom),
              TRect(2, 288, 398, 298));
    // Only the left pass insets by the border again at top and bottom.
    EXPECT_EQ(TRect(left->Left, left->Top, left->Right, left->Bottom), TRect(2, 24, 32, 286));
    EXPECT_EQ(TRect(right->Left, right->Top, right->Right, right->Bottom),
              TRect(358, 22, 398, 288));
    EXPECT_EQ(TRect(client->Left, client->Top, client->Right, client->Bottom),
              TRect(32, 22, 358, 288));
}

TEST_F(Host, ClearAlignReleasesACapturedEditWhichReportsAndKeepsKeptControls) {
    TGuiAlign* box = host->AddAlign(alClient, 0, 0, nullptr);
    TGuiEdit* edit = host->AddEdit("", "abc", 80, box);
    TProbe* kept = Probe("kept", 0, 0, 10, 10);
    kept->Parent = box;
    kept->Keep = true;
    host->SetCaptureControl(edit);
    edit->KeyPress('x');
    host->ClearAlign(box);
    EXPECT_EQ(reports, (std::vector<Report>{{"", 0, "abcx"}}));
    EXPECT_EQ(host->CaptureControl, nullptr);
    EXPECT_EQ(host->Controls, (std::vector<TGuiBase*>{box, kept}));
}

TEST_F(Host, FreeingControlsClearsEveryReferenceToThem) {
    // A grip, a container's bar and a splitter's neighbour go; nothing points at them after.
    TGuiAlign* box = host->AddAlign(alClient, 0, 0, nullptr);
    TGuiAlign* inner = host->AddAlign(alTop, 0, 40, box);
    TGuiScrollbar* bar = inner->AddScrollbar(alRight, box);
    TGuiSplit* split = host->AddSplit(alTop, inner, nullptr);
    split->Keep = true;
    TGuiSize* grip = Place(new TGuiSize(host), 380, 280, 396, 296);
    grip->Parent = box;
    host->SizeGrip = grip;
    host->ClearAlign(box);
    EXPECT_EQ(host->SizeGrip, nullptr);
    EXPECT_EQ(split->Control, nullptr);
    EXPECT_EQ(host->Controls, (std::vector<TGuiBase*>{box, split}));
    (void)bar;
    // A bar freed alone leaves its container without one, and the other way round.
    TGuiAlign* c2 = host->AddAlign(alClient, 0, 0, nullptr);
    TGuiScrollbar* b2 = c2->AddScrollbar(alRight, nullptr);
    TGuiAlign* c3 = host->AddAlign(alClient, 0, 0, box);
    TGuiScrollbar* b3 = c3->AddScrollbar(alRight, nullptr);
    b2->Parent = box;
    host->ClearAlign(box);
    EXPECT_EQ(c2->ScrollBar, nullptr);
    EXPECT_EQ(b3->Container, nullptr);
    // The splitter moves nothing without its neighbour.
    gui.Drag(At(split->Left + 1, split->Top + 1), At(split->Left + 1, split->Top + 30));
    host->Clear();
    EXPECT_TRUE(host->Controls.empty());
}

TEST_F(Host, KeysGoToTheCapturedControlOrAreOfferedAsShortcuts) {
    TProbe* a = Probe("a", 0, 0, 10, 10);
    TProbe* b = Probe("b", 20, 0, 30, 10);
    b->ShortCut = 'K';
    TGuiKeyMsg k;
    k.Key = 'K';
    EXPECT_TRUE(host->KeyboardCaptured(k));
    EXPECT_EQ(log, (std::vector<std::string>{"a shortcut", "b shortcut", "b changed"}));
    log.clear();
    // Down selects the next control, wrapping; Escape ends the capture.
    std::uint16_t down = VK_DOWN;
    host->KeyDown(down, 0);
    EXPECT_EQ(host->CaptureControl, a);
    host->KeyDown(down, 0);
    host->KeyDown(down, 0);
    EXPECT_EQ(host->CaptureControl, a);
    k.Key = VK_ESCAPE;
    EXPECT_TRUE(host->KeyboardCaptured(k));
    EXPECT_EQ(host->CaptureControl, nullptr);
    EXPECT_FALSE(a->Focused);
    // A capture outside the list stands after the last control: the second one is taken.
    TProbe loose(host, "loose", log);
    host->CaptureControl = &loose;
    host->SelectNext();
    EXPECT_EQ(host->CaptureControl, b);
    host->CaptureControl = nullptr;
}

TEST_F(Host, PaintFillsFramesAndIgnoresEraseAndSize) {
    host->Gradient = bmSolid;
    host->BkColor = 0x204060;
    host->Border = 2;
    host->Paint();
    EXPECT_EQ(Pixel(100, 100), Rgb(0x204060));
    EXPECT_EQ(Pixel(0, 100), Rgb(kGuiSilver));
    EXPECT_EQ(Pixel(399, 100), Rgb(kGuiBlack));
    EXPECT_EQ(Pixel(1, 100), Rgb(kGuiWhite));
    EXPECT_EQ(Pixel(398, 100), Rgb(kGuiGrey));
    int after = 0;
    host->OnAfterPaint = [&](TObject* s, TCanvas&, const TRect& r, int) {
        EXPECT_EQ(s, host);
        EXPECT_EQ(r, TRect(0, 0, 400, 300));
        ++after;
    };
    InvalidateRect(H(), nullptr, true);
    gui.Pump();
    EXPECT_EQ(after, 1);
    EXPECT_EQ(Pixel(100, 100), Rgb(0x204060));
}

} // namespace
} // namespace gui_test
