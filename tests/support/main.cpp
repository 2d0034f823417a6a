// The main of every test executable.
#include "platform/audio/sound.h"
#include "platform/core/fpu.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    platform::MaskFloatingPointExceptions();
    // No test lists a real sound device unless it asks for them.
    platform::UseAudioDevices(platform::TAudioDevices::Null);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
