#include "platform/CascadeSettings.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <random>
#include <string>

#include "support/ScopedTempDir.h"

namespace {

constexpr const char* kName = "Tovrallisk.Quendrel";

class CascadeSettingsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(m_dir.Path().empty()); }
    CascadeSettings Make() const { return CascadeSettings(kName, m_dir.Path().c_str()); }
    std::string Read(const CascadeSettings& settings, const char* key) const {
        CascadeString value("<unset>");
        return settings.ReadStringValue(key, value) ? value.Std() : "<missing>";
    }

    ScopedTempDir m_dir;
};

// --- values survive the file ---

// A missing file or key leaves the value untouched; overwriting a key keeps
// the others.
TEST_F(CascadeSettingsTest, WrittenValuesAreReadBackAndOverwriteOnlyTheirKey) {
    CascadeSettings settings = Make();
    CascadeString value("kept");
    EXPECT_FALSE(settings.ReadStringValue("SkinName", value));
    ASSERT_TRUE(settings.WriteStringValue("a", "1"));
    EXPECT_FALSE(settings.ReadStringValue("SkinName", value));
    EXPECT_EQ(value, "kept");
    ASSERT_TRUE(settings.WriteStringValue("b", "Blue Steel"));
    ASSERT_TRUE(settings.WriteStringValue("a", "3"));
    EXPECT_EQ(Read(settings, "a"), "3");
    EXPECT_EQ(Read(settings, "b"), "Blue Steel");
    EXPECT_EQ(m_dir.ReadFile("Tovrallisk.Quendrel.conf"), "a=3\nb=Blue Steel\n");
    EXPECT_EQ(settings.GetPath(), m_dir.File("Tovrallisk.Quendrel.conf"));
}

TEST_F(CascadeSettingsTest, AwkwardValuesRoundTrip) {
    CascadeSettings settings = Make();
    const char* values[] = {"a=b=c", "two\nlines", "back\\slash\\n not a newline", "cr\r\nlf", "trailing\\",
                            "", "  spaced  ", "Motörhead – Ace of Spades", "#not a comment"};
    int i = 0;
    for (const char* v : values) ASSERT_TRUE(settings.WriteStringValue(("k" + std::to_string(i++)).c_str(), v));
    i = 0;
    for (const char* v : values) EXPECT_EQ(Read(Make(), ("k" + std::to_string(i++)).c_str()), v);
}

TEST_F(CascadeSettingsTest, SecondInstanceSeesTheFirstOnesWrite) {
    CascadeSettings first = Make();
    CascadeSettings second = Make();
    EXPECT_EQ(Read(second, "SkinName"), "<missing>");
    ASSERT_TRUE(first.WriteStringValue("SkinName", "Default"));
    EXPECT_EQ(Read(second, "SkinName"), "Default");
    ASSERT_TRUE(second.WriteStringValue("SkinName", "Night"));
    EXPECT_EQ(Read(first, "SkinName"), "Night");
}

TEST_F(CascadeSettingsTest, MissingDirectoriesAreCreated) {
    const std::string nested = m_dir.File("deep/er/config");
    CascadeSettings settings(kName, nested.c_str());
    ASSERT_TRUE(settings.WriteStringValue("SkinName", "x"));
    EXPECT_EQ(Read(CascadeSettings(kName, nested.c_str()), "SkinName"), "x");
}

TEST_F(CascadeSettingsTest, ConfigHomeComesFromTheEnvironment) {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_CONFIG_HOME", m_dir.Path().c_str(), 1);
    CascadeSettings settings(kName);
    if (old) setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(settings.GetPath(), m_dir.File("Tovrallisk.Quendrel.conf"));
}

// --- bad input ---

TEST_F(CascadeSettingsTest, KeysThatCannotBeStoredAreRefused) {
    CascadeSettings settings = Make();
    EXPECT_FALSE(settings.WriteStringValue("a=b", "x"));
    EXPECT_FALSE(settings.WriteStringValue("two\nlines", "x"));
    EXPECT_FALSE(settings.WriteStringValue("", "x"));
    EXPECT_FALSE(settings.WriteStringValue(nullptr, "x"));
    EXPECT_FALSE(settings.WriteStringValue("#comment", "x"));
    EXPECT_TRUE(settings.WriteStringValue("null value", nullptr));
    EXPECT_EQ(Read(settings, "null value"), "");
}

