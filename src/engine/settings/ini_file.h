#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

// A read-only view of an INI text. A leading UTF-8 byte order mark is skipped; lines are trimmed of blanks and control
// characters; ";" starts a comment line; section and key names match without regard to ASCII letter case. A section
// that occurs again replaces the earlier one, and a key that occurs again replaces its earlier value. Lines before
// the first section are ignored.
class IniFile {
public:
    static IniFile FromText(std::string_view text);
    // A missing or unreadable file, or one that is no regular file (a folder, a FIFO), reads as an empty one; reading
    // never blocks on a FIFO.
    static IniFile FromFile(const std::string& path);

    // The trimmed value, empty when the key is present without one; nullopt when the key is missing.
    std::optional<std::string> ReadValue(std::string_view section, std::string_view key) const;
    std::string ReadString(std::string_view section, std::string_view key, const std::string& defaultValue) const;
    // Standard integer syntax (decimal, or hexadecimal after "$", "0x", "x" ...); anything else gives the default.
    int32_t ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue) const;
    // An integer; non-zero is true.
    bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;

private:
    using Section = std::unordered_map<std::string, std::string>;
    std::unordered_map<std::string, Section> m_sections;  // keyed by lower-case names
};
