// The driver that renders into a WAV file (16-bit stereo PCM) for headless runs: device 0
// keeps real time, device 1 runs as fast as it can. The file is $TOLVERN_WAVE_FILE, else
// "tolvern.wav" in the working folder; each start writes it anew.
#include "driver.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void Put32(std::uint8_t* P, std::uint32_t V) {
    for (int i = 0; i < 4; ++i)
        P[i] = static_cast<std::uint8_t>(V >> (8 * i));
}

class TWaveDriver final : public TDriver {
public:
    std::vector<std::string> DeviceNames() override {
        return {"Wave file, real time", "Wave file, as fast as possible"};
    }
    std::unique_ptr<platform::TAudioDevice> MakeDevice(int Index) override {
        if (Index < 0 || Index > 1) return nullptr;
        return platform::MakeNullDevice(Index == 0);
    }
    void Started() override {
        const char* env = std::getenv("TOLVERN_WAVE_FILE");
        file_ = std::fopen(env && *env ? env : "tolvern.wav", "wb");
        bytes_ = 0;
        if (file_) WriteHeader();
    }
    void BlockDone(const float* Out, int Frames) override {
        if (!file_) return;
        for (int i = 0; i < 2 * Frames; i += 2 * kChunk) {
            int n = std::min(2 * kChunk, 2 * Frames - i);
            for (int k = 0; k < n; ++k) {
                float x = std::fmax(-1.0f, std::fmin(1.0f, Out[i + k]));
                auto v = static_cast<std::int16_t>(std::lrint(x * 32767.0f));
                chunk_[2 * k] = static_cast<std::uint8_t>(v);
                chunk_[2 * k + 1] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(v) >> 8);
            }
            bytes_ += std::fwrite(chunk_, 1, static_cast<std::size_t>(2 * n), file_);
        }
    }
    void Stopped() override {
        if (!file_) return;
        WriteHeader();
        std::fclose(file_);
        file_ = nullptr;
    }

private:
    static constexpr int kChunk = 1024;

    void WriteHeader() {
        std::uint8_t h[44] = {'R', 'I', 'F', 'F', 0, 0, 0,  0, 'W', 'A', 'V', 'E', 'f', 'm',
                              't', ' ', 16,  0,   0, 0, 1,  0, 2,   0,   0,   0,   0,   0,
                              0,   0,   0,   0,   4, 0, 16, 0, 'd', 'a', 't', 'a'};
        unsigned rate = 44100;
        float r = 0;
        Properties(TV_AUDIO_SAMPLE_RATE, 0, reinterpret_cast<std::intptr_t>(&r));
        if (r > 0) rate = static_cast<unsigned>(r + 0.5f);
        Put32(h + 4, static_cast<std::uint32_t>(36 + bytes_));
        Put32(h + 24, rate);
        Put32(h + 28, rate * 4);
        Put32(h + 40, static_cast<std::uint32_t>(bytes_));
        std::fseek(file_, 0, SEEK_SET);
        std::fwrite(h, 1, sizeof h, file_);
        std::fseek(file_, 0, SEEK_END);
    }

    std::FILE* file_ = nullptr;
    std::size_t bytes_ = 0;
    std::uint8_t chunk_[4 * kChunk];
};

TWaveDriver driver;

} // namespace

extern "C" __attribute__((visibility("default"))) std::int32_t
Properties(std::int32_t Cmd, std::intptr_t A, std::intptr_t B) {
    return driver.Properties(Cmd, A, B);
}
