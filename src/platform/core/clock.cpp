#include "platform/core/clock.h"

#include "platform/core/messages.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace platform {
namespace {

using Steady = std::chrono::steady_clock;

std::uint64_t RealMs() {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now().time_since_epoch())
            .count());
}

// A thread blocked in SleepUntil; the node lives on its stack.
struct Sleeper {
    std::uint32_t deadline;
    bool released = false;  // reached by SetVirtualTime, which counted it as running
    Sleeper* next = nullptr;
};

std::atomic<bool> g_virtual{false};
std::atomic<std::uint32_t> g_virtualTime{0};

std::mutex g_mutex;
std::condition_variable g_wake;
Sleeper* g_sleepers = nullptr;
int g_sleeperCount = 0;
// Threads released by the virtual clock that have not yet gone back to sleep.
std::atomic<int> g_running{0};

// Whether this thread was released by the virtual clock and is still counted as running.
struct RunningMark {
    bool counted = false;
    void Clear() {
        if (!counted) return;
        counted = false;
        g_running.fetch_sub(1);
    }
    ~RunningMark() {
        if (!counted) return;
        std::lock_guard lock(g_mutex);
        Clear();
    }
};
thread_local RunningMark t_running;

void Unlink(Sleeper* node) {
    for (Sleeper** p = &g_sleepers; *p; p = &(*p)->next) {
        if (*p == node) {
            *p = node->next;
            return;
        }
    }
}

} // namespace

std::uint32_t TimeGetTime() {
    if (g_virtual.load(std::memory_order_acquire))
        return g_virtualTime.load(std::memory_order_acquire);
    return static_cast<std::uint32_t>(RealMs());
}

bool SleepUntil(std::uint32_t time, const std::atomic<bool>* cancel) {
    const bool gui = IsGuiThread();
    std::unique_lock lock(g_mutex);
    // Already due: the thread goes on working, and stays counted if the clock released it.
    if (ClockReached(TimeGetTime(), time)) return true;
    t_running.Clear();
    if (cancel && cancel->load()) return false;

    Sleeper node{time};
    node.next = g_sleepers;
    g_sleepers = &node;
    ++g_sleeperCount;
    bool reached = false;
    for (;;) {
        if (node.released || ClockReached(TimeGetTime(), time)) {
            reached = true;
            break;
        }
        if (cancel && cancel->load()) break;
        if (gui) {
            // The GUI thread keeps serving cross-thread sends while it sleeps.
            lock.unlock();
            ServeSends();
            lock.lock();
            g_wake.wait_for(lock, std::chrono::milliseconds(1));
        } else if (g_virtual.load()) {
            g_wake.wait(lock);
        } else {
            std::uint64_t now = RealMs();
            auto left = static_cast<std::int32_t>(time - static_cast<std::uint32_t>(now));
            g_wake.wait_until(lock, Steady::time_point(std::chrono::milliseconds(now + left)));
        }
    }
    Unlink(&node);
    --g_sleeperCount;
    if (node.released) t_running.counted = true;
    return reached;
}

void WakeSleepers() {
    std::lock_guard lock(g_mutex);
    g_wake.notify_all();
}

void Sleep(std::uint32_t ms) {
    if (IsVirtualClock() && IsGuiThread()) {
        SetVirtualTime(TimeGetTime() + ms);
        WaitClockSettled();
        return;
    }
    if (ms == 0) {
        if (IsGuiThread()) ServeSends();
        std::this_thread::yield();
        return;
    }
    SleepUntil(TimeGetTime() + ms);
}

void UseVirtualClock(std::uint32_t start) {
    std::lock_guard lock(g_mutex);
    g_virtualTime.store(start);
    g_virtual.store(true);
    g_wake.notify_all();
}

void UseRealClock() {
    std::lock_guard lock(g_mutex);
    g_virtual.store(false);
    g_wake.notify_all();
}

bool IsVirtualClock() { return g_virtual.load(); }

void SetVirtualTime(std::uint32_t time) {
    std::lock_guard lock(g_mutex);
    g_virtualTime.store(time);
    if (!g_virtual.load()) return;
    for (Sleeper* s = g_sleepers; s; s = s->next) {
        if (!s->released && ClockReached(time, s->deadline)) {
            s->released = true;
            g_running.fetch_add(1);
        }
    }
    g_wake.notify_all();
}

bool NextSleeperDeadline(std::uint32_t& deadline) {
    std::lock_guard lock(g_mutex);
    const std::uint32_t now = TimeGetTime();
    bool any = false;
    for (Sleeper* s = g_sleepers; s; s = s->next) {
        if (s->released) continue;
        if (!any || static_cast<std::int32_t>(s->deadline - now) <
                        static_cast<std::int32_t>(deadline - now))
            deadline = s->deadline;
        any = true;
    }
    return any;
}

int SleeperCount() {
    std::lock_guard lock(g_mutex);
    return g_sleeperCount;
}

bool WaitClockSettled(std::uint32_t timeoutMs) {
    return WaitWhile([] { return g_running.load() > 0; }, timeoutMs);
}

void ClockThreadIdle() {
    std::lock_guard lock(g_mutex);
    t_running.Clear();
}

} // namespace platform
