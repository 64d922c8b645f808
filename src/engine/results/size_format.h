#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// x with (digits of x truncated toward zero) + 2 significant digits, so at most two decimals: half rounded up on
// the value's 18-digit decimal expansion, never in exponent form, trailing zeros and a bare separator removed.
// decimalSeparator is the user's locale's. x must be finite with a magnitude below 9e18.
std::string FormatSizeNumber(double x, std::string_view decimalSeparator);

// The size as shown in the list: "512 B", "1.5 KB", "5 MB", "1.18 GB" (negative sizes in bytes).
std::string SizeText(int64_t size, std::string_view decimalSeparator);
