#include "platform/core/messages.h"

#include "platform/core/clock.h"
#include "platform/core/timers.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <memory>
#include <mutex>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>
#include <sys/eventfd.h>

namespace platform {
namespace {

struct Message {
    HWND h;
    UINT msg;
    WPARAM w;
    LPARAM l;
};

// Bounded multi-producer queue with one consumer (the GUI thread). Each cell carries a sequence
// number that tells producers and the consumer whose turn it is, so producers never wait for
// each other beyond a compare-and-swap, and one producer's posts stay in its order.
class PostQueue {
public:
    PostQueue() {
        for (std::size_t i = 0; i < kPostQueueSize; ++i)
            cells_[i].seq.store(i, std::memory_order_relaxed);
    }

    bool Push(const Message& m) {
        std::size_t pos = tail_.load(std::memory_order_relaxed);
        for (;;) {
            Cell& c = cells_[pos & kMask];
            std::size_t seq = c.seq.load(std::memory_order_acquire);
            auto dif = static_cast<std::intptr_t>(seq) - static_cast<std::intptr_t>(pos);
            if (dif == 0) {
                if (tail_.compare_exchange_weak(pos, pos + 1, std::memory_order_relaxed)) {
                    c.msg = m;
                    c.seq.store(pos + 1, std::memory_order_release);
                    return true;
                }
            } else if (dif < 0) {
                return false;
            } else {
                pos = tail_.load(std::memory_order_relaxed);
            }
        }
    }

    // Consumer only. Stops at limit (a position taken from Tail()).
    bool Pop(Message& m, std::size_t limit) {
        std::size_t pos = head_;
        if (static_cast<std::intptr_t>(limit - pos) <= 0) return false;
        Cell& c = cells_[pos & kMask];
        if (c.seq.load(std::memory_order_acquire) != pos + 1) return false;
        m = c.msg;
        head_ = pos + 1;
        c.seq.store(pos + kPostQueueSize, std::memory_order_release);
        return true;
    }

    std::size_t Tail() const { return tail_.load(std::memory_order_acquire); }

private:
    static_assert((kPostQueueSize & (kPostQueueSize - 1)) == 0, "queue size must be a power of 2");
    static constexpr std::size_t kMask = kPostQueueSize - 1;
    struct Cell {
        std::atomic<std::size_t> seq;
        Message msg;
    };
    std::array<Cell, kPostQueueSize> cells_;
    alignas(64) std::atomic<std::size_t> tail_{0};
    alignas(64) std::size_t head_ = 0;
};

// A cross-thread send; it lives on the sender's stack while the sender waits.
struct PendingSend {
    Message m;
    LRESULT result = 0;
    std::exception_ptr error;
    bool done = false;
    PendingSend* next = nullptr;
};

struct State {
    PostQueue queue;
    std::atomic<std::uint64_t> dropped{0};
    std::uint64_t reported = 0;  // GUI thread
    DropReporter reporter;       // GUI thread

    std::atomic<std::thread::id> gui{};

    std::mutex windowsMutex;
    std::unordered_map<HWND, std::shared_ptr<const WndProc>> windows;
    HWND nextHandle = 0x10000;

    std::mutex sendMutex;
    std::condition_variable sendDone;  // senders wait here
    std::condition_variable guiWake;   // the GUI thread waits here in WaitWhile
    PendingSend* sendHead = nullptr;
    PendingSend* sendTail = nullptr;
    std::atomic<int> sendsWaiting{0};

    PaintHook paint = nullptr;  // GUI thread

