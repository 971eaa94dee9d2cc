#pragma once

#include "platform/CascadeSpinnerWidget.h"

// The skinned spinner: the skin's spinner face (active while focused) with
// the current item's text over it in the widget's font and colour, shadowed.
// Items, keys and focus are the framework spinner's. UI thread only.
class ESpinner : public CascadeSpinnerWidget {
public:
    void OnPaint(CascadeBitmap& target) override;
};
