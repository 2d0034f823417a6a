#include "devices/mixkernels.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

std::vector<std::uint8_t> Pcm16(const std::vector<std::int16_t>& Values) {
    std::vector<std::uint8_t> b(Values.size() * 2);
    std::memcpy(b.data(), Values.data(), b.size());
    return b;
}

} // namespace

TEST(MixKernels, SupportedFormats) {
    struct Case {
        int channels, rate, bits;
        bool ok;
    } cases[] = {{1, 11025, 8, true},   {2, 22050, 16, true},  {2, 44100, 16, true},
                 {2, 48000, 16, false}, {3, 44100, 16, false}, {2, 44100, 24, false},
                 {0, 44100, 16, false}};
    for (const Case& c : cases) {
        TWaveFormat f = MakePcmFormat(c.channels, c.rate, c.bits);
        f.wFormatTag = 3; // not looked at
        EXPECT_EQ(IsSupportedWaveFormat(f), c.ok) << c.channels << " " << c.rate << " " << c.bits;
    }
}

TEST(MixKernels, HalfRateMonoWrittenTwiceLeftOnly) {
    auto src = Pcm16({1000, -2000, 16384});
    std::vector<float> dest(2 * 8, 0.25f);
    int r = MixSampleScaled(src.data(), dest.data(), 0, 0.0, -1, MakePcmFormat(1, 22050, 16),
                            static_cast<int>(src.size()), static_cast<int>(dest.size() * 4), 127,
                            127, 1.0f);
    EXPECT_EQ(r, -1); // the whole source was used
    const float expected[] = {1000, 1000, -2000, -2000, 16384, 16384};
    for (int f = 0; f < 6; ++f) {
        EXPECT_FLOAT_EQ(dest[2 * f], 0.25f + expected[f] / 32768) << f;
        EXPECT_FLOAT_EQ(dest[2 * f + 1], 0.25f) << f;
    }
    EXPECT_FLOAT_EQ(dest[12], 0.25f); // past the sample: untouched
}

TEST(MixKernels, ClipsAndStartsAtRoundedUpFrame) {
    auto src = Pcm16({32767, -32768, 32767, -32768});
    std::vector<float> dest(2 * 16, 0.0f);
    const TWaveFormat f = MakePcmFormat(2, 44100, 16);
    for (int pass = 0; pass < 2; ++pass)
        MixSample(src.data(), dest.data(), 0, 10.3, -1, f, 8, static_cast<int>(dest.size() * 4),
                  127, 127);
    // 10.3 frames = byte 82.4 -> 82 -> 88, frame 11.
    EXPECT_FLOAT_EQ(dest[20], 0.0f);
    EXPECT_FLOAT_EQ(dest[22], 1.0f);
    EXPECT_FLOAT_EQ(dest[24], 1.0f);
    // Pan 127 gives the right side weight 0 whatever the source.
    EXPECT_FLOAT_EQ(dest[23], 0.0f);
    for (int pass = 0; pass < 2; ++pass)
        MixSample(src.data(), dest.data(), 0, 0, -1, f, 8, static_cast<int>(dest.size() * 4), 127,
                  0);
    EXPECT_FLOAT_EQ(dest[1], -1.0f);
}

TEST(MixKernels, RefusesAndEndPoints) {
    std::vector<std::uint8_t> src(40000, 0x40);
    std::vector<float> dest(2 * 30000, 0.0f);
    const int destLen = static_cast<int>(dest.size() * 4);
    // 48000 Hz is refused and writes nothing.
    EXPECT_EQ(MixSample(src.data(), dest.data(), 0, 0, -1, MakePcmFormat(2, 48000, 16), 40000,
                        destLen, 127, 63),
              -1);
    EXPECT_EQ(dest[0], 0.0f);
    // EndMs 100 at 44100 Hz 16-bit stereo: Round(176.4) * 100 = 17,600 bytes = 4,400 frames.
    EXPECT_EQ(MixSample(src.data(), dest.data(), 0, 0, 100, MakePcmFormat(2, 44100, 16), 40000,
                        destLen, 127, 63),
              -1);
    EXPECT_NE(dest[2 * 4399], 0.0f);
    EXPECT_EQ(dest[2 * 4400], 0.0f);
    // A destination shorter than the source: the bytes consumed come back.
    EXPECT_EQ(MixSample(src.data(), dest.data(), 0, 0, -1, MakePcmFormat(2, 44100, 16), 40000,
                        8 * 10, 127, 63),
              40);
    // Nothing to do.
    EXPECT_EQ(MixSample(src.data(), dest.data(), 40000, 0, -1, MakePcmFormat(2, 44100, 16), 40000,
                        destLen, 127, 63),
              0);
    EXPECT_EQ(MixSample(src.data(), dest.data(), 0, -1, -1, MakePcmFormat(2, 44100, 16), 40000,
                        destLen, 127, 63),
              0);
}

