#include "devices/compstream.h"

#include <cstring>
#include <vector>

using platform::EReadError;

namespace {

void AppendUtf8(std::string& Out, std::uint32_t C) {
    if (C < 0x80) {
        Out += static_cast<char>(C);
    } else if (C < 0x800) {
        Out += static_cast<char>(0xC0 | C >> 6);
        Out += static_cast<char>(0x80 | (C & 0x3F));
    } else if (C < 0x10000) {
        Out += static_cast<char>(0xE0 | C >> 12);
        Out += static_cast<char>(0x80 | (C >> 6 & 0x3F));
        Out += static_cast<char>(0x80 | (C & 0x3F));
    } else {
        Out += static_cast<char>(0xF0 | C >> 18);
        Out += static_cast<char>(0x80 | (C >> 12 & 0x3F));
        Out += static_cast<char>(0x80 | (C >> 6 & 0x3F));
        Out += static_cast<char>(0x80 | (C & 0x3F));
    }
}

// UTF-16LE to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string WideToUtf8(const std::uint8_t* P, std::size_t Units) {
    std::string out;
    out.reserve(Units);
    for (std::size_t i = 0; i < Units; ++i) {
        std::uint32_t c = P[2 * i] | P[2 * i + 1] << 8;
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < Units) {
            std::uint32_t lo = P[2 * i + 2] | P[2 * i + 3] << 8;
            if (lo >= 0xDC00 && lo < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00);
                ++i;
            }
        }
        if (c >= 0xD800 && c < 0xE000) c = 0xFFFD;
        AppendUtf8(out, c);
    }
    return out;
}

void WriteLe32(platform::TStream& S, std::uint32_t N) {
    std::uint8_t b[4] = {static_cast<std::uint8_t>(N), static_cast<std::uint8_t>(N >> 8),
                         static_cast<std::uint8_t>(N >> 16), static_cast<std::uint8_t>(N >> 24)};
    S.WriteBuffer(b, 4);
}

} // namespace

// ---- writer ------------------------------------------------------------------------------

void TCompWriter::WriteSignature() {
    S.WriteBuffer(FilerSignature.data(), 4);
}

void TCompWriter::WriteValue(TValueType Value) {
    std::uint8_t b = Value;
    S.WriteBuffer(&b, 1);
}

void TCompWriter::WriteStr(std::string_view Text) {
    std::uint8_t n = static_cast<std::uint8_t>(std::min<std::size_t>(Text.size(), 255));
    S.WriteBuffer(&n, 1);
    S.WriteBuffer(Text.data(), n);
}

void TCompWriter::WriteInteger(std::int32_t Value) {
    std::uint8_t b[4];
    if (Value >= -128 && Value <= 127) {
        WriteValue(vaInt8);
        b[0] = static_cast<std::uint8_t>(Value);
        S.WriteBuffer(b, 1);
    } else if (Value >= -32768 && Value <= 32767) {
        WriteValue(vaInt16);
        b[0] = static_cast<std::uint8_t>(Value);
        b[1] = static_cast<std::uint8_t>(Value >> 8);
        S.WriteBuffer(b, 2);
    } else {
        WriteValue(vaInt32);
        WriteLe32(S, static_cast<std::uint32_t>(Value));
    }
}

void TCompWriter::WriteString(std::string_view Text) {
    if (Text.size() <= 255) {
        WriteValue(vaString);
        WriteStr(Text);
        return;
    }
    WriteValue(vaLString);
    WriteLe32(S, static_cast<std::uint32_t>(Text.size()));
    S.WriteBuffer(Text.data(), static_cast<std::int64_t>(Text.size()));
}

void TCompWriter::WriteBoolean(bool Value) {
    WriteValue(Value ? vaTrue : vaFalse);
}

void TCompWriter::WriteBinary(std::string_view Bytes) {
    WriteValue(vaBinary);
    WriteLe32(S, static_cast<std::uint32_t>(Bytes.size()));
    S.WriteBuffer(Bytes.data(), static_cast<std::int64_t>(Bytes.size()));
}

// ---- reader ------------------------------------------------------------------------------

void TCompReader::PropValueError() {
    throw EReadError(std::string(SInvalidPropertyValue));
}

void TCompReader::ReadError() {
    throw EReadError(std::string(platform::SReadError));
}

void TCompReader::Need(std::int64_t Bytes) {
    if (Bytes > S.Remaining()) ReadError();
}

void TCompReader::ReadSignature() {
    char sig[4];
    S.ReadBuffer(sig, 4);
    if (std::memcmp(sig, FilerSignature.data(), 4) != 0)
        throw EReadError(std::string(platform::SInvalidImage));
}

TValueType TCompReader::ReadValue() {
    std::uint8_t b;
    S.ReadBuffer(&b, 1);
    return static_cast<TValueType>(b);
}

TValueType TCompReader::NextValue() {
    TValueType v = ReadValue();
    S.Seek(-1, platform::soFromCurrent);
    return v;
}

void TCompReader::CheckValue(TValueType Value) {
    if (ReadValue() != Value) PropValueError();
}

void TCompReader::ReadPrefix() {
    std::uint8_t b = NextValue();
    if ((b & 0xF0) != 0xF0) return;
    ReadValue();
    if (b & 0x02) ReadInteger(); // the child position
}

std::uint32_t TCompReader::ReadU32() {
    std::uint8_t b[4];
    S.ReadBuffer(b, 4);
    return b[0] | b[1] << 8 | b[2] << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

std::string TCompReader::ReadStr() {
    std::uint8_t n;
    S.ReadBuffer(&n, 1);
    std::string s(n, '\0');
    S.ReadBuffer(s.data(), n);
    return s;
}

std::int32_t TCompReader::ReadInteger() {
    std::uint8_t b[4];
    switch (ReadValue()) {
    case vaInt8:
        S.ReadBuffer(b, 1);
        return static_cast<std::int8_t>(b[0]);
    case vaInt16:
        S.ReadBuffer(b, 2);
        return static_cast<std::int16_t>(b[0] | b[1] << 8);
    case vaInt32: return static_cast<std::int32_t>(ReadU32());
    default: PropValueError();
    }
}

std::string TCompReader::ReadString() {
    switch (ReadValue()) {
    case vaString: return ReadStr();
    case vaLString:
    case vaUTF8String: {
        std::uint32_t n = ReadU32();
        Need(n);
        std::string s(n, '\0');
        S.ReadBuffer(s.data(), n);
        return s;
    }
    case vaWString: {
        std::uint32_t units = ReadU32();
        Need(2 * static_cast<std::int64_t>(units));
        std::vector<std::uint8_t> w(2 * static_cast<std::size_t>(units));
        S.ReadBuffer(w.data(), static_cast<std::int64_t>(w.size()));
        return WideToUtf8(w.data(), units);
    }
    default: PropValueError();
    }
}

bool TCompReader::ReadBoolean() {
    switch (ReadValue()) {
    case vaFalse: return false;
    case vaTrue: return true;
    default: PropValueError();
    }
}

void TCompReader::ReadBinary(platform::TMemoryStream& Into) {
    CheckValue(vaBinary);
    std::uint32_t n = ReadU32();
    Need(n);
    Into.Clear();
    Into.SetSize(n);
    S.ReadBuffer(Into.Memory(), n);
    Into.SetPosition(0);
}
