#include "platform/detail/PngCodec.h"

#include <png.h>

#include <bit>
#include <cstdio>
#include <cstring>
#include <memory>

// libpng reports errors by longjmp to the setjmp of the calling frame. Each
// function below that calls setjmp keeps only trivially destructible locals,
// so the jump never skips a destructor; everything that owns memory lives in
// the caller's frame and is released normally afterwards.

namespace detail {
namespace {

constexpr bool kLittleEndian = std::endian::native == std::endian::little;

struct ErrorText {
    char text[256] = "unknown error";
};

struct MemoryReader {
    const uint8_t* data;
    std::size_t size;
    std::size_t position;
};

void OnPngError(png_structp png, png_const_charp message) {
    auto* error = static_cast<ErrorText*>(png_get_error_ptr(png));
    std::snprintf(error->text, sizeof error->text, "%s", message ? message : "error");
    png_longjmp(png, 1);
}

// Warnings are about ancillary chunks the picture survives without.
void OnPngWarning(png_structp, png_const_charp) {}

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
    auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (count > reader->size - reader->position) png_error(png, "file is truncated");
    std::memcpy(out, reader->data + reader->position, count);
    reader->position += count;
}

// Owns a read struct and its info struct.
class PngReader {
public:
    explicit PngReader(ErrorText& error)
        : m_png(png_create_read_struct(PNG_LIBPNG_VER_STRING, &error, OnPngError, OnPngWarning)) {
        if (m_png) m_info = png_create_info_struct(m_png);
    }
    ~PngReader() {
        if (m_png) png_destroy_read_struct(&m_png, m_info ? &m_info : nullptr, nullptr);
    }
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;

    bool IsValid() const { return m_png && m_info; }
    png_structp Png() const { return m_png; }
    png_infop Info() const { return m_info; }

private:
    png_structp m_png = nullptr;
    png_infop m_info = nullptr;
};

// Owns a write struct and its info struct.
class PngWriter {
public:
    explicit PngWriter(ErrorText& error)
        : m_png(png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, OnPngError, OnPngWarning)) {
        if (m_png) m_info = png_create_info_struct(m_png);
    }
    ~PngWriter() {
        if (m_png) png_destroy_write_struct(&m_png, m_info ? &m_info : nullptr);
    }
    PngWriter(const PngWriter&) = delete;
    PngWriter& operator=(const PngWriter&) = delete;

    bool IsValid() const { return m_png && m_info; }
    png_structp Png() const { return m_png; }
    png_infop Info() const { return m_info; }

private:
    png_structp m_png = nullptr;
    png_infop m_info = nullptr;
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Asks libpng for 8-bit channels in the order of our pixel words.
void SetTransforms(png_structp png, png_infop info) {
    const int colorType = png_get_color_type(png, info);
    const int bitDepth = png_get_bit_depth(png, info);
    if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    if (bitDepth == 16) png_set_scale_16(png);
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    if constexpr (kLittleEndian) {
        png_set_bgr(png);  // bytes B, G, R, A make the word 0xAARRGGBB
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    } else {
        png_set_swap_alpha(png);
        png_set_filler(png, 0xFF, PNG_FILLER_BEFORE);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
}

bool ReadHeader(const PngReader& reader, MemoryReader& source, int& width, int& height) {
    if (setjmp(png_jmpbuf(reader.Png()))) return false;
    png_set_read_fn(reader.Png(), &source, ReadFromMemory);
    png_set_user_limits(reader.Png(), kMaxImageSide, kMaxImageSide);
    png_read_info(reader.Png(), reader.Info());
    width = int(png_get_image_width(reader.Png(), reader.Info()));
    height = int(png_get_image_height(reader.Png(), reader.Info()));
    SetTransforms(reader.Png(), reader.Info());
    return true;
}

bool ReadRows(const PngReader& reader, png_bytep* rows) {
    if (setjmp(png_jmpbuf(reader.Png()))) return false;
    png_read_image(reader.Png(), rows);
    png_read_end(reader.Png(), nullptr);
    return true;
}

bool WriteRows(const PngWriter& writer, std::FILE* file, png_bytep* rows, int width, int height) {
    if (setjmp(png_jmpbuf(writer.Png()))) return false;
    png_init_io(writer.Png(), file);
    png_set_IHDR(writer.Png(), writer.Info(), png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB_ALPHA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(writer.Png(), writer.Info());
    if constexpr (kLittleEndian) {
        png_set_bgr(writer.Png());
    } else {
        png_set_swap_alpha(writer.Png());
    }
    png_write_image(writer.Png(), rows);
    png_write_end(writer.Png(), nullptr);
    return true;
}

void LogFailure(std::string_view name, const char* reason) {
    std::fprintf(stderr, "image: %.*s: %s\n", int(name.size()), name.data(), reason);
}

}  // namespace

bool IsPng(const uint8_t* data, std::size_t size) {
    return data && size >= 8 && png_sig_cmp(data, 0, 8) == 0;
}

std::optional<PixelImage> DecodePng(const uint8_t* data, std::size_t size, std::string_view name) {
    ErrorText error;
    PngReader reader(error);
    if (!reader.IsValid()) {
        LogFailure(name, "out of memory");
        return std::nullopt;
    }
    MemoryReader source{data, size, 0};
    int width = 0, height = 0;
    if (!ReadHeader(reader, source, width, height)) {
        LogFailure(name, error.text);
        return std::nullopt;
    }
    if (!IsAcceptableImageSize(width, height) ||
        png_get_rowbytes(reader.Png(), reader.Info()) != std::size_t(width) * 4) {
        LogFailure(name, "unsupported picture size or layout");
        return std::nullopt;
    }
    PixelImage image{width, height, std::vector<uint32_t>(std::size_t(width) * std::size_t(height))};
    std::vector<png_bytep> rows(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) rows[std::size_t(y)] = reinterpret_cast<png_bytep>(&image.pixels[std::size_t(y) * std::size_t(width)]);
    if (!ReadRows(reader, rows.data())) {
        LogFailure(name, error.text);
        return std::nullopt;
    }
    return image;
}

bool EncodePng(const std::string& path, const uint32_t* pixels, int width, int height, int stride) {
    if (!pixels || width <= 0 || height <= 0 || stride < width) {
        LogFailure(path, "nothing to write");
        return false;
    }
    ErrorText error;
    PngWriter writer(error);
    FilePtr file(std::fopen(path.c_str(), "wb"));
    if (!writer.IsValid() || !file) {
        LogFailure(path, "cannot open for writing");
        return false;
    }
    std::vector<png_bytep> rows(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        // libpng copies each row before transforming it; the pixels stay untouched.
        rows[std::size_t(y)] = reinterpret_cast<png_bytep>(const_cast<uint32_t*>(pixels + std::size_t(y) * std::size_t(stride)));
    }
    if (!WriteRows(writer, file.get(), rows.data(), width, height)) {
        LogFailure(path, error.text);
        return false;
    }
    if (std::fclose(file.release()) != 0) {
        LogFailure(path, "write failed");
        return false;
    }
    return true;
}

}  // namespace detail
