#include "platform/midi/midi.h"

#include "platform/midi/midiclock.h"
#include "platform/midi/midiport.h"
#include "platform/midi/midistream.h"

#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace platform {

struct MidiOutHandle {
    std::unique_ptr<TMidiOutConnection> Out;
    MIDIOUTPROC Callback = nullptr;
    std::uintptr_t Instance = 0;
    std::unique_ptr<TMidiStream> Stream; // set for a stream
};

namespace {

// Open handles; a handle that is not here (never opened, or closed) is refused, never touched.
std::mutex handlesMutex;
std::unordered_map<MidiOutHandle*, std::shared_ptr<MidiOutHandle>> outHandles;

std::shared_ptr<MidiOutHandle> Lookup(HMIDIOUT h) {
    std::lock_guard lock(handlesMutex);
    auto it = outHandles.find(h);
    return it == outHandles.end() ? nullptr : it->second;
}

void CopyName(char (&dest)[MAXPNAMELEN + 1], const std::string& name) {
    std::string s = ProductName(name);
    std::memcpy(dest, s.data(), s.size());
    dest[s.size()] = 0;
}

MMRESULT CheckCallback(MIDIOUTPROC callback, std::uint32_t flags) {
    if (flags != CALLBACK_NULL && flags != CALLBACK_FUNCTION) return MMSYSERR_INVALFLAG;
    if (flags == CALLBACK_FUNCTION && !callback) return MMSYSERR_INVALPARAM;
    return MMSYSERR_NOERROR;
}

// The output of MIDI_NODEVICE: takes every message, and nothing hears it.
class TNoDeviceOut : public TMidiOutConnection {
public:
    bool Send(const std::uint8_t*, std::size_t) override { return true; }
    std::int64_t LeadUs() const override { return 1; } // any time is its time
};

MMRESULT OpenOut(HMIDIOUT* h, unsigned deviceId, MIDIOUTPROC callback, std::uintptr_t instance,
                 std::uint32_t flags, bool stream) {
    if (!h) return MMSYSERR_INVALPARAM;
    *h = nullptr;
    if (MMRESULT r = CheckCallback(callback, flags)) return r;
    auto handle = std::make_shared<MidiOutHandle>();
    if (deviceId == MIDI_NODEVICE) {
        handle->Out = std::make_unique<TNoDeviceOut>();
    } else {
        auto ports = MidiOutPorts();
        if (deviceId >= ports.size()) return MMSYSERR_BADDEVICEID;
        handle->Out = ports[deviceId]->Open();
    }
    if (!handle->Out) return MMSYSERR_ERROR;
    if (flags == CALLBACK_FUNCTION) {
        handle->Callback = callback;
        handle->Instance = instance;
    }
    if (stream)
        handle->Stream = std::make_unique<TMidiStream>(handle->Out.get(), handle.get(),
                                                       handle->Callback, instance);
    {
        std::lock_guard lock(handlesMutex);
        outHandles[handle.get()] = handle;
    }
    *h = handle.get();
    if (handle->Callback) handle->Callback(*h, MOM_OPEN, instance, 0, 0);
    return MMSYSERR_NOERROR;
}

std::vector<std::shared_ptr<MidiOutHandle>> OpenHandles() {
    std::lock_guard lock(handlesMutex);
    std::vector<std::shared_ptr<MidiOutHandle>> handles;
    for (auto& [key, handle] : outHandles)
        handles.push_back(handle);
    return handles;
}

} // namespace

std::int64_t& AheadDueUs() {
    thread_local std::int64_t due = -1;
    return due;
}

bool AllOutputsTimed() {
    std::lock_guard lock(handlesMutex);
    for (auto& [key, handle] : outHandles)
        if (handle->Out->LeadUs() <= 0) return false;
    return true;
}

void WithdrawAllOutputs() {
    for (auto& handle : OpenHandles())
        handle->Out->Withdraw();
}

unsigned midiOutGetNumDevs() {
    return static_cast<unsigned>(MidiOutPorts().size());
}

MMRESULT midiOutGetDevCaps(unsigned deviceId, MIDIOUTCAPS* caps) {
    if (!caps) return MMSYSERR_INVALPARAM;
    auto ports = MidiOutPorts();
    if (deviceId >= ports.size()) return MMSYSERR_BADDEVICEID;
    *caps = MIDIOUTCAPS{};
    CopyName(caps->szPname, ports[deviceId]->Name());
    caps->wTechnology = ports[deviceId]->Technology();
    caps->wVoices = caps->wNotes = 0;
    caps->wChannelMask = 0xFFFF;
    return MMSYSERR_NOERROR;
}

MMRESULT midiOutOpen(HMIDIOUT* h, unsigned deviceId, MIDIOUTPROC callback, std::uintptr_t instance,
                     std::uint32_t flags) {
    return OpenOut(h, deviceId, callback, instance, flags, false);
}

