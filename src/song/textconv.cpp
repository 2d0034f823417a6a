#include "song/textconv.h"

#include "platform/core/ini.h"
#include "song/song.h"

#include <algorithm>
#include <cstdint>

namespace {

int HexValue(char C) {
    if (C >= '0' && C <= '9') return C - '0';
    if (C >= 'A' && C <= 'F') return C - 'A' + 10;
    if (C >= 'a' && C <= 'f') return C - 'a' + 10;
    return -1;
}

// Num / Den (Den > 0) to the nearest integer, an exact half to the even neighbour. Done on
// whole numbers so that the halves the scales are built on are met exactly.
std::int64_t RoundQuotient(std::int64_t Num, std::int64_t Den) {
    std::int64_t q = Num / Den, r = Num % Den;
    if (r < 0) {
        --q;
        r += Den;
    }
    if (2 * r > Den || (2 * r == Den && (q & 1) != 0)) ++q;
    return q;
}

int ToLevel(std::int64_t V) {
    return static_cast<int>(std::clamp<std::int64_t>(V, 0, 127));
}

} // namespace

void ParseSysexText(std::string& Text, std::string& Err, int& Count) {
    // Blanks go, except between quotes; the quotes themselves stay.
    std::string clean;
    bool quoted = false;
    for (char c : Text) {
        if (c == '"') quoted = !quoted;
        if (quoted || c != ' ') clean += c;
    }
    Err.clear();
    Count = 0;
    std::string out;
    std::size_t i = 0;
    while (i < clean.size()) {
        if (clean[i] == '"') {
            std::size_t close = clean.find('"', i + 1);
            if (close == std::string::npos) {
                Err = "Missing right quote";
                break;
            }
            out.append(clean, i + 1, close - i - 1);
            Count += static_cast<int>(close - i - 1);
            i = close + 1;
            continue;
        }
        if (i + 1 >= clean.size()) {
            Err = "Incomplete";
            break;
        }
        if (clean[i + 1] == '"') {
            Err = "Unexpected quote";
            break;
        }
        int hi = HexValue(clean[i]), lo = HexValue(clean[i + 1]);
        if (hi >= 0 && lo >= 0) {
            out += static_cast<char>(hi * 16 + lo);
            ++Count;
        }
        i += 2;
    }
    if (Err.empty() && Count == 0) Err = "Empty sysex";
    if (Err.empty() && Count > 512) Err = "Max 512 bytes";
    Text = std::move(out);
}

void SysexToHex(const _TEvent& Event, std::string& S) {
    static constexpr char digits[] = "0123456789ABCDEF";
    S.clear();
    const std::uint8_t* block = EventBlock(Event);
    if (!block) return;
    for (int i = 0; i < Event.DataLen; ++i) {
        S += digits[block[i] >> 4];
        S += digits[block[i] & 15];
    }
}

int FontStylesToInt(platform::TFontStyles Styles) {
    using namespace platform;
    return static_cast<int>(Styles & (fsBold | fsItalic | fsUnderline | fsStrikeOut));
}

platform::TFontStyles IntToFontStyles(int N) {
    using namespace platform;
    return static_cast<TFontStyles>(N) & (fsBold | fsItalic | fsUnderline | fsStrikeOut);
}

int OldVolumeToLevel(int V) {
    // 127 + V x 0.0127
    return ToLevel(RoundQuotient(1270000 + std::int64_t{127} * V, 10000));
}

int OldPanToLevel(int P) {
    // 127 - (P + 10000) x 0.00635
    return ToLevel(127 - RoundQuotient((std::int64_t{P} + 10000) * 127, 20000));
}

bool TryTextToInt(std::string_view S, int& N) {
    // The conversion answers its default for anything that is no whole number.
    int a = platform::StrToIntDef(S, 0), b = platform::StrToIntDef(S, 1);
    if (a != b) return false;
    N = a;
    return true;
}
