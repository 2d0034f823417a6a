#include "platform/midi/midistream.h"

#include "platform/midi/midiclock.h"
#include "platform/midi/midiport.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <vector>

namespace platform {

namespace {

std::mutex streamsMutex;
std::vector<TMidiStream*> streams;
// Callbacks running on this thread; waiting for a scheduler from inside one could deadlock.
thread_local int callbackDepth = 0;

// A stream event parsed from a buffer.
struct TStreamEvent {
    std::uint32_t Delta = 0;
    std::uint32_t Event = 0;
    const std::uint8_t* Params = nullptr; // long events
    std::uint32_t ParamLen = 0;
    std::uint32_t Size = 0; // bytes the event takes in the buffer
};

bool ParseEvent(const MIDIHDR* hdr, std::uint32_t offset, TStreamEvent& e) {
    std::uint32_t used = std::min(hdr->dwBytesRecorded, hdr->dwBufferLength);
    if (!hdr->lpData || offset > used || used - offset < sizeof(MIDIEVENT)) return false;
    MIDIEVENT ev;
    std::memcpy(&ev, hdr->lpData + offset, sizeof ev);
    e.Delta = ev.dwDeltaTime;
    e.Event = ev.dwEvent;
    e.Size = sizeof ev;
    e.Params = nullptr;
    e.ParamLen = 0;
    if (ev.dwEvent & MEVT_F_LONG) {
        e.ParamLen = ev.dwEvent & 0xFFFFFF;
        std::uint64_t padded = (std::uint64_t(e.ParamLen) + 3) & ~std::uint64_t(3);
        if (padded > used - offset - sizeof ev) return false;
        e.Params = reinterpret_cast<const std::uint8_t*>(hdr->lpData) + offset + sizeof ev;
        e.Size += static_cast<std::uint32_t>(padded);
    }
    return true;
}

std::int64_t CeilDiv(std::int64_t a, std::int64_t b) {
    return a >= 0 ? (a + b - 1) / b : -((-a) / b);
}

} // namespace

TPriorityMutex::TPriorityMutex() {
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutexattr_setprotocol(&attr, PTHREAD_PRIO_INHERIT);
    pthread_mutex_init(&mutex_, &attr);
    pthread_mutexattr_destroy(&attr);
}

TPriorityMutex::~TPriorityMutex() {
    pthread_mutex_destroy(&mutex_);
}
void TPriorityMutex::lock() {
    pthread_mutex_lock(&mutex_);
}
void TPriorityMutex::unlock() {
    pthread_mutex_unlock(&mutex_);
}
bool TPriorityMutex::try_lock() {
    return pthread_mutex_trylock(&mutex_) == 0;
}

TMidiStream::TMidiStream(TMidiOutConnection* out, HMIDISTRM handle, MIDIOUTPROC callback,
                         std::uintptr_t instance)
    : out_(out), handle_(handle), callback_(callback), instance_(instance) {
    thread_ = std::thread([this] { Run(); });
    std::lock_guard lock(streamsMutex);
    streams.push_back(this);
}

TMidiStream::~TMidiStream() {
    {
        std::lock_guard lock(streamsMutex);
        std::erase(streams, this);
    }
    Shutdown();
}

bool TMidiStream::Shutdown() {
    if (!thread_.joinable()) return true;
    if (std::this_thread::get_id() == thread_.get_id()) return false;
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        wake_.notify_all();
        settled_.notify_all();
    }
    thread_.join();
    return true;
}

void TMidiStream::Notify(std::uint32_t msg, std::uintptr_t param1) {
    if (!callback_) return;
    ++callbackDepth;
    callback_(handle_, msg, instance_, param1, 0);
    --callbackDepth;
}

void TMidiStream::Wake() {
    ++wakeSeq_;
    cancel_ = true;
    wake_.notify_all();
    WakeMidiClock();
}

std::int64_t TMidiStream::TicksAt(std::int64_t now) const {
    if (state_ != TState::Playing) return anchorTick_;
    std::int64_t elapsed = std::max<std::int64_t>(0, now - anchorUs_);
    return anchorTick_ + (anchorRem_ + elapsed * timeDiv_) / tempo_;
}

std::int64_t TMidiStream::DueUs(std::int64_t tick) const {
    return anchorUs_ + CeilDiv((tick - anchorTick_) * std::int64_t(tempo_) - anchorRem_, timeDiv_);
}

