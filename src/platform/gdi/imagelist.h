#pragma once
// The framework's image list: images of one fixed size, each with a mask, drawn masked.

#include "platform/gdi/canvas.h"
#include "platform/gdi/surface.h"

#include <cstdint>
#include <vector>

namespace platform {

class TBitmap;

class TImageList {
public:
    explicit TImageList(int width = 16, int height = 16) : width_(width), height_(height) {}

    int Width() const { return width_; }
    int Height() const { return height_; }
    int Count() const { return int(images_.size()); }
    // A new size empties the list.
    void SetSize(int width, int height);
    void Clear() { images_.clear(); }

    // Adds the bitmap cut into images of the list's width, left to right (a bitmap of the
    // list's size is one image). With a mask bitmap, its non-black pixels are transparent.
    // Returns the index of the first image added, -1 when nothing was added.
    int Add(const TBitmap& image, const TBitmap* mask = nullptr);
    // The same; pixels of the key colour are transparent.
    int AddMasked(const TBitmap& image, TColor maskColor);
    // Draws image index at (x, y), its transparent pixels left out.
    void Draw(TCanvas& canvas, int x, int y, int index);
    // Copies image index into the bitmap (sized to the list's images); transparent pixels
    // become white.
    void GetBitmap(int index, TBitmap& out) const;

private:
    struct Image {
        Surface pixels;
        std::vector<std::uint8_t> opaque;
    };
    template <class IsOpaque> int AddStrip(const TBitmap& image, IsOpaque&& isOpaque);

    int width_, height_;
    std::vector<Image> images_;
};

} // namespace platform
