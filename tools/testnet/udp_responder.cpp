#include "udp_responder.h"

#include <sys/socket.h>

#include "socket_util.h"

UdpResponder::UdpResponder(std::size_t socketCount) {
    for (std::size_t i = 0; i < socketCount; ++i) {
        const int fd = OpenUdp();
        if (fd >= 0) m_sockets.push_back(fd);
    }
}

UdpResponder::~UdpResponder() {
    for (const int fd : m_sockets) CloseSocket(fd);
}

void UdpResponder::Send(const sockaddr_in& target, const std::vector<std::string>& messages, bool pack, Rng& rng) {
    std::string datagram;
    for (const auto& message : messages) {
        if (!datagram.empty() && (!pack || datagram.size() + message.size() > MaxDatagram)) {
            SendOne(target, datagram, rng);
            datagram.clear();
        }
        datagram += message;
    }
    if (!datagram.empty()) SendOne(target, datagram, rng);
}

void UdpResponder::SendOne(const sockaddr_in& target, const std::string& datagram, Rng& rng) {
    // A datagram the kernel cannot take now is lost, as on any network.
    sendto(m_sockets[rng.Below(m_sockets.size())], datagram.data(), datagram.size(), MSG_DONTWAIT,
           reinterpret_cast<const sockaddr*>(&target), sizeof target);
}
