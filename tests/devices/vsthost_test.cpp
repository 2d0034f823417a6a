// The VST host callback and its time information.

#include "devices/midi.h"
#include "devices/vsthost.h"
#include "song/audioengine.h"
#include "song/song.h"
#include "support/pump.h"
#include "support/temp_settings.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

class VstHostTest : public testing::Test {
protected:
    void SetUp() override {
        Midi = &midi;
        Song = new TSong;
        engine = Song->AudioEngine;
        VstTime = {};
    }
    void TearDown() override {
        delete Song;
        Song = nullptr;
        Midi = nullptr;
        VstHostWindow = 0;
    }
    const VstTimeInfo* Ask(VstIntPtr filter) {
        return reinterpret_cast<const VstTimeInfo*>(
            VstHostCallback(nullptr, audioMasterGetTime, 0, filter, nullptr, 0));
    }
    TempSettings settings;
    TMIDI midi;
    TAudioEngine* engine = nullptr;
};

TEST_F(VstHostTest, TimeWhileStopped) {
    VstTime.ppqPos = 7.5;
    VstTime.tempo = 99;
    VstTransportStarted();
    engine->StartSamples = 44100;
    const VstTimeInfo* t = Ask(0);
    ASSERT_EQ(t, &VstTime);
    EXPECT_EQ(t->samplePos, 0.0);
    EXPECT_EQ(t->sampleRate, 44100.0);
    EXPECT_EQ(t->timeSigNumerator, 4);
    EXPECT_EQ(t->timeSigDenominator, 4);
    EXPECT_EQ(t->smpteFrameRate, 1);
    EXPECT_EQ(t->samplesToNextClock, 0);
    EXPECT_EQ(t->flags, kVstTransportChanged); // playing cleared, nothing asked for
    EXPECT_EQ(t->ppqPos, 7.5);                 // not asked: older values stay
    EXPECT_EQ(t->tempo, 99.0);
    // Recording counts as not playing.
    Song->State = 1;
    VstTransportStarted();
    VstClearTransportChanged();
    EXPECT_EQ(Ask(0)->flags, kVstTransportChanged);
}

TEST_F(VstHostTest, TimeWhilePlayingForAPositionTempoAndRate) {
    // At 120 BPM and 44,100 Hz a tick is 91.875 samples.
    struct Case {
        const char* What;
        int Start, Rendered;
        bool Looping;
        double Ppq, Bar;
    } cases[] = {
        {"tick 1000", 90000, 1875, false, 1000 / 240.0, 4},
        {"exactly on bar 2 (an odd bar start)", 88200, 0, true, 4, 4},
        {"exactly on bar 3", 176400, 0, false, 8, 8},
        {"just before bar 2", 88200, -1, true, (88199 * 480.0 / 44100) / 240, 0},
        {"at the start", 0, 0, false, 0, 0},
    };
    Song->State = 2;
    Song->LeftLocator = 960;
    Song->RightLocator = 1920;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        engine->StartSamples = c.Start;
        engine->RenderedSamples = c.Rendered;
        Song->Looping = c.Looping;
        VstTransportStarted();
        const VstTimeInfo* t = Ask(kVstPpqPosValid | kVstTempoValid);
        EXPECT_EQ(t->samplePos, c.Start + c.Rendered);
        EXPECT_NEAR(t->ppqPos, c.Ppq, 1e-9);
        EXPECT_EQ(t->barStartPos, c.Bar);
        EXPECT_EQ(t->cycleStartPos, 4.0);
        EXPECT_EQ(t->cycleEndPos, 8.0);
        EXPECT_EQ(t->tempo, 120.0);
        EXPECT_EQ(t->flags, kVstTransportChanged | kVstTransportPlaying | kVstPpqPosValid |
                                kVstTempoValid | (c.Looping ? kVstTransportCycleActive : 0));
    }
    // The renderer clears "changed" after a block; the stop command sets it and ends playing.
    VstClearTransportChanged();
    EXPECT_EQ(VstTime.flags & 3, kVstTransportPlaying);
    VstTransportStopped();
    EXPECT_EQ(VstTime.flags & 3, kVstTransportChanged);
    // The valid bits stay once set.
    EXPECT_NE(Ask(0)->flags & kVstPpqPosValid, 0);
}

TEST_F(VstHostTest, AnswersByOpcode) {
    midi.Tempo = 120;
    struct {
        std::int32_t Opcode;
        VstIntPtr Answer;
    } cases[] = {{audioMasterAutomate, 0},   {audioMasterVersion, 2},      {audioMasterCurrentId, 0},
                 {audioMasterPinConnected, 0}, {audioMasterWantMidi, 0},  {audioMasterProcessEvents, 0},
                 {audioMasterTempoAt, 1200000}, {audioMasterCanDo, 0},    {audioMasterUpdateDisplay, 0},
                 {audioMasterNeedIdle, 1},     {9999, 0}};
    for (auto& c : cases) EXPECT_EQ(VstHostCallback(nullptr, c.Opcode, 0, 0, nullptr, 0), c.Answer) << c.Opcode;
    midi.Tempo = 87;
    EXPECT_EQ(VstHostCallback(nullptr, audioMasterTempoAt, 0, 0, nullptr, 0), 870000);
}

TEST_F(VstHostTest, WindowRequestsArePostedAndIdleWorksOnlyTheGuiQueue) {
    testsupport::RecordingWindow main;
    VstHostWindow = main.Handle();
    AEffect effect{};
    EXPECT_EQ(VstHostCallback(&effect, audioMasterNeedIdle, 0, 0, nullptr, 0), 1);
    // Off the GUI thread the idle request does nothing: the posted message waits.
    VstIntPtr answer = -1;
    std::thread([&] { answer = VstHostCallback(&effect, audioMasterIdle, 0, 0, nullptr, 0); }).join();
    EXPECT_EQ(answer, 0);
    EXPECT_TRUE(main.messages.empty());
    EXPECT_EQ(VstHostCallback(&effect, audioMasterUpdateDisplay, 0, 0, nullptr, 0), 0);
    // On the GUI thread it works the queue off.
    EXPECT_EQ(VstHostCallback(&effect, audioMasterIdle, 0, 0, nullptr, 0), 0);
    const auto l = reinterpret_cast<platform::LPARAM>(&effect);
    EXPECT_EQ(main.messages, (std::vector<testsupport::Received>{{main.Handle(), WM_VSTHOST, 1, l},
                                                                 {main.Handle(), WM_VSTHOST, 0, l}}));
    EXPECT_EQ(WM_VSTHOST, 0x47Cu);
}

} // namespace
