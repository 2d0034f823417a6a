// The entry of the real devices' library (rtaudio_module.h); built into that library only.
#include "platform/audio/rtaudio_module.h"

extern "C" __attribute__((visibility("default"))) const platform::TRtAudioEntries*
tv_rtaudio_entries() {
    static const platform::TRtAudioEntries entries{
        &platform::RtAudioOutputNames, &platform::MakeRtAudioDevice, &platform::RtAudioInputs,
        &platform::RtAudioHasInput, &platform::MakeRtAudioInput};
    return &entries;
}
