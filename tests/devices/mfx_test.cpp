// The plug-in object against fake VST 2 and own-interface libraries.

#include "devices/mfx.h"
#include "devices/midi.h"
#include "song/song.h"
#include "support/fake_library.h"
#include "support/scripted_dialogs.h"
#include "support/temp_settings.h"
#include "support/test_panels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

// ---- a fake VST 2 plug-in, shaped by each test ----

struct FakeVst {
    AEffect E{};
    std::vector<std::string> Log;
    std::vector<float> Params = std::vector<float>(256, 0.0f);
    std::string ParamText = "Cut";
    // processReplacing: frames of every call and the value of parameter 0 when it came.
    std::vector<std::pair<int, float>> Calls;
    float Add = 0.25f; // what each output sample gets
    ERect Rect{0, 0, 300, 400};
    void* EditParent = nullptr; // effEditOpen's ptr

    FakeVst() {
        E.magic = CCONST('V', 's', 't', 'P');
        E.dispatcher = &Dispatcher;
        E.process = &Process;
        E.processReplacing = &Replacing;
        E.setParameter = [](AEffect* e, std::int32_t i, float v) { Self(e)->Params.at(i) = v; };
        E.getParameter = [](AEffect* e, std::int32_t i) { return Self(e)->Params.at(i); };
        E.numParams = 4;
        E.numPrograms = 3;
        E.numInputs = 2;
        E.numOutputs = 2;
        E.flags = effFlagsCanReplacing;
        E.object = this;
    }
    static FakeVst* Self(AEffect* e) { return static_cast<FakeVst*>(e->object); }
    static VstIntPtr Dispatcher(AEffect* e, std::int32_t op, std::int32_t index, VstIntPtr value,
                                void* ptr, float opt) {
        FakeVst* f = Self(e);
        std::string entry = std::to_string(op) + ":" + std::to_string(index) + ":" +
                            std::to_string(value);
        if (op == effSetSampleRate) entry += ":" + std::to_string(static_cast<int>(opt));
        f->Log.push_back(entry);
        if (op == effGetParamName || op == effGetParamDisplay)
            std::strcpy(static_cast<char*>(ptr), f->ParamText.c_str());
        if (op == effEditOpen) f->EditParent = ptr;
        if (op == effEditGetRect) *static_cast<ERect**>(ptr) = &f->Rect;
        return 0;
    }
    // Output i gets input i (silence past the inputs) plus Add x (i + 1).
    static void Run(AEffect* e, float** in, float** out, std::int32_t n, bool replace) {
        FakeVst* f = Self(e);
        f->Calls.push_back({n, f->Params[0]});
        for (int o = 0; o < std::clamp(e->numOutputs, 0, MaxPluginPins); ++o)
            for (int i = 0; i < n; ++i) {
                float v = (o < e->numInputs ? in[o][i] : 0.0f) + f->Add * static_cast<float>(o + 1);
                out[o][i] = replace ? v : out[o][i] + v;
            }
        for (int c = 0; c < std::clamp(e->numInputs, 0, MaxPluginPins); ++c) // every pin is readable
            for (int i = 0; i < n; ++i) (void)in[c][i];
    }
    static void Process(AEffect* e, float** in, float** out, std::int32_t n) { Run(e, in, out, n, false); }
    static void Replacing(AEffect* e, float** in, float** out, std::int32_t n) { Run(e, in, out, n, true); }
};

FakeVst* theVst = nullptr;
AEffect* VstMain(audioMasterCallback host) {
    EXPECT_EQ(host(nullptr, audioMasterVersion, 0, 0, nullptr, 0), 2);
    return theVst ? &theVst->E : nullptr;
}

// ---- a fake plug-in of the own interface ----

struct FakeMfx {
    TMfxInterface R{};
    std::vector<std::string> Log;
    std::vector<std::intptr_t> Automatable = {2, 3, 0};
    std::intptr_t Outputs = -1;
    double Values[4] = {};
    float* RateAddress = nullptr;
    std::intptr_t EditorParent = 0;  // command 4's A
    std::intptr_t EditorAnswer = -1; // command 4's answer
    std::int32_t EditorSize[2] = {240, 120};

