// Example VST 2 instrument: an oscillator with volume, waveform and release, four programs,
// and its state as a chunk.
#include "voice.h"
#include "vstentry.h"
#include "x11editor.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr int NumParams = 3;
constexpr int NumPrograms = 4;
const char* const ParamNames[NumParams] = {"Volume", "Wave", "Release"};

struct Program {
    char Name[kVstMaxProgNameLen];
    float Values[NumParams];
};

// The events of the next block, played at their frames.
struct Timed {
    std::int32_t Frame;
    std::uint32_t Msg;
};
constexpr int MaxEvents = 1024;

struct Synth {
    AEffect Effect{};
    audioMasterCallback Host = nullptr;
    tvexample::Oscillator Osc;
    Timed Events[MaxEvents];
    int EventCount = 0;
    Program Programs[NumPrograms] = {{"Soft Sine", {0.7f, 0.0f, 0.3f}},
                                     {"Bright Saw", {0.6f, 1.0f, 0.2f}},
                                     {"Long Sine", {0.7f, 0.0f, 0.9f}},
                                     {"Pluck Saw", {0.6f, 1.0f, 0.05f}}};
    int Current = 0;
    Program Chunk{}; // the state handed out by effGetChunk
    tvexample::X11Editor Editor;
    ERect Rect{0, 0, tvexample::X11Editor::Height, tvexample::X11Editor::Width};

    float* Values() { return Programs[Current].Values; }
    void Apply() {
        Osc.Volume = Values()[0];
        Osc.Wave = Values()[1];
        Osc.Release = Values()[2];
    }
};

Synth* Self(AEffect* E) {
    return static_cast<Synth*>(E->object);
}

void SetParameter(AEffect* E, std::int32_t Index, float Value) {
    if (Index < 0 || Index >= NumParams) return;
    Self(E)->Values()[Index] = Value < 0 ? 0 : Value > 1 ? 1 : Value;
    Self(E)->Apply();
}

float GetParameter(AEffect* E, std::int32_t Index) {
    return Index >= 0 && Index < NumParams ? Self(E)->Values()[Index] : 0.0f;
}

void Render(AEffect* E, float** Out, std::int32_t Frames, bool Replace) {
    if (Replace) {
        std::memset(Out[0], 0, sizeof(float) * Frames);
        std::memset(Out[1], 0, sizeof(float) * Frames);
    }
    Synth* s = Self(E);
    int done = 0;
    for (int i = 0; i < s->EventCount; ++i) {
        int at = s->Events[i].Frame;
        at = at < done ? done : at > Frames ? Frames : at;
        s->Osc.Render(Out[0] + done, Out[1] + done, at - done, 1);
        done = at;
        s->Osc.Midi(s->Events[i].Msg);
    }
    s->EventCount = 0; // the events belong to this block alone
    s->Osc.Render(Out[0] + done, Out[1] + done, Frames - done, 1);
}

void Process(AEffect* E, float**, float** Out, std::int32_t Frames) {
    Render(E, Out, Frames, false);
}
void ProcessReplacing(AEffect* E, float**, float** Out, std::int32_t Frames) {
    Render(E, Out, Frames, true);
}

