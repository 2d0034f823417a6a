#include "devices/audio.h"
#include "devices/midi.h"
#include "devices/wave.h"
#include "platform/core/ini.h"
#include "platform/core/paths.h"
#include "song/render.h"
#include "song/song.h"
#include "support/fake_library.h"
#include "support/pump.h"
#include "support/scripted_dialogs.h"
#include "support/temp_settings.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

// Counts what the audio object asks of plug-ins, capture and meters.
class RecordingHooks : public TAudioHooks {
public:
    std::vector<int> BlockSizes;
    std::vector<float> Rates;
    bool Capture = false;
    void ApplyRateToPlugins(float Rate) override { Rates.push_back(Rate); }
    void ApplyBlockSizeToPlugins(int Frames) override { BlockSizes.push_back(Frames); }
    bool RecordAudio() override { return Capture; }
};

// A constant signal from one softsynth slot, for renders through the driver.
class ConstantSynth : public TRenderEngines {
public:
    TSoftOut Slot;
    float Value = 0.6f;
    void RenderSoftsynths(TSong& S, int Frames) override {
        float* b = SampleMixBuffers[0].data();
        for (int i = 0; i < 2 * Frames; ++i)
            b[i] = Value;
        MixSlot(S, Slot, b, TSlotOwner::Softsynth, Frames);
    }
};

// The program folder is the build's, so that "system" holds the built drivers.
class AudioTest : public testing::Test {
protected:
    void SetUp() override {
        platform::SetProgramFolder(TOLVERN_BIN_DIR "/");
        SetAudioHooks(&hooks);
        Midi = &midi;
        Song = new TSong;
        synth.Slot.Active = 1;
        synth.Slot.Gain = 1.0f;
        SetRenderEngines(&synth);
    }
    void TearDown() override {
        if (scripted) ForceBlockSize(0);
        delete audio;
        SetRenderEngines(nullptr);
        delete Song;
        Song = nullptr;
        Midi = nullptr;
        SetAudioHooks(nullptr);
    }
    TAudio& Make(std::string_view Ini = "[Audio]\nSystem=scripted\n") {
        settings.WriteIni(Ini);
        audio = new TAudio(window.Handle());
        if (audio->Library) {
            scripted = true;
            run = reinterpret_cast<RunFn>(
                platform::GetProcAddress(audio->Library, "ScriptedRunBlocks"));
            flags = reinterpret_cast<FlagsFn>(
                platform::GetProcAddress(audio->Library, "ScriptedFlags"));
            force = reinterpret_cast<ForceFn>(
                platform::GetProcAddress(audio->Library, "ScriptedBlockSize"));
        }
        return *audio;
    }
    void ForceBlockSize(int Frames) {
        if (force) force(Frames);
    }
    int Run(int Count, int Frames = 0) { return run ? run(Count, Frames) : -1; }
    std::vector<std::int32_t> Flags() {
        std::vector<std::int32_t> f(64);
        f.resize(static_cast<std::size_t>(flags ? flags(f.data(), 64) : 0));
        return f;
    }

    using RunFn = std::int32_t (*)(std::int32_t, std::int32_t);
    using FlagsFn = std::int32_t (*)(std::int32_t*, std::int32_t);
    using ForceFn = void (*)(std::int32_t);
    TempSettings settings;
    testsupport::RecordingWindow window;
    RecordingHooks hooks;
    ConstantSynth synth;
    TMIDI midi;
    TAudio* audio = nullptr;
    bool scripted = false;
    RunFn run = nullptr;
    FlagsFn flags = nullptr;
    ForceFn force = nullptr;
};

