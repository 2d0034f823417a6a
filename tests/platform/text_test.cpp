#include "gdi_fixture.h"

#include "platform/gdi/canvas.h"
#include "platform/gdi/fonts.h"
#include "platform/gdi/graphics.h"
#include "platform/gdi/textcodec.h"

#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <cmath>
#include <string>

using namespace platform;
using gdi_test::Dc;

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFFFFu, kBlack = 0xFF000000u;

struct FontScope {
    HDC dc;
    HFONT font, old;
    FontScope(HDC d, const char* face, int height, int escapement = 0, int weight = FW_NORMAL)
        : dc(d),
          font(CreateFont(height, 0, escapement, escapement, weight, 0, 0, 0, 0, 0, 0, 0, 0, face)),
          old(SelectObject(d, font)) {}
    ~FontScope() {
        SelectObject(dc, old);
        DeleteObject(font);
    }
};

// A white surface with black text on a transparent background.
struct TextDc : Dc {
    FontScope font;
    TextDc(int w, int h, const char* face = "Arial", int height = -11, int escapement = 0)
        : Dc(w, h, kWhite), font(dc, face, height, escapement) {
        SetBkMode(dc, TRANSPARENT);
    }
    // Bounds of the non-white pixels.
    TRect Ink() const {
        TRect r{surface->width, surface->height, -1, -1};
        for (int y = 0; y < surface->height; ++y)
            for (int x = 0; x < surface->width; ++x)
                if (At(x, y) != kWhite) {
                    r.Left = std::min(r.Left, x);
                    r.Top = std::min(r.Top, y);
                    r.Right = std::max(r.Right, x + 1);
                    r.Bottom = std::max(r.Bottom, y + 1);
                }
        return r;
    }
};

std::vector<std::uint32_t> DrawnText(std::string_view text, unsigned format) {
    TextDc s(120, 20);
    TRect r{0, 0, 120, 20};
    DrawText(s.dc, text, &r, format);
    return s.Snapshot();
}

} // namespace

TEST(TextMetrics, ArialEightPointFollowsTheFaceFile) {
    const int ppem = -MulDiv(8, 96, 72) * -1;
    ASSERT_EQ(ppem, 11);
    ResolvedFont rf = ResolveFont("Arial", false, false);
    EXPECT_EQ(rf.family, "Liberation Sans");

    FT_Library lib;
    ASSERT_EQ(FT_Init_FreeType(&lib), 0);
    FT_Face face;
    ASSERT_EQ(FT_New_Face(lib, rf.file.c_str(), rf.index, &face), 0);
    FT_Set_Pixel_Sizes(face, 0, FT_UInt(ppem));
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    ASSERT_NE(os2, nullptr);
    const double scale = double(ppem) / face->units_per_EM;
    const int ascent = int(std::ceil(os2->usWinAscent * scale));
    const int descent = int(std::ceil(os2->usWinDescent * scale));
    const std::string text = "Mixer: Volume 100%, Pan L64";
    int width = 0;
    for (char c : text) {
        ASSERT_EQ(FT_Load_Char(face, FT_ULong(c), FT_LOAD_TARGET_MONO), 0);
        width += int((face->glyph->advance.x + 32) >> 6);
    }
    FT_Done_Face(face);
    FT_Done_FreeType(lib);

    TextDc s(10, 10, "Arial", -MulDiv(8, 96, 72));
    TEXTMETRIC tm;
    ASSERT_TRUE(GetTextMetrics(s.dc, &tm));
    EXPECT_EQ(tm.tmAscent, ascent);
    EXPECT_EQ(tm.tmDescent, descent);
    EXPECT_EQ(tm.tmHeight, ascent + descent);
    EXPECT_EQ(tm.tmInternalLeading, tm.tmHeight - ppem);
    EXPECT_GT(tm.tmAveCharWidth, 0);
    TSize size;
    ASSERT_TRUE(GetTextExtentPoint32(s.dc, text, &size));
    EXPECT_EQ(size.cx, width);
    EXPECT_EQ(size.cy, tm.tmHeight);
}

TEST(TextMetrics, SubstitutedFacesAndSizes) {
    struct Case {
        const char* face;
        int height;
        const char* family;
    };
    for (Case c :
         {Case{"Small Fonts", -9, "Liberation Sans"},
          Case{"Times New Roman", -12, "Liberation Serif"}, Case{"Courier", -12, "Liberation Mono"},
          Case{"", -12, "Liberation Sans"}, Case{"No Such Face 42", -12, "Liberation Sans"}}) {
        TextDc s(4, 4, c.face, c.height);
        EXPECT_EQ(GetFontFamily(s.dc), c.family) << c.face;
    }
    // A positive height is the cell height.
    TextDc cell(4, 4, "Arial", 14);
    TEXTMETRIC tm;
    GetTextMetrics(cell.dc, &tm);
    EXPECT_NEAR(tm.tmHeight, 14, 1);
    // A bold face is a face of its own.
    Dc s(4, 4);
    FontScope bold(s.dc, "Arial", -11, 0, FW_BOLD);
    TSize regular, heavy;
    TextDc plain(4, 4);
    GetTextExtentPoint32(plain.dc, "Volume", &regular);
    GetTextExtentPoint32(s.dc, "Volume", &heavy);
    EXPECT_GT(heavy.cx, regular.cx);
}

