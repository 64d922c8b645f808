#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "event_loop.h"
#include "network_plan.h"
#include "test_network.h"

using Deadline = std::chrono::steady_clock::time_point;
inline Deadline In(std::chrono::milliseconds wait) {
    return std::chrono::steady_clock::now() + wait;
}

// A blocking NMDC client for tests: every read waits at most until its deadline.
class RawClient {
public:
    enum class Outcome { Message, Closed, TimedOut };
    struct Read {
        Outcome outcome;
        std::string message;
    };

    ~RawClient();
    // False when the connection is refused or not made before the deadline.
    bool Connect(uint16_t port, Deadline deadline);
    void Send(const std::string& bytes);
    // The next message up to "|", without it.
    Read ReadMessage(Deadline deadline);
    // Reads messages until one starts with prefix; the messages read on the way are kept in Skipped().
    Read ReadUntil(const std::string& prefix, Deadline deadline);
    void Close();
    const std::vector<std::string>& Skipped() const { return m_skipped; }
    // Bytes received after the last "|".
    const std::string& Remainder() const { return m_buffer; }

    // The login as Hubsift does it, up to and including the hub's own $Hello: $Supports (after an EXTENDEDPROTOCOL
    // lock, if withSupports), $Key (right, or deliberately wrong), $ValidateNick. Returns the lock.
    std::optional<std::string> LogIn(const std::string& nick, Deadline deadline, bool withSupports = true,
                                     bool rightKey = true);
    // $Version and $MyINFO, then the wait for the echo of the own $MyINFO; true when it came.
    bool SendMyInfo(const std::string& nick, Deadline deadline);

private:
    int m_fd = -1;
    std::string m_buffer;
    std::vector<std::string> m_skipped;
};

// A UDP socket on 127.0.0.1 collecting $SR messages.
class UdpCollector {
public:
    UdpCollector();
    ~UdpCollector();
    uint16_t Port() const;
    // Receives until count messages have arrived in all or the deadline passes; returns the count so far.
    std::size_t CollectUntil(std::size_t count, Deadline deadline);
    const std::vector<std::string>& Messages() const { return m_messages; }
    const std::set<uint16_t>& SourcePorts() const { return m_sourcePorts; }
    std::size_t Datagrams() const { return m_datagrams; }

private:
    int m_fd = -1;
    std::vector<std::string> m_messages;
    std::set<uint16_t> m_sourcePorts;
    std::size_t m_datagrams = 0;
};

// A simulated network running on a thread of its own for the length of a test.
class RunningNetwork {
public:
    RunningNetwork(const PlanOptions& options, std::chrono::milliseconds latency = std::chrono::milliseconds(0));
    ~RunningNetwork();
    const NetworkPlan& Plan() const { return m_plan; }
    const TestNetwork& Network() const { return *m_network; }
    bool Started() const { return m_network != nullptr; }
    // The index of the first hub of that kind, if any.
    std::optional<std::size_t> FirstOfKind(HubKind kind) const;
    // The $SR messages that the users of one hub send for a search, as the plan computes them.
    std::size_t ExpectedResults(std::size_t hub, const std::string& searchTail, bool passive = false) const;

private:
    EventLoop m_loop;
    NetworkPlan m_plan;
    std::unique_ptr<TestNetwork> m_network;
    std::thread m_thread;
};

// One $SR message taken apart (without its "|"): file results have two 0x05 bytes, folder results one.
struct SrMessage {
    std::string nick;
    std::string path;
    int64_t size = -1;  // -1 for a folder
    int freeSlots = 0;
    int totalSlots = 0;
    std::string hubField;  // hub name, or "TTH:" and a hash
    std::string hubAddress;
};
std::optional<SrMessage> DecodeSr(const std::string& message);

// "$Search 127.0.0.1:port " + tail, as a hub receives it (without "|").
std::string SearchLine(uint16_t udpPort, const std::string& tail);
