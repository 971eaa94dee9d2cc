#include "app/AppOptions.h"
#include "app/base/AppSettings.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

AppOptions Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "/opt/quendrel/quendrel");
    return AppOptions::Parse(int(args.size()), args.data());
}

TEST(AppOptions, NamesMatchWithoutRegardToCaseButAsWholeWords) {
    EXPECT_TRUE(Parse({"-DEBUG"}).debug);
    const AppOptions longer = Parse({"-debugx"});
    EXPECT_FALSE(longer.debug);
    EXPECT_EQ(longer.serverAddress, "-debugx");  // one letter more: it is the server address
    EXPECT_EQ(Parse({"-slimwebport=9001"}).portWeb, CascadeString("9001"));
}

TEST(AppOptions, TheLastBareArgumentIsTheServer) {
    EXPECT_EQ(Parse({"10.0.0.1", "-UseLargeFont", "10.0.0.2"}).serverAddress, "10.0.0.2");
    EXPECT_TRUE(Parse({}).serverAddress.IsEmpty());
    // Accepted and ignored: never mistaken for an address.
    EXPECT_TRUE(Parse({"-UseXMLInLibrary"}).serverAddress.IsEmpty());
}

TEST(AppOptions, NumbersComeFromLeadingDigitsAndDefaultToZero) {
    EXPECT_EQ(Parse({"-Screensaver=5"}).idleTicks, 30u);
    EXPECT_EQ(Parse({"-Screensaver=0"}).idleTicks, 0u);       // disables the screen saver
    EXPECT_EQ(Parse({"-Screensaver=abc"}).idleTicks, 0u);     // no digits: 0, no error
    EXPECT_EQ(Parse({"-Screensaver=2min"}).idleTicks, 12u);
    EXPECT_EQ(Parse({}).idleTicks, 60u);
    EXPECT_EQ(Parse({"-PlaylistId=42x"}).playlistId, 42);
    EXPECT_EQ(Parse({}).playlistId, -1);
}

TEST(AppOptions, ModesAreKeptAsEightBits) {
    EXPECT_FALSE(Parse({}).repeatMode.has_value());
    EXPECT_EQ(Parse({"-RepeatMode=2"}).repeatMode, 2);
    EXPECT_EQ(Parse({"-RepeatMode=7"}).repeatMode, 7);      // kept; start-up sends only 0, 1 or 2
    EXPECT_EQ(Parse({"-ShuffleMode=257"}).shuffleMode, 1);  // low 8 bits
}

TEST(AppOptions, PortsAreTextAsGivenAndReachTheSettings) {
    const AppOptions o = Parse({"-SlimProtoPort=13483", "-SlimCLIPort=x9", "-LowContrast", "-DisableWAVHeaders",
                                "192.168.1.2"});
    o.ApplyToSettings();
    EXPECT_EQ(g_portProto, "13483");
    EXPECT_EQ(g_portCLI, "x9");  // no test of the text
    EXPECT_EQ(g_portWeb, "9000");
    EXPECT_EQ(g_fgColor, CascadeColor(0xDCDCDCFFu));
    EXPECT_EQ(g_addWaveHeader, 0u);
    EXPECT_EQ(g_serverIP, "192.168.1.2");
}

}  // namespace
