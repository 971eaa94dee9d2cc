#include "screens/KeyboardWindow.h"

#include "platform/CascadeKeys.h"
#include "ScreenFixture.h"
#include "ui/DialogImages.h"

#include <gtest/gtest.h>

namespace {

class KeyboardClientRecorder : public KeyboardWindow::Client {
public:
    void OnKeyboardValue(const CascadeString& value) override { values.push_back(value.Std()); }
    std::vector<std::string> values;
};

class KeyboardWindowTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        DialogImages::Load(m_title, "images/title_saveplaylist.png");
    }
    void TearDown() override {
        if (m_keyboard.IsVisible()) Press(CascadeKeys::kExit);
        DialogTest::TearDown();
    }
    // Moves the focus to the key labelled `label` and presses Select.
    void Tap(const char* label) {
        KeyboardWindow::Key* key = m_keyboard.FindKey(label);
        ASSERT_NE(key, nullptr) << label;
        key->SetFocus();
        Press(CascadeKeys::kSelect);
    }
    // Types `text` the way a user would: Shift around capitals, Next for blanks.
    void TypeText(const std::string& text) {
        for (char c : text) {
            if (c == ' ') {
                Press(CascadeKeys::kNext);
                continue;
            }
            const bool upper = std::isupper(static_cast<unsigned char>(c));
            if (upper != m_keyboard.IsShifted()) Tap("Shift");
            Tap(std::string(1, c).c_str());
        }
    }

    KeyboardWindow m_keyboard;
    KeyboardClientRecorder m_client;
    CascadeBitmap m_title;
};

TEST_F(KeyboardWindowTest, LaysOutTheRowsWithZeroFocusedAndTheWideKeysAfterZ) {
    m_keyboard.ShowDialog(&m_title, &m_client);
    EXPECT_EQ(m_keyboard.GetDims(), g_config.GetKeyboardDialogBackground()->GetDims());
    const KeyboardWindow::Key* zero = m_keyboard.FindKey("0");
    ASSERT_NE(zero, nullptr);
    EXPECT_TRUE(zero->IsFocus());
    EXPECT_EQ(zero->GetRectRelative().Origin(), KeyboardWindow::kKeysAt);
    const CascadeDims key = g_config.GetKeyActive()->GetDims();
    const CascadeDims wide = g_config.GetKeyLargeActive()->GetDims();
    struct Where {
        const char* label;
        int column, row;
    };
    for (const Where& w : {Where{"9", 9, 0}, Where{"a", 0, 1}, Where{"k", 0, 2}, Where{"t", 9, 2}, Where{"u", 0, 3},
                           Where{"z", 5, 3}}) {
        SCOPED_TRACE(w.label);
        const KeyboardWindow::Key* k = m_keyboard.FindKey(w.label);
        ASSERT_NE(k, nullptr);
        EXPECT_EQ(k->GetRectRelative(), CascadeRect(KeyboardWindow::kKeysAt.x + w.column * (key.w + 2),
                                                     KeyboardWindow::kKeysAt.y + w.row * (key.h + 2), key.w, key.h));
    }
    const KeyboardWindow::Key* z = m_keyboard.FindKey("z");
    const KeyboardWindow::Key* shift = m_keyboard.FindKey("Shift");
    const KeyboardWindow::Key* done = m_keyboard.FindKey("Done");
    ASSERT_TRUE(shift && done);
    EXPECT_EQ(shift->GetRectRelative(), CascadeRect(z->GetRectRelative().Right() + 2, z->GetRectRelative().y, wide.w, wide.h));
    EXPECT_EQ(done->GetRectRelative().x, shift->GetRectRelative().Right() + 2);
    for (const auto& k : m_keyboard.GetKeys())
        EXPECT_LE(k->GetRectRelative().Bottom(), m_keyboard.GetDims().h) << k->GetLabel().Std() << " fits";
    Screenshot("keyboard");
}

TEST_F(KeyboardWindowTest, TypesANameWithCapitalsBlanksAndPunctuationAndDoneHandsItOver) {
    m_keyboard.ShowDialog(&m_title, &m_client);
    TypeText("My Mix: 100% done, vol. 2!");
    EXPECT_EQ(m_keyboard.GetText(), "My Mix: 100% done, vol. 2!");
    Screenshot("keyboard-typed");
    Tap("Done");
    EXPECT_FALSE(m_keyboard.IsVisible());
    EXPECT_EQ(m_client.values, std::vector<std::string>{"My Mix: 100% done, vol. 2!"});
    EXPECT_TRUE(player.display.IsFocus());
}

