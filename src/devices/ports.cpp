#include "devices/ports.h"

#include "devices/midimsg.h"
#include "platform/core/dialogs.h"
#include "platform/core/ini.h"
#include "song/song.h"
#include "song/timebase.h"

#include <cmath>
#include <cstring>

using namespace platform;

TPorts* Ports = nullptr;

namespace {

// Buffer states, kept in the header's user word.
constexpr int bsFree = 0;
constexpr int bsFilling = 1;
constexpr int bsQueued = 2;

// The statuses a device takes; the program's own kinds (sound-card parameters, sample notes)
// and muted notes (message 0) keep their place in time but never go out.
bool IsDeviceStatus(std::uint32_t Msg) {
    std::uint32_t s = Msg & 0xFF;
    return s >= 0x80 && s <= 0xEF;
}

} // namespace

TPorts::TPorts(HWND Wnd) {
    TIniFile ini("tolvern.ini");
    int count = static_cast<int>(midiOutGetNumDevs());
    StreamDevice = ini.ReadInteger("sdevice", "id", 1);
    if (StreamDevice < 0) StreamDevice = 0;
    if (StreamDevice >= count) StreamDevice = count - 1;
    Window = Wnd;
    queue_.resize(StreamQueueSize + 1);
    for (int i = 0; i < count; ++i) {
        auto out = std::make_unique<TOutputEx>();
        MIDIOUTCAPS caps;
        if (midiOutGetDevCaps(static_cast<unsigned>(i), &caps) == MMSYSERR_NOERROR)
            out->Name = caps.szPname;
        HMIDIOUT h = nullptr;
        if (i != StreamDevice) {
            if (ini.ReadBool("midisetup", "device" + std::to_string(i), true))
                out->Opened = midiOutOpen(&h, static_cast<unsigned>(i), nullptr, 0,
                                          CALLBACK_NULL) == MMSYSERR_NOERROR;
        } else {
            unsigned device = static_cast<unsigned>(i);
            out->Opened = midiStreamOpen(&h, &device, 1, MidiStreamCallback,
                                         reinterpret_cast<std::uintptr_t>(this),
                                         CALLBACK_FUNCTION) == MMSYSERR_NOERROR;
        }
        out->Handle = h;
        Outputs.push_back(std::move(out));
    }
    if (StreamDevice != -1) {
        Stream = Outputs[StreamDevice]->Handle;
    } else {
        // Without an output the stream runs all the same, on no port: its clock is the song
        // position (the position field, the play cursor, autoscroll) and its callbacks ask for
        // the events as with a port.
        unsigned device = MIDI_NODEVICE;
        HMIDISTRM h = nullptr;
        if (midiStreamOpen(&h, &device, 1, MidiStreamCallback,
                           reinterpret_cast<std::uintptr_t>(this),
                           CALLBACK_FUNCTION) == MMSYSERR_NOERROR)
            Stream = h;
    }
    if (StreamDevice != -1 || Stream) {
        MIDIPROPTIMEDIV div;
        div.dwTimeDiv = 240;
        MMRESULT r = midiStreamProperty(Stream, &div, MIDIPROP_SET | MIDIPROP_TIMEDIV);
        if (r != MMSYSERR_NOERROR)
            MessageBox("Error initializing midi (code " + std::to_string(r) +
                           "). Please try to restart Tolvern",
                       "Error", MB_OK | MB_ICONERROR);
        for (int i = 0; i < 2; ++i) {
            blocks_[i].assign(StreamBufferSize, 0);
            Buffers[i] = MIDIHDR{};
            Buffers[i].lpData = blocks_[i].data();
        }
        Current = 0;
    }
}

TPorts::~TPorts() {
    if (Stream) {
        midiStreamStop(Stream);
        midiStreamPause(Stream);
        for (auto& b : Buffers)
            if (b.dwFlags & MHDR_PREPARED) midiOutUnprepareHeader(Stream, &b);
    }
    for (auto& out : Outputs) {
        if (!out->Opened) continue;
        if (out->Handle == Stream)
            midiStreamClose(out->Handle);
        else
            midiOutClose(out->Handle);
    }
    if (Stream && StreamDevice == -1) midiStreamClose(Stream);
}

int TPorts::BufferState(int I) const {
    return static_cast<int>(
        std::atomic_ref<std::uintptr_t>(const_cast<std::uintptr_t&>(Buffers[I].dwUser)).load());
}

