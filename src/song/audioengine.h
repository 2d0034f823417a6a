#pragma once
// The audio engine: the block clock (where the run started and how much it has rendered
// since) and the sample voices that play audio tracks, one per track that had something to
// play at the locate. Voices are made by the locate on the GUI thread while the renderer is
// held off, and walked and advanced by the renderer.

#include <atomic>
#include <cstdint>

class TSong;
class TSample;
class TWave;
struct _TEvent;
struct _TPart;

struct _TSampleVoice {
    std::int32_t Track = 0;
    _TPart* Part = nullptr;   // the part holding Event
    _TEvent* Event = nullptr; // the earliest note not finished; nil: nothing more this run
    std::int32_t EventTime = 0;     // engine ticks of the event before Event
    std::int32_t PassStart = 0;     // engine ticks at which the current loop pass began
    std::int32_t PassSongStart = 0; // song tick at which it began
    _TSampleVoice* Next = nullptr;
};

class TAudioEngine {
public:
    TAudioEngine() = default; // Create
    ~TAudioEngine();
    TAudioEngine(const TAudioEngine&) = delete;
    TAudioEngine& operator=(const TAudioEngine&) = delete;

    std::atomic<std::uint8_t> Empty{1};
    _TSampleVoice* Voices = nullptr; // newest first
    std::atomic<std::int32_t> StartSamples{0};    // the locate tick in samples
    std::atomic<std::int32_t> RenderedSamples{0}; // samples rendered since the locate while running
    std::atomic<std::int32_t> PrecountTicks{0};

    void AddVoice(int Track, _TPart* Part, int Tick, _TEvent* Event);
    void DropVoice();
    // Drops every voice; RenderedSamples := 0.
    void Clear();
    // This block's notes of every voice into the slot buffers of its track, then the track's
    // output slots mixed. Only while the song runs; allocates nothing.
    void RenderVoices(TSong& S, int Frames);

private:
    void RenderVoice(TSong& S, _TSampleVoice& V, int Frames);
};

// The sample slot a sample note names (data 1), nil when the track has no such slot.
TSample* SampleSlotOfEvent(const TSong& S, int Track, const _TEvent& Event);
// The wave of the pool sample that slot names, nil when there is none.
TWave* SampleWaveOfEvent(const TSong& S, int Track, const _TEvent& Event);
