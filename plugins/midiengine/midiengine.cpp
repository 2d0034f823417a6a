// The MIDI engine library. Each entry is a 16-bit routine: it gets the words its caller pushed
// (Pascal order: the first argument first, each 32-bit value as its high word and then its low
// word) and answers DX:AX. Its own thread plays the events it was handed on its clock (240
// ticks to the quarter note), clicks the metronome and sends MIDI time code; recorded input
// waits in a list until the program reads it after the stop.
//
// Threads: the program's GUI thread pushes events and changes settings; the audio thread
// starts runs ("Start", "Rec"); the input callback records ("RecordEvent", "GetPos",
// "DirectMidiOut"). No entry takes a lock of the engine or allocates: the event list and the
// recorded list each have one producer and one consumer, the clock is published under a
// sequence count, and the settings are atomics.

#include <tolvern_midi.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <thread>

#define ENGINE_ENTRY extern "C" __attribute__((visibility("default"))) uint32_t

namespace {

using Words = const uint16_t*;

constexpr uint32_t WM_POSITION = 0x400 + 501; // the song position while running
constexpr uint32_t WM_ROOM = 0x400 + 502;     // room for more events
constexpr int kOutputs = 20;
constexpr int64_t kTicksPerQuarter = 240;
constexpr int64_t kPostEveryUs = 10000;
constexpr int64_t kNever = INT64_MAX;
constexpr uint32_t kQueueSize = 1024;
constexpr uint32_t kRecordSize = 8192;
constexpr int kSysexMax = 512;

int32_t Arg(Words W, int Count, int I) {
    if (2 * I + 1 >= Count) return 0;
    return static_cast<int32_t>((uint32_t(W[2 * I]) << 16) | W[2 * I + 1]);
}

int64_t CeilDiv(int64_t A, int64_t B) {
    return A >= 0 ? (A + B - 1) / B : -((-A) / B);
}

int64_t FloorDiv(int64_t A, int64_t B) {
    return A >= 0 ? A / B : -((-A + B - 1) / B);
}

// ---- outputs ------------------------------------------------------------------------------

std::array<std::atomic<uintptr_t>, kOutputs> outputs{};
// Note-ons sent by the player and not yet ended, per output, channel and note.
std::array<std::array<std::array<std::atomic<uint8_t>, 128>, 16>, kOutputs> noteCount{};
std::atomic<uintptr_t> window{0};

uintptr_t Output(int32_t Port) {
    return Port >= 0 && Port < kOutputs ? outputs[Port].load() : 0;
}

// Real MIDI statuses only: the program's own (sound-card parameters, sample notes, muted
// notes) reach no wire.
bool IsDeviceMessage(uint32_t Msg) {
    uint32_t s = Msg & 0xFF;
    return s >= 0x80 && s != 0xF0 && s != 0xF7;
}

void Send(int32_t Port, uint32_t Msg, bool Count) {
    uintptr_t out = Output(Port);
    if (!out || !IsDeviceMessage(Msg)) return;
    tv_midiOutShortMsg(out, Msg & 0xFFFFFF);
    if (!Count) return;
    uint32_t kind = Msg & 0xF0, channel = Msg & 0x0F, note = (Msg >> 8) & 0x7F;
    uint32_t velocity = (Msg >> 16) & 0xFF;
    auto& count = noteCount[Port][channel][note];
    if (kind == 0x90 && velocity > 0) {
        if (count.load() < 255) count.fetch_add(1);
    } else if (kind == 0x80 || kind == 0x90) {
        if (count.load() > 0) count.fetch_sub(1);
    }
}

// ---- the clock ----------------------------------------------------------------------------

// What a run is: written under a sequence count by the few entries that change it, read
// without waiting by every other.
struct TClock {
    int64_t Running = 0, Recording = 0;
    int64_t AnchorUs = 0, AnchorTick = 0, AnchorRem = 0;
    int64_t Tempo = 500000; // microseconds per quarter note
    int64_t StartPos = 0, LoopStart = 0, LoopEnd = 0, LoopOn = 0;
    int64_t Precount = 0; // ticks of precount before StartPos
    int64_t RunId = 0;

