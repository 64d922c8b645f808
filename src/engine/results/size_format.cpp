#include "engine/results/size_format.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

int DecimalLength(int64_t value) {
    int length = value < 0 ? 2 : 1;
    for (uint64_t rest = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value); rest >= 10;
         rest /= 10)
        ++length;
    return length;
}

}  // namespace

std::string FormatSizeNumber(double x, std::string_view decimalSeparator) {
    const int precision = DecimalLength(static_cast<int64_t>(std::trunc(x))) + 2;
    // 18 significant digits: "d.ddddddddddddddddde±XX", the digits that the half-up rounding looks at.
    char expanded[40];
    std::snprintf(expanded, sizeof expanded, "%.17e", std::fabs(x));
    char digits[19];
    digits[0] = expanded[0];
    for (int i = 1; i < 18; ++i) digits[i] = expanded[i + 1];
    int exponent = std::atoi(expanded + 20);

    const int kept = precision < 18 ? precision : 18;
    if (kept < 18 && digits[kept] >= '5') {
        int i = kept - 1;
        while (i >= 0 && digits[i] == '9') digits[i--] = '0';
        if (i >= 0) {
            ++digits[i];
        } else {
            digits[0] = '1';  // 9.99 became 10.0: one more integer digit, the rest are zeros
            ++exponent;
        }
    }
    int last = kept - 1;
    while (last > 0 && digits[last] == '0' && last > exponent) --last;

    std::string text;
    if (x < 0) text += '-';
    if (exponent < 0) {
        text += '0';
        text += decimalSeparator;
        text.append(static_cast<std::size_t>(-exponent - 1), '0');
        text.append(digits, static_cast<std::size_t>(last) + 1);
        return text;
    }
    for (int i = 0; i <= exponent || i <= last; ++i) {
        if (i == exponent + 1) text += decimalSeparator;
        text += i <= last ? digits[i] : '0';
    }
    return text;
}

std::string SizeText(int64_t size, std::string_view decimalSeparator) {
    constexpr int64_t kKilo = 1024, kMega = kKilo * 1024, kGiga = kMega * 1024;
    if (size < kKilo) return std::to_string(size) + " B";
    if (size < kMega) return FormatSizeNumber(static_cast<double>(size) / kKilo, decimalSeparator) + " KB";
    if (size < kGiga) return FormatSizeNumber(static_cast<double>(size) / kMega, decimalSeparator) + " MB";
    return FormatSizeNumber(static_cast<double>(size) / kGiga, decimalSeparator) + " GB";
}