TEST(TextDraw, OnlyTextAndBackgroundColours) {
    for (int mode : {TRANSPARENT, OPAQUE}) {
        TextDc s(120, 20, "Times New Roman", -15);
        SetBkMode(s.dc, mode);
        SetBkColor(s.dc, RGB(0, 0, 255));
        SetTextColor(s.dc, RGB(255, 0, 0));
        TextOut(s.dc, 2, 2, "Quality & Wiggle 123");
        int text = 0;
        for (std::uint32_t p : s.Snapshot()) {
            EXPECT_TRUE(p == kWhite || p == 0xFFFF0000u || p == 0xFF0000FFu) << std::hex << p;
            text += p == 0xFFFF0000u;
        }
        EXPECT_GT(text, 40);
        EXPECT_EQ(s.Count(0xFF0000FFu) > 0, mode == OPAQUE);
    }
}

TEST(TextDraw, DrawTextAlignsInItsRectangle) {
    const TRect r{10, 5, 110, 35};
    TSize size;
    {
        TextDc probe(4, 4);
        GetTextExtentPoint32(probe.dc, "Pan", &size);
    }
    struct Case {
        unsigned format;
        int left; // where the text's cell starts
    };
    for (Case c : {Case{DT_LEFT, 10}, Case{DT_RIGHT, 110 - size.cx},
                   Case{DT_CENTER, 10 + (100 - size.cx) / 2}}) {
        TextDc s(120, 40);
        TRect rc = r;
        DrawText(s.dc, "Pan", &rc, c.format | DT_SINGLELINE | DT_VCENTER);
        TRect ink = s.Ink();
        EXPECT_GE(ink.Left, c.left) << c.format;
        EXPECT_LE(ink.Right, c.left + size.cx) << c.format;
        EXPECT_LE(ink.Left - c.left, 2) << c.format;
        // Vertically centred: the cell starts at top + (height - cell) / 2.
        const int top = 5 + (30 - size.cy) / 2;
        EXPECT_GE(ink.Top, top);
        EXPECT_LE(ink.Bottom, top + size.cy);
    }
}

TEST(TextDraw, LinesWordBreakAndCalcRect) {
    TextDc s(200, 100);
    TEXTMETRIC tm;
    GetTextMetrics(s.dc, &tm);
    const int h = tm.tmHeight;
    struct Case {
        const char* text;
        unsigned format;
        int lines;
    };
    for (Case c : {Case{"one\r\ntwo\nthree\rfour", 0, 4}, Case{"one\r\ntwo", DT_SINGLELINE, 1},
                   Case{"a\n\nb", 0, 3}, Case{"the quick brown fox jumps over", DT_WORDBREAK, 3},
                   Case{"unbreakablewordthatiswide", DT_WORDBREAK, 1}}) {
        TRect r{0, 0, 70, 0};
        EXPECT_EQ(DrawText(s.dc, c.text, &r, c.format | DT_CALCRECT), c.lines * h) << c.text;
        EXPECT_EQ(r.Bottom, c.lines * h) << c.text;
        EXPECT_EQ(s.Count(kWhite), 200 * 100) << "CALCRECT draws nothing";
    }
    // The widest line gives the width.
    TRect r{5, 5, 500, 5};
    DrawText(s.dc, "ab\nabcdef\nabc", &r, DT_CALCRECT);
    TSize widest;
    GetTextExtentPoint32(s.dc, "abcdef", &widest);
    EXPECT_EQ(r.Right, 5 + widest.cx);

    // Word-broken lines each fit, and the text is clipped to the rectangle.
    TRect box{10, 10, 80, 10 + 2 * h};
    DrawText(s.dc, "the quick brown fox jumps over", &box, DT_WORDBREAK);
    TRect ink = s.Ink();
    EXPECT_GE(ink.Left, 10);
    EXPECT_LE(ink.Right, 80);
    EXPECT_LE(ink.Bottom, 10 + 2 * h);
    EXPECT_GT(ink.Bottom, 10 + h); // a second line was drawn

    // Tabs expand to stops of eight average characters.
    TRect t1{0, 0, 500, 0}, t2 = t1;
    DrawText(s.dc, "a\tb", &t1, DT_CALCRECT | DT_EXPANDTABS);
    TSize b;
    GetTextExtentPoint32(s.dc, "b", &b);
    EXPECT_EQ(t1.Right, 8 * tm.tmAveCharWidth + b.cx);
    DrawText(s.dc, "a\tb", &t2, DT_CALCRECT);
    EXPECT_LT(t2.Right, t1.Right);
}

