// CascadeBitmap's blits, scaling and picture files; the primitives are in
// CascadeBitmap.cpp.

#include "platform/CascadeBitmap.h"

#include "platform/detail/BitmapStorage.h"
#include "platform/detail/JpegCodec.h"
#include "platform/detail/PixelBlend.h"
#include "platform/detail/PngCodec.h"
#include "platform/detail/Resample.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace {

// Picture files larger than this are refused unread.
constexpr std::streamoff kMaxFileBytes = std::streamoff(256) << 20;

void LogFailure(std::string_view name, const char* reason) {
    std::fprintf(stderr, "image: %.*s: %s\n", int(name.size()), name.data(), reason);
}

}  // namespace

void CascadeBitmap::DrawBitmap(const CascadeBitmap& source, const CascadePoint& at, const CascadeRect& sourceRect) {
    Blit(source, at, sourceRect, BlitMode::kBlend);
}

void CascadeBitmap::CopyFrom(const CascadeBitmap& source, const CascadePoint& at, const CascadeRect& sourceRect) {
    Blit(source, at, sourceRect, BlitMode::kReplace);
}

void CascadeBitmap::Blit(const CascadeBitmap& source, const CascadePoint& at, const CascadeRect& sourceRect,
                         BlitMode mode) {
    if (!m_storage || !source.m_storage) return;
    // The part of the source wanted, in source view coordinates, then in its
    // storage cut to its clip (reading stays inside the source's view).
    const CascadeRect wanted = sourceRect.IsEmpty() ? source.GetClip() : sourceRect;
    const CascadeRect readable = source.ClipToStorage(wanted);
    if (readable.IsEmpty()) return;
    const int64_t shiftX = int64_t(readable.x) - source.m_origin.x - wanted.x;
    const int64_t shiftY = int64_t(readable.y) - source.m_origin.y - wanted.y;
    const int64_t left = int64_t(at.x) + shiftX + m_origin.x, top = int64_t(at.y) + shiftY + m_origin.y;
    const CascadeRect target = ClipToStorage({int(left - m_origin.x), int(top - m_origin.y), readable.w, readable.h});
    if (target.IsEmpty()) return;
    const int sourceX = readable.x + int(target.x - left), sourceY = readable.y + int(target.y - top);

    // Drawing a bitmap onto itself (or a view of it) copies the rows first.
    const bool sameStorage = source.m_storage == m_storage;
    std::vector<uint32_t> copy;
    for (int row = 0; row < target.h; ++row) {
        // Overlapping moves downward walk the rows bottom-up.
        const int y = sameStorage && target.y > sourceY ? target.h - 1 - row : row;
        const uint32_t* from = source.StorageRow(sourceY + y) + sourceX;
        if (sameStorage) {
            copy.assign(from, from + target.w);
            from = copy.data();
        }
        uint32_t* to = StorageRow(target.y + y) + target.x;
        if (mode == BlitMode::kReplace) {
            std::memmove(to, from, std::size_t(target.w) * 4);
        } else {
            detail::BlendRow(to, from, target.w);
        }
    }
}

bool CascadeBitmap::CopyFromBuffer(const uint8_t* pixels, const CascadeDims& size, int bitsPerPixel,
                                   const CascadePoint& at, const CascadeRect& sourceRect) {
    if (!pixels || size.IsEmpty() || (bitsPerPixel != 32 && bitsPerPixel != 24)) {
        std::fprintf(stderr, "image: buffer copy refused: %dx%d at %d bits per pixel\n", size.w, size.h, bitsPerPixel);
        return false;
    }
    if (!m_storage) return false;
    const CascadeRect whole{0, 0, size.w, size.h};
    const CascadeRect wanted = sourceRect.IsEmpty() ? whole : sourceRect.MakeIntersectRect(whole);
    if (wanted.IsEmpty()) return true;
    const int64_t left = int64_t(at.x) + (wanted.x - (sourceRect.IsEmpty() ? 0 : sourceRect.x));
    const int64_t top = int64_t(at.y) + (wanted.y - (sourceRect.IsEmpty() ? 0 : sourceRect.y));
    const CascadeRect target = ClipToStorage({int(left), int(top), wanted.w, wanted.h});
    if (target.IsEmpty()) return true;
    const int sourceX = wanted.x + int(target.x - m_origin.x - left);
    const int sourceY = wanted.y + int(target.y - m_origin.y - top);
    const std::size_t bytesPerPixel = std::size_t(bitsPerPixel / 8);
    const std::size_t rowBytes = std::size_t(size.w) * bytesPerPixel;
    for (int y = 0; y < target.h; ++y) {
        const uint8_t* from = pixels + std::size_t(sourceY + y) * rowBytes + std::size_t(sourceX) * bytesPerPixel;
        uint32_t* to = StorageRow(target.y + y) + target.x;
        if (bitsPerPixel == 32) {
            std::memcpy(to, from, std::size_t(target.w) * 4);
            continue;
        }
        for (int x = 0; x < target.w; ++x, from += 3)
            to[x] = 0xFF000000u | uint32_t(from[0]) << 16 | uint32_t(from[1]) << 8 | from[2];
    }
    return true;
}

