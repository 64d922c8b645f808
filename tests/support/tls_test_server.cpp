#include "support/tls_test_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <stdexcept>

TlsLineServer::TlsLineServer(const TestCertificate& certificate, std::string greeting)
    : m_greeting(std::move(greeting)), m_tls(certificate), m_listener("TlsLineServer") {
    if (!m_tls.Ok()) throw std::runtime_error("TlsLineServer: cannot load the certificate");
    m_thread = std::thread([this] { Serve(); });
}

TlsLineServer::~TlsLineServer() {
    m_listener.Stop();
    m_thread.join();
}

std::vector<std::string> TlsLineServer::Received() const {
    std::lock_guard lock(m_mutex);
    return m_received;
}

bool TlsLineServer::Wait(int fd, short events) const {
    return m_listener.Wait(fd, events) == LoopbackListener::Woken::Ready;
}

void TlsLineServer::Serve() {
    // OpenSSL writes with write(): a client that has left must not end the test process with SIGPIPE.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    while (Wait(m_listener.Fd(), POLLIN)) {
        const int client = accept4(m_listener.Fd(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (client < 0) continue;
        Answer(client);
        close(client);
    }
}

void TlsLineServer::Answer(int client) {
    SSL* ssl = SSL_new(m_tls.Get());
    SSL_set_fd(ssl, client);
    // Runs one non-blocking TLS call to completion; false when the peer left, it failed or the server stops.
    const auto drive = [&](const std::function<int()>& call) {
        while (true) {
            ERR_clear_error();
            const int result = call();
            if (result > 0) return result;
            const int error = SSL_get_error(ssl, result);
            if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE) return 0;
            if (!Wait(client, error == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT)) return 0;
        }
    };
    const auto send = [&](const std::string& text) {
        return drive([&] { return SSL_write(ssl, text.data(), static_cast<int>(text.size())); }) > 0;
    };
    std::string buffer;
    if (drive([&] { return SSL_accept(ssl); }) > 0 && send(m_greeting)) {
        char chunk[4096];
        while (const int received = drive([&] { return SSL_read(ssl, chunk, sizeof chunk); })) {
            buffer.append(chunk, static_cast<std::size_t>(received));
            for (std::size_t end = buffer.find('\n'); end != std::string::npos; end = buffer.find('\n')) {
                const std::string line = buffer.substr(0, end);
                buffer.erase(0, end + 1);
                {
                    std::lock_guard lock(m_mutex);
                    m_received.push_back(line);
                }
                if (!send("echo:" + line + "\n")) break;
            }
        }
    }
    SSL_free(ssl);
}
