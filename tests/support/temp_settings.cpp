#include "support/temp_settings.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <unistd.h>

TempDir::TempDir(std::string_view prefix) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp && *tmp ? tmp : "/tmp") + "/" + std::string(prefix) + "-XXXXXX";
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed: " + pattern);
    path_ = pattern + "/";
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::WriteFile(std::string_view relative, std::string_view bytes) const {
    std::string full = path_ + std::string(relative);
    platform::ForceDirectories(full.substr(0, full.find_last_of('/') + 1));
    std::string error;
    if (!platform::SaveFileAtomic(full, bytes, &error)) throw std::runtime_error(error);
    return full;
}

std::string TempDir::ReadFile(std::string_view relative) const {
    std::string bytes;
    platform::ReadWholeFile(path_ + std::string(relative), bytes);
    return bytes;
}

TempSettings::TempSettings() : dir_("tolvern-settings") {
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) {
        hadOld_ = true;
        old_ = old;
    }
    ::setenv("XDG_CONFIG_HOME", dir_.Path().c_str(), 1);
}

TempSettings::~TempSettings() {
    if (hadOld_)
        ::setenv("XDG_CONFIG_HOME", old_.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
}

std::string TempSettings::Folder() const {
    return dir_.Path() + "tolvern/";
}
std::string TempSettings::IniPath() const {
    return Folder() + "tolvern.ini";
}
std::string TempSettings::IniText() const {
    return dir_.ReadFile("tolvern/tolvern.ini");
}
void TempSettings::WriteIni(std::string_view text) const {
    dir_.WriteFile("tolvern/tolvern.ini", text);
}

TempProgramFolder::TempProgramFolder(bool withSubFolders)
    : dir_("tolvern-program"), old_(platform::ProgramFolder()) {
    if (withSubFolders) {
        for (const char* sub :
             {"fx", "synth", "editor", "gui", "system", "skin", "encoder", "recpool"})
            platform::ForceDirectories(dir_.Path() + sub);
    }
    platform::SetProgramFolder(dir_.Path());
}

TempProgramFolder::~TempProgramFolder() {
    platform::SetProgramFolder(old_);
}
