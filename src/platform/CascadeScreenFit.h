#pragma once

#include "platform/CascadeDims.h"
#include "platform/CascadeRect.h"

// Where the logical screen goes on a display (or window) of another size: as
// large as it fits, centred, keeping its aspect ratio. Both sides are filled
// when the aspect ratios agree; otherwise the bars (letterbox or pillarbox)
// go on the two sides that are left over, split evenly. Pure arithmetic, any
// thread.
class CascadeScreenFit {
public:
    // The rectangle of `output` that shows the whole of `logical`; empty when
    // either size is empty.
    static CascadeRect Fit(const CascadeDims& logical, const CascadeDims& output);
};
