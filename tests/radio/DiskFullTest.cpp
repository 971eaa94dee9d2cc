// Saving the Favorites and the settings on a disk that is full: the save
// fails with a log line naming the file and the cause, the old file stays as
// it was and no temporary file is left. The disk is a 64 KiB tmpfs mounted in
// a private mount namespace of a child process (root only; skipped
// otherwise), filled to its last byte after the old file was written.
#include "app/base/AppLog.h"
#include "platform/CascadeSettings.h"
#include "radio/FavoritesFile.h"
#include "support/ScopedTempDir.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <cerrno>
#include <filesystem>
#include <iterator>
#include <string>

namespace {

constexpr int kCannotMount = 77;

// Writes a filler file until the disk refuses another byte, then sends
// standard error and the log's echo to a memory file, returned.
int FillUpAndCaptureOutput(const std::string& directory) {
    const int fd = ::open((directory + "/filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const std::string block(4096, 'x');
    while (::write(fd, block.data(), block.size()) > 0) continue;
    while (::write(fd, block.data(), 1) > 0) continue;
    EXPECT_EQ(ENOSPC, errno);
    ::close(fd);
    const int output = memfd_create("captured", 0);
    dup2(output, STDERR_FILENO);
    AppLog::SetEchoStream(stderr);
    return output;
}

std::string Captured(int output) {
    std::string text(1 << 16, '\0');
    text.resize(std::size_t(std::max<ssize_t>(0, pread(output, text.data(), text.size(), 0))));
    return text;
}

// In a child with its own mount namespace and a tmpfs at a fresh directory
// (the child's gtest failures make its exit status 1): a Favorites file and
// a settings file written, the disk filled, both written again.
TEST(DiskFull, SavesFailAndKeepTheOldFiles) {
    const ScopedTempDir temp("quendrel-diskfull");
    const std::string& dir = temp.Path();
    const pid_t child = fork();
    if (child == 0) {
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=64k,mode=0700") != 0)
            _exit(kCannotMount);
        const std::string path = dir + "/Favorites.xml";
        FavoritesFile file(path);
        auto root = file.Load(nullptr);
        root->AddChild("Old", "http://a/o.pls", "");
        EXPECT_TRUE(file.Save(*root));
        CascadeSettings settings("quendrel-test", dir.c_str());
        EXPECT_TRUE(settings.WriteStringValue("SkinName", "Default"));
        const std::string favoritesBefore = temp.ReadFile("Favorites.xml"),
                          settingsBefore = temp.ReadFile("quendrel-test.conf");
        const int output = FillUpAndCaptureOutput(dir);
        for (int i = 0; i < 200; ++i)
            root->AddChild(("New station " + std::to_string(i)).c_str(), "http://a/n.pls", "");
        EXPECT_FALSE(file.Save(*root));
        EXPECT_NE(std::string::npos, Captured(output).find("cannot save " + path + " (write): No space left on device"))
            << Captured(output);
        const std::size_t logged = Captured(output).size();
        EXPECT_FALSE(settings.WriteStringValue("SkinName", std::string(8000, 'n').c_str()));
        EXPECT_NE(std::string::npos, Captured(output).find("No space left on device", logged)) << Captured(output);
        EXPECT_EQ(favoritesBefore, temp.ReadFile("Favorites.xml"));
        EXPECT_EQ(settingsBefore, temp.ReadFile("quendrel-test.conf"));
        // No temporary file is left: the two files and the filler only.
        EXPECT_EQ(3, std::distance(std::filesystem::directory_iterator(dir), {}));
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == kCannotMount) GTEST_SKIP() << "cannot mount a tmpfs (needs root)";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

}  // namespace
