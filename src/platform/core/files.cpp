#include "platform/core/files.h"

#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

// ---- failure injection -------------------------------------------------------------------

namespace {

constexpr int kOpKinds = 7;
// Per kind: successful operations still allowed before the failure, or -1 for none pending.
std::atomic<int> g_failCountdown[kOpKinds] = {-1, -1, -1, -1, -1, -1, -1};
std::atomic<int> g_failErrno[kOpKinds];

constexpr std::size_t kBufferSize = 64 * 1024;

} // namespace

void FailNextFileOp(FileOp op, int skip, int error) {
    int i = static_cast<int>(op);
    g_failErrno[i].store(error ? error : EIO);
    g_failCountdown[i].store(skip < 0 ? 0 : skip);
}

void ClearFileFailures() {
    for (auto& c : g_failCountdown)
        c.store(-1);
}

int TakeFileFailure(FileOp op) {
    int i = static_cast<int>(op);
    int v = g_failCountdown[i].load();
    while (v >= 0) {
        if (g_failCountdown[i].compare_exchange_weak(v, v - 1))
            return v == 0 ? g_failErrno[i].load() : 0;
    }
    return 0;
}

namespace {
std::atomic<TFileOpenHook> g_openHook{nullptr};
} // namespace

void SetFileOpenHook(TFileOpenHook hook) {
    g_openHook.store(hook);
}

bool FileOpenAllowed(std::string_view path) {
    TFileOpenHook hook = g_openHook.load();
    return !hook || hook(path);
}

std::string FileErrorText(std::string_view what, std::string_view path, int err) {
    std::string s = "Cannot ";
    s += what;
    s += ' ';
    s += path;
    s += ": ";
    s += std::strerror(err);
    return s;
}

// ---- file stream -------------------------------------------------------------------------

TFileStream::~TFileStream() {
    if (fd_ >= 0) Close();
}

bool TFileStream::Fail(std::string_view what, int err) {
    if (error_.empty()) {
        error_ = FileErrorText(what, path_, err);
        errno_ = err;
    }
    return false;
}

bool TFileStream::Open(std::string_view path, TFileMode mode) {
    if (fd_ >= 0) Close();
    path_ = std::string(path);
    error_.clear();
    errno_ = 0;
    pending_.clear();
    pos_ = 0;
    int flags = O_CLOEXEC;
    FileOp op = FileOp::OpenWrite;
    switch (mode) {
    case TFileMode::Read:
        flags |= O_RDONLY;
        break;
    case TFileMode::Write:
        flags |= O_WRONLY;
        break;
    case TFileMode::ReadWrite:
        flags |= O_RDWR;
        break;
    case TFileMode::Create:
        flags |= O_RDWR | O_CREAT | O_TRUNC;
        op = FileOp::Create;
        break;
    case TFileMode::CreateNew:
        flags |= O_RDWR | O_CREAT | O_EXCL;
        op = FileOp::Create;
        break;
    }
    const char* what = op == FileOp::Create ? "create" : "open";
    if (mode != TFileMode::Read) {
        if (int err = TakeFileFailure(op)) return Fail(what, err);
    }
    if (!FileOpenAllowed(path_)) return Fail(what, EACCES);
    readOnly_ = mode == TFileMode::Read;
    fd_ = ::open(path_.c_str(), flags, 0666);
    if (fd_ < 0) return Fail(what, errno);
    struct stat st;
    if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        return Fail(what, EISDIR);
    }
    return true;
}

bool TFileStream::WriteAll(const char* p, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        if (int err = TakeFileFailure(FileOp::Write)) return Fail("write", err);
        ssize_t r = ::write(fd_, p + done, n - done);
        if (r < 0) {
            if (errno == EINTR) continue;
            return Fail("write", errno);
        }
        done += static_cast<std::size_t>(r);
    }
    return true;
}