VstIntPtr Dispatcher(AEffect* E, std::int32_t Op, std::int32_t Index, VstIntPtr Value, void* Ptr,
                     float Opt) {
    Synth* s = Self(E);
    switch (Op) {
    case effClose:
        delete s;
        return 1;
    case effSetProgram:
        if (Value >= 0 && Value < NumPrograms) s->Current = static_cast<int>(Value);
        s->Apply();
        return 0;
    case effGetProgram:
        return s->Current;
    case effSetProgramName:
        CopyText(s->Programs[s->Current].Name, static_cast<const char*>(Ptr), kVstMaxProgNameLen);
        return 0;
    case effGetProgramName:
        CopyText(Ptr, s->Programs[s->Current].Name, kVstMaxProgNameLen);
        return 0;
    case effGetProgramNameIndexed:
        if (Index < 0 || Index >= NumPrograms) return 0;
        CopyText(Ptr, s->Programs[Index].Name, kVstMaxProgNameLen);
        return 1;
    case effGetParamName:
        if (Index >= 0 && Index < NumParams) CopyText(Ptr, ParamNames[Index], kVstMaxParamStrLen);
        return 0;
    case effGetParamDisplay:
        if (Index == 1)
            CopyText(Ptr, s->Values()[1] < 0.5f ? "Sine" : "Saw", kVstMaxParamStrLen);
        else if (Index >= 0 && Index < NumParams)
            std::snprintf(static_cast<char*>(Ptr), kVstMaxParamStrLen, "%d",
                          static_cast<int>(s->Values()[Index] * 100 + 0.5f));
        return 0;
    case effSetSampleRate:
        if (Opt > 0) s->Osc.Rate = Opt;
        return 0;
    case effMainsChanged:
        if (Value == 0) s->Osc.AllOff();
        return 0;
    case effGetChunk:
        s->Chunk = s->Programs[s->Current];
        *static_cast<void**>(Ptr) = &s->Chunk;
        return sizeof(Program);
    case effSetChunk:
        if (Value == sizeof(Program) && Ptr) {
            std::memcpy(&s->Programs[s->Current], Ptr, sizeof(Program));
            s->Programs[s->Current].Name[kVstMaxProgNameLen - 1] = 0;
            s->Apply();
        }
        return 0;
    case effProcessEvents: {
        auto* ev = static_cast<VstEvents*>(Ptr);
        for (int i = 0; ev && i < ev->numEvents; ++i) {
            if (ev->events[i]->type != kVstMidiType) continue;
            auto* m = reinterpret_cast<VstMidiEvent*>(ev->events[i]);
            std::uint32_t msg = static_cast<unsigned char>(m->midiData[0]) |
                                static_cast<unsigned char>(m->midiData[1]) << 8 |
                                static_cast<unsigned char>(m->midiData[2]) << 16;
            if (s->EventCount < MaxEvents) s->Events[s->EventCount++] = {m->deltaFrames, msg};
        }
        return 1;
    }
    case effEditGetRect:
        *static_cast<ERect**>(Ptr) = &s->Rect;
        return 1;
    case effEditOpen:
        // Ptr is the host's X11 window; without one there is no editor.
        if (!s->Editor.Open(reinterpret_cast<std::uintptr_t>(Ptr), 0x2E6B8A, "Tolvern Tone"))
            return 0;
        s->Editor.Show(s->Values(), NumParams);
        return 1;
    case effEditIdle:
        s->Editor.Show(s->Values(), NumParams);
        return 0;
    case effEditClose:
        s->Editor.Close();
        return 0;
    case effGetEffectName:
        CopyText(Ptr, "Tolvern Tone", kVstMaxEffectNameLen);
        return 1;
    case effGetVendorString:
        CopyText(Ptr, "Tolvern", kVstMaxVendorStrLen);
        return 1;
    case effCanDo: {
        const char* what = static_cast<const char*>(Ptr);
        return what && (!std::strcmp(what, "receiveVstEvents") ||
                        !std::strcmp(what, "receiveVstMidiEvent"))
                   ? 1
                   : 0;
    }
    case effGetVstVersion:
        return 2400;
    default:
        return 0;
    }
}

} // namespace

AEffect* CreateEffect(audioMasterCallback Host) {
    if (!Host || Host(nullptr, audioMasterVersion, 0, 0, nullptr, 0) == 0) return nullptr;
    auto* s = new Synth;
    s->Host = Host;
    AEffect& e = s->Effect;
    InitEffect(e, s, Dispatcher, Process, ProcessReplacing, SetParameter, GetParameter);
    e.numPrograms = NumPrograms;
    e.numParams = NumParams;
    e.numInputs = 0;
    e.numOutputs = 2;
    e.flags = effFlagsCanReplacing | effFlagsProgramChunks | effFlagsIsSynth | effFlagsHasEditor;
    e.uniqueID = VstCConst('T', 'v', 'T', 'n');
    s->Apply();
    return &e;
}
