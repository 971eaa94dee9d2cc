#pragma once

#include "platform/CascadeString.h"

#include <string_view>
#include <vector>

// The framework tokenizer: cuts a text at every character that appears in
// `separators`. Every separator ends a token, so runs of separators and
// separators at either end give empty tokens; cutting and joining again with
// the same character gives back the text. An empty text gives no tokens.
class CascadeTokenArray {
public:
    CascadeTokenArray(std::string_view text, std::string_view separators);

    std::size_t GetNumTokens() const { return m_tokens.size(); }
    // The token at `index`, or "" when the index is not below the count.
    const CascadeString& TokenAt(std::size_t index) const;

private:
    std::vector<CascadeString> m_tokens;
};
