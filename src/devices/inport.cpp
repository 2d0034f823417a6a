#include "devices/inport.h"

using namespace platform;

TInPort::TInPort(TMIDI* OwnerArg) : Owner(OwnerArg) {
    HMIDIIN h = nullptr;
    Opened = midiInGetNumDevs() > 0 &&
             midiInOpen(&h, 0, MidiInCallback, reinterpret_cast<std::uintptr_t>(this),
                        CALLBACK_FUNCTION) == MMSYSERR_NOERROR;
    if (Opened) {
        Handle = h;
        Opened = midiInStart(Handle) == MMSYSERR_NOERROR;
        sysexBlock_.assign(512, 0);
        sysexHeader_.lpData = sysexBlock_.data();
        sysexHeader_.dwBufferLength = 512;
    }
}

TInPort::~TInPort() {
    ClearRecorded();
}

void TInPort::Close() {
    if (!Handle) return;
    midiInReset(Handle);
    if (HeaderPrepared) {
        midiInUnprepareHeader(Handle, &sysexHeader_);
        HeaderPrepared = false;
    }
    midiInStop(Handle);
    midiInClose(Handle);
    Handle = nullptr;
    Opened = false;
}

void TInPort::Open(int Index) {
    Close();
    if (Index < 0 || Index >= static_cast<int>(midiInGetNumDevs())) return;
    HMIDIIN h = nullptr;
    if (midiInOpen(&h, static_cast<unsigned>(Index), MidiInCallback,
                   reinterpret_cast<std::uintptr_t>(this), CALLBACK_FUNCTION) != MMSYSERR_NOERROR)
        return;
    Handle = h;
    Opened = midiInStart(Handle) == MMSYSERR_NOERROR;
    if (Opened && RecordSysex) {
        if (sysexBlock_.empty()) sysexBlock_.assign(512, 0);
        sysexHeader_ = MIDIHDR{};
        sysexHeader_.lpData = sysexBlock_.data();
        sysexHeader_.dwBufferLength = 512;
        HeaderPrepared = midiInPrepareHeader(Handle, &sysexHeader_) == MMSYSERR_NOERROR;
        if (HeaderPrepared) midiInAddBuffer(Handle, &sysexHeader_);
    }
}

void TInPort::DropSysex() {}

void TInPort::ClearRecorded() {}

void MidiInCallback(HMIDIIN, std::uint32_t, std::uintptr_t, std::uintptr_t, std::uintptr_t) {}