void CascadeBitmap::DrawBitmapScaled(const CascadeBitmap& source, const CascadeRect& target) {
    if (!m_storage || !source.m_storage || source.m_clip.IsEmpty() || target.IsEmpty()) return;
    const CascadeRect& from = source.m_clip;
    if (target.w == from.w && target.h == from.h) {
        DrawBitmap(source, target.Origin());
        return;
    }
    const CascadeRect area = ClipToStorage(target);
    if (area.IsEmpty()) return;
    const int64_t targetX = int64_t(target.x) + m_origin.x, targetY = int64_t(target.y) + m_origin.y;
    // Source position of each destination pixel centre, 16.16 fixed point.
    auto sourcePosition = [](int64_t offset, int sourceLength, int targetLength) {
        return ((2 * offset + 1) * sourceLength << 16) / (2 * int64_t(targetLength)) - 32768;
    };
    std::vector<int64_t> columns(static_cast<std::size_t>(area.w));
    for (int x = 0; x < area.w; ++x) columns[std::size_t(x)] = sourcePosition(area.x + x - targetX, from.w, target.w);
    const uint32_t* origin = source.StorageRow(from.y) + from.x;
    for (int y = 0; y < area.h; ++y) {
        const int64_t fy = sourcePosition(area.y + y - targetY, from.h, target.h);
        uint32_t* row = StorageRow(area.y + y) + area.x;
        for (int x = 0; x < area.w; ++x) {
            const uint32_t s =
                detail::SampleBilinear(origin, source.m_storage->width, from.w, from.h, columns[std::size_t(x)], fy);
            row[x] = detail::BlendPixel(row[x], s, s >> 24);
        }
    }
}

bool CascadeBitmap::LoadFromFile(std::string_view path) {
    const std::string name(path);
    std::ifstream file(name, std::ios::binary | std::ios::ate);
    if (!file) {
        LogFailure(path, "cannot open");
        return false;
    }
    const std::streamoff size = file.tellg();
    if (size <= 0 || size > kMaxFileBytes) {
        LogFailure(path, size <= 0 ? "empty file" : "file too large");
        return false;
    }
    std::vector<uint8_t> bytes(static_cast<std::size_t>(size));
    file.seekg(0);
    if (!file.read(reinterpret_cast<char*>(bytes.data()), size)) {
        LogFailure(path, "read failed");
        return false;
    }
    return LoadFromBytes(bytes.data(), bytes.size(), path);
}

bool CascadeBitmap::LoadFromMemory(const uint8_t* data, std::size_t size) {
    return LoadFromBytes(data, size, "<memory>");
}

bool CascadeBitmap::LoadFromBytes(const uint8_t* data, std::size_t size, std::string_view name) {
    std::optional<detail::PixelImage> image;
    if (detail::IsPng(data, size)) {
        image = detail::DecodePng(data, size, name);
    } else if (detail::IsJpeg(data, size)) {
        image = detail::DecodeJpeg(data, size, name);
    } else {
        LogFailure(name, "neither PNG nor JPEG");
        return false;
    }
    if (!image) return false;
    Adopt(std::move(image->pixels), {image->width, image->height});
    return true;
}

bool CascadeBitmap::SaveAsPNG(std::string_view path) const {
    if (!m_storage) {
        LogFailure(path, "no pixels to save");
        return false;
    }
    return detail::EncodePng(std::string(path), GetPixels(), m_storage->width, m_storage->height, m_storage->width);
}

bool CascadeBitmap::SaveAsJPEG(std::string_view path, int quality) const {
    if (!m_storage) {
        LogFailure(path, "no pixels to save");
        return false;
    }
    return detail::EncodeJpeg(std::string(path), GetPixels(), m_storage->width, m_storage->height, m_storage->width,
                              quality);
}
