#include "song/engine.h"

#include "devices/audio.h"
#include "devices/midi.h"
#include "devices/midimsg.h"
#include "song/audioengine.h"
#include "song/primitives.h"
#include "song/song.h"
#include "song/timebase.h"

#include <array>

namespace {

TLocateHooks headlessHooks;
TLocateHooks* locateHooks = &headlessHooks;

bool Playable(const _TPart* P) {
    return P->Events && !(P->Flags & pfMuted);
}

// The first event of P at or after Tick, with ToGo from Tick; for audio tracks also an earlier
// note-on still sounding at Tick.
_TEvent* EventAtOrAfter(_TPart* P, int Tick, bool Sounding) {
    std::int64_t time = P->Start;
    for (_TEvent* e = P->Events; e; e = e->Next) {
        time += e->Delta;
        if (time >= Tick || (Sounding && IsNoteOn(e->Msg) && time + NoteLength(P, e) > Tick)) {
            e->ToGo = static_cast<std::int32_t>(time - Tick);
            return e;
        }
    }
    return nullptr;
}

_TEvent* FirstEventAt(const TSong& S, _TTrack* Track, _TPart*& Part, int Tick, bool Sounding) {
    const bool looping = S.Looping;
    const int L = S.LeftLocator, R = S.RightLocator;
    for (_TPart* p = Track ? Track->Parts : nullptr; p; p = p->Next) {
        if (!Playable(p)) continue;
        const std::int64_t start = p->Start, end = start + p->EndTime;
        // Under Tick with events ahead.
        if (start <= Tick && Tick < start + p->Length && Tick <= end) {
            if (_TEvent* e = EventAtOrAfter(p, Tick, Sounding)) {
                Part = p;
                return e;
            }
        }
        // Ahead.
        if (Tick < start && (!looping || start < R)) {
            _TEvent* e = p->Events;
            e->ToGo = static_cast<std::int32_t>(e->Delta + start - Tick);
            Part = p;
            return e;
        }
        // Looping, and what is left of the part comes only after the wrap: the entry lies at
        // or after the loop end and only makes the queue wrap.
        if (looping && start <= Tick && Tick > end && start + p->Length > L &&
            (!p->Next || p->Next->Start >= R) && end >= L) {
            _TEvent* e = nullptr;
            if (start < L) {
                e = EventAtOrAfter(p, L, false);
                if (e) e->ToGo += R - Tick;
            } else {
                e = p->Events;
                e->ToGo = R - Tick + e->Delta;
            }
            if (e) {
                Part = p;
                return e;
            }
        }
    }
    return nullptr;
}

// The note-off the scheduler sends one tick before the loop end for a note that would end
// after it; a sample note gets a sample note-off of the same slot.
_TEvent* MadeNoteOff(const _TEvent& On) {
    std::uint32_t kind = MidiStatus(On.Msg) == msSampleOn ? msSampleOff : 0x80;
    _TEvent* off =
        NewEvent(0, PackMidiMsg(kind + MidiChannel(On.Msg), MidiData1(On.Msg), MidiData2(On.Msg)));
    off->Flags = efEngine | (On.Flags & efMuted);
    return off;
}

std::uintptr_t PushData(const _TEvent& E) {
    if (const std::uint8_t* block = EventBlock(E)) return reinterpret_cast<std::uintptr_t>(block);
    return EventValue(E);
}

} // namespace

_TPart* NextPlayablePart(_TPart* P) {
    for (P = P->Next; P && !Playable(P); P = P->Next) {
    }
    return P;
}

TLocateHooks& LocateHooks() {
    return *locateHooks;
}

void SetLocateHooks(TLocateHooks* Hooks) {
    locateHooks = Hooks ? Hooks : &headlessHooks;
}

TEngine::TEngine() {
    free_.reserve(2 * (TrackCount + 1)); // an entry and a made note-off for every track
}

TEngine::~TEngine() {
    Clear();
    for (_TQueueNode* n : free_)
        delete n;
}

_TQueueNode* TEngine::NewNode() {
    if (free_.empty()) return new _TQueueNode;
    _TQueueNode* n = free_.back();
    free_.pop_back();
    return n;
}

void TEngine::FreeNode(_TQueueNode* Node) {
    *Node = _TQueueNode{};
    free_.push_back(Node);
}

void TEngine::Clear() {
    while (Queue) {
        _TQueueNode* n = Queue;
        Queue = n->Next;
        if (n->Event && (n->Event->Flags & efEngine)) FreeEvent(n->Event);
        FreeNode(n);
    }
    Elapsed = 0;
    Lead = 0;
}

void TEngine::Insert(int Track, _TPart* Part, _TEvent* Event) {
    _TQueueNode* n = NewNode();
    n->Track = Track;
    n->Part = Part;
    n->Event = Event;
    _TQueueNode** link = &Queue;
    while (*link && (*link)->Event->ToGo <= Event->ToGo)
        link = &(*link)->Next;
    n->Next = *link;
    *link = n;
}

