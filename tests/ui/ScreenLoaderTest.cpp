#include "ui/ScreenLoader.h"

#include <gtest/gtest.h>

#include <future>
#include <string>
#include <thread>
#include <vector>

namespace {

// A request made while one runs waits its turn and keeps its own command;
// Cancel stops the running one (its work watches IsStopping), drops the
// waiting ones, and the next request runs.
TEST(ScreenLoader, RequestsRunInTurnWithTheirOwnCommandsAndCancelDropsTheWaitingOnes) {
    ScreenLoader loader("loader");
    std::promise<void> started, release;
    std::shared_future<void> released = release.get_future().share();
    std::vector<std::string> seen;  // written on the loader's thread only
    auto record = [&](ScreenLoader& l) { seen.push_back(l.GetCommand().Std()); };
    ASSERT_TRUE(loader.Start("open", [&](ScreenLoader& l) {
        started.set_value();
        released.wait();
        record(l);
    }));
    started.get_future().wait();
    ASSERT_TRUE(loader.Start("add", record));
    ASSERT_TRUE(loader.Start("play", record, ScreenLoader::PleaseWait::kNone));
    EXPECT_EQ("open", loader.GetCommand());
    release.set_value();
    ASSERT_TRUE(loader.WaitUntilIdle(10000));
    EXPECT_EQ((std::vector<std::string>{"open", "add", "play"}), seen);
    EXPECT_EQ("", loader.GetCommand());

    std::promise<void> running;
    ASSERT_TRUE(loader.Start("open", [&](ScreenLoader& l) {
        running.set_value();
        while (!l.IsStopping()) std::this_thread::yield();
    }));
    ASSERT_TRUE(loader.Start("dropped", record));
    running.get_future().wait();
    loader.Cancel();
    ASSERT_TRUE(loader.WaitUntilIdle(10000));
    ASSERT_TRUE(loader.Start("next", record));
    ASSERT_TRUE(loader.WaitUntilIdle(10000));
    EXPECT_EQ((std::vector<std::string>{"open", "add", "play", "next"}), seen);
}

}  // namespace
