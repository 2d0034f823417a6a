#pragma once
// The key editor headless: the program started with its arrange window, parts added to the
// song, and the key editor opened for one of them the way a user does (the part clicked
// current, Ctrl+E in the arrange window).

#include "app/arrange.h"
#include "app/dialogs.h"
#include "app/main.h"
#include "editors/midi/key.h"

#include "platform/core/ini.h"
#include "platform/forms/application.h"
#include "platform/midi/midi.h"
#include "platform/midi/virtualmidi.h"
#include "platform/window/input.h"
#include "song/primitives.h"
#include "song/seams.h"
#include "song/song.h"
#include "support/gui_harness.h"
#include "support/temp_settings.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

class KeyTest : public testing::Test {
protected:
    void SetUp() override {
        platform::SetMidiRealPorts(false);
        program.WriteFile("MidiEngine.DLL", "stand-in");
        const std::filesystem::path drv = std::filesystem::path(TOLVERN_BIN_DIR) / "system";
        std::filesystem::create_directories(program.Path() + "system");
        std::filesystem::copy_file(drv / "scripted.so", program.Path() + "system/scripted.so",
                                   std::filesystem::copy_options::overwrite_existing);
    }
    void TearDown() override {
        SetMainWindow(nullptr);
        if (fmMdi) {
            gui.Dialogs().AllowUnexpectedBoxes();
            if (Song) Song->State = 0;
            fmMdi->OnCloseQuery = nullptr;
            fmMdi->Close();
            fmMdi->Free();
            gui.Dialogs().AllowUnexpectedBoxes(false);
        }
        FreeApplicationForms();
        platform::Application->ResetTerminated();
        platform::SetMidiRealPorts(true);
        KeyEditorSeams() = {};
        NoteHeight = 7;
        Width16th = 16;
        BeatWidth = 6;
        TrackHeight = 18;
    }
    // Starts the program with these settings (no mixer).
    void Start(std::string_view Ini = "") {
        settings.WriteIni(std::string("[Mixer]\nVisible=0\n") + std::string(Ini));
        ASSERT_TRUE(StartProgram({}));
        gui.Pump();
        ASSERT_NE(fmArrange, nullptr);
    }
    // A part on Track with notes (tick in the part, key, length), velocity 100 on channel 1.
    static _TPart* AddPart(int Track, int Start, int Length,
                           std::initializer_list<std::tuple<int, int, int>> Notes = {},
                           const std::string& Name = "Part") {
        _TPart* p = NewPart(Name, Start, Length, Track);
        std::vector<std::pair<int, std::uint32_t>> ev;
        for (auto [t, key, len] : Notes) {
            ev.push_back({t, 0x90u | (std::uint32_t(key) << 8) | (100u << 16)});
            ev.push_back({t + len, 0x80u | (std::uint32_t(key) << 8)});
        }
        std::stable_sort(ev.begin(), ev.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        int last = 0;
        for (auto [t, msg] : ev) {
            AppendEvent(p, NewEvent(t - last, msg));
            last = t;
        }
        EXPECT_TRUE(InsertPart(Song->TrackAt(Track), p));
        return p;
    }
    // Makes Part the current part and presses Ctrl+E in the arrange window.
    void OpenKey(_TPart* Part) {
        Song->UnselectAllParts();
        Part->Flags |= pfSelected;
        Song->SetCurrentPart(Part);
        fmArrange->Show();
        gui.Pump();
        gui.Chord({platform::VK_CONTROL, 'E'});
        gui.Pump();
        k = fmKey;
        ASSERT_NE(k, nullptr);
    }
    std::string Setting(std::string_view Section, std::string_view Key) {
        return platform::TIniFile().ReadString(Section, Key, "<none>");
    }

    TempSettings settings;
    TempProgramFolder program;
    platform::TVirtualMidiOut synth{"Synth"};
    testsupport::GuiHarness gui{1280, 1024};
    TfmKey* k = nullptr;
};
