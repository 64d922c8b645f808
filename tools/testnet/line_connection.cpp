#include "line_connection.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>

LineConnection::LineConnection(EventLoop& loop, int fd, MessageHandler onMessage, ClosedHandler onClosed,
                               char separator, struct ssl_ctx_st* tls)
    : m_loop(loop),
      m_fd(fd),
      m_separator(separator),
      m_onMessage(std::move(onMessage)),
      m_onClosed(std::move(onClosed)) {
    if (tls != nullptr) {
        m_ssl = SSL_new(tls);
        SSL_set_fd(m_ssl, m_fd);
        SSL_set_accept_state(m_ssl);
        // m_output may grow (and move) between the tries of one write.
        SSL_set_mode(m_ssl, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    }
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
    SSL_free(m_ssl);
    m_ssl = nullptr;
    close(m_fd);
    m_fd = -1;
}

void LineConnection::OnEvents(uint32_t events) {
    if (events & (EPOLLERR | EPOLLHUP)) {
        Fail();
        return;
    }
    // A TLS write may wait for the peer's handshake bytes, so reading readiness can let it go on too.
    if ((events & EPOLLOUT) || m_ssl != nullptr) Flush();
    if (m_fd >= 0 && (events & (EPOLLIN | EPOLLRDHUP))) ReadAvailable();
}

void LineConnection::ReadAvailable() {
    std::array<char, 16384> buffer{};
    while (m_fd >= 0) {
        const ssize_t got = Receive(buffer.data(), buffer.size());
        if (got < 0) {
            Fail();
            return;
        }
        if (got == 0) {
            UpdateInterest();
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
        const ssize_t sent = Transmit();
        if (sent < 0) {
            Fail();
            return;
        }
        if (sent == 0) break;
        m_output.erase(0, static_cast<std::size_t>(sent));
    }
    if (m_fd < 0) return;
    if (m_closing && m_output.empty() && !m_shutDown) {
        m_shutDown = true;
        // One try at close_notify is enough: the peer learns of the end from the TCP close in any case.
        if (m_ssl != nullptr) SSL_shutdown(m_ssl);
        shutdown(m_fd, SHUT_WR);
        m_lingerTimer = m_loop.After(Linger, [this] {
            m_lingerTimer = 0;
            Fail();
        });
    }
    UpdateInterest();
}

void LineConnection::UpdateInterest() {
    const bool wantsWrite = m_ssl != nullptr ? m_readWaitsForWrite || m_writeWaitsForWrite : !m_output.empty();
    if (wantsWrite == m_wantsWrite) return;
    m_wantsWrite = wantsWrite;
    m_loop.Modify(m_fd, EPOLLIN | EPOLLRDHUP | (wantsWrite ? EPOLLOUT : 0u));
}

void LineConnection::Fail() {
    Close();
    if (m_onClosed) m_onClosed();
}

ssize_t LineConnection::Receive(char* buffer, std::size_t size) {
    if (m_ssl != nullptr) {
        ERR_clear_error();
        const int got = SSL_read(m_ssl, buffer, static_cast<int>(size));
        m_readWaitsForWrite = false;
        if (got > 0) return got;
        return TlsMayRetry(got, m_readWaitsForWrite) ? 0 : -1;
    }
    for (;;) {
        const ssize_t got = recv(m_fd, buffer, size, 0);
        if (got > 0) return got;
        if (got < 0 && errno == EINTR) continue;
        return got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) ? 0 : -1;
    }
}

ssize_t LineConnection::Transmit() {
    if (m_ssl != nullptr) {
        ERR_clear_error();
        const int sent = SSL_write(m_ssl, m_output.data(), static_cast<int>(m_output.size()));
        m_writeWaitsForWrite = false;
        if (sent > 0) return sent;
        return TlsMayRetry(sent, m_writeWaitsForWrite) ? 0 : -1;
    }
    for (;;) {
        const ssize_t sent = send(m_fd, m_output.data(), m_output.size(), MSG_NOSIGNAL);
        if (sent >= 0) return sent;
        if (errno == EINTR) continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
    }
}

bool LineConnection::TlsMayRetry(int result, bool& waitsForWrite) {
    const int error = SSL_get_error(m_ssl, result);
    if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE) return false;
    waitsForWrite = error == SSL_ERROR_WANT_WRITE;
    return true;
}
