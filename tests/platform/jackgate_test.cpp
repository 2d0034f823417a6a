// The JACK gate: code that would open a JACK client waits for the start-up's opener a limited
// time only, and not at all once a wait ran out, until the opener comes back.
#include "platform/core/jackgate.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

namespace {

using platform::JackAnswered;
using Clock = std::chrono::steady_clock;

TEST(JackGate, WaitsForTheOpenerALimitedTimeThenNotAtAllUntilItIsBack) {
    EXPECT_TRUE(JackAnswered(50)) << "no opener";
    std::promise<void> release;
    std::promise<void> started;
    std::thread opener([&] {
        platform::TJackOpener mark;
        EXPECT_TRUE(JackAnswered(50)) << "the opener itself never waits";
        started.set_value();
        release.get_future().wait(); // a server that does not answer
    });
    started.get_future().wait();
    testing::internal::CaptureStderr();
    auto t0 = Clock::now();
    EXPECT_FALSE(JackAnswered(200));
    EXPECT_GE(Clock::now() - t0, std::chrono::milliseconds(190));
    t0 = Clock::now();
    EXPECT_FALSE(JackAnswered(200));
    EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(100)) << "given up: no second wait";
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "tolvern: the JACK server did not answer within 0.2 s; going on without it\n");
    release.set_value();
    opener.join();
    EXPECT_TRUE(JackAnswered(50)) << "the opener came back";

    // An opener that comes back within the wait.
    platform::JackOpenerStarting();
    std::thread late([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        platform::TJackOpener mark;
    });
    EXPECT_TRUE(JackAnswered(5000));
    late.join();
}

} // namespace
