// A SoundFont manager for a card that does not exist: device 0 has 128 banks, each holding the
// SoundFont 2 file loaded into it. A load reads the file's name and its preset headers and
// refuses anything that is not a SoundFont 2 file.

#include <tolvern_sfman.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct TPreset {
    std::string Name;
    uint16_t Number;
};

struct TBank {
    bool Loaded = false;
    std::string Path, Name;
    std::vector<TPreset> Presets;
};

std::array<TBank, 128> banks;

uint32_t Le32(const uint8_t* P) {
    return P[0] | (uint32_t(P[1]) << 8) | (uint32_t(P[2]) << 16) | (uint32_t(P[3]) << 24);
}

class TReader {
public:
    explicit TReader(const char* Path) : f_(std::fopen(Path, "rb")) {}
    ~TReader() {
        if (f_) std::fclose(f_);
    }
    bool Ok() const { return f_ != nullptr; }
    bool Read(void* To, size_t N) { return f_ && std::fread(To, 1, N, f_) == N; }
    bool Skip(uint32_t N) { return f_ && std::fseek(f_, static_cast<long>(N), SEEK_CUR) == 0; }

private:
    std::FILE* f_;
};

// Reads the name (INFO/INAM) and the preset headers (pdta/phdr) of a SoundFont 2 file.
bool ReadSoundFont(const char* Path, TBank& Bank) {
    TReader r(Path);
    uint8_t head[12];
    if (!r.Read(head, 12) || std::memcmp(head, "RIFF", 4) || std::memcmp(head + 8, "sfbk", 4))
        return false;
    uint32_t left = Le32(head + 4) - 4;
    bool named = false, presets = false;
    while (left >= 8) {
        uint8_t chunk[8];
        if (!r.Read(chunk, 8)) break;
        uint32_t size = Le32(chunk + 4), padded = size + (size & 1);
        left -= 8;
        if (padded > left) return false;
        left -= padded;
        if (std::memcmp(chunk, "LIST", 4) || size < 4) {
            if (!r.Skip(padded)) return false;
            continue;
        }
        uint8_t type[4];
        if (!r.Read(type, 4)) return false;
        uint32_t inner = padded - 4;
        bool info = !std::memcmp(type, "INFO", 4), pdta = !std::memcmp(type, "pdta", 4);
        while (inner >= 8) {
            if (!r.Read(chunk, 8)) return false;
            uint32_t n = Le32(chunk + 4), pn = n + (n & 1);
            inner -= 8;
            if (pn > inner) return false;
            inner -= pn;
            if (info && !std::memcmp(chunk, "INAM", 4) && n <= 256) {
                char name[257] = {};
                if (!r.Read(name, pn)) return false;
                Bank.Name.assign(name, strnlen(name, n));
                named = true;
            } else if (pdta && !std::memcmp(chunk, "phdr", 4) && n % 38 == 0 && n <= 38 * 65536) {
                // The last header only ends the list.
                for (uint32_t i = 0; i < n / 38; ++i) {
                    uint8_t h[38];
                    if (!r.Read(h, 38)) return false;
                    if (i + 1 < n / 38)
                        Bank.Presets.push_back(
                            {std::string(reinterpret_cast<char*>(h),
                                         strnlen(reinterpret_cast<char*>(h), 20)),
                             static_cast<uint16_t>(h[20] | (h[21] << 8))});
                }
                if (pn != n && !r.Skip(1)) return false;
                presets = true;
            } else if (!r.Skip(pn)) {
                return false;
            }
        }
        if (inner && !r.Skip(inner)) return false;
    }
    return named && presets;
}

bool Valid(int32_t Device, const SFLocation* Where) {
    return Device == 0 && Where && Where->Bank < banks.size();
}

// Copies Text into the buffer, cut to fit with its zero; Used counts the zero.
int32_t Answer(SFBuffer* Buffer, const std::string& Text) {
    if (!Buffer || !Buffer->Data || Buffer->Size == 0) return 2;
    size_t n = std::min<size_t>(Text.size(), Buffer->Size - 1);
    std::memcpy(Buffer->Data, Text.data(), n);
    Buffer->Data[n] = 0;
    Buffer->Used = static_cast<uint32_t>(n + 1);
    return 0;
}

int32_t LoadBank(int32_t Device, SFLocation* Where, SFBuffer* Buffer) {
    if (!Valid(Device, Where) || !Buffer || !Buffer->Data || Buffer->Size == 0) return 1;
    std::string path(Buffer->Data, strnlen(Buffer->Data, Buffer->Size));
    TBank bank;
    if (!ReadSoundFont(path.c_str(), bank)) return 3;
    bank.Loaded = true;
    bank.Path = path;
    banks[Where->Bank] = bank;
    return 0;
}

int32_t BankName(int32_t Device, SFLocation* Where, SFBuffer* Buffer) {
    if (!Valid(Device, Where)) return 1;
    const TBank& b = banks[Where->Bank];
    return Answer(Buffer, b.Loaded ? b.Name : "");
}

int32_t BankFile(int32_t Device, SFLocation* Where, SFBuffer* Buffer) {
    if (!Valid(Device, Where)) return 1;
    const TBank& b = banks[Where->Bank];
    return Answer(Buffer, b.Loaded ? b.Path : "");
}

int32_t ClearBank(int32_t Device, SFLocation* Where) {
    if (!Valid(Device, Where)) return 1;
    banks[Where->Bank] = TBank{};
    return 0;
}

int32_t PresetName(int32_t Device, SFLocation* Where, SFBuffer* Buffer) {
    if (!Valid(Device, Where)) return 1;
    for (const TPreset& p : banks[Where->Bank].Presets)
        if (p.Number == Where->Preset) return Answer(Buffer, p.Name);
    return 4;
}

void* table[SF_ENTRIES] = {};

int32_t Handshake(uint32_t Version, void*** Interface) {
    if (Version != SFMAN_VERSION || !Interface) return 1;
    table[SF_LOAD_BANK] = reinterpret_cast<void*>(&LoadBank);
    table[SF_BANK_NAME] = reinterpret_cast<void*>(&BankName);
    table[SF_BANK_FILE] = reinterpret_cast<void*>(&BankFile);
    table[SF_CLEAR_BANK] = reinterpret_cast<void*>(&ClearBank);
    table[SF_PRESET_NAME] = reinterpret_cast<void*>(&PresetName);
    *Interface = table;
    return 0;
}

} // namespace

extern "C" {
__attribute__((visibility("default"))) SFManagerTable SFManager = {&Handshake};
}
