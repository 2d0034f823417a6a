#pragma once
// One destination line of a system mixer device with a control per adjustable line: the
// recording panel's wave-in line (source levels, mutes and the recording-source choice) and
// the browser's speakers line (master and source levels and mutes).

#include "platform/audio/mixer.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A fader of a line: its volume control, and its mute and its item in the source selector
// when it has them. Reads the platform refuses answer 0 or False.
class TMControl {
public:
    explicit TMControl(platform::TMixerDevice* Mixer);

    platform::TMixerDevice* Mixer;
    std::string Name;
    std::int32_t VolumeId = -1;
    std::int32_t VolumeChannels = 1;
    std::int32_t VolumeMin = 0, VolumeMax = 0;
    std::int32_t MuteId = -1;
    std::int32_t MuteChannels = 1;
    std::int32_t MuteMin = 0, MuteMax = 0;
    std::int32_t SelectorId = -1;
    std::int32_t SelectorItem = 0;
    std::int32_t SelectorItems = 0;

    int GetVolume();
    void SetVolume(int Value);
    bool GetMute();
    void SetMute(bool Mute);
    bool IsSelected();
    // With Exclusive only this line's item is set; a refused read writes nothing.
    void SetSelected(bool Selected, bool Exclusive);

private:
    bool Read(std::int32_t Id, std::int32_t Count, std::vector<std::int32_t>& Values);
    void Write(std::int32_t Id, const std::vector<std::int32_t>& Values);
};

class TMLine {
public:
    TMLine() = default;
    ~TMLine() { Close(); }
    TMLine(const TMLine&) = delete;
    TMLine& operator=(const TMLine&) = delete;

    // Opens mixer MixerId and takes its first destination of ComponentType (4 speakers, 7
    // wave-in) with its controls; False on any failure or when no destination has the type.
    bool Open(int MixerId, std::uint32_t ComponentType);
    void Close();
    bool Opened() const { return opened_; }

    std::string Name;
    std::vector<std::unique_ptr<TMControl>> Controls;
    bool ExclusiveSelect = false;

private:
    void TakeDestination(const platform::TMixerLineInfo& Line);
    std::unique_ptr<platform::TMixerDevice> mixer_;
    bool opened_ = false;
};
