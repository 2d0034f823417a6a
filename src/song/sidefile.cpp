#include "song/sidefile.h"

#include "platform/core/paths.h"

#include <algorithm>

bool TSideFiles::Write(std::string_view Target, std::string_view Bytes) {
    auto file = std::make_unique<platform::TAtomicFile>(Target);
    if (!file->Open() || !file->Stream().Write(Bytes) || !file->Finish()) {
        error_ = file->Error();
        return false;
    }
    files_.push_back(std::move(file));
    return true;
}

std::vector<std::string> TSideFiles::Commit() {
    std::vector<std::string> errors;
    for (auto& f : files_)
        if (!f->Commit()) errors.push_back(f->Error());
    files_.clear();
    return errors;
}

std::string SideFilePath(std::string_view SongPath, std::string_view Ext) {
    return platform::ChangeFileExt(SongPath, Ext);
}

std::string SideFileToRead(std::string_view SongPath, std::string_view Stored,
                           std::string_view Ext) {
    std::string stored = platform::ExtractFilePath(SongPath) +
                         platform::ChangeFileExt(SongNameFromFile(Stored, SongPath), Ext);
    if (platform::FileExists(stored)) return stored;
    std::string own = SideFilePath(SongPath, Ext);
    return platform::FileExists(own) ? own : stored;
}

std::string SongNameFromFile(std::string_view Stored, std::string_view FileName) {
    bool elsewhere = Stored.empty() || Stored == "." || Stored == ".." ||
                     std::any_of(Stored.begin(), Stored.end(), platform::IsPathDelimiter);
    return elsewhere ? platform::ExtractFileName(FileName) : std::string(Stored);
}
