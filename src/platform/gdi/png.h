#pragma once
// A PNG writer for surfaces, so tests and diagnosis can save what they drew. The image data is
// stored uncompressed (deflate's stored blocks), which every reader accepts.

#include "platform/gdi/surface.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

std::vector<std::uint8_t> EncodePng(const Surface& surface);
bool SavePng(const Surface& surface, const std::string& path);

} // namespace platform