    int64_t TicksAt(int64_t NowUs) const {
        if (!Running) return AnchorTick;
        int64_t elapsed = std::max<int64_t>(0, NowUs - AnchorUs);
        return AnchorTick + (AnchorRem + elapsed * kTicksPerQuarter) / Tempo;
    }
    int64_t DueUs(int64_t Tick) const {
        return AnchorUs + CeilDiv((Tick - AnchorTick) * Tempo - AnchorRem, kTicksPerQuarter);
    }
    void Reanchor(int64_t NowUs) {
        if (Running) {
            int64_t total = AnchorRem + std::max<int64_t>(0, NowUs - AnchorUs) * kTicksPerQuarter;
            AnchorTick += total / Tempo;
            AnchorRem = total % Tempo;
        }
        AnchorUs = NowUs;
    }
    bool Looping() const { return LoopOn && LoopStart < LoopEnd && StartPos < LoopEnd; }
    // The song position of a tick of the run's own count, and the loop passes behind it.
    int64_t Position(int64_t Tick, int64_t* Loops = nullptr) const {
        if (Loops) *Loops = 0;
        if (Tick < StartPos) return StartPos; // the precount
        if (!Looping() || Tick <= LoopEnd) return Tick;
        int64_t span = LoopEnd - LoopStart;
        int64_t k = CeilDiv(Tick - LoopEnd, span);
        if (Loops) *Loops = k;
        return Tick - k * span;
    }
};

constexpr int kClockFields = sizeof(TClock) / sizeof(int64_t);
std::array<std::atomic<int64_t>, kClockFields> clockFields{};
std::atomic<uint32_t> clockSeq{0};
std::atomic_flag clockWriting = ATOMIC_FLAG_INIT;

TClock ReadClock() {
    for (;;) {
        uint32_t s1 = clockSeq.load(std::memory_order_acquire);
        if (s1 & 1) continue;
        TClock c;
        auto* f = reinterpret_cast<int64_t*>(&c);
        for (int i = 0; i < kClockFields; ++i)
            f[i] = clockFields[i].load(std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_acquire);
        if (clockSeq.load(std::memory_order_relaxed) == s1) return c;
    }
}

template <class F> void ChangeClock(F Change) {
    while (clockWriting.test_and_set(std::memory_order_acquire)) {
    }
    TClock c = ReadClock();
    Change(c);
    clockSeq.fetch_add(1, std::memory_order_acq_rel);
    auto* f = reinterpret_cast<const int64_t*>(&c);
    for (int i = 0; i < kClockFields; ++i)
        clockFields[i].store(f[i], std::memory_order_relaxed);
    clockSeq.fetch_add(1, std::memory_order_release);
    clockWriting.clear(std::memory_order_release);
}

int64_t PositionNow(int64_t* Loops = nullptr) {
    TClock c = ReadClock();
    return c.Position(c.TicksAt(tv_MidiClockUs()), Loops);
}

// ---- settings -----------------------------------------------------------------------------

std::atomic<int32_t> clickActive{0}, clickMidi{0}, precountOn{0}, precountBeats{0};
std::atomic<int32_t> clickChannel{9}, clickDevice{0}, clickNote{36};
std::atomic<int32_t> quantizeOn{0}, quantizeValue{0};
std::atomic<int32_t> syncOn{0}, syncDevice{0}, syncFps{25};
std::atomic<int64_t> mtcPos{0};

// ---- events to play (one producer: the GUI thread; one consumer: the player) --------------

struct TQueued {
    int32_t Delta;
    int32_t Port;
    uint32_t Msg;
    uint32_t Value; // a 32-bit value event's value
    int32_t Len;    // system exclusive: bytes in Data
    uint32_t Epoch; // events of a run that was stopped are dropped
    uint8_t Data[kSysexMax];
};
std::array<TQueued, kQueueSize> queue;
std::atomic<uint32_t> queueHead{0}, queueTail{0};
std::atomic<uint32_t> epoch{0};
std::atomic<bool> wantRoom{false};

// ---- recorded input (one producer: the input callback; one consumer: the GUI thread) -------

struct TRecorded {
    int32_t Time;
    uint32_t Msg;
    uint32_t Take;
};
std::array<TRecorded, kRecordSize> recorded;
std::atomic<uint32_t> recordHead{0}, recordTail{0};
std::atomic<uint32_t> take{0};
std::array<int32_t, 128> noteShift{}; // the quantize shift of each held note (input thread)

// ---- the player thread --------------------------------------------------------------------

class TPlayer {
public:
    ~TPlayer() { Stop(); }
    void Begin() {
        if (thread_.joinable()) return;
        quit_ = false;
        waker_ = tv_CreateWaker();
        thread_ = std::thread([this] { Run(); });
    }
    void Stop() {
        if (!thread_.joinable()) return;
        quit_ = true;
        tv_Wake(waker_);
        thread_.join();
        tv_DestroyWaker(waker_);
        waker_ = 0;
    }
    // Something changed: the player looks again now.
    void Wake() {
        requests_.fetch_add(1);
        if (waker_) tv_Wake(waker_);
    }
    // Until the player has seen every change made so far and sleeps on the clock again.
    void Settle() {
        if (!thread_.joinable()) return;
        uint64_t target = requests_.load();
        for (int i = 0; i < 2000000 && !(done_.load() >= target && sleeping_.load()); ++i)
            std::this_thread::yield();
        for (int i = 0; i < 2000000 && sleeping_.load() && !tv_MidiClockSleeperBy(sleepUs_.load());
             ++i)
            std::this_thread::yield();
    }

private:
    void Run();
    int64_t PlayEvents(const TClock& C, int64_t Tick);
    int64_t Clicks(const TClock& C, int64_t Tick);
    int64_t TimeCode(const TClock& C, int64_t NowUs);
    int64_t NextClick(const TClock& C, int64_t From) const;

