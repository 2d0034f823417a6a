#include "platform/core/thunk.h"

#include <atomic>

namespace platform {
namespace {
std::atomic<bool> g_thunking{false};
} // namespace

bool Has16BitThunking() { return g_thunking.load(); }

void SetHas16BitThunking(bool on) { g_thunking.store(on); }

} // namespace platform