void TMidiStream::Reanchor(std::int64_t now) {
    if (state_ == TState::Playing) {
        std::int64_t total = anchorRem_ + std::max<std::int64_t>(0, now - anchorUs_) * timeDiv_;
        anchorTick_ += total / tempo_;
        anchorRem_ = total % tempo_;
    }
    anchorUs_ = now;
}

void TMidiStream::SetTempo(std::uint32_t tempo) {
    // The part of a tick already elapsed stays the same part of a tick.
    anchorRem_ = anchorRem_ * std::int64_t(tempo) / tempo_;
    tempo_ = tempo;
}

MMRESULT TMidiStream::Property(void* propData, std::uint32_t flags) {
    if (!propData) return MMSYSERR_INVALPARAM;
    bool set = flags & MIDIPROP_SET, get = flags & MIDIPROP_GET;
    std::uint32_t prop = flags & ~(MIDIPROP_SET | MIDIPROP_GET);
    if (set == get || (prop != MIDIPROP_TIMEDIV && prop != MIDIPROP_TEMPO))
        return MMSYSERR_INVALFLAG;
    std::lock_guard lock(mutex_);
    if (prop == MIDIPROP_TIMEDIV) {
        auto* p = static_cast<MIDIPROPTIMEDIV*>(propData);
        if (p->cbStruct != sizeof(MIDIPROPTIMEDIV)) return MMSYSERR_INVALPARAM;
        if (get) {
            p->dwTimeDiv = timeDiv_;
            return MMSYSERR_NOERROR;
        }
        // Only ticks per quarter note; SMPTE divisions (high bit) are not offered.
        if (p->dwTimeDiv == 0 || p->dwTimeDiv > 0x7FFF) return MMSYSERR_INVALPARAM;
        Reanchor(MidiClockUs());
        anchorRem_ = anchorRem_ * std::int64_t(p->dwTimeDiv) / timeDiv_;
        timeDiv_ = p->dwTimeDiv;
        TakeBack(true); // handed ahead at the times of the old division
    } else {
        auto* p = static_cast<MIDIPROPTEMPO*>(propData);
        if (p->cbStruct != sizeof(MIDIPROPTEMPO)) return MMSYSERR_INVALPARAM;
        if (get) {
            p->dwTempo = tempo_;
            return MMSYSERR_NOERROR;
        }
        if (p->dwTempo == 0 || p->dwTempo > 0xFFFFFF) return MMSYSERR_INVALPARAM;
        Reanchor(MidiClockUs());
        SetTempo(p->dwTempo);
        TakeBack(true); // handed ahead at the times of the old tempo
    }
    Wake();
    return MMSYSERR_NOERROR;
}

MMRESULT TMidiStream::Out(MIDIHDR* hdr) {
    if (!hdr || !hdr->lpData) return MMSYSERR_INVALPARAM;
    std::lock_guard lock(mutex_);
    if (!(hdr->dwFlags & MHDR_PREPARED)) return MIDIERR_UNPREPARED;
    if (hdr->dwFlags & MHDR_INQUEUE) return MIDIERR_STILLPLAYING;
    if (hdr->dwBytesRecorded > hdr->dwBufferLength || hdr->dwBytesRecorded % 4 != 0)
        return MMSYSERR_INVALPARAM;
    hdr->dwFlags = (hdr->dwFlags | MHDR_INQUEUE) & ~MHDR_DONE;
    hdr->lpNext = nullptr;
    if (tail_)
        tail_->lpNext = hdr;
    else {
        head_ = hdr;
        cursor_ = 0;
    }
    tail_ = hdr;
    Wake();
    return MMSYSERR_NOERROR;
}

MMRESULT TMidiStream::Restart() {
    std::lock_guard lock(mutex_);
    if (state_ != TState::Playing) {
        anchorUs_ = MidiClockUs();
        state_ = TState::Playing;
        Wake();
    }
    return MMSYSERR_NOERROR;
}

MMRESULT TMidiStream::Pause() {
    std::lock_guard lock(mutex_);
    if (state_ == TState::Playing) {
        Reanchor(MidiClockUs());
        state_ = TState::Paused;
        TakeBack(false); // handed again, at their new times, once the stream plays on
        Wake();
    }
    return MMSYSERR_NOERROR;
}