    std::thread thread_;
    std::atomic<bool> quit_{false};
    uintptr_t waker_ = 0;
    std::atomic<uint64_t> requests_{0}, done_{0};
    std::atomic<bool> sleeping_{false};
    std::atomic<int64_t> sleepUs_{0};
    // Run state of the player thread.
    int64_t runId_ = -1;
    int64_t cursor_ = 0; // the tick of the last event played (deltas count from it)
    int64_t nextPostUs_ = kNever;
    int64_t clickOn_ = kNever, clickOff_ = kNever;
    uint32_t clickMsg_ = 0;
    int32_t clickPort_ = -1;
    int64_t quarterFrame_ = 0, timeCodeUs_ = 0, timeCodeFrames_ = 0;
};

TPlayer player;

void TPlayer::Run() {
    while (!quit_.load()) {
        uint64_t seen = requests_.load();
        int64_t now = tv_MidiClockUs();
        TClock c = ReadClock();
        int64_t next = kNever;
        if (c.Running) {
            if (c.RunId != runId_) {
                runId_ = c.RunId;
                cursor_ = c.StartPos;
                nextPostUs_ = c.AnchorUs + kPostEveryUs;
                clickOff_ = kNever;
                clickOn_ = NextClick(c, c.AnchorTick);
                quarterFrame_ = 0;
                timeCodeUs_ = c.DueUs(c.StartPos);
                int32_t fps = std::max(1, syncFps.load());
                timeCodeFrames_ = mtcPos.load() * c.Tempo * fps / (kTicksPerQuarter * 1000000);
            }
            int64_t tick = c.TicksAt(now);
            next = std::min(next, PlayEvents(c, tick));
            next = std::min(next, Clicks(c, tick));
            next = std::min(next, TimeCode(c, now));
            if (now >= nextPostUs_) {
                tv_PostMessage(window.load(), WM_POSITION, 0,
                               static_cast<intptr_t>(c.Position(tick)));
                nextPostUs_ += kPostEveryUs * ((now - nextPostUs_) / kPostEveryUs + 1);
            }
            next = std::min(next, nextPostUs_);
        } else {
            runId_ = c.RunId;
            // Events of a stopped run go; the next run's wait behind them.
            uint32_t head = queueHead.load();
            while (head != queueTail.load(std::memory_order_acquire) &&
                   queue[head % kQueueSize].Epoch != epoch.load())
                queueHead.store(++head, std::memory_order_release);
        }
        if (wantRoom.load() && queueTail.load() - queueHead.load() <= kQueueSize / 2 &&
            wantRoom.exchange(false))
            tv_PostMessage(window.load(), WM_ROOM, 0, 0);
        done_.store(seen);
        // Stopped: nothing falls due; a change wakes the player.
        int64_t until = next == kNever ? now + int64_t(3600) * 1000000 : next;
        sleepUs_.store(until);
        sleeping_.store(true);
        tv_MidiClockSleepUntil(until, waker_);
        sleeping_.store(false);
    }
}

int64_t TPlayer::PlayEvents(const TClock& C, int64_t Tick) {
    uint32_t head = queueHead.load();
    while (head != queueTail.load(std::memory_order_acquire)) {
        const TQueued& e = queue[head % kQueueSize];
        if (e.Epoch == epoch.load()) {
            int64_t due = cursor_ + e.Delta;
            if (due > Tick) return C.DueUs(due);
            cursor_ = due;
            if ((e.Msg & 0xF0) != 0xF0) {
                Send(e.Port, e.Msg, true);
            } else if (((e.Msg >> 8) & 0xFF) == 1) {
                // A 32-bit value goes out as four controllers on the event's channel.
                uint32_t b = 0xB0 | (e.Msg & 0x0F), v = e.Value;
                Send(e.Port, b | (99u << 8) | ((v & 0xFF) << 16), false);
                Send(e.Port, b | (98u << 8) | (((v >> 8) & 0xFF) << 16), false);
                Send(e.Port, b | (6u << 8) | (((v >> 16) & 0xFF) << 16), false);
                Send(e.Port, b | (38u << 8) | (((v >> 24) & 0xFF) << 16), false);
            } else if (uintptr_t out = Output(e.Port); out && e.Len > 0) {
                tv_midiOutLongMsg(out, e.Data, static_cast<uint32_t>(e.Len));
            }
        }
        queueHead.store(++head, std::memory_order_release);
    }
    return kNever;
}

// The next click at or after tick From of the run's count: precount beats from the run's
// first tick, then every beat of the song, each loop pass from the left locator.
int64_t TPlayer::NextClick(const TClock& C, int64_t From) const {
    int64_t first = C.StartPos - C.Precount;
    if (From < C.StartPos) {
        int64_t b = first + CeilDiv(From - first, kTicksPerQuarter) * kTicksPerQuarter;
        if (b < C.StartPos) return b;
        From = C.StartPos;
    }
    auto beat = [](int64_t P) { return CeilDiv(P, kTicksPerQuarter) * kTicksPerQuarter; };
    if (!C.Looping()) return beat(From);
    if (From < C.LoopEnd) {
        int64_t b = beat(From);
        if (b < C.LoopEnd) return b;
        From = C.LoopEnd;
    }
    int64_t span = C.LoopEnd - C.LoopStart;
    int64_t passStart = C.LoopEnd + FloorDiv(From - C.LoopEnd, span) * span;
    int64_t b = beat(C.LoopStart + (From - passStart));
    if (b < C.LoopEnd) return passStart + b - C.LoopStart;
    b = beat(C.LoopStart);
    return b < C.LoopEnd ? passStart + span + b - C.LoopStart : kNever;
}

int64_t TPlayer::Clicks(const TClock& C, int64_t Tick) {
    if (clickOff_ <= Tick) {
        Send(clickPort_, clickMsg_, false);
        clickOff_ = kNever;
    }
    while (clickOn_ <= Tick) {
        bool precount = clickOn_ < C.StartPos;
        if (clickMidi.load() && (precount ? precountOn.load() != 0 : clickActive.load() != 0)) {
            uint32_t ch = static_cast<uint32_t>(clickChannel.load()) & 0x0F;
            uint32_t note = static_cast<uint32_t>(clickNote.load()) & 0x7F;
            clickPort_ = clickDevice.load();
            Send(clickPort_, 0x90 | ch | (note << 8) | (63u << 16), false);
            clickMsg_ = 0x80 | ch | (note << 8);
            clickOff_ = clickOn_ + kTicksPerQuarter / 2;
        }
        clickOn_ = NextClick(C, clickOn_ + 1);
    }
    int64_t next = kNever;
    if (clickOn_ != kNever) next = std::min(next, C.DueUs(clickOn_));
    if (clickOff_ != kNever) next = std::min(next, C.DueUs(clickOff_));
    return next;
}

// MIDI time code: four quarter frames a frame, eight of them telling the time of the frame
// pair they begin, counted from the position "SetupMTC" gave.
int64_t TPlayer::TimeCode(const TClock& /*C*/, int64_t NowUs) {
    if (!syncOn.load()) return kNever;
    int32_t fps = syncFps.load();
    int32_t rate = fps == 24 ? 0 : fps == 25 ? 1 : fps == 29 ? 2 : 3;
    int64_t frames = fps == 24 || fps == 25 ? fps : 30;
    auto due = [&](int64_t N) { return timeCodeUs_ + N * 1000000 / (4 * frames); };
    int32_t port = syncDevice.load();
    while (due(quarterFrame_) <= NowUs) {
        int64_t piece = quarterFrame_ % 8;
        int64_t f = timeCodeFrames_ + (quarterFrame_ / 8) * 2;
        int64_t ff = f % frames, secs = f / frames;
        int64_t ss = secs % 60, mm = secs / 60 % 60, hh = secs / 3600 % 24;
        int64_t value[8] = {ff & 15, ff >> 4, ss & 15, ss >> 4,
                            mm & 15, mm >> 4, hh & 15, ((hh >> 4) & 1) | (rate << 1)};
        Send(port, 0xF1 | static_cast<uint32_t>(((piece << 4) | value[piece]) << 8), false);
        ++quarterFrame_;
    }
    return due(quarterFrame_);
}

void Begin(bool Recording, Words W, int Count) {
    int64_t pos = Arg(W, Count, 0);
    int64_t precount = Recording && precountOn.load() ? int64_t(precountBeats.load()) * 240 : 0;
    int64_t now = tv_MidiClockUs();
    if (Recording) take.fetch_add(1);
    ChangeClock([&](TClock& c) {
        c.Running = 1;
        c.Recording = Recording;
        c.StartPos = pos;
        c.LoopStart = Arg(W, Count, 1);
        c.LoopEnd = Arg(W, Count, 2);
        c.LoopOn = Arg(W, Count, 3) != 0;
        c.Precount = std::max<int64_t>(0, precount);
        c.AnchorTick = pos - c.Precount;
        c.AnchorRem = 0;
        c.AnchorUs = now;
        ++c.RunId;
    });
    player.Wake();
}

uint32_t Push(int32_t Port, int32_t Time, uint32_t Msg, uint32_t Value, const uint8_t* Data,
              int32_t Len) {
    uint32_t tail = queueTail.load(std::memory_order_relaxed);
    uint32_t head = queueHead.load(std::memory_order_acquire);
    if (tail - head >= kQueueSize) {
        wantRoom.store(true);
        return 0;
    }
    TQueued& e = queue[tail % kQueueSize];
    e.Delta = std::max(0, Time);
    e.Port = Port;
    e.Msg = Msg;
    e.Value = Value;
    e.Len = std::clamp(Len, 0, kSysexMax);
    e.Epoch = epoch.load();
    if (Data && e.Len > 0) std::memcpy(e.Data, Data, static_cast<size_t>(e.Len));
    queueTail.store(tail + 1, std::memory_order_release);
    // The player waits for the head event; only a first one can fall due earlier.
    if (tail == head) player.Wake();
    return 1;
}

} // namespace

