#include "engine/hublist/hub_address.h"

#include <optional>

namespace {

struct Scheme {
    std::string_view prefix;
    HubProtocol protocol;
};
constexpr Scheme kSchemes[] = {
    {"dchub://", HubProtocol::Nmdc},
    {"nmdcs://", HubProtocol::NmdcTls},
    {"adc://", HubProtocol::Adc},
    {"adcs://", HubProtocol::AdcTls},
};

// The scheme that appears first in the address and what follows it; lists put text before it at times.
std::optional<Scheme> FirstScheme(std::string_view& address) {
    std::optional<Scheme> first;
    std::size_t firstAt = std::string_view::npos;
    for (const Scheme& scheme : kSchemes)
        if (const std::size_t at = address.find(scheme.prefix); at < firstAt) {
            first = scheme;
            firstAt = at;
        }
    if (first) address.remove_prefix(firstAt + first->prefix.size());
    return first;
}

// "SHA256/<base32>" from a "?kp=" (or "&kp=") parameter after the host and port; empty when there is none.
std::string_view KeyprintOf(std::string_view rest) {
    const std::size_t query = rest.find('?');
    if (query == std::string_view::npos) return {};
    rest.remove_prefix(query);
    for (const std::string_view separator : {"?kp=", "&kp="})
        if (const std::size_t at = rest.find(separator); at != std::string_view::npos) {
            const std::string_view value = rest.substr(at + separator.size());
            return value.substr(0, value.find('&'));
        }
    return {};
}

}  // namespace

HubAddress ParseHubAddress(std::string_view address) {
    if (address.empty()) return {};
    const std::optional<Scheme> scheme = FirstScheme(address);
    const HubProtocol protocol = scheme ? scheme->protocol : HubProtocol::Nmdc;
    const bool tls = protocol == HubProtocol::NmdcTls || protocol == HubProtocol::AdcTls;
    const bool adc = protocol == HubProtocol::Adc || protocol == HubProtocol::AdcTls;
    const std::size_t colon = address.find(':');
    if (colon == std::string_view::npos) {
        if (adc) return {};
        return {AddressOutcome::Entry, address, kDefaultHubPort, protocol, {}};
    }
    int64_t port = 0;
    std::size_t digits = 0;
    for (std::size_t i = colon + 1; i < address.size() && address[i] >= '0' && address[i] <= '9'; ++i, ++digits) {
        port = port * 10 + (address[i] - '0');
        if (port > INT32_MAX) return {AddressOutcome::PortOverflow, {}, 0};
    }
    if (digits == 0) return {};
    const std::string_view keyprint = tls ? KeyprintOf(address.substr(colon + 1 + digits)) : std::string_view{};
    return {AddressOutcome::Entry, address.substr(0, colon), static_cast<int32_t>(port), protocol, keyprint};
}
