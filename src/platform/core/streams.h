#pragma once
// Streams as the program's file formats expect them: an abstract seekable byte stream whose
// whole-buffer reads and writes raise on a short count, a growable memory stream, and the
// errors the loaders and savers raise with their fixed texts.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class EStreamError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
// "Stream read error", and the malformed-content errors of the component-stream reader.
class EReadError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
// A resource header or signature that is not the expected one: "Invalid stream format".
class EInvalidImage : public EReadError {
public:
    using EReadError::EReadError;
};
// 'Cannot open file "<name>". <reason>'
class EFOpenError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
// 'Cannot create file "<name>". <reason>'
class EFCreateError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
// "List index out of bounds (<index>)"
class EListError : public std::out_of_range {
public:
    using std::out_of_range::out_of_range;
};

constexpr std::string_view SReadError = "Stream read error";
constexpr std::string_view SWriteError = "Stream write error";
constexpr std::string_view SInvalidImage = "Invalid stream format";

// Seek origins.
constexpr int soFromBeginning = 0, soFromCurrent = 1, soFromEnd = 2;

class TStream {
public:
    virtual ~TStream() = default;
    // Bytes actually moved; fewer than Count only at the end (or on an error).
    virtual std::int64_t Read(void* Buffer, std::int64_t Count) = 0;
    virtual std::int64_t Write(const void* Buffer, std::int64_t Count) = 0;
    // The new position.
    virtual std::int64_t Seek(std::int64_t Offset, int Origin) = 0;
    virtual void SetSize(std::int64_t NewSize);

    std::int64_t Position() { return Seek(0, soFromCurrent); }
    void SetPosition(std::int64_t Pos) { Seek(Pos, soFromBeginning); }
    std::int64_t Size();
    // Bytes from the position to the end, never negative.
    std::int64_t Remaining();

    // All Count bytes or EReadError / EWriteError.
    void ReadBuffer(void* Buffer, std::int64_t Count);
    void WriteBuffer(const void* Buffer, std::int64_t Count);
};

// A stream over a byte block of its own that grows as it is written.
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::string_view Bytes) : bytes_(Bytes.begin(), Bytes.end()) {}

    std::int64_t Read(void* Buffer, std::int64_t Count) override;
    std::int64_t Write(const void* Buffer, std::int64_t Count) override;
    std::int64_t Seek(std::int64_t Offset, int Origin) override;
    void SetSize(std::int64_t NewSize) override;

    void Clear();
    std::uint8_t* Memory() { return bytes_.data(); }
    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
    std::string_view View() const {
        return {reinterpret_cast<const char*>(bytes_.data()), bytes_.size()};
    }
    // The whole file, or EFOpenError.
    void LoadFromFile(std::string_view FileName);
    // Replaces the file through a temporary beside it, or EFCreateError.
    void SaveToFile(std::string_view FileName) const;

private:
    std::vector<std::uint8_t> bytes_;
    std::int64_t pos_ = 0;
};

} // namespace platform
