#include "ui/Configuration.h"

#include "ui/SkinFixture.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>

namespace {

// Skins in a throw-away application directory; an image's width tells which
// file it came from.
class ConfigurationTest : public SkinFixture {
protected:
    void SetUp() override { m_config.SetApplicationDirectory(m_dir); }
    // Loads the skin `skin` from `path`, or with `body` as its description; returns what it logged.
    std::string LoadFile(const std::string& path, const char* skin) {
        testing::internal::CaptureStdout();
        m_config.LoadConfiguration(path.c_str(), skin);
        return testing::internal::GetCapturedStdout();
    }
    std::string Load(const std::string& skin, const std::string& body) {
        return LoadFile(WriteSkin(skin, body), skin.c_str());
    }
    static int Width(const CascadeBitmap* bitmap) { return bitmap && bitmap->IsValid() ? bitmap->GetDims().w : -1; }

    Configuration m_config;
};

// The logo from the default (0 below), the skin's own "logo.png" (7 wide),
// "a.png" (5) or "b.png" (6); a skin of colours only takes every image from
// the defaults.
TEST_F(ConfigurationTest, TheSkinsImageReplacesTheDefaultOnlyWhenItLoads) {
    const std::pair<const char*, int> cases[] = {
        {"<bitmap key=\"Logo\" path=\"logo.png\"/>", 7},
        {"<bitmap key=\"Logo\" path=\"gone.png\"/>", 0},
        {"<bitmap key=\"Logo\" path=\"junk.png\"/>", 0},
        {"<bitmap key=\"logo\" path=\"logo.png\"/>", 0},  // a key in another case
        {"<bitmap key=\"Logo\" path=\"a.png\"/><!-- x --><other/><bitmap key=\"Logo\" path=\"b.png\"/>", 6}};
    WritePng("images/Red/logo.png", 7, 2);
    WritePng("images/Red/a.png", 5, 2);
    WritePng("images/Red/b.png", 6, 2);
    WriteText("images/Red/junk.png", "not a picture at all");
    for (int i = 0; i < int(SkinImage::Count); ++i) WritePng(Configuration::DefaultPathOf(SkinImage(i)), 10 + i, 2);
    for (const auto& [bitmaps, width] : cases) {
        Load("Red", std::string("<bitmaps>") + bitmaps + "</bitmaps>");
        EXPECT_EQ(width ? width : 10 + int(SkinImage::Logo), Width(m_config.GetLogo())) << bitmaps;
    }
    Load("Blue", "<colors><color key=\"Display_Foreground\" red=\"0\" green=\"0\" blue=\"255\"/></colors>");
    for (int i = 0; i < int(SkinImage::Count); ++i)
        EXPECT_EQ(10 + i, Width(m_config.GetImage(SkinImage(i)))) << Configuration::KeyOf(SkinImage(i));
    EXPECT_EQ(CascadeColor(0, 0, 255, 255), m_config.GetDisplayColor());
}

// A file is read once (also when it failed) until the next skin load, and
// keys naming one file share its bitmap; a new skin loads from its own files
// and takes the keys it leaves out from the defaults again.
TEST_F(ConfigurationTest, EachFileIsReadOnceAndSharedUntilTheNextSkin) {
    const std::string red =
        "<bitmaps><bitmap key=\"Key_Active\" path=\"key.png\"/><bitmap key=\"Key_Large_Active\" path=\"key.png\"/>"
        "<bitmap key=\"Background_Menu\" path=\"bg.png\"/></bitmaps>";
    Load("Red", red);
    EXPECT_FALSE(m_config.GetLogo()->IsValid());
    WritePng("images/Default/logo.png", 4, 2);
    EXPECT_FALSE(m_config.GetLogo()->IsValid());
    WritePng("images/Red/key.png", 5, 2);
    WritePng("images/Red/bg.png", 5, 2);
    WritePng("images/Green/bg.png", 6, 2);
    WritePng(Configuration::DefaultPathOf(SkinImage::MenuBackground), 2, 2);
    Load("Red", red);
    CascadeBitmap* logo = m_config.GetLogo();
    WritePng("images/Default/logo.png", 9, 2);
    EXPECT_EQ(logo, m_config.GetLogo());
    EXPECT_EQ(m_config.GetKeyActive(), m_config.GetKeyLargeActive());
    EXPECT_EQ(std::make_tuple(4, 5, 5),
              std::make_tuple(Width(logo), Width(m_config.GetKeyActive()), Width(m_config.GetMenuBackground())));
    Load("Green", "<bitmaps><bitmap key=\"Background_Menu\" path=\"bg.png\"/></bitmaps>");
    EXPECT_EQ(6, Width(m_config.GetMenuBackground()));
    Load("Plain", "");
    EXPECT_EQ(2, Width(m_config.GetMenuBackground()));
}

// Colour components keep their low eight bits; elements lacking a key or
// path are skipped and a missing component is zero, each with a log line;
// a missing or garbled description gives the defaults.
TEST_F(ConfigurationTest, ColoursAndMalformedDescriptions) {
    WritePng("images/Default/logo.png", 4, 2);
    WritePng("images/Red/logo.png", 5, 2);
    Load("Red",
         "<colors><color key=\"Display_Foreground\" red=\"256\" green=\"300\" blue=\"12\"/>"
         "<color key=\"Display_Background\" red=\"abc\" green=\" 7x\" blue=\"-1\"/></colors>");
    EXPECT_EQ(CascadeColor(0, 44, 12, 255), m_config.GetDisplayColor());
    EXPECT_EQ(CascadeColor(0, 7, 255, 255), m_config.GetDisplayBackgroundColor());
    const std::string log = Load("Red",
                                 "<bitmaps><bitmap path=\"logo.png\"/><bitmap key=\"Logo\"/></bitmaps>"
                                 "<colors><color red=\"1\" green=\"2\" blue=\"3\"/>"
                                 "<color key=\"Display_Lines\" red=\"9\" blue=\"8\"/></colors>");
    EXPECT_EQ(4, Width(m_config.GetLogo()));
    EXPECT_EQ(CascadeColor(9, 0, 8, 255), m_config.GetDisplayLinesColor());
    EXPECT_EQ(CascadeColor(0xFFFFFFFFu), m_config.GetDisplayColor());
    for (const char* line : {"lacks \"key\"", "lacks \"path\"", "skin: color at line", "has no \"green\""})
        EXPECT_NE(std::string::npos, log.find(line)) << line << " in " << log;
    const std::string path = Path("images/Nowhere/Configuration.xml");
    EXPECT_EQ(0u, LoadFile(path, "Nowhere").find("skin path: " + path + "\n"));
    EXPECT_EQ(CascadeColor(0x000000FFu), m_config.GetDisplayLinesColor());
    WriteText("images/Red/Configuration.xml",
              "<skin><bitmaps><bitmap key=\"Logo\" path=\"logo.png\"/></bitmaps><colors><color key=\"Display_Lines\" "
              "red=\"1\" green=\"1\" blue=\"1\"/>\xFF<unclosed");
    LoadFile(Path("images/Red/Configuration.xml"), "Red");
    EXPECT_EQ(4, Width(m_config.GetLogo()));
    EXPECT_EQ(CascadeColor(0x000000FFu), m_config.GetDisplayLinesColor());
}

}  // namespace
