#pragma once

#include <array>
#include <thread>

// A STUN server (RFC 5389, with the CHANGE-REQUEST of RFC 3489) on two addresses and two ports, answering binding
// requests with the sender's address and port (MAPPED-ADDRESS and XOR-MAPPED-ADDRESS) from the address and port the
// request asks for. miniupnpd asks one whether its outside address takes port forwarding (a full-cone 1:1 NAT).
// Serves on a thread of its own; stops and joins on destruction.
class StunResponder {
public:
    // Four bound UDP sockets, taken over: [first address, first port], [first address, second port],
    // [second address, first port], [second address, second port]. Requests come to the first.
    explicit StunResponder(std::array<int, 4> sockets);
    ~StunResponder();
    StunResponder(const StunResponder&) = delete;
    StunResponder& operator=(const StunResponder&) = delete;

private:
    void Serve();
    void Answer();

    const std::array<int, 4> m_sockets;
    int m_wake = -1;
    std::thread m_thread;
};
