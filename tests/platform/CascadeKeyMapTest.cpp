#include "platform/CascadeKeyMap.h"
#include "platform/CascadeKeys.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/ScopedTempDir.h"

namespace {

using namespace CascadeKeys;

struct Mapping {
    const char* reported;
    bool shift;
    unsigned long key;  // 0: unmapped
};

// The keys of the platform notes' table, as SDL and lircd name them.
const Mapping kDefaults[] = {
    {"Return", false, kSelect},      {"Keypad Enter", false, kSelect}, {"KEY_OK", false, kSelect},
    {"Up", false, kUp},              {"KEY_DOWN", false, kDown},       {"left", false, kLeft},
    {"P", false, kPlay},             {"Space", false, kPlayPause},     {"AudioPlay", false, kPlayPause},
    {"KEY_PLAYPAUSE", false, kPlayPause}, {"S", false, kStop},          {"AudioStop", false, kStop},
    {".", false, kNext},             {".", true, kNext},               {">", false, kNext},
    {"AudioNext", false, kNext},     {"<", false, kPrevious},          {"KEY_PREVIOUS", false, kPrevious},
    {"PageUp", false, kZoomIn},      {"Keypad +", false, kZoomIn},     {"=", true, kZoomIn},
    {"=", false, 0},                 {"KEY_CHANNELUP", false, kZoomIn}, {"-", false, kZoomOut},
    {"KEY_CHANNELDOWN", false, kZoomOut}, {"R", false, kRotate},       {"KEY_RED", false, kRotate},
    {"M", false, kMenu},             {"F1", false, kMenu},             {"AC Home", false, kMenu},
    {"KEY_HOME", false, kMenu},      {"O", false, kOptions},           {"F2", false, kOptions},
    {"KEY_INFO", false, kOptions},   {"Escape", false, kExit},         {"Backspace", false, kExit},
    {"AC Back", false, kExit},       {"KEY_BACK", false, kExit},       {"2", false, kDigit2},
    {"Keypad 9", false, kDigit9},    {"KEY_5", false, 0x1002A},        {"1", false, 0},
    {"]", false, kVolumeUp},         {"VolumeDown", false, kVolumeDown}, {"KEY_VOLUMEUP", false, kVolumeUp},
    {"AudioMute", false, kMute},     {"KEY_MUTE", false, kMute},       {"KEY_ZOOM", false, 0},
    {"Q", false, 0},                 {"", false, 0},
};

std::string Describe(const Mapping& m) { return std::string(m.shift ? "Shift+" : "") + "\"" + m.reported + "\""; }

void ExpectDefaults(const CascadeKeyMap& map) {
    for (const Mapping& m : kDefaults) {
        const std::optional<unsigned long> key = map.Lookup(m.reported, m.shift);
        EXPECT_EQ(key.value_or(0), m.key) << Describe(m);
    }
}

TEST(CascadeKeyMap, DefaultsFollowThePlatformKeyTable) { ExpectDefaults(CascadeKeyMap()); }

TEST(CascadeKeyMap, InstalledFileIsTheBuiltInMapWithoutErrors) {
    const std::string source = QUENDREL_SOURCE_ROOT;
    CascadeKeyMap map;
    const std::size_t size = map.GetSize();
    std::vector<std::string> problems;
    ASSERT_TRUE(map.ReadFile(source + "/data/keymap.conf", problems));
    EXPECT_TRUE(problems.empty()) << problems.front();
    EXPECT_EQ(map.GetSize(), size);
    ExpectDefaults(map);
    // The built-in text itself reads cleanly too.
    CascadeKeyMap again;
    again.Read(CascadeKeyMap::DefaultText(), "built-in", problems);
    EXPECT_TRUE(problems.empty());
}

TEST(CascadeKeyMap, AUserFileReplacesOnlyTheKeysItNames) {
    CascadeKeyMap map;
    std::vector<std::string> problems;
    map.Read("# my remote\n"
             "  KEY_RED   =  Menu  \n"
             "btn_play = Play/Pause\n"
             "KEY_OK = none\n"
             "Shift+. = Zoom Out\n"
             "KEY_VOLUMEUP = 0x1000C\n",
             "user", problems);
    EXPECT_TRUE(problems.empty());
    EXPECT_EQ(map.Lookup("KEY_RED"), kMenu);
    EXPECT_EQ(map.Lookup("BTN_PLAY"), kPlayPause);
    EXPECT_FALSE(map.Lookup("KEY_OK"));           // unmapped on purpose
    EXPECT_EQ(map.Lookup(".", true), kZoomOut);   // with Shift its own mapping
    EXPECT_EQ(map.Lookup(".", false), kNext);     // without, the default
    EXPECT_EQ(map.Lookup("KEY_VOLUMEUP"), kUp);   // a code instead of a name
    EXPECT_EQ(map.Lookup("Return"), kSelect);     // untouched keys keep theirs
    EXPECT_EQ(map.Lookup("KEY_BACK"), kExit);
}

TEST(CascadeKeyMap, BadLinesAreReportedByNumberAndTheRestStillApplies) {
    ScopedTempDir dir;
    ASSERT_TRUE(dir.WriteFile("keymap.conf",
                              "KEY_OK = Menu\n"           // 1: fine
                              "KEY_UP Down\n"             // 2: no "="
                              "\n"                        // 3
                              "KEY_DOWN = Louder\n"       // 4: unknown key
                              " = Select\n"               // 5: nothing reported
                              "KEY_LEFT =\n"              // 6: nothing to give
                              "KEY_RIGHT = 0x0\n"         // 7: no such code
                              "KEY_STOP = Play\r\n"       // 8: fine despite CRLF
                              + std::string(300, 'x') + " = Play\n"  // 9: overlong
                              "KEY_BACK = 0x1000G\n"));   // 10: not a number
    CascadeKeyMap map;
    std::vector<std::string> problems;
    ASSERT_TRUE(map.ReadFile(dir.File("keymap.conf"), problems));
    const std::vector<int> lines = {2, 4, 5, 6, 7, 9, 10};
    ASSERT_EQ(problems.size(), lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(problems[i].rfind(dir.File("keymap.conf") + ":" + std::to_string(lines[i]) + ": ", 0), 0u)
            << problems[i];
    EXPECT_NE(problems[1].find("\"Louder\""), std::string::npos) << problems[1];
    EXPECT_EQ(map.Lookup("KEY_OK"), kMenu);
    EXPECT_EQ(map.Lookup("KEY_STOP"), kPlay);
    // The keys of the bad lines keep their defaults.
    EXPECT_EQ(map.Lookup("KEY_UP"), kUp);
    EXPECT_EQ(map.Lookup("KEY_DOWN"), kDown);
    EXPECT_EQ(map.Lookup("KEY_LEFT"), kLeft);
    EXPECT_EQ(map.Lookup("KEY_RIGHT"), kRight);
    EXPECT_EQ(map.Lookup("KEY_BACK"), kExit);
}

TEST(CascadeKeyMap, AMissingFileIsNoError) {
    CascadeKeyMap map;
    std::vector<std::string> problems;
    EXPECT_FALSE(map.ReadFile("/nonexistent/quendrel/keymap.conf", problems));
    EXPECT_TRUE(problems.empty());
    ExpectDefaults(map);
}

TEST(CascadeKeyMap, OnlyTheArrowsAndTheVolumeStepsRepeat) {
    for (unsigned long key : {kUp, kDown, kLeft, kRight, kVolumeUp, kVolumeDown})
        EXPECT_TRUE(CascadeKeyMap::Repeats(key)) << std::hex << key;
    for (unsigned long key : {kSelect, kPlayPause, kStop, kNext, kZoomIn, kMenu, kExit, kDigit2, kMute})
        EXPECT_FALSE(CascadeKeyMap::Repeats(key)) << std::hex << key;
}

}  // namespace
