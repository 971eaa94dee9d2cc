#include "radio/RadioDirectories.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <string>

namespace {

using Directory = RadioDirectories::Directory;

constexpr std::array kAll{Directory::Shoutcast, Directory::Steamcast,      Directory::Xiph,
                          Directory::RadioIO,   Directory::Picks,          Directory::LiveMusicArchive,
                          Directory::PodNova,   Directory::DigitalPodcast, Directory::PodcastAlley,
                          Directory::Libsyn};

TEST(RadioDirectoryTable, EveryDirectoryHasAPlainHttpBaseWithoutPath) {
    const RadioDirectories table;
    for (Directory d : kAll) {
        const std::string base = table.Base(d).Std();
        EXPECT_EQ(0u, base.find("http://")) << base;
        EXPECT_EQ(std::string::npos, base.find('/', 7)) << base;
    }
    EXPECT_NE(std::string::npos, table.Base(Directory::LiveMusicArchive).Std().find(":8080"));
    EXPECT_EQ(table.Base(Directory::Shoutcast) + "/sbin/newxml.phtml",
              table.Url(Directory::Shoutcast, "/sbin/newxml.phtml"));
}

TEST(RadioDirectoryTable, AnOverrideReplacesSchemeHostAndPortOfEveryDirectory) {
    for (const char* given : {"http://127.0.0.1:8123", "http://127.0.0.1:8123/", "http://127.0.0.1:8123//"}) {
        const RadioDirectories table(given);
        for (Directory d : kAll) {
            EXPECT_EQ("http://127.0.0.1:8123", table.Base(d)) << given;
            EXPECT_EQ("http://127.0.0.1:8123/lma/artists.opml?x=1", table.Url(d, "/lma/artists.opml?x=1"));
        }
    }
}

TEST(RadioDirectoryTable, AnOverrideThatIsNoWebAddressIsIgnored) {
    const RadioDirectories real;
    for (const char* given : {"127.0.0.1:8123", "ftp://h", "file:///tmp", "", "/"}) {
        const RadioDirectories table(given);
        for (Directory d : kAll) EXPECT_EQ(real.Base(d), table.Base(d)) << given;
    }
}

TEST(RadioDirectoryTable, TheEnvironmentVariableIsRead) {
    ASSERT_EQ(0, setenv(RadioDirectories::kBaseVariable, "https://localhost:9", 1));
    const RadioDirectories table = RadioDirectories::FromEnvironment();
    unsetenv(RadioDirectories::kBaseVariable);
    EXPECT_EQ("https://localhost:9/yp.xml", table.Url(Directory::Xiph, "/yp.xml"));
    EXPECT_NE(table.Base(Directory::Xiph), RadioDirectories::FromEnvironment().Base(Directory::Xiph));
}

}  // namespace
