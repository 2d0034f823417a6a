// Song files of the older versions: reading any bytes must not crash, hang nor read outside
// the file, and whatever it keeps must be a well-formed song. The input's magic picks the
// reader, as the song-file dispatcher does; any other input goes to the first version's reader,
// which checks no magic.
#include "devices/midi.h"
#include "platform/core/files.h"
#include "song/filehelpers.h"
#include "song/song.h"
#include "song/songfile.h"
#include "song/songfile_old.h"
#include "song/songreaders.h"
#include "song_check.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = SongFuzzFolder() + "in.seq";
    std::string bytes(reinterpret_cast<const char*>(data), size);
    platform::TFileStream f(path, platform::TFileMode::Create); // no sync: speed matters here
    if (!f.Write(bytes) || !f.Close()) std::abort();
    std::string magic;
    if (size > 0 && static_cast<std::size_t>(data[0]) < size)
        magic.assign(reinterpret_cast<const char*>(data) + 1, data[0]);
    TSongReader reader = SongReaderFor(magic);
    if (!reader || reader == &LoadSongFile) reader = &LoadSongV0;
    reader(path);
    CheckSong();
    Midi->Sent.clear();
    return 0;
}
