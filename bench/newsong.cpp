// What a new song costs, each beside a reference measured in the same run, the two taken in
// turn so that a busy machine slows both alike ("x_ref" is our time over the reference's):
// - TSong::Clear of a song that used 4 softsynths and 8 output slots, beside a memset of the
//   bytes such a song really uses: the song and track records (output slots included) and the
//   softsynth records, with the send rows of the 8 slots; not the rows of the slots never set.
// - `songdump --new` as a whole process, beside the start and exit of a program that links the
//   engine and does nothing (bin/engine_start).
// - The song-file and SMF fuzz targets on each seed of their corpus, beside reading the same
//   seed's file into the reused song without a clear ("inputs/s" is the fuzz target's rate).
//   The SMF target reads its input from memory: "x_parse" sets it beside parsing the seed's
//   bytes without a clear and without the file (the map is most of a file read).
#include "devices/mfx.h"
#include "devices/midi.h"
#include "platform/core/dynlib.h"
#include "song/primitives.h"
#include "song/smf.h"
#include "song/softengine.h"
#include "song/song.h"
#include "song/songfile.h"

#include "private_settings.h"
#include "song_check.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int FuzzOneInput_songfile(const std::uint8_t* Data, std::size_t Size);
extern "C" int FuzzOneInput_smf(const std::uint8_t* Data, std::size_t Size);

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point T0) {
    return std::chrono::duration<double>(Clock::now() - T0).count();
}

// ---- Clear ----

constexpr int UsedSynths = 4;
constexpr int UsedSlots = 8;

// A softsynth that loads and does nothing; two stereo outputs.
AEffect quiet[UsedSynths];
int quietMade = 0;
AEffect* QuietMain(audioMasterCallback) {
    AEffect& e = quiet[quietMade++ % UsedSynths];
    e = AEffect{};
    e.magic = kEffectMagic;
    e.dispatcher = [](AEffect*, std::int32_t, std::int32_t, VstIntPtr, void*, float) -> VstIntPtr {
        return 0;
    };
    e.processReplacing = [](AEffect*, float**, float**, std::int32_t) {};
    e.setParameter = [](AEffect*, std::int32_t, float) {};
    e.getParameter = [](AEffect*, std::int32_t) { return 0.0f; };
    e.numOutputs = 4;
    e.flags = effFlagsCanReplacing | effFlagsIsSynth;
    return &e;
}

// Four softsynth tracks with a part each, two output slots of each track in use: mixed,
// panned, sending to four buses.
void UseSong() {
    for (int i = 0; i < UsedSynths; ++i) {
        SoftEngine->AddSoftsynth("quietsynth");
        _TTrack& t = *Song->TrackAt(i);
        t.Mode = tmSoftsynth;
        t.Output = i;
        t.Name = "Synth " + std::to_string(i);
        _TPart* p = NewPart("part", 0, 960, i);
        InsertPart(&t, p);
        for (int k = 0; k < 16; ++k)
            AppendEvent(p,
                        NewEvent(60, 0x90u | static_cast<std::uint32_t>(60 + k) << 8 | 100u << 16));
    }
    for (int s = 0; s < UsedSlots; ++s) {
        TSoftOut& slot = Song->TrackAt(s / 2)->Outputs[static_cast<std::size_t>(s % 2)];
        slot.Active = 1;
        slot.Volume = 0.5f;
        slot.Pan = 0.25f;
        for (int j = 0; j < 4; ++j)
            SetSendLevel(slot, j, 0.5f);
    }
}

std::size_t UsedBytes() {
    return sizeof(TSong) + (TrackCount + 1) * sizeof(_TTrack) + UsedSynths * sizeof(TSoftItem) +
           UsedSlots * SendCount * sizeof(float);
}

void BM_ClearUsedSong(benchmark::State& state) {
    PrivateSettings();
    platform::RegisterFakeLibrary("quietsynth", {{"main", reinterpret_cast<void*>(&QuietMain)}});
    TMIDI midi;
    Midi = &midi;
    Song = new TSong;
    std::vector<unsigned char> used(UsedBytes(), 1);
    double ours = 0, ref = 0;
    int fill = 0;
    for (auto _ : state) {
        UseSong();
        auto t0 = Clock::now();
        Song->Clear();
        const double clear = Since(t0);
        t0 = Clock::now();
        std::memset(used.data(), ++fill & 0xFF, used.size());
        benchmark::DoNotOptimize(used.data());
        benchmark::ClobberMemory();
        ref += Since(t0);
        ours += clear;
        state.SetIterationTime(clear);
        midi.Sent.clear();
    }
    state.counters["x_ref"] = ours / ref;
    state.counters["ref_bytes"] = static_cast<double>(used.size());
    state.counters["ref_us"] = 1e6 * ref / static_cast<double>(state.iterations());
    delete Song;
    Song = nullptr;
    Midi = nullptr;
    platform::UnregisterFakeLibrary("quietsynth");
}

