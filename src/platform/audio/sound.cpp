#include "platform/audio/sound_internal.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

namespace platform {

namespace {

std::atomic<TAudioDevices> g_devices{TAudioDevices::Real};
thread_local std::string t_error;

} // namespace

void UseAudioDevices(TAudioDevices Kind) {
    g_devices.store(Kind);
}

TAudioDevices AudioDevicesInUse() {
    return g_devices.load();
}

std::string SoundError() {
    return t_error;
}

void SetSoundError(const std::string& Reason) {
    t_error = Reason;
}

// ---------------------------------------------------------------------------------------------
// The ring

TRingBytes::TRingBytes(std::uint32_t Size, const TPcmFormat& Format, bool Capture)
    : size(Size), format(Format), capture(Capture),
      bytes_(std::make_unique<std::atomic<std::uint8_t>[]>(Size)),
      staging_(std::make_unique<std::uint8_t[]>(Size)) {
    for (std::uint32_t i = 0; i < Size; ++i)
        bytes_[i].store(Format.Bits == 8 ? 0x80 : 0, std::memory_order_relaxed);
}

bool TRingBytes::SetNotify(const std::vector<TNotifyPosition>& Positions) {
    if (Positions.size() > notify_.size() || running.load()) return false;
    for (const TNotifyPosition& p : Positions)
        if (!p.Event || (p.Offset != NotifyAtStop && p.Offset >= size)) return false;
    notifyCount_ = static_cast<int>(Positions.size());
    stopIndex_ = -1;
    for (int i = 0; i < notifyCount_; ++i) {
        notify_[static_cast<std::size_t>(i)] = Positions[static_cast<std::size_t>(i)];
        if (Positions[static_cast<std::size_t>(i)].Offset == NotifyAtStop) stopIndex_ = i;
    }
    published_.fetch_add(1, std::memory_order_release);
    return true;
}

bool TRingBytes::Lock(std::uint32_t Offset, std::uint32_t Bytes, std::uint8_t** P1,
                      std::uint32_t* N1, std::uint8_t** P2, std::uint32_t* N2) {
    if (!P1 || !N1 || Offset >= size || Bytes > size) return false;
    if (AudioDevicesInUse() == TAudioDevices::Scripted) {
        ScriptedLockGate();
        if (ScriptedFails("Lock")) return false;
    }
    total.load(std::memory_order_acquire); // what the device captured so far is seen
    const std::uint32_t first = std::min(Bytes, size - Offset);
    const std::uint32_t second = Bytes - first;
    if (second && (!P2 || !N2)) return false;
    for (std::uint32_t i = 0; i < first; ++i)
        staging_[Offset + i] = bytes_[Offset + i].load(std::memory_order_relaxed);
    for (std::uint32_t i = 0; i < second; ++i)
        staging_[i] = bytes_[i].load(std::memory_order_relaxed);
    *P1 = staging_.get() + Offset;
    *N1 = first;
    if (P2) *P2 = second ? staging_.get() : nullptr;
    if (N2) *N2 = second;
    return true;
}

void TRingBytes::CommitPiece(const std::uint8_t* P, std::uint32_t N) {
    if (!P || !N) return;
    const std::ptrdiff_t at = P - staging_.get();
    if (at < 0 || static_cast<std::uint64_t>(at) + N > size) return;
    for (std::uint32_t i = 0; i < N; ++i)
        bytes_[static_cast<std::size_t>(at) + i].store(P[i], std::memory_order_relaxed);
    published_.fetch_add(1, std::memory_order_release);
}

std::uint64_t TRingBytes::NextPositionAfter(std::uint64_t Seen, int& Index) const {
    std::uint64_t best = std::numeric_limits<std::uint64_t>::max();
    for (int i = 0; i < notifyCount_; ++i) {
        const std::uint32_t o = notify_[static_cast<std::size_t>(i)].Offset;
        if (o == NotifyAtStop) continue;
        const std::uint64_t reach = std::uint64_t{o} + 1; // total once byte o has passed
        const std::uint64_t k = Seen >= reach ? (Seen - reach) / size + 1 : 0;
        const std::uint64_t at = k * size + reach;
        if (at < best) {
            best = at;
            Index = i;
        }
    }
    return best;
}

void TRingBytes::Pass(std::uint64_t From, std::uint64_t To) {
    for (int i = 0; i < notifyCount_; ++i) {
        const std::uint32_t o = notify_[static_cast<std::size_t>(i)].Offset;
        if (o == NotifyAtStop) continue;
        const std::uint64_t reach = std::uint64_t{o} + 1;
        const std::uint64_t k = From >= reach ? (From - reach) / size + 1 : 0;
        if (k * size + reach <= To) notify_[static_cast<std::size_t>(i)].Event->Set();
    }
}

bool TRingBytes::NextCrossing(TCrossing& Crossing) {
    for (;;) {
        const std::uint32_t stops = stopCount_.load(std::memory_order_acquire);
        const std::uint64_t captured = total.load(std::memory_order_acquire);
        int index = -1;
        const std::uint64_t at = NextPositionAfter(seen_, index);
        if (stopsSeen_ != stops) {
            const std::uint64_t stopAt = stops_[stopsSeen_ % stops_.size()].load();
            if (index >= 0 && at <= stopAt) {
                seen_ = at;
                Crossing = {index, at};
                return true;
            }
            ++stopsSeen_;
            seen_ = std::max(seen_, stopAt);
            if (stopIndex_ < 0) continue;
            Crossing = {stopIndex_, stopAt};
            return true;
        }
        if (index >= 0 && at <= captured) {
            seen_ = at;
            Crossing = {index, at};
            return true;
        }
        return false;
    }
}

void TRingBytes::Stop() {
    if (!running.exchange(false, std::memory_order_acq_rel)) return;
    if (!capture) return;
    const std::uint32_t n = stopCount_.load(std::memory_order_acquire);
    stops_[n % stops_.size()].store(total.load(std::memory_order_acquire));
    stopCount_.store(n + 1, std::memory_order_release);
    if (stopIndex_ >= 0) notify_[static_cast<std::size_t>(stopIndex_)].Event->Set();
}

void TRingBytes::ReadFrames(float* Out, int Frames) {
    if (!running.load(std::memory_order_acquire)) return;
    published_.load(std::memory_order_acquire);
    const int align = format.BlockAlign();
    if (align <= 0 || size < static_cast<std::uint32_t>(align)) return;
    const std::uint64_t start = total.load(std::memory_order_relaxed);
    std::uint32_t pos = static_cast<std::uint32_t>(start % size);
    std::uint64_t moved = 0;
    bool ended = false;
    auto sample = [&](std::uint32_t at) -> float {
        if (format.Bits == 8)
            return static_cast<float>(bytes_[at].load(std::memory_order_relaxed) - 128) / 128.0f;
        const auto lo = bytes_[at].load(std::memory_order_relaxed);
        const auto hi = bytes_[at + 1].load(std::memory_order_relaxed);
        return static_cast<float>(static_cast<std::int16_t>(lo | (hi << 8))) / 32768.0f;
    };
    for (int f = 0; f < Frames && !ended; ++f) {
        const float l = sample(pos);
        const float r =
            format.Channels == 2 ? sample(pos + static_cast<std::uint32_t>(align / 2)) : l;
        Out[2 * f] += l;
        Out[2 * f + 1] += r;
        pos += static_cast<std::uint32_t>(align); // sizes are whole frames
        moved += static_cast<std::uint32_t>(align);
        if (pos >= size) {
            pos = 0;
            if (!looping.load(std::memory_order_relaxed)) ended = true;
        }
    }
    total.store(start + moved, std::memory_order_release);
    Pass(start, start + moved);
    if (ended) running.store(false, std::memory_order_release);
}

void TRingBytes::WriteBytes(const std::uint8_t* In, std::uint32_t Count) {
    if (!running.load(std::memory_order_acquire) || !Count) return;
    const std::uint64_t start = total.load(std::memory_order_relaxed);
    std::uint32_t pos = static_cast<std::uint32_t>(start % size);
    for (std::uint32_t i = 0; i < Count; ++i) {
        bytes_[pos].store(In[i], std::memory_order_relaxed);
        if (++pos == size) pos = 0;
    }
    total.store(start + Count, std::memory_order_release);
    Pass(start, start + Count);
}

void TRingBytes::Fail(const char* Reason) {
    if (failed.load(std::memory_order_acquire)) return;
    std::snprintf(failReason, sizeof failReason, "%s", Reason ? Reason : "");
    failed.store(true, std::memory_order_release);
    Stop();
}

// ---------------------------------------------------------------------------------------------
// Buffers

TSoundBuffer::TSoundBuffer(std::shared_ptr<TRingBytes> Ring) : ring_(std::move(Ring)) {}
TSoundBuffer::~TSoundBuffer() = default;

std::uint32_t TSoundBuffer::Size() const {
    return ring_->size;
}
TPcmFormat TSoundBuffer::Format() const {
    return ring_->format;
}
bool TSoundBuffer::SetNotificationPositions(const std::vector<TNotifyPosition>& Positions) {
    if (AudioDevicesInUse() == TAudioDevices::Scripted && ScriptedFails("SetNotificationPositions"))
        return false;
    return ring_->SetNotify(Positions);
}
bool TSoundBuffer::Lock(std::uint32_t Offset, std::uint32_t Bytes, std::uint8_t** P1,
                        std::uint32_t* N1, std::uint8_t** P2, std::uint32_t* N2) {
    return ring_->Lock(Offset, Bytes, P1, N1, P2, N2);
}
void TSoundBuffer::Unlock(std::uint8_t*, std::uint32_t, std::uint8_t*, std::uint32_t) {}

void TPlayBuffer::Unlock(std::uint8_t* P1, std::uint32_t N1, std::uint8_t* P2, std::uint32_t N2) {
    ring_->CommitPiece(P1, N1);
    ring_->CommitPiece(P2, N2);
}
std::uint32_t TPlayBuffer::PlayCursor() const {
    return static_cast<std::uint32_t>(ring_->total.load() % ring_->size);
}

bool TCaptureBuffer::SetNotificationPositions(const std::vector<TNotifyPosition>& Positions) {
    return TSoundBuffer::SetNotificationPositions(Positions);
}
bool TCaptureBuffer::Start(bool Looping) {
    if (ring_->failed.load(std::memory_order_acquire)) return false;
    if (AudioDevicesInUse() == TAudioDevices::Scripted && ScriptedFails("Start")) return false;
    ring_->looping.store(Looping);
    ring_->running.store(true, std::memory_order_release);
    return true;
}
void TCaptureBuffer::Stop() {
    ring_->Stop();
}
bool TCaptureBuffer::Capturing() const {
    return ring_->running.load(std::memory_order_acquire);
}
std::uint32_t TCaptureBuffer::CaptureCursor() const {
    return static_cast<std::uint32_t>(ring_->total.load(std::memory_order_acquire) % ring_->size);
}
std::uint64_t TCaptureBuffer::CapturedBytes() const {
    return ring_->total.load(std::memory_order_acquire);
}
bool TCaptureBuffer::NextCrossing(TCrossing& Crossing) {
    return ring_->NextCrossing(Crossing);
}
bool TCaptureBuffer::Failed() const {
    return ring_->failed.load(std::memory_order_acquire);
}
std::string TCaptureBuffer::FailReason() const {
    return Failed() ? std::string(ring_->failReason) : std::string();
}

// ---------------------------------------------------------------------------------------------
// Playback device

namespace {

bool Fails(const char* Call) {
    if (AudioDevicesInUse() != TAudioDevices::Scripted || !ScriptedFails(Call)) return false;
    SetSoundError(std::string(Call) + " failed (scripted)");
    return true;
}

struct TOutState {
    std::unique_ptr<TAudioDevice> device;
    std::atomic<TRingBytes*> playing{nullptr};
    std::atomic<int> inBlock{0};
    unsigned rate = 44100, frames = 512;
    bool open = false, started = false;

