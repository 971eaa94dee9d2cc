#pragma once

#include "platform/CascadeBitmap.h"
#include "platform/CascadeDims.h"
#include "platform/CascadeMutex.h"
#include "platform/CascadeString.h"
#include "platform/CascadeThread.h"
#include "platform/CascadeWindow.h"

#include <atomic>
#include <cstdint>
#include <vector>

class CascadeJpegFile;
class CascadeStream;

// JPEG covers decoded at the size they are shown, plus a small window that
// shows one JPEG file decoded on its own thread.
//
// The static helpers keep no state and lock nothing: loader threads call them
// freely. Their pixel buffers hold 4 bytes per pixel, rows top to bottom, no
// padding; the caller owns the vector.
class EJpegWidget : public CascadeWindow, public CascadeThread {
public:
    // Byte order of the words GetJpegBitmap makes. kAlphaFirst gives
    // 0xAARRGGBB words, what EUtils::BufferBlit and CascadeBitmap take;
    // kAlphaLast gives 0xRRGGBBAA words (the CascadeColor layout).
    enum class PixelOrder { kAlphaFirst, kAlphaLast };

    // Streams larger than this are not decoded.
    static constexpr std::size_t kMaxStreamBytes = std::size_t(16) << 20;

    EJpegWidget();
    // Waits for the decoding thread.
    ~EJpegWidget() override;

    // False for a null or empty path or a file that is not there; with
    // `checkExtension` the name must also end in ".jpg" or ".thm" (any case).
    static bool IsValidJpegFile(const char* path, bool checkExtension);

    // Decodes `jpeg` (already Init'ed) fitted into `box` with its aspect
    // ratio kept (enlarged when smaller than the box), with the decoder's own
    // scaling. On success `size` is the decoded size and `pixels` holds its
    // words. False with "Unable to get bitmap data from jpeg." when decoding
    // fails; `pixels` is then empty.
    [[nodiscard]] static bool GetJpegBitmap(CascadeJpegFile& jpeg, const CascadeDims& box, CascadeDims& size,
                                            std::vector<uint8_t>& pixels, PixelOrder order);
    // The same from a file; false without a log line when the file is
    // missing.
    [[nodiscard]] static bool GetJpegBitmap(const char* path, const CascadeDims& box, CascadeDims& size,
                                            std::vector<uint8_t>& pixels, PixelOrder order);
    // The same from a stream read to its end (at most kMaxStreamBytes). The
    // caller keeps the stream.
    [[nodiscard]] static bool GetJpegBitmap(CascadeStream* stream, const CascadeDims& box, CascadeDims& size,
                                            std::vector<uint8_t>& pixels, PixelOrder order);

    // UI thread. A name different from the shown one drops the old picture
    // and decodes the new one on the widget's thread ("jpeg"), fitted into
    // the widget's size; a redraw follows when it is ready.
    void SetFileName(const char* path);
    bool IsLoaded() const { return m_loaded.load(); }

    void OnPaint(CascadeBitmap& target) override;

protected:
    void ThreadProc() override;

private:
    // Decoded pixels handed from the thread to OnPaint.
    CascadeMutex m_mutex;
    CascadeString m_path;          // guarded by m_mutex
    std::vector<uint8_t> m_pixels;  // guarded by m_mutex
    CascadeDims m_size;            // guarded by m_mutex
    std::atomic<bool> m_loaded{false};
};
