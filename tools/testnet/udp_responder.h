#pragma once

#include <netinet/in.h>

#include <string>
#include <vector>

#include "rng.h"

// Sends the simulated users' $SR datagrams. Holds a few UDP sockets on different ports and picks one per datagram,
// since answers to one search come from many clients, each from a port of its own. Loop thread only.
class UdpResponder {
public:
    explicit UdpResponder(std::size_t socketCount);
    ~UdpResponder();
    UdpResponder(const UdpResponder&) = delete;
    UdpResponder& operator=(const UdpResponder&) = delete;

    bool Ok() const { return !m_sockets.empty(); }
    // One message per datagram, or, when pack is set, as many as fit into MaxDatagram bytes.
    void Send(const sockaddr_in& target, const std::vector<std::string>& messages, bool pack, Rng& rng);

    static constexpr std::size_t MaxDatagram = 8000;

private:
    void SendOne(const sockaddr_in& target, const std::string& datagram, Rng& rng);

    std::vector<int> m_sockets;
};
