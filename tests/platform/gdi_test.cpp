#include "gdi_fixture.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/raster.h"
#include "platform/gdi/syscolors.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

using namespace platform;
using gdi_test::Dc;

namespace {

constexpr std::uint32_t kBlack = 0xFF000000u, kWhite = 0xFFFFFFFFu, kRed = 0xFFFF0000u;

struct PenScope {
    HDC dc;
    HPEN pen, old;
    PenScope(HDC d, int style, int width, COLORREF c)
        : dc(d), pen(CreatePen(style, width, c)), old(SelectObject(d, pen)) {}
    ~PenScope() {
        SelectObject(dc, old);
        DeleteObject(pen);
    }
};

std::vector<std::string> Pixels(std::initializer_list<std::pair<int, int>> xy) {
    std::vector<std::string> out;
    for (auto [x, y] : xy)
        out.push_back(std::to_string(x) + "," + std::to_string(y));
    return out;
}

} // namespace

TEST(GdiRaster, BinaryModesFollowTheirTruthTable) {
    // Mode m: bit (P << 1 | D) of m - 1 is the result for those input bits.
    const std::uint32_t p = 0xFF00FF00u ^ 0x00F0F0F0u, d = 0xFF0F0F0Fu;
    for (int m = R2_BLACK; m <= R2_WHITE; ++m) {
        std::uint32_t want = 0;
        for (int bit = 0; bit < 24; ++bit) {
            int pb = (p >> bit) & 1, db = (d >> bit) & 1;
            want |= std::uint32_t(((m - 1) >> (pb << 1 | db)) & 1) << bit;
        }
        EXPECT_EQ(ApplyRop2(m, p, d), want | 0xFF000000u) << "mode " << m;
        std::uint32_t span[3] = {d, d, d};
        Rop2Span(m)(span, 3, p);
        EXPECT_EQ(span[2], want | 0xFF000000u) << "mode " << m;
    }
}

TEST(GdiLines, OmitTheirLastPixel) {
    struct Case {
        int x0, y0, x1, y1;
    };
    for (Case c : {Case{1, 1, 8, 1}, Case{8, 1, 1, 1}, Case{2, 0, 2, 9}, Case{2, 9, 2, 0},
                   Case{0, 0, 7, 7}, Case{7, 7, 0, 0}, Case{0, 9, 9, 5}, Case{1, 2, 4, 9}}) {
        Dc s(10, 10);
        PenScope pen(s.dc, PS_SOLID, 1, RGB(255, 255, 255));
        MoveToEx(s.dc, c.x0, c.y0, nullptr);
        LineTo(s.dc, c.x1, c.y1);
        SCOPED_TRACE(testing::Message() << c.x0 << "," << c.y0 << " to " << c.x1 << "," << c.y1);
        EXPECT_EQ(s.At(c.x0, c.y0), kWhite);
        EXPECT_EQ(s.At(c.x1, c.y1), kBlack);
        EXPECT_EQ(s.Count(kWhite), std::max(std::abs(c.x1 - c.x0), std::abs(c.y1 - c.y0)));
        TPoint pos;
        MoveToEx(s.dc, 0, 0, &pos);
        EXPECT_EQ(pos, (TPoint{c.x1, c.y1}));
    }
}

TEST(GdiLines, DottedPatternRestartsWithEveryPrimitive) {
    Dc s(12, 3);
    PenScope pen(s.dc, PS_DOT, 1, RGB(255, 255, 255));
    SetBkMode(s.dc, TRANSPARENT);
    MoveToEx(s.dc, 0, 0, nullptr);
    LineTo(s.dc, 5, 0);  // 0, 2, 4
    LineTo(s.dc, 10, 0); // starts again at 5: 5, 7, 9
    EXPECT_EQ(s.Changed(kBlack), Pixels({{0, 0}, {2, 0}, {4, 0}, {5, 0}, {7, 0}, {9, 0}}));

    // With an opaque background the gaps take the background colour.
    SetBkMode(s.dc, OPAQUE);
    SetBkColor(s.dc, RGB(255, 0, 0));
    MoveToEx(s.dc, 0, 2, nullptr);
    LineTo(s.dc, 4, 2);
    EXPECT_EQ(s.At(0, 2), kWhite);
    EXPECT_EQ(s.At(1, 2), kRed);
    EXPECT_EQ(s.At(2, 2), kWhite);
    EXPECT_EQ(s.At(3, 2), kRed);
    EXPECT_EQ(s.At(4, 2), kBlack);
}

