#pragma once

#include <cstdint>

// A TCP listener on 127.0.0.1 at a port the system picks, with a wake-up that ends every wait: the common part of
// the test servers that answer connections on a thread of their own.
class LoopbackListener {
public:
    enum class Woken { Ready, TimedOut, Stopped };

    // owner names the server in the exception thrown when nothing can listen.
    explicit LoopbackListener(const char* owner);
    ~LoopbackListener();
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    int Fd() const { return m_fd; }
    uint16_t Port() const { return m_port; }
    // Waits for events on fd (the listener itself for a connection) for up to timeoutMs (-1: no limit).
    Woken Wait(int fd, short events, int timeoutMs = -1) const;
    // Ends every Wait, now and later; any thread.
    void Stop() const;

private:
    int m_fd = -1;
    int m_wake[2] = {-1, -1};
    uint16_t m_port = 0;
};
