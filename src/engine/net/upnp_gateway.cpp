#include "engine/net/upnp_gateway.h"

#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnpcommands.h>
#include <miniupnpc/upnperrors.h>

#include "engine/text/number_format.h"

using std::chrono::milliseconds;

struct UpnpGateway::Device {
    ~Device() { FreeUPNPUrls(&urls); }

    UPNPUrls urls{};
    IGDdatas data{};
};

namespace {

// UPnP error codes of AddPortMapping (UPnP-IGD WANIPConnection).
constexpr int NoSuchEntry = 714;
constexpr int ConflictInMappingEntry = 718;
constexpr int OnlyPermanentLeasesSupported = 725;

// Room for an IPv6 address, which miniupnpc may write for the local address.
constexpr int AddressTextSize = 64;

std::string CommandError(int code) {
    if (code > 0) {
        const char* name = strupnperror(code);
        return "the gateway refused: " + std::string(name != nullptr ? name : "UPnP error " + std::to_string(code));
    }
    return code == UPNPCOMMAND_HTTP_ERROR ? "no answer from the gateway" : "the gateway's answer is unusable";
}

}  // namespace

UpnpGateway::UpnpGateway() = default;

UpnpGateway::~UpnpGateway() = default;

std::string UpnpGateway::Discover(milliseconds listen) {
    static const char* const searchTypes[] = {
        "urn:schemas-upnp-org:device:InternetGatewayDevice:1", "urn:schemas-upnp-org:device:InternetGatewayDevice:2",
        "urn:schemas-upnp-org:service:WANIPConnection:1",      "urn:schemas-upnp-org:service:WANIPConnection:2",
        "urn:schemas-upnp-org:service:WANPPPConnection:1",     nullptr};
    int error = UPNPDISCOVER_SUCCESS;
    // The last argument sends every search at once and listens once, instead of listening after each in turn.
    UPNPDev* devices = upnpDiscoverDevices(searchTypes, static_cast<int>(listen.count()), nullptr, nullptr,
                                           UPNP_LOCAL_PORT_ANY, 0, 2, &error, 1);
    if (devices == nullptr) return error == UPNPDISCOVER_SUCCESS ? "no gateway answered" : "discovery failed";
    auto device = std::make_unique<Device>();
    char local[AddressTextSize] = {};
    const int found = UPNP_GetValidIGD(devices, &device->urls, &device->data, local, sizeof local);
    freeUPNPDevlist(devices);
    // 1: connected; 2: not connected, or connected through a reserved address (a provider's NAT, a test lab).
    if (found != 1 && found != 2) return found == 3 ? "the devices that answered are no gateways" : "no gateway found";
    m_device = std::move(device);
    m_localAddress = local;
    return "";
}

std::string UpnpGateway::Open(const std::string& descriptionUrl) {
    auto device = std::make_unique<Device>();
    char local[AddressTextSize] = {};
    if (UPNP_GetIGDFromUrl(descriptionUrl.c_str(), &device->urls, &device->data, local, sizeof local) != 1)
        return "no gateway description at " + descriptionUrl;
    if (device->data.first.servicetype[0] == '\0') return "no internet connection service at " + descriptionUrl;
    m_device = std::move(device);
    m_localAddress = local;
    return "";
}

ExternalAddressAnswer UpnpGateway::ExternalAddress() {
    if (!m_device) return {"", "no gateway"};
    char address[AddressTextSize] = {};
    const int result = UPNP_GetExternalIPAddress(m_device->urls.controlURL, m_device->data.first.servicetype, address);
    if (result != UPNPCOMMAND_SUCCESS) return {"", CommandError(result)};
    if (address[0] == '\0') return {"", "the gateway has no external address"};
    return {address, ""};
}

PortMappingAnswer UpnpGateway::MapUdp(uint16_t internalPort, uint16_t externalPort, std::chrono::seconds lease,
                                      const std::string& description) {
    if (!m_device) return {0, {}, "no gateway"};
    const char* control = m_device->urls.controlURL;
    const char* service = m_device->data.first.servicetype;
    const std::string internal = std::to_string(internalPort), external = std::to_string(externalPort);
    std::string leaseText = std::to_string(lease.count());
    const auto add = [&] {
        return UPNP_AddPortMapping(control, service, external.c_str(), internal.c_str(), m_localAddress.c_str(),
                                   description.c_str(), "UDP", nullptr, leaseText.c_str());
    };
    int result = add();
    if (result == OnlyPermanentLeasesSupported) {
        lease = std::chrono::seconds(0);
        leaseText = "0";
        result = add();
    }
    if (result == UPNPCOMMAND_SUCCESS) return {externalPort, lease, ""};
    if (result != ConflictInMappingEntry) return {0, {}, CommandError(result)};
    char reserved[8] = {};
    const int any = UPNP_AddAnyPortMapping(control, service, external.c_str(), internal.c_str(), m_localAddress.c_str(),
                                           description.c_str(), "UDP", nullptr, leaseText.c_str(), reserved);
    const auto port = ParseInt32(reserved);
    if (any != UPNPCOMMAND_SUCCESS || !port || *port < 1 || *port > 65535) return {0, {}, CommandError(result)};
    return {static_cast<uint16_t>(*port), lease, ""};
}

std::string UpnpGateway::UnmapUdp(uint16_t externalPort) {
    if (!m_device) return "no gateway";
    const int result = UPNP_DeletePortMapping(m_device->urls.controlURL, m_device->data.first.servicetype,
                                              std::to_string(externalPort).c_str(), "UDP", nullptr);
    return result == UPNPCOMMAND_SUCCESS || result == NoSuchEntry ? "" : CommandError(result);
}
