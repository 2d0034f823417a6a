#include "platform/core/timers.h"

#include "platform/core/clock.h"
#include "support/pump.h"
#include "support/virtual_clock.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace platform;
using testsupport::PumpAll;
using testsupport::RecordingWindow;
using testsupport::VirtualClock;

namespace {

class Timers : public testing::Test {
protected:
    void SetUp() override {
        SetGuiThread();
        PumpAll();
    }
};

} // namespace

TEST_F(Timers, FiftyMsTimerFiresFourTimesInTwoHundredVirtualMs) {
    for (std::uint32_t start : {100000u, 0xFFFFFFC0u /* wraps on the way */}) {
        VirtualClock clock(start);
        std::vector<std::uint32_t> ticks;
        TTimer timer;
        timer.Interval = 50;
        timer.OnTimer = [&] { ticks.push_back(TimeGetTime() - start); };
        RecordingWindow w;
        EXPECT_EQ(SetTimer(w.Handle(), 7, 50), 7u);
        clock.Advance(200);
        EXPECT_EQ(ticks, (std::vector<std::uint32_t>{50, 100, 150, 200})) << start;
        ASSERT_EQ(w.messages.size(), 4u) << start;
        EXPECT_EQ(w.messages[0], (testsupport::Received{w.Handle(), WM_TIMER, 7, 0}));
        clock.Advance(49);
        EXPECT_EQ(ticks.size(), 4u);
        EXPECT_TRUE(KillTimer(w.Handle(), 7));
        EXPECT_FALSE(KillTimer(w.Handle(), 7));
        clock.Advance(1);
        EXPECT_EQ(ticks.size(), 5u);
        EXPECT_EQ(w.messages.size(), 4u);
    }
}

TEST_F(Timers, DueTimersFireInOrderOlderFirstOnTies) {
    VirtualClock clock;
    const std::uint32_t start = clock.Now();
    std::string log;
    TTimer a, b;
    a.Interval = 30;
    b.Interval = 50;
    a.OnTimer = [&] { log += "a" + std::to_string(TimeGetTime() - start) + " "; };
    b.OnTimer = [&] { log += "b" + std::to_string(TimeGetTime() - start) + " "; };
    clock.Advance(150);
    EXPECT_EQ(log, "a30 b50 a60 a90 b100 a120 a150 b150 ");
}

TEST_F(Timers, EnableIntervalAndKillRules) {
    VirtualClock clock;
    int fired = 0;
    auto timer = std::make_unique<TTimer>();
    EXPECT_EQ(timer->Interval, 1000u);  // the framework's defaults
    EXPECT_TRUE(timer->Enabled);
    timer->Interval = 100;
    timer->OnTimer = [&] { ++fired; };
    clock.Advance(60);
    timer->Enabled = false;
    clock.Advance(100);
    EXPECT_EQ(fired, 0);
    timer->Enabled = true;  // a fresh interval from now
    clock.Advance(99);
    EXPECT_EQ(fired, 0);
    clock.Advance(1);
    EXPECT_EQ(fired, 1);
    clock.Advance(50);
    timer->Interval = 20;  // restarts too
    clock.Advance(19);
    EXPECT_EQ(fired, 1);
    clock.Advance(1);
    EXPECT_EQ(fired, 2);
    timer->Interval = 0;  // stops
    clock.Advance(500);
    EXPECT_EQ(fired, 2);
    timer->Interval = 1;  // counts as the 10 ms minimum
    clock.Advance(30);
    EXPECT_EQ(fired, 5);
    // A handler may free its own timer.
    timer->OnTimer = [&] { ++fired; timer.reset(); };
    clock.Advance(100);
    EXPECT_EQ(fired, 6);
    EXPECT_FALSE(timer);

    // A window timer ends with its window.
    uint32_t due;
    auto w = std::make_unique<RecordingWindow>();
    SetTimer(w->Handle(), 1, 10);
    w.reset();
    clock.Advance(10);
    EXPECT_FALSE(NextTimerDue(due));
    EXPECT_EQ(SetTimer(12345678, 1, 10), 0u);
}

