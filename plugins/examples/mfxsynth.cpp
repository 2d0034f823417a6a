// Example instrument of the own interface: the example oscillator, volume and waveform
// automatable, release not; its state is the three values.
#include "mfxentry.h"
#include "voice.h"
#include "x11editor.h"

namespace {

constexpr int NumParams = 3;
const char* const Names[NumParams] = {"Volume", "Wave", "Release"};

struct Synth {
    TMfxInterface Record{};
    tvexample::Oscillator Osc;
    const TMfxEvent* Events = nullptr;
    float State[NumParams] = {};
    tvexample::X11Editor Editor;
    float* Value(int I) { return I == 0 ? &Osc.Volume : I == 1 ? &Osc.Wave : &Osc.Release; }
};

Synth* Self(TMfxInterface* R) { return reinterpret_cast<Synth*>(R); }

void GetParamName(TMfxInterface*, std::int32_t I, char* B) {
    if (I >= 0 && I < NumParams) CopyMfxText(B, Names[I]);
}
void GetParamDisplay(TMfxInterface* R, std::int32_t I, char* B) {
    if (I == 1) CopyMfxText(B, Self(R)->Osc.Wave < 0.5f ? "Sine" : "Saw");
    else if (I >= 0 && I < NumParams) PercentText(B, *Self(R)->Value(I));
}
void SetParameter(TMfxInterface* R, std::int32_t I, double V) {
    if (I >= 0 && I < NumParams) *Self(R)->Value(I) = static_cast<float>(V < 0 ? 0 : V > 1 ? 1 : V);
}
double GetParameter(TMfxInterface* R, std::int32_t I) {
    return I >= 0 && I < NumParams ? *Self(R)->Value(I) : 0.0;
}

void Process(TMfxInterface* R, float* Buffer, std::int32_t Frames) {
    Synth* s = Self(R);
    int done = 0;
    for (const TMfxEvent* e = s->Events; e; e = e->Next) {
        int at = e->Frame < done ? done : e->Frame > Frames ? Frames : e->Frame;
        s->Osc.Render(Buffer + 2 * done, Buffer + 2 * done + 1, at - done, 2);
        done = at;
        s->Osc.Midi(e->Message);
    }
    s->Events = nullptr; // the nodes are the host's and gone after the block
    s->Osc.Render(Buffer + 2 * done, Buffer + 2 * done + 1, Frames - done, 2);
}

intptr_t Command(TMfxInterface* R, std::int32_t Cmd, intptr_t A, intptr_t B) {
    Synth* s = Self(R);
    switch (Cmd) {
    case MFX_UNLOAD:
        delete s;
        return 0;
    case MFX_EDITOR: {
        // A is the host's X11 window; without one there is no editor.
        if (!s->Editor.Open(static_cast<std::uintptr_t>(A), 0x8A2E6B, "Tolvern Own Tone"))
            return -1;
        const float values[NumParams] = {*s->Value(0), *s->Value(1), *s->Value(2)};
        s->Editor.Show(values, NumParams);
        auto* size = reinterpret_cast<std::int32_t*>(B);
        size[0] = tvexample::X11Editor::Width;
        size[1] = tvexample::X11Editor::Height;
        return 0;
    }
    case MFX_SAMPLE_RATE:
        if (A) s->Osc.Rate = *reinterpret_cast<const float*>(A);
        return 0;
    case MFX_OUTPUTS:
        return 1;
    case MFX_EVENTS:
        s->Events = reinterpret_cast<const TMfxEvent*>(A);
        return 0;
    case MFX_AUTOMATION:
        return A == 1 ? (B == 0 ? 3 : B == 1 ? 2 : 0) : 0;
    case MFX_STATE:
        if (A == -1) {
            for (int i = 0; i < NumParams; ++i) s->State[i] = *s->Value(i);
            *reinterpret_cast<void**>(B) = s->State;
            return sizeof(s->State);
        }
        if (A == sizeof(s->State))
            for (int i = 0; i < NumParams; ++i) *s->Value(i) = reinterpret_cast<const float*>(B)[i];
        return 0;
    case MFX_POSITION:
        if (A == 0) s->Osc.AllOff();
        return 0;
    default:
        return 0;
    }
}

} // namespace

TMfxInterface* CreateInterface() {
    auto* s = new Synth;
    s->Record = {NumParams, GetParamName, GetParamDisplay, SetParameter, GetParameter, Process,
                 Command, nullptr, 0};
    return &s->Record;
}
