#include "player/StreamCommand.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Strm(char command, char autostart, char format, uint8_t threshold, const std::string& request) {
    std::vector<uint8_t> p(24, 0);
    p[0] = uint8_t(command);
    p[1] = uint8_t(autostart);
    p[2] = uint8_t(format);
    p[7] = threshold;
    p.resize(24 + request.size());
    std::copy(request.begin(), request.end(), p.begin() + 24);
    return p;
}

TEST(StreamCommandTest, StartCommandGivesLetterAutostartFormatThresholdAndPath) {
    const auto p = Strm('s', '1', 'f', 255, "GET /stream.mp3?player=00:04:20:12:34:56 HTTP/1.0\n\n");
    const StreamCommand c = StreamCommand::Parse(p.data(), p.size());
    EXPECT_EQ(c.command, 's');
    EXPECT_TRUE(c.autostart);
    EXPECT_EQ(c.format, 'f');
    EXPECT_EQ(c.thresholdBytes, 255u * 1024u);
    EXPECT_EQ(c.path, "/stream.mp3?player=00:04:20:12:34:56");
    EXPECT_FALSE(c.truncated);
}

TEST(StreamCommandTest, AutostartIsOnlyOneOrThree) {
    for (char a : {'0', '2', 'x', '\0'}) EXPECT_FALSE(StreamCommand::Parse(Strm('s', a, 'm', 0, "").data(), 24).autostart);
    EXPECT_TRUE(StreamCommand::Parse(Strm('s', '3', 'm', 0, "").data(), 24).autostart);
}

TEST(StreamCommandTest, AnOversizedPayloadIsCutInsideTheArea) {
    const std::string longPath = "GET /" + std::string(1000, 'a') + " HTTP/1.0";
    const auto p = Strm('s', '1', 'm', 1, longPath);
    const StreamCommand c = StreamCommand::Parse(p.data(), p.size());
    EXPECT_TRUE(c.truncated);
    EXPECT_EQ(c.path.size(), StreamCommand::kAreaSize - 1 - 24 - 4);  // up to the area's last byte
    EXPECT_EQ(c.area.back(), 0);
}

TEST(StreamCommandTest, AShortPayloadReadsMissingBytesAsZero) {
    const uint8_t two[] = {'q', '1'};
    const StreamCommand c = StreamCommand::Parse(two, sizeof two);
    EXPECT_EQ(c.command, 'q');
    EXPECT_TRUE(c.autostart);
    EXPECT_EQ(c.format, 0);
    EXPECT_EQ(c.thresholdBytes, 0u);
    EXPECT_TRUE(c.path.empty());
    EXPECT_EQ(StreamCommand::Parse(nullptr, 100).command, 0);
}

TEST(StreamCommandTest, ARequestWithoutASecondTokenGivesNoPath) {
    const auto p = Strm('s', '1', 'm', 0, "GET");
    EXPECT_TRUE(StreamCommand::Parse(p.data(), p.size()).path.empty());
    const auto q = Strm('s', '1', 'm', 0, "GET   /x");
    EXPECT_EQ(StreamCommand::Parse(q.data(), q.size()).path, "/x");
}

}  // namespace
