#pragma once
// The MIDI scheduler: one queue that holds, for every playing MIDI and audio track and the
// metronome, the next event it will play, with the ticks from the event sent before it. It
// runs on the GUI thread only; the audio thread never touches it.

#include <cstdint>
#include <vector>

class TSong;
struct _TEvent;
struct _TPart;
struct _TTrack;

struct _TQueueNode {
    std::int32_t Track = 0; // index into the song's tracks; 128 is the metronome
    _TPart* Part = nullptr; // nil for a note-off the scheduler made itself
    _TEvent* Event = nullptr;
    _TQueueNode* Next = nullptr;
};

class TEngine {
public:
    TEngine(); // Create
    ~TEngine();
    TEngine(const TEngine&) = delete;
    TEngine& operator=(const TEngine&) = delete;

    std::uint8_t Empty = 1;       // a start found nothing to play
    _TQueueNode* Queue = nullptr; // by ToGo: the first counts from the last sent event, the
                                  // others from the first
    std::int32_t Elapsed = 0;     // ticks played since the run's reference point
    std::int32_t Lead = 0;        // ticks to pass before Elapsed counts

    // Drops every node, and frees the note-offs the scheduler made (nothing else owns them).
    void Clear();
    // Links the event in by its ToGo, after the nodes with the same ToGo.
    void Insert(int Track, _TPart* Part, _TEvent* Event);
    // Unlinks the first node and returns its event, counting its ToGo into Lead and Elapsed.
    _TEvent* PopHead();
    void DropHead();
    // Makes the other nodes count from the first one again.
    void Rebase();

private:
    _TQueueNode* NewNode();
    void FreeNode(_TQueueNode* Node);
    std::vector<_TQueueNode*> free_; // nodes to reuse: feeding makes no allocation per event
};

// The first event of a MIDI track to play from Tick (in the track's own time), with ToGo the
// ticks from Tick to it; Part receives its part. Nil when the track plays nothing more.
_TEvent* FirstMidiEventAt(_TTrack* Track, _TPart*& Part, int Tick);
// The same for an audio track, which also gives a note still sounding at Tick (ToGo < 0).
_TEvent* FirstSampleEventAt(_TTrack* Track, _TPart*& Part, int Tick);
// The next part after P that is neither muted nor empty, nil when none.
_TPart* NextPlayablePart(_TPart* P);
_TEvent* FirstMidiEventAt(const TSong& S, _TTrack* Track, _TPart*& Part, int Tick);
_TEvent* FirstSampleEventAt(const TSong& S, _TTrack* Track, _TPart*& Part, int Tick);

// What a pool sample tells the start of a sounding sample note.
struct TSampleFormat {
    int Channels = 2;
    int Bits = 16;
    int Rate = 44100;
    int BlockAlign = 4;
};

// The engines a locate reaches beyond the MIDI queue: sample voices, softsynths, buses,
// automation and the sample pool. Each engine's unit installs its own; the default does
// nothing, except for the sample voices and the sample pool, which the audio engine serves
// (audioengine.cpp), and the softsynths, which the softsynth engine serves (softengine.cpp).
// Installing nil restores the default.
class TLocateHooks {
public:
    virtual ~TLocateHooks() = default;
    // Drops the sample voices (the audio engine's clock is reset by the locate).
    virtual void ClearSampleVoices(TSong&, int Tick);
    // TAudioEngine.AddVoice.
    virtual void AddSampleVoice(TSong&, int Track, _TPart* Part, int Tick, _TEvent* Event);
    // Position, queue reset and tempo of every softsynth, in list order.
    virtual void LocateSoftsynths(TSong& S, int Tick);
    virtual void PrimeSoftsynthQueues(TSong& S, int Tick);
    // While recording: every queued softsynth event Ticks later, the queues' BaseTick as given.
    virtual void DelaySoftsynthQueues(TSong& S, int Ticks, int BaseTick);
    // Position of every group-effect and send-effect bus.
    virtual void LocateBuses(TSong& S, int Tick);
    // Track index, list position and plug-in link of every automation entry.
    virtual void LinkAutomation(TSong& S);
    // The pool sample a sample note plays (SampleWaveOfEvent); False when there is none.
    virtual bool SampleFormatOfEvent(TSong&, int Track, const _TEvent& Event, TSampleFormat& Format);
};
TLocateHooks& LocateHooks();
void SetLocateHooks(TLocateHooks* Hooks);

// Bytes into a sample where a note that began Ticks earlier stands now.
int SoundingSampleOffset(int Ticks, const TSampleFormat& Format);
