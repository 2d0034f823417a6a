#include "devices/audio.h"
#include "song/audioengine.h"
#include "song/render.h"
#include "song/softengine.h"
#include "song/subengine.h"
#include "song/timebase.h"
#include "song_fixture.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// Fills the slot buffers of fake owners with a constant frame and mixes them as the engines
// of each kind do: softsynths while the song is stopped too, track voices and disk voices
// only while it runs.
class FakeOwners : public TRenderEngines {
public:
    struct Owner {
        TSoftOut* Slot;
        TSlotOwner Kind;
        float L, R;
        int Index; // slot buffer (disk: the disk output's index)
    };
    std::vector<Owner> Owners;
    int Todos = 0;

    void RunTodos(TSong&) override { ++Todos; }
    void RenderSoftsynths(TSong& S, int Frames) override {
        MixKind(S, Frames, TSlotOwner::Softsynth);
    }
    void RenderSampleVoices(TSong& S, int Frames) override {
        MixKind(S, Frames, TSlotOwner::Track);
    }
    void ScheduleDiskBlock(TSong&, double) override {
        for (const Owner& o : Owners)
            if (o.Kind == TSlotOwner::Disk) Fill(o, MaxBlockFrames);
    }
    int SoftsynthSlots(TSoftOut** Slots, int Max) override {
        int n = 0;
        for (const Owner& o : Owners)
            if (o.Kind == TSlotOwner::Softsynth && n < Max) Slots[n++] = o.Slot;
        return n;
    }

private:
    static void Fill(const Owner& o, int Frames) {
        float* b = SampleMixBuffers[static_cast<std::size_t>(o.Index)].data();
        for (int f = 0; f < Frames; ++f) {
            b[2 * f] = o.L;
            b[2 * f + 1] = o.R;
        }
    }
    void MixKind(TSong& S, int Frames, TSlotOwner Kind) {
        for (const Owner& o : Owners) {
            if (o.Kind != Kind) continue;
            Fill(o, Frames);
            MixSlot(S, *o.Slot, SampleMixBuffers[static_cast<std::size_t>(o.Index)].data(), Kind,
                    Frames);
        }
    }
};

class RenderTest : public SongTest {
protected:
    void SetUp() override {
        SongTest::SetUp();
        SubEngine = &subs;
        songAudioEngine = Song->AudioEngine;
        Song->AudioEngine = &clock;
        SetRenderEngines(&owners);
    }
    void TearDown() override {
        SetRenderEngines(nullptr);
        Song->AudioEngine = songAudioEngine;
        SubEngine = nullptr;
        SongTest::TearDown();
    }
    TSub* AddBus(int Kind) {
        TSub* b = new TSub; // the engine frees it
        b->Kind = Kind;
        if (Kind == skGroupEffect || Kind == skSendEffect || Kind == skGroupVolume)
            subs.Buses.Append(b);
        if (Kind == skSendEffect) subs.SendBuses.Append(b);
        if (Kind == skMasterEffect) subs.MasterBuses.Append(b);
        return b;
    }
    // An audio track with a sample slot, so that mute and solo count its slots.
    TSoftOut& TrackSlot(int Track) {
        _TTrack& t = *Song->TrackAt(Track);
        t.Mode = tmAudio;
        if (t.Samples.empty()) t.Samples.push_back(std::make_unique<TSample>());
        return t.Outputs[0];
    }
    std::vector<float> Render(int Frames) {
        std::vector<float> out(2 * static_cast<std::size_t>(Frames), 9.0f);
        TSoftEngine::UpdateMuteSolo();
        Song->Render(out.data(), Frames);
        return out;
    }

    TSubEngine subs;
    TAudioEngine clock;
    TAudioEngine* songAudioEngine = nullptr;
    FakeOwners owners;
    TSoftOut synthSlot;
};

TEST_F(RenderTest, MasterVolumeAndClipping) {
    synthSlot.Active = 1;
    owners.Owners = {{&synthSlot, TSlotOwner::Softsynth, 0.6f, -0.7f, 0}};
    Song->MasterOut.Volume = 2.0f;
    auto out = Render(64);
    EXPECT_EQ(out[0], 1.0f);
    EXPECT_EQ(out[1], -1.0f);
    EXPECT_EQ(out[127], -1.0f);
    Song->MasterOut.Volume = 0.5f;
    out = Render(64);
    EXPECT_FLOAT_EQ(out[0], 0.3f);
    EXPECT_FLOAT_EQ(out[1], -0.35f);
    EXPECT_EQ(owners.Todos, 2); // the deferred actions run with every block
}

