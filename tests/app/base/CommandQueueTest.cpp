#include "app/base/CommandQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

TEST(CommandQueue, CommandsFromManyThreadsRunOneAtATimeInEachThreadsOrder) {
    CommandQueue queue("commands");
    std::vector<int> next(4, 0);  // touched by the queue's thread only
    std::atomic<int> running{0};
    std::atomic<bool> wrong{false};
    std::vector<std::thread> posters;
    for (int t = 0; t < 4; ++t)
        posters.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i)
                EXPECT_TRUE(queue.Post("step", [&, t, i] {
                    if (running.fetch_add(1) != 0 || next[t]++ != i) wrong = true;
                    running.fetch_sub(1);
                }));
        });
    for (std::thread& poster : posters) poster.join();
    ASSERT_TRUE(queue.WaitUntilIdle(30000));
    EXPECT_FALSE(wrong);
    EXPECT_EQ(next, std::vector<int>(4, 200));
    EXPECT_EQ(0u, queue.Pending());
}

TEST(CommandQueue, StopLetsTheRunningCommandFinishDropsTheRestAndRefusesNewOnes) {
    CommandQueue queue("commands");
    std::mutex gate;
    gate.lock();
    std::atomic<bool> started{false}, finished{false}, dropped{false};
    ASSERT_TRUE(queue.Post("slow", [&] {
        started = true;
        std::lock_guard wait(gate);
        finished = true;
    }));
    ASSERT_TRUE(queue.Post("after", [&] { dropped = true; }));
    while (!started) std::this_thread::yield();
    std::thread stopper([&] { queue.Stop(); });
    // Once the queue refuses commands, Stop has dropped the waiting ones and
    // waits for the running command; release it.
    while (queue.Post("probe", [] {})) std::this_thread::yield();
    gate.unlock();
    stopper.join();
    EXPECT_TRUE(finished);
    EXPECT_FALSE(dropped);
}
