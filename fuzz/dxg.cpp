// Sample banks: reading any bytes must not crash nor allocate by an unchecked length; whatever
// loads, completed items only, must save and load back to the same bytes.
#include "devices/dxsounds.h"

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    platform::TMemoryStream in(std::string_view(reinterpret_cast<const char*>(data), size));
    TDXWaveList pool;
    try {
        pool.Items.LoadFromStream(in);
    } catch (const std::exception&) {
    }
    platform::TMemoryStream out;
    pool.Items.SaveToStream(out);
    out.SetPosition(0);
    TDXWaveList back;
    back.Items.LoadFromStream(out); // its own bank always loads
    if (back.Items.Count() != pool.Items.Count()) std::abort();
    platform::TMemoryStream again;
    back.Items.SaveToStream(again);
    if (again.View() != out.View()) std::abort();
    return 0;
}
