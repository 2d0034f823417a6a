#pragma once
// Audio output devices: a stream that asks its block function for interleaved stereo float
// frames from a thread of its own. Real devices through RtAudio (JACK, ALSA, PulseAudio), a
// null device that paces blocks in real time or runs as fast as it can, and a scripted device
// whose blocks come when a test asks for them. Self-contained (std and RtAudio only), so the
// driver libraries build it in as well.

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace platform {

// Fills Frames stereo frames at Out; runs on the device's thread. Out nil: Frames went to the
// device without a block (a JACK client that ran late missed cycles), to be skipped.
using TBlockFunction = std::function<void(float* Out, int Frames)>;

class TAudioDevice {
public:
    virtual ~TAudioDevice() = default;
    // Opens output Index at the rate and block size asked for; Rate and Frames become what the
    // device gives. False when it cannot open.
    virtual bool Open(int Index, unsigned& Rate, unsigned& Frames) = 0;
    virtual bool Start(TBlockFunction Block) = 0;
    virtual void Stop() = 0; // no block runs once this returns
    virtual void Close() = 0;
    virtual std::string Error() const { return error_; }

protected:
    std::string error_;
};

// Output devices of every compiled RtAudio system, JACK first, as "System: device name".
std::vector<std::string> RtAudioOutputNames();
std::unique_ptr<TAudioDevice> MakeRtAudioDevice();

// Blocks on a thread of the device's own: paced by the clock, or back to back.
std::unique_ptr<TAudioDevice> MakeNullDevice(bool RealTime);

// Blocks only when RunBlocks is called, on the caller's thread.
class TScriptedDevice : public TAudioDevice {
public:
    bool Open(int Index, unsigned& Rate, unsigned& Frames) override;
    bool Start(TBlockFunction Block) override;
    void Stop() override;
    void Close() override;
    // Runs Count blocks of Frames frames (the opened size when 0); the number run (0 when
    // the device is not started).
    int RunBlocks(int Count, int Frames = 0);
    // Hands Frames to the block function as played without a block (no buffer).
    void MissFrames(int Frames);

private:
    TBlockFunction block_;
    std::vector<float> buffer_;
    unsigned frames_ = 0;
    bool started_ = false;
};

} // namespace platform
