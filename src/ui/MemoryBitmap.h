#pragma once

#include "platform/CascadeColor.h"
#include "platform/CascadeDims.h"
#include "platform/CascadePoint.h"
#include "platform/CascadeRect.h"
#include "platform/CascadeScreen.h"

#include <cstdint>

// A drawing surface straight on the composed screen image, for the player
// display that draws frames from the SlimProto thread without a round trip
// through the UI thread. Open locks the screen, drawing writes pixel words
// (0xAARRGGBB) into it, Close unlocks it and asks for the region to be
// presented.
//
// Coordinates are relative to the region; pixels outside the region (or
// outside the screen, for a region that reaches past it) are dropped one by
// one. One thread uses an instance at a time; while it is open the screen is
// locked, so keep the time between Open and Close short.
class MemoryBitmap {
public:
    MemoryBitmap() = default;
    MemoryBitmap(const MemoryBitmap&) = delete;
    MemoryBitmap& operator=(const MemoryBitmap&) = delete;
    // Closes when still open.
    virtual ~MemoryBitmap();

    // The screen rectangle to draw into. Only while closed.
    void Init(const CascadeRect& region);
    // Locks the screen and points at the region's top-left pixel. False (the
    // screen left unlocked) when there is no screen image or the region lies
    // wholly outside it.
    [[nodiscard]] bool Open();
    // Unlocks the screen and presents the region. Does nothing when closed.
    void Close();
    bool IsOpen() const { return m_pixels != nullptr; }

    void SetPixel(const CascadePoint& p, uint32_t value);
    // A line from `a` to `b`, both ends included, stepping along the longer
    // axis.
    void DrawLine(const CascadePoint& a, const CascadePoint& b, uint32_t value);
    void FrameRect(const CascadeRect& r, uint32_t value);
    void FillRect(const CascadeRect& r, uint32_t value);
    void SetPixel(const CascadePoint& p, const CascadeColor& color) { SetPixel(p, GetColorValue(color)); }
    void DrawLine(const CascadePoint& a, const CascadePoint& b, const CascadeColor& color) {
        DrawLine(a, b, GetColorValue(color));
    }
    void FrameRect(const CascadeRect& r, const CascadeColor& color) { FrameRect(r, GetColorValue(color)); }
    void FillRect(const CascadeRect& r, const CascadeColor& color) { FillRect(r, GetColorValue(color)); }
    // Fills the whole region.
    void Clear(const CascadeColor& color);

    // The pixel word of a colour: R<<24|G<<16|B<<8|A becomes A<<24|R<<16|G<<8|B.
    static uint32_t GetColorValue(const CascadeColor& color) { return color.ToARGB(); }

private:
    uint32_t* m_pixels = nullptr;  // the region's top-left pixel while open
    CascadeScreen m_screen;
    CascadeRect m_region;
    CascadeDims m_drawable;  // the part of the region inside the screen
    int m_stride = 0;        // pixel words per screen row
};
