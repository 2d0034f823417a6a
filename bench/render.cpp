// Block rendering under a standard load: four owners (an audio track, the disk outputs and two
// softsynths) with 32 active slots each, 256-frame blocks at 44,100 Hz. Reports the real-time
// factor (block duration / render time) and ns per slot-frame, beside a plain loop that makes
// the same additions (gain, pan and peak per slot frame into one mix) measured in the same run.
#include "song/render.h"
#include "devices/midi.h"
#include "song/audioengine.h"
#include "song/softengine.h"
#include "song/song.h"

#include "private_settings.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int BlockFrames = 256;
constexpr int SlotsPerOwner = 32;
constexpr int Owners = 4;
constexpr int Blocks = 2000;

// Two softsynths and an audio track mix their slots from pre-filled slot buffers.
class BenchOwners : public TRenderEngines {
public:
    std::vector<TSoftOut> Synths = std::vector<TSoftOut>(2 * SlotsPerOwner);
    _TTrack* Track = nullptr;
    void RenderSoftsynths(TSong& S, int Frames) override {
        for (int i = 0; i < 2 * SlotsPerOwner; ++i)
            MixSlot(S, Synths[static_cast<std::size_t>(i)],
                    SampleMixBuffers[static_cast<std::size_t>(i % 32)].data(),
                    TSlotOwner::Softsynth, Frames);
    }
    void RenderSampleVoices(TSong& S, int Frames) override {
        for (int i = 0; i < SlotsPerOwner; ++i)
            MixSlot(S, Track->Outputs[static_cast<std::size_t>(i)],
                    SampleMixBuffers[static_cast<std::size_t>(i)].data(), TSlotOwner::Track,
                    Frames);
    }
    int SoftsynthSlots(TSoftOut** Slots, int Max) override {
        int n = 0;
        for (auto& s : Synths)
            if (n < Max) Slots[n++] = &s;
        return n;
    }
};

template <class Buffer> void Noise(Buffer& B) {
    std::minstd_rand rng(7);
    std::uniform_real_distribution<float> d(-0.1f, 0.1f);
    for (float& v : B)
        v = d(rng);
}

// Seconds for Blocks blocks through the renderer.
double RenderRun() {
    PrivateSettings();
    TMIDI midi;
    Midi = &midi;
    Song = new TSong;
    TAudioEngine clock;
    Song->AudioEngine = &clock;
    Song->State = 2;
    BenchOwners owners;
    owners.Track = Song->TrackAt(0);
    owners.Track->Mode = tmAudio;
    owners.Track->Samples.push_back(std::make_unique<TSample>());
    for (int i = 0; i < SlotsPerOwner; ++i) {
        owners.Track->Outputs[static_cast<std::size_t>(i)].Active = 1;
        Song->DiskOutputs[static_cast<std::size_t>(i)].Active = 1;
        Song->DiskOutputs[static_cast<std::size_t>(i)].Pan = 0.25f;
    }
    for (auto& s : owners.Synths) {
        s.Active = 1;
        s.Pan = -0.5f;
    }
    SetRenderEngines(&owners);
    TSoftEngine::UpdateMuteSolo();
    for (auto& b : SampleMixBuffers)
        Noise(b);
    std::vector<float> out(2 * BlockFrames);
    auto t0 = std::chrono::steady_clock::now();
    for (int b = 0; b < Blocks; ++b) {
        Song->Render(out.data(), BlockFrames);
        benchmark::DoNotOptimize(out.data());
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    SetRenderEngines(nullptr);
    Song->AudioEngine = nullptr;
    delete Song;
    Song = nullptr;
    Midi = nullptr;
    return seconds;
}

// The same additions in a plain loop: gain and pan per slot frame into one mix, with peaks.
double PlainRun() {
    // 32 slot buffers, reused by every owner in turn as the renderer does.
    std::vector<std::vector<float>> slots(SlotsPerOwner, std::vector<float>(2 * BlockFrames));
    for (auto& s : slots)
        Noise(s);
    std::vector<float> mix(2 * BlockFrames), out(2 * BlockFrames);
    auto t0 = std::chrono::steady_clock::now();
    for (int b = 0; b < Blocks; ++b) {
        std::fill(mix.begin(), mix.end(), 0.0f);
        for (int k = 0; k < Owners * SlotsPerOwner; ++k) {
            const std::vector<float>& s = slots[static_cast<std::size_t>(k % SlotsPerOwner)];
            float peakL = 0, peakR = 0;
            const float g = 0.9f, pan = 0.25f;
            for (int f = 0; f < 2 * BlockFrames; f += 2) {
                float l = (s[f] - s[f] * pan) * g, r = (s[f + 1] + s[f + 1] * pan) * g;
                mix[f] += l;
                mix[f + 1] += r;
                peakL = std::max(peakL, l);
                peakR = std::max(peakR, r);
            }
            benchmark::DoNotOptimize(peakL);
            benchmark::DoNotOptimize(peakR);
        }
        for (int i = 0; i < 2 * BlockFrames; ++i)
            out[i] = std::clamp(mix[i], -1.0f, 1.0f);
        benchmark::DoNotOptimize(out.data());
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void BM_RenderStandardLoad(benchmark::State& state) {
    double render = 0, plain = 0;
    for (auto _ : state) {
        render = RenderRun();
        plain = PlainRun();
    }
    const double blockSeconds = static_cast<double>(BlockFrames) / 44100;
    const double slotFrames = static_cast<double>(Blocks) * BlockFrames * Owners * SlotsPerOwner;
    state.counters["realtime_factor"] = blockSeconds * Blocks / render;
    state.counters["ns_per_slot_frame"] = render * 1e9 / slotFrames;
    state.counters["plain_ns_per_slot_frame"] = plain * 1e9 / slotFrames;
    state.counters["render_vs_plain"] = render / plain;
}
BENCHMARK(BM_RenderStandardLoad)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace
