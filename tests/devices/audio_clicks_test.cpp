// A softsynth that clicks at the frame of every note-on, played by a steady part through the
// scripted driver and through RtAudio to a dummy JACK server: every click of the output lies on
// the sample its tick gives, whatever the GUI thread does meanwhile.
#include "devices/audio.h"
#include "devices/mfx.h"
#include "devices/midi.h"
#include "devices/midimsg.h"
#include "devices/vst2.h"
#include "platform/core/dynlib.h"
#include "platform/core/paths.h"
#include "song/audioengine.h"
#include "song/primitives.h"
#include "song/softengine.h"
#include "song/song.h"
#include "support/fake_library.h"
#include "support/jack_server.h"
#include "support/temp_settings.h"

#include <gtest/gtest.h>
#include <jack/jack.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int Rate = 48000, Period = 256;
constexpr int SamplesPerTick = 100; // 48,000 Hz at 120 BPM, 240 ticks to the quarter
constexpr int BeatTicks = 240;

// An instrument plug-in that writes 1.0 on both outputs at the frame of every note-on it gets
// and silence everywhere else.
struct ClickVst {
    AEffect E{};
    std::array<int, 64> Frames{};
    int Count = 0;
    // The block after each click takes this long, as a plug-in that runs late now and then.
    std::chrono::milliseconds LateAfterClick{0};
    bool clicked_ = false;

    ClickVst() {
        E.magic = kEffectMagic;
        E.dispatcher = &Dispatcher;
        E.processReplacing = &Replacing;
        E.setParameter = [](AEffect*, std::int32_t, float) {};
        E.getParameter = [](AEffect*, std::int32_t) { return 0.0f; };
        E.numOutputs = 2;
        E.flags = effFlagsCanReplacing | effFlagsIsSynth;
        E.object = this;
        Current = this;
    }
    ~ClickVst() { Current = nullptr; }
    ClickVst(const ClickVst&) = delete;
    ClickVst& operator=(const ClickVst&) = delete;

    static VstIntPtr Dispatcher(AEffect* e, std::int32_t op, std::int32_t, VstIntPtr, void* ptr,
                                float) {
        auto* self = static_cast<ClickVst*>(e->object);
        if (op != effProcessEvents) return 0;
        auto* list = static_cast<VstEvents*>(ptr);
        for (int i = 0; i < list->numEvents; ++i) {
            auto* m = reinterpret_cast<VstMidiEvent*>(list->events[i]);
            const bool noteOn = (m->midiData[0] & 0xF0) == 0x90 && m->midiData[2] != 0;
            if (noteOn && self->Count < static_cast<int>(self->Frames.size()))
                self->Frames[static_cast<std::size_t>(self->Count++)] = m->deltaFrames;
        }
        return 1;
    }
    static void Replacing(AEffect* e, float**, float** out, std::int32_t n) {
        auto* self = static_cast<ClickVst*>(e->object);
        if (self->clicked_ && self->LateAfterClick.count() > 0)
            std::this_thread::sleep_for(self->LateAfterClick);
        self->clicked_ = self->Count > 0;
        for (int o = 0; o < 2; ++o)
            for (int i = 0; i < n; ++i)
                out[o][i] = 0.0f;
        for (int k = 0; k < self->Count; ++k) {
            const int f = self->Frames[static_cast<std::size_t>(k)];
            if (f >= 0 && f < n) out[0][f] = out[1][f] = 1.0f;
        }
        self->Count = 0;
    }

    static inline ClickVst* Current = nullptr;
    static AEffect* Main(audioMasterCallback) { return Current ? &Current->E : nullptr; }
    FakeLibrary Library{"clickvst", {{"main", FakeLibrary::Entry(&Main)}}};
};

// Track 0 plays the click softsynth: a note every beat from tick 0 for Beats beats.
void AddClickPart(int Beats) {
    TSoftItem* item = SoftEngine->AddSoftsynth("clickvst");
    ASSERT_TRUE(item->Plugin->Loaded);
    TSoftEngine::UpdateMuteSolo();
    _TTrack& t = *Song->TrackAt(0);
    t.Mode = tmSoftsynth;
    t.Output = 0;
    _TPart* p = NewPart("", 0, Beats * BeatTicks, 0);
    for (int b = 0; b < Beats; ++b) {
        AppendEvent(p, NewEvent(b == 0 ? 0 : BeatTicks - 10, PackMidiMsg(0x90, 60, 100)));
        AppendEvent(p, NewEvent(10, PackMidiMsg(0x80, 60, 0)));
    }
    ASSERT_TRUE(InsertPart(&t, p));
}

// The play command's part of the engines: located under the renderer's hold, then running.
void Play() {
    TRendererHold hold;
    Song->Locate(0, true);
    Song->State = 2;
}

