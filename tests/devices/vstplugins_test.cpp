// The example plug-ins of the program folder and real Linux VST 2 plug-ins, loaded for real.

#include "devices/mfx.h"
#include "devices/midi.h"
#include "platform/core/paths.h"
#include "support/scripted_dialogs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

// VstEvents with room for a few events.
struct EventBlock {
    std::int32_t numEvents = 0;
    VstIntPtr reserved = 0;
    VstEvent* events[8] = {};
    VstMidiEvent midi[8] = {};
};

void SendMidi(TMFX& plug, std::initializer_list<std::uint32_t> messages) {
    EventBlock b;
    for (std::uint32_t m : messages) {
        VstMidiEvent& e = b.midi[b.numEvents];
        e.type = kVstMidiType;
        e.byteSize = sizeof(VstMidiEvent);
        e.midiData[0] = static_cast<char>(m & 0xFF);
        e.midiData[1] = static_cast<char>((m >> 8) & 0x7F);
        e.midiData[2] = static_cast<char>((m >> 16) & 0x7F);
        b.events[b.numEvents] = reinterpret_cast<VstEvent*>(&e);
        ++b.numEvents;
    }
    plug.Dispatch(effProcessEvents, 0, 0, &b);
}

// Mean square of `blocks` blocks of 512 frames rendered from silence.
double Energy(TMFX& plug, int blocks) {
    std::vector<float> in(1024, 0.0f), out(1024);
    double sum = 0;
    for (int b = 0; b < blocks; ++b) {
        std::fill(in.begin(), in.end(), 0.0f);
        plug.Process(in.data(), out.data(), 512, false, true);
        for (float s : out) sum += double{s} * s;
    }
    return sum / (1024.0 * blocks);
}

std::string ProgramName(TMFX& plug, int program) {
    char buf[256] = {};
    plug.Dispatch(effSetProgram, 0, program);
    plug.Dispatch(effGetProgramName, 0, 0, buf);
    return buf;
}

class PluginFiles : public testing::Test {
protected:
    void SetUp() override { Midi = &midi; }
    void TearDown() override { Midi = nullptr; }
    TMIDI midi;
    ScriptedDialogs boxes; // none expected
};

TEST_F(PluginFiles, ExampleVstInstrumentPlaysProgramsAndKeepsItsChunk) {
    TMFX synth;
    synth.Path = TOLVERN_BIN_DIR "/synth/tvsynth.so";
    ASSERT_TRUE(synth.Load(0));
    EXPECT_EQ(synth.Kind, 1);
    std::string text;
    synth.GetName(text);
    EXPECT_EQ(text, "tvsynth");
    ASSERT_EQ(synth.NumParams(), 3);
    synth.GetParamName(2, text);
    EXPECT_EQ(text, "Release");
    EXPECT_EQ(synth.NumPrograms(), 4);
    EXPECT_EQ(ProgramName(synth, 1), "Bright Saw");
    EXPECT_EQ(ProgramName(synth, 0), "Soft Sine");
    EXPECT_EQ(synth.Dispatch(effGetProgram), 0);

    void* chunk = nullptr;
    VstIntPtr size = synth.Dispatch(effGetChunk, 0, 0, &chunk);
    ASSERT_GT(size, 0);
    std::vector<char> saved(static_cast<char*>(chunk), static_cast<char*>(chunk) + size);
    synth.SetParameter(0, 0.1);
    synth.Dispatch(effSetChunk, 0, size, saved.data());
    EXPECT_FLOAT_EQ(static_cast<float>(synth.GetParameter(0)), 0.7f);

    EXPECT_EQ(Energy(synth, 2), 0.0);
    SendMidi(synth, {0x7F3C90});
    const double sounding = Energy(synth, 8);
    EXPECT_GT(sounding, 1e-4);
    SendMidi(synth, {0x003C80});
    Energy(synth, 40); // the release (0.6 s) runs out
    EXPECT_LT(Energy(synth, 4), sounding * 1e-4);
}

// The example instruments' editors are X11 windows in the host's window: none without one.
TEST_F(PluginFiles, ExampleEditorsNeedAParentWindow) {
    TMFX vst;
    vst.Path = TOLVERN_BIN_DIR "/synth/tvsynth.so";
    ASSERT_TRUE(vst.Load(0));
    EXPECT_NE(vst.Effect->flags & effFlagsHasEditor, 0);
    ERect* rect = nullptr;
    vst.Dispatch(effEditGetRect, 0, 0, &rect);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right, 240);
    EXPECT_EQ(rect->bottom, 120);
    EXPECT_EQ(vst.Dispatch(effEditOpen, 0, 0, nullptr), 0);
    vst.Dispatch(effEditIdle);
    vst.Dispatch(effEditClose);

    TMFX own;
    own.Path = TOLVERN_BIN_DIR "/synth/mfxsynth.so";
    ASSERT_TRUE(own.Load(0));
    std::int32_t size[2] = {-1, -1};
    EXPECT_EQ(own.Command(MFX_EDITOR, 0, reinterpret_cast<std::intptr_t>(size)), -1);
    EXPECT_EQ(size[0], -1);
}

