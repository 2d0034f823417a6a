// The looks: the built-in transport images, the set and its file.
#include "gui/looks.h"
#include "gui/transpimages.h"
#include "platform/core/streams.h"
#include "platform/gdi/png.h"
#include "support/scripted_dialogs.h"
#include "support/temp_settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using namespace platform;

namespace {

using Bytes = std::vector<std::uint8_t>;

void PutInt(Bytes& b, std::int32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(std::uint8_t(std::uint32_t(v) >> (8 * i)));
}
void PutText(Bytes& b, std::string_view s) {
    b.insert(b.end(), s.begin(), s.end());
}
// A chunk with its true sizes.
void Chunk(Bytes& b, std::string_view tag, const Bytes& payload) {
    PutInt(b, std::int32_t(tag.size()));
    PutText(b, tag);
    PutInt(b, std::int32_t(payload.size()));
    b.insert(b.end(), payload.begin(), payload.end());
}
Bytes Id(std::string_view name) {
    Bytes b;
    PutInt(b, std::int32_t(name.size()));
    PutText(b, name);
    return b;
}
Bytes Bmp(int w, int h, TColor color) {
    TBitmap bmp;
    bmp.SetSize(w, h);
    bmp.Canvas().Brush.Color = color;
    bmp.Canvas().FillRect({0, 0, w, h});
    return bmp.SaveToBytes();
}
// The three chunks of one entry.
void Entry(Bytes& b, std::string_view name, const Bytes& bmp) {
    Chunk(b, "Bitmap", {});
    Chunk(b, "BitmapId", Id(name));
    Chunk(b, "BitmapData", bmp);
}

std::uint32_t PixelOf(TXGuiLooks& looks, int index, int x, int y) {
    return looks.Items[std::size_t(index)]->Bitmap->Pixels().Row(y)[x] & 0xFFFFFF;
}

class LooksTest : public ::testing::Test {
protected:
    void SetUp() override {
        delete GuiLooks;
        GuiLooks = new TXGuiLooks;
        transport.LoadTransportImages();
    }
    void TearDown() override {
        delete GuiLooks;
        GuiLooks = nullptr;
    }
    std::string Write(std::string_view name, const Bytes& b) {
        return dir.WriteFile(name,
                             std::string_view(reinterpret_cast<const char*>(b.data()), b.size()));
    }
    TXGuiLooks& L() { return *GuiLooks; }

