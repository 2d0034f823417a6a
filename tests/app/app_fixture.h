#pragma once
// The program started headless: temporary program and settings folders, one virtual MIDI input
// and output, message boxes and dialogs answered by script. Whatever a test leaves open is
// closed without questions.

#include "app/dialogs.h"
#include "app/main.h"

#include "platform/core/ini.h"
#include "platform/forms/application.h"
#include "platform/midi/midi.h"
#include "platform/midi/virtualmidi.h"
#include "support/gui_harness.h"
#include "support/temp_settings.h"

#include <gtest/gtest.h>

class AppTest : public testing::Test {
protected:
    void SetUp() override {
        platform::SetMidiRealPorts(false);
        program.WriteFile("MidiEngine.DLL", "stand-in");
    }
    void TearDown() override {
        Quit();
        platform::SetMidiRealPorts(true);
    }
    // Closes the program without questions.
    void Quit() {
        if (fmMdi) {
            gui.Dialogs().AllowUnexpectedBoxes();
            fmMdi->OnCloseQuery = nullptr;
            fmMdi->Close();
            fmMdi->Free();
            gui.Dialogs().AllowUnexpectedBoxes(false);
        }
        FreeApplicationForms();
        platform::Application->ResetTerminated();
    }
    bool Start(const std::vector<std::string>& args = {}) {
        // The mixer opens at start unless the settings say otherwise, over the windows a test
        // clicks: a test that wants it says so.
        platform::TIniFile ini;
        if (MixerClosed && ini.ReadString("Mixer", "Visible", "").empty())
            ini.WriteBool("Mixer", "Visible", false);
        const bool ok = StartProgram(args);
        gui.Pump();
        return ok;
    }
    std::string Setting(std::string_view Section, std::string_view Key) {
        return platform::TIniFile().ReadString(Section, Key, "<none>");
    }

    // Start writes [Mixer] Visible=0 when the settings have no such key.
    bool MixerClosed = true;
    TempSettings settings;
    TempProgramFolder program;
    platform::TVirtualMidiIn keys{"Keys"};
    platform::TVirtualMidiOut synth{"Synth"};
    testsupport::GuiHarness gui;
};
