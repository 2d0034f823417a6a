// Pixels of the free drawing routines.

#include "gui/glib.h"

#include "platform/gdi/gdi.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <future>
#include <set>
#include <utility>

using namespace platform;

namespace {

constexpr TColor kBack = TColor(RGB(1, 2, 3));

void Fill(TBitmap& b, int w, int h, TColor c = kBack) {
    b.SetSize(w, h);
    b.Canvas().Brush.Style = bsSolid;
    b.Canvas().Brush.Color = c;
    b.Canvas().FillRect(TRect{0, 0, w, h});
}

// The pixels that differ from the background.
std::set<std::pair<int, int>> Painted(TBitmap& b) {
    std::set<std::pair<int, int>> out;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            if (b.Canvas().Pixel(x, y) != kBack) out.insert({x, y});
    return out;
}

} // namespace

TEST(Glib, FrameDrawsTopLeftThenBottomRightInsideTheRect) {
    TBitmap b;
    Fill(b, 12, 12);
    DrawFrame3D(b.Canvas(), TRect{0, 0, 10, 10}, clRed, clBlue);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x) {
            TColor want = kBack;
            if ((x == 0 && y <= 9) || (y == 0 && x <= 8)) want = clRed;
            if ((x == 9 && y <= 8) || (y == 9 && x >= 1 && x <= 9)) want = clBlue;
            EXPECT_EQ(b.Canvas().Pixel(x, y), want) << x << "," << y;
        }
}

TEST(Glib, GradientStepsStopShortOfTheSecondColourAndRoundHalvesToEven) {
    TBitmap b;
    Fill(b, 6, 6);
    DrawGradient(b.Canvas(), clBlack, clWhite, 0, TRect{0, 0, 5, 3});
    const int grey[4] = {0, 64, 128, 191};
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(b.Canvas().Pixel(x, y), TColor(RGB(grey[y], grey[y], grey[y])));
        EXPECT_EQ(b.Canvas().Pixel(5, y), kBack) << "the line's end point is not drawn";
    }
    EXPECT_EQ(b.Canvas().Pixel(0, 4), kBack);

    // Any other direction draws columns, Left to Right inclusive, each Top to Bottom - 1.
    Fill(b, 6, 6);
    DrawGradient(b.Canvas(), TColor(RGB(200, 0, 0)), TColor(RGB(0, 0, 100)), 7, TRect{1, 1, 2, 4});
    EXPECT_EQ(b.Canvas().Pixel(1, 1), TColor(RGB(200, 0, 0)));
    EXPECT_EQ(b.Canvas().Pixel(2, 3), TColor(RGB(100, 0, 50)));
    EXPECT_EQ(b.Canvas().Pixel(2, 4), kBack);
    EXPECT_EQ(b.Canvas().Pixel(3, 1), kBack);
}

TEST(Glib, ArrowGlyphs) {
    TBitmap b;
    const TRect r{0, 0, 20, 20}; // centre (10, 10)
    struct Case {
        int direction, style, offset;
        std::set<std::pair<int, int>> want; // empty: nothing drawn
    };
    auto row = [](int y, int x1, int x2) {
        std::set<std::pair<int, int>> s;
        for (int x = x1; x <= x2; ++x)
            s.insert({x, y});
        return s;
    };
    auto join = [](std::set<std::pair<int, int>> a, const std::set<std::pair<int, int>>& b) {
        a.insert(b.begin(), b.end());
        return a;
    };
    const Case cases[] = {
        {5, 0, 0, {}},
        {1, 2, 0, {}},
        {3, 2, 0, {}},
        {1, 7, 0, {}},
        // Three lines narrowing downwards, end points left out.
        {2, 2, 0, join(join(row(8, 5, 14), row(10, 7, 12)), row(12, 9, 10))},
        {2, 2, 1, join(join(row(9, 6, 15), row(11, 8, 13)), row(13, 10, 11))},
    };
    for (const Case& c : cases) {
        Fill(b, 24, 24);
        DrawArrow(b.Canvas(), clLime, c.direction, r, c.offset, c.style);
        EXPECT_EQ(Painted(b), c.want) << c.direction << "/" << c.style << "/" << c.offset;
    }

    // Filled and outlined triangles share their corners; only the filled one covers the middle.
    for (int direction = 0; direction <= 4; ++direction) {
        Fill(b, 24, 24);
        DrawArrow(b.Canvas(), clLime, direction, r, 0, 0);
        const auto filled = Painted(b);
        Fill(b, 24, 24);
        DrawArrow(b.Canvas(), clLime, direction, r, 0, 1);
        const auto outline = Painted(b);
        EXPECT_FALSE(outline.empty()) << direction;
        for (const auto& p : outline)
            EXPECT_TRUE(filled.count(p)) << direction;
        EXPECT_GE(filled.size(), outline.size()) << direction;
    }
    Fill(b, 24, 24);
    DrawArrow(b.Canvas(), clLime, 4, r, 0, 0); // (8, 7), (11, 10), (8, 13)
    const auto right = Painted(b);
    EXPECT_TRUE(right.count({8, 7}) && right.count({11, 10}) && right.count({8, 13}));
    EXPECT_TRUE(right.count({9, 10}));
    for (const auto& p : right) {
        EXPECT_GE(p.first, 8);
        EXPECT_LE(p.first, 11);
        EXPECT_GE(p.second, 7);
        EXPECT_LE(p.second, 13);
    }
}

