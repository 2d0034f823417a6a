#pragma once
// The framework's exception base and its conversion error, with the integer conversions that
// raise it.

#include <stdexcept>
#include <string>
#include <string_view>

namespace platform {

class Exception : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    std::string Message() const { return what(); }
};

class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// Decimal with an optional sign, or hexadecimal after '$'; leading blanks are skipped.
// Anything else, or a value outside 32 bits, raises EConvertError
// "'abc' is not a valid integer value".
int StrToInt(std::string_view s);
std::string IntToStr(long long value);

} // namespace platform