void TPorts::SetBufferState(int I, int State) {
    std::atomic_ref<std::uintptr_t>(Buffers[I].dwUser).store(static_cast<std::uintptr_t>(State));
}

void TPorts::HandOver(int I) {
    MIDIHDR& h = Buffers[I];
    midiOutPrepareHeader(Stream, &h);
    // From here the header is the stream's until it comes back.
    SetBufferState(I, bsQueued);
    if (midiStreamOut(Stream, &h) != MMSYSERR_NOERROR) {
        h.dwBufferLength = h.dwBytesRecorded = 0;
        h.dwFlags = 0;
        SetBufferState(I, bsFree);
    }
}

bool TPorts::Append(int I, int Time, const TQueued& Q) {
    MIDIHDR& h = Buffers[I];
    std::uint32_t tail = tail_.load(std::memory_order_relaxed);
    std::uint32_t next = (tail + 1) % queue_.size();
    if (next == head_.load(std::memory_order_acquire)) {
        // The queue is full: play what is there, so that a refill request comes.
        if (BufferState(I) == bsFilling) {
            HandOver(I);
            Current = 1 - I;
        }
        return false;
    }
    if (h.dwFlags & MHDR_PREPARED) midiOutUnprepareHeader(Stream, &h);
    TQueued q = Q;
    q.Time = Time;
    q.Marked = Time != 0 || h.dwBufferLength == 0;
    if (q.Marked) {
        std::uint32_t marker[3] = {static_cast<std::uint32_t>(Time), 0,
                                   MEVT_F_CALLBACK | MEVT_F_SHORT};
        std::memcpy(h.lpData + h.dwBufferLength, marker, sizeof marker);
        h.dwBufferLength += StreamMarkerSize;
        h.dwBytesRecorded = h.dwBufferLength;
        SetBufferState(I, bsFilling);
    }
    queue_[tail] = q;
    tail_.store(next, std::memory_order_release);
    return true;
}

bool TPorts::Push(int Time, std::uint32_t Msg, std::uintptr_t Data, int Port) {
    // Without a stream nothing would ever play the pushed events or ask for more.
    if (!Stream) return false;
    if (Time < 0) Time = 0;
    TQueued q;
    q.Msg = Msg;
    q.Port = static_cast<std::uint8_t>(Port >= 0 && Port < 256 ? Port : 255);
    q.Data = Data;
    auto fits = [&](int I) {
        return !(static_cast<int>(Buffers[I].dwBufferLength) + StreamMarkerSize >
                     StreamBufferSize &&
                 Time != 0);
    };
    if (BufferState(Current) != bsQueued && fits(Current)) return Append(Current, Time, q);
    if (BufferState(Current) != bsFilling) return false;
    HandOver(Current);
    Current = 1 - Current;
    if (BufferState(Current) == bsFree && fits(Current)) return Append(Current, Time, q);
    return false;
}

void TPorts::FlushOutput() {
    if (!Stream || BufferState(Current) != bsFilling) return;
    HandOver(Current);
    Current = 1 - Current;
}

void TPorts::Start(int Pos) {
    StartPos = Pos;
    LoopOffset = 0;
    if (!Stream) return;
    FlushOutput();
    midiStreamRestart(Stream);
}

void TPorts::ClearQueue() {
    // Only after the stream has stopped: no callback can be reading the queue.
    head_.store(0);
    tail_.store(0);
}

int TPorts::Stop() {
    int pos = GetPosition();
    if (!Stream) return pos;
    midiStreamPause(Stream);
    midiStreamStop(Stream);
    midiStreamPause(Stream);
    MIDIHDR& h = Buffers[Current];
    h.dwBufferLength = h.dwBytesRecorded = 0;
    h.dwFlags = 0;
    SetBufferState(Current, bsFree);
    ClearQueue();
    return pos;
}

int TPorts::GetPosition() {
    std::int64_t ticks = 0;
    if (Stream) {
        MMTIME t;
        t.wType = TIME_TICKS;
        if (midiStreamPosition(Stream, &t) == MMSYSERR_NOERROR) ticks = t.ticks;
    }
    std::int64_t result = ticks + StartPos + LoopOffset;
    if (Song) {
        int span = Song->RightLocator - Song->LeftLocator;
        // A loop without length cannot be wrapped into.
        while (Song->Looping && span > 0 && result > Song->RightLocator) {
            LoopOffset -= span;
            result -= span;
        }
    }
    return static_cast<int>(result);
}

