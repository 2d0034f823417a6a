// The entry of the real devices' library (rtaudio_module.h); built into that library only.
#include "platform/audio/rtaudio_module.h"
#include "platform/core/jackgate.h"

namespace platform {

namespace {
const TRtAudioServices* services = nullptr; // set by the entry, before any device exists
} // namespace

// The sound layer's functions that the devices call, through what the loader handed over.
void SetSoundError(const std::string& Reason) {
    services->SetSoundError(Reason);
}
void TRingBytes::WriteBytes(const std::uint8_t* In, std::uint32_t Count) {
    services->WriteBytes(*this, In, Count);
}
void TRingBytes::Fail(const char* Reason) {
    services->Fail(*this, Reason);
}
bool JackAnswered(int AnswerMs) {
    return services->JackAnswered(AnswerMs);
}

} // namespace platform

extern "C" __attribute__((visibility("default"))) const platform::TRtAudioEntries*
tv_rtaudio_entries(const platform::TRtAudioServices* given) {
    platform::services = given;
    static const platform::TRtAudioEntries entries{
        &platform::RtAudioOutputNames, &platform::MakeRtAudioDevice, &platform::RtAudioInputs,
        &platform::RtAudioHasInput, &platform::MakeRtAudioInput};
    return &entries;
}
