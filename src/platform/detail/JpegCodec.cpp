#include "platform/detail/JpegCodec.h"

#include <cstdio>
// jpeglib.h needs FILE and size_t declared first.
#include <jerror.h>
#include <jpeglib.h>

#include <algorithm>
#include <bit>
#include <csetjmp>
#include <cstring>
#include <memory>

// libjpeg reports errors through error_exit, which here longjmps to the
// setjmp of the calling step. Each step function keeps only trivially
// destructible locals, so the jump skips no destructor; the RAII owners live
// in the caller's frame.

namespace detail {
namespace {

constexpr bool kLittleEndian = std::endian::native == std::endian::little;

struct JpegError {
    jpeg_error_mgr manager;  // first: libjpeg hands back its address
    std::jmp_buf jump;
    char text[JMSG_LENGTH_MAX];
};

[[noreturn]] void OnJpegError(j_common_ptr info) {
    auto* error = reinterpret_cast<JpegError*>(info->err);
    (*info->err->format_message)(info, error->text);
    std::longjmp(error->jump, 1);
}

// libjpeg only warns when the data ends early and pads the picture with
// grey; a cover cut short in transfer must count as broken instead.
void OnJpegMessage(j_common_ptr info, int level) {
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) OnJpegError(info);
}

void InstallErrorHandler(JpegError& error) {
    jpeg_std_error(&error.manager);
    error.manager.error_exit = OnJpegError;
    error.manager.emit_message = OnJpegMessage;
    error.text[0] = '\0';
}

// Owns a decompress struct; destroying a never-created one is a no-op
// because libjpeg checks the memory manager pointer.
class Decompressor {
public:
    explicit Decompressor(JpegError& error) {
        InstallErrorHandler(error);
        m_info.err = &error.manager;
    }
    ~Decompressor() { jpeg_destroy_decompress(&m_info); }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;
    jpeg_decompress_struct* Get() { return &m_info; }

private:
    jpeg_decompress_struct m_info{};
};

class Compressor {
public:
    explicit Compressor(JpegError& error) {
        InstallErrorHandler(error);
        m_info.err = &error.manager;
    }
    ~Compressor() { jpeg_destroy_compress(&m_info); }
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;
    jpeg_compress_struct* Get() { return &m_info; }

private:
    jpeg_compress_struct m_info{};
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

void LogFailure(std::string_view name, const char* reason) {
    std::fprintf(stderr, "image: %.*s: %s\n", int(name.size()), name.data(), reason);
}

bool ReadHeaderStep(JpegError& error, jpeg_decompress_struct* info, const uint8_t* data, std::size_t size) {
    if (setjmp(error.jump)) return false;
    jpeg_create_decompress(info);
    jpeg_mem_src(info, const_cast<unsigned char*>(data), static_cast<unsigned long>(size));
    return jpeg_read_header(info, TRUE) == JPEG_HEADER_OK;
}

bool IsCmyk(const jpeg_decompress_struct* info) {
    return info->jpeg_color_space == JCS_CMYK || info->jpeg_color_space == JCS_YCCK;
}

bool StartStep(JpegError& error, jpeg_decompress_struct* info, int scaleNumerator) {
    if (setjmp(error.jump)) return false;
    info->scale_num = static_cast<unsigned int>(scaleNumerator);
    info->scale_denom = 8;
    info->dct_method = JDCT_ISLOW;
    if (IsCmyk(info)) {
        info->out_color_space = JCS_CMYK;
    } else {
        info->out_color_space = kLittleEndian ? JCS_EXT_BGRA : JCS_EXT_ARGB;
    }
    jpeg_calc_output_dimensions(info);
    if (!IsAcceptableImageSize(info->output_width, info->output_height)) return false;
    jpeg_start_decompress(info);
    return info->output_components == 4;
}

bool ReadRowsStep(JpegError& error, jpeg_decompress_struct* info, uint32_t* pixels) {
    if (setjmp(error.jump)) return false;
    while (info->output_scanline < info->output_height) {
        JSAMPROW row = reinterpret_cast<JSAMPROW>(pixels + std::size_t(info->output_scanline) * info->output_width);
        if (jpeg_read_scanlines(info, &row, 1) != 1) return false;
    }
    jpeg_finish_decompress(info);
    return true;
}

// CMYK bytes as libjpeg hands them (inverted when an Adobe marker says so)
// into opaque ARGB words, in place.
void ConvertCmyk(PixelImage& image, bool inverted) {
    for (uint32_t& pixel : image.pixels) {
        uint8_t bytes[4];
        std::memcpy(bytes, &pixel, 4);
        uint32_t c = bytes[0], m = bytes[1], y = bytes[2], k = bytes[3];
        if (!inverted) {
            c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
        }
        const uint32_t r = c * k / 255, g = m * k / 255, b = y * k / 255;
        pixel = 0xFF000000u | r << 16 | g << 8 | b;
    }
}

bool WriteStep(JpegError& error, jpeg_compress_struct* info, std::FILE* file, const uint32_t* pixels, int width,
               int height, int stride, int quality) {
    if (setjmp(error.jump)) return false;
    jpeg_create_compress(info);
    jpeg_stdio_dest(info, file);
    info->image_width = JDIMENSION(width);
    info->image_height = JDIMENSION(height);
    info->input_components = 4;
    info->in_color_space = kLittleEndian ? JCS_EXT_BGRX : JCS_EXT_XRGB;
    jpeg_set_defaults(info);
    jpeg_set_quality(info, std::clamp(quality, 1, 100), TRUE);
    jpeg_start_compress(info, TRUE);
    while (info->next_scanline < info->image_height) {
        JSAMPROW row = reinterpret_cast<JSAMPROW>(
            const_cast<uint32_t*>(pixels + std::size_t(info->next_scanline) * std::size_t(stride)));
        jpeg_write_scanlines(info, &row, 1);
    }
    jpeg_finish_compress(info);
    return true;
}

}  // namespace

bool IsJpeg(const uint8_t* data, std::size_t size) {
    return data && size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

std::optional<JpegHeader> ReadJpegHeader(const uint8_t* data, std::size_t size, std::string_view name) {
    if (!IsJpeg(data, size)) {
        LogFailure(name, "not a JPEG file");
        return std::nullopt;
    }
    JpegError error;
    Decompressor decompressor(error);
    if (!ReadHeaderStep(error, decompressor.Get(), data, size)) {
        LogFailure(name, error.text[0] ? error.text : "bad header");
        return std::nullopt;
    }
    const jpeg_decompress_struct* info = decompressor.Get();
    if (!IsAcceptableImageSize(info->image_width, info->image_height)) {
        LogFailure(name, "picture too large");
        return std::nullopt;
    }
    return JpegHeader{int(info->image_width), int(info->image_height)};
}

int ChooseJpegScale(const JpegHeader& header, int width, int height) {
    for (int n = 1; n <= 16; ++n) {
        // libjpeg rounds scaled sides up.
        const int64_t w = (int64_t(header.width) * n + 7) / 8, h = (int64_t(header.height) * n + 7) / 8;
        if (w >= width && h >= height) return n;
    }
    return 16;
}

std::optional<PixelImage> DecodeJpeg(const uint8_t* data, std::size_t size, std::string_view name,
                                     int scaleNumerator) {
    if (!IsJpeg(data, size)) {
        LogFailure(name, "not a JPEG file");
        return std::nullopt;
    }
    JpegError error;
    Decompressor decompressor(error);
    jpeg_decompress_struct* info = decompressor.Get();
    if (!ReadHeaderStep(error, info, data, size) || !StartStep(error, info, std::clamp(scaleNumerator, 1, 16))) {
        LogFailure(name, error.text[0] ? error.text : "unsupported picture");
        return std::nullopt;
    }
    PixelImage image{int(info->output_width), int(info->output_height),
                     std::vector<uint32_t>(std::size_t(info->output_width) * info->output_height)};
    if (!ReadRowsStep(error, info, image.pixels.data())) {
        LogFailure(name, error.text[0] ? error.text : "decoding failed");
        return std::nullopt;
    }
    if (info->out_color_space == JCS_CMYK) ConvertCmyk(image, info->saw_Adobe_marker);
    return image;
}

bool EncodeJpeg(const std::string& path, const uint32_t* pixels, int width, int height, int stride, int quality) {
    if (!pixels || width <= 0 || height <= 0 || stride < width || width > 65500 || height > 65500) {
        LogFailure(path, "nothing to write");
        return false;
    }
    FilePtr file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        LogFailure(path, "cannot open for writing");
        return false;
    }
    JpegError error;
    Compressor compressor(error);
    if (!WriteStep(error, compressor.Get(), file.get(), pixels, width, height, stride, quality)) {
        LogFailure(path, error.text[0] ? error.text : "write failed");
        return false;
    }
    if (std::fclose(file.release()) != 0) {
        LogFailure(path, "write failed");
        return false;
    }
    return true;
}

}  // namespace detail