MMRESULT TMidiStream::Stop() {
    std::lock_guard lock(mutex_);
    state_ = TState::Stopped;
    anchorTick_ = anchorRem_ = lastTick_ = 0;
    cursor_ = 0;
    // Nothing handed ahead plays after the stop but the ends of notes.
    if (handedMarks_ > 0)
        WithdrawAllOutputs();
    else if (handed_ > 0)
        out_->Withdraw();
    handed_ = handedMarks_ = 0;
    // Every buffer goes back now, on this thread, before Stop returns.
    while (head_) {
        MIDIHDR* hdr = head_;
        head_ = hdr->lpNext;
        if (!head_) tail_ = nullptr;
        hdr->lpNext = nullptr;
        hdr->dwFlags = (hdr->dwFlags & ~MHDR_INQUEUE) | MHDR_DONE;
        Notify(MOM_DONE, reinterpret_cast<std::uintptr_t>(hdr));
    }
    Wake();
    return MMSYSERR_NOERROR;
}

MMRESULT TMidiStream::Position(MMTIME* time) {
    if (!time) return MMSYSERR_INVALPARAM;
    std::lock_guard lock(mutex_);
    // Ticks are the one format offered; the caller learns it from wType.
    time->wType = TIME_TICKS;
    time->ticks = static_cast<std::uint32_t>(TicksAt(MidiClockUs()));
    return MMSYSERR_NOERROR;
}

bool TMidiStream::HasQueued() {
    std::lock_guard lock(mutex_);
    return head_ != nullptr;
}

std::int64_t TMidiStream::ProcessDue(std::int64_t now) {
    const std::int64_t due = PlayDue(now);
    const std::int64_t lead = out_->LeadUs();
    if (lead <= 0 || state_ != TState::Playing || quit_) return due;
    const std::int64_t ahead = HandAhead(TicksAt(now + lead), -1, true);
    return due < 0 ? ahead : ahead < 0 ? due : std::min(due, ahead);
}

std::int64_t TMidiStream::HandAhead(std::int64_t horizon, int limit, bool send) {
    int marksAhead = -1; // whether callbacks may come ahead: asked at the first marker
    if (handed_ == 0 && handedMarks_ == 0) {
        aheadHdr_ = head_;
        aheadCursor_ = cursor_;
        aheadTick_ = lastTick_;
    }
    while (aheadHdr_) {
        TStreamEvent e;
        if (!ParseEvent(aheadHdr_, aheadCursor_, e)) {
            // At the end of what is queued the position waits for the next buffer.
            if (!aheadHdr_->lpNext) return -1;
            aheadHdr_ = aheadHdr_->lpNext;
            aheadCursor_ = 0;
            continue;
        }
        const std::int64_t tick = aheadTick_ + e.Delta;
        if (tick > horizon) return DueUs(tick) - out_->LeadUs();
        std::uint8_t type = static_cast<std::uint8_t>((e.Event >> 24) & ~(MEVT_F_CALLBACK >> 24));
        // The times after a tempo change are known once it is played.
        if (type == MEVT_TEMPO) return -1;
        const bool mark = e.Event & MEVT_F_CALLBACK;
        if (mark && send) {
            // What the callback sends goes ahead only where every output takes it so.
            if (marksAhead < 0) marksAhead = AllOutputsTimed() ? 1 : 0;
            if (!marksAhead) return -1;
        }
        std::uint8_t bytes[3];
        std::size_t n = 0;
        if (type == MEVT_SHORTMSG) n = ShortMessageBytes(e.Event & 0xFFFFFF, bytes);
        if (type == MEVT_LONGMSG) n = e.ParamLen;
        if (n > 0) {
            if (limit == 0) return -1;
            if (send) out_->SendAt(type == MEVT_SHORTMSG ? bytes : e.Params, n, DueUs(tick));
            ++handed_;
            if (limit > 0) --limit;
        }
        const std::uint32_t offset = aheadCursor_;
        aheadTick_ = tick;
        aheadCursor_ += e.Size;
        if (mark && send) {
            AheadDueUs() = DueUs(tick);
            aheadHdr_->dwOffset = offset;
            Notify(MOM_POSITIONCB, reinterpret_cast<std::uintptr_t>(aheadHdr_));
            AheadDueUs() = -1;
            ++handedMarks_;
        }
    }
    return -1;
}

void TMidiStream::TakeBack(bool Tempo) {
    if (handedMarks_ > 0) {
        if (!Tempo) WithdrawAllOutputs();
        return;
    }
    if (handed_ == 0) return;
    // The first of those handed went out already: the position moves on past them again.
    const int gone = std::max(0, handed_ - out_->Withdraw());
    handed_ = 0;
    if (gone > 0) HandAhead(INT64_MAX, gone, false);
}