TEST(GdiRectangle, OutlineInsideTheBoundsInAnyCornerOrder) {
    const std::vector<std::string> want = [] {
        Dc ref(8, 8);
        std::vector<std::string> v;
        for (int y = 1; y < 6; ++y)
            for (int x = 2; x < 7; ++x)
                if (x == 2 || x == 6 || y == 1 || y == 5)
                    v.push_back(std::to_string(x) + "," + std::to_string(y));
        return v;
    }();
    struct Corners {
        int l, t, r, b;
    };
    for (Corners c :
         {Corners{2, 1, 7, 6}, Corners{7, 6, 2, 1}, Corners{7, 1, 2, 6}, Corners{2, 6, 7, 1}}) {
        Dc s(8, 8);
        PenScope pen(s.dc, PS_SOLID, 1, RGB(255, 255, 255));
        SelectObject(s.dc, GetStockObject(NULL_BRUSH));
        Rectangle(s.dc, c.l, c.t, c.r, c.b);
        EXPECT_EQ(s.Changed(kBlack), want) << c.l << "," << c.t << "," << c.r << "," << c.b;
    }
    // The brush fills exactly the inside of the outline.
    Dc s(8, 8);
    PenScope pen(s.dc, PS_SOLID, 1, RGB(255, 255, 255));
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    HBRUSH oldBrush = SelectObject(s.dc, red);
    Rectangle(s.dc, 2, 1, 7, 6);
    EXPECT_EQ(s.Count(kRed), 9);
    EXPECT_EQ(s.At(3, 2), kRed);
    EXPECT_EQ(s.At(5, 4), kRed);
    EXPECT_EQ(SelectObject(s.dc, oldBrush), red);
    DeleteObject(red);
}

TEST(GdiXor, DrawnTwiceRestoresTheSurface) {
    struct Case {
        const char* name;
        std::function<void(HDC dc, HDC other)> draw;
    };
    const std::vector<Case> cases = {
        {"line",
         [](HDC dc, HDC) {
             PenScope pen(dc, PS_SOLID, 1, RGB(255, 255, 255));
             SetROP2(dc, R2_XORPEN);
             MoveToEx(dc, 3, 30, nullptr);
             LineTo(dc, 35, 4);
         }},
        {"wide polyline",
         [](HDC dc, HDC) {
             PenScope pen(dc, PS_SOLID, 2, RGB(255, 0, 0));
             SetROP2(dc, R2_XORPEN);
             TPoint pts[] = {{2, 2}, {30, 9}, {10, 30}, {2, 2}};
             Polyline(dc, pts, 4);
         }},
        {"dotted rectangle",
         [](HDC dc, HDC) {
             PenScope pen(dc, PS_DOT, 1, RGB(255, 255, 255));
             SelectObject(dc, GetStockObject(NULL_BRUSH));
             SetBkMode(dc, TRANSPARENT);
             SetROP2(dc, R2_XORPEN);
             Rectangle(dc, 30, 25, 4, 3);
         }},
        {"two-pixel rectangle with a brush",
         [](HDC dc, HDC) {
             PenScope pen(dc, PS_SOLID, 2, RGB(255, 0, 0));
             SetROP2(dc, R2_XORPEN);
             Rectangle(dc, 5, 5, 20, 12);
         }},
        {"ellipse",
         [](HDC dc, HDC) {
             PenScope pen(dc, PS_SOLID, 1, RGB(0, 255, 0));
             SetROP2(dc, R2_XORPEN);
             Ellipse(dc, 3, 4, 33, 21);
         }},
        {"focus rectangle",
         [](HDC dc, HDC) {
             TRect r{4, 4, 20, 15};
             DrawFocusRect(dc, &r);
         }},
        {"SRCINVERT blit",
         [](HDC dc, HDC other) { BitBlt(dc, 5, 7, 20, 20, other, 3, 1, SRCINVERT); }},
        {"DSTINVERT", [](HDC dc, HDC) { PatBlt(dc, 30, 30, -20, -10, DSTINVERT); }},
    };
    Dc src(40, 40);
    src.Noise();
    for (const Case& c : cases) {
        Dc s(40, 40);
        s.Noise();
        const auto before = s.Snapshot();
        c.draw(s.dc, src.dc);
        EXPECT_NE(s.Snapshot(), before) << c.name;
        c.draw(s.dc, src.dc);
        EXPECT_EQ(s.Snapshot(), before) << c.name;
    }
}