TEST_F(AudioTest, SettingsAreClamped) {
    struct Case {
        const char* ini;
        int frames, buffers;
    } cases[] = {
        {"[Audio]\nFrames=10\nBuffers=3\n", 32, 2},
        {"[Audio]\nFrames=8192\nBuffers=8\n", 22050, 2},
        {"[Audio]\nFrames=6000\nBuffers=8\n", 22050, 2},
        {"[Audio]\nFrames=5000\nBuffers=8\n", 5000, 8},
        {"[Audio]\nFrames=1024\nBuffers=6\n", 1024, 6},
        {"[Audio]\nFrames=30000\nBuffers=1\n", 22050, 2},
        {"", 4096, 2},
    };
    for (const Case& c : cases) {
        settings.WriteIni(c.ini);
        TAudio a(0);
        EXPECT_EQ(a.Frames, c.frames) << c.ini;
        EXPECT_EQ(AudioBuffers, c.buffers) << c.ini;
        EXPECT_EQ(a.Library, 0) << "System defaults to None";
        EXPECT_EQ(a.DeviceCount(), 0);
        a.SetFrames(10);
        EXPECT_EQ(a.Frames, 32);
        a.SetFrames(100000);
        EXPECT_EQ(a.Frames, 22050);
        a.SetRate(22050.4f);
    }
    // Destroy wrote the block size and the rounded rate back.
    platform::TIniFile ini;
    EXPECT_EQ(ini.ReadInteger("Audio", "Frames", 0), 22050);
    EXPECT_EQ(ini.ReadInteger("Audio", "Rate", 0), 22050);
}

TEST_F(AudioTest, OpenWithoutDriverSaysSo) {
    ScriptedDialogs dialogs;
    dialogs.Answer(platform::IDOK, "Cannot open audio. No audio system is selected");
    TAudio& a = Make("[Audio]\nSystem=nosuchdriver\n");
    testsupport::RecordingWindow notify;
    a.NotifyWnd = notify.Handle();
    a.Open(window.Handle());
    EXPECT_FALSE(a.AudioOn);
    ASSERT_EQ(dialogs.Boxes().size(), 1u);
    EXPECT_EQ(dialogs.Boxes()[0].Caption, "Audio");
    ASSERT_EQ(notify.messages.size(), 1u);
    EXPECT_EQ(notify.messages[0].msg, platform::WM_USER);
    std::string name = "kept";
    a.DeviceName(0, name);
    EXPECT_EQ(name, "kept");
}

TEST_F(AudioTest, DriverLifecycleAndFlags) {
    TAudio& a = Make("[Audio]\nSystem=Scripted\nFrames=256\n");
    ASSERT_NE(a.Library, 0);
    EXPECT_EQ(a.DeviceCount(), 2);
    std::string name;
    a.DeviceName(1, name);
    EXPECT_EQ(name, "Scripted device B");
    testsupport::RecordingWindow notify;
    a.NotifyWnd = notify.Handle();
    a.Open(window.Handle());
    ASSERT_TRUE(a.AudioOn);
    EXPECT_EQ(notify.messages.size(), 1u);
    EXPECT_FLOAT_EQ(a.BlocksPerMs, 44.1f / 256);
    EXPECT_EQ(Run(1), 0) << "no blocks before Start";
    a.Start();
    ASSERT_TRUE(a.Running);
    // A pending start waits for the first block of the run: capture starts with it.
    a.OpenCapture();
    ASSERT_TRUE(a.CaptureOpen);
    TWave take;
    a.PrepareRecordWave(1764000, &take); // ten seconds: the null input does not fill it here
    hooks.Capture = true;
    Song->State = 2;
    midi.Pending = true;
    EXPECT_EQ(Run(3), 3);
    EXPECT_TRUE(a.Capturing);
    a.NotifyStart();
    EXPECT_EQ(Run(2), 2);
    EXPECT_TRUE(a.Capturing);
    EXPECT_EQ(Flags(), (std::vector<std::int32_t>{0, 1, 1, 0, 1}));
    a.Stop();
    EXPECT_FALSE(a.Running);
    EXPECT_EQ(Run(1), 0);
    a.Close();
    EXPECT_FALSE(a.AudioOn);
    EXPECT_EQ(notify.messages.size(), 2u);
    // The MIDI object reaches the audio object through its seam.
    EXPECT_FALSE(MidiAudio().AudioOn());
    a.Open(window.Handle());
    EXPECT_TRUE(MidiAudio().AudioOn());
}