bool TFileStream::FlushBuffer() {
    bool ok = WriteAll(pending_.data(), pending_.size());
    pending_.clear();
    return ok;
}

bool TFileStream::Flush() {
    if (fd_ < 0) return Fail("write", EBADF);
    if (!FlushBuffer()) return false;
    return Ok();
}

std::size_t TFileStream::Read(void* buf, std::size_t n) {
    if (fd_ < 0 || !Ok()) return 0;
    if (!pending_.empty() && !FlushBuffer()) return 0;
    std::size_t done = 0;
    auto* p = static_cast<char*>(buf);
    while (done < n) {
        ssize_t r = ::read(fd_, p + done, n - done);
        if (r < 0) {
            if (errno == EINTR) continue;
            Fail("read", errno);
            break;
        }
        if (r == 0) break;
        done += static_cast<std::size_t>(r);
    }
    pos_ += static_cast<std::int64_t>(done);
    return done;
}

bool TFileStream::Write(const void* buf, std::size_t n) {
    if (fd_ < 0 || readOnly_) return Fail("write", EBADF);
    if (!Ok()) return false;
    const auto* p = static_cast<const char*>(buf);
    if (pending_.size() + n > kBufferSize) {
        if (!FlushBuffer()) return false;
        if (n >= kBufferSize) { // large blocks go straight through
            pos_ += static_cast<std::int64_t>(n);
            return WriteAll(p, n);
        }
    }
    if (pending_.capacity() < kBufferSize) pending_.reserve(kBufferSize);
    pending_.insert(pending_.end(), p, p + n);
    pos_ += static_cast<std::int64_t>(n);
    return true;
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    if (fd_ < 0) return Fail("seek in", EBADF), -1;
    if (!FlushBuffer()) return -1;
    int whence = origin == TSeekOrigin::Begin     ? SEEK_SET
                 : origin == TSeekOrigin::Current ? SEEK_CUR
                                                  : SEEK_END;
    off_t r = ::lseek(fd_, static_cast<off_t>(offset), whence);
    if (r < 0) return Fail("seek in", errno), -1;
    pos_ = r;
    return pos_;
}

std::int64_t TFileStream::Size() {
    if (fd_ < 0) return Fail("read", EBADF), -1;
    if (!FlushBuffer()) return -1;
    struct stat st;
    if (::fstat(fd_, &st) != 0) return Fail("read", errno), -1;
    return st.st_size;
}

bool TFileStream::SetSize(std::int64_t size) {
    if (fd_ < 0) return Fail("resize", EBADF);
    if (!FlushBuffer()) return false;
    if (int err = TakeFileFailure(FileOp::Write)) return Fail("resize", err);
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) return Fail("resize", errno);
    return true;
}

bool TFileStream::Sync() {
    if (!Flush()) return false;
    if (int err = TakeFileFailure(FileOp::Sync)) return Fail("write", err);
    if (::fsync(fd_) != 0) return Fail("write", errno);
    return true;
}

bool TFileStream::Close() {
    if (fd_ < 0) return Ok();
    FlushBuffer();
    if (::close(fd_) != 0) Fail("close", errno);
    fd_ = -1;
    return Ok();
}

// ---- reading at any offset ---------------------------------------------------------------

bool TFileReader::Open(std::string_view path) {
    Close();
    error_.clear();
    const std::string name(path);
    if (!FileOpenAllowed(name)) return error_ = FileErrorText("open", name, EACCES), false;
    // Not blocking: opening a FIFO for reading would wait for a writer.
    fd_ = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) return error_ = FileErrorText("open", name, errno), false;
    struct stat st;
    int err = ::fstat(fd_, &st) != 0 ? errno : S_ISREG(st.st_mode) ? 0 : ENODEV;
    if (err) {
        Close();
        return error_ = FileErrorText("open", name, err), false;
    }
    return true;
}

void TFileReader::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

std::int64_t TFileReader::Size() const {
    struct stat st;
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return -1;
    return st.st_size;
}

