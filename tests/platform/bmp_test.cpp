#include "gdi_fixture.h"

#include "platform/gdi/bmp.h"
#include "platform/gdi/graphics.h"
#include "platform/gdi/imagelist.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace platform;

namespace {

// Colours of the test image, all exact at 5 bits per channel.
const std::uint32_t kColors[] = {0xFF000000u, 0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFF00u};
// A 3 x 2 image as colour indexes, top row first.
const int kImage[2][3] = {{1, 2, 3}, {4, 0, 1}};

using Bytes = std::vector<std::uint8_t>;

void Put(Bytes& b, std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i)
        b.push_back(std::uint8_t(v >> (8 * i)));
}

struct Spec {
    int header = 40;
    int bpp = 24;
    std::uint32_t compression = 0;
    bool topDown = false;
    std::vector<std::uint32_t> masks; // bit fields: R, G, B
    Bytes rle;                        // the pixel data of a run-length bitmap
};

Spec S(int header, int bpp, std::uint32_t compression = 0, bool topDown = false,
       std::vector<std::uint32_t> masks = {}, Bytes rle = {}) {
    return Spec{header, bpp, compression, topDown, std::move(masks), std::move(rle)};
}

std::uint32_t Pack(const Spec& s, std::uint32_t c) {
    std::uint32_t r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
    if (!s.masks.empty()) {
        auto field = [](std::uint32_t v, std::uint32_t mask) {
            int shift = __builtin_ctz(mask);
            std::uint32_t max = mask >> shift;
            return ((v * max + 127) / 255) << shift;
        };
        return field(r, s.masks[0]) | field(g, s.masks[1]) | field(b, s.masks[2]);
    }
    if (s.bpp == 16) return ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
    return c & 0xFFFFFF;
}

// A BMP file of the test image in the given format.
Bytes MakeBmp(const Spec& s) {
    const int w = 3, h = 2;
    Bytes pal;
    int colors = s.bpp <= 8 ? (s.bpp == 1 ? 2 : 5) : 0;
    for (int i = 0; i < colors; ++i) {
        std::uint32_t c = kColors[i];
        Put(pal, c & 0xFFFFFF, s.header == 12 ? 3 : 4);
    }
    Bytes bits = s.rle;
    if (s.rle.empty()) {
        const int stride = (w * s.bpp + 31) / 32 * 4;
        for (int row = 0; row < h; ++row) {
            const int y = s.topDown ? row : h - 1 - row;
            Bytes line(std::size_t(stride), 0);
            for (int x = 0; x < w; ++x) {
                int index = kImage[y][x] % (s.bpp == 1 ? 2 : 5);
                std::uint32_t v = Pack(s, kColors[index]);
                if (s.bpp == 1)
                    line[std::size_t(x / 8)] |= std::uint8_t(index << (7 - x % 8));
                else if (s.bpp == 4)
                    line[std::size_t(x / 2)] |= std::uint8_t(index << (x % 2 ? 0 : 4));
                else if (s.bpp == 8)
                    line[std::size_t(x)] = std::uint8_t(index);
                else
                    for (int k = 0; k < s.bpp / 8; ++k)
                        line[std::size_t(x * s.bpp / 8 + k)] = std::uint8_t(v >> (8 * k));
            }
            bits.insert(bits.end(), line.begin(), line.end());
        }
    }
    Bytes info;
    Put(info, std::uint32_t(s.header), 4);
    if (s.header == 12) {
        Put(info, w, 2);
        Put(info, h, 2);
        Put(info, 1, 2);
        Put(info, std::uint32_t(s.bpp), 2);
    } else {
        Put(info, w, 4);
        Put(info, std::uint32_t(s.topDown ? -h : h), 4);
        Put(info, 1, 2);
        Put(info, std::uint32_t(s.bpp), 2);
        Put(info, s.compression, 4);
        Put(info, std::uint32_t(bits.size()), 4);
        Put(info, 0, 4);
        Put(info, 0, 4);
        Put(info, std::uint32_t(colors), 4);
        Put(info, 0, 4);
        if (s.header == 40) {
            for (std::uint32_t m : s.masks)
                Put(info, m, 4);
        } else { // version 4 and 5: masks inside the header
            for (std::uint32_t m : s.masks.empty() ? std::vector<std::uint32_t>{0, 0, 0} : s.masks)
                Put(info, m, 4);
            info.resize(std::size_t(14 + s.header) - 14, 0);
        }
    }
    Bytes out{'B', 'M'};
    const std::uint32_t offset = std::uint32_t(14 + info.size() + pal.size());
    Put(out, offset + std::uint32_t(bits.size()), 4);
    Put(out, 0, 4);
    Put(out, offset, 4);
    out.insert(out.end(), info.begin(), info.end());
    out.insert(out.end(), pal.begin(), pal.end());
    out.insert(out.end(), bits.begin(), bits.end());
    return out;
}