// A pause or Stop stops MIDI while it holds the renderer: the first block of the run must not
// start MIDI (here seen by the capture start that comes with it) behind its back, yet a brief
// hold only puts the start off to the next block.
TEST_F(AudioTest, PendingStartIsIssuedOnlyOutsideAHold) {
    TAudio& a = Make("[Audio]\nSystem=Scripted\nFrames=256\n");
    a.Open(window.Handle());
    a.Start();
    a.OpenCapture();
    TWave take;
    a.PrepareRecordWave(1764000, &take);
    hooks.Capture = true;
    Song->State = 2;
    midi.Pending = true;
    HoldRenderer();
    EXPECT_EQ(Run(1), 1);
    EXPECT_FALSE(a.Capturing) << "started while the renderer was held";
    midi.Stop(0);
    Song->State = 0;
    ReleaseRenderer();
    EXPECT_EQ(Run(2), 2);
    EXPECT_FALSE(a.Capturing) << "started after a stop";

    Song->State = 2;
    midi.Pending = true;
    a.NotifyStart();
    {
        TRendererHold hold;
        EXPECT_EQ(Run(1), 1);
        EXPECT_FALSE(a.Capturing);
    }
    EXPECT_EQ(Run(1), 1);
    EXPECT_TRUE(a.Capturing) << "the start was lost after a brief hold";
    EXPECT_EQ(Flags(), (std::vector<std::int32_t>{0, 1, 1, 0, 1}));
    a.CloseCapture(); // the take is handed over before it goes
}

TEST_F(AudioTest, DriverBlockSizeIsTakenWithinBounds) {
    TAudio& a = Make("[Audio]\nSystem=scripted\nFrames=4096\n");
    ForceBlockSize(512);
    a.Open(window.Handle());
    EXPECT_EQ(a.Frames, 512);
    EXPECT_EQ(hooks.BlockSizes, std::vector<int>{512});
    a.Close();
    // A driver that insists on more than a block can hold is kept to the bound.
    ForceBlockSize(30000);
    a.Open(window.Handle());
    EXPECT_EQ(a.Frames, 22050);
}

TEST_F(AudioTest, RendersThroughTheDriver) {
    TAudio& a = Make();
    a.Open(window.Handle());
    a.Start();
    Song->MasterOut.Volume = 2.0f;
    EXPECT_EQ(Run(1, 64), 1);
    EXPECT_EQ(Song->MasterOut.PeakLeft, 1.0f); // 2.0 x 0.6, clipped
    Song->MasterOut.Volume = 1.0f;
    synth.Value = -0.4f;
    EXPECT_EQ(Run(1, 64), 1);
    EXPECT_EQ(Song->MasterOut.PeakLeft, 0.0f); // negative samples raise no meter
    // A block longer than the work buffers renders completely, in pieces.
    synth.Value = 0.25f;
    Song->MasterOut.PeakLeft = 0.0f;
    EXPECT_EQ(Run(1, 30000), 1);
    EXPECT_FLOAT_EQ(Song->MasterOut.PeakLeft, 0.25f);
}

TEST_F(AudioTest, OutputRecordingStopsAfterItsFrames) {
    TAudio& a = Make();
    a.Open(window.Handle());
    a.Start();
    std::vector<std::uint8_t> target(100, 0xEE);
    EXPECT_TRUE(a.SetOutputCapture(target.data(), 10, 24));
    synth.Value = 0.5f;
    Song->State = 1;
    EXPECT_EQ(Run(2, 256), 2);
    EXPECT_EQ(Song->State, 2);
    EXPECT_EQ(a.OutTarget, nullptr);
    EXPECT_EQ(target[59], 0x40); // Round(0.5 x 8388607) = 0x400000 (halves to even)
    EXPECT_EQ(target[60], 0xEE); // 10 frames x 2 x 3 bytes and no more
    testsupport::PumpAll();
    int posted = 0;
    for (const auto& m : window.messages)
        posted += m.msg == platform::WM_USER + 125;
    EXPECT_EQ(posted, 1);
    EXPECT_FALSE(a.SetOutputCapture(nullptr, 0, 20));
}