std::size_t TFileReader::ReadAt(std::int64_t offset, void* buf, std::size_t n) const {
    if (fd_ < 0 || offset < 0) return 0;
    std::size_t done = 0;
    auto* p = static_cast<char*>(buf);
    while (done < n) {
        ssize_t r =
            ::pread(fd_, p + done, n - done, static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        done += static_cast<std::size_t>(r);
    }
    return done;
}

// ---- whole files and atomic saves --------------------------------------------------------

bool ReadWholeFile(std::string_view path, std::string& bytes, std::string* error) {
    bytes.clear();
    TFileStream f(path, TFileMode::Read);
    std::int64_t size = f.IsOpen() ? f.Size() : -1;
    if (size >= 0) {
        bytes.resize(static_cast<std::size_t>(size));
        bytes.resize(f.Read(bytes.data(), bytes.size()));
        // A file growing while we read: take the rest as well.
        char more[4096];
        while (std::size_t n = f.Read(more, sizeof more))
            bytes.append(more, n);
    }
    if (!f.Ok()) {
        if (error) *error = f.Error();
        bytes.clear();
        return false;
    }
    return true;
}

TAtomicFile::TAtomicFile(std::string_view target) : target_(target) {
    // Replace the file a symbolic link points to, not the link.
    struct stat st;
    if (::lstat(target_.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = ::realpath(target_.c_str(), nullptr)) {
            target_ = real;
            std::free(real);
        }
    }
}

TAtomicFile::~TAtomicFile() {
    if (!committed_) Discard();
}

bool TAtomicFile::Open() {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp_ = target_ + ".tmp" + std::to_string(::getpid()) + "-" +
                std::to_string(counter.fetch_add(1));
        if (stream_.Open(temp_, TFileMode::CreateNew)) break;
        if (stream_.ErrorCode() != EEXIST) {
            error_ = FileErrorText("create", target_, stream_.ErrorCode());
            temp_.clear();
            return false;
        }
    }
    if (!stream_.IsOpen()) {
        error_ = FileErrorText("create", temp_, EEXIST);
        temp_.clear();
        return false;
    }
    // The new file keeps the old one's permissions.
    struct stat st;
    if (::stat(target_.c_str(), &st) == 0) ::fchmod(stream_.Handle(), st.st_mode & 07777);
    return true;
}

bool TAtomicFile::Finish() {
    if (temp_.empty()) {
        if (error_.empty()) error_ = FileErrorText("write", target_, EBADF);
        return false;
    }
    if (!stream_.IsOpen()) return true; // finished before
    bool ok = stream_.Sync();
    ok = stream_.Close() && ok;
    if (!ok) {
        error_ = FileErrorText("write", target_, stream_.ErrorCode());
        Discard();
    }
    return ok;
}

bool TAtomicFile::Commit() {
    if (!Finish()) return false;
    int err = TakeFileFailure(FileOp::Rename);
    if (err == 0 && ::rename(temp_.c_str(), target_.c_str()) != 0) err = errno;
    if (err) {
        error_ = FileErrorText("replace", target_, err);
        Discard();
        return false;
    }
    committed_ = true;
    temp_.clear();
    // Make the rename itself durable.
    std::string dir = target_.substr(0, target_.find_last_of('/') + 1);
    if (dir.empty()) dir = ".";
    int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

std::string TAtomicFile::Error() const {
    if (error_.empty() && !stream_.Ok())
        return FileErrorText("write", target_, stream_.ErrorCode());
    return error_;
}

void TAtomicFile::Discard() {
    stream_.Close();
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
}

bool SaveFileAtomic(std::string_view path, std::string_view bytes, std::string* error) {
    TAtomicFile f(path);
    bool ok = f.Open() && f.Stream().Write(bytes) && f.Commit();
    if (!ok && error) *error = f.Error();
    return ok;
}

} // namespace platform
