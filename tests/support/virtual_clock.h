#pragma once
// The virtual clock for the life of a test: time stands still until Advance moves it, and
// timers and SleepUntil sleepers fall due in order on the way.

#include <cstdint>

namespace testsupport {

class VirtualClock {
public:
    // A start away from zero, so that code that treats time 0 as "never" shows up.
    explicit VirtualClock(std::uint32_t start = 100000);
    ~VirtualClock();
    VirtualClock(const VirtualClock&) = delete;
    VirtualClock& operator=(const VirtualClock&) = delete;

    std::uint32_t Now() const;
    // Moves time forward by ms on the GUI thread, firing timers, letting sleeping threads run
    // at their deadlines and pumping messages at each stop.
    void Advance(std::uint32_t ms);
    // Waits (serving sends) until n threads sleep in SleepUntil, so that a thread just started
    // is in place before time moves. False after timeoutMs of real time.
    bool WaitForSleepers(int n, std::uint32_t timeoutMs = 5000);
};

} // namespace testsupport
