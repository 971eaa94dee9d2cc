#include "radio/OPMLNode.h"

#include "support/ScopedTempDir.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

namespace {

// The file the saver writes for list A (200 stations) or B (one more).
std::string ListText(char list) {
    OPMLNode root;
    for (int i = 0; i < (list == 'A' ? 200 : 201); ++i) {
        const std::string n = std::to_string(i);
        root.AddChild((std::string("List ") + list + " station " + n + " with a title long enough to fill").c_str(),
                      ("http://stations.example/" + n + "/tunein-station.pls?id=" + n + "&list=" + list).c_str(),
                      "audio");
    }
    return root.ToFavoritesXml();
}

// The saver (<build>/favorites-saver beside <build>/tests/radio_tests) saves
// lists A and B in turn and says "saved" after its first save; it is killed
// a random moment after that, many times.
TEST(FavoritesKill, AKilledSaveLeavesTheOldOrTheNewListNeverAMix) {
    const std::string saver =
        std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "favorites-saver";
    ASSERT_EQ(0, access(saver.c_str(), X_OK)) << "missing " << saver;
    ScopedTempDir dir("quendrel-favorites-kill");
    const std::string path = dir.File("Favorites.xml");
    std::mt19937 random(20261206);
    std::uniform_int_distribution<int> delayUs(0, 40000);
    const std::string lists[2] = {ListText('A'), ListText('B')};
    int seen[2] = {0, 0};
    for (int round = 0; round < 60; ++round) {
        int out[2];
        ASSERT_EQ(0, pipe(out));
        const pid_t pid = fork();
        if (pid == 0) {
            dup2(out[1], STDOUT_FILENO);
            execl(saver.c_str(), saver.c_str(), path.c_str(), nullptr);
            _exit(127);
        }
        close(out[1]);
        ASSERT_GT(pid, 0);
        char c = 0;
        while (read(out[0], &c, 1) == 1 && c != '\n') continue;  // "saved"
        close(out[0]);
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
        ASSERT_EQ(0, kill(pid, SIGKILL));
        int status = 0;
        ASSERT_EQ(pid, waitpid(pid, &status, 0));
        ASSERT_TRUE(WIFSIGNALED(status)) << "the saver stopped by itself: " << status;
        const std::string text = dir.ReadFile("Favorites.xml");
        const char list = text == lists[0] ? 'A' : text == lists[1] ? 'B' : '?';
        ASSERT_NE('?', list) << "round " << round << ": " << text.size() << " bytes";
        ++seen[list - 'A'];
    }
    // The kills landed while the saver was working, not only before it began.
    EXPECT_GT(seen[0], 0);
    EXPECT_GT(seen[1], 0);
    // At most the temporary file is left next to it.
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        EXPECT_TRUE(entry.path().filename() == "Favorites.xml" || entry.path().filename() == "Favorites.xml.tmp")
            << entry.path();
}

}  // namespace
