#pragma once
// ASCII case folding for names the program matches without regard to case (settings sections
// and keys, installation file names). Bytes above 127 compare as they are.

#include <string>
#include <string_view>

namespace platform {

constexpr char LowerChar(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool SameText(std::string_view a, std::string_view b);
std::string LowerCase(std::string_view s);
// Negative, zero or positive like strcmp, ignoring ASCII case.
int CompareText(std::string_view a, std::string_view b);

} // namespace platform
