#pragma once

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

#include "socket_util.h"

// A TCP port on 127.0.0.1 whose connects never complete, like a host that is gone: it listens with the smallest
// accept queue, which a connection of its own fills and nobody accepts, so the system drops every further SYN.
class UnansweredPort {
public:
    UnansweredPort() : m_listener(BindTcp(0)) {
        if (m_listener < 0) return;
        m_filler = ListenWithFullQueue(m_listener);
        if (m_filler >= 0) m_port = LocalPort(m_listener);
    }
    ~UnansweredPort() {
        CloseSocket(m_filler);
        CloseSocket(m_listener);
    }
    UnansweredPort(const UnansweredPort&) = delete;
    UnansweredPort& operator=(const UnansweredPort&) = delete;

    // 0 when the port could not be set up.
    uint16_t Port() const { return m_port; }

    // Whether a connect to the port is still under way after waitMs: false where the system answers a full accept
    // queue with a reset instead.
    bool Hangs(int waitMs) const {
        const int probe = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        const sockaddr_in address = Loopback(m_port);
        bool hangs = false;
        if (connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            pollfd ready{probe, POLLOUT, 0};
            hangs = poll(&ready, 1, waitMs) == 0;
        }
        close(probe);
        return hangs;
    }

private:
    static sockaddr_in Loopback(uint16_t port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        return address;
    }

    int m_listener = -1;
    int m_filler = -1;
    uint16_t m_port = 0;
};
