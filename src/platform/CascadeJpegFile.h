#pragma once

#include "platform/CascadeDims.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The framework's JPEG decoder for album covers: Init reads the header,
// Decode produces the picture fitted to a box, using the decoder's own DCT
// scaling first and a high-quality area downscale after it.
//
// One instance belongs to one thread at a time (covers decode on loader
// threads); separate instances share nothing.
class CascadeJpegFile {
public:
    CascadeJpegFile();
    ~CascadeJpegFile();
    CascadeJpegFile(const CascadeJpegFile&) = delete;
    CascadeJpegFile& operator=(const CascadeJpegFile&) = delete;

    // Reads the file and its header. False (one "image: " line on stderr)
    // when it is missing or not a JPEG; earlier results are then forgotten.
    // `colorSpace` is kept for the framework's signature: every value gives
    // the same 32-bit ARGB words.
    [[nodiscard]] bool Init(const char* path, int colorSpace = 0);
    // Same over a copy of `size` bytes at `data`.
    [[nodiscard]] bool Init(const uint8_t* data, std::size_t size, int colorSpace = 0);

    // Sides of the source picture; 0 before a successful Init.
    int GetImageWidth() const;
    int GetImageHeight() const;

    // Decodes the picture fitted into `maxSize` with its aspect ratio kept:
    // scale = the larger of width / box width and height / box height, each
    // side divided by it and truncated (at least 1). So 800x600 in 400x400
    // gives 400x300, and a picture smaller than the box is enlarged to touch
    // it. An empty box means the picture's own size. False (one "image: "
    // line) when the data is corrupt or cut short; the previous decode is
    // then dropped.
    [[nodiscard]] bool Decode(const CascadeDims& maxSize);

    // The decoded pixels: opaque 0xFFRRGGBB words, rows top to bottom, no
    // padding; owned by this object, valid until the next Init or Decode.
    // Null before a successful Decode.
    const uint32_t* GetBitmapData() const;
    std::size_t GetBitmapDataSize() const;  // bytes: 4 * width * height
    CascadeDims GetDecodedDims() const;

    // The size Decode(maxSize) produces for a picture of `image` sides.
    static CascadeDims FitInto(const CascadeDims& image, const CascadeDims& maxSize);

private:
    void Reset();
    [[nodiscard]] bool Adopt(std::vector<uint8_t>&& bytes, const std::string& name);

    std::string m_name;  // for log lines
    std::vector<uint8_t> m_data;
    CascadeDims m_imageDims;
    CascadeDims m_decodedDims;
    std::vector<uint32_t> m_pixels;
};
