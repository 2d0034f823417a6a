// Start-up of the real program on an X server (Xvfb of its own): from exec to the main window
// mapped, to "Initialization done..." in the run log, and to the main window painted and idle
// (the last change of what it paints, none coming for half a second after; a caret blinking is
// no painting), beside a minimal
// Qt program showing one window of the same size, in the same run, mapped and painted. The
// goals: x_ref (mapped against mapped) at most 1.5, x_painted (painted and idle against
// painted) at most 1.6. Then "idle_cpu_pct": the processor time the program takes in the next
// 2 s, stopped with nothing changing, as a share of one core (the goal: no repaints, next to
// nothing).
#include "private_settings.h"
#include "start/xmap.h"
#include "support/gui_xvfb.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
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

// The processor time the process took so far (user and system, all its threads), in seconds.
double CpuSeconds(pid_t Pid) {
    std::ifstream in("/proc/" + std::to_string(Pid) + "/stat");
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream fields(text.substr(close + 2));
    std::string skip;
    for (int i = 3; i < 14; ++i) // the state (field 3) up to utime (field 14)
        fields >> skip;
    double user = 0, system = 0;
    fields >> user >> system;
    return (user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

void End(pid_t Pid) {
    kill(Pid, SIGKILL);
    waitpid(Pid, nullptr, 0);
}

// The times of one start, in seconds from the spawn; -1 for what did not happen within 20 s.
struct TStart {
    double Mapped = -1;  // a window at least minWidth wide mapped
    double Done = -1;    // the log says the start is done (0 without a log)
    double Painted = -1; // the last change of what the window paints
    double IdleCpu = -1; // processor seconds per second once idle, when asked for
};

constexpr double kQuiet = 0.5, kIdle = 2.0;

TStart TimeToWindow(TMapWatch& Watch, const std::vector<std::string>& Args,
                    const std::vector<std::string>& Env, int MinWidth, const std::string& Log,
                    bool Idle = false) {
    Watch.Drain();
    if (!Log.empty()) std::filesystem::remove(Log);
    TStart s;
    if (Log.empty()) s.Done = 0;
    const auto t0 = Clock::now();
    const pid_t pid = testsupport::Spawn(Args, Env);
    if (!pid) return s;
    bool seen = false;
    while (Since(t0) < 20) {
        const double now = Since(t0);
        if (s.Mapped < 0 && Watch.Mapped(MinWidth)) s.Mapped = now;
        if (s.Done < 0 && LogDone(Log)) s.Done = now;
        if (s.Mapped >= 0) {
            if (Watch.Changed() == 1) {
                s.Painted = now;
                seen = true;
            }
            if (s.Done >= 0 && seen && Since(t0) - s.Painted > kQuiet) break;
        }
        usleep(s.Mapped < 0 ? 500 : 2000);
    }
    if (Idle && Since(t0) < 20) {
        const double cpu0 = CpuSeconds(pid);
        const auto i0 = Clock::now();
        usleep(static_cast<useconds_t>(kIdle * 1e6));
        s.IdleCpu = (CpuSeconds(pid) - cpu0) / Since(i0);
    }
    End(pid);
    if (Since(t0) >= 20) s.Painted = -1; // never idle
    return s;
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
    double ours = 0, ref = 0, init = 0, painted = 0, refPainted = 0, idle = 0;
    for (auto _ : state) {
        const TStart r = TimeToWindow(watch, {bin + "qt_window"}, env, 1000, "");
        const TStart o = TimeToWindow(watch, {exe}, env, 1000, dir + "runtimelog.txt", true);
        if (r.Mapped < 0 || o.Mapped < 0 || o.Done < 0 || r.Painted < 0 || o.Painted < 0) {
            state.SkipWithError("a program did not show its window, or never stopped painting");
            break;
        }
        ref += r.Mapped;
        ours += o.Mapped;
        init += o.Done;
        refPainted += r.Painted;
        painted += o.Painted;
        idle += o.IdleCpu;
        state.SetIterationTime(o.Mapped);
    }
    std::filesystem::remove_all(dir);
    const double n = static_cast<double>(state.iterations());
    state.counters["x_ref"] = ours / ref;
    state.counters["ref_ms"] = 1e3 * ref / n;
    state.counters["mapped_ms"] = 1e3 * ours / n;
    state.counters["init_done_ms"] = 1e3 * init / n;
    state.counters["x_painted"] = painted / refPainted;
    state.counters["ref_painted_ms"] = 1e3 * refPainted / n;
    state.counters["painted_ms"] = 1e3 * painted / n;
    state.counters["idle_cpu_pct"] = 100 * idle / n;
}
BENCHMARK(BM_ProgramStartBesideQtWindow)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

} // namespace
