#pragma once
// Temporary folders for tests: settings (XDG_CONFIG_HOME) and the program folder. ctest runs
// each test in its own process, so pointing the process at them is enough.

#include <string>
#include <string_view>

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it.
class TempDir {
public:
    explicit TempDir(std::string_view prefix = "tolvern-test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; } // with a trailing '/'
    // Writes a file below the folder (creating its folders); returns its full path.
    std::string WriteFile(std::string_view relative, std::string_view bytes) const;
    std::string ReadFile(std::string_view relative) const; // "" when missing

private:
    std::string path_;
};

// Points XDG_CONFIG_HOME at a temporary folder for the test's lifetime.
class TempSettings {
public:
    TempSettings();
    ~TempSettings();
    const std::string& ConfigHome() const { return dir_.Path(); }
    std::string Folder() const;  // ConfigHome() + "tolvern/"
    std::string IniPath() const; // the full path of "tolvern.ini"
    std::string IniText() const; // its bytes, "" when missing
    void WriteIni(std::string_view text) const;

private:
    TempDir dir_;
    bool hadOld_ = false;
    std::string old_;
};

// Makes a temporary folder the program folder, with the sub-folders of an installation.
class TempProgramFolder {
public:
    explicit TempProgramFolder(bool withSubFolders = true);
    ~TempProgramFolder();
    const std::string& Path() const { return dir_.Path(); }
    std::string WriteFile(std::string_view relative, std::string_view bytes) const {
        return dir_.WriteFile(relative, bytes);
    }
    std::string ReadFile(std::string_view relative) const { return dir_.ReadFile(relative); }

private:
    TempDir dir_;
    std::string old_;
};
