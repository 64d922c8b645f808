#pragma once

#include <string>
#include <string_view>

// Case and accent folding for searching in text, kept small and without a Unicode library: letters of Latin-1 and
// Latin Extended-A lose their accents and strokes ("É", "ł" → "e", "l"), ASCII, Greek and Cyrillic capitals become
// small letters, Greek tonos and dialytika and Cyrillic "ё" fold to the bare letter, the final sigma to sigma.
// Ligatures and letters without a base letter ("Æ", "ß", "Þ") only lose their case. Every other character is its own
// fold. These blocks cover every letter of the 8-bit code pages hubs use.
char32_t FoldCodePoint(char32_t c);

// FoldCodePoint over UTF-8 text, appended to out; bytes that are not UTF-8 stay as they are.
void AppendFoldedUtf8(std::string& out, std::string_view utf8);
