#include "support/fake_hub.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "engine/nmdc/nmdc_text.h"

namespace {

constexpr uint64_t ListenerTag = uint64_t{1} << 63;
constexpr uint64_t WakeId = 0;
constexpr std::size_t LongLineLength = 16384 + 10;

}  // namespace

struct FakeHubServer::Hub {
    FakeHubBehaviour behaviour;
    int listener = -1;
    uint16_t port = 0;
    std::vector<std::string> received;
    std::vector<std::string> forwarded;
    std::vector<std::string> ignored;
    std::vector<std::pair<uint64_t, std::string>> pending;  // strict: searches waiting for the next batch
    int open = 0;
};

struct FakeHubServer::Connection {
    uint64_t id = 0;
    int hub = 0;
    int fd = -1;
    std::size_t record = 0;
    std::string input;
    std::string output;
    std::string nick;
    bool supports = false;
    bool userIp2 = false;  // $Supports listed UserIP2
    bool echoed = false;
    bool waitingToSend = false;
};

FakeHubServer::FakeHubServer() : m_epoll(epoll_create1(EPOLL_CLOEXEC)), m_wakeFd(eventfd(0, EFD_CLOEXEC)) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = WakeId;
    epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_wakeFd, &event);
    m_thread = std::thread([this] { Loop(); });
}

FakeHubServer::~FakeHubServer() {
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    const uint64_t one = 1;
    [[maybe_unused]] const auto written = write(m_wakeFd, &one, sizeof one);
    m_thread.join();
    for (auto& [id, connection] : m_connections) close(connection->fd);
    for (auto& hub : m_hubs) close(hub->listener);
    close(m_wakeFd);
    close(m_epoll);
}

