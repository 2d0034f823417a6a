#include "devices/inport.h"
#include "devices/audio.h"

#include "devices/mfx.h"
#include "devices/midi.h"
#include "devices/midimsg.h"
#include "song/primitives.h"
#include "song/softengine.h"
#include "song/song.h"

#include <algorithm>

using namespace platform;

namespace {

std::uint32_t WithData1(std::uint32_t Msg, std::uint32_t Data1) {
    return (Msg & ~0xFF00u) | ((Data1 & 0xFF) << 8);
}

// Inserts an event of the record part (Delta: its time from the part start). InsertEvent puts
// an event that shares the first event's time ahead of it; input keeps the order it arrived
// in (bank select before program change, a note on before its note off, the pieces of a long
// system-exclusive message), so such an event goes behind the events of its tick.
void InsertInArrivalOrder(_TPart* Part, _TEvent* E) {
    _TEvent* first = Part->Events;
    if (!first || first->Delta != E->Delta || E->Delta >= Part->Length) {
        InsertEvent(Part, E);
        return;
    }
    _TEvent* prev = first;
    while (prev->Next && prev->Next->Delta == 0)
        prev = prev->Next;
    E->Delta = 0;
    E->Next = prev->Next;
    prev->Next = E;
    Part->Last = nullptr;
}

} // namespace

// ---- the queue to the GUI thread ----

bool TInPort::TStampQueue::Push(const TStamped& S) {
    const std::size_t head = head_.load(std::memory_order_relaxed);
    if (head - tail_.load(std::memory_order_acquire) >= Capacity) return false;
    cells_[head % Capacity] = S;
    head_.store(head + 1, std::memory_order_release);
    return true;
}

bool TInPort::TStampQueue::Pop(TStamped& S) {
    const std::size_t tail = tail_.load(std::memory_order_relaxed);
    if (tail == head_.load(std::memory_order_acquire)) return false;
    S = cells_[tail % Capacity];
    tail_.store(tail + 1, std::memory_order_release);
    return true;
}

// ---- the port ----

TInPort::TInPort(TMIDI* OwnerArg) : Owner(OwnerArg) {
    drainWnd_ = RegisterWindowProc([this](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
        InsertRecorded();
        return 0;
    });
    if (midiInGetNumDevs() > 0) StartDevice(0);
    if (Opened) {
        sysexBlock_.assign(SysexBlockSize, 0);
        sysexHeader_.lpData = sysexBlock_.data();
        sysexHeader_.dwBufferLength = SysexBlockSize;
        sysexHeader_.dwUser = 0;
    }
}

TInPort::~TInPort() {
    Close();
    UnregisterWindowProc(drainWnd_);
    // The device is closed: no callback runs any more.
    TStamped s;
    while (queue_.Pop(s))
        if (s.Sysex) FreeEvent(s.Sysex);
    ClearRecorded();
}

void TInPort::StartDevice(unsigned Index) {
    HMIDIIN h = nullptr;
    if (midiInOpen(&h, Index, MidiInCallback, reinterpret_cast<std::uintptr_t>(this),
                   CALLBACK_FUNCTION) != MMSYSERR_NOERROR)
        return;
    Handle = h;
    Opened = midiInStart(Handle) == MMSYSERR_NOERROR;
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
    sysexOpen_ = false;
}

void TInPort::Open(int Index) {
    Close();
    if (Index < 0 || Index >= static_cast<int>(midiInGetNumDevs())) return;
    StartDevice(static_cast<unsigned>(Index));
    if (Opened && RecordSysex) {
        if (sysexBlock_.empty()) sysexBlock_.assign(SysexBlockSize, 0);
        sysexHeader_ = MIDIHDR{};
        sysexHeader_.lpData = sysexBlock_.data();
        sysexHeader_.dwBufferLength = SysexBlockSize;
        sysexHeader_.dwUser = 0;
        HeaderPrepared = midiInPrepareHeader(Handle, &sysexHeader_) == MMSYSERR_NOERROR;
        if (HeaderPrepared) midiInAddBuffer(Handle, &sysexHeader_);
    }
}

void TInPort::PlayThru(int Port, std::uint32_t Msg) {
    if (TMFX* plugin = ThruPlugin)
        plugin->AddEvent(true, Msg);
    else
        Owner->QueueMidiOut(Port, Msg);
}

void TInPort::ThruNotesOff() {
    if (TMFX* plugin = ThruPlugin) plugin->AddEvent(true, PackMidiMsg(0xB0, 123, 0));
}

void TInPort::ClearRecorded() {
    Recorded.clear();
}

