// The softsynth engine under load: 16 softsynths, each playing a track of 64 events per block
// (441-frame blocks, 10 ms at 44,100 Hz, tempo 150: six ticks a block) in a one-bar loop. The
// plug-ins take their events and do no work of their own, so the time is the engine's: queues,
// frames, the event block, channel pointers and slot mixing. Reports the engine's time per
// block beside the block's duration, and beside a plain loop that fills the same event
// records and mixes the same slots, measured in the same run.
#include "devices/mfx.h"
#include "devices/midi.h"
#include "platform/core/dynlib.h"
#include "song/audioengine.h"
#include "song/primitives.h"
#include "song/render.h"
#include "song/softengine.h"
#include "song/song.h"

#include "private_settings.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <vector>

namespace {

constexpr int Synths = 16;
constexpr int EventsPerBlock = 64;
constexpr int BlockFrames = 441;
constexpr int TicksPerBlock = 6; // at tempo 150
constexpr int Blocks = 2000;
constexpr int LoopTicks = 960;

// Plug-ins that take events and make no sound: what is measured is the host's side.
struct IdleSynth {
    AEffect E{};
    long Events = 0;
};
std::array<IdleSynth, Synths> idle;
int made = 0;

VstIntPtr IdleDispatcher(AEffect* e, std::int32_t op, std::int32_t, VstIntPtr, void* ptr, float) {
    if (op == effProcessEvents)
        static_cast<IdleSynth*>(e->object)->Events += static_cast<VstEvents*>(ptr)->numEvents;
    return 0;
}
void IdleProcess(AEffect*, float**, float**, std::int32_t) {}
AEffect* IdleMain(audioMasterCallback) {
    IdleSynth& s = idle[static_cast<std::size_t>(made++ % Synths)];
    s.E = AEffect{};
    s.E.magic = kEffectMagic;
    s.E.dispatcher = &IdleDispatcher;
    s.E.processReplacing = &IdleProcess;
    s.E.setParameter = [](AEffect*, std::int32_t, float) {};
    s.E.getParameter = [](AEffect*, std::int32_t) { return 0.0f; };
    s.E.numOutputs = 2;
    s.E.flags = effFlagsCanReplacing | effFlagsIsSynth;
    s.E.object = &s;
    return &s.E;
}

// A bar of events for one track: 64 per six ticks, note-ons and note-offs on keys that turn.
_TPart* BusyPart(int Track) {
    _TPart* p = NewPart("", 0, LoopTicks, Track);
    int last = 0;
    for (int block = 0; block < LoopTicks / TicksPerBlock; ++block)
        for (int i = 0; i < EventsPerBlock; ++i) {
            const int tick = block * TicksPerBlock + i * TicksPerBlock / EventsPerBlock;
            const int key = (block * EventsPerBlock + i) / 2 % 128;
            const std::uint32_t msg =
                i % 2 == 0 ? (0x90u | static_cast<std::uint32_t>(key) << 8 | 100u << 16)
                           : (0x80u | static_cast<std::uint32_t>(key) << 8);
            AppendEvent(p, NewEvent(tick - last, msg));
            last = tick;
        }
    return p;
}

double EngineRun(long& Handed) {
    PrivateSettings();
    TMIDI midi;
    Midi = &midi;
    midi.Tempo = 150;
    platform::RegisterFakeLibrary("idlesynth", {{"main", reinterpret_cast<void*>(&IdleMain)}});
    Song = new TSong;
    for (int i = 0; i < Synths; ++i) {
        SoftEngine->AddSoftsynth("idlesynth");
        _TTrack& t = *Song->TrackAt(i);
        t.Mode = tmSoftsynth;
        t.Output = i;
        t.Channel = i % 16;
        InsertPart(&t, BusyPart(i));
    }
    TSoftEngine::UpdateMuteSolo();
    Song->LeftLocator = 0;
    Song->RightLocator = LoopTicks;
    Song->LoopOn = 1;
    Song->State = 2;
    Song->Locate(0, false);
    Song->Looping = 1; // the mixdown's locate never loops; this run does
    for (IdleSynth& s : idle)
        s.Events = 0;
    std::vector<float> out(2 * BlockFrames);
    auto t0 = std::chrono::steady_clock::now();
    for (int b = 0; b < Blocks; ++b) {
        Song->Render(out.data(), BlockFrames);
        benchmark::DoNotOptimize(out.data());
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    Handed = 0;
    for (IdleSynth& s : idle)
        Handed += s.Events;
    delete Song;
    Song = nullptr;
    Midi = nullptr;
    platform::UnregisterFakeLibrary("idlesynth");
    return seconds;
}

// The least the engine must do: fill 64 event records per softsynth from a ready list, clear
// two channels, interleave one slot and mix it with gain, pan and peaks.
double PlainRun() {
    std::vector<std::uint32_t> msgs(EventsPerBlock);
    for (int i = 0; i < EventsPerBlock; ++i)
        msgs[static_cast<std::size_t>(i)] = 0x90u | static_cast<std::uint32_t>(i) << 8 | 100u << 16;
    std::array<VstMidiEvent, EventsPerBlock> records{};
    std::vector<float> ch0(BlockFrames), ch1(BlockFrames), inter(2 * BlockFrames),
        mix(2 * BlockFrames);
    auto t0 = std::chrono::steady_clock::now();
    for (int b = 0; b < Blocks; ++b) {
        std::fill(mix.begin(), mix.end(), 0.0f);
        for (int s = 0; s < Synths; ++s) {
            for (int i = 0; i < EventsPerBlock; ++i) {
                VstMidiEvent& r = records[static_cast<std::size_t>(i)];
                r = VstMidiEvent{};
                r.type = kVstMidiType;
                r.byteSize = sizeof(VstMidiEvent);
                r.deltaFrames = i * BlockFrames / EventsPerBlock;
                const std::uint32_t m = msgs[static_cast<std::size_t>(i)];
                r.midiData[0] = static_cast<char>(m & 0xFF);
                r.midiData[1] = static_cast<char>(m >> 8 & 0xFF);
                r.midiData[2] = static_cast<char>(m >> 16 & 0xFF);
            }
            benchmark::DoNotOptimize(records.data());
            std::fill(ch0.begin(), ch0.end(), 0.0f);
            std::fill(ch1.begin(), ch1.end(), 0.0f);
            benchmark::DoNotOptimize(ch0.data());
            float peakL = 0, peakR = 0;
            for (int f = 0; f < BlockFrames; ++f) {
                inter[2 * static_cast<std::size_t>(f)] = ch0[static_cast<std::size_t>(f)];
                inter[2 * static_cast<std::size_t>(f) + 1] = ch0[static_cast<std::size_t>(f)];
            }
            for (int f = 0; f < 2 * BlockFrames; f += 2) {
                float l = inter[static_cast<std::size_t>(f)] * 0.9f,
                      r = inter[static_cast<std::size_t>(f) + 1] * 0.9f;
                mix[static_cast<std::size_t>(f)] += l;
                mix[static_cast<std::size_t>(f) + 1] += r;
                peakL = std::max(peakL, l);
                peakR = std::max(peakR, r);
            }
            benchmark::DoNotOptimize(peakL);
            benchmark::DoNotOptimize(peakR);
        }
        benchmark::DoNotOptimize(mix.data());
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void BM_SixteenSoftsynths64EventsPerBlock(benchmark::State& state) {
    double engine = 0, plain = 0;
    long handed = 0;
    for (auto _ : state) {
        engine = EngineRun(handed);
        plain = PlainRun();
    }
    const double blockUs = 1e6 * BlockFrames / 44100.0;
    state.counters["block_us"] = blockUs;
    state.counters["engine_us_per_block"] = engine * 1e6 / Blocks;
    state.counters["engine_share_of_block"] = engine * 1e6 / Blocks / blockUs;
    state.counters["plain_us_per_block"] = plain * 1e6 / Blocks;
    state.counters["engine_vs_plain"] = engine / plain;
    state.counters["events_per_block"] = static_cast<double>(handed) / Blocks;
}
BENCHMARK(BM_SixteenSoftsynths64EventsPerBlock)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace
