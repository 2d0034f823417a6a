// A form built in code the way the program's windows are: aligned panels, a paint box, edits
// with key filters; typed into, tabbed through, read back, and its pixels checked.
#include "platform/core/sysutils.h"
#include "platform/forms/application.h"
#include "platform/forms/edit.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/label.h"
#include "support/gui_harness.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace platform;

class TfmScripted : public TForm {
public:
    TPanel* panelTop;
    TPanel* panelLeft;
    TPanel* panelClient;
    TPaintBox* paintGrid;
    TEdit* editTempo;
    TEdit* editName;
    TLabel* labelInfo;
    std::vector<std::string> log;

    explicit TfmScripted(TComponent* AOwner) : TForm(AOwner) {
        Caption = "Scripted";
        SetBounds(50, 40, 400, 300);
        panelTop = Make<TPanel>("panelTop", this);
        panelTop->Height = 40;
        panelTop->Align = alTop;
        panelTop->Color = clTeal;
        panelLeft = Make<TPanel>("panelLeft", this);
        panelLeft->Width = 70;
        panelLeft->Align = alLeft;
        panelLeft->BevelOuter = bvLowered;
        panelClient = Make<TPanel>("panelClient", this);
        panelClient->Align = alClient;
        panelClient->BevelOuter = bvNone;
        panelClient->Color = clWhite;
        paintGrid = Make<TPaintBox>("paintGrid", panelClient);
        paintGrid->SetBounds(10, 10, 50, 30);
        paintGrid->OnPaint = [this](TObject*) {
            TCanvas& c = paintGrid->Canvas();
            c.Brush.Color = clRed;
            c.FillRect({0, 0, 25, 30});
            c.Brush.Color = clBlue;
            c.FillRect({25, 0, 50, 30});
        };
        editTempo = Make<TEdit>("editTempo", panelTop);
        editTempo->SetBounds(8, 8, 60, 21);
        editTempo->OnKeyPress = [this](TObject*, char32_t& k) {
            if (k == '\r') {
                log.push_back("tempo " + std::to_string(StrToInt(editTempo->Text())));
                k = 0;
            } else if (k != 8 && (k < '0' || k > '9')) {
                k = 0;
            }
        };
        editTempo->OnExit = [this](TObject*) { log.push_back("exit tempo"); };
        editName = Make<TEdit>("editName", panelTop);
        editName->SetBounds(80, 8, 100, 21);
        editName->CharCase = ecUpperCase;
        editName->OnEnter = [this](TObject*) { log.push_back("enter name"); };
        editName->OnChange = [this](TObject*) { log.push_back("name " + editName->Text()); };
        labelInfo = Make<TLabel>("labelInfo", panelLeft);
        labelInfo->SetBounds(4, 4, 60, 13);
        labelInfo->Caption = "Info";
    }

    template <class T> T* Make(const char* name, TWinControl* parent) {
        T* c = new T(this);
        c->Name = name;
        c->Parent = parent;
        return c;
    }
};

TfmScripted* fmScripted = nullptr;

TEST(FormsScripted, BuiltTypedTabbedReadAndPainted) {
    testsupport::GuiHarness gui;
    ASSERT_EQ(fmScripted, nullptr);
    Application->CreateForm(fmScripted);
    ASSERT_NE(fmScripted, nullptr);
    TfmScripted& f = *fmScripted;
    f.Show();
    gui.Pump();

    // Alignment: the top panel spans the client width, the left one fills below it, the client
    // panel takes the rest.
    const int cw = f.ClientWidth, ch = f.ClientHeight;
    EXPECT_EQ(f.panelTop->BoundsRect(), (TRect{0, 0, cw, 40}));
    EXPECT_EQ(f.panelLeft->BoundsRect(), (TRect{0, 40, 70, ch}));
    EXPECT_EQ(f.panelClient->BoundsRect(), (TRect{70, 40, cw, ch}));
    EXPECT_EQ(f.FindComponent("PAINTGRID"), f.paintGrid);

    // Typing goes through the key filters.
    EXPECT_EQ(f.ActiveControl(), f.editTempo);
    gui.Type("1x2y0");
    EXPECT_EQ(f.editTempo->Text(), "120");
    gui.Type("\r");
    gui.Key(VK_TAB);
    EXPECT_EQ(f.ActiveControl(), f.editName);
    gui.Type("ab");
    EXPECT_EQ(f.editName->Text(), "AB");
    EXPECT_EQ(f.log, (std::vector<std::string>{"tempo 120", "exit tempo", "enter name", "name A",
                                               "name AB"}));

    // Pixels: the panels' bevels and colours, the paint box's halves, the label's text.
    const HWND top = f.panelTop->Handle(), left = f.panelLeft->Handle(),
               client = f.panelClient->Handle();
    EXPECT_EQ(gui.Pixel(top, 0, 0), 0xFFFFFFu);               // raised: highlight
    EXPECT_EQ(gui.Pixel(top, cw - 1, 39), 0x808080u);         // and shadow
    EXPECT_EQ(gui.Pixel(top, 300, 20), 0x008080u);            // clTeal
    EXPECT_EQ(gui.Pixel(left, 0, 0), 0x808080u);              // lowered
    EXPECT_EQ(gui.Pixel(client, 0, 0), 0xFFFFFFu);            // no bevel, white
    EXPECT_EQ(gui.Pixel(client, 10 + 5, 10 + 5), 0xFF0000u);  // red half
    EXPECT_EQ(gui.Pixel(client, 10 + 40, 10 + 5), 0x0000FFu); // blue half
    EXPECT_EQ(gui.Pixel(client, 10 + 60, 10 + 5), 0xFFFFFFu);
    bool text = false;
    for (int y = 4; y < 17; ++y)
        for (int x = 4; x < 30; ++x)
            text |= gui.Pixel(left, x, y) == 0x000000u;
    EXPECT_TRUE(text) << "the label's caption is drawn";

    // A narrower window keeps the layout.
    f.Width = 300;
    gui.Pump();
    EXPECT_EQ(f.panelClient->BoundsRect().Right, f.ClientWidth());

    f.Free();
    EXPECT_EQ(fmScripted, nullptr) << "the global goes back to nil with the form";
}

} // namespace
