#pragma once
// Byte images of RIFF WAVE files built from their layout, for the wave and bank tests.

#include <cstdint>
#include <exception>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

namespace wavefix {

inline void Le32(std::string& S, std::uint32_t V) {
    for (int i = 0; i < 4; ++i)
        S += static_cast<char>(V >> (8 * i));
}
inline void Le16(std::string& S, std::uint16_t V) {
    S += static_cast<char>(V);
    S += static_cast<char>(V >> 8);
}

inline std::string Chunk(std::string_view Id, std::string_view Payload) {
    std::string s(Id);
    Le32(s, static_cast<std::uint32_t>(Payload.size()));
    s += Payload;
    return s;
}

// A PCM format record of Bytes bytes (16 or more; zeros after the 16 fields).
inline std::string Fmt(int Rate, int Bits, int Channels, int Bytes = 18) {
    std::string f;
    int align = Channels * (Bits / 8);
    Le16(f, 1);
    Le16(f, static_cast<std::uint16_t>(Channels));
    Le32(f, static_cast<std::uint32_t>(Rate));
    Le32(f, static_cast<std::uint32_t>(align * Rate));
    Le16(f, static_cast<std::uint16_t>(align));
    Le16(f, static_cast<std::uint16_t>(Bits));
    f.resize(static_cast<std::size_t>(Bytes), '\0');
    return f;
}

// "RIFF", size, "WAVE" and the chunks as given.
inline std::string Riff(std::initializer_list<std::string> Chunks) {
    std::string body = "WAVE";
    for (const auto& c : Chunks)
        body += c;
    std::string s = "RIFF";
    Le32(s, static_cast<std::uint32_t>(body.size()));
    return s + body;
}

// The error text a call raises, "" when it raises nothing.
inline std::string ErrorOf(const std::function<void()>& F) {
    try {
        F();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

} // namespace wavefix
