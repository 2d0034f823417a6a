#include "song_invariants.h"

#include "devices/midimsg.h"

#include <cstdint>
#include <string>

namespace {

std::string PartName(const _TPart& P) {
    return "part at " + std::to_string(P.Start) + " of track " + std::to_string(P.Track);
}

} // namespace

testing::AssertionResult CheckPartInvariants(const _TPart& P) {
    if (P.Length <= 0) return testing::AssertionFailure() << PartName(P) << ": length " << P.Length;
    std::int64_t time = 0;
    int index = 0;
    for (const _TEvent* e = P.Events; e; e = e->Next, ++index) {
        if (e->Delta < 0)
            return testing::AssertionFailure()
                   << PartName(P) << ": event " << index << " has delta " << e->Delta;
        time += e->Delta;
        if (time >= P.Length)
            return testing::AssertionFailure() << PartName(P) << ": event " << index << " at "
                                               << time << " past length " << P.Length;
        if (index > 10000000) return testing::AssertionFailure() << PartName(P) << ": a ring";
    }
    if (time != P.EndTime)
        return testing::AssertionFailure()
               << PartName(P) << ": EndTime " << P.EndTime << ", deltas sum to " << time;
    return testing::AssertionSuccess();
}

testing::AssertionResult CheckSongInvariants(const TSong& S) {
    for (int t = 0; t < TrackCount; ++t) {
        const _TTrack& track = *S.Tracks[t];
        const _TPart* prev = nullptr;
        for (const _TPart* p = track.Parts; p; prev = p, p = p->Next) {
            if (p->Track != t)
                return testing::AssertionFailure() << PartName(*p) << " is in track " << t;
            if (auto r = CheckPartInvariants(*p); !r) return r;
            if (prev) {
                if (p->Start <= prev->Start)
                    return testing::AssertionFailure()
                           << PartName(*p) << " follows the " << PartName(*prev);
                if (static_cast<std::int64_t>(prev->Start) + prev->Length > p->Start)
                    return testing::AssertionFailure()
                           << PartName(*prev) << " (length " << prev->Length << ") overlaps the "
                           << PartName(*p);
            }
        }
        bool inactiveSeen = false;
        for (int s = 0; s < OutputSlotCount; ++s) {
            if (!track.Outputs[s].Active)
                inactiveSeen = true;
            else if (inactiveSeen)
                return testing::AssertionFailure()
                       << "track " << t << ": active output slot " << s << " after a gap";
        }
    }
    return testing::AssertionSuccess();
}

testing::AssertionResult CheckNotePairing(const _TPart& P) {
    std::int64_t time = 0;
    for (const _TEvent* e = P.Events; e; e = e->Next) {
        time += e->Delta;
        if (!IsNoteOn(e->Msg)) continue;
        std::int64_t offTime = time;
        const _TEvent* off = e->Next;
        for (; off; off = off->Next) {
            offTime += off->Delta;
            if (IsNoteOff(off->Msg) && MidiData1(off->Msg) == MidiData1(e->Msg)) break;
        }
        if (!off)
            return testing::AssertionFailure() << PartName(P) << ": note " << MidiData1(e->Msg)
                                               << " at " << time << " has no note off";
        if (offTime > P.Length - 1)
            return testing::AssertionFailure()
                   << PartName(P) << ": note off at " << offTime << " past length " << P.Length;
    }
    return testing::AssertionSuccess();
}

testing::AssertionResult CheckSongNotePairing(const TSong& S) {
    for (int t = 0; t < TrackCount; ++t)
        for (const _TPart* p = S.Tracks[t]->Parts; p; p = p->Next)
            if (auto r = CheckNotePairing(*p); !r) return r;
    return testing::AssertionSuccess();
}