// ---- entries ------------------------------------------------------------------------------

ENGINE_ENTRY MidiSetup(Words, int) {
    // A fresh start: the library may have served an earlier MIDI object.
    ChangeClock([](TClock& c) {
        int64_t run = c.RunId + 1;
        c = TClock{};
        c.RunId = run;
    });
    epoch.fetch_add(1);
    take.fetch_add(1);
    noteShift.fill(0);
    for (auto* setting : {&clickActive, &clickMidi, &precountOn, &precountBeats, &clickDevice,
                          &quantizeOn, &quantizeValue, &syncOn, &syncDevice})
        setting->store(0);
    clickChannel.store(9);
    clickNote.store(36);
    syncFps.store(25);
    mtcPos.store(0);
    window.store(0);
    wantRoom.store(false);
    for (auto& out : noteCount)
        for (auto& channel : out)
            for (auto& note : channel)
                note.store(0);
    player.Begin();
    return 0;
}

ENGINE_ENTRY OpenMidi(Words, int) {
    int n = std::min<int>(kOutputs, static_cast<int>(tv_midiOutGetNumDevs()));
    for (int i = 0; i < n; ++i)
        if (!outputs[i].load()) outputs[i].store(tv_midiOutOpen(static_cast<uint32_t>(i)));
    return 0;
}

