#pragma once
// The scripted sound and mixer devices, for tests (UseAudioDevices(TAudioDevices::Scripted)):
// a test runs the preview's output stream block by block on its own thread, reads the buffer
// it plays, injects what the capture device hears, holds every Lock until it lets go, makes
// any named call of the layer fail, and describes the mixers the mixer interface lists.

#include "platform/audio/mixer.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

class TScriptedAudio {
public:
    // No failures, no held locks, two input devices, no mixers.
    void Reset();

    // From now on the call of this name fails: "DirectSoundCreate", "SetCooperativeLevel",
    // "CreateSoundBuffer" (the primary buffer), "SetFormat", "CreateSecondaryBuffer",
    // "SetNotificationPositions", "Play", "Lock", "DirectSoundCaptureCreate",
    // "CreateCaptureBuffer", "Start", "mixerOpen", "mixerGetDevCaps", "mixerGetLineInfo",
    // "mixerGetControlDetails", "mixerSetControlDetails".
    void Fail(const std::string& Call);
    bool Failing(const std::string& Call) const;

    // Input devices listed after the default one, as "Scripted: " + name.
    std::vector<std::string> InputNames{"Scripted input A", "Scripted input B"};

    // Runs the open output stream for Frames frames on the calling thread (the block function
    // moves the play cursor and sets the events it passes). 0 when no stream runs.
    int Play(int Frames);
    // Frames the open output stream played without a block (a client that ran late): its block
    // function hears of them with no buffer.
    void Miss(int Frames);
    // The bytes of the secondary buffer made last (empty when none).
    std::vector<std::uint8_t> PlayBytes() const;

    // What the capture device hears: taken at the capture cursor while the buffer captures,
    // setting the events it passes; the number of bytes taken.
    std::uint32_t Inject(const void* Bytes, std::uint32_t Count);
    // The capture device gives up with this reason.
    void FailInput(const std::string& Reason);

    // While held, every Lock waits before it does anything.
    void HoldLocks(bool Hold);
    // Locks waiting while held.
    int LocksWaiting() const { return waiting_.load(); }

    // The mixer devices of the scripted mixer interface.
    std::vector<TMixerModel> Mixers;

private:
    friend void ScriptedLockGate();
    std::atomic<bool> hold_{false};
    std::atomic<int> waiting_{0};
};

TScriptedAudio& ScriptedAudio();

} // namespace platform
