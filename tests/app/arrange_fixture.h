#pragma once
// The program started headless with the arrange window made (the scripted audio driver in the
// program folder, one virtual MIDI output), parts added by script, pixels of the parts area
// and the ruler read back.

#include "app/arrange.h"
#include "app/dialogs.h"
#include "app/main.h"
#include "gui/mscroll.h"
#include "gui/scroll.h"
#include "platform/core/ini.h"
#include "platform/forms/application.h"
#include "platform/midi/midi.h"
#include "platform/midi/virtualmidi.h"
#include "platform/window/paint.h"
#include "song/primitives.h"
#include "song/seams.h"
#include "song/song.h"
#include "support/gui_harness.h"
#include "support/temp_settings.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

// Pixels read back as 0xRRGGBB; colours are stored 0xBBGGRR.
inline std::uint32_t Rgb(platform::TColor c) {
    const std::uint32_t v = std::uint32_t(c);
    return ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
}

// A part on Track with notes (tick in the part, key, length), velocity 100 on channel 1.
inline _TPart* AddPartWithNotes(int Track, int Start, int Length, const std::string& Name,
                                const std::vector<std::tuple<int, int, int>>& Notes) {
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

// Notes as (tick in the part, key), each 60 ticks long.
inline _TPart* AddPart(int Track, int Start, int Length, const std::string& Name = "Part",
                       std::initializer_list<std::pair<int, int>> Notes = {}) {
    std::vector<std::tuple<int, int, int>> notes;
    for (auto [t, key] : Notes)
        notes.emplace_back(t, key, 60);
    return AddPartWithNotes(Track, Start, Length, Name, notes);
}

class ArrangeTest : public testing::Test {
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
        BeatWidth = 6;
        TrackHeight = 18;
        InsertPartHeldHook = nullptr;
    }
    // Starts the program with these settings; the window shows the song at the top left.
    void Start(std::string_view Ini = "") {
        settings.WriteIni(std::string("[Mixer]\nVisible=0\n") + std::string(Ini));
        ASSERT_TRUE(StartProgram({}));
        gui.Pump();
        ASSERT_NE(fmArrange, nullptr);
        a = fmArrange;
    }
    void Repaint() {
        a->arrange->Invalidate();
        a->meter->Invalidate();
        gui.Pump();
    }
    std::uint32_t PartsPixel(int x, int y) const { return gui.Pixel(a->arrange->Handle(), x, y); }
    std::uint32_t RulerPixel(int x, int y) const { return gui.Pixel(a->meter->Handle(), x, y); }
    // The pixels a window shows after scrolling are those a fresh paint of it gives: the count of
    // pixels that differ (the whole window painted again afterwards).
    int DifferFromAFreshPaint(platform::HWND h) {
        gui.Pump();
        const platform::Surface before = gui.Capture(h, false);
        platform::RedrawWindow(h, nullptr,
                               platform::RDW_INVALIDATE | platform::RDW_ERASE |
                                   platform::RDW_FRAME | platform::RDW_ALLCHILDREN |
                                   platform::RDW_UPDATENOW);
        gui.Pump();
        const platform::Surface after = gui.Capture(h, false);
        int differ = 0;
        for (int y = 0; y < after.height; ++y)
            for (int x = 0; x < after.width; ++x)
                differ += (before.Row(y)[x] & 0xFFFFFF) != (after.Row(y)[x] & 0xFFFFFF);
        return differ;
    }
    // A click on a strip's scroll bar: its first arrow (0), its last arrow (1), or its track just
    // before the last arrow (2, a page forward).
    void ClickScrollBar(TMScroll* Strip, TGuiScrollbar* Bar, int Part) {
        const int b = Bar->Vertical ? Bar->Right - Bar->Left : Bar->Bottom - Bar->Top;
        const int len = Bar->Vertical ? Bar->Bottom - Bar->Top : Bar->Right - Bar->Left;
        const int along = Part == 0 ? b / 2 : Part == 1 ? len - b / 2 : len - b - 3;
        const int x = Bar->Vertical ? (Bar->Left + Bar->Right) / 2 : Bar->Left + along;
        const int y = Bar->Vertical ? Bar->Top + along : (Bar->Top + Bar->Bottom) / 2;
        gui.Advance(1000);
        gui.Click(testsupport::GuiHarness::At(Strip->Handle(), x, y));
    }
    std::string Setting(std::string_view Section, std::string_view Key) {
        return platform::TIniFile().ReadString(Section, Key, "<none>");
    }

    TempSettings settings;
    TempProgramFolder program;
    platform::TVirtualMidiOut synth{"Synth"};
    testsupport::GuiHarness gui{1280, 1024};
    TfmArrange* a = nullptr;
};

class ArrangeView : public ArrangeTest {
protected:
    void SetUp() override {
        ArrangeTest::SetUp();
        Start();
        // The marks away from the parts unless a test moves them.
        Song->Position = 960 * 40;
        Song->LeftLocator = 960 * 41;
        Song->RightLocator = 960 * 42;
    }
    std::uint32_t Fill() const { return Rgb(fmMdi->PartsBkColor); }
    std::uint32_t Back() const { return Rgb(fmMdi->ControlBkColor); }
};
