#pragma once
// The program started for a benchmark, with settings of its own and no real MIDI ports, and
// ended as the program ends: playback stopped, the main window closed (which frees the editors,
// the arrange window and the start-up objects), then every form freed. A benchmark keeps it in
// a function's static, so that this happens at exit before the statics it was made after go
// (Qt's application among them, which must not outlive its widgets' owners).

#include "app/dialogs.h"
#include "app/main.h"
#include "platform/midi/midi.h"
#include "platform/window/window.h"
#include "private_settings.h"

#include <stdexcept>

class BenchProgram {
public:
    // A screen of the size given (none: the platform's own) is set first, which places the
    // program's windows on it.
    explicit BenchProgram(int ScreenWidth = 0, int ScreenHeight = 0) {
        if (ScreenWidth > 0) platform::SetScreenGeometry(ScreenWidth, ScreenHeight);
        PrivateSettings();
        platform::SetMidiRealPorts(false);
        if (!StartProgram({})) throw std::runtime_error("the program did not start");
    }
    ~BenchProgram() {
        if (fmMdi) {
            fmMdi->StopPlayback(true);
            fmMdi->OnCloseQuery = nullptr;
            fmMdi->Close();
        }
        FreeApplicationForms();
    }
    BenchProgram(const BenchProgram&) = delete;
    BenchProgram& operator=(const BenchProgram&) = delete;
};
