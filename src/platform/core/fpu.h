#pragma once
// Floating-point environment of the process.

#include <limits>

// Results that depend on 80-bit extended arithmetic use long double, which must be the x87 type.
static_assert(std::numeric_limits<long double>::digits == 64,
              "long double must be the x87 80-bit extended type");

namespace platform {

// Masks every floating-point exception (invalid, denormal, divide by zero, overflow, underflow,
// precision) for the calling thread and every thread it starts afterwards.
void MaskFloatingPointExceptions();

} // namespace platform
