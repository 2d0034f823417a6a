#pragma once
// The program on a real X server: the test runs this executable again under an Xvfb of its own,
// on Qt's xcb platform, with only the child tests selected and a variable that tells them they
// are the child run; the child fixture opens the display and a temporary program and settings
// folder, and closes the program without questions at the end.

#include "app/dialogs.h"
#include "app/main.h"
#include "platform/forms/application.h"
#include "platform/forms/display.h"
#include "platform/midi/midi.h"
#include "platform/midi/virtualmidi.h"
#include "support/gui_xvfb.h"
#include "support/temp_settings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

struct TXcbChildRun {
    std::string Skipped; // why the run did not happen; empty when it ran
    int Status = -1;     // the child's exit status
};

// Runs the tests of Filter in a child under a new Xvfb with ChildVar=Value.
inline TXcbChildRun RunXcbChild(const std::string& Filter, const char* ChildVar,
                                const std::string& Value) {
    TXcbChildRun r;
    for (const char* tool : {"Xvfb", "xdotool", "import"})
        if (!testsupport::OnPath(tool)) {
            r.Skipped = std::string(tool) + " is not installed";
            return r;
        }
    testsupport::Xvfb x;
    if (x.Display().empty()) {
        r.Skipped = "Xvfb could not start on a free display";
        return r;
    }
    // Qt's session bus connection and fontconfig keep buffers to the end: not ours to report.
    const std::string lsan = Value + ".lsan";
    if (FILE* f = std::fopen(lsan.c_str(), "w")) {
        std::fputs("leak:libdbus-1.so\nleak:libfontconfig.so\n", f);
        std::fclose(f);
    }
    const pid_t child = testsupport::Spawn({"/proc/self/exe", "--gtest_filter=" + Filter},
                                           {"DISPLAY=" + x.Display(), "QT_QPA_PLATFORM=xcb",
                                            std::string(ChildVar) + "=" + Value,
                                            "LSAN_OPTIONS=suppressions=" + lsan});
    if (child != 0) r.Status = testsupport::WaitFor(child, 90000);
    std::remove(lsan.c_str());
    return r;
}

// The child run's fixture; the derived fixture names its variable.
class XcbAppChild : public ::testing::Test {
protected:
    explicit XcbAppChild(const char* ChildVar) : childVar_(ChildVar) {}
    void SetUp() override {
        if (!std::getenv(childVar_)) GTEST_SKIP() << "the child run of an X server test";
        std::string error;
        ASSERT_TRUE(platform::OpenDisplay(&error)) << error;
        platform::SetMidiRealPorts(false);
        program.emplace();
        settings.emplace();
        program->WriteFile("MidiEngine.DLL", "stand-in");
    }
    void TearDown() override {
        if (!std::getenv(childVar_)) return;
        if (fmMdi) {
            fmMdi->OnCloseQuery = nullptr;
            fmMdi->Close();
            fmMdi->Free();
        }
        FreeApplicationForms();
        platform::SetMidiRealPorts(true);
        platform::CloseDisplay();
    }
    // What the parent handed over in the variable.
    std::string Value() const { return std::getenv(childVar_); }

    std::optional<TempSettings> settings;
    std::optional<TempProgramFolder> program;
    platform::TVirtualMidiOut synth{"Synth"};

private:
    const char* childVar_;
};
