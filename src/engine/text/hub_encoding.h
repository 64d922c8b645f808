#pragma once

#include <optional>
#include <string>
#include <string_view>

// The encoding a hub's text is written in, from the Encoding attribute of its hub list entry. Cheap to copy: it is
// an iconv name. Conversions use per-thread cached iconv descriptors, so any thread may convert at any time.
class HubEncoding {
public:
    // The locale's code page (what a hub without an Encoding attribute, or with an unknown one, is taken to use).
    HubEncoding();

    // The encoding a hub list's Encoding value names: "CP1251", "cp-1251", "windows-1251", "UTF-8", "utf8",
    // "ISO-8859-2", "latin1", … An empty or unknown name gives the locale's code page.
    static HubEncoding FromListName(std::string_view listName);

    // The iconv name, e.g. "CP1251" or "UTF-8".
    const std::string& Name() const { return m_iconvName; }
    bool IsUtf8() const { return m_iconvName == "UTF-8"; }

    // Bytes of this encoding as UTF-8; bytes that are not valid in it become U+FFFD.
    std::string ToUtf8(std::string_view bytes) const;
    // UTF-8 text in this encoding, or nothing when it holds a character the encoding cannot write (or is not valid
    // UTF-8): never question marks in place of what cannot be written.
    std::optional<std::string> FromUtf8(std::string_view utf8) const;

    bool operator==(const HubEncoding& other) const = default;

private:
    explicit HubEncoding(std::string iconvName) : m_iconvName(std::move(iconvName)) {}

    std::string m_iconvName;
};
