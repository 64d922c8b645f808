#include "engine/hublist/hublist_loader.h"

#include <cstdint>
#include <optional>
#include <string_view>

#include "engine/hublist/hub_address.h"
#include "engine/hublist/xml_scanner.h"
#include "engine/search/hub_queue.h"
#include "engine/text/number_format.h"

namespace {

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
            queue.AddHub(hub.host, hub.port, scanner.AttributeValue("Encoding"), hub.protocol, hub.keyprint,
                         scanner.AttributeValue("Name"), ParseInt32(scanner.AttributeValue("Users")).value_or(-1));
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