    void Block(float* Out, int Frames) {
        if (!Out) return; // frames the device played without a block: a preview just goes on
        inBlock.store(1);
        if (TRingBytes* r = playing.load()) r->ReadFrames(Out, Frames);
        inBlock.store(0, std::memory_order_release);
    }
    // After this no block reads Ring any more.
    void Release(TRingBytes* Ring) {
        TRingBytes* expected = Ring;
        playing.compare_exchange_strong(expected, nullptr);
        while (inBlock.load())
            std::this_thread::yield();
    }
};

class TOutPlayBuffer final : public TPlayBuffer {
public:
    TOutPlayBuffer(std::shared_ptr<TRingBytes> Ring, std::shared_ptr<TOutState> Out)
        : TPlayBuffer(std::move(Ring)), out_(std::move(Out)) {}
    ~TOutPlayBuffer() override { Stop(); }
    bool Play(bool Looping) override {
        if (Fails("Play")) return false;
        ring_->looping.store(Looping);
        ring_->running.store(true, std::memory_order_release);
        TRingBytes* previous = out_->playing.exchange(ring_.get());
        if (previous && previous != ring_.get()) previous->running.store(false);
        return true;
    }
    void Stop() override {
        ring_->running.store(false, std::memory_order_release);
        out_->Release(ring_.get());
    }

private:
    std::shared_ptr<TOutState> out_;
};

class TOutPrimary final : public TPrimaryBuffer {
public:
    explicit TOutPrimary(std::shared_ptr<TOutState> Out) : out_(std::move(Out)) {}
    ~TOutPrimary() override {
        Stop();
        if (out_->open) out_->device->Close();
        out_->open = false;
    }
    bool SetFormat(const TPcmFormat& Format) override {
        if (Fails("SetFormat")) return false;
        if (Format.Bits != 16 || Format.Channels < 1 || Format.Channels > 2) {
            SetSoundError("only 16-bit PCM with one or two channels is played");
            return false;
        }
        if (static_cast<unsigned>(Format.Rate) != out_->rate) {
            SetSoundError("the output runs at " + std::to_string(out_->rate) + " Hz, not " +
                          std::to_string(Format.Rate) + " Hz");
            return false;
        }
        return true;
    }
    bool Play() override {
        if (out_->started) return true;
        auto* state = out_.get();
        if (!out_->device->Start([state](float* Out, int Frames) { state->Block(Out, Frames); })) {
            SetSoundError(out_->device->Error());
            return false;
        }
        out_->started = true;
        return true;
    }
    void Stop() override {
        if (!out_->started) return;
        out_->device->Stop();
        out_->started = false;
    }

private:
    std::shared_ptr<TOutState> out_;
};

class TDeviceSoundOut final : public TSoundOut {
public:
    explicit TDeviceSoundOut(std::unique_ptr<TAudioDevice> Device)
        : out_(std::make_shared<TOutState>()) {
        out_->device = std::move(Device);
    }
    bool SetCooperativeLevel(HWND) override { return !Fails("SetCooperativeLevel"); }
    std::unique_ptr<TPrimaryBuffer> CreatePrimaryBuffer() override {
        if (Fails("CreateSoundBuffer")) return nullptr;
        if (out_->open) return nullptr; // one primary buffer per device object
        unsigned rate = 44100, frames = 512;
        if (!out_->device->Open(0, rate, frames)) {
            SetSoundError(out_->device->Error());
            return nullptr;
        }
        out_->rate = rate;
        out_->frames = frames;
        out_->open = true;
        return std::make_unique<TOutPrimary>(out_);
    }
    std::unique_ptr<TPlayBuffer> CreateBuffer(std::uint32_t Bytes,
                                              const TPcmFormat& Format) override {
        if (Fails("CreateSecondaryBuffer")) return nullptr;
        if (Bytes == 0 || (Format.Bits != 8 && Format.Bits != 16) || Format.Channels < 1 ||
            Format.Channels > 2 || Bytes % static_cast<std::uint32_t>(Format.BlockAlign()) != 0) {
            SetSoundError("unsupported buffer");
            return nullptr;
        }
        auto ring = std::make_shared<TRingBytes>(Bytes, Format, false);
        if (AudioDevicesInUse() == TAudioDevices::Scripted) ScriptedPlayRing(ring);
        return std::make_unique<TOutPlayBuffer>(std::move(ring), out_);
    }

private:
    std::shared_ptr<TOutState> out_;
};

} // namespace

std::unique_ptr<TSoundOut> TSoundOut::Create() {
    SetSoundError("");
    switch (AudioDevicesInUse()) {
    case TAudioDevices::Scripted:
        if (Fails("DirectSoundCreate")) return nullptr;
        return std::make_unique<TDeviceSoundOut>(MakeScriptedOutput());
    case TAudioDevices::Null:
        return std::make_unique<TDeviceSoundOut>(MakeClockOutput());
    case TAudioDevices::Real:
        break;
    }
    if (RtAudioOutputNames().empty()) {
        SetSoundError("no audio output device");
        return nullptr;
    }
    return std::make_unique<TDeviceSoundOut>(MakeRtAudioDevice());
}

// ---------------------------------------------------------------------------------------------
// Capture device

namespace {

class TStreamCaptureBuffer final : public TCaptureBuffer {
public:
    TStreamCaptureBuffer(std::shared_ptr<TRingBytes> Ring, std::unique_ptr<TInputStream> Stream)
        : TCaptureBuffer(std::move(Ring)), stream_(std::move(Stream)) {}
    ~TStreamCaptureBuffer() override {
        ring_->Stop();
        stream_.reset(); // its thread has ended once this returns
    }

private:
    std::unique_ptr<TInputStream> stream_;
};

class TDeviceSoundIn final : public TSoundIn {
public:
    explicit TDeviceSoundIn(std::string Id) : id_(std::move(Id)) {}
    std::unique_ptr<TCaptureBuffer> CreateBuffer(std::uint32_t Bytes,
                                                 const TPcmFormat& Format) override {
        if (Fails("CreateCaptureBuffer")) return nullptr;
        if (Bytes == 0 || (Format.Bits != 8 && Format.Bits != 16) || Format.Channels < 1 ||
            Format.Channels > 2 || Format.Rate <= 0 ||
            Bytes % static_cast<std::uint32_t>(Format.BlockAlign()) != 0) {
            SetSoundError("unsupported capture format");
            return nullptr;
        }
        auto ring = std::make_shared<TRingBytes>(Bytes, Format, true);
        std::unique_ptr<TInputStream> stream;
        switch (AudioDevicesInUse()) {
        case TAudioDevices::Scripted:
            stream = MakeScriptedInput();
            break;
        case TAudioDevices::Null:
            stream = MakeClockInput();
            break;
        case TAudioDevices::Real:
            stream = MakeRtAudioInput();
            break;
        }
        if (!stream->Open(id_, Format, ring)) return nullptr;
        return std::make_unique<TStreamCaptureBuffer>(std::move(ring), std::move(stream));
    }

private:
    std::string id_;
};

} // namespace

std::vector<TCaptureDeviceInfo> CaptureDevices() {
    switch (AudioDevicesInUse()) {
    case TAudioDevices::Null:
        return {{"Default input", ""}};
    case TAudioDevices::Scripted: {
        std::vector<TCaptureDeviceInfo> list{{"Default input", ""}};
        for (const std::string& name : ScriptedAudioInputNames())
            list.push_back({name, "Scripted: " + name});
        return list;
    }
    case TAudioDevices::Real:
        break;
    }
    std::vector<TCaptureDeviceInfo> list{{"Default input", ""}};
    for (TCaptureDeviceInfo& d : RtAudioInputs())
        list.push_back(std::move(d));
    return list;
}

std::unique_ptr<TSoundIn> TSoundIn::Create(const std::string* Id) {
    SetSoundError("");
    const std::string id = Id ? *Id : std::string();
    switch (AudioDevicesInUse()) {
    case TAudioDevices::Scripted: {
        if (Fails("DirectSoundCaptureCreate")) return nullptr;
        if (!id.empty()) {
            bool found = false;
            for (const std::string& name : ScriptedAudioInputNames())
                found = found || id == "Scripted: " + name;
            if (!found) {
                SetSoundError("no input device " + id);
                return nullptr;
            }
        }
        break;
    }
    case TAudioDevices::Null:
        if (!id.empty()) {
            SetSoundError("no input device " + id);
            return nullptr;
        }
        break;
    case TAudioDevices::Real:
        if (!RtAudioHasInput(id)) {
            SetSoundError(id.empty() ? "no audio input device" : "no input device " + id);
            return nullptr;
        }
        break;
    }
    return std::make_unique<TDeviceSoundIn>(id);
}

} // namespace platform
