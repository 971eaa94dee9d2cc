#include "platform/CascadeDecimal.h"

#include <charconv>
#include <limits>

namespace CascadeDecimal {

namespace {

bool IsLeadingBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

}  // namespace

int64_t Parse(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsLeadingBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Parsed as unsigned magnitude so that the minimum is reachable and an
    // overlong run of digits can be told apart from no digits at all.
    uint64_t magnitude = 0;
    const char* first = text.data() + i;
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(first, last, magnitude);
    if (end == first) return 0;
    constexpr uint64_t kMaxPositive = uint64_t(std::numeric_limits<int64_t>::max());
    if (error == std::errc::result_out_of_range || magnitude > kMaxPositive + (negative ? 1 : 0)) {
        return negative ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
    }
    if (negative) return magnitude == kMaxPositive + 1 ? std::numeric_limits<int64_t>::min() : -int64_t(magnitude);
    return int64_t(magnitude);
}

uint64_t ParseCount(std::string_view text) {
    const int64_t value = Parse(text);
    return value < 0 ? 0 : uint64_t(value);
}

}  // namespace CascadeDecimal