TEST(MixKernels, NeverReadsPastTheData) {
    // 7 bytes of 16-bit stereo: one whole frame and a piece; the piece is never read. The
    // buffer is exactly as long as the data, so a read past it shows under the sanitizers.
    std::vector<std::uint8_t> src = {0x00, 0x40, 0x00, 0x40, 0x00, 0x40, 0x00};
    std::vector<float> dest(2 * 4, 0.0f);
    EXPECT_EQ(
        MixSample(src.data(), dest.data(), 0, 0, -1, MakePcmFormat(2, 44100, 16), 7, 32, 127, 127),
        -1);
    EXPECT_FLOAT_EQ(dest[0], 0.5f);
    EXPECT_EQ(dest[2], 0.0f);
    // An end point beyond the data is cut to it as well; a destination length that is no
    // whole frame is cut too.
    EXPECT_EQ(MixSample(src.data(), dest.data(), 0, 0, 1000, MakePcmFormat(2, 44100, 16), 7, 12,
                        127, 127),
              -1);
    EXPECT_FLOAT_EQ(dest[0], 1.0f);
    EXPECT_EQ(dest[2], 0.0f);
    // A format record whose block align lies does not change the stepping.
    TWaveFormat lying = MakePcmFormat(2, 44100, 16);
    lying.nBlockAlign = 0;
    EXPECT_EQ(MixSample(src.data(), dest.data(), 0, 0, 1, lying, 7, 32, 127, 127), -1);
}

TEST(MixKernels, EightBitAndQuarterRate) {
    std::vector<std::uint8_t> src = {128 + 64, 128 - 64};
    std::vector<float> dest(2 * 10, 0.0f);
    EXPECT_EQ(
        MixSample(src.data(), dest.data(), 0, 0, -1, MakePcmFormat(1, 11025, 8), 2, 80, 127, 127),
        -1);
    for (int f = 0; f < 4; ++f)
        EXPECT_FLOAT_EQ(dest[2 * f], 0.5f) << f;
    for (int f = 4; f < 8; ++f)
        EXPECT_FLOAT_EQ(dest[2 * f], -0.5f) << f;
    EXPECT_EQ(dest[16], 0.0f);
}

TEST(MixKernels, Int16PanEndsAndVolume) {
    auto src = Pcm16({1000, 1000, -1000, -1000});
    const TWaveFormat f = MakePcmFormat(2, 44100, 16);
    struct Case {
        int volume, pan;
        std::int16_t l0, r0, l1, r1;
    } cases[] = {
        {127, 0, 0, 1000, 0, -1000},   // pan 0: left silent
        {127, 127, 1000, 0, -1000, 0}, // pan 127: right silent
        {127, 63, 1000, 1000, -1000, -1000}, {127, 64, 1000, 1000, -1000, -1000},
        {63, 63, 500, 500, -500, -500},    // truncation toward zero on both signs
        {127, 31, 500, 1000, -500, -1000}, // Round(1000 / 62 * 31)
    };
    for (const Case& c : cases) {
        std::vector<std::int16_t> dest(2 * 3, 7777);
        EXPECT_EQ(MixSampleInt16(src.data(), dest.data(), 0, 0, -1, f, 8, 12, c.volume, c.pan), -1);
        EXPECT_EQ(dest[0], c.l0) << c.volume << "/" << c.pan;
        EXPECT_EQ(dest[1], c.r0) << c.volume << "/" << c.pan;
        EXPECT_EQ(dest[2], c.l1) << c.volume << "/" << c.pan;
        EXPECT_EQ(dest[3], c.r1) << c.volume << "/" << c.pan;
        EXPECT_EQ(dest[4], 7777); // replaced only where written
    }
}
