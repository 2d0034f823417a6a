#include "song/render.h"

#include "devices/audio.h"
#include "devices/mfx.h"
#include "song/audioengine.h"
#include "song/song.h"
#include "song/subengine.h"
#include "song/timebase.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

TBlockPosition BlockPosition;

namespace {

TRenderEngines defaultEngines;
TRenderEngines* engines = nullptr;

float Clip(float V) {
    return V > 1.0f ? 1.0f : (V < -1.0f ? -1.0f : V);
}

// The destination a slot's Bus or a bus's Output names; nil for a number that names no bus.
float* Destination(TSong& S, int Target) {
    if (Target == -1) return S.MixBuffer.data();
    if (!SubEngine) return nullptr;
    TSub* sub = SubEngine->GetSub(Target);
    return sub ? sub->Buffer.data() : nullptr;
}

bool Running(const TSong& S) {
    return S.State != 0;
}

void ComputeBlockPosition(TSong& S) {
    TAudioEngine* ae = S.AudioEngine;
    if (!ae) return;
    double ticks = SamplesToTicks(static_cast<double>(ae->StartSamples) + ae->RenderedSamples) -
                   ae->PrecountTicks;
    if (S.Looping) {
        double right = S.RightLocator, span = right - S.LeftLocator;
        // An empty or inverted loop would never bring the position back.
        if (span > 0 && ticks > right) ticks -= std::ceil((ticks - right) / span) * span;
    }
    BlockPosition.Ticks = ticks;
    BlockPosition.Samples = TicksToSamples(ticks);
}

void MixDiskOutputs(TSong& S, int Frames) {
    int n = ActiveSlotCount(S.DiskOutputs);
    for (int i = 0; i < n; ++i) {
        S.DiskOutputs[static_cast<std::size_t>(i)].PeakLeft = 0.0f;
        S.DiskOutputs[static_cast<std::size_t>(i)].PeakRight = 0.0f;
    }
    if (!Running(S)) return;
    for (int i = 0; i < n; ++i)
        ClearFloats(SampleMixBuffers[static_cast<std::size_t>(i)].data(), 2 * Frames);
    RenderEngines().ScheduleDiskBlock(S, SamplesToTicks(Frames));
    for (int i = 0; i < n; ++i)
        MixSlot(S, S.DiskOutputs[static_cast<std::size_t>(i)],
                SampleMixBuffers[static_cast<std::size_t>(i)].data(), TSlotOwner::Disk, Frames);
}

void ProcessBuses(TSong& S, int Frames) {
    if (!SubEngine) return;
    const bool running = Running(S);
    for (int b = SubEngine->Count() - 1; b >= 0; --b) {
        TSub& bus = *SubEngine->Buses[static_cast<std::size_t>(b)];
        float* dest = Destination(S, bus.Output);
        if (bus.Kind == skGroupVolume) {
            float peakL = 0.0f, peakR = 0.0f;
            const float vol = bus.Volume;
            const float* in = bus.Buffer.data();
            if (dest) {
                for (int f = 0; f < 2 * Frames; f += 2) {
                    float l = in[f] * vol, r = in[f + 1] * vol;
                    dest[f] += l;
                    dest[f + 1] += r;
                    peakL = std::max(peakL, l);
                    peakR = std::max(peakR, r);
                }
            }
            bus.PeakLeft = peakL;
            bus.PeakRight = peakR;
        } else if (bus.Kind == skGroupEffect || bus.Kind == skSendEffect) {
            if (!dest) continue; // an Output that names no bus: nothing to add to
            if (running) RenderEngines().Automate(bus.Plugin, Frames);
            RenderEngines().Process(bus.Plugin, bus.Buffer.data(), dest, Frames,
                                    bus.Kind == skSendEffect, false);
        }
    }
    for (auto it = SubEngine->MasterBuses.rbegin(); it != SubEngine->MasterBuses.rend(); ++it) {
        if (running) RenderEngines().Automate((*it)->Plugin, Frames);
        RenderEngines().Process((*it)->Plugin, S.MixBuffer.data(), S.MixBuffer.data(), Frames,
                                false, true);
    }
}

// Song time the device played without a rendered block (a held renderer, a missed turn) goes
// by before the block, so that the block lies where the device's frames say; what fell into
// it comes at the block's start. A run that has not rendered its first block yet starts here.
void SkipMissedFrames(TSong& S) {
    const std::int32_t missed = S.MissedFrames.exchange(0, std::memory_order_relaxed);
    TAudioEngine* ae = S.AudioEngine;
    if (missed <= 0 || !Running(S) || !ae || ae->RenderedSamples == 0) return;
    ae->RenderedSamples += missed;
    RenderEngines().SkipSoftsynths(missed);
    S.ScheduleDiskBlock(SamplesToTicks(missed), false);
}

std::array<std::atomic<float>, MaxBlockFrames> mixWave{};
std::atomic<int> mixWaveFrames{0};

void PublishMixWave(const float* Mix, int Frames) {
    for (int i = 0; i < Frames; ++i)
        mixWave[static_cast<std::size_t>(i)].store(Mix[i], std::memory_order_relaxed);
    mixWaveFrames.store(Frames, std::memory_order_relaxed);
}

// One block of at most MaxBlockFrames, with the busy flag held.
void RenderBlock(TSong& S, float* Out, int Frames) {
    TRenderEngines& e = RenderEngines();
    e.RunTodos(S);
    SkipMissedFrames(S);
    ClearFloats(S.MixBuffer.data(), 2 * Frames);
    if (SubEngine) {
        for (TSub* bus : SubEngine->Buses)
            ClearFloats(bus->Buffer.data(), 2 * Frames);
        for (TSub* bus : SubEngine->MasterBuses)
            ClearFloats(bus->Buffer.data(), 2 * Frames);
    }
    e.RenderSoftsynths(S, Frames);
    for (int t = 0; t < TrackCount; ++t) {
        _TTrack* track = S.Tracks[static_cast<std::size_t>(t)].get();
        if (!track) continue;
        const TSoftOuts& outs = track->Outputs; // only the active slots are handed out
        for (std::size_t i = 0; i < outs.size() && outs[i].Active; ++i) {
            TSoftOut& slot = track->Outputs[i];
            slot.PeakLeft = 0.0f;
            slot.PeakRight = 0.0f;
        }
    }
    const bool running = Running(S);
    if (running) {
        ComputeBlockPosition(S);
        e.RenderSampleVoices(S, Frames);
    }
    MixDiskOutputs(S, Frames);
    ProcessBuses(S, Frames);
    const float master = S.MasterOut.Volume;
    const float* mix = S.MixBuffer.data();
    for (int i = 0; i < 2 * Frames; ++i)
        Out[i] = Clip(master * mix[i]);
    PublishMixWave(mix, Frames);
    if (running && S.AudioEngine) S.AudioEngine->RenderedSamples += Frames;
    e.ClearTransportChanged();
}

} // namespace