ENGINE_ENTRY OutputActive(Words W, int N) {
    return Output(Arg(W, N, 0)) ? 1 : 0;
}

ENGINE_ENTRY CloseMidi(Words, int) {
    player.Stop();
    for (auto& out : outputs)
        tv_midiOutClose(out.exchange(0));
    return 0;
}

ENGINE_ENTRY SetWnd(Words W, int N) {
    window.store(static_cast<uint32_t>(Arg(W, N, 0)));
    return 0;
}

ENGINE_ENTRY OpenOutDev(Words W, int N) {
    int32_t i = Arg(W, N, 0);
    if (i < 0 || i >= kOutputs || i >= static_cast<int32_t>(tv_midiOutGetNumDevs())) return 0;
    if (!outputs[i].load()) outputs[i].store(tv_midiOutOpen(static_cast<uint32_t>(i)));
    return outputs[i].load() ? 1 : 0;
}

ENGINE_ENTRY CloseOutDev(Words W, int N) {
    int32_t i = Arg(W, N, 0);
    if (i < 0 || i >= kOutputs || !outputs[i].load()) return 0;
    tv_midiOutClose(outputs[i].exchange(0));
    return 1;
}

ENGINE_ENTRY DirectMidiOut(Words W, int N) {
    Send(Arg(W, N, 0), static_cast<uint32_t>(Arg(W, N, 1)), false);
    return 0;
}

