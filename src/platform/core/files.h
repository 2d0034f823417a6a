#pragma once
// Binary files: a seekable file stream, whole-file reads, atomic saves, and the failure hook
// that tests use to make the next create, open for writing, write, rename or map fail.
// Every I/O error is reported through a result and an error text.

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// ---- failure injection -------------------------------------------------------------------

enum class FileOp { Create, OpenWrite, Write, Rename, Map, MakeDir, Sync };

// The operation of kind `op` after `skip` more successful ones fails with `error`. One pending
// failure per kind; process-wide (tests run one process each).
void FailNextFileOp(FileOp op, int skip = 0, int error = EIO);
void ClearFileFailures();
// Used by the file layer: 0, or the errno an injected failure asks for (consuming it).
int TakeFileFailure(FileOp op);

// A fuzzer confines the files and libraries the program opens to its own folder: a path the
// hook answers false for fails to open with EACCES. Nil (the default) allows every path.
using TFileOpenHook = bool (*)(std::string_view path);
void SetFileOpenHook(TFileOpenHook hook);
bool FileOpenAllowed(std::string_view path);

// "Cannot <what> <path>: <strerror(err)>"
std::string FileErrorText(std::string_view what, std::string_view path, int err);

// ---- file stream -------------------------------------------------------------------------

enum class TFileMode {
    Read,      // existing file, read only
    Write,     // existing file, write only
    ReadWrite, // existing file
    Create,    // created or truncated, read and write
    CreateNew, // created, must not exist yet
};
enum class TSeekOrigin { Begin, Current, End };

class TFileStream {
public:
    TFileStream() = default;
    TFileStream(std::string_view path, TFileMode mode) { Open(path, mode); }
    ~TFileStream();
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    bool Open(std::string_view path, TFileMode mode);
    bool IsOpen() const { return fd_ >= 0; }
    // False once any operation since Open has failed; the first error's text stays in Error().
    bool Ok() const { return error_.empty(); }
    const std::string& Error() const { return error_; }
    int ErrorCode() const { return errno_; } // errno of the first error
    const std::string& FileName() const { return path_; }

    // Reads up to n bytes; fewer only at the end of the file (or on an error).
    std::size_t Read(void* buf, std::size_t n);
    bool ReadExact(void* buf, std::size_t n) { return Read(buf, n) == n && Ok(); }
    // Writes are buffered; a failure shows here or at the Flush/Close that meets it.
    bool Write(const void* buf, std::size_t n);
    bool Write(std::string_view bytes) { return Write(bytes.data(), bytes.size()); }
    // New position, or -1.
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin = TSeekOrigin::Begin);
    std::int64_t Position() const { return pos_; }
    std::int64_t Size(); // -1 on error
    bool SetSize(std::int64_t size);
    bool Flush(); // hands buffered bytes to the system
    bool Sync();  // Flush, then to the disk
    bool Close(); // false when anything failed since Open
    int Handle() const { return fd_; }

private:
    bool Fail(std::string_view what, int err);
    bool FlushBuffer();
    bool WriteAll(const char* p, std::size_t n);

    int fd_ = -1;
    bool readOnly_ = false;
    std::string path_;
    std::string error_;
    int errno_ = 0;
    std::int64_t pos_ = 0;
    std::vector<char> pending_; // written bytes not yet handed to the system, ending at pos_
};

// ---- reading at any offset ---------------------------------------------------------------

// A regular file open for reading only, read at any offset. ReadAt changes no state and
// allocates nothing, so a real-time thread may read while another thread holds the reader;
// a file that shrinks meanwhile reads short, never faults. Pipes and devices (whose reads could
// wait for a writer) are refused.
class TFileReader {
public:
    TFileReader() = default;
    ~TFileReader() { Close(); }
    TFileReader(const TFileReader&) = delete;
    TFileReader& operator=(const TFileReader&) = delete;

    bool Open(std::string_view path);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    const std::string& Error() const { return error_; }
    std::int64_t Size() const; // the size now; -1 when closed or on an error
    // Reads up to n bytes from offset; fewer at the end of the file or on an error.
    std::size_t ReadAt(std::int64_t offset, void* buf, std::size_t n) const;

private:
    int fd_ = -1;
    std::string error_;
};

// ---- whole files and atomic saves --------------------------------------------------------

bool ReadWholeFile(std::string_view path, std::string& bytes, std::string* error = nullptr);

// Writes beside the target and replaces it only once the new file is complete and on disk,
// so a failed save leaves the old file as it was. A symbolic link target keeps the link and
// replaces the file it points to.
class TAtomicFile {
public:
    explicit TAtomicFile(std::string_view target);
    ~TAtomicFile(); // discards the temporary file unless committed
    TAtomicFile(const TAtomicFile&) = delete;
    TAtomicFile& operator=(const TAtomicFile&) = delete;

    bool Open();
    TFileStream& Stream() { return stream_; }
    // Puts the written bytes on the disk and closes the temporary file, which stays until
    // Commit: a write error shows before anything is replaced.
    bool Finish();
    bool Commit(); // finishes first when Finish was not called
    void Discard();
    std::string Error() const; // names the target, not the temporary file
    const std::string& TempName() const { return temp_; }

private:
    std::string target_;
    std::string temp_;
    std::string error_;
    TFileStream stream_;
    bool committed_ = false;
};

bool SaveFileAtomic(std::string_view path, std::string_view bytes, std::string* error = nullptr);

} // namespace platform
