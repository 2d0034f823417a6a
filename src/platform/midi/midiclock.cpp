#include "platform/midi/midiclock.h"

#include <atomic>
#include <chrono>

namespace platform {

namespace {
std::atomic<bool> virtualOn{false};
std::atomic<std::int64_t> virtualUs{0};
}  // namespace

std::int64_t MidiClockUs() {
    if (virtualOn.load(std::memory_order_acquire)) return virtualUs.load(std::memory_order_acquire);
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

bool MidiClockVirtual() { return virtualOn.load(std::memory_order_acquire); }

void SetMidiClockVirtual(bool on, std::int64_t us) {
    virtualUs.store(us, std::memory_order_release);
    virtualOn.store(on, std::memory_order_release);
}

void SetMidiClockUs(std::int64_t us) { virtualUs.store(us, std::memory_order_release); }

}  // namespace platform
