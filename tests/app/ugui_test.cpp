// The looks editor headless: opened from the transport bar's pop-up menu, its list of the
// eighteen built-in images on the bar's colour, scrolling, replacing an image, opening, saving
// and restoring looks files, and what a file that fails part-way leaves.
#include "app/app_fixture.h"

#include "app/ugui.h"
#include "gui/looks.h"
#include "platform/core/paths.h"
#include "platform/gdi/graphics.h"
#include "platform/menus/menus.h"
#include "platform/window/focus.h"
#include "song/song.h"

#include <filesystem>
#include <set>

using namespace platform;

namespace {

using Bytes = std::vector<std::uint8_t>;

// Colours with equal red and blue read back the same in either byte order.
constexpr TColor kGreen = 0x00C000, kGrey = 0x505050;

Bytes Bmp(int W, int H, TColor Color) {
    TBitmap bmp;
    bmp.SetSize(W, H);
    bmp.Canvas().Brush.Color = Color;
    bmp.Canvas().FillRect({0, 0, W, H});
    return bmp.SaveToBytes();
}
void PutInt(Bytes& B, std::int32_t V) {
    for (int i = 0; i < 4; ++i)
        B.push_back(std::uint8_t(std::uint32_t(V) >> (8 * i)));
}
void Chunk(Bytes& B, std::string_view Tag, const Bytes& Payload) {
    PutInt(B, std::int32_t(Tag.size()));
    B.insert(B.end(), Tag.begin(), Tag.end());
    PutInt(B, std::int32_t(Payload.size()));
    B.insert(B.end(), Payload.begin(), Payload.end());
}
// One entry of a looks file.
void Entry(Bytes& B, std::string_view Name, const Bytes& Data) {
    Chunk(B, "Bitmap", {});
    Bytes id;
    PutInt(id, std::int32_t(Name.size()));
    id.insert(id.end(), Name.begin(), Name.end());
    Chunk(B, "BitmapId", id);
    Chunk(B, "BitmapData", Data);
}

std::uint32_t Rgb(TColor C) {
    const std::uint32_t v = std::uint32_t(C);
    return ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
}

class LooksEditor : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        ASSERT_TRUE(Start());
        TMenuItem* gui1 = nullptr;
        TMenuItem* root = fmMdi->PopupTransp->Items;
        for (int i = 0; i < root->Count(); ++i)
            if (root->Items(i)->Name == "Gui1") gui1 = root->Items(i);
        ASSERT_NE(gui1, nullptr);
        EXPECT_EQ(gui1->Caption, "GUI...");
        gui1->Click();
        gui.Pump();
        ASSERT_NE(fmGui, nullptr);
        ASSERT_TRUE(fmGui->Visible);
    }
    std::string Write(const std::string& Name, const Bytes& B) {
        return program.WriteFile(
            Name, std::string_view(reinterpret_cast<const char*>(B.data()), B.size()));
    }
    HWND Surface() { return fmGui->surface->Handle(); }
    // A pixel of the list at list coordinates (the surface scrolled to the top).
    std::uint32_t ListPixel(int X, int Y) { return gui.Pixel(Surface(), X, Y); }
    // A click on the list's row of item I.
    void ClickItem(int I) {
        gui.Click(gui.At(Surface(), 60, fmGui->ItemTop(I) + 10 + fmGui->surface->OffsetY));
    }
    std::uint32_t BarColour() { return Rgb(fmMdi->panelTransporter->Color()); }
    // The pixel of the transport bar's button field.
    std::uint32_t ButtonPixel(int X, int Y) {
        return gui.Pixel(fmMdi->panelTransporter->Handle(), fmMdi->paintTransp->Left + X,
                         fmMdi->paintTransp->Top + Y);
    }
};

