// The softsynth menu built over 2,000 libraries in 200 folders, beside a plain recursive
// listing of the same tree. "of_listing" is the menu's time over the listing's, measured in the
// same run; the goal is at most 3.
#include "app/main.h"
#include "platform/core/paths.h"
#include "song/song.h"

#include "timing.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

using namespace platform;

namespace {

struct Tree {
    std::string root;
    Tree() {
        char tmpl[] = "/tmp/tolvern-bench-synth-XXXXXX";
        root = mkdtemp(tmpl);
        root += "/";
        for (int f = 0; f < 200; ++f) {
            const std::string folder =
                root + "Maker" + std::to_string(f % 20) + "/Set" + std::to_string(f) + "/";
            std::filesystem::create_directories(folder);
            for (int i = 0; i < 10; ++i)
                std::ofstream(folder + "Synth" + std::to_string(i) + ".so") << "lib";
        }
    }
    ~Tree() { std::filesystem::remove_all(root); }
};

void BM_BuildSynthMenu(benchmark::State& state) {
    Tree tree;
    Song = new TSong();
    Song->SynthPath = tree.root;
    auto* form = new TfmMdi(nullptr);
    const double listing =
        SecondsPerCall([&] { benchmark::DoNotOptimize(FindFilesRecursive(tree.root, "*.so")); });
    for (auto _ : state)
        form->BuildSynthMenu();
    state.counters["of_listing"] =
        benchmark::Counter(double(state.iterations()) * listing,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    form->Free();
    delete Song;
    Song = nullptr;
}
BENCHMARK(BM_BuildSynthMenu)->Unit(benchmark::kMillisecond);

} // namespace
