#include "platform/gdi/graphics.h"

#include "platform/gdi/bmp.h"
#include "platform/gdi/syscolors.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <istream>
#include <iterator>
#include <ostream>

namespace platform {

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFFFFu;

std::vector<std::uint8_t> ReadWholeFile(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) throw std::runtime_error("Cannot open file \"" + path + "\". " + std::strerror(errno));
    std::vector<std::uint8_t> bytes;
    std::uint8_t buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        bytes.insert(bytes.end(), buf, buf + n);
    std::fclose(f);
    return bytes;
}

// Never leaves a half-written file in place of the old one.
void WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    const std::string tmp = path + ".tmp";
    std::FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f)
        throw std::runtime_error("Cannot create file \"" + path + "\". " + std::strerror(errno));
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok || std::rename(tmp.c_str(), path.c_str()) != 0) {
        int err = errno;
        std::remove(tmp.c_str());
        throw std::runtime_error("Cannot create file \"" + path + "\". " + std::strerror(err));
    }
}

std::string LowerExtension(const std::string& path) {
    auto slash = path.find_last_of("/\\");
    auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string ext = path.substr(dot + 1);
    for (char& c : ext)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

} // namespace

TBitmap::TBitmap() {
    Replace(std::make_shared<Surface>(0, 0, kWhite));
}

TBitmap::~TBitmap() {
    canvas_.reset();
    if (dc_) {
        SelectObject(dc_, oldBitmap_);
        DeleteDC(dc_);
    }
    DeleteObject(bitmap_);
}

void TBitmap::Replace(std::shared_ptr<Surface> surface) {
    HBITMAP old = bitmap_;
    surface_ = std::move(surface);
    bitmap_ = CreateBitmapFromSurface(surface_);
    if (dc_) SelectObject(dc_, bitmap_);
    if (old) DeleteObject(old);
    original_.clear();
}

void TBitmap::Assign(const TBitmap& other) {
    if (&other == this) return;
    Replace(std::make_shared<Surface>(*other.surface_));
    if (!other.original_.empty() && other.originalChanges_ == other.surface_->changes) {
        original_ = other.original_;
        originalChanges_ = surface_->changes;
    }
    Transparent = other.Transparent;
    transparentColor_ = other.transparentColor_;
}

void TBitmap::SetSize(int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == Width() && height == Height()) return;
    auto s = std::make_shared<Surface>(width, height, kWhite);
    for (int y = 0; y < std::min(height, Height()); ++y)
        std::copy_n(surface_->Row(y), std::min(width, Width()), s->Row(y));
    Replace(std::move(s));
}

TCanvas& TBitmap::Canvas() {
    if (!canvas_) {
        dc_ = CreateCompatibleDC(0);
        oldBitmap_ = SelectObject(dc_, bitmap_);
        canvas_ = std::make_unique<TCanvas>(dc_);
    }
    return *canvas_;
}

Surface& TBitmap::Pixels() {
    ++surface_->changes;
    return *surface_;
}

TColor TBitmap::TransparentColor() const {
    if (transparentColor_ != clDefault || Empty()) return transparentColor_;
    return TColor(ColorRefFromPixel(surface_->Row(Height() - 1)[0]));
}

void TBitmap::LoadFromBytes(const std::uint8_t* data, std::size_t size) {
    std::optional<Surface> s = DecodeBmp(data, size);
    if (!s) throw EInvalidGraphic(SInvalidBitmap);
    Replace(std::make_shared<Surface>(std::move(*s)));
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') {
        original_.assign(data, data + size);
        originalChanges_ = surface_->changes;
    }
}

std::vector<std::uint8_t> TBitmap::SaveToBytes() const {
    if (!original_.empty() && originalChanges_ == surface_->changes) return original_;
    return EncodeBmp(*surface_);
}

void TBitmap::LoadFromStream(std::istream& in) {
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    LoadFromBytes(bytes.data(), bytes.size());
}

void TBitmap::SaveToStream(std::ostream& out) const {
    std::vector<std::uint8_t> bytes = SaveToBytes();
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void TBitmap::LoadFromFile(const std::string& path) {
    std::vector<std::uint8_t> bytes = ReadWholeFile(path);
    LoadFromBytes(bytes.data(), bytes.size());
}

void TBitmap::SaveToFile(const std::string& path) const {
    WriteWholeFile(path, SaveToBytes());
}

void TPicture::LoadFromFile(const std::string& path) {
    std::string ext = LowerExtension(path);
    if (ext == "ico" || ext == "emf" || ext == "wmf") throw EInvalidGraphic(SInvalidBitmap);
    if (ext != "bmp" && ext != "dib")
        throw EInvalidGraphic("Unknown picture file extension (." + ext + ")");
    bitmap_.LoadFromFile(path);
}

} // namespace platform
