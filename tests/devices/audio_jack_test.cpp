// The RtAudio driver against a real JACK server with its dummy back end, on a server name of
// its own so that no other JACK user is disturbed.
#include "devices/audio.h"
#include "devices/midi.h"
#include "platform/core/paths.h"
#include "song/song.h"
#include "support/jack_server.h"
#include "support/temp_settings.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace {

class CountingHooks : public TAudioHooks {
public:
    std::atomic<int> Blocks{0};
    std::atomic<int> Frames{0};
    void SetPeaks(const float*, int F) override {
        ++Blocks;
        Frames = F;
    }
};

TEST(AudioJack, RtAudioDriverRunsOnADummyServer) {
    DummyJackServer server;
    if (!server.Started())
        GTEST_SKIP() << server.Unavailable("jackd could not be started (is jackd2 installed?)");
    TempSettings settings;
    settings.WriteIni("[Audio]\nSystem=rtaudio\nFrames=256\n");
    platform::SetProgramFolder(TOLVERN_BIN_DIR "/");
    CountingHooks hooks;
    SetAudioHooks(&hooks);
    TMIDI midi;
    Midi = &midi;
    Song = new TSong;
    {
        TAudio audio(0);
        ASSERT_NE(audio.Library, 0) << "the RtAudio driver is not in the system folder";
        // The server takes a moment to come up; look for its device for at most 10 s.
        int device = -1;
        for (int tries = 0; tries < 100 && device < 0; ++tries) {
            if (server.Exited()) break;
            for (int i = 0; i < audio.DeviceCount() && device < 0; ++i) {
                std::string name;
                audio.DeviceName(i, name);
                if (name.rfind("Jack", 0) == 0) device = i;
            }
            if (device < 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (device < 0) {
            delete Song;
            Song = nullptr;
            Midi = nullptr;
            SetAudioHooks(nullptr);
            GTEST_SKIP() << server.Unavailable("the dummy JACK server did not come up");
        }
        audio.SetDevice(device);
        audio.Open(0);
        ASSERT_TRUE(audio.AudioOn);
        EXPECT_EQ(audio.Frames, 256);
        EXPECT_EQ(audio.Rate, 44100.0f);
        audio.Start();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        audio.Stop();
        const int blocks = hooks.Blocks;
        // 44,100 / 256 = about 172 a second; a loaded machine may fall somewhat behind.
        EXPECT_GT(blocks, 100);
        EXPECT_LT(blocks, 260);
        EXPECT_EQ(hooks.Frames, 256);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(hooks.Blocks, blocks) << "no blocks after Stop";
        audio.Close();
    }
    delete Song;
    Song = nullptr;
    Midi = nullptr;
    SetAudioHooks(nullptr);
}

} // namespace
