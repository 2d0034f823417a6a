#include "platform/gdi/bmp.h"

#include <array>
#include <bit>

namespace platform {

namespace {

enum : std::uint32_t { BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2, BI_BITFIELDS = 3 };

// Bitmaps up to 32 M pixels; a header may claim anything.
constexpr long long kMaxPixels = 1LL << 25;
constexpr int kMaxSide = 1 << 16;

std::uint32_t U16(const std::uint8_t* p) {
    return std::uint32_t(p[0] | (p[1] << 8));
}
std::uint32_t U32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

struct Fail {
    const char* why;
};

// One colour channel of a bit-field pixel, scaled to 8 bits.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint32_t max = 0;
    explicit Channel(std::uint32_t m) : mask(m) {
        if (!m) return;
        shift = std::countr_zero(m);
        max = m >> shift;
    }
    std::uint32_t Get(std::uint32_t px) const {
        if (!mask) return 0;
        return std::uint32_t((std::uint64_t((px & mask) >> shift) * 255 + max / 2) / max);
    }
};

class Decoder {
public:
    Decoder(const std::uint8_t* data, std::size_t size) : d_(data), n_(size) {}

    Surface Run() {
        std::size_t info = 0;
        std::size_t bitsAt = 0;
        bool fileHeader = n_ >= 2 && d_[0] == 'B' && d_[1] == 'M';
        if (fileHeader) {
            Need(0, 14 + 4);
            info = 14;
            bitsAt = U32(d_ + 10);
        }
        Need(info, 4);
        const std::uint32_t hsize = U32(d_ + info);
        if (hsize != 12 && hsize != 40 && hsize != 52 && hsize != 56 && hsize != 64 &&
            hsize != 108 && hsize != 124)
            throw Fail{"unknown header"};
        Need(info, hsize);
        const std::uint8_t* h = d_ + info;
        long long width, height;
        std::uint32_t planes, bpp, compression = BI_RGB, colorsUsed = 0;
        if (hsize == 12) {
            width = U16(h + 4);
            height = U16(h + 6);
            planes = U16(h + 8);
            bpp = U16(h + 10);
        } else {
            width = std::int32_t(U32(h + 4));
            height = std::int32_t(U32(h + 8));
            planes = U16(h + 12);
            bpp = U16(h + 14);
            compression = U32(h + 16);
            colorsUsed = U32(h + 32);
        }
        if (planes != 1) throw Fail{"planes"};
        bool topDown = height < 0;
        if (topDown) height = -height;
        if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide ||
            width * height > kMaxPixels)
            throw Fail{"size"};
        w_ = int(width);
        h_ = int(height);

        std::size_t pos = info + hsize;
        std::array<std::uint32_t, 3> masks{};
        switch (compression) {
        case BI_RGB:
            if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
                throw Fail{"bit count"};
            if (bpp == 16) masks = {0x7C00, 0x03E0, 0x001F};
            if (bpp >= 24) masks = {0xFF0000, 0x00FF00, 0x0000FF};
            break;
        case BI_BITFIELDS:
            if ((bpp != 16 && bpp != 32) || hsize == 12 || hsize == 64) throw Fail{"bit fields"};
            if (hsize == 40) { // the masks follow the header
                Need(pos, 12);
                for (int i = 0; i < 3; ++i)
                    masks[std::size_t(i)] = U32(d_ + pos + 4 * i);
                pos += 12;
            } else {
                for (int i = 0; i < 3; ++i)
                    masks[std::size_t(i)] = U32(h + 40 + 4 * i);
            }
            break;
        case BI_RLE8:
        case BI_RLE4:
            if (hsize == 12 || hsize == 64 || topDown || bpp != (compression == BI_RLE8 ? 8u : 4u))
                throw Fail{"run-length"};
            break;
        default:
            throw Fail{"compression"};
        }
        if (hsize == 12 && bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24) throw Fail{"bit count"};

        std::array<std::uint32_t, 256> palette{};
        palette.fill(0xFF000000u);
        if (bpp <= 8) {
            std::uint32_t count = 1u << bpp;
            if (colorsUsed != 0 && colorsUsed < count) count = colorsUsed;
            std::size_t entry = hsize == 12 ? 3 : 4;
            // The core header has no colour count: the palette fills the gap before the
            // pixels, as short as the writer made it.
            if (hsize == 12 && fileHeader && bitsAt >= pos && (bitsAt - pos) / entry < count)
                count = std::uint32_t((bitsAt - pos) / entry);
            Need(pos, count * entry);
            for (std::uint32_t i = 0; i < count; ++i) {
                const std::uint8_t* e = d_ + pos + i * entry;
                palette[i] =
                    0xFF000000u | (std::uint32_t(e[2]) << 16) | (std::uint32_t(e[1]) << 8) | e[0];
            }
            // A colour count beyond the bit depth still occupies the file.
            pos += std::size_t(colorsUsed > count ? colorsUsed : count) * entry;
        }
        if (!fileHeader) bitsAt = pos;
        if (bitsAt > n_) throw Fail{"pixel offset"};

