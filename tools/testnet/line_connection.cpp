#include "line_connection.h"

#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>

LineConnection::LineConnection(EventLoop& loop, int fd, MessageHandler onMessage, ClosedHandler onClosed,
                               char separator)
    : m_loop(loop),
      m_fd(fd),
      m_separator(separator),
      m_onMessage(std::move(onMessage)),
      m_onClosed(std::move(onClosed)) {
    m_loop.Watch(m_fd, EPOLLIN | EPOLLRDHUP, [this](uint32_t events) { OnEvents(events); });
}

LineConnection::~LineConnection() {
    Close();
}

void LineConnection::Send(std::string_view bytes) {
    if (m_fd < 0 || m_closing) return;
    m_output.append(bytes);
    Flush();
}

void LineConnection::CloseAfterSending() {
    if (m_fd < 0) return;
    m_closing = true;
    Flush();
}

void LineConnection::Close() {
    if (m_fd < 0) return;
    if (m_lingerTimer != 0) m_loop.Cancel(m_lingerTimer);
    m_lingerTimer = 0;
    m_loop.Unwatch(m_fd);
    close(m_fd);
    m_fd = -1;
}

void LineConnection::OnEvents(uint32_t events) {
    if (events & (EPOLLERR | EPOLLHUP)) {
        Fail();
        return;
    }
    if (events & EPOLLOUT) Flush();
    if (m_fd >= 0 && (events & (EPOLLIN | EPOLLRDHUP))) ReadAvailable();
}

void LineConnection::ReadAvailable() {
    std::array<char, 16384> buffer{};
    while (m_fd >= 0) {
        const ssize_t got = recv(m_fd, buffer.data(), buffer.size(), 0);
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            Fail();
            return;
        }
        if (got < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (m_closing) continue;
        m_input.append(buffer.data(), static_cast<std::size_t>(got));
        std::size_t start = 0;
        for (std::size_t bar = m_input.find(m_separator); bar != std::string::npos && m_fd >= 0 && !m_closing;
             bar = m_input.find(m_separator, start)) {
            const std::string message = m_input.substr(start, bar - start);
            start = bar + 1;
            m_onMessage(message);
        }
        if (m_fd < 0) return;
        m_input.erase(0, start);
        if (m_input.size() > MaxMessage) {
            Fail();
            return;
        }
    }
}

void LineConnection::Flush() {
    while (m_fd >= 0 && !m_output.empty()) {
        const ssize_t sent = send(m_fd, m_output.data(), m_output.size(), MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) break;
            Fail();
            return;
        }
        m_output.erase(0, static_cast<std::size_t>(sent));
    }
    if (m_fd < 0) return;
    if (m_closing && m_output.empty() && !m_shutDown) {
        m_shutDown = true;
        shutdown(m_fd, SHUT_WR);
        m_lingerTimer = m_loop.After(Linger, [this] {
            m_lingerTimer = 0;
            Fail();
        });
    }
    UpdateInterest();
}

void LineConnection::UpdateInterest() {
    const bool wantsWrite = !m_output.empty();
    if (wantsWrite == m_wantsWrite) return;
    m_wantsWrite = wantsWrite;
    m_loop.Modify(m_fd, EPOLLIN | EPOLLRDHUP | (wantsWrite ? EPOLLOUT : 0u));
}

void LineConnection::Fail() {
    Close();
    if (m_onClosed) m_onClosed();
}
