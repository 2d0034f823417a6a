#include "song/songreaders.h"

#include "song/songfile.h"

#include <array>

namespace {

// The older versions get their readers from the older-formats unit.
std::array<TSongReaderEntry, 13> g_readers = {{
    {"Tolvern", nullptr},
    {"Tolvern01", nullptr},
    {"Tolvern02", nullptr},
    {"Tolvern3201", nullptr},
    {"Tolvern3202", nullptr},
    {"Tolvern3203", nullptr},
    {"Tolvern3204", nullptr},
    {"Tolvern3205", nullptr},
    {"Tolvern3206", nullptr},
    {"Tolvern3207", nullptr},
    {"Tolvern3208", nullptr},
    {"Tolvern3209", nullptr},
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
