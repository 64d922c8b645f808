#include "engine/settings/ip_detection.h"

#include <string_view>

#include "engine/net/local_addresses.h"
#include "engine/text/number_format.h"

namespace {

// The n-th (0-based) dot-separated number of the text, or -1.
int32_t AddressPart(std::string_view address, int n) {
    for (; n > 0; --n) {
        const std::size_t dot = address.find('.');
        if (dot == std::string_view::npos) return -1;
        address.remove_prefix(dot + 1);
    }
    return ParseInt32(address.substr(0, address.find('.'))).value_or(-1);
}

bool IsPrivate(const std::string& address) {
    const int32_t first = AddressPart(address, 0);
    if (first == 10) return true;
    const int32_t second = AddressPart(address, 1);
    return (first == 172 && second >= 16 && second <= 31) || (first == 192 && second == 168);
}

}  // namespace

IpClassification ClassifyAddresses(const std::vector<std::string>& addresses) {
    const std::string* found = nullptr;
    for (const std::string& address : addresses) {
        if (IsPrivate(address)) continue;
        if (found != nullptr) return {"", kIpMultipleError};
        found = &address;
    }
    if (found == nullptr) return {"", kIpNatError};
    return {*found, ""};
}

std::string DetectLocalIP(std::string& pendingIPMessage) {
    const auto addresses = LocalIPv4Addresses();
    if (!addresses) {
        pendingIPMessage = kIpDetectError;
        return "";
    }
    IpClassification result = ClassifyAddresses(*addresses);
    if (!result.message.empty()) pendingIPMessage = result.message;
    return result.address;
}
