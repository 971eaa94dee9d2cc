#include "app/AppPaths.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "support/ScopedTempDir.h"

namespace {

class AppPathsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(m_dir.Path().empty());
        for (const char* dir :
             {"/usr", "/usr/bin", "/usr/share", "/usr/share/quendrel", "/usr/share/quendrel/images", "/build",
              "/build/app", "/build/app/images", "/home", "/home/u", "/old", "/old/images", "/elsewhere"})
            ASSERT_EQ(::mkdir(P(dir).c_str(), 0755), 0) << dir;
    }
    std::string P(const char* relative) const { return m_dir.Path() + relative; }
    AppPaths::Inputs Inputs(const char* cwd, const char* program = "/usr/bin/quendrel") const {
        AppPaths::Inputs in;
        in.workingDir = P(cwd);
        in.programPath = P(program);
        in.home = P("/home/u");
        return in;
    }

    ScopedTempDir m_dir;
};

// Installed, the prefix's share directory is read and the XDG directories
// take what is written; a relative XDG variable is ignored.
TEST_F(AppPathsTest, InstalledReadsThePrefixAndWritesTheXdgDirectories) {
    AppPaths::Inputs in = Inputs("/elsewhere");
    in.xdgDataHome = P("/data");
    in.xdgStateHome = "relative/state";  // not absolute: ignored
    in.xdgConfigHome = P("/config");
    const AppPaths paths = AppPaths::Resolve(in);
    EXPECT_TRUE(paths.installed);
    EXPECT_EQ(paths.appPath, P("/usr/share/quendrel/"));
    EXPECT_EQ(paths.dataPath, P("/data/quendrel/"));
    EXPECT_EQ(paths.logFile, P("/home/u/.local/state/quendrel/debug.txt"));
    EXPECT_EQ(paths.keyMapFiles,
              (std::vector<std::string>{P("/usr/share/quendrel/keymap.conf"), P("/config/quendrel/keymap.conf")}));
}

// scripts/run starts in build/app; from elsewhere build/app is found beside
// the program; a working directory with its own images/ wins. Nothing is
// made or moved.
TEST_F(AppPathsTest, FromABuildTreeTheApplicationDirectoryHoldsEverything) {
    for (const auto& [cwd, appPath] :
         {std::pair("/build/app", "/build/app/"), std::pair("/elsewhere", "/build/app/"), std::pair("/old", "/old/")}) {
        const AppPaths paths = AppPaths::Resolve(Inputs(cwd, "/build/quendrel"));
        EXPECT_FALSE(paths.installed) << cwd;
        EXPECT_EQ(paths.appPath, P(appPath)) << cwd;
        EXPECT_EQ(paths.dataPath, paths.appPath) << cwd;
        EXPECT_EQ(paths.logFile, paths.appPath + "debug.txt") << cwd;
        EXPECT_TRUE(paths.Prepare().empty()) << cwd;
    }
}

TEST_F(AppPathsTest, FirstRunMakesTheDirectoriesAndMovesOldFavoritesOnce) {
    ASSERT_TRUE(m_dir.WriteFile("old/Favorites.xml", "<opml version=\"1.0\"/>"));
    const AppPaths paths = AppPaths::Resolve(Inputs("/old"));
    EXPECT_EQ(paths.oldAppPath, P("/old/"));
    const std::vector<std::string> lines = paths.Prepare();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("moved the Favorites"), std::string::npos) << lines[0];
    EXPECT_EQ(m_dir.ReadFile("home/u/.local/share/quendrel/Favorites.xml"), "<opml version=\"1.0\"/>");
    EXPECT_EQ(m_dir.ReadFile("old/Favorites.xml"), "");
    struct stat st {};
    EXPECT_EQ(::stat(P("/home/u/.local/state/quendrel").c_str(), &st), 0);
    ASSERT_EQ(::stat(P("/home/u/.local/share/quendrel").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // A second run finds nothing to move; a newer copy is never overwritten.
    EXPECT_TRUE(AppPaths::Resolve(Inputs("/old")).oldAppPath.empty());
    ASSERT_TRUE(m_dir.WriteFile("old/Favorites.xml", "older"));
    const std::vector<std::string> again = AppPaths::Resolve(Inputs("/old")).Prepare();
    ASSERT_EQ(again.size(), 1u);
    EXPECT_NE(again[0].find("left where it is"), std::string::npos) << again[0];
    EXPECT_EQ(m_dir.ReadFile("home/u/.local/share/quendrel/Favorites.xml"), "<opml version=\"1.0\"/>");

    // An unwritable home is reported, not fatal.
    AppPaths::Inputs in = Inputs("/elsewhere");
    in.home = "/proc/quendrel-no-such-home";
    const std::vector<std::string> failed = AppPaths::Resolve(in).Prepare();
    ASSERT_EQ(failed.size(), 2u);
    EXPECT_NE(failed[0].find("cannot make the directory"), std::string::npos) << failed[0];
}

}  // namespace
