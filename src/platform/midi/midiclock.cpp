#include "platform/midi/midiclock.h"

#include "platform/core/clock.h"

#include <chrono>

namespace platform {

std::int64_t MidiClockUs() {
    if (IsVirtualClock()) return std::int64_t(TimeGetTime()) * 1000;
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

bool MidiClockVirtual() {
    return IsVirtualClock();
}

namespace {
// The virtual clock counts whole milliseconds: wake at the first one that reaches Us.
std::uint32_t CeilMs(std::int64_t Us) {
    return static_cast<std::uint32_t>((Us + 999) / 1000);
}
} // namespace

void MidiClockSleepUntil(std::int64_t Us, const std::atomic<bool>* Cancel) {
    SleepUntil(CeilMs(Us), Cancel);
}

bool MidiClockSleeperBy(std::int64_t Us) {
    std::uint32_t t = 0;
    return NextSleeperDeadline(t) && static_cast<std::int32_t>(t - CeilMs(Us)) <= 0;
}

void WakeMidiClock() {
    if (IsVirtualClock()) WakeSleepers();
}

void MidiClockIdle() {
    if (IsVirtualClock()) ClockThreadIdle();
}

} // namespace platform