// ---- songdump --new ----

std::string BinFolder() {
    return std::filesystem::canonical("/proc/self/exe").parent_path().string() + "/";
}

// Runs a program to its end with its output thrown away; false when it could not run or failed.
bool RunProcess(const std::vector<std::string>& Args) {
    std::vector<char*> argv;
    for (const std::string& a : Args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    return rc == 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

void BM_SongdumpNewProcess(benchmark::State& state) {
    PrivateSettings();
    const std::string bin = BinFolder();
    double ours = 0, ref = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        if (!RunProcess({bin + "engine_start"})) state.SkipWithError("engine_start failed");
        ref += Since(t0);
        t0 = Clock::now();
        if (!RunProcess({bin + "songdump", "--new"})) state.SkipWithError("songdump failed");
        const double run = Since(t0);
        ours += run;
        state.SetIterationTime(run);
    }
    state.counters["x_ref"] = ours / ref;
    state.counters["ref_ms"] = 1e3 * ref / static_cast<double>(state.iterations());
}

// ---- fuzz targets per seed ----

struct TSeed {
    std::string Path;
    std::vector<std::uint8_t> Bytes;
};

std::vector<TSeed> Seeds(const std::string& Name) {
    std::vector<TSeed> seeds;
    for (auto& e : std::filesystem::directory_iterator(std::string(TOLVERN_SOURCE_DIR) +
                                                       "/fuzz/corpus/" + Name)) {
        std::ifstream in(e.path(), std::ios::binary);
        seeds.push_back({e.path().string(), {std::istreambuf_iterator<char>(in), {}}});
    }
    return seeds;
}

using TReadBytes = bool (*)(std::string_view, const std::uint8_t*, std::size_t);

template <int (*Fuzz)(const std::uint8_t*, std::size_t), bool (*Read)(std::string_view),
          TReadBytes Parse = nullptr>
void FuzzPerSeed(benchmark::State& state, const char* Name) {
    std::vector<TSeed> seeds = Seeds(Name);
    Fuzz(nullptr, 0); // the fuzz target's own song and settings, made once
    // The reference reads a copy of each seed in the fuzz target's folder: the song-file
    // target lets the program open files only there, and the target reads its input from
    // there too (the same file system for both).
    for (std::size_t i = 0; i < seeds.size(); ++i) {
        const std::string copy = SongFuzzFolder() + "seed" + std::to_string(i);
        std::ofstream(copy, std::ios::binary)
            .write(reinterpret_cast<const char*>(seeds[i].Bytes.data()),
                   static_cast<std::streamsize>(seeds[i].Bytes.size()));
        seeds[i].Path = copy;
    }
    double ours = 0, ref = 0, parse = 0;
    for (auto _ : state) {
        double run = 0;
        for (const TSeed& seed : seeds) {
            auto t0 = Clock::now();
            Fuzz(seed.Bytes.data(), seed.Bytes.size());
            run += Since(t0);
            Song->Clear();
            t0 = Clock::now();
            Read(seed.Path);
            ref += Since(t0);
            if constexpr (Parse != nullptr) {
                Song->Clear();
                t0 = Clock::now();
                Parse(seed.Path, seed.Bytes.data(), seed.Bytes.size());
                parse += Since(t0);
            }
            Midi->Sent.clear();
        }
        ours += run;
        state.SetIterationTime(run);
    }
    const double inputs = static_cast<double>(state.iterations() * seeds.size());
    state.counters["x_ref"] = ours / ref;
    state.counters["inputs/s"] = inputs / ours;
    state.counters["read/s"] = inputs / ref;
    if constexpr (Parse != nullptr) state.counters["x_parse"] = ours / parse;
}

void BM_FuzzSongFilePerSeed(benchmark::State& state) {
    FuzzPerSeed<FuzzOneInput_songfile, ReadSongFileRecords>(state, "songfile");
}

void BM_FuzzSmfPerSeed(benchmark::State& state) {
    FuzzPerSeed<FuzzOneInput_smf, ReadSmfSongRecords, ReadSmfSongRecordsBytes>(state, "smf");
}

} // namespace

BENCHMARK(BM_ClearUsedSong)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SongdumpNewProcess)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FuzzSongFilePerSeed)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FuzzSmfPerSeed)->UseManualTime()->Unit(benchmark::kMillisecond);
