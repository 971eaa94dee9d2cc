#include "app/AppPaths.h"
#include "app/base/AppSettings.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "support/ScopedTempDir.h"

namespace {

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

class AppPathsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(m_dir.Path().empty());
        for (const char* dir : {"/usr", "/usr/bin", "/usr/share", "/usr/share/quendrel", "/usr/share/quendrel/images",
                                "/build", "/build/app", "/build/app/images", "/home", "/home/u", "/old",
                                "/old/images", "/elsewhere"})
            ASSERT_EQ(::mkdir((m_dir.Path() + dir).c_str(), 0755), 0) << dir;
    }
    std::string P(const char* relative) const { return m_dir.Path() + relative; }
    AppPaths::Inputs Installed(const char* cwd) const {
        AppPaths::Inputs in;
        in.workingDir = P(cwd);
        in.programPath = P("/usr/bin/quendrel");
        in.home = P("/home/u");
        return in;
    }

    ScopedTempDir m_dir;
};

TEST_F(AppPathsTest, InstalledReadsThePrefixAndWritesTheXdgDirectories) {
    const AppPaths paths = AppPaths::Resolve(Installed("/elsewhere"));
    EXPECT_TRUE(paths.installed);
    EXPECT_EQ(paths.appPath, P("/usr/share/quendrel/"));
    EXPECT_EQ(paths.dataPath, P("/home/u/.local/share/quendrel/"));
    EXPECT_EQ(paths.logFile, P("/home/u/.local/state/quendrel/debug.txt"));
    EXPECT_EQ(paths.keyMapFiles,
              (std::vector<std::string>{P("/usr/share/quendrel/keymap.conf"), P("/home/u/.config/quendrel/keymap.conf")}));
    EXPECT_TRUE(paths.oldAppPath.empty());

    AppPaths::Inputs in = Installed("/elsewhere");
    in.xdgDataHome = P("/data");
    in.xdgStateHome = "relative/state";  // not absolute: ignored
    in.xdgConfigHome = P("/config");
    const AppPaths xdg = AppPaths::Resolve(in);
    EXPECT_EQ(xdg.dataPath, P("/data/quendrel/"));
    EXPECT_EQ(xdg.logFile, P("/home/u/.local/state/quendrel/debug.txt"));
    EXPECT_EQ(xdg.keyMapFiles.back(), P("/config/quendrel/keymap.conf"));
}

TEST_F(AppPathsTest, FromABuildTreeTheApplicationDirectoryHoldsEverything) {
    AppPaths::Inputs in;
    in.programPath = P("/build/quendrel");
    in.home = P("/home/u");
    struct Case {
        const char* cwd;
        const char* appPath;
    };
    // scripts/run starts in build/app; from elsewhere build/app is found
    // beside the program; a working directory with its own images/ wins.
    for (const Case& c : {Case{"/build/app", "/build/app/"}, Case{"/elsewhere", "/build/app/"}, Case{"/old", "/old/"}}) {
        in.workingDir = P(c.cwd);
        const AppPaths paths = AppPaths::Resolve(in);
        EXPECT_FALSE(paths.installed) << c.cwd;
        EXPECT_EQ(paths.appPath, P(c.appPath)) << c.cwd;
        EXPECT_EQ(paths.dataPath, paths.appPath) << c.cwd;
        EXPECT_EQ(paths.logFile, paths.appPath + "debug.txt") << c.cwd;
        EXPECT_TRUE(paths.Prepare().empty()) << c.cwd;  // nothing made, nothing moved
    }
}

TEST_F(AppPathsTest, FirstRunMakesTheDirectoriesAndMovesOldFavorites) {
    ASSERT_TRUE(m_dir.WriteFile("old/Favorites.xml", "<opml version=\"1.0\"/>"));
    const AppPaths paths = AppPaths::Resolve(Installed("/old"));
    EXPECT_EQ(paths.oldAppPath, P("/old/"));
    const std::vector<std::string> lines = paths.Prepare();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("moved the Favorites"), std::string::npos) << lines[0];
    EXPECT_EQ(m_dir.ReadFile("home/u/.local/share/quendrel/Favorites.xml"), "<opml version=\"1.0\"/>");
    EXPECT_FALSE(Exists(P("/old/Favorites.xml")));
    EXPECT_TRUE(Exists(P("/home/u/.local/state/quendrel")));
    struct stat st {};
    ASSERT_EQ(::stat(P("/home/u/.local/share/quendrel").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // A second run finds nothing to move; a newer copy is never overwritten.
    EXPECT_TRUE(AppPaths::Resolve(Installed("/old")).oldAppPath.empty());
    ASSERT_TRUE(m_dir.WriteFile("old/Favorites.xml", "older"));
    const std::vector<std::string> again = AppPaths::Resolve(Installed("/old")).Prepare();
    ASSERT_EQ(again.size(), 1u);
    EXPECT_NE(again[0].find("left where it is"), std::string::npos) << again[0];
    EXPECT_EQ(m_dir.ReadFile("home/u/.local/share/quendrel/Favorites.xml"), "<opml version=\"1.0\"/>");
    EXPECT_EQ(m_dir.ReadFile("old/Favorites.xml"), "older");
}

TEST_F(AppPathsTest, UnwritableHomeIsReportedNotFatal) {
    AppPaths::Inputs in = Installed("/elsewhere");
    in.home = "/proc/quendrel-no-such-home";
    const std::vector<std::string> lines = AppPaths::Resolve(in).Prepare();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("cannot make the directory"), std::string::npos) << lines[0];
}

TEST_F(AppPathsTest, SettingsTakeThePaths) {
    AppPaths::Resolve(Installed("/elsewhere")).ApplyToSettings();
    EXPECT_EQ(g_appPath, CascadeString(P("/usr/share/quendrel/")));
    EXPECT_EQ(g_dataPath, CascadeString(P("/home/u/.local/share/quendrel/")));
    EXPECT_EQ(g_logFile, CascadeString(P("/home/u/.local/state/quendrel/debug.txt")));
    g_appPath = g_dataPath = g_logFile = CascadeString();
}

}  // namespace
