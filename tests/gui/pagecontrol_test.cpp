// The tab and page control.
#include "gui/comctrls95.h"
#include "widgets_fixture.h"

#include "platform/forms/edit.h"
#include "platform/window/input.h"

namespace widgets_test {
namespace {

class PageTest : public WidgetsTest {
protected:
    TPage95Control* pc = nullptr;
    std::vector<TTab95Sheet*> sheets;
    int changes = 0, changings = 0;
    bool allow = true;
    // Pages with these captions; an empty caption gets no tab.
    void Make(std::initializer_list<const char*> captions) {
        pc = new TPage95Control(form);
        pc->Parent = form;
        pc->SetBounds(10, 10, 300, 200);
        pc->ButtonStyle = true;
        pc->FlatButtons = true;
        pc->OnChange = [this](TObject*) { ++changes; };
        pc->OnChanging = [this](TObject*, bool& a) {
            ++changings;
            a = allow;
        };
        for (const char* c : captions) {
            auto* s = new TTab95Sheet(form);
            s->Caption = c;
            s->PageControl = pc;
            if (!*c) s->TabVisible = false;
            sheets.push_back(s);
        }
        pc->ActivePage = sheets.front();
        ShowForm();
    }
    void ClickTab(int i) {
        const TRect r = pc->TabRect(i);
        gui.Click(gui.At(pc->Handle(), (r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2));
    }
    void CtrlTab(bool back = false) {
        if (back)
            gui.Chord({VK_CONTROL, VK_SHIFT, VK_TAB});
        else
            gui.Chord({VK_CONTROL, VK_TAB});
    }
};

TEST_F(PageTest, TabsAreThePagesWithATab) {
    Make({"A", "", "C"});
    EXPECT_EQ(pc->Tabs.Count(), 2);
    EXPECT_EQ(pc->Tabs[1], "C");
    EXPECT_EQ(sheets[1]->TabIndex(), -1);
    EXPECT_EQ(sheets[1]->PageIndex(), 1);
    EXPECT_EQ(sheets[2]->TabIndex(), 1);
    ClickTab(1);
    EXPECT_EQ(pc->ActivePage(), sheets[2]);
    EXPECT_TRUE(sheets[2]->Visible());
    EXPECT_FALSE(sheets[0]->Visible());
    EXPECT_EQ(changes, 1);
    // Showing the hidden page's tab puts it in page order.
    sheets[1]->Caption = "B";
    sheets[1]->TabVisible = true;
    EXPECT_EQ(pc->Tabs[1], "B");
    EXPECT_EQ(pc->GetTabIndex(), 2);
    EXPECT_EQ(pc->ActivePage(), sheets[2]);
    // Renaming follows onto the tab.
    sheets[2]->Caption = "Cee";
    EXPECT_EQ(pc->Tabs[2], "Cee");
}

TEST_F(PageTest, SetActivePageNilOrTheSameAndForeignSheets) {
    Make({"A", "B"});
    pc->ActivePage = nullptr;
    EXPECT_EQ(pc->ActivePage(), nullptr);
    EXPECT_EQ(pc->GetTabIndex(), -1);
    EXPECT_FALSE(sheets[0]->Visible());
    EXPECT_FALSE(sheets[1]->Visible());
    pc->ActivePage = sheets[1];
    EXPECT_EQ(pc->GetTabIndex(), 1);
    pc->ActivePage = sheets[1];
    EXPECT_EQ(changes + changings, 0) << "code raises no events";
    auto* other = new TPage95Control(form);
    auto* foreign = new TTab95Sheet(form);
    foreign->PageControl = other;
    pc->ActivePage = foreign;
    EXPECT_EQ(pc->ActivePage(), sheets[1]);
}

TEST_F(PageTest, CtrlTabWrapsSkipsPagesWithoutTabAndAsks) {
    Make({"A", "", "C"});
    pc->SetFocus();
    CtrlTab();
    EXPECT_EQ(pc->ActivePage(), sheets[2]) << "B has no tab";
    CtrlTab();
    EXPECT_EQ(pc->ActivePage(), sheets[0]) << "wraps to the first";
    CtrlTab(true);
    EXPECT_EQ(pc->ActivePage(), sheets[2]);
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(changings, 3);
    allow = false;
    CtrlTab();
    ClickTab(0);
    EXPECT_EQ(pc->ActivePage(), sheets[2]) << "OnChanging keeps tab and page";
    EXPECT_EQ(pc->GetTabIndex(), 1);
    EXPECT_EQ(changes, 3);
}

TEST_F(PageTest, CtrlTabWithOneTabDoesNothing) {
    Make({"A", ""});
    pc->SetFocus();
    CtrlTab();
    EXPECT_EQ(pc->ActivePage(), sheets[0]);
    EXPECT_EQ(changes + changings, 0);
}

TEST_F(PageTest, CtrlTabFromAnEditOnAPageAndTheFocusGoesAlong) {
    Make({"A", "B"});
    auto* a = new TEdit(form);
    a->Parent = sheets[0];
    a->SetBounds(10, 10, 100, 22);
    auto* b = new TEdit(form);
    b->Parent = sheets[1];
    b->SetBounds(10, 10, 100, 22);
    gui.Pump();
    a->SetFocus();
    gui.Pump();
    CtrlTab();
    EXPECT_EQ(pc->ActivePage(), sheets[1]);
    EXPECT_EQ(form->GetActiveControl(), b) << "the first control of the new page";
    EXPECT_EQ(b->Text(), "") << "the edit never saw the tab";
    EXPECT_EQ(changes, 1);
}

TEST_F(PageTest, ShowingAControlOnAHiddenPageBringsThePageForward) {
    Make({"A", "B"});
    auto* e = new TEdit(form);
    e->Parent = sheets[1];
    e->Visible = false;
    e->Show();
    EXPECT_TRUE(e->Visible());
    EXPECT_EQ(pc->ActivePage(), sheets[1]);
    EXPECT_EQ(pc->GetTabIndex(), 1);
    EXPECT_EQ(changes, 0) << "as in code";
    sheets[0]->Show();
    EXPECT_EQ(pc->ActivePage(), sheets[0]);
}

TEST_F(PageTest, HotTrackingPaintsTheTabUnderTheMouse) {
    Make({"One", "Two"});
    pc->HotTrack = true;
    gui.Pump();
    const HWND h = pc->Handle();
    const TRect t1 = pc->TabRect(1);
    const std::uint32_t hi = Rgb(clHighlight);
    EXPECT_EQ(Count(h, t1, hi), 0);
    const TRect t0 = pc->TabRect(0);
    gui.MoveTo(gui.At(h, t0.Left + 3, t0.Top + 3));
    EXPECT_EQ(pc->HotTab(), 0);
    gui.MoveTo(gui.At(h, t1.Left + 3, t1.Top + 3));
    EXPECT_EQ(pc->HotTab(), 1);
    EXPECT_GT(Count(h, t1, hi), 5);
    EXPECT_EQ(Count(h, t0, hi), 0);
    gui.MoveTo(gui.At(H(), 350, 280));
    EXPECT_EQ(pc->HotTab(), -1);
    EXPECT_EQ(Count(h, t1, hi), 0);
}

TEST_F(PageTest, CaptionsDrawTrimmedAndCentredInTheirColours) {
    Make({"  Pad  ", "Pad"});
    pc->TabInactiveColor = clYellow;
    gui.Pump();
    const HWND h = pc->Handle();
    // Both tabs hold "Pad": the same ink, centred in their own rectangles.
    auto ink = [&](int i) {
        const TRect r = pc->TabRect(i);
        const Surface s = gui.Capture(h);
        int left = 1 << 20, right = -1;
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x)
                if ((s.Row(y)[x] & 0xFFFFFF) == 0) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
        return std::pair{left - r.Left, r.Right - 1 - right};
    };
    auto [l0, r0] = ink(0);
    auto [l1, r1] = ink(1);
    EXPECT_LE(std::abs(l0 - r0), 1) << "centred without the blanks";
    EXPECT_LE(std::abs(l1 - r1), 1);
    EXPECT_EQ(r1 - l1, r0 - l0);
    const TRect t1 = pc->TabRect(1);
    EXPECT_GT(Count(h, t1, 0xFFFF00), 10) << "the inactive tab's colour";
    EXPECT_EQ(Count(h, pc->TabRect(0), 0xFFFF00), 0);
}

TEST_F(PageTest, PagesFillTheDisplayAreaLoweredByTwo) {
    Make({"A", "B"});
    TRect d = pc->DisplayRect();
    EXPECT_EQ(sheets[0]->BoundsRect(), (TRect{d.Left, d.Top + 2, d.Right, d.Bottom}));
}

TEST_F(PageTest, PageIndexMovesTheTabAndRefusesAnIndexPastTheEnd) {
    Make({"A", "B", "C"});
    sheets[2]->PageIndex = 0;
    EXPECT_EQ(pc->Tabs[0], "C");
    EXPECT_EQ(pc->Pages(0), sheets[2]);
    EXPECT_EQ(pc->ActivePage(), sheets[0]);
    EXPECT_EQ(pc->GetTabIndex(), 1) << "the selection stays on A";
    try {
        sheets[0]->PageIndex = 3;
        FAIL();
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(),
                     "3 is an invalid PageIndex value.  PageIndex must be between 0 and 2");
    }
    try {
        (void)pc->Tabs.Get(5);
        FAIL();
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Tab control access error\nViolation occured in TTabStrings.Get");
    }
    EXPECT_THROW(pc->Tabs.Delete(-1), EStringListError);
}

TEST_F(PageTest, RemovingTheActivePageLeavesNoneAndFreeingTheControlDetaches) {
    Make({"A", "B"});
    delete sheets[0];
    EXPECT_EQ(pc->ActivePage(), nullptr);
    EXPECT_EQ(pc->PageCount(), 1);
    EXPECT_EQ(pc->Tabs.Count(), 1);
    EXPECT_EQ(pc->GetTabIndex(), -1);
    auto* moved = sheets[1];
    auto* other = new TPage95Control(form);
    other->Parent = form;
    moved->PageControl = other;
    EXPECT_EQ(pc->PageCount(), 0);
    EXPECT_EQ(other->Tabs[0], "B");
    delete other;
    gui.Pump();
}

} // namespace
} // namespace widgets_test
