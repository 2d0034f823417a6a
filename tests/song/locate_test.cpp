#include "devices/midi.h"
#include "devices/midimsg.h"
#include "scheduler_fixture.h"
#include "song/audioengine.h"
#include "song/engine.h"
#include "song/primitives.h"
#include "song_fixture.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct AudioOnline : TMidiAudio {
    bool on = true;
    bool AudioOn() override { return on; }
};

// Records the engines a locate reaches; its one sample is 22050 Hz mono 16-bit.
struct RecordingHooks : TLocateHooks {
    std::vector<std::string> calls;
    void ClearSampleVoices(TSong&, int Tick) override {
        calls.push_back("clear voices " + std::to_string(Tick));
    }
    void AddSampleVoice(TSong&, int Track, _TPart* Part, int Tick, _TEvent* E) override {
        calls.push_back("voice " + std::to_string(Track) + " part " + std::to_string(Part->Start) +
                        " at " + std::to_string(Tick) + " to go " + std::to_string(E->ToGo));
    }
    void LocateSoftsynths(TSong&, int Tick) override {
        calls.push_back("softsynths " + std::to_string(Tick));
    }
    void PrimeSoftsynthQueues(TSong&, int Tick) override {
        calls.push_back("prime " + std::to_string(Tick));
    }
    void DelaySoftsynthQueues(TSong&, int Ticks, int BaseTick) override {
        calls.push_back("delay " + std::to_string(Ticks) + " base " + std::to_string(BaseTick));
    }
    void LocateBuses(TSong&, int Tick) override {
        calls.push_back("buses " + std::to_string(Tick));
    }
    void LinkAutomation(TSong&) override { calls.push_back("automation"); }
    bool SampleFormatOfEvent(TSong&, int, const _TEvent& E, TSampleFormat& F) override {
        if (MidiData1(E.Msg) != 0) return false; // only slot 0 has a sample
        F = {1, 16, 22050, 2};
        return true;
    }
};

class LocateTest : public SongTest {
protected:
    void SetUp() override {
        SongTest::SetUp();
        SetMidiAudio(&audio);
        SetLocateHooks(&hooks);
        songAudioEngine = Song->AudioEngine;
        Song->AudioEngine = &audioEngine;
        midi.Tempo = 250; // a tick is a millisecond
    }
    void TearDown() override {
        Song->AudioEngine = songAudioEngine;
        SetLocateHooks(nullptr);
        SetMidiAudio(nullptr);
        SongTest::TearDown();
    }
    AudioOnline audio;
    RecordingHooks hooks;
    TAudioEngine audioEngine;
    TAudioEngine* songAudioEngine = nullptr;
};

std::uint32_t SampleOn(int Slot) {
    return PackMidiMsg(msSampleOn, static_cast<std::uint32_t>(Slot), 100);
}
std::uint32_t SampleOff(int Slot) {
    return PackMidiMsg(msSampleOff, static_cast<std::uint32_t>(Slot), 0);
}

} // namespace

TEST_F(LocateTest, PlayMarksOfSampleNotesAndTheEnginesInOrder) {
    Song->Tracks[0]->Mode = tmAudio;
    // Ended before the locate, sounding across it (one tick, 1 ms), sounding without a sample,
    // not yet started.
    _TPart* p = AddPart(0, 0, 960,
                        {{0, SampleOn(0)},
                         {50, SampleOff(0)},
                         {98, SampleOn(1)},
                         {99, SampleOn(0)},
                         {300, SampleOff(0)},
                         {310, SampleOff(1)},
                         {400, SampleOn(0)},
                         {500, SampleOff(0)}});
    Song->Tracks[1]->Mode = tmAudio;
    Song->Tracks[1]->Mute = 1; // no voice, but its marks are reset all the same
    _TPart* muted = AddPart(1, 0, 960, {{0, SampleOn(0)}, {900, SampleOff(0)}});
    muted->Events->PlayMark = 77;
    Song->Tracks[2]->Mode = tmMidi;
    AddPart(2, 0, 960, {{0, PackMidiMsg(0x90, 60, 100)}, {900, PackMidiMsg(0x80, 60, 0)}});
    audioEngine.RenderedSamples = 5000;

    Song->Locate(100, true);
    std::vector<int> marks;
    for (_TEvent* e = p->Events; e; e = e->Next)
        marks.push_back(e->PlayMark);
    EXPECT_EQ(marks, (std::vector<int>{-1, -1, 0, 44, -1, -1, 0, -1}));
    EXPECT_EQ(muted->Events->PlayMark, 0);
    EXPECT_EQ(hooks.calls,
              (std::vector<std::string>{"clear voices 100", "voice 0 part 0 at 100 to go -2",
                                        "softsynths 100", "prime 100", "buses 100", "automation"}));
    EXPECT_EQ(audioEngine.RenderedSamples, 0);
    EXPECT_EQ(audioEngine.Empty, 0);
    EXPECT_EQ(audioEngine.StartSamples, 4410); // 100 ms at 44100 Hz
    EXPECT_EQ(Song->AudioPos, 100.0);
}