    FakeMfx() {
        R.NumParams = 3;
        R.GetParamName = [](TMfxInterface*, std::int32_t i, char* b) {
            std::snprintf(b, MFX_TEXT_BYTES, " P%d\t", i);
        };
        R.GetParamDisplay = [](TMfxInterface* r, std::int32_t i, char* b) {
            std::snprintf(b, MFX_TEXT_BYTES, "%.2f", Self(r)->Values[i]);
        };
        R.SetParameter = [](TMfxInterface* r, std::int32_t i, double v) { Self(r)->Values[i] = v; };
        R.GetParameter = [](TMfxInterface* r, std::int32_t i) { return Self(r)->Values[i]; };
        R.Process = [](TMfxInterface*, float* b, std::int32_t n) {
            for (int i = 0; i < 2 * n; ++i) b[i] *= 3.0f;
        };
        R.Command = &Command;
    }
    static FakeMfx* Self(TMfxInterface* r) { return reinterpret_cast<FakeMfx*>(r); }
    static std::intptr_t Command(TMfxInterface* r, std::int32_t cmd, std::intptr_t a, std::intptr_t b) {
        FakeMfx* f = Self(r);
        if (cmd == MFX_SAMPLE_RATE) {
            f->RateAddress = reinterpret_cast<float*>(a);
            a = 0;
        }
        if (cmd == MFX_EDITOR) {
            f->EditorParent = a;
            if (f->EditorAnswer != -1) std::memcpy(reinterpret_cast<void*>(b), f->EditorSize, 8);
        }
        if (cmd == MFX_EDITOR || cmd == MFX_HOST_CALLBACK) a = b = 0;
        f->Log.push_back(std::to_string(cmd) + ":" + std::to_string(a) + ":" + std::to_string(b));
        if (cmd == MFX_AUTOMATION && a == 1) return f->Automatable.at(b);
        if (cmd == MFX_OUTPUTS) return f->Outputs;
        return cmd == MFX_EDITOR ? f->EditorAnswer : 0;
    }
};

FakeMfx* theMfx = nullptr;
TMfxInterface* MfxConnect() { return theMfx ? &theMfx->R : nullptr; }

class MfxTest : public testing::Test {
protected:
    void SetUp() override { Midi = &midi; }
    void TearDown() override { Midi = nullptr; }
    TMIDI midi;
};

TEST_F(MfxTest, LoadMatrixWithItsMessagesAndSilences) {
    TempProgramFolder folder;
    FakeVst vst;
    FakeMfx mfx;
    theVst = &vst;
    theMfx = &mfx;
    std::string junk = folder.WriteFile("fx/junk.so", "not a library at all");
    FakeLibrary both("both", {{"MFXConnect", FakeLibrary::Entry(&MfxConnect)},
                              {"main", FakeLibrary::Entry(&VstMain)}});
    FakeLibrary linuxStyle("linuxstyle", {{"VSTPluginMain", FakeLibrary::Entry(&VstMain)}});
    FakeLibrary neither("neither", {{"Properties", FakeLibrary::Entry(&VstMain)}});
    FakeLibrary vstOnly("vstonly", {{"main", FakeLibrary::Entry(&VstMain)}});

    {
        ScriptedDialogs boxes; // no box expected
        TMFX missing;
        missing.Path = folder.Path() + "/fx/nothing.so";
        EXPECT_FALSE(missing.Load(0));
        TMFX none;
        none.Path = "C:\\fx\\neither.dll";
        EXPECT_FALSE(none.Load(0));
        EXPECT_EQ(none.Dll, 0);
        TMFX asMfx;
        asMfx.Path = "C:\\fx\\both.dll";
        EXPECT_TRUE(asMfx.Load(0));
        EXPECT_EQ(asMfx.Kind, 0);
        EXPECT_NE(asMfx.Interface, nullptr);
        EXPECT_EQ(asMfx.Effect, nullptr);
        TMFX onlyPluginMain;
        onlyPluginMain.Path = "/usr/lib/vst/linuxstyle.so";
        EXPECT_TRUE(onlyPluginMain.Load(0));
        EXPECT_EQ(onlyPluginMain.Kind, 1);
    }
    struct Case {
        const char* What;
        std::string Path;
        std::string Box;
        bool NilRecord, BadMagic;
    } cases[] = {
        {"not a library", junk, "", false, false},
        {"nil record", "vstonly", "Get VST record: failed", true, false},
        {"wrong magic", "vstonly", "Testing VST magic: failed", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        ScriptedDialogs boxes;
        boxes.Answer(platform::IDOK, c.Box);
        theVst = c.NilRecord ? nullptr : &vst;
        vst.E.magic = c.BadMagic ? CCONST('V', 's', 't', 'p') : CCONST('V', 's', 't', 'P');
        TMFX plug;
        plug.Path = c.Path;
        EXPECT_FALSE(plug.Load(0));
        EXPECT_FALSE(plug.Loaded);
        EXPECT_EQ(plug.Dll, 0); // released
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].Caption, "Error");
        EXPECT_EQ(boxes.Boxes()[0].Icon, platform::MB_ICONERROR);
        EXPECT_FALSE(boxes.Boxes()[0].Text.empty());
        EXPECT_EQ(plug.Kind, c.NilRecord || c.BadMagic ? 1 : 0);
        // Not loaded: every operation is harmless.
        std::string text = "x";
        plug.GetParamName(0, text);
        EXPECT_EQ(text, "");
        EXPECT_EQ(plug.Command(10, 0, 0), -1);
        EXPECT_EQ(plug.NumOutputs(), 1);
        EXPECT_EQ(plug.NumParams(), 0);
        EXPECT_EQ(plug.GetParameter(0), 0.0);
        plug.AddEvent(true, 0x90);
        EXPECT_TRUE(plug.Events.Empty());
        float buf[4] = {1, 2, 3, 4};
        plug.Process(buf, buf, 2, false, false);
        EXPECT_EQ(buf[3], 4.0f);
    }
    theVst = nullptr;
    theMfx = nullptr;
}

