#pragma once
// Which reader takes a whole song file, by the short string the file begins with: the native
// format of today and its older versions. A Standard MIDI File has no such string (the opener
// tests its "MThd" itself).

#include <span>
#include <string_view>

// Replaces the song with the file's; False when the file could not be read whole (the reader
// says why).
using TSongReader = bool (*)(std::string_view FileName);

struct TSongReaderEntry {
    std::string_view Magic; // compared exactly, letter case included
    TSongReader Reader;     // nil: the version is known but not read (its files count as unknown)
};

// The thirteen leading strings, oldest first; the last one is the current format.
std::span<const TSongReaderEntry> SongReaders();
// The reader of a leading string; nil for a string not in the table or one without its reader.
TSongReader SongReaderFor(std::string_view Magic);
// Puts a reader in a leading string's place (nil takes it out) and returns the one it replaces;
// a string not in the table is refused with nil.
TSongReader SetSongReader(std::string_view Magic, TSongReader Reader);
