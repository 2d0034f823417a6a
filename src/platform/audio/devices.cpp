#include "platform/audio/devices.h"

#include <chrono>

namespace platform {

namespace {

class TNullDevice final : public TAudioDevice {
public:
    explicit TNullDevice(bool RealTime) : realTime_(RealTime) {}
    ~TNullDevice() override { Stop(); }

    bool Open(int, unsigned& Rate, unsigned& Frames) override {
        if (Rate == 0) Rate = 44100;
        if (Frames == 0) Frames = 512;
        rate_ = Rate;
        frames_ = Frames;
        return true;
    }
    bool Start(TBlockFunction Block) override {
        Stop();
        stop_ = false;
        thread_ = std::thread([this, Block = std::move(Block)] { Run(Block); });
        return true;
    }
    void Stop() override {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    void Close() override { Stop(); }

private:
    void Run(const TBlockFunction& Block) {
        std::vector<float> buffer(2 * static_cast<std::size_t>(frames_));
        const auto period = std::chrono::duration<double>(static_cast<double>(frames_) / rate_);
        auto due = std::chrono::steady_clock::now();
        while (!stop_) {
            std::fill(buffer.begin(), buffer.end(), 0.0f);
            Block(buffer.data(), static_cast<int>(frames_));
            if (realTime_) {
                due += std::chrono::duration_cast<std::chrono::steady_clock::duration>(period);
                std::this_thread::sleep_until(due);
            }
        }
    }

    bool realTime_;
    unsigned rate_ = 44100, frames_ = 512;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace

std::unique_ptr<TAudioDevice> MakeNullDevice(bool RealTime) {
    return std::make_unique<TNullDevice>(RealTime);
}

bool TScriptedDevice::Open(int, unsigned& Rate, unsigned& Frames) {
    if (Rate == 0) Rate = 44100;
    if (Frames == 0) Frames = 512;
    frames_ = Frames;
    return true;
}

bool TScriptedDevice::Start(TBlockFunction Block) {
    block_ = std::move(Block);
    started_ = true;
    return true;
}

void TScriptedDevice::Stop() {
    started_ = false;
}

void TScriptedDevice::Close() {
    Stop();
    block_ = nullptr;
}

int TScriptedDevice::RunBlocks(int Count, int Frames) {
    if (!started_ || !block_) return 0;
    const unsigned frames = Frames > 0 ? static_cast<unsigned>(Frames) : frames_;
    buffer_.assign(2 * static_cast<std::size_t>(frames), 0.0f);
    int n = 0;
    for (; n < Count && started_; ++n) {
        std::fill(buffer_.begin(), buffer_.end(), 0.0f);
        block_(buffer_.data(), static_cast<int>(frames));
    }
    return n;
}

void TScriptedDevice::MissFrames(int Frames) {
    if (started_ && block_) block_(nullptr, Frames);
}

} // namespace platform
