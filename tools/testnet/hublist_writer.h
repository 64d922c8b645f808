#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One hub as a public hub list describes it.
struct HublistEntry {
    std::string name;
    std::string address;  // "dchub://host:port"
    std::string description;
    std::size_t users = 0;
    int64_t shared = 0;
    std::string encoding;  // the Encoding attribute, left out when empty
};

// The hub list document in the XML form that hub list services publish (UTF-8).
std::string WriteHublistXml(const std::vector<HublistEntry>& hubs);
// One bzip2 stream holding text; nullopt if libbz2 fails.
std::optional<std::string> Bzip2Compress(std::string_view text);