void TRenderEngines::RunTodos(TSong& S) {
    S.RunTodos();
}

void TRenderEngines::Process(TMFX* Plugin, float* In, float* Out, int Frames, bool SendBus,
                             bool Replace) {
    if (Plugin) Plugin->Process(In, Out, Frames, SendBus, Replace);
}

TRenderEngines& RenderEngines() {
    return engines ? *engines : defaultEngines;
}
void SetRenderEngines(TRenderEngines* Engines) {
    engines = Engines;
}

void ClearFloats(float* Buffer, int Count) {
    if (Count > 0) std::memset(Buffer, 0, static_cast<std::size_t>(Count) * sizeof(float));
}

const std::atomic<float>* MixWave() {
    return mixWave.data();
}
int MixWaveFrames() {
    return mixWaveFrames.load(std::memory_order_relaxed);
}

int ActiveSlotCount(const TSoftOuts& Slots) {
    int n = 0;
    while (n < MaxMixedSlots && Slots[static_cast<std::size_t>(n)].Active)
        ++n;
    return n;
}

void MixSlot(TSong& S, TSoftOut& Slot, float* Source, TSlotOwner Owner, int Frames) {
    const bool running = Running(S);
    for (TSub* insert : Slot.Inserts) {
        if (running) RenderEngines().Automate(insert->Plugin, Frames);
        RenderEngines().Process(insert->Plugin, Source, Source, Frames,
                                insert->Kind == skSendEffect, true);
    }
    float* dest = Destination(S, Slot.Bus);
    if (!dest) return;
    const float g = Slot.Gain * Slot.Volume;
    const float pan = Owner == TSlotOwner::Track ? 0.0f : static_cast<float>(Slot.Pan);
    float peakL = Slot.PeakLeft, peakR = Slot.PeakRight;
    for (int f = 0; f < 2 * Frames; f += 2) {
        float sl = Source[f], sr = Source[f + 1];
        float l = (sl - sl * pan) * g, r = (sr + sr * pan) * g;
        dest[f] += l;
        dest[f + 1] += r;
        peakL = std::max(peakL, l);
        peakR = std::max(peakR, r);
    }
    Slot.PeakLeft = peakL;
    Slot.PeakRight = peakR;
    if (!SubEngine) return;
    const int sends = std::min<int>(static_cast<int>(SubEngine->SendBuses.size()), SendCount);
    for (int j = 0; j < sends; ++j) {
        const float level = Slot.Sends[static_cast<std::size_t>(j)];
        if (!(level > 0.0f)) continue;
        float* bus = SubEngine->SendBuses[static_cast<std::size_t>(j)]->Buffer.data();
        // Track and disk slots send their signal before the pan, softsynths after it.
        const float sp = Owner == TSlotOwner::Softsynth ? pan : 0.0f;
        const float k = g * level;
        for (int f = 0; f < 2 * Frames; f += 2) {
            bus[f] += (Source[f] - Source[f] * sp) * k;
            bus[f + 1] += (Source[f + 1] + Source[f + 1] * sp) * k;
        }
    }
}

void TSong::MissFrames(int Frames) {
    if (Frames > 0 && Running(*this)) MissedFrames.fetch_add(Frames, std::memory_order_relaxed);
}

void TSong::Render(float* Out, int Frames) {
    if (!Out || Frames <= 0) return;
    if (!EnterRenderBlock()) {
        // The GUI thread is changing what a block walks: the driver plays silence, and the
        // song's time goes on.
        ClearFloats(Out, 2 * Frames);
        MissFrames(Frames);
        return;
    }
    // A driver may ask for more than the work buffers hold: render it in pieces.
    for (int done = 0; done < Frames;) {
        int n = std::min(Frames - done, MaxBlockFrames);
        RenderBlock(*this, Out + 2 * static_cast<std::ptrdiff_t>(done), n);
        done += n;
    }
    LeaveRenderBlock();
}
