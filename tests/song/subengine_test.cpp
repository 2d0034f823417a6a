// Effect buses: adding, deleting and moving with every stored bus number and send level
// following, short names, output texts, and list changes while blocks render.

#include "devices/audio.h"
#include "devices/mfx.h"
#include "song/render.h"
#include "song/softengine.h"
#include "song/subengine.h"
#include "song/todo.h"
#include "song_fixture.h"
#include "support/recording_synths.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

class SubEngineTest : public SongTest {
protected:
    TSub* Add(int Kind) { return SubEngine->AddSub(Kind, "", -1); }
    TSoftOut& Slot(int Track, int S = 0) { return Song->TrackAt(Track)->Outputs[S]; }
    static float Send(TSoftOut& Slot, int J) { return Slot.Sends[J]; }
};

TEST_F(SubEngineTest, DeletingABusRenumbersEverySlotAndBus) {
    TSub* g0 = Add(skGroupEffect);
    TSub* s1 = Add(skSendEffect);
    TSub* s2 = Add(skSendEffect);
    TSub* g3 = Add(skGroupEffect);
    ASSERT_EQ(SubEngine->Count(), 4);
    ASSERT_EQ(SubEngine->SendBuses.size(), 2u);
    EXPECT_EQ(SubEngine->GroupBuses[1], g3);

    // A MIDI track has no sample slots now; it may get them later, so it is renumbered too.
    Slot(0).Bus = 2;
    Slot(1).Bus = 3;
    Slot(2).Bus = 1;
    Song->DiskOutputs[5].Bus = 3;
    g0->Output = 3;
    SetSendLevel(Slot(0), 0, 0.2f);
    SetSendLevel(Slot(0), 1, 0.7f);
    SetSendLevel(Slot(0), 127, 0.9f);
    SetSendLevel(Song->DiskOutputs[0], 1, 0.4f);

    // Deleting send bus 0 moves every second send level into the first.
    SubEngine->DeleteSub(s1);
    EXPECT_EQ(SubEngine->Count(), 3);
    EXPECT_EQ(SubEngine->SendBuses[0], s2);
    EXPECT_FLOAT_EQ(Send(Slot(0), 0), 0.7f);
    EXPECT_FLOAT_EQ(Send(Slot(0), 126), 0.9f);
    EXPECT_FLOAT_EQ(Send(Slot(0), 127), 0.9f); // the last keeps its value
    EXPECT_FLOAT_EQ(Send(Song->DiskOutputs[0], 0), 0.4f);
    EXPECT_EQ(Slot(0).Bus, 1);
    EXPECT_EQ(Slot(1).Bus, 2);
    EXPECT_EQ(Slot(2).Bus, -1); // it was on the deleted bus: the master mix
    EXPECT_EQ(Song->DiskOutputs[5].Bus, 2);
    EXPECT_EQ(g0->Output, 2);

    // Deleting bus 1 (s2) when a slot's Bus is 1: that slot goes to the master mix, the one on
    // 2 now names 1. The track gets sample slots afterwards and routes to the right bus.
    SubEngine->DeleteSub(s2);
    EXPECT_EQ(Slot(0).Bus, -1);
    EXPECT_EQ(Slot(1).Bus, 1);
    EXPECT_EQ(SubEngine->GetSub(1), g3);
    Song->TrackAt(1)->Mode = tmAudio;
    Song->TrackAt(1)->Samples.push_back(std::make_unique<TSample>());
    EXPECT_EQ(SubEngine->GetSub(Slot(1).Bus), g3);
    EXPECT_TRUE(SubEngine->SendBuses.empty());
}