// The first click that is not where Want says, or a count that differs; empty when all are.
std::string FirstMisplaced(const std::vector<std::int64_t>& Clicks,
                           const std::vector<std::int64_t>& Want) {
    for (std::size_t b = 0; b < Want.size() && b < Clicks.size(); ++b)
        if (Clicks[b] != Want[b])
            return "beat " + std::to_string(b) + " at " + std::to_string(Clicks[b]) +
                   " instead of " + std::to_string(Want[b]);
    if (Clicks.size() != Want.size())
        return std::to_string(Clicks.size()) + " clicks instead of " + std::to_string(Want.size());
    return {};
}

// Every beat on its sample from the first click on.
std::vector<std::int64_t> Steady(std::int64_t First, int Beats) {
    std::vector<std::int64_t> want;
    for (int b = 0; b < Beats; ++b)
        want.push_back(First + static_cast<std::int64_t>(b) * BeatTicks * SamplesPerTick);
    return want;
}

// Notes where the output's first side has a click, counting frames across blocks.
class TClickListener {
public:
    void Block(const float* Out, int Frames, std::int64_t First) {
        for (int f = 0; f < Frames; ++f)
            if (Out[f] > 0.5f && count_ < static_cast<int>(clicks_.size()))
                clicks_[static_cast<std::size_t>(count_++)] = First + f;
    }
    std::vector<std::int64_t> Clicks() const {
        return {clicks_.begin(), clicks_.begin() + count_.load()};
    }

private:
    std::array<std::int64_t, 1024> clicks_{};
    std::atomic<int> count_{0};
};

// The program's output as the driver got it.
class OutputHooks : public TAudioHooks {
public:
    TClickListener Listener;
    std::vector<float> Left = std::vector<float>(8192);
    std::int64_t Frame = 0;
    void BroadcastBlock(float* Buffer, int Frames) override {
        for (int f = 0; f < Frames && f < 8192; ++f)
            Left[static_cast<std::size_t>(f)] = Buffer[2 * f];
        Listener.Block(Left.data(), Frames, Frame);
        Frame += Frames;
    }
};

class AudioClicks : public testing::Test {
protected:
    void SetUp() override { platform::SetProgramFolder(TOLVERN_BIN_DIR "/"); }
    void TearDown() override {
        delete audio;
        audio = nullptr;
        delete Song;
        Song = nullptr;
        Midi = nullptr;
        SetAudioHooks(nullptr);
    }
    void Make(const std::string& Ini) {
        settings.WriteIni(Ini);
        SetAudioHooks(&hooks);
        Midi = &midi;
        Song = new TSong;
        audio = new TAudio(0);
    }

    TempSettings settings;
    TMIDI midi;
    TAudio* audio = nullptr;
    OutputHooks hooks;
    ClickVst synth;
};

// 60 s of song time, block by block. Now and then the GUI thread holds the renderer for a
// block, which then plays silence, or the device reports frames it played without a block: the
// song's time goes on all the same, so that every later beat stays on its sample, and a beat
// that fell into such a stretch comes at the first frame after it.
TEST_F(AudioClicks, ScriptedDriverKeepsEveryBeatOnItsSample) {
    Make("[Audio]\nSystem=scripted\nFrames=256\nRate=48000\n");
    ASSERT_NE(audio->Library, 0);
    using RunFn = std::int32_t (*)(std::int32_t, std::int32_t);
    using MissFn = void (*)(std::int32_t);
    auto run =
        reinterpret_cast<RunFn>(platform::GetProcAddress(audio->Library, "ScriptedRunBlocks"));
    auto miss =
        reinterpret_cast<MissFn>(platform::GetProcAddress(audio->Library, "ScriptedMissFrames"));
    ASSERT_TRUE(run && miss);
    audio->Open(0);
    audio->Start();
    ASSERT_TRUE(audio->Running);
    ASSERT_EQ(audio->Rate, 48000.0f);
    const int beats = 120;
    AddClickPart(beats);
    Play();
    // Stretches of device frames that no rendered block played.
    std::vector<std::pair<std::int64_t, std::int64_t>> unplayed;
    std::int64_t frame = 0;
    for (int b = 0; frame < beats * BeatTicks * SamplesPerTick; ++b) {
        if (b % 53 == 20) {
            const int missed = Period * (1 + b % 3);
            miss(missed);
            unplayed.push_back({frame, frame + missed});
            frame += missed;
            hooks.Frame += missed;
        } else if (b % 37 == 5) {
            TRendererHold hold;
            ASSERT_EQ(run(1, 0), 1);
            unplayed.push_back({frame, frame + Period});
            frame += Period;
        } else {
            ASSERT_EQ(run(1, 0), 1);
            frame += Period;
        }
    }
    Song->State = 0;
    ASSERT_GT(unplayed.size(), 400u);
    std::vector<std::int64_t> want = Steady(0, beats);
    for (std::int64_t& w : want)
        for (const auto& [from, to] : unplayed)
            if (w >= from && w < to) w = to;
    EXPECT_EQ(FirstMisplaced(hooks.Listener.Clicks(), want), "");
}

