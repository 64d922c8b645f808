#include "support/stun_responder.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace {

constexpr std::size_t HeaderSize = 20;
constexpr uint16_t BindingRequest = 0x0001;
constexpr uint16_t BindingResponse = 0x0101;
constexpr uint16_t MappedAddress = 0x0001;
constexpr uint16_t ChangeRequest = 0x0003;
constexpr uint16_t XorMappedAddress = 0x0020;
constexpr uint32_t MagicCookie = 0x2112A442;
constexpr uint8_t ChangeIp = 0x4;
constexpr uint8_t ChangePort = 0x2;

uint16_t Get16(const unsigned char* bytes) {
    return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
}

void Put16(std::string& out, uint16_t value) {
    out += static_cast<char>(value >> 8);
    out += static_cast<char>(value & 0xff);
}

void PutAddress(std::string& out, uint16_t type, uint16_t port, uint32_t address) {
    Put16(out, type);
    Put16(out, 8);
    Put16(out, 1);  // IPv4
    Put16(out, port);
    Put16(out, static_cast<uint16_t>(address >> 16));
    Put16(out, static_cast<uint16_t>(address & 0xffff));
}

}  // namespace

StunResponder::StunResponder(std::array<int, 4> sockets)
    : m_sockets(sockets), m_wake(eventfd(0, EFD_CLOEXEC)), m_thread([this] { Serve(); }) {}

StunResponder::~StunResponder() {
    const uint64_t one = 1;
    (void)!write(m_wake, &one, sizeof one);
    m_thread.join();
    for (int socket : m_sockets) close(socket);
    close(m_wake);
}

void StunResponder::Serve() {
    while (true) {
        pollfd fds[2] = {{m_sockets[0], POLLIN, 0}, {m_wake, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) continue;
        if ((fds[1].revents & POLLIN) != 0) return;
        Answer();
    }
}

void StunResponder::Answer() {
    unsigned char request[548];
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    const ssize_t size =
        recvfrom(m_sockets[0], request, sizeof request, 0, reinterpret_cast<sockaddr*>(&peer), &length);
    if (size < static_cast<ssize_t>(HeaderSize) || Get16(request) != BindingRequest) return;
    uint8_t change = 0;
    for (std::size_t at = HeaderSize; at + 4 <= static_cast<std::size_t>(size);) {
        const uint16_t type = Get16(request + at), valueSize = Get16(request + at + 2);
        if (type == ChangeRequest && valueSize == 4 && at + 8 <= static_cast<std::size_t>(size))
            change = request[at + 7];
        at += 4 + ((valueSize + 3u) & ~3u);
    }
    const uint16_t port = ntohs(peer.sin_port);
    const uint32_t address = ntohl(peer.sin_addr.s_addr);
    std::string attributes;
    PutAddress(attributes, MappedAddress, port, address);
    PutAddress(attributes, XorMappedAddress, static_cast<uint16_t>(port ^ (MagicCookie >> 16)), address ^ MagicCookie);
    std::string response;
    Put16(response, BindingResponse);
    Put16(response, static_cast<uint16_t>(attributes.size()));
    // The cookie and transaction id as they came; RFC 3489 requests have a 16-byte id there instead.
    response.append(reinterpret_cast<const char*>(request) + 4, HeaderSize - 4);
    response += attributes;
    const int from = ((change & ChangeIp) != 0 ? 2 : 0) + ((change & ChangePort) != 0 ? 1 : 0);
    sendto(m_sockets[from], response.data(), response.size(), 0, reinterpret_cast<const sockaddr*>(&peer), length);
}
