#include "platform/detail/Resample.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace detail {
namespace {

// Weights are fixed point with this sum per output pixel.
constexpr uint32_t kWeightOne = 4096;

struct Span {
    int first = 0;
    std::vector<uint32_t> weights;  // for source pixels first, first + 1, ...
};

// Which source pixels each output pixel covers, and by how much.
std::vector<Span> AreaSpans(int sourceLength, int length) {
    std::vector<Span> spans(static_cast<std::size_t>(length));
    const double scale = double(sourceLength) / length;
    for (int d = 0; d < length; ++d) {
        const double start = d * scale, end = (d + 1) * scale;
        const int first = std::min(int(start), sourceLength - 1);
        const int last = std::max(first, std::min(int(std::ceil(end)), sourceLength) - 1);
        Span& span = spans[std::size_t(d)];
        span.first = first;
        uint32_t sum = 0;
        std::size_t largest = 0;
        for (int i = first; i <= last; ++i) {
            const double overlap = std::min(end, i + 1.0) - std::max(start, double(i));
            const auto weight = uint32_t(std::lround(std::max(0.0, overlap) / scale * kWeightOne));
            span.weights.push_back(weight);
            sum += weight;
            if (weight > span.weights[largest]) largest = span.weights.size() - 1;
        }
        // Rounding must not brighten or darken: the weights sum to exactly one.
        span.weights[largest] += kWeightOne - sum;
    }
    return spans;
}

// Source rows into `width` columns of four channels, each value * 16.
std::vector<uint16_t> ResizeRows(const PixelImage& source, int width) {
    const std::vector<Span> spans = AreaSpans(source.width, width);
    std::vector<uint16_t> out(std::size_t(width) * std::size_t(source.height) * 4);
    uint16_t* o = out.data();
    for (int y = 0; y < source.height; ++y) {
        const uint32_t* row = &source.pixels[std::size_t(y) * std::size_t(source.width)];
        for (const Span& span : spans) {
            uint32_t sum[4] = {0, 0, 0, 0};
            for (std::size_t k = 0; k < span.weights.size(); ++k) {
                const uint32_t p = row[std::size_t(span.first) + k], w = span.weights[k];
                for (int c = 0; c < 4; ++c) sum[c] += ((p >> (8 * c)) & 0xFF) * w;
            }
            for (int c = 0; c < 4; ++c) *o++ = uint16_t((sum[c] + 128) >> 8);
        }
    }
    return out;
}

}  // namespace

PixelImage ResizeArea(const PixelImage& source, int width, int height) {
    if (width <= 0 || height <= 0 || source.width <= 0 || source.height <= 0) return {};
    if (width == source.width && height == source.height) return source;
    const std::vector<uint16_t> rows = ResizeRows(source, width);
    const std::vector<Span> spans = AreaSpans(source.height, height);
    PixelImage out{width, height, std::vector<uint32_t>(std::size_t(width) * std::size_t(height))};
    std::vector<uint32_t> sum(std::size_t(width) * 4);
    for (int y = 0; y < height; ++y) {
        const Span& span = spans[std::size_t(y)];
        std::fill(sum.begin(), sum.end(), 0u);
        for (std::size_t k = 0; k < span.weights.size(); ++k) {
            const uint16_t* row = &rows[(std::size_t(span.first) + k) * std::size_t(width) * 4];
            const uint32_t w = span.weights[k];
            for (std::size_t i = 0; i < sum.size(); ++i) sum[i] += row[i] * w;
        }
        uint32_t* target = &out.pixels[std::size_t(y) * std::size_t(width)];
        for (int x = 0; x < width; ++x) {
            uint32_t pixel = 0;
            for (int c = 0; c < 4; ++c) pixel |= std::min<uint32_t>(255, (sum[std::size_t(x) * 4 + c] + 32768) >> 16) << (8 * c);
            target[x] = pixel;
        }
    }
    return out;
}

uint32_t SampleBilinear(const uint32_t* pixels, int stride, int width, int height, int64_t fx, int64_t fy) {
    fx = std::clamp<int64_t>(fx, 0, int64_t(width - 1) << 16);
    fy = std::clamp<int64_t>(fy, 0, int64_t(height - 1) << 16);
    const int x0 = int(fx >> 16), y0 = int(fy >> 16);
    const int x1 = std::min(x0 + 1, width - 1), y1 = std::min(y0 + 1, height - 1);
    const uint32_t ax = uint32_t(fx >> 8) & 0xFF, ay = uint32_t(fy >> 8) & 0xFF;
    const uint32_t p[4] = {pixels[std::size_t(y0) * stride + x0], pixels[std::size_t(y0) * stride + x1],
                           pixels[std::size_t(y1) * stride + x0], pixels[std::size_t(y1) * stride + x1]};
    const uint32_t w[4] = {(256 - ax) * (256 - ay), ax * (256 - ay), (256 - ax) * ay, ax * ay};  // sum 65536
    if ((p[0] & p[1] & p[2] & p[3]) >> 24 == 0xFF) {
        uint32_t out = 0xFF000000u;
        for (int shift = 0; shift < 24; shift += 8) {
            uint32_t sum = 0;
            for (int i = 0; i < 4; ++i) sum += ((p[i] >> shift) & 0xFF) * w[i];
            out |= ((sum + 32768) >> 16) << shift;
        }
        return out;
    }
    uint64_t alphaSum = 0;
    for (int i = 0; i < 4; ++i) alphaSum += uint64_t(p[i] >> 24) * w[i];
    if (alphaSum == 0) return 0;
    uint32_t out = uint32_t((alphaSum + 32768) >> 16) << 24;
    for (int shift = 0; shift < 24; shift += 8) {
        uint64_t sum = 0;
        for (int i = 0; i < 4; ++i) sum += uint64_t((p[i] >> shift) & 0xFF) * (p[i] >> 24) * w[i];
        out |= uint32_t(std::min<uint64_t>(255, (sum + alphaSum / 2) / alphaSum)) << shift;
    }
    return out;
}

}  // namespace detail