// The three pan laws, and what the send bus receives: the unpanned signal from track and
// disk slots, the panned one from softsynth slots.
TEST_F(RenderTest, PanLawsAndSends) {
    TSub* send = AddBus(skSendEffect);
    Song->State = 2;
    struct Case {
        TSlotOwner kind;
        float pan;
        float outL, outR, sendL, sendR;
    } cases[] = {
        {TSlotOwner::Track, -1.0f, 0.2f, 0.4f, 0.1f, 0.2f},
        {TSlotOwner::Track, 0.5f, 0.2f, 0.4f, 0.1f, 0.2f},
        {TSlotOwner::Disk, -1.0f, 0.4f, 0.0f, 0.1f, 0.2f},
        {TSlotOwner::Disk, 0.5f, 0.1f, 0.6f, 0.1f, 0.2f},
        {TSlotOwner::Softsynth, -1.0f, 0.4f, 0.0f, 0.2f, 0.0f},
        {TSlotOwner::Softsynth, 0.0f, 0.2f, 0.4f, 0.1f, 0.2f},
        {TSlotOwner::Softsynth, 0.5f, 0.1f, 0.6f, 0.05f, 0.3f},
    };
    for (const Case& c : cases) {
        TSoftOut& slot = c.kind == TSlotOwner::Track  ? TrackSlot(0)
                         : c.kind == TSlotOwner::Disk ? Song->DiskOutputs[0]
                                                      : synthSlot;
        slot.Active = 1;
        slot.Pan = c.pan;
        SetSendLevel(slot, 0, 0.5f);
        owners.Owners = {{&slot, c.kind, 0.2f, 0.4f, 0}};
        auto out = Render(16);
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.kind) << " pan " << c.pan);
        EXPECT_FLOAT_EQ(out[30], c.outL);
        EXPECT_FLOAT_EQ(out[31], c.outR);
        EXPECT_FLOAT_EQ(send->Buffer[30], c.sendL);
        EXPECT_FLOAT_EQ(send->Buffer[31], c.sendR);
        SetSendLevel(slot, 0, 0.0f);
        slot.Active = c.kind == TSlotOwner::Softsynth ? 0 : slot.Active.load();
        if (c.kind == TSlotOwner::Track) Song->TrackAt(0)->Mode = tmMidi;
    }
}

TEST_F(RenderTest, SlotOnMissingBusMakesNothing) {
    TSub* send = AddBus(skSendEffect);
    AddBus(skGroupVolume);
    AddBus(skGroupVolume);
    synthSlot.Active = 1;
    synthSlot.Bus = 5;
    SetSendLevel(synthSlot, 0, 1.0f);
    owners.Owners = {{&synthSlot, TSlotOwner::Softsynth, 0.5f, 0.5f, 0}};
    auto out = Render(8);
    for (float v : out)
        EXPECT_EQ(v, 0.0f);
    EXPECT_EQ(send->Buffer[0], 0.0f);
    EXPECT_EQ(synthSlot.PeakLeft, 0.0f);
    // The same slot on bus 2 (a group-volume bus) reaches the mix through it.
    synthSlot.Bus = 2;
    subs.Buses[2]->Volume = 0.5f;
    out = Render(8);
    EXPECT_FLOAT_EQ(out[0], 0.25f);
    EXPECT_FLOAT_EQ(send->Buffer[0], 0.5f);
    EXPECT_FLOAT_EQ(subs.Buses[2]->PeakLeft, 0.25f);
}

TEST_F(RenderTest, BusFeedingALaterBusIsDropped) {
    TSub* first = AddBus(skGroupVolume);
    AddBus(skGroupVolume);
    first->Output = 1; // processed after bus 1 has already gone to the mix
    synthSlot.Active = 1;
    synthSlot.Bus = 0;
    owners.Owners = {{&synthSlot, TSlotOwner::Softsynth, 0.5f, 0.5f, 0}};
    auto out = Render(8);
    EXPECT_EQ(out[0], 0.0f);
    // A bus output that names no bus adds nothing anywhere.
    first->Output = 7;
    out = Render(8);
    EXPECT_EQ(out[0], 0.0f);
}

