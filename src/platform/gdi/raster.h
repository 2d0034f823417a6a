#pragma once
// Raster operations: the 16 binary modes of pens (one table) and the ternary operations of
// blits. Operations work on the colour bits; the alpha byte of a result is always 0xFF.

#include <cstdint>

namespace platform {

enum : int {
    R2_BLACK = 1,
    R2_NOTMERGEPEN = 2,
    R2_MASKNOTPEN = 3,
    R2_NOTCOPYPEN = 4,
    R2_MASKPENNOT = 5,
    R2_NOT = 6,
    R2_XORPEN = 7,
    R2_NOTMASKPEN = 8,
    R2_MASKPEN = 9,
    R2_NOTXORPEN = 10,
    R2_NOP = 11,
    R2_MERGENOTPEN = 12,
    R2_COPYPEN = 13,
    R2_MERGEPENNOT = 14,
    R2_MERGEPEN = 15,
    R2_WHITE = 16,
};

enum : std::uint32_t {
    SRCCOPY = 0x00CC0020,
    SRCPAINT = 0x00EE0086,
    SRCAND = 0x008800C6,
    SRCINVERT = 0x00660046,
    SRCERASE = 0x00440328,
    NOTSRCCOPY = 0x00330008,
    NOTSRCERASE = 0x001100A6,
    MERGECOPY = 0x00C000CA,
    MERGEPAINT = 0x00BB0226,
    PATCOPY = 0x00F00021,
    PATPAINT = 0x00FB0A09,
    PATINVERT = 0x005A0049,
    DSTINVERT = 0x00550009,
    BLACKNESS = 0x00000042,
    WHITENESS = 0x00FF0062,
};

// Applies a binary mode (R2_BLACK..R2_WHITE) of pen colour p to n destination pixels.
using Rop2SpanFn = void (*)(std::uint32_t* dst, int n, std::uint32_t p);
Rop2SpanFn Rop2Span(int mode);
std::uint32_t ApplyRop2(int mode, std::uint32_t p, std::uint32_t d);

// The index byte of a ternary operation (bits 16-23 of its code): bit (P<<2 | S<<1 | D) of it
// is the result for those input bits.
constexpr std::uint8_t Rop3Index(std::uint32_t rop) {
    return std::uint8_t(rop >> 16);
}
constexpr bool Rop3UsesSource(std::uint8_t i) {
    return ((i >> 2) & 0x33) != (i & 0x33);
}
constexpr bool Rop3UsesPattern(std::uint8_t i) {
    return (i >> 4) != (i & 0x0F);
}
std::uint32_t ApplyRop3(std::uint8_t index, std::uint32_t p, std::uint32_t s, std::uint32_t d);

// One row of a blit: dst[i] = op(p, src[i], dst[i]); src may be null when the operation does
// not read it. dst and src must not overlap.
void Rop3Row(std::uint8_t index, std::uint32_t* dst, const std::uint32_t* src, int n,
             std::uint32_t p);

} // namespace platform
