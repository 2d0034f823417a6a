#include "platform/audio/scripted.h"

#include "platform/audio/sound_internal.h"

#include <algorithm>
#include <chrono>
#include <mutex>

namespace platform {

namespace {

// The calls a test may make fail; a bit each, so that any thread asks without a lock.
constexpr const char* kCalls[] = {
    "DirectSoundCreate",
    "SetCooperativeLevel",
    "CreateSoundBuffer",
    "SetFormat",
    "CreateSecondaryBuffer",
    "SetNotificationPositions",
    "Play",
    "Lock",
    "DirectSoundCaptureCreate",
    "CreateCaptureBuffer",
    "Start",
    "mixerOpen",
    "mixerGetDevCaps",
    "mixerGetLineInfo",
    "mixerGetControlDetails",
    "mixerSetControlDetails",
};
std::atomic<std::uint32_t> g_failing{0};

int CallBit(const std::string& Call) {
    for (std::size_t i = 0; i < std::size(kCalls); ++i)
        if (Call == kCalls[i]) return static_cast<int>(i);
    return -1;
}

std::mutex g_mutex;
TScriptedDevice* g_output = nullptr;
std::weak_ptr<TRingBytes> g_playRing;
std::weak_ptr<TRingBytes> g_captureRing;

class TScriptedOutput final : public TScriptedDevice {
public:
    ~TScriptedOutput() override { Close(); }
    bool Open(int Index, unsigned& Rate, unsigned& Frames) override {
        if (!TScriptedDevice::Open(Index, Rate, Frames)) return false;
        std::lock_guard lock(g_mutex);
        g_output = this;
        return true;
    }
    void Close() override {
        TScriptedDevice::Close();
        std::lock_guard lock(g_mutex);
        if (g_output == this) g_output = nullptr;
    }
};

class TScriptedInput final : public TInputStream {
public:
    ~TScriptedInput() override {
        std::lock_guard lock(g_mutex);
        if (g_captureRing.lock() == ring_) g_captureRing.reset();
    }
    bool Open(const std::string&, const TPcmFormat&, std::shared_ptr<TRingBytes> Ring) override {
        std::lock_guard lock(g_mutex);
        ring_ = Ring;
        g_captureRing = Ring;
        return true;
    }

private:
    std::shared_ptr<TRingBytes> ring_;
};

} // namespace

TScriptedAudio& ScriptedAudio() {
    static TScriptedAudio audio;
    return audio;
}

void TScriptedAudio::Reset() {
    g_failing.store(0);
    hold_.store(false);
    InputNames = {"Scripted input A", "Scripted input B"};
    Mixers.clear();
}

void TScriptedAudio::Fail(const std::string& Call) {
    const int bit = CallBit(Call);
    if (bit >= 0) g_failing.fetch_or(1u << bit);
}

bool TScriptedAudio::Failing(const std::string& Call) const {
    const int bit = CallBit(Call);
    return bit >= 0 && (g_failing.load() & (1u << bit)) != 0;
}

bool ScriptedFails(const char* Call) {
    return ScriptedAudio().Failing(Call);
}

int TScriptedAudio::Play(int Frames) {
    std::lock_guard lock(g_mutex);
    return g_output ? g_output->RunBlocks(1, Frames) * Frames : 0;
}

void TScriptedAudio::Miss(int Frames) {
    std::lock_guard lock(g_mutex);
    if (g_output) g_output->MissFrames(Frames);
}

std::vector<std::uint8_t> TScriptedAudio::PlayBytes() const {
    std::shared_ptr<TRingBytes> ring;
    {
        std::lock_guard lock(g_mutex);
        ring = g_playRing.lock();
    }
    std::vector<std::uint8_t> out;
    if (!ring) return out;
    std::uint8_t *p1 = nullptr, *p2 = nullptr;
    std::uint32_t n1 = 0, n2 = 0;
    const bool held = hold_.load();
    if (held) return out; // a Lock would wait for the test itself
    if (ring->Lock(0, ring->size, &p1, &n1, &p2, &n2)) out.assign(p1, p1 + n1);
    return out;
}

std::uint32_t TScriptedAudio::Inject(const void* Bytes, std::uint32_t Count) {
    std::lock_guard lock(g_mutex);
    std::shared_ptr<TRingBytes> ring = g_captureRing.lock();
    if (!ring || !ring->running.load()) return 0;
    ring->WriteBytes(static_cast<const std::uint8_t*>(Bytes), Count);
    return Count;
}

void TScriptedAudio::FailInput(const std::string& Reason) {
    std::lock_guard lock(g_mutex);
    if (std::shared_ptr<TRingBytes> ring = g_captureRing.lock()) ring->Fail(Reason.c_str());
}

void TScriptedAudio::HoldLocks(bool Hold) {
    hold_.store(Hold);
}

void ScriptedLockGate() {
    TScriptedAudio& s = ScriptedAudio();
    if (!s.hold_.load()) return;
    s.waiting_.fetch_add(1);
    while (s.hold_.load())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    s.waiting_.fetch_sub(1);
}

std::vector<std::string> ScriptedAudioInputNames() {
    return ScriptedAudio().InputNames;
}

std::unique_ptr<TAudioDevice> MakeScriptedOutput() {
    return std::make_unique<TScriptedOutput>();
}

std::unique_ptr<TInputStream> MakeScriptedInput() {
    return std::make_unique<TScriptedInput>();
}

void ScriptedPlayRing(const std::shared_ptr<TRingBytes>& Ring) {
    std::lock_guard lock(g_mutex);
    g_playRing = Ring;
}

} // namespace platform
