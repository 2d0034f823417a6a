// Softsynths played block by block through the scripted audio driver: which events each
// plug-in gets in which block and at which frame.

#include "devices/audio.h"
#include "devices/mfx.h"
#include "devices/midi.h"
#include "devices/midimsg.h"
#include "platform/core/dynlib.h"
#include "platform/core/paths.h"
#include "song/audioengine.h"
#include "song/primitives.h"
#include "song/softengine.h"
#include "song/song.h"
#include "song/timebase.h"
#include "support/recording_synths.h"
#include "support/temp_settings.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

enum class Kind { Vst, Own };

// The sample at which a tick plays, worked out here on its own: ticks x rate / (4 x tempo),
// halves to even.
int SampleOf(int Tick, int Tempo, double Rate = 44100.0) {
    return static_cast<int>(std::nearbyint(Tick * Rate / (4.0 * Tempo)));
}

class SoftsynthBlocks : public testing::Test {
protected:
    void SetUp() override {
        platform::SetProgramFolder(TOLVERN_BIN_DIR "/");
        settings.WriteIni("[Audio]\nSystem=scripted\nFrames=256\n");
        Midi = &midi;
        Song = new TSong;
        audio = new TAudio(0);
        ASSERT_NE(audio->Library, 0);
        run =
            reinterpret_cast<RunFn>(platform::GetProcAddress(audio->Library, "ScriptedRunBlocks"));
        audio->Open(0);
        audio->Start();
        ASSERT_TRUE(audio->Running);
    }
    void TearDown() override {
        delete audio;
        delete Song;
        Song = nullptr;
        Midi = nullptr;
    }

    TSoftItem* AddSynth(Kind K) {
        TSoftItem* item = SoftEngine->AddSoftsynth(K == Kind::Vst ? "recvst" : "recmfx");
        TSoftEngine::UpdateMuteSolo();
        return item;
    }
    std::vector<TGotEvent>& Got(Kind K) { return K == Kind::Vst ? vst.Events : mfx.Events; }
    int& Blocks(Kind K) { return K == Kind::Vst ? vst.Blocks : mfx.Blocks; }

    // Track Track plays softsynth Synth on Channel, with one part of the events given at ticks
    // from the song start.
    _TPart* AddTrackPart(int Track, int Synth, int Channel, int Start, int Length,
                         const std::vector<std::pair<int, std::uint32_t>>& Events) {
        _TTrack& t = *Song->TrackAt(Track);
        t.Mode = tmSoftsynth;
        t.Output = Synth;
        t.Channel = Channel;
        _TPart* p = NewPart("", Start, Length, Track);
        int last = Start;
        for (auto& [tick, msg] : Events) {
            AppendEvent(p, NewEvent(tick - last, msg));
            last = tick;
        }
        EXPECT_TRUE(InsertPart(&t, p));
        return p;
    }

    // The play command's part of the engines, and a clean record from the first block on.
    void Play(int Tick) {
        Song->State = 2;
        Song->Locate(Tick, true);
        for (Kind k : {Kind::Vst, Kind::Own}) {
            Got(k).clear();
            Blocks(k) = 0;
        }
    }
    // The stop command's part of the engines.
    void Stop() {
        StopSoftsynthNotes();
        Song->State = 0;
        SoftEngine->ResetQueues();
    }
    int Run(int Count, int Frames = 0) { return run(Count, Frames); }

    using RunFn = std::int32_t (*)(std::int32_t, std::int32_t);
    TempSettings settings;
    TMIDI midi;
    TAudio* audio = nullptr;
    RunFn run = nullptr;
    RecordingVst vst;
    RecordingMfx mfx;
};

std::uint32_t On(int Channel, int Key, int Velocity = 100) {
    return PackMidiMsg(0x90 + static_cast<std::uint32_t>(Channel), static_cast<std::uint32_t>(Key),
                       static_cast<std::uint32_t>(Velocity));
}
std::uint32_t Off(int Channel, int Key) {
    return PackMidiMsg(0x80 + static_cast<std::uint32_t>(Channel), static_cast<std::uint32_t>(Key),
                       0);
}
// Controller messages that carry their index.
std::uint32_t Numbered(int I) {
    return PackMidiMsg(0xB0, static_cast<std::uint32_t>(I % 128),
                       static_cast<std::uint32_t>(I / 128 % 128));
}

class BothKinds : public SoftsynthBlocks, public testing::WithParamInterface<Kind> {};

