#include "platform/CascadeFile.h"

#include <gtest/gtest.h>

#include <string>

#include "support/ScopedTempDir.h"

namespace {

class CascadeFileTest : public ::testing::Test {
protected:
    ScopedTempDir m_dir;
};

TEST_F(CascadeFileTest, WrittenBytesAreReadBackWithTheirSize) {
    const std::string bytes("a\0b\xff" "cover", 9);
    CascadeFile file;
    file.SetName(m_dir.File("data.bin").c_str());
    ASSERT_TRUE(file.Open("wb"));
    EXPECT_EQ(file.Write(bytes.data(), bytes.size()), bytes.size());
    EXPECT_EQ(file.GetFileSize(), bytes.size()) << "buffered bytes count";
    EXPECT_TRUE(file.Close());

    ASSERT_TRUE(file.Open("rb"));
    std::string back(32, '\0');
    EXPECT_EQ(file.Read(back.data(), back.size()), bytes.size());
    back.resize(bytes.size());
    EXPECT_EQ(back, bytes);
    EXPECT_EQ(file.Read(back.data(), back.size()), 0u) << "end of file";
    ASSERT_TRUE(file.Seek(2));
    char c = 0;
    EXPECT_EQ(file.Read(&c, 1), 1u);
    EXPECT_EQ(c, 'b');
}

TEST_F(CascadeFileTest, DestructionFlushesAndCloses) {
    {
        CascadeFile file;
        file.SetName(m_dir.File("log.txt").c_str());
        ASSERT_TRUE(file.Open("a"));
        file.Write("line\n", 5);
    }
    EXPECT_EQ(m_dir.ReadFile("log.txt"), "line\n");
}

TEST_F(CascadeFileTest, ReopeningClosesTheFirstFile) {
    CascadeFile file;
    file.SetName(m_dir.File("one").c_str());
    ASSERT_TRUE(file.Open("w"));
    file.Write("1", 1);
    file.SetName(m_dir.File("two").c_str());
    ASSERT_TRUE(file.Open("w"));
    EXPECT_EQ(m_dir.ReadFile("one"), "1");
}

TEST_F(CascadeFileTest, BadOpensFailAndLeaveTheFileClosed) {
    CascadeFile file;
    EXPECT_FALSE(file.Open("r")) << "no name";
    file.SetName(m_dir.File("missing").c_str());
    EXPECT_FALSE(file.Open("r"));
    EXPECT_FALSE(file.Open("q"));
    EXPECT_FALSE(file.Open(""));
    EXPECT_FALSE(file.Open(nullptr));
    EXPECT_FALSE(file.Open("rwwwwwww"));
    EXPECT_FALSE(file.IsOpen());
    char c;
    EXPECT_EQ(file.Read(&c, 1), 0u);
    EXPECT_EQ(file.Write(&c, 1), 0u);
    EXPECT_EQ(file.GetFileSize(), 0u);
    EXPECT_FALSE(file.Seek(0));
    EXPECT_TRUE(file.Close());
}

}  // namespace
