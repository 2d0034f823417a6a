// A parameter ramp over several blocks, read back from the example gain plug-ins of both
// interfaces as group buses: the own interface follows every point's slope frame by frame, a
// VST plug-in takes each point's value at its frame.

#include "devices/audio.h"
#include "devices/mfx.h"
#include "devices/midi.h"
#include "song/automation.h"
#include "song/primitives.h"
#include "song/render.h"
#include "song/softengine.h"
#include "song/song.h"
#include "song/subengine.h"
#include "song/timebase.h"
#include "song/song_fixture.h"
#include "support/recording_synths.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class AutomationRamp : public SongTest, public testing::WithParamInterface<const char*> {
protected:
    RecordingMfx synth; // plays 0.25
};

TEST_P(AutomationRamp, AcrossSeveralBlocks) {
    const bool own = std::string(GetParam()).find("mfx") != std::string::npos;
    SoftEngine->AddSoftsynth("recmfx");
    TSub* bus = SubEngine->AddSub(skGroupEffect, GetParam(), -1);
    ASSERT_TRUE(bus->Plugin->Loaded);
    SoftEngine->Items[0]->Outputs[0].Bus = 0;
    // The gain goes from 0 to 1 (x 0 to x 2) over 960 ticks (88,200 frames).
    _TTrack* t = Song->TrackAt(5);
    t->Mode = tmParameter;
    _TPart* p = NewPart("", 0, 1920, 5);
    InsertPart(t, p);
    AppendEvent(p, NewAutomationEvent(0, 0, 0, 0.0f));
    AppendEvent(p, NewAutomationEvent(960, 0, 0, 1.0f));
    auto* entry = new TAutoPlug;
    entry->Plugin = bus->Plugin;
    entry->Params[0] = {0, 0};
    entry->ParamCount = 1;
    t->AutoPlugs.push_back(entry);
    bus->Plugin->Automated = true;
    Song->State = 2;
    Song->Locate(0, false);
    TSoftEngine::UpdateMuteSolo();
    const int frames = 512;
    std::vector<float> out(2 * frames);
    const double perFrame = 1.0 / TicksToSamples(960);
    for (int b = 0; b < 6; ++b) {
        Song->Render(out.data(), frames);
        for (int f = 0; f < frames; f += 97) {
            const int at =
                own ? b * frames + f : b * frames; // a VST plug-in holds the block's value
            EXPECT_NEAR(out[2 * f], 0.25 * 2 * at * perFrame, 1e-4)
                << "block " << b << " frame " << f;
        }
    }
    Song->State = 0;
}

INSTANTIATE_TEST_SUITE_P(BothKinds, AutomationRamp,
                         testing::Values(TOLVERN_BIN_DIR "/fx/mfxgain.so",
                                         TOLVERN_BIN_DIR "/fx/tvgain.so"));

} // namespace
