#include "platform/audio/devices.h"

#include <RtAudio.h>
#include <alsa/asoundlib.h>

#include <cstring>

namespace platform {

namespace {

struct TOutputRef {
    RtAudio::Api Api;
    unsigned Id;
    std::string Name;
};

void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

// Output devices in a fixed order: JACK, then the other compiled systems.
std::vector<TOutputRef> ListOutputs() {
    // A machine without sound cards is no error worth a page of ALSA messages.
    snd_lib_error_set_handler(&QuietAlsa);
    std::vector<RtAudio::Api> apis;
    RtAudio::getCompiledApi(apis);
    std::vector<TOutputRef> out;
    for (RtAudio::Api api : apis) {
        if (api == RtAudio::RTAUDIO_DUMMY) continue;
        try {
            RtAudio rt(api);
            rt.showWarnings(false);
            unsigned n = rt.getDeviceCount();
            for (unsigned i = 0; i < n; ++i) {
                RtAudio::DeviceInfo info = rt.getDeviceInfo(i);
                if (info.probed && info.outputChannels >= 2)
                    out.push_back({api, i, RtAudio::getApiDisplayName(api) + ": " + info.name});
            }
        } catch (const std::exception&) {
            // A system that cannot be reached lists no devices.
        }
    }
    return out;
}

class TRtDevice final : public TAudioDevice {
public:
    ~TRtDevice() override { Close(); }

    bool Open(int Index, unsigned& Rate, unsigned& Frames) override {
        Close();
        auto outputs = ListOutputs();
        if (Index < 0 || Index >= static_cast<int>(outputs.size())) {
            error_ = "no audio device " + std::to_string(Index);
            return false;
        }
        const TOutputRef& ref = outputs[static_cast<std::size_t>(Index)];
        try {
            rt_ = std::make_unique<RtAudio>(ref.Api);
            rt_->showWarnings(false);
            RtAudio::StreamParameters params;
            params.deviceId = ref.Id;
            params.nChannels = 2;
            RtAudio::StreamOptions options;
            options.streamName = "Tolvern";
            unsigned frames = Frames ? Frames : 512;
            rt_->openStream(&params, nullptr, RTAUDIO_FLOAT32, Rate ? Rate : 44100, &frames,
                            &TRtDevice::Callback, this, &options);
            Frames = frames;
            Rate = rt_->getStreamSampleRate();
            return true;
        } catch (const std::exception& e) {
            error_ = e.what();
            rt_.reset();
            return false;
        }
    }
    bool Start(TBlockFunction Block) override {
        if (!rt_ || !rt_->isStreamOpen()) return false;
        block_ = std::move(Block);
        try {
            rt_->startStream();
            return true;
        } catch (const std::exception& e) {
            error_ = e.what();
            return false;
        }
    }
    void Stop() override {
        if (!rt_) return;
        try {
            if (!rt_->isStreamRunning()) return;
            // RtAudio's JACK stop waits for its callback's signal on a condition without
            // holding the mutex: a signal given before the wait begins is lost and the stop
            // never returns. Aborting deactivates the client at once, which silences its ports
            // all the same.
            if (rt_->getCurrentApi() == RtAudio::UNIX_JACK)
                rt_->abortStream();
            else
                rt_->stopStream();
        } catch (const std::exception& e) {
            error_ = e.what();
        }
    }
    void Close() override {
        if (!rt_) return;
        Stop();
        try {
            if (rt_->isStreamOpen()) rt_->closeStream();
        } catch (const std::exception& e) {
            error_ = e.what();
        }
        rt_.reset();
    }

private:
    static int Callback(void* Out, void*, unsigned Frames, double, RtAudioStreamStatus,
                        void* User) {
        auto* self = static_cast<TRtDevice*>(User);
        auto* out = static_cast<float*>(Out);
        std::memset(out, 0, static_cast<std::size_t>(Frames) * 2 * sizeof(float));
        if (self->block_) self->block_(out, static_cast<int>(Frames));
        return 0;
    }

    std::unique_ptr<RtAudio> rt_;
    TBlockFunction block_;
};

} // namespace

std::vector<std::string> RtAudioOutputNames() {
    std::vector<std::string> names;
    for (const TOutputRef& r : ListOutputs())
        names.push_back(r.Name);
    return names;
}

std::unique_ptr<TAudioDevice> MakeRtAudioDevice() {
    return std::make_unique<TRtDevice>();
}

} // namespace platform
