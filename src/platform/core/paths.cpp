#include "platform/core/paths.h"

#include "platform/core/files.h"
#include "platform/core/nocase.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <dirent.h>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace platform {

namespace {

std::mutex g_folderMutex;
std::string g_programFolder;

std::string ExecutableFolder() {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return "./";
    std::string exe(buf, static_cast<std::size_t>(n));
    return exe.substr(0, exe.find_last_of('/') + 1);
}

// Splits on every delimiter, dropping empty parts.
std::vector<std::string_view> SplitParts(std::string_view path) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || IsPathDelimiter(path[i])) {
            if (i > start) parts.push_back(path.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

bool StatPath(const std::string& p, struct stat& st) {
    return ::stat(p.c_str(), &st) == 0;
}

bool WildMatch(std::string_view name, std::string_view mask) {
    std::size_t n = 0, m = 0, starM = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == '?' || LowerChar(mask[m]) == LowerChar(name[n]))) {
            ++n;
            ++m;
        } else if (m < mask.size() && mask[m] == '*') {
            starM = m++;
            starN = n;
        } else if (starM != std::string_view::npos) {
            m = starM + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

std::size_t LastDelimiter(std::string_view path) {
    for (std::size_t i = path.size(); i > 0; --i)
        if (IsPathDelimiter(path[i - 1])) return i - 1;
    return std::string_view::npos;
}

} // namespace

// ---- program folder ----------------------------------------------------------------------

std::string ProgramFolder() {
    std::lock_guard lock(g_folderMutex);
    if (g_programFolder.empty()) g_programFolder = ExecutableFolder();
    return g_programFolder;
}

void SetProgramFolder(std::string folder) {
    std::lock_guard lock(g_folderMutex);
    g_programFolder = folder.empty() ? ExecutableFolder() : IncludeTrailingPathDelimiter(folder);
}

std::string FindFileNoCase(std::string_view folder, std::string_view relative) {
    auto parts = SplitParts(relative);
    if (parts.empty()) return "";
    std::string cur = folder.empty() ? std::string("./") : IncludeTrailingPathDelimiter(folder);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        std::string_view part = parts[i];
        if (part == ".") continue;
        if (part == "..") return "";
        std::string exact = cur + std::string(part);
        struct stat st;
        std::string found;
        if (::lstat(exact.c_str(), &st) == 0) {
            found = exact;
        } else if (DIR* d = ::opendir(cur.c_str())) {
            // Several names may differ only in case: take the first in byte order.
            std::string best;
            while (dirent* e = ::readdir(d)) {
                std::string_view name = e->d_name;
                if (SameText(name, part) && (best.empty() || name < best)) best = name;
            }
            ::closedir(d);
            if (!best.empty()) found = cur + best;
        }
        if (found.empty()) return "";
        if (i + 1 == parts.size()) return found;
        cur = found + "/";
    }
    return cur; // only "." parts
}

std::string FindInstallFile(std::string_view relative) {
    return FindFileNoCase(ProgramFolder(), relative);
}

// ---- path text ---------------------------------------------------------------------------

std::string ExtractFileName(std::string_view path) {
    std::size_t i = LastDelimiter(path);
    return std::string(i == std::string_view::npos ? path : path.substr(i + 1));
}

std::string ExtractFilePath(std::string_view path) {
    std::size_t i = LastDelimiter(path);
    return std::string(i == std::string_view::npos ? std::string_view() : path.substr(0, i + 1));
}

std::string ExtractFileDir(std::string_view path) {
    std::string dir = ExtractFilePath(path);
    if (dir.size() > 1 && (dir.back() == '/' || dir.back() == '\\') && dir[dir.size() - 2] != ':')
        dir.pop_back();
    return dir;
}

std::string ExtractFileExt(std::string_view path) {
    std::size_t dot = path.find_last_of('.');
    std::size_t delim = LastDelimiter(path);
    if (dot == std::string_view::npos || (delim != std::string_view::npos && dot < delim))
        return "";
    return std::string(path.substr(dot));
}

std::string ChangeFileExt(std::string_view path, std::string_view ext) {
    std::size_t extLen = ExtractFileExt(path).size();
    std::string r(path.substr(0, path.size() - extLen));
    r += ext;
    return r;
}

std::string IncludeTrailingPathDelimiter(std::string_view path) {
    std::string r(path);
    if (r.empty() || (r.back() != '/' && r.back() != '\\')) r += '/';
    return r;
}

std::string ExcludeTrailingPathDelimiter(std::string_view path) {
    std::string r(path);
    while (r.size() > 1 && (r.back() == '/' || r.back() == '\\'))
        r.pop_back();
    return r;
}

std::string ToNativePath(std::string_view stored) {
    std::string r(stored);
    std::replace(r.begin(), r.end(), '\\', '/');
    return r;
}

std::string ToStoredPath(std::string_view native) {
    std::string r(native);
    std::replace(r.begin(), r.end(), '/', '\\');
    return r;
}

