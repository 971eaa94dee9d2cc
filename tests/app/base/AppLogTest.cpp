#include "app/base/AppLog.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <regex>
#include <string>
#include <thread>

#include "support/ScopedTempDir.h"

namespace {

class AppLogTest : public ::testing::Test {
protected:
    void SetUp() override { AppLog::SetEchoStream(m_echo); }
    void TearDown() override {
        AppLog::CloseLogFile();
        AppLog::SetEchoStream(nullptr);
        std::fclose(m_echo);
    }
    std::string Echoed() {
        std::fflush(m_echo);
        std::rewind(m_echo);
        std::string text;
        for (int c; (c = std::fgetc(m_echo)) != EOF;) text += char(c);
        return text;
    }

    ScopedTempDir m_dir;
    FILE* m_echo = std::tmpfile();
};

// An unwritable log file leaves the log on standard output; without a file
// only echoed messages appear. The file gets every message, time-stamped,
// with exactly one newline each; "%" in the text stays; a message is cut at
// the 65,535-byte buffer.
TEST_F(AppLogTest, BothOutputsTheNewlineRulePercentAndTheLengthLimit) {
    EXPECT_FALSE(AppLog::OpenLogFile(m_dir.File("no-such-dir/debug.txt")));
    EXPECT_FALSE(AppLog::IsLoggingToFile());
    const std::string complaint = Echoed();
    EXPECT_NE(complaint.find("cannot open"), std::string::npos);
    AppLog::WriteToLog("quiet %d", false, 1);
    AppLog::WriteToLog("loud %d", true, 2);
    EXPECT_EQ(Echoed(), complaint + "loud 2\n");
    ASSERT_TRUE(AppLog::OpenLogFile(m_dir.File("debug.txt")));
    AppLog::WriteToLog("ends with newline\n", false);
    AppLog::WriteToLog("%s", true, "100% sure %d %s");
    const std::string text = m_dir.ReadFile("debug.txt");
    EXPECT_TRUE(std::regex_match(text, std::regex("\\d{6,}:  ends with newline\n\\d{6,}:  100% sure %d %s\n"))) << text;
    EXPECT_EQ(Echoed(), complaint + "loud 2\n100% sure %d %s\n");
    const std::size_t before = Echoed().size();
    AppLog::WriteToLog("%s", true, std::string(200000, 'x').c_str());
    EXPECT_EQ(Echoed().size() - before, AppLog::kMaxMessage - 1 + 1);  // the text that fits, then the newline
}

// A thread stuck inside a log call (its echo stream's write waits for the
// test) holds the log's lock, as a thread hit by a fatal signal might. In
// fatal mode another thread's message still reaches the log file.
TEST_F(AppLogTest, FatalModeWritesPastALockThatIsNeverReleased) {
    ASSERT_TRUE(AppLog::OpenLogFile(m_dir.File("debug.txt")));
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    cookie_io_functions_t io{};
    io.write = [](void* future, const char*, std::size_t size) {
        static_cast<std::shared_future<void>*>(future)->wait();
        return ssize_t(size);
    };
    FILE* stuckEcho = fopencookie(&released, "w", io);
    AppLog::SetEchoStream(stuckEcho);
    std::thread stuck([] { AppLog::WriteToLog("first words", true); });
    // Once its line is in the file, the stuck thread holds the lock and sits
    // in the echo write.
    for (int i = 0; i < 500 && m_dir.ReadFile("debug.txt").find("first words") == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_NE(m_dir.ReadFile("debug.txt").find("first words"), std::string::npos);
    AppLog::SetFatalMode(true);
    AppLog::WriteToLog("last words %d", false, 11);
    EXPECT_NE(m_dir.ReadFile("debug.txt").find("last words 11\n"), std::string::npos);
    AppLog::SetFatalMode(false);
    release.set_value();
    stuck.join();
    AppLog::SetEchoStream(nullptr);
    std::fclose(stuckEcho);
}

}  // namespace
