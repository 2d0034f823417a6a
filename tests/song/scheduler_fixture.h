#pragma once
// Songs built in a test, and the play road against virtual MIDI outputs on the virtual clock
// at tempo 250, where a tick lasts exactly one millisecond.

#include "devices/midi.h"
#include "devices/midimsg.h"
#include "devices/ports.h"
#include "platform/core/messages.h"
#include "platform/midi/midi.h"
#include "platform/midi/virtualmidi.h"
#include "song/engine.h"
#include "song/primitives.h"
#include "song/song.h"
#include "support/scripted_dialogs.h"
#include "support/temp_settings.h"
#include "support/virtual_clock.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// A part of track Track from Start, Length ticks long, with events at the given ticks from
// the song start, in order.
inline _TPart* AddPart(int Track, int Start, int Length,
                       const std::vector<std::pair<int, std::uint32_t>>& Events) {
    _TPart* p = NewPart("", Start, Length, Track);
    int last = Start;
    for (auto& [tick, msg] : Events) {
        AppendEvent(p, NewEvent(tick - last, msg));
        last = tick;
    }
    InsertPart(Song->Tracks[Track].get(), p);
    return p;
}

class SchedulerRun : public testing::Test {
protected:
    void SetUp() override {
        platform::SetMidiRealPorts(false);
        synth = std::make_unique<platform::TVirtualMidiOut>("Synth");
        stream = std::make_unique<platform::TVirtualMidiOut>("Stream");
        // The main window's refill: feed again while the song plays.
        window = platform::RegisterWindowProc([this](platform::HWND, platform::UINT msg,
                                                     platform::WPARAM,
                                                     platform::LPARAM) -> platform::LRESULT {
            if (msg == WM_REFILLQUEUE && Song->State == 2) {
                ++refills;
                Song->FeedMidiEngine(*Song->Engine);
            }
            return 0;
        });
        Song = new TSong;
        MidiMode = 1;
        Midi = new TMIDI(TMidiSetup::Devices);
        Midi->SetWnd(window);
        Midi->SetTempo(250);
        for (int i = 0; i < 2; ++i) {
            Song->Tracks[i]->Mode = tmMidi;
            Song->Tracks[i]->Output = 1;
        }
    }
    void TearDown() override {
        delete Midi;
        Midi = nullptr;
        delete Song;
        Song = nullptr;
        platform::UnregisterWindowProc(window);
        platform::SetMidiRealPorts(true);
    }
    // The main window's play command.
    void Play(int Tick) {
        Song->PlayStart = Tick;
        Song->Locate(Tick, true);
        Song->StartMidiEngine(Tick);
        Song->FeedMidiEngine(*Song->Engine);
        Midi->Play(Tick, Song->LeftLocator, Song->RightLocator, Song->LoopOn != 0);
    }
    void Loop(int L, int R) {
        Song->LeftLocator = L;
        Song->RightLocator = R;
        Song->LoopOn = 1;
    }
    // What reached the stream output: milliseconds (ticks) from the start, and the bytes.
    std::vector<std::string> Log() const {
        std::vector<std::string> r;
        for (auto& s : stream->Sent()) {
            std::string line = std::to_string(s.TimeUs / 1000 - start);
            for (std::uint8_t b : s.Bytes) {
                char hex[4];
                std::snprintf(hex, sizeof hex, " %02X", b);
                line += hex;
            }
            r.push_back(line);
        }
        return r;
    }

    TempSettings settings;
    ScriptedDialogs dialogs;
    testsupport::VirtualClock clock;
    std::int64_t start = clock.Now();
    std::unique_ptr<platform::TVirtualMidiOut> synth, stream;
    platform::HWND window = 0;
    int refills = 0;
};
