// The built-in looks of a strip with every kind of control, saved as a picture to look at.
#include "mscroll_fixture.h"

#include "platform/gdi/png.h"

namespace gui_test {
namespace {

using Look = HostTest;

TEST_F(Look, StripWithEveryControlKind) {
    host->Border = 2;
    host->Gradient = bmSolid;
    host->BkColor = 0x202020;
    TGuiAlign* top = host->AddAlign(alTop, 0, 20, nullptr);
    host->AddDrag(alClient, "MIDI faders", top, 0);
    host->AddIconButton("close", "", 1, alRight, 1, top, 0)->Bottom = 16;
    TGuiMenu* menu = host->AddMenu("", "menu", "Controller", nullptr);
    menu->MenuHost->AddMenuLabel("New fader");
    TGuiAlign* bottom = host->AddAlign(alBottom, 0, 20, nullptr);
    host->AddButton("ok", "Apply", 2, bottom)->SetWidth(60);
    TGuiCheck* check = host->AddCheck("solo", "Solo", 70, alLeft, bottom);
    check->Margin = 2;
    TGuiEnum* e = host->AddEnum("", 100, alLeft, bottom);
    e->AddItem("Piano");
    e->Margin = 2;
    TGuiEnum* d = host->AddEnum("", 100, alLeft, bottom);
    d->AddItem("Strings");
    d->DropDown = true;
    d->Margin = 2;
    TGuiAlign* box = host->AddAlign(alClient, 0, 0, nullptr);
    box->Transparent = false;
    box->Color = 0x303030;
    box->BorderStyle = 2;
    TGuiScrollbar* bar = box->AddScrollbar(alRight, nullptr);
    bar->Vertical = true;
    bar->SetWidth(16);
    for (int i = 0; i < 20; ++i) {
        TGuiLabel* l = host->AddLabel("CC " + std::to_string(i), alTop, box);
        l->Bottom = l->Top + 16;
        TGuiFader* f = host->AddFader("f", 0, 127, i * 6, 200, box);
        f->Align = alTop;
        f->Margin = 1;
    }
    TGuiEdit* edit = host->AddEdit("", "Untitled", 100, nullptr);
    edit->Align = alTop;
    edit->Margin = 2;
    for (int g : {4, 5, 7, 8, 9, 10, 11, 12})
        host->AddIconButton("g", "", g, alLeft, 0, top, 0);
    host->AlignControls();
    host->Paint();
    const std::string path = TOLVERN_BIN_DIR "/../tests/mscroll-look.png";
    EXPECT_TRUE(gui.SavePng(H(), path));
    // The bar's arrows at both ends, the box's bevel, the host's frame.
    EXPECT_EQ(Pixel(bar->Left + 8, bar->Top + 3), Rgb(kGuiSilver));
    EXPECT_EQ(Pixel(bar->Left + 8, bar->Bottom - 3), Rgb(kGuiSilver));
    EXPECT_EQ(Pixel(box->Right - 1, box->Top + 50), Rgb(kGuiWhite));
    EXPECT_EQ(Pixel(0, 150), Rgb(kGuiSilver));
    std::printf("picture: %s\n", path.c_str());
}

} // namespace
} // namespace gui_test