TEST_F(LocateTest, NothingWithoutAudioAndAMixdownNeverLoops) {
    Song->LoopOn = 1;
    Song->LeftLocator = 0;
    Song->RightLocator = 960;
    audio.on = false;
    Song->Locate(100, true);
    EXPECT_TRUE(hooks.calls.empty());
    EXPECT_EQ(Song->Looping, 0);
    Song->Locate(100, false); // the offline mixdown locates without audio
    EXPECT_FALSE(hooks.calls.empty());
    EXPECT_EQ(Song->Looping, 0);
    audio.on = true;
    Song->Locate(100, true);
    EXPECT_EQ(Song->Looping, 1);
    Song->Locate(960, true);
    EXPECT_EQ(Song->Looping, 0) << "from the right locator on the song plays through";
}

// The 16-bit engine plays a precount while recording; the multimedia back end has none.
TEST_F(LocateTest, PrecountOfARecording) {
    Song->LeftLocator = 1000;
    Song->Precounts = 4;
    struct Case {
        int mode, state, ticks;
    };
    for (Case c : {Case{0, 1, 960}, Case{1, 1, 0}, Case{0, 2, 0}}) {
        MidiMode = c.mode;
        Song->State = c.state;
        hooks.calls.clear();
        EXPECT_EQ(Song->PrecountTicks(), c.ticks);
        Song->Locate(1000, true);
        EXPECT_EQ(Song->PrecountLeft, static_cast<double>(c.ticks));
        EXPECT_EQ(audioEngine.PrecountTicks, c.ticks);
        bool delayed = std::find(hooks.calls.begin(), hooks.calls.end(), "delay 960 base 40") !=
                       hooks.calls.end();
        EXPECT_EQ(delayed, c.ticks == 960) << c.mode << " " << c.state;
    }
    MidiMode = 1;
    Song->State = 0;
}

// Parts: one at 0 (960 long, events at 100 and 500), one at 1200 (480 long, at 1240, 1400).
TEST_F(SongTest, FirstEventOfATrackFromATick) {
    _TTrack* t = Song->Tracks[0].get();
    AddPart(0, 0, 960, {{100, PackMidiMsg(0x90, 60, 100)}, {500, PackMidiMsg(0x80, 60, 0)}});
    _TPart* second =
        AddPart(0, 1200, 480, {{1240, PackMidiMsg(0xB0, 7, 1)}, {1400, PackMidiMsg(0xB0, 7, 2)}});
    struct Case {
        bool looping;
        int L, R, tick;
        int partStart, toGo; // partStart -1: nothing
    };
    const Case cases[] = {
        {false, 0, 0, 0, 0, 100},        // under the tick
        {false, 0, 0, 300, 0, 200},      //
        {false, 0, 0, 600, 1200, 640},   // past the part's last event: the next part
        {false, 0, 0, 1500, -1, 0},      // nothing left
        {true, 0, 960, 600, 0, 460},     // only after the wrap: the loop end plus the first delta
        {true, 200, 960, 600, 0, 660},   // from a part that starts before the left locator
        {true, 0, 1300, 600, 1200, 640}, // a later part starts inside the loop
        {true, 0, 1150, 1100, 0, 150},   // the part ahead starts beyond the loop: the wrap first
    };
    for (const Case& c : cases) {
        Song->Looping = c.looping;
        Song->LeftLocator = c.L;
        Song->RightLocator = c.R;
        _TPart* part = nullptr;
        _TEvent* e = FirstMidiEventAt(t, part, c.tick);
        std::string where = std::to_string(c.tick) + (c.looping ? " looping" : "");
        if (c.partStart < 0) {
            EXPECT_EQ(e, nullptr) << where;
            continue;
        }
        ASSERT_NE(e, nullptr) << where;
        EXPECT_EQ(part->Start, c.partStart) << where;
        EXPECT_EQ(e->ToGo, c.toGo) << where;
    }
    // A muted part is passed over; an audio track also finds the note sounding at the tick.
    Song->Looping = 0;
    t->Parts->Flags |= pfMuted;
    _TPart* part = nullptr;
    EXPECT_EQ(FirstMidiEventAt(t, part, 0), second->Events);
    EXPECT_EQ(second->Events->ToGo, 1240);
    t->Parts->Flags &= ~pfMuted;
    _TEvent* sounding = FirstSampleEventAt(t, part, 300);
    EXPECT_EQ(sounding, t->Parts->Events);
    EXPECT_EQ(sounding->ToGo, -200);
    EXPECT_EQ(FirstMidiEventAt(t, part, 300), t->Parts->Events->Next);
}
