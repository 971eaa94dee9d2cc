#include "app/base/CommandQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace {

TEST(CommandQueue, CommandsFromManyThreadsRunOneAtATimeInEachThreadsOrder) {
    CommandQueue queue("commands");
    std::mutex lock;
    std::vector<std::pair<int, int>> ran;  // (thread, sequence)
    std::atomic<int> running{0};
    std::atomic<bool> overlapped{false};
    std::vector<std::thread> posters;
    for (int t = 0; t < 4; ++t)
        posters.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i)
                ASSERT_TRUE(queue.Post("step", [&, t, i] {
                    if (running.fetch_add(1) != 0) overlapped = true;
                    {
                        std::lock_guard guard(lock);
                        ran.emplace_back(t, i);
                    }
                    running.fetch_sub(1);
                }));
        });
    for (std::thread& poster : posters) poster.join();
    ASSERT_TRUE(queue.WaitUntilIdle(30000));
    EXPECT_FALSE(overlapped);
    ASSERT_EQ(800u, ran.size());
    int next[4] = {0, 0, 0, 0};
    for (const auto& [t, i] : ran) EXPECT_EQ(next[t]++, i) << "thread " << t;
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
    EXPECT_FALSE(queue.Post("late", [] {}));
}

}  // namespace
