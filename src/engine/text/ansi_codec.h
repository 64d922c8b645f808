#pragma once

#include <array>
#include <string>
#include <string_view>
#include <unordered_map>

// The program's 8-bit code page ("system ANSI code page"). Network text and files stay bytes; they are converted only
// where they meet UTF-8: the windows, and hub lists declared as UTF-8. Tables are built once with iconv.
class AnsiCodec {
public:
    explicit AnsiCodec(int codePage);

    // The code page chosen from the locale's language as Windows picks its ANSI code page (LC_ALL, LC_CTYPE, LANG).
    static const AnsiCodec& System();
    // 1250 … 1258 or 874 for a language code such as "ru" or "pl_PL.UTF-8"; 1252 otherwise.
    static int CodePageForLocale(std::string_view locale);

    int CodePage() const { return m_codePage; }
    // The character a byte stands for; U+FFFD for a byte the code page leaves undefined.
    char32_t CodePoint(unsigned char byte) const { return m_codePoints[byte]; }
    std::string ToUtf8(std::string_view ansi) const;
    // ToUtf8 appended to out, for writers that convert much text.
    void AppendUtf8To(std::string& out, std::string_view ansi) const;
    // Characters the code page cannot hold, and malformed UTF-8, become replacement (191, the inverted question mark).
    std::string FromUtf8(std::string_view utf8, char replacement = '\xBF') const;

private:
    int m_codePage;
    std::array<char32_t, 256> m_codePoints{};
    std::array<std::string, 256> m_toUtf8;
    std::unordered_map<char32_t, unsigned char> m_fromUnicode;
};
