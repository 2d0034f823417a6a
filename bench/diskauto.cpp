// The disk step and the automation step of a 256-frame block, as real-time factors (block
// duration over the time the step takes), each beside a plain loop in the same run ("x_loop":
// the step's time over the loop's).
//   disk: 32 disk tracks of 24-bit stereo files, their slots on 8 group-volume buses; the loop
//   does the same reads and additions (the goal is 3 or less);
//   automation: 16 parameters of one entry from a 100,000-event parameter track, blocks in a row
//   near its end as playback reads them; the loop walks the whole track for each parameter, as
//   a walk from the track's start would (the goal is a real-time factor of 100 or more, the
//   block's cost set by its own events: "rtf_small" is the same step on a track of 1,000 events).
#include "devices/audio.h"
#include "devices/mfx.h"
#include "song/automation.h"
#include "song/disk.h"
#include "song/primitives.h"
#include "song/render.h"
#include "song/subengine.h"
#include "song/timebase.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kFrames = 256, kTracks = 32, kFileFrames = 88200, kEvents = 100000, kParams = 16;

TSong& BenchSong() {
    static TSong* song = [] {
        std::filesystem::path dir = std::filesystem::temp_directory_path() / "tolvern-bench-disk";
        std::filesystem::create_directories(dir);
        setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
        Song = new TSong;
        // The files: 24-bit stereo, two seconds each.
        for (int i = 0; i < kTracks; ++i) {
            std::string data(static_cast<std::size_t>(kFileFrames) * 6, '\0');
            for (std::size_t b = 0; b < data.size(); ++b)
                data[b] = static_cast<char>((b * 31 + static_cast<std::size_t>(i)) & 0xFF);
            auto put32 = [](std::string& s, std::uint32_t v) {
                for (int k = 0; k < 4; ++k)
                    s += static_cast<char>((v >> (8 * k)) & 0xFF);
            };
            std::string f = "RIFF";
            put32(f, static_cast<std::uint32_t>(36 + data.size()));
            f += "WAVEfmt ";
            put32(f, 16);
            f += std::string("\x01\x00\x02\x00", 4);
            put32(f, 44100);
            put32(f, 44100 * 6);
            f += std::string("\x06\x00\x18\x00", 4);
            f += "data";
            put32(f, static_cast<std::uint32_t>(data.size()));
            f += data;
            const std::string path = (dir / ("d" + std::to_string(i) + ".wav")).string();
            std::ofstream(path, std::ios::binary) << f;
            auto* s = new TDiskSample;
            s->FileName = path;
            if (!s->Open()) std::abort();
            Song->DiskSamples.push_back(s);
            _TTrack* t = Song->TrackAt(i);
            t->Mode = tmDisk;
            t->Output = i;
            _TPart* p = NewPart("", 0, 960, i);
            p->Sample = i;
            InsertPart(t, p);
        }
        for (int b = 0; b < 8; ++b)
            SubEngine->AddSub(skGroupVolume, "", -1);
        for (int i = 0; i < kTracks; ++i) {
            Song->DiskOutputs[static_cast<std::size_t>(i)].Active = 1;
            Song->DiskOutputs[static_cast<std::size_t>(i)].Bus = i % 8;
        }
        // The parameter track: 16 parameters in turn, one event every 2 ticks.
        _TTrack* pt = Song->TrackAt(100);
        pt->Mode = tmParameter;
        _TPart* p = NewPart("", 0, 960, 100);
        InsertPart(pt, p);
        for (int e = 0; e < kEvents; ++e)
            AppendEvent(p, NewAutomationEvent(e == 0 ? 0 : 2, 0, e % kParams,
                                              static_cast<float>(e % 97) / 97.0f));
        return Song;
    }();
    return *song;
}

double BlockSeconds() {
    return static_cast<double>(kFrames) / 44100.0;
}

template <class F> double Seconds(F&& Fn, int Repeats) {
    double best = 1e9;
    for (int batch = 0; batch < 5; ++batch) {
        auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < Repeats; ++i)
            Fn();
        best = std::min(
            best,
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() / Repeats);
    }
    return best;
}

