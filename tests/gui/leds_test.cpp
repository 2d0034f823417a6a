// The transport indicators: the meter's peaks and bars, the MIDI LED, the text field.
#include "devices/audio.h"
#include "gui/leds.h"
#include "platform/gdi/canvas.h"
#include "song/render.h"
#include "song/song.h"

#include <gtest/gtest.h>

#include <vector>

using namespace platform;

namespace {

void Fill(TBitmap& b, int w, int h, TColor c) {
    b.SetSize(w, h);
    b.Canvas().Brush.Color = c;
    b.Canvas().FillRect({0, 0, w, h});
}

std::uint32_t Px(TBitmap& b, int x, int y) {
    return b.Pixels().Row(y)[x] & 0xFFFFFF;
}

class LedTest : public ::testing::Test {
protected:
    void SetUp() override {
        Fill(off, 80, 6, clGray);
        Fill(on, 80, 6, clLime);
        Fill(target, 120, 40, clWhite);
    }
    TBitmap off, on, target;
};

TEST_F(LedTest, PeaksAreTheLargestSampleOfEachSideClippedToOne) {
    struct Case {
        std::vector<float> block; // interleaved left, right
        float left, right;
    };
    const Case cases[] = {
        {{-0.9f, 0.1f, -0.2f, 0.2f, 0.3f, -0.5f, 0.0f, 0.0f}, 0.3f, 0.2f},
        {{1.7f, 0.5f, 0.2f, 0.9f}, 1.0f, 0.9f},
        {{-0.5f, -0.1f, -1.0f, -0.2f}, 0.0f, 0.0f},
    };
    TAudioVU vu(off, on);
    EXPECT_EQ(vu.PeakL, 0.0f);
    for (const Case& c : cases) {
        vu.SetPeaks(c.block.data(), int(c.block.size() / 2));
        EXPECT_EQ(vu.PeakL, c.left);
        EXPECT_EQ(vu.PeakR, c.right);
    }
}

TEST_F(LedTest, MeterLightsFivePixelsPerSixteenthOfFullScale) {
    TAudioVU vu(off, on);
    const HDC dc = target.Canvas().Handle();
    struct Case {
        float peak;
        int lit;
    };
    // 0.5 lights Round(8) steps, 0.03 Round(0.48) = none, 0.16 Round(2.56) = 3 steps.
    for (const Case c : {Case{0.5f, 40}, Case{0.03f, 0}, Case{0.16f, 15}, Case{1.0f, 80}}) {
        SCOPED_TRACE(c.peak);
        Fill(target, 120, 40, clWhite);
        vu.PeakL = c.peak;
        vu.PeakR = 0.0f;
        vu.Draw(10, 5, dc);
        for (int x = 10; x < 90; ++x) {
            EXPECT_EQ(Px(target, x, 5), x < 10 + c.lit ? 0x00FF00u : 0x808080u) << x;
            EXPECT_EQ(Px(target, x, 13), 0x808080u) << x; // the right bar, Height + 2 below
        }
        EXPECT_EQ(Px(target, 9, 5), 0xFFFFFFu);
        EXPECT_EQ(Px(target, 50, 11), 0xFFFFFFu); // the two-pixel gap
        EXPECT_EQ(Px(target, 50, 12), 0xFFFFFFu);
        EXPECT_EQ(Px(target, 50, 19), 0xFFFFFFu);
    }
    vu.PeakL = 0.0f;
    vu.PeakR = 0.16f;
    vu.Draw(10, 5, dc);
    EXPECT_EQ(Px(target, 24, 18), 0x00FF00u);
    EXPECT_EQ(Px(target, 25, 18), 0x808080u);
    EXPECT_EQ(Px(target, 10, 10), 0x808080u);
}

TEST_F(LedTest, MidiLedShowsTheOnImageOnlyAboveZero) {
    TMidiLed led(off, on);
    const HDC dc = target.Canvas().Handle();
    for (float level : {0.0f, -1.0f, 0.25f}) {
        SCOPED_TRACE(level);
        led.Level = level;
        led.Draw(dc);
        EXPECT_EQ(Px(target, 79, 5), level > 0 ? 0x00FF00u : 0x808080u);
        EXPECT_EQ(Px(target, 80, 5), 0xFFFFFFu);
    }
}

TEST(MidiPos, DrawsThroughItsBufferOnlyTheWidthAsked) {
    TMidiPos pos(clBlack, clLime, 100, 16);
    LOGFONT lf;
    ASSERT_TRUE(GetObject(pos.Font, &lf));
    EXPECT_EQ(lf.lfHeight, -11);
    EXPECT_STREQ(lf.lfFaceName, "Arial");
    TBitmap target;
    Fill(target, 140, 30, clRed);
    const HDC dc = target.Canvas().Handle();
    pos.DrawText(20, 5, dc, "0001:01:000", DT_CENTER, 100);
    int text = 0;
    for (int y = 5; y < 21; ++y)
        for (int x = 20; x < 120; ++x) {
            const std::uint32_t p = Px(target, x, y);
            EXPECT_TRUE(p == 0 || p == 0x00FF00u) << x << "," << y;
            text += p == 0x00FF00u;
        }
    EXPECT_GT(text, 30);
    EXPECT_EQ(Px(target, 19, 5), 0xFF0000u);
    EXPECT_EQ(Px(target, 120, 5), 0xFF0000u);
    EXPECT_EQ(Px(target, 20, 21), 0xFF0000u);

    // A narrower field fills and copies only its width; the rest stays as it was.
    Fill(target, 140, 30, clRed);
    pos.SetBkColor(clNavy);
    pos.DrawText(20, 5, dc, "120", DT_RIGHT, 40);
    EXPECT_EQ(pos.TextRect, (TRect{0, 0, 40, 16}));
    EXPECT_EQ(Px(target, 20, 5), 0x000080u);
    EXPECT_EQ(Px(target, 59, 20), 0x000080u);
    EXPECT_EQ(Px(target, 60, 5), 0xFF0000u);
    int right = 0; // right-aligned: the text sits in the field's right half
    for (int y = 5; y < 21; ++y)
        for (int x = 40; x < 60; ++x)
            right += Px(target, x, y) == 0x00FF00u;
    EXPECT_GT(right, 10);
}

} // namespace

