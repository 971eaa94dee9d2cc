#pragma once

#include "platform/CascadeBitmap.h"
#include "support/ScopedTempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

// A throw-away application directory for skin tests: PNG images of chosen
// sizes (the width tells which file a bitmap came from) and skin files.
class SkinFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(m_temp.Path().empty());
        m_dir = m_temp.Path() + "/";
    }

    // Writes an opaque PNG of `width` x `height` at `relative`.
    void WritePng(const std::string& relative, int width, int height, CascadeColor color = {10, 20, 30}) {
        MakeParent(relative);
        CascadeBitmap bitmap;
        ASSERT_TRUE(bitmap.Create(CascadeDims(width, height)));
        bitmap.Clear(color);
        ASSERT_TRUE(bitmap.SaveAsPNG(m_dir + relative));
    }
    void WriteText(const std::string& relative, const std::string& text) {
        MakeParent(relative);
        ASSERT_TRUE(m_temp.WriteFile(relative, text));
    }
    // Writes images/<skin>/Configuration.xml and returns its full path.
    std::string WriteSkin(const std::string& skin, const std::string& body) {
        const std::string relative = "images/" + skin + "/Configuration.xml";
        WriteText(relative, "<?xml version=\"1.0\"?>\n<skin>\n" + body + "</skin>\n");
        return m_dir + relative;
    }
    std::string Path(const std::string& relative) const { return m_dir + relative; }

    ScopedTempDir m_temp{"quendrel-skin"};
    std::string m_dir;  // the application directory, ends with "/"

private:
    void MakeParent(const std::string& relative) {
        std::error_code ignored;
        std::filesystem::create_directories(std::filesystem::path(m_dir + relative).parent_path(), ignored);
    }
};
