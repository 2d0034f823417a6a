#include "song/audioengine.h"

#include "devices/dxsounds.h"
#include "devices/midimsg.h"
#include "devices/mixkernels.h"
#include "devices/wave.h"
#include "song/engine.h"
#include "song/primitives.h"
#include "song/render.h"
#include "song/seams.h"
#include "song/song.h"
#include "song/timebase.h"

namespace {

// Moves E on to the next event of the track, across part ends and past muted or empty parts;
// EventTime, the time of the event before E, moves with it. Nil at the track's end.
_TEvent* NextSampleEvent(_TPart*& Part, _TEvent* E, std::int64_t& EventTime) {
    if (E->Next) return E->Next;
    _TPart* next = NextPlayablePart(Part);
    if (!next) return nullptr;
    // From the part's last event to the next part's start.
    EventTime += static_cast<std::int64_t>(next->Start) - (Part->Start + Part->EndTime);
    Part = next;
    return next->Events;
}

// Every note-on of Part and of the track's parts after it starts again; the rest is done.
void ResetPlayMarks(_TPart* Part) {
    for (_TPart* p = Part; p; p = p->Next)
        for (_TEvent* e = p->Events; e; e = e->Next)
            e->PlayMark = IsNoteOn(e->Msg) ? 0 : -1;
}

} // namespace

TSample* SampleSlotOfEvent(const TSong& S, int Track, const _TEvent& Event) {
    const _TTrack* t = S.TrackAt(Track);
    if (!t) return nullptr;
    const std::size_t slot = MidiData1(Event.Msg);
    return slot < t->Samples.size() ? t->Samples[slot].get() : nullptr;
}

TWave* SampleWaveOfEvent(const TSong& S, int Track, const _TEvent& Event) {
    const TSample* slot = SampleSlotOfEvent(S, Track, Event);
    if (!slot || !S.SamplePool) return nullptr;
    const int index = slot->Index;
    TWaveCollection& pool = S.SamplePool->Items;
    return index >= 0 && index < pool.Count() ? &pool.GetItem(index)->Wave : nullptr;
}

TAudioEngine::~TAudioEngine() {
    Clear();
}

void TAudioEngine::AddVoice(int Track, _TPart* Part, int Tick, _TEvent* Event) {
    auto* v = new _TSampleVoice;
    v->Track = Track;
    v->Part = Part;
    v->Event = Event;
    v->EventTime = Event->ToGo - Event->Delta;
    v->PassStart = 0;
    v->PassSongStart = Tick;
    v->Next = Voices;
    Voices = v;
    Empty = 0;
}

void TAudioEngine::DropVoice() {
    _TSampleVoice* v = Voices;
    if (!v) return;
    Voices = v->Next;
    delete v;
}

void TAudioEngine::Clear() {
    while (Voices)
        DropVoice();
    RenderedSamples = 0;
}

void TAudioEngine::RenderVoices(TSong& S, int Frames) {
    for (_TSampleVoice* v = Voices; v; v = v->Next)
        RenderVoice(S, *v, Frames);
}

