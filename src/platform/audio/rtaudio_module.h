#pragma once
// The real devices (rtaudiodevice.cpp, sound_rtaudio.cpp) are a library of their own, loaded
// when a program first asks for them: RtAudio brings the sound servers' client libraries
// (PulseAudio, and through it libsndfile and its codecs), which a program's start need not
// load. The library's one entry takes the sound layer's functions it calls and hands out its
// own, so that it loads into any executable (none need export its symbols).

#include "platform/audio/devices.h"
#include "platform/audio/sound_internal.h"

namespace platform {

struct TRtAudioEntries {
    std::vector<std::string> (*OutputNames)();
    std::unique_ptr<TAudioDevice> (*MakeDevice)();
    std::vector<TCaptureDeviceInfo> (*Inputs)();
    bool (*HasInput)(const std::string& Id);
    std::unique_ptr<TInputStream> (*MakeInput)();
};

// What the library calls of the sound layer.
struct TRtAudioServices {
    void (*SetSoundError)(const std::string& Reason);
    void (*WriteBytes)(TRingBytes& Ring, const std::uint8_t* In, std::uint32_t Count);
    void (*Fail)(TRingBytes& Ring, const char* Reason);
    bool (*JackAnswered)(int AnswerMs);
};

constexpr const char* RtAudioLibraryName = "libtv_rtaudio.so";

} // namespace platform

extern "C" const platform::TRtAudioEntries*
tv_rtaudio_entries(const platform::TRtAudioServices* services);