bool MatchesMask(std::string_view name, std::string_view mask) {
    if (mask.empty()) return true;
    std::size_t start = 0;
    while (start <= mask.size()) {
        std::size_t end = mask.find(';', start);
        if (end == std::string_view::npos) end = mask.size();
        std::string_view one = mask.substr(start, end - start);
        while (!one.empty() && one.front() == ' ')
            one.remove_prefix(1);
        while (!one.empty() && one.back() == ' ')
            one.remove_suffix(1);
        if (one == "*.*" || one == "*") return true;
        if (!one.empty() && WildMatch(name, one)) return true;
        start = end + 1;
    }
    return false;
}

// ---- files and folders -------------------------------------------------------------------

bool FileExists(std::string_view path) {
    struct stat st;
    return StatPath(std::string(path), st) && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(std::string_view path) {
    struct stat st;
    return StatPath(std::string(path), st) && S_ISDIR(st.st_mode);
}

bool ForceDirectories(std::string_view path, std::string* error) {
    std::string p = ExcludeTrailingPathDelimiter(path);
    if (p.empty()) return false;
    if (DirectoryExists(p)) return true;
    std::size_t pos = p.front() == '/' ? 1 : 0;
    while (pos <= p.size()) {
        std::size_t slash = p.find('/', pos);
        if (slash == std::string::npos) slash = p.size();
        std::string prefix = p.substr(0, slash);
        if (!DirectoryExists(prefix)) {
            int err = TakeFileFailure(FileOp::MakeDir);
            if (err == 0 && ::mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) err = errno;
            if (err == 0 && !DirectoryExists(prefix)) err = ENOTDIR;
            if (err) {
                if (error) *error = FileErrorText("create folder", prefix, err);
                return false;
            }
        }
        pos = slash + 1;
    }
    return true;
}

bool DeleteFile(std::string_view path, std::string* error) {
    std::string p(path);
    if (::unlink(p.c_str()) == 0) return true;
    if (error) *error = FileErrorText("delete", p, errno);
    return false;
}

bool RenameFile(std::string_view from, std::string_view to, std::string* error) {
    std::string f(from), t(to);
    int err = TakeFileFailure(FileOp::Rename);
    if (err == 0 && ::rename(f.c_str(), t.c_str()) == 0) return true;
    if (err == 0) err = errno;
    if (error) *error = FileErrorText("rename", f, err);
    return false;
}

bool ListDirectory(std::string_view folder, std::vector<TDirEntry>& entries, std::string_view mask,
                   std::string* error) {
    entries.clear();
    std::string dir = IncludeTrailingPathDelimiter(folder);
    DIR* d = ::opendir(dir.c_str());
    if (!d) {
        if (error) *error = FileErrorText("read folder", folder, errno);
        return false;
    }
    while (dirent* e = ::readdir(d)) {
        std::string_view name = e->d_name;
        if (name == "." || name == ".." || !MatchesMask(name, mask)) continue;
        TDirEntry entry;
        entry.Name = name;
        std::string full = dir + entry.Name;
        struct stat st;
        if (::lstat(full.c_str(), &st) != 0) continue; // vanished meanwhile
        if (S_ISLNK(st.st_mode)) {
            entry.IsLink = true;
            struct stat target;
            if (::stat(full.c_str(), &target) == 0) st = target; // else a dangling link
        }
        entry.IsDir = S_ISDIR(st.st_mode);
        entry.Size = entry.IsDir ? 0 : static_cast<std::uint64_t>(st.st_size);
        entry.Time = st.st_mtime;
        entries.push_back(std::move(entry));
    }
    ::closedir(d);
    std::sort(entries.begin(), entries.end(), [](const TDirEntry& a, const TDirEntry& b) {
        int c = CompareText(a.Name, b.Name);
        return c != 0 ? c < 0 : a.Name < b.Name;
    });
    return true;
}

namespace {

void FindBelow(const std::string& dir, std::string_view mask,
               std::set<std::pair<dev_t, ino_t>>& visited, std::vector<std::string>& out) {
    struct stat st;
    if (!StatPath(dir, st) || !visited.insert({st.st_dev, st.st_ino}).second) return;
    std::vector<TDirEntry> entries;
    if (!ListDirectory(dir, entries)) return;
    std::string base = IncludeTrailingPathDelimiter(dir);
    for (const auto& e : entries) {
        if (e.IsDir)
            FindBelow(base + e.Name, mask, visited, out);
        else if (MatchesMask(e.Name, mask))
            out.push_back(base + e.Name);
    }
}

} // namespace

std::vector<std::string> FindFilesRecursive(std::string_view root, std::string_view mask) {
    std::vector<std::string> out;
    std::set<std::pair<dev_t, ino_t>> visited;
    FindBelow(ExcludeTrailingPathDelimiter(root), mask, visited, out);
    return out;
}

} // namespace platform