TEST_F(MfxTest, VstLoadAndUnloadSendTheirOpcodesInOrder) {
    TestPanels panels;
    FakeVst vst;
    vst.E.numParams = 200;
    vst.E.flags |= effFlagsHasEditor;
    theVst = &vst;
    FakeLibrary lib("orderly", {{"main", FakeLibrary::Entry(&VstMain)}});
    TMFX plug;
    plug.Path = "synth\\orderly.dll";
    ASSERT_TRUE(plug.Load(0));
    EXPECT_TRUE(plug.HasEditor);
    EXPECT_EQ(vst.Log, (std::vector<std::string>{"0:0:0", "2:0:0", "10:0:0:44100", "11:0:4096", "12:0:1"}));
    ASSERT_EQ(plug.Params.size(), 128u);
    EXPECT_EQ(plug.ParamCount, 128);
    EXPECT_EQ(plug.Params[127].Index, 127);
    EXPECT_EQ(plug.Params[127].Kind, 3);
    EXPECT_EQ(plug.NumPrograms(), 3);
    EXPECT_EQ(plug.NumOutputs(), 2);
    EXPECT_TRUE(plug.Load(0)); // already loaded: nothing sent again
    EXPECT_EQ(vst.Log.size(), 5u);
    vst.Log.clear();
    EXPECT_TRUE(plug.Unload());
    EXPECT_EQ(vst.Log, (std::vector<std::string>{"12:0:0", "1:0:0"}));
    EXPECT_FALSE(plug.Loaded);
    EXPECT_EQ(plug.Effect, nullptr);
    theVst = nullptr;
}

TEST_F(MfxTest, OwnInterfaceCommandOrderAndAutomatableParameters) {
    FakeMfx mfx;
    theMfx = &mfx;
    midi.Tempo = 133;
    FakeLibrary lib("own", {{"MFXConnect", FakeLibrary::Entry(&MfxConnect)}});
    TMFX plug;
    plug.Path = "fx\\own.dll";
    ASSERT_TRUE(plug.Load(0));
    // No display window to build an editor in: no command 4.
    EXPECT_EQ(mfx.Log, (std::vector<std::string>{"5:0:0", "3:133:0", "13:4096:0", "15:0:0",
                                                 "10:1:0", "10:1:1", "10:1:2"}));
    ASSERT_NE(mfx.RateAddress, nullptr);
    EXPECT_EQ(*mfx.RateAddress, 44100.0f);
    EXPECT_FALSE(plug.HasEditor);
    ASSERT_EQ(plug.Params.size(), 2u);
    EXPECT_EQ(plug.Params[0].Index, 0);
    EXPECT_EQ(plug.Params[0].Kind, 2);
    EXPECT_EQ(plug.Params[1].Index, 1);
    EXPECT_EQ(plug.Params[1].Kind, 3);
    EXPECT_EQ(plug.NumOutputs(), 1); // -1 counts as 1
    mfx.Outputs = 4;
    EXPECT_EQ(plug.NumOutputs(), 4);
    EXPECT_EQ(plug.NumPrograms(), 0);

    plug.AddEvent(false, 5); // a program number: not for this interface
    EXPECT_TRUE(plug.Events.Empty());
    plug.AddEvent(true, 0x403C90);
    TRTEvent e;
    ASSERT_TRUE(plug.Events.Pop(e));
    EXPECT_TRUE(e.IsMidi);
    EXPECT_EQ(e.Value, 0x403C90u);

    mfx.Log.clear();
    plug.Unload();
    EXPECT_EQ(mfx.Log, (std::vector<std::string>{"2:0:0"}));
    theMfx = nullptr;
}

