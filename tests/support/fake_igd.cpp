#include "support/fake_igd.h"

#include <cstdlib>

namespace {

constexpr char ControlPath[] = "/ctl/IPConn";

std::string ServiceType(bool version2) {
    return std::string("urn:schemas-upnp-org:service:WANIPConnection:") + (version2 ? "2" : "1");
}

std::string Description(bool version2) {
    return "<?xml version=\"1.0\"?>\r\n<root xmlns=\"urn:schemas-upnp-org:device-1-0\">"
           "<specVersion><major>1</major><minor>0</minor></specVersion><device>"
           "<deviceType>urn:schemas-upnp-org:device:InternetGatewayDevice:1</deviceType>"
           "<friendlyName>Test router</friendlyName><deviceList><device>"
           "<deviceType>urn:schemas-upnp-org:device:WANDevice:1</deviceType><deviceList><device>"
           "<deviceType>urn:schemas-upnp-org:device:WANConnectionDevice:1</deviceType><serviceList><service>"
           "<serviceType>" +
           ServiceType(version2) +
           "</serviceType><serviceId>urn:upnp-org:serviceId:WANIPConn1</serviceId>"
           "<controlURL>" +
           ControlPath +
           "</controlURL><eventSubURL>/evt/IPConn</eventSubURL><SCPDURL>/WANIPCn.xml</SCPDURL>"
           "</service></serviceList></device></deviceList></device></deviceList></device></root>";
}

std::string Envelope(const std::string& body) {
    return "<?xml version=\"1.0\"?>\r\n<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
           "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\"><s:Body>" +
           body + "</s:Body></s:Envelope>";
}

HttpReply Success(const std::string& action, bool version2, const std::string& values = "") {
    return {200,
            "OK",
            {{"Content-Type", "text/xml"}},
            Envelope("<u:" + action + "Response xmlns:u=\"" + ServiceType(version2) + "\">" + values + "</u:" + action +
                     "Response>")};
}

HttpReply Failure(int code, const std::string& description) {
    return {500,
            "Internal Server Error",
            {{"Content-Type", "text/xml"}},
            Envelope("<s:Fault><faultcode>s:Client</faultcode><faultstring>UPnPError</faultstring><detail>"
                     "<UPnPError xmlns=\"urn:schemas-upnp-org:control-1-0\"><errorCode>" +
                     std::to_string(code) + "</errorCode><errorDescription>" + description +
                     "</errorDescription></UPnPError></detail></s:Fault>")};
}

// The text of the first <name> element of a SOAP body.
std::string Argument(const std::string& body, const std::string& name) {
    const std::size_t start = body.find("<" + name + ">");
    if (start == std::string::npos) return "";
    const std::size_t from = start + name.size() + 2;
    return body.substr(from, body.find('<', from) - from);
}

uint16_t PortArgument(const std::string& body, const std::string& name) {
    return static_cast<uint16_t>(std::strtoul(Argument(body, name).c_str(), nullptr, 10));
}

}  // namespace

FakeIgd::FakeIgd(Options options)
    : m_options(std::move(options)),
      m_http(std::make_unique<HttpResponder>([this](const std::string& request) { return Answer(request); })) {}

std::string FakeIgd::DescriptionUrl() const {
    return m_http->Url("/rootDesc.xml");
}

std::map<uint16_t, FakeIgd::Mapping> FakeIgd::Mappings() const {
    std::lock_guard lock(m_mutex);
    return m_mappings;
}

HttpReply FakeIgd::Answer(const std::string& request) {
    if (request.starts_with("GET /rootDesc.xml "))
        return {200, "OK", {{"Content-Type", "text/xml"}}, Description(m_options.version2)};
    if (!request.starts_with(std::string("POST ") + ControlPath + " ")) return {404, "Not Found", {}, ""};
    const std::size_t hash = request.find('#'), quote = request.find('"', hash);
    const std::size_t bodyStart = request.find("\r\n\r\n");
    if (hash == std::string::npos || quote == std::string::npos || bodyStart == std::string::npos)
        return Failure(401, "Invalid Action");
    const std::string action = request.substr(hash + 1, quote - hash - 1);
    HttpReply reply = Control(action, request.substr(bodyStart + 4));
    if (m_options.stallMapping && action.find("PortMapping") != std::string::npos) reply.stallAfter = 10;
    return reply;
}

HttpReply FakeIgd::Control(const std::string& action, const std::string& body) {
    const bool v2 = m_options.version2;
    if (action == "GetExternalIPAddress")
        return Success(action, v2, "<NewExternalIPAddress>" + m_options.externalAddress + "</NewExternalIPAddress>");
    std::lock_guard lock(m_mutex);
    if (action == "DeletePortMapping") {
        if (m_mappings.erase(PortArgument(body, "NewExternalPort")) == 0) return Failure(714, "NoSuchEntryInArray");
        return Success(action, v2);
    }
    const bool any = action == "AddAnyPortMapping";
    if (action != "AddPortMapping" && !(any && v2)) return Failure(401, "Invalid Action");
    uint16_t external = PortArgument(body, "NewExternalPort");
    const uint32_t lease = static_cast<uint32_t>(std::strtoul(Argument(body, "NewLeaseDuration").c_str(), nullptr, 10));
    if (m_options.permanentLeasesOnly && lease != 0) return Failure(725, "OnlyPermanentLeasesSupported");
    if (any) {
        while (m_options.takenPorts.count(external) != 0) ++external;
    } else if (m_options.takenPorts.count(external) != 0) {
        return Failure(718, "ConflictInMappingEntry");
    }
    m_mappings[external] = {PortArgument(body, "NewInternalPort"), Argument(body, "NewInternalClient"), lease};
    return Success(action, v2, any ? "<NewReservedPort>" + std::to_string(external) + "</NewReservedPort>" : "");
}
