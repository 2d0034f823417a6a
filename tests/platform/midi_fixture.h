// What the MIDI layer's tests share.
#pragma once

#include "platform/midi/midi.h"

#include <cstdint>
#include <cstring>
#include <vector>

// Stream events laid out as the stream reads them.
struct TStreamBuffer {
    std::vector<std::uint32_t> Words;
    platform::MIDIHDR Hdr;
    void Short(std::uint32_t delta, std::uint32_t event) {
        Words.insert(Words.end(), {delta, 0, event});
    }
    void Long(std::uint32_t delta, const std::vector<std::uint8_t>& bytes) {
        Words.insert(Words.end(),
                     {delta, 0,
                      platform::MEVT_F_LONG | (std::uint32_t(platform::MEVT_LONGMSG & 0x7F) << 24) |
                          std::uint32_t(bytes.size())});
        std::size_t at = Words.size();
        Words.resize(at + (bytes.size() + 3) / 4);
        std::memcpy(&Words[at], bytes.data(), bytes.size());
    }
    platform::MIDIHDR* Header() {
        Hdr = platform::MIDIHDR{};
        Hdr.lpData = reinterpret_cast<char*>(Words.data());
        Hdr.dwBufferLength = Hdr.dwBytesRecorded = static_cast<std::uint32_t>(Words.size() * 4);
        return &Hdr;
    }
};