TEST_F(SubEngineTest, MovingABusUpExchangesNumbersAndSendLevels) {
    TSub* vol = Add(skGroupVolume);
    TSub* g = Add(skGroupEffect);
    TSub* sa = Add(skSendEffect);
    TSub* sb = Add(skSendEffect);
    g->Output = 0; // bus 1 feeds the volume bus it is about to pass
    Slot(0).Bus = 0;
    Slot(1).Bus = 1;
    sb->Output = 1;
    SubEngine->MoveSubUp(g);
    EXPECT_EQ(SubEngine->GetSub(0), g);
    EXPECT_EQ(SubEngine->GetSub(1), vol);
    EXPECT_EQ(g->Output, -1);
    EXPECT_EQ(Slot(0).Bus, 1);
    EXPECT_EQ(Slot(1).Bus, 0);
    EXPECT_EQ(sb->Output, 0);
    EXPECT_EQ(SubEngine->VolumeBuses.size(), 1u);
    EXPECT_EQ(SubEngine->GroupBuses[0], g);

    // Two send buses exchange their send positions; each level stays with its bus.
    SetSendLevel(Slot(3), 0, 0.1f);
    SetSendLevel(Slot(3), 1, 0.6f);
    SubEngine->MoveSubUp(sb);
    EXPECT_EQ(SubEngine->SendBuses[0], sb);
    EXPECT_EQ(SubEngine->SendBuses[1], sa);
    EXPECT_FLOAT_EQ(Send(Slot(3), 0), 0.6f);
    EXPECT_FLOAT_EQ(Send(Slot(3), 1), 0.1f);

    // The first bus stays where it is.
    SubEngine->MoveSubUp(g);
    EXPECT_EQ(SubEngine->GetSub(0), g);

    // Master-effect buses change places in their own list.
    TSub* m0 = Add(skMasterEffect);
    TSub* m1 = Add(skMasterEffect);
    SubEngine->MoveSubUp(m1);
    EXPECT_EQ(SubEngine->MasterBuses[0], m1);
    SubEngine->DeleteSub(m1);
    ASSERT_EQ(SubEngine->MasterBuses.size(), 1u);
    EXPECT_EQ(SubEngine->MasterBuses[0], m0);
    EXPECT_EQ(SubEngine->Count(), 4);
}

TEST_F(SubEngineTest, ShortNamesCountTheirOwnKind) {
    TSub* a = Add(skGroupEffect);
    Add(skSendEffect);
    Add(skGroupEffect);
    TSub* v = Add(skGroupVolume);
    TSub* se = Add(skSendEffect);
    TSub* c = Add(skGroupEffect);
    TSub* m = Add(skMasterEffect);
    std::string s;
    SubEngine->ShortName(a, s);
    EXPECT_EQ(s, "Sub1");
    SubEngine->ShortName(c, s);
    EXPECT_EQ(s, "Sub3");
    SubEngine->ShortName(se, s);
    EXPECT_EQ(s, "Se2");
    SubEngine->ShortName(v, s);
    EXPECT_EQ(s, "Vol1");
    s = "kept";
    SubEngine->ShortName(m, s);
    EXPECT_EQ(s, "kept");
    v->GetName(s);
    EXPECT_EQ(s, "Vol");
    EXPECT_FALSE(v->HasPlugin());
    EXPECT_TRUE(c->HasPlugin());
    EXPECT_EQ(v->Channel->Kind, ckBus);
    EXPECT_EQ(m->Channel->Kind, ckMasterEffect);
    TSub* loose = Add(skInsertEffect);
    EXPECT_EQ(loose->Channel, nullptr);
    delete loose; // an insert bus is its caller's until a slot holds it
    EXPECT_EQ(Add(0), nullptr);
}

TEST_F(SubEngineTest, ASendBusBeyondTheLastSendLevelIsRefused) {
    for (int i = 0; i < SendCount; ++i)
        ASSERT_NE(Add(skSendEffect), nullptr) << i;
    EXPECT_EQ(Add(skSendEffect), nullptr);
    EXPECT_EQ(SubEngine->Count(), SendCount);
    EXPECT_NE(Add(skGroupEffect), nullptr);
}

TEST_F(SubEngineTest, AnInsertBusLeavesEverySlotThatHoldsIt) {
    TSub* ins = Add(skInsertEffect);
    Song->TrackAt(4)->Mode = tmAudio;
    Slot(4, 2).Inserts.Append(ins);
    Song->DiskOutputs[1].Inserts.Append(ins);
    ins->HostSlot = &Slot(4, 2);
    SubEngine->DeleteSub(ins);
    EXPECT_TRUE(Slot(4, 2).Inserts.empty());
    EXPECT_TRUE(Song->DiskOutputs[1].Inserts.empty());
}

