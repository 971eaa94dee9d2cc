#include "ui/ESpinner.h"

#include "platform/CascadeTextFlags.h"
#include "ui/Configuration.h"
#include "ui/EUtilsDrawing.h"

void ESpinner::OnPaint(CascadeBitmap& target) {
    const CascadeRect box({0, 0}, GetDims());
    const bool active = GetScheme() == kFocused || GetScheme() == kDisabledFocused;
    const CascadeBitmap* face = active ? g_config.GetSpinnerActive() : g_config.GetSpinnerInactive();
    if (face && face->IsValid()) target.DrawBitmap(*face, {0, 0});
    EUtils::ShadowedDrawText(target, GetFont(), box, GetCurrentText(), GetColor(),
                             CascadeTextFlags::kCenterVertical | CascadeTextFlags::kCenterHorizontal, 2,
                             CascadeColor(0x000000FFu), EUtils::kDownRight, EUtils::ShadowSteps::kAll);
}
