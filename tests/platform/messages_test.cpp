#include "platform/core/messages.h"

#include "platform/core/clock.h"
#include "support/pump.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace platform;
using testsupport::PumpAll;
using testsupport::PumpUntil;
using testsupport::RecordingWindow;

namespace {

class Messages : public testing::Test {
protected:
    void SetUp() override {
        SetGuiThread();
        PumpAll();
    }
};

using Clock = std::chrono::steady_clock;
Clock::time_point Deadline() { return Clock::now() + std::chrono::seconds(10); }

bool Readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 0) == 1;
}

} // namespace

TEST_F(Messages, PostsFromFourThreadsArriveCompleteAndInPerThreadOrder) {
    constexpr int kThreads = 4;
    constexpr int kPerThread = 25000;  // several times the queue: posters retry when it is full
    std::vector<std::vector<LPARAM>> got(kThreads);
    HWND h = RegisterWindowProc([&](HWND, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
        EXPECT_EQ(msg, WM_USER + 7);
        got.at(w).push_back(l);
        return 0;
    });
    testsupport::DropReports drops;  // retried posts are counted as drops
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t) {
        posters.emplace_back([=] {
            for (int i = 0; i < kPerThread; ++i)
                while (!PostMessage(h, WM_USER + 7, t, i)) std::this_thread::yield();
        });
    }
    EXPECT_TRUE(PumpUntil([&] {
        std::size_t n = 0;
        for (auto& g : got) n += g.size();
        return n == std::size_t(kThreads) * kPerThread;
    }, 30000));
    for (auto& p : posters) p.join();
    PumpAll();
    for (int t = 0; t < kThreads; ++t) {
        ASSERT_EQ(got[t].size(), std::size_t(kPerThread)) << "thread " << t;
        for (int i = 0; i < kPerThread; ++i) ASSERT_EQ(got[t][i], i) << "thread " << t;
    }
    UnregisterWindowProc(h);
}

TEST_F(Messages, PostsAreDeliveredInOrderAndLaterPostsWaitForTheNextPump) {
    RecordingWindow a, b;
    a.Reply = [&](UINT msg, WPARAM, LPARAM) -> LRESULT {
        if (msg == WM_USER) PostMessage(b.Handle(), WM_USER + 2, 0, 0);
        return 0;
    };
    EXPECT_TRUE(PostMessage(a.Handle(), WM_USER, 1, 2));
    EXPECT_TRUE(PostMessage(b.Handle(), WM_USER + 1, 3, 4));
    EXPECT_TRUE(PostMessage(a.Handle(), MM_MIM_DATA, 5, 0x7F3C90));
    EXPECT_EQ(PumpMessages(), 3);
    EXPECT_EQ(a.messages, (std::vector<testsupport::Received>{
                              {a.Handle(), WM_USER, 1, 2}, {a.Handle(), MM_MIM_DATA, 5, 0x7F3C90}}));
    ASSERT_EQ(b.messages.size(), 1u);
    EXPECT_EQ(PumpMessages(), 1);
    ASSERT_EQ(b.messages.size(), 2u);
    EXPECT_EQ(b.messages[1].msg, WM_USER + 2);
}

TEST_F(Messages, HandlesZeroMinusOneAndUnknownGetNothing) {
    RecordingWindow w;
    EXPECT_NE(w.Handle(), 0);
    EXPECT_NE(w.Handle(), -1);
    HWND gone;
    {
        RecordingWindow other;
        gone = other.Handle();
        EXPECT_NE(gone, w.Handle());
        EXPECT_TRUE(PostMessage(gone, WM_USER, 0, 0));  // queued while the window lived
    }
    const std::uint64_t dropped = DroppedMessageCount();
    for (HWND h : {HWND(0), HWND(-1), gone, w.Handle() + 1000}) {
        EXPECT_EQ(PostMessage(h, WM_USER, 1, 1), h != 0 && h != -1) << h;
        EXPECT_EQ(SendMessage(h, WM_USER, 1, 1), 0) << h;
        EXPECT_FALSE(IsWindow(h)) << h;
    }
    EXPECT_EQ(PumpMessages(), 0);
    EXPECT_TRUE(w.messages.empty());
    EXPECT_EQ(DroppedMessageCount(), dropped);  // dropped quietly, not counted as queue overflow
    // A fresh window does not inherit an old handle's messages.
    RecordingWindow fresh;
    EXPECT_NE(fresh.Handle(), gone);
}

TEST_F(Messages, FullQueueDropsCountsAndReportsOnTheGuiThread) {
    RecordingWindow w;
    testsupport::DropReports drops;
    const std::uint64_t before = DroppedMessageCount();
    for (std::size_t i = 0; i < kPostQueueSize; ++i)
        ASSERT_TRUE(PostMessage(w.Handle(), WM_USER, i, 0));
    std::thread extra([&] {
        for (int i = 0; i < 10; ++i) EXPECT_FALSE(PostMessage(w.Handle(), WM_USER, 99999, 0));
    });
    extra.join();
    EXPECT_EQ(DroppedMessageCount(), before + 10);
    EXPECT_TRUE(drops.newly.empty());  // reported by the pump, not by the posting thread
    EXPECT_EQ(PumpMessages(), int(kPostQueueSize));
    EXPECT_EQ(drops.newly, std::vector<std::uint64_t>{10});
    ASSERT_EQ(w.messages.size(), kPostQueueSize);
    EXPECT_EQ(w.messages.back().w, kPostQueueSize - 1);
    // Room again, and nothing new to report.
    EXPECT_TRUE(PostMessage(w.Handle(), WM_USER, 1, 0));
    PumpMessages();
    EXPECT_EQ(drops.newly.size(), 1u);
}

