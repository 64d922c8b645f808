#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "event_loop.h"

// One accepted TCP connection that cuts what it reads into messages at a separator ("|" for NMDC, a line feed for
// ADC) and writes without blocking.
// Owns its descriptor. The callbacks run on the loop thread; onClosed fires once, when the peer closes or fails,
// and the owner must then destroy the object later (not from inside the callback).
class LineConnection {
public:
    using MessageHandler = std::function<void(std::string_view message)>;
    using ClosedHandler = std::function<void()>;

    LineConnection(EventLoop& loop, int fd, MessageHandler onMessage, ClosedHandler onClosed, char separator = '|');
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
    uint64_t m_lingerTimer = 0;
};
