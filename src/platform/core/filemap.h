#pragma once
// Whole-file memory maps, read-only or shared read/write.
// Another process shrinking a mapped file makes reads beyond its new end fault; files the
// program maps are its own (songs, samples), which it does not shrink while they are mapped.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

class TFileMap {
public:
    // ReadThrough: read-only, for a reader that goes through the file once: a file below
    // ReadWholeBelow bytes is read into memory with one read (mapping and unmapping it would
    // cost more than the read, and later changes of the file do not show), a larger one is
    // mapped as ReadOnly maps it.
    enum class Access { ReadOnly, ReadWrite, ReadThrough };
    static constexpr std::size_t ReadWholeBelow = std::size_t(256) << 10;

    TFileMap() = default;
    TFileMap(std::string_view path, Access access = Access::ReadOnly) { Open(path, access); }
    ~TFileMap() { Close(); }
    TFileMap(TFileMap&& other) noexcept;
    TFileMap& operator=(TFileMap&& other) noexcept;
    TFileMap(const TFileMap&) = delete;
    TFileMap& operator=(const TFileMap&) = delete;

    // Maps an existing file whole. An empty file maps to an empty range.
    bool Open(std::string_view path, Access access = Access::ReadOnly);
    bool Flush(); // writes changes of a read/write map to the file
    void Close();

    bool IsOpen() const { return open_; }
    const std::uint8_t* Data() const { return data_; }
    std::uint8_t* MutableData() { return writable_ ? data_ : nullptr; } // null when read-only
    std::size_t Size() const { return size_; }
    std::string_view Bytes() const { return {reinterpret_cast<const char*>(data_), size_}; }
    const std::string& Error() const { return error_; }

private:
    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    bool open_ = false;
    bool writable_ = false;
    bool mapped_ = false;
    std::unique_ptr<std::uint8_t[]> read_; // the bytes of a file read whole
    std::string path_;
    std::string error_;
};

} // namespace platform
