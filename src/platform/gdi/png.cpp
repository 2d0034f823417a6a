#include "platform/gdi/png.h"

#include <array>
#include <cstdio>

namespace platform {

namespace {

std::uint32_t Crc32(const std::uint8_t* p, std::size_t n, std::uint32_t crc = 0) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (std::size_t i = 0; i < n; ++i)
        crc = table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

void PutBE(std::vector<std::uint8_t>& o, std::uint32_t v) {
    for (int s = 24; s >= 0; s -= 8)
        o.push_back(std::uint8_t(v >> s));
}

void Chunk(std::vector<std::uint8_t>& o, const char* type, const std::vector<std::uint8_t>& body) {
    PutBE(o, std::uint32_t(body.size()));
    std::size_t start = o.size();
    o.insert(o.end(), type, type + 4);
    o.insert(o.end(), body.begin(), body.end());
    PutBE(o, Crc32(o.data() + start, o.size() - start));
}

} // namespace

std::vector<std::uint8_t> EncodePng(const Surface& s) {
    // Raw scanlines: filter byte 0, then RGB.
    std::vector<std::uint8_t> raw;
    raw.reserve(std::size_t(s.height) * (1 + std::size_t(s.width) * 3));
    for (int y = 0; y < s.height; ++y) {
        raw.push_back(0);
        const std::uint32_t* row = s.Row(y);
        for (int x = 0; x < s.width; ++x) {
            raw.push_back(std::uint8_t(row[x] >> 16));
            raw.push_back(std::uint8_t(row[x] >> 8));
            raw.push_back(std::uint8_t(row[x]));
        }
    }
    std::vector<std::uint8_t> z{0x78, 0x01};
    std::size_t pos = 0;
    do {
        std::size_t n = std::min<std::size_t>(raw.size() - pos, 65535);
        bool last = pos + n == raw.size();
        z.push_back(last ? 1 : 0);
        z.push_back(std::uint8_t(n));
        z.push_back(std::uint8_t(n >> 8));
        z.push_back(std::uint8_t(~n));
        z.push_back(std::uint8_t(~n >> 8));
        z.insert(z.end(), raw.begin() + long(pos), raw.begin() + long(pos + n));
        pos += n;
    } while (pos < raw.size());
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    PutBE(z, (b << 16) | a);

    std::vector<std::uint8_t> o{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> ihdr;
    PutBE(ihdr, std::uint32_t(s.width));
    PutBE(ihdr, std::uint32_t(s.height));
    ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0}); // 8-bit RGB, no interlace
    Chunk(o, "IHDR", ihdr);
    Chunk(o, "IDAT", z);
    Chunk(o, "IEND", {});
    return o;
}

bool SavePng(const Surface& surface, const std::string& path) {
    std::vector<std::uint8_t> bytes = EncodePng(surface);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace platform
