// The clock the stream scheduler and the input time stamps run on: the steady clock, or the
// virtual clock of the tests.
#pragma once

#include <cstdint>

namespace platform {

// Microseconds on the MIDI clock.
std::int64_t MidiClockUs();
// True while the virtual clock runs the MIDI layer: waits then poll instead of sleeping to a
// deadline, since the virtual time moves only when a test moves it.
bool MidiClockVirtual();

}  // namespace platform

namespace platform {
// Until the core's virtual clock drives it: tests switch the MIDI clock to virtual time.
void SetMidiClockVirtual(bool on, std::int64_t us = 0);
void SetMidiClockUs(std::int64_t us);
}  // namespace platform
