#include "platform/core/thunk.h"

#include "platform/core/dynlib.h"

#include <array>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

namespace platform {
namespace {
std::atomic<bool> g_thunking{false};

// Loaded 16-bit libraries; the instance is 32 + the slot.
constexpr int kInstanceBase = 32;
constexpr int kMaxLibraries = 64;
struct TLibrary16 {
    HMODULE Module = 0;
};
std::array<TLibrary16, kMaxLibraries> g_libraries;

// Entry addresses handed out: selector 0x8000 + index, offset 0. Entries are only ever
// added (and cleared when their library goes), so a call reads its routine without a lock.
constexpr std::uint32_t kEntrySelector = 0x8000;
constexpr int kMaxEntries = 4096;
struct TEntry16 {
    std::atomic<TRoutine16> Routine{nullptr};
    int Library = -1;
    std::string Name;
};
std::array<TEntry16, kMaxEntries> g_entries;
std::atomic<int> g_entryCount{0};

// 16-bit memory: selector 0x100 + slot.
constexpr std::uint32_t kMemorySelector = 0x100;
constexpr int kMaxBlocks = 8192;
struct TBlock16 {
    std::atomic<std::uint8_t*> Data{nullptr};
    std::atomic<std::uint32_t> Size{0};
};
std::array<TBlock16, kMaxBlocks> g_blocks;

std::mutex g_mutex; // loading, resolving and allocating; calls take no lock

int LibrarySlot(std::uint32_t Instance) {
    int slot = static_cast<int>(Instance) - kInstanceBase;
    if (slot < 0 || slot >= kMaxLibraries || !g_libraries[slot].Module) return -1;
    return slot;
}

} // namespace

bool Has16BitThunking() {
    return g_thunking.load();
}

void SetHas16BitThunking(bool on) {
    g_thunking.store(on);
}

std::uint32_t LoadLibrary16(std::string_view Path) {
    if (!Has16BitThunking()) return 0;
    std::lock_guard lock(g_mutex);
    int slot = 0;
    while (slot < kMaxLibraries && g_libraries[slot].Module)
        ++slot;
    if (slot == kMaxLibraries) return 8;
    HMODULE module = LoadLibrary(Path);
    if (!module) return ResolveLibraryPath(Path).empty() ? 2 : 11;
    g_libraries[slot].Module = module;
    return static_cast<std::uint32_t>(kInstanceBase + slot);
}

void FreeLibrary16(std::uint32_t Instance) {
    std::lock_guard lock(g_mutex);
    int slot = LibrarySlot(Instance);
    if (slot < 0) return;
    int count = g_entryCount.load();
    for (int i = 0; i < count; ++i) {
        if (g_entries[i].Library != slot) continue;
        g_entries[i].Routine.store(nullptr);
        g_entries[i].Library = -1;
    }
    FreeLibrary(g_libraries[slot].Module);
    g_libraries[slot].Module = 0;
}

std::uint32_t GetProcAddress16(std::uint32_t Instance, std::string_view Name) {
    std::lock_guard lock(g_mutex);
    int slot = LibrarySlot(Instance);
    if (slot < 0) return 0;
    auto routine = reinterpret_cast<TRoutine16>(GetProcAddress(g_libraries[slot].Module, Name));
    if (!routine) return 0;
    int count = g_entryCount.load();
    int index = 0;
    while (index < count && !(g_entries[index].Library == slot && g_entries[index].Name == Name))
        ++index;
    if (index == count) {
        // A slot freed with its library is taken again before the table grows.
        index = 0;
        while (index < count && g_entries[index].Library >= 0)
            ++index;
        if (index == kMaxEntries) return 0;
        g_entries[index].Library = slot;
        g_entries[index].Name = std::string(Name);
        g_entries[index].Routine.store(routine);
        if (index == count) g_entryCount.store(count + 1);
    }
    return (kEntrySelector + static_cast<std::uint32_t>(index)) << 16;
}

std::uint16_t GlobalAlloc16(std::uint32_t Flags, std::uint32_t Size) {
    if (!Has16BitThunking() || Size > 0xFFFF) return 0;
    std::lock_guard lock(g_mutex);
    for (int i = 0; i < kMaxBlocks; ++i) {
        if (g_blocks[i].Data.load()) continue;
        // A block of 0 bytes still has an address of its own.
        auto* data = static_cast<std::uint8_t*>(std::malloc(Size ? Size : 1));
        if (!data) return 0;
        if (Flags & GMEM_ZEROINIT16) std::memset(data, 0, Size ? Size : 1);
        g_blocks[i].Size.store(Size);
        g_blocks[i].Data.store(data);
        return static_cast<std::uint16_t>(kMemorySelector + static_cast<std::uint32_t>(i));
    }
    return 0;
}

void GlobalFree16(std::uint16_t Selector) {
    std::lock_guard lock(g_mutex);
    int i = static_cast<int>(Selector) - static_cast<int>(kMemorySelector);
    if (i < 0 || i >= kMaxBlocks) return;
    std::free(g_blocks[i].Data.exchange(nullptr));
    g_blocks[i].Size.store(0);
}

void* WOWGetVDMPointer(std::uint32_t Address, std::uint32_t /*Size*/, bool ProtectedMode) {
    if (!ProtectedMode) return nullptr;
    int i = static_cast<int>(Address >> 16) - static_cast<int>(kMemorySelector);
    std::uint32_t offset = Address & 0xFFFF;
    if (i < 0 || i >= kMaxBlocks) return nullptr;
    std::uint8_t* data = g_blocks[i].Data.load();
    if (!data || offset > g_blocks[i].Size.load()) return nullptr;
    return data + offset;
}

std::uint32_t QT_Thunk(std::uint32_t Target, const std::uint16_t* Words, int Count) {
    int index = static_cast<int>(Target >> 16) - static_cast<int>(kEntrySelector);
    if (index < 0 || index >= g_entryCount.load(std::memory_order_acquire)) return 0;
    TRoutine16 routine = g_entries[index].Routine.load(std::memory_order_acquire);
    return routine ? routine(Words, Count) : 0;
}

} // namespace platform
