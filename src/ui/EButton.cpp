#include "ui/EButton.h"

#include "platform/CascadeTextFlags.h"
#include "ui/Configuration.h"
#include "ui/EUtilsDrawing.h"

namespace {
constexpr CascadeColor kLabelColor(0xFFFFFFFFu);
constexpr CascadeColor kShadowColor(0x000000FFu);
}  // namespace

void EButton::SetImage(const CascadeBitmap* image) {
    m_image = image;
    Redraw();
}

void EButton::SetLabel(const char* label) {
    m_label = label;
    Redraw();
}

void EButton::OnPaint(CascadeBitmap& target) {
    if (m_sizeRect.IsEmpty()) m_sizeRect = CascadeRect({0, 0}, GetDims());
    const CascadeRect box({0, 0}, GetDims());
    const CascadeBitmap* face = IsFocus() ? g_config.GetButtonActive() : g_config.GetButtonInactive();
    if (face && face->IsValid()) target.DrawBitmap(*face, {0, 0});
    if (m_image && m_image->IsValid()) {
        const CascadeDims d = m_image->GetDims();
        target.DrawBitmap(*m_image, {box.w / 2 - d.w / 2, box.h / 2 - d.h / 2});
        return;
    }
    EUtils::ShadowedDrawText(target, m_labelFont, box, m_label.c_str(), kLabelColor,
                             CascadeTextFlags::kCenterVertical | CascadeTextFlags::kCenterHorizontal, 2, kShadowColor,
                             EUtils::kDownRight, EUtils::ShadowSteps::kAll);
}