_TEvent* TEngine::PopHead() {
    _TQueueNode* n = Queue;
    if (!n) return nullptr;
    Queue = n->Next;
    _TEvent* e = n->Event;
    FreeNode(n);
    std::int32_t toGo = e->ToGo;
    if (Lead > 0) {
        if (Lead < toGo) {
            Elapsed += toGo - Lead;
            Lead = 0;
        } else {
            Lead -= toGo;
        }
    } else {
        Elapsed += toGo;
    }
    return e;
}

void TEngine::DropHead() {
    if (_TQueueNode* n = Queue) {
        Queue = n->Next;
        FreeNode(n);
    }
}

void TEngine::Rebase() {
    if (!Queue) return;
    std::int32_t first = Queue->Event->ToGo;
    if (first <= 0) return;
    for (_TQueueNode* n = Queue->Next; n; n = n->Next)
        n->Event->ToGo -= first;
}

_TEvent* FirstMidiEventAt(const TSong& S, _TTrack* Track, _TPart*& Part, int Tick) {
    return FirstEventAt(S, Track, Part, Tick, false);
}

_TEvent* FirstSampleEventAt(const TSong& S, _TTrack* Track, _TPart*& Part, int Tick) {
    return FirstEventAt(S, Track, Part, Tick, true);
}

_TEvent* FirstMidiEventAt(_TTrack* Track, _TPart*& Part, int Tick) {
    return FirstMidiEventAt(*Song, Track, Part, Tick);
}

_TEvent* FirstSampleEventAt(_TTrack* Track, _TPart*& Part, int Tick) {
    return FirstSampleEventAt(*Song, Track, Part, Tick);
}

void TSong::StartMidiEngine(int Tick) {
    TEngine& E = *Engine;
    E.Clear();
    const int L = LeftLocator, R = RightLocator;
    const bool looping = LoopOn && Tick < R && L < R;
    Looping = looping;
    E.Empty = 1;
    // From the left locator only what lies inside the loop is queued: an entry at or after
    // the loop end would play outside the loop on every pass.
    const bool fromLeft = looping && Tick == L;
    auto queue = [&](int Track, _TPart* Part, _TEvent* Event) {
        if (fromLeft && Event->ToGo >= R - L) return;
        E.Insert(Track, Part, Event);
        E.Empty = 0;
    };
    for (int i = 0; i < TrackCount; ++i) {
        _TTrack* t = Tracks[i].get();
        int mode = t->Mode;
        if ((mode != tmMidi && mode != tmAudio) || t->Mute) continue;
        _TPart* part = nullptr;
        if (_TEvent* e = FirstMidiEventAt(*this, t, part, Tick - t->Offset)) queue(i, part, e);
    }
    if (looping) {
        if (Tick > L) E.Elapsed = Tick - L;
        if (Tick < L) E.Lead = L - Tick;
    }
    if (PrepareMetronome(Tick)) queue(MetronomeIndex, MetronomePart, MetronomePart->Events);
    E.Rebase();
}

namespace {

// The run goes on from the left locator; the first event after the wrap comes at the loop
// end plus its distance from the left locator.
void Wrap(TSong& S, TEngine& E) {
    const std::int32_t elapsed = E.Elapsed, lead = E.Lead;
    S.StartMidiEngine(S.LeftLocator);
    if (!E.Queue) return;
    // A wrap still inside the lead-in also waits for the rest of it.
    std::int32_t gap = (S.RightLocator - S.LeftLocator) - elapsed + lead;
    E.Queue->Event->ToGo += gap;
    E.Lead = gap;
}

} // namespace

