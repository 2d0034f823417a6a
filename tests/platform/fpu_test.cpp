#include "platform/core/fpu.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

TEST(Fpu, MaskedExceptionsGiveIeeeResults) {
    platform::MaskFloatingPointExceptions();
    volatile double zero = 0.0;
    EXPECT_TRUE(std::isinf(1.0 / zero));
    EXPECT_TRUE(std::isnan(zero / zero));
    volatile long double tiny = std::numeric_limits<long double>::denorm_min();
    EXPECT_EQ(tiny / 2.0L, 0.0L);
}
