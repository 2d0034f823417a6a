// Preview and capture on real devices: RtAudio on a JACK server with the dummy back end, on a
// server name of its own so that no other JACK user is disturbed.
#include "audition.h"
#include "devices/audio.h"
#include "devices/preview.h"
#include "devices/wave.h"
#include "platform/audio/devices.h"
#include "support/jack_server.h"
#include "support/pump.h"
#include "support/temp_settings.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace {

constexpr platform::UINT WM_RECORD_DONE = platform::WM_USER + 150;

// Waits up to 10 s for the server's ports to be listed first.
bool JackListed(DummyJackServer& Server) {
    for (int tries = 0; tries < 100 && !Server.Exited(); ++tries) {
        const auto names = platform::RtAudioOutputNames();
        if (!names.empty() && names[0].rfind("Jack", 0) == 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

class SoundJackTest : public testing::Test {
protected:
    void SetUp() override { platform::UseAudioDevices(platform::TAudioDevices::Real); }
    void TearDown() override { platform::UseAudioDevices(platform::TAudioDevices::Null); }
};

TEST_F(SoundJackTest, OneSecondOfPreviewAndAHalfSecondTake) {
    DummyJackServer server;
    if (!server.Started())
        GTEST_SKIP() << server.Unavailable("jackd could not be started (is jackd2 installed?)");
    if (!JackListed(server))
        GTEST_SKIP() << server.Unavailable("the dummy JACK server did not come up");
    testsupport::RecordingWindow window;

    // A quarter second of sample: about two halves of the buffer, then silence.
    std::vector<std::int16_t> pcm(22050, 3000);
    const TWaveFormat format = MakePcmFormat(2, 44100, 16);
    ASSERT_TRUE(Audition(window.Handle(), pcm.data(), 44100, format)) << platform::SoundError();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_EQ(Preview->Position, -1) << "the sample was played";
    EXPECT_GE(Preview->EndCount, 1) << "silent halves follow it";
    StopAudition();
    EXPECT_FALSE(Preview->IsOpen);

    TempSettings settings;
    settings.WriteIni("[Audio]\nSystem=None\nFrames=1024\n");
    TAudio audio(window.Handle());
    ASSERT_GE(CaptureDrivers.size(), 2u) << "the server's capture ports are an input device";
    audio.OpenCapture();
    ASSERT_TRUE(audio.CaptureOpen) << platform::SoundError();
    TWave take;
    audio.PrepareRecordWave(88200, &take);
    audio.StartCapture();
    ASSERT_TRUE(testsupport::PumpUntil(
        [&] {
            for (const auto& m : window.messages)
                if (m.msg == WM_RECORD_DONE) return true;
            return false;
        },
        10000));
    EXPECT_EQ(audio.Written, 88200);
    audio.CloseCapture();
}

} // namespace
