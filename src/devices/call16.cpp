#include "devices/call16.h"

#include "platform/core/thunk.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <stdexcept>

using namespace platform;

namespace {

// The entries looked up once, when the engine is loaded: those called most often, and all
// that the audio thread and the input callback call, so that no call of theirs takes the
// loader's lock. "Rec" is "Start"'s twin on the audio thread.
constexpr std::string_view cachedNames[] = {
    "Start",         "StopMidi",     "PushMidiOut",  "PushSysexOut",
    "DirectMidiOut", "QueueMidiOut", "MoreMidiIn",   "GetMidiInTime",
    "GetMidiInData", "GetPos",       "GetTotalPos",  "SetupMTC",
    "RecordEvent",   "WaitMS",       "GetLoopCount", "Rec"};
constexpr int cachedCount = static_cast<int>(std::size(cachedNames));
std::array<std::atomic<std::uint32_t>, cachedCount> cache{};

int CacheIndex(std::string_view Name) {
    for (int i = 0; i < cachedCount; ++i)
        if (cachedNames[i] == Name) return i;
    return -1;
}

constexpr int maxStackBytes = 1024;
constexpr int maxPointers = 10;

// One buffer argument of a call: its 16-bit block and where its bytes go back to.
struct TPointerEntry {
    std::uint16_t Selector = 0;
    std::uint8_t* Flat = nullptr;
    int Size = 0;
    void* Caller = nullptr;
};

// The blocks of one call; whatever happens, they are freed when the call ends.
struct TPointerTable {
    std::array<TPointerEntry, maxPointers> Entries;
    int Count = 0;
    ~TPointerTable() {
        for (int i = 0; i < Count; ++i)
            if (Entries[i].Selector) GlobalFree16(Entries[i].Selector);
    }
};

[[noreturn]] void Raise(std::string Text) {
    throw std::runtime_error(std::move(Text));
}

} // namespace

std::uint32_t Load16BitLibrary(const std::string& Path) {
    std::uint32_t instance = LoadLibrary16(Path);
    if (instance < 32) Raise("Load 16-bit dll failed: " + Path);
    return instance;
}

std::uint32_t Get16BitAddress(std::uint32_t Instance, std::string_view Name) {
    std::uint32_t address = GetProcAddress16(Instance, Name);
    if (address == 0) Raise("Get 16-bit address failed: " + std::string(Name));
    return address;
}

void Cache16BitAddress(std::uint32_t Instance, std::string_view Name) {
    std::uint32_t address = Get16BitAddress(Instance, Name);
    if (int i = CacheIndex(Name); i >= 0) cache[i].store(address, std::memory_order_release);
}

void Clear16BitCache() {
    for (auto& a : cache)
        a.store(0);
}

