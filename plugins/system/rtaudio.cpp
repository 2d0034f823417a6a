// The driver for real devices: every output RtAudio reaches (JACK, ALSA, PulseAudio).
#include "driver.h"
#include "platform/core/jackgate.h"

namespace platform {
// The driver stands alone and knows nothing of the program's start: it opens JACK clients when
// it is asked to.
bool JackAnswered(int) {
    return true;
}
} // namespace platform

namespace {

class TRtDriver final : public TDriver {
public:
    std::vector<std::string> DeviceNames() override { return platform::RtAudioOutputNames(); }
    std::unique_ptr<platform::TAudioDevice> MakeDevice(int) override {
        return platform::MakeRtAudioDevice();
    }
};

TRtDriver driver;

} // namespace

extern "C" __attribute__((visibility("default"))) std::int32_t
Properties(std::int32_t Cmd, std::intptr_t A, std::intptr_t B) {
    return driver.Properties(Cmd, A, B);
}