// Top [1 2 3], bottom [4 0 1]: RLE rows go bottom-up.
const Bytes kRle8 = {0, 3, 4, 0, 1, 0, 0, 0, 1, 1, 1, 2, 1, 3, 0, 0, 0, 1};
const Bytes kRle4 = {0, 3, 0x40, 0x10, 0, 0, 2, 0x12, 1, 0x30, 0, 0, 0, 1};

struct Format {
    const char* name;
    Spec spec;
};

std::vector<Format> Formats() {
    return {
        {"1 bit", S(40, 1)},
        {"4 bits", S(40, 4)},
        {"8 bits", S(40, 8)},
        {"16 bits", S(40, 16)},
        {"24 bits", S(40, 24)},
        {"32 bits", S(40, 32)},
        {"16-bit fields", S(40, 16, 3, false, {0xF800, 0x07E0, 0x001F})},
        {"32-bit fields", S(40, 32, 3, false, {0xFF000000u, 0x00FF0000u, 0x0000FF00u})},
        {"32-bit fields, version 5", S(124, 32, 3, false, {0x0000FF00u, 0x00FF0000u, 0xFF000000u})},
        {"RLE8", S(40, 8, 1, false, {}, kRle8)},
        {"RLE4", S(40, 4, 2, false, {}, kRle4)},
        {"top-down", S(40, 24, 0, true)},
        {"OS/2 core, 8 bits", S(12, 8)},
        {"OS/2 core, 24 bits", S(12, 24)},
    };
}

Surface Decode(const Bytes& b) {
    std::string why;
    auto s = DecodeBmp(b.data(), b.size(), &why);
    EXPECT_TRUE(s.has_value()) << why;
    return s ? *s : Surface();
}

} // namespace

TEST(Bmp, EveryFormatReads) {
    for (const Format& f : Formats()) {
        SCOPED_TRACE(f.name);
        Surface s = Decode(MakeBmp(f.spec));
        ASSERT_EQ(s.width, 3);
        ASSERT_EQ(s.height, 2);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x)
                EXPECT_EQ(s.Row(y)[x], kColors[kImage[y][x] % (f.spec.bpp == 1 ? 2 : 5)])
                    << x << "," << y;
    }
}

TEST(Bmp, WriteThenReadKeepsThePixels) {
    Surface s(5, 3, 0);
    for (std::size_t i = 0; i < s.pixels.size(); ++i)
        s.pixels[i] = 0xFF000000u | std::uint32_t(i * 0x0A0B0C);
    Bytes out = EncodeBmp(s);
    EXPECT_EQ(out.size(), 54u + 3 * 16); // rows padded to 16 bytes
    EXPECT_EQ(out[28], 24);              // bits per pixel
    Surface back = Decode(out);
    EXPECT_EQ(back.pixels, s.pixels);
}

