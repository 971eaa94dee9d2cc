#include "server/CliRequestKind.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct KindCase {
    const char* request;
    bool query;
};

class CliRequestKindTest : public ::testing::TestWithParam<KindCase> {};

TEST_P(CliRequestKindTest, OnlyQueriesMaySeeASecondLink) {
    EXPECT_EQ(CliRequestKind::IsQuery(GetParam().request), GetParam().query) << GetParam().request;
}

INSTANTIATE_TEST_SUITE_P(
    Requests, CliRequestKindTest,
    ::testing::Values(
        // Queries: a "?" in the last place, or a list and status query.
        KindCase{"version ?\n", true}, KindCase{"info total genres ?\n", true},
        KindCase{"pref ignoredarticles ?\n", true}, KindCase{"00:04:20:12:34:56 playlist repeat ?\n", true},
        KindCase{"00:04:20:12:34:56 mixer volume ?", true}, KindCase{"00:04:20:12:34:56 time ?\n", true},
        KindCase{"00:04:20:12:34:56 display ? ?\n", true},
        KindCase{"00:04:20:12:34:56 status - 1 tags:galdtypesru\n", true},
        KindCase{"00%3A04%3A20%3A12%3A34%3A56 status 0 5\n", true}, KindCase{"genres 0 50\n", true},
        KindCase{"artists 0 50 genre_id:5\n", true}, KindCase{"albums 0 0 artist_id:1\n", true},
        KindCase{"titles 0 10 album_id:12 sort:tracknum tags:gald\n", true},
        KindCase{"songinfo 0 100 track_id:7 tags:galdtypesru\n", true}, KindCase{"playlists 0 10\n", true},
        KindCase{"playlists tracks 0 50 playlist_id:55\n", true}, KindCase{"years 0 10\n", true},
        // Commands: each could run twice.
        KindCase{"00:04:20:12:34:56 playlist delete 3\n", false},
        KindCase{"00:04:20:12:34:56 time +30\n", false},
        KindCase{"00:04:20:12:34:56 playlistcontrol cmd:add album_id:3\n", false},
        KindCase{"00:04:20:12:34:56 playlist index +1\n", false},
        KindCase{"00:04:20:12:34:56 playlist shuffle\n", false}, KindCase{"00:04:20:12:34:56 power 1\n", false},
        KindCase{"00:04:20:12:34:56 mode stop\n", false}, KindCase{"00:04:20:12:34:56 playlist clear\n", false},
        KindCase{"00:04:20:12:34:56 playlist save My%20Mix\n", false},
        KindCase{"playlists rename playlist_id:5 newname:x\n", false}, KindCase{"playlists delete\n", false},
        KindCase{"rescan\n", false},
        // A "?" that is not the last word asks nothing; a player id alone is no query.
        KindCase{"00:04:20:12:34:56 playlist add ?song.mp3\n", false}, KindCase{"00:04:20:12:34:56\n", false},
        KindCase{"", false}, KindCase{"\n", false}));

}  // namespace
