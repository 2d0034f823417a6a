#include "devices/dxsounds.h"
#include "devices/midimsg.h"
#include "scheduler_fixture.h"
#include "song/audioengine.h"
#include "song/engine.h"
#include "song/softengine.h"
#include "song_fixture.h"

#include <cstring>
#include <memory>
#include <vector>

namespace {

struct AudioOnline : TMidiAudio {
    bool AudioOn() override { return true; }
};

std::uint32_t On(int Slot, int Volume = 127, int Pan = 127) {
    return PackMidiMsg(msSampleOn, static_cast<std::uint32_t>(Slot),
                       static_cast<std::uint32_t>(Volume)) |
           static_cast<std::uint32_t>(Pan) << 24;
}
std::uint32_t Off(int Slot) {
    return PackMidiMsg(msSampleOff, static_cast<std::uint32_t>(Slot), 0);
}

// Sample voices rendered offline: at tempo 105 a tick is 105 frames at 44,100 Hz. Pool
// samples are 44,100 Hz mono 16-bit ramps, frame i holding 8 * (i + 1), so that every output
// frame tells which sample frame made it.
class SampleVoiceTest : public SongTest {
protected:
    void SetUp() override {
        SongTest::SetUp();
        SetMidiAudio(&audio);
        midi.Tempo = 105;
    }
    void TearDown() override {
        SetMidiAudio(nullptr);
        SongTest::TearDown();
    }
    // A new song for the next case of a table.
    void NewSong() {
        delete Song;
        Song = new TSong;
    }

    // A pool sample of Frames frames; its index.
    int AddSample(int Frames, int Rate = 44100) {
        TWaveCollectionItem* item = Song->SamplePool->Items.Add();
        item->Wave.SetPCMFormat(Rate, 16, 1);
        item->Wave.SetSize(2 * Frames);
        for (int i = 0; i < Frames; ++i) {
            std::int16_t v = static_cast<std::int16_t>(8 * (i + 1));
            std::memcpy(item->Wave.Data() + 2 * i, &v, 2);
        }
        return Song->SamplePool->Items.Count() - 1;
    }
    // A sample slot of an audio track, naming a pool sample.
    TSample& AddSlot(int Track, int Index) {
        _TTrack& t = *Song->Tracks[static_cast<std::size_t>(Track)];
        t.Mode = tmAudio;
        t.Samples.push_back(std::make_unique<TSample>());
        t.Samples.back()->Index = Index;
        return *t.Samples.back();
    }
    // Locates at Tick and renders Blocks blocks of Frames frames; the interleaved output.
    std::vector<float> Play(int Tick, int Blocks, int Frames, int State = 2) {
        Song->Locate(Tick, true);
        Song->State = State;
        TSoftEngine::UpdateMuteSolo();
        std::vector<float> out;
        std::vector<float> block(2 * static_cast<std::size_t>(Frames));
        for (int b = 0; b < Blocks; ++b) {
            Song->Render(block.data(), Frames);
            out.insert(out.end(), block.begin(), block.end());
        }
        return out;
    }
    // The left channel of a ramp sample's frame First onwards, starting at output frame At,
    // Count frames, scaled by Level (volume 127 and pan 127 give 1).
    static void ExpectRamp(const std::vector<float>& Out, int At, int First, int Count,
                           double Level = 1.0) {
        for (int i = 0; i < Count; ++i) {
            float want = static_cast<float>(8 * (First + i + 1) / 32768.0 * Level);
            ASSERT_FLOAT_EQ(Out[2 * static_cast<std::size_t>(At + i)], want)
                << "frame " << At + i;
            ASSERT_EQ(Out[2 * static_cast<std::size_t>(At + i) + 1], 0.0f);
        }
    }
    static void ExpectSilence(const std::vector<float>& Out, int From, int To) {
        for (int f = 2 * From; f < 2 * To; ++f)
            ASSERT_EQ(Out[static_cast<std::size_t>(f)], 0.0f) << "value " << f;
    }

