#include "platform/core/jackgate.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>

namespace platform {
namespace {

struct TGate {
    std::mutex Mutex;
    std::condition_variable Back;
    bool Out = false;   // the opener is working
    bool Given = false; // a wait for it ran out: later asks do not wait
    bool Said = false;
};

TGate& Gate() {
    static TGate g;
    return g;
}

thread_local bool isOpener = false;

} // namespace

void JackOpenerStarting() {
    TGate& g = Gate();
    std::lock_guard lock(g.Mutex);
    g.Out = true;
}

TJackOpener::TJackOpener() {
    isOpener = true;
    JackOpenerStarting();
}

TJackOpener::~TJackOpener() {
    isOpener = false;
    TGate& g = Gate();
    {
        std::lock_guard lock(g.Mutex);
        g.Out = false;
        g.Given = false;
    }
    g.Back.notify_all();
}

bool JackAnswered(int answerMs) {
    if (isOpener) return true;
    TGate& g = Gate();
    std::unique_lock lock(g.Mutex);
    if (!g.Out) return true;
    if (g.Given) return false;
    if (g.Back.wait_for(lock, std::chrono::milliseconds(answerMs), [&] { return !g.Out; }))
        return true;
    g.Given = true;
    if (!g.Said) {
        g.Said = true;
        std::fprintf(stderr,
                     "tolvern: the JACK server did not answer within %g s; going on without it\n",
                     answerMs / 1000.0);
    }
    return false;
}

} // namespace platform