TEST_F(LooksEditor, TheBuiltInListScrollsAndIsDrawnOnTheBarsColour) {
    EXPECT_EQ(fmGui->Caption(), "Tolvern GUI - Default");
    EXPECT_EQ(fmGui->ClientWidth(), 276);
    EXPECT_EQ(fmGui->ClientHeight(), 345);
    ASSERT_EQ(fmGui->Items.size(), 18u);
    EXPECT_EQ(fmGui->ListHeight(), 504);
    const int client = fmGui->surface->GetClientHeight();
    ASSERT_LT(client, 504);
    EXPECT_TRUE(fmGui->scrolly->Enabled);
    EXPECT_EQ(fmGui->scrolly->Max(), 504 - client);
    EXPECT_EQ(fmGui->comboCategory->Items[fmGui->comboCategory->ItemIndex], "Transporter");

    // Image 1 ("transp_play_active") at (4, 32), its text from x 32 on the bar's colour.
    TBitmap& image = *GuiLooks->Items[1]->Bitmap;
    for (auto [x, y] : {std::pair{0, 0}, {10, 10}, {19, 19}})
        EXPECT_EQ(ListPixel(4 + x, 32 + y), image.Canvas().Pixel(x, y) == 0
                                                 ? 0u
                                                 : Rgb(image.Canvas().Pixel(x, y)))
            << x << "," << y;
    const std::uint32_t back = BarColour();
    EXPECT_EQ(ListPixel(2, 30), back);
    int ink = 0, before = 0;
    for (int y = 28; y < 56; ++y) {
        for (int x = 24; x < 32; ++x)
            before += ListPixel(x, y) != back;
        for (int x = 32; x < 200; ++x)
            ink += ListPixel(x, y) != back;
    }
    EXPECT_EQ(before, 0) << "nothing between the image and its text";
    EXPECT_GT(ink, 30) << "the text";
    gui.SavePng(fmGui->Handle(), "looks-editor.png");

    // The wheel: 16 pixels a notch, away from the user scrolls up.
    SetFocus(Surface());
    gui.Wheel(gui.At(Surface(), 50, 50), -120);
    EXPECT_EQ(fmGui->scrolly->Position(), 16);
    EXPECT_EQ(fmGui->surface->OffsetY, -16);
    EXPECT_EQ(ListPixel(4 + 10, 32 - 16 + 10), Rgb(image.Canvas().Pixel(10, 10)));
    gui.Wheel(gui.At(Surface(), 50, 50), -240);
    EXPECT_EQ(fmGui->scrolly->Position(), 48);
    gui.Wheel(gui.At(Surface(), 50, 50), 120 * 10);
    EXPECT_EQ(fmGui->scrolly->Position(), 0);
}

TEST_F(LooksEditor, AReplacementOfTheSameSizeShowsAtOnceAnotherSizeIsRefused) {
    const std::string good = Write("green.bmp", Bmp(20, 20, kGreen));
    const std::string wide = Write("wide.bmp", Bmp(21, 20, kGreen));
    const std::string icon = Write("pic.ico", Bytes{0, 0, 1, 0, 1, 0});
    // While the song plays the stop button shows its idle image, "transp_stop".
    fmMdi->StartPlayback(false);
    gui.Pump();
    const int stop = GuiLooks->IndexOf("transp_stop");
    ASSERT_EQ(stop, 2);
    EXPECT_NE(ButtonPixel(20 + 10, 10), Rgb(kGreen));

    gui.Dialogs().OpenFile(good);
    ClickItem(stop);
    auto seen = gui.Dialogs().FileDialogs();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].Title, "Replace 'transp_stop'");
    EXPECT_EQ(ButtonPixel(20 + 10, 10), Rgb(kGreen)) << "the transport bar at once";
    EXPECT_EQ(ListPixel(4 + 10, fmGui->ItemTop(stop) + 4 + 10), Rgb(kGreen));
    fmMdi->StopPlayback(false);

    const int play = GuiLooks->IndexOf("transp_play");
    const TColor before = GuiLooks->Items[std::size_t(play)]->Bitmap->Canvas().Pixel(10, 10);
    gui.Dialogs().OpenFile(wide).Answer(IDOK, "Image size dosn't match. Should be (20x20)");
    ClickItem(play);
    gui.Dialogs().OpenFile(icon).Answer(IDOK, "Bitmap image is not valid");
    ClickItem(play);
    auto boxes = gui.Dialogs().Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].Caption, "Edit");
    EXPECT_EQ(boxes[0].Icon, unsigned(MB_ICONINFORMATION));
    EXPECT_EQ(GuiLooks->Items[std::size_t(play)]->Bitmap->Width(), 20);
    EXPECT_EQ(GuiLooks->Items[std::size_t(play)]->Bitmap->Canvas().Pixel(10, 10), before);

    // Scrolled to the end, the bottom row is the last image's.
    fmGui->scrolly->Position = fmGui->scrolly->Max();
    gui.Dialogs().OpenFile("");
    gui.Click(gui.At(Surface(), 60, fmGui->surface->GetClientHeight() - 1));
    EXPECT_EQ(gui.Dialogs().FileDialogs().back().Title, "Replace 'transp_beep_active'");
}