TEST(Bmp, TruncatedAndHostileDataIsRefused) {
    for (const Format& f : Formats()) {
        Bytes good = MakeBmp(f.spec);
        for (std::size_t n = 0; n < good.size(); ++n)
            EXPECT_FALSE(DecodeBmp(good.data(), n)) << f.name << " cut to " << n;
    }
    auto patched = [](std::size_t at, std::uint32_t v, int n) {
        Bytes b = MakeBmp(S(40, 8));
        for (int i = 0; i < n; ++i)
            b[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
        return b;
    };
    const std::vector<std::pair<const char*, Bytes>> hostile = {
        {"huge width", patched(18, 0x7FFFFFFF, 4)},
        {"most negative height", patched(22, 0x80000000u, 4)},
        {"zero width", patched(18, 0, 4)},
        {"odd bit count", patched(28, 7, 2)},
        {"no planes", patched(26, 0, 2)},
        {"pixels beyond the end", patched(10, 0xFFFFFF00u, 4)},
        {"unknown header", patched(14, 41, 4)},
        {"JPEG inside", patched(30, 4, 4)},
        {"run-length top-down", [] { return MakeBmp(S(40, 8, 1, true, {}, kRle8)); }()},
        {"run past the last row", MakeBmp(S(40, 8, 1, false, {}, {0, 2, 0, 9, 0, 0, 0, 1}))},
    };
    for (const auto& [name, bytes] : hostile)
        EXPECT_FALSE(DecodeBmp(bytes.data(), bytes.size())) << name;
}

TEST(Bitmap, UntouchedLoadedBitmapWritesItsOwnBytes) {
    // A file written by another program: 8 bits with a palette, a resolution and a trailing
    // byte that our writer would not produce.
    Bytes file = MakeBmp(S(40, 8));
    file[38] = 0x13;
    file[39] = 0x0B;
    TBitmap b;
    b.LoadFromBytes(file.data(), file.size());
    EXPECT_EQ(b.SaveToBytes(), file);
    std::stringstream stream;
    b.SaveToStream(stream);
    EXPECT_EQ(stream.str(), std::string(file.begin(), file.end()));

    TBitmap copy;
    copy.Assign(b);
    EXPECT_EQ(copy.SaveToBytes(), file);

    // Drawn on, it writes 24 bits.
    b.Canvas().Pixel(0, 0);
    EXPECT_EQ(b.SaveToBytes(), file) << "reading is not drawing";
    b.Canvas().SetPixel(0, 0, clWhite);
    Bytes after = b.SaveToBytes();
    EXPECT_EQ(after[28], 24);
    Surface s = Decode(after);
    EXPECT_EQ(s.Row(0)[0], 0xFFFFFFFFu);
    EXPECT_EQ(s.Row(0)[1], kColors[2]);
}

TEST(Bitmap, InvalidDataRaisesTheImageErrorAndKeepsTheBitmap) {
    TBitmap b;
    b.SetSize(2, 2);
    Bytes junk = {'B', 'M', 1, 2, 3};
    EXPECT_THROW(b.LoadFromBytes(junk.data(), junk.size()), EInvalidGraphic);
    EXPECT_EQ(b.Width(), 2);

    // Icons and metafiles are refused by their extension, whatever they hold.
    const std::string dir = testing::TempDir();
    Bytes good = MakeBmp(S(40, 24));
    for (const char* name : {"a.ico", "b.EMF", "c.wmf"}) {
        std::ofstream(dir + name, std::ios::binary)
            .write(reinterpret_cast<const char*>(good.data()), std::streamsize(good.size()));
        TPicture p;
        try {
            p.LoadFromFile(dir + name);
            ADD_FAILURE() << name;
        } catch (const EInvalidGraphic& e) {
            EXPECT_STREQ(e.what(), SInvalidBitmap);
        }
    }
    TPicture p;
    std::ofstream(dir + "d.dib", std::ios::binary)
        .write(reinterpret_cast<const char*>(good.data()), std::streamsize(good.size()));
    p.LoadFromFile(dir + "d.dib");
    EXPECT_EQ(p.Width(), 3);
    EXPECT_THROW(p.LoadFromFile(dir + "missing.bmp"), std::runtime_error);
}

TEST(Bitmap, SaveToFileAndLoadBack) {
    TBitmap b;
    b.SetSize(4, 3);
    b.Canvas().Brush.Color = clRed;
    b.Canvas().FillRect({1, 1, 3, 2});
    const std::string path = testing::TempDir() + "saved.bmp";
    b.SaveToFile(path);
    TBitmap c;
    c.LoadFromFile(path);
    EXPECT_EQ(c.Pixels().pixels, b.Pixels().pixels);
    EXPECT_EQ(c.Canvas().Pixel(1, 1), clRed);
    EXPECT_EQ(c.Canvas().Pixel(0, 0), clWhite); // new bitmaps are white
}

TEST(ImageList, StripsMasksAndMaskedDrawing) {
    TBitmap strip;
    strip.SetSize(6, 2);
    strip.Canvas().Brush.Color = clFuchsia;
    strip.Canvas().FillRect({0, 0, 6, 2});
    strip.Canvas().SetPixel(0, 0, clRed);  // image 0
    strip.Canvas().SetPixel(4, 1, clBlue); // image 2
    TImageList list(2, 2);
    EXPECT_EQ(list.AddMasked(strip, clFuchsia), 0);
    EXPECT_EQ(list.Count(), 3);

    TBitmap target;
    target.SetSize(4, 2);
    target.Canvas().Brush.Color = clLime;
    target.Canvas().FillRect({0, 0, 4, 2});
    list.Draw(target.Canvas(), 0, 0, 0);
    list.Draw(target.Canvas(), 2, 0, 2);
    EXPECT_EQ(target.Canvas().Pixel(0, 0), clRed);
    EXPECT_EQ(target.Canvas().Pixel(1, 0), clLime);
    EXPECT_EQ(target.Canvas().Pixel(2, 1), clBlue);
    EXPECT_EQ(target.Canvas().Pixel(3, 1), clLime);

    TBitmap one;
    list.GetBitmap(2, one);
    EXPECT_EQ(one.Width(), 2);
    EXPECT_EQ(one.Canvas().Pixel(0, 1), clBlue);

    // Without a mask every pixel is drawn.
    EXPECT_EQ(list.Add(strip), 3);
    list.Draw(target.Canvas(), 0, 0, 3);
    EXPECT_EQ(target.Canvas().Pixel(1, 0), clFuchsia);
}
