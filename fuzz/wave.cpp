// Wave images: reading any bytes must not crash, allocate more than the input holds, or leave
// data the input did not fill; what loads must save and load back the same.
#include "devices/wave.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>

namespace {

void SameWave(const TWave& A, const TWave& B) {
    if (A.Size() != B.Size() || A.FormatSize() != B.FormatSize()) std::abort();
    if (A.Size() && std::memcmp(A.Data(), B.Data(), static_cast<std::size_t>(A.Size())) != 0)
        std::abort();
    if (A.FormatSize() &&
        std::memcmp(A.Format(), B.Format(), static_cast<std::size_t>(A.FormatSize())) != 0)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    platform::TMemoryStream in(std::string_view(reinterpret_cast<const char*>(data), size));
    TWave w;
    try {
        w.LoadFromStream(in);
    } catch (const std::exception&) {
        if (w.Size() != 0 || w.FormatSize() != 0 || w.Data()) std::abort(); // empty after a failure
        return 0;
    }
    if (static_cast<std::size_t>(w.Size()) + static_cast<std::size_t>(w.FormatSize()) > size)
        std::abort();
    TWaveFormatHead head;
    if (w.FormatHead(head) != (w.FormatSize() >= 16)) std::abort();
    if (w.Size() < 1 || w.FormatSize() < 1) return 0;
    platform::TMemoryStream out;
    w.SaveToStream(out);
    out.SetPosition(0);
    TWave back;
    back.LoadFromStream(out); // its own image always loads
    SameWave(w, back);
    return 0;
}
