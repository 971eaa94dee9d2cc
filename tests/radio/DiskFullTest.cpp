// Saving the Favorites and the settings on a disk that is full: the save
// fails with a log line naming the file and the cause, the old file stays as
// it was and no temporary file is left. The disk is a 64 KiB tmpfs mounted in
// a private mount namespace of a child process (root only; skipped
// otherwise), filled to its last byte after the old file was written.
#include "app/base/AppLog.h"
#include "platform/CascadeSettings.h"
#include "radio/FavoritesFile.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace {

constexpr int kCannotMount = 77;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::set<std::string> FilesIn(const std::string& directory) {
    std::set<std::string> names;
    if (DIR* dir = opendir(directory.c_str())) {
        while (dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.') names.insert(entry->d_name);
        closedir(dir);
    }
    return names;
}

// Writes a filler file until the disk refuses another byte.
void FillUp(const std::string& directory) {
    const int fd = ::open((directory + "/filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    const std::string block(4096, 'x');
    while (::write(fd, block.data(), block.size()) > 0) {}
    while (::write(fd, block.data(), 1) > 0) {}
    EXPECT_EQ(ENOSPC, errno);
    ::close(fd);
}

// Everything the process writes on standard error and through the log's echo
// from here on, in a memory file.
class CapturedOutput {
public:
    CapturedOutput() : m_fd(memfd_create("captured", 0)), m_stream(fdopen(dup(m_fd), "w+")) {
        std::fflush(stderr);
        dup2(m_fd, STDERR_FILENO);
        AppLog::SetEchoStream(m_stream);
    }
    ~CapturedOutput() {
        AppLog::SetEchoStream(nullptr);
        std::fclose(m_stream);
        ::close(m_fd);
    }
    CapturedOutput(const CapturedOutput&) = delete;
    CapturedOutput& operator=(const CapturedOutput&) = delete;
    std::string Text() {
        std::fflush(stderr);
        std::fflush(m_stream);
        std::string text;
        char buffer[4096];
        for (off_t at = 0;;) {
            const ssize_t n = pread(m_fd, buffer, sizeof buffer, at);
            if (n <= 0) break;
            text.append(buffer, std::size_t(n));
            at += n;
        }
        return text;
    }

private:
    int m_fd;
    FILE* m_stream;
};

// Runs `body` in a child with its own mount namespace and a tmpfs at a fresh
// directory; the child's gtest failures make its exit status 1.
int RunOnSmallDisk(const std::function<void(const std::string&)>& body) {
    char pattern[] = "/tmp/quendrel-diskfull-XXXXXX";
    const char* directory = mkdtemp(pattern);
    if (!directory) return kCannotMount;
    const pid_t child = fork();
    if (child == 0) {
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("tmpfs", directory, "tmpfs", 0, "size=64k,mode=0700") != 0)
            _exit(kCannotMount);
        body(directory);
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    rmdir(directory);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

#define EXPECT_ON_SMALL_DISK(body)                                                          \
    do {                                                                                    \
        const int status = RunOnSmallDisk(body);                                            \
        if (status == kCannotMount) GTEST_SKIP() << "cannot mount a tmpfs (needs root)"; \
        EXPECT_EQ(0, status);                                                               \
    } while (false)

TEST(DiskFull, AFavoritesSaveFailsAndKeepsTheOldFile) {
    EXPECT_ON_SMALL_DISK([](const std::string& dir) {
        const std::string path = dir + "/Favorites.xml";
        FavoritesFile file(path);
        auto root = file.Load(nullptr);
        root->AddChild("Old", "http://a/o.pls", "");
        ASSERT_TRUE(file.Save(*root));
        const std::string before = ReadFile(path);
        FillUp(dir);
        for (int i = 0; i < 200; ++i) root->AddChild(("New station " + std::to_string(i)).c_str(), "http://a/n.pls", "");
        CapturedOutput output;
        EXPECT_FALSE(file.Save(*root));
        EXPECT_EQ(before, ReadFile(path));
        EXPECT_EQ((std::set<std::string>{"Favorites.xml", "filler"}), FilesIn(dir));
        EXPECT_NE(std::string::npos, output.Text().find("cannot save " + path + " (write): No space left on device"))
            << output.Text();
    });
}

TEST(DiskFull, ASettingsWriteFailsAndKeepsTheOldFile) {
    EXPECT_ON_SMALL_DISK([](const std::string& dir) {
        CascadeSettings settings("quendrel-test", dir.c_str());
        ASSERT_TRUE(settings.WriteStringValue("SkinName", "Default"));
        const std::string before = ReadFile(settings.GetPath());
        FillUp(dir);
        CapturedOutput output;
        EXPECT_FALSE(settings.WriteStringValue("SkinName", std::string(8000, 'n').c_str()));
        EXPECT_EQ(before, ReadFile(settings.GetPath()));
        EXPECT_EQ((std::set<std::string>{"quendrel-test.conf", "filler"}), FilesIn(dir));
        EXPECT_NE(std::string::npos, output.Text().find("No space left on device")) << output.Text();
        CascadeString value;
        EXPECT_TRUE(settings.ReadStringValue("SkinName", value));
        EXPECT_STREQ("Default", value.c_str());
    });
}

}  // namespace
