#include "http_server.h"

#include <sys/epoll.h>
#include <sys/socket.h>

#include <array>
#include <cerrno>

#include "socket_util.h"

HttpServer::HttpServer(EventLoop& loop, int listenFd, std::string path, std::string contentType, std::string body)
    : m_loop(loop),
      m_listenFd(listenFd),
      m_path(std::move(path)),
      m_contentType(std::move(contentType)),
      m_body(std::move(body)) {
    m_loop.Watch(m_listenFd, EPOLLIN, [this](uint32_t) { Accept(); });
}

HttpServer::~HttpServer() {
    while (!m_clients.empty()) Drop(m_clients.begin()->first);
    m_loop.Unwatch(m_listenFd);
    CloseSocket(m_listenFd);
}

uint16_t HttpServer::Port() const {
    return LocalPort(m_listenFd);
}

void HttpServer::Accept() {
    for (;;) {
        const int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;
        m_clients[fd].fd = fd;
        m_loop.Watch(fd, EPOLLIN | EPOLLRDHUP, [this, fd](uint32_t events) { OnClientEvents(fd, events); });
    }
}

void HttpServer::OnClientEvents(int fd, uint32_t events) {
    const auto found = m_clients.find(fd);
    if (found == m_clients.end()) return;
    Client& client = found->second;
    if (events & (EPOLLERR | EPOLLHUP)) {
        Drop(fd);
        return;
    }
    if (client.response.empty()) {
        std::array<char, 4096> buffer{};
        const ssize_t got = recv(fd, buffer.data(), buffer.size(), 0);
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) return;
        if (got <= 0 || client.request.size() + static_cast<std::size_t>(got) > MaxRequest) {
            Drop(fd);
            return;
        }
        client.request.append(buffer.data(), static_cast<std::size_t>(got));
        if (client.request.find("\r\n\r\n") == std::string::npos) return;
        client.response = Respond(client.request);
        m_loop.Modify(fd, EPOLLOUT);
    }
    while (client.sent < client.response.size()) {
        const ssize_t sent =
            send(fd, client.response.data() + client.sent, client.response.size() - client.sent, MSG_NOSIGNAL);
        if (sent < 0 && (errno == EAGAIN || errno == EINTR)) return;
        if (sent <= 0) break;
        client.sent += static_cast<std::size_t>(sent);
    }
    // Connection: close; the client has read its answer by the end of the stream.
    shutdown(fd, SHUT_WR);
    Drop(fd);
}

std::string HttpServer::Respond(const std::string& request) const {
    const auto lineEnd = request.find("\r\n");
    const std::string line = request.substr(0, lineEnd);
    const auto firstBlank = line.find(' ');
    const auto secondBlank = line.find(' ', firstBlank + 1);
    const std::string method = line.substr(0, firstBlank);
    const std::string target =
        firstBlank == std::string::npos ? "" : line.substr(firstBlank + 1, secondBlank - firstBlank - 1);
    const bool found = (method == "GET" || method == "HEAD") && target == m_path;
    const std::string body = found ? m_body : "Not found\n";
    std::string head = found ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 404 Not Found\r\n";
    head += "Content-Type: " + (found ? m_contentType : std::string("text/plain")) + "\r\n";
    head += "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n";
    return method == "HEAD" ? head : head + body;
}

void HttpServer::Drop(int fd) {
    m_loop.Unwatch(fd);
    CloseSocket(fd);
    m_clients.erase(fd);
}
