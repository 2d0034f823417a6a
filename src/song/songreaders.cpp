#include "song/songreaders.h"

#include "song/songfile.h"
#include "song/songfile_old.h"

#include <array>

namespace {

std::array<TSongReaderEntry, 13> g_readers = {{
    {"Tolvern", &LoadSongV0},
    {"Tolvern01", &LoadSongV01},
    {"Tolvern02", &LoadSongV02},
    {"Tolvern3201", &LoadSongV3201},
    {"Tolvern3202", &LoadSongV3202},
    {"Tolvern3203", &LoadSongV3203},
    {"Tolvern3204", &LoadSongV3204},
    {"Tolvern3205", &LoadSongV3205},
    {"Tolvern3206", &LoadSongV3206},
    {"Tolvern3207", &LoadSongV3207},
    {"Tolvern3208", &LoadSongV3208},
    {"Tolvern3209", &LoadSongV3209},
    {SongFileMagic, &LoadSongFile},
}};

} // namespace

std::span<const TSongReaderEntry> SongReaders() {
    return g_readers;
}

TSongReader SongReaderFor(std::string_view Magic) {
    for (const TSongReaderEntry& e : g_readers)
        if (e.Magic == Magic) return e.Reader;
    return nullptr;
}

TSongReader SetSongReader(std::string_view Magic, TSongReader Reader) {
    for (TSongReaderEntry& e : g_readers)
        if (e.Magic == Magic) {
            TSongReader old = e.Reader;
            e.Reader = Reader;
            return old;
        }
    return nullptr;
}
