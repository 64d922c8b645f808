#include "support/http_responder.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <string_view>

#include "engine/text/ascii_case.h"

namespace {

// No test waits longer than this for a client to send its request.
constexpr int kRequestTimeoutMs = 10000;

bool SendAll(int fd, std::string_view data) {
    std::size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t n = send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

bool NamesHeader(const std::vector<std::pair<std::string, std::string>>& headers, const std::string& name) {
    return std::any_of(headers.begin(), headers.end(),
                       [&](const auto& header) { return EqualsIgnoringAsciiCase(header.first, name); });
}

// The Content-Length of a request head, 0 without one.
std::size_t BodyLength(const std::string& head) {
    for (std::size_t start = head.find("\r\n"); start != std::string::npos; start = head.find("\r\n", start + 2)) {
        const std::size_t colon = head.find(':', start);
        if (colon == std::string::npos) break;
        if (EqualsIgnoringAsciiCase(head.substr(start + 2, colon - start - 2), "Content-Length"))
            return std::strtoul(head.c_str() + colon + 1, nullptr, 10);
    }
    return 0;
}

}  // namespace

HttpResponder::HttpResponder(HttpReply reply) : HttpResponder(std::move(reply), nullptr) {}

HttpResponder::HttpResponder(HttpHandler handler) : HttpResponder({}, std::move(handler)) {}

HttpResponder::HttpResponder(HttpReply reply, HttpHandler handler)
    : m_reply(std::move(reply)), m_handler(std::move(handler)), m_listener("HttpResponder") {
    m_thread = std::thread([this] { Serve(); });
}

HttpResponder::~HttpResponder() {
    m_listener.Stop();
    m_thread.join();
}

std::string HttpResponder::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_listener.Port()) + path;
}

std::vector<std::string> HttpResponder::Requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

bool HttpResponder::WaitReadable(int fd) const {
    return m_listener.Wait(fd, POLLIN) == LoopbackListener::Woken::Ready;
}

void HttpResponder::Serve() {
    while (WaitReadable(m_listener.Fd())) {
        const int client = accept4(m_listener.Fd(), nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        Answer(client);
        close(client);
    }
}

void HttpResponder::Answer(int client) {
    std::string request;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kRequestTimeoutMs);
    const auto complete = [&request] {
        const std::size_t headEnd = request.find("\r\n\r\n");
        return headEnd != std::string::npos && request.size() >= headEnd + 4 + BodyLength(request.substr(0, headEnd));
    };
    while (!complete()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 ||
            m_listener.Wait(client, POLLIN, static_cast<int>(left.count())) != LoopbackListener::Woken::Ready)
            return;
        char buffer[4096];
        const ssize_t n = recv(client, buffer, sizeof buffer, 0);
        if (n <= 0) return;
        request.append(buffer, static_cast<std::size_t>(n));
    }
    {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(request);
    }
    HttpReply handled;
    const HttpReply& reply = m_handler ? (handled = m_handler(request)) : m_reply;
    if (reply.closeWithoutReply) return;
    if (reply.endlessContinue) {
        while (SendAll(client, "HTTP/1.1 100 Continue\r\n\r\n") && Pause(client, reply.trickleInterval)) {
        }
        return;
    }

    std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " " + reply.reason + "\r\n";
    for (const auto& [name, value] : reply.headers) head.append(name).append(": ").append(value).append("\r\n");
    if (reply.announcesLength && !NamesHeader(reply.headers, "Content-Length"))
        head += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
    head += "Connection: close\r\n\r\n";
    if (reply.trickleInterval.count() > 0) return Trickle(client, head, reply);
    const bool stall = reply.stallAfter < reply.body.size();
    // Head and body apart: bodies of tens of megabytes are not copied.
    if (!SendAll(client, head) ||
        !SendAll(client, std::string_view(reply.body).substr(0, stall ? reply.stallAfter : std::string::npos)))
        return;
    if (!stall) {
        shutdown(client, SHUT_WR);
        return;
    }
    // Holds the connection silently until the client gives up (readable at its close) or the responder stops.
    while (WaitReadable(client)) {
        char buffer[4096];
        if (recv(client, buffer, sizeof buffer, 0) <= 0) return;
    }
}

bool HttpResponder::Pause(int client, std::chrono::milliseconds interval) const {
    // The client sends nothing more after its request: readable means it has gone.
    return m_listener.Wait(client, POLLIN, static_cast<int>(interval.count())) == LoopbackListener::Woken::TimedOut;
}

void HttpResponder::Trickle(int client, const std::string& head, const HttpReply& reply) {
    if (!SendAll(client, head)) return;
    for (const char byte : reply.body)
        if (!Pause(client, reply.trickleInterval) || !SendAll(client, std::string_view(&byte, 1))) return;
    shutdown(client, SHUT_WR);
}
