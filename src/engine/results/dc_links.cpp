#include "engine/results/dc_links.h"

#include <algorithm>

#include "engine/adc/base32.h"

namespace {

constexpr std::string_view kTthPrefix = "TTH:";

bool IsUnreserved(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

bool IsHubAddressCharacter(char c) {
    return IsUnreserved(c) || c == ':' || c == '[' || c == ']';
}

}  // namespace

bool IsTth(std::string_view text) {
    return text.size() == kTthLength && Base32Decode(text) && text.find_first_not_of('A') != std::string_view::npos;
}

std::string_view TthOfSearchResult(std::string_view message) {
    const std::size_t separator = message.rfind('\x05');
    const std::size_t open = message.rfind(" (");
    if (separator == std::string_view::npos || open == std::string_view::npos || open < separator) return {};
    const std::string_view field = message.substr(separator + 1, open - separator - 1);
    if (!field.starts_with(kTthPrefix)) return {};
    const std::string_view hash = field.substr(kTthPrefix.size());
    return IsTth(hash) ? hash : std::string_view();
}

std::string MagnetLink(std::string_view tth, int64_t size, std::string_view utf8FileName) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string link = "magnet:?xt=urn:tree:tiger:";
    link += tth;
    link += "&xl=";
    link += std::to_string(size);
    link += "&dn=";
    for (const char c : utf8FileName) {
        if (IsUnreserved(c)) {
            link += c;
        } else {
            const auto byte = static_cast<unsigned char>(c);
            link += '%';
            link += kHex[byte >> 4];
            link += kHex[byte & 15];
        }
    }
    return link;
}

std::string HubUrl(std::string_view hubAddress) {
    if (hubAddress.empty() || !std::all_of(hubAddress.begin(), hubAddress.end(), IsHubAddressCharacter)) return {};
    return "dchub://" + std::string(hubAddress);
}
