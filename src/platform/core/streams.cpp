#include "platform/core/streams.h"

#include "platform/core/files.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace platform {

void TStream::SetSize(std::int64_t) {}

std::int64_t TStream::Size() {
    std::int64_t pos = Position();
    std::int64_t size = Seek(0, soFromEnd);
    Seek(pos, soFromBeginning);
    return size;
}

std::int64_t TStream::Remaining() {
    std::int64_t pos = Position();
    return std::max<std::int64_t>(Size() - pos, 0);
}

void TStream::ReadBuffer(void* Buffer, std::int64_t Count) {
    if (Count > 0 && Read(Buffer, Count) != Count) throw EReadError(std::string(SReadError));
}

void TStream::WriteBuffer(const void* Buffer, std::int64_t Count) {
    if (Count > 0 && Write(Buffer, Count) != Count) throw EWriteError(std::string(SWriteError));
}

std::int64_t TMemoryStream::Read(void* Buffer, std::int64_t Count) {
    std::int64_t size = static_cast<std::int64_t>(bytes_.size());
    if (Count <= 0 || pos_ >= size) return 0;
    std::int64_t n = std::min(Count, size - pos_);
    std::memcpy(Buffer, bytes_.data() + pos_, static_cast<std::size_t>(n));
    pos_ += n;
    return n;
}

std::int64_t TMemoryStream::Write(const void* Buffer, std::int64_t Count) {
    if (Count <= 0) return 0;
    std::int64_t end = pos_ + Count;
    if (end > static_cast<std::int64_t>(bytes_.size())) bytes_.resize(static_cast<std::size_t>(end));
    std::memcpy(bytes_.data() + pos_, Buffer, static_cast<std::size_t>(Count));
    pos_ = end;
    return Count;
}

std::int64_t TMemoryStream::Seek(std::int64_t Offset, int Origin) {
    switch (Origin) {
    case soFromBeginning: pos_ = Offset; break;
    case soFromCurrent: pos_ += Offset; break;
    case soFromEnd: pos_ = static_cast<std::int64_t>(bytes_.size()) + Offset; break;
    default: break;
    }
    if (pos_ < 0) pos_ = 0;
    return pos_;
}

void TMemoryStream::SetSize(std::int64_t NewSize) {
    bytes_.resize(static_cast<std::size_t>(std::max<std::int64_t>(NewSize, 0)));
    pos_ = std::min<std::int64_t>(pos_, static_cast<std::int64_t>(bytes_.size()));
}

void TMemoryStream::Clear() {
    bytes_.clear();
    bytes_.shrink_to_fit();
    pos_ = 0;
}

void TMemoryStream::LoadFromFile(std::string_view FileName) {
    TFileStream f(FileName, TFileMode::Read);
    std::int64_t size = f.IsOpen() ? f.Size() : -1;
    std::vector<std::uint8_t> bytes;
    if (size >= 0) {
        bytes.resize(static_cast<std::size_t>(size));
        if (!f.ReadExact(bytes.data(), bytes.size())) size = -1;
    }
    if (size < 0)
        throw EFOpenError("Cannot open file \"" + std::string(FileName) + "\". " +
                          std::strerror(f.ErrorCode() ? f.ErrorCode() : EIO));
    bytes_ = std::move(bytes);
    pos_ = 0;
}

void TMemoryStream::SaveToFile(std::string_view FileName) const {
    std::string error;
    if (!SaveFileAtomic(FileName, View(), &error))
        throw EFCreateError("Cannot create file \"" + std::string(FileName) + "\". " + error);
}

} // namespace platform
