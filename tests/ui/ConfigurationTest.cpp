#include "ui/Configuration.h"

#include "ui/SkinFixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

namespace {

class ConfigurationTest : public SkinFixture {
protected:
    void SetUp() override {
        SkinFixture::SetUp();
        m_config = std::make_unique<Configuration>();
        m_config->SetApplicationDirectory(m_dir);
    }
    // Loads `skin` quietly (its path line goes to captured stdout).
    void Load(const std::string& configPath, const std::string& skin) {
        testing::internal::CaptureStdout();
        m_config->LoadConfiguration(configPath.c_str(), skin.c_str());
        testing::internal::GetCapturedStdout();
    }
    static int Width(const CascadeBitmap* bitmap) { return bitmap && bitmap->IsValid() ? bitmap->GetDims().w : -1; }

    std::unique_ptr<Configuration> m_config;
};

// --- Which file an image comes from --------------------------------------

TEST_F(ConfigurationTest, ColorsOnlySkinTakesEveryImageFromTheDefaults) {
    for (int i = 0; i < int(SkinImage::Count); ++i) WritePng(Configuration::DefaultPathOf(SkinImage(i)), 10 + i, 2);
    Load(WriteSkin("Blue", "<colors><color key=\"Display_Foreground\" red=\"0\" green=\"0\" blue=\"255\"/></colors>"),
         "Blue");
    for (int i = 0; i < int(SkinImage::Count); ++i) {
        EXPECT_EQ(Width(m_config->GetImage(SkinImage(i))), 10 + i) << Configuration::KeyOf(SkinImage(i));
    }
    EXPECT_EQ(m_config->GetDisplayColor(), CascadeColor(0, 0, 255, 255));
}

// The logo's width tells which file it came from: the default (4 wide), the
// skin's own "logo.png" (7), "a.png" (5) or "b.png" (6).
TEST_F(ConfigurationTest, TheSkinsImageReplacesTheDefaultOnlyWhenItLoads) {
    const struct {
        const char* name;
        const char* bitmaps;
        int width;
    } cases[] = {
        {"skin file", "<bitmap key=\"Logo\" path=\"logo.png\"/>", 7},
        {"missing file", "<bitmap key=\"Logo\" path=\"gone.png\"/>", 4},
        {"undecodable file", "<bitmap key=\"Logo\" path=\"junk.png\"/>", 4},
        {"key in another case", "<bitmap key=\"logo\" path=\"logo.png\"/>", 4},
        {"later element wins",
         "<bitmap key=\"Logo\" path=\"a.png\"/><!-- x --><other/><bitmap key=\"Logo\" path=\"b.png\"/>", 6},
    };
    WritePng("images/Default/logo.png", 4, 2);
    WritePng("images/Red/logo.png", 7, 2);
    WritePng("images/Red/a.png", 5, 2);
    WritePng("images/Red/b.png", 6, 2);
    WriteText("images/Red/junk.png", "not a picture at all");
    for (const auto& c : cases) {
        Load(WriteSkin("Red", std::string("<bitmaps>") + c.bitmaps + "</bitmaps>"), "Red");
        EXPECT_EQ(Width(m_config->GetLogo()), c.width) << c.name;
    }
}

// Without a skin or any image file: the default colours and empty bitmaps,
// never null, also for null arguments.
TEST_F(ConfigurationTest, WithoutASkinEverythingHasItsDefault) {
    testing::internal::CaptureStdout();
    CascadeBitmap* logo = m_config->GetLogo();
    ASSERT_NE(logo, nullptr);
    EXPECT_FALSE(logo->IsValid());
    EXPECT_NE(m_config->GetBitmap(nullptr, nullptr), nullptr);
    m_config->LoadConfiguration(nullptr, nullptr);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(m_config->GetSkinName(), "Default");
    EXPECT_EQ(m_config->GetDisplayColor(), CascadeColor(0xFFFFFFFFu));
    EXPECT_EQ(m_config->GetDisplayBackgroundColor(), CascadeColor(0x000000FFu));
    EXPECT_EQ(m_config->GetDisplayLinesColor(), CascadeColor(0x000000FFu));
}

// --- Caching and sharing ----------------------------------------------------

// A key is read once; two keys on one file share its bitmap.
TEST_F(ConfigurationTest, EachFileIsReadOnceAndShared) {
    WritePng("images/Default/logo.png", 4, 2);
    CascadeBitmap* first = m_config->GetLogo();
    // A second read would now see the new size.
    WritePng("images/Default/logo.png", 9, 2);
    CascadeBitmap* second = m_config->GetLogo();
    EXPECT_EQ(first, second);
    EXPECT_EQ(Width(second), 4);
    WritePng("images/Red/key.png", 5, 2);
    Load(WriteSkin("Red",
                   "<bitmaps><bitmap key=\"Key_Active\" path=\"key.png\"/>"
                   "<bitmap key=\"Key_Large_Active\" path=\"key.png\"/></bitmaps>"),
         "Red");
    CascadeBitmap* small = m_config->GetKeyActive();
    EXPECT_EQ(small, m_config->GetKeyLargeActive());
    EXPECT_EQ(Width(small), 5);
    EXPECT_NE(small, m_config->GetKeyInactive());
}

TEST_F(ConfigurationTest, FailedLoadStaysCachedUntilTheNextSkinLoad) {
    const std::string skin = WriteSkin("Red", "");
    Load(skin, "Red");
    testing::internal::CaptureStdout();
    EXPECT_FALSE(m_config->GetLogo()->IsValid());
    testing::internal::GetCapturedStdout();
    WritePng("images/Default/logo.png", 4, 2);
    EXPECT_FALSE(m_config->GetLogo()->IsValid());
    Load(skin, "Red");
    EXPECT_EQ(Width(m_config->GetLogo()), 4);
}

TEST_F(ConfigurationTest, SwitchingSkinsLoadsFromTheNewSkin) {
    WritePng(Configuration::DefaultPathOf(SkinImage::MenuBackground), 2, 2);
    WritePng("images/Red/bg.png", 5, 2);
    WritePng("images/Green/bg.png", 6, 2);
    const std::string body = "<bitmaps><bitmap key=\"Background_Menu\" path=\"bg.png\"/></bitmaps>";
    Load(WriteSkin("Red", body), "Red");
    EXPECT_EQ(Width(m_config->GetMenuBackground()), 5);
    Load(WriteSkin("Green", body), "Green");
    EXPECT_EQ(m_config->GetSkinName(), "Green");
    EXPECT_EQ(Width(m_config->GetMenuBackground()), 6);
    // A key the new skin leaves out comes from the defaults again.
    Load(WriteSkin("Plain", ""), "Plain");
    EXPECT_EQ(Width(m_config->GetMenuBackground()), 2);
}

TEST_F(ConfigurationTest, UncachedLoadFillsTheCallersBitmap) {
    WritePng("images/Default/bg_dialog_exit.png", 8, 3);
    CascadeBitmap mine;
    ASSERT_TRUE(m_config->GetExitDialogBackground(mine));
    EXPECT_EQ(mine.GetDims().w, 8);
    EXPECT_NE(&mine, m_config->GetExitDialogBackground());
    CascadeBitmap none;
    EXPECT_FALSE(m_config->GetBitmap(none, "Nothing", ""));
}

// --- Colours ------------------------------------------------------------------

TEST_F(ConfigurationTest, ColorComponentsKeepTheirLowEightBits) {
    Load(WriteSkin("Red",
                   "<colors>"
                   "<color key=\"Display_Foreground\" red=\"256\" green=\"300\" blue=\"12\"/>"
                   "<color key=\"Display_Background\" red=\"abc\" green=\" 7x\" blue=\"-1\"/>"
                   "</colors>"),
         "Red");
    EXPECT_EQ(m_config->GetDisplayColor(), CascadeColor(0, 44, 12, 255));
    EXPECT_EQ(m_config->GetDisplayBackgroundColor(), CascadeColor(0, 7, 255, 255));
    EXPECT_EQ(m_config->GetDisplayLinesColor(), CascadeColor(0x000000FFu));
}


// --- Malformed or missing descriptions ---------------------------------------

// Elements without a key or path are skipped and a colour's missing
// component is zero, each with a log line.
TEST_F(ConfigurationTest, ElementsLackingAnAttributeAreSkippedOrZeroed) {
    WritePng("images/Default/logo.png", 4, 2);
    WritePng("images/Red/logo.png", 5, 2);
    testing::internal::CaptureStdout();
    m_config->LoadConfiguration(WriteSkin("Red",
                                          "<bitmaps><bitmap path=\"logo.png\"/><bitmap key=\"Logo\"/></bitmaps>"
                                          "<colors><color red=\"1\" green=\"2\" blue=\"3\"/>"
                                          "<color key=\"Display_Lines\" red=\"9\" blue=\"8\"/></colors>")
                                    .c_str(),
                                "Red");
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_EQ(Width(m_config->GetLogo()), 4);
    EXPECT_EQ(m_config->GetDisplayLinesColor(), CascadeColor(9, 0, 8, 255));
    EXPECT_EQ(m_config->GetDisplayColor(), CascadeColor(0xFFFFFFFFu));
    for (const char* line : {"lacks \"key\"", "lacks \"path\"", "skin: color at line", "has no \"green\""})
        EXPECT_NE(log.find(line), std::string::npos) << line << " in " << log;
}

TEST_F(ConfigurationTest, MissingDescriptionGivesDefaultsAndPrintsThePath) {
    WritePng("images/Default/logo.png", 4, 2);
    const std::string path = Path("images/Nowhere/Configuration.xml");
    testing::internal::CaptureStdout();
    m_config->LoadConfiguration(path.c_str(), "Nowhere");
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.substr(0, out.find('\n') + 1), "skin path: " + path + "\n");
    EXPECT_EQ(Width(m_config->GetLogo()), 4);
    EXPECT_EQ(m_config->GetDisplayColor(), CascadeColor(0xFFFFFFFFu));
}

