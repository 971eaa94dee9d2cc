#include "player/QuendrelPlayer.h"

#include "platform/CascadeApp.h"
#include "platform/CascadeKeys.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class TestApp : public CascadeApp {};

constexpr uint32_t kLit = 0xFFFFFFFFu;  // the built-in display colour

// The player window where start-up puts it, without a server link: frames
// and keys are handed to it the way the SlimProto reader and the UI thread do.
class QuendrelPlayerDisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_player.SetRectAbsolute({352, 21, 320, 33});
        m_player.Materialize(2);
    }
    void TearDown() override { m_player.Vanish(); }
    static std::vector<unsigned char> Frame(char transition, unsigned char firstByte) {
        std::vector<unsigned char> payload(4 + 1280, 0);
        payload[2] = static_cast<unsigned char>(transition);
        payload[4] = firstByte;
        return payload;
    }
    void Send(const char* opcode, std::vector<unsigned char> payload) {
        m_player.OnSlimServerCommand(opcode, payload.data(), payload.size());
    }
    uint32_t Screen(int x, int y) { return m_app.GetDesktop().Screen().GetPixel(x, y); }

    TestApp m_app;
    QuendrelPlayer m_player;
};

TEST_F(QuendrelPlayerDisplayTest, FrameIsDrawnStraightOntoTheScreen) {
    Send("grfe", Frame('r', 0x80));
    EXPECT_EQ(Screen(352, 21), kLit);
    EXPECT_NE(Screen(353, 21), kLit);
}

TEST_F(QuendrelPlayerDisplayTest, OversizedAndHeaderlessFramesAreSurvived) {
    std::vector<unsigned char> big(4096, 0xFF);
    big[2] = 'r';
    Send("grfe", big);
    EXPECT_EQ(Screen(352 + 319, 21 + 31), kLit);
    Send("grfe", {0, 0});
    m_player.OnSlimServerCommand("grfe", nullptr, 0);
}

TEST_F(QuendrelPlayerDisplayTest, PaintShowsTheStoredFrame) {
    Send("grfe", Frame('r', 0xFF));
    CascadeBitmap target;
    ASSERT_TRUE(target.Create({320, 33}));
    m_player.OnPaint(target);
    for (int y = 0; y < 8; ++y) EXPECT_EQ(target.GetPixel(0, y), kLit) << y;
    EXPECT_NE(target.GetPixel(0, 9), kLit);
}

TEST_F(QuendrelPlayerDisplayTest, ErrorMessageShowsInRedAndFramesAreDroppedMeanwhile) {
    EXPECT_FALSE(m_player.CheckResult(CascadeAudioPlayer::PlaybackResult(12)));
    EXPECT_EQ(m_player.GetErrorMessage(), "Error Reading Stream");
    Send("grfe", Frame('r', 0x80));
    EXPECT_NE(Screen(352, 21), kLit);  // not drawn
    CascadeBitmap target;
    ASSERT_TRUE(target.Create({320, 33}));
    m_player.OnPaint(target);
    int red = 0;
    for (int y = 0; y < 33; ++y)
        for (int x = 0; x < 320; ++x) red += target.GetPixel(x, y) == CascadeColor(0xFF0000FFu).ToARGB();
    EXPECT_GT(red, 30);
    EXPECT_NE(target.GetPixel(0, 0), kLit);
}

TEST_F(QuendrelPlayerDisplayTest, AudgSetsTheVolumeAndShortOnesAreIgnored) {
    Send("audg", {0, 0, 0, 64, 0, 0, 0, 64});
    EXPECT_EQ(m_player.GetVolume(), 32767);
    Send("audg", {0, 0, 0, 0});
    EXPECT_EQ(m_player.GetVolume(), 32767);
    Send("audg", {0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(m_player.GetVolume(), 0);
}

TEST_F(QuendrelPlayerDisplayTest, TransportKeysAreConsumedAndOthersGoOn) {
    EXPECT_TRUE(m_player.OnKeyDown(CascadeKeys::kNext));
    EXPECT_TRUE(m_player.OnKeyDown(0x1002A));
    EXPECT_TRUE(m_player.OnKeyDown(CascadeKeys::kPlayPause));
    EXPECT_FALSE(m_player.OnKeyDown(CascadeKeys::kMenu));
    EXPECT_FALSE(m_player.OnKeyDown(CascadeKeys::kExit));
    EXPECT_FALSE(m_player.OnKeyDown(0x1001A));
}

TEST_F(QuendrelPlayerDisplayTest, ArrowsNeverMoveTheFocusAway) {
    CascadeWindow other;
    for (unsigned long key : {CascadeKeys::kUp, CascadeKeys::kDown, CascadeKeys::kLeft, CascadeKeys::kRight}) {
        CascadeWindow* next = &other;
        EXPECT_TRUE(m_player.OnNavKey(key, next));
        EXPECT_EQ(next, nullptr);
    }
}

}  // namespace
