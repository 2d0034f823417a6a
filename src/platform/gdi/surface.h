#pragma once
// A drawing surface: 32-bit pixels 0xFFRRGGBB, rows top-down, stride = width x 4 (the layout
// of Qt's RGB32 image, so the window layer presents it without converting).

#include <cstdint>
#include <vector>

namespace platform {

struct Surface {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    // Counts drawing operations that touched the surface; a loaded bitmap compares it to know
    // whether it was drawn on since.
    std::uint64_t changes = 0;

    Surface() = default;
    Surface(int w, int h, std::uint32_t fill)
        : width(w), height(h), pixels(std::size_t(w) * std::size_t(h), fill) {}
    std::uint32_t* Row(int y) { return pixels.data() + std::size_t(y) * std::size_t(width); }
    const std::uint32_t* Row(int y) const {
        return pixels.data() + std::size_t(y) * std::size_t(width);
    }
    int Stride() const { return width * 4; }
};

} // namespace platform