bool TInPort::TakeNoteOn(int Note, TRecEvent& Found) {
    auto it = std::find_if(Recorded.begin(), Recorded.end(), [Note](const TRecEvent& E) {
        return static_cast<int>(MidiData1(E.Msg)) == Note;
    });
    if (it == Recorded.end()) return false;
    Found = *it;
    Recorded.erase(it);
    return true;
}

bool TInPort::SongRecords() const {
    return Song && Song->State == 1;
}

void TInPort::Post(UINT Msg, WPARAM W, LPARAM L) {
    if (HWND w = Window) PostMessage(w, Msg, W, L);
}

// ---- the callback's side ----

void TInPort::Stamp(const TStamped& S) {
    if (!queue_.Push(S)) {
        // The GUI thread is far behind; what does not fit is not recorded.
        if (S.Sysex) FreeEvent(S.Sysex);
        return;
    }
    if (!drainPosted_.exchange(true) && !PostMessage(drainWnd_, WM_USER, 0, 0))
        drainPosted_ = false;
}

void TInPort::ShortData(std::uint32_t M) {
    // Real-time and system messages without data.
    switch (M & 0xFFFF) {
    case 0xFA:
        Post(WM_SYNCSTARTSTOP, 1, 0);
        return;
    case 0xFB:
        Post(WM_SYNCSTARTSTOP, 3, 0);
        return;
    case 0xFC:
        Post(WM_SYNCSTARTSTOP, 2, 0);
        return;
    case 0xF0:
    case 0xF1:
    case 0xF2:
    case 0xF3:
    case 0xF6:
    case 0xF7:
    case 0xF8:
    case 0xF9:
    case 0xFE:
    case 0xFF:
        return;
    default:
        break;
    }
    const bool channelMsg = (M & 0xFF) < 0xF0;
    if (int transpose = Transpose; transpose != 0 && (IsNoteOn(M) || IsNoteOff(M))) {
        // A note pushed off the keyboard is no note: it is dropped, its note off as well.
        int note = static_cast<int>(MidiData1(M)) + transpose;
        if (note < 0 || note > 127) return;
        M = WithData1(M, static_cast<std::uint32_t>(note));
    }
    // System messages keep their status: the low bits are no channel there.
    if (int channel = ThruChannel; !Owner->MapInput && channel != -1 && channelMsg)
        M = (M & ~0x0Fu) | (static_cast<std::uint32_t>(channel) & 0x0F);
    if (MidiStatus(M) == 0xB0 && channelMsg) M = WithData1(M, CcMap[MidiData1(M) & 0x7F]);

    const bool recording = SongRecords();
    // A softsynth's plug-in is not freed while this holds it.
    TInputPluginUse use;
    TMFX* plugin = ThruPlugin;
    if (!plugin) {
        if (recording) {
            if (Owner->Mode() == 0)
                Owner->RecordEvent(M);
            else if (channelMsg)
                Stamp({M, Owner->GetInputPos(), take_, nullptr});
        }
        if (ThruOn)
            Owner->DirectMidiOut(
                ThruPort, (M & 0xFFFFFF) | (static_cast<std::uint32_t>(ThruTrack.load()) << 24));
    } else {
        if (recording && channelMsg) Stamp({M, Owner->GetInputPos(), take_, nullptr});
        if (ThruOn) {
            if (Owner->MapInput) {
                // The track of the input channel names the softsynth by its output number.
                _TTrack* track = Song ? Song->TrackAt(static_cast<int>(MidiChannel(M))) : nullptr;
                TSoftEngine* engine = SoftEngine;
                if (TMFX* synth = track && engine ? engine->InputPlugin(track->Output) : nullptr)
                    synth->AddInputEvent(M);
            } else {
                plugin->AddInputEvent(M);
            }
        }
        Post(WM_INPUTACTIVITY, static_cast<WPARAM>(ThruTrack.load()), static_cast<LPARAM>(M));
    }
    Post(MM_MIM_DATA, 0, static_cast<LPARAM>(M));
}

void TInPort::FlushSysex() {
    _TEvent* e = NewEvent(sysexPos_, msSysex);
    SetEventBlock(*e, sysexBytes_.data(), sysexLen_);
    Stamp({0, sysexPos_, sysexTake_, e});
    sysexOpen_ = false;
    sysexLen_ = 0;
}

