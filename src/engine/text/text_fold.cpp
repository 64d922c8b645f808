#include "engine/text/text_fold.h"

#include <string_view>
#include <utility>

#include "engine/text/utf8.h"

namespace {

// Base letters of U+00C0 … U+017F; "." marks a character without one.
constexpr std::string_view kLatin1Bases = "aaaaaa.ceeeeiiii.nooooo.ouuuuy..aaaaaa.ceeeeiiii.nooooo.ouuuuy.y";
constexpr std::string_view kLatinExtendedABases =
    "aaaaaaccccccccddddeeeeeeeeeegggggggghhhhiiiiiiiiii..jjkk.llllllllllnnnnnn...oooooo..rrrrrrsssssssstttttt"
    "uuuuuuuuuuuuwwyyyzzzzzzs";

char32_t FoldLatin(char32_t c) {
    const char base = c < 0x100 ? kLatin1Bases[c - 0xC0] : kLatinExtendedABases[c - 0x100];
    if (base != '.') return static_cast<unsigned char>(base);
    // Without a base letter: Æ Ð Þ and the capital-small pairs Ĳ Ŋ Œ only lose their case.
    if (c == 0xC6 || c == 0xD0 || c == 0xDE) return c + 0x20;
    if (c == 0x132 || c == 0x14A || c == 0x152) return c + 1;
    return c;
}

// Greek vowels with tonos or dialytika, and the final sigma, with their bare small letters.
constexpr std::pair<char32_t, char32_t> kGreekFolds[] = {
    {0x386, 0x3B1}, {0x3AC, 0x3B1}, {0x388, 0x3B5}, {0x3AD, 0x3B5}, {0x389, 0x3B7}, {0x3AE, 0x3B7}, {0x38A, 0x3B9},
    {0x3AF, 0x3B9}, {0x3AA, 0x3B9}, {0x3CA, 0x3B9}, {0x390, 0x3B9}, {0x38C, 0x3BF}, {0x3CC, 0x3BF}, {0x38E, 0x3C5},
    {0x3CD, 0x3C5}, {0x3AB, 0x3C5}, {0x3CB, 0x3C5}, {0x3B0, 0x3C5}, {0x38F, 0x3C9}, {0x3CE, 0x3C9}, {0x3C2, 0x3C3},
};

char32_t FoldGreek(char32_t c) {
    for (const auto& [from, to] : kGreekFolds) {
        if (c == from) return to;
    }
    return c >= 0x391 && c <= 0x3A9 ? c + 0x20 : c;
}

char32_t FoldCyrillic(char32_t c) {
    if (c == 0x401 || c == 0x451 || c == 0x400 || c == 0x450) return 0x435;  // ё, ѐ → е
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;
    if (c >= 0x410 && c <= 0x42F) return c + 0x20;
    if (c == 0x490) return 0x491;  // Ґ
    return c;
}

}  // namespace

char32_t FoldCodePoint(char32_t c) {
    if (c >= 'A' && c <= 'Z') return c + ('a' - 'A');
    if (c >= 0xC0 && c <= 0x17F && c != 0xD7 && c != 0xF7) return FoldLatin(c);
    if (c >= 0x386 && c <= 0x3CE) return FoldGreek(c);
    if (c >= 0x400 && c <= 0x491) return FoldCyrillic(c);
    return c;
}

void AppendFoldedUtf8(std::string& out, std::string_view utf8) {
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t start = i;
        char32_t c = 0;
        if (DecodeUtf8(utf8, i, c))
            AppendUtf8(out, FoldCodePoint(c));
        else
            out += utf8[start];
    }
}