ENGINE_ENTRY QueueMidiOut(Words W, int N) {
    return DirectMidiOut(W, N);
}

ENGINE_ENTRY PushMidiOut(Words W, int N) {
    return Push(Arg(W, N, 0), Arg(W, N, 1), static_cast<uint32_t>(Arg(W, N, 2)), 0, nullptr, 0);
}

// Port, Time, Msg, Block (16:16 pointer), Length: a 32-bit value event carries its value in
// Length and an empty block.
ENGINE_ENTRY PushSysexOut(Words W, int N) {
    if (N < 10) return 0;
    uint32_t msg = static_cast<uint32_t>(Arg(W, N, 2));
    uint32_t block = (uint32_t(W[6]) << 16) | W[7];
    int32_t len = static_cast<int32_t>((uint32_t(W[8]) << 16) | W[9]);
    if (((msg >> 8) & 0xFF) == 1)
        return Push(Arg(W, N, 0), Arg(W, N, 1), msg, static_cast<uint32_t>(len), nullptr, 0);
    const auto* data = static_cast<const uint8_t*>(tv_MapSL(block));
    if (!data || len <= 0) return 0;
    return Push(Arg(W, N, 0), Arg(W, N, 1), msg, 0, data, std::min(len, kSysexMax));
}

ENGINE_ENTRY SetupMTC(Words W, int N) {
    mtcPos.store(Arg(W, N, 0));
    return 0;
}

