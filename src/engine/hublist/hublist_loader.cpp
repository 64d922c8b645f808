#include "engine/hublist/hublist_loader.h"

#include <cstdint>
#include <string_view>

#include "engine/hublist/xml_scanner.h"
#include "engine/search/hub_queue.h"

namespace {

enum class AddressOutcome { Entry, Skip, PortOverflow };

struct HubAddress {
    AddressOutcome outcome = AddressOutcome::Skip;
    std::string_view host;
    int32_t port = 0;
};

constexpr int32_t kDefaultHubPort = 411;

// "dchub://host:port/anything", "host:port" or "host". Nothing is validated: the connection judges host and port.
HubAddress ParseHubAddress(std::string_view address) {
    if (address.empty() || address.find("adc://") != std::string_view::npos) return {};
    constexpr std::string_view kDcHub = "dchub://";
    if (const std::size_t at = address.find(kDcHub); at != std::string_view::npos)
        address.remove_prefix(at + kDcHub.size());
    const std::size_t colon = address.find(':');
    if (colon == std::string_view::npos) return {AddressOutcome::Entry, address, kDefaultHubPort};
    int64_t port = 0;
    std::size_t digits = 0;
    for (std::size_t i = colon + 1; i < address.size() && address[i] >= '0' && address[i] <= '9'; ++i, ++digits) {
        port = port * 10 + (address[i] - '0');
        if (port > INT32_MAX) return {AddressOutcome::PortOverflow, {}, 0};
    }
    if (digits == 0) return {};
    return {AddressOutcome::Entry, address.substr(0, colon), static_cast<int32_t>(port)};
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
            queue.AddHub(std::string(hub.host), hub.port, scanner.AttributeValue("Encoding"));
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
