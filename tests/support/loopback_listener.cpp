#include "support/loopback_listener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

LoopbackListener::LoopbackListener(const char* owner) {
    m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_fd < 0 || bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(m_fd, 8) != 0 ||
        getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 || pipe2(m_wake, O_CLOEXEC) != 0) {
        if (m_fd >= 0) close(m_fd);
        throw std::runtime_error(std::string(owner) + ": cannot listen on 127.0.0.1");
    }
    m_port = ntohs(address.sin_port);
}

LoopbackListener::~LoopbackListener() {
    close(m_fd);
    close(m_wake[0]);
    close(m_wake[1]);
}

LoopbackListener::Woken LoopbackListener::Wait(int fd, short events, int timeoutMs) const {
    pollfd fds[2] = {{fd, events, 0}, {m_wake[0], POLLIN, 0}};
    int ready = 0;
    while ((ready = poll(fds, 2, timeoutMs)) < 0) {
    }
    if (fds[1].revents & POLLIN) return Woken::Stopped;
    return ready == 0 ? Woken::TimedOut : Woken::Ready;
}

void LoopbackListener::Stop() const {
    const char stop = 1;
    (void)!write(m_wake[1], &stop, 1);
}
