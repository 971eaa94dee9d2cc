#include "platform/detail/Resample.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace detail {
namespace {

// Weights are fixed point with this sum per output pixel.
constexpr uint32_t kWeightOne = 4096;

// Which source pixels each output pixel covers, and by how much, in flat
// arrays: output pixel d reads count[d] source pixels from first[d] with
// the weights from offset[d] on.
struct Spans {
    std::vector<int> first, count, offset;
    std::vector<uint32_t> weights;
};

Spans AreaSpans(int sourceLength, int length) {
    Spans spans;
    spans.first.reserve(std::size_t(length));
    spans.count.reserve(std::size_t(length));
    spans.offset.reserve(std::size_t(length));
    const double scale = double(sourceLength) / length;
    for (int d = 0; d < length; ++d) {
        const double start = d * scale, end = (d + 1) * scale;
        const int first = std::min(int(start), sourceLength - 1);
        const int last = std::max(first, std::min(int(std::ceil(end)), sourceLength) - 1);
        const std::size_t offset = spans.weights.size();
        uint32_t sum = 0;
        std::size_t largest = offset;
        for (int i = first; i <= last; ++i) {
            const double overlap = std::min(end, i + 1.0) - std::max(start, double(i));
            const auto weight = uint32_t(std::lround(std::max(0.0, overlap) / scale * kWeightOne));
            spans.weights.push_back(weight);
            sum += weight;
            if (weight > spans.weights[largest]) largest = spans.weights.size() - 1;
        }
        // Rounding must not brighten or darken: the weights sum to exactly one.
        spans.weights[largest] += kWeightOne - sum;
        spans.first.push_back(first);
        spans.count.push_back(last - first + 1);
        spans.offset.push_back(int(offset));
    }
    return spans;
}

// Source rows into `width` columns of four channels, each value * 16.
std::vector<uint16_t> ResizeRows(const PixelImage& source, int width) {
    const Spans spans = AreaSpans(source.width, width);
    std::vector<uint16_t> out(std::size_t(width) * std::size_t(source.height) * 4);
    uint16_t* o = out.data();
    for (int y = 0; y < source.height; ++y) {
        const uint32_t* row = &source.pixels[std::size_t(y) * std::size_t(source.width)];
        for (int x = 0; x < width; ++x) {
            const uint32_t* from = row + spans.first[std::size_t(x)];
            const uint32_t* weight = &spans.weights[std::size_t(spans.offset[std::size_t(x)])];
            uint32_t c0 = 0, c1 = 0, c2 = 0, c3 = 0;
            for (int k = 0; k < spans.count[std::size_t(x)]; ++k) {
                const uint32_t p = from[k], w = weight[k];
                c0 += (p & 0xFF) * w;
                c1 += ((p >> 8) & 0xFF) * w;
                c2 += ((p >> 16) & 0xFF) * w;
                c3 += (p >> 24) * w;
            }
            o[0] = uint16_t((c0 + 128) >> 8);
            o[1] = uint16_t((c1 + 128) >> 8);
            o[2] = uint16_t((c2 + 128) >> 8);
            o[3] = uint16_t((c3 + 128) >> 8);
            o += 4;
        }
    }
    return out;
}

uint32_t PackChannels(const uint32_t* sum) {
    uint32_t pixel = 0;
    for (int c = 0; c < 4; ++c) pixel |= std::min<uint32_t>(255, (sum[c] + 32768) >> 16) << (8 * c);
    return pixel;
}

}  // namespace

PixelImage ResizeArea(const PixelImage& source, int width, int height) {
    if (width <= 0 || height <= 0 || source.width <= 0 || source.height <= 0) return {};
    if (width == source.width && height == source.height) return source;
    const std::vector<uint16_t> rows = ResizeRows(source, width);
    const Spans spans = AreaSpans(source.height, height);
    PixelImage out{width, height, std::vector<uint32_t>(std::size_t(width) * std::size_t(height))};
    const std::size_t rowValues = std::size_t(width) * 4;
    std::vector<uint32_t> sum(rowValues);
    for (int y = 0; y < height; ++y) {
        std::fill(sum.begin(), sum.end(), 0u);
        for (int k = 0; k < spans.count[std::size_t(y)]; ++k) {
            const uint16_t* row = &rows[std::size_t(spans.first[std::size_t(y)] + k) * rowValues];
            const uint32_t w = spans.weights[std::size_t(spans.offset[std::size_t(y)] + k)];
            for (std::size_t i = 0; i < rowValues; ++i) sum[i] += row[i] * w;
        }
        uint32_t* target = &out.pixels[std::size_t(y) * std::size_t(width)];
        for (int x = 0; x < width; ++x) target[x] = PackChannels(&sum[std::size_t(x) * 4]);
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
