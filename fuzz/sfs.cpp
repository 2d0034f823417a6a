// SoundFont bank lists: any bytes clear every bank once and load at most one SoundFont into
// each bank, in bank order, with a path that fits the manager's buffer and holds no line end.
#include "devices/sblive.h"
#include "platform/core/dynlib.h"

#include <tolvern_sfman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

int clears = 0, loads = 0, lastBank = -1;

int32_t Load(int32_t Device, SFLocation* Where, SFBuffer* Buffer) {
    if (Device != 0 || clears != 128 || Where->Bank >= 128 || Where->Bank <= lastBank) std::abort();
    std::size_t n = strnlen(Buffer->Data, Buffer->Size);
    if (Buffer->Size != 128 || n == 128) std::abort();
    if (std::memchr(Buffer->Data, '\r', n) || std::memchr(Buffer->Data, '\n', n)) std::abort();
    lastBank = Where->Bank;
    ++loads;
    return Where->Bank % 3 == 0 ? 0 : 1; // some loads fail: not reported
}

int32_t Clear(int32_t Device, SFLocation* Where) {
    if (Device != 0 || Where->Bank != clears || loads != 0) std::abort();
    ++clears;
    return 0;
}

void* table[SF_ENTRIES] = {};

int32_t Handshake(uint32_t Version, void*** Interface) {
    table[SF_LOAD_BANK] = reinterpret_cast<void*>(&Load);
    table[SF_CLEAR_BANK] = reinterpret_cast<void*>(&Clear);
    *Interface = table;
    return Version == SFMAN_VERSION ? 0 : 1;
}

SFManagerTable manager{&Handshake};

TSBLive& Manager() {
    static TSBLive* sb = [] {
        platform::RegisterFakeLibrary("SFMAN32.DLL", {{"SFManager", &manager}});
        return new TSBLive;
    }();
    return *sb;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TSBLive& sb = Manager();
    if (!sb.Available) std::abort();
    clears = loads = 0;
    lastBank = -1;
    LoadBankList(sb, std::string_view(reinterpret_cast<const char*>(data), size));
    if (clears != 128 || loads > 128) std::abort();
    return 0;
}
