#include "engine/net/natpmp_gateway.h"

#include <arpa/inet.h>
#include <natpmp.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

#include "engine/text/number_format.h"

using std::chrono::milliseconds;

struct NatPmpGateway::Session {
    ~Session() {
        if (handle.s >= 0) closenatpmp(&handle);
    }

    natpmp_t handle{};
    natpmpresp_t response{};
};

namespace {

std::string ErrorText(int code) {
    switch (code) {
        case NATPMP_ERR_NOGATEWAYSUPPORT:
            return "the gateway does not speak NAT-PMP";
        case NATPMP_ERR_NOTAUTHORIZED:
            return "the gateway refused (mapping not allowed)";
        case NATPMP_ERR_NETWORKFAILURE:
            return "the gateway has no connection to the internet";
        case NATPMP_ERR_OUTOFRESOURCES:
            return "the gateway has no free mappings";
        case NATPMP_ERR_UNSUPPORTEDVERSION:
        case NATPMP_ERR_UNSUPPORTEDOPCODE:
            return "the gateway does not support this NAT-PMP request";
        case NATPMP_ERR_CANNOTGETGATEWAY:
            return "no default gateway";
        case NATPMP_ERR_SENDERR:
            return "cannot send to the gateway";
        default:
            return "NAT-PMP error " + std::to_string(code);
    }
}

// "a.b.c.d" or "a.b.c.d:port" into the address and the port (the NAT-PMP port when none is given).
bool ParseGateway(const std::string& text, in_addr& address, uint16_t& port) {
    const std::size_t colon = text.find(':');
    port = NATPMP_PORT;
    if (colon != std::string::npos) {
        const auto number = ParseInt32(std::string_view(text).substr(colon + 1));
        if (!number || *number < 1 || *number > 65535) return false;
        port = static_cast<uint16_t>(*number);
    }
    return inet_pton(AF_INET, text.substr(0, colon).c_str(), &address) == 1;
}

}  // namespace

NatPmpGateway::NatPmpGateway(int wakeFd) : m_wakeFd(wakeFd) {}

NatPmpGateway::~NatPmpGateway() = default;

std::string NatPmpGateway::Open(const std::string& gateway) {
    in_addr address{};
    uint16_t port = NATPMP_PORT;
    if (!gateway.empty() && !ParseGateway(gateway, address, port)) return "not a gateway address: " + gateway;
    auto session = std::make_unique<Session>();
    const int result = initnatpmp(&session->handle, gateway.empty() ? 0 : 1, address.s_addr);
    if (result != 0) return ErrorText(result);  // the session closes a socket initnatpmp left open
    if (port != NATPMP_PORT) {
        // libnatpmp always sends to the standard port; a gateway elsewhere gets the socket connected to it.
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_addr = address;
        target.sin_port = htons(port);
        if (connect(session->handle.s, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0)
            return "cannot reach the gateway " + gateway;
    }
    char text[INET_ADDRSTRLEN] = {};
    in_addr chosen{};
    chosen.s_addr = session->handle.gateway;
    inet_ntop(AF_INET, &chosen, text, sizeof text);
    m_address = text;
    m_session = std::move(session);
    return "";
}

std::string NatPmpGateway::Exchange(int sent, Clock::time_point deadline, int expectedType) {
    if (sent < 0) return ErrorText(sent);
    natpmp_t& handle = m_session->handle;
    while (true) {
        const auto now = Clock::now();
        if (now >= deadline) return "no answer from the gateway " + m_address;
        // libnatpmp resends on its own schedule; wake for that or for the answer, whichever comes first.
        timeval resend{};
        milliseconds wait = std::chrono::duration_cast<milliseconds>(deadline - now) + milliseconds(1);
        if (getnatpmprequesttimeout(&handle, &resend) == 0)
            wait = std::min(wait, milliseconds(std::max<long>(0, resend.tv_sec * 1000 + resend.tv_usec / 1000)));
        pollfd fds[2] = {{handle.s, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
        const int ready = poll(fds, m_wakeFd >= 0 ? 2 : 1, static_cast<int>(wait.count()));
        if (ready < 0 && errno != EINTR) return "cannot wait for the gateway";
        if (m_wakeFd >= 0 && (fds[1].revents & POLLIN) != 0) return "stopped";
        const int result = readnatpmpresponseorretry(&handle, &m_session->response);
        if (result == NATPMP_TRYAGAIN) continue;
        if (result != 0) return ErrorText(result);
        if (m_session->response.type != expectedType) return "the gateway answered another request";
        return "";
    }
}

ExternalAddressAnswer NatPmpGateway::ExternalAddress(Clock::time_point deadline) {
    if (!m_session) return {"", "not open"};
    const std::string error =
        Exchange(sendpublicaddressrequest(&m_session->handle), deadline, NATPMP_RESPTYPE_PUBLICADDRESS);
    if (!error.empty()) return {"", error};
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &m_session->response.pnu.publicaddress.addr, text, sizeof text);
    return {text, ""};
}

PortMappingAnswer NatPmpGateway::MapUdp(uint16_t internalPort, uint16_t externalPort, std::chrono::seconds lease,
                                        Clock::time_point deadline) {
    if (!m_session) return {0, {}, "not open"};
    const int sent = sendnewportmappingrequest(&m_session->handle, NATPMP_PROTOCOL_UDP, internalPort, externalPort,
                                               static_cast<uint32_t>(lease.count()));
    const std::string error = Exchange(sent, deadline, NATPMP_RESPTYPE_UDPPORTMAPPING);
    if (!error.empty()) return {0, {}, error};
    const auto& granted = m_session->response.pnu.newportmapping;
    if (granted.mappedpublicport == 0) return {0, {}, "the gateway granted no port"};
    return {granted.mappedpublicport, std::chrono::seconds(granted.lifetime), ""};
}

std::string NatPmpGateway::UnmapUdp(uint16_t internalPort, Clock::time_point deadline) {
    if (!m_session) return "not open";
    // A request with lifetime 0 and external port 0 deletes the mapping of internalPort.
    const int sent = sendnewportmappingrequest(&m_session->handle, NATPMP_PROTOCOL_UDP, internalPort, 0, 0);
    return Exchange(sent, deadline, NATPMP_RESPTYPE_UDPPORTMAPPING);
}
