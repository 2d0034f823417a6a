// Standard MIDI Files: reading any bytes, as a song or into the tracks of a song that has
// parts, must not crash, hang nor read outside the file; what it keeps must be a well-formed
// song with events in time order, and writing that song again must give bytes that read whole.
#include "song/smf.h"
#include "devices/midi.h"
#include "devices/midimsg.h"
#include "song/primitives.h"
#include "song/song.h"
#include "song_check.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void CheckDeltas() {
    for (int i = 0; i < TrackCount; ++i)
        for (const _TPart* p = Song->Tracks[i]->Parts; p; p = p->Next)
            for (const _TEvent* e = p->Events; e; e = e->Next)
                if (e->Delta < 0) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The input is read where it lies, as a file of its bytes would be: a read beyond its end
    // is one beyond the fuzzer's buffer, which the address sanitizer sees (a mapped file has
    // room up to the end of its page).
    const std::string& dir = SongFuzzFolder();
    bool complete = ReadSmfSongBytes(dir + "in.mid", data, size);
    CheckSong();
    CheckDeltas();
    if (complete) {
        // What was read writes and reads again: the bytes a save writes (the save's own file
        // handling does not depend on them, and has its tests).
        const std::string saved = SmfBytes();
        if (!ReadSmfSongBytes(dir + "out.mid", reinterpret_cast<const std::uint8_t*>(saved.data()),
                              saved.size()))
            std::abort();
        CheckSong();
    }
    // The same bytes into a song with parts, an audio track among the targets.
    Song->CurrentTrackIndex = static_cast<int>(size % 4);
    Song->Tracks[2]->Mode = tmAudio;
    if (!Song->Tracks[1]->Parts) InsertPart(Song->Tracks[1].get(), NewPart("x", 960, 960, 1));
    ImportSmfTrackBytes(data, size);
    CheckSong();
    CheckDeltas();
    Midi->Sent.clear();
    return 0;
}
