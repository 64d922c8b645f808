#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string_view>
#include <unordered_map>

#include "engine/net/network_loop.h"
#include "engine/net/tcp_client.h"

// Connections kept open for a while after their work is done, all read on one NetworkLoop: staying on a hub after
// the search costs no thread. Each is read line by line until its time is up, the peer closes it, it fails, or it
// sends a line longer than TcpClient::MaxLineLength.
class LingeringConnections {
public:
    struct Stay {
        ReleasedConnection connection;
        char terminator = '\n';
        std::chrono::steady_clock::time_point until;
        // Loop thread: each complete line, without its terminator. May be empty.
        std::function<void(std::string_view line)> onLine;
        // Loop thread, once the connection has closed at its time, by the peer or on an error; not when dropped.
        std::function<void()> onEnd;
    };

    explicit LingeringConnections(NetworkLoop& loop);
    // Stops the loop (its tasks use this object), then closes what is still held. Not on the loop thread.
    ~LingeringConnections();
    LingeringConnections(const LingeringConnections&) = delete;
    LingeringConnections& operator=(const LingeringConnections&) = delete;

    // Any thread: keeps the connection until stay.until.
    void Hold(Stay stay);
    // Any thread: closes every held connection soon, without its onEnd; also those handed to Hold before.
    void DropAll();
    // Any thread: how many are held (handed over and not yet closed).
    std::size_t Count() const { return m_count.load(); }

private:
    struct Held;

    void Start(Stay stay);
    void Readable(int socket);
    // Reads what the socket has now into held's buffer; false when the connection has ended.
    static bool Receive(Held& held);
    // Hands each complete line on; false when what is left is longer than a line may be.
    bool HandLines(Held& held);
    void End(int socket);
    void Close(Held& held);

    NetworkLoop& m_loop;
    std::unordered_map<int, std::unique_ptr<Held>> m_held;  // by socket; loop thread only
    std::atomic<std::size_t> m_count{0};
};
