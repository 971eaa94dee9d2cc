#include "platform/CascadeJpegFile.h"

#include "platform/detail/JpegCodec.h"
#include "platform/detail/Resample.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

namespace {

// Cover files larger than this are refused unread.
constexpr std::streamoff kMaxFileBytes = std::streamoff(64) << 20;

}  // namespace

CascadeJpegFile::CascadeJpegFile() = default;
CascadeJpegFile::~CascadeJpegFile() = default;

bool CascadeJpegFile::Init(const char* path, int /*colorSpace*/) {
    Reset();
    const std::string name = path && *path ? path : "<no path>";
    std::ifstream file(name, std::ios::binary | std::ios::ate);
    const std::streamoff size = file ? std::streamoff(file.tellg()) : -1;
    if (size <= 0 || size > kMaxFileBytes) {
        std::fprintf(stderr, "image: %s: %s\n", name.c_str(), size < 0 ? "cannot open" : "empty or too large");
        return false;
    }
    std::vector<uint8_t> bytes(static_cast<std::size_t>(size));
    file.seekg(0);
    if (!file.read(reinterpret_cast<char*>(bytes.data()), size)) {
        std::fprintf(stderr, "image: %s: read failed\n", name.c_str());
        return false;
    }
    return Adopt(std::move(bytes), name);
}

bool CascadeJpegFile::Init(const uint8_t* data, std::size_t size, int /*colorSpace*/) {
    Reset();
    if (!data || size == 0) {
        std::fprintf(stderr, "image: <memory>: no data\n");
        return false;
    }
    return Adopt(std::vector<uint8_t>(data, data + size), "<memory>");
}

bool CascadeJpegFile::Adopt(std::vector<uint8_t>&& bytes, const std::string& name) {
    const std::optional<detail::JpegHeader> header = detail::ReadJpegHeader(bytes.data(), bytes.size(), name);
    if (!header) return false;
    m_name = name;
    m_data = std::move(bytes);
    m_imageDims = {header->width, header->height};
    return true;
}

void CascadeJpegFile::Reset() {
    m_name.clear();
    m_data.clear();
    m_imageDims = {};
    m_decodedDims = {};
    m_pixels.clear();
}

int CascadeJpegFile::GetImageWidth() const { return m_imageDims.w; }
int CascadeJpegFile::GetImageHeight() const { return m_imageDims.h; }

CascadeDims CascadeJpegFile::FitInto(const CascadeDims& image, const CascadeDims& maxSize) {
    if (image.IsEmpty()) return {};
    if (maxSize.IsEmpty()) return image;
    // Integer form of "divide by the larger ratio and truncate".
    const int64_t w = image.w, h = image.h, bw = maxSize.w, bh = maxSize.h;
    if (w * bh >= h * bw) return {int(bw), int(std::max<int64_t>(1, h * bw / w))};
    return {int(std::max<int64_t>(1, w * bh / h)), int(bh)};
}

bool CascadeJpegFile::Decode(const CascadeDims& maxSize) {
    m_pixels.clear();
    m_decodedDims = {};
    if (m_data.empty()) {
        std::fprintf(stderr, "image: decode without a picture\n");
        return false;
    }
    const CascadeDims target = FitInto(m_imageDims, maxSize);
    const detail::JpegHeader header{m_imageDims.w, m_imageDims.h};
    std::optional<detail::PixelImage> image = detail::DecodeJpeg(m_data.data(), m_data.size(), m_name,
                                                                 detail::ChooseJpegScale(header, target.w, target.h));
    if (!image) return false;
    if (image->width != target.w || image->height != target.h) image = detail::ResizeArea(*image, target.w, target.h);
    m_pixels = std::move(image->pixels);
    m_decodedDims = target;
    return true;
}

const uint32_t* CascadeJpegFile::GetBitmapData() const { return m_pixels.empty() ? nullptr : m_pixels.data(); }

std::size_t CascadeJpegFile::GetBitmapDataSize() const { return m_pixels.size() * 4; }

CascadeDims CascadeJpegFile::GetDecodedDims() const { return m_decodedDims; }
