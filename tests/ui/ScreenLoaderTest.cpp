#include "ui/ScreenLoader.h"

#include <gtest/gtest.h>

#include <future>
#include <string>
#include <thread>
#include <vector>

namespace {

// Each request runs with its own command; Cancel stops the running one (its
// work watches IsStopping) and the next request runs. Requests waiting their
// turn, and Cancel dropping them, are walked by the screen tests.
TEST(ScreenLoader, EachRequestHasItsOwnCommandAndCancelStopsTheRunningOne) {
    ScreenLoader loader("loader");
    std::vector<std::string> seen;  // written on the loader's thread only
    auto record = [&](ScreenLoader& l) { seen.push_back(l.GetCommand().Std()); };
    std::promise<void> running;
    ASSERT_TRUE(loader.Start("open", [&](ScreenLoader& l) {
        record(l);
        running.set_value();
        while (!l.IsStopping()) std::this_thread::yield();
    }));
    running.get_future().wait();
    loader.Cancel();
    ASSERT_TRUE(loader.Start("next", record, ScreenLoader::PleaseWait::kNone));
    ASSERT_TRUE(loader.WaitUntilIdle(10000));
    EXPECT_EQ((std::vector<std::string>{"open", "next"}), seen);
    EXPECT_EQ("", loader.GetCommand());
}

}  // namespace
