#pragma once
// The BMP codec: reads the platform's bitmap files and packed DIBs, writes 24-bit bitmaps.

#include "platform/gdi/surface.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// Reads a BMP file ("BM" header) or a packed DIB (starting with its info header): the
// info header or the OS/2 core header; uncompressed at 1, 4, 8, 16, 24 and 32 bits, bit
// fields at 16 and 32, RLE4 and RLE8; bottom-up or top-down. Nothing when the data is not a
// valid bitmap; why then says what is wrong.
std::optional<Surface> DecodeBmp(const std::uint8_t* data, std::size_t size,
                                 std::string* why = nullptr);

// A BMP file of the surface: BITMAPINFOHEADER, 24 bits, uncompressed, bottom-up.
std::vector<std::uint8_t> EncodeBmp(const Surface& surface);

} // namespace platform
