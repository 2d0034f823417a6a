#include "platform/core/ini.h"

#include "platform/core/files.h"
#include "platform/core/nocase.h"
#include "platform/core/paths.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool HasLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = LowerChar(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Writers in one process take turns, so no read-modify-write loses another's change.
std::mutex g_writeMutex;

} // namespace

std::string SettingsFolder() {
    std::string base;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !*home) {
            if (passwd* pw = ::getpwuid(::getuid())) home = pw->pw_dir;
        }
        base = std::string(home && *home ? home : "/tmp") + "/.config";
    }
    return IncludeTrailingPathDelimiter(base) + "tolvern/";
}

int StrToIntDef(std::string_view s, int def) {
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    std::uint64_t v = 0;
    if (i < s.size() && (s[i] == '$' || LowerChar(s[i]) == 'x' ||
                         (s[i] == '0' && i + 1 < s.size() && LowerChar(s[i + 1]) == 'x'))) {
        i += s[i] == '0' ? 2 : 1;
        if (i == s.size()) return def;
        for (; i < s.size(); ++i) {
            int d = HexDigit(s[i]);
            if (d < 0) return def;
            v = v * 16 + static_cast<unsigned>(d);
            if (v > 0xFFFFFFFFu) return def;
        }
        auto u = static_cast<std::uint32_t>(v);
        if (negative) u = 0u - u;
        return static_cast<int>(u);
    }
    if (i == s.size()) return def;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return def;
        v = v * 10 + static_cast<unsigned>(s[i] - '0');
        if (v > (negative ? 0x80000000u : 0x7FFFFFFFu)) return def;
    }
    return negative ? static_cast<int>(-static_cast<std::int64_t>(v)) : static_cast<int>(v);
}

// ---- TIniText ----------------------------------------------------------------------------

TIniText::Line TIniText::ParseLine(std::string_view raw) {
    Line line;
    line.Raw = std::string(raw);
    std::string_view t = Trim(raw);
    if (t.empty() || t.front() == ';') return line;
    if (t.front() == '[') {
        std::size_t close = t.find(']');
        line.Type = Kind::Section;
        line.Name =
            std::string(Trim(t.substr(1, close == std::string_view::npos ? t.npos : close - 1)));
        return line;
    }
    std::size_t eq = t.find('=');
    if (eq == std::string_view::npos) return line;
    std::string_view key = Trim(t.substr(0, eq));
    if (key.empty()) return line;
    line.Type = Kind::Key;
    line.Name = std::string(key);
    line.Value = std::string(Trim(t.substr(eq + 1)));
    return line;
}

void TIniText::Parse(std::string_view text) {
    lines_.clear();
    eol_ = "\n";
    finalEol_ = text.empty() || text.back() == '\n';
    std::size_t start = 0;
    bool first = true;
    while (start < text.size()) {
        std::size_t nl = text.find('\n', start);
        std::size_t end = nl == std::string_view::npos ? text.size() : nl;
        std::string_view raw = text.substr(start, end - start);
        bool cr = !raw.empty() && raw.back() == '\r';
        if (cr) raw.remove_suffix(1);
        if (first && nl != std::string_view::npos) eol_ = cr ? "\r\n" : "\n";
        first = false;
        lines_.push_back(ParseLine(raw));
        start = end + 1;
    }
}

std::string TIniText::Text() const {
    std::string out;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        out += lines_[i].Raw;
        if (i + 1 < lines_.size() || finalEol_) out += eol_;
    }
    return out;
}

std::vector<long> TIniText::Owners() const {
    std::vector<long> owners(lines_.size());
    long cur = -1;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].Type == Kind::Section) cur = static_cast<long>(i);
        owners[i] = cur;
    }
    return owners;
}

bool TIniText::Find(std::string_view section, std::string_view key, std::string& value) const {
    section = Trim(section);
    key = Trim(key);
    bool inSection = false;
    for (const auto& l : lines_) {
        if (l.Type == Kind::Section)
            inSection = SameText(l.Name, section);
        else if (inSection && l.Type == Kind::Key && SameText(l.Name, key)) {
            value = l.Value;
            return true;
        }
    }
    return false;
}

std::vector<std::pair<std::string, std::string>>
TIniText::SectionValues(std::string_view section) const {
    section = Trim(section);
    std::vector<std::pair<std::string, std::string>> out;
    bool inSection = false;
    for (const auto& l : lines_) {
        if (l.Type == Kind::Section)
            inSection = SameText(l.Name, section);
        else if (inSection && l.Type == Kind::Key) {
            bool seen = false;
            for (const auto& kv : out)
                seen = seen || SameText(kv.first, l.Name);
            if (!seen) out.emplace_back(l.Name, l.Value);
        }
    }
    return out;
}

