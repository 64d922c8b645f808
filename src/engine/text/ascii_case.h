#pragma once

#include <string>
#include <string_view>

// Letter case as the program's protocols and files know it: only A to Z fold to a to z. Bytes above 127 (parts of
// UTF-8 characters, or code-page bytes at the edges) stay as they are, whatever the C locale says.

constexpr char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string AsciiLower(std::string_view text);
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);
