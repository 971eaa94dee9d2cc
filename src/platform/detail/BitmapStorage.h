#pragma once

// The pixels behind a CascadeBitmap and all views made from it. Included
// only by platform sources.

#include "platform/CascadeBitmap.h"

#include <cstdint>
#include <vector>

struct CascadeBitmap::Storage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // width * height words; the stride is width
};
