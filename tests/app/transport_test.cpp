// The edit guard and the transport commands of the main window, headless.
#include "app/transport_fixture.h"
#include "app/options.h"
#include "devices/vsthost.h"
#include "song/engine.h"
#include "song/softengine.h"
#include "song/song_invariants.h"
#include "support/recording_synths.h"

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

using namespace platform;
using namespace transporttest;

namespace {

using Transport = TransportFixture;

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
    // The arrange window's position posts have moved the song position along meanwhile.
    const int shown = Song->Position;
    ASSERT_TRUE(fmMdi->PausePlayback());
    EXPECT_EQ(Song->State, 0);
    EXPECT_EQ(Song->Position, stopped + 1);
    EXPECT_EQ(windows.Cursor, (std::vector<int>{shown, stopped + 1}));
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

// Guarded edits of every kind while another thread renders block after block of the playing
// song: nothing the renderer walks changes under it (run under AddressSanitizer by make asan).
TEST_F(Transport, RandomGuardedEditsWhileBlocksRender) {
    OpenAudio();
    Song->TrackAt(1)->Mode = tmMidi;
    fmMdi->StartPlayback(false);
    std::atomic<bool> done{false};
    std::thread audio([&] {
        while (!done)
            run(1, 64);
    });
    std::uint32_t seed = 12345;
    auto next = [&](std::uint32_t N) {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<int>((seed >> 8) % N);
    };
    for (int i = 0; i < 10000; ++i) {
        TEditGuard guard;
        ASSERT_TRUE(guard) << i;
        _TTrack* t = Song->TrackAt(next(2));
        switch (next(4)) {
        case 0: // a note into the first part
            if (t->Parts) {
                _TPart* p = t->Parts;
                InsertEvent(p, NewEvent(next(1920), 0x600090u | unsigned(next(128)) << 8));
            }
            break;
        case 1: // a part goes
            if (t->Parts) DeletePart(t, t->Parts);
            break;
        case 2: { // a new part with a few notes
            _TPart* p = NewPart("Edit", next(16) * 480, 960, t == Song->TrackAt(0) ? 0 : 1);
            for (int n = 0; n < 4; ++n)
                AppendEvent(p, NewEvent(next(240), 0x647890u));
            if (!InsertPart(t, p)) FreePart(p);
            break;
        }
        default: // elsewhere in the song
            Song->Position = next(7680);
            break;
        }
    }
    done = true;
    audio.join();
    EXPECT_EQ(Song->State, 2);
    EXPECT_FALSE(Paused);
    fmMdi->StopPlayback(false);
    EXPECT_TRUE(RendererFree());
    EXPECT_TRUE(CheckSongInvariants(*Song));
}

// The 16-bit engine records the input itself; Stop collects it into the record part.
class EngineTransport : public TransportFixture {
protected:
    EngineTransport() { EngineMode = true; }
    void Settle() {
        auto settle = reinterpret_cast<void (*)()>(
            GetProcAddress(LoadLibrary(TOLVERN_BIN_DIR "/midiengine.dll"), "MidiEngineSettle"));
        if (settle) settle();
    }
};

TEST_F(EngineTransport, StopCollectsTheRecordedInputAndNothingGoesBeforeThePart) {
    ASSERT_EQ(MidiMode, 0);
    // No count-in: the options window gave the engine the song's four beats at start-up.
    Song->Precounts = 0;
    OptionsSendMetronome();
    Song->CurrentTrackIndex = 1;
    _TTrack* t = Song->TrackAt(1);
    t->Mode = tmMidi;
    _TPart* part = NewPart("Take", 480, 1920, 1);
    ASSERT_TRUE(InsertPart(t, part));
    Song->RecordPart = part;
    Midi->Record(0, 0, 0, false);
    ASSERT_EQ(Song->State, 1);
    Settle();
    gui.Advance(125); // tick 60, before the part
    keys.Send({0x90, 60, 100});
    Settle();
    gui.Advance(1125); // tick 600
    keys.Send({0x80, 60, 0});
    fmMdi->StopPlayback(false);
    EXPECT_EQ(Song->State, 0);
    EXPECT_EQ(Song->RecordPart, nullptr);
    std::vector<std::pair<int, std::uint32_t>> got; // tick in the part, message
    for (_TEvent* e = part->Events; e; e = e->Next)
        got.push_back({EventTime(part, e), e->Msg & 0xFFFFFF});
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], (std::pair<int, std::uint32_t>{0, 0x643C90}));
    EXPECT_EQ(got[1].second, 0x3C80u);
    EXPECT_NEAR(got[1].first, 120, 2);
}

// The WAV-file driver calls blocks in real time on its own thread.
class RealTimeTransport : public TransportFixture {
protected:
    RealTimeTransport() { AudioSettings = "[Audio]\nSystem=wavefile\nDevice=0\nFrames=256\n"; }
    void SetUp() override {
        setenv("TOLVERN_WAVE_FILE", (wave.Path() + "out.wav").c_str(), 1);
        TransportFixture::SetUp();
        // The softsynth notes when its command 12 comes while a block may render.
        recorder.R.Command = &CheckedCommand;
        Current = this;
        ASSERT_TRUE(SoftEngine->AddSoftsynth("recmfx"));
        Song->TrackAt(1)->Mode = tmSoftsynth;
        Song->TrackAt(1)->Output = 0;
    }
    void TearDown() override {
        TransportFixture::TearDown();
        Current = nullptr;
        unsetenv("TOLVERN_WAVE_FILE");
    }
    static intptr_t CheckedCommand(TMfxInterface* R, std::int32_t Cmd, intptr_t A, intptr_t B) {
        if (Cmd == MFX_POSITION && A == 0 && Current && RendererFree()) ++Current->freeNotesOff;
        return RecordingMfx::Command(R, Cmd, A, B);
    }
    // Real time passes, blocks come.
    static void Wait(int Ms) { std::this_thread::sleep_for(std::chrono::milliseconds(Ms)); }
    // The audio thread counts them.
    int BlocksSoFar() { return std::atomic_ref<int>(recorder.Blocks).load(); }

    TempDir wave;
    RecordingMfx recorder;
    int freeNotesOff = 0;
    static inline RealTimeTransport* Current = nullptr;
};

TEST_F(RealTimeTransport, NoBlockRendersWhileTheGuardHoldsAndTheSoftsynthIsToldInBetween) {
    OpenAudio();
    Wait(50);
    ASSERT_GT(BlocksSoFar(), 2) << "the driver renders in real time";
    fmMdi->StartPlayback(false);
    Wait(50);
    for (int round = 0; round < 5; ++round) {
        ASSERT_TRUE(fmMdi->PausePlayback());
        const int blocks = BlocksSoFar();
        EXPECT_EQ(recorder.NotesOff, 2 * round + 1);
        Wait(40); // a handful of blocks' time: all silence
        EXPECT_EQ(BlocksSoFar(), blocks) << round;
        fmMdi->ResumePlayback();
        Wait(40);
        EXPECT_GT(BlocksSoFar(), blocks) << round;
        EXPECT_EQ(Song->State, 2);
        fmMdi->StopPlayback(false);
        fmMdi->StartPlayback(false);
    }
    fmMdi->StopPlayback(false);
    EXPECT_EQ(freeNotesOff, 0) << "command 12 came while a block could render";
    EXPECT_EQ(windows.UnheldBroadcasts, 0) << "Play or Stop told the editors outside the hold";
    EXPECT_EQ(recorder.NotesOff, 11);
}

} // namespace