TEST_P(BothKinds, EqualTicksShareAFrameInQueueOrder) {
    const Kind k = GetParam();
    AddSynth(k);
    AddTrackPart(0, 0, 0, 0, 960, {{10, On(5, 60)}, {10, On(5, 64)}});
    AddTrackPart(1, 0, 1, 0, 960, {{10, On(0, 62)}});
    Play(0);
    Run(5);
    // Tick 10 is sample 918.75 -> 919: block 3 (from 768), frame 151. The track's channel
    // replaces the event's; the part's second event queues behind the other track's.
    EXPECT_EQ(Got(k), (std::vector<TGotEvent>{
                          {3, 151, On(0, 60)}, {3, 151, On(1, 62)}, {3, 151, On(0, 64)}}));
}

TEST_P(BothKinds, AfterStopEveryHeldNoteIsReleasedAtFrameZeroOncePerNoteOn) {
    const Kind k = GetParam();
    AddSynth(k);
    AddTrackPart(0, 0, 0, 0, 960,
                 {{10, On(0, 60)}, {20, On(0, 60)}, {30, On(0, 64)}, {40, Off(0, 64)}});
    Play(0);
    Run(20);
    ASSERT_EQ(Got(k).size(), 4u);
    Got(k).clear();
    Stop();
    Run(2);
    EXPECT_EQ(Got(k), (std::vector<TGotEvent>{{20, 0, On(0, 60, 0)}, {20, 0, On(0, 60, 0)}}));
    if (k == Kind::Own) {
        EXPECT_EQ(mfx.NotesOff, 1);
    }
    // Stopping a stopped song sends all notes off as a live event too.
    Got(k).clear();
    StopSoftsynthNotes();
    Run(1);
    EXPECT_EQ(Got(k), (std::vector<TGotEvent>{{22, 0, PackMidiMsg(0xB0, 123, 0)}}));
}

TEST_P(BothKinds, EventsBeyondWhatOneBlockTakesFollowInOrderAtFrameZero) {
    // A VST plug-in takes 1024 events a block; the own interface as many as the pool holds.
    const Kind k = GetParam();
    const int count = k == Kind::Vst ? 1500 : TimedPoolSize + 100;
    const int first = k == Kind::Vst ? MaxBlockEvents : TimedPoolSize;
    AddSynth(k);
    std::vector<std::pair<int, std::uint32_t>> events;
    for (int i = 0; i < count; ++i)
        events.push_back({10, Numbered(i)});
    AddTrackPart(0, 0, -1, 0, 960, events);
    Play(0);
    Run(6);
    const std::vector<TGotEvent>& got = Got(k);
    ASSERT_EQ(got.size(), static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const TGotEvent want =
            i < first ? TGotEvent{3, 151, Numbered(i)} : TGotEvent{4, 0, Numbered(i)};
        ASSERT_EQ(got[static_cast<std::size_t>(i)], want) << "event " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Softsynth, BothKinds, testing::Values(Kind::Vst, Kind::Own),
                         [](const auto& info) { return info.param == Kind::Vst ? "Vst" : "Own"; });

TEST_F(SoftsynthBlocks, FramesFollowTempoAndRateAndBlockEdges) {
    struct Case {
        int tick, tempo, frames;
    } cases[] = {
        {2, 120, 256},   // 183.75 -> 184
        {4, 120, 256},   // 367.5 -> 368, a half goes to even
        {12, 120, 256},  // 1102.5 -> 1102
        {239, 120, 256}, // 21958.125 -> 21958
        {100, 137, 256}, // 8047.44...
        {8, 120, 368},   // 735: the last frame of block 1
        {8, 120, 245},   // 735: the first frame of block 3
    };
    AddSynth(Kind::Vst);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "tick " << c.tick << " tempo " << c.tempo << " frames " << c.frames);
        midi.Tempo = c.tempo;
        for (_TPart* p = Song->TrackAt(0)->Parts; p;) {
            _TPart* next = p->Next;
            DeletePart(Song->TrackAt(0), p);
            p = next;
        }
        AddTrackPart(0, 0, 0, 0, 960, {{c.tick, On(0, 60)}});
        Play(0);
        const int sample = SampleOf(c.tick, c.tempo);
        Run(sample / c.frames + 2, c.frames);
        EXPECT_EQ(vst.Events,
                  (std::vector<TGotEvent>{{sample / c.frames, sample % c.frames, On(0, 60)}}));
    }
}