namespace {

// A softsynth slot playing a ramp: left from -0.9 up, right from 0.8 down.
class RampSynth : public TRenderEngines {
public:
    TSoftOut Slot;
    void RenderSoftsynths(TSong& S, int Frames) override {
        float* b = SampleMixBuffers[0].data();
        for (int i = 0; i < Frames; ++i) {
            b[2 * i] = -0.9f + 1.2f * float(i) / float(Frames - 1);
            b[2 * i + 1] = 0.8f - 1.4f * float(i) / float(Frames - 1);
        }
        MixSlot(S, Slot, b, TSlotOwner::Softsynth, Frames);
    }
};

// The transport bar's meter, fed by the audio callback's hooks as the main window does.
class MeterHooks : public TAudioHooks {
public:
    explicit MeterHooks(TAudioVU& vu) : vu_(vu) {}
    void SetPeaks(const float* Buffer, int Frames) override { vu_.SetPeaks(Buffer, Frames); }

private:
    TAudioVU& vu_;
};

TEST_F(LedTest, MeterShowsTheMasterSlotsPeaksOfTheSameBlock) {
    TAudioVU vu(off, on);
    MeterHooks hooks(vu);
    RampSynth synth;
    synth.Slot.Active = 1;
    synth.Slot.Gain = 1.0f;
    Song = new TSong;
    SetRenderEngines(&synth);
    SetAudioHooks(&hooks);
    std::vector<float> block(2 * 256);
    AudioCallback(block.data(), 256, 0);
    SetAudioHooks(nullptr);
    SetRenderEngines(nullptr);
    EXPECT_GT(vu.PeakL, 0.0f);
    EXPECT_GT(vu.PeakR, 0.0f);
    EXPECT_EQ(vu.PeakL, Song->MasterOut.PeakLeft);
    EXPECT_EQ(vu.PeakR, Song->MasterOut.PeakRight);
    delete Song;
    Song = nullptr;
}

} // namespace
