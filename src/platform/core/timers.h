#pragma once
// Timers of the GUI thread. They fire from PumpMessages, after the posted messages, each at most
// once per pump, in the order they fell due; a timer that fell behind skips the ticks it missed
// rather than firing in a burst. Intervals below 10 ms count as 10 ms.

#include "platform/core/messages.h"

#include <cstdint>
#include <functional>

namespace platform {

inline constexpr std::uint32_t kMinTimerInterval = 10;

// Sends WM_TIMER (wParam = id, lParam = 0) to h every elapse ms. Setting an existing
// (h, id) again restarts it with the new interval. Returns a non-zero value, or 0 when h has
// no window. A timer of a window that went away ends with it.
UINT_PTR SetTimer(HWND h, UINT_PTR id, UINT elapse);
bool KillTimer(HWND h, UINT_PTR id);

// The form framework's timer: it runs while Enabled and Interval > 0 and calls OnTimer on the
// GUI thread. Turning it on again, or changing the interval, starts a fresh interval.
// Properties read and assign like fields: timer.Interval = 50; if (timer.Enabled) ...
class TTimer {
public:
    TTimer();
    ~TTimer();
    TTimer(const TTimer&) = delete;
    TTimer& operator=(const TTimer&) = delete;

    void SetInterval(std::uint32_t ms);
    std::uint32_t GetInterval() const { return interval_; }
    void SetEnabled(bool on);
    bool GetEnabled() const { return enabled_; }

    class IntervalProperty {
    public:
        explicit IntervalProperty(TTimer& t) : t_(t) {}
        IntervalProperty& operator=(std::uint32_t ms) { t_.SetInterval(ms); return *this; }
        operator std::uint32_t() const { return t_.interval_; }
    private:
        TTimer& t_;
    };
    class EnabledProperty {
    public:
        explicit EnabledProperty(TTimer& t) : t_(t) {}
        EnabledProperty& operator=(bool on) { t_.SetEnabled(on); return *this; }
        operator bool() const { return t_.enabled_; }
    private:
        TTimer& t_;
    };

    IntervalProperty Interval{*this};  // ms, 1000 when created
    EnabledProperty Enabled{*this};    // true when created
    std::function<void()> OnTimer;

private:
    void Update();

    std::uint32_t interval_ = 1000;
    bool enabled_ = true;
    std::uint64_t key_ = 0;  // its entry among the running timers, 0 when stopped
};

// The time the next timer falls due; false when no timer runs.
bool NextTimerDue(std::uint32_t& due);

// Runs every TTimer's OnTimer (the form framework installs its exception boundary here);
// nullptr calls the handlers directly.
using TimerHandlerGuard = void (*)(const std::function<void()>& handler);
void SetTimerHandlerGuard(TimerHandlerGuard guard);

// Fires the timers that are due (the pump calls it). Returns how many fired.
int FireDueTimers();

// Virtual clock: moves time forward by ms, stopping at every moment a timer or a thread in
// SleepUntil falls due, in order; at each it lets the released threads run until they sleep
// again, then pumps messages. GUI thread.
void AdvanceVirtualClock(std::uint32_t ms);

} // namespace platform
