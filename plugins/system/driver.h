// The command set every audio-system driver answers, over one audio device. Each driver
// library supplies its devices and exports "Properties", which calls DriverProperties.
#pragma once

#include "platform/audio/devices.h"
#include "tolvern_audio.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TDriver {
public:
    virtual ~TDriver() = default;
    virtual std::vector<std::string> DeviceNames() = 0;
    virtual std::unique_ptr<platform::TAudioDevice> MakeDevice(int Index) = 0;
    // Called on the device's thread after the program filled a block (the file driver writes it).
    virtual void BlockDone(const float*, int) {}
    virtual void Started() {}
    virtual void Stopped() {}

    std::int32_t Properties(std::int32_t Cmd, std::intptr_t A, std::intptr_t B);
    platform::TAudioDevice* Device() { return device_.get(); }

private:
    void Block(float* Out, int Frames);

    TvAudioCallback callback_ = nullptr;
    std::unique_ptr<platform::TAudioDevice> device_;
    int index_ = 0;
    unsigned frames_ = 512;
    float rate_ = 44100.0f;
    bool open_ = false, running_ = false;
    std::vector<std::string> names_;
    std::atomic<bool> first_{true}; // the next block comes with flag 0
};
