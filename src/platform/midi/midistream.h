// The scheduler behind a MIDI stream: plays the queued buffers on its own thread at the
// stream's tempo, sends their messages to the output and raises the stream's callbacks.
// Internal to the MIDI layer.
#pragma once

#include "platform/midi/midi.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <pthread.h>
#include <thread>

namespace platform {

class TMidiOutConnection;

// A recursive mutex with priority inheritance: a thread of normal priority that holds it while
// the real-time scheduler waits runs at the scheduler's priority until it lets go.
class TPriorityMutex {
public:
    TPriorityMutex();
    ~TPriorityMutex();
    TPriorityMutex(const TPriorityMutex&) = delete;
    TPriorityMutex& operator=(const TPriorityMutex&) = delete;
    void lock();
    void unlock();
    bool try_lock();

private:
    pthread_mutex_t mutex_;
};

class TMidiStream {
public:
    TMidiStream(TMidiOutConnection* out, HMIDISTRM handle, MIDIOUTPROC callback,
                std::uintptr_t instance);
    ~TMidiStream();
    TMidiStream(const TMidiStream&) = delete;
    TMidiStream& operator=(const TMidiStream&) = delete;

    MMRESULT Property(void* propData, std::uint32_t flags);
    MMRESULT Out(MIDIHDR* hdr);
    MMRESULT Restart();
    MMRESULT Pause();
    MMRESULT Stop();
    MMRESULT Position(MMTIME* time);
    bool HasQueued();
    // Ends the scheduler thread; false when called from that thread itself.
    bool Shutdown();
    // Waits until the scheduler has carried out all that is due now (not from a callback).
    void Settle();

private:
    enum class TState { Stopped, Playing, Paused };

    void Run();
    // Carries out everything due at Now and hands ahead what the output takes ahead of its
    // time; gives the clock time of the next thing to do, or -1.
    std::int64_t ProcessDue(std::int64_t now);
    std::int64_t PlayDue(std::int64_t now);
    // Hands the output the messages of the events up to Horizon (ticks), at most Limit of them
    // (-1: all), from the ahead position on, and calls back for their markers where every
    // output takes what the callback sends ahead; only counts messages when Send is false.
    // Gives the clock time at which the next one is to be handed, or -1.
    std::int64_t HandAhead(std::int64_t horizon, int limit, bool send);
    // The output gives back what was handed ahead and is not out yet; the ahead position moves
    // back to the first message of it. What callbacks sent ahead cannot be sent again: it is
    // taken back for good (but for the ends of notes) when the stream pauses, and stays for
    // its old times when the tempo changes (Tempo).
    void TakeBack(bool Tempo);
    std::int64_t TicksAt(std::int64_t now) const;
    std::int64_t DueUs(std::int64_t tick) const;
    void Reanchor(std::int64_t now);
    void SetTempo(std::uint32_t tempo);
    void Notify(std::uint32_t msg, std::uintptr_t param1);
    void Wake();

    TMidiOutConnection* out_;
    HMIDISTRM handle_;
    MIDIOUTPROC callback_;
    std::uintptr_t instance_;

    // Held while callbacks run, so that Stop and Close wait for a callback in progress; a
    // callback may call back into its own stream.
    TPriorityMutex mutex_;
    std::condition_variable_any wake_;
    std::condition_variable_any settled_;
    std::uint64_t wakeSeq_ = 0;
    std::uint64_t doneSeq_ = 0;
    std::atomic<bool> cancel_{false};   // ends the scheduler's sleep on the virtual clock
    std::atomic<bool> sleeping_{false}; // on its way into, or in, a sleep on the virtual clock
    std::atomic<std::int64_t> sleepUs_{0};
    bool quit_ = false;

    TState state_ = TState::Stopped;
    std::uint32_t timeDiv_ = 96;   // ticks per quarter note
    std::uint32_t tempo_ = 500000; // microseconds per quarter note
    // The tick position is AnchorTick + (AnchorRem + (now - AnchorUs) * timeDiv) / tempo.
    std::int64_t anchorUs_ = 0;
    std::int64_t anchorTick_ = 0;
    std::int64_t anchorRem_ = 0;
    std::int64_t lastTick_ = 0; // tick of the last event played
    MIDIHDR* head_ = nullptr;   // queued buffers, linked through lpNext
    MIDIHDR* tail_ = nullptr;
    std::uint32_t cursor_ = 0; // offset of the next event in the head buffer
    // Handed ahead: the output holds the messages of the events after the played position up
    // to this one (buffer, offset of the next event, tick of the last), Handed of them.
    MIDIHDR* aheadHdr_ = nullptr;
    std::uint32_t aheadCursor_ = 0;
    std::int64_t aheadTick_ = 0;
    int handed_ = 0;
    int handedMarks_ = 0; // callbacks made ahead that the played position has not passed

    std::thread thread_;
};

} // namespace platform
