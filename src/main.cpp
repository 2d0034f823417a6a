#include "platform/core/fpu.h"

#include <cstdio>

int main() {
    platform::MaskFloatingPointExceptions();
    std::fprintf(stderr, "tolvern: the main window does not exist yet; nothing to show.\n");
    return 0;
}
