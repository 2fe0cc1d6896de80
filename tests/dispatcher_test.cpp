#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "device/model/dispatcher.h"

namespace {

using namespace std::chrono_literals;

TEST(LoopDispatcher, TimersRunInDueOrderAndCancelledOnesNever) {
    qm::FakeClock clock;
    qm::LoopDispatcher loop(clock);
    std::vector<int> ran;
    loop.postAfter(50ms, [&] { ran.push_back(50); });
    const auto cancelled = loop.postAfter(20ms, [&] { ran.push_back(20); });
    loop.postAfter(10ms, [&] { ran.push_back(10); });
    loop.post([&] { ran.push_back(0); });
    loop.cancel(cancelled);

    EXPECT_EQ(loop.runDue(), 1);
    clock.advance(10ms);
    loop.runDue();
    clock.advance(100ms);
    loop.runDue();
    EXPECT_EQ(ran, (std::vector<int>{0, 10, 50}));
    EXPECT_EQ(loop.nextDue(), qm::Clock::time_point::max());
}

TEST(LoopDispatcher, SendWaitsForTheLoopThreadAndFailsOnceStopped) {
    qm::LoopDispatcher loop;
    std::atomic<bool> sent{false};
    std::thread::id ranOn;
    std::thread sender([&] {
        sent = loop.send([&] { ranOn = std::this_thread::get_id(); });
        loop.stop();
    });
    loop.run();
    sender.join();
    EXPECT_TRUE(sent);
    EXPECT_EQ(ranOn, std::this_thread::get_id());

    // A stopped loop runs nothing more; a send from another thread does not wait for it.
    bool ran = false;
    std::thread late([&] { sent = loop.send([&] { ran = true; }); });
    late.join();
    EXPECT_FALSE(sent);
    EXPECT_FALSE(ran);
}

TEST(LoopDispatcher, SendOnTheLoopThreadRunsInPlace) {
    qm::FakeClock clock;
    qm::LoopDispatcher loop(clock);
    int depth = 0;
    loop.post([&] { EXPECT_TRUE(loop.send([&] { depth = 1; })); });
    loop.runDue();
    EXPECT_EQ(depth, 1);
}

}  // namespace
