#include "player/PlayerDisplay.h"

#include "platform/CascadeApp.h"
#include "platform/CascadeKeys.h"
#include "ui/MemoryBitmap.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

const PlayerDisplay::Colors kColors{CascadeColor(0xE8F1FFFFu), CascadeColor(0x080C14FFu), CascadeColor(0x303030FFu)};

class DisplayFrameTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_bitmap.Create({320, 33})); }
    bool IsLit(int x, int y) const { return m_bitmap.GetPixel(x, y) == kColors.foreground.ToARGB(); }
    int LitCount() const {
        int n = 0;
        for (int y = 0; y < 33; ++y)
            for (int x = 0; x < 320; ++x) n += IsLit(x, y);
        return n;
    }
    std::array<uint8_t, 1280> m_frame{};
    CascadeBitmap m_bitmap;
};

// Each column is four bytes, top byte first, top bit the top row; columns
// go right. A full column is lit over all 32 rows, never the extra one.
TEST_F(DisplayFrameTest, BitsLightTheirPixelsOnly) {
    const struct {
        std::vector<std::pair<int, uint8_t>> bytes;
        std::vector<std::pair<int, int>> lit;
    } cases[] = {
        {{{0, 0x80}}, {{0, 0}}},
        {{{4 * 7 + 2, 0x01}, {4 * 319 + 3, 0x01}}, {{7, 23}, {319, 31}}},
        {{{4, 0xF0}, {5, 0x0F}}, {{1, 0}, {1, 1}, {1, 2}, {1, 3}, {1, 12}, {1, 13}, {1, 14}, {1, 15}}},
    };
    for (const auto& c : cases) {
        m_frame.fill(0);
        for (const auto& [at, value] : c.bytes) m_frame[std::size_t(at)] = value;
        PlayerDisplay::CreateBitmapFromBuffer(m_bitmap, m_frame.data(), m_frame.size(), kColors);
        for (const auto& [x, y] : c.lit) EXPECT_TRUE(IsLit(x, y)) << x << "," << y;
        EXPECT_EQ(LitCount(), int(c.lit.size()));
    }
    m_frame.fill(0);
    m_frame[0] = m_frame[1] = m_frame[2] = m_frame[3] = 0xFF;
    PlayerDisplay::CreateBitmapFromBuffer(m_bitmap, m_frame.data(), m_frame.size(), kColors);
    EXPECT_EQ(LitCount(), 32);
    EXPECT_FALSE(IsLit(0, 32));
}

TEST_F(DisplayFrameTest, GuideLinesAndBackgroundUseTheSkinColours) {
    PlayerDisplay::CreateBitmapFromBuffer(m_bitmap, m_frame.data(), m_frame.size(), kColors);
    for (int y : {0, 8, 16, 24, 32}) EXPECT_EQ(m_bitmap.GetPixel(100, y), kColors.lines.ToARGB()) << y;
    EXPECT_EQ(m_bitmap.GetPixel(100, 5), kColors.background.ToARGB());
}

TEST_F(DisplayFrameTest, ShortOrNullBuffersDrawOnlyWhatIsThere) {
    std::vector<uint8_t> partial = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};  // one column and a half
    PlayerDisplay::CreateBitmapFromBuffer(m_bitmap, partial.data(), partial.size(), kColors);
    EXPECT_EQ(LitCount(), 32);
    PlayerDisplay::CreateBitmapFromBuffer(m_bitmap, nullptr, 1280, kColors);
    EXPECT_EQ(LitCount(), 0);
    // A length beyond a frame reads no further than the frame.
    std::vector<uint8_t> big(4000, 0);
    big[1280] = 0xFF;
    PlayerDisplay::CreateBitmapFromBuffer(m_bitmap, big.data(), big.size(), kColors);
    EXPECT_EQ(LitCount(), 0);
}

class TestApp : public CascadeApp {};

// Drawn straight onto the screen at the window's place; opaque black guide
// lines are left out.
TEST(DisplayDirectDrawTest, FrameLandsOnTheScreenAtTheRegion) {
    TestApp app;
    std::array<uint8_t, 1280> frame{};
    frame[4 * 10] = 0xC0;  // column 10, rows 0 and 1
    PlayerDisplay::Colors black = kColors;
    black.lines = CascadeColor(0x000000FFu);
    MemoryBitmap surface;
    surface.Init({352, 21, 320, 33});
    ASSERT_TRUE(surface.Open());
    PlayerDisplay::DrawFrame(surface, frame.data(), kColors);
    surface.Close();
    const CascadeBitmap& screen = app.GetDesktop().Screen();
    EXPECT_EQ(screen.GetPixel(362, 21), kColors.foreground.ToARGB());
    EXPECT_EQ(screen.GetPixel(362, 22), kColors.foreground.ToARGB());
    EXPECT_EQ(screen.GetPixel(362, 23), kColors.background.ToARGB());
    EXPECT_EQ(screen.GetPixel(400, 29), kColors.lines.ToARGB());  // guide line at row 8
    ASSERT_TRUE(surface.Open());
    PlayerDisplay::DrawFrame(surface, frame.data(), black);
    surface.Close();
    EXPECT_EQ(screen.GetPixel(400, 29), black.background.ToARGB());
}