std::vector<std::string> TIniText::Sections() const {
    std::vector<std::string> out;
    for (const auto& l : lines_) {
        if (l.Type != Kind::Section) continue;
        bool seen = false;
        for (const auto& s : out)
            seen = seen || SameText(s, l.Name);
        if (!seen) out.push_back(l.Name);
    }
    return out;
}

bool TIniText::HasSection(std::string_view section) const {
    section = Trim(section);
    for (const auto& l : lines_)
        if (l.Type == Kind::Section && SameText(l.Name, section)) return true;
    return false;
}

bool TIniText::Write(std::string_view section, std::string_view key, std::string_view value) {
    section = Trim(section);
    key = Trim(key);
    if (section.empty() || HasLineBreak(section) || section.find(']') != section.npos) return false;
    if (key.empty() || HasLineBreak(key) || key.find('=') != key.npos || key.front() == ';' ||
        key.front() == '[')
        return false;
    if (HasLineBreak(value)) return false;

    // An existing key keeps its place and its spelling.
    long header = -1, insertAt = -1;
    bool inSection = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        Line& l = lines_[i];
        if (l.Type == Kind::Section) {
            inSection = SameText(l.Name, section);
            if (inSection && header < 0) {
                header = static_cast<long>(i);
                insertAt = header + 1;
            }
        } else if (inSection && l.Type == Kind::Key) {
            if (SameText(l.Name, key)) {
                l.Raw = l.Name + "=" + std::string(value);
                l.Value = std::string(Trim(value));
                return true;
            }
        }
    }
    Line line = ParseLine(std::string(key) + "=" + std::string(value));
    if (header >= 0) {
        // After the last key of the section's first occurrence.
        auto owners = Owners();
        for (std::size_t i = static_cast<std::size_t>(header) + 1; i < lines_.size(); ++i) {
            if (owners[i] != header) break;
            if (lines_[i].Type == Kind::Key) insertAt = static_cast<long>(i) + 1;
        }
        lines_.insert(lines_.begin() + insertAt, std::move(line));
        return true;
    }
    if (!lines_.empty() && !Trim(lines_.back().Raw).empty()) lines_.push_back(ParseLine(""));
    lines_.push_back(ParseLine("[" + std::string(section) + "]"));
    lines_.push_back(std::move(line));
    finalEol_ = true;
    return true;
}

void TIniText::EraseSection(std::string_view section) {
    section = Trim(section);
    std::vector<Line> kept;
    bool inSection = false;
    for (auto& l : lines_) {
        if (l.Type == Kind::Section) inSection = SameText(l.Name, section);
        if (!inSection) kept.push_back(std::move(l));
    }
    lines_ = std::move(kept);
}

void TIniText::DeleteKey(std::string_view section, std::string_view key) {
    section = Trim(section);
    key = Trim(key);
    std::vector<Line> kept;
    bool inSection = false;
    for (auto& l : lines_) {
        if (l.Type == Kind::Section) inSection = SameText(l.Name, section);
        if (!(inSection && l.Type == Kind::Key && SameText(l.Name, key)))
            kept.push_back(std::move(l));
    }
    lines_ = std::move(kept);
}

// ---- TIniFile ----------------------------------------------------------------------------

TIniFile::TIniFile(std::string bareName) {
    if (bareName.empty()) bareName = "tolvern.ini";
    path_ =
        bareName.find('/') == std::string::npos ? SettingsFolder() + bareName : std::move(bareName);
}

