#pragma once
// The form framework's published component-stream format ("TPF0"), as far as sample banks use
// it: value markers, integers in their smallest form, strings, Booleans, binary blocks, lists
// and collections. The reader raises EReadError with the framework's texts on anything
// malformed and checks every length against the bytes that remain before it allocates.

#include "platform/core/streams.h"

#include <cstdint>
#include <string>
#include <string_view>

// Value markers.
enum TValueType : std::uint8_t {
    vaNull = 0,
    vaList = 1,
    vaInt8 = 2,
    vaInt16 = 3,
    vaInt32 = 4,
    vaExtended = 5,
    vaString = 6,
    vaIdent = 7,
    vaFalse = 8,
    vaTrue = 9,
    vaBinary = 10,
    vaSet = 11,
    vaLString = 12,
    vaNil = 13,
    vaCollection = 14,
    vaSingle = 15,
    vaCurrency = 16,
    vaDate = 17,
    vaWString = 18,
    vaInt64 = 19,
    vaUTF8String = 20,
};

constexpr std::string_view FilerSignature = "TPF0";
constexpr std::string_view SInvalidPropertyValue = "Invalid property value";

class TCompWriter {
public:
    explicit TCompWriter(platform::TStream& Stream) : S(Stream) {}
    void WriteSignature();
    void WriteValue(TValueType Value);
    void WriteStr(std::string_view Text); // a short string: at most 255 bytes are written
    void WriteInteger(std::int32_t Value);
    // vaString up to 255 bytes, vaLString above.
    void WriteString(std::string_view Text);
    void WriteBoolean(bool Value);
    void WriteBinary(std::string_view Bytes);
    void WriteListBegin() { WriteValue(vaList); }
    void WriteListEnd() { WriteValue(vaNull); }

private:
    platform::TStream& S;
};

class TCompReader {
public:
    explicit TCompReader(platform::TStream& Stream) : S(Stream) {}
    void ReadSignature(); // "Invalid stream format"
    TValueType ReadValue();
    TValueType NextValue();
    bool EndOfList() { return NextValue() == vaNull; }
    void ReadListBegin() { CheckValue(vaList); }
    void ReadListEnd() { CheckValue(vaNull); }
    void CheckValue(TValueType Value);
    // Component prefix: flags and, for a child position, an integer.
    void ReadPrefix();
    std::string ReadStr();
    std::int32_t ReadInteger();
    // Byte strings as they are; wide and UTF-8 strings as UTF-8.
    std::string ReadString();
    bool ReadBoolean();
    // A binary block into Into (replacing its contents, position 0).
    void ReadBinary(platform::TMemoryStream& Into);

    [[noreturn]] static void PropValueError();
    [[noreturn]] static void ReadError();

private:
    void Need(std::int64_t Bytes); // the read error unless that many bytes remain
    std::uint32_t ReadU32();

    platform::TStream& S;
};
