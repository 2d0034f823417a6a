#pragma once
// The audio block renderer: one block of interleaved stereo floats from softsynths, sample
// voices, disk voices, output slots, buses and master effects. Runs on the audio driver's
// thread (or the GUI thread for an offline mixdown); allocates nothing.

#include <atomic>
#include <cstdint>

class TMFX;
class TSong;
struct TSoftOut;
class TSoftOuts;

constexpr int MaxBlockFrames = 22050; // every work buffer holds this many stereo frames
constexpr int MaxMixedSlots = 32;     // output slots mixed per owner

// Owners of output slots, which differ in pan and sends.
enum class TSlotOwner { Track, Disk, Softsynth };

// The engines that units of their own add to a block, and the plug-in calls. The defaults
// serve the song's own engines (sample voices: audioengine.cpp; softsynths: softengine.cpp)
// and process plug-ins through TMFX; the others do nothing until their units are there.
class TRenderEngines {
public:
    virtual ~TRenderEngines() = default;
    virtual void RunTodos(TSong& S); // the song's deferred actions
    // Every softsynth's due events and processing; its outputs go through MixSlot.
    virtual void RenderSoftsynths(TSong& S, int Frames);
    // Song time that went by unrendered: every running softsynth's clock moves on by Frames,
    // so that what fell into them comes at the start of the next block (softengine_block.cpp).
    virtual void SkipSoftsynths(int Frames);
    // The sample voices of audio tracks, each into SampleMixBuffers, then MixSlot per slot.
    virtual void RenderSampleVoices(TSong& S, int Frames); // the audio engine's (audioengine.cpp)
    // This block's disk voices add into the slot buffers of their outputs; advances AudioPos.
    virtual void ScheduleDiskBlock(TSong& S, double Ticks); // disk.cpp
    // TMFX.Process of a plug-in that is there.
    virtual void Process(TMFX* Plugin, float* In, float* Out, int Frames, bool SendBus,
                         bool Replace);
    // Command 10 with the block's automation points, for a plug-in that is automated.
    virtual void Automate(TMFX* Plugin, int Frames); // automation.cpp
    // The transport-changed bit of the VST time information.
    virtual void ClearTransportChanged();
    // Output slots of every softsynth below its output count (mute and solo).
    virtual int SoftsynthSlots(TSoftOut** Slots, int Max);
};
TRenderEngines& RenderEngines();
void SetRenderEngines(TRenderEngines* Engines);

// Where the block being rendered lies in the song (automation reads it).
struct TBlockPosition {
    double Ticks = 0;
    int Samples = 0;
};
extern TBlockPosition BlockPosition;

// Mixes one output slot from its slot buffer S (Frames stereo frames): insert effects, gain,
// pan by owner, sends. A slot whose Bus names no bus is not mixed at all.
void MixSlot(TSong& S, TSoftOut& Slot, float* Source, TSlotOwner Owner, int Frames);
// The active slots from slot 0 up to the first inactive one, at most 32.
int ActiveSlotCount(const TSoftOuts& Slots);

void ClearFloats(float* Buffer, int Count);

// The master mix of the last block as the renderer publishes it for the mixer's wave: the
// first MixWaveFrames() values of the interleaved block, each stored and read as a relaxed
// atomic, so that a reader on another thread sees whole values without a lock.
const std::atomic<float>* MixWave();
int MixWaveFrames();
