#include "devices/sblive.h"

#include <tolvern_sfman.h>

#include <array>
#include <cstdio>
#include <cstring>

TSBLive* SBLive = nullptr;

namespace {
constexpr int nameSize = 81;
constexpr int pathSize = 128;
constexpr int bankCount = 128;

TSBLiveWindows defaultWindows;
TSBLiveWindows* windows = &defaultWindows;
} // namespace

TSBLiveWindows& SBLiveWindows() {
    return *windows;
}

void SetSBLiveWindows(TSBLiveWindows* Windows) {
    windows = Windows ? Windows : &defaultWindows;
}

TSBLive::TSBLive() {
    Library = platform::LoadLibrary("SFMAN32.DLL");
    if (!Library) return;
    ManagerTable = platform::GetProcAddress(Library, "SFManager");
    if (ManagerTable) {
        auto handshake = static_cast<const SFManagerTable*>(ManagerTable)->Handshake;
        void** table = nullptr;
        // Only a handshake that answers 0 and gives its table counts.
        if (handshake && handshake(SFMAN_VERSION, &table) == 0 && table) {
            Interface = table;
            Available = true;
            return;
        }
    }
    platform::FreeLibrary(Library);
    Library = 0;
    ManagerTable = nullptr;
}

TSBLive::~TSBLive() {
    if (Available) platform::FreeLibrary(Library);
}

void TSBLive::Query(int Entry, int Device, int Bank, int Preset, int Size, std::string& Text) {
    Text.clear();
    if (!Available) return;
    auto call = reinterpret_cast<SFBankCall>(Interface[Entry]);
    if (!call) return;
    std::array<char, pathSize> data{};
    SFLocation where{static_cast<std::uint16_t>(Bank), static_cast<std::uint16_t>(Preset)};
    SFBuffer buffer{static_cast<std::uint32_t>(Size), data.data(), 1, 0, 0};
    if (call(Device, &where, &buffer) != 0 || buffer.Used <= 1) return;
    // The text ends at its first zero, and never beyond the buffer.
    Text.assign(data.data(), strnlen(data.data(), static_cast<std::size_t>(Size)));
}

void TSBLive::GetBankName(int Device, int Bank, std::string& Name) {
    Query(SF_BANK_NAME, Device, Bank, 0, nameSize, Name);
}

void TSBLive::GetBankFile(int Device, int Bank, std::string& Path) {
    Query(SF_BANK_FILE, Device, Bank, 0, pathSize, Path);
}

void TSBLive::GetPresetName(int Device, int Bank, int Preset, std::string& Name) {
    Query(SF_PRESET_NAME, Device, Bank, Preset, nameSize, Name);
}

bool TSBLive::LoadBank(int Device, int Bank, std::string_view FileName) {
    if (!Available) return false;
    auto call = reinterpret_cast<SFBankCall>(Interface[SF_LOAD_BANK]);
    // A path the buffer cannot hold with its terminating zero is refused here.
    if (!call || FileName.size() >= pathSize) return false;
    std::array<char, pathSize> data{};
    std::memcpy(data.data(), FileName.data(), FileName.size());
    SFLocation where{static_cast<std::uint16_t>(Bank), 0};
    SFBuffer buffer{pathSize, data.data(), 1, 0, 0};
    return call(Device, &where, &buffer) == 0;
}

bool TSBLive::ClearBank(int Device, int Bank) {
    if (!Available) return false;
    auto call = reinterpret_cast<SFClearCall>(Interface[SF_CLEAR_BANK]);
    SFLocation where{static_cast<std::uint16_t>(Bank), 0};
    return call && call(Device, &where) == 0;
}

bool TSBLive::ClearAllBanks(int Device) {
    for (int b = 0; b < bankCount; ++b)
        ClearBank(Device, b);
    return true;
}

std::string BankListText(TSBLive& Manager) {
    std::string text;
    for (int b = 0; b < bankCount; ++b) {
        char number[8];
        std::snprintf(number, sizeof number, "%03d", b);
        std::string path;
        Manager.GetBankFile(0, b, path);
        text += number + path + "\r\n";
    }
    return text;
}

void LoadBankList(TSBLive& Manager, std::string_view Text) {
    Manager.ClearAllBanks(0);
    std::size_t at = 0;
    for (int b = 0; b < bankCount && at < Text.size(); ++b) {
        // Lines end with CR LF, a lone LF or a lone CR.
        std::size_t end = Text.find_first_of("\r\n", at);
        if (end == std::string_view::npos) end = Text.size();
        std::string_view line = Text.substr(at, end - at);
        at = end;
        if (at < Text.size() && Text[at] == '\r') ++at;
        if (at < Text.size() && Text[at] == '\n' && (at == end || Text[at - 1] == '\r')) ++at;
        // The three leading characters are the bank number; they are not read.
        if (line.size() > 3) Manager.LoadBank(0, b, line.substr(3));
    }
}
