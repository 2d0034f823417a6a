#include "platform/audio/devices.h"

#include "platform/core/jackgate.h"

#include <RtAudio.h>
#include <alsa/asoundlib.h>
#include <jack/jack.h>

#include <algorithm>
#include <cstdint>
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
        // A JACK server that holds the start-up's port listers would hold this list too.
        if (api == RtAudio::UNIX_JACK && !JackAnswered()) continue;
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

// The JACK client under an RtAudio stream, to read each cycle's frame time: RtAudio keeps it as
// the first field of its JACK stream handle. Only for the RtAudio whose layout this was written
// against, and only when the client is the one the stream named; nil otherwise.
class TRtAudio final : public RtAudio {
public:
    using RtAudio::RtAudio;
    jack_client_t* JackClient(const std::string& StreamName) {
        if (getCurrentApi() != UNIX_JACK || getVersion() != "5.2.0" || !isStreamOpen())
            return nullptr;
        void* handle = (rtapi_->*TApiPeek::Stream()).apiHandle;
        if (!handle) return nullptr;
        jack_client_t* client = *static_cast<jack_client_t**>(handle);
        const char* name = client ? jack_get_client_name(client) : nullptr;
        return name && std::strncmp(name, StreamName.c_str(), StreamName.size()) == 0 ? client
                                                                                      : nullptr;
    }

private:
    struct TApiPeek : RtApi {
        static RtApiStream RtApi::*Stream() { return &TApiPeek::stream_; }
    };
};

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
            rt_ = std::make_unique<TRtAudio>(ref.Api);
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
            jack_ = rt_->JackClient(options.streamName);
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
        counted_ = false;
        owed_ = owedBefore_ = 0;
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
        jack_ = nullptr;
    }

private:
    static int Callback(void* Out, void*, unsigned Frames, double, RtAudioStreamStatus,
                        void* User) {
        auto* self = static_cast<TRtDevice*>(User);
        auto* out = static_cast<float*>(Out);
        std::memset(out, 0, static_cast<std::size_t>(Frames) * 2 * sizeof(float));
        if (!self->block_) return 0;
        if (self->jack_) self->CountCycles(static_cast<int>(Frames));
        self->block_(out, static_cast<int>(Frames));
        return 0;
    }

    // A JACK client that runs late misses cycles, whose frames the server plays without it,
    // and a block that ends after the next cycle began reads that cycle's time, which the
    // block after it (run in the same cycle) reads again. So the frames the server went on by
    // beyond the blocks are handed on as frames without a block only once the next block still
    // finds them: the song then keeps to the frames JACK took, and a run twice in one cycle
    // never moves it on by a block that JACK did not take.
    void CountCycles(int Frames) {
        const jack_nframes_t now = jack_last_frame_time(jack_);
        if (counted_) {
            owed_ += static_cast<std::int32_t>(now - last_) - Frames;
            const std::int64_t sure = std::min(owed_, owedBefore_);
            if (sure > 0) {
                block_(nullptr, static_cast<int>(sure));
                owed_ -= sure;
            }
        }
        owedBefore_ = owed_;
        counted_ = true;
        last_ = now;
    }

    std::unique_ptr<TRtAudio> rt_;
    TBlockFunction block_;
    jack_client_t* jack_ = nullptr;
    bool counted_ = false; // a block of this run noted its cycle
    jack_nframes_t last_ = 0;
    std::int64_t owed_ = 0, owedBefore_ = 0;
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