namespace {

// The text of each settings file as last read, used again while the file is unchanged: a new
// song reads the settings each time. A file counts as unchanged when its identity, size and
// both times are the same and those times were already a while old when it was read: a
// change made in place within the same tick of the file system's clock keeps the times, so a
// file changed that recently is read again every time.
struct TIniRead {
    dev_t Dev = 0;
    ino_t Ino = 0;
    off_t Size = 0;
    timespec Modified{}, Changed{};
    std::string Text;
};
std::mutex g_readsMutex;
std::vector<std::pair<std::string, TIniRead>> g_reads;
constexpr std::int64_t SettledNs = 200'000'000;

bool SameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

std::int64_t Ns(const timespec& t) {
    return std::int64_t(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

bool Settled(const struct stat& st) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const std::int64_t newest = std::max(Ns(st.st_mtim), Ns(st.st_ctim));
    return Ns(now) - newest > SettledNs;
}

bool Unchanged(const TIniRead& r, const struct stat& st) {
    return r.Dev == st.st_dev && r.Ino == st.st_ino && r.Size == st.st_size &&
           SameTime(r.Modified, st.st_mtim) && SameTime(r.Changed, st.st_ctim);
}

} // namespace

TIniText TIniFile::Load() const {
    error_.clear();
    std::string text;
    struct stat st;
    if (::stat(path_.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return TIniText(text);
    const bool cacheable = S_ISREG(st.st_mode) && FileOpenAllowed(path_);
    if (cacheable) {
        std::lock_guard lock(g_readsMutex);
        for (const auto& [path, read] : g_reads)
            if (path == path_ && Unchanged(read, st)) return TIniText(read.Text);
    }
    if (!ReadWholeFile(path_, text, &error_)) {
        std::fprintf(stderr, "tolvern: %s\n", error_.c_str());
        text.clear();
        return TIniText(text);
    }
    // Kept only when the file did not change while it was read and is old enough.
    struct stat after;
    if (cacheable && Settled(st) && ::stat(path_.c_str(), &after) == 0 &&
        static_cast<off_t>(text.size()) == st.st_size) {
        TIniRead read{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim, text};
        if (Unchanged(read, after)) {
            std::lock_guard lock(g_readsMutex);
            auto it = std::find_if(g_reads.begin(), g_reads.end(),
                                   [&](const auto& e) { return e.first == path_; });
            if (it != g_reads.end())
                it->second = std::move(read);
            else if (g_reads.size() < 16)
                g_reads.emplace_back(path_, std::move(read));
        }
    }
    return TIniText(text);
}

bool TIniFile::Modify(const std::function<Change(TIniText&)>& change) {
    std::lock_guard lock(g_writeMutex);
    error_.clear();
    std::string folder = path_.substr(0, path_.find_last_of('/') + 1);
    if (!folder.empty() && !ForceDirectories(folder, &error_)) return Report();
    // A second instance of the program takes turns through a lock on the folder.
    int dirFd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) ::flock(dirFd, LOCK_EX);
    bool ok = true;
    TIniText ini = Load();
    if (!error_.empty()) {
        ok = false; // an unreadable file is never overwritten
    } else {
        switch (change(ini)) {
        case Change::None:
            break;
        case Change::Refused:
            ok = false;
            break;
        case Change::Made:
            ok = SaveFileAtomic(path_, ini.Text(), &error_);
            break;
        }
    }
    if (dirFd >= 0) ::close(dirFd); // and unlocks
    return ok || Report();
}

bool TIniFile::Report() const {
    std::fprintf(stderr, "tolvern: %s\n", error_.c_str());
    return false;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view def) const {
    std::string value;
    if (Load().Find(section, key, value)) return value;
    return std::string(def);
}

int TIniFile::ReadInteger(std::string_view section, std::string_view key, int def) const {
    std::string value;
    if (!Load().Find(section, key, value)) return def;
    return StrToIntDef(value, def);
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

double TIniFile::ReadFloat(std::string_view section, std::string_view key, double def) const {
    std::string value;
    if (!Load().Find(section, key, value)) return def;
    std::string_view s = Trim(value);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    double d = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), d);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size() || !std::isfinite(d))
        return def;
    return d;
}

bool TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    return Modify([&](TIniText& ini) {
        // The same value again leaves the file as it is.
        const std::string before = ini.Text();
        if (ini.Write(section, key, value)) return ini.Text() == before ? Change::None : Change::Made;
        error_ = "Cannot store key \"" + std::string(key) + "\" of section [" +
                 std::string(section) + "] in " + path_;
        return Change::Refused;
    });
}

bool TIniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
    return WriteString(section, key, std::to_string(value));
}

bool TIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
    return WriteString(section, key, value ? "1" : "0");
}

bool TIniFile::WriteFloat(std::string_view section, std::string_view key, double value) {
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    return WriteString(section, key, std::string_view(buf, ec == std::errc() ? end - buf : 0));
}

std::vector<std::string> TIniFile::ReadSection(std::string_view section) const {
    std::vector<std::string> keys;
    for (auto& kv : Load().SectionValues(section))
        keys.push_back(std::move(kv.first));
    return keys;
}

std::vector<std::pair<std::string, std::string>>
TIniFile::ReadSectionValues(std::string_view section) const {
    return Load().SectionValues(section);
}

std::vector<std::string> TIniFile::ReadSections() const {
    return Load().Sections();
}

bool TIniFile::SectionExists(std::string_view section) const {
    return Load().HasSection(section);
}

bool TIniFile::ValueExists(std::string_view section, std::string_view key) const {
    std::string value;
    return Load().Find(section, key, value);
}

bool TIniFile::EraseSection(std::string_view section) {
    return Modify([&](TIniText& ini) {
        if (!ini.HasSection(section)) return Change::None;
        ini.EraseSection(section);
        return Change::Made;
    });
}

bool TIniFile::DeleteKey(std::string_view section, std::string_view key) {
    return Modify([&](TIniText& ini) {
        std::string value;
        if (!ini.Find(section, key, value)) return Change::None;
        ini.DeleteKey(section, key);
        return Change::Made;
    });
}

} // namespace platform
