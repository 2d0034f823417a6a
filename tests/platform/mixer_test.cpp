// The system mixer interface: devices by id, lines and controls of the scripted mixers, and
// the mapping of an ALSA card's simple elements onto destinations, sources and controls.
#include "platform/audio/mixer.h"
#include "platform/audio/scripted.h"
#include "platform/audio/sound.h"

#include <gtest/gtest.h>

namespace {

using namespace platform;

TAlsaElement Element(std::string Name) {
    TAlsaElement e;
    e.Name = std::move(Name);
    return e;
}

// An HDA codec: "Master" and "PCM" for playback, "Capture" with an "Input Source" choice.
std::vector<TAlsaElement> HdaCodec() {
    TAlsaElement master = Element("Master");
    master.PlaybackVolume = true;
    master.PlaybackMax = 87;
    master.PlaybackChannels = 1;
    master.PlaybackSwitch = master.PlaybackSwitchJoined = true;
    TAlsaElement pcm = Element("PCM");
    pcm.PlaybackVolume = true;
    pcm.PlaybackMax = 255;
    pcm.PlaybackChannels = 2;
    TAlsaElement capture = Element("Capture");
    capture.CaptureVolume = true;
    capture.CaptureMax = 63;
    capture.CaptureChannels = 2;
    capture.CaptureSwitch = true;
    TAlsaElement source = Element("Input Source");
    source.CaptureEnum = true;
    source.EnumItems = {"Mic", "Line", "Internal Mic"};
    return {master, pcm, capture, source};
}

// A USB microphone: one capture element with a switch of its own.
std::vector<TAlsaElement> UsbMicrophone() {
    TAlsaElement mic = Element("Mic");
    mic.CaptureVolume = true;
    mic.CaptureMin = 0;
    mic.CaptureMax = 16;
    mic.CaptureChannels = 1;
    mic.CaptureSwitch = true;
    return {mic};
}

std::vector<std::uint32_t> Types(const TMixerLineModel& Line) {
    std::vector<std::uint32_t> t;
    for (const TMixerControlModel& c : Line.Controls)
        t.push_back(c.Type);
    return t;
}

TEST(MixerAlsa, AnHdaCodecGivesSpeakersAndAWaveInLineWithASingleSelectChoice) {
    const TMixerModel m = MixerModelFromAlsa("HDA Intel PCH", HdaCodec());
    EXPECT_EQ(m.Name, "HDA Intel PCH");
    ASSERT_EQ(m.Destinations.size(), 2u);
    const auto& speakers = m.Destinations[0];
    EXPECT_EQ(speakers.ComponentType, MIXER_DST_SPEAKERS);
    EXPECT_EQ(speakers.Name, "Master");
    EXPECT_EQ(speakers.Channels, 1u);
    EXPECT_EQ(Types(speakers),
              (std::vector<std::uint32_t>{MIXER_CONTROL_VOLUME, MIXER_CONTROL_MUTE}));
    EXPECT_TRUE(speakers.Controls[1].Uniform);
    EXPECT_EQ(speakers.Controls[0].Maximum, 87);
    ASSERT_EQ(speakers.Sources.size(), 1u);
    EXPECT_EQ(speakers.Sources[0].Name, "PCM");
    EXPECT_EQ(speakers.Sources[0].ComponentType, MIXER_SRC_WAVEOUT);
    EXPECT_EQ(Types(speakers.Sources[0]), (std::vector<std::uint32_t>{MIXER_CONTROL_VOLUME}));

    const auto& wavein = m.Destinations[1];
    EXPECT_EQ(wavein.ComponentType, MIXER_DST_WAVEIN);
    EXPECT_EQ(wavein.Name, "Capture");
    EXPECT_EQ(Types(wavein), (std::vector<std::uint32_t>{MIXER_CONTROL_VOLUME, MIXER_CONTROL_MUTE,
                                                         MIXER_CONTROL_MUX}));
    EXPECT_EQ(wavein.Controls[2].Items, 3u);
    ASSERT_EQ(wavein.Sources.size(), 3u);
    EXPECT_EQ(wavein.Sources[2].Name, "Internal Mic");
    EXPECT_EQ(wavein.Sources[0].ComponentType, MIXER_SRC_MICROPHONE);
    EXPECT_TRUE(wavein.Sources[0].Controls.empty())
        << "the choice's items have no level of their own";
}

TEST(MixerAlsa, AUsbMicrophoneIsAWaveInSourceUnderAMultipleSelectSelector) {
    const TMixerModel m =
        MixerModelFromAlsa("USB PnP Sound Device with a very long name", UsbMicrophone());
    EXPECT_EQ(m.Name.size(), MIXER_NAME_LENGTH);
    ASSERT_EQ(m.Destinations.size(), 1u) << "no playback elements, no speakers";
    const auto& wavein = m.Destinations[0];
    EXPECT_EQ(wavein.ComponentType, MIXER_DST_WAVEIN);
    EXPECT_EQ(Types(wavein), (std::vector<std::uint32_t>{MIXER_CONTROL_MIXER}));
    ASSERT_EQ(wavein.Sources.size(), 1u);
    EXPECT_EQ(wavein.Sources[0].Name, "Mic");
    EXPECT_EQ(wavein.Sources[0].Channels, 1u);
    EXPECT_EQ(Types(wavein.Sources[0]), (std::vector<std::uint32_t>{MIXER_CONTROL_VOLUME}));
    EXPECT_EQ(wavein.Sources[0].Controls[0].Maximum, 16);

    auto exclusive = UsbMicrophone();
    exclusive[0].CaptureSwitchExclusive = true;
    EXPECT_EQ(MixerModelFromAlsa("x", exclusive).Destinations[0].Controls[0].Type,
              MIXER_CONTROL_MUX);
}

TEST(MixerScripted, DevicesOpenByIdAndControlsReadAndWriteTheirValues) {
    UseAudioDevices(TAudioDevices::Scripted);
    ScriptedAudio().Reset();
    ScriptedAudio().Mixers = {MixerModelFromAlsa("HDA Intel PCH", HdaCodec())};
    EXPECT_EQ(MixerCount(), 1);
    std::string name;
    ASSERT_TRUE(MixerName(0, name));
    EXPECT_EQ(name, "HDA Intel PCH");
    EXPECT_FALSE(MixerName(-1, name));
    EXPECT_FALSE(TMixerDevice::Open(-1));
    EXPECT_FALSE(TMixerDevice::Open(1));
    auto m = TMixerDevice::Open(0);
    ASSERT_TRUE(m);
    TMixerLineInfo line;
    ASSERT_TRUE(m->GetDestination(1, line));
    EXPECT_EQ(line.Connections, 3u);
    TMixerControlInfo mux;
    ASSERT_TRUE(m->GetControlByType(line.LineId, MIXER_CONTROL_MUX, mux));
    EXPECT_EQ(mux.Flags & MIXER_FLAG_MULTIPLE, MIXER_FLAG_MULTIPLE);
    const std::int32_t items[3] = {0, 1, 0};
    ASSERT_TRUE(m->SetDetails(mux.ControlId, 3, items));
    std::int32_t back[3] = {};
    ASSERT_TRUE(m->GetDetails(mux.ControlId, 3, back));
    EXPECT_EQ(back[1], 1);
    EXPECT_EQ(ScriptedAudio().Mixers[0].Destinations[1].Controls[2].Values[1], 1)
        << "another opening sees it";
    ScriptedAudio().Fail("mixerGetControlDetails");
    EXPECT_FALSE(m->GetDetails(mux.ControlId, 3, back));
    EXPECT_FALSE(m->GetControlByType(line.LineId, MIXER_CONTROL_BASS, mux));
    ScriptedAudio().Reset();
    UseAudioDevices(TAudioDevices::Null);
    EXPECT_EQ(MixerCount(), 0);
}

} // namespace
