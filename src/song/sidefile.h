#pragma once
// Files saved beside a song (its SoundFont bank list, its sample bank). Each is written to a
// temporary file of its own while the song is written, and put in place only once the song
// file itself is complete; a save that fails replaces neither the song nor them.

#include "platform/core/files.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TSideFiles {
public:
    // Writes Bytes for Target into its temporary file; false when that failed (nothing of
    // Target changes then).
    bool Write(std::string_view Target, std::string_view Bytes);
    // Puts every written file in place, in order; false when one could not be.
    bool Commit();

private:
    std::vector<std::unique_ptr<platform::TAtomicFile>> files_;
};

// The path of a file beside the song file at SongPath: the same name with extension Ext
// (".sfs"). The file's own path counts, not the song's name inside it, which may differ.
std::string SideFilePath(std::string_view SongPath, std::string_view Ext);
