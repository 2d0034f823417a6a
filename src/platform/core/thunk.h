#pragma once
// 16-bit thunking. Only the 32-bit Windows 9x kernel offered it; like every NT-family system,
// this platform has none, so the program takes the multimedia MIDI path. Tests turn the switch
// on to reach the other path; with it on, the kernel's 16-bit services below stand in.
//
// A 16-bit library here is a library of the platform's loader whose entries are
// TRoutine16 functions. 16:16 values (entry addresses, memory) are handles into tables of
// this layer, so they stay 32-bit: the high word a selector, the low word an offset.

#include <cstdint>
#include <string_view>

namespace platform {

bool Has16BitThunking();
void SetHas16BitThunking(bool on);

// A 16-bit entry as QT_Thunk calls it: the words in the order they were pushed, the result
// as DX:AX (DX in the high word).
using TRoutine16 = std::uint32_t (*)(const std::uint16_t* Words, int Count);

// Loads a 16-bit library by path: its instance (32 or more), or an error code below 32
// (2: file not found, 11: not a library, 8: no room; 0 without thunking).
std::uint32_t LoadLibrary16(std::string_view Path);
void FreeLibrary16(std::uint32_t Instance);
// The 16:16 address of an entry of a loaded library; 0 when it has none.
std::uint32_t GetProcAddress16(std::uint32_t Instance, std::string_view Name);

constexpr std::uint32_t GMEM_ZEROINIT16 = 0x40;
// A 16-bit memory block of Size bytes (zero-filled when asked); its selector, 0 on failure.
std::uint16_t GlobalAlloc16(std::uint32_t Flags, std::uint32_t Size);
void GlobalFree16(std::uint16_t Selector);
// The flat pointer of a 16:16 address in 16-bit memory; nullptr for none.
void* WOWGetVDMPointer(std::uint32_t Address, std::uint32_t Size, bool ProtectedMode);

// Calls the 16:16 routine Target with the pushed words on the calling thread; DX:AX back.
// An unknown target answers 0. Safe from any thread.
std::uint32_t QT_Thunk(std::uint32_t Target, const std::uint16_t* Words, int Count);

} // namespace platform
