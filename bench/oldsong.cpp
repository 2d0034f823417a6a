// Reading a "Tolvern3209" song of 1,000,000 events against the native reader reading the same
// song in the same run ("x_native" is our time over the native reader's: 1.0 is as fast; the
// goal is at most 1.5).
#include "devices/midi.h"
#include "devices/midimsg.h"
#include "oldsong_writer.h"
#include "platform/core/files.h"
#include "platform/core/dialogs.h"
#include "song/primitives.h"
#include "song/song.h"
#include "song/songfile.h"
#include "song/songfile_old.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

constexpr int kEvents = 1000000;
constexpr int kTracks = 32, kParts = 20;

struct Fixture {
    std::string dir, native, old;
    double nativeSeconds = 0;

    Fixture() {
        char tmpl[] = "/tmp/tolvern-bench-XXXXXX";
        dir = mkdtemp(tmpl);
        setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
        native = dir + "/big.seq";
        old = dir + "/old.seq";
        platform::TDialogHooks hooks;
        hooks.MessageBox = [](std::string_view, std::string_view, unsigned) { return 1; };
        platform::SetDialogHooks(hooks);
        Midi = new TMIDI;
        Song = new TSong;
        oldsong::Writer w(oldsong::V3209);
        w.Keyword("Version").Int(1);
        w.Keyword("Name").Str("big");
        w.Keyword("Tempo").Int(120);
        w.Tracks(Build());
        platform::SaveFileAtomic(old, w.Bytes);
        // The native file holds the song as the old reader leaves it.
        if (!LoadSongV3209(old) || !SaveSongFile(native)) std::abort();
        nativeSeconds = 1e9;
        for (int i = 0; i < 3; ++i) {
            auto t0 = std::chrono::steady_clock::now();
            LoadSongFile(native);
            std::chrono::duration<double> d = std::chrono::steady_clock::now() - t0;
            nativeSeconds = std::min(nativeSeconds, d.count());
        }
    }
    ~Fixture() { std::filesystem::remove_all(dir); }

    // 32 tracks of 20 parts with notes, controllers and now and then a system-exclusive block.
    static std::vector<oldsong::Track> Build() {
        const int perPart = kEvents / (kTracks * kParts);
        const std::string block("\xF0\x43\x10\x4C\x00\x00\x7E\x00\xF7", 9);
        std::vector<oldsong::Track> tracks(kTracks);
        int made = 0;
        for (int t = 0; t < kTracks; ++t) {
            tracks[t].Name = "Track";
            tracks[t].Channel = t % 16;
            for (int p = 0; p < kParts; ++p) {
                oldsong::Part part{"part", p * 960 * 64, 960 * 64, t, 0, {}};
                int n = t == 0 && p == 0 ? kEvents - perPart * kTracks * kParts + perPart : perPart;
                part.Events.reserve(static_cast<std::size_t>(n));
                for (int i = 0; i < n; ++i, ++made) {
                    if (i % 97 == 0)
                        part.Events.push_back({1, PackMidiMsg(0xF0, 0, 0), block});
                    else if (i % 2)
                        part.Events.push_back({1, PackMidiMsg(0x90, 36 + i % 48, 100), {}});
                    else
                        part.Events.push_back({0, PackMidiMsg(0xB0, 7, i % 128), {}});
                }
                tracks[t].Parts.push_back(std::move(part));
            }
        }
        if (made != kEvents) std::abort();
        return tracks;
    }
};

Fixture& F() {
    static Fixture f;
    return f;
}

void BM_NativeReader(benchmark::State& state) {
    const std::string& file = F().native;
    for (auto _ : state)
        LoadSongFile(file);
}

void BM_Reader3209(benchmark::State& state) {
    const std::string& file = F().old;
    for (auto _ : state)
        LoadSongV3209(file);
    state.counters["x_native"] =
        benchmark::Counter(double(state.iterations()) * F().nativeSeconds,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

} // namespace

BENCHMARK(BM_NativeReader)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Reader3209)->Unit(benchmark::kMillisecond);