TEST(Glib, TileBitmapCoversTheRectFromItsPhase) {
    TBitmap tile;
    tile.SetSize(16, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            tile.Canvas().SetPixel(x, y, TColor(RGB(x * 8, y * 8, 200)));
    struct Case {
        int phaseX, phaseY, startX, startY;
    };
    // Phases are reduced into the tile by whole widths and heights either way.
    for (const Case c : {Case{0, 0, 0, 0}, Case{-3, 20, 13, 4}, Case{37, -1, 5, 15}}) {
        TBitmap b;
        Fill(b, 50, 30);
        TileBitmap(b.Canvas().Handle(), tile, TRect{2, 3, 42, 23}, c.phaseX, c.phaseY);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 50; ++x) {
                TColor want = kBack;
                if (x >= 2 && x < 42 && y >= 3 && y < 23) {
                    // The first column and row of tiles start at the phase; later ones at 0.
                    int sx = x - 2 + c.startX, sy = y - 3 + c.startY;
                    sx = sx < 16 ? sx : (sx - 16) % 16;
                    sy = sy < 16 ? sy : (sy - 16) % 16;
                    want = TColor(RGB(sx * 8, sy * 8, 200));
                }
                ASSERT_EQ(b.Canvas().Pixel(x, y), want)
                    << x << "," << y << " phase " << c.phaseX << "," << c.phaseY;
            }
    }
}

TEST(Glib, TileBitmapOfAnEmptyBitmapDrawsNothing) {
    TBitmap b;
    Fill(b, 10, 10);
    TBitmap empty;
    empty.SetSize(0, 5);
    auto done = std::async(std::launch::async, [&] {
        TileBitmap(b.Canvas().Handle(), empty, TRect{0, 0, 10, 10}, 3, 3);
    });
    ASSERT_EQ(done.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_TRUE(Painted(b).empty());
}

TEST(Glib, VerticalTextReadsBottomToTopAndCopiesOnlyItsInk) {
    const char* text = "Sub1";
    const int length = 60, height = 16;
    // The text as it would stand upright.
    TBitmap flat;
    Fill(flat, length, height);
    flat.Canvas().Font.Name = "Arial";
    flat.Canvas().Font.Color = clWhite;
    flat.Canvas().Brush.Style = bsClear;
    flat.Canvas().TextOut(4, 0, text);
    const auto ink = Painted(flat);
    ASSERT_GT(ink.size(), 20u);

    for (TColor color : {clWhite, clRed}) {
        TBitmap b;
        Fill(b, 30, 80);
        DrawVerticalText(b.Canvas(), text, 5, 7, height, length, color);
        std::set<std::pair<int, int>> want;
        for (const auto& [i, j] : ink)
            want.insert({5 + j, 7 + length - i});
        EXPECT_EQ(Painted(b), want) << "colour " << color;
        for (const auto& p : want)
            EXPECT_EQ(b.Canvas().Pixel(p.first, p.second), color);
    }
    // The start of the text is at the bottom.
    TBitmap b;
    Fill(b, 30, 80);
    DrawVerticalText(b.Canvas(), "I", 0, 0, height, length, clWhite);
    for (const auto& p : Painted(b))
        EXPECT_GT(p.second, length - 10);
}

TEST(Glib, RectInset) {
    EXPECT_EQ(RectInset(TRect{10, 20, 50, 60}, 2, -3), (TRect{12, 17, 48, 63}));
}
