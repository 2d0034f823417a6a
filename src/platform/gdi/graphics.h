#pragma once
// The framework's bitmap and picture: an image with its own canvas, read from and written to
// BMP streams and files.

#include "platform/gdi/canvas.h"
#include "platform/gdi/surface.h"

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace platform {

// The framework's image error.
class EInvalidGraphic : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
inline constexpr const char* SInvalidBitmap = "Bitmap image is not valid";

class TBitmap {
public:
    TBitmap();
    ~TBitmap();
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;
    void Assign(const TBitmap& other);

    int Width() const { return surface_->width; }
    int Height() const { return surface_->height; }
    bool Empty() const { return Width() == 0 || Height() == 0; }
    // Resizing keeps the top-left content; new pixels are white.
    void SetSize(int width, int height);
    void SetWidth(int width) { SetSize(width, Height()); }
    void SetHeight(int height) { SetSize(Width(), height); }

    TCanvas& Canvas();
    HBITMAP Handle() const { return bitmap_; }
    // The pixels, for code that works on them directly.
    Surface& Pixels();
    const Surface& Pixels() const { return *surface_; }

    // Draw leaves the transparent colour out; by default it is the bottom-left pixel's.
    bool Transparent = false;
    TColor TransparentColor() const;
    void SetTransparentColor(TColor color) { transparentColor_ = color; }

    // BMP data. A bitmap loaded from a BMP file and not drawn on since writes the same bytes
    // back; otherwise it writes 24 bits, bottom-up. Invalid data raises EInvalidGraphic and
    // leaves the bitmap as it was.
    void LoadFromBytes(const std::uint8_t* data, std::size_t size);
    std::vector<std::uint8_t> SaveToBytes() const;
    void LoadFromStream(std::istream& in); // reads the rest of the stream
    void SaveToStream(std::ostream& out) const;
    void LoadFromFile(const std::string& path);
    void SaveToFile(const std::string& path) const;

private:
    void Replace(std::shared_ptr<Surface> surface);

    std::shared_ptr<Surface> surface_;
    HBITMAP bitmap_ = 0;
    HDC dc_ = 0;
    HBITMAP oldBitmap_ = 0;
    std::unique_ptr<TCanvas> canvas_;
    TColor transparentColor_ = clDefault;
    std::vector<std::uint8_t> original_;
    std::uint64_t originalChanges_ = 0;
};

// A picture file: BMP and DIB. Icons and metafiles are refused with the image error.
class TPicture {
public:
    TBitmap& Bitmap() { return bitmap_; }
    int Width() const { return bitmap_.Width(); }
    int Height() const { return bitmap_.Height(); }
    void LoadFromFile(const std::string& path);
    void SaveToFile(const std::string& path) const { bitmap_.SaveToFile(path); }

private:
    TBitmap bitmap_;
};

} // namespace platform
