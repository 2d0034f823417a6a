#pragma once
// Sound buffers for the sample preview and the audio capture, beside the driver's stream.
//
// Playback: a device object on the default output, a primary buffer (the device's own stream,
// 44100 Hz 16-bit stereo once its format is set) and a looping secondary buffer the program
// fills; the device's block function copies the secondary buffer at the play cursor and sets
// the events of the notification positions it passes, without locking or allocating.
// Capture: the default input (no identifier) and every input with an identifier that stays
// the same across runs; a looping capture buffer whose notification positions (and the stop
// position) set events, and whose crossings the reading thread takes in the order they
// happened, each with the count of bytes captured up to it.
//
// Which devices stand behind the buffers is switched for the whole process: real devices
// (RtAudio outputs and inputs), null devices (silence, cursors moved by the core clock) or
// scripted devices (tests move the cursors, inject the captured signal and make named calls
// fail; scripted.h). Tests use the null devices unless they ask for another kind, so that no
// test lists a real device.

#include "platform/audio/sync.h"
#include "platform/core/messages.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

enum class TAudioDevices { Real, Null, Scripted };
void UseAudioDevices(TAudioDevices Kind);
TAudioDevices AudioDevicesInUse();

// PCM layout of a buffer: 8 or 16 bits, 1 or 2 channels.
struct TPcmFormat {
    int Channels = 2;
    int Rate = 44100;
    int Bits = 16;
    int BlockAlign() const { return Channels * (Bits / 8); }
    bool operator==(const TPcmFormat&) const = default;
};

// A notification at Offset (the buffer's byte that, once passed, sets Event); NotifyAtStop
// sets Event when the buffer stops.
inline constexpr std::uint32_t NotifyAtStop = 0xFFFFFFFF;
struct TNotifyPosition {
    std::uint32_t Offset;
    TAutoEvent* Event;
};

class TRingBytes;

// Bytes shared between a device thread and the program: Lock hands out a copy of a region in
// up to two pieces (the second when it wraps), so either side may work while the other moves.
class TSoundBuffer {
public:
    virtual ~TSoundBuffer();
    std::uint32_t Size() const;
    TPcmFormat Format() const;
    // Offsets below Size, or NotifyAtStop; false for any other, or more than 16.
    virtual bool SetNotificationPositions(const std::vector<TNotifyPosition>& Positions);
    // False when Offset or Bytes lie outside the buffer (or a scripted Lock fails).
    bool Lock(std::uint32_t Offset, std::uint32_t Bytes, std::uint8_t** P1, std::uint32_t* N1,
              std::uint8_t** P2, std::uint32_t* N2);
    // A playback buffer takes the pieces back; a capture buffer only lets them go.
    virtual void Unlock(std::uint8_t* P1, std::uint32_t N1, std::uint8_t* P2, std::uint32_t N2);

protected:
    explicit TSoundBuffer(std::shared_ptr<TRingBytes> Ring);
    std::shared_ptr<TRingBytes> ring_;
};

class TPlayBuffer : public TSoundBuffer {
public:
    explicit TPlayBuffer(std::shared_ptr<TRingBytes> Ring) : TSoundBuffer(std::move(Ring)) {}
    void Unlock(std::uint8_t* P1, std::uint32_t N1, std::uint8_t* P2, std::uint32_t N2) override;
    // One secondary buffer plays at a time: Play of another takes its place.
    virtual bool Play(bool Looping) = 0;
    virtual void Stop() = 0;
    std::uint32_t PlayCursor() const;
};

// The device's own stream.
class TPrimaryBuffer {
public:
    virtual ~TPrimaryBuffer() = default;
    // False unless the stream runs at the format's rate and it is 16-bit PCM with 1 or 2
    // channels.
    virtual bool SetFormat(const TPcmFormat& Format) = 0;
    virtual bool Play() = 0;
    virtual void Stop() = 0;
};

class TSoundOut {
public:
    // The default output device (the first of RtAudioOutputNames with real devices); nullptr
    // when there is none. Error() of the layer says why.
    static std::unique_ptr<TSoundOut> Create();
    virtual ~TSoundOut() = default;
    virtual bool SetCooperativeLevel(HWND Wnd) = 0;
    // Opens the device's stream; nullptr when it cannot.
    virtual std::unique_ptr<TPrimaryBuffer> CreatePrimaryBuffer() = 0;
    // A secondary buffer of Bytes in Format, mixed into the stream while it plays.
    virtual std::unique_ptr<TPlayBuffer> CreateBuffer(std::uint32_t Bytes,
                                                      const TPcmFormat& Format) = 0;
};

// One capture device: Id is empty for the default one.
struct TCaptureDeviceInfo {
    std::string Description;
    std::string Id;
};
// The default device first, then every input device.
std::vector<TCaptureDeviceInfo> CaptureDevices();

struct TCrossing {
    int Index;              // of the notification position crossed
    std::uint64_t Position; // bytes captured into the buffer up to the crossing
};

class TCaptureBuffer : public TSoundBuffer {
public:
    explicit TCaptureBuffer(std::shared_ptr<TRingBytes> Ring) : TSoundBuffer(std::move(Ring)) {}
    bool SetNotificationPositions(const std::vector<TNotifyPosition>& Positions) override;
    // Neither waits: the device's stream runs from the buffer's creation, these only say
    // whether what it delivers goes into the buffer. Any thread.
    bool Start(bool Looping);
    void Stop();
    bool Capturing() const;
    std::uint32_t CaptureCursor() const;
    std::uint32_t ReadCursor() const { return CaptureCursor(); }
    // Bytes captured into the buffer since it was made (the cursor is this modulo Size).
    std::uint64_t CapturedBytes() const;
    // The next crossing since the last call, in the order they happened (a stop after the
    // positions passed before it); false when none is pending. One reading thread.
    bool NextCrossing(TCrossing& Crossing);
    // The device failed while the buffer was open (it gave up, went away): it captures
    // nothing more and the stop position was signalled. Reason says what happened.
    bool Failed() const;
    std::string FailReason() const;
};

class TSoundIn {
public:
    // Id nullptr or empty: the default device. nullptr when the device is not there.
    static std::unique_ptr<TSoundIn> Create(const std::string* Id);
    virtual ~TSoundIn() = default;
    // Opens the device's input stream in Format with a buffer of Bytes; nullptr when it
    // cannot (the format or rate is not offered, the device is busy).
    virtual std::unique_ptr<TCaptureBuffer> CreateBuffer(std::uint32_t Bytes,
                                                         const TPcmFormat& Format) = 0;
};

// Why the last Create, CreatePrimaryBuffer, SetFormat or CreateBuffer of this thread failed.
std::string SoundError();

} // namespace platform
