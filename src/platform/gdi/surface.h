#pragma once
// A drawing surface: 32-bit pixels 0xFFRRGGBB, rows top-down, stride = width x 4 (the layout
// of Qt's RGB32 image, so the window layer presents it without converting).

#include <algorithm>
#include <cstdint>
#include <vector>

namespace platform {

struct Surface {
    int width = 0;
    int height = 0;
    // The rows, turned by top: row y is stored at row (y + top) mod height. Only a window's
    // surface turns (a vertical scroll of its whole width turns it instead of moving the rows);
    // code that takes pixels as one block of rows calls Unturn first, or reads through Row.
    std::vector<std::uint32_t> pixels;
    int top = 0;
    // Counts drawing operations that touched the surface; a loaded bitmap compares it to know
    // whether it was drawn on since.
    std::uint64_t changes = 0;

    Surface() = default;
    Surface(int w, int h, std::uint32_t fill)
        : width(w), height(h), pixels(std::size_t(w) * std::size_t(h), fill) {}
    std::uint32_t* Row(int y) { return pixels.data() + Stored(y) * std::size_t(width); }
    const std::uint32_t* Row(int y) const {
        return pixels.data() + Stored(y) * std::size_t(width);
    }
    int Stride() const { return width * 4; }

    // Every row shows the row dy above it (below it for dy < 0), the rows at one end coming
    // round to the other; no pixel moves.
    void Turn(int dy) {
        if (height <= 0) return;
        top = ((top - dy) % height + height) % height;
    }
    // Stores the rows in order again (top 0).
    void Unturn() {
        if (!top) return;
        std::rotate(pixels.begin(), pixels.begin() + std::size_t(top) * std::size_t(width),
                    pixels.end());
        top = 0;
    }

private:
    std::size_t Stored(int y) const {
        int r = y + top;
        if (top && r >= height) r -= height;
        return std::size_t(r);
    }
};

} // namespace platform
