#include "platform/CascadeKeyMap.h"
#include "platform/CascadeKeys.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/ScopedTempDir.h"

namespace {

using namespace CascadeKeys;

// The shipped key map file (the built-in map's text) reads without a
// problem, and a missing file is no error. In a user's file, bad lines are
// reported with their number and keep their key's default; good lines
// replace only the keys they name.
TEST(CascadeKeyMap, AUserFileReplacesTheKeysItNamesAndReportsBadLines) {
    CascadeKeyMap map;
    std::vector<std::string> problems;
    ASSERT_TRUE(map.ReadFile(std::string(QUENDREL_SOURCE_ROOT) + "/data/keymap.conf", problems));
    EXPECT_FALSE(map.ReadFile("/nonexistent/quendrel/keymap.conf", problems));
    EXPECT_TRUE(problems.empty()) << problems.front();
    ScopedTempDir dir;
    ASSERT_TRUE(dir.WriteFile("keymap.conf",
                              "# my remote\n"             // 1
                              "  KEY_RED   =  Menu  \n"   // 2
                              "btn_play = Play/Pause\n"   // 3
                              "KEY_OK = none\n"           // 4: unmapped on purpose
                              "Shift+. = Zoom Out\n"      // 5
                              "KEY_VOLUMEUP = 0x1000C\n"  // 6: a code instead of a name
                              "KEY_UP Down\n"             // 7: no "="
                              "KEY_DOWN = Louder\n"       // 8: unknown key
                              " = Select\n"               // 9: nothing reported
                              "KEY_LEFT =\n"              // 10: nothing to give
                              "KEY_RIGHT = 0x0\n"         // 11: no such code
                              "KEY_STOP = Play\r\n"       // 12: fine despite CRLF
                                  + std::string(300, 'x') +
                                  " = Play\n"                // 13: overlong
                                  "KEY_BACK = 0x1000G\n"));  // 14: not a number
    ASSERT_TRUE(map.ReadFile(dir.File("keymap.conf"), problems));
    const std::vector<int> lines = {7, 8, 9, 10, 11, 13, 14};
    ASSERT_EQ(problems.size(), lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(problems[i].rfind(dir.File("keymap.conf") + ":" + std::to_string(lines[i]) + ": ", 0), 0u)
            << problems[i];
    EXPECT_NE(problems[1].find("\"Louder\""), std::string::npos) << problems[1];
    EXPECT_EQ(map.Lookup(".", true), kZoomOut);  // with Shift its own mapping
    EXPECT_EQ(map.Lookup(".", false), kNext);    // without, the default
    EXPECT_EQ(map.Lookup("=", true), kZoomIn);
    const std::pair<const char*, unsigned long> expected[] = {
        {"KEY_RED", kMenu}, {"BTN_PLAY", kPlayPause}, {"KEY_OK", 0},       {"KEY_VOLUMEUP", kUp}, {"KEY_STOP", kPlay},
        {"KEY_UP", kUp},    {"KEY_DOWN", kDown},      {"KEY_LEFT", kLeft}, {"KEY_RIGHT", kRight}, {"KEY_BACK", kExit},
    };
    for (const auto& [reported, key] : expected) EXPECT_EQ(map.Lookup(reported).value_or(0), key) << reported;
    // The shipped defaults, as SDL and lircd name the keys (0: unmapped).
    const std::pair<const char*, unsigned long> defaults[] = {
        {"Return", kSelect},   {"AudioPlay", kPlayPause}, {"=", 0}, {"AC Home", kMenu}, {"KEY_INFO", kOptions},
        {"Keypad 9", kDigit9}, {"KEY_5", 0x1002A},        {"1", 0}, {"KEY_ZOOM", 0},    {"", 0},
    };
    for (const auto& [reported, key] : defaults) EXPECT_EQ(map.Lookup(reported).value_or(0), key) << reported;
}

}  // namespace