    TempDir dir;
    TTransportLooks transport;
};

TEST_F(LooksTest, BuiltInSetRegistersEighteenNamedImages) {
    ASSERT_EQ(L().Count(), 18);
    for (int i = 0; i < 18; ++i) {
        EXPECT_EQ(transport.TranspImageIds[std::size_t(i)], i);
        EXPECT_EQ(L().Items[std::size_t(i)]->Name, TranspImageNames[i]);
        TSize s;
        L().GetSize(i, s);
        EXPECT_EQ(s, (TSize{20, 20}));
    }
    EXPECT_EQ(L().IndexOf("transp_loop_active"), 15);
    EXPECT_EQ(L().IndexOf("Transp_play"), -1);
    TSize s{5, 5};
    L().GetSize(18, s);
    EXPECT_EQ(s, (TSize{0, 0}));
    L().GetSize(-1, s);
    EXPECT_EQ(s, (TSize{0, 0}));
    // Before registration the variables hold -1.
    TTransportLooks fresh;
    for (int id : fresh.TranspImageIds)
        EXPECT_EQ(id, -1);
}

TEST_F(LooksTest, EveryGlyphDiffersFromItsLitVariantAndThePngIsWritten) {
    // Each button has its own glyph, and its lit variant differs from it.
    for (int i = 0; i < 18; i += 2) {
        EXPECT_NE(L().Items[std::size_t(i)]->Bitmap->Pixels().pixels,
                  L().Items[std::size_t(i) + 1]->Bitmap->Pixels().pixels)
            << TranspImageNames[i];
        for (int j = i + 2; j < 18; j += 2)
            EXPECT_NE(L().Items[std::size_t(i)]->Bitmap->Pixels().pixels,
                      L().Items[std::size_t(j)]->Bitmap->Pixels().pixels)
                << TranspImageNames[i] << " " << TranspImageNames[j];
    }
    // Opaque: no pixel was whitened as transparent, the frame is drawn. The face is lighter at
    // the top than at the bottom when raised.
    EXPECT_EQ(PixelOf(L(), 0, 0, 0), 0xFFFFFFu);
    EXPECT_EQ(PixelOf(L(), 0, 19, 19), 0x808080u);
    EXPECT_EQ(PixelOf(L(), 1, 0, 0), 0x808080u);
    EXPECT_GT(PixelOf(L(), 0, 2, 2) & 0xFF, PixelOf(L(), 0, 2, 17) & 0xFF);
    // The play glyph is green when lit, the record lamp red.
    EXPECT_EQ(PixelOf(L(), 1, 10, 11), 0x28D228u);
    EXPECT_EQ(PixelOf(L(), 5, 12, 12), 0xEB1414u);

    // For review: idle row above the lit row, four times the size.
    constexpr int z = 4, cell = 22 * z;
    Surface sheet(9 * cell + z * 2, 2 * cell + z * 2, 0xFFD4D0C8u);
    for (int i = 0; i < 18; ++i) {
        const Surface& s = L().Items[std::size_t(i)]->Bitmap->Pixels();
        const int ox = z * 2 + (i / 2) * cell, oy = z * 2 + (i % 2) * cell;
        for (int y = 0; y < 20 * z; ++y)
            for (int x = 0; x < 20 * z; ++x)
                sheet.Row(oy + y)[ox + x] = s.Row(y / z)[x / z];
    }
    const std::string png =
        (std::filesystem::path(TOLVERN_BIN_DIR).parent_path() / "tests" / "transport_images.png")
            .string();
    EXPECT_TRUE(SavePng(sheet, png)) << png;
}

TEST_F(LooksTest, BuiltInSetSavesReloadsAndSavesAgainByteIdentical) {
    const std::string file = dir.Path() + "builtin.gui";
    L().SaveToFile(file);
    EXPECT_EQ(L().FileName, file);
    TMemoryStream saved;
    saved.LoadFromFile(file);
    // 52 bytes of chunk heads per entry, its name and 1,254 bytes of 24-bit 20 x 20 BMP.
    EXPECT_EQ(saved.Bytes().size(), 23761u);
    Bytes first;
    Entry(first, "transp_play", L().Items[0]->Bitmap->SaveToBytes());
    ASSERT_EQ(first.size(), 52u + 11 + 1254);
    EXPECT_TRUE(std::equal(first.begin(), first.end(), saved.Bytes().begin()));

    // Reloading keeps every index and the file saves again to the same bytes.
    L().FileName.clear();
    L().LoadFromFile(file);
    EXPECT_EQ(L().FileName, file);
    ASSERT_EQ(L().Count(), 18);
    for (int i = 0; i < 18; ++i)
        EXPECT_EQ(L().IndexOf(TranspImageNames[i]), i);
    const std::string again = dir.Path() + "again.gui";
    L().SaveToFile(again);
    TMemoryStream resaved;
    resaved.LoadFromFile(again);
    EXPECT_EQ(resaved.Bytes(), saved.Bytes());
}

TEST_F(LooksTest, FileRestylesRegisteredNamesOnly) {
    Bytes f;
    Entry(f, "nobody", Bmp(20, 20, clRed));         // not registered: dropped
    Chunk(f, "Comment", {1, 2, 3, 4, 5});           // unknown tag: skipped by its size
    Entry(f, "transp_play", Bmp(30, 20, clYellow)); // larger than the list's images: taken
    Entry(f, "Transp_stop", Bmp(20, 20, clRed));    // another case: not the same name
    Entry(f, "transp_beep_active", Bmp(20, 20, clBlue));
    const std::string file = Write("restyle.gui", f);
    L().LoadFromFile(file);
    EXPECT_EQ(L().Count(), 18); // the set never grows
    EXPECT_EQ(L().FileName, file);
    TSize s;
    L().GetSize(0, s);
    EXPECT_EQ(s, (TSize{30, 20}));
    EXPECT_EQ(PixelOf(L(), 0, 29, 10), 0xFFFF00u);
    EXPECT_EQ(PixelOf(L(), 17, 5, 5), 0x0000FFu);
    EXPECT_NE(PixelOf(L(), 2, 0, 0), 0xFF0000u);

    // Drawing is a plain copy of the whole bitmap; an index outside the set draws nothing.
    TBitmap target;
    target.SetSize(40, 30);
    L().Draw(target.Canvas().Handle(), 5, 5, 0);
    L().Draw(target.Canvas().Handle(), 0, 0, 18);
    L().Draw(target.Canvas().Handle(), 0, 0, -1);
    EXPECT_EQ(target.Pixels().Row(5)[5] & 0xFFFFFF, 0xFFFF00u);
    EXPECT_EQ(target.Pixels().Row(24)[34] & 0xFFFFFF, 0xFFFF00u);
    EXPECT_EQ(target.Pixels().Row(25)[35] & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(target.Pixels().Row(0)[0] & 0xFFFFFF, 0xFFFFFFu);
}

// A 2 x 2 BMP of 32 bits: not what the encoder writes, so only kept bytes save back the same.
Bytes Bmp32() {
    Bytes b{'B', 'M'};
    PutInt(b, 14 + 40 + 16);
    PutInt(b, 0);
    PutInt(b, 14 + 40);
    for (std::int32_t v : {40, 2, 2})
        PutInt(b, v);
    b.insert(b.end(), {1, 0, 32, 0});
    for (int i = 0; i < 6; ++i)
        PutInt(b, 0);
    for (std::int32_t px : {0x00FF0000, 0x0000FF00, 0x000000FF, 0x00FFFFFF})
        PutInt(b, px);
    return b;
}

TEST_F(LooksTest, DrawingALoadedImageKeepsItsOwnBytesForTheNextSave) {
    Bytes f;
    Entry(f, "transp_stop", Bmp32());
    L().LoadFromFile(Write("own.gui", f));
    TBitmap target;
    target.SetSize(4, 4);
    L().Draw(target.Canvas().Handle(), 1, 1, 2);
    EXPECT_EQ(target.Pixels().Row(2)[1] & 0xFFFFFF, 0xFF0000u); // bottom-up: first row at the bottom
    EXPECT_EQ(L().Items[2]->Bitmap->SaveToBytes(), Bmp32());
}

TEST_F(LooksTest, ReplaceTakesTheBitmapOnlyForAValidIndex) {
    auto b = std::make_unique<TBitmap>();
    b->SetSize(3, 4);
    L().Replace(b, 18);
    ASSERT_NE(b, nullptr); // the caller keeps it
    L().Replace(b, 2);
    EXPECT_EQ(b, nullptr);
    TSize s;
    L().GetSize(2, s);
    EXPECT_EQ(s, (TSize{3, 4}));
}

TEST_F(LooksTest, EmptySetSavesAnEmptyFileAndAnEmptyFileChangesOnlyTheName) {
    TXGuiLooks empty;
    const std::string file = dir.Path() + "empty.gui";
    empty.SaveToFile(file);
    EXPECT_EQ(dir.ReadFile("empty.gui"), "");
    const Bytes before = L().SaveToBytes();
    L().LoadFromFile(file);
    EXPECT_EQ(L().FileName, file);
    EXPECT_EQ(L().SaveToBytes(), before);
}

TEST_F(LooksTest, FilesThatCannotBeOpenedOrCreatedRaiseTheFileError) {
    L().FileName = "kept";
    EXPECT_THROW(L().LoadFromFile(dir.Path() + "missing.gui"), EFOpenError);
    EXPECT_THROW(L().SaveToFile(dir.Path() + "no/such/folder/x.gui"), EFCreateError);
    EXPECT_EQ(L().FileName, "kept");
}

// Hostile files: each stops the load with the read error (or the image error for bad image
// data), keeps what was replaced before it and leaves FileName alone; none reads outside the
// file, leaks or frees twice.
TEST_F(LooksTest, HostileFilesEndTheLoadKeepingEarlierReplacements) {
    struct Case {
        const char* what;
        Bytes tail;
        bool imageError = false;
    };
    auto chunkHead = [](std::int32_t tagLen, std::string_view tag, std::int32_t size) {
        Bytes b;
        PutInt(b, tagLen);
        PutText(b, tag);
        PutInt(b, size);
        return b;
    };
    std::vector<Case> cases;
    cases.push_back({"negative tag length", chunkHead(-6, "", 0)});
    cases.push_back({"tag past the end", chunkHead(1000, "Bitmap", 0)});
    cases.push_back({"negative payload size", chunkHead(10, "BitmapData", -1)});
    cases.push_back({"payload past the end", chunkHead(10, "BitmapData", 5000)});
    cases.push_back({"unknown tag past the end", chunkHead(3, "Foo", 100)});
    cases.push_back({"short size field", Bytes{6, 0, 0, 0, 'B', 'i', 't', 'm', 'a', 'p', 0}});
    cases.push_back({"short tag length", Bytes{6, 0}});
    {
        Bytes b = chunkHead(8, "BitmapId", 8);
        PutInt(b, 9); // the name claims more than the chunk holds
        PutText(b, "abcd");
        cases.push_back({"name longer than its chunk", b});
    }
    {
        Bytes b = chunkHead(8, "BitmapId", 12);
        PutInt(b, 2);
        PutText(b, "abcdefgh");
        cases.push_back({"name shorter than its chunk", b});
    }
    {
        Bytes b = chunkHead(8, "BitmapId", 8);
        PutInt(b, -4);
        PutText(b, "abcd");
        cases.push_back({"negative name length", b});
    }
    {
        Bytes b;
        Chunk(b, "Bitmap", {});
        Chunk(b, "BitmapId", Id("transp_rec"));
        Chunk(b, "BitmapData", {'B', 'M', 1, 2, 3});
        cases.push_back({"bad image data", b, true});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        Bytes f;
        Entry(f, "transp_stop", Bmp(20, 20, clLime));
        f.insert(f.end(), c.tail.begin(), c.tail.end());
        const std::string file = Write("hostile.gui", f);
        L().FileName = "before";
        if (c.imageError)
            EXPECT_THROW(L().LoadFromFile(file), EInvalidGraphic);
        else {
            try {
                L().LoadFromFile(file);
                ADD_FAILURE() << "no error";
            } catch (const EReadError& e) {
                EXPECT_STREQ(e.what(), "Stream read error");
            }
        }
        EXPECT_EQ(L().FileName, "before");
        EXPECT_EQ(PixelOf(L(), 2, 10, 10), 0x00FF00u);
        EXPECT_EQ(L().Count(), 18);
    }
}

// Orders the writer never makes: each image has one owner whatever the order.
TEST_F(LooksTest, ImageDataOutOfOrderNeverSharesOrLeaksABitmap) {
    Bytes f;
    Chunk(f, "BitmapData", Bmp(2, 2, clRed)); // before any entry: dropped
    Chunk(f, "Bitmap", {});
    Chunk(f, "BitmapId", Id("transp_home"));
    Chunk(f, "BitmapData", Bmp(4, 4, clRed));
    Chunk(f, "BitmapData", Bmp(5, 5, clBlue)); // a second image for the same entry wins
    Chunk(f, "Bitmap", {});
    Chunk(f, "BitmapId", Id("unregistered"));
    Chunk(f, "BitmapData", Bmp(6, 6, clRed)); // dropped
    Chunk(f, "BitmapData", Bmp(7, 7, clRed)); // dropped
    L().LoadFromFile(Write("order.gui", f));
    TSize s;
    L().GetSize(6, s);
    EXPECT_EQ(s, (TSize{5, 5}));
    EXPECT_EQ(PixelOf(L(), 6, 0, 0), 0x0000FFu);
    for (int i = 0; i < 18; ++i)
        for (int j = i + 1; j < 18; ++j)
            EXPECT_NE(L().Items[std::size_t(i)]->Bitmap.get(),
                      L().Items[std::size_t(j)]->Bitmap.get());

    // "Bitmap" skips nothing, whatever size it names: the next chunk starts right after it.
    Bytes g;
    PutInt(g, 6);
    PutText(g, "Bitmap");
    PutInt(g, 1000);
    Chunk(g, "BitmapId", Id("transp_end"));
    Chunk(g, "BitmapData", Bmp(8, 8, clRed));
    L().LoadFromFile(Write("bitmapsize.gui", g));
    L().GetSize(12, s);
    EXPECT_EQ(s, (TSize{8, 8}));
}

TEST(InitLooks, RegistersTheImagesAndLoadsTheFileNamedInTheSettings) {
    TempSettings settings;
    TempDir dir;
    Bytes f;
    Entry(f, "transp_fwd", Bmp(20, 20, clRed));
    const std::string file =
        dir.WriteFile("mine.gui", std::string(reinterpret_cast<const char*>(f.data()), f.size()));
    settings.WriteIni("[Gui]\nFilename=" + file + "\n");
    TTransportLooks t;
    t.InitLooks();
    ASSERT_NE(GuiLooks, nullptr);
    EXPECT_EQ(GuiLooks->Count(), 18);
    EXPECT_EQ(GuiLooks->FileName, file);
    EXPECT_EQ(PixelOf(*GuiLooks, t.TranspImageIds[10], 3, 3), 0xFF0000u);

    // A name that does not exist: the built-in images, nothing reported.
    settings.WriteIni("[Gui]\nFilename=" + dir.Path() + "gone.gui\n");
    t.InitLooks();
    EXPECT_EQ(GuiLooks->Count(), 18);
    EXPECT_EQ(GuiLooks->FileName, "");
    delete GuiLooks;
    GuiLooks = nullptr;
}

TEST(InitLooks, ACorruptFileIsReportedAndTheStartGoesOn) {
    TempSettings settings;
    TempDir dir;
    ScriptedDialogs dialogs;
    dialogs.Answer(IDOK, "Stream read error");
    Bytes f;
    Entry(f, "transp_fwd", Bmp(20, 20, clRed));
    PutInt(f, 99);
    const std::string file =
        dir.WriteFile("bad.gui", std::string(reinterpret_cast<const char*>(f.data()), f.size()));
    settings.WriteIni("[Gui]\nFilename=" + file + "\n");
    TTransportLooks t;
    t.InitLooks();
    ASSERT_NE(GuiLooks, nullptr);
    EXPECT_EQ(GuiLooks->Count(), 18);
    EXPECT_EQ(GuiLooks->FileName, "");
    EXPECT_EQ(PixelOf(*GuiLooks, t.TranspImageIds[10], 3, 3), 0xFF0000u); // read before the fault
    ASSERT_EQ(dialogs.Boxes().size(), 1u);
    EXPECT_EQ(dialogs.Boxes()[0].Icon, MB_ICONERROR);
    delete GuiLooks;
    GuiLooks = nullptr;
}

} // namespace