// Binary garbage, lines without a key or with a bad escape are skipped.
TEST_F(CascadeSettingsTest, GarbledLinesAreSkippedAndTheRestIsRead) {
    std::string junk(4096, '\0');
    std::mt19937 random(3);
    for (char& c : junk) c = char(random());
    ASSERT_TRUE(m_dir.WriteFile("Tovrallisk.Quendrel.conf",
                                junk + "\nno equals sign\n=empty key\nbad=escape\\q\ncut=escape\\\n"
                                "# a comment\n\ngood=yes\r\nlast=without newline"));
    CascadeSettings settings = Make();
    EXPECT_EQ(Read(settings, "good"), "yes");
    EXPECT_EQ(Read(settings, "last"), "without newline");
    EXPECT_EQ(Read(settings, "bad"), "<missing>");
    EXPECT_EQ(Read(settings, "cut"), "<missing>");
    EXPECT_EQ(Read(settings, ""), "<missing>");
    // A write keeps what could be read.
    ASSERT_TRUE(settings.WriteStringValue("new", "1"));
    EXPECT_EQ(Read(settings, "good"), "yes");
}

TEST_F(CascadeSettingsTest, UnwritableDirectoryGivesFalse) {
    // A directory below a plain file cannot be made, not even by root.
    ASSERT_TRUE(m_dir.WriteFile("plain", "x"));
    CascadeSettings settings(kName, m_dir.File("plain/config").c_str());
    EXPECT_FALSE(settings.WriteStringValue("SkinName", "x"));
    EXPECT_EQ(Read(settings, "SkinName"), "<missing>");
}

TEST_F(CascadeSettingsTest, ReadOnlyDirectoryGivesFalseAndKeepsTheOldValue) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only directories";
    CascadeSettings settings = Make();
    ASSERT_TRUE(settings.WriteStringValue("SkinName", "Old"));
    ASSERT_EQ(::chmod(m_dir.Path().c_str(), 0500), 0);
    EXPECT_FALSE(settings.WriteStringValue("SkinName", "New"));
    EXPECT_EQ(Read(settings, "SkinName"), "Old");
}

TEST(CascadeSettingsName, UnusableNamesFailCleanly) {
    ScopedTempDir dir;
    for (const char* name : {"", "../escape", "a/b", ".."}) {
        CascadeSettings settings(name, dir.Path().c_str());
        EXPECT_EQ(settings.GetPath(), "");
        EXPECT_FALSE(settings.WriteStringValue("k", "v")) << name;
    }
    CascadeSettings null(nullptr, dir.Path().c_str());
    EXPECT_FALSE(null.WriteStringValue("k", "v"));
}

// --- crashes ---

TEST_F(CascadeSettingsTest, StaleTemporaryFileLeavesTheOldFileIntact) {
    CascadeSettings settings = Make();
    ASSERT_TRUE(settings.WriteStringValue("SkinName", "Old"));
    // What a writer killed half-way leaves behind.
    ASSERT_TRUE(m_dir.WriteFile("Tovrallisk.Quendrel.conf.tmp.Ab12Cd", "SkinName=Ne"));
    EXPECT_EQ(Read(settings, "SkinName"), "Old");
    ASSERT_TRUE(settings.WriteStringValue("SkinName", "New"));
    EXPECT_EQ(Read(settings, "SkinName"), "New");
}

TEST_F(CascadeSettingsTest, WriterKilledAtAnyPointLeavesAWholeFile) {
    const std::string a(200000, 'a');
    const std::string b(300000, 'b');
    CascadeSettings settings = Make();
    ASSERT_TRUE(settings.WriteStringValue("Big", a.c_str()));
    std::mt19937 random(11);
    for (int round = 0; round < 5; ++round) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // Alternate the two values and report each finished write.
            ::close(ready[0]);
            CascadeSettings writer = Make();
            for (int i = 0;; ++i) {
                if (!writer.WriteStringValue("Big", (i % 2 ? a : b).c_str())) ::_exit(1);
                (void)!::write(ready[1], "w", 1);
            }
        }
        ::close(ready[1]);
        const int writes = int(random() % 4) + 1;
        char c;
        for (int i = 0; i < writes; ++i) ASSERT_EQ(::read(ready[0], &c, 1), 1);
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        ::close(ready[0]);
        const std::string value = Read(Make(), "Big");
        EXPECT_TRUE(value == a || value == b) << "round " << round << ": value of " << value.size() << " bytes";
    }
}

}  // namespace