// Editors open only in windows of the display: the plug-in's parent is the panel's display
// window id; no id or no panel opens nothing, and the missing windows are said once.
TEST_F(MfxTest, EditorsOpenOnlyInDisplayWindows) {
    FakeVst vst;
    vst.E.flags |= effFlagsHasEditor;
    theVst = &vst;
    FakeMfx mfx;
    mfx.EditorAnswer = 0;
    theMfx = &mfx;
    FakeLibrary vstLib("withedit", {{"main", FakeLibrary::Entry(&VstMain)}});
    FakeLibrary mfxLib("ownedit", {{"MFXConnect", FakeLibrary::Entry(&MfxConnect)}});
    auto opened = [&] {
        return std::count_if(vst.Log.begin(), vst.Log.end(),
                             [](const std::string& e) { return e.rfind("14:", 0) == 0; });
    };
    {
        // Headless: no ids. The VST editor counts as missing, the own interface is not asked.
        testing::internal::CaptureStderr();
        TMFX v, m;
        v.Path = "withedit";
        m.Path = "ownedit";
        ASSERT_TRUE(v.Load(77));
        ASSERT_TRUE(m.Load(77));
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_FALSE(v.HasEditor);
        EXPECT_FALSE(m.HasEditor);
        EXPECT_EQ(mfx.EditorParent, 0);
        EXPECT_TRUE(std::none_of(mfx.Log.begin(), mfx.Log.end(),
                                 [](const std::string& e) { return e.rfind("4:", 0) == 0; }));
        TEditorSize size{1, 1};
        v.HasEditor = true; // even when asked to
        v.ShowEditor(5, size);
        EXPECT_EQ(opened(), 0);
        EXPECT_FALSE(v.EditorOpen);
        EXPECT_EQ(size.Width, 0);
        // Said at most once per run, whatever earlier tests did.
        std::size_t count = 0;
        for (std::size_t at = said.find("X11 display"); at != std::string::npos;
             at = said.find("X11 display", at + 1))
            ++count;
        EXPECT_LE(count, 1u) << said;
    }
    TestPanels panels;
    {
        // No panel made: the editor is not opened with a null parent.
        panels.MakePanels = false;
        TMFX v;
        v.Path = "withedit";
        ASSERT_TRUE(v.Load(77));
        EXPECT_TRUE(v.HasEditor);
        TEditorSize size{1, 1};
        v.ShowEditor(5, size);
        EXPECT_EQ(opened(), 0);
        EXPECT_FALSE(v.EditorOpen);
        EXPECT_EQ(v.EditorPanel, 0);
        EXPECT_EQ(size.Width, 0);
        EXPECT_EQ(size.Height, 0);
        panels.MakePanels = true;
    }
    {
        panels.Log.clear();
        TMFX v;
        v.Path = "withedit";
        ASSERT_TRUE(v.Load(77));
        TEditorSize size;
        v.ShowEditor(5, size);
        ASSERT_TRUE(v.EditorOpen);
        ASSERT_NE(v.EditorPanel, 0);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(vst.EditParent),
                  TestPanels::IdOf(v.EditorPanel));
        EXPECT_EQ(size.Width, 400); // right and bottom as the size
        EXPECT_EQ(size.Height, 300);
        const std::string panel = std::to_string(v.EditorPanel);
        EXPECT_EQ(panels.Log, (std::vector<std::string>{"create 5", "show " + panel + " 400x300"}));
        // A hostile rectangle stays within reason.
        vst.Rect = {0, 0, -20, 32000};
        v.ShowEditor(5, size);
        EXPECT_EQ(size.Height, 0);
        EXPECT_LE(size.Width, 8192);
        EXPECT_EQ(opened(), 1); // shown again, not opened again
        v.CloseEditor();
        EXPECT_EQ(panels.Log.back(), "free " + panel);
        EXPECT_FALSE(v.EditorOpen);
    }
    {
        // The own interface builds its editor in the display window behind the load's window.
        TMFX m;
        m.Path = "ownedit";
        ASSERT_TRUE(m.Load(77));
        EXPECT_TRUE(m.HasEditor);
        EXPECT_EQ(static_cast<std::uintptr_t>(mfx.EditorParent), TestPanels::IdOf(77));
        TEditorSize size;
        m.ShowEditor(0, size);
        EXPECT_EQ(size.Width, 240);
        EXPECT_EQ(size.Height, 120);
    }
    theVst = nullptr;
    theMfx = nullptr;
}