TEST_F(AudioTest, RecordOutputBlockWidths) {
    TAudio& a = Make("");
    Song->State = 1;
    const float block[] = {1.0f, -1.0f, 0.5f, -0.25f};
    struct Case {
        int bits;
        std::vector<std::uint8_t> bytes;
    } cases[] = {
        {16, {0xFF, 0x7F, 0x01, 0x80, 0x00, 0x40, 0x00, 0xE0}},
        {32,
         {0xFF, 0xFF, 0xFF, 0x7F, 0x01, 0x00, 0x00, 0x80, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x00,
          0xE0}},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> out(c.bytes.size() + 4, 0xEE);
        a.SetOutputCapture(out.data(), 100, c.bits);
        RecordOutputBlock(block, 2, 1);
        EXPECT_EQ(
            std::vector<std::uint8_t>(out.begin(), out.begin() + static_cast<long>(c.bytes.size())),
            c.bytes)
            << c.bits;
        EXPECT_EQ(a.OutFrames, 98);
        EXPECT_EQ(a.OutTarget, out.data() + c.bytes.size());
    }
}

} // namespace

namespace {

std::uint32_t Le32(const std::string& B, std::size_t At) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<std::uint8_t>(B[At + static_cast<std::size_t>(i)]);
    return v;
}

TEST_F(AudioTest, WaveFileDriverWritesTheBlocks) {
    TempDir dir;
    const std::string path = dir.Path() + "out.wav";
    setenv("TOLVERN_WAVE_FILE", path.c_str(), 1);
    TAudio& a = Make("[Audio]\nSystem=WaveFile\nFrames=512\n");
    ASSERT_NE(a.Library, 0);
    EXPECT_EQ(a.DeviceCount(), 2);
    a.SetDevice(1); // as fast as possible
    a.Open(window.Handle());
    ASSERT_TRUE(a.AudioOn);
    synth.Value = 0.5f;
    std::atomic<int> blocks{0};
    struct Counting : RecordingHooks {
        std::atomic<int>* n;
        void SetPeaks(const float*, int) override { ++*n; }
    } counting;
    counting.n = &blocks;
    SetAudioHooks(&counting);
    a.Start();
    for (int i = 0; i < 500 && blocks < 20; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    a.Stop();
    SetAudioHooks(&hooks);
    unsetenv("TOLVERN_WAVE_FILE");
    ASSERT_GE(blocks, 20);
    std::string wav = dir.ReadFile("out.wav");
    ASSERT_GE(wav.size(), 44u + 20 * 512 * 4);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(Le32(wav, 24), 44100u);
    EXPECT_EQ(Le32(wav, 40), wav.size() - 44);
    EXPECT_EQ(Le32(wav, 4), wav.size() - 8);
    EXPECT_EQ(static_cast<std::uint8_t>(wav[44]), 0x00); // 0.5 -> 16384
    EXPECT_EQ(static_cast<std::uint8_t>(wav[45]), 0x40);
}

} // namespace

namespace {

std::vector<int> fakeCommands;
std::int32_t FakeDriver(std::int32_t Cmd, std::intptr_t, std::intptr_t) {
    fakeCommands.push_back(Cmd);
    return 0; // command 6: it showed a dialog of its own
}

TEST_F(AudioTest, SettingsDialogOnlyForDriversWithoutTheirOwn) {
    struct AboutHooks : RecordingHooks {
        int Shown = 0;
        bool ShowAbout() override {
            ++Shown;
            return true;
        }
    } about;
    SetAudioHooks(&about);
    {
        FakeLibrary lib("system\\owndialog", {{"Properties", FakeLibrary::Entry(&FakeDriver)}});
        TAudio& a = Make("[Audio]\nSystem=OwnDialog\n");
        ASSERT_NE(a.Library, 0);
        fakeCommands.clear();
        a.ShowSettings();
        EXPECT_EQ(fakeCommands, std::vector<int>{TV_AUDIO_SETTINGS});
        EXPECT_EQ(about.Shown, 0);
        delete audio;
        audio = nullptr;
    }
    // The scripted driver has no dialog: ours is shown, and after OK the driver is reopened
    // and started again.
    TAudio& a = Make();
    a.Open(window.Handle());
    a.ShowSettings();
    EXPECT_EQ(about.Shown, 1);
    EXPECT_TRUE(a.AudioOn);
    EXPECT_TRUE(a.Running);
    SetAudioHooks(&hooks);
}

} // namespace
