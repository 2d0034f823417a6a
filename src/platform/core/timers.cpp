#include "platform/core/timers.h"

#include "platform/core/clock.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <utility>
#include <vector>

namespace platform {
namespace {

struct Timer {
    std::uint64_t key;  // also the order of equal due times: the older timer first
    HWND h;
    UINT_PTR id;
    TTimer* owner;  // set for a TTimer, else the timer posts to (h, id)
    std::uint32_t interval;
    std::uint32_t due;
};

std::mutex g_mutex;
std::vector<Timer> g_timers;
std::uint64_t g_nextKey = 1;

std::uint64_t StartTimer(HWND h, UINT_PTR id, TTimer* owner, std::uint32_t interval) {
    interval = std::max(interval, kMinTimerInterval);
    std::lock_guard lock(g_mutex);
    std::uint64_t key = g_nextKey++;
    g_timers.push_back(Timer{key, h, id, owner, interval, TimeGetTime() + interval});
    return key;
}

template <class Pred> bool EraseTimers(Pred pred) {
    std::lock_guard lock(g_mutex);
    auto n = std::erase_if(g_timers, pred);
    return n > 0;
}

// Lets the threads the virtual clock released run until they sleep again.
void Settle() {
    if (!WaitClockSettled())
        std::fprintf(stderr, "virtual clock: a released thread neither slept again nor called "
                             "ClockThreadIdle within 5 s; time moves on without it\n");
}

TimerHandlerGuard g_timerGuard = nullptr;

} // namespace

UINT_PTR SetTimer(HWND h, UINT_PTR id, UINT elapse) {
    if (!IsWindow(h)) return 0;
    EraseTimers([&](const Timer& t) { return !t.owner && t.h == h && t.id == id; });
    StartTimer(h, id, nullptr, elapse);
    return id ? id : 1;
}

bool KillTimer(HWND h, UINT_PTR id) {
    return EraseTimers([&](const Timer& t) { return !t.owner && t.h == h && t.id == id; });
}

TTimer::TTimer() { Update(); }

TTimer::~TTimer() {
    std::uint64_t key = key_;
    if (key) EraseTimers([&](const Timer& t) { return t.key == key; });
}

void TTimer::SetInterval(std::uint32_t ms) {
    if (ms == interval_) return;
    interval_ = ms;
    Update();
}

void TTimer::SetEnabled(bool on) {
    if (on == enabled_) return;
    enabled_ = on;
    Update();
}

void TTimer::Update() {
    std::uint64_t key = key_;
    if (key) EraseTimers([&](const Timer& t) { return t.key == key; });
    key_ = 0;
    if (enabled_ && interval_ > 0) key_ = StartTimer(0, 0, this, interval_);
}

bool NextTimerDue(std::uint32_t& due) {
    std::lock_guard lock(g_mutex);
    const std::uint32_t now = TimeGetTime();
    bool any = false;
    for (const Timer& t : g_timers) {
        if (!any || static_cast<std::int32_t>(t.due - now) < static_cast<std::int32_t>(due - now))
            due = t.due;
        any = true;
    }
    return any;
}

void SetTimerHandlerGuard(TimerHandlerGuard guard) {
    g_timerGuard = guard;
}

int FireDueTimers() {
    if (!IsGuiThread()) return 0;
    const std::uint32_t now = TimeGetTime();
    std::vector<std::pair<std::int32_t, std::uint64_t>> due;  // (lateness order, key)
    {
        std::lock_guard lock(g_mutex);
        for (const Timer& t : g_timers)
            if (ClockReached(now, t.due)) due.emplace_back(static_cast<std::int32_t>(t.due - now), t.key);
    }
    std::sort(due.begin(), due.end());

    int fired = 0;
    for (const auto& [order, key] : due) {
        Timer t;
        std::function<void()> onTimer;
        {
            // A handler may have killed or restarted this timer meanwhile.
            std::lock_guard lock(g_mutex);
            auto it = std::find_if(g_timers.begin(), g_timers.end(),
                                   [k = key](const Timer& x) { return x.key == k; });
            if (it == g_timers.end() || !ClockReached(now, it->due)) continue;
            if (it->owner == nullptr && !IsWindow(it->h)) {
                g_timers.erase(it);
                continue;
            }
            // Next tick on the beat, but without catching up ticks that were missed.
            it->due += it->interval;
            if (ClockReached(now, it->due)) it->due = now + it->interval;
            t = *it;
            // Copied under the lock: the owner cannot be destroyed meanwhile, and the handler
            // may destroy it.
            if (t.owner) onTimer = t.owner->OnTimer;
        }
        if (t.owner) {
            if (!onTimer) continue;
            if (g_timerGuard)
                g_timerGuard(onTimer);
            else
                onTimer();
        } else {
            SendMessage(t.h, WM_TIMER, t.id, 0);
        }
        ++fired;
    }
    return fired;
}

void AdvanceVirtualClock(std::uint32_t ms) {
    if (!IsVirtualClock()) return;
    const std::uint32_t target = TimeGetTime() + ms;
    auto earlier = [](std::uint32_t now, std::uint32_t a, std::uint32_t b) {
        return static_cast<std::int32_t>(a - now) < static_cast<std::int32_t>(b - now);
    };
    for (;;) {
        Settle();
        PumpMessages();
        const std::uint32_t now = TimeGetTime();
        std::uint32_t next = target, t;
        if (NextTimerDue(t) && !ClockReached(now, t) && earlier(now, t, next)) next = t;
        if (NextSleeperDeadline(t) && !ClockReached(now, t) && earlier(now, t, next)) next = t;
        if (next == target) break;
        SetVirtualTime(next);
    }
    SetVirtualTime(target);
    Settle();
    PumpMessages();
}

} // namespace platform