void TAudioEngine::RenderVoice(TSong& S, _TSampleVoice& V, int Frames) {
    _TTrack* track = S.TrackAt(V.Track);
    if (!track) return;
    const int slots = ActiveSlotCount(track->Outputs);
    for (int i = 0; i < slots; ++i)
        ClearFloats(SampleMixBuffers[static_cast<std::size_t>(i)].data(), 2 * Frames);

    const bool looping = S.Looping;
    const int left = S.LeftLocator, right = S.RightLocator;
    const std::int64_t rendered = RenderedSamples, blockEnd = rendered + Frames;
    const int precount = PrecountTicks;

    // A new loop pass from the left locator; False when the track has nothing there. What
    // it finds at or after the right locator would only wrap again, endlessly: the loop holds
    // nothing of this track, and the voice is done for the run.
    auto wrap = [&](_TPart*& Part, _TEvent*& E, std::int64_t& EventTime) {
        _TPart* part = nullptr;
        E = FirstSampleEventAt(S, track, part, left - track->Offset);
        if (E && static_cast<std::int64_t>(left) + E->ToGo >= right) E = nullptr;
        V.Event = E;
        if (!E) return false;
        V.Part = Part = part;
        V.PassStart += right - V.PassSongStart;
        EventTime = static_cast<std::int64_t>(E->ToGo) - E->Delta + V.PassStart;
        V.EventTime = static_cast<std::int32_t>(EventTime);
        ResetPlayMarks(part);
        V.PassSongStart = left;
        return true;
    };

    _TPart* part = V.Part;
    _TEvent* e = V.Event;
    std::int64_t eventTime = V.EventTime;
    while (e) {
        // a. The loop end reached: the pass starts again at the left locator.
        while (looping && eventTime + e->Delta - V.PassStart + V.PassSongStart >= right)
            if (!wrap(part, e, eventTime)) break;
        if (!e) break;
        // b, c. Whether the event falls into this block is decided in samples, so that a note
        // whose start rounds onto the block's end plays in the next block.
        const double t = static_cast<double>(eventTime + e->Delta + precount);
        eventTime += e->Delta;
        const std::int64_t startSample = TicksToSamples(t);
        if (startSample >= blockEnd) break;
        // d.
        if (e->PlayMark > 0 || startSample >= rendered) {
            TSample* slot = SampleSlotOfEvent(S, V.Track, *e);
            TWave* wave = SampleWaveOfEvent(S, V.Track, *e);
            // A note whose slot or sample is gone is skipped; the others still sound.
            if (!slot || !wave) {
                e->PlayMark = -1;
            } else {
                const double volume = slot->Volume;
                const int level = track->Volume != -1
                                      ? Round(volume * 127.0 * (track->Volume * (1.0 / 127)))
                                      : Round(volume * 127.0);
                const int bus = slot->Bus;
                float* target =
                    SampleMixBuffers[static_cast<std::size_t>(bus >= 0 && bus <= 31 ? bus : 0)]
                        .data();
                if (slot->Mute) e->PlayMark = -1;
                if (IsNoteOn(e->Msg)) {
                    TWaveFormatHead head;
                    if (!wave->FormatHead(head)) {
                        e->PlayMark = -1; // nothing can play a missing or short record
                    } else if (e->PlayMark >= 0 && e->PlayMark < wave->Size()) {
                        int lengthMs = -1;
                        if (!slot->FR) {
                            lengthMs = Round(TicksToMs(NoteLength(part, e)));
                            if (lengthMs == 0) lengthMs = -1;
                        }
                        const double start =
                            e->PlayMark == 0 ? static_cast<double>(startSample - rendered) : 0.0;
                        TWaveFormat format;
                        format.wFormatTag = head.FormatTag;
                        format.nChannels = head.Channels;
                        format.nSamplesPerSec = head.SamplesPerSec;
                        format.nAvgBytesPerSec = head.AvgBytesPerSec;
                        format.nBlockAlign = head.BlockAlign;
                        format.wBitsPerSample = head.BitsPerSample;
                        const int velocity = Round(MidiData2(e->Msg) * level * (1.0 / 127));
                        const int used = MixSampleScaled(
                            wave->Data(), target, e->PlayMark, start, lengthMs, format,
                            wave->Size(), Frames * 8, velocity,
                            static_cast<int>(MidiByte3(e->Msg)), 1.0f);
                        e->PlayMark = used == -1 ? -1 : e->PlayMark + used;
                    }
                    if (e->PlayMark == wave->Size()) e->PlayMark = -1;
                }
            }
        }
        // e, f.
        e = NextSampleEvent(part, e, eventTime);
        if (!e && looping && !Empty) wrap(part, e, eventTime);
    }

    // 4. The cursor moves over finished events; a note still sounding holds it. While
    // looping it stays on its part's last event, where the wrap takes over.
    std::int64_t cursorTime = V.EventTime;
    while (V.Event && V.Event->PlayMark == -1) {
        if (looping && !Empty && !V.Event->Next) break;
        cursorTime += V.Event->Delta;
        _TPart* p = V.Part;
        _TEvent* next = NextSampleEvent(p, V.Event, cursorTime);
        V.Event = next;
        if (next) V.Part = p;
    }
    V.EventTime = static_cast<std::int32_t>(cursorTime);

    // 5.
    for (int i = 0; i < slots; ++i)
        MixSlot(S, track->Outputs[static_cast<std::size_t>(i)],
                SampleMixBuffers[static_cast<std::size_t>(i)].data(), TSlotOwner::Track, Frames);
}

// ---- the hooks of the locate, the renderer and the song ---------------------------------

void TLocateHooks::ClearSampleVoices(TSong& S, int) {
    if (S.AudioEngine) S.AudioEngine->Clear();
}

void TLocateHooks::AddSampleVoice(TSong& S, int Track, _TPart* Part, int Tick, _TEvent* Event) {
    if (S.AudioEngine) S.AudioEngine->AddVoice(Track, Part, Tick, Event);
}

bool TLocateHooks::SampleFormatOfEvent(TSong& S, int Track, const _TEvent& Event,
                                       TSampleFormat& Format) {
    const TWave* wave = SampleWaveOfEvent(S, Track, Event);
    TWaveFormatHead head;
    if (!wave || !wave->FormatHead(head)) return false;
    Format.Channels = head.Channels;
    Format.Bits = head.BitsPerSample;
    Format.Rate = static_cast<int>(head.SamplesPerSec);
    Format.BlockAlign = head.BlockAlign;
    return true;
}

void TRenderEngines::RenderSampleVoices(TSong& S, int Frames) {
    if (S.AudioEngine) S.AudioEngine->RenderVoices(S, Frames);
}

void TSongEngines::ClearSampleVoices(TSong& S) {
    if (S.AudioEngine) S.AudioEngine->Clear();
}
