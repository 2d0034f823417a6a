// Audio capture into takes on the scripted capture device: the buffer and its notifications,
// takes that fill or are stopped, overdubs, the capture device setting, and the hand-over of
// each take by one WM_USER+150 after its last byte.
#include "devices/audio.h"
#include "devices/wave.h"
#include "platform/audio/scripted.h"
#include "support/pump.h"
#include "support/scripted_dialogs.h"
#include "support/temp_settings.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using platform::ScriptedAudio;
constexpr platform::UINT WM_RECORD_DONE = platform::WM_USER + 150;

// The signal the device hears: 16-bit samples counting up from the first byte captured.
std::int16_t RampSample(std::uint32_t Index) {
    return static_cast<std::int16_t>((Index * 37) % 60000 - 30000);
}
std::vector<std::uint8_t> Ramp(std::uint32_t FromByte, std::uint32_t Bytes) {
    std::vector<std::uint8_t> v(Bytes);
    for (std::uint32_t i = 0; i < Bytes; i += 2) {
        const auto s = static_cast<std::uint16_t>(RampSample((FromByte + i) / 2));
        v[i] = static_cast<std::uint8_t>(s & 0xFF);
        v[i + 1] = static_cast<std::uint8_t>(s >> 8);
    }
    return v;
}

class CaptureTest : public testing::Test {
protected:
    void SetUp() override {
        platform::UseAudioDevices(platform::TAudioDevices::Scripted);
        ScriptedAudio().Reset();
        settings.WriteIni("[Audio]\nSystem=None\n");
        audio = std::make_unique<TAudio>(window.Handle());
    }
    void TearDown() override {
        ScriptedAudio().HoldLocks(false);
        audio.reset();
        ScriptedAudio().Reset();
        platform::UseAudioDevices(platform::TAudioDevices::Null);
    }
    // What the device hears next, continuing the ramp.
    std::uint32_t Hear(std::uint32_t Bytes) {
        const auto v = Ramp(heard, Bytes);
        heard += Bytes;
        return ScriptedAudio().Inject(v.data(), Bytes);
    }
    bool WaitWritten(int Bytes) {
        return testsupport::PumpUntil([&] { return audio->Written >= Bytes; });
    }
    int Done() const {
        int n = 0;
        for (const auto& m : window.messages)
            n += m.msg == WM_RECORD_DONE;
        return n;
    }
    // The take holds the ramp from its first byte on, for Bytes bytes.
    void ExpectRamp(const TWave& Take, int Bytes, std::uint32_t FromByte = 0) {
        const auto want = Ramp(FromByte, static_cast<std::uint32_t>(Bytes));
        ASSERT_GE(Take.Size(), Bytes);
        for (int i = 0; i < Bytes; ++i)
            ASSERT_EQ(Take.Data()[i], want[static_cast<std::size_t>(i)]) << "byte " << i;
    }
    TempSettings settings;
    testsupport::RecordingWindow window;
    std::unique_ptr<TAudio> audio;
    std::uint32_t heard = 0;
};

TEST_F(CaptureTest, TheBufferHoldsTwoHalvesOfFramesWithNotificationsAtTheirEnds) {
    EXPECT_EQ(audio->Frames, 4096);
    audio->OpenCapture();
    ASSERT_TRUE(audio->CaptureOpen);
    EXPECT_EQ(audio->CaptureBytes(), 32768);
    EXPECT_EQ(audio->CaptureBuffer->Size(), 32768u);
    EXPECT_EQ(audio->CapturePositions[0].Offset, 16383u);
    EXPECT_EQ(audio->CapturePositions[1].Offset, 32767u);
    EXPECT_EQ(audio->CapturePositions[2].Offset, platform::NotifyAtStop);
    audio->CloseCapture();
    EXPECT_FALSE(audio->CaptureOpen);
    EXPECT_FALSE(audio->RecThread);

    // A failed open releases what it made and captures nothing, without a message.
    ScriptedAudio().Fail("SetNotificationPositions");
    audio->OpenCapture();
    EXPECT_FALSE(audio->CaptureOpen);
    EXPECT_FALSE(audio->CaptureBuffer);
    EXPECT_FALSE(audio->CaptureObject);
}