TEST(GdiXor, ClearPenBandCoversOneLessAndRestores) {
    Dc s(10, 10);
    SelectObject(s.dc, GetStockObject(NULL_PEN));
    SelectObject(s.dc, GetStockObject(WHITE_BRUSH));
    SetROP2(s.dc, R2_XORPEN);
    Rectangle(s.dc, 2, 3, 6, 8);
    std::vector<std::string> want;
    for (int y = 3; y < 7; ++y)
        for (int x = 2; x < 5; ++x)
            want.push_back(std::to_string(x) + "," + std::to_string(y));
    EXPECT_EQ(s.Changed(kBlack), want);
    Rectangle(s.dc, 2, 3, 6, 8);
    EXPECT_EQ(s.Count(kBlack), 100);
}

TEST(GdiFill, FillRectFrameRectAndPatBltIgnoreThePenMode) {
    Dc s(10, 10, kWhite);
    SetROP2(s.dc, R2_XORPEN);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    TRect r{1, 1, 4, 4};
    FillRect(s.dc, &r, red);
    FillRect(s.dc, &r, red);
    EXPECT_EQ(s.Count(kRed), 9);
    TRect f{5, 5, 9, 9};
    FrameRect(s.dc, &f, red);
    EXPECT_EQ(s.Count(kRed), 9 + 12);
    SelectObject(s.dc, red);
    PatBlt(s.dc, 0, 9, 10, 1, PATCOPY);
    EXPECT_EQ(s.Count(kRed), 9 + 12 + 10);
    // A system colour index + 1 names its brush.
    TRect one{0, 0, 1, 1};
    FillRect(s.dc, &one, HBRUSH(COLOR_BTNSHADOW + 1));
    EXPECT_EQ(s.At(0, 0), 0xFF808080u);
    SelectObject(s.dc, GetStockObject(WHITE_BRUSH));
    DeleteObject(red);
}

TEST(GdiClip, ThreeRectangleClipLimitsLinesAndBlits) {
    const TRect clips[] = {{0, 0, 4, 10}, {6, 0, 8, 3}, {6, 5, 12, 10}};
    Region region;
    for (const TRect& c : clips)
        region.Add(c);
    auto inside = [&](int x, int y) { return region.Contains(x, y); };

    Dc s(12, 10);
    SetPaintRegion(s.dc, &region);
    PenScope pen(s.dc, PS_SOLID, 1, RGB(255, 255, 255));
    for (int y = 0; y < 10; ++y) {
        MoveToEx(s.dc, 0, y, nullptr);
        LineTo(s.dc, 12, y);
    }
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x)
            EXPECT_EQ(s.At(x, y) == kWhite, inside(x, y)) << x << "," << y;

    Dc red(12, 10, kRed);
    s.Fill(kBlack);
    BitBlt(s.dc, 0, 0, 12, 10, red.dc, 0, 0, SRCCOPY);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x)
            EXPECT_EQ(s.At(x, y) == kRed, inside(x, y)) << x << "," << y;

    // The program's clip rectangle narrows the paint region further; GetClipBox bounds it.
    IntersectClipRect(s.dc, 2, 0, 7, 10);
    TRect box;
    EXPECT_EQ(GetClipBox(s.dc, &box), COMPLEXREGION);
    EXPECT_EQ(box, (TRect{2, 0, 7, 10}));
    SelectClipRgn(s.dc, 0);
    SetPaintRegion(s.dc, nullptr);
    EXPECT_EQ(GetClipBox(s.dc, &box), SIMPLEREGION);
    EXPECT_EQ(box, (TRect{0, 0, 12, 10}));
}