std::int64_t TMidiStream::PlayDue(std::int64_t now) {
    while (state_ == TState::Playing && head_ && !quit_) {
        MIDIHDR* hdr = head_;
        TStreamEvent e;
        if (!ParseEvent(hdr, cursor_, e)) {
            // Played to its end (a torn last event is dropped): the buffer goes back.
            head_ = hdr->lpNext;
            if (!head_) tail_ = nullptr;
            cursor_ = 0;
            hdr->lpNext = nullptr;
            hdr->dwFlags = (hdr->dwFlags & ~MHDR_INQUEUE) | MHDR_DONE;
            Notify(MOM_DONE, reinterpret_cast<std::uintptr_t>(hdr));
            continue;
        }
        std::int64_t tick = lastTick_ + e.Delta;
        if (tick > TicksAt(now)) return DueUs(tick);
        std::uint32_t offset = cursor_;
        lastTick_ = tick;
        cursor_ += e.Size;
        std::uint8_t type = static_cast<std::uint8_t>((e.Event >> 24) & ~(MEVT_F_CALLBACK >> 24));
        if (type == MEVT_SHORTMSG) {
            std::uint8_t bytes[3];
            if (std::size_t n = ShortMessageBytes(e.Event & 0xFFFFFF, bytes)) {
                if (handed_ > 0)
                    --handed_; // the output has it, for its time
                else
                    out_->Send(bytes, n);
            }
        } else if (type == MEVT_TEMPO) {
            std::uint32_t tempo = e.Event & 0xFFFFFF;
            if (tempo > 0) {
                // The new tempo counts from the event's own tick, however late it was played.
                std::int64_t due = std::min(now, DueUs(tick));
                anchorTick_ = tick;
                anchorRem_ = 0;
                anchorUs_ = due;
                tempo_ = tempo;
            }
        } else if (type == MEVT_LONGMSG && e.ParamLen > 0) {
            if (handed_ > 0)
                --handed_;
            else
                out_->Send(e.Params, e.ParamLen);
        }
        if (e.Event & MEVT_F_CALLBACK) {
            if (handedMarks_ > 0) {
                --handedMarks_; // called back ahead of its time
            } else {
                hdr->dwOffset = offset;
                Notify(MOM_POSITIONCB, reinterpret_cast<std::uintptr_t>(hdr));
            }
        }
    }
    return -1;
}

void TMidiStream::Run() {
    // Timing matters more here than anywhere else; without the privilege the normal policy stays.
    sched_param param{};
    param.sched_priority = std::max(1, sched_get_priority_max(SCHED_FIFO) / 2);
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);

    std::unique_lock lock(mutex_);
    while (!quit_) {
        std::uint64_t seq = wakeSeq_;
        std::int64_t next = ProcessDue(MidiClockUs());
        if (quit_) break;
        if (wakeSeq_ != seq) continue;
        doneSeq_ = seq;
        settled_.notify_all();
        auto changed = [&] { return quit_ || wakeSeq_ != seq; };
        if (MidiClockVirtual()) {
            // Virtual time moves only when a test moves it, and then wakes the sleepers it reaches.
            if (next >= 0) {
                cancel_ = false;
                sleepUs_ = next;
                sleeping_ = true;
                lock.unlock();
                MidiClockSleepUntil(next, &cancel_);
                sleeping_ = false;
                lock.lock();
            } else {
                MidiClockIdle();
                wake_.wait(lock, changed);
            }
        } else if (next < 0) {
            wake_.wait(lock, changed);
        } else {
            auto deadline = std::chrono::steady_clock::time_point(std::chrono::microseconds(next));
            wake_.wait_until(lock, deadline, changed);
        }
    }
}

void TMidiStream::Settle() {
    if (callbackDepth > 0) return;
    std::unique_lock lock(mutex_);
    if (!thread_.joinable() || std::this_thread::get_id() == thread_.get_id()) return;
    Wake();
    std::uint64_t target = wakeSeq_;
    settled_.wait(lock, [&] { return quit_ || doneSeq_ >= target; });
    if (!MidiClockVirtual() || quit_) return;
    lock.unlock();
    // Done means asleep on the clock, where moving the clock finds it; until the sleep has
    // begun, the clock could be moved past the next event unnoticed.
    auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (sleeping_ && !MidiClockSleeperBy(sleepUs_) && std::chrono::steady_clock::now() < limit)
        std::this_thread::yield();
}

void MidiSettle() {
    std::lock_guard lock(streamsMutex);
    for (auto* s : streams)
        s->Settle();
}

} // namespace platform
