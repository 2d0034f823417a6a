#pragma once
// Text for display: bytes are UTF-8, and a byte sequence that is not valid UTF-8 is read as
// Windows-1252 (text typed or stored before UTF-8, so 0x95 shows as a bullet).

#include <string>
#include <string_view>

namespace platform {

bool IsValidUtf8(std::string_view bytes);
// The characters of the text: UTF-8 when the whole text is valid UTF-8, else Windows-1252.
std::u32string DecodeDisplayText(std::string_view bytes);
// The same characters as UTF-8 (text handed to a widget that shows UTF-8).
std::string DisplayUtf8(std::string_view bytes);
// The bytes of the first count characters (caret positions count characters, not bytes).
std::string_view LeadingChars(std::string_view bytes, std::size_t count);

} // namespace platform
