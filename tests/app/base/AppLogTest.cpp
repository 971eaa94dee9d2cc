#include "app/base/AppLog.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

namespace {

class AppLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = std::filesystem::temp_directory_path() / ("quendrel-log-" + std::to_string(getpid()));
        std::filesystem::create_directories(m_dir);
        m_echo = std::tmpfile();
        AppLog::SetEchoStream(m_echo);
    }
    void TearDown() override {
        AppLog::CloseLogFile();
        AppLog::SetEchoStream(nullptr);
        std::fclose(m_echo);
        std::filesystem::remove_all(m_dir);
    }
    std::string Echoed() {
        std::fflush(m_echo);
        std::rewind(m_echo);
        std::string text;
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, m_echo)) > 0) text.append(buffer, n);
        return text;
    }
    std::string FileText() {
        std::ifstream in(m_dir / "debug.txt");
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::filesystem::path m_dir;
    FILE* m_echo = nullptr;
};

TEST_F(AppLogTest, WithoutAFileOnlyEchoedMessagesAppearWithoutTimeStamps) {
    AppLog::WriteToLog("quiet %d", false, 1);
    AppLog::WriteToLog("loud %d", true, 2);
    EXPECT_EQ(Echoed(), "loud 2\n");
}

TEST_F(AppLogTest, TheFileGetsEveryMessageStampedAndOneNewlineEach) {
    ASSERT_TRUE(AppLog::OpenLogFile((m_dir / "debug.txt").string()));
    AppLog::WriteToLog("ends with newline\n", false);
    AppLog::WriteToLog("no newline", true);
    const std::string text = FileText();
    EXPECT_TRUE(std::regex_match(text, std::regex("\\d{6,}:  ends with newline\n\\d{6,}:  no newline\n"))) << text;
    EXPECT_EQ(Echoed(), "no newline\n");
}

TEST_F(AppLogTest, PercentInTextIsWrittenUnchanged) {
    AppLog::WriteToLog("%s", true, "100% sure %d %s");
    EXPECT_EQ(Echoed(), "100% sure %d %s\n");
}

TEST_F(AppLogTest, LongMessagesAreCutAtTheBufferSize) {
    const std::string huge(200000, 'x');
    AppLog::WriteToLog("%s", true, huge.c_str());
    const std::string out = Echoed();
    EXPECT_EQ(out.size(), AppLog::kMaxMessage - 1 + 1);  // the text that fits, then the newline
    EXPECT_EQ(out.back(), '\n');
}

TEST_F(AppLogTest, AnUnwritableLogFileLeavesTheLogOnStandardOutput) {
    EXPECT_FALSE(AppLog::OpenLogFile((m_dir / "no-such-dir" / "debug.txt").string()));
    EXPECT_FALSE(AppLog::IsLoggingToFile());
    const std::string complaint = Echoed();
    EXPECT_NE(complaint.find("cannot open"), std::string::npos);
    AppLog::WriteToLog("still here", true);
    EXPECT_NE(Echoed().find("still here\n"), std::string::npos);
}


// A thread stuck inside a log call (its echo target, a full pipe, takes no
// more bytes) holds the log's lock, as a thread hit by a fatal signal might.
// In fatal mode another thread's message still reaches the log file.
TEST_F(AppLogTest, FatalModeWritesPastALockThatIsNeverReleased) {
    ASSERT_TRUE(AppLog::OpenLogFile((m_dir / "debug.txt").string()));
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    ASSERT_EQ(fcntl(pipeFds[1], F_SETFL, O_NONBLOCK), 0);
    const std::string filler(4096, 'x');
    while (write(pipeFds[1], filler.data(), filler.size()) > 0) {}
    ASSERT_EQ(fcntl(pipeFds[1], F_SETFL, 0), 0);  // from now on a write blocks
    FILE* full = fdopen(pipeFds[1], "w");
    ASSERT_NE(full, nullptr);
    AppLog::SetEchoStream(full);
    std::thread stuck([] { AppLog::WriteToLog("first words", true); });
    // Wait until the stuck thread has written its line to the file, that is
    // until it holds the lock and sits in the echo write.
    for (int i = 0; i < 500 && FileText().find("first words") == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_NE(FileText().find("first words"), std::string::npos);

    AppLog::SetFatalMode(true);
    AppLog::WriteToLog("last words %d", false, 11);
    EXPECT_NE(FileText().find("last words 11\n"), std::string::npos);

    // Let the stuck thread go: drain the pipe until its line came through.
    AppLog::SetFatalMode(false);
    std::string drained;
    char buffer[65536];
    while (drained.find("first words") == std::string::npos) {
        const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
        ASSERT_GT(n, 0);
        drained.append(buffer, std::size_t(n));
        if (drained.size() > 1 << 20) drained.erase(0, drained.size() - 64);
    }
    stuck.join();
    AppLog::SetEchoStream(nullptr);
    std::fclose(full);
    close(pipeFds[0]);
}

}  // namespace
