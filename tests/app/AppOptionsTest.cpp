#include "app/AppOptions.h"
#include "app/base/AppSettings.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

AppOptions Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "/opt/quendrel/quendrel");
    return AppOptions::Parse(int(args.size()), args.data());
}

TEST(AppOptions, NamesWordsAndNumbers) {
    // Names match without regard to case but as whole words: one letter more
    // makes the argument the server address.
    EXPECT_TRUE(Parse({"-DEBUG"}).debug);
    EXPECT_FALSE(Parse({"-debugx"}).debug);
    EXPECT_EQ(Parse({"-debugx"}).serverAddress, "-debugx");
    // The last bare argument is the server; an option that is accepted and
    // ignored is never taken for one.
    EXPECT_EQ(Parse({"10.0.0.1", "-UseLargeFont", "10.0.0.2"}).serverAddress, "10.0.0.2");
    EXPECT_TRUE(Parse({"-UseXMLInLibrary"}).serverAddress.IsEmpty());
    // Numbers come from leading digits; none give 0, without an error.
    const std::pair<const char*, uint32_t> idle[] = {
        {"-Screensaver=5", 30}, {"-Screensaver=0", 0}, {"-Screensaver=abc", 0}, {"-Screensaver=2min", 12}};
    for (const auto& [arg, ticks] : idle) EXPECT_EQ(Parse({arg}).idleTicks, ticks) << arg;
    EXPECT_EQ(Parse({}).idleTicks, 60u);
    EXPECT_EQ(Parse({"-PlaylistId=42x"}).playlistId, 42);
    EXPECT_EQ(Parse({}).playlistId, -1);
    // Modes are kept as eight bits; start-up sends only 0, 1 or 2.
    EXPECT_FALSE(Parse({}).repeatMode.has_value());
    EXPECT_EQ(Parse({"-RepeatMode=7"}).repeatMode, 7);
    EXPECT_EQ(Parse({"-ShuffleMode=257"}).shuffleMode, 1);
}

TEST(AppOptions, PortsAreTextAsGivenAndReachTheSettings) {
    Parse({"-SlimProtoPort=13483", "-slimcliport=x9", "-LowContrast", "-DisableWAVHeaders", "192.168.1.2"})
        .ApplyToSettings();
    EXPECT_EQ(g_portProto, "13483");
    EXPECT_EQ(g_portCLI, "x9");
    EXPECT_EQ(g_portWeb, "9000");
    EXPECT_EQ(g_fgColor, CascadeColor(0xDCDCDCFFu));
    EXPECT_EQ(g_addWaveHeader, 0u);
    EXPECT_EQ(g_serverIP, "192.168.1.2");
}

}  // namespace