TEST_F(PluginFiles, ExampleGainsOfBothInterfaces) {
    for (const char* path : {TOLVERN_BIN_DIR "/fx/tvgain.so", TOLVERN_BIN_DIR "/fx/mfxgain.so"}) {
        SCOPED_TRACE(path);
        TMFX gain;
        gain.Path = path;
        ASSERT_TRUE(gain.Load(0));
        ASSERT_EQ(gain.NumParams(), 1);
        EXPECT_EQ(gain.ParamCount, 1);
        std::string text;
        gain.GetParamName(0, text);
        EXPECT_EQ(text, "Gain");
        gain.SetParameter(0, 1.0); // twice
        std::vector<float> buf = {0.25f, -0.5f, 0.125f, 0.0f};
        gain.Process(buf.data(), buf.data(), 2, false, true);
        EXPECT_EQ(buf, (std::vector<float>{0.5f, -1.0f, 0.25f, 0.0f}));
    }
}

TEST_F(PluginFiles, ExampleOwnInterfaceInstrumentPlaysBlockEvents) {
    TMFX synth;
    synth.Path = TOLVERN_BIN_DIR "/synth/mfxsynth.so";
    ASSERT_TRUE(synth.Load(0));
    EXPECT_EQ(synth.Kind, 0);
    EXPECT_EQ(synth.NumOutputs(), 1);
    ASSERT_EQ(synth.Params.size(), 2u); // volume and wave; release is not automatable
    TMfxEvent on{100, 0x7F4590, 0, nullptr};
    synth.Command(MFX_EVENTS, reinterpret_cast<std::intptr_t>(&on), 0);
    std::vector<float> buf(1024, 0.0f);
    synth.Process(buf.data(), buf.data(), 512, false, true);
    for (int i = 0; i < 200; ++i) ASSERT_EQ(buf[i], 0.0f) << i; // silent before its frame
    double sum = 0;
    for (float s : buf) sum += double{s} * s;
    EXPECT_GT(sum, 0.01);

    void* state = nullptr;
    EXPECT_EQ(synth.Command(MFX_STATE, -1, reinterpret_cast<std::intptr_t>(&state)), 12);
    EXPECT_NE(state, nullptr);
}

// Real plug-ins from the distribution's dpf-plugins-vst package.
std::string DistributionPlugin(const char* name) {
    std::string path = std::string("/usr/lib/vst/") + name;
    return platform::FileExists(path) ? path : std::string();
}

TEST_F(PluginFiles, RealLinuxInstrumentAndEffect) {
    const std::string instrument = DistributionPlugin("Kars-vst.so");
    const std::string effect = DistributionPlugin("MaFreeverb-vst.so");
    if (instrument.empty() || effect.empty())
        GTEST_SKIP() << "dpf-plugins-vst is not installed (Kars-vst.so, MaFreeverb-vst.so in /usr/lib/vst)";

    TMFX fx;
    fx.Path = effect;
    ASSERT_TRUE(fx.Load(0));
    char name[256] = {};
    fx.Dispatch(effGetEffectName, 0, 0, name);
    EXPECT_STRNE(name, "");
    EXPECT_GT(fx.NumParams(), 0);
    std::string text;
    fx.GetParamName(0, text);
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(fx.Params.size(), static_cast<std::size_t>(std::min(fx.NumParams(), 128)));

    TMFX synth;
    synth.Path = instrument;
    ASSERT_TRUE(synth.Load(0));
    std::memset(name, 0, sizeof name);
    synth.Dispatch(effGetEffectName, 0, 0, name);
    EXPECT_STRNE(name, "");
    EXPECT_GT(synth.NumParams(), 0);
    EXPECT_NE(synth.Effect->flags & effFlagsIsSynth, 0);
    synth.GetName(text);
    EXPECT_EQ(text, "Kars-vst");

    SendMidi(synth, {0x7F4590});
    const double sounding = Energy(synth, 8);
    EXPECT_GT(sounding, 1e-6);
    SendMidi(synth, {0x004580});
    Energy(synth, 200); // a few seconds
    EXPECT_LT(Energy(synth, 8), sounding * 0.01);

    EXPECT_TRUE(synth.Unload());
    EXPECT_TRUE(fx.Unload());
    EXPECT_EQ(synth.Dll, 0);
}

} // namespace