TEST_F(MfxTest, ParameterNamesValuesAndIndexesOutOfRange) {
    FakeVst vst;
    theVst = &vst;
    FakeLibrary lib("params", {{"main", FakeLibrary::Entry(&VstMain)}});
    TMFX plug;
    plug.Path = "params";
    ASSERT_TRUE(plug.Load(0));
    std::string text;
    // Far beyond the 32 bytes the interface allows: the host's buffer takes it, the name is cut.
    vst.ParamText = "  \x01" "Filter cutoff frequency of the first oscillator block " + std::string(100, 'x');
    plug.GetParamName(1, text);
    EXPECT_EQ(text, std::string("Filter cutoff frequency of th"));
    vst.ParamText = "\t-3.5 dB \n";
    plug.GetParamDisplay(1, text);
    EXPECT_EQ(text, "-3.5 dB");
    EXPECT_EQ(vst.Log.back(), "7:1:0");

    plug.SetParameter(2, 0.3);
    EXPECT_EQ(vst.Params[2], 0.3f);
    EXPECT_DOUBLE_EQ(plug.GetParameter(2), static_cast<double>(0.3f));
    for (int bad : {-1, 4, 1000}) {
        vst.Params.assign(256, 0.0f);
        vst.Params[4] = 0.9f;
        plug.SetParameter(bad, 1.0);
        EXPECT_EQ(vst.Params, [] { std::vector<float> v(256, 0.0f); v[4] = 0.9f; return v; }());
        EXPECT_EQ(plug.GetParameter(bad), 0.0);
        plug.GetParamName(bad, text);
        EXPECT_EQ(text, "");
    }
    theVst = nullptr;

    FakeMfx mfx;
    theMfx = &mfx;
    FakeLibrary own("ownparams", {{"MFXConnect", FakeLibrary::Entry(&MfxConnect)}});
    TMFX o;
    o.Path = "ownparams";
    ASSERT_TRUE(o.Load(0));
    o.SetParameter(1, 0.125);
    EXPECT_EQ(mfx.Values[1], 0.125); // the double reaches the plug-in unnarrowed
    o.GetParamName(2, text);
    EXPECT_EQ(text, "P2");
    o.GetParamDisplay(1, text);
    EXPECT_EQ(text, "0.12");
    EXPECT_EQ(o.GetParameter(3), 0.0);
    theMfx = nullptr;
}

TEST_F(MfxTest, NameIsTheFileNameWithoutItsLastExtension) {
    struct {
        const char* Path;
        const char* Name;
    } cases[] = {{"C:\\x\\Fat Synth.dll", "Fat Synth"},
                 {"D:\\Synths\\My.Synth.Pro.dll", "My.Synth.Pro"},
                 {"/usr/lib/vst/Kars-vst.so", "Kars-vst"},
                 {"plain", "plain"}};
    for (auto& c : cases) {
        TMFX plug;
        plug.Path = c.Path;
        std::string name;
        plug.GetName(name);
        EXPECT_EQ(name, c.Name);
    }
}

// Interleaved stereo frames: left 1, 2, 3 ..., right 10, 20, 30 ...
std::vector<float> Ramp(int frames) {
    std::vector<float> v(2 * frames);
    for (int i = 0; i < frames; ++i) {
        v[2 * i] = static_cast<float>(i + 1);
        v[2 * i + 1] = static_cast<float>(10 * (i + 1));
    }
    return v;
}