    // Readable while posts or sends wait; signalled tells whether it was written since the pump
    // last cleared it, so a burst of posts costs one write.
    int eventFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    std::atomic<bool> signalled{false};
};

State& S() {
    static State s;
    return s;
}
// Built before main, so the first post from a real-time thread does not construct it.
[[maybe_unused]] State& g_early = S();

void Signal() {
    State& s = S();
    if (!s.signalled.exchange(true) && s.eventFd >= 0) {
        std::uint64_t one = 1;
        [[maybe_unused]] ssize_t n = write(s.eventFd, &one, sizeof one);
    }
}

void ClearSignal() {
    State& s = S();
    if (s.signalled.exchange(false) && s.eventFd >= 0) {
        std::uint64_t v;
        [[maybe_unused]] ssize_t n = read(s.eventFd, &v, sizeof v);
    }
}

void BindGuiIfUnbound() {
    std::thread::id none{};
    S().gui.compare_exchange_strong(none, std::this_thread::get_id());
}

std::shared_ptr<const WndProc> FindProc(HWND h) {
    State& s = S();
    std::lock_guard lock(s.windowsMutex);
    auto it = s.windows.find(h);
    return it == s.windows.end() ? nullptr : it->second;
}

LRESULT Dispatch(const Message& m) {
    auto proc = FindProc(m.h);
    return proc ? (*proc)(m.h, m.msg, m.w, m.l) : 0;
}

void ReportDrops() {
    State& s = S();
    std::uint64_t total = s.dropped.load(std::memory_order_relaxed);
    if (total == s.reported) return;
    std::uint64_t newly = total - s.reported;
    s.reported = total;
    if (s.reporter) {
        s.reporter(newly, total);
    } else {
        std::fprintf(stderr, "tolvern: message queue full, %llu messages dropped (%llu in all)\n",
                     static_cast<unsigned long long>(newly), static_cast<unsigned long long>(total));
    }
}

bool ValidHandle(HWND h) { return h != 0 && h != -1; }

} // namespace

void SetGuiThread() { S().gui.store(std::this_thread::get_id()); }

bool IsGuiThread() { return S().gui.load() == std::this_thread::get_id(); }

HWND RegisterWindowProc(WndProc proc) {
    BindGuiIfUnbound();
    State& s = S();
    std::lock_guard lock(s.windowsMutex);
    HWND h = s.nextHandle++;
    s.windows.emplace(h, std::make_shared<const WndProc>(std::move(proc)));
    return h;
}

void UnregisterWindowProc(HWND h) {
    State& s = S();
    std::shared_ptr<const WndProc> gone;  // destroyed outside the lock
    std::lock_guard lock(s.windowsMutex);
    auto it = s.windows.find(h);
    if (it == s.windows.end()) return;
    gone = std::move(it->second);
    s.windows.erase(it);
}

bool IsWindow(HWND h) { return ValidHandle(h) && FindProc(h) != nullptr; }

bool PostMessage(HWND h, UINT msg, WPARAM w, LPARAM l) {
    if (!ValidHandle(h)) return false;
    State& s = S();
    if (!s.queue.Push(Message{h, msg, w, l})) {
        s.dropped.fetch_add(1, std::memory_order_relaxed);
        Signal();  // so that the drop gets reported soon
        return false;
    }
    Signal();
    return true;
}

LRESULT SendMessage(HWND h, UINT msg, WPARAM w, LPARAM l) {
    if (!ValidHandle(h)) return 0;
    State& s = S();
    std::thread::id gui = s.gui.load();
    if (gui == std::this_thread::get_id() || gui == std::thread::id{}) return Dispatch({h, msg, w, l});
    if (!FindProc(h)) return 0;

    PendingSend p;
    p.m = Message{h, msg, w, l};
    {
        std::unique_lock lock(s.sendMutex);
        if (s.sendTail)
            s.sendTail->next = &p;
        else
            s.sendHead = &p;
        s.sendTail = &p;
        s.sendsWaiting.fetch_add(1);
        s.guiWake.notify_all();
        Signal();
        s.sendDone.wait(lock, [&] { return p.done; });
    }
    if (p.error) std::rethrow_exception(p.error);
    return p.result;
}

int ServeSends() {
    State& s = S();
    if (!IsGuiThread()) return 0;
    int served = 0;
    while (s.sendsWaiting.load() > 0) {
        PendingSend* p;
        {
            std::lock_guard lock(s.sendMutex);
            p = s.sendHead;
            if (!p) break;
            s.sendHead = p->next;
            if (!s.sendHead) s.sendTail = nullptr;
            s.sendsWaiting.fetch_sub(1);
        }
        LRESULT result = 0;
        std::exception_ptr error;
        try {
            result = Dispatch(p->m);
        } catch (...) {
            error = std::current_exception();
        }
        {
            std::lock_guard lock(s.sendMutex);
            p->result = result;
            p->error = error;
            p->done = true;
        }
        s.sendDone.notify_all();
        ++served;
    }
    return served;
}

int PumpMessages() {
    BindGuiIfUnbound();
    if (!IsGuiThread()) return 0;
    State& s = S();
    ClearSignal();
    int handled = ServeSends();
    // Only what was posted before this call: a handler that posts again must not keep us here.
    const std::size_t limit = s.queue.Tail();
    Message m;
    while (s.queue.Pop(m, limit)) {
        if (auto proc = FindProc(m.h)) {
            (*proc)(m.h, m.msg, m.w, m.l);
            ++handled;
        }
        handled += ServeSends();
    }
    if (s.paint) handled += s.paint();
    handled += FireDueTimers();
    ReportDrops();
    return handled;
}

bool WaitWhile(const std::function<bool()>& pred, std::uint32_t timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const bool gui = IsGuiThread();
    State& s = S();
    for (int spins = 0;; ++spins) {
        if (gui) ServeSends();
        if (!pred()) return true;
        if (timeoutMs != kInfinite && Clock::now() - start >= std::chrono::milliseconds(timeoutMs))
            return false;
        if (spins < 50) {
            std::this_thread::yield();
        } else if (gui) {
            std::unique_lock lock(s.sendMutex);
            s.guiWake.wait_for(lock, std::chrono::microseconds(200),
                               [&] { return s.sendsWaiting.load() > 0; });
        } else {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
}

void WaitMessage(std::uint32_t maxMs) {
    State& s = S();
    std::uint32_t wait = maxMs;
    std::uint32_t due;
    if (!IsVirtualClock() && NextTimerDue(due)) {
        std::int32_t left = static_cast<std::int32_t>(due - TimeGetTime());
        wait = left <= 0 ? 0 : std::min<std::uint32_t>(wait, static_cast<std::uint32_t>(left));
    }
    ServeSends();
    if (wait == 0 || s.signalled.load()) return;
    pollfd fd{s.eventFd, POLLIN, 0};
    poll(&fd, 1, wait > 0x7FFFFFFF ? -1 : static_cast<int>(wait));
    ServeSends();
}

void SetPaintHook(PaintHook hook) { S().paint = hook; }

int MessageEventFd() { return S().eventFd; }

std::uint64_t DroppedMessageCount() { return S().dropped.load(std::memory_order_relaxed); }

void SetDropReporter(DropReporter reporter) { S().reporter = std::move(reporter); }

} // namespace platform