void TInPort::LongData(HMIDIIN H, MIDIHDR* Header) {
    if (!Header || Header->dwBytesRecorded == 0) return; // handed back by a reset
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(Header->lpData);
    std::size_t count = std::min(Header->dwBytesRecorded, Header->dwBufferLength);
    const std::uint32_t take = take_;
    // A message begun in an earlier recording is not continued into this one.
    if (sysexOpen_ && sysexTake_ != take) sysexOpen_ = false;
    if (SongRecords()) {
        // The bytes fill the open event up to its block size; what is left begins the next
        // event, so nothing is lost and no block grows past its size.
        while (count > 0) {
            if (!sysexOpen_) {
                sysexOpen_ = true;
                sysexTake_ = take;
                sysexPos_ = Owner->GetInputPos();
                sysexLen_ = 0;
            }
            std::size_t n = std::min<std::size_t>(count, SysexBlockSize - sysexLen_);
            std::copy_n(bytes, n, sysexBytes_.begin() + sysexLen_);
            sysexLen_ += static_cast<int>(n);
            bytes += n;
            count -= n;
            if (sysexLen_ == SysexBlockSize || sysexBytes_[sysexLen_ - 1] == 0xF7) FlushSysex();
        }
    } else {
        sysexOpen_ = false;
    }
    Header->dwBytesRecorded = 0;
    midiInAddBuffer(H, Header);
}

void MidiInCallback(HMIDIIN Handle, std::uint32_t Msg, std::uintptr_t Instance,
                    std::uintptr_t Param1, std::uintptr_t) {
    auto* port = reinterpret_cast<TInPort*>(Instance);
    if (!port) return;
    if (Msg == MIM_DATA)
        port->ShortData(static_cast<std::uint32_t>(Param1));
    else if (Msg == MIM_LONGDATA)
        port->LongData(Handle, reinterpret_cast<MIDIHDR*>(Param1));
}

// ---- the GUI thread's side ----

void TInPort::BeginTake() {
    ++take_;
    InsertRecorded(); // drops what an earlier recording left
    ClearRecorded();
}

void TInPort::DropSysex() {
    ++take_;
}

void TInPort::RecordMessage(std::uint32_t M, int Time) {
    _TPart* part = Song->RecordPart;
    // A loop that records into a part ending at the right locator: the input clock runs up to
    // the loop end inclusive, and an event there must not grow the part past the loop.
    const int loopEnd = Song->Looping && part->Length > 0 &&
                                std::int64_t{part->Start} + part->Length == Song->RightLocator
                            ? part->Length
                            : 0;
    if (IsNoteOn(M)) {
        Recorded.push_back({Time, M});
        return;
    }
    if (!IsNoteOff(M)) {
        if (loopEnd > 0 && Time >= loopEnd) Time = loopEnd - 1;
        InsertInArrivalOrder(part, NewEvent(Time, M));
        return;
    }
    TRecEvent on;
    if (!TakeNoteOn(static_cast<int>(MidiData1(M)), on)) return;
    int d = 0;
    if (int q = QuantizeValue; QuantizeOn && q > 0) {
        int r = on.Time % q;
        if (r != 0) d = 2 * r <= q ? -r : q - r; // an exact half goes back
    }
    on.Time += d;
    int end = std::max(Time + d, 0);
    if (loopEnd > 0 && on.Time >= loopEnd) {
        // Played or quantized onto the loop end: the note begins the next pass, and a release
        // before the wrap keeps its length from there.
        on.Time -= loopEnd;
        if (end >= loopEnd) end -= loopEnd;
    }
    // A release before the note's own time means the loop wrapped while it was held; one in
    // the same tick is a short note.
    const int r = part->Start;
    if (Song->Looping && end < on.Time) end = Song->RightLocator - r - 1;
    if (loopEnd > 0 && end >= loopEnd) end = loopEnd - 1;
    InsertInArrivalOrder(part, NewEvent(on.Time, on.Msg));
    InsertInArrivalOrder(part, NewEvent(end, M));
}

void TInPort::InsertRecorded() {
    drainPosted_ = false;
    // A looping softsynth queue walks the record part on the audio thread: no block renders
    // while a batch goes in (taken only for a batch that inserts anything).
    struct TLazyHold {
        bool held = false;
        void Take() {
            if (!held) HoldRenderer();
            held = true;
        }
        ~TLazyHold() {
            if (held) ReleaseRenderer();
        }
    } hold;
    TStamped s;
    while (queue_.Pop(s)) {
        const bool live = s.Take == take_ && SongRecords() && Song->RecordPart;
        if (!live) {
            if (s.Sysex) FreeEvent(s.Sysex);
            continue;
        }
        hold.Take();
        _TPart* part = Song->RecordPart;
        const int time = std::max(s.Pos - part->Start, 0);
        if (s.Sysex) {
            s.Sysex->Delta = time;
            InsertInArrivalOrder(part, s.Sysex);
        } else {
            RecordMessage(s.Msg, time);
        }
        Song->RecordPart->Flags |= pfRedraw;
    }
}
