// The clock the stream scheduler and the input time stamps run on: the steady clock, or the
// core's virtual clock while tests run on it.
#pragma once

#include <atomic>
#include <cstdint>

namespace platform {

// Microseconds on the MIDI clock. On the virtual clock: its milliseconds times 1000.
std::int64_t MidiClockUs();
// True while the virtual clock runs.
bool MidiClockVirtual();
// Blocks until the clock reaches Us or *Cancel is set (and WakeMidiClock is called).
void MidiClockSleepUntil(std::int64_t Us, const std::atomic<bool>* Cancel);
void WakeMidiClock();
// A scheduler about to wait for work, not for the clock.
void MidiClockIdle();
// True once some thread sleeps on the virtual clock with a deadline at or before Us, so that
// moving the clock will stop there.
bool MidiClockSleeperBy(std::int64_t Us);

} // namespace platform
