#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// Number reading shared by the settings, the dialogs, the search form and the result decoder.

// Standard integer syntax: leading blanks, an optional sign, then decimal digits or hexadecimal digits after
// "$", "0x", "0X", "x" or "X". Nothing may follow the digits; the value must fit the type.
std::optional<int32_t> ParseInt32(std::string_view text);
std::optional<int64_t> ParseInt64(std::string_view text);

// A decimal number with "." as the only decimal separator and no digit grouping, whatever the user's locale:
// blanks around it, a sign, digits with an optional fraction, an optional exponent (E or e).
std::optional<long double> ParseDecimal(std::string_view text);