int FakeHubServer::AddHub(const FakeHubBehaviour& behaviour, const std::string& listenAddress) {
    auto hub = std::make_unique<Hub>();
    hub->behaviour = behaviour;
    hub->listener = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    socklen_t length = sizeof address;
    if (hub->listener < 0 || inet_pton(AF_INET, listenAddress.c_str(), &address.sin_addr) != 1 ||
        bind(hub->listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(hub->listener, 512) != 0 ||
        getsockname(hub->listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("fake hub cannot listen");
    hub->port = ntohs(address.sin_port);
    std::lock_guard lock(m_mutex);
    const int index = static_cast<int>(m_hubs.size());
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = ListenerTag | static_cast<uint64_t>(index);
    epoll_ctl(m_epoll, EPOLL_CTL_ADD, hub->listener, &event);
    m_hubs.push_back(std::move(hub));
    return index;
}

uint16_t FakeHubServer::Port(int hub) const {
    std::lock_guard lock(m_mutex);
    return m_hubs.at(static_cast<std::size_t>(hub))->port;
}

std::vector<std::string> FakeHubServer::Received(int hub) const {
    std::lock_guard lock(m_mutex);
    return m_hubs.at(static_cast<std::size_t>(hub))->received;
}

std::vector<std::string> FakeHubServer::Forwarded(int hub) const {
    std::lock_guard lock(m_mutex);
    return m_hubs.at(static_cast<std::size_t>(hub))->forwarded;
}

std::vector<std::string> FakeHubServer::Ignored(int hub) const {
    std::lock_guard lock(m_mutex);
    return m_hubs.at(static_cast<std::size_t>(hub))->ignored;
}

int FakeHubServer::OpenConnections(int hub) const {
    std::lock_guard lock(m_mutex);
    return m_hubs.at(static_cast<std::size_t>(hub))->open;
}

void FakeHubServer::CloseConnections(int hub) {
    std::lock_guard lock(m_mutex);
    std::vector<uint64_t> ids;
    for (const auto& [id, connection] : m_connections)
        if (connection->hub == hub) ids.push_back(id);
    for (const uint64_t id : ids) Close(id);
}

bool FakeHubServer::WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) const {
    const auto deadline = Clock::now() + timeout;
    while (!condition()) {
        if (Clock::now() >= deadline) return false;
        std::unique_lock lock(m_mutex);
        const uint64_t seen = m_changes;
        m_changed.wait_until(lock, std::min(deadline, Clock::now() + std::chrono::milliseconds(50)),
                             [&] { return m_changes != seen; });
    }
    return true;
}

void FakeHubServer::Changed() {
    ++m_changes;
    m_changed.notify_all();
}

void FakeHubServer::Loop() {
    epoll_event events[256];
    std::unique_lock lock(m_mutex);
    while (!m_quit) {
        int timeout = 100;
        if (!m_actions.empty()) {
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(m_actions.top().when - Clock::now());
            timeout = static_cast<int>(std::clamp<int64_t>(wait.count(), 0, 100));
        }
        lock.unlock();
        const int count = epoll_wait(m_epoll, events, 256, timeout);
        lock.lock();
        for (int i = 0; i < count; ++i) {
            const uint64_t id = events[i].data.u64;
            if (id == WakeId) continue;
            if ((id & ListenerTag) != 0)
                Accept(static_cast<int>(id & ~ListenerTag));
            else if ((events[i].events & EPOLLOUT) != 0 && m_connections.count(id) != 0)
                Flush(*m_connections[id]);
            if ((id & ListenerTag) == 0 && (events[i].events & (EPOLLIN | EPOLLHUP | EPOLLERR)) != 0) Receive(id);
        }
        while (!m_actions.empty() && m_actions.top().when <= Clock::now()) {
            const Action action = m_actions.top();
            m_actions.pop();
            action.run();
        }
    }
}

void FakeHubServer::Later(std::chrono::milliseconds delay, std::function<void()> run) {
    m_actions.push(Action{Clock::now() + delay, m_nextOrder++, std::move(run)});
}

void FakeHubServer::Accept(int hubIndex) {
    Hub& hub = *m_hubs[static_cast<std::size_t>(hubIndex)];
    while (true) {
        const int fd = accept4(hub.listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;
        // Answers go out as they are written, as a hub's would; Nagle would hold back the second of two.
        const int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        const uint64_t id = m_nextConnection++;
        auto connection = std::make_unique<Connection>();
        connection->id = id;
        connection->hub = hubIndex;
        connection->fd = fd;
        connection->record = hub.received.size();
        hub.received.emplace_back();
        ++hub.open;
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.u64 = id;
        epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &event);
        m_connections[id] = std::move(connection);
        const FakeHubBehaviour& behaviour = hub.behaviour;
        Later(behaviour.answerDelay, [this, id, &behaviour] {
            if (behaviour.closeBeforeLock) return Close(id);
            Send(id, "$Lock " + behaviour.lock + " Pk=FakeHub|");
            if (behaviour.closeAfterLock) return Close(id);
            if (behaviour.longLine) Send(id, std::string(LongLineLength, 'x') + "|");
            Send(id, "$HubName Fake Hub|");
        });
        Changed();
    }
}

void FakeHubServer::Receive(uint64_t id) {
    auto found = m_connections.find(id);
    if (found == m_connections.end()) return;
    Connection& connection = *found->second;
    char chunk[65536];
    bool peerClosed = false;
    while (true) {
        const ssize_t received = recv(connection.fd, chunk, sizeof chunk, 0);
        if (received > 0) {
            m_hubs[static_cast<std::size_t>(connection.hub)]->received[connection.record].append(
                chunk, static_cast<std::size_t>(received));
            connection.input.append(chunk, static_cast<std::size_t>(received));
            continue;
        }
        if (received < 0 && errno == EINTR) continue;
        peerClosed = !(received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK));
        break;
    }
    // Messages that came with the close are still handled, as a hub reads them before it sees the end.
    std::size_t end;
    while (m_connections.count(id) != 0 && (end = connection.input.find('|')) != std::string::npos) {
        const std::string message = connection.input.substr(0, end);
        connection.input.erase(0, end + 1);
        Handle(connection, message);
    }
    if (peerClosed) Close(id);
    Changed();
}

void FakeHubServer::Handle(Connection& connection, const std::string& message) {
    const uint64_t id = connection.id;
    Hub& hub = *m_hubs[static_cast<std::size_t>(connection.hub)];
    const FakeHubBehaviour& behaviour = hub.behaviour;
    const bool extended = behaviour.lock.starts_with("EXTENDEDPROTOCOL");
    const auto delay = behaviour.answerDelay;
    if (message.starts_with("$Supports ")) {
        connection.supports = true;
        connection.userIp2 = message.find(" UserIP2") != std::string::npos;
        if (extended) Later(delay, [this, id] { Send(id, "$Supports NoHello NoGetINFO|"); });
    } else if (message.starts_with("$Key ")) {
        if (behaviour.strict && message.substr(5) != LockToKey(behaviour.lock, 5)) Close(id);
    } else if (message.starts_with("$ValidateNick ")) {
        connection.nick = message.substr(14);
        const std::string nick = connection.nick;
        if (!behaviour.chat.empty()) Later(delay, [this, id, &behaviour] { Send(id, behaviour.chat + "|"); });
        switch (behaviour.nickAnswer) {
            case FakeHubBehaviour::NickAnswer::Hello:
                Later(delay, [this, id, nick, &behaviour, userIp2 = connection.userIp2] {
                    if (behaviour.otherUserFirst) Send(id, "$Hello SomebodyElse|");
                    Send(id, "$Hello " + nick + "|");
                    if (userIp2 && !behaviour.userIp.empty())
                        Send(id, "$UserIP " + nick + " " + behaviour.userIp + "$$|");
                });
                break;
            case FakeHubBehaviour::NickAnswer::Refuse:
                Later(delay, [this, id, nick] { Send(id, "$ValidateDenide " + nick + "|"); });
                break;
            case FakeHubBehaviour::NickAnswer::AskPassword:
                Later(delay, [this, id] { Send(id, "$GetPass|"); });
                break;
            case FakeHubBehaviour::NickAnswer::Full:
                Later(delay, [this, id] {
                    Send(id, "$HubIsFull|");
                    Close(id);
                });
                break;
            case FakeHubBehaviour::NickAnswer::Banned:
                Later(delay, [this, id] { Send(id, "$BadPass|"); });
                break;
            case FakeHubBehaviour::NickAnswer::Redirect:
                Later(delay, [this, id, &behaviour] { Send(id, "$ForceMove " + behaviour.redirectTo + "|"); });
                break;
            case FakeHubBehaviour::NickAnswer::Silent:
                break;
            case FakeHubBehaviour::NickAnswer::Trickle:
                Trickle(id);
                break;
        }
    } else if (message.starts_with("$MyINFO $ALL " + connection.nick + " ")) {
        if (behaviour.closeOnMyInfo || (behaviour.requireSupports && extended && !connection.supports))
            return Close(id);
        Later(delay, [this, id, message] {
            Send(id, message + "|");
            if (auto found = m_connections.find(id); found != m_connections.end()) found->second->echoed = true;
        });
    } else if (message.starts_with("$Search ")) {
        if (message.starts_with("$Search Hub:" + connection.nick + " "))
            for (const std::string& answer : behaviour.passiveAnswers) Send(id, answer + "|");
        if (!behaviour.strict) {
            hub.forwarded.push_back(message);
        } else if (!connection.echoed) {
            hub.ignored.push_back(message);
        } else {
            if (hub.pending.empty()) {
                const int hubIndex = connection.hub;
                Later(behaviour.forwardInterval, [this, hubIndex] { Forward(hubIndex); });
            }
            hub.pending.emplace_back(id, message);
        }
    }
}

void FakeHubServer::Forward(int hubIndex) {
    Hub& hub = *m_hubs[static_cast<std::size_t>(hubIndex)];
    for (const auto& [id, search] : hub.pending) {
        if (m_connections.count(id) != 0)
            hub.forwarded.push_back(search);
        else
            hub.ignored.push_back(search);
    }
    hub.pending.clear();
    Changed();
}

void FakeHubServer::Trickle(uint64_t id) {
    const auto found = m_connections.find(id);
    if (found == m_connections.end()) return;
    Connection& connection = *found->second;
    const auto interval = m_hubs[static_cast<std::size_t>(connection.hub)]->behaviour.trickleInterval;
    if (interval.count() > 0) {
        Send(id, "<Hub> still no $Hello for you|");
        Later(interval, [this, id] { Trickle(id); });
        return;
    }
    // A flood: keep many short lines waiting for the client at every moment, without letting the backlog grow.
    if (connection.output.size() < std::size_t{4} * 1024 * 1024) {
        std::string lines;
        for (int i = 0; i < 8192; ++i) lines += "<Hub> flood|";
        Send(id, lines);
    }
    Later(std::chrono::milliseconds(1), [this, id] { Trickle(id); });
}

void FakeHubServer::Send(uint64_t id, const std::string& bytes) {
    auto found = m_connections.find(id);
    if (found == m_connections.end()) return;
    found->second->output += bytes;
    Flush(*found->second);
}

void FakeHubServer::Flush(Connection& connection) {
    while (!connection.output.empty()) {
        const ssize_t sent = send(connection.fd, connection.output.data(), connection.output.size(), MSG_NOSIGNAL);
        if (sent <= 0) break;
        connection.output.erase(0, static_cast<std::size_t>(sent));
    }
    const bool waiting = !connection.output.empty();
    if (waiting == connection.waitingToSend) return;
    connection.waitingToSend = waiting;
    epoll_event event{};
    event.events = waiting ? (EPOLLIN | EPOLLOUT) : EPOLLIN;
    event.data.u64 = connection.id;
    epoll_ctl(m_epoll, EPOLL_CTL_MOD, connection.fd, &event);
}

void FakeHubServer::Close(uint64_t id) {
    auto found = m_connections.find(id);
    if (found == m_connections.end()) return;
    --m_hubs[static_cast<std::size_t>(found->second->hub)]->open;
    close(found->second->fd);
    m_connections.erase(found);
    Changed();
}
