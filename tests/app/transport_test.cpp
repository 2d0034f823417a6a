// The edit guard and the transport commands of the main window, headless: the real main window
// with the scripted audio driver (blocks run when the test says), a virtual MIDI output and the
// virtual clock.
#include "app/transport.h"

#include "app/main.h"
#include "devices/audio.h"
#include "devices/midi.h"
#include "devices/vsthost.h"
#include "platform/core/dynlib.h"
#include "platform/core/ini.h"
#include "platform/forms/application.h"
#include "platform/midi/midi.h"
#include "platform/midi/virtualmidi.h"
#include "song/engine.h"
#include "song/primitives.h"
#include "song/song.h"
#include "support/gui_harness.h"
#include "support/temp_settings.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace platform;

namespace {

// Every command the program gives the audio-system driver, in order.
std::vector<int> driverCommands;
TvAudioProperties driverEntry = nullptr;
std::int32_t LoggingProperties(std::int32_t Cmd, std::intptr_t A, std::intptr_t B) {
    driverCommands.push_back(Cmd);
    return driverEntry(Cmd, A, B);
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
    }
};

class Transport : public testing::Test {
protected:
    void SetUp() override {
        SetMidiRealPorts(false);
        program.WriteFile("MidiEngine.DLL", "stand-in");
        // The built drivers, under the temporary program folder.
        std::filesystem::remove_all(program.Path() + "system");
        std::filesystem::create_directory_symlink(TOLVERN_BIN_DIR "/system",
                                                  program.Path() + "system");
        settings.WriteIni("[Audio]\nSystem=scripted\n");
        ASSERT_TRUE(StartProgram({}));
        gui.Pump();
        ASSERT_TRUE(Audio && Audio->Properties);
        driverEntry = Audio->Properties;
        Audio->Properties = &LoggingProperties;
        run = reinterpret_cast<RunFn>(GetProcAddress(Audio->Library, "ScriptedRunBlocks"));
        ASSERT_TRUE(run);
        SetTransportWindows(&windows);
        MakeSong();
    }
    void TearDown() override {
        SetTransportWindows(nullptr);
        if (fmMdi) {
            gui.Dialogs().AllowUnexpectedBoxes();
            fmMdi->OnCloseQuery = nullptr;
            fmMdi->Close();
            fmMdi->Free();
        }
        driverCommands.clear();
        Application->ResetTerminated();
        SetMidiRealPorts(true);
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
    // True when a block could render now (nothing holds the renderer).
    static bool RendererFree() {
        if (!EnterRenderBlock()) return false;
        LeaveRenderBlock();
        return true;
    }

    using RunFn = std::int32_t (*)(std::int32_t, std::int32_t);
    RunFn run = nullptr;
    TempSettings settings;
    TempProgramFolder program;
    TVirtualMidiIn keys{"Keys"};
    TVirtualMidiOut synth{"Synth"};
    testsupport::GuiHarness gui;
    CountingWindows windows;
};

TEST_F(Transport, ASecondPauseIsRefusedAndTheFirstResumes) {
    ASSERT_TRUE(fmMdi->PausePlayback());
    EXPECT_TRUE(Paused);
    EXPECT_FALSE(fmMdi->PausePlayback());
    EXPECT_TRUE(Paused);
    fmMdi->ResumePlayback();
    EXPECT_FALSE(Paused);
    EXPECT_TRUE(RendererFree());
    // The editor plug-ins hear "continue" at the song position.
    EXPECT_EQ(windows.Broadcasts.back(), (CountingWindows::TBroadcast{8, 3, 0}));
}

TEST_F(Transport, APauseWhileRecordingChangesNothingButTheDriversRecordingCommand) {
    OpenAudio();
    Song->State = 1;
    Song->Position = 700;
    WasPlaying = 1;
    driverCommands.clear();
    EXPECT_FALSE(fmMdi->PausePlayback());
    EXPECT_EQ(driverCommands, std::vector<int>{TV_AUDIO_RECORDING});
    EXPECT_EQ(Song->State, 1);
    EXPECT_EQ(Song->Position, 700);
    EXPECT_FALSE(Paused);
    EXPECT_TRUE(WasPlaying);
    EXPECT_TRUE(RendererFree());
    EXPECT_TRUE(windows.Cursor.empty());
    EXPECT_TRUE(Audio->Running);
    Song->State = 0;
}

TEST_F(Transport, PausingAStoppedSongStopsAndRestartsARunningDriver) {
    OpenAudio();
    driverCommands.clear();
    ASSERT_TRUE(fmMdi->PausePlayback());
    EXPECT_FALSE(Audio->Running);
    EXPECT_FALSE(RendererFree());
    EXPECT_EQ(driverCommands, (std::vector<int>{TV_AUDIO_RECORDING, TV_AUDIO_STOP}));
    driverCommands.clear();
    fmMdi->ResumePlayback();
    EXPECT_TRUE(Audio->Running);
    EXPECT_TRUE(RendererFree());
    EXPECT_EQ(driverCommands, std::vector<int>{TV_AUDIO_START});
}

TEST_F(Transport, WithAudioClosedPauseAndResumeSendTheDriverOnlyTheRecordingCommand) {
    driverCommands.clear();
    ASSERT_TRUE(fmMdi->PausePlayback());
    fmMdi->ResumePlayback();
    EXPECT_EQ(driverCommands, std::vector<int>{TV_AUDIO_RECORDING});
}

TEST_F(Transport, PausingAPlayingSongMovesToTheStopPositionPlusOneUnlessWinding) {
    fmMdi->StartPlayback(false);
    ASSERT_EQ(Song->State, 2);
    gui.Advance(500);
    const int stopped = Midi->GetPos();
    ASSERT_GT(stopped, 100);
    windows.Cursor.clear();
    ASSERT_TRUE(fmMdi->PausePlayback());
    EXPECT_EQ(Song->State, 0);
    EXPECT_EQ(Song->Position, stopped + 1);
    EXPECT_EQ(windows.Cursor, (std::vector<int>{0, stopped + 1}));
    EXPECT_FALSE(RendererFree());
    fmMdi->ResumePlayback();
    EXPECT_EQ(Song->State, 2);
    EXPECT_TRUE(RendererFree());

    // While winding the wound position stays.
    fmMdi->Winding = true;
    Song->Position = 4000;
    gui.Advance(100);
    ASSERT_TRUE(fmMdi->PausePlayback());
    EXPECT_EQ(Song->Position, 4000);
    fmMdi->ResumePlayback();
    EXPECT_EQ(Midi->StartPos, 4000);
    fmMdi->Winding = false;
    fmMdi->StopPlayback(false);
}

TEST_F(Transport, NoBlockRendersWhileAPausedPlayingSongChangesAndMidiStartsWithTheNextBlock) {
    OpenAudio();
    Blocks(2);
    fmMdi->StartPlayback(false);
    Blocks(1);
    EXPECT_EQ(Flags(), (std::vector<int>{0, 1, 0})); // the start's block comes with flag 0
    ASSERT_TRUE(fmMdi->PausePlayback());
    EXPECT_FALSE(RendererFree());
    const double before = Song->AudioPos;
    Blocks(3); // silence: the song's audio clock does not move
    EXPECT_EQ(Song->AudioPos, before);
    fmMdi->ResumePlayback();
    EXPECT_TRUE(RendererFree());
    EXPECT_EQ(Flags(), (std::vector<int>{1, 1, 1}));
    Blocks(1);
    EXPECT_EQ(Flags(), std::vector<int>{0}); // MIDI starts with this block, which renders
    EXPECT_GT(Song->AudioPos, before);
    fmMdi->StopPlayback(false);
}

TEST_F(Transport, AChangeThatThrowsLeavesThePauseClearAndTheRendererFree) {
    fmMdi->StartPlayback(false);
    EXPECT_THROW(
        {
            TEditGuard guard;
            ASSERT_TRUE(guard);
            throw std::runtime_error("edit failed");
        },
        std::runtime_error);
    EXPECT_FALSE(Paused);
    EXPECT_TRUE(RendererFree());
    EXPECT_EQ(Song->State, 2); // playing on
    {
        TEditGuard guard;
        EXPECT_TRUE(guard);
    }
    fmMdi->StopPlayback(false);
}

TEST_F(Transport, PlayWhilePlayingDoesNothingAndPlayWhileRecordingStopsFirst) {
    Song->Position = 480;
    fmMdi->StartPlayback(false);
    EXPECT_EQ(Song->PlayStart, 480);
    EXPECT_EQ(VstTime.flags & 3, 3);
    Song->Position = 960;
    windows.Broadcasts.clear();
    fmMdi->StartPlayback(false);
    EXPECT_TRUE(windows.Broadcasts.empty());
    EXPECT_EQ(Song->PlayStart, 480);
    fmMdi->StopPlayback(false);

    Song->State = 1; // recording
    windows.Broadcasts.clear();
    fmMdi->StartPlayback(false);
    EXPECT_EQ(Song->State, 2);
    EXPECT_EQ(windows.Broadcasts,
              (std::vector<CountingWindows::TBroadcast>{{8, 1, 0}, {8, 2, 960}}));
    fmMdi->StopPlayback(false);
}

TEST_F(Transport, StopWhileStoppedStillSilencesBroadcastsAndClears) {
    OpenAudio();
    Song->Engine->Insert(0, Song->TrackAt(0)->Parts, Song->TrackAt(0)->Parts->Events);
    synth.Clear();
    fmMdi->StopPlayback(false);
    EXPECT_EQ(windows.Broadcasts.back(), (CountingWindows::TBroadcast{8, 1, 0}));
    EXPECT_EQ(Song->Engine->Queue, nullptr);
    EXPECT_EQ(Song->State, 0);
    // All notes off on every channel of the output.
    int offs = 0;
    for (const auto& s : synth.Sent())
        if (s.Bytes.size() == 3 && (s.Bytes[0] & 0xF0) == 0xB0 && s.Bytes[1] == 123) ++offs;
    EXPECT_EQ(offs, 16);
    EXPECT_EQ(VstTime.flags & 3, 1);
    // One rendered block clears "transport changed".
    Blocks(1);
    EXPECT_EQ(VstTime.flags & 3, 0);
}

TEST_F(Transport, RelocationCommandsMoveThePositionThroughTheGuard) {
    Song->LeftLocator = 960;
    Song->RightLocator = 2880;
    Song->Position = 100;
    fmMdi->GotoRightLocator();
    EXPECT_EQ(Song->Position, 2880);
    EXPECT_EQ(windows.Cursor, (std::vector<int>{100, 2880}));
    fmMdi->GotoLeftLocator();
    EXPECT_EQ(Song->Position, 960);
    fmMdi->GotoSongEnd();
    EXPECT_EQ(Song->Position, 1920);
    EXPECT_EQ(fmMdi->PressedButton, 4);
    EXPECT_EQ(windows.ScrollsToEnd, std::vector<int>{1920});
    fmMdi->GotoSongStart();
    EXPECT_EQ(Song->Position, 0);
    EXPECT_EQ(fmMdi->PressedButton, 3);
    EXPECT_EQ(windows.TrackSetups, 1);
    EXPECT_EQ(windows.ScrollsToStart, 1);
    EXPECT_EQ(windows.SongPositionPaints, 4);
    windows.SongPositionPaints = 0;
    fmMdi->SetSongPosition(-50);
    EXPECT_EQ(Song->Position, 0);
    EXPECT_EQ(windows.SongPositionPaints, 0);

    // Refused while recording: nothing moves.
    Song->State = 1;
    fmMdi->SetSongPosition(500);
    fmMdi->GotoRightLocator();
    EXPECT_EQ(Song->Position, 0);
    Song->State = 0;

    // Song end of an empty song is 0.
    DeletePart(Song->TrackAt(0), Song->TrackAt(0)->Parts);
    Song->Position = 300;
    fmMdi->GotoSongEnd();
    EXPECT_EQ(Song->Position, 0);
}

TEST_F(Transport, APlayingSongGoesOnFromTheNewPosition) {
    fmMdi->StartPlayback(false);
    gui.Advance(200);
    fmMdi->SetSongPosition(1440);
    EXPECT_EQ(Song->State, 2);
    EXPECT_EQ(Midi->StartPos, 1440);
    EXPECT_EQ(windows.Cursor.back(), 1440);
    fmMdi->StopPlayback(false);
}

TEST_F(Transport, LoopSwitchTogglesWithOrWithoutTheGuard) {
    fmMdi->ToggleLoop(true);
    EXPECT_EQ(Song->LoopOn, 1);
    fmMdi->ToggleLoop(false);
    EXPECT_EQ(Song->LoopOn, 0);
    Song->State = 1;
    fmMdi->ToggleLoop(true); // refused
    EXPECT_EQ(Song->LoopOn, 0);
    Song->State = 0;
    EXPECT_EQ(windows.LoopPaints, 2);
}

TEST_F(Transport, WindingStepsEvery50MillisecondsAndStopsAtZero) {
    fmMdi->WindStep = 16;
    fmMdi->StartFastForward(123);
    EXPECT_EQ(Song->Position, 960); // one step at once
    EXPECT_TRUE(fmMdi->Winding);
    gui.Advance(200);
    EXPECT_EQ(Song->Position, 4800);
    fmMdi->StopWinding();
    EXPECT_FALSE(fmMdi->Winding);
    EXPECT_EQ(fmMdi->PressedButton, 0);
    gui.Advance(100);
    EXPECT_EQ(Song->Position, 4800);

    Song->Position = 1000;
    fmMdi->StartRewind(0);
    EXPECT_EQ(fmMdi->PressedButton, 2);
    gui.Advance(100);
    EXPECT_EQ(Song->Position, 0);

    // A refused pause leaves winding on.
    Song->State = 1;
    fmMdi->StopWinding();
    EXPECT_TRUE(fmMdi->Winding);
    EXPECT_EQ(fmMdi->PressedButton, 0);
    Song->State = 0;
    fmMdi->StartFastForward(0);
    fmMdi->StopWinding();
    EXPECT_FALSE(fmMdi->Winding);

    // Nothing winds while recording.
    Song->State = 1;
    fmMdi->StartRewind(0);
    EXPECT_EQ(fmMdi->PressedButton, 0);
    Song->State = 0;
}

TEST_F(Transport, StoppingAPlayingSongAfterWindingRestartsAtTheWoundPosition) {
    fmMdi->StartPlayback(false);
    fmMdi->WindStep = 4;
    fmMdi->StartFastForward(0);
    gui.Advance(100);
    EXPECT_EQ(Song->Position, 720);
    fmMdi->StopWinding();
    EXPECT_EQ(Song->State, 2);
    EXPECT_EQ(Midi->StartPos, 720);
    fmMdi->StopPlayback(false);
}

} // namespace
