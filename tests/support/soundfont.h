#pragma once
// A SoundFont 2 file made in a test: a name and presets (name, number), no samples to speak of.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace testsupport {

inline std::string RiffChunk(std::string_view Id, const std::string& Body) {
    std::string s(Id);
    for (int i = 0; i < 4; ++i)
        s += static_cast<char>((static_cast<std::uint32_t>(Body.size()) >> (8 * i)) & 0xFF);
    s += Body;
    if (Body.size() % 2) s += '\0';
    return s;
}

inline std::string SoundFont(const std::string& Name,
                             const std::vector<std::pair<std::string, int>>& Presets) {
    std::string ifil("\x02\x00\x01\x00", 4);
    std::string info = "INFO" + RiffChunk("ifil", ifil) + RiffChunk("INAM", Name + '\0');
    std::string phdr;
    auto header = [&](const std::string& N, int Number) {
        std::string h(38, '\0');
        std::memcpy(h.data(), N.data(), std::min<std::size_t>(N.size(), 20));
        h[20] = static_cast<char>(Number);
        phdr += h;
    };
    for (auto& [n, number] : Presets)
        header(n, number);
    header("EOP", 0);
    std::string pdta = "pdta" + RiffChunk("phdr", phdr);
    std::string body = "sfbk" + RiffChunk("LIST", info) +
                       RiffChunk("LIST", "sdta" + RiffChunk("smpl", "")) + RiffChunk("LIST", pdta);
    return RiffChunk("RIFF", body);
}

} // namespace testsupport
