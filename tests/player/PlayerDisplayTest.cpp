#include "player/PlayerDisplay.h"

#include "platform/CascadeApp.h"
#include "player/QuendrelPlayer.h"
#include "ui/MemoryBitmap.h"

#include <gtest/gtest.h>
#include "platform/CascadeKeys.h"

#include <array>
#include <set>
#include <vector>

namespace {

const PlayerDisplay::Colors kColors{CascadeColor(0xE8F1FFFFu), CascadeColor(0x080C14FFu), CascadeColor(0x303030FFu)};

// Each column is four bytes, top byte first, top bit the top row; columns go
// right. A full column is lit over all 32 rows, never the extra row below,
// which holds the fifth guide line.
TEST(PlayerDisplayTest, FrameBitsLightTheirPixelsOnly) {
    std::array<uint8_t, 1280> frame{};
    frame[0] = 0x80;                                     // top left
    frame[4 * 7 + 2] = frame[4 * 319 + 3] = 0x01;        // (7, 23) and bottom right
    frame[4] = 0xF0;                                     // rows 0-3 of column 1
    frame[5] = 0x0F;                                     // and rows 12-15
    frame[8] = frame[9] = frame[10] = frame[11] = 0xFF;  // column 2 whole
    std::set<std::pair<int, int>> expected{{0, 0}, {7, 23}, {319, 31}, {1, 0},  {1, 1}, {1, 2},
                                           {1, 3}, {1, 12}, {1, 13},   {1, 14}, {1, 15}};
    for (int y = 0; y < 32; ++y) expected.emplace(2, y);
    CascadeBitmap bitmap;
    ASSERT_TRUE(bitmap.Create({320, 33}));
    PlayerDisplay::CreateBitmapFromBuffer(bitmap, frame.data(), frame.size(), kColors);
    std::set<std::pair<int, int>> lit;
    for (int x = 0; x < 320; ++x)
        for (int y = 0; y < 33; ++y)
            if (bitmap.GetPixel(x, y) == kColors.foreground.ToARGB()) lit.emplace(x, y);
    EXPECT_EQ(lit, expected);
    for (int y : {0, 8, 16, 24, 32}) EXPECT_EQ(bitmap.GetPixel(100, y), kColors.lines.ToARGB()) << y;
    EXPECT_EQ(bitmap.GetPixel(100, 5), kColors.background.ToARGB());
}

// A frame is drawn straight onto the screen at the window's place (opaque
// black guide lines left out). The player window does that on arrival, with
// the display's bytes of a longer frame (its paint from the kept frame is
// the start-up walk's strip check); "audg" sets the volume, a short one is
// ignored.
TEST(PlayerDisplayTest, FramesAreDrawnOnTheScreenByThePlayerWindow) {
    CascadeApp app;
    const CascadeBitmap& screen = app.GetDesktop().Screen();
    std::array<uint8_t, 1280> frame{};
    frame[4 * 10] = 0xC0;  // column 10, rows 0 and 1
    MemoryBitmap surface;
    surface.Init({352, 21, 320, 33});
    for (const CascadeColor lines : {kColors.lines, CascadeColor(0x000000FFu)}) {
        ASSERT_TRUE(surface.Open());
        PlayerDisplay::DrawFrame(surface, frame.data(), {kColors.foreground, kColors.background, lines});
        surface.Close();
        EXPECT_EQ(screen.GetPixel(362, 21), kColors.foreground.ToARGB());
        EXPECT_EQ(screen.GetPixel(362, 22), kColors.foreground.ToARGB());
        EXPECT_EQ(screen.GetPixel(362, 23), kColors.background.ToARGB());
        EXPECT_EQ(screen.GetPixel(400, 29), (lines == kColors.lines ? lines : kColors.background).ToARGB());
    }

    QuendrelPlayer player;
    player.SetRectAbsolute({352, 21, 320, 33});
    player.Materialize(2);
    std::vector<unsigned char> grfe(4 + 4096, 0);
    grfe[2] = 'r';
    grfe[4] = 0xFF;
    player.OnSlimServerCommand("grfe", grfe.data(), grfe.size());
    EXPECT_EQ(screen.GetPixel(352, 28), 0xFFFFFFFFu);  // the built-in display colour
    EXPECT_NE(screen.GetPixel(352, 29), 0xFFFFFFFFu);
    // The volume: the average of both channels, 128 being full, scaled to 16 bits.
    for (const auto& [left, right, volume] :
         {std::tuple(128, 128, 65535), std::tuple(64, 64, 32767), std::tuple(0, 0, 0), std::tuple(255, 255, 65535),
          std::tuple(128, 0, 32767)}) {
        unsigned char audg[8] = {0, 0, 0, uint8_t(left), 0, 0, 0, uint8_t(right)};
        player.OnSlimServerCommand("audg", audg, 8);
        EXPECT_EQ(player.GetVolume(), volume) << left << " " << right;
    }
    unsigned char tooShort[7] = {};
    player.OnSlimServerCommand("audg", tooShort, 7);
    EXPECT_EQ(player.GetVolume(), 32767);
    player.Vanish();
}

// Frames without animation are drawn at most every 200 ms unless
// -SmoothScroll asks for every one.
TEST(PlayerDisplayTest, OnlyPlainFramesAreThinned) {
    EXPECT_FALSE(PlayerDisplay::DrawsNow('c', 1100, 1000, false));
    EXPECT_TRUE(PlayerDisplay::DrawsNow('c', 1200, 1000, false));
    EXPECT_TRUE(PlayerDisplay::DrawsNow('c', 1100, 1000, true));
    EXPECT_TRUE(PlayerDisplay::DrawsNow('r', 1001, 1000, false));
    EXPECT_TRUE(PlayerDisplay::DrawsNow('C', 1001, 1000, false));  // the letter's case counts
}

// The one check of the key-to-IR table: the codes of the server's remote.
TEST(PlayerDisplayTest, KeysMapToTheServersIrCodesOrGoOnToTheApplication) {
    namespace K = CascadeKeys;
    const std::pair<unsigned long, unsigned long> forwarded[] = {
        {0x10016, 0x768910EF}, {0x1001B, 0x7689A05F}, {0x1001C, 0x7689C03F},      {0x1001D, 0x7689F807},
        {0x1001E, 0x76897887}, {0x1001F, 0x7689609F}, {0x10027, 0x768908F7},      {0x10028, 0x76898877},
        {0x10029, 0x768948B7}, {0x1002A, 0x7689C837}, {0x1002B, 0x768928D7},      {0x1002C, 0x7689A857},
        {0x1002D, 0x76896897}, {0x1002E, 0x7689E817}, {K::kVolumeUp, 0x7689807F}, {K::kVolumeDown, 0x768900FF},
        {K::kMute, 0x7689C43B}};
    for (const auto& [key, ir] : forwarded)
        EXPECT_EQ(PlayerDisplay::CommandForKey(key).value().ir, ir) << std::hex << key;
    EXPECT_STREQ(PlayerDisplay::CommandForKey(0x1001B)->logLine, "Player - Next\n");
    // Keys the application handles, and Play/Pause and Stop that the player decides.
    for (unsigned long key : {0x10017ul, 0x1001Aul, 0x10020ul, 0x10021ul, 0x10022ul, 0x10023ul, 0x10024ul, 0x10025ul,
                              0x10026ul, 0x1002Ful, 0x1000Bul, K::kUp, K::kPlayPause, K::kStop})
        EXPECT_FALSE(PlayerDisplay::CommandForKey(key)) << std::hex << key;
    const std::pair<unsigned long, unsigned long> arrows[] = {
        {K::kUp, 0x7689E01F}, {K::kDown, 0x7689B04F}, {K::kLeft, 0x7689906F}, {K::kRight, 0x7689D02F}};
    for (const auto& [key, ir] : arrows)
        EXPECT_EQ(PlayerDisplay::CommandForArrow(key).value().ir, ir) << std::hex << key;
    EXPECT_STREQ(PlayerDisplay::CommandForArrow(K::kLeft)->logLine, "Player - West\n");
    EXPECT_FALSE(PlayerDisplay::CommandForArrow(K::kSelect));
}

}  // namespace
