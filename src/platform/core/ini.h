#pragma once
// The settings profile "tolvern.ini". Sections and keys are matched without regard to case,
// every write goes straight to the file (two objects on the same file see each other's
// writes at once), booleans are "1"/"0" and integers read as the form framework reads them.

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

// $XDG_CONFIG_HOME/tolvern/ (default ~/.config/tolvern/), with a trailing '/'.
std::string SettingsFolder();

// Integer text as the form framework parses it: optional blanks and sign, then decimal, or
// hex after '$' or "0x"; hex up to $FFFFFFFF wraps to negative. Anything else gives `def`.
int StrToIntDef(std::string_view s, int def);

// INI text in memory. Lines are kept as they are except those a write changes, so comments,
// blank lines and odd lines survive. Keys before the first section are ignored; a section
// that occurs twice reads as one, and of duplicate keys the first wins.
class TIniText {
public:
    TIniText() = default;
    explicit TIniText(std::string_view text) { Parse(text); }
    void Parse(std::string_view text);
    std::string Text() const;

    bool Find(std::string_view section, std::string_view key, std::string& value) const;
    std::vector<std::pair<std::string, std::string>> SectionValues(std::string_view section) const;
    std::vector<std::string> Sections() const;
    bool HasSection(std::string_view section) const;
    // False when the names or the value cannot be stored (line breaks, '=' or a leading
    // ';' or '[' in a key, ']' in a section name, empty names).
    bool Write(std::string_view section, std::string_view key, std::string_view value);
    void EraseSection(std::string_view section);
    void DeleteKey(std::string_view section, std::string_view key);

private:
    enum class Kind { Other, Section, Key };
    struct Line {
        std::string Raw;
        Kind Type = Kind::Other;
        std::string Name;  // section or key name, trimmed
        std::string Value; // key value, trimmed
    };
    static Line ParseLine(std::string_view raw);
    // Index of each line's section header, or -1 before the first.
    std::vector<long> Owners() const;

    std::vector<Line> lines_;
    std::string eol_ = "\n";
    bool finalEol_ = true;
};

class TIniFile {
public:
    // A bare name lives in SettingsFolder(); a name with a '/' is used as it stands.
    explicit TIniFile(std::string bareName = "tolvern.ini");

    const std::string& FileName() const { return path_; }

    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view def) const;
    int ReadInteger(std::string_view section, std::string_view key, int def) const;
    bool ReadBool(std::string_view section, std::string_view key, bool def) const;
    double ReadFloat(std::string_view section, std::string_view key, double def) const;

    // Each write rewrites the file atomically; false (and Error()) when it could not.
    bool WriteString(std::string_view section, std::string_view key, std::string_view value);
    bool WriteInteger(std::string_view section, std::string_view key, int value);
    bool WriteBool(std::string_view section, std::string_view key, bool value); // "1"/"0"
    bool WriteFloat(std::string_view section, std::string_view key, double value);

    std::vector<std::string> ReadSection(std::string_view section) const; // keys, file order
    std::vector<std::pair<std::string, std::string>>
    ReadSectionValues(std::string_view section) const;
    std::vector<std::string> ReadSections() const;
    bool SectionExists(std::string_view section) const;
    bool ValueExists(std::string_view section, std::string_view key) const;
    bool EraseSection(std::string_view section);
    bool DeleteKey(std::string_view section, std::string_view key);

    // The last failure of this object ("" after a success).
    const std::string& Error() const { return error_; }

private:
    enum class Change { None, Made, Refused };
    TIniText Load() const;
    // Read, change and write back the file, one writer at a time.
    bool Modify(const std::function<Change(TIniText&)>& change);
    bool Report() const; // prints Error() and answers false

    std::string path_;
    mutable std::string error_;
};

} // namespace platform
