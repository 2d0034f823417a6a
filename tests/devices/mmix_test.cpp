// Lines and controls of the system mixer on scripted mixers, and on the first ALSA card.
#include "devices/mmix.h"
#include "platform/audio/scripted.h"
#include "platform/audio/sound.h"

#include <gtest/gtest.h>

namespace {

using namespace platform;

TMixerControlModel Control(std::uint32_t Type, std::string Name, std::vector<std::int32_t> Values,
                           bool Uniform = false, std::uint32_t Items = 0) {
    TMixerControlModel c;
    c.Type = Type;
    c.Name = std::move(Name);
    c.Values = std::move(Values);
    c.Uniform = Uniform;
    c.Items = Items;
    c.Minimum = 0;
    c.Maximum = Type == MIXER_CONTROL_MUTE ? 1 : 65535;
    return c;
}

TMixerLineModel Line(std::string Name, std::uint32_t Channels,
                     std::vector<TMixerControlModel> Controls) {
    TMixerLineModel l;
    l.Name = std::move(Name);
    l.Channels = Channels;
    l.Controls = std::move(Controls);
    return l;
}

// A card with speakers (a stereo master with a uniform mute, a mono and a muteless source) and
// a recording destination with four sources under a selector of the kind asked for.
TMixerModel Card(std::vector<std::uint32_t> Selectors, bool DestinationVolume = true) {
    TMixerModel m;
    m.Name = "Scripted card";
    TMixerDestinationModel speakers;
    static_cast<TMixerLineModel&>(speakers) =
        Line("Master", 2,
             {Control(MIXER_CONTROL_VOLUME, "Master", {30000, 30001}),
              Control(MIXER_CONTROL_MUTE, "Master Mute", {1}, true)});
    speakers.ComponentType = MIXER_DST_SPEAKERS;
    speakers.Sources = {Line("Wave", 1, {Control(MIXER_CONTROL_VOLUME, "Wave", {1234})}),
                        Line("Beep", 1, {})};
    TMixerDestinationModel rec;
    std::vector<TMixerControlModel> own;
    if (DestinationVolume) own.push_back(Control(MIXER_CONTROL_VOLUME, "Recording", {500, 500}));
    own.push_back(Control(MIXER_CONTROL_BASS, "Bass", {10, 10}));
    own.push_back(Control(MIXER_CONTROL_TREBLE, "Treble", {20, 20}));
    for (std::uint32_t type : Selectors)
        own.push_back(Control(type, "Select", {1, 0, 1, 0}, false, 4));
    static_cast<TMixerLineModel&>(rec) = Line("Recording", 2, own);
    rec.ComponentType = MIXER_DST_WAVEIN;
    for (const char* name : {"Mic", "Line", "CD", "Aux"})
        rec.Sources.push_back(
            Line(name, 2,
                 {Control(MIXER_CONTROL_VOLUME, name, {100, 100}),
                  Control(MIXER_CONTROL_MUTE, std::string(name) + " Mute", {0, 0})}));
    m.Destinations = {speakers, rec};
    return m;
}

class MixerLineTest : public testing::Test {
protected:
    void SetUp() override {
        UseAudioDevices(TAudioDevices::Scripted);
        ScriptedAudio().Reset();
    }
    void TearDown() override {
        line.Close();
        ScriptedAudio().Reset();
        UseAudioDevices(TAudioDevices::Null);
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> n;
        for (const auto& c : line.Controls)
            n.push_back(c->Name);
        return n;
    }
    TMLine line;
};

TEST_F(MixerLineTest, ALineOfTheAskedTypeTakesItsControlsThenItsSources) {
    ScriptedAudio().Mixers = {Card({MIXER_CONTROL_MUX})};
    EXPECT_FALSE(line.Open(-1, MIXER_DST_SPEAKERS));
    EXPECT_FALSE(line.Open(1, MIXER_DST_SPEAKERS));
    ASSERT_TRUE(line.Open(0, MIXER_DST_SPEAKERS));
    EXPECT_EQ(line.Name, " Master");
    EXPECT_EQ(Names(), (std::vector<std::string>{"Master", "Wave"}))
        << "a source without volume is left out";
    TMControl& master = *line.Controls[0];
    EXPECT_EQ(master.GetVolume(), 30000) << "the mean of 30000 and 30001, truncated";
    EXPECT_EQ(master.MuteChannels, 1) << "a uniform mute on a stereo line";
    EXPECT_TRUE(master.GetMute());
    master.SetMute(false);
    EXPECT_EQ(ScriptedAudio().Mixers[0].Destinations[0].Controls[1].Values,
              std::vector<std::int32_t>{0});
    EXPECT_FALSE(master.GetMute());
    master.SetVolume(4000);
    EXPECT_EQ(ScriptedAudio().Mixers[0].Destinations[0].Controls[0].Values,
              (std::vector<std::int32_t>{4000, 4000}));
    TMControl& wave = *line.Controls[1];
    EXPECT_EQ(wave.GetVolume(), 1234) << "mono";
    EXPECT_FALSE(wave.GetMute()) << "no mute control";
    EXPECT_TRUE(wave.IsSelected()) << "no selector";

    // Opening again leaves one mixer and one set of controls.
    ASSERT_TRUE(line.Open(0, MIXER_DST_WAVEIN));
    EXPECT_EQ(line.Name, " Recording");
    EXPECT_EQ(Names(), (std::vector<std::string>{"Recording", "Bass", "Treble", "Mic", "Line", "CD",
                                                 "Aux"}));
}

TEST_F(MixerLineTest, TheSelectorsKindDecidesExclusiveSelectAndWhatIsSelected) {
    const struct {
        std::vector<std::uint32_t> Selectors;
        bool Exclusive;
    } cases[] = {
        {{MIXER_CONTROL_MIXER}, false},
        {{MIXER_CONTROL_MUX}, true},
        {{}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Selectors.size());
        ScriptedAudio().Mixers = {Card(c.Selectors)};
        ASSERT_TRUE(line.Open(0, MIXER_DST_WAVEIN));
        EXPECT_EQ(line.ExclusiveSelect, c.Exclusive);
        TMControl& mic = *line.Controls[3];
        TMControl& lineIn = *line.Controls[4];
        EXPECT_TRUE(mic.IsSelected());
        EXPECT_EQ(lineIn.IsSelected(), c.Selectors.empty());
    }
    // Exclusive: of four items with 0 and 2 set, only this line's item stays set.
    ScriptedAudio().Mixers = {Card({MIXER_CONTROL_MUX})};
    ASSERT_TRUE(line.Open(0, MIXER_DST_WAVEIN));
    line.Controls[6]->SetSelected(false, true);
    EXPECT_EQ(ScriptedAudio().Mixers[0].Destinations[1].Controls[3].Values,
              (std::vector<std::int32_t>{0, 0, 0, 1}));
    line.Controls[4]->SetSelected(true, false);
    EXPECT_EQ(ScriptedAudio().Mixers[0].Destinations[1].Controls[3].Values,
              (std::vector<std::int32_t>{0, 1, 0, 1}));
    // A refused read answers 0 or False and a selection built on it writes nothing.
    ScriptedAudio().Fail("mixerGetControlDetails");
    EXPECT_EQ(line.Controls[0]->GetVolume(), 0);
    EXPECT_FALSE(line.Controls[3]->GetMute());
    EXPECT_FALSE(line.Controls[4]->IsSelected());
    line.Controls[3]->SetSelected(true, true);
    EXPECT_EQ(ScriptedAudio().Mixers[0].Destinations[1].Controls[3].Values,
              (std::vector<std::int32_t>{0, 1, 0, 1}));
}

TEST_F(MixerLineTest, WithoutTheTypeOrAVolumeTheLineSaysSo) {
    TMixerModel noRecording = Card({});
    noRecording.Destinations.pop_back();
    ScriptedAudio().Mixers = {noRecording, Card({}, false)};
    EXPECT_FALSE(line.Open(0, MIXER_DST_WAVEIN));
    EXPECT_TRUE(line.Controls.empty());
    EXPECT_EQ(line.Name, " Master");
    ASSERT_TRUE(line.Open(1, MIXER_DST_WAVEIN));
    EXPECT_EQ(line.Controls[0]->Name, "Bass") << "no volume: the list begins with the bass";
    ScriptedAudio().Fail("mixerOpen");
    EXPECT_FALSE(line.Open(1, MIXER_DST_WAVEIN));
    EXPECT_FALSE(line.Opened());
}

TEST_F(MixerLineTest, AnAlsaHdaCodecGivesTheRecordingLineOfItsCaptureElement) {
    TAlsaElement master;
    master.Name = "Master";
    master.PlaybackVolume = master.PlaybackSwitch = true;
    master.PlaybackMax = 87;
    master.PlaybackChannels = 2;
    TAlsaElement capture;
    capture.Name = "Capture";
    capture.CaptureVolume = capture.CaptureSwitch = true;
    capture.CaptureMax = 63;
    capture.CaptureChannels = 2;
    TAlsaElement source;
    source.Name = "Input Source";
    source.CaptureEnum = true;
    source.EnumItems = {"Mic", "Line"};
    ScriptedAudio().Mixers = {MixerModelFromAlsa("HDA Intel PCH", {master, capture, source})};
    ASSERT_TRUE(line.Open(0, MIXER_DST_WAVEIN));
    EXPECT_EQ(line.Name, " Capture");
    EXPECT_TRUE(line.ExclusiveSelect);
    ASSERT_EQ(line.Controls.size(), 1u);
    EXPECT_EQ(line.Controls[0]->VolumeMax, 63);
    EXPECT_NE(line.Controls[0]->MuteId, -1);
}

TEST(MixerLineReal, TheFirstAlsaCardOpensItsSpeakersOrRecordingLine) {
    UseAudioDevices(TAudioDevices::Real);
    const int cards = MixerCount();
    if (cards == 0) {
        UseAudioDevices(TAudioDevices::Null);
        GTEST_SKIP() << "the kernel has no sound card";
    }
    TMLine line;
    const bool speakers = line.Open(0, MIXER_DST_SPEAKERS);
    const bool recording = speakers || line.Open(0, MIXER_DST_WAVEIN);
    EXPECT_TRUE(line.Opened());
    if (recording)
        for (const auto& c : line.Controls)
            if (c->VolumeId != -1) {
                const int v = c->GetVolume();
                EXPECT_GE(v, c->VolumeMin);
                EXPECT_LE(v, c->VolumeMax);
            }
    line.Close();
    UseAudioDevices(TAudioDevices::Null);
}

} // namespace
