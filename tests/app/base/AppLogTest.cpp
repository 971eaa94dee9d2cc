#include "app/base/AppLog.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

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

}  // namespace