TEST_F(Timers, LateTimerFiresOnceWithoutCatchingUp) {
    VirtualClock clock;
    const std::uint32_t start = clock.Now();
    int fired = 0;
    TTimer timer;
    timer.Interval = 50;
    timer.OnTimer = [&] { ++fired; };
    // The GUI thread was busy for half a second. Its own sleep moves the virtual clock (nobody
    // else would) but fires no timer; the next pump does, once.
    Sleep(520);
    EXPECT_EQ(clock.Now(), start + 520);
    EXPECT_EQ(fired, 0);
    PumpMessages();
    EXPECT_EQ(fired, 1);
    std::uint32_t due;
    ASSERT_TRUE(NextTimerDue(due));
    EXPECT_EQ(due, start + 570);
}

// A thread sleeping on the virtual clock runs at its deadline, between the timers before and
// after it, and may send to the GUI thread meanwhile.
TEST_F(Timers, SleepingThreadWakesInOrderWithTimers) {
    VirtualClock clock;
    const std::uint32_t start = clock.Now();
    std::vector<std::string> log;
    RecordingWindow w;
    w.Reply = [&](UINT msg, WPARAM, LPARAM l) -> LRESULT {
        log.push_back((msg == WM_USER + 1 ? "sent " : "posted ") + std::to_string(l - start));
        return 1;
    };
    TTimer timer;
    timer.Interval = 20;
    timer.OnTimer = [&] { log.push_back("timer " + std::to_string(TimeGetTime() - start)); };
    std::atomic<bool> stop{false}, ended{false};
    std::thread scheduler([&] {
        std::uint32_t next = start + 30;
        while (SleepUntil(next, &stop)) {
            PostMessage(w.Handle(), WM_USER, 0, TimeGetTime());
            SendMessage(w.Handle(), WM_USER + 1, 0, TimeGetTime());
            next += 30;
        }
        ended = true;
    });
    ASSERT_TRUE(clock.WaitForSleepers(1));
    clock.Advance(70);
    EXPECT_EQ(log, (std::vector<std::string>{"timer 20", "sent 30", "posted 30", "timer 40",
                                             "sent 60", "posted 60", "timer 60"}));
    stop = true;
    WakeSleepers();
    EXPECT_TRUE(WaitWhile([&] { return !ended; }, 5000));
    scheduler.join();
}

TEST_F(Timers, AdvanceDoesNotWaitForThreadsThatEndedOrWentIdle) {
    VirtualClock clock;
    const std::uint32_t start = clock.Now();
    std::mutex m;
    std::condition_variable cv;
    bool go = false;
    std::thread ends([&] { SleepUntil(start + 10); });
    std::thread idles([&] {
        SleepUntil(start + 10);
        ClockThreadIdle();  // now waits for work, not for the clock
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return go; });
    });
    ASSERT_TRUE(clock.WaitForSleepers(2));
    auto t0 = std::chrono::steady_clock::now();
    clock.Advance(20);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
    ends.join();
    {
        std::lock_guard lock(m);
        go = true;
    }
    cv.notify_all();
    idles.join();
}

TEST(Clock, SleepUntilOnTheRealClockWaitsAndCanBeCancelled) {
    UseRealClock();
    std::uint32_t t0 = TimeGetTime();
    EXPECT_TRUE(SleepUntil(t0 + 20));
    EXPECT_TRUE(ClockReached(TimeGetTime(), t0 + 20));

    std::atomic<bool> stop{false};
    std::atomic<int> result{-1};
    std::thread sleeper([&] { result = SleepUntil(TimeGetTime() + 600000, &stop); });
    while (SleeperCount() == 0) std::this_thread::yield();
    stop = true;
    WakeSleepers();
    sleeper.join();
    EXPECT_EQ(result, 0);
}
