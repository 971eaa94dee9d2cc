#pragma once

#include "platform/CascadeColor.h"
#include "platform/CascadeDims.h"
#include "platform/CascadePoint.h"
#include "platform/CascadeRect.h"

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

class CascadeFont;

// A 32-bit ARGB picture in memory (pixel words 0xAARRGGBB, native order) and
// the software renderer that draws into it.
//
// Every drawing call takes coordinates relative to the bitmap's origin and is
// clipped to its clip rectangle. A plain bitmap has origin (0,0) and a clip of
// its whole area; a view made with View() shares the pixels of its parent,
// moves the origin and narrows the clip. This is how a window's OnPaint gets a
// target in its own coordinates with a clip it did not compute.
//
// Fills, lines, frames, text and blits blend by the source alpha ("source
// over"); Clear and CopyFrom replace pixels. Not thread-safe: one thread draws
// into a bitmap at a time.
class CascadeBitmap {
public:
    // Memory kinds of the box; both mean ordinary memory here.
    enum RamType { kRamMain = 1, kRamVideo = 2 };

    CascadeBitmap();
    ~CascadeBitmap();
    CascadeBitmap(CascadeBitmap&&) noexcept;
    CascadeBitmap& operator=(CascadeBitmap&&) noexcept;
    CascadeBitmap(const CascadeBitmap&) = delete;
    CascadeBitmap& operator=(const CascadeBitmap&) = delete;

    // Allocates transparent black pixels. False (and no pixels) when a side is
    // <= 0 or above 16384.
    [[nodiscard]] bool Create(const CascadeDims& dims, int ramType = kRamVideo);
    // Frees the pixels; the bitmap is then empty (IsValid false).
    void Release();
    bool IsValid() const;
    CascadeDims GetDims() const;

    // Decodes a PNG or JPEG file (chosen by its content, not its name) into
    // this bitmap. False when the file is missing or does not decode; the
    // bitmap is then left as it was.
    [[nodiscard]] bool LoadFromFile(std::string_view path);
    // Decodes a PNG or JPEG held in memory.
    [[nodiscard]] bool LoadFromMemory(const uint8_t* data, std::size_t size);
    // Writes the whole bitmap (ignoring origin and clip) as a PNG file.
    [[nodiscard]] bool SaveAsPNG(std::string_view path) const;
    // Writes the whole bitmap as a JPEG file of `quality` 1..100; alpha is
    // dropped. False (one "image: " line on stderr) when it cannot be written.
    [[nodiscard]] bool SaveAsJPEG(std::string_view path, int quality = 90) const;

    // A view sharing these pixels: drawing at (0,0) in the view draws at
    // `origin` here; the view's clip is `clip` (in this bitmap's coordinates)
    // intersected with this bitmap's own clip. The view must not outlive the
    // bitmap it was made from.
    CascadeBitmap View(const CascadePoint& origin, const CascadeRect& clip);
    // The clip in this bitmap's own coordinates (relative to its origin).
    CascadeRect GetClip() const;
    CascadePoint GetOrigin() const;

    // Raw access to the storage (the whole storage, not the view).
    uint32_t* GetPixels();
    const uint32_t* GetPixels() const;
    int GetStride() const;  // pixel words per row
    CascadeDims GetStorageDims() const;

    // Pixel read at view coordinates; 0 outside the storage.
    uint32_t GetPixel(int x, int y) const;
    void SetPixel(int x, int y, const CascadeColor& color);  // blends

    void Clear(const CascadeColor& color);  // the clip area, replacing
    void FillRect(const CascadeRect& rect, const CascadeColor& color);
    // An outline `thickness` pixels wide inside `rect`.
    void FrameRect(const CascadeRect& rect, const CascadeColor& color, int thickness = 1);
    void DrawLine(const CascadePoint& from, const CascadePoint& to, const CascadeColor& color);

    // Draws UTF-8 text inside `rect` with the CascadeTextFlags bits. Glyph
    // coverage is blended with the colour's alpha. Returns the height used.
    int DrawText(const CascadeFont& font, const CascadeRect& rect, std::string_view utf8,
                 const CascadeColor& color, unsigned long flags);

    // Draws `source` (its `sourceRect` part; the whole when empty) with its
    // top-left at `at`, blending by the source pixels' alpha.
    void DrawBitmap(const CascadeBitmap& source, const CascadePoint& at, const CascadeRect& sourceRect = {});
    // Same, but replaces pixels (alpha included) instead of blending.
    void CopyFrom(const CascadeBitmap& source, const CascadePoint& at, const CascadeRect& sourceRect = {});
    // Copies raw pixels of `bitsPerPixel` (32: 0xAARRGGBB words; 24: R,G,B
    // bytes, opaque) from a buffer of `size` into this bitmap at `at`,
    // replacing; `sourceRect` empty means the whole buffer.
    bool CopyFromBuffer(const uint8_t* pixels, const CascadeDims& size, int bitsPerPixel,
                        const CascadePoint& at, const CascadeRect& sourceRect = {});
    // Draws `source` scaled to fill `target` (bilinear), blending.
    void DrawBitmapScaled(const CascadeBitmap& source, const CascadeRect& target);

private:
    enum class BlitMode { kBlend, kReplace };

    // `rect` in view coordinates moved into storage coordinates and cut to
    // the clip; empty when nothing of it is drawable.
    CascadeRect ClipToStorage(const CascadeRect& rect) const;
    // Start of storage row `y` (storage coordinates); the storage must exist.
    uint32_t* StorageRow(int y) const;
    void Blit(const CascadeBitmap& source, const CascadePoint& at, const CascadeRect& sourceRect, BlitMode mode);
    void DrawLineClipped(CascadePoint from, CascadePoint to, uint32_t rgb, uint32_t alpha);
    // Replaces the pixels with `pixels` (dims.w * dims.h words); origin and
    // clip become those of a plain bitmap.
    void Adopt(std::vector<uint32_t>&& pixels, const CascadeDims& dims);
    [[nodiscard]] bool LoadFromBytes(const uint8_t* data, std::size_t size, std::string_view name);

    struct Storage;
    std::shared_ptr<Storage> m_storage;
    CascadePoint m_origin;  // in storage coordinates
    CascadeRect m_clip;     // in storage coordinates
};
