#include "ui/EJpegWidget.h"

#include "app/base/AppLog.h"
#include "platform/CascadeJpegFile.h"
#include "platform/CascadeStream.h"
#include "ui/EUtilsDrawing.h"

#include <cstring>
#include <filesystem>
#include <strings.h>
#include <system_error>

EJpegWidget::EJpegWidget() = default;

EJpegWidget::~EJpegWidget() { WaitUntilFinished(); }

bool EJpegWidget::IsValidJpegFile(const char* path, bool checkExtension) {
    if (!path || *path == '\0') return false;
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return false;
    if (!checkExtension) return true;
    const char* dot = std::strrchr(path, '.');
    return dot && (strcasecmp(dot + 1, "jpg") == 0 || strcasecmp(dot + 1, "thm") == 0);
}

bool EJpegWidget::GetJpegBitmap(CascadeJpegFile& jpeg, const CascadeDims& box, CascadeDims& size,
                                std::vector<uint8_t>& pixels, PixelOrder order) {
    pixels.clear();
    // The decoder fits the picture into the box itself (handing it the
    // fitted size would fit it a second time and could lose a row).
    if (box.IsEmpty() || jpeg.GetImageWidth() <= 0 || !jpeg.Decode(box) || !jpeg.GetBitmapData()) {
        AppLog::WriteToLog("Unable to get bitmap data from jpeg.\n", false);
        return false;
    }
    size = jpeg.GetDecodedDims();
    const std::size_t count = std::size_t(size.w) * std::size_t(size.h);
    pixels.resize(count * 4);
    const uint32_t* words = jpeg.GetBitmapData();
    if (order == PixelOrder::kAlphaFirst) {
        std::memcpy(pixels.data(), words, count * 4);
        return true;
    }
    uint32_t* out = reinterpret_cast<uint32_t*>(pixels.data());
    for (std::size_t i = 0; i < count; ++i) out[i] = words[i] << 8 | words[i] >> 24;
    return true;
}

bool EJpegWidget::GetJpegBitmap(const char* path, const CascadeDims& box, CascadeDims& size,
                                std::vector<uint8_t>& pixels, PixelOrder order) {
    pixels.clear();
    if (!IsValidJpegFile(path, false)) return false;
    CascadeJpegFile jpeg;
    if (!jpeg.Init(path, 0)) return false;
    return GetJpegBitmap(jpeg, box, size, pixels, order);
}

bool EJpegWidget::GetJpegBitmap(CascadeStream* stream, const CascadeDims& box, CascadeDims& size,
                                std::vector<uint8_t>& pixels, PixelOrder order) {
    pixels.clear();
    if (!stream) return false;
    std::vector<uint8_t> bytes;
    uint8_t chunk[16384];
    for (long n; (n = stream->ReadBytes(chunk, sizeof chunk)) > 0;) {
        if (bytes.size() + std::size_t(n) > kMaxStreamBytes) {
            AppLog::WriteToLog("image: cover stream larger than %zu bytes refused\n", false, kMaxStreamBytes);
            return false;
        }
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    CascadeJpegFile jpeg;
    if (bytes.empty() || !jpeg.Init(bytes.data(), bytes.size(), 0)) return false;
    return GetJpegBitmap(jpeg, box, size, pixels, order);
}

void EJpegWidget::SetFileName(const char* path) {
    {
        std::lock_guard lock(m_mutex);
        if (m_path == path) return;
    }
    WaitUntilFinished();
    {
        std::lock_guard lock(m_mutex);
        m_path = path;
        m_pixels.clear();
        m_size = {};
    }
    m_loaded = false;
    Redraw();
    if (!Start("jpeg")) AppLog::WriteToLog("image: jpeg widget thread did not start\n", false);
}

void EJpegWidget::ThreadProc() {
    CascadeString path;
    {
        std::lock_guard lock(m_mutex);
        path = m_path;
    }
    std::vector<uint8_t> pixels;
    CascadeDims size;
    if (!GetJpegBitmap(path.c_str(), GetDims(), size, pixels, PixelOrder::kAlphaFirst)) return;
    {
        std::lock_guard lock(m_mutex);
        if (!(m_path == path)) return;
        m_pixels = std::move(pixels);
        m_size = size;
    }
    m_loaded = true;
    Redraw();
}

void EJpegWidget::OnPaint(CascadeBitmap& target) {
    std::lock_guard lock(m_mutex);
    if (m_pixels.empty()) return;
    (void)EUtils::BufferBlit(target, {0, 0}, m_pixels.data(), m_size, 32, {});
}
