#pragma once

#include <cstdint>
#include <string_view>

// The one reader of decimal numbers in text, for every layer (the server's
// helpers call it EUtils::ParseDecimal). Pure; any thread.
namespace CascadeDecimal {

// A decimal number from its leading digits, 0 when there are none. Leading
// blanks (space, tab, line feed, carriage return, vertical tab, form feed)
// are skipped and one '+' or '-' is allowed; whatever follows the digits is
// ignored. A number beyond the 64-bit range saturates at its nearest limit.
int64_t Parse(std::string_view text);

// Parse, with a negative number giving 0: for counts, sizes and indexes.
uint64_t ParseCount(std::string_view text);

}  // namespace CascadeDecimal