// --- Thinning --------------------------------------------------------------

TEST(DisplayThinningTest, FramesWithoutAnimationAreDrawnAtMostEvery200ms) {
    EXPECT_FALSE(PlayerDisplay::DrawsNow('c', 1100, 1000, false));
    EXPECT_TRUE(PlayerDisplay::DrawsNow('c', 1200, 1000, false));
    EXPECT_TRUE(PlayerDisplay::DrawsNow('c', 1100, 1000, true));  // -SmoothScroll
    EXPECT_TRUE(PlayerDisplay::DrawsNow('r', 1001, 1000, false));
    EXPECT_TRUE(PlayerDisplay::DrawsNow('C', 1001, 1000, false));  // the letter's case counts
}

// --- Volume ----------------------------------------------------------------

std::optional<unsigned short> Volume(uint8_t left, uint8_t right) {
    const uint8_t payload[8] = {0, 0, 0, left, 0, 0, 0, right};
    return PlayerDisplay::VolumeFromAudg(payload, sizeof payload);
}

TEST(AudgVolumeTest, AverageOfBothChannelsScaledTo16Bits) {
    EXPECT_EQ(Volume(128, 128), 65535);
    EXPECT_EQ(Volume(64, 64), 32767);
    EXPECT_EQ(Volume(0, 0), 0);
    EXPECT_EQ(Volume(128, 0), 32767);
    EXPECT_EQ(Volume(255, 255), 65535);  // louder than full stays full
    const uint8_t shortPayload[7] = {};
    EXPECT_FALSE(PlayerDisplay::VolumeFromAudg(shortPayload, sizeof shortPayload));
    EXPECT_FALSE(PlayerDisplay::VolumeFromAudg(nullptr, 8));
}

// --- Keys ------------------------------------------------------------------

TEST(KeyTableTest, TransportDigitAndVolumeKeysMapToTheServersIrCodes) {
    const std::pair<unsigned long, unsigned long> expected[] = {
        {0x10016, 0x768910EF}, {0x1001B, 0x7689A05F}, {0x1001C, 0x7689C03F}, {0x1001D, 0x7689F807},
        {0x1001E, 0x76897887}, {0x1001F, 0x7689609F}, {0x10027, 0x768908F7}, {0x10028, 0x76898877},
        {0x10029, 0x768948B7}, {0x1002A, 0x7689C837}, {0x1002B, 0x768928D7}, {0x1002C, 0x7689A857},
        {0x1002D, 0x76896897}, {0x1002E, 0x7689E817}, {CascadeKeys::kVolumeUp, 0x7689807F},
        {CascadeKeys::kVolumeDown, 0x768900FF},  {CascadeKeys::kMute, 0x7689C43B},
    };
    for (const auto& [key, ir] : expected) {
        const auto command = PlayerDisplay::CommandForKey(key);
        ASSERT_TRUE(command) << std::hex << key;
        EXPECT_EQ(command->ir, ir) << std::hex << key;
    }
    EXPECT_STREQ(PlayerDisplay::CommandForKey(0x1001B)->logLine, "Player - Next\n");
}

TEST(KeyTableTest, KeysTheApplicationHandlesAreNotForwarded) {
    for (unsigned long key : {0x10017ul, 0x1001Aul, 0x10020ul, 0x10021ul, 0x10022ul, 0x10023ul, 0x10024ul, 0x10025ul,
                              0x10026ul, 0x1002Ful, 0x1000Bul, CascadeKeys::kUp})
        EXPECT_FALSE(PlayerDisplay::CommandForKey(key)) << std::hex << key;
    // Play/Pause and Stop are decided by the player, not the table.
    EXPECT_FALSE(PlayerDisplay::CommandForKey(CascadeKeys::kPlayPause));
    EXPECT_FALSE(PlayerDisplay::CommandForKey(CascadeKeys::kStop));
}

TEST(KeyTableTest, ArrowsAreCompassPoints) {
    EXPECT_EQ(PlayerDisplay::CommandForArrow(CascadeKeys::kUp)->ir, 0x7689E01Fu);
    EXPECT_EQ(PlayerDisplay::CommandForArrow(CascadeKeys::kDown)->ir, 0x7689B04Fu);
    EXPECT_EQ(PlayerDisplay::CommandForArrow(CascadeKeys::kLeft)->ir, 0x7689906Fu);
    EXPECT_EQ(PlayerDisplay::CommandForArrow(CascadeKeys::kRight)->ir, 0x7689D02Fu);
    EXPECT_STREQ(PlayerDisplay::CommandForArrow(CascadeKeys::kLeft)->logLine, "Player - West\n");
    EXPECT_FALSE(PlayerDisplay::CommandForArrow(CascadeKeys::kSelect));
}

TEST(PlayerDisplayMessage, ShowsForFiveSecondsThenGoes) {
    EXPECT_TRUE(PlayerDisplay::IsMessageFresh(10000, 10000));
    EXPECT_TRUE(PlayerDisplay::IsMessageFresh(10000, 15000));
    EXPECT_FALSE(PlayerDisplay::IsMessageFresh(10000, 15001));
    EXPECT_FALSE(PlayerDisplay::IsMessageFresh(10000, 9999));  // a time before it was set is not "fresh"
}

}  // namespace
