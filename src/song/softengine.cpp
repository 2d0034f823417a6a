#include "song/softengine.h"

#include "song/render.h"
#include "song/song.h"

#include <array>

void TSoftEngine::UpdateMuteSolo() {
    if (!Song) return;
    constexpr int kMaxSynthSlots = 4096;
    static std::array<TSoftOut*, kMaxSynthSlots> synth; // GUI thread only
    int synthCount = RenderEngines().SoftsynthSlots(synth.data(), kMaxSynthSlots);
    auto forEach = [&](auto&& fn) {
        for (int i = 0; i < synthCount; ++i)
            fn(*synth[static_cast<std::size_t>(i)]);
        for (int t = 0; t < TrackCount; ++t) {
            _TTrack* track = Song->TrackAt(t);
            if (!track || track->Mode != tmAudio || track->Samples.empty()) continue;
            for (auto& slot : track->Outputs)
                if (slot.Active) fn(slot);
        }
        for (auto& slot : Song->DiskOutputs)
            if (slot.Active) fn(slot);
    };
    bool anySolo = false;
    forEach([&](TSoftOut& s) { anySolo = anySolo || s.Solo == 1; });
    forEach([&](TSoftOut& s) {
        float g = 1.0f;
        if (s.Solo)
            g = 1.0f;
        else if (s.Mute == 1 || anySolo)
            g = 0.0f;
        s.Gain = g;
    });
}
