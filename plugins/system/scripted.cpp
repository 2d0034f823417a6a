// The driver for tests: its one device runs blocks only when the test calls ScriptedRunBlocks,
// on the test's thread. ScriptedBlockSize makes it answer another block size than asked for;
// ScriptedFlags hands over the flags of the blocks run since the last call.
#include "driver.h"

#include <algorithm>

namespace {

class TScriptedDriver final : public TDriver {
public:
    std::vector<std::string> DeviceNames() override {
        return {"Scripted device A", "Scripted device B"};
    }
    std::unique_ptr<platform::TAudioDevice> MakeDevice(int Index) override {
        if (Index < 0 || Index > 1) return nullptr;
        return std::make_unique<TForcedSize>();
    }
    int RunBlocks(int Count, int Frames) {
        auto* d = static_cast<TForcedSize*>(Device());
        return d ? d->RunBlocks(Count, Frames) : 0;
    }
    int ForcedFrames = 0;

private:
    class TForcedSize final : public platform::TScriptedDevice {
    public:
        bool Open(int Index, unsigned& Rate, unsigned& Frames) override;
    };
};

TScriptedDriver driver;
std::vector<std::int32_t> flags;

bool TScriptedDriver::TForcedSize::Open(int Index, unsigned& Rate, unsigned& Frames) {
    if (driver.ForcedFrames > 0) Frames = static_cast<unsigned>(driver.ForcedFrames);
    return TScriptedDevice::Open(Index, Rate, Frames);
}

void Record(float* Buffer, std::int32_t Frames, std::int32_t Flag);
TvAudioCallback program = nullptr;

} // namespace

#define TV_EXPORT extern "C" __attribute__((visibility("default")))

TV_EXPORT std::int32_t Properties(std::int32_t Cmd, std::intptr_t A, std::intptr_t B) {
    if (Cmd == TV_AUDIO_OPEN) {
        // Sits between the driver and the program to note each block's flag.
        program = reinterpret_cast<TvAudioCallback>(A);
        A = program ? reinterpret_cast<std::intptr_t>(&Record) : 0;
    }
    return driver.Properties(Cmd, A, B);
}

TV_EXPORT std::int32_t ScriptedRunBlocks(std::int32_t Count, std::int32_t Frames) {
    return driver.RunBlocks(Count, Frames);
}

// Frames the device plays without a block, as a JACK client that misses cycles reports them.
TV_EXPORT void ScriptedMissFrames(std::int32_t Frames) {
    if (program) program(nullptr, Frames, 1);
}

TV_EXPORT void ScriptedBlockSize(std::int32_t Frames) {
    driver.ForcedFrames = Frames;
}

TV_EXPORT std::int32_t ScriptedFlags(std::int32_t* Out, std::int32_t Max) {
    auto n = static_cast<std::int32_t>(
        std::min<std::size_t>(flags.size(), static_cast<std::size_t>(Max)));
    std::copy_n(flags.begin(), n, Out);
    flags.clear();
    return n;
}

namespace {
void Record(float* Buffer, std::int32_t Frames, std::int32_t Flag) {
    if (flags.size() < 4096) flags.push_back(Flag);
    if (program) program(Buffer, Frames, Flag);
}
} // namespace
