// The entry of an example library of the program's own effect interface.
#pragma once

#include "tolvern_mfx.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#define TV_EXPORT extern "C" __attribute__((visibility("default")))

// Each example defines its record and CreateInterface.
TMfxInterface* CreateInterface();
TV_EXPORT TMfxInterface* MFXConnect() { return CreateInterface(); }

inline void CopyMfxText(char* Buffer, const char* Text) { std::snprintf(Buffer, MFX_TEXT_BYTES, "%s", Text); }
inline void PercentText(char* Buffer, double Value) {
    std::snprintf(Buffer, MFX_TEXT_BYTES, "%d", static_cast<int>(Value * 100 + 0.5));
}