TEST_F(CaptureTest, AFullTakeStopsInTheNotificationThatFillsItAndIsHandedOverOnce) {
    audio->OpenCapture();
    TWave take;
    audio->PrepareRecordWave(100000, &take);
    EXPECT_EQ(take.Size(), 100000);
    audio->StartCapture();
    ASSERT_TRUE(audio->Capturing);
    for (int half = 1; half <= 6; ++half) {
        ASSERT_EQ(Hear(16384), 16384u);
        ASSERT_TRUE(WaitWritten(16384 * half));
    }
    EXPECT_EQ(Done(), 0);
    ASSERT_EQ(Hear(16384), 16384u); // 114,688 bytes heard: the take is full at 100,000
    ASSERT_TRUE(testsupport::PumpUntil([&] { return Done() == 1; }));
    EXPECT_EQ(audio->Written, 100000);
    EXPECT_FALSE(audio->Capturing);
    ExpectRamp(take, 100000);
    EXPECT_EQ(Hear(16384), 0u) << "the device no longer captures";
    testsupport::PumpAll();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    testsupport::PumpAll();
    EXPECT_EQ(Done(), 1);
    EXPECT_EQ(window.messages.back().w, 0u);
    EXPECT_EQ(window.messages.back().l, 0);
}

TEST_F(CaptureTest, AnOverdubAddsTheCaptureToTheTakeSaturated) {
    audio->OpenCapture();
    TWave take;
    audio->PrepareRecordWave(32768, &take);
    auto* s = reinterpret_cast<std::int16_t*>(take.Data());
    for (int i = 0; i < 16384; ++i)
        s[i] = static_cast<std::int16_t>(i % 2 ? -30000 : 30000);
    audio->StartCapture();
    std::vector<std::int16_t> heardNow(16384);
    for (int i = 0; i < 16384; ++i)
        heardNow[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(i % 2 ? -10000 : 10000);
    ScriptedAudio().Inject(heardNow.data(), 32768);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return Done() == 1; }));
    EXPECT_EQ(s[0], 32767);
    EXPECT_EQ(s[1], -32768);
    EXPECT_EQ(s[16383], -32768);
}

// Making the audio object does not probe the sound systems for capture devices: the list is
// filled when it is first read, and kept.
TEST_F(CaptureTest, TheCaptureDevicesAreProbedWhenTheListIsFirstRead) {
    ScriptedAudio().InputNames = {"Scripted input C"};
    ASSERT_EQ(CaptureDrivers.size(), 2u);
    EXPECT_EQ(*CaptureDrivers[1].Guid, "Scripted: Scripted input C");
    ScriptedAudio().InputNames.push_back("Scripted input D");
    EXPECT_EQ(CaptureDrivers.size(), 2u);
}

TEST_F(CaptureTest, TheCaptureDeviceIsChosenByIndex) {
    ASSERT_EQ(CaptureDrivers.size(), 3u);
    EXPECT_FALSE(CaptureDrivers[0].Guid) << "the default device first";
    audio->SetCaptureDevice(2);
    EXPECT_EQ(audio->GetCaptureDevice(), 2);
    audio->SetCaptureDevice(-1);
    EXPECT_FALSE(audio->CaptureGuid);
    EXPECT_EQ(audio->GetCaptureDevice(), 0);
    audio->SetCaptureDevice(7);
    EXPECT_EQ(audio->GetCaptureDevice(), 0);

    audio->SetCaptureDevice(1);
    EXPECT_EQ(*audio->CaptureGuid, "Scripted: Scripted input A");
    audio->OpenCapture();
    EXPECT_TRUE(audio->CaptureOpen);
    audio->CloseCapture();

    // A device that went away since: capture does not open.
    audio->SetCaptureDevice(2);
    ScriptedAudio().InputNames = {"Scripted input A"};
    audio->OpenCapture();
    EXPECT_FALSE(audio->CaptureOpen);
}