TEST(TextDraw, PrefixesUnderlineAndDoubleAmpersand) {
    const auto plain = DrawnText("File", DT_SINGLELINE);
    const auto prefixed = DrawnText("&File", DT_SINGLELINE);
    TextDc s(120, 20);
    TEXTMETRIC tm;
    GetTextMetrics(s.dc, &tm);
    TSize f;
    GetTextExtentPoint32(s.dc, "F", &f);
    // The only extra pixels: one row under the F, below the baseline.
    int extra = 0;
    for (int i = 0; i < 120 * 20; ++i) {
        if (plain[std::size_t(i)] == prefixed[std::size_t(i)]) continue;
        ++extra;
        EXPECT_LT(i % 120, f.cx);
        EXPECT_GE(i / 120, tm.tmAscent);
    }
    EXPECT_GT(extra, 0);
    EXPECT_LE(extra, 2 * f.cx);
    EXPECT_EQ(DrawnText("&&", DT_SINGLELINE), DrawnText("&", DT_SINGLELINE | DT_NOPREFIX));
    EXPECT_NE(DrawnText("&&", DT_SINGLELINE | DT_NOPREFIX), DrawnText("&", DT_SINGLELINE));
}

TEST(TextDraw, InvalidUtf8IsWindows1252) {
    EXPECT_EQ(DecodeDisplayText("\x95"), U"\u2022");
    EXPECT_EQ(DecodeDisplayText("caf\xE9 \x80"), U"caf\u00E9 \u20AC");
    EXPECT_EQ(DecodeDisplayText("caf\xC3\xA9"), U"caf\u00E9");
    EXPECT_EQ(DecodeDisplayText("\xC0\xAF"), U"\u00C0\u00AF");           // overlong: not UTF-8
    EXPECT_EQ(DecodeDisplayText("\xED\xA0\x80"), U"\u00ED\u00A0\u20AC"); // a surrogate
    // Caret positions count characters.
    EXPECT_EQ(LeadingChars("P\xC3\xA9\xE2\x80\xA2x", 3), "P\xC3\xA9\xE2\x80\xA2");
    EXPECT_EQ(LeadingChars("caf\xE9x", 4), "caf\xE9");
    EXPECT_EQ(LeadingChars("ab", 5), "ab");
    EXPECT_EQ(DrawnText("\x95", DT_SINGLELINE), DrawnText("\xE2\x80\xA2", DT_SINGLELINE));
    EXPECT_EQ(DrawnText("caf\xE9", DT_SINGLELINE), DrawnText("caf\xC3\xA9", DT_SINGLELINE));
    EXPECT_NE(DrawnText("\x95", DT_SINGLELINE), DrawnText("", DT_SINGLELINE));
}

TEST(TextDraw, RotatedLabelRunsUpwards) {
    TextDc s(40, 120, "Arial", -11, 900);
    TextOut(s.dc, 5, 110, "Master Volume");
    const TRect ink = s.Ink();
    TSize size;
    GetTextExtentPoint32(s.dc, "Master Volume", &size);
    EXPECT_NEAR(ink.Bottom - ink.Top, size.cx, 3);
    EXPECT_LE(ink.Right - ink.Left, size.cy);
    EXPECT_LE(ink.Bottom, 111);
    EXPECT_GE(ink.Left, 5);
}

TEST(TextDraw, ExtTextOutClipsAndCanvasText) {
    TextDc s(60, 20);
    TRect clip{10, 0, 30, 20};
    ExtTextOut(s.dc, 0, 2, ETO_CLIPPED, &clip, "WWWWWWWWWWWW");
    TRect ink = s.Ink();
    EXPECT_GE(ink.Left, 10);
    EXPECT_LE(ink.Right, 30);

    TBitmap b;
    b.SetSize(80, 20);
    TCanvas& c = b.Canvas();
    c.Font.Name = "Arial";
    c.Font.SetSize(8);
    EXPECT_EQ(c.Font.Height, -11);
    EXPECT_EQ(c.Font.Size(), 8);
    c.Font.Color = clBlue;
    c.Brush.Color = clYellow;
    c.TextOut(1, 1, "Solo");
    TEXTMETRIC tm;
    GetTextMetrics(c.Handle(), &tm);
    EXPECT_EQ(c.TextHeight("Solo"), tm.tmHeight);
    EXPECT_EQ(c.PenPos, (TPoint{1 + c.TextWidth("Solo"), 1}));
    EXPECT_EQ(c.Pixel(1, 1), clYellow); // opaque in the brush colour
    int blue = 0;
    for (int x = 0; x < 40; ++x)
        for (int y = 0; y < 20; ++y)
            blue += c.Pixel(x, y) == clBlue;
    EXPECT_GT(blue, 10);
    c.Brush.Style = bsClear;
    c.TextRect({50, 0, 80, 20}, 50, 1, "M");
    EXPECT_EQ(c.Pixel(79, 19), clWhite);
}