    AudioOnline audio;
};

TEST_F(SampleVoiceTest, TrackAndSlotVolumeGiveTheLevel) {
    struct Case {
        int trackVolume;
        float slotVolume;
        int noteVolume;
        double level;
    } cases[] = {
        {-1, 1.0f, 127, 1.0},          // level 127, velocity 127
        {64, 1.0f, 127, 64.0 / 127},   // level 64, velocity 64
        {-1, 0.5f, 127, 64.0 / 127},   // round(63.5) = 64
        {-1, 1.0f, 64, 64.0 / 127},    // velocity round(64 * 127 / 127)
        {127, 0.25f, 100, 25.0 / 127}, // level 32, velocity round(100 * 32 / 127) = 25
    };
    for (const Case& c : cases) {
        NewSong();
        AddSlot(0, AddSample(50)).Volume = c.slotVolume;
        Song->Tracks[0]->Volume = c.trackVolume;
        AddPart(0, 0, 960, {{0, On(0, c.noteVolume)}, {2, Off(0)}});
        auto out = Play(0, 1, 64);
        ExpectRamp(out, 0, 0, 50, c.level);
        ExpectSilence(out, 50, 64);
    }
}

TEST_F(SampleVoiceTest, NoteLengthOnlyWithoutFR) {
    // One tick is 2.38 ms, that is 2 ms or 88 frames; FR plays the whole sample, and so does a
    // note whose length rounds to 0 ms.
    struct Case {
        bool fr;
        int length, frames;
    } cases[] = {{true, 1, 300}, {false, 1, 88}, {false, 0, 300}};
    for (const Case& c : cases) {
        NewSong();
        AddSlot(0, AddSample(300)).FR = c.fr;
        AddPart(0, 0, 960, {{10, On(0)}, {10 + c.length, Off(0)}});
        auto out = Play(0, 2, 1050);
        ExpectRamp(out, 1050, 0, c.frames);
        ExpectSilence(out, 1050 + c.frames, 2100);
    }
}

TEST_F(SampleVoiceTest, SlotBusPicksTheSlotBuffer) {
    // Bus 40 names no slot buffer: the first slot's buffer. Bus 1 plays through the second
    // output slot, which sends nowhere while inactive.
    AddSlot(0, AddSample(20)).Bus = 40;
    AddSlot(1, AddSample(20)).Bus = 1;
    AddPart(0, 0, 960, {{0, On(0)}, {1, Off(0)}});
    AddPart(1, 0, 960, {{0, On(0)}, {1, Off(0)}});
    auto out = Play(0, 1, 32);
    ExpectRamp(out, 0, 0, 20);
    ExpectSilence(out, 20, 32);
}

TEST_F(SampleVoiceTest, ANoteContinuesAcrossBlocks) {
    AddSlot(0, AddSample(300));
    AddPart(0, 0, 960, {{1, On(0)}, {2, Off(0)}, {20, On(0)}, {21, Off(0)}});
    auto out = Play(0, 6, 64); // the note starts at frame 105 and runs through four blocks
    ExpectSilence(out, 0, 105);
    ExpectRamp(out, 105, 0, 279);
}

TEST_F(SampleVoiceTest, ALocateIntoANoteContinuesWhereTheTickFalls) {
    AddSlot(0, AddSample(300));
    AddPart(0, 0, 960, {{0, On(0)}, {5, Off(0)}});
    auto out = Play(1, 2, 128); // one tick in: 105 frames of the sample are behind
    ExpectRamp(out, 0, 105, 195);
    ExpectSilence(out, 195, 256);
}

TEST_F(SampleVoiceTest, ALoopWrapPlaysTheNoteAgain) {
    AddSlot(0, AddSample(100));
    AddPart(0, 0, 960, {{0, On(0)}, {1, Off(0)}});
    Song->LoopOn = 1;
    Song->LeftLocator = 0;
    Song->RightLocator = 4; // 420 frames
    auto out = Play(0, 12, 105);
    for (int pass = 0; pass < 3; ++pass) {
        ExpectRamp(out, 420 * pass, 0, 100);
        ExpectSilence(out, 420 * pass + 100, 420 * pass + 420);
    }
}

TEST_F(SampleVoiceTest, SilentDuringThePrecount) {
    AddSlot(0, AddSample(50));
    AddPart(0, 0, 960, {{0, On(0)}, {1, Off(0)}});
    Song->Locate(0, true);
    Song->AudioEngine->PrecountTicks = 3;
    Song->State = 1;
    TSoftEngine::UpdateMuteSolo();
    std::vector<float> out(2 * 512);
    Song->Render(out.data(), 512);
    ExpectSilence(out, 0, 315);
    ExpectRamp(out, 315, 0, 50);
}

TEST_F(SampleVoiceTest, MissingSlotsAndSamplesAreSkipped) {
    AddSlot(0, AddSample(20));
    AddSlot(0, 7); // slot 1: a pool sample that does not exist
    AddPart(0, 0, 960,
            {{0, On(5)}, {0, On(1)}, {1, Off(5)}, {1, Off(1)}, {2, On(0)}, {3, Off(0)}});
    AddSlot(1, 0);
    AddPart(1, 0, 960, {{4, On(0)}, {5, Off(0)}});
    auto out = Play(0, 1, 512);
    ExpectSilence(out, 0, 210);
    ExpectRamp(out, 210, 0, 20);
    ExpectRamp(out, 420, 0, 20);
    EXPECT_EQ(Song->AudioEngine->RenderedSamples, 512);
}

TEST_F(SampleVoiceTest, FormatsThatCannotPlayFinishTheNote) {
    AddSlot(0, AddSample(20, 48000));
    AddSlot(0, AddSample(20));
    Song->SamplePool->Items.GetItem(1)->Wave.SetFormatSize(12); // a record cut short
    AddSlot(0, AddSample(20));
    Song->SamplePool->Items.GetItem(2)->Wave.SetFormatSize(0);
    AddSlot(0, AddSample(20));
    Song->SamplePool->Items.GetItem(3)->Wave.SetPCMFormat(44100, 24, 2);
    _TPart* p =
        AddPart(0, 0, 960, {{0, On(0)}, {0, On(1)}, {0, On(2)}, {0, On(3)}, {1, Off(0)}});
    auto out = Play(0, 1, 128);
    ExpectSilence(out, 0, 128);
    for (_TEvent* e = p->Events; e; e = e->Next)
        EXPECT_EQ(e->PlayMark, -1);
}

TEST_F(SampleVoiceTest, ANoteStartingOnTheBlockEndPlaysInTheNextBlock) {
    // At tempo 250 a tick is 44.1 frames: tick 7 rounds to frame 309, the end of a block of
    // 309 frames, though the tick itself lies just inside it.
    midi.Tempo = 250;
    AddSlot(0, AddSample(50));
    AddPart(0, 0, 960, {{7, On(0)}, {8, Off(0)}});
    auto out = Play(0, 2, 309);
    ExpectSilence(out, 0, 309);
    ExpectRamp(out, 309, 0, 50);
}

} // namespace
