#pragma once

// UTF-8 decoding for the text renderer. Included only by platform sources;
// pure, any thread.

#include <string>
#include <string_view>

namespace detail {

constexpr char32_t kReplacementCharacter = 0xFFFD;

// Decodes `text`; every malformed sequence (stray continuation byte, cut-off
// sequence, overlong form, surrogate, value above U+10FFFF) becomes one
// U+FFFD and decoding resumes at the next byte that could start a character.
// Never reads past the end.
std::u32string DecodeUtf8(std::string_view text);

}  // namespace detail
