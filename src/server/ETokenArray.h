#pragma once

#include "platform/CascadeString.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Cuts a text into tokens at a separator and owns copies of the pieces, in
// the order they occur. The CLI reply parsers stand on these rules:
//   1. a null text or separator gives no tokens;
//   2. a text equal to the separator gives exactly two empty tokens;
//   3. a separator of fewer than two characters cuts like CascadeTokenArray
//      (every separator ends a token, so empty tokens are kept);
//   4. a longer separator cuts at each non-overlapping occurrence, left to
//      right; a text in which it does not occur gives NO tokens at all (not
//      one token holding the whole text).
// Filled once by the constructor; only Reset changes it afterwards. A value
// type: any thread may use its own instance.
class ETokenArray {
public:
    // Whether the caller guarantees the tokens are in ascending order.
    enum class Order { Unsorted, Sorted };

    ETokenArray(const char* text, const char* separator, CascadeCase cs);

    std::size_t GetNumTokens() const { return m_tokens.size(); }
    // The token at `index`, zero-terminated and owned by this array (valid
    // until Reset or destruction); null when `index` is not below the count.
    const char* TokenAt(unsigned long index) const;
    // The index of a token equal to `token` under CascadeString::Compare with
    // `cs`, or -1 (also for a null token). With Order::Sorted a binary search
    // whose first probe is at count / 2; the result is then only meaningful
    // when the tokens are sorted under the same comparison.
    long Contains(const char* token, CascadeCase cs, Order order) const;
    // All tokens with `separator` between neighbours; "" for no tokens. A
    // null separator joins with nothing in between.
    CascadeString Join(const char* separator) const;
    // Drops every token.
    void Reset() { m_tokens.clear(); }

private:
    void SplitAtString(std::string_view text, std::string_view separator, CascadeCase cs);
    long FindLinear(std::string_view token, CascadeCase cs) const;
    long FindSorted(std::string_view token, CascadeCase cs) const;

    std::vector<std::string> m_tokens;
};
