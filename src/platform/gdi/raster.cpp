#include "platform/gdi/raster.h"

#include <array>
#include <cstring>

namespace platform {

namespace {

constexpr std::uint32_t kAlpha = 0xFF000000u;

// The 16 binary modes, indexed by mode - 1.
template <int M> inline std::uint32_t Rop2(std::uint32_t p, std::uint32_t d) {
    if constexpr (M == R2_BLACK)
        return 0;
    else if constexpr (M == R2_NOTMERGEPEN)
        return ~(p | d);
    else if constexpr (M == R2_MASKNOTPEN)
        return ~p & d;
    else if constexpr (M == R2_NOTCOPYPEN)
        return ~p;
    else if constexpr (M == R2_MASKPENNOT)
        return p & ~d;
    else if constexpr (M == R2_NOT)
        return ~d;
    else if constexpr (M == R2_XORPEN)
        return p ^ d;
    else if constexpr (M == R2_NOTMASKPEN)
        return ~(p & d);
    else if constexpr (M == R2_MASKPEN)
        return p & d;
    else if constexpr (M == R2_NOTXORPEN)
        return ~(p ^ d);
    else if constexpr (M == R2_NOP)
        return d;
    else if constexpr (M == R2_MERGENOTPEN)
        return ~p | d;
    else if constexpr (M == R2_COPYPEN)
        return p;
    else if constexpr (M == R2_MERGEPENNOT)
        return p | ~d;
    else if constexpr (M == R2_MERGEPEN)
        return p | d;
    else
        return ~0u;
}

template <int M> void Rop2SpanT(std::uint32_t* dst, int n, std::uint32_t p) {
    if constexpr (M == R2_NOP) {
        return;
    } else if constexpr (M == R2_COPYPEN || M == R2_BLACK || M == R2_WHITE || M == R2_NOTCOPYPEN) {
        std::uint32_t v = Rop2<M>(p, 0) | kAlpha;
        for (int i = 0; i < n; ++i)
            dst[i] = v;
    } else {
        for (int i = 0; i < n; ++i)
            dst[i] = Rop2<M>(p, dst[i]) | kAlpha;
    }
}

template <int M> std::uint32_t Rop2One(std::uint32_t p, std::uint32_t d) {
    return Rop2<M>(p, d) | kAlpha;
}

struct Rop2Entry {
    Rop2SpanFn span;
    std::uint32_t (*one)(std::uint32_t, std::uint32_t);
};

template <int... M> constexpr std::array<Rop2Entry, 16> MakeRop2Table() {
    return {Rop2Entry{&Rop2SpanT<M>, &Rop2One<M>}...};
}

constexpr auto kRop2 = MakeRop2Table<1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16>();

int ModeSlot(int mode) {
    return (mode >= 1 && mode <= 16) ? mode - 1 : R2_COPYPEN - 1;
}

template <class Op> void RowLoop(std::uint32_t* dst, const std::uint32_t* src, int n, Op op) {
    for (int i = 0; i < n; ++i)
        dst[i] = op(src[i], dst[i]) | kAlpha;
}

} // namespace

Rop2SpanFn Rop2Span(int mode) {
    return kRop2[std::size_t(ModeSlot(mode))].span;
}

std::uint32_t ApplyRop2(int mode, std::uint32_t p, std::uint32_t d) {
    return kRop2[std::size_t(ModeSlot(mode))].one(p, d);
}

std::uint32_t ApplyRop3(std::uint8_t index, std::uint32_t p, std::uint32_t s, std::uint32_t d) {
    std::uint32_t r = 0;
    for (int bit = 0; bit < 8; ++bit) {
        if (!(index & (1 << bit))) continue;
        std::uint32_t term = ~0u;
        term &= (bit & 4) ? p : ~p;
        term &= (bit & 2) ? s : ~s;
        term &= (bit & 1) ? d : ~d;
        r |= term;
    }
    return r | kAlpha;
}

void Rop3Row(std::uint8_t index, std::uint32_t* dst, const std::uint32_t* src, int n,
             std::uint32_t p) {
    switch (index) {
    case Rop3Index(SRCCOPY):
        std::memcpy(dst, src, std::size_t(n) * 4);
        return;
    case Rop3Index(SRCINVERT):
        return RowLoop(dst, src, n, [](std::uint32_t s, std::uint32_t d) { return s ^ d; });
    case Rop3Index(SRCAND):
        return RowLoop(dst, src, n, [](std::uint32_t s, std::uint32_t d) { return s & d; });
    case Rop3Index(SRCPAINT):
        return RowLoop(dst, src, n, [](std::uint32_t s, std::uint32_t d) { return s | d; });
    case Rop3Index(SRCERASE):
        return RowLoop(dst, src, n, [](std::uint32_t s, std::uint32_t d) { return s & ~d; });
    case Rop3Index(NOTSRCCOPY):
        return RowLoop(dst, src, n, [](std::uint32_t s, std::uint32_t) { return ~s; });
    case Rop3Index(DSTINVERT):
        for (int i = 0; i < n; ++i)
            dst[i] = ~dst[i] | kAlpha;
        return;
    case Rop3Index(PATCOPY):
        for (int i = 0; i < n; ++i)
            dst[i] = p | kAlpha;
        return;
    case Rop3Index(PATINVERT):
        for (int i = 0; i < n; ++i)
            dst[i] = (p ^ dst[i]) | kAlpha;
        return;
    default:
        for (int i = 0; i < n; ++i)
            dst[i] = ApplyRop3(index, p, src ? src[i] : 0, dst[i]);
    }
}

} // namespace platform