TEST_F(SubEngineTest, SampleChannelFollowsTheSampleSlots) {
    _TTrack& t = *Song->TrackAt(6);
    t.Mode = tmAudio;
    t.Name = "Drums";
    Song->UpdateSampleChannel(6);
    EXPECT_EQ(t.MixChannel, nullptr);
    t.Samples.push_back(std::make_unique<TSample>());
    Song->UpdateSampleChannel(6);
    ASSERT_NE(t.MixChannel, nullptr);
    EXPECT_EQ(t.MixChannel->Kind, ckAudioTrack);
    EXPECT_EQ(t.MixChannel->Owner, &t);
    EXPECT_EQ(t.MixChannel->Label.Width(), 16);
    EXPECT_EQ(t.MixChannel->Label.Height(), 128);
    t.Samples.clear();
    Song->UpdateSampleChannel(6);
    EXPECT_EQ(t.MixChannel, nullptr);
    ASSERT_NE(Song->MasterChannel, nullptr);
    EXPECT_EQ(Song->MasterChannel->Kind, ckMaster);
    EXPECT_EQ(Song->DiskChannel->Kind, ckDisk);
}

TEST_F(SubEngineTest, OutputTexts) {
    RecordingVst vst;
    for (int i = 0; i < 3; ++i)
        SoftEngine->AddSoftsynth("recvst");
    std::string name;
    SoftEngine->Items[0]->Plugin->GetName(name);
    struct Case {
        int mode, output;
        std::string want;
    };
    const Case cases[] = {
        {tmMidi, 0,
         " (Inactive) " +
             [] {
                 std::string n;
                 int tech = 0;
                 Midi->GetOutputCaps(0, tech, n);
                 return n;
             }()},
        {tmSoftsynth, 0, " " + name + " (1)"},
        {tmSoftsynth, 2, " " + name + " (3)"},
        {tmSoftsynth, 3, " No Softsynth loaded or selected"},
        {tmSoftsynth, -1, " No Softsynth loaded or selected"},
        {tmAudio, 0, " (Inactive) AUDIO"},
        {tmDisk, 2, " Ch3"},
        {tmParameter, 0, " Param"},
    };
    for (const Case& c : cases) {
        _TTrack& t = *Song->TrackAt(0);
        t.Mode = c.mode;
        t.Output = c.output;
        std::string s;
        TrackOutputText(t, s);
        EXPECT_EQ(s, c.want) << c.mode << "/" << c.output;
    }
    // A name no other softsynth has goes without a number.
    RecordingMfx mfx;
    SoftEngine->AddSoftsynth("recmfx");
    std::string own;
    SoftEngine->Items[3]->Plugin->GetName(own);
    _TTrack& t = *Song->TrackAt(0);
    t.Mode = tmSoftsynth;
    t.Output = 3;
    std::string s;
    TrackOutputText(t, s);
    EXPECT_EQ(s, " " + own);
    SoftEngine->Clear();
}

// Buses added, moved and deleted while another thread renders blocks: each block walks the
// lists as they were before or after a change, never half changed.
TEST_F(SubEngineTest, ListChangesWhileBlocksRender) {
    Song->Todos->HandToAudio();
    std::atomic<bool> stop{false};
    std::atomic<int> blocks{0};
    std::thread audio([&] {
        std::vector<float> out(2 * 256);
        while (!stop.load()) {
            Song->Render(out.data(), 256);
            blocks.fetch_add(1);
            // A driver leaves time between blocks.
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    });
    Slot(0).Bus = 0;
    std::vector<TSub*> made;
    for (int round = 0; round < 150; ++round) {
        const int kind = 1 + round % 4;
        if (TSub* b = SubEngine->AddSub(kind, "", -1)) made.push_back(b);
        if (round % 3 == 2 && SubEngine->Count() > 1)
            SubEngine->MoveSubUp(SubEngine->GetSub(SubEngine->Count() - 1));
        if (round % 5 == 4 && !made.empty()) {
            SubEngine->DeleteSub(made.front());
            made.erase(made.begin());
        }
        std::this_thread::yield();
    }
    const int before = blocks.load();
    while (blocks.load() < before + 3)
        std::this_thread::yield();
    stop = true;
    audio.join();
    Song->Todos->TakeBack();
    Song->RunTodos();
    EXPECT_EQ(Song->Todos->Count(), 0);
    int listed = SubEngine->Count() + static_cast<int>(SubEngine->MasterBuses.size());
    EXPECT_EQ(listed, static_cast<int>(made.size()));
    SubEngine->Clear();
    EXPECT_EQ(SubEngine->Count(), 0);
}

} // namespace
