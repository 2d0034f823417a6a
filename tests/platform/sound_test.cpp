// The sound buffers of the platform audio layer: events, threads, the playback buffer's
// cursor and notifications, the capture buffer's crossings, and the null devices' clock.
#include "platform/audio/scripted.h"
#include "platform/audio/sound.h"
#include "platform/core/clock.h"
#include "support/pump.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace {

using namespace platform;

class SoundTest : public testing::Test {
protected:
    void SetUp() override {
        UseAudioDevices(TAudioDevices::Scripted);
        ScriptedAudio().Reset();
    }
    void TearDown() override {
        ScriptedAudio().Reset();
        UseAudioDevices(TAudioDevices::Null);
    }
};

std::vector<std::uint8_t> Ramp(std::uint32_t From, std::uint32_t Count) {
    std::vector<std::uint8_t> v(Count);
    for (std::uint32_t i = 0; i < Count; ++i)
        v[i] = static_cast<std::uint8_t>((From + i) * 7 + (From + i) / 256);
    return v;
}

TEST(SoundEvents, WaitAnyTakesTheLowestSetAndWakesOnASetFromAnotherThread) {
    TAutoEvent a, b, c;
    TAutoEvent* events[] = {&a, &b, &c};
    EXPECT_EQ(WaitAny(events, 3, 0), -1);
    c.Set();
    b.Set();
    EXPECT_EQ(WaitAny(events, 3), 1);
    EXPECT_EQ(WaitAny(events, 3), 2);
    EXPECT_FALSE(c.IsSet()) << "auto-reset";
    std::thread setter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        a.Set();
    });
    EXPECT_EQ(WaitAny(events, 3, 5000), 0);
    setter.join();
}

TEST(SoundEvents, AJoinOnTheGuiThreadServesTheThreadsSend) {
    testsupport::RecordingWindow window;
    TLayerThread thread([&] { SendMessage(window.Handle(), WM_USER + 7, 1, 2); });
    thread.Join();
    EXPECT_TRUE(thread.Finished());
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].msg, WM_USER + 7);
}

TEST_F(SoundTest, CaptureCrossingsComeInOrderWithTheirPositionsAndTheStopLast) {
    auto in = TSoundIn::Create(nullptr);
    ASSERT_TRUE(in);
    auto buffer = in->CreateBuffer(32768, {2, 44100, 16});
    ASSERT_TRUE(buffer);
    TAutoEvent half, full, stop;
    ASSERT_TRUE(
        buffer->SetNotificationPositions({{16383, &half}, {32767, &full}, {NotifyAtStop, &stop}}));
    EXPECT_EQ(ScriptedAudio().Inject(Ramp(0, 100).data(), 100), 0u) << "nothing before Start";
    ASSERT_TRUE(buffer->Start(true));
    const auto ramp = Ramp(0, 40000);
    EXPECT_EQ(ScriptedAudio().Inject(ramp.data(), 40000), 40000u);
    EXPECT_TRUE(half.IsSet());
    EXPECT_TRUE(full.IsSet());
    buffer->Stop();
    EXPECT_TRUE(stop.IsSet());
    EXPECT_FALSE(buffer->Capturing());
    std::vector<std::pair<int, std::uint64_t>> seen;
    TCrossing c{};
    while (buffer->NextCrossing(c))
        seen.emplace_back(c.Index, c.Position);
    EXPECT_EQ(seen,
              (std::vector<std::pair<int, std::uint64_t>>{{0, 16384}, {1, 32768}, {2, 40000}}));
    EXPECT_EQ(buffer->CaptureCursor(), 40000u - 32768u);

    // A region across the end comes in two pieces holding the latest bytes.
    std::uint8_t *p1 = nullptr, *p2 = nullptr;
    std::uint32_t n1 = 0, n2 = 0;
    ASSERT_TRUE(buffer->Lock(30000, 10000, &p1, &n1, &p2, &n2));
    EXPECT_EQ(n1, 2768u);
    EXPECT_EQ(n2, 7232u);
    EXPECT_EQ(std::vector<std::uint8_t>(p1, p1 + n1),
              std::vector<std::uint8_t>(ramp.begin() + 30000, ramp.begin() + 32768));
    EXPECT_EQ(std::vector<std::uint8_t>(p2, p2 + n2),
              std::vector<std::uint8_t>(ramp.begin() + 32768, ramp.end()));
    buffer->Unlock(p1, n1, p2, n2);
    EXPECT_FALSE(buffer->Lock(32768, 1, &p1, &n1, &p2, &n2));
    ScriptedAudio().Fail("Lock");
    EXPECT_FALSE(buffer->Lock(0, 16, &p1, &n1, &p2, &n2));
}

