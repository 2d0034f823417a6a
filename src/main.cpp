#include "app/main.h"
#include "app/testmidi.h"
#include "platform/core/fpu.h"
#include "platform/core/jackgate.h"
#include "platform/forms/display.h"
#include "platform/forms/sessionbus.h"
#include "platform/gdi/fonts.h"
#include "platform/midi/midi.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

// Work done while the display opens, on a thread of its own.
class TStartupTask {
public:
    explicit TStartupTask(void (*work)())
        : thread_([this, work] {
              work();
              done_ = true;
          }) {}
    bool Done() const { return done_; }

private:
    std::atomic<bool> done_{false};
    std::jthread thread_; // joined on destruction, once Done
};

// The font configuration and the MIDI port listers, made while the display opens; and the end
// of the program, which waits for no thread that is still working: a JACK server that does not
// answer holds the MIDI port listers in libjack for good.
class TStartupTasks {
public:
    void Start() {
        // Code that would open a JACK client meanwhile waits for the listers a limited time.
        platform::JackOpenerStarting();
        fonts_.emplace(platform::PrepareFonts);
        midiPorts_.emplace(platform::PrepareMidiPorts);
    }
    bool Started() const { return fonts_.has_value(); }

    // The code main returns when every thread has finished. Else the program ends here, without
    // the destruction of statics that such a thread may be using; nothing of the program's is
    // lost by that (the settings and the run log are on disk as each is written, and the
    // standard streams are flushed).
    int End(int code) const {
        if (Finished(fonts_) && Finished(midiPorts_) && platform::DisplayThreadsFinished())
            return code;
        std::fflush(nullptr);
        std::_Exit(code);
    }

private:
    static bool Finished(const std::optional<TStartupTask>& task) { return !task || task->Done(); }
    std::optional<TStartupTask> fonts_;
    std::optional<TStartupTask> midiPorts_;
};

// A desktop launcher's token, which Qt takes out of the environment while it makes the
// application: a thread reading the environment meanwhile (fontconfig, libjack, ALSA do) could
// miss another variable as the entries move.
bool LauncherToken() {
    return std::getenv("DESKTOP_STARTUP_ID") || std::getenv("XDG_ACTIVATION_TOKEN");
}

} // namespace

int main(int argc, char** argv) {
    platform::MaskFloatingPointExceptions();
    platform::PreferX11Platform(); // before any thread reads the environment
    platform::PrepareSessionBus(); // the same
    TStartupTasks tasks;
    if (!LauncherToken()) tasks.Start();
    std::string error;
    if (!platform::OpenDisplay(&error)) {
        std::fprintf(stderr, "tolvern: %s\n", error.c_str());
        return tasks.End(1);
    }
    if (!tasks.Started()) tasks.Start();
    InstallTestMidiLog();
    // Qt takes no arguments of ours; the program reads its own.
    return tasks.End(RunProgram(std::vector<std::string>(argv + 1, argv + argc)));
}