TEST_F(MfxTest, VstProcessPinsAndMixRules) {
    FakeVst vst;
    theVst = &vst;
    FakeLibrary lib("pins", {{"main", FakeLibrary::Entry(&VstMain)}});
    const int n = 8;
    struct Case {
        const char* What;
        int Inputs, Outputs;
        bool Replacing, SendBus;
        float L0, R0; // first frame out for input (1, 10)
    } cases[] = {
        {"stereo replacing", 2, 2, true, false, 1 + 0.25f, 10 + 0.5f},
        {"stereo accumulating", 2, 2, false, false, 1 + 0.25f, 10 + 0.5f},
        {"four outputs: the extra two are discarded", 2, 4, true, false, 1.25f, 10.5f},
        {"one output: the right stays silent", 2, 1, true, false, 1.25f, 0.0f},
        {"no inputs, negative outputs", -3, -1, true, false, 0.0f, 0.0f},
        {"six inputs: extra pins read silence", 6, 2, true, false, 1.25f, 10.5f},
        // One input: the first pin gets the mono sum, the second the left; both come back dry.
        {"one input", 1, 2, true, false, 5.5f + 5.5f + 0.25f, 1 + 0.5f},
        {"one input on a send bus", 1, 2, true, true, 5.5f + 0.25f, 0.5f},
        {"implausible counts are capped", 100000, 100000, true, false, 1.25f, 10.5f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        vst.E.numInputs = c.Inputs;
        vst.E.numOutputs = c.Outputs;
        vst.E.flags = c.Replacing ? effFlagsCanReplacing : 0;
        TMFX plug;
        plug.Path = "pins";
        ASSERT_TRUE(plug.Load(0));
        vst.Calls.clear();
        std::vector<float> in = Ramp(n), out(2 * n, 100.0f);
        plug.Process(in.data(), out.data(), n, c.SendBus, true);
        ASSERT_EQ(vst.Calls.size(), 1u);
        EXPECT_EQ(vst.Calls[0].first, n);
        EXPECT_FLOAT_EQ(out[0], c.L0);
        EXPECT_FLOAT_EQ(out[1], c.R0);
        // Not replacing: added to what the output holds.
        std::vector<float> added(2 * n, 100.0f);
        plug.Process(in.data(), added.data(), n, c.SendBus, false);
        EXPECT_FLOAT_EQ(added[2 * n - 2], 100.0f + out[2 * n - 2]);
    }
    theVst = nullptr;
}

TEST_F(MfxTest, BypassAndOwnInterfaceProcessing) {
    FakeMfx mfx;
    theMfx = &mfx;
    FakeLibrary lib("ownfx", {{"MFXConnect", FakeLibrary::Entry(&MfxConnect)}});
    TMFX plug;
    plug.Path = "ownfx";
    ASSERT_TRUE(plug.Load(0));
    std::vector<float> in = Ramp(4), out(8, 1.0f);
    plug.Process(in.data(), out.data(), 4, false, false); // x3 in place, then added
    EXPECT_EQ(in[0], 3.0f);
    EXPECT_EQ(out[0], 4.0f);
    plug.Enabled = 0;
    in = Ramp(4);
    plug.Process(in.data(), in.data(), 4, false, false); // off, same buffer, adding: doubled
    EXPECT_EQ(in[1], 20.0f);
    in = Ramp(4);
    out.assign(8, 7.0f);
    plug.Process(in.data(), out.data(), 4, false, true);
    EXPECT_EQ(out, Ramp(4));
    theMfx = nullptr;
}

TEST_F(MfxTest, AutomationPointsSplitTheBlock) {
    TempSettings settings;
    Song = new TSong;
    FakeVst vst;
    theVst = &vst;
    FakeLibrary lib("auto", {{"main", FakeLibrary::Entry(&VstMain)}});
    TMFX plug;
    plug.Path = "auto";
    ASSERT_TRUE(plug.Load(0));
    TAutoPoint p3{0, 40, 0.75f, 0, nullptr}, p2{1, 10, 0.5f, 0, &p3}, p1{0, 10, 0.25f, 0, &p2},
        p0{0, 0, 0.125f, 0, &p1};
    std::vector<float> buf(2 * 64);

    // Stopped: the points are not walked.
    EXPECT_EQ(plug.Command(MFX_AUTOMATION, 0, reinterpret_cast<std::intptr_t>(&p0)), -1);
    plug.Process(buf.data(), buf.data(), 64, false, true);
    EXPECT_EQ(vst.Calls, (std::vector<std::pair<int, float>>{{64, 0.0f}}));

    Song->State = 2;
    vst.Calls.clear();
    plug.Command(MFX_AUTOMATION, 0, reinterpret_cast<std::intptr_t>(&p0));
    plug.Process(buf.data(), buf.data(), 64, false, true);
    // Each group's values apply from its offset on: the stretch before it runs with the values
    // before; every frame once.
    EXPECT_EQ(vst.Calls, (std::vector<std::pair<int, float>>{{10, 0.125f}, {30, 0.25f}, {24, 0.75f}}));
    EXPECT_EQ(vst.Params[1], 0.5f);
    // The points were this block's: the next block runs whole.
    vst.Calls.clear();
    plug.Process(buf.data(), buf.data(), 64, false, true);
    EXPECT_EQ(vst.Calls.size(), 1u);
    delete Song;
    Song = nullptr;
    theVst = nullptr;
}

TEST(RTEventQueue, ManyProducersOneConsumerKeepEveryEventInProducerOrder) {
    auto queue = std::make_unique<TRTEventQueue>();
    constexpr int perThread = 20000;
    std::atomic<bool> go{false};
    std::vector<std::thread> producers;
    for (int t = 0; t < 3; ++t)
        producers.emplace_back([&, t] {
            while (!go) std::this_thread::yield();
            for (int i = 0; i < perThread; ++i)
                while (!queue->Push({true, static_cast<std::uint32_t>(t << 24 | i)})) std::this_thread::yield();
        });
    go = true;
    int next[3] = {0, 0, 0}, total = 0;
    while (total < 3 * perThread) {
        TRTEvent e;
        if (!queue->Pop(e)) continue;
        int t = static_cast<int>(e.Value >> 24), i = static_cast<int>(e.Value & 0xFFFFFF);
        ASSERT_EQ(i, next[t]);
        ++next[t];
        ++total;
    }
    for (auto& p : producers) p.join();
    EXPECT_TRUE(queue->Empty());
    for (std::size_t i = 0; i < TRTEventQueue::Capacity; ++i) EXPECT_TRUE(queue->Push({false, 1}));
    EXPECT_FALSE(queue->Push({false, 2})); // full: dropped, never waits
}

TEST(InputEventQueue, OneProducerThreadKeepsOrderAndAFullQueueDrops) {
    auto queue = std::make_unique<TInputEventQueue>();
    constexpr std::uint32_t count = 100000;
    std::thread producer([&] {
        for (std::uint32_t i = 0; i < count; ++i)
            while (!queue->Push(i)) std::this_thread::yield();
    });
    std::uint32_t next = 0, msg = 0;
    while (next < count) {
        if (!queue->Pop(msg)) continue;
        ASSERT_EQ(msg, next);
        ++next;
    }
    producer.join();
    EXPECT_TRUE(queue->Empty());
    for (std::size_t i = 0; i < TInputEventQueue::Capacity; ++i) EXPECT_TRUE(queue->Push(7));
    EXPECT_FALSE(queue->Push(8)); // full: dropped, never waits
    ASSERT_TRUE(queue->Pop(msg));
    EXPECT_EQ(msg, 7u);

    TMFX unloaded; // nothing reaches a plug-in that is not there
    EXPECT_FALSE(unloaded.AddInputEvent(0x403C90));
    EXPECT_TRUE(unloaded.InputEvents.Empty());
}

struct Synths {
    static TMFX* At(int i) { return i >= 0 && i < static_cast<int>(List.size()) ? List[i] : nullptr; }
    static inline std::vector<TMFX*> List;
};

TEST(MfxHostCallbackTest, AnswersSoftsynthNames) {
    TMFX a, b;
    a.Path = "C:\\synth\\Organ.dll";
    b.Path = "C:\\synth\\Bass Line.dll";
    Synths::List = {&a, &b};
    SetLoadedSoftsynths(&Synths::At);
    const char* name = "untouched";
    EXPECT_EQ(MfxHostCallback(nullptr, 1, 1, &name), 1);
    EXPECT_STREQ(name, "Bass Line");
    name = "untouched";
    EXPECT_EQ(MfxHostCallback(nullptr, 1, 2, &name), -1);
    EXPECT_EQ(MfxHostCallback(nullptr, 1, -1, &name), -1);
    EXPECT_EQ(MfxHostCallback(nullptr, 2, 0, &name), -1);
    EXPECT_STREQ(name, "untouched");
    SetLoadedSoftsynths(nullptr);
    EXPECT_EQ(MfxHostCallback(nullptr, 1, 0, &name), -1);
}

} // namespace
