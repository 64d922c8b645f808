#include "engine/hublist/hublist_loader.h"

#include <cstdint>
#include <optional>
#include <string_view>

#include "engine/hublist/xml_scanner.h"
#include "engine/search/hub_queue.h"

namespace {

enum class AddressOutcome { Entry, Skip, PortOverflow };

struct HubAddress {
    AddressOutcome outcome = AddressOutcome::Skip;
    std::string_view host{};
    int32_t port = 0;
    HubProtocol protocol = HubProtocol::Nmdc;
    std::string_view keyprint{};
};

constexpr int32_t kDefaultHubPort = 411;

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

// "dchub://host:port/anything", "adcs://host:port/?kp=SHA256/...", "host:port" or "host". Nothing is validated: the
// connection judges host and port. An ADC address without a port is skipped: ADC has no usual port.
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

HubListLoad ScanHubs(XmlScanner& scanner, HubQueue& queue) {
    scanner.StartScan();
    bool portOverflow = false;
    while (scanner.Next()) {
        if (scanner.PartType() != XmlPartType::EmptyElementTag || scanner.ElementName() != "Hub") continue;
        const std::string address = scanner.AttributeValue("Address");
        const HubAddress hub = ParseHubAddress(address);
        // One hub with a broken port must not cost the user the rest of the list.
        if (hub.outcome == AddressOutcome::PortOverflow) portOverflow = true;
        if (hub.outcome == AddressOutcome::Entry)
            queue.AddHub(hub.host, hub.port, scanner.AttributeValue("Encoding"), hub.protocol, hub.keyprint);
    }
    return {true, portOverflow || scanner.Failed()};
}

}  // namespace

std::string HubListPath(const std::string& dataDir) {
    if (dataDir.empty() || dataDir.back() == '/') return dataDir + kHubListFileName;
    return dataDir + "/" + kHubListFileName;
}

HubListLoad LoadHubList(const std::string& hubListFile, HubQueue& queue) {
    XmlScanner scanner;
    if (!scanner.LoadFile(hubListFile)) return {};
    return ScanHubs(scanner, queue);
}

HubListLoad LoadHubListText(std::string document, HubQueue& queue) {
    XmlScanner scanner;
    scanner.LoadText(std::move(document));
    return ScanHubs(scanner, queue);
}