        Surface s(w_, h_, 0xFF000000u);
        if (compression == BI_RLE8 || compression == BI_RLE4) {
            Rle(s, bitsAt, compression == BI_RLE4 ? 4 : 8, palette);
            return s;
        }
        const std::size_t stride = ((std::size_t(w_) * bpp + 31) / 32) * 4;
        Need(bitsAt, stride * std::size_t(h_));
        Channel r(masks[0]), g(masks[1]), b(masks[2]);
        for (int y = 0; y < h_; ++y) {
            const std::uint8_t* row = d_ + bitsAt + stride * std::size_t(y);
            std::uint32_t* out = s.Row(topDown ? y : h_ - 1 - y);
            for (int x = 0; x < w_; ++x) {
                std::uint32_t v;
                switch (bpp) {
                case 1:
                    v = palette[(row[x >> 3] >> (7 - (x & 7))) & 1];
                    break;
                case 4:
                    v = palette[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF];
                    break;
                case 8:
                    v = palette[row[x]];
                    break;
                case 24:
                    v = 0xFF000000u | U32Rgb(row + 3 * x);
                    break;
                default: {
                    std::uint32_t px = bpp == 16 ? U16(row + 2 * x) : U32(row + 4 * x);
                    v = 0xFF000000u | (r.Get(px) << 16) | (g.Get(px) << 8) | b.Get(px);
                }
                }
                out[x] = v;
            }
        }
        return s;
    }

private:
    static std::uint32_t U32Rgb(const std::uint8_t* p) {
        return (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[1]) << 8) | p[0];
    }

    void Need(std::size_t at, std::size_t count) const {
        if (at > n_ || count > n_ - at) throw Fail{"truncated"};
    }

    // Run-length data; pixels the runs skip keep colour 0 of the palette.
    void Rle(Surface& s, std::size_t at, int bits, const std::array<std::uint32_t, 256>& pal) {
        for (auto& px : s.pixels)
            px = pal[0];
        int x = 0, y = 0; // y counts rows from the bottom
        auto put = [&](std::uint32_t index) {
            if (x < w_ && y < h_) s.Row(h_ - 1 - y)[x] = pal[index & 0xFF];
            ++x;
        };
        std::size_t p = at;
        for (;;) {
            Need(p, 2);
            std::uint32_t count = d_[p], value = d_[p + 1];
            p += 2;
            if (count > 0) { // encoded run
                for (std::uint32_t i = 0; i < count; ++i)
                    put(bits == 8 ? value : (i & 1) ? (value & 0xF) : (value >> 4));
                continue;
            }
            if (value == 0) { // end of line
                x = 0;
                ++y;
            } else if (value == 1) { // end of bitmap
                return;
            } else if (value == 2) { // delta
                Need(p, 2);
                x += d_[p];
                y += d_[p + 1];
                p += 2;
            } else { // absolute run, padded to a word
                std::size_t bytes = bits == 8 ? value : (value + 1) / 2;
                Need(p, bytes);
                for (std::uint32_t i = 0; i < value; ++i) {
                    std::uint8_t byte = d_[p + (bits == 8 ? i : i / 2)];
                    put(bits == 8 ? byte : (i & 1) ? (byte & 0xF) : (byte >> 4));
                }
                p += (bytes + 1) & ~std::size_t(1);
            }
            if (y > h_) throw Fail{"run beyond the bitmap"};
        }
    }

    const std::uint8_t* d_;
    std::size_t n_;
    int w_ = 0, h_ = 0;
};

void Put16(std::vector<std::uint8_t>& o, std::uint32_t v) {
    o.push_back(std::uint8_t(v));
    o.push_back(std::uint8_t(v >> 8));
}
void Put32(std::vector<std::uint8_t>& o, std::uint32_t v) {
    Put16(o, v & 0xFFFF);
    Put16(o, v >> 16);
}

} // namespace

std::optional<Surface> DecodeBmp(const std::uint8_t* data, std::size_t size, std::string* why) {
    try {
        return Decoder(data, size).Run();
    } catch (const Fail& f) {
        if (why) *why = f.why;
        return std::nullopt;
    }
}

std::vector<std::uint8_t> EncodeBmp(const Surface& s) {
    const std::uint32_t stride = ((std::uint32_t(s.width) * 24 + 31) / 32) * 4;
    const std::uint32_t image = stride * std::uint32_t(s.height);
    std::vector<std::uint8_t> o;
    o.reserve(54 + image);
    o.push_back('B');
    o.push_back('M');
    Put32(o, 54 + image);
    Put32(o, 0);
    Put32(o, 54);
    Put32(o, 40);
    Put32(o, std::uint32_t(s.width));
    Put32(o, std::uint32_t(s.height));
    Put16(o, 1);
    Put16(o, 24);
    Put32(o, BI_RGB);
    Put32(o, image);
    Put32(o, 0);
    Put32(o, 0);
    Put32(o, 0);
    Put32(o, 0);
    for (int y = s.height - 1; y >= 0; --y) {
        const std::uint32_t* row = s.Row(y);
        for (int x = 0; x < s.width; ++x) {
            o.push_back(std::uint8_t(row[x]));
            o.push_back(std::uint8_t(row[x] >> 8));
            o.push_back(std::uint8_t(row[x] >> 16));
        }
        for (std::uint32_t pad = std::uint32_t(s.width) * 3; pad < stride; ++pad)
            o.push_back(0);
    }
    return o;
}

} // namespace platform
