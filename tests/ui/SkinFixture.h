#pragma once

#include "platform/CascadeBitmap.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

// A throw-away application directory for skin tests: PNG images of chosen
// sizes (the size tells which file a bitmap came from) and skin files.
class SkinFixture : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/quendrel-skin-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_dir = pattern;
        m_dir += "/";
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }

    // Writes an opaque PNG of `width` x `height` at `relative`.
    void WritePng(const std::string& relative, int width, int height) {
        std::filesystem::create_directories(std::filesystem::path(m_dir + relative).parent_path());
        CascadeBitmap bitmap;
        ASSERT_TRUE(bitmap.Create(CascadeDims(width, height)));
        bitmap.Clear(CascadeColor(10, 20, 30));
        ASSERT_TRUE(bitmap.SaveAsPNG(m_dir + relative));
    }
    void WriteText(const std::string& relative, const std::string& text) {
        std::filesystem::create_directories(std::filesystem::path(m_dir + relative).parent_path());
        std::ofstream(m_dir + relative, std::ios::binary) << text;
    }
    // Writes images/<skin>/Configuration.xml and returns its full path.
    std::string WriteSkin(const std::string& skin, const std::string& body) {
        const std::string relative = "images/" + skin + "/Configuration.xml";
        WriteText(relative, "<?xml version=\"1.0\"?>\n<skin>\n" + body + "</skin>\n");
        return m_dir + relative;
    }
    std::string Path(const std::string& relative) const { return m_dir + relative; }

    std::string m_dir;  // ends with "/"
};
