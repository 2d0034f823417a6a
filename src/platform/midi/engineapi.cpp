// The C services exported to the MIDI engine library (plugins/include/tolvern_midi.h).

#include "platform/core/clock.h"
#include "platform/core/messages.h"
#include "platform/core/thunk.h"
#include "platform/midi/midi.h"
#include "platform/midi/midiclock.h"

#include <tolvern_midi.h>

#include <atomic>

using namespace platform;

namespace {
std::atomic<bool>* Waker(uintptr_t w) {
    return reinterpret_cast<std::atomic<bool>*>(w);
}
} // namespace

extern "C" {

int32_t tv_midi_version(void) {
    return TOLVERN_MIDI_VERSION;
}

int64_t tv_MidiClockUs(void) {
    return MidiClockUs();
}

uintptr_t tv_CreateWaker(void) {
    return reinterpret_cast<uintptr_t>(new std::atomic<bool>(false));
}

void tv_DestroyWaker(uintptr_t waker) {
    delete Waker(waker);
}

void tv_Wake(uintptr_t waker) {
    if (!waker) return;
    Waker(waker)->store(true);
    WakeSleepers();
}

int32_t tv_MidiClockSleepUntil(int64_t us, uintptr_t waker) {
    std::atomic<bool>* flag = waker ? Waker(waker) : nullptr;
    if (!flag || !flag->load()) MidiClockSleepUntil(us, flag);
    bool woken = flag && flag->exchange(false);
    return !woken && MidiClockUs() >= us ? 1 : 0;
}

int32_t tv_MidiClockSleeperBy(int64_t us) {
    return MidiClockSleeperBy(us) ? 1 : 0;
}

int32_t tv_PostMessage(uintptr_t window, uint32_t msg, uintptr_t wparam, intptr_t lparam) {
    return PostMessage(static_cast<HWND>(window), msg, static_cast<WPARAM>(wparam),
                       static_cast<LPARAM>(lparam))
               ? 1
               : 0;
}

uint32_t tv_midiOutGetNumDevs(void) {
    return midiOutGetNumDevs();
}

uintptr_t tv_midiOutOpen(uint32_t device) {
    HMIDIOUT h = nullptr;
    if (midiOutOpen(&h, device, nullptr, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) return 0;
    return reinterpret_cast<uintptr_t>(h);
}

void tv_midiOutClose(uintptr_t out) {
    if (out) midiOutClose(reinterpret_cast<HMIDIOUT>(out));
}

int32_t tv_midiOutShortMsg(uintptr_t out, uint32_t msg) {
    if (!out) return 0;
    return midiOutShortMsg(reinterpret_cast<HMIDIOUT>(out), msg & 0xFFFFFF) == MMSYSERR_NOERROR;
}

int32_t tv_midiOutLongMsg(uintptr_t out, const uint8_t* data, uint32_t length) {
    if (!out || !data || length == 0) return 0;
    auto h = reinterpret_cast<HMIDIOUT>(out);
    MIDIHDR hdr;
    hdr.lpData = const_cast<char*>(reinterpret_cast<const char*>(data));
    hdr.dwBufferLength = length;
    if (midiOutPrepareHeader(h, &hdr) != MMSYSERR_NOERROR) return 0;
    bool sent = midiOutLongMsg(h, &hdr) == MMSYSERR_NOERROR;
    midiOutUnprepareHeader(h, &hdr);
    return sent ? 1 : 0;
}

void* tv_MapSL(uint32_t address) {
    return WOWGetVDMPointer(address, 0, true);
}

} // extern "C"