ENGINE_ENTRY Start(Words W, int N) {
    Begin(false, W, N);
    return 0;
}

ENGINE_ENTRY Rec(Words W, int N) {
    Begin(true, W, N);
    return 0;
}

ENGINE_ENTRY StopMidi(Words, int) {
    int64_t now = tv_MidiClockUs();
    // Everything pushed so far belongs to this run.
    epoch.fetch_add(1);
    ChangeClock([&](TClock& c) {
        c.AnchorTick = c.TicksAt(now);
        c.AnchorRem = 0;
        c.AnchorUs = now;
        c.Running = 0;
        c.Recording = 0;
        ++c.RunId;
    });
    player.Wake();
    return 0;
}

ENGINE_ENTRY GetPos(Words, int) {
    return static_cast<uint32_t>(PositionNow());
}

ENGINE_ENTRY GetTotalPos(Words, int) {
    TClock c = ReadClock();
    return static_cast<uint32_t>(c.TicksAt(tv_MidiClockUs()));
}

ENGINE_ENTRY GetLoopCount(Words, int) {
    int64_t loops = 0;
    PositionNow(&loops);
    return static_cast<uint32_t>(loops);
}

namespace {
// The recorded list from its first event of the present take on.
bool NextRecorded(uint32_t& Head) {
    Head = recordHead.load();
    while (Head != recordTail.load(std::memory_order_acquire)) {
        if (recorded[Head % kRecordSize].Take == take.load()) return true;
        recordHead.store(++Head, std::memory_order_release);
    }
    return false;
}
} // namespace

ENGINE_ENTRY MoreMidiIn(Words, int) {
    uint32_t head;
    return NextRecorded(head) ? 1 : 0;
}

ENGINE_ENTRY GetMidiInTime(Words, int) {
    uint32_t head;
    return NextRecorded(head) ? static_cast<uint32_t>(recorded[head % kRecordSize].Time) : 0;
}

ENGINE_ENTRY GetMidiInData(Words, int) {
    uint32_t head;
    if (!NextRecorded(head)) return 0;
    uint32_t msg = recorded[head % kRecordSize].Msg;
    recordHead.store(head + 1, std::memory_order_release);
    return msg;
}

// Input while recording, stamped with the song position; notes quantized as the input port
// quantizes (an exact half goes back), each note-off moved as far as its note-on.
ENGINE_ENTRY RecordEvent(Words W, int N) {
    TClock c = ReadClock();
    if (!c.Running || !c.Recording) return 0;
    uint32_t msg = static_cast<uint32_t>(Arg(W, N, 0));
    int64_t time = c.Position(c.TicksAt(tv_MidiClockUs()));
    uint32_t kind = msg & 0xF0, note = (msg >> 8) & 0x7F, velocity = (msg >> 16) & 0xFF;
    int32_t q = quantizeValue.load();
    if (kind == 0x90 && velocity > 0) {
        int64_t shift = 0;
        if (quantizeOn.load() && q > 0) {
            int64_t r = time % q;
            if (r != 0) shift = r <= q / 2.0 ? -r : q - r;
        }
        noteShift[note] = static_cast<int32_t>(shift);
        time += shift;
    } else if (kind == 0x80 || kind == 0x90) {
        time += noteShift[note];
        noteShift[note] = 0;
    }
    uint32_t tail = recordTail.load(std::memory_order_relaxed);
    if (tail - recordHead.load(std::memory_order_acquire) >= kRecordSize) return 0;
    recorded[tail % kRecordSize] = {static_cast<int32_t>(std::max<int64_t>(0, time)), msg,
                                    take.load()};
    recordTail.store(tail + 1, std::memory_order_release);
    return 0;
}

