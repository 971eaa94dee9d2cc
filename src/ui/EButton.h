#pragma once

#include "platform/CascadeBitmap.h"
#include "platform/CascadeFont.h"
#include "platform/CascadeRect.h"
#include "platform/CascadeString.h"
#include "platform/CascadeWindow.h"

// A skinned push button: the skin's active face while it has the focus, the
// inactive face otherwise, and over it either an image (the button's words,
// drawn as a picture) centred, or a label in white with a drop shadow.
// Keys and focus are the window's. UI thread only.
class EButton : public CascadeWindow {
public:
    EButton() = default;

    // The picture drawn centred on the face; not owned, may be null. It must
    // live as long as the button shows it.
    void SetImage(const CascadeBitmap* image);
    const CascadeBitmap* GetImage() const { return m_image; }
    // Text drawn when there is no image.
    void SetLabel(const char* label);
    const CascadeString& GetLabel() const { return m_label; }
    void SetLabelFont(const CascadeFont& font) { m_labelFont = font; }

    void OnPaint(CascadeBitmap& target) override;
    bool WillAcceptFocus() override { return true; }
    void OnSetFocus() override { Redraw(); }
    void OnClearFocus() override { Redraw(); }

private:
    const CascadeBitmap* m_image = nullptr;
    CascadeRect m_sizeRect;  // the button's rectangle, taken at the first paint
    CascadeString m_label;
    CascadeFont m_labelFont{"system", CascadeFont::kBold, 20};
};
