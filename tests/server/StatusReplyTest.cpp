#include "server/StatusReply.h"

#include <gtest/gtest.h>

namespace {

TEST(StatusReplyTime, MinutesHoursAndStreams) {
    EXPECT_EQ("1:05 / 4:05", StatusReply::FormatTimeText(65, 245));
    EXPECT_EQ("0:01:05 / 1:06:40", StatusReply::FormatTimeText(65, 4000));
    EXPECT_EQ("1:00:00 / 0:10:00", StatusReply::FormatTimeText(3600, 600));
    EXPECT_EQ("1:05", StatusReply::FormatTimeText(65, 0));
    EXPECT_EQ("1:01:05", StatusReply::FormatTimeText(3665, 0));
    EXPECT_EQ("0:00 / 0:01", StatusReply::FormatTimeText(0, 1));
    EXPECT_EQ("18:12:15 / 18:12:15", StatusReply::FormatTimeText(65535, 65535));
}

TEST(StatusReplyHeader, ReadsModesPositionAndWholeSecondsOnly) {
    SlimConnection::PlayerStatus status;
    const unsigned long elapsed = StatusReply::ReadHeader(
        "p status - 1 time%3A65.2 playlist%20repeat%3A2 playlist%20shuffle%3A1 playlist_cur_index%3A4 "
        "playlist_tracks%3A12",
        status);
    EXPECT_EQ(65u, elapsed);
    EXPECT_EQ(2, status.repeat);
    EXPECT_EQ(1, status.shuffle);
    EXPECT_EQ(4, status.currentIndex);
    EXPECT_EQ(12, status.trackCount);
}

TEST(StatusReplyHeader, MissingFieldsKeepTheirValuesAndTheFirstWordIsNotRead) {
    SlimConnection::PlayerStatus status;
    status.repeat = 1;
    status.trackCount = 9;
    EXPECT_EQ(0u, StatusReply::ReadHeader("time%3A50 status", status));
    EXPECT_EQ(1, status.repeat);
    EXPECT_EQ(9, status.trackCount);
    EXPECT_EQ(0u, StatusReply::ReadHeader("", status));
}

TEST(StatusReplyCurrentSong, CopiesTimesProgressAndCover) {
    SongInfo from;
    from.title = "T";
    from.songId = "42";
    from.secondsTotal = 245;
    from.composer = "C";
    SongInfo to;
    to.composer = "kept";
    StatusReply::CopyCurrentSong(from, to, 65);
    EXPECT_EQ("T", to.title);
    EXPECT_EQ("kept", to.composer);
    EXPECT_EQ("music/42/cover.jpg", to.GetCoverPath());
    EXPECT_EQ(65, to.secondsElapsed);
    EXPECT_FLOAT_EQ(65.0f / 245.0f, to.progress);
    EXPECT_EQ("1:05 / 4:05", to.timeText);
}

TEST(StatusReplyCurrentSong, AStreamHasNoProgressAndResetGivesDefaults) {
    SongInfo from;
    SongInfo to;
    StatusReply::CopyCurrentSong(from, to, 65);
    EXPECT_FLOAT_EQ(0.0f, to.progress);
    EXPECT_EQ("1:05", to.timeText);
    StatusReply::ResetCurrentSong(to);
    EXPECT_EQ("0:00 / 0:00", to.timeText);
    EXPECT_EQ("N/A", to.title);
    EXPECT_EQ(0, to.secondsElapsed);
}

}  // namespace
