#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "self_signed_certificate.h"
#include "support/loopback_listener.h"
#include "tls_server_context.h"

// A TLS server on 127.0.0.1 (port 0), one connection at a time on a thread of its own: after the handshake it sends
// greeting, then answers each line with "echo:" and the line. Stops and joins on destruction.
class TlsLineServer {
public:
    TlsLineServer(const TestCertificate& certificate, std::string greeting);
    ~TlsLineServer();
    TlsLineServer(const TlsLineServer&) = delete;
    TlsLineServer& operator=(const TlsLineServer&) = delete;

    uint16_t Port() const { return m_listener.Port(); }
    // Lines received so far, over all connections, without their line feeds.
    std::vector<std::string> Received() const;

private:
    void Serve();
    void Answer(int client);
    // Waits for events on fd or the stop; false on stop.
    bool Wait(int fd, short events) const;

    const std::string m_greeting;
    TlsServerContext m_tls;
    LoopbackListener m_listener;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_received;
    std::thread m_thread;
};
