#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// One decoded result, as the datagram decoder fills it. Texts are UTF-8, read from the hub's encoding.
struct SearchResult {
    std::string FileName;   // file: the name after the last backslash; directory: the path plus one backslash
    std::string SizeText;   // "<DIR>" for a directory; empty for a file, whose shown size comes from Size
    int64_t Size = 0;       // bytes; -1 for a directory
    std::string SlotsText;  // as received, normally free "/" total
    int32_t FreeSlots = 0;
    int32_t TotalSlots = 0;
    std::string User;
    std::string HubAddress;  // between the last "(" and the final ")"; empty without "("
    std::string Path;        // file: up to and including the last backslash; directory: same as FileName
    std::string Tth;         // the file's Tiger Tree Hash (kTthLength base32 characters), or empty without one
};

// The size text of directory results; a file with size -1 still shows "-1 B", so this text is what marks a directory.
inline constexpr std::string_view kDirectorySizeText = "<DIR>";

// One row as the result store holds it. The views stay valid until the store is cleared; sorting keeps them valid.
struct ResultRow {
    std::string_view FileName;
    std::string_view SlotsText;
    std::string_view User;
    std::string_view HubAddress;
    std::string_view Path;
    std::string_view Tth;  // empty without one
    int64_t Size = 0;
    int32_t FreeSlots = 0;
    int32_t TotalSlots = 0;
    bool IsDirectory = false;
};
