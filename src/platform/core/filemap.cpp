#include "platform/core/filemap.h"

#include "platform/core/files.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace platform {

namespace {
std::uint8_t g_empty[1];
}

TFileMap::TFileMap(TFileMap&& other) noexcept {
    *this = std::move(other);
}

TFileMap& TFileMap::operator=(TFileMap&& other) noexcept {
    if (this != &other) {
        Close();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        open_ = std::exchange(other.open_, false);
        writable_ = std::exchange(other.writable_, false);
        mapped_ = std::exchange(other.mapped_, false);
        read_ = std::move(other.read_);
        path_ = std::move(other.path_);
        error_ = std::move(other.error_);
    }
    return *this;
}

bool TFileMap::Open(std::string_view path, Access access) {
    Close();
    path_ = std::string(path);
    error_.clear();
    bool rw = access == Access::ReadWrite;
    auto fail = [&](std::string_view what, int err) {
        error_ = FileErrorText(what, path_, err);
        return false;
    };
    if (rw) {
        if (int err = TakeFileFailure(FileOp::OpenWrite)) return fail("open", err);
    }
    if (!FileOpenAllowed(path_)) return fail("open", EACCES);
    int fd = ::open(path_.c_str(), (rw ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (fd < 0) return fail("open", errno);
    struct stat st;
    int err = 0;
    if (::fstat(fd, &st) != 0)
        err = errno;
    else if (S_ISDIR(st.st_mode))
        err = EISDIR;
    else if (!S_ISREG(st.st_mode))
        err = ENODEV; // pipes and devices have no fixed size
    else if (int injected = TakeFileFailure(FileOp::Map))
        err = injected;
    if (err) {
        ::close(fd);
        return fail("map", err);
    }
    size_ = static_cast<std::size_t>(st.st_size);
    if (size_ == 0) {
        data_ = g_empty;
    } else if (access == Access::ReadThrough && size_ < ReadWholeBelow) {
        read_.reset(new std::uint8_t[size_]);
        std::size_t got = 0;
        while (got < size_) {
            const ssize_t n = ::read(fd, read_.get() + got, size_ - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                err = n < 0 ? errno : EIO; // shrunk while read
                break;
            }
            got += static_cast<std::size_t>(n);
        }
        if (err) {
            ::close(fd);
            read_.reset();
            size_ = 0;
            return fail("read", err);
        }
        data_ = read_.get();
    } else {
        void* p =
            ::mmap(nullptr, size_, rw ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED, fd, 0);
        if (p == MAP_FAILED) {
            err = errno;
            ::close(fd);
            size_ = 0;
            return fail("map", err);
        }
        data_ = static_cast<std::uint8_t*>(p);
        mapped_ = true;
    }
    ::close(fd); // the map keeps the file
    open_ = true;
    writable_ = rw;
    return true;
}

bool TFileMap::Flush() {
    if (!open_ || !writable_ || !mapped_) return open_;
    if (int err = TakeFileFailure(FileOp::Write)) {
        error_ = FileErrorText("write", path_, err);
        return false;
    }
    if (::msync(data_, size_, MS_SYNC) != 0) {
        error_ = FileErrorText("write", path_, errno);
        return false;
    }
    return true;
}

void TFileMap::Close() {
    if (mapped_) ::munmap(data_, size_);
    read_.reset();
    data_ = nullptr;
    size_ = 0;
    open_ = writable_ = mapped_ = false;
}

} // namespace platform