TEST_F(ConfigurationTest, GarbledDescriptionGivesDefaults) {
    WritePng("images/Default/logo.png", 4, 2);
    WritePng("images/Red/logo.png", 5, 2);
    WriteText("images/Red/Configuration.xml",
              "<skin><bitmaps><bitmap key=\"Logo\" path=\"logo.png\"/></bitmaps><colors><color key=\"Display_Lines\" "
              "red=\"1\" green=\"1\" blue=\"1\"/>\xFF<unclosed");
    Load(Path("images/Red/Configuration.xml"), "Red");
    EXPECT_EQ(Width(m_config->GetLogo()), 4);
    EXPECT_EQ(m_config->GetDisplayLinesColor(), CascadeColor(0x000000FFu));
}

TEST_F(ConfigurationTest, ConstructorWithPathLoadsTheDefaultSkin) {
    WritePng("images/Default/big_logo.png", 6, 2);
    const std::string path = WriteSkin("Default", "<bitmaps><bitmap key=\"Logo\" path=\"big_logo.png\"/></bitmaps>");
    testing::internal::CaptureStdout();
    Configuration config(path.c_str());
    testing::internal::GetCapturedStdout();
    config.SetApplicationDirectory(m_dir.substr(0, m_dir.size() - 1));  // without the trailing '/'
    EXPECT_EQ(config.GetSkinName(), "Default");
    EXPECT_EQ(Width(config.GetLogo()), 6);
}

}  // namespace
