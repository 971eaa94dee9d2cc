#include "platform/CascadeSettings.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <string>

#include "support/ScopedTempDir.h"

namespace {

constexpr const char* kName = "Tovrallisk.Quendrel";

class CascadeSettingsTest : public ::testing::Test {
protected:
    CascadeSettings Make(const std::string& dir = "") const {
        return CascadeSettings(kName, (dir.empty() ? m_dir.Path() : dir).c_str());
    }
    static std::string Read(const CascadeSettings& settings, const char* key) {
        CascadeString value("<unset>");
        return settings.ReadStringValue(key, value) ? value.Std() : "<missing>";
    }

    ScopedTempDir m_dir;
};

// Awkward values come back as written, also to another instance; a write
// replaces only its key; missing directories are made.
TEST_F(CascadeSettingsTest, ValuesRoundTripThroughTheFile) {
    CascadeSettings settings = Make(), other = Make();
    EXPECT_EQ(Read(settings, "a"), "<missing>");
    const char* values[] = {"a=b=c", "two\nlines", "back\\slash\\n not a newline", "cr\r\nlf",      "trailing\\",
                            "",      "  spaced  ", "Motörhead – Ace of Spades",    "#not a comment"};
    for (int i = 0; i < 9; ++i) ASSERT_TRUE(settings.WriteStringValue(("k" + std::to_string(i)).c_str(), values[i]));
    for (int i = 0; i < 9; ++i) EXPECT_EQ(Read(other, ("k" + std::to_string(i)).c_str()), values[i]);
    ASSERT_TRUE(other.WriteStringValue("k1", "Night"));
    EXPECT_EQ(Read(settings, "k1"), "Night");
    EXPECT_EQ(Read(settings, "k0"), "a=b=c");

    ASSERT_TRUE(Make(m_dir.File("deep/er")).WriteStringValue("SkinName", "x"));
    EXPECT_EQ(m_dir.ReadFile("deep/er/Tovrallisk.Quendrel.conf"), "SkinName=x\n");
}

// Keys that cannot be stored, names that would leave the directory and
// directories that cannot be made are refused; garbled lines are skipped.
TEST_F(CascadeSettingsTest, BadKeysNamesAndLinesAreRefusedOrSkipped) {
    CascadeSettings settings = Make();
    for (const char* key : {"a=b", "two\nlines", "", static_cast<const char*>(nullptr), "#comment"})
        EXPECT_FALSE(settings.WriteStringValue(key, "x")) << (key ? key : "null");
    for (const char* name : {"", "../escape", "a/b", "..", static_cast<const char*>(nullptr)})
        EXPECT_FALSE(CascadeSettings(name, m_dir.Path().c_str()).WriteStringValue("k", "v")) << (name ? name : "null");
    ASSERT_TRUE(m_dir.WriteFile("plain", "x"));
    EXPECT_FALSE(Make(m_dir.File("plain/config")).WriteStringValue("k", "v"));  // not even root can

    std::string junk(4096, '\0');
    std::mt19937 random(3);
    for (char& c : junk) c = char(random());
    ASSERT_TRUE(
        m_dir.WriteFile("Tovrallisk.Quendrel.conf", junk + "\nno equals sign\n=empty key\nbad=escape\\q\ncut=escape\\\n"
                                                           "# a comment\n\ngood=yes\r\nlast=without newline"));
    EXPECT_EQ(Read(settings, "bad"), "<missing>");
    EXPECT_EQ(Read(settings, "cut"), "<missing>");
    EXPECT_EQ(Read(settings, ""), "<missing>");
    ASSERT_TRUE(settings.WriteStringValue("new", "1"));  // keeps what could be read
    EXPECT_EQ(Read(settings, "good"), "yes");
    EXPECT_EQ(Read(settings, "last"), "without newline");
}

// The file is replaced in one step: a writer killed at any moment leaves
// the old value or the new one, never a part.
TEST_F(CascadeSettingsTest, WriterKilledAtAnyPointLeavesAWholeFile) {
    const std::string a(200000, 'a'), b(300000, 'b');
    ASSERT_TRUE(Make().WriteStringValue("Big", a.c_str()));
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
        char c;
        for (int i = int(random() % 4); i >= 0; --i) ASSERT_EQ(::read(ready[0], &c, 1), 1);
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        ::close(ready[0]);
        const std::string value = Read(Make(), "Big");
        EXPECT_TRUE(value == a || value == b) << "round " << round << ": value of " << value.size() << " bytes";
    }
}

}  // namespace
