#pragma once
// Sampled sound in memory: a wave-format record of any length plus a block of PCM bytes, read
// from and written to RIFF WAVE images. The data block grows and shrinks in 8,096-byte steps
// so that a wave built up piece by piece reallocates only when a step boundary is crossed.

#include "platform/core/streams.h"

#include <cstdint>
#include <string_view>
#include <vector>

class EWaveStreamError : public platform::EStreamError {
public:
    using platform::EStreamError::EStreamError;
};

constexpr int WaveSizeStep = 8096;

// The fields of a wave-format record up to bits per sample (the first 16 bytes).
struct TWaveFormatHead {
    std::uint16_t FormatTag = 0;
    std::uint16_t Channels = 0;
    std::uint32_t SamplesPerSec = 0;
    std::uint32_t AvgBytesPerSec = 0;
    std::uint16_t BlockAlign = 0;
    std::uint16_t BitsPerSample = 0;
};

class TWave {
public:
    TWave() = default;
    ~TWave(); // Clear
    TWave(const TWave&) = delete;
    TWave& operator=(const TWave&) = delete;

    // Nil when Size is 0; the renderer indexes it by frame.
    std::uint8_t* Data() const { return data_; }
    // The record as the "fmt " chunk held it; nil when FormatSize is 0.
    const std::uint8_t* Format() const { return format_.empty() ? nullptr : format_.data(); }
    std::uint8_t* Format() { return format_.empty() ? nullptr : format_.data(); }
    std::int32_t FormatSize() const { return static_cast<std::int32_t>(format_.size()); }
    std::int32_t Size() const { return size_; }
    // Bytes allocated for Data: whole 8,096-byte steps.
    std::int32_t Capacity() const;
    // False when the record is missing or shorter than 16 bytes: nothing can play it.
    bool FormatHead(TWaveFormatHead& Head) const;

    void Clear();
    void SetFormatSize(int Bytes);
    void SetSize(int Bytes);
    void SetPCMFormat(int Rate, int Bits, int Channels);
    // Nil empties the wave; assigning a wave to itself changes nothing.
    void Assign(const TWave* Source);

    // A RIFF WAVE image at the stream's position. EWaveStreamError, EReadError.
    void LoadFromStream(platform::TStream& Stream);
    // Writes nothing at all when the format or the data is empty.
    void SaveToStream(platform::TStream& Stream) const;
    void LoadFromFile(std::string_view FileName);
    void SaveToFile(std::string_view FileName) const;

private:
    std::uint8_t* data_ = nullptr;
    std::vector<std::uint8_t> format_;
    std::int32_t size_ = 0;
};

// A stream of the sample data inside a RIFF WAVE image that another stream holds.
class TCustomWaveStream : public platform::TStream {
public:
    std::int64_t Read(void* Buffer, std::int64_t Count) override;
    std::int64_t Write(const void* Buffer, std::int64_t Count) override;
    // Origin 0 from the start, 1 from the position, 2 from the data size; then clamped to
    // 0..data size.
    std::int64_t Seek(std::int64_t Offset, int Origin) override;
    void SetSize(std::int64_t) override {}

    virtual std::int64_t FilledSize() { return -1; }
    virtual const std::uint8_t* Format() = 0;
    virtual int FormatSize() { return 0; }
    virtual std::int64_t DataSize() { return -1; }
    virtual void SetFormatSize(int Bytes) = 0;

protected:
    virtual std::int64_t ReadWaveData(void*, std::int64_t) { return 0; }
    virtual std::int64_t WriteWaveData(const void*, std::int64_t) { return 0; }

    std::int64_t position_ = 0;
};

// Owns its format record.
class TCustomWaveStream2 : public TCustomWaveStream {
public:
    const std::uint8_t* Format() override { return format_.data(); }
    std::uint8_t* FormatBytes() { return format_.data(); }
    int FormatSize() override { return static_cast<int>(format_.size()); }
    void SetFormatSize(int Bytes) override;

protected:
    std::vector<std::uint8_t> format_;
};

class TWaveStream : public TCustomWaveStream2 {
public:
    // The wave image begins at the stream's current position.
    explicit TWaveStream(platform::TStream& Stream);
    // Completes the headers of a stream opened for writing (errors are lost here: call Close).
    ~TWaveStream() override;

    void Open(bool WriteMode);
    // Completes the headers of a stream opened for writing; raises like any write.
    void Close();
    std::int64_t DataSize() override;
    std::int64_t FilledSize() override { return DataSize(); }
    // Where the data begins in the underlying stream.
    std::int64_t DataPosition() const { return dataPos_; }

protected:
    std::int64_t ReadWaveData(void* Buffer, std::int64_t Count) override;
    std::int64_t WriteWaveData(const void* Buffer, std::int64_t Count) override;

private:
    void ReadHeaders();
    void WriteHeaders();
    void CheckOpened() const;

    std::int64_t dataPos_ = 0;
    std::int64_t dataHeaderPos_ = 0;
    bool opened_ = false;
    std::int64_t origin_ = 0;
    bool readMode_ = false;
    std::int64_t dataSize_ = 0;
    platform::TStream& stream_;
    bool closed_ = false;
};
