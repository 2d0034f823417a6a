// Example effect of the own interface: stereo gain, 0 to 2 times, automatable.
#include "mfxentry.h"

namespace {

struct Gain {
    TMfxInterface Record{};
    double Value = 0.5; // unity
    const TMfxAutoPoint* Points = nullptr; // the next block's automation
};

Gain* Self(TMfxInterface* R) { return reinterpret_cast<Gain*>(R); }

void GetParamName(TMfxInterface*, std::int32_t I, char* B) {
    if (I == 0) CopyMfxText(B, "Gain");
}
void GetParamDisplay(TMfxInterface* R, std::int32_t I, char* B) {
    if (I == 0) PercentText(B, Self(R)->Value * 2);
}
void SetParameter(TMfxInterface* R, std::int32_t I, double V) {
    if (I == 0) Self(R)->Value = V < 0 ? 0 : V > 1 ? 1 : V;
}
double GetParameter(TMfxInterface* R, std::int32_t I) { return I == 0 ? Self(R)->Value : 0.0; }

// The block's automation points set the gain from their frames on, with their slopes.
void Process(TMfxInterface* R, float* Buffer, std::int32_t Frames) {
    Gain* g = Self(R);
    const TMfxAutoPoint* p = g->Points;
    g->Points = nullptr;
    double v = g->Value, slope = 0;
    for (int i = 0; i < Frames; ++i) {
        for (; p && p->Offset <= i; p = p->Next)
            if (p->Param == 0) {
                v = p->Value;
                slope = p->Slope;
            }
        const float f = static_cast<float>(v * 2);
        Buffer[2 * i] *= f;
        Buffer[2 * i + 1] *= f;
        v = v + slope < 0 ? 0 : v + slope > 1 ? 1 : v + slope;
    }
    g->Value = v;
}

intptr_t Command(TMfxInterface* R, std::int32_t Cmd, intptr_t A, intptr_t B) {
    switch (Cmd) {
    case MFX_UNLOAD:
        delete Self(R);
        return 0;
    case MFX_EDITOR:
        return -1;
    case MFX_OUTPUTS:
        return 1;
    case MFX_AUTOMATION:
        if (A == 0) {
            Self(R)->Points = reinterpret_cast<const TMfxAutoPoint*>(B);
            return 0;
        }
        return A == 1 && B == 0 ? 3 : 0;
    default:
        return 0;
    }
}

} // namespace

TMfxInterface* CreateInterface() {
    auto* g = new Gain;
    g->Record = {
        1, GetParamName, GetParamDisplay, SetParameter, GetParameter, Process, Command, nullptr, 0};
    return &g->Record;
}
