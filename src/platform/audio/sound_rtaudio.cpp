// Real capture devices through RtAudio input streams. A device's identifier is its system and
// name ("ALSA: HDA Intel PCH: ALC892 Analog (hw:0,0)"), which stays the same across runs while
// the device index may not. The stream runs from the buffer's creation to its end; starting
// and stopping the capture only says whether its blocks go into the buffer, so neither waits.
#include "platform/audio/sound_internal.h"

#include "platform/core/jackgate.h"

#include <RtAudio.h>
#include <alsa/asoundlib.h>

#include <vector>

namespace platform {

namespace {

void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

struct TInputRef {
    RtAudio::Api Api;
    unsigned Index;
    std::string Id;
    bool Default;
};

std::vector<TInputRef> ListInputs() {
    snd_lib_error_set_handler(&QuietAlsa);
    std::vector<RtAudio::Api> apis;
    RtAudio::getCompiledApi(apis);
    std::vector<TInputRef> out;
    for (RtAudio::Api api : apis) {
        if (api == RtAudio::RTAUDIO_DUMMY) continue;
        // A JACK server that holds the start-up's port listers would hold this list too.
        if (api == RtAudio::UNIX_JACK && !JackAnswered()) continue;
        try {
            RtAudio rt(api);
            rt.showWarnings(false);
            const unsigned n = rt.getDeviceCount();
            for (unsigned i = 0; i < n; ++i) {
                RtAudio::DeviceInfo info = rt.getDeviceInfo(i);
                if (info.probed && info.inputChannels >= 1)
                    out.push_back({api, i, RtAudio::getApiDisplayName(api) + ": " + info.name,
                                   info.isDefaultInput});
            }
        } catch (const std::exception&) {
            // A system that cannot be reached lists no devices.
        }
    }
    return out;
}

// The device an empty identifier means: the default input of the first system that has one.
bool Resolve(const std::string& Id, TInputRef& Ref) {
    const std::vector<TInputRef> inputs = ListInputs();
    for (const TInputRef& r : inputs) {
        if (Id.empty() ? r.Default : r.Id == Id) {
            Ref = r;
            return true;
        }
    }
    if (Id.empty() && !inputs.empty()) {
        Ref = inputs.front();
        return true;
    }
    return false;
}

// The ring a failing stream reports to (RtAudio's error callback carries no user data).
std::atomic<TRingBytes*> g_failRing{nullptr};

void OnError(RtAudioError::Type Type, const std::string& Text) {
    if (Type == RtAudioError::WARNING || Type == RtAudioError::DEBUG_WARNING) return;
    if (TRingBytes* ring = g_failRing.load()) ring->Fail(Text.c_str());
}

class TRtInput final : public TInputStream {
public:
    ~TRtInput() override {
        TRingBytes* mine = ring_.get();
        g_failRing.compare_exchange_strong(mine, nullptr);
        if (!rt_) return;
        try {
            if (rt_->isStreamRunning()) rt_->stopStream();
            if (rt_->isStreamOpen()) rt_->closeStream();
        } catch (const std::exception&) {
        }
    }
    bool Open(const std::string& Id, const TPcmFormat& Format,
              std::shared_ptr<TRingBytes> Ring) override {
        TInputRef ref;
        if (!Resolve(Id, ref)) {
            SetSoundError("no input device " + Id);
            return false;
        }
        ring_ = std::move(Ring);
        align_ = static_cast<std::uint32_t>(Format.BlockAlign());
        eightBit_ = Format.Bits == 8;
        try {
            rt_ = std::make_unique<RtAudio>(ref.Api);
            rt_->showWarnings(false);
            RtAudio::StreamParameters params;
            params.deviceId = ref.Index;
            params.nChannels = static_cast<unsigned>(Format.Channels);
            RtAudio::StreamOptions options;
            options.streamName = "Tolvern capture";
            unsigned frames = 512;
            convert_.assign(static_cast<std::size_t>(frames) * 8, 0);
            g_failRing.store(ring_.get());
            rt_->openStream(nullptr, &params, eightBit_ ? RTAUDIO_SINT8 : RTAUDIO_SINT16,
                            static_cast<unsigned>(Format.Rate), &frames, &TRtInput::Callback, this,
                            &options, &OnError);
            if (rt_->getStreamSampleRate() != static_cast<unsigned>(Format.Rate)) {
                SetSoundError("the input runs at " + std::to_string(rt_->getStreamSampleRate()) +
                              " Hz");
                rt_->closeStream();
                rt_.reset();
                return false;
            }
            convert_.assign(static_cast<std::size_t>(frames) * align_, 0);
            rt_->startStream();
            return true;
        } catch (const std::exception& e) {
            SetSoundError(e.what());
            rt_.reset();
            return false;
        }
    }

private:
    static int Callback(void*, void* In, unsigned Frames, double, RtAudioStreamStatus, void* User) {
        auto* self = static_cast<TRtInput*>(User);
        if (!In) return 0;
        const std::uint32_t bytes = Frames * self->align_;
        if (!self->eightBit_) {
            self->ring_->WriteBytes(static_cast<const std::uint8_t*>(In), bytes);
            return 0;
        }
        // Wave data of 8 bits is unsigned; the stream's is signed.
        const auto* in = static_cast<const std::uint8_t*>(In);
        std::uint32_t done = 0;
        while (done < bytes && !self->convert_.empty()) {
            const std::uint32_t n = std::min<std::uint32_t>(
                bytes - done, static_cast<std::uint32_t>(self->convert_.size()));
            for (std::uint32_t i = 0; i < n; ++i)
                self->convert_[i] = static_cast<std::uint8_t>(in[done + i] ^ 0x80);
            self->ring_->WriteBytes(self->convert_.data(), n);
            done += n;
        }
        return 0;
    }

    std::unique_ptr<RtAudio> rt_;
    std::shared_ptr<TRingBytes> ring_;
    std::uint32_t align_ = 4;
    bool eightBit_ = false;
    std::vector<std::uint8_t> convert_;
};

} // namespace

std::vector<TCaptureDeviceInfo> RtAudioInputs() {
    std::vector<TCaptureDeviceInfo> list;
    for (const TInputRef& r : ListInputs())
        list.push_back({r.Id, r.Id});
    return list;
}

bool RtAudioHasInput(const std::string& Id) {
    TInputRef ref;
    return Resolve(Id, ref);
}

std::unique_ptr<TInputStream> MakeRtAudioInput() {
    return std::make_unique<TRtInput>();
}

} // namespace platform
