#pragma once
// The main window with the scripted audio driver (blocks run when the test says), a virtual MIDI
// input and output, the virtual clock, and a fake of the windows the transport calls.
#include "app/transport.h"

#include "app/app_fixture.h"

#include "app/main.h"
#include "devices/audio.h"
#include "devices/call16.h"
#include "devices/midi.h"
#include "platform/core/dynlib.h"
#include "platform/core/thunk.h"
#include "platform/forms/application.h"
#include "platform/midi/midi.h"
#include "platform/midi/virtualmidi.h"
#include "song/primitives.h"
#include "song/song.h"
#include "support/gui_harness.h"
#include "support/temp_settings.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace transporttest {

using namespace platform;

// Every command the program gives the audio-system driver, in order.
inline std::vector<int> driverCommands;
inline TvAudioProperties driverEntry = nullptr;
inline std::int32_t LoggingProperties(std::int32_t Cmd, std::intptr_t A, std::intptr_t B) {
    driverCommands.push_back(Cmd);
    return driverEntry(Cmd, A, B);
}

// True when a block could render now (nothing holds the renderer).
inline bool RendererFree() {
    if (!EnterRenderBlock()) return false;
    LeaveRenderBlock();
    return true;
}

// What the transport asked of the windows of later issues.
class CountingWindows : public TTransportWindows {
public:
    bool Arrange = true;
    std::vector<int> Cursor; // positions the play cursor was XOR-drawn at
    int SongPositionPaints = 0, ButtonPaints = 0, LoopPaints = 0, TrackSetups = 0;
    int ScrollsToStart = 0, LedPaints = 0, Toggles = 0, Notifies = 0;
    std::vector<int> ScrollsToEnd;
    struct TBroadcast {
        int Cmd;
        std::intptr_t A, B;
        bool operator==(const TBroadcast&) const = default;
    };
    std::vector<TBroadcast> Broadcasts;
    bool ArrangeExists() override { return Arrange; }
    void MovePlayCursor(int Position, bool, bool) override { Cursor.push_back(Position); }
    void PaintSongPosition() override { ++SongPositionPaints; }
    void PaintTransportButtons() override { ++ButtonPaints; }
    void PaintLoopButton() override { ++LoopPaints; }
    void PaintMidiLed() override { ++LedPaints; }
    void SendTrackSetup() override { ++TrackSetups; }
    void ScrollArrangeToStart() override { ++ScrollsToStart; }
    void ScrollArrangeToEnd(int Tick) override { ScrollsToEnd.push_back(Tick); }
    void NotifySoftsynthCount() override { ++Notifies; }
    void ToggleSynthEditor() override { ++Toggles; }
    void BroadcastEditors(int Cmd, std::intptr_t A, std::intptr_t B) override {
        Broadcasts.push_back({Cmd, A, B});
        // Play and Stop tell the editor plug-ins inside their hold; the resume after it.
        if (A != 3 && RendererFree()) ++UnheldBroadcasts;
    }
    int UnheldBroadcasts = 0;
};

class TransportFixture : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        // The built drivers and plug-ins, under the temporary program folder.
        for (const char* f : {"system", "synth", "fx"}) {
            std::filesystem::remove_all(program.Path() + f);
            std::filesystem::create_directory_symlink(std::string(TOLVERN_BIN_DIR "/") + f,
                                                      program.Path() + f);
        }
        if (EngineMode) {
            // The 16-bit engine back end: the stand-in engine library of the build.
            std::filesystem::remove(program.Path() + "MidiEngine.DLL");
            std::filesystem::create_symlink(TOLVERN_BIN_DIR "/midiengine.dll",
                                            program.Path() + "midiengine.dll");
            SetHas16BitThunking(true);
        }
        settings.WriteIni(AudioSettings);
        ASSERT_TRUE(Start());
        ASSERT_TRUE(Audio && Audio->Properties);
        driverEntry = Audio->Properties;
        Audio->Properties = &LoggingProperties;
        run = reinterpret_cast<RunFn>(GetProcAddress(Audio->Library, "ScriptedRunBlocks"));
        ASSERT_TRUE(run || AudioSettings.find("scripted") == std::string::npos);
        SetTransportWindows(&windows);
        MakeSong();
    }
    void TearDown() override {
        SetTransportWindows(nullptr);
        AppTest::TearDown();
        driverCommands.clear();
        if (EngineMode) {
            SetHas16BitThunking(false);
            ChooseMidiMode();
        }
    }
    // Track 0 plays a quarter note on every beat of two bars on the virtual output.
    void MakeSong() {
        _TTrack* t = Song->TrackAt(0);
        t->Mode = tmMidi;
        t->Output = 0;
        _TPart* p = NewPart("Notes", 0, 1920, 0);
        ASSERT_TRUE(InsertPart(t, p));
        for (int i = 0; i < 8; ++i) {
            AppendEvent(p, NewEvent(i == 0 ? 0 : 120, 0x647890));
            AppendEvent(p, NewEvent(120, 0x007880));
        }
    }
    void OpenAudio() {
        Audio->Open(fmMdi->Handle());
        Audio->Start();
        ASSERT_TRUE(Audio->Running);
    }
    int Blocks(int Count) { return run(Count, 512); }
    std::vector<int> Flags() {
        using FlagsFn = std::int32_t (*)(std::int32_t*, std::int32_t);
        auto flags = reinterpret_cast<FlagsFn>(GetProcAddress(Audio->Library, "ScriptedFlags"));
        std::int32_t out[64];
        const int n = flags ? flags(out, 64) : 0;
        return std::vector<int>(out, out + n);
    }

    // Set by a derived fixture's constructor.
    bool EngineMode = false;
    std::string AudioSettings = "[Audio]\nSystem=scripted\n";
    using RunFn = std::int32_t (*)(std::int32_t, std::int32_t);
    RunFn run = nullptr;
    CountingWindows windows;
};

} // namespace transporttest
