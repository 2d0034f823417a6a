// Disk samples: opening any bytes as a WAV file must leave the sample closed or with data that
// lies inside the file, and one block of mixing must read nothing outside it.
#include "song/disk.h"
#include "song/primitives.h"
#include "song/render.h"
#include "song/timebase.h"
#include "song_check.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = SongFuzzFolder() + "disk.wav";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    Song->ClearDiskSamples();
    auto* s = new TDiskSample;
    s->FileName = path;
    const bool open = s->Open();
    if (open != (s->Opened != 0)) std::abort();
    if (!open) {
        if (s->DataStart != 0) std::abort();
        delete s;
        return 0;
    }
    const std::size_t frameBytes =
        static_cast<std::size_t>(s->Bits / 8) * static_cast<std::size_t>(s->Channels);
    if (s->DataStart < 20 || s->Frames < 0 || s->DataSize < 0 ||
        static_cast<std::size_t>(s->Frames) * frameBytes > static_cast<std::size_t>(s->DataSize) ||
        static_cast<std::size_t>(s->DataStart) + static_cast<std::size_t>(s->DataSize) > size)
        std::abort();
    Song->DiskSamples.push_back(s);

    // One block of a disk part that started a little before the position.
    _TTrack* t = Song->TrackAt(0);
    t->Mode = tmDisk;
    if (!t->Parts) {
        _TPart* p = NewPart("", 0, 960, 0);
        p->Sample = 0;
        InsertPart(t, p);
    }
    Song->State = 2;
    Song->PrecountLeft = 0.0;
    Song->AudioPos = size % 7;
    for (auto& buffer : SampleMixBuffers)
        ClearFloats(buffer.data(), 2 * 256);
    Song->ScheduleDiskBlock(SamplesToTicks(256));
    Song->State = 0;
    return 0;
}
