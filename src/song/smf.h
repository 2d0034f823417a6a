#pragma once
// Standard MIDI Files (".mid"): read as a whole new song, imported into the current track and
// the empty tracks after it, and written as format 1 at 240 ticks to the quarter note.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Replaces the song with the file's. Nothing happens when the file cannot be mapped, nor when
// its header is not one we can read ("This is not a standard MIDI file"). A read that stops
// with a message keeps what it read but leaves the song counting as never saved and not read
// from a MIDI file, so that Save asks for a name and can never replace the file with the part
// that was read. True when the whole file was read.
bool ReadSmfSong(std::string_view FileName);
// ReadSmfSong without the clear: the file's tracks go into the song as it stands (for
// measuring what reading costs).
bool ReadSmfSongRecords(std::string_view FileName);

// Adds the file's tracks to the current track and the empty tracks after it; the song's files
// and flags stay as they are. False when nothing was read or the reading stopped with a message.
bool ImportSmfTrack(std::string_view FileName);

// ReadSmfSong and ImportSmfTrack of a file's Size bytes held at Bytes, as if read from a file
// of them (FileName names the song's folder and file).
bool ReadSmfSongBytes(std::string_view FileName, const std::uint8_t* Bytes, std::size_t Size);
bool ImportSmfTrackBytes(const std::uint8_t* Bytes, std::size_t Size);
// ReadSmfSongRecords of bytes held in memory (for measuring what parsing alone costs).
bool ReadSmfSongRecordsBytes(std::string_view FileName, const std::uint8_t* Bytes,
                             std::size_t Size);

// The path a MIDI save under FileName writes: a ".seq" and all after it is cut from the file
// name, and ".mid" appended unless the name holds it (in any case).
std::string SmfFileTarget(std::string_view FileName);

// The bytes WriteSmfFile writes for the song as it stands; the song is not changed.
std::string SmfBytes();

// Writes the song to SmfFileTarget(FileName) through a temporary file. On success the song
// takes the new folder and name and counts as saved (as a MIDI file); on failure a message says
// so and nothing changes. True when the file was written.
bool WriteSmfFile(std::string_view FileName);
