#include "support/virtual_clock.h"

#include "platform/core/clock.h"
#include "platform/core/messages.h"
#include "platform/core/timers.h"

namespace testsupport {

VirtualClock::VirtualClock(std::uint32_t start) { platform::UseVirtualClock(start); }

VirtualClock::~VirtualClock() { platform::UseRealClock(); }

std::uint32_t VirtualClock::Now() const { return platform::TimeGetTime(); }

void VirtualClock::Advance(std::uint32_t ms) { platform::AdvanceVirtualClock(ms); }

bool VirtualClock::WaitForSleepers(int n, std::uint32_t timeoutMs) {
    return platform::WaitWhile([n] { return platform::SleeperCount() < n; }, timeoutMs);
}

} // namespace testsupport
