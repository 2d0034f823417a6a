#include "devices/vsthost.h"

#include "devices/audio.h"
#include "devices/midi.h"
#include "song/audioengine.h"
#include "song/song.h"
#include "song/timebase.h"

#include <atomic>
#include <cmath>

VstTimeInfo VstTime{};
std::atomic<platform::HWND> VstHostWindow{0};

namespace {

// Several threads ask at once; the flags word is the one field read back and changed.
std::atomic_ref<std::int32_t> TimeFlags() { return std::atomic_ref<std::int32_t>(VstTime.flags); }

int MidiTempo() { return Midi ? Midi->Tempo.load() : 120; }

void Post(platform::WPARAM W, AEffect* Effect) {
    platform::HWND wnd = VstHostWindow.load();
    if (wnd) platform::PostMessage(wnd, WM_VSTHOST, W, reinterpret_cast<platform::LPARAM>(Effect));
}

VstIntPtr GetTime(VstIntPtr Filter) {
    const std::int64_t p = VstClockSamples();
    VstTime.timeSigNumerator = 4;
    VstTime.timeSigDenominator = 4;
    VstTime.samplesToNextClock = 0;
    VstTime.smpteFrameRate = kVstSmpte25fps;
    if (Song && Song->State.load() == 2) {
        VstTime.cycleStartPos = Song->LeftLocator.load() / 240.0;
        VstTime.cycleEndPos = Song->RightLocator.load() / 240.0;
        if (Song->Looping.load())
            TimeFlags().fetch_or(kVstTransportCycleActive);
        else
            TimeFlags().fetch_and(~kVstTransportCycleActive);
        VstTime.samplePos = static_cast<double>(p);
    } else {
        VstTime.samplePos = 0;
        TimeFlags().fetch_and(~kVstTransportPlaying);
        TimeFlags().fetch_or(kVstTransportChanged);
    }
    if (Filter & kVstPpqPosValid) {
        VstTime.ppqPos = SamplesToTicks(static_cast<double>(p)) / 240.0;
        // A true floor: an exact bar line is the start of its own bar.
        VstTime.barStartPos = 4.0 * std::floor(VstTime.ppqPos * 0.25);
        TimeFlags().fetch_or(kVstPpqPosValid);
    }
    VstTime.sampleRate = AudioRate();
    if (Filter & kVstTempoValid) {
        TimeFlags().fetch_or(kVstTempoValid);
        VstTime.tempo = MidiTempo();
    }
    return reinterpret_cast<VstIntPtr>(&VstTime);
}

} // namespace

std::int64_t VstClockSamples() {
    const TAudioEngine* e = Song ? Song->AudioEngine : nullptr;
    return e ? std::int64_t{e->StartSamples.load()} + e->RenderedSamples.load() : 0;
}

void VstTransportStarted() { TimeFlags().fetch_or(kVstTransportChanged | kVstTransportPlaying); }

void VstTransportStopped() {
    TimeFlags().fetch_or(kVstTransportChanged);
    TimeFlags().fetch_and(~kVstTransportPlaying);
}

void VstClearTransportChanged() { TimeFlags().fetch_and(~kVstTransportChanged); }

extern "C" VstIntPtr VstHostCallback(AEffect* Effect, std::int32_t Opcode, std::int32_t /*Index*/,
                                     VstIntPtr Value, void* /*Ptr*/, float /*Opt*/) {
    switch (Opcode) {
    case audioMasterVersion:
        return 2;
    case audioMasterIdle:
        // There is one message queue, the GUI thread's; other threads have none to work off.
        if (platform::IsGuiThread()) platform::PumpMessages();
        return 0;
    case audioMasterGetTime:
        return GetTime(Value);
    case audioMasterTempoAt:
        return static_cast<VstIntPtr>(MidiTempo()) * 10000;
    case audioMasterNeedIdle:
        Post(1, Effect);
        return 1;
    case audioMasterUpdateDisplay:
        Post(0, Effect);
        return 0;
    default: // automate, pin connected, want MIDI, process events and the rest
        return 0;
    }
}
