#pragma once
// The millisecond clock. In the program it is the system's monotonic clock; tests switch to a
// virtual clock that moves only when told. Times are 32-bit and wrap after about 49 days:
// compare them by signed difference (ClockReached), never with < on the raw values.

#include <atomic>
#include <cstdint>

namespace platform {

// Milliseconds of the current clock.
std::uint32_t TimeGetTime();

// True once the clock has reached time (wrap-safe).
constexpr bool ClockReached(std::uint32_t now, std::uint32_t time) {
    return static_cast<std::int32_t>(now - time) >= 0;
}

// Blocks the calling thread until the clock reaches time, or until *cancel is set and
// WakeSleepers() is called. True when the time was reached. Works with both clocks; on the
// GUI thread it serves cross-thread sends while it waits.
bool SleepUntil(std::uint32_t time, const std::atomic<bool>* cancel = nullptr);
// Makes every SleepUntil look at its cancel flag (and at the clock) again.
void WakeSleepers();

// Waits ms milliseconds. On the GUI thread with the virtual clock it moves the virtual clock
// forward by ms itself (nobody else would), without pumping posts or timers.
void Sleep(std::uint32_t ms);

// The virtual clock, for tests (see tests/support/virtual_clock.h).
void UseVirtualClock(std::uint32_t start);
void UseRealClock();
bool IsVirtualClock();
// Sets the virtual time and releases the sleepers it reached (no timers fire: that is the
// pump's work, see AdvanceVirtualClock in timers.h).
void SetVirtualTime(std::uint32_t time);
// The earliest deadline among threads blocked in SleepUntil; false when none sleeps.
bool NextSleeperDeadline(std::uint32_t& deadline);
// Number of threads blocked in SleepUntil.
int SleeperCount();
// Waits (serving sends on the GUI thread) until every thread that SetVirtualTime released has
// blocked in SleepUntil again, called ClockThreadIdle or ended; gives up after timeoutMs of
// real time and then returns false.
bool WaitClockSettled(std::uint32_t timeoutMs = 5000);
// A clock-driven thread that goes on to block somewhere other than SleepUntil calls this, so
// that WaitClockSettled does not wait for it.
void ClockThreadIdle();

} // namespace platform