TEST_F(KeyboardWindowTest, ShiftTwiceRestoresLowerCase) {
    m_keyboard.ShowDialog(&m_title, &m_client);
    Tap("Shift");
    EXPECT_TRUE(m_keyboard.IsShifted());
    EXPECT_EQ(m_keyboard.FindKey("a"), nullptr);
    ASSERT_NE(m_keyboard.FindKey("A"), nullptr);
    EXPECT_NE(m_keyboard.FindKey("0"), nullptr) << "digits keep their labels";
    Tap("Shift");
    EXPECT_FALSE(m_keyboard.IsShifted());
    EXPECT_NE(m_keyboard.FindKey("a"), nullptr);
    EXPECT_EQ(m_keyboard.FindKey("A"), nullptr);
    EXPECT_EQ(m_keyboard.GetText(), "") << "Shift types nothing";
}

TEST_F(KeyboardWindowTest, PreviousRemovesTheLastCharacterAndNothingOnAnEmptyText) {
    m_keyboard.ShowDialog(&m_title, &m_client);
    Press(CascadeKeys::kPrevious);
    EXPECT_EQ(m_keyboard.GetText(), "");
    TypeText("ab c");
    Press(CascadeKeys::kPrevious);
    EXPECT_EQ(m_keyboard.GetText(), "ab ");
    Press(CascadeKeys::kPrevious);
    Press(CascadeKeys::kPrevious);
    Press(CascadeKeys::kPrevious);
    Press(CascadeKeys::kPrevious);
    EXPECT_EQ(m_keyboard.GetText(), "");
}

TEST_F(KeyboardWindowTest, ExitNeverCallsTheClientAndOtherKeysAreSwallowed) {
    m_keyboard.ShowDialog(&m_title, &m_client);
    TypeText("abc");
    Press(CascadeKeys::kMenu);
    Press(CascadeKeys::kZoomIn);
    Press(CascadeKeys::kPlay);
    EXPECT_TRUE(m_keyboard.IsVisible());
    EXPECT_EQ(m_keyboard.GetText(), "abc");
    Press(CascadeKeys::kExit);
    EXPECT_FALSE(m_keyboard.IsVisible());
    EXPECT_TRUE(m_client.values.empty());
    EXPECT_TRUE(player.display.IsFocus());
}

TEST_F(KeyboardWindowTest, ArrowKeysMoveAlongTheRowsAndBetweenThem) {
    m_keyboard.ShowDialog(&m_title, &m_client);
    struct Move {
        const char* from;
        unsigned long arrow;
        const char* to;  // "" : the focus stays
    };
    const Move moves[] = {
        {"0", CascadeKeys::kRight, "1"},      {"1", CascadeKeys::kDown, "b"},      {"0", CascadeKeys::kLeft, ""},
        {"9", CascadeKeys::kRight, ""},       {"0", CascadeKeys::kUp, ""},         {"z", CascadeKeys::kRight, "Shift"},
        {"Shift", CascadeKeys::kRight, "Done"}, {"Done", CascadeKeys::kRight, ""}, {"Done", CascadeKeys::kLeft, "Shift"},
        {"r", CascadeKeys::kDown, "Shift"},   {"t", CascadeKeys::kDown, "Done"},   {"Shift", CascadeKeys::kDown, "'"},
        {"Shift", CascadeKeys::kUp, "r"},     {"?", CascadeKeys::kUp, "Done"},     {"-", CascadeKeys::kUp, "u"},
        {"u", CascadeKeys::kDown, "-"},       {"-", CascadeKeys::kDown, ""},
    };
    for (const Move& m : moves) {
        SCOPED_TRACE(std::string(m.from) + " -> " + m.to);
        KeyboardWindow::Key* from = m_keyboard.FindKey(m.from);
        ASSERT_NE(from, nullptr);
        from->SetFocus();
        Press(m.arrow);
        const KeyboardWindow::Key* to = *m.to ? m_keyboard.FindKey(m.to) : from;
        ASSERT_NE(to, nullptr);
        EXPECT_TRUE(to->IsFocus());
    }
    m_keyboard.FindKey("1")->SetFocus();
    Press(CascadeKeys::kDown);
    Press(CascadeKeys::kSelect);
    EXPECT_EQ(m_keyboard.GetText(), "b");
}

TEST_F(KeyboardWindowTest, ALongTextKeepsItsEndInSight) {
    m_keyboard.ShowDialog(&m_title, &m_client);
    const std::string longName(40, 'w');
    TypeText(longName + "i");
    EXPECT_EQ(m_keyboard.GetText().Std(), longName + "i");
    const CascadeBitmap before = Copy(Paint());
    Press(CascadeKeys::kPrevious);  // removing the last character changes the right end of the box
    const CascadeBitmap& after = Paint();
    const CascadeRect box = m_keyboard.GetTextBoxRect().Offset(m_keyboard.GetRectAbsolute().x,
                                                               m_keyboard.GetRectAbsolute().y);
    EXPECT_GT(Differences(before, after, {box.Right() - 40, box.y, 40, box.h}), 0);
}

}  // namespace
