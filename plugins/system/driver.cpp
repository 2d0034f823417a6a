#include "driver.h"

#include <algorithm>
#include <cstring>

std::int32_t TDriver::Properties(std::int32_t Cmd, std::intptr_t A, std::intptr_t B) {
    switch (Cmd) {
    case TV_AUDIO_OPEN:
        callback_ = reinterpret_cast<TvAudioCallback>(A);
        return callback_ ? 0 : 1;
    case TV_AUDIO_SELECT_DEVICE: {
        if (device_) device_->Close();
        index_ = static_cast<int>(A);
        device_ = MakeDevice(index_);
        unsigned rate = static_cast<unsigned>(rate_ + 0.5f), frames = frames_;
        open_ = device_ && device_->Open(index_, rate, frames);
        if (!open_) return 1;
        rate_ = static_cast<float>(rate);
        frames_ = frames;
        return 0;
    }
    case TV_AUDIO_CLOSE:
        Properties(TV_AUDIO_STOP, 0, 0);
        if (device_) device_->Close();
        device_.reset();
        open_ = false;
        callback_ = nullptr;
        return 0;
    case TV_AUDIO_START:
        if (!open_ || running_) return 1;
        first_ = true;
        running_ = true;
        Started();
        if (!device_->Start([this](float* Out, int Frames) { Block(Out, Frames); })) {
            running_ = false;
            return 1;
        }
        return 0;
    case TV_AUDIO_STOP:
        if (!running_) return 0;
        device_->Stop();
        running_ = false;
        Stopped();
        return 0;
    case TV_AUDIO_UNLOAD:
        Properties(TV_AUDIO_CLOSE, 0, 0);
        return 0;
    case TV_AUDIO_SETTINGS:
        return -1;
    case TV_AUDIO_DEVICE_COUNT:
        names_ = DeviceNames(); // listing devices can be slow: names come from this list
        return static_cast<std::int32_t>(names_.size());
    case TV_AUDIO_DEVICE_NAME: {
        if (names_.empty()) names_ = DeviceNames();
        const auto& names = names_;
        auto* out = reinterpret_cast<char*>(B);
        if (!out) return 1;
        out[0] = 0;
        if (A < 0 || A >= static_cast<std::intptr_t>(names.size())) return 1;
        const std::string& n = names[static_cast<std::size_t>(A)];
        std::size_t len = std::min<std::size_t>(n.size(), TV_AUDIO_NAME_BYTES - 1);
        std::memcpy(out, n.data(), len);
        out[len] = 0;
        return 0;
    }
    case TV_AUDIO_BLOCK_SIZE:
        if (A > 0 && !open_) frames_ = static_cast<unsigned>(A);
        return static_cast<std::int32_t>(frames_);
    case TV_AUDIO_SAMPLE_RATE:
        if (A && !open_) rate_ = *reinterpret_cast<const float*>(A);
        if (B) *reinterpret_cast<float*>(B) = rate_;
        return 0;
    case TV_AUDIO_TRANSPORT_START:
        first_ = true;
        return 0;
    case TV_AUDIO_RECORDING:
        return 0;
    default:
        return 1;
    }
}

void TDriver::Block(float* Out, int Frames) {
    if (!Out) {
        // Frames the device played without a block: the program skips them.
        if (callback_) callback_(nullptr, Frames, 1);
        return;
    }
    const int flag = first_.exchange(false) ? 0 : 1;
    if (callback_) callback_(Out, Frames, flag);
    BlockDone(Out, Frames);
}
