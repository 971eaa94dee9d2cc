#include "radio/FavoritesFile.h"

#include "support/ScopedTempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <iterator>
#include <set>
#include <string>

namespace {

using Load = OPMLNode::Load;

class FavoritesFileTest : public ::testing::Test {
protected:
    std::string Path() const { return m_dir.File("Favorites.xml"); }

    ScopedTempDir m_dir{"quendrel-favorites"};
};

// An unreadable file is moved aside under a name of its own (several in the
// same second stay several); the next save writes a new file and leaves no
// temporary file.
TEST_F(FavoritesFileTest, AnUnreadableFileIsKeptAsideNeverOverwritten) {
    std::set<std::string> kept;
    for (const std::string& content :
         {std::string("not XML"), std::string(), std::string("<html><body>x</body></html>"),
          std::string("\x00\x01\x02\x03", 4)}) {
        ASSERT_TRUE(m_dir.WriteFile("Favorites.xml", content));
        FavoritesFile file(Path());
        auto root = file.Load(nullptr);
        EXPECT_EQ(0u, root->ChildCount(Load::No));
        const std::string aside = std::filesystem::path(file.KeptAsidePath().Std()).filename();
        EXPECT_EQ(0u, aside.find("Favorites.xml.unreadable-")) << aside;
        EXPECT_TRUE(kept.insert(aside).second) << aside;
        EXPECT_EQ(content, m_dir.ReadFile(aside));
        EXPECT_FALSE(std::filesystem::exists(Path())) << "the damaged file is no longer in the way";
    }
    FavoritesFile file(Path());
    auto root = file.Load(nullptr);
    root->AddChild("New", "http://a/n.pls", "");
    ASSERT_TRUE(file.Save(*root));
    EXPECT_EQ(5, std::distance(std::filesystem::directory_iterator(m_dir.Path()), {}));  // four kept aside, one new
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
    EXPECT_NE(std::string::npos, file.KeptAsidePath().Std().find(".mended-"));
    EXPECT_EQ(damaged, m_dir.ReadFile("Favorites.xml")) << "nothing is written until a save";
}

// A directory in the file's place cannot be read as a file: it is never
// replaced. (A save that fails on a full disk is in the disk-full test.)
TEST_F(FavoritesFileTest, AFileThatCannotBeReadBlocksSaving) {
    ASSERT_EQ(0, mkdir(Path().c_str(), 0755));
    FavoritesFile file(Path());
    EXPECT_FALSE(file.Save(*file.Load(nullptr)));
    EXPECT_TRUE(std::filesystem::is_directory(Path()));
}

}  // namespace
