#pragma once
// Files saved beside a song (its SoundFont bank list, its sample bank). Each is written to a
// temporary file of its own while the song is written, and put in place only once the song
// file itself is complete; a save that fails before replaces neither the song nor them.

#include "platform/core/files.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TSideFiles {
public:
    // Writes Bytes for Target into its temporary file, on the disk; false when that failed
    // (nothing of Target changes then, and Error says why).
    bool Write(std::string_view Target, std::string_view Bytes);
    const std::string& Error() const { return error_; }
    // Puts every written file in place, in order: the errors of those that could not be, each
    // naming its file.
    std::vector<std::string> Commit();

private:
    std::vector<std::unique_ptr<platform::TAtomicFile>> files_;
    std::string error_;
};

// The path of a file the writer puts beside the song file at SongPath: the same name with
// extension Ext (".sfs").
std::string SideFilePath(std::string_view SongPath, std::string_view Ext);

// The file with extension Ext beside a song being read from SongPath whose stored name is
// Stored: under the stored name, where the writer put it, or, when there is none, under the
// file's own name (a song renamed on disk together with its files). Without either, the path
// under the stored name, which a "not found" message names. A stored name that would lead out
// of the folder (see SongNameFromFile) counts as the file's own.
std::string SideFileToRead(std::string_view SongPath, std::string_view Stored,
                           std::string_view Ext);

// The stored name of a song read from FileName, unless it would place the song's files
// elsewhere (empty, "." or "..", or holding a path separator or a drive colon); then the read
// file's own name.
std::string SongNameFromFile(std::string_view Stored, std::string_view FileName);
