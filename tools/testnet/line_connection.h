#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "event_loop.h"

// One accepted TCP connection that cuts what it reads into messages at a separator ("|" for NMDC, a line feed for
// ADC) and writes without blocking, in plain text or as the server side of TLS.
// Owns its descriptor. The callbacks run on the loop thread; onClosed fires once, when the peer closes or fails,
// and the owner must then destroy the object later (not from inside the callback).
class LineConnection {
public:
    using MessageHandler = std::function<void(std::string_view message)>;
    using ClosedHandler = std::function<void()>;

    // With tls (an SSL_CTX), the connection serves TLS: the handshake runs as the first bytes arrive.
    LineConnection(EventLoop& loop, int fd, MessageHandler onMessage, ClosedHandler onClosed, char separator = '|',
                   struct ssl_ctx_st* tls = nullptr);
    ~LineConnection();
    LineConnection(const LineConnection&) = delete;
    LineConnection& operator=(const LineConnection&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    void Send(std::string_view bytes);
    // Stops reading, writes what is queued, then closes.
    void CloseAfterSending();
    // Closes at once, without calling onClosed.
    void Close();

private:
    void OnEvents(uint32_t events);
    void ReadAvailable();
    // Reads what has arrived, as plain text or through TLS: the byte count, 0 when nothing is waiting, -1 when the
    // connection has ended.
    ssize_t Receive(char* buffer, std::size_t size);
    // Writes from m_output: the byte count, 0 when the socket cannot take more now, -1 when the connection has ended.
    ssize_t Transmit();
    // Whether a TLS call that did not complete may be retried once the socket is ready; notes in waitsForWrite
    // whether that means ready to write.
    bool TlsMayRetry(int result, bool& waitsForWrite);
    void Flush();
    void UpdateInterest();
    void Fail();

    // A hub drops a client whose message grows beyond this without a separator.
    static constexpr std::size_t MaxMessage = 65536;
    // After its last bytes the connection waits this long for the peer to close, so that unread input does not
    // turn the close into a reset that could destroy what was just sent.
    static constexpr std::chrono::milliseconds Linger{2000};

    EventLoop& m_loop;
    int m_fd;
    char m_separator;
    MessageHandler m_onMessage;
    ClosedHandler m_onClosed;
    std::string m_input;
    std::string m_output;
    bool m_closing = false;
    bool m_shutDown = false;
    bool m_wantsWrite = false;
    struct ssl_st* m_ssl = nullptr;
    // TLS only: the last read or write waits until the socket can take bytes (a handshake or renegotiation step).
    bool m_readWaitsForWrite = false;
    bool m_writeWaitsForWrite = false;
    uint64_t m_lingerTimer = 0;
};
