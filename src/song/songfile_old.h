#pragma once
// The song files of twelve earlier versions, read only. Each version is known by its magic,
// the leading short string (SongReaderFor in songreaders.h gives its reader); the reader
// replaces the song with the file's. Nothing happens when
// the file cannot be mapped; a file of another magic is refused with a message and leaves the
// song as it was. A damaged or cut-off file keeps what could be read and says so, and a
// section the version does not know ends the reading with that version's message: the result
// is False then (and when the file could not be mapped or was refused), True for a whole read.

#include <string>
#include <string_view>

bool LoadSongV0(std::string_view FileName);
bool LoadSongV01(std::string_view FileName);
bool LoadSongV02(std::string_view FileName);
bool LoadSongV3201(std::string_view FileName);
bool LoadSongV3202(std::string_view FileName);
bool LoadSongV3203(std::string_view FileName);
bool LoadSongV3204(std::string_view FileName);
bool LoadSongV3205(std::string_view FileName);
bool LoadSongV3206(std::string_view FileName);
bool LoadSongV3207(std::string_view FileName);
bool LoadSongV3208(std::string_view FileName);
bool LoadSongV3209(std::string_view FileName);
