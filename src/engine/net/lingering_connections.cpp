#include "engine/net/lingering_connections.h"

#include <sys/epoll.h>
#include <sys/socket.h>

#include <cerrno>
#include <utility>

#include "engine/net/tls_session.h"

namespace {

// At most this much is read from one connection per turn, so that a flooding hub cannot starve the others (the
// loop comes back while more is waiting).
constexpr std::size_t MaxReadPerTurn = 65536;

}  // namespace

struct LingeringConnections::Held {
    Stay stay;
    NetworkLoop::TimerId timer = 0;
};

LingeringConnections::LingeringConnections(NetworkLoop& loop) : m_loop(loop) {}

LingeringConnections::~LingeringConnections() {
    m_loop.Stop();
}

void LingeringConnections::Hold(Stay stay) {
    ++m_count;
    // A shared holder: a task must be copyable, the connection is not.
    auto held = std::make_shared<Stay>(std::move(stay));
    m_loop.Post([this, held] { Start(std::move(*held)); });
}

void LingeringConnections::DropAll() {
    m_loop.Post([this] {
        m_count -= m_held.size();
        for (auto& [socket, held] : m_held) Close(*held);
        m_held.clear();
    });
}

void LingeringConnections::Start(Stay stay) {
    const int socket = stay.connection.socket;
    auto held = std::make_unique<Held>();
    held->stay = std::move(stay);
    Held& kept = *held;
    m_held[socket] = std::move(held);
    // Lines that came with the last answer of the exchange are read first.
    if (!HandLines(kept) ||
        !m_loop.Watch(socket, EPOLLIN | EPOLLRDHUP, [this, socket](uint32_t) { Readable(socket); })) {
        End(socket);
        return;
    }
    kept.timer = m_loop.RunAt(kept.stay.until, [this, socket] { End(socket); });
}

bool LingeringConnections::Receive(Held& held) {
    ReleasedConnection& connection = held.stay.connection;
    const std::size_t before = connection.buffered.size();
    while (connection.buffered.size() - before < MaxReadPerTurn) {
        if (connection.tls) {
            // A wait that does not wait: the session reads what has arrived and reports TimedOut when that is all.
            const TcpStatus status =
                connection.tls->ReadSome(connection.buffered, [](short) { return TcpStatus::TimedOut; });
            if (status == TcpStatus::TimedOut) return true;
            if (status != TcpStatus::Ok) return false;
            continue;
        }
        char chunk[16384];
        const ssize_t received = recv(connection.socket, chunk, sizeof chunk, MSG_DONTWAIT);
        if (received > 0) {
            connection.buffered.append(chunk, static_cast<std::size_t>(received));
            continue;
        }
        if (received < 0 && errno == EINTR) continue;
        return received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
    return true;
}

bool LingeringConnections::HandLines(Held& held) {
    std::string& buffered = held.stay.connection.buffered;
    std::size_t start = 0;
    for (std::size_t end; (end = buffered.find(held.stay.terminator, start)) != std::string::npos; start = end + 1)
        if (held.stay.onLine) held.stay.onLine(std::string_view(buffered).substr(start, end - start));
    buffered.erase(0, start);
    // A line longer than any the exchange accepts ends the stay, as it ends a read on the worker.
    return buffered.size() <= TcpClient::MaxLineLength;
}

void LingeringConnections::Readable(int socket) {
    const auto found = m_held.find(socket);
    if (found == m_held.end()) return;
    const bool open = Receive(*found->second);
    if (!HandLines(*found->second) || !open) End(socket);
}

void LingeringConnections::End(int socket) {
    const auto found = m_held.find(socket);
    if (found == m_held.end()) return;
    std::unique_ptr<Held> held = std::move(found->second);
    m_held.erase(found);
    Close(*held);
    --m_count;
    if (held->stay.onEnd) held->stay.onEnd();
}

void LingeringConnections::Close(Held& held) {
    m_loop.Forget(held.stay.connection.socket);
    m_loop.Cancel(held.timer);
    // Destroying the connection ends TLS and closes the socket.
    held.stay.connection = ReleasedConnection();
}
