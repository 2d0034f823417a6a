#include "devices/call16.h"
#include "platform/core/fpu.h"
#include "platform/forms/display.h"

#include <cstdio>

int main() {
    platform::MaskFloatingPointExceptions();
    platform::PreferX11Platform();
    ChooseMidiMode();
    std::fprintf(stderr, "tolvern: the main window does not exist yet; nothing to show.\n");
    return 0;
}