MMRESULT midiStreamOpen(HMIDISTRM* h, unsigned* deviceId, unsigned cMidi, MIDIOUTPROC callback,
                        std::uintptr_t instance, std::uint32_t flags) {
    if (!deviceId || cMidi != 1) return MMSYSERR_INVALPARAM;
    return OpenOut(h, *deviceId, callback, instance, flags, true);
}

MMRESULT midiStreamClose(HMIDISTRM h) {
    auto handle = Lookup(h);
    if (!handle) return MMSYSERR_INVALHANDLE;
    if (handle->Stream) {
        if (handle->Stream->HasQueued()) return MIDIERR_STILLPLAYING;
        // Not from the stream's own callback: the scheduler cannot end itself.
        if (!handle->Stream->Shutdown()) return MMSYSERR_ERROR;
    }
    {
        std::lock_guard lock(handlesMutex);
        outHandles.erase(h);
    }
    if (handle->Callback) handle->Callback(h, MOM_CLOSE, handle->Instance, 0, 0);
    return MMSYSERR_NOERROR;
}

MMRESULT midiOutClose(HMIDIOUT h) {
    return midiStreamClose(h);
}

MMRESULT midiOutShortMsg(HMIDIOUT h, std::uint32_t msg) {
    auto handle = Lookup(h);
    if (!handle) return MMSYSERR_INVALHANDLE;
    std::uint8_t bytes[3];
    std::size_t n = ShortMessageBytes(msg, bytes);
    if (n == 0) return MMSYSERR_INVALPARAM;
    const std::int64_t due = AheadDueUs();
    const bool sent = due >= 0 ? handle->Out->SendAt(bytes, n, due) : handle->Out->Send(bytes, n);
    return sent ? MMSYSERR_NOERROR : MMSYSERR_ERROR;
}

MMRESULT midiOutPrepareHeader(HMIDIOUT h, MIDIHDR* hdr) {
    if (!Lookup(h)) return MMSYSERR_INVALHANDLE;
    if (!hdr || !hdr->lpData) return MMSYSERR_INVALPARAM;
    hdr->dwFlags |= MHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT midiOutUnprepareHeader(HMIDIOUT h, MIDIHDR* hdr) {
    if (!Lookup(h)) return MMSYSERR_INVALHANDLE;
    if (!hdr) return MMSYSERR_INVALPARAM;
    if (hdr->dwFlags & MHDR_INQUEUE) return MIDIERR_STILLPLAYING;
    hdr->dwFlags &= ~MHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT midiOutLongMsg(HMIDIOUT h, MIDIHDR* hdr) {
    auto handle = Lookup(h);
    if (!handle) return MMSYSERR_INVALHANDLE;
    if (!hdr || !hdr->lpData) return MMSYSERR_INVALPARAM;
    if (!(hdr->dwFlags & MHDR_PREPARED)) return MIDIERR_UNPREPARED;
    if (hdr->dwFlags & MHDR_INQUEUE) return MIDIERR_STILLPLAYING;
    bool sent =
        hdr->dwBufferLength == 0 ||
        handle->Out->Send(reinterpret_cast<const std::uint8_t*>(hdr->lpData), hdr->dwBufferLength);
    hdr->dwFlags |= MHDR_DONE;
    if (handle->Callback)
        handle->Callback(h, MOM_DONE, handle->Instance, reinterpret_cast<std::uintptr_t>(hdr), 0);
    return sent ? MMSYSERR_NOERROR : MMSYSERR_ERROR;
}

namespace {
template <class F> MMRESULT OnStream(HMIDISTRM h, F f) {
    auto handle = Lookup(h);
    if (!handle || !handle->Stream) return MMSYSERR_INVALHANDLE;
    MMRESULT r = f(*handle->Stream);
    // On the virtual clock a change takes effect before the call returns, so that tests see
    // what is due at once without racing the scheduler.
    if (MidiClockVirtual()) handle->Stream->Settle();
    return r;
}
} // namespace

MMRESULT midiStreamProperty(HMIDISTRM h, void* propData, std::uint32_t flags) {
    return OnStream(h, [&](TMidiStream& s) { return s.Property(propData, flags); });
}

MMRESULT midiStreamOut(HMIDISTRM h, MIDIHDR* hdr) {
    return OnStream(h, [&](TMidiStream& s) { return s.Out(hdr); });
}

MMRESULT midiStreamRestart(HMIDISTRM h) {
    return OnStream(h, [](TMidiStream& s) { return s.Restart(); });
}

MMRESULT midiStreamPause(HMIDISTRM h) {
    return OnStream(h, [](TMidiStream& s) { return s.Pause(); });
}

MMRESULT midiStreamStop(HMIDISTRM h) {
    return OnStream(h, [](TMidiStream& s) { return s.Stop(); });
}

MMRESULT midiStreamPosition(HMIDISTRM h, MMTIME* time) {
    return OnStream(h, [&](TMidiStream& s) { return s.Position(time); });
}

} // namespace platform
