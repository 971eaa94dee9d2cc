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
    // Writes an opaque PNG of `width` x `height` at `relative`.
    void WritePng(const std::string& relative, int width, int height, CascadeColor color = {10, 20, 30}) {
        CascadeBitmap bitmap;
        ASSERT_TRUE(bitmap.Create(CascadeDims(width, height)));
        bitmap.Clear(color);
        ASSERT_TRUE(bitmap.SaveAsPNG(MakeParent(relative)));
    }
    void WriteText(const std::string& relative, const std::string& text) {
        MakeParent(relative);
        ASSERT_TRUE(m_temp.WriteFile(relative, text));
    }
    // Writes images/<skin>/Configuration.xml and returns its full path.
    std::string WriteSkin(const std::string& skin, const std::string& body) {
        WriteText("images/" + skin + "/Configuration.xml", "<?xml version=\"1.0\"?>\n<skin>\n" + body + "</skin>\n");
        return Path("images/" + skin + "/Configuration.xml");
    }
    std::string Path(const std::string& relative) const { return m_dir + relative; }

    ScopedTempDir m_temp{"quendrel-skin"};
    const std::string m_dir = m_temp.Path() + "/";  // the application directory

private:
    // Makes the directories `relative` lies in; its full path.
    std::string MakeParent(const std::string& relative) {
        std::error_code ignored;
        std::filesystem::create_directories(std::filesystem::path(Path(relative)).parent_path(), ignored);
        return Path(relative);
    }
};
