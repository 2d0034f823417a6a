#pragma once
// Auto-reset events and the threads of the preview and the capture. An event may be set from
// any thread, the audio thread included: Set never blocks, locks or allocates. A wait for any
// of several events takes the lowest one set. A thread is ended by its owner in three steps:
// terminate (the flag its loop looks at), wake (an event it waits for) and join; the join is
// a wait of this layer, so the GUI thread serves cross-thread sends while it joins and a
// thread blocked in a send to the GUI thread can finish.

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

namespace platform {

class TAutoEvent {
public:
    TAutoEvent() = default;
    TAutoEvent(const TAutoEvent&) = delete;
    TAutoEvent& operator=(const TAutoEvent&) = delete;

    void Set();
    // Takes the signal when it is set; never waits.
    bool TryTake();
    bool IsSet() const { return state_.load(std::memory_order_acquire) != 0; }

private:
    std::atomic<std::uint32_t> state_{0};
};

// Waits until one of Events is set, takes it and answers its index (the lowest one set).
// timeoutMs in real time (0xFFFFFFFF: none); -1 when it passed.
int WaitAny(TAutoEvent* const* Events, int Count, std::uint32_t timeoutMs = 0xFFFFFFFF);

class TLayerThread {
public:
    // Starts Body at once on a thread of its own; Body looks at Terminated().
    explicit TLayerThread(std::function<void()> Body);
    ~TLayerThread(); // terminates and joins (the owner should have woken it)
    TLayerThread(const TLayerThread&) = delete;
    TLayerThread& operator=(const TLayerThread&) = delete;

    void Terminate() { terminated_.store(true, std::memory_order_release); }
    bool Terminated() const { return terminated_.load(std::memory_order_acquire); }
    bool Finished() const { return finished_.load(std::memory_order_acquire); }
    bool IsCurrent() const { return std::this_thread::get_id() == thread_.get_id(); }
    // Waits for the body to return (serving sends on the GUI thread), then joins. A thread
    // cannot join itself: it only returns then.
    void Join();

private:
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

} // namespace platform