TEST(GdiBlit, OverlappingBlitInOneSurfaceCopiesAsMemmove) {
    struct Move {
        int dx, dy;
    };
    for (Move m : {Move{3, 0}, Move{-3, 0}, Move{0, 2}, Move{0, -2}, Move{2, 2}, Move{-2, -1}}) {
        Dc s(16, 12);
        s.Noise();
        const auto before = s.Snapshot();
        BitBlt(s.dc, 4 + m.dx, 3 + m.dy, 8, 6, s.dc, 4, 3, SRCCOPY);
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 16; ++x) {
                int sx = x - m.dx, sy = y - m.dy;
                bool moved = x >= 4 + m.dx && x < 12 + m.dx && y >= 3 + m.dy && y < 9 + m.dy;
                std::uint32_t want =
                    moved ? before[std::size_t(sy * 16 + sx)] : before[std::size_t(y * 16 + x)];
                ASSERT_EQ(s.At(x, y), want) << m.dx << "," << m.dy << " at " << x << "," << y;
            }
    }
}

TEST(GdiBlit, SourceRectangleIsClippedToTheSource) {
    Dc src(4, 4, kRed);
    Dc s(10, 10);
    BitBlt(s.dc, 2, 2, 8, 8, src.dc, -1, -1, SRCCOPY);
    // Only the 4 x 4 source lands, one pixel in from the requested corner.
    std::vector<std::string> want;
    for (int y = 3; y < 7; ++y)
        for (int x = 3; x < 7; ++x)
            want.push_back(std::to_string(x) + "," + std::to_string(y));
    EXPECT_EQ(s.Changed(kBlack), want);
}

TEST(GdiBlit, RasterOperationsCombineSourceAndDestination) {
    const std::uint32_t S = 0xFF0F3C55u, D = 0xFF33AA0Fu;
    struct Case {
        std::uint32_t rop, want;
    };
    for (Case c : {Case{SRCCOPY, S}, Case{SRCAND, S & D}, Case{SRCPAINT, S | D},
                   Case{SRCINVERT, 0xFF000000u | (S ^ D)}, Case{SRCERASE, 0xFF000000u | (S & ~D)},
                   Case{NOTSRCCOPY, 0xFF000000u | ~S}}) {
        Dc src(2, 2, S), s(2, 2, D);
        BitBlt(s.dc, 0, 0, 2, 2, src.dc, 0, 0, c.rop);
        EXPECT_EQ(s.At(1, 1), c.want) << std::hex << c.rop;
    }
}

TEST(GdiBlit, TransparentCopyLeavesTheKeyColourOut) {
    Dc src(4, 1, kRed);
    src.surface->Row(0)[1] = 0xFF00FF00u;
    src.surface->Row(0)[2] = 0xFF00FF00u;
    Dc s(4, 1, kWhite);
    TransparentBlt(s.dc, 0, 0, 4, 1, src.dc, 0, 0, 4, 1, RGB(0, 255, 0));
    EXPECT_EQ(s.Snapshot(), (std::vector<std::uint32_t>{kRed, kWhite, kWhite, kRed}));
}

