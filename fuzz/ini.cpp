// Settings text: parsing any bytes must not crash, and a write must read back, also after
// the text is written out and parsed again.
#include "platform/core/ini.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    platform::TIniText ini(text);
    for (const auto& section : ini.Sections()) {
        for (const auto& kv : ini.SectionValues(section)) {
            std::string v;
            if (!ini.Find(section, kv.first, v) || v != kv.second) std::abort();
            platform::StrToIntDef(v, 0);
        }
    }
    if (ini.Write("Fuzz Section", "Key", "value 1")) {
        platform::TIniText again(ini.Text());
        std::string v;
        if (!again.Find("fuzz section", "KEY", v) || v != "value 1") std::abort();
        again.EraseSection("Fuzz Section");
        if (again.HasSection("fuzz section")) std::abort();
    } else {
        std::abort(); // valid names and value are always storable
    }
    return 0;
}