TEST_F(SoftsynthBlocks, HeldNoteAtALoopWrapIsReleasedOneTickBeforeTheLoopEnd) {
    AddSynth(Kind::Vst);
    AddTrackPart(0, 0, 0, 0, 1920, {{900, On(0, 60)}, {1200, Off(0, 60)}});
    Song->LeftLocator = 0;
    Song->RightLocator = 960;
    Song->LoopOn = 1;
    Play(0);
    Run(700);
    // Tick 900 is sample 82687.5 -> 82688 (block 323), tick 959 sample 88108 (block 344 from
    // 88064); the second pass plays them 960 ticks later. The note-off at 1200 never plays.
    EXPECT_EQ(vst.Events, (std::vector<TGotEvent>{{323, 0, On(0, 60)},
                                                  {344, 44, On(0, 60, 0)},
                                                  {667, 136, On(0, 60)},
                                                  {688, 180, On(0, 60, 0)}}));
}

TEST_F(SoftsynthBlocks, AnEmptyLoopingQueuePlaysWhatIsRecordedFromTheNextPass) {
    // Recording into an empty part in the third pass of a one-bar loop: the note comes in the
    // fourth pass at its place, not at a time already gone.
    AddSynth(Kind::Vst);
    _TPart* part = AddTrackPart(0, 0, 0, 0, 960, {});
    Song->LeftLocator = 0;
    Song->RightLocator = 960;
    Song->LoopOn = 1;
    Song->State = 1;
    Song->Locate(0, true);
    const int passSamples = SampleOf(960, 120); // 88200
    Run(2 * passSamples / 256 + 10);
    AppendEvent(part, NewEvent(500, On(0, 60)));
    Run(2 * passSamples / 256);
    // Held at the loop end, it is released one tick before it.
    const int on = SampleOf(3 * 960 + 500, 120), off = SampleOf(3 * 960 + 959, 120);
    EXPECT_EQ(vst.Events, (std::vector<TGotEvent>{{on / 256, on % 256, On(0, 60)},
                                                  {off / 256, off % 256, On(0, 60, 0)}}));
}

TEST_F(SoftsynthBlocks, EventsRoutedFromASynthWithoutOutputsAreHeardInTheSameBlock) {
    AddSynth(Kind::Vst); // number 0, with outputs
    mfx.Outputs = 0;
    AddSynth(Kind::Own); // number 1, processed first all the same
    ASSERT_EQ(SoftEngine->GetItem(1)->OutputCount, 0);
    Run(2);
    // 9 names no softsynth; one sent to itself, already processed, waits for the next block.
    mfx.Emit = {
        {17, On(3, 70), 0, nullptr}, {5, On(3, 72), 9, nullptr}, {40, On(3, 74), 1, nullptr}};
    Run(2);
    EXPECT_EQ(vst.Events, (std::vector<TGotEvent>{{2, 17, On(3, 70)}}));
    EXPECT_EQ(mfx.Events, (std::vector<TGotEvent>{{3, 40, On(3, 74)}}));
}

TEST_F(SoftsynthBlocks, ASynthSwitchedOffKeepsTimeAndReleasesWhatItHeldWhenOnAgain) {
    TSoftItem* item = AddSynth(Kind::Vst);
    // 60 on at tick 5 (sample 459: block 1); while off: 60 off at 8 (735) and 62 on at 10
    // (919); after: 64 on at 12 (1102.5 -> 1102: block 4, frame 78).
    AddTrackPart(0, 0, 0, 0, 960,
                 {{5, On(0, 60)}, {8, Off(0, 60)}, {10, On(0, 62)}, {12, On(0, 64)}});
    Play(0);
    Run(2);
    item->Plugin->Enabled = 0;
    Run(2);
    item->Plugin->Enabled = 1;
    Run(2);
    // Blocks are counted by the plug-in, which did not process the two blocks while off.
    EXPECT_EQ(vst.Events, (std::vector<TGotEvent>{
                              {1, 203, On(0, 60)}, {2, 0, On(0, 60, 0)}, {2, 78, On(0, 64)}}));
}