int Call16BitRoutine(std::string_view Name, std::uint32_t Instance, int Convention,
                     std::span<const T16BitArg> Args, std::span<const int> Sizes) {
    if (Args.size() != Sizes.size()) Raise("Parameter mismatch");
    // Stack and table belong to this call alone.
    std::array<std::uint16_t, maxStackBytes / 2 + 2> stack;
    int words = 0;
    TPointerTable table;

    std::uint32_t target = 0;
    if (int i = CacheIndex(Name); i >= 0) target = cache[i].load(std::memory_order_acquire);
    if (target == 0) target = Get16BitAddress(Instance, Name);

    const int count = static_cast<int>(Args.size());
    if (count > 0 && Sizes[0] != 0) {
        for (int n = 0; n < count; ++n) {
            int k = Convention == 1 ? count - 1 - n : n;
            const T16BitArg& arg = Args[k];
            int size = Sizes[k];
            // Checked before each argument, so the last one may end a little beyond.
            if (words * 2 > maxStackBytes) Raise("Too many parameters");
            switch (arg.Kind) {
            case T16BitArg::Integer:
            case T16BitArg::Boolean:
            case T16BitArg::Character: {
                auto v = static_cast<std::uint32_t>(arg.Value);
                if (size == 1) {
                    stack[words++] = static_cast<std::uint16_t>(v & 0xFF);
                } else if (size == 4) {
                    stack[words++] = static_cast<std::uint16_t>(v >> 16);
                    stack[words++] = static_cast<std::uint16_t>(v & 0xFFFF);
                } else {
                    stack[words++] = static_cast<std::uint16_t>(v & 0xFFFF);
                }
                break;
            }
            case T16BitArg::Buffer: {
                if (table.Count == maxPointers) Raise("Too many pointer parameters");
                TPointerEntry& e = table.Entries[table.Count++];
                int bytes = std::clamp(size, 0, 0xFFFF);
                e.Selector = GlobalAlloc16(GMEM_ZEROINIT16, static_cast<std::uint32_t>(bytes));
                e.Flat = static_cast<std::uint8_t*>(
                    WOWGetVDMPointer(static_cast<std::uint32_t>(e.Selector) << 16, 0, true));
                // Without a block the routine gets a null pointer and nothing is copied.
                if (e.Flat && arg.Data && bytes > 0) {
                    std::memcpy(e.Flat, arg.Data, static_cast<std::size_t>(bytes));
                    e.Size = bytes;
                    e.Caller = arg.Data;
                }
                stack[words++] = e.Selector;
                stack[words++] = 0;
                break;
            }
            case T16BitArg::Other:
                break;
            }
        }
    }

    std::uint32_t result = QT_Thunk(target, stack.data(), words);
    for (int i = 0; i < table.Count; ++i) {
        const TPointerEntry& e = table.Entries[i];
        if (e.Caller) std::memcpy(e.Caller, e.Flat, static_cast<std::size_t>(e.Size));
    }
    return static_cast<int>(result);
}

// ---- the engine link ----------------------------------------------------------------------

std::uint32_t T16BitEngineLink::Load(const std::string& Path) {
    Clear16BitCache();
    instance_ = Load16BitLibrary(Path);
    return instance_;
}

void T16BitEngineLink::Resolve(std::string_view Name) {
    Cache16BitAddress(instance_, Name);
    if (Name == "Start" && GetProcAddress16(instance_, "Rec") != 0)
        Cache16BitAddress(instance_, "Rec");
}

int T16BitEngineLink::Call(std::string_view Name, std::initializer_list<std::uint32_t> Args) {
    // At most the eight values of "Metronom"; nothing here allocates.
    std::array<T16BitArg, 12> args;
    std::array<int, 12> sizes;
    std::size_t n = 0;
    for (std::uint32_t a : Args) {
        if (n == args.size()) break;
        args[n] = T16BitArg::Int(static_cast<std::int32_t>(a));
        sizes[n++] = 4;
    }
    return Call16BitRoutine(Name, instance_, 0, std::span(args.data(), n),
                            std::span(sizes.data(), n));
}

int T16BitEngineLink::CallWithBlock(std::string_view Name,
                                    std::initializer_list<std::uint32_t> Args,
                                    const std::uint8_t* Block, int Len, std::uint32_t Last) {
    std::array<T16BitArg, 12> args;
    std::array<int, 12> sizes;
    std::size_t n = 0;
    for (std::uint32_t a : Args) {
        if (n == args.size() - 2) break;
        args[n] = T16BitArg::Int(static_cast<std::int32_t>(a));
        sizes[n++] = 4;
    }
    // The routine may write into its block; the caller's bytes stay as they were.
    std::array<std::uint8_t, 512> copy{};
    int len = std::clamp(Len, 0, static_cast<int>(copy.size()));
    if (Block && len > 0) std::memcpy(copy.data(), Block, static_cast<std::size_t>(len));
    args[n] = T16BitArg::Buf(copy.data());
    sizes[n++] = len;
    args[n] = T16BitArg::Int(static_cast<std::int32_t>(Last));
    sizes[n++] = 4;
    return Call16BitRoutine(Name, instance_, 0, std::span(args.data(), n),
                            std::span(sizes.data(), n));
}

void T16BitEngineLink::Unload() {
    if (instance_ >= 32) FreeLibrary16(instance_);
    instance_ = 0;
    Clear16BitCache();
}

void ChooseMidiMode() {
    static T16BitEngineLink link;
    MidiMode = Has16BitThunking() ? 0 : 1;
    SetMidiEngineLink(MidiMode == 0 ? &link : nullptr);
}
