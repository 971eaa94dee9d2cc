#include "ui/ScreenLoader.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace {

// Records the please-wait messages in the order they were posted.
class MessageRecorder final : public AppServices {
public:
    void PostCommand(const char*, std::function<void()> command) override { command(); }
    void PostAppMessage(uint32_t id, const void* data, std::size_t length) override {
        std::lock_guard lock(m_lock);
        std::string entry = std::to_string(id);
        if (id == kSetPleaseWaitText) entry += " " + std::string(static_cast<const char*>(data), length);
        if (id == kSetPleaseWaitFocus && length == sizeof(long)) entry += " " + std::to_string(*static_cast<const long*>(data));
        messages.push_back(entry);
    }
    void ChangeSkin(const char*) override {}
    CascadeString GetCurrentSkinName() const override { return ""; }
    void ExitApplication() override {}
    void HideApplication() override {}
    std::vector<std::string> Messages() {
        std::lock_guard lock(m_lock);
        return messages;
    }

private:
    std::mutex m_lock;
    std::vector<std::string> messages;
};

// A latch the work waits at until the test opens it.
class Gate {
public:
    void Open() {
        {
            std::lock_guard lock(m_lock);
            m_open = true;
        }
        m_changed.notify_all();
    }
    void Wait(ScreenLoader& loader) {
        // Cancel does not know this latch: look at the stop flag now and then.
        std::unique_lock lock(m_lock);
        while (!m_open && !loader.IsStopping()) m_changed.wait_for(lock, std::chrono::milliseconds(5));
    }
    bool WaitArrived() {
        std::unique_lock lock(m_lock);
        return m_changed.wait_for(lock, std::chrono::seconds(10), [&] { return m_arrived; });
    }
    void Arrive() {
        {
            std::lock_guard lock(m_lock);
            m_arrived = true;
        }
        m_changed.notify_all();
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_open = false, m_arrived = false;
};

TEST(ScreenLoader, ASecondRequestWaitsItsTurnAndKeepsItsOwnCommand) {
    MessageRecorder app;
    ScreenLoader loader("loader", &app, AppServices::kRadioWindow);
    Gate gate;
    std::vector<std::string> seen;
    std::mutex seenLock;
    auto record = [&](ScreenLoader& l) {
        std::lock_guard lock(seenLock);
        seen.push_back(l.GetCommand().Std());
    };
    ASSERT_TRUE(loader.Start("open", [&](ScreenLoader& l) {
        gate.Arrive();
        gate.Wait(l);
        record(l);
    }));
    ASSERT_TRUE(gate.WaitArrived());
    ASSERT_TRUE(loader.Start("add", record));
    ASSERT_TRUE(loader.Start("play", [&](ScreenLoader& l) {
        l.SetPleaseWaitText("Adding...");
        record(l);
    }, ScreenLoader::PleaseWait::kShow));
    EXPECT_EQ("open", loader.GetCommand());
    gate.Open();
    ASSERT_TRUE(loader.WaitUntilIdle(10000));
    EXPECT_EQ((std::vector<std::string>{"open", "add", "play"}), seen);
    EXPECT_EQ("", loader.GetCommand());
    const std::string show = std::to_string(AppServices::kShowPleaseWait);
    const std::string focus = std::to_string(AppServices::kSetPleaseWaitFocus) + " 5";
    const std::string hide = std::to_string(AppServices::kHidePleaseWait);
    const std::string text = std::to_string(AppServices::kSetPleaseWaitText) + " Adding...";
    EXPECT_EQ((std::vector<std::string>{show, focus, hide, show, focus, hide, show, focus, text, hide}),
              app.Messages());
}

TEST(ScreenLoader, JoinStopsTheRunningWorkDropsTheWaitingOnesAndRefusesNewOnes) {
    MessageRecorder app;
    Gate gate;
    bool secondRan = false, firstSawStop = false;
    {
        ScreenLoader loader("loader", &app);
        ASSERT_TRUE(loader.Start("open", [&](ScreenLoader& l) {
            gate.Arrive();
            gate.Wait(l);  // returns when the loader is asked to stop
            firstSawStop = l.IsStopping();
        }));
        ASSERT_TRUE(loader.Start("add", [&](ScreenLoader&) { secondRan = true; }, ScreenLoader::PleaseWait::kNone));
        ASSERT_TRUE(gate.WaitArrived());
        loader.Join();
        EXPECT_FALSE(loader.Start("late", [](ScreenLoader&) {}));
        EXPECT_FALSE(loader.IsBusy());
    }
    EXPECT_TRUE(firstSawStop);
    EXPECT_FALSE(secondRan);
    // The please-wait window was hidden again although the work was stopped.
    const std::vector<std::string> messages = app.Messages();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(std::to_string(AppServices::kHidePleaseWait), messages.back());
}

TEST(ScreenLoader, CancelLetsTheNextRequestRunAfterwards) {
    ScreenLoader loader("loader");
    Gate gate;
    int ran = 0;
    ASSERT_TRUE(loader.Start("open", [&](ScreenLoader& l) {
        gate.Arrive();
        gate.Wait(l);
    }));
    ASSERT_TRUE(gate.WaitArrived());
    loader.Cancel();
    ASSERT_TRUE(loader.WaitUntilIdle(10000));
    ASSERT_TRUE(loader.Start("open", [&](ScreenLoader& l) { ran += l.IsStopping() ? 0 : 1; }));
    ASSERT_TRUE(loader.WaitUntilIdle(10000));
    EXPECT_EQ(1, ran);
}

}  // namespace