TEST_F(Messages, SendOnTheGuiThreadIsADirectCall) {
    RecordingWindow w;
    w.Reply = [&](UINT msg, WPARAM a, LPARAM b) -> LRESULT {
        if (msg == WM_USER + 1) return SendMessage(w.Handle(), WM_USER + 2, a * 10, b);  // nested
        return LRESULT(a) + b;
    };
    EXPECT_EQ(SendMessage(w.Handle(), WM_USER + 1, 4, 2), 42);
    EXPECT_EQ(w.messages.size(), 2u);
    EXPECT_EQ(PumpMessages(), 0);
}

TEST_F(Messages, CrossThreadSendReturnsTheHandlersResultOnTheGuiThread) {
    std::thread::id handledOn;
    HWND h = RegisterWindowProc([&](HWND, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
        handledOn = std::this_thread::get_id();
        if (msg == WM_USER + 150) return LRESULT(w) * 1000 + l;
        throw std::runtime_error("handler failed");
    });
    std::atomic<LRESULT> result{0};
    std::atomic<bool> threw{false};
    std::atomic<int> done{0};
    std::thread sender([&] {
        result = SendMessage(h, WM_USER + 150, 7, 5);
        try {
            SendMessage(h, WM_USER + 151, 0, 0);
        } catch (const std::runtime_error&) {
            threw = true;
        }
        ++done;
    });
    EXPECT_TRUE(PumpUntil([&] { return done == 1; }));
    sender.join();
    EXPECT_EQ(result, 7005);
    EXPECT_TRUE(threw);
    EXPECT_EQ(handledOn, std::this_thread::get_id());
    UnregisterWindowProc(h);
}

// The GUI thread spins on a flag that the other thread clears only after its send returned.
// Each layer wait must serve the send or this deadlocks.
TEST_F(Messages, CrossThreadSendIsServedWhileTheGuiThreadWaitsInTheLayer) {
    struct Case {
        const char* name;
        std::function<bool(std::atomic<bool>& busy)> wait;  // true when the wait ended well
    };
    const Case cases[] = {
        {"WaitWhile", [](std::atomic<bool>& busy) { return WaitWhile([&] { return busy.load(); }, 10000); }},
        {"Sleep", [](std::atomic<bool>& busy) {
             for (auto end = Deadline(); busy && Clock::now() < end;) Sleep(1);
             return !busy;
         }},
        {"WaitMessage", [](std::atomic<bool>& busy) {
             for (auto end = Deadline(); busy && Clock::now() < end;) WaitMessage(1);
             return !busy;
         }},
    };
    for (const Case& c : cases) {
        RecordingWindow w;
        w.Reply = [](UINT, WPARAM a, LPARAM) -> LRESULT { return LRESULT(a) + 1; };
        std::atomic<bool> busy{true};
        std::atomic<LRESULT> result{0};
        std::thread capture([&] {
            result = SendMessage(w.Handle(), WM_USER + 150, 41, 0);
            busy = false;
        });
        EXPECT_TRUE(c.wait(busy)) << c.name;
        capture.join();
        EXPECT_EQ(result, 42) << c.name;
        EXPECT_EQ(w.messages.size(), 1u) << c.name;
    }
}

TEST_F(Messages, EventFdSignalsWaitingMessagesUntilThePump) {
    RecordingWindow w;
    const int fd = MessageEventFd();
    ASSERT_GE(fd, 0);
    EXPECT_FALSE(Readable(fd));
    std::thread poster([&] {
        PostMessage(w.Handle(), WM_USER, 0, 0);
        PostMessage(w.Handle(), WM_USER, 1, 0);
    });
    poster.join();
    EXPECT_TRUE(Readable(fd));
    EXPECT_EQ(PumpMessages(), 2);
    EXPECT_FALSE(Readable(fd));
}

TEST(MessageNumbers, MatchTheSystemValues) {
    EXPECT_EQ(WM_USER, 0x400u);
    EXPECT_EQ(MM_MIM_DATA, 0x3C3u);
    EXPECT_EQ(MM_MOM_DONE, 0x3C9u);
    EXPECT_EQ(WM_TIMER, 0x113u);
    EXPECT_EQ(WM_HOTKEY, 0x312u);
    EXPECT_EQ(WM_DROPFILES, 0x233u);
    EXPECT_EQ(WM_MOUSEWHEEL, 0x20Au);
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(MAKEWPARAM(MK_SHIFT, static_cast<std::uint16_t>(-240))), -240);
    EXPECT_EQ(LOWORD(MAKELPARAM(3, 4)), 3);
    EXPECT_EQ(HIWORD(MAKELPARAM(3, 4)), 4);
}
