#include "platform/gdi/textcodec.h"

#include <array>

namespace platform {

namespace {

// 0x80-0x9F of Windows-1252; the five unassigned bytes keep their C1 code points.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Decodes one UTF-8 sequence at i; false when it is not valid (overlong forms, surrogates and
// values beyond U+10FFFF included).
bool NextUtf8(std::string_view s, std::size_t& i, char32_t& out) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        out = b0;
        ++i;
        return true;
    }
    int n;
    char32_t c, min;
    if ((b0 & 0xE0) == 0xC0) {
        n = 1, c = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        n = 2, c = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        n = 3, c = b0 & 0x07, min = 0x10000;
    } else {
        return false;
    }
    if (i + std::size_t(n) >= s.size()) return false;
    for (int k = 1; k <= n; ++k) {
        const auto b = static_cast<unsigned char>(s[i + std::size_t(k)]);
        if ((b & 0xC0) != 0x80) return false;
        c = (c << 6) | (b & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    out = c;
    i += std::size_t(n) + 1;
    return true;
}

} // namespace

bool IsValidUtf8(std::string_view bytes) {
    char32_t c;
    for (std::size_t i = 0; i < bytes.size();)
        if (!NextUtf8(bytes, i, c)) return false;
    return true;
}

std::u32string DecodeDisplayText(std::string_view bytes) {
    std::u32string out;
    out.reserve(bytes.size());
    if (IsValidUtf8(bytes)) {
        char32_t c;
        for (std::size_t i = 0; i < bytes.size();) {
            NextUtf8(bytes, i, c);
            out.push_back(c);
        }
        return out;
    }
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        out.push_back(b >= 0x80 && b < 0xA0 ? char32_t(kCp1252High[b - 0x80]) : char32_t(b));
    }
    return out;
}

std::string DisplayUtf8(std::string_view bytes) {
    if (IsValidUtf8(bytes)) return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char32_t c : DecodeDisplayText(bytes)) {
        if (c < 0x80) {
            out.push_back(char(c));
        } else if (c < 0x800) {
            out.push_back(char(0xC0 | (c >> 6)));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else {
            out.push_back(char(0xE0 | (c >> 12)));
            out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::string_view LeadingChars(std::string_view bytes, std::size_t count) {
    if (!IsValidUtf8(bytes)) return bytes.substr(0, count);
    std::size_t i = 0;
    char32_t c;
    for (std::size_t n = 0; n < count && i < bytes.size(); ++n)
        NextUtf8(bytes, i, c);
    return bytes.substr(0, i);
}

} // namespace platform
