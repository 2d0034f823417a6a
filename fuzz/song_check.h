#pragma once
// What every song reader must leave, whatever its input: parts in order on their own track,
// none overlapping, each with a length, and end times that are the sum of their deltas.
#include "song/song.h"

#include <cstdint>
#include <cstdlib>

inline void CheckSong() {
    for (int i = 0; i < TrackCount; ++i) {
        const _TPart* prev = nullptr;
        for (const _TPart* p = Song->Tracks[i]->Parts; p; p = p->Next) {
            if (p->Length <= 0 || p->Track != i) std::abort();
            if (prev && static_cast<std::int64_t>(prev->Start) + prev->Length > p->Start)
                std::abort();
            std::int64_t end = 0;
            for (const _TEvent* e = p->Events; e; e = e->Next)
                end += e->Delta;
            if (end != p->EndTime) std::abort();
            prev = p;
        }
    }
}
