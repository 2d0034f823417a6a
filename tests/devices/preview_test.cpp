// Sample preview on the scripted and null sound devices.
#include "audition.h"
#include "devices/preview.h"
#include "platform/audio/scripted.h"
#include "support/pump.h"
#include "support/scripted_dialogs.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

namespace {

using platform::ScriptedAudio;

class PreviewTest : public testing::Test {
protected:
    void SetUp() override {
        platform::UseAudioDevices(platform::TAudioDevices::Scripted);
        ScriptedAudio().Reset();
    }
    void TearDown() override {
        ScriptedAudio().HoldLocks(false);
        Preview->Close();
        ScriptedAudio().Reset();
        platform::UseAudioDevices(platform::TAudioDevices::Null);
    }
    void Give(const void* Data, int Bytes, const TWaveFormat& Format) {
        Preview->EndCount = 0;
        Preview->Position = 0;
        Preview->SampleLength = Bytes;
        Preview->SampleFormat = &Format;
        Preview->SampleData = Data;
    }
    // Plays one half; the thread has filled the half just played when this returns.
    void PlayHalf() {
        const int before = ++halves_;
        ScriptedAudio().Play(TPreview::HalfFrames);
        ASSERT_TRUE(testsupport::PumpUntil([&] {
            return !Preview->Events[0].IsSet() && !Preview->Events[1].IsSet() && !Preview->Busy;
        })) << "half "
            << before;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_FALSE(Preview->Busy);
    }
    static std::int16_t At(const std::vector<std::uint8_t>& Bytes, int Frame, int Side) {
        const std::size_t i = static_cast<std::size_t>(4 * Frame + 2 * Side);
        return static_cast<std::int16_t>(Bytes[i] | (Bytes[i + 1] << 8));
    }
    testsupport::RecordingWindow window;
    int halves_ = 0;
};

TEST_F(PreviewTest, PlaysTheSampleHalfByHalfThenSilenceCountingTheSilentHalves) {
    // 22050 Hz mono 16-bit, 10,000 bytes: 4,096 frames of 16384, then 904 frames of -8192.
    std::vector<std::int16_t> pcm(5000, 16384);
    std::fill(pcm.begin() + 4096, pcm.end(), static_cast<std::int16_t>(-8192));
    const TWaveFormat format = MakePcmFormat(1, 22050, 16);
    ASSERT_TRUE(Preview->Open(window.Handle()));
    Give(pcm.data(), 10000, format);
    ASSERT_TRUE(Preview->PlayBuffer->Play(true));

    PlayHalf();
    auto bytes = ScriptedAudio().PlayBytes();
    ASSERT_EQ(bytes.size(), TPreview::BufferBytes);
    for (int f : {0, 1, 4095, 8191}) {
        EXPECT_EQ(At(bytes, f, 0), 8127) << f;
        EXPECT_EQ(At(bytes, f, 1), 8256) << f;
    }
    EXPECT_EQ(Preview->Position, 8192);
    EXPECT_EQ(Preview->EndCount, 0);

    PlayHalf();
    bytes = ScriptedAudio().PlayBytes();
    const int second = TPreview::HalfFrames;
    EXPECT_EQ(At(bytes, second, 0), -4064); // -8192 / 32768 * 63 / 127 * 32767
    EXPECT_EQ(At(bytes, second + 1807, 1), -4128);
    EXPECT_EQ(At(bytes, second + 1808, 0), 0);
    EXPECT_EQ(At(bytes, second + 8191, 1), 0);
    EXPECT_EQ(Preview->Position, -1);
    EXPECT_EQ(Preview->EndCount, 0);

    for (int n = 1; n <= 3; ++n) {
        PlayHalf();
        EXPECT_EQ(Preview->EndCount, n);
    }
    bytes = ScriptedAudio().PlayBytes();
    EXPECT_EQ(At(bytes, 0, 0), 0) << "every half after the end is silent";
    EXPECT_EQ(At(bytes, second + 100, 1), 0);
}

TEST_F(PreviewTest, EachCreationFailureShowsItsBoxOrNoneAndReleasesTheDevice) {
    const struct {
        const char* Call;
        const char* Box; // nullptr: silent
    } cases[] = {
        {"DirectSoundCreate", "DirectSoundCreate failed"},
        {"SetCooperativeLevel", "SetCooperativeLevel failed"},
        {"CreateSoundBuffer", "CreateSoundBuffer failed"},
        {"SetFormat", "SetFormat failed"},
        {"CreateSecondaryBuffer", nullptr},
        {"SetNotificationPositions", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Call);
        ScriptedAudio().Reset();
        ScriptedAudio().Fail(c.Call);
        ScriptedDialogs dialogs;
        if (c.Box) dialogs.Answer(platform::IDOK, c.Box);
        EXPECT_FALSE(Preview->Open(window.Handle()));
        EXPECT_FALSE(Preview->IsOpen);
        if (c.Box) {
            ASSERT_EQ(dialogs.Boxes().size(), 1u);
            EXPECT_EQ(dialogs.Boxes()[0].Text, c.Box);
            EXPECT_EQ(dialogs.Boxes()[0].Caption, "DS");
            EXPECT_EQ(dialogs.Boxes()[0].Icon, platform::MB_ICONERROR);
        }
        EXPECT_FALSE(Preview->Sound);
        EXPECT_FALSE(Preview->PrimaryBuffer);
        EXPECT_FALSE(Preview->PlayBuffer);
        EXPECT_FALSE(Preview->Thread);
        EXPECT_EQ(ScriptedAudio().Play(64), 0) << "the device's stream is closed";
    }
    ScriptedAudio().Reset();
    EXPECT_TRUE(Preview->Open(window.Handle())) << "the next open finds the device free";
}

TEST_F(PreviewTest, CloseWhileTheThreadFillsAHalfReturnsAfterTheThreadEnded) {
    std::vector<std::int16_t> pcm(20000, 1000);
    const TWaveFormat format = MakePcmFormat(2, 44100, 16);
    ASSERT_TRUE(Preview->Open(window.Handle()));
    Give(pcm.data(), 40000, format);
    ASSERT_TRUE(Preview->PlayBuffer->Play(true));
    ScriptedAudio().HoldLocks(true);
    ScriptedAudio().Play(TPreview::HalfFrames);
    ASSERT_TRUE(testsupport::PumpUntil([] { return ScriptedAudio().LocksWaiting() == 1; }));
    EXPECT_TRUE(Preview->Busy);
    std::atomic<bool> released{false};
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        released = true;
        ScriptedAudio().HoldLocks(false);
    });
    Preview->Close();
    EXPECT_TRUE(released) << "Close waited for the thread";
    EXPECT_FALSE(Preview->Busy);
    EXPECT_FALSE(Preview->Thread);
    EXPECT_FALSE(Preview->IsOpen);
    releaser.join();
}

TEST_F(PreviewTest, AThousandOpenPlayCloseCyclesOnTheNullDevice) {
    platform::UseAudioDevices(platform::TAudioDevices::Null);
    std::vector<std::int16_t> pcm(4410, 2000);
    const TWaveFormat format = MakePcmFormat(1, 44100, 16);
    for (int i = 0; i < 1000; ++i) {
        ASSERT_TRUE(Preview->Open(window.Handle())) << i;
        Give(pcm.data(), 8820, format);
        ASSERT_TRUE(Preview->PlayBuffer->Play(true));
        if (i % 100 == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(200)); // a half passes
        Preview->Thread->Terminate();
        Preview->PlayBuffer->Stop();
        platform::WaitWhile([] { return Preview->Busy.load(); });
        Preview->Close();
    }
}

} // namespace
