#include "platform/audio/sync.h"

#include "platform/core/messages.h"

#include <chrono>
#include <climits>
#include <ctime>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

namespace {

// Every Set moves this word on and wakes its waiters; a waiter that found no event set sleeps
// on the value it saw, so a Set between its look and its sleep is never missed.
std::atomic<std::uint32_t> g_epoch{0};
std::atomic<int> g_waiters{0};

void FutexWait(std::atomic<std::uint32_t>& Word, std::uint32_t Seen, std::uint32_t timeoutMs) {
    timespec ts{};
    timespec* limit = nullptr;
    if (timeoutMs != 0xFFFFFFFF) {
        ts.tv_sec = timeoutMs / 1000;
        ts.tv_nsec = static_cast<long>(timeoutMs % 1000) * 1000000L;
        limit = &ts;
    }
    syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&Word), FUTEX_WAIT_PRIVATE, Seen, limit,
            nullptr, 0);
}

} // namespace

void TAutoEvent::Set() {
    state_.store(1, std::memory_order_release);
    g_epoch.fetch_add(1); // sequentially consistent with the waiter's count and look
    if (g_waiters.load() > 0)
        syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&g_epoch), FUTEX_WAKE_PRIVATE, INT_MAX,
                nullptr, nullptr, 0);
}

bool TAutoEvent::TryTake() {
    return state_.exchange(0, std::memory_order_acq_rel) != 0;
}

int WaitAny(TAutoEvent* const* Events, int Count, std::uint32_t timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    for (;;) {
        g_waiters.fetch_add(1);
        const std::uint32_t seen = g_epoch.load();
        for (int i = 0; i < Count; ++i) {
            if (Events[i] && Events[i]->TryTake()) {
                g_waiters.fetch_sub(1);
                return i;
            }
        }
        std::uint32_t left = 0xFFFFFFFF;
        if (timeoutMs != 0xFFFFFFFF) {
            auto spent =
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
            if (spent.count() >= timeoutMs) {
                g_waiters.fetch_sub(1);
                return -1;
            }
            left = timeoutMs - static_cast<std::uint32_t>(spent.count());
        }
        FutexWait(g_epoch, seen, left);
        g_waiters.fetch_sub(1);
    }
}

TLayerThread::TLayerThread(std::function<void()> Body) {
    thread_ = std::thread([this, Body = std::move(Body)] {
        Body();
        finished_.store(true, std::memory_order_release);
    });
}

TLayerThread::~TLayerThread() {
    Terminate();
    if (thread_.joinable() && IsCurrent()) {
        thread_.detach(); // freed by its own body: it ends right after
        return;
    }
    Join();
}

void TLayerThread::Join() {
    if (!thread_.joinable() || IsCurrent()) return;
    WaitWhile([this] { return !Finished(); });
    thread_.join();
}

} // namespace platform
