// Input devices of the multimedia MIDI interface.
#include "platform/midi/midi.h"

#include "platform/midi/midiclock.h"
#include "platform/midi/midiport.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace platform {

struct MidiInHandle : TMidiInSink, std::enable_shared_from_this<MidiInHandle> {
    // Held while a callback runs, so that closing waits for it; the callback may queue its
    // buffer again on the same handle.
    std::recursive_mutex Mutex;
    std::unique_ptr<TMidiInConnection> Connection;
    MIDIINPROC Callback = nullptr;
    std::uintptr_t Instance = 0;
    bool Started = false;
    std::int64_t StartUs = 0;
    MIDIHDR* Head = nullptr; // queued buffers, linked through lpNext
    MIDIHDR* Tail = nullptr;

    void Notify(std::uint32_t msg, std::uintptr_t p1, std::uintptr_t p2) {
        if (Callback) Callback(this, msg, Instance, p1, p2);
    }

    MIDIHDR* PopBuffer() {
        MIDIHDR* hdr = Head;
        if (hdr) {
            Head = hdr->lpNext;
            if (!Head) Tail = nullptr;
            hdr->lpNext = nullptr;
            hdr->dwFlags = (hdr->dwFlags & ~MHDR_INQUEUE) | MHDR_DONE;
        }
        return hdr;
    }

    void Receive(const std::uint8_t* bytes, std::size_t count) override {
        // The callback may close this handle; it lives until the delivery is over.
        auto self = weak_from_this().lock();
        if (!self) return;
        std::lock_guard lock(Mutex);
        if (!Started || count == 0) return;
        auto stamp = static_cast<std::uintptr_t>((MidiClockUs() - StartUs) / 1000);
        if (bytes[0] != 0xF0 && bytes[0] >= 0x80 && count <= 3) {
            std::uint32_t msg = 0;
            for (std::size_t i = 0; i < count; ++i)
                msg |= std::uint32_t(bytes[i]) << (8 * i);
            Notify(MIM_DATA, msg, stamp);
            return;
        }
        // System exclusive fills the queued buffers one after another; with none queued the
        // rest is lost, as on a device.
        while (count > 0 && Started) {
            MIDIHDR* hdr = PopBuffer();
            if (!hdr) return;
            std::size_t n = std::min<std::size_t>(count, hdr->dwBufferLength);
            std::memcpy(hdr->lpData, bytes, n);
            hdr->dwBytesRecorded = static_cast<std::uint32_t>(n);
            bytes += n;
            count -= n;
            Notify(MIM_LONGDATA, reinterpret_cast<std::uintptr_t>(hdr), stamp);
        }
    }

    // Hands every queued buffer back empty.
    void ReturnBuffers() {
        while (MIDIHDR* hdr = PopBuffer()) {
            hdr->dwBytesRecorded = 0;
            Notify(MIM_LONGDATA, reinterpret_cast<std::uintptr_t>(hdr), 0);
        }
    }
};

namespace {

std::mutex handlesMutex;
std::unordered_map<MidiInHandle*, std::shared_ptr<MidiInHandle>> inHandles;

std::shared_ptr<MidiInHandle> Lookup(HMIDIIN h) {
    std::lock_guard lock(handlesMutex);
    auto it = inHandles.find(h);
    return it == inHandles.end() ? nullptr : it->second;
}

} // namespace

unsigned midiInGetNumDevs() {
    return static_cast<unsigned>(MidiInPorts().size());
}

MMRESULT midiInGetDevCaps(unsigned deviceId, MIDIINCAPS* caps) {
    if (!caps) return MMSYSERR_INVALPARAM;
    auto ports = MidiInPorts();
    if (deviceId >= ports.size()) return MMSYSERR_BADDEVICEID;
    *caps = MIDIINCAPS{};
    std::string name = ProductName(ports[deviceId]->Name());
    std::memcpy(caps->szPname, name.data(), name.size());
    return MMSYSERR_NOERROR;
}

