// Start-up of the real program on an X server (Xvfb of its own): from exec to the main window
// mapped and to "Initialization done..." in the run log, beside a minimal Qt program showing
// one window of the same size, in the same run. The goal: at most twice the reference
// (x_ref <= 2).
#include "private_settings.h"
#include "start/xmap.h"
#include "support/gui_xvfb.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point t0) {
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

std::string BinFolder() {
    return std::filesystem::canonical("/proc/self/exe").parent_path().string() + "/";
}

bool LogDone(const std::string& Path) {
    std::ifstream in(Path);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    return text.find("Initialization done...") != std::string::npos;
}

void End(pid_t Pid) {
    kill(Pid, SIGKILL);
    waitpid(Pid, nullptr, 0);
}

// Seconds from the spawn until a window at least minWidth wide is mapped (and, with a log,
// until the log says the start is done: *Done); -1 when it did not happen within 20 s.
double TimeToWindow(TMapWatch& Watch, const std::vector<std::string>& Args,
                    const std::vector<std::string>& Env, int MinWidth, const std::string& Log,
                    double* Done) {
    Watch.Drain();
    if (!Log.empty()) std::filesystem::remove(Log);
    const auto t0 = Clock::now();
    const pid_t pid = testsupport::Spawn(Args, Env);
    if (!pid) return -1;
    double mapped = -1, done = Log.empty() ? 0 : -1;
    while (Since(t0) < 20 && (mapped < 0 || done < 0)) {
        if (mapped < 0 && Watch.Mapped(MinWidth)) mapped = Since(t0);
        if (done < 0 && LogDone(Log)) done = Since(t0);
        if (mapped < 0 || done < 0) usleep(500);
    }
    End(pid);
    if (Done) *Done = done;
    return done < 0 ? -1 : mapped;
}

void BM_ProgramStartBesideQtWindow(benchmark::State& state) {
    if (!testsupport::OnPath("Xvfb")) {
        state.SkipWithError("Xvfb is not installed");
        return;
    }
    testsupport::Xvfb x;
    if (x.Display().empty()) {
        state.SkipWithError("Xvfb could not start");
        return;
    }
    TMapWatch watch(x.Display());
    // The program from a folder of its own, with settings of its own.
    PrivateSettings();
    char tmpl[] = "/tmp/tolvern-bench-start-XXXXXX";
    if (!mkdtemp(tmpl)) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const std::string dir = std::string(tmpl) + "/";
    const std::string bin = BinFolder();
    const std::string exe = dir + "tolvern";
    std::filesystem::copy_file(bin + "tolvern", exe);
    std::filesystem::permissions(exe, std::filesystem::perms::owner_exec,
                                 std::filesystem::perm_options::add);
    std::filesystem::copy_file(bin + "midiengine.dll", dir + "midiengine.dll");
    const std::vector<std::string> env = {"DISPLAY=" + x.Display(), "QT_QPA_PLATFORM=xcb",
                                          "XDG_CONFIG_HOME=" +
                                              std::string(getenv("XDG_CONFIG_HOME"))};
    double ours = 0, ref = 0, init = 0;
    for (auto _ : state) {
        const double r = TimeToWindow(watch, {bin + "qt_window"}, env, 1000, "", nullptr);
        double done = 0;
        const double o = TimeToWindow(watch, {exe}, env, 1000, dir + "runtimelog.txt", &done);
        if (r < 0 || o < 0) {
            state.SkipWithError("a program did not show its window");
            break;
        }
        ref += r;
        ours += o;
        init += done;
        state.SetIterationTime(o);
    }
    std::filesystem::remove_all(dir);
    const double n = static_cast<double>(state.iterations());
    state.counters["x_ref"] = ours / ref;
    state.counters["ref_ms"] = 1e3 * ref / n;
    state.counters["mapped_ms"] = 1e3 * ours / n;
    state.counters["init_done_ms"] = 1e3 * init / n;
}
BENCHMARK(BM_ProgramStartBesideQtWindow)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

} // namespace