ENGINE_ENTRY SetTempo(Words W, int N) {
    int64_t bpm = std::clamp(Arg(W, N, 0), 10, 250);
    int64_t tempo = (60000000 + bpm / 2) / bpm;
    int64_t now = tv_MidiClockUs();
    ChangeClock([&](TClock& c) {
        c.Reanchor(now);
        if (c.Tempo != tempo) c.AnchorRem = c.AnchorRem * tempo / c.Tempo;
        c.Tempo = tempo;
    });
    player.Wake();
    return 0;
}

ENGINE_ENTRY Metronom(Words W, int N) {
    clickActive.store(Arg(W, N, 0));
    // Argument 1 is the PC speaker, which this engine does not have.
    clickMidi.store(Arg(W, N, 2));
    precountOn.store(Arg(W, N, 3));
    precountBeats.store(std::max(0, Arg(W, N, 4)));
    clickChannel.store(Arg(W, N, 5));
    clickDevice.store(Arg(W, N, 6));
    clickNote.store(Arg(W, N, 7));
    player.Wake();
    return 0;
}

// The input port has already echoed and transposed what it records here.
ENGINE_ENTRY SetMThru(Words, int) {
    return 0;
}

ENGINE_ENTRY SetTranspose(Words, int) {
    return 0;
}

ENGINE_ENTRY SetQ(Words W, int N) {
    quantizeOn.store(Arg(W, N, 0));
    quantizeValue.store(Arg(W, N, 1));
    return 0;
}

ENGINE_ENTRY SetSync(Words W, int N) {
    syncOn.store(Arg(W, N, 0));
    syncDevice.store(Arg(W, N, 1));
    syncFps.store(Arg(W, N, 2) > 0 ? Arg(W, N, 2) : 25);
    player.Wake();
    return 0;
}

// Ends what the player sounded, once per counted note on every output, then sends all
// notes off and all sound off on the channels and ports asked for (-1: all).
ENGINE_ENTRY AllNotesOff(Words W, int N) {
    int32_t channel = Arg(W, N, 0), port = Arg(W, N, 1);
    for (int p = 0; p < kOutputs; ++p)
        for (uint32_t c = 0; c < 16; ++c)
            for (uint32_t n = 0; n < 128; ++n) {
                auto& count = noteCount[p][c][n];
                if (count.load() == 0) continue;
                count.fetch_sub(1);
                Send(p, 0x90 | c | (n << 8), false);
            }
    int outs = std::min<int>(kOutputs, static_cast<int>(tv_midiOutGetNumDevs()));
    int c0 = channel == -1 ? 0 : channel, c1 = channel == -1 ? 15 : channel;
    int p0 = port == -1 ? 0 : port, p1 = port == -1 ? outs - 1 : port;
    for (int c = std::max(c0, 0); c <= std::min(c1, 15); ++c)
        for (int p = p0; p <= p1; ++p) {
            Send(p, 0xB0 | static_cast<uint32_t>(c) | (123u << 8), false);
            Send(p, 0xB0 | static_cast<uint32_t>(c) | (120u << 8), false);
        }
    return 0;
}

ENGINE_ENTRY WaitMS(Words W, int N) {
    tv_MidiClockSleepUntil(tv_MidiClockUs() + int64_t(std::max(0, Arg(W, N, 0))) * 1000, 0);
    return 0;
}

// Not an entry of the engine: the program's tests call it to wait until the player has taken
// in every change made so far and sleeps on the clock again.
extern "C" __attribute__((visibility("default"))) void MidiEngineSettle(void) {
    player.Settle();
}
