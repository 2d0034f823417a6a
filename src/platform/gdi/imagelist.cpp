#include "platform/gdi/imagelist.h"

#include "platform/gdi/graphics.h"
#include "platform/gdi/syscolors.h"

#include <algorithm>

namespace platform {

void TImageList::SetSize(int width, int height) {
    width_ = width;
    height_ = height;
    images_.clear();
}

template <class IsOpaque> int TImageList::AddStrip(const TBitmap& image, IsOpaque&& isOpaque) {
    if (image.Empty() || width_ <= 0 || height_ <= 0) return -1;
    const Surface& src = image.Pixels();
    const int first = Count();
    const int count = std::max(1, src.width / width_);
    for (int i = 0; i < count; ++i) {
        // Parts of an image the bitmap does not cover stay transparent.
        Image img{Surface(width_, height_, 0xFFFFFFFFu),
                  std::vector<std::uint8_t>(std::size_t(width_) * std::size_t(height_), 0)};
        for (int y = 0; y < std::min(height_, src.height); ++y)
            for (int x = 0; x < width_ && i * width_ + x < src.width; ++x) {
                const int sx = i * width_ + x;
                const std::size_t at = std::size_t(y) * std::size_t(width_) + std::size_t(x);
                img.pixels.pixels[at] = src.Row(y)[sx];
                img.opaque[at] = isOpaque(sx, y) ? 1 : 0;
            }
        images_.push_back(std::move(img));
    }
    return first;
}

int TImageList::Add(const TBitmap& image, const TBitmap* mask) {
    const Surface* m = (mask && !mask->Empty()) ? &mask->Pixels() : nullptr;
    return AddStrip(image, [&](int x, int y) {
        if (!m || x >= m->width || y >= m->height) return true;
        return (m->Row(y)[x] & 0xFFFFFF) == 0;
    });
}

int TImageList::AddMasked(const TBitmap& image, TColor maskColor) {
    const std::uint32_t key = PixelFromColorRef(ColorToRGB(maskColor));
    const Surface& src = image.Pixels();
    return AddStrip(image, [&](int x, int y) { return src.Row(y)[x] != key; });
}

void TImageList::Draw(TCanvas& canvas, int x, int y, int index) {
    if (index < 0 || index >= Count()) return;
    const Image& img = images_[std::size_t(index)];
    DrawMasked(canvas.Handle(), x, y, img.pixels, img.opaque.data());
}

void TImageList::GetBitmap(int index, TBitmap& out) const {
    if (index < 0 || index >= Count()) return;
    const Image& img = images_[std::size_t(index)];
    out.SetSize(width_, height_);
    Surface& s = out.Pixels();
    for (std::size_t i = 0; i < img.opaque.size(); ++i)
        s.pixels[i] = img.opaque[i] ? img.pixels.pixels[i] : 0xFFFFFFFFu;
}

} // namespace platform
