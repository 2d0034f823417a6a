// The BMP reader: anything it accepts must write and read back to the same pixels.
#include "platform/gdi/bmp.h"
#include "platform/gdi/graphics.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto s = platform::DecodeBmp(data, size);
    if (!s) return 0;
    std::vector<std::uint8_t> out = platform::EncodeBmp(*s);
    auto back = platform::DecodeBmp(out.data(), out.size());
    if (!back || back->pixels != s->pixels) std::abort();

    platform::TBitmap b;
    b.LoadFromBytes(data, size);
    if (b.Width() != s->width || b.Height() != s->height) std::abort();
    if (data[0] == 'B' && b.SaveToBytes() != std::vector<std::uint8_t>(data, data + size))
        std::abort();
    return 0;
}
