#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/net/router_mapping.h"

// A NAT-PMP gateway (RFC 6886), spoken to with libnatpmp. libnatpmp resends an unanswered request for about two
// minutes; here every request ends at its caller's deadline instead, and at once when wakeFd (an eventfd the owner
// writes to stop) becomes readable. One thread at a time; requests block until answered, refused or ended.
class NatPmpGateway {
public:
    using Clock = std::chrono::steady_clock;

    // wakeFd stays owned by the caller and must outlive the gateway; -1 for none.
    explicit NatPmpGateway(int wakeFd);
    ~NatPmpGateway();
    NatPmpGateway(const NatPmpGateway&) = delete;
    NatPmpGateway& operator=(const NatPmpGateway&) = delete;

    // Opens the socket towards gateway: "a.b.c.d" or "a.b.c.d:port"; empty for the default route's gateway on the
    // NAT-PMP port. Does not send anything. The error text on failure.
    std::string Open(const std::string& gateway);
    // The gateway's address in dotted decimal, once open.
    const std::string& Address() const { return m_address; }

    ExternalAddressAnswer ExternalAddress(Clock::time_point deadline);
    // Asks the gateway to forward externalPort (a wish; the answer has the port granted) to internalPort for lease.
    PortMappingAnswer MapUdp(uint16_t internalPort, uint16_t externalPort, std::chrono::seconds lease,
                             Clock::time_point deadline);
    // Ends the mapping of internalPort; the error text on failure.
    std::string UnmapUdp(uint16_t internalPort, Clock::time_point deadline);

    struct Session;

private:
    std::string Exchange(int sent, Clock::time_point deadline, int expectedType);

    const int m_wakeFd;
    std::unique_ptr<Session> m_session;
    std::string m_address;
};
