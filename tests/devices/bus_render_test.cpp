// Buses with the example gain plug-ins of both interfaces, rendered offline: a softsynth slot
// into a group bus that feeds an earlier bus and then the master, a bus that feeds a later one,
// sends, an insert and a group-volume bus's meters; the rate reaching buses and softsynths.

#include "devices/audio.h"
#include "devices/mfx.h"
#include "devices/midi.h"
#include "song/render.h"
#include "song/softengine.h"
#include "song/song.h"
#include "song/subengine.h"
#include "support/recording_synths.h"
#include "support/temp_settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string OwnGain = TOLVERN_BIN_DIR "/fx/mfxgain.so";
const std::string VstGain = TOLVERN_BIN_DIR "/fx/tvgain.so";

class BusRender : public testing::Test {
protected:
    void SetUp() override {
        Midi = &midi;
        Song = new TSong;
        SoftEngine->AddSoftsynth("recmfx"); // plays 0.25 on both sides
        source = &SoftEngine->Items[0]->Outputs[0];
    }
    void TearDown() override {
        delete Song;
        Song = nullptr;
        Midi = nullptr;
    }
    TSub* Gain(int Kind, const std::string& Path, double Value) {
        TSub* b = SubEngine->AddSub(Kind, Path, -1);
        EXPECT_TRUE(b->Plugin->Loaded) << Path;
        b->Plugin->SetParameter(0, Value); // 0.5 is unity
        return b;
    }
    std::vector<float> Render(int Frames = 64) {
        std::vector<float> out(2 * static_cast<std::size_t>(Frames));
        TSoftEngine::UpdateMuteSolo();
        Song->Render(out.data(), Frames);
        return out;
    }

    TempSettings settings;
    TMIDI midi;
    RecordingMfx synth;
    TSoftOut* source = nullptr;
};

TEST_F(BusRender, SlotThroughTwoBusesToTheMaster) {
    TSub* own = Gain(skGroupEffect, OwnGain, 0.25); // bus 0: x 0.5
    TSub* vst = Gain(skGroupEffect, VstGain, 1.0);  // bus 1: x 2, into bus 0
    vst->Output = 0;
    source->Bus = 1;
    auto out = Render();
    EXPECT_FLOAT_EQ(out[0], 0.25f * 2.0f * 0.5f);
    EXPECT_FLOAT_EQ(out[127], 0.25f);

    // Bus 0 feeding bus 1, which was processed before it: its signal is dropped.
    vst->Output = -1;
    own->Output = 1;
    source->Bus = 0;
    out = Render();
    EXPECT_FLOAT_EQ(out[0], 0.0f);

    // An insert on the slot and a send into a send bus beside the dry path to the master.
    own->Output = -1;
    source->Bus = -1;
    TSub* ins = SubEngine->AddSub(skInsertEffect, VstGain, -1);
    ins->Plugin->SetParameter(0, 0.75); // x 1.5
    Song->AddTodo(tdAddItem, -1, &source->Inserts, ins);
    TSub* send = Gain(skSendEffect, OwnGain, 1.0); // x 2
    SetSendLevel(*source, 0, 0.5f);
    out = Render();
    const float dry = 0.25f * 1.5f;
    EXPECT_FLOAT_EQ(out[0], dry + dry * 0.5f * 2.0f);
    EXPECT_FLOAT_EQ(out[1], dry + dry * 0.5f * 2.0f);
    EXPECT_EQ(SubEngine->SendBuses[0], send);
}

TEST_F(BusRender, GroupVolumeBusMeters) {
    TSub* vol = SubEngine->AddSub(skGroupVolume, "", -1);
    vol->Volume = 0.5f;
    source->Bus = 0;
    auto out = Render();
    EXPECT_FLOAT_EQ(out[0], 0.125f);
    EXPECT_FLOAT_EQ(vol->PeakLeft, 0.125f);
    EXPECT_FLOAT_EQ(vol->PeakRight, 0.125f);
}

TEST_F(BusRender, TheRateReachesBusesAndSoftsynths) {
    RecordingVst vstBus;
    TSub* ownBus = SubEngine->AddSub(skGroupEffect, "recmfx", -1);
    TSub* vst = SubEngine->AddSub(skSendEffect, "recvst", -1);
    ASSERT_TRUE(ownBus->Plugin->Loaded);
    ASSERT_TRUE(vst->Plugin->Loaded);
    AudioHooks().ApplyRateToPlugins(48000.0f);
    EXPECT_EQ(synth.Rate, 48000.0f); // the softsynth and the own-interface bus share the fake
    EXPECT_EQ(vstBus.Rate, 48000.0f);
    SubEngine->Clear(); // before the fake plug-in goes
}

} // namespace
