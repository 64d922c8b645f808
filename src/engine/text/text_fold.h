#pragma once

#include <array>

class AnsiCodec;

// Case and accent folding for searching in text, kept small and without a Unicode library: letters of Latin-1 and
// Latin Extended-A lose their accents and strokes ("É", "ł" → "e", "l"), ASCII, Greek and Cyrillic capitals become
// small letters, Greek tonos and dialytika and Cyrillic "ё" fold to the bare letter, the final sigma to sigma.
// Ligatures and letters without a base letter ("Æ", "ß", "Þ") only lose their case. Every other character is its own
// fold. These blocks cover every letter of the 8-bit code pages the program reads text in.
char32_t FoldCodePoint(char32_t c);

// FoldCodePoint as a table over the bytes of one code page, so text in that code page folds byte by byte.
// A character whose fold the code page cannot hold stays as it is.
class CodePageFold {
public:
    explicit CodePageFold(const AnsiCodec& codec);

    unsigned char operator[](unsigned char byte) const { return m_folded[byte]; }

private:
    std::array<unsigned char, 256> m_folded{};
};
