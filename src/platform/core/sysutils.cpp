#include "platform/core/sysutils.h"

#include <cstdint>

namespace platform {

int StrToInt(std::string_view s) {
    const std::string_view original = s;
    auto fail = [&]() -> int {
        throw EConvertError("'" + std::string(original) + "' is not a valid integer value");
    };
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
    int base = 10;
    if (i < s.size() && s[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= s.size()) return fail();
    std::uint64_t v = 0;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        int d = c >= '0' && c <= '9'   ? c - '0'
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                       : 99;
        if (d >= base) return fail();
        v = v * std::uint64_t(base) + std::uint64_t(d);
        if (v > 0xFFFFFFFFull) return fail();
    }
    // Hexadecimal covers the whole 32 bits; decimal the signed range.
    if (base == 16) {
        const auto u = static_cast<std::uint32_t>(v);
        return negative ? -static_cast<int>(u) : static_cast<int>(u);
    }
    if (negative ? v > 0x80000000ull : v > 0x7FFFFFFFull) return fail();
    return negative ? static_cast<int>(-static_cast<std::int64_t>(v)) : static_cast<int>(v);
}

std::string IntToStr(long long value) {
    return std::to_string(value);
}

} // namespace platform
