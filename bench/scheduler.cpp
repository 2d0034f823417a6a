// The MIDI scheduler on a song of 128 tracks and 1,000,000 events: locating and starting in
// the middle, and feeding every event to the MIDI object, each against a plain walk over the
// same events measured in the same run ("x_ref" is our time over the walk's: 1.0 is as fast).
#include "devices/midi.h"
#include "devices/midimsg.h"
#include "song/engine.h"
#include "song/primitives.h"
#include "song/song.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <string>

namespace {

constexpr int kEvents = 1000000;
constexpr int kPartsPerTrack = 8;
constexpr int kPartTicks = 960 * 32;
constexpr int kMiddle = kPartsPerTrack * kPartTicks / 2 + 15;

// The 16-bit engine back end with an engine that takes every push: the feed's own cost.
class Sink : public TMidiEngineLink {
public:
    std::uint32_t Load(const std::string&) override { return 1; }
    void Resolve(std::string_view) override {}
    int Call(std::string_view, std::initializer_list<std::uint32_t>) override { return 1; }
    int CallWithBlock(std::string_view, std::initializer_list<std::uint32_t>, const std::uint8_t*,
                      int, std::uint32_t) override {
        return 1;
    }
    void Unload() override {}
};

std::uint64_t PlainWalk() {
    std::uint64_t sum = 0;
    for (int t = 0; t < TrackCount; ++t)
        for (const _TPart* p = Song->Tracks[t]->Parts; p; p = p->Next)
            for (const _TEvent* e = p->Events; e; e = e->Next)
                sum += e->Msg + static_cast<std::uint32_t>(e->Delta);
    return sum;
}

struct Fixture {
    std::string dir;
    Sink sink;
    double walkSeconds = 0;

    Fixture() {
        char tmpl[] = "/tmp/tolvern-bench-XXXXXX";
        dir = mkdtemp(tmpl);
        setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
        SetMidiEngineLink(&sink);
        MidiMode = 0;
        Midi = new TMIDI(TMidiSetup::Devices);
        Song = new TSong;
        Build();
        walkSeconds = 1e9;
        for (int i = 0; i < 5; ++i) {
            auto t0 = std::chrono::steady_clock::now();
            benchmark::DoNotOptimize(PlainWalk());
            std::chrono::duration<double> d = std::chrono::steady_clock::now() - t0;
            walkSeconds = std::min(walkSeconds, d.count());
        }
    }
    ~Fixture() { std::filesystem::remove_all(dir); }

    // Every track: 8 parts of notes, each event 30 ticks after the one before.
    void Build() {
        const int parts = TrackCount * kPartsPerTrack;
        int made = 0;
        for (int t = 0; t < TrackCount; ++t) {
            Song->Tracks[t]->Output = 0;
            for (int p = 0; p < kPartsPerTrack; ++p) {
                _TPart* part = NewPart("part", p * kPartTicks, kPartTicks, t);
                InsertPart(Song->Tracks[t].get(), part);
                int k = t * kPartsPerTrack + p;
                int n = kEvents / parts + (k < kEvents % parts ? 1 : 0);
                for (int i = 0; i < n; ++i, ++made) {
                    std::uint32_t key = 36 + (i / 2) % 48;
                    AppendEvent(
                        part, NewEvent(30, PackMidiMsg(i % 2 ? 0x80 : 0x90, key, i % 2 ? 0 : 100)));
                }
            }
        }
        if (made != kEvents) std::abort();
    }

    void SetModes(int Mode) {
        for (int t = 0; t < TrackCount; ++t)
            Song->Tracks[t]->Mode = Mode;
    }
};

Fixture& F() {
    static Fixture f;
    return f;
}

void Report(benchmark::State& state, std::int64_t Events) {
    state.SetItemsProcessed(std::int64_t(state.iterations()) * Events);
    state.counters["x_ref"] =
        benchmark::Counter(double(state.iterations()) * F().walkSeconds,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_PlainWalk(benchmark::State& state) {
    F();
    for (auto _ : state)
        benchmark::DoNotOptimize(PlainWalk());
    Report(state, kEvents);
}

// The play road's start on MIDI tracks: locate, then the queue from the middle of the song.
void BM_LocateAndStartInTheMiddle(benchmark::State& state) {
    F().SetModes(tmMidi);
    for (auto _ : state) {
        Song->Locate(kMiddle, false);
        Song->StartMidiEngine(kMiddle);
    }
    Song->Engine->Clear();
    Report(state, kEvents);
}

// The same song as audio tracks: every note's play mark and the voices' sounding notes.
void BM_LocateAudioTracksInTheMiddle(benchmark::State& state) {
    F().SetModes(tmAudio);
    for (auto _ : state)
        Song->Locate(kMiddle, false);
    Report(state, kEvents);
}

// Every event of the song through the queue to the MIDI object.
void BM_FeedEverything(benchmark::State& state) {
    F().SetModes(tmMidi);
    for (auto _ : state) {
        Song->StartMidiEngine(0);
        Song->FeedMidiEngine(*Song->Engine);
        if (Song->Engine->Queue) state.SkipWithError("the queue did not empty");
    }
    Report(state, kEvents);
}

} // namespace

BENCHMARK(BM_PlainWalk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LocateAndStartInTheMiddle)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LocateAudioTracksInTheMiddle)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FeedEverything)->Unit(benchmark::kMillisecond);
