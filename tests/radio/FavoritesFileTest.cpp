#include "radio/FavoritesFile.h"

#include "support/ScopedTempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <dirent.h>

#include <set>
#include <string>
#include <vector>

namespace {

using Load = OPMLNode::Load;

std::vector<std::string> FilesIn(const std::string& directory) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(directory.c_str())) {
        while (dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.') names.emplace_back(entry->d_name);
        closedir(dir);
    }
    return names;
}

class FavoritesFileTest : public ::testing::Test {
protected:
    std::string Path() const { return m_dir.File("Favorites.xml"); }

    ScopedTempDir m_dir{"quendrel-favorites"};
};

TEST_F(FavoritesFileTest, AMissingFileIsAnEmptyListAndTheFirstSaveCreatesIt) {
    FavoritesFile file(Path());
    auto root = file.Load(nullptr);
    ASSERT_NE(nullptr, root);
    EXPECT_EQ(0u, root->ChildCount(Load::Yes));
    EXPECT_TRUE(FilesIn(m_dir.Path()).empty());
    root->AddChild("Station", "http://a/s.pls", "audio");
    ASSERT_TRUE(file.Save(*root));
    EXPECT_EQ(std::vector<std::string>{"Favorites.xml"}, FilesIn(m_dir.Path())) << "no temporary file is left";
    FavoritesFile again(Path());
    auto back = again.Load(nullptr);
    ASSERT_EQ(1u, back->ChildCount(Load::No));
    EXPECT_EQ("Station", back->Child(0, Load::No)->text);
}

TEST_F(FavoritesFileTest, AnUnreadableFileIsKeptAsideNeverOverwritten) {
    for (const std::string& content :
         {std::string("this is not XML at all"), std::string(), std::string("<html><body>x</body></html>"),
          std::string("\x00\x01\x02\x03", 4)}) {
        ASSERT_TRUE(m_dir.WriteFile("Favorites.xml", content));
        FavoritesFile file(Path());
        auto root = file.Load(nullptr);
        EXPECT_EQ(0u, root->ChildCount(Load::No));
        ASSERT_FALSE(file.KeptAsidePath().IsEmpty());
        EXPECT_NE(std::string::npos, file.KeptAsidePath().Std().find("Favorites.xml.unreadable-"));
        struct stat info {};
        EXPECT_NE(0, stat(Path().c_str(), &info)) << "the damaged file is no longer in the way";
        root->AddChild("New", "http://a/n.pls", "");
        ASSERT_TRUE(file.Save(*root));
        FILE* kept = fopen(file.KeptAsidePath().c_str(), "rb");
        ASSERT_NE(nullptr, kept);
        std::string keptContent(content.size() + 16, '\0');
        keptContent.resize(fread(keptContent.data(), 1, keptContent.size(), kept));
        fclose(kept);
        EXPECT_EQ(content, keptContent);
        std::remove(file.KeptAsidePath().c_str());
    }
}

TEST_F(FavoritesFileTest, DamagedFilesKeptAsideInTheSameSecondAreAllKept) {
    std::vector<std::string> kept;
    for (const char* content : {"first broken", "second broken", "third broken"}) {
        ASSERT_TRUE(m_dir.WriteFile("Favorites.xml", content));
        FavoritesFile file(Path());
        (void)file.Load(nullptr);
        kept.push_back(file.KeptAsidePath().Std());
    }
    EXPECT_EQ(3u, std::set<std::string>(kept.begin(), kept.end()).size());
    EXPECT_EQ(3u, FilesIn(m_dir.Path()).size());
    EXPECT_EQ("third broken", m_dir.ReadFile(kept[2].substr(kept[2].rfind('/') + 1)));
}

TEST_F(FavoritesFileTest, ADamagedFileIsReadAsFarAsPossibleAndCopiedAside) {
    const std::string damaged =
        "<?xml version=\"1.0\"?><opml version=\"1.1\"><body><outline text=\"One\" url=\"http://a/1.pls\"/>"
        "<outline text=\"Two\" url=\"http://a/2.pls\"></b><outline text=\"Cut";
    ASSERT_TRUE(m_dir.WriteFile("Favorites.xml", damaged));
    FavoritesFile file(Path());
    auto root = file.Load(nullptr);
    ASSERT_EQ(2u, root->ChildCount(Load::No));
    EXPECT_EQ("Two", root->Child(1, Load::No)->text);
    ASSERT_FALSE(file.KeptAsidePath().IsEmpty());
    EXPECT_NE(std::string::npos, file.KeptAsidePath().Std().find(".mended-"));
    EXPECT_EQ(damaged, m_dir.ReadFile("Favorites.xml")) << "nothing is written until a save";
}

TEST_F(FavoritesFileTest, AFileThatCannotBeReadBlocksSaving) {
    // A directory in the file's place: it exists, it cannot be read as a file.
    ASSERT_EQ(0, mkdir(Path().c_str(), 0755));
    FavoritesFile file(Path());
    auto root = file.Load(nullptr);
    EXPECT_TRUE(file.IsSaveBlocked());
    root->AddChild("x", "http://a/x.pls", "");
    EXPECT_FALSE(file.Save(*root));
    struct stat info {};
    ASSERT_EQ(0, stat(Path().c_str(), &info));
    EXPECT_TRUE(S_ISDIR(info.st_mode));
}

TEST_F(FavoritesFileTest, AFailedSaveLeavesTheOldFile) {
    FavoritesFile file(Path());
    auto root = file.Load(nullptr);
    root->AddChild("Old", "http://a/o.pls", "");
    ASSERT_TRUE(file.Save(*root));
    const std::string before = m_dir.ReadFile("Favorites.xml");
    // The temporary file's name taken by a directory: the save cannot start.
    ASSERT_EQ(0, mkdir((Path() + ".tmp").c_str(), 0755));
    root->AddChild("New", "http://a/n.pls", "");
    EXPECT_FALSE(file.Save(*root));
    EXPECT_EQ(before, m_dir.ReadFile("Favorites.xml"));
    FavoritesFile nowhere(m_dir.File("missing/dir/Favorites.xml"));
    EXPECT_FALSE(nowhere.Save(*root));
}

TEST(FavoritesFileDefault, LivesInTheApplicationDirectory) {
    const FavoritesFile file;
    EXPECT_TRUE(file.Path().View().ends_with("Favorites.xml"));
    EXPECT_EQ(FavoritesFile::DefaultPath(), file.Path());
}

}  // namespace
