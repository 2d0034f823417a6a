// Standard MIDI Files: reading any bytes, as a song or into the tracks of a song that has
// parts, must not crash, hang nor read outside the file; what it keeps must be a well-formed
// song with events in time order, and writing that song again must give a file that reads.
#include "song/smf.h"
#include "devices/midi.h"
#include "devices/midimsg.h"
#include "platform/core/files.h"
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
    const std::string& dir = SongFuzzFolder();
    std::string in = dir + "in.mid";
    {
        platform::TFileStream f(in, platform::TFileMode::Create);
        if (!f.Write(data, size) || !f.Close()) std::abort();
    }
    bool complete = ReadSmfSong(in);
    CheckSong();
    CheckDeltas();
    if (complete) {
        // What was read writes and reads again.
        if (!WriteSmfFile(dir + "out.mid") || !ReadSmfSong(dir + "out.mid")) std::abort();
        CheckSong();
    }
    // The same bytes into a song with parts, an audio track among the targets.
    Song->CurrentTrackIndex = static_cast<int>(size % 4);
    Song->Tracks[2]->Mode = tmAudio;
    if (!Song->Tracks[1]->Parts) InsertPart(Song->Tracks[1].get(), NewPart("x", 960, 960, 1));
    ImportSmfTrack(in);
    CheckSong();
    CheckDeltas();
    Midi->Sent.clear();
    return 0;
}