void TSong::FeedMidiEngine(TEngine& E) {
    if (!Midi) return;
    bool accepted = true;
    while (E.Queue && accepted) {
        const std::int32_t span = RightLocator - LeftLocator;
        if (Looping && E.Elapsed - E.Lead + E.Queue->Event->ToGo >= span) {
            Wrap(*this, E);
            if (!E.Queue) break;
        }
        _TQueueNode* head = E.Queue;
        _TEvent* ev = head->Event;
        const int trackIndex = head->Track;
        _TPart* part = head->Part;
        _TTrack& track = *Tracks[trackIndex];

        std::uint32_t msg = ev->Msg;
        int channel = track.Channel;
        if (channel != -1) msg = (msg & ~0x0Fu) | (static_cast<std::uint32_t>(channel) & 0x0F);
        if (MidiStatus(msg) != msAweParam)
            msg = (msg & 0x00FFFFFFu) | (static_cast<std::uint32_t>(trackIndex) << 24);
        if ((ev->Flags & efMuted) && (IsNoteOn(ev->Msg) || IsNoteOff(ev->Msg))) msg = 0;

        Midi->PushEvent(track.Output, ev->ToGo, msg, accepted, PushData(*ev), ev->DataLen);
        if (!accepted) break;

        E.PopHead();
        if (ev->Flags & efEngine) {
            // The scheduler's own note-off: sent, released, and no part walk goes on from it.
            FreeEvent(ev);
        } else {
            if (ev->Next) {
                ev->Next->ToGo = ev->Next->Delta;
                E.Insert(trackIndex, part, ev->Next);
            }
            if (Looping && IsNoteOn(ev->Msg) &&
                static_cast<std::int64_t>(NoteLength(part, ev)) + E.Elapsed >= span) {
                _TEvent* off = MadeNoteOff(*ev);
                off->ToGo = span - E.Elapsed - 1 + E.Lead;
                E.Insert(trackIndex, nullptr, off);
            }
            if (!ev->Next && part) {
                if (_TPart* next = NextPlayablePart(part)) {
                    _TEvent* first = next->Events;
                    first->ToGo = first->Delta + next->Start - (part->Start + part->EndTime);
                    E.Insert(trackIndex, next, first);
                }
            }
        }
        E.Rebase();
        if (Looping && !E.Queue && !E.Empty) Wrap(*this, E);
    }
    if (!E.Queue && accepted) Midi->FlushOutput();
}

int SoundingSampleOffset(int Ticks, const TSampleFormat& Format) {
    int divisor = 1;
    if (Format.Channels == 1) divisor *= 2;
    if (Format.Bits == 8) divisor *= 2;
    if (Format.Rate == 22050) divisor *= 2;
    if (Format.Rate == 11025) divisor *= 4;
    int offset = Round(TicksToMs(Ticks) * 176.4) / divisor;
    if (Format.BlockAlign > 0 && offset % Format.BlockAlign != 0)
        offset += Format.BlockAlign - offset % Format.BlockAlign;
    return offset;
}

void TSong::Locate(int Tick, bool Live) {
    if (Live && !MidiAudio().AudioOn()) return;
    // Blocks go on while the song is stopped and read the voices and softsynth queues made
    // here: none may see them half made (a block in between plays silence).
    TRendererHold hold;
    TLocateHooks& hooks = LocateHooks();
    const int precount = PrecountTicks();
    AudioPos = static_cast<double>(Tick);
    PrecountLeft = static_cast<double>(precount);
    const int L = LeftLocator, R = RightLocator;
    Looping = Live && LoopOn && Tick < R && L < R;

    // Sample voices: one per audio track that has something to play from Tick.
    hooks.ClearSampleVoices(*this, Tick);
    if (AudioEngine) {
        AudioEngine->RenderedSamples = 0;
        AudioEngine->Empty = 1;
        AudioEngine->StartSamples = TicksToSamples(Tick);
    }
    std::array<_TPart*, TrackCount> voicePart{};
    for (int i = 0; i < TrackCount; ++i) {
        _TTrack* t = Tracks[i].get();
        if (t->Mode != tmAudio || t->Mute) continue;
        _TPart* part = nullptr;
        if (_TEvent* e = FirstSampleEventAt(*this, t, part, Tick - t->Offset)) {
            hooks.AddSampleVoice(*this, i, part, Tick, e);
            if (AudioEngine) AudioEngine->Empty = 0;
            voicePart[i] = part;
        }
    }

    hooks.LocateSoftsynths(*this, Tick);
    hooks.PrimeSoftsynthQueues(*this, Tick);
    if (State == 1) hooks.DelaySoftsynthQueues(*this, precount, L - precount);

    // Play marks: every note not started, then the notes of each voice's part that sound
    // across Tick continue from the byte where Tick falls.
    for (int i = 0; i < TrackCount; ++i) {
        if (Tracks[i]->Mode != tmAudio) continue;
        for (_TPart* p = Tracks[i]->Parts; p; p = p->Next)
            for (_TEvent* e = p->Events; e; e = e->Next)
                e->PlayMark = IsNoteOn(e->Msg) ? 0 : -1;
    }
    for (int i = 0; i < TrackCount; ++i) {
        _TPart* p = voicePart[i];
        if (!p) continue;
        const std::int64_t tick = Tick - Tracks[i]->Offset; // the track's own time
        std::int64_t time = p->Start;
        for (_TEvent* e = p->Events; e; e = e->Next) {
            time += e->Delta;
            if (!IsNoteOn(e->Msg)) continue;
            const std::int64_t end = time + NoteLength(p, e);
            TSampleFormat format;
            if (time < tick && end > tick) {
                if (hooks.SampleFormatOfEvent(*this, i, *e, format))
                    e->PlayMark = SoundingSampleOffset(static_cast<int>(tick - time), format);
            } else if (end < tick) {
                e->PlayMark = -1;
            }
        }
    }

    if (AudioEngine) AudioEngine->PrecountTicks = precount;
    hooks.LocateBuses(*this, Tick);
    hooks.LinkAutomation(*this);
}
