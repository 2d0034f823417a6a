// The null devices: silence, with their cursors moved on by the core clock (the virtual clock
// of the tests included), so that notifications come as a real device would give them.
#include "platform/audio/sound_internal.h"
#include "platform/core/clock.h"

#include <vector>

namespace platform {

namespace {

constexpr int kChunk = 4096; // frames handed over at most at once

class TClockOutput final : public TAudioDevice {
public:
    ~TClockOutput() override { Close(); }
    bool Open(int, unsigned& Rate, unsigned& Frames) override {
        if (Rate == 0) Rate = 44100;
        if (Frames == 0) Frames = 512;
        rate_ = Rate;
        buffer_.assign(2 * static_cast<std::size_t>(kChunk), 0.0f);
        return true;
    }
    bool Start(TBlockFunction Block) override {
        Stop();
        block_ = std::move(Block);
        pacer_ = std::make_unique<TClockPacer>(static_cast<int>(rate_), [this](int Frames) {
            std::fill(buffer_.begin(), buffer_.begin() + 2 * Frames, 0.0f);
            block_(buffer_.data(), Frames);
        });
        return true;
    }
    void Stop() override { pacer_.reset(); }
    void Close() override { Stop(); }

private:
    unsigned rate_ = 44100;
    std::vector<float> buffer_;
    TBlockFunction block_;
    std::unique_ptr<TClockPacer> pacer_;
};

class TClockInput final : public TInputStream {
public:
    ~TClockInput() override { pacer_.reset(); }
    bool Open(const std::string&, const TPcmFormat& Format,
              std::shared_ptr<TRingBytes> Ring) override {
        ring_ = std::move(Ring);
        align_ = Format.BlockAlign();
        silence_.assign(static_cast<std::size_t>(kChunk * align_), Format.Bits == 8 ? 0x80 : 0);
        pacer_ = std::make_unique<TClockPacer>(Format.Rate, [this](int Frames) {
            ring_->WriteBytes(silence_.data(), static_cast<std::uint32_t>(Frames * align_));
        });
        return true;
    }

private:
    std::shared_ptr<TRingBytes> ring_;
    int align_ = 4;
    std::vector<std::uint8_t> silence_;
    std::unique_ptr<TClockPacer> pacer_;
};

} // namespace

TClockPacer::TClockPacer(int Rate, std::function<void(int Frames)> Tick) {
    const std::uint32_t start = TimeGetTime();
    thread_ = std::thread([this, Rate, start, Tick = std::move(Tick)] {
        std::uint64_t done = 0;
        std::uint32_t next = start;
        while (!cancel_.load()) {
            next += 10;
            if (!SleepUntil(next, &cancel_) && cancel_.load()) break;
            const std::uint64_t due =
                std::uint64_t{TimeGetTime() - start} * static_cast<std::uint64_t>(Rate) / 1000;
            while (done < due && !cancel_.load()) {
                const int n = static_cast<int>(std::min<std::uint64_t>(due - done, kChunk));
                Tick(n);
                done += static_cast<std::uint64_t>(n);
            }
        }
        ClockThreadIdle();
    });
}

TClockPacer::~TClockPacer() {
    cancel_.store(true);
    WakeSleepers();
    if (thread_.joinable()) thread_.join();
}

std::unique_ptr<TAudioDevice> MakeClockOutput() {
    return std::make_unique<TClockOutput>();
}

std::unique_ptr<TInputStream> MakeClockInput() {
    return std::make_unique<TClockInput>();
}

} // namespace platform
