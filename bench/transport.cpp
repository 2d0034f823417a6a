// The edit guard on a playing song of 128 tracks and 1,000,000 events: a pause and its resume
// (the renderer is held from the pause until the resume has located and fed the scheduler)
// against what the resume must do anyway, taken in turn in the same run: stopping MIDI,
// TSong.Locate, StartMidiEngine and FeedMidiEngine at the same place, and the start ("x_ref":
// the guard's time over that; the goal is at most 1.25). "held_ms" is how long blocks were held
// off per pause, as a thread that keeps trying to take the renderer as a block would sees it.
#include "app/dialogs.h"
#include "app/main.h"
#include "devices/audio.h"
#include "devices/midi.h"
#include "devices/midimsg.h"
#include "platform/midi/midi.h"
#include "song/engine.h"
#include "song/primitives.h"
#include "song/song.h"

#include "program.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <thread>

using namespace platform;

namespace {

constexpr int kEvents = 1000000;
constexpr int kPartsPerTrack = 8;
constexpr int kPartTicks = 960 * 32;
constexpr int kMiddle = kPartsPerTrack * kPartTicks / 2 + 15;

struct Program : BenchProgram {
    Program() {
        Build();
        Song->Position = kMiddle;
        fmMdi->StartPlayback(false);
    }

    // Every track: 8 parts of notes, each event 30 ticks after the one before.
    static void Build() {
        const int parts = TrackCount * kPartsPerTrack;
        for (int t = 0; t < TrackCount; ++t) {
            _TTrack* track = Song->TrackAt(t);
            track->Mode = tmMidi;
            track->Output = 0;
            for (int p = 0; p < kPartsPerTrack; ++p) {
                _TPart* part = NewPart("part", p * kPartTicks, kPartTicks, t);
                InsertPart(track, part);
                const int k = t * kPartsPerTrack + p;
                const int n = kEvents / parts + (k < kEvents % parts ? 1 : 0);
                for (int i = 0; i < n; ++i) {
                    const std::uint32_t key = 36 + (i / 2) % 48;
                    AppendEvent(
                        part, NewEvent(30, PackMidiMsg(i % 2 ? 0x80 : 0x90, key, i % 2 ? 0 : 100)));
                }
            }
        }
    }

    // What a pause and resume must do at the least: MIDI stopped, then located, queued, fed and
    // started again at the song position.
    static void Reference() {
        const int pos = Midi->Stop(0) + 1;
        Song->Locate(pos, true);
        Song->StartMidiEngine(pos);
        Song->FeedMidiEngine(*Song->Engine);
        Midi->Play(pos, Song->LeftLocator, Song->RightLocator, Song->Looping);
    }
};

Program& TheProgram() {
    static Program p;
    return p;
}

// Tries to take the renderer as a block does, and adds up how long it could not.
class HoldWatch {
public:
    HoldWatch()
        : thread_([this] {
              using clock = std::chrono::steady_clock;
              bool held = false;
              clock::time_point since;
              while (!stop_) {
                  const bool free = EnterRenderBlock();
                  if (free) LeaveRenderBlock();
                  if (!free && !held) since = clock::now();
                  if (free && held)
                      heldNs_ +=
                          std::chrono::duration_cast<std::chrono::nanoseconds>(clock::now() - since)
                              .count();
                  held = !free;
                  std::this_thread::yield();
              }
          }) {}
    ~HoldWatch() {
        stop_ = true;
        thread_.join();
    }
    double HeldSeconds() const { return double(heldNs_) * 1e-9; }

private:
    std::atomic<bool> stop_{false};
    std::atomic<std::int64_t> heldNs_{0};
    std::thread thread_;
};

// Pause and resume, and the reference, taken in turn so that both see the same machine.
void BM_PauseAndResumePlaying(benchmark::State& state) {
    TheProgram();
    using clock = std::chrono::steady_clock;
    clock::duration guard{}, reference{};
    for (auto _ : state) {
        const auto t0 = clock::now();
        if (!fmMdi->PausePlayback()) state.SkipWithError("the pause was refused");
        fmMdi->ResumePlayback();
        const auto t1 = clock::now();
        Program::Reference();
        const auto t2 = clock::now();
        guard += t1 - t0;
        reference += t2 - t1;
    }
    const double n = double(state.iterations());
    state.counters["guard_ms"] = std::chrono::duration<double, std::milli>(guard).count() / n;
    state.counters["ref_ms"] = std::chrono::duration<double, std::milli>(reference).count() / n;
    state.counters["x_ref"] = std::chrono::duration<double>(guard).count() /
                              std::chrono::duration<double>(reference).count();
}

// How long blocks were held off by each pause and resume, as a thread that keeps trying to take
// the renderer sees it.
void BM_BlocksHeldOff(benchmark::State& state) {
    TheProgram();
    HoldWatch watch;
    for (auto _ : state) {
        if (!fmMdi->PausePlayback()) state.SkipWithError("the pause was refused");
        fmMdi->ResumePlayback();
    }
    state.counters["held_ms"] = watch.HeldSeconds() / double(state.iterations()) * 1e3;
}

} // namespace

BENCHMARK(BM_PauseAndResumePlaying)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlocksHeldOff)->Unit(benchmark::kMillisecond);