MMRESULT midiInOpen(HMIDIIN* h, unsigned deviceId, MIDIINPROC callback, std::uintptr_t instance,
                    std::uint32_t flags) {
    if (!h) return MMSYSERR_INVALPARAM;
    *h = nullptr;
    if (flags != CALLBACK_NULL && flags != CALLBACK_FUNCTION) return MMSYSERR_INVALFLAG;
    if (flags == CALLBACK_FUNCTION && !callback) return MMSYSERR_INVALPARAM;
    auto ports = MidiInPorts();
    if (deviceId >= ports.size()) return MMSYSERR_BADDEVICEID;
    auto handle = std::make_shared<MidiInHandle>();
    if (flags == CALLBACK_FUNCTION) {
        handle->Callback = callback;
        handle->Instance = instance;
    }
    handle->Connection = ports[deviceId]->Open(handle.get());
    if (!handle->Connection) return MMSYSERR_ERROR;
    {
        std::lock_guard lock(handlesMutex);
        inHandles[handle.get()] = handle;
    }
    *h = handle.get();
    handle->Notify(MIM_OPEN, 0, 0);
    return MMSYSERR_NOERROR;
}

MMRESULT midiInClose(HMIDIIN h) {
    auto handle = Lookup(h);
    if (!handle) return MMSYSERR_INVALHANDLE;
    {
        std::lock_guard lock(handle->Mutex);
        if (handle->Head) return MIDIERR_STILLPLAYING;
        handle->Started = false;
    }
    {
        std::lock_guard lock(handlesMutex);
        inHandles.erase(h);
    }
    // Once the connection is gone nothing more is delivered.
    handle->Connection.reset();
    handle->Notify(MIM_CLOSE, 0, 0);
    return MMSYSERR_NOERROR;
}

MMRESULT midiInStart(HMIDIIN h) {
    auto handle = Lookup(h);
    if (!handle) return MMSYSERR_INVALHANDLE;
    std::lock_guard lock(handle->Mutex);
    if (!handle->Started) {
        handle->Started = true;
        handle->StartUs = MidiClockUs();
    }
    return MMSYSERR_NOERROR;
}

MMRESULT midiInStop(HMIDIIN h) {
    auto handle = Lookup(h);
    if (!handle) return MMSYSERR_INVALHANDLE;
    std::lock_guard lock(handle->Mutex);
    handle->Started = false;
    return MMSYSERR_NOERROR;
}

MMRESULT midiInReset(HMIDIIN h) {
    auto handle = Lookup(h);
    if (!handle) return MMSYSERR_INVALHANDLE;
    std::lock_guard lock(handle->Mutex);
    handle->Started = false;
    handle->ReturnBuffers();
    return MMSYSERR_NOERROR;
}

MMRESULT midiInPrepareHeader(HMIDIIN h, MIDIHDR* hdr) {
    if (!Lookup(h)) return MMSYSERR_INVALHANDLE;
    if (!hdr || !hdr->lpData) return MMSYSERR_INVALPARAM;
    hdr->dwFlags |= MHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT midiInUnprepareHeader(HMIDIIN h, MIDIHDR* hdr) {
    auto handle = Lookup(h);
    if (!handle) return MMSYSERR_INVALHANDLE;
    if (!hdr) return MMSYSERR_INVALPARAM;
    std::lock_guard lock(handle->Mutex);
    if (hdr->dwFlags & MHDR_INQUEUE) return MIDIERR_STILLPLAYING;
    hdr->dwFlags &= ~MHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT midiInAddBuffer(HMIDIIN h, MIDIHDR* hdr) {
    auto handle = Lookup(h);
    if (!handle) return MMSYSERR_INVALHANDLE;
    if (!hdr || !hdr->lpData || hdr->dwBufferLength == 0) return MMSYSERR_INVALPARAM;
    std::lock_guard lock(handle->Mutex);
    if (!(hdr->dwFlags & MHDR_PREPARED)) return MIDIERR_UNPREPARED;
    if (hdr->dwFlags & MHDR_INQUEUE) return MIDIERR_STILLPLAYING;
    hdr->dwFlags = (hdr->dwFlags | MHDR_INQUEUE) & ~MHDR_DONE;
    hdr->lpNext = nullptr;
    if (handle->Tail)
        handle->Tail->lpNext = hdr;
    else
        handle->Head = hdr;
    handle->Tail = hdr;
    return MMSYSERR_NOERROR;
}

} // namespace platform