TEST_F(SoftsynthBlocks, StopDuringThruInputLosesNothingAndKeepsTheOrder) {
    TSoftItem* item = AddSynth(Kind::Vst);
    AddTrackPart(0, 0, 0, 0, 960, {{5, On(0, 60)}});
    Play(0);
    Run(2);
    vst.Events.clear();
    TMFX* thru = SoftEngine->InputPlugin(0);
    ASSERT_EQ(thru, item->Plugin.get());
    // The MIDI input callback's thread feeds the thru while blocks run and the song stops.
    constexpr int count = 3000;
    std::atomic<bool> go{false};
    std::thread input([&] {
        while (!go)
            std::this_thread::yield();
        for (int i = 0; i < count; ++i)
            while (!thru->AddInputEvent(Numbered(i)))
                std::this_thread::yield();
    });
    item->Plugin->AddEvent(true, On(0, 48)); // the GUI's live event comes first
    go = true;
    Run(3);
    Stop();
    while (vst.Events.size() < count + 2u && vst.Blocks < 100000)
        Run(1);
    input.join();
    Run(1);
    ASSERT_EQ(vst.Events.size(), count + 2u);
    EXPECT_EQ(vst.Events[0].Msg, On(0, 48));
    int next = 0, releases = 0;
    for (std::size_t i = 1; i < vst.Events.size(); ++i) {
        const TGotEvent& e = vst.Events[i];
        EXPECT_EQ(e.Frame, 0);
        if (e.Msg == On(0, 60, 0)) {
            ++releases;
            continue;
        }
        ASSERT_EQ(e.Msg, Numbered(next)) << "event " << i;
        ++next;
    }
    EXPECT_EQ(next, count);
    EXPECT_EQ(releases, 1); // the song's held note, once
}

} // namespace

namespace {

std::int16_t Sample16(const std::string& Wav, std::size_t Index) {
    const std::size_t at = 44 + 2 * Index;
    return static_cast<std::int16_t>(static_cast<std::uint8_t>(Wav[at]) |
                                     static_cast<std::uint8_t>(Wav[at + 1]) << 8);
}

// A song of one softsynth track on the example VST instrument, rendered by the WAV-file driver
// as fast as it goes: every note starts on the frame its tick gives at the tempo and rate.
TEST(SoftsynthRender, NoteOnsetsOfAVstInstrumentLandOnTheirFrames) {
    TempSettings settings;
    TempDir dir;
    platform::SetProgramFolder(TOLVERN_BIN_DIR "/");
    settings.WriteIni("[Audio]\nSystem=WaveFile\nFrames=512\n");
    setenv("TOLVERN_WAVE_FILE", (dir.Path() + "song.wav").c_str(), 1);
    TMIDI midi;
    Midi = &midi;
    Song = new TSong;
    auto* audio = new TAudio(0);
    ASSERT_NE(audio->Library, 0);
    audio->SetDevice(1);
    audio->Open(0);
    ASSERT_TRUE(audio->AudioOn);

    TSoftItem* item = SoftEngine->AddSoftsynth(TOLVERN_BIN_DIR "/synth/tvsynth.so");
    ASSERT_TRUE(item->Plugin->Loaded);
    item->Plugin->SetParameter(1, 1.0); // a saw: its first sample after an onset is not 0
    item->Plugin->SetParameter(2, 0.0); // a short release, so that silence parts the notes
    TSoftEngine::UpdateMuteSolo();
    const int ticks[] = {100, 340, 600};
    _TTrack& t = *Song->TrackAt(0);
    t.Mode = tmSoftsynth;
    t.Output = 0;
    _TPart* p = NewPart("", 0, 960, 0);
    int last = 0;
    for (int tick : ticks) {
        AppendEvent(p, NewEvent(tick - last, PackMidiMsg(0x90, 57, 100)));
        AppendEvent(p, NewEvent(60, PackMidiMsg(0x80, 57, 0)));
        last = tick + 60;
    }
    ASSERT_TRUE(InsertPart(&t, p));

    Song->State = 2;
    Song->Locate(0, true);
    audio->Start();
    for (int i = 0; i < 1000 && Song->AudioEngine->RenderedSamples < 70000; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    audio->Stop();
    Song->State = 0;
    unsetenv("TOLVERN_WAVE_FILE");
    delete audio;

    const std::string wav = dir.ReadFile("song.wav");
    ASSERT_GE(wav.size(), 44u + 70000u * 4);
    std::vector<int> onsets;
    int quiet = 0;
    for (std::size_t f = 0; 44 + 4 * f + 4 <= wav.size(); ++f) {
        const std::int16_t left = Sample16(wav, 2 * f), right = Sample16(wav, 2 * f + 1);
        if (left == 0 && right == 0) {
            ++quiet;
            continue;
        }
        if (quiet >= 1000) onsets.push_back(static_cast<int>(f));
        quiet = 0;
    }
    std::vector<int> want;
    for (int tick : ticks)
        want.push_back(SampleOf(tick, 120)); // 9188, 31238, 55125
    EXPECT_EQ(onsets, want);
    delete Song;
    Song = nullptr;
    Midi = nullptr;
}

} // namespace