// A recorder of the server's own: what JACK took from the program's first output.
class TJackRecorder {
public:
    TClickListener Listener;
    explicit TJackRecorder(const std::string& Source) {
        client_ = jack_client_open("clickrec", JackNoStartServer, nullptr);
        if (!client_) return;
        in_ = jack_port_register(client_, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        jack_set_process_callback(client_, &Process, this);
        if (jack_activate(client_) != 0 ||
            jack_connect(client_, Source.c_str(), jack_port_name(in_)) != 0) {
            jack_client_close(client_);
            client_ = nullptr;
        }
    }
    ~TJackRecorder() {
        if (client_) jack_client_close(client_);
    }
    bool Connected() const { return client_ != nullptr; }

private:
    static int Process(jack_nframes_t n, void* arg) {
        auto* self = static_cast<TJackRecorder*>(arg);
        auto* in = static_cast<const float*>(jack_port_get_buffer(self->in_, n));
        self->Listener.Block(in, static_cast<int>(n), jack_last_frame_time(self->client_));
        return 0;
    }
    jack_client_t* client_ = nullptr;
    jack_port_t* in_ = nullptr;
};

// Seconds of real time through RtAudio to the server, recorded by a client of the test's own.
// The plug-in runs late after every click, so that the server goes on without the program for
// a cycle or more, and the GUI thread keeps busy: every click that JACK took lies on the sample
// its tick gives.
TEST_F(AudioClicks, JackDriverKeepsEveryBeatOnItsSample) {
    DummyJackServer server(Period, Rate);
    if (!server.Started())
        GTEST_SKIP() << server.Unavailable("jackd could not be started (is jackd2 installed?)");
    Make("[Audio]\nSystem=rtaudio\nFrames=256\nRate=48000\n");
    ASSERT_NE(audio->Library, 0);
    int device = -1;
    for (int tries = 0; tries < 100 && device < 0 && !server.Exited(); ++tries) {
        for (int i = 0; i < audio->DeviceCount() && device < 0; ++i) {
            std::string name;
            audio->DeviceName(i, name);
            if (name.rfind("Jack", 0) == 0) device = i;
        }
        if (device < 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (device < 0) GTEST_SKIP() << server.Unavailable("the dummy JACK server did not come up");
    audio->SetDevice(device);
    audio->Open(0);
    ASSERT_TRUE(audio->AudioOn);
    ASSERT_EQ(audio->Rate, 48000.0f);
    ASSERT_EQ(audio->Frames, Period);
    const int beats = 12;
    AddClickPart(beats);
    synth.LateAfterClick = std::chrono::milliseconds(12); // two periods and more
    audio->Start();
    {
        TJackRecorder recorder("Tolvern:outport 0");
        ASSERT_TRUE(recorder.Connected());
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        Play();
        const auto end = Clock::now() + std::chrono::milliseconds(beats * 500 + 300);
        while (Clock::now() < end) {
            const auto busy = Clock::now() + std::chrono::milliseconds(20);
            while (Clock::now() < busy) {
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        // A block that itself ran past its cycle reached the recorder in a later one, and a
        // beat that fell into cycles the server played without the program comes at the
        // first frame after them: on a loaded machine either may befall a few clicks, each
        // later than its beat. The rest lie on one grid of beats, the last one included: no
        // click comes early and no shift stays.
        const std::vector<std::int64_t> clicks = recorder.Listener.Clicks();
        ASSERT_EQ(clicks.size(), static_cast<std::size_t>(beats));
        std::map<std::int64_t, int> grids;
        for (int b = 0; b < beats; ++b)
            ++grids[clicks[static_cast<std::size_t>(b)] -
                    Steady(0, beats)[static_cast<std::size_t>(b)]];
        const auto grid = std::max_element(grids.begin(), grids.end(),
                                           [](auto& x, auto& y) { return x.second < y.second; });
        std::string all;
        for (std::int64_t c : clicks)
            all += " " + std::to_string(c - grid->first);
        EXPECT_GT(grid->second, beats / 2) << "clicks from the grid's start:" << all;
        const std::vector<std::int64_t> beatsAt = Steady(grid->first, beats);
        for (int b = 0; b < beats; ++b)
            EXPECT_GE(clicks[static_cast<std::size_t>(b)], beatsAt[static_cast<std::size_t>(b)])
                << "beat " << b << " early:" << all;
        EXPECT_EQ(clicks.back(), beatsAt.back()) << all;
    }
    audio->Stop();
    Song->State = 0;
    audio->Close();
}

} // namespace
