#include "radio/FavoritesFile.h"

#include "support/ScopedTempDir.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>

extern char** environ;

namespace {

using Load = OPMLNode::Load;

constexpr long kEntries = 200;
constexpr int kRounds = 60;

// The saver is built next to the test programs' folder: <build>/favorites-saver
// beside <build>/tests/radio_tests.
std::string SaverPath() {
    std::string self(4096, '\0');
    const ssize_t n = readlink("/proc/self/exe", self.data(), self.size() - 1);
    self.resize(n > 0 ? std::size_t(n) : 0);
    for (int up = 0; up < 2; ++up) self = self.substr(0, self.rfind('/'));
    return self + "/favorites-saver";
}

// Which list the file holds: 'A' (kEntries stations), 'B' (one more), or '?'.
char ListInFile(const std::string& path, std::string& why) {
    FavoritesFile file(path);
    auto root = file.Load(nullptr);
    if (!file.KeptAsidePath().IsEmpty() || file.IsSaveBlocked()) {
        why = "the file did not parse";
        return '?';
    }
    const unsigned long count = root->ChildCount(Load::No);
    const char list = count == kEntries ? 'A' : count == kEntries + 1 ? 'B' : '?';
    if (list == '?') {
        why = std::to_string(count) + " entries";
        return list;
    }
    for (unsigned long i = 0; i < count; ++i) {
        const std::string expected =
            std::string("List ") + list + " station " + std::to_string(i) + " with a title long enough to fill";
        if (root->Child(i, Load::No)->text.Std() != expected) {
            why = "entry " + std::to_string(i) + " reads " + root->Child(i, Load::No)->text.Std();
            return '?';
        }
    }
    return list;
}

TEST(FavoritesKill, AKilledSaveLeavesTheOldOrTheNewListNeverAMix) {
    std::string saver = SaverPath();
    ASSERT_EQ(0, access(saver.c_str(), X_OK)) << "missing " << saver;
    ScopedTempDir dir("quendrel-favorites-kill");
    const std::string path = dir.File("Favorites.xml");
    std::mt19937 random(20261206);
    std::uniform_int_distribution<int> delayUs(0, 40000);
    int seenA = 0, seenB = 0;
    for (int round = 0; round < kRounds; ++round) {
        char* const args[] = {saver.data(), const_cast<char*>(path.c_str()), nullptr};
        // The saver says "saved" once its first save is done; the kill comes
        // a random moment after that, however slowly the program started.
        int out[2];
        ASSERT_EQ(0, pipe(out));
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        pid_t pid = 0;
        const int spawned = posix_spawn(&pid, args[0], &actions, nullptr, args, environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        ASSERT_EQ(0, spawned);
        char c = 0;
        while (read(out[0], &c, 1) == 1 && c != '\n') {
        }
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
        ASSERT_EQ(0, kill(pid, SIGKILL));
        int status = 0;
        ASSERT_EQ(pid, waitpid(pid, &status, 0));
        close(out[0]);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the saver stopped by itself: " << status;
        ASSERT_EQ(0, access(path.c_str(), F_OK)) << "round " << round << ": the file vanished";
        std::string why;
        const char list = ListInFile(path, why);
        ASSERT_NE('?', list) << "round " << round << ": " << why;
        (list == 'A' ? seenA : seenB)++;
    }
    // The kills landed while the saver was working, not only before it began.
    EXPECT_GT(seenA, 0);
    EXPECT_GT(seenB, 0);
    // At most the temporary file is left next to it.
    int others = 0;
    if (DIR* d = opendir(dir.Path().c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name != "." && name != ".." && name != "Favorites.xml" && name != "Favorites.xml.tmp") ++others;
        }
        closedir(d);
    }
    EXPECT_EQ(0, others);
}

}  // namespace
