#include "app/main.h"
#include "app/testmidi.h"
#include "platform/core/fpu.h"
#include "platform/forms/display.h"
#include "platform/gdi/fonts.h"
#include "platform/midi/midi.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    platform::MaskFloatingPointExceptions();
    // While the display opens, the font configuration and the MIDI port listers are made on
    // threads of their own; they end before the program does.
    std::jthread fonts = platform::PrepareFonts();
    std::jthread midiPorts = platform::PrepareMidiPorts();
    platform::PreferX11Platform();
    std::string error;
    if (!platform::OpenDisplay(&error)) {
        std::fprintf(stderr, "tolvern: %s\n", error.c_str());
        return 1;
    }
    InstallTestMidiLog();
    // Qt takes no arguments of ours; the program reads its own.
    return RunProgram(std::vector<std::string>(argv + 1, argv + argc));
}
