#include "song/sidefile.h"

#include "platform/core/paths.h"

bool TSideFiles::Write(std::string_view Target, std::string_view Bytes) {
    auto file = std::make_unique<platform::TAtomicFile>(Target);
    if (!file->Open() || !file->Stream().Write(Bytes)) return false;
    files_.push_back(std::move(file));
    return true;
}

bool TSideFiles::Commit() {
    bool ok = true;
    for (auto& f : files_)
        ok = f->Commit() && ok;
    files_.clear();
    return ok;
}

std::string SideFilePath(std::string_view SongPath, std::string_view Ext) {
    return platform::ChangeFileExt(SongPath, Ext);
}