TEST_F(CaptureTest, ATakeWhoseThreadFellBehindTwoNotificationsHoldsTheRampUnbroken) {
    audio->OpenCapture();
    // A first take leaves the capture cursor at 24,576.
    TWave first;
    audio->PrepareRecordWave(30000, &first);
    audio->StartCapture();
    Hear(24576);
    ASSERT_TRUE(WaitWritten(16384));
    audio->StopCapture();
    EXPECT_EQ(Done(), 1);
    EXPECT_EQ(audio->Written, 24576);
    ASSERT_EQ(audio->CaptureBuffer->CaptureCursor(), 24576u);

    TWave take;
    audio->PrepareRecordWave(65536, &take);
    audio->StartCapture();
    EXPECT_EQ(audio->CaptureStart, 24576);
    ScriptedAudio().HoldLocks(true);
    const std::uint32_t from = heard;
    Hear(8192); // passes 32,767
    ASSERT_TRUE(testsupport::PumpUntil([] { return ScriptedAudio().LocksWaiting() == 1; }));
    Hear(16384); // passes 16,383 while the thread is held
    ScriptedAudio().HoldLocks(false);
    ASSERT_TRUE(WaitWritten(24576));
    ExpectRamp(take, 24576, from);
    EXPECT_EQ(audio->CaptureLost, 0);
    audio->StopCapture();
    EXPECT_EQ(Done(), 2);
}

TEST_F(CaptureTest, AGuiStopHandsOverTheBytesUpToItOnceAndNothingChangesTheTakeAfterwards) {
    audio->OpenCapture();
    TWave take;
    audio->PrepareRecordWave(100000, &take);
    audio->StartCapture();
    Hear(16384);
    ASSERT_TRUE(WaitWritten(16384));
    Hear(1000);
    int writtenWhenHandled = -1;
    window.Reply = [&](platform::UINT Msg, platform::WPARAM,
                       platform::LPARAM) -> platform::LRESULT {
        if (Msg == WM_RECORD_DONE) writtenWhenHandled = audio->Written;
        return 0;
    };
    audio->StopCapture(); // as TMIDI::Stop and TAudio::Stop do
    EXPECT_EQ(Done(), 1) << "handed over before StopCapture returned";
    EXPECT_EQ(writtenWhenHandled, 17384);
    ExpectRamp(take, 17384);
    const std::vector<std::uint8_t> handed(take.Data(), take.Data() + take.Size());
    EXPECT_EQ(Hear(20000), 0u);
    audio->StopCapture();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    testsupport::PumpAll();
    EXPECT_EQ(Done(), 1);
    EXPECT_EQ(std::vector<std::uint8_t>(take.Data(), take.Data() + take.Size()), handed);
}

TEST_F(CaptureTest, ATakeThatFillsDuringAGuiStopIsHandedOverOnce) {
    audio->OpenCapture();
    TWave take;
    audio->PrepareRecordWave(16384, &take);
    audio->StartCapture();
    ScriptedAudio().HoldLocks(true);
    Hear(16384);
    ASSERT_TRUE(testsupport::PumpUntil([] { return ScriptedAudio().LocksWaiting() == 1; }));
    std::thread releaser([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ScriptedAudio().HoldLocks(false);
    });
    audio->StopCapture();
    releaser.join();
    EXPECT_EQ(Done(), 1);
    EXPECT_EQ(audio->Written, 16384);
    ExpectRamp(take, 16384);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    testsupport::PumpAll();
    EXPECT_EQ(Done(), 1);
}

TEST_F(CaptureTest, CloseCaptureFinishesWhileTheThreadWaitsInItsSend) {
    audio->OpenCapture();
    TWave take;
    audio->PrepareRecordWave(16384, &take);
    audio->StartCapture();
    Hear(16384);
    // The take is full: the thread sends and waits for this (GUI) thread.
    for (int i = 0; i < 500 && audio->Capturing; ++i) // without serving the send
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_FALSE(audio->Capturing);
    EXPECT_EQ(Done(), 0);
    audio->CloseCapture();
    EXPECT_EQ(Done(), 1);
    EXPECT_FALSE(audio->CaptureOpen);
}

