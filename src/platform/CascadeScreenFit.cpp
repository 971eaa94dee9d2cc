#include "platform/CascadeScreenFit.h"

#include <cstdint>

CascadeRect CascadeScreenFit::Fit(const CascadeDims& logical, const CascadeDims& output) {
    if (logical.w <= 0 || logical.h <= 0 || output.w <= 0 || output.h <= 0) return {};
    // Cross-multiplied so that equal ratios compare equal without rounding.
    const int64_t wideness = int64_t(output.w) * logical.h - int64_t(output.h) * logical.w;
    if (wideness == 0) return {0, 0, output.w, output.h};
    if (wideness > 0) {
        // The output is wider: full height, bars left and right.
        const int w = int((int64_t(logical.w) * output.h + logical.h / 2) / logical.h);
        return {(output.w - w) / 2, 0, w, output.h};
    }
    const int h = int((int64_t(logical.h) * output.w + logical.w / 2) / logical.w);
    return {0, (output.h - h) / 2, output.w, h};
}
