#pragma once
// A memory context over a bitmap of its own, for pixel tests.

#include "platform/gdi/gdi.h"
#include "platform/gdi/png.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace gdi_test {

using platform::COLORREF;
using platform::HDC;

struct Dc {
    HDC dc = 0;
    platform::HBITMAP bitmap = 0, old = 0;
    std::shared_ptr<platform::Surface> surface;

    Dc(int w, int h, std::uint32_t fill = 0xFF000000u) {
        dc = platform::CreateCompatibleDC(platform::GetDC(0));
        bitmap = platform::CreateCompatibleBitmap(dc, w, h);
        old = platform::SelectObject(dc, bitmap);
        surface = platform::GetBitmapSurface(bitmap);
        Fill(fill);
    }
    ~Dc() {
        platform::SelectObject(dc, old);
        platform::DeleteObject(bitmap);
        platform::DeleteDC(dc);
    }
    void Fill(std::uint32_t p) { std::fill(surface->pixels.begin(), surface->pixels.end(), p); }
    // Fills with a pattern that shows any change.
    void Noise() {
        std::uint32_t v = 12345;
        for (auto& p : surface->pixels) {
            v = v * 1103515245u + 12345u;
            p = 0xFF000000u | (v >> 8);
        }
    }
    std::uint32_t At(int x, int y) const { return surface->Row(y)[x]; }
    std::vector<std::uint32_t> Snapshot() const { return surface->pixels; }
    // Pixels different from the given colour, as "x,y" in row order.
    std::vector<std::string> Changed(std::uint32_t background) const {
        std::vector<std::string> out;
        for (int y = 0; y < surface->height; ++y)
            for (int x = 0; x < surface->width; ++x)
                if (At(x, y) != background)
                    out.push_back(std::to_string(x) + "," + std::to_string(y));
        return out;
    }
    int Count(std::uint32_t color) const {
        int n = 0;
        for (auto p : surface->pixels)
            n += p == color;
        return n;
    }
    // Saves the surface for a look at a failure.
    void Save(const std::string& name) const {
        platform::SavePng(*surface, testing::TempDir() + name + ".png");
    }
};

} // namespace gdi_test