TEST_F(CaptureTest, CloseCaptureOrANewTakeDuringATakeHandsOverThePartialTake) {
    audio->OpenCapture();
    TWave first, take;
    audio->PrepareRecordWave(100000, &first);
    audio->StartCapture();
    Hear(3000);
    audio->PrepareRecordWave(100000, &take);
    EXPECT_EQ(Done(), 1);
    EXPECT_EQ(audio->Written, 3000);
    audio->StartCapture();
    Hear(5000);
    audio->CloseCapture();
    EXPECT_EQ(Done(), 2);
    EXPECT_EQ(audio->Written, 5000);
    ExpectRamp(take, 5000, 3000);
}

TEST_F(CaptureTest, ARunResumedAfterItsTakeWasHandedOverCapturesNothing) {
    audio->OpenCapture();
    // The handler frees the take, as a "Sample pool" take does.
    window.Reply = [&](platform::UINT Msg, platform::WPARAM,
                       platform::LPARAM) -> platform::LRESULT {
        if (Msg == WM_RECORD_DONE) delete audio->RecordWave.exchange(nullptr);
        return 0;
    };
    audio->PrepareRecordWave(100000, nullptr);
    audio->StartCapture();
    Hear(4000);
    audio->StopCapture(); // the edit's pause stops MIDI
    EXPECT_EQ(Done(), 1);
    EXPECT_FALSE(audio->RecordWave.load());
    audio->StartCapture(); // the resumed run's first block
    EXPECT_FALSE(audio->Capturing);
    EXPECT_EQ(Hear(4000), 0u);

    // A handler that keeps its wave: the resumed run does not write into it either.
    window.Reply = nullptr;
    TWave kept;
    audio->PrepareRecordWave(100000, &kept);
    audio->StartCapture();
    Hear(2000);
    audio->StopCapture();
    audio->StartCapture();
    EXPECT_FALSE(audio->Capturing);
    audio->StopCapture();
    EXPECT_EQ(Done(), 2);
}

TEST_F(CaptureTest, ADeviceThatFailsDuringATakeKeepsWhatWasRecordedAndSaysSo) {
    audio->OpenCapture();
    TWave take;
    audio->PrepareRecordWave(100000, &take);
    audio->StartCapture();
    Hear(20000);
    ASSERT_TRUE(WaitWritten(16384));
    ScriptedDialogs dialogs;
    dialogs.Answer(platform::IDOK, "the input device failed (unplugged)");
    ScriptedAudio().FailInput("unplugged");
    ASSERT_TRUE(testsupport::PumpUntil([&] { return Done() == 1 && dialogs.Boxes().size() == 1; }));
    EXPECT_EQ(audio->Written, 20000);
    ExpectRamp(take, 20000);
    EXPECT_EQ(dialogs.Boxes()[0].Caption, "Record");
}

TEST_F(CaptureTest, BytesAFailedLockCouldNotTakeStaySilentInPlaceAndAreReported) {
    audio->OpenCapture();
    TWave take;
    audio->PrepareRecordWave(32768, &take);
    audio->StartCapture();
    Hear(16384);
    ASSERT_TRUE(WaitWritten(16384));
    ScriptedAudio().Fail("Lock");
    ScriptedDialogs dialogs;
    dialogs.Answer(platform::IDOK, "0.09 seconds of the take were lost");
    Hear(16384);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return Done() == 1 && dialogs.Boxes().size() == 1; }));
    EXPECT_EQ(audio->Written, 32768);
    EXPECT_EQ(audio->CaptureLost, 16384);
    ExpectRamp(take, 16384);
    EXPECT_EQ(take.Data()[20000], 0);
}

} // namespace
