// Example VST 2 effect: stereo gain, 0 to 2 times (-inf to +6 dB).
#include "vstentry.h"

#include <cmath>
#include <cstdio>

namespace {

struct Gain {
    AEffect Effect{};
    float Value = 0.5f; // unity
    float Factor() const { return Value * 2.0f; }
};

Gain* Self(AEffect* E) { return static_cast<Gain*>(E->object); }

void SetParameter(AEffect* E, std::int32_t Index, float Value) {
    if (Index == 0) Self(E)->Value = Value < 0 ? 0 : Value > 1 ? 1 : Value;
}
float GetParameter(AEffect* E, std::int32_t Index) { return Index == 0 ? Self(E)->Value : 0.0f; }

void Run(AEffect* E, float** In, float** Out, std::int32_t Frames, bool Replace) {
    const float f = Self(E)->Factor();
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < Frames; ++i) Out[c][i] = (Replace ? 0.0f : Out[c][i]) + In[c][i] * f;
}
void Process(AEffect* E, float** In, float** Out, std::int32_t Frames) { Run(E, In, Out, Frames, false); }
void ProcessReplacing(AEffect* E, float** In, float** Out, std::int32_t Frames) {
    Run(E, In, Out, Frames, true);
}

VstIntPtr Dispatcher(AEffect* E, std::int32_t Op, std::int32_t Index, VstIntPtr, void* Ptr, float) {
    switch (Op) {
    case effClose:
        delete Self(E);
        return 1;
    case effGetParamName:
        if (Index == 0) CopyText(Ptr, "Gain", kVstMaxParamStrLen);
        return 0;
    case effGetParamDisplay:
        if (Index == 0) {
            const float f = Self(E)->Factor();
            if (f <= 0.0f)
                CopyText(Ptr, "-inf", kVstMaxParamStrLen);
            else
                std::snprintf(static_cast<char*>(Ptr), kVstMaxParamStrLen, "%.1f dB",
                              20.0 * std::log10(f));
        }
        return 0;
    case effGetProgramName:
        CopyText(Ptr, "Default", kVstMaxProgNameLen);
        return 0;
    case effGetEffectName:
        CopyText(Ptr, "Tolvern Gain", kVstMaxEffectNameLen);
        return 1;
    case effGetVstVersion:
        return 2400;
    default:
        return 0;
    }
}

} // namespace

AEffect* CreateEffect(audioMasterCallback Host) {
    if (!Host) return nullptr;
    auto* g = new Gain;
    AEffect& e = g->Effect;
    InitEffect(e, g, Dispatcher, Process, ProcessReplacing, SetParameter, GetParameter);
    e.numPrograms = 1;
    e.numParams = 1;
    e.numInputs = 2;
    e.numOutputs = 2;
    e.flags = effFlagsCanReplacing;
    e.uniqueID = VstCConst('T', 'v', 'G', 'n');
    return &e;
}