TEST_F(LooksEditor, SaveOpenAndRestore) {
    const std::string first = program.Path() + "gui/mine.gui";
    const std::string other = program.Path() + "gui/other.gui";
    {
        Bytes b;
        Entry(b, "transp_play", Bmp(20, 60, kGrey)); // taller: the list grows
        Write("gui/other.gui", b);
    }
    // "Save" without a file name asks for one, in the program's "gui" folder.
    gui.Dialogs().SaveFile(first);
    fmGui->MainMenu1->Items->Items(0)->Items(1)->Click(); // File > Save
    auto seen = gui.Dialogs().FileDialogs();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(ExcludeTrailingPathDelimiter(seen[0].InitialDir),
              ExcludeTrailingPathDelimiter(program.Path() + "gui"));
    EXPECT_EQ(seen[0].Filter, "Tolvern GUI (*.gui)|*.gui");
    EXPECT_TRUE(FileExists(first));
    EXPECT_EQ(fmGui->Caption(), "Tolvern GUI - mine");

    // Open: the set takes the file's images, the list grows and stays reachable.
    const int maxBefore = fmGui->scrolly->Max();
    gui.Dialogs().OpenFile(other);
    fmGui->Open1Click();
    EXPECT_EQ(fmGui->Caption(), "Tolvern GUI - other");
    EXPECT_EQ(Setting("Gui", "Filename"), other);
    EXPECT_EQ(fmGui->ListHeight(), 544);
    EXPECT_EQ(fmGui->scrolly->Max(), maxBefore + 40);
    EXPECT_EQ(ListPixel(4 + 10, 4 + 50), Rgb(kGrey));

    // "Save" after "Open..." overwrites the opened file without asking.
    const auto size = std::filesystem::file_size(other);
    fmGui->Save1Click();
    EXPECT_EQ(gui.Dialogs().FileDialogs().size(), 2u);
    EXPECT_GT(std::filesystem::file_size(other), size) << "every entry written";

    // Restore: one entry per name, the built-in images where they were, no file named.
    const auto ids = fmMdi->Transport.TranspImageIds;
    gui.Dialogs().Answer(IDYES, "Restore to default?");
    fmGui->Restore1Click();
    EXPECT_EQ(gui.Dialogs().Boxes().back().Caption, "Restore");
    EXPECT_EQ(Setting("Gui", "Filename"), "");
    EXPECT_EQ(fmGui->Caption(), "Tolvern GUI - Default");
    EXPECT_EQ(GuiLooks->Count(), 18);
    std::set<std::string> names;
    for (auto& item : GuiLooks->Items)
        names.insert(item->Name);
    EXPECT_EQ(names.size(), 18u);
    EXPECT_EQ(fmMdi->Transport.TranspImageIds, ids);
    EXPECT_EQ(GuiLooks->Items[0]->Bitmap->Height(), 20);
    EXPECT_EQ(fmGui->ListHeight(), 504);
    EXPECT_NE(ListPixel(4 + 10, 4 + 10), Rgb(kGrey));
    // No: nothing changes.
    gui.Dialogs().Answer(IDNO, "Restore to default?");
    fmGui->Restore1Click();
    EXPECT_EQ(GuiLooks->Count(), 18);
}

TEST_F(LooksEditor, AFileThatFailsPartWayShowsWhatItReplaced) {
    Bytes b;
    Entry(b, "transp_play", Bmp(20, 20, kGreen));
    Bytes broken = Bmp(20, 20, kGrey);
    broken[0] = 'X';
    Entry(b, "transp_stop", broken);
    const std::string bad = Write("gui/bad.gui", b);
    gui.Pump();
    EXPECT_NE(ListPixel(4 + 10, 4 + 10), Rgb(kGreen));
    gui.Dialogs().OpenFile(bad).Answer(IDOK, "Bitmap image is not valid");
    // File > Open..., through the window's exception boundary as a menu command goes.
    Guarded([] { fmGui->MainMenu1->Items->Items(0)->Items(0)->Click(); });
    EXPECT_EQ(ListPixel(4 + 10, 4 + 10), Rgb(kGreen)) << "the list shows the replaced image";
    EXPECT_EQ(fmGui->Caption(), "Tolvern GUI - Default");
    EXPECT_EQ(Setting("Gui", "Filename"), "<none>");
    EXPECT_EQ(GuiLooks->FileName, "");
}

} // namespace
