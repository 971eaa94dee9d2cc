// platform-demo [skin-dir]: shows that the platform layer works as a whole.
// A full-screen window draws a skin background, three translucent panels and
// shadowed text; two buttons take the focus in turn with the arrow keys and
// only what changed is repainted (the paint count shows it). Exit quits.
#include "platform/CascadeApp.h"
#include "platform/CascadeFont.h"
#include "platform/CascadeKeys.h"
#include "platform/CascadeTextFlags.h"
#include "platform/CascadeWindow.h"

#include <cstdio>
#include <string>

namespace {

void ShadowedText(CascadeBitmap& target, const CascadeFont& font, const CascadeRect& rect, const std::string& text,
                  unsigned long flags) {
    target.DrawText(font, rect.Offset(2, 2), text, CascadeColor(0x000000C0u), flags);
    target.DrawText(font, rect, text, CascadeColor(0xF2F5F9FFu), flags);
}

class DemoButton : public CascadeWindow {
public:
    explicit DemoButton(std::string label) : m_label(std::move(label)), m_font("system", CascadeFont::kBold, 22) {}
    void OnPaint(CascadeBitmap& target) override {
        const CascadeRect all({0, 0}, GetDims());
        target.FillRect(all, IsFocus() ? CascadeColor(0x2EC4B6FFu) : CascadeColor(0xFFFFFF30u));
        target.FrameRect(all, IsFocus() ? CascadeColor(0xFFFFFFFFu) : CascadeColor(0xFFFFFF60u), 2);
        ShadowedText(target, m_font, all, m_label, CascadeTextFlags::kCenterHorizontal | CascadeTextFlags::kCenterVertical);
        ++paints;
    }
    int paints = 0;

private:
    std::string m_label;
    CascadeFont m_font;
};

class DemoScreen : public CascadeWindow {
public:
    explicit DemoScreen(const std::string& skinDir) : m_title("system", CascadeFont::kBold, 30), m_text("system", 0, 20) {
        if (!m_background.LoadFromFile(skinDir + "/bg_nowplaying.png"))
            std::fprintf(stderr, "platform-demo: no background in %s; drawing a plain one\n", skinDir.c_str());
    }
    void OnPaint(CascadeBitmap& target) override {
        const CascadeRect all({0, 0}, GetDims());
        if (m_background.IsValid()) target.DrawBitmap(m_background, {0, 0});
        else target.Clear(CascadeColor(0x16263DFFu));
        for (const CascadeRect& panel : {CascadeRect(40, 90, 440, 420), CascadeRect(520, 90, 464, 200),
                                         CascadeRect(520, 310, 464, 200)})
            target.FillRect(panel, CascadeColor(0x0A101CC0u));
        ShadowedText(target, m_title, {40, 20, 944, 50}, "Quendrel platform demo", CascadeTextFlags::kAlignLeft);
        for (int i = 0; i < 12; ++i)
            ShadowedText(target, m_text, {60, 110 + i * 32, 400, 30}, "Line " + std::to_string(i + 1) + " of shadowed text",
                         CascadeTextFlags::kAlignLeft | CascadeTextFlags::kEllipsis);
        ++paints;
    }
    int paints = 0;

private:
    CascadeBitmap m_background;
    CascadeFont m_title, m_text;
};

class DemoApp : public CascadeApp {
public:
    explicit DemoApp(std::string skinDir) : m_screen(skinDir), m_left("Left"), m_right("Right") {}
    void OnAppInit() override {
        const CascadeDims dims = GetDesktop().GetDims();
        m_screen.SetRectAbsolute({0, 0, dims.w, dims.h});
        m_screen.AddChild(&m_left);
        m_screen.AddChild(&m_right);
        m_left.SetRectRelative({560, 150, 180, 60});
        m_right.SetRectRelative({780, 150, 180, 60});
        m_left.Materialize();
        m_right.Materialize();
        m_screen.Materialize(1);
        m_left.SetFocus();
    }
    void OnKeyDown(unsigned long key) override {
        if (key == CascadeKeys::kExit) Terminate(0);
    }
    void OnAppExit() override {
        std::printf("paints: screen %d, left %d, right %d\n", m_screen.paints, m_left.paints, m_right.paints);
    }

private:
    DemoScreen m_screen;
    DemoButton m_left, m_right;
};

}  // namespace

int main(int argc, char** argv) {
    DemoApp app(argc > 1 ? argv[1] : "app/images/Default");
    return app.Run(argc, argv);
}
