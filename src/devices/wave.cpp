#include "devices/wave.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

using platform::EReadError;
using platform::TMemoryStream;
using platform::TStream;

namespace {

constexpr char kRiff[4] = {'R', 'I', 'F', 'F'};
constexpr char kWave[4] = {'W', 'A', 'V', 'E'};
constexpr char kFmt[4] = {'f', 'm', 't', ' '};
constexpr char kData[4] = {'d', 'a', 't', 'a'};

std::uint32_t Le32(const std::uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint16_t Le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
void PutLe32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void PutLe16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void WriteTag(TStream& S, const char (&Tag)[4], std::uint32_t Value) {
    std::uint8_t h[8];
    std::memcpy(h, Tag, 4);
    PutLe32(h + 4, Value);
    S.WriteBuffer(h, 8);
}

std::int64_t Steps(std::int64_t Bytes) {
    return (Bytes + WaveSizeStep - 1) / WaveSizeStep;
}

} // namespace

// ---- TWave -------------------------------------------------------------------------------

TWave::~TWave() {
    Clear();
}

std::int32_t TWave::Capacity() const {
    return static_cast<std::int32_t>(Steps(size_) * WaveSizeStep);
}

bool TWave::FormatHead(TWaveFormatHead& Head) const {
    if (format_.size() < 16) return false;
    const std::uint8_t* f = format_.data();
    Head.FormatTag = Le16(f);
    Head.Channels = Le16(f + 2);
    Head.SamplesPerSec = Le32(f + 4);
    Head.AvgBytesPerSec = Le32(f + 8);
    Head.BlockAlign = Le16(f + 12);
    Head.BitsPerSample = Le16(f + 14);
    return true;
}

void TWave::Clear() {
    std::free(data_);
    data_ = nullptr;
    size_ = 0;
    format_.clear();
    format_.shrink_to_fit();
}

void TWave::SetFormatSize(int Bytes) {
    format_.resize(static_cast<std::size_t>(std::max(Bytes, 0)));
}

void TWave::SetSize(int Bytes) {
    const int size = std::max(Bytes, 0);
    const std::int64_t steps = Steps(size);
    if (steps != Steps(size_)) {
        if (steps == 0) {
            std::free(data_);
            data_ = nullptr;
        } else {
            void* p = std::realloc(data_, static_cast<std::size_t>(steps * WaveSizeStep));
            if (!p) throw std::bad_alloc();
            data_ = static_cast<std::uint8_t*>(p);
        }
    }
    size_ = size;
}

void TWave::SetPCMFormat(int Rate, int Bits, int Channels) {
    SetFormatSize(18);
    std::uint8_t* f = format_.data();
    const std::uint16_t align = static_cast<std::uint16_t>(Channels * (Bits / 8));
    PutLe16(f, 1);
    PutLe16(f + 2, static_cast<std::uint16_t>(Channels));
    PutLe32(f + 4, static_cast<std::uint32_t>(Rate));
    PutLe32(f + 8, static_cast<std::uint32_t>(align) * static_cast<std::uint32_t>(Rate));
    PutLe16(f + 12, align);
    PutLe16(f + 14, static_cast<std::uint16_t>(Bits));
    PutLe16(f + 16, 0);
}

void TWave::Assign(const TWave* Source) {
    if (!Source) {
        Clear();
        return;
    }
    if (Source == this) return;
    SetSize(Source->size_);
    format_ = Source->format_;
    if (size_ > 0) std::memcpy(data_, Source->data_, static_cast<std::size_t>(size_));
}

void TWave::LoadFromStream(TStream& Stream) {
    Clear();
    TWaveStream ws(Stream);
    ws.Open(false);
    const std::int64_t dataSize = ws.DataSize();
    // The data is checked against what the stream holds before anything is allocated: a
    // "data" chunk that promises more leaves the wave empty, never half filled.
    if (dataSize > 0 && (dataSize > INT_MAX || ws.DataPosition() + dataSize > Stream.Size()))
        throw EReadError(std::string(platform::SReadError));
    SetFormatSize(ws.FormatSize());
    if (!format_.empty()) std::memcpy(format_.data(), ws.Format(), format_.size());
    try {
        SetSize(static_cast<int>(dataSize));
        ws.SetPosition(0);
        ws.ReadBuffer(data_, size_);
    } catch (...) {
        Clear();
        throw;
    }
}

void TWave::SaveToStream(TStream& Stream) const {
    if (format_.empty() || size_ < 1) return;
    TWaveStream ws(Stream);
    ws.SetFormatSize(FormatSize());
    std::memcpy(ws.FormatBytes(), format_.data(), format_.size());
    ws.Open(true);
    ws.WriteBuffer(data_, size_);
    ws.Close();
}

void TWave::LoadFromFile(std::string_view FileName) {
    TMemoryStream m;
    m.LoadFromFile(FileName);
    LoadFromStream(m);
}

void TWave::SaveToFile(std::string_view FileName) const {
    TMemoryStream m;
    SaveToStream(m);
    m.SaveToFile(FileName);
}

// ---- wave streams ------------------------------------------------------------------------

std::int64_t TCustomWaveStream::Read(void* Buffer, std::int64_t Count) {
    return ReadWaveData(Buffer, Count);
}

std::int64_t TCustomWaveStream::Write(const void* Buffer, std::int64_t Count) {
    return WriteWaveData(Buffer, Count);
}

std::int64_t TCustomWaveStream::Seek(std::int64_t Offset, int Origin) {
    const std::int64_t size = std::max<std::int64_t>(DataSize(), 0);
    switch (Origin) {
    case platform::soFromBeginning: position_ = Offset; break;
    case platform::soFromCurrent: position_ += Offset; break;
    case platform::soFromEnd: position_ = size + Offset; break;
    default: break;
    }
    position_ = std::clamp<std::int64_t>(position_, 0, size);
    return position_;
}

void TCustomWaveStream2::SetFormatSize(int Bytes) {
    format_.resize(static_cast<std::size_t>(std::max(Bytes, 0)));
}

TWaveStream::TWaveStream(TStream& Stream) : stream_(Stream) {
    origin_ = Stream.Position();
}

TWaveStream::~TWaveStream() {
    try {
        Close();
    } catch (...) {
    }
}

void TWaveStream::CheckOpened() const {
    if (!opened_) throw EWaveStreamError("Stream not opend");
}

void TWaveStream::Open(bool WriteMode) {
    if (opened_) throw EWaveStreamError("Stream has already been opened");
    if (WriteMode) {
        if (format_.empty()) throw EWaveStreamError("Format is invalid");
        readMode_ = false;
        WriteHeaders();
    } else {
        readMode_ = true;
        ReadHeaders();
    }
    opened_ = true;
    position_ = 0;
}

void TWaveStream::ReadHeaders() {
    stream_.SetPosition(origin_);
    const std::int64_t end = stream_.Size();
    if (end - origin_ <= 0) return; // nothing at all: an empty wave
    std::uint8_t riff[12];
    stream_.ReadBuffer(riff, 12);
    if (std::memcmp(riff, kRiff, 4) != 0 || std::memcmp(riff + 8, kWave, 4) != 0)
        throw EWaveStreamError("Wave is invalid");
    // Chunks back to back. After an odd-sized payload a zero byte is a RIFF pad and is
    // skipped; the program's own images put none after an odd "fmt ", and there the next
    // header begins with a letter.
    for (;;) {
        std::uint8_t h[8] = {};
        stream_.Read(h, 8);
        if (Le32(h) == 0) break;
        const std::int64_t size = Le32(h + 4);
        const std::int64_t payload = stream_.Position();
        const std::int64_t left = end - payload;
        const bool isData = std::memcmp(h, kData, 4) == 0;
        if (isData) {
            dataSize_ = size;
            dataPos_ = payload;
        }
        if (size > left) break; // runs past the end: the walk ends here
        if (std::memcmp(h, kFmt, 4) == 0) {
            SetFormatSize(static_cast<int>(size));
            stream_.ReadBuffer(format_.data(), size);
        } else {
            stream_.SetPosition(payload + size);
        }
        if (size & 1) {
            std::uint8_t pad = 1;
            if (stream_.Read(&pad, 1) == 1 && pad != 0) stream_.SetPosition(payload + size);
        }
    }
}

void TWaveStream::WriteHeaders() {
    stream_.SetPosition(origin_);
    std::uint8_t riff[12] = {};
    std::memcpy(riff, kRiff, 4);
    std::memcpy(riff + 8, kWave, 4);
    stream_.WriteBuffer(riff, 12);
    WriteTag(stream_, kFmt, static_cast<std::uint32_t>(format_.size()));
    stream_.WriteBuffer(format_.data(), static_cast<std::int64_t>(format_.size()));
    dataHeaderPos_ = stream_.Position();
    WriteTag(stream_, kData, 0);
    dataPos_ = stream_.Position();
}

void TWaveStream::Close() {
    if (!opened_ || readMode_ || closed_) return;
    closed_ = true;
    const std::int64_t total = stream_.Size();
    const std::int64_t n = total - dataPos_;
    std::uint8_t riff[12];
    std::memcpy(riff, kRiff, 4);
    PutLe32(riff + 4, static_cast<std::uint32_t>(total - origin_ - 8 + (n & 1)));
    std::memcpy(riff + 8, kWave, 4);
    stream_.SetPosition(origin_);
    stream_.WriteBuffer(riff, 12);
    stream_.SetPosition(dataHeaderPos_);
    WriteTag(stream_, kData, static_cast<std::uint32_t>(n));
    stream_.Seek(0, platform::soFromEnd);
    const std::uint8_t zero = 0;
    stream_.WriteBuffer(&zero, 1);
}

std::int64_t TWaveStream::DataSize() {
    if (readMode_ || !opened_) return dataSize_;
    return stream_.Size() - dataPos_;
}

std::int64_t TWaveStream::ReadWaveData(void* Buffer, std::int64_t Count) {
    CheckOpened();
    const std::int64_t size = DataSize();
    position_ = std::min(position_, size);
    const std::int64_t n = std::min(Count, size - position_);
    if (n <= 0) return 0;
    stream_.SetPosition(dataPos_ + position_);
    const std::int64_t got = stream_.Read(Buffer, n);
    position_ += got;
    return got;
}

std::int64_t TWaveStream::WriteWaveData(const void* Buffer, std::int64_t Count) {
    CheckOpened();
    std::int64_t n = Count;
    if (readMode_) n = std::min(Count, DataSize() - position_);
    if (n <= 0) return 0;
    stream_.SetPosition(dataPos_ + position_);
    const std::int64_t put = stream_.Write(Buffer, n);
    position_ += put;
    return put;
}