TEST_F(SoundTest, PlaybackBlocksCopyAtThePlayCursorAndSetTheEventsTheyPass) {
    auto out = TSoundOut::Create();
    ASSERT_TRUE(out);
    ASSERT_TRUE(out->SetCooperativeLevel(0));
    auto primary = out->CreatePrimaryBuffer();
    ASSERT_TRUE(primary);
    EXPECT_FALSE(primary->SetFormat({2, 48000, 16}));
    ASSERT_TRUE(primary->SetFormat({2, 44100, 16}));
    auto buffer = out->CreateBuffer(1024, {2, 44100, 16});
    ASSERT_TRUE(buffer);
    TAutoEvent first, second;
    ASSERT_TRUE(buffer->SetNotificationPositions({{511, &first}, {1023, &second}}));
    std::uint8_t *p1 = nullptr, *p2 = nullptr;
    std::uint32_t n1 = 0, n2 = 0;
    ASSERT_TRUE(buffer->Lock(0, 1024, &p1, &n1, &p2, &n2));
    ASSERT_EQ(n1, 1024u);
    for (std::uint32_t i = 0; i < 1024; i += 2) {
        p1[i] = 0x00;
        p1[i + 1] = 0x40; // 16384
    }
    buffer->Unlock(p1, n1, p2, n2);
    EXPECT_EQ(ScriptedAudio().Play(64), 0) << "the stream does not run yet";
    ASSERT_TRUE(primary->Play());
    ASSERT_TRUE(buffer->Play(true));
    EXPECT_EQ(ScriptedAudio().Play(127), 127);
    EXPECT_EQ(buffer->PlayCursor(), 508u);
    EXPECT_FALSE(first.IsSet());
    ScriptedAudio().Play(1);
    EXPECT_TRUE(first.IsSet());
    EXPECT_FALSE(second.IsSet());
    ScriptedAudio().Play(128);
    EXPECT_TRUE(second.IsSet());
    EXPECT_EQ(buffer->PlayCursor(), 0u) << "looping";
    EXPECT_EQ(ScriptedAudio().PlayBytes().size(), 1024u);
    // Frames the device played without a block (a JACK client that ran late): the buffer
    // goes on from where it was at the next block.
    ScriptedAudio().Miss(256);
    EXPECT_EQ(buffer->PlayCursor(), 0u);
    ScriptedAudio().Play(64);
    EXPECT_EQ(buffer->PlayCursor(), 256u);
    ScriptedAudio().Play(192);
    EXPECT_EQ(buffer->PlayCursor(), 0u);
    buffer->Stop();
    ScriptedAudio().Play(256);
    EXPECT_EQ(buffer->PlayCursor(), 0u);
}

TEST_F(SoundTest, ScriptedCallsFailByName) {
    ScriptedAudio().Fail("DirectSoundCreate");
    EXPECT_FALSE(TSoundOut::Create());
    ScriptedAudio().Reset();
    ScriptedAudio().Fail("CreateCaptureBuffer");
    auto in = TSoundIn::Create(nullptr);
    ASSERT_TRUE(in);
    EXPECT_FALSE(in->CreateBuffer(1024, {2, 44100, 16}));
    const std::string unknown = "Scripted: no such input";
    EXPECT_FALSE(TSoundIn::Create(&unknown));
    const auto list = CaptureDevices();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].Id, "");
    EXPECT_EQ(list[2].Id, "Scripted: Scripted input B");
}

TEST(SoundNull, TheNullInputCapturesSilenceOnTheCoreClock) {
    UseAudioDevices(TAudioDevices::Null);
    UseVirtualClock(1000);
    {
        ASSERT_EQ(CaptureDevices().size(), 1u) << "no real device is listed";
        auto in = TSoundIn::Create(nullptr);
        ASSERT_TRUE(in);
        auto buffer = in->CreateBuffer(17640 * 2, {2, 44100, 16});
        ASSERT_TRUE(buffer);
        TAutoEvent half;
        ASSERT_TRUE(buffer->SetNotificationPositions({{17639, &half}}));
        ASSERT_TRUE(buffer->Start(true));
        SetVirtualTime(1100);
        WaitClockSettled();
        ASSERT_TRUE(testsupport::PumpUntil([&] { return buffer->CapturedBytes() >= 17640; }, 5000));
        EXPECT_EQ(buffer->CapturedBytes(), 17640u) << "100 ms at 44100 Hz, 4 bytes a frame";
        EXPECT_TRUE(half.IsSet());
    }
    UseRealClock();
}

} // namespace