bool TPorts::SetTempo(int BPM) {
    if (!Stream || BPM <= 0) return false;
    MIDIPROPTEMPO tempo;
    tempo.dwTempo = static_cast<std::uint32_t>(Round(60000000.0 / BPM));
    return midiStreamProperty(Stream, &tempo, MIDIPROP_SET | MIDIPROP_TEMPO) == MMSYSERR_NOERROR;
}

void TPorts::OpenOutput(int Index) {
    if (Index < 0 || Index >= static_cast<int>(Outputs.size())) return;
    auto& out = *Outputs[Index];
    if (out.Opened) return;
    HMIDIOUT h = nullptr;
    out.Opened = midiOutOpen(&h, static_cast<unsigned>(Index), nullptr, 0, CALLBACK_NULL) ==
                 MMSYSERR_NOERROR;
    out.Handle = h;
}

void TPorts::CloseOutput(int Index) {
    if (Index < 0 || Index >= static_cast<int>(Outputs.size())) return;
    auto& out = *Outputs[Index];
    if (!out.Opened) return;
    if (out.Handle != Stream) {
        midiOutClose(out.Handle);
        out.Opened = false;
    } else {
        MessageBox("This device can't be disabled", "MIDI output", MB_OK | MB_ICONINFORMATION);
    }
}

HMIDIOUT TPorts::GetHandle(int Index) const {
    if (Index < 0 || Index >= static_cast<int>(Outputs.size())) return nullptr;
    return Outputs[Index]->Handle;
}

void TPorts::SendQueued(const TQueued& Q) {
    std::uint32_t kind = MidiStatus(Q.Msg);
    HMIDIOUT h = GetHandle(Q.Port);
    if (!h) return;
    if (kind != msSysex) {
        if (!IsDeviceStatus(Q.Msg)) return;
        midiOutShortMsg(h, Q.Msg & 0xFFFFFF);
        std::uint32_t note = MidiData1(Q.Msg);
        if (note > 127) return;
        auto& count = Outputs[Q.Port]->NoteCount[MidiChannel(Q.Msg)][note];
        if (IsNoteOn(Q.Msg)) {
            if (count < 255) ++count;
        } else if (IsNoteOff(Q.Msg) && count > 0) {
            --count;
        }
    } else if (MidiData1(Q.Msg) == 1) {
        // A 32-bit value event goes out as its NRPN controllers.
        std::uint32_t c = 0xB0 + MidiChannel(Q.Msg), v = static_cast<std::uint32_t>(Q.Data);
        midiOutShortMsg(h, PackMidiMsg(c, 99, v & 0xFF));
        midiOutShortMsg(h, PackMidiMsg(c, 98, (v >> 8) & 0xFF));
        midiOutShortMsg(h, PackMidiMsg(c, 6, (v >> 16) & 0xFF));
        midiOutShortMsg(h, PackMidiMsg(c, 38, v >> 24));
    }
    // System exclusive is not sent during playback in this back end.
}

void TPorts::MarkerDue() {
    std::uint32_t head = head_.load(std::memory_order_relaxed);
    // A marker sends the event that owns it and every following event that shares it.
    while (head != tail_.load(std::memory_order_acquire)) {
        SendQueued(queue_[head]);
        head = (head + 1) % queue_.size();
        head_.store(head, std::memory_order_release);
        if (head == tail_.load(std::memory_order_acquire) || queue_[head].Marked) break;
    }
}

void TPorts::BufferDone(MIDIHDR* Hdr) {
    Hdr->dwBufferLength = Hdr->dwBytesRecorded = 0;
    Hdr->dwFlags = 0;
    std::atomic_ref<std::uintptr_t>(Hdr->dwUser).store(bsFree);
    if (HWND w = Window.load()) PostMessage(w, WM_REFILLQUEUE, 0, 0);
}

void MidiStreamCallback(HMIDIOUT, std::uint32_t Msg, std::uintptr_t Instance, std::uintptr_t Param1,
                        std::uintptr_t) {
    auto* ports = reinterpret_cast<TPorts*>(Instance);
    if (Msg == MOM_POSITIONCB)
        ports->MarkerDue();
    else if (Msg == MOM_DONE)
        ports->BufferDone(reinterpret_cast<MIDIHDR*>(Param1));
}