TEST_F(RenderTest, StoppedSongKeepsPositionAndTrackMeters) {
    TSoftOut& track = TrackSlot(3);
    synthSlot.Active = 1;
    owners.Owners = {{&track, TSlotOwner::Track, 0.5f, 0.5f, 1},
                     {&synthSlot, TSlotOwner::Softsynth, 0.25f, 0.25f, 0}};
    track.PeakLeft = 0.9f; // last run's meter
    auto out = Render(100);
    EXPECT_EQ(clock.RenderedSamples, 0);
    EXPECT_FLOAT_EQ(out[0], 0.25f); // the softsynth sounds, the track does not
    EXPECT_EQ(track.PeakLeft, 0.0f);
    Song->State = 2;
    out = Render(100);
    EXPECT_EQ(clock.RenderedSamples, 100);
    EXPECT_FLOAT_EQ(out[0], 0.75f);
    EXPECT_FLOAT_EQ(track.PeakLeft, 0.5f);
}

TEST_F(RenderTest, NegativeSamplesDoNotRaiseMeters) {
    synthSlot.Active = 1;
    owners.Owners = {{&synthSlot, TSlotOwner::Softsynth, -0.5f, 0.3f, 0}};
    Render(8);
    EXPECT_EQ(synthSlot.PeakLeft, 0.0f);
    EXPECT_FLOAT_EQ(synthSlot.PeakRight, 0.3f);
}

TEST_F(RenderTest, MuteAndSolo) {
    TSoftOut& track = TrackSlot(0);
    TSoftOut& disk = Song->DiskOutputs[0];
    synthSlot.Active = 1;
    owners.Owners = {{&synthSlot, TSlotOwner::Softsynth, 0, 0, 0}};
    struct Case {
        int trackMute, trackSolo, diskMute, synthSolo;
        float track, disk, synth;
    } cases[] = {
        {0, 0, 0, 0, 1, 1, 1},
        {1, 0, 1, 0, 0, 0, 1},
        {1, 1, 0, 0, 1, 0, 0}, // muted and soloed sounds
        {0, 1, 0, 1, 1, 0, 1},
    };
    for (const Case& c : cases) {
        track.Mute = c.trackMute;
        track.Solo = c.trackSolo;
        disk.Mute = c.diskMute;
        synthSlot.Solo = c.synthSolo;
        TSoftEngine::UpdateMuteSolo();
        EXPECT_EQ(track.Gain, c.track);
        EXPECT_EQ(disk.Gain, c.disk);
        EXPECT_EQ(synthSlot.Gain, c.synth);
    }
    // A solo on a MIDI track's slot is no part of the rule.
    track.Solo = 0;
    synthSlot.Solo = 0;
    Song->TrackAt(5)->Outputs[0].Solo = 1;
    TSoftEngine::UpdateMuteSolo();
    EXPECT_EQ(track.Gain, 1.0f);
}

TEST_F(RenderTest, LongBlockRendersInPieces) {
    synthSlot.Active = 1;
    owners.Owners = {{&synthSlot, TSlotOwner::Softsynth, 0.5f, 0.25f, 0}};
    Song->State = 2;
    auto out = Render(30000);
    EXPECT_FLOAT_EQ(out[2 * 29999], 0.5f);
    EXPECT_FLOAT_EQ(out[2 * 29999 + 1], 0.25f);
    EXPECT_EQ(clock.RenderedSamples, 30000);
}

TEST_F(RenderTest, BlockThatFindsBusyPlaysSilence) {
    synthSlot.Active = 1;
    owners.Owners = {{&synthSlot, TSlotOwner::Softsynth, 0.5f, 0.5f, 0}};
    Song->State = 2;
    HoldRenderer();
    auto out = Render(32);
    ReleaseRenderer();
    for (float v : out)
        EXPECT_EQ(v, 0.0f);
    EXPECT_EQ(clock.RenderedSamples, 0);
    EXPECT_EQ(owners.Todos, 0);
    out = Render(32);
    EXPECT_FLOAT_EQ(out[0], 0.5f);
}

TEST_F(RenderTest, BlockPositionWrapsInTheLoop) {
    Song->State = 2;
    Song->Looping = 1;
    Song->LeftLocator = 960;
    Song->RightLocator = 1920;
    clock.StartSamples = TicksToSamples(1920 + 960 + 100); // past the right locator twice over
    Render(16);
    EXPECT_NEAR(BlockPosition.Ticks, 1060, 0.01);
    EXPECT_EQ(BlockPosition.Samples, TicksToSamples(BlockPosition.Ticks));
    clock.PrecountTicks = 480;
    clock.RenderedSamples = 0;
    Render(16);
    EXPECT_NEAR(BlockPosition.Ticks, 2980 - 480 - 960, 0.01);
}

} // namespace
