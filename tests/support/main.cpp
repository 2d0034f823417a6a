// The main of every test executable.
#include "platform/core/fpu.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    platform::MaskFloatingPointExceptions();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
