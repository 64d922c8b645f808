#include "engine/results/result_compare.h"

#include <algorithm>

#include "engine/text/utf8.h"

namespace {

// The base letter of U+00C0 to U+017F ('.' for none): "é" and "ł" sort with "e" and "l", as a reader expects.
constexpr std::string_view kLatinBaseLetters =
    "aaaaaa.ceeeeiiiidnooooo.ouuuuy..aaaaaa.ceeeeiiiidnooooo.ouuuuy.yaaaaaaccccccccddddeeeeeeeeeegggggggghhhhiiiiiiiii"
    "i..jjkk.llllllllllnnnnnn...oooooo..rrrrrrssssssssttttttuuuuuuuuuuuuwwyyyzzzzzzs";
constexpr char32_t kLatinBaseFirst = 0xC0;
// A byte that is not part of valid UTF-8 sorts after every character, by its value.
constexpr char32_t kInvalidByteWeight = 0x110000;

// Upper case to lower case for ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic; other characters unchanged.
char32_t FoldCase(char32_t c) {
    if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
    if (c >= 0x100 && c <= 0x17F) {
        if (c == 0x178) return 0xFF;
        const bool oddIsUpper = (c >= 0x139 && c <= 0x148) || c >= 0x179;
        if (c == 0x138 || c == 0x149 || c == 0x17F) return c;
        return ((c & 1) != 0) == oddIsUpper ? c + 1 : c;
    }
    if (c >= 0x391 && c <= 0x3A9) return c + 0x20;
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;
    if (c >= 0x410 && c <= 0x42F) return c + 0x20;
    return c;
}

// The first level of the order: case and accents ignored; "ё" with "е", as Russian dictionaries sort it.
char32_t BaseWeight(char32_t c) {
    c = FoldCase(c);
    if (c >= kLatinBaseFirst && c - kLatinBaseFirst < kLatinBaseLetters.size()) {
        const char base = kLatinBaseLetters[c - kLatinBaseFirst];
        if (base != '.') return static_cast<char32_t>(base);
    }
    return c == 0x451 ? 0x435 : c;
}

// The next character's weight at i, which it advances; ASCII takes no decoding.
template <char32_t (*Weight)(char32_t)>
char32_t NextWeight(std::string_view text, std::size_t& i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x80) {
        ++i;
        return Weight(byte);
    }
    char32_t c = 0;
    return DecodeUtf8(text, i, c) ? Weight(c) : kInvalidByteWeight + byte;
}

template <char32_t (*Weight)(char32_t)>
int CompareWeights(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const char32_t x = NextWeight<Weight>(a, i);
        const char32_t y = NextWeight<Weight>(b, j);
        if (x != y) return x < y ? -1 : 1;
    }
    return (i < a.size()) - (j < b.size());
}

template <typename Number>
int CompareNumbers(Number a, Number b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

}  // namespace

int CompareTextIgnoringCase(std::string_view a, std::string_view b) {
    const int byBase = CompareWeights<BaseWeight>(a, b);
    return byBase != 0 ? byBase : CompareWeights<FoldCase>(a, b);
}

int CompareText(std::string_view a, std::string_view b) {
    const int byBytes = a.substr(0, b.size()).compare(b.substr(0, a.size()));
    return byBytes != 0 ? byBytes : CompareNumbers(a.size(), b.size());
}

int CompareResultRows(const ResultRow& a, const ResultRow& b, int column) {
    switch (column) {
        case kFileNameColumn:
            return CompareTextIgnoringCase(a.FileName, b.FileName);
        case kSizeColumn:
            return CompareNumbers(a.Size, b.Size);
        case kSlotsColumn: {
            const int byFree = CompareNumbers(a.FreeSlots, b.FreeSlots);
            return byFree != 0 ? byFree : CompareNumbers(a.TotalSlots, b.TotalSlots);
        }
        case kUserColumn:
            return CompareTextIgnoringCase(a.User, b.User);
        case kHubAddressColumn:
            return CompareText(a.HubAddress, b.HubAddress);
        case kPathColumn:
            return CompareTextIgnoringCase(a.Path, b.Path);
        default:
            return 0;
    }
}