void BM_DiskStep(benchmark::State& state) {
    TSong& s = BenchSong();
    s.State = 2;
    s.Locate(0, false);
    const double span = SamplesToTicks(kFrames);
    // The same reads and additions: every file's frames of one block into its slot buffer.
    double pos = 0;
    std::vector<std::uint8_t> frames(static_cast<std::size_t>(kFrames) * 6);
    auto loop = [&] {
        const long long first = static_cast<long long>(pos) % (kFileFrames - kFrames);
        for (int i = 0; i < kTracks; ++i) {
            s.DiskSamples[static_cast<std::size_t>(i)]->ReadFrames(first, kFrames, frames.data());
            const std::uint8_t* d = frames.data();
            float* buf = SampleMixBuffers[static_cast<std::size_t>(i)].data();
            for (int f = 0; f < kFrames; ++f, d += 6) {
                auto read = [](const std::uint8_t* q) {
                    return static_cast<std::int32_t>(std::uint32_t(q[0]) << 8 |
                                                     std::uint32_t(q[1]) << 16 |
                                                     std::uint32_t(q[2]) << 24);
                };
                buf[2 * f] += static_cast<float>(read(d)) * (1.0f / 2147483648.0f);
                buf[2 * f + 1] += static_cast<float>(read(d + 3)) * (1.0f / 2147483648.0f);
            }
        }
        pos += kFrames;
    };
    auto step = [&] {
        if (s.AudioPos > SamplesToTicks(kFileFrames - 2 * kFrames)) s.AudioPos = 0.0;
        s.ScheduleDiskBlock(span);
    };
    double loopS = 0, stepS = 0;
    for (auto _ : state) {
        loopS = Seconds(loop, 200);
        stepS = Seconds(step, 200);
    }
    state.counters["rtf_disk"] = BlockSeconds() / stepS;
    state.counters["rtf_loop"] = BlockSeconds() / loopS;
    state.counters["x_loop"] = stepS / loopS;
    s.State = 0;
}
BENCHMARK(BM_DiskStep)->Iterations(1)->Unit(benchmark::kMillisecond);

// Blocks in a row from Start, each batch of Blocks from the same place after one untimed
// block that sets the walk there: the best time of one block.
double AutomationBlockSeconds(TSong& S, TAutoPlug& Entry, int Start, int Blocks, int& Points) {
    double best = 1e9;
    for (int batch = 0; batch < 5; ++batch) {
        int pos = Start;
        S.AutomationPoints(Entry, pos - kFrames, kFrames);
        auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < Blocks; ++i, pos += kFrames) {
            Points = 0;
            for (TAutoPoint* p = S.AutomationPoints(Entry, pos, kFrames); p; p = p->Next)
                ++Points;
        }
        best = std::min(
            best,
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() / Blocks);
    }
    return best;
}

void BM_AutomationStep(benchmark::State& state) {
    TSong& s = BenchSong();
    TAutoPlug entry;
    entry.Track = 100;
    entry.Slot = 0;
    for (int k = 0; k < kParams; ++k)
        entry.Params[static_cast<std::size_t>(k)] = {k, 0};
    entry.ParamCount = kParams;
    constexpr int kBlocks = 200;
    const int pos = TicksToSamples(2 * (kEvents - 2000)); // near the end
    const _TPart* part = s.TrackAt(100)->Parts;
    const std::int64_t posTicks = static_cast<std::int64_t>(SamplesToTicks(pos));
    // Every parameter walks the events and their times.
    std::int64_t sink = 0;
    auto loop = [&] {
        for (int k = 0; k < kParams; ++k) {
            std::int64_t time = part->Start;
            for (const _TEvent* e = part->Events; e; e = e->Next) {
                time += e->Delta;
                if ((e->Msg & 0xFF) == 0xB0 && static_cast<int>((e->Msg >> 8) & 0x7F) == k &&
                    time <= posTicks)
                    sink += e->Msg >> 16;
            }
        }
    };
    // The same on a parameter track of 1,000 events, near its end.
    _TTrack* small = s.TrackAt(101);
    small->Mode = tmParameter;
    if (!small->Parts) {
        _TPart* p = NewPart("", 0, 960, 101);
        InsertPart(small, p);
        for (int e = 0; e < 1000; ++e)
            AppendEvent(p, NewAutomationEvent(e == 0 ? 0 : 2, 1, e % kParams,
                                              static_cast<float>(e % 97) / 97.0f));
    }
    TAutoPlug smallEntry;
    smallEntry.Track = 101;
    smallEntry.Slot = 1;
    smallEntry.Params = entry.Params;
    smallEntry.ParamCount = kParams;
    int points = 0, smallPoints = 0;
    double loopS = 0, stepS = 0, smallS = 0;
    for (auto _ : state) {
        loopS = Seconds(loop, 3);
        stepS = AutomationBlockSeconds(s, entry, pos, kBlocks, points);
        smallS = AutomationBlockSeconds(s, smallEntry,
                                        TicksToSamples(2 * (1000 - 20)) - kBlocks * kFrames,
                                        kBlocks, smallPoints);
    }
    benchmark::DoNotOptimize(sink);
    state.counters["rtf_auto"] = BlockSeconds() / stepS;
    state.counters["rtf_small"] = BlockSeconds() / smallS;
    state.counters["rtf_loop"] = BlockSeconds() / loopS;
    state.counters["x_loop"] = stepS / loopS;
    state.counters["points"] = points;
}
BENCHMARK(BM_AutomationStep)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
