#pragma once

#include <string>
#include <string_view>

// Small UTF-8 routines shared by the code pages and the hub encodings.

// Appends cp as UTF-8.
void AppendUtf8(std::string& out, char32_t cp);
// Decodes one UTF-8 sequence at i into cp and advances i past it; for a malformed one (overlong, surrogate, beyond
// U+10FFFF, cut short) returns false and advances one byte.
bool DecodeUtf8(std::string_view text, std::size_t& i, char32_t& cp);
// Whether every byte is below 0x80.
bool IsAscii(std::string_view text);
// Whether the whole text is well-formed UTF-8.
bool IsValidUtf8(std::string_view text);
