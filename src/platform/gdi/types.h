#pragma once
// Geometry, colours and handle types of the painting layer.

#include <cstdint>

namespace platform {

// Handles are plain integers; 0 is "none". Every kind of object shares one numbering, so the
// aliases are interchangeable (SelectObject tells the kinds apart).
using HGDIOBJ = std::uintptr_t;
using HDC = std::uintptr_t;
using HPEN = std::uintptr_t;
using HBRUSH = std::uintptr_t;
using HFONT = std::uintptr_t;
using HBITMAP = std::uintptr_t;
using HRGN = std::uintptr_t;

// 0x00BBGGRR, as colours cross the API.
using COLORREF = std::uint32_t;
// The framework's colour: a COLORREF, or $80000000 + index for a system colour.
using TColor = std::int32_t;

constexpr COLORREF RGB(int r, int g, int b) {
    return COLORREF(r & 0xFF) | (COLORREF(g & 0xFF) << 8) | (COLORREF(b & 0xFF) << 16);
}
constexpr int GetRValue(COLORREF c) {
    return int(c & 0xFF);
}
constexpr int GetGValue(COLORREF c) {
    return int((c >> 8) & 0xFF);
}
constexpr int GetBValue(COLORREF c) {
    return int((c >> 16) & 0xFF);
}

// Same layout as the platform's RECT and POINT (four and two 32-bit integers).
struct TPoint {
    std::int32_t X = 0, Y = 0;
    friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TRect {
    std::int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
    std::int32_t Width() const { return Right - Left; }
    std::int32_t Height() const { return Bottom - Top; }
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    friend bool operator==(const TRect&, const TRect&) = default;
};

struct TSize {
    std::int32_t cx = 0, cy = 0;
    friend bool operator==(const TSize&, const TSize&) = default;
};

using POINT = TPoint;
using RECT = TRect;
using SIZE = TSize;

inline TRect Rect(int l, int t, int r, int b) {
    return TRect{l, t, r, b};
}
inline TPoint Point(int x, int y) {
    return TPoint{x, y};
}

} // namespace platform