TEST(GdiOrigin, ShiftsAFillExactly) {
    Dc s(10, 10);
    TPoint old;
    SetWindowOrgEx(s.dc, 100, -3, &old);
    EXPECT_EQ(old, (TPoint{0, 0}));
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    TRect r{101, -3, 103, -1};
    FillRect(s.dc, &r, red);
    EXPECT_EQ(s.Changed(kBlack), Pixels({{1, 0}, {2, 0}, {1, 1}, {2, 1}}));
    EXPECT_EQ(GetPixel(s.dc, 101, -3), RGB(255, 0, 0));
    TRect box;
    GetClipBox(s.dc, &box);
    EXPECT_EQ(box, (TRect{100, -3, 110, 7}));
    DeleteObject(red);
}

TEST(GdiEllipse, SymmetricInsideItsBounds) {
    for (TRect r : {TRect{1, 1, 18, 12}, TRect{2, 3, 12, 13}, TRect{0, 0, 3, 2}}) {
        Dc s(20, 14);
        PenScope pen(s.dc, PS_SOLID, 1, RGB(255, 255, 255));
        HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
        SelectObject(s.dc, red);
        Ellipse(s.dc, r.Left, r.Top, r.Right, r.Bottom);
        for (int y = 0; y < 14; ++y)
            for (int x = 0; x < 20; ++x) {
                bool in = x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom;
                if (!in) {
                    EXPECT_EQ(s.At(x, y), kBlack) << x << "," << y;
                    continue;
                }
                int mx = r.Left + r.Right - 1 - x, my = r.Top + r.Bottom - 1 - y;
                EXPECT_EQ(s.At(x, y), s.At(mx, y)) << x << "," << y;
                EXPECT_EQ(s.At(x, y), s.At(x, my)) << x << "," << y;
            }
        // Each edge of the bounds is touched.
        EXPECT_EQ(s.At((r.Left + r.Right) / 2, r.Top), kWhite);
        EXPECT_EQ(s.At(r.Left, (r.Top + r.Bottom) / 2), kWhite);
        SelectObject(s.dc, GetStockObject(WHITE_BRUSH));
        DeleteObject(red);
    }
}

TEST(GdiObjects, SelectionDeletionAndTheScreen) {
    HDC screen = GetDC(0);
    EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSX), 96);
    EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSY), 96);
    EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 32);
    // Drawing on the screen has no effect and does not fail.
    EXPECT_TRUE(Rectangle(screen, 0, 0, 10, 10));
    EXPECT_EQ(GetPixel(screen, 1, 1), CLR_INVALID);

    Dc s(4, 4);
    HPEN red = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    HPEN old = SelectObject(s.dc, red);
    EXPECT_EQ(old, GetStockObject(BLACK_PEN));
    // A deleted pen keeps drawing until it is deselected.
    EXPECT_TRUE(DeleteObject(red));
    MoveToEx(s.dc, 0, 0, nullptr);
    LineTo(s.dc, 2, 0);
    EXPECT_EQ(s.At(1, 0), kRed);
    EXPECT_EQ(SelectObject(s.dc, old), red);
    EXPECT_EQ(SelectObject(s.dc, red), 0u);
    EXPECT_EQ(GetObjectType(red), 0);
    EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_PEN))); // stock objects stay
    EXPECT_EQ(GetObjectType(GetStockObject(BLACK_PEN)), OBJ_PEN);
    EXPECT_FALSE(DeleteDC(screen));
}

TEST(GdiColors, SystemColoursResolveWhereverAColourIsAccepted) {
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(0xC0, 0xC0, 0xC0));
    EXPECT_EQ(GetSysColor(COLOR_BTNSHADOW), RGB(0x80, 0x80, 0x80));
    EXPECT_EQ(GetSysColor(COLOR_BTNHIGHLIGHT), RGB(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(GetSysColor(COLOR_GRAYTEXT), RGB(0x80, 0x80, 0x80));
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), RGB(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(GetSysColor(COLOR_WINDOWTEXT), 0u);
    EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), RGB(0, 0, 0x80));
    EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHTTEXT), RGB(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(ColorToRGB(TColor(0x8000000F)), RGB(0xC0, 0xC0, 0xC0));
    Dc s(2, 1);
    SetPixel(s.dc, 0, 0, 0x80000010);
    EXPECT_EQ(s.At(0, 0), 0xFF808080u);
}
