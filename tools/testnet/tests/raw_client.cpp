#include "raw_client.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "engine/nmdc/nmdc_text.h"
#include "search_matcher.h"
#include "socket_util.h"

namespace {

int MillisecondsUntil(Deadline deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

bool WaitFor(int fd, short events, Deadline deadline) {
    pollfd entry{fd, events, 0};
    for (;;) {
        const int ready = poll(&entry, 1, MillisecondsUntil(deadline));
        if (ready > 0) return true;
        if (ready == 0 || errno != EINTR) return false;
    }
}

}  // namespace

RawClient::~RawClient() {
    Close();
}

bool RawClient::Connect(uint16_t port, Deadline deadline) {
    m_fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return true;
    if (errno != EINPROGRESS || !WaitFor(m_fd, POLLOUT, deadline)) return false;
    int error = 0;
    socklen_t length = sizeof error;
    getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length);
    return error == 0;
}

void RawClient::Send(const std::string& bytes) {
    std::size_t sent = 0;
    const Deadline deadline = In(std::chrono::milliseconds(2000));
    while (m_fd >= 0 && sent < bytes.size() && WaitFor(m_fd, POLLOUT, deadline)) {
        const ssize_t now = send(m_fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (now <= 0) return;
        sent += static_cast<std::size_t>(now);
    }
}

RawClient::Read RawClient::ReadMessage(Deadline deadline) {
    for (;;) {
        const auto bar = m_buffer.find('|');
        if (bar != std::string::npos) {
            Read read{Outcome::Message, m_buffer.substr(0, bar)};
            m_buffer.erase(0, bar + 1);
            return read;
        }
        if (m_fd < 0 || !WaitFor(m_fd, POLLIN, deadline)) return {Outcome::TimedOut, ""};
        std::array<char, 4096> chunk{};
        const ssize_t got = recv(m_fd, chunk.data(), chunk.size(), 0);
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (got <= 0) return {Outcome::Closed, ""};
        m_buffer.append(chunk.data(), static_cast<std::size_t>(got));
    }
}

RawClient::Read RawClient::ReadUntil(const std::string& prefix, Deadline deadline) {
    for (;;) {
        Read read = ReadMessage(deadline);
        if (read.outcome != Outcome::Message || read.message.starts_with(prefix)) return read;
        m_skipped.push_back(read.message);
    }
}

void RawClient::Close() {
    if (m_fd >= 0) close(m_fd);
    m_fd = -1;
}

std::optional<std::string> RawClient::LogIn(const std::string& nick, Deadline deadline, bool withSupports,
                                            bool rightKey) {
    const Read first = ReadMessage(deadline);
    if (first.outcome != Outcome::Message || !first.message.starts_with("$Lock ")) return std::nullopt;
    std::size_t position = 6;
    const std::string lock(NextToken(first.message, ' ', position));
    if (withSupports && lock.starts_with("EXTENDEDPROTOCOL")) Send("$Supports NoGetINFO NoHello|");
    Send("$Key " + (rightKey ? LockToKey(lock, 5) : std::string("wrongkey")) + "|");
    Send("$ValidateNick " + nick + "|");
    const Read hello = ReadUntil("$Hello " + nick, deadline);
    if (hello.outcome != Outcome::Message || hello.message != "$Hello " + nick) return std::nullopt;
    return lock;
}

bool RawClient::SendMyInfo(const std::string& nick, Deadline deadline) {
    Send("$Version 1,0091|");
    const std::string myInfo = "$MyINFO $ALL " + nick + " <++ V:0.705,M:A,H:1/0/0,S:10>$ $1\x01$$5368709120$";
    Send(myInfo + "|");
    return ReadUntil(myInfo, deadline).outcome == Outcome::Message;
}

UdpCollector::UdpCollector() : m_fd(OpenUdp()) {}

UdpCollector::~UdpCollector() {
    CloseSocket(m_fd);
}

uint16_t UdpCollector::Port() const {
    return LocalPort(m_fd);
}

std::size_t UdpCollector::CollectUntil(std::size_t count, Deadline deadline) {
    std::array<char, 65536> datagram{};
    while (m_messages.size() < count && WaitFor(m_fd, POLLIN, deadline)) {
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t got =
            recvfrom(m_fd, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&from), &length);
        if (got <= 0) continue;
        ++m_datagrams;
        m_sourcePorts.insert(ntohs(from.sin_port));
        const std::string text(datagram.data(), static_cast<std::size_t>(got));
        std::size_t position = 1;
        for (auto piece = NextToken(text, '|', position); !piece.empty(); piece = NextToken(text, '|', position)) {
            m_messages.emplace_back(piece);
        }
    }
    return m_messages.size();
}

RunningNetwork::RunningNetwork(const PlanOptions& options, std::chrono::milliseconds latency)
    : m_plan(NetworkPlan::Build(options)) {
    NetworkSettings settings;
    settings.latency = latency;
    m_network = TestNetwork::Start(m_loop, m_plan, settings).network;
    if (m_network) m_thread = std::thread([this] { m_loop.Run(); });
}

RunningNetwork::~RunningNetwork() {
    m_loop.Stop();
    if (m_thread.joinable()) m_thread.join();
    m_network.reset();
}

std::optional<std::size_t> RunningNetwork::FirstOfKind(HubKind kind) const {
    for (std::size_t i = 0; i < m_plan.Hubs().size(); ++i) {
        if (m_plan.Hubs()[i].kind == kind) return i;
    }
    return std::nullopt;
}

std::size_t RunningNetwork::ExpectedResults(std::size_t hub, const std::string& searchTail, bool passive) const {
    // The tail reaches the users as it is written here.
    const auto matchers = SearchMatcher::ForEveryCharset(*SearchRequest::Parse(SearchLine(1, searchTail)));
    std::size_t count = 0;
    for (const std::size_t user : m_plan.Hubs()[hub].users) {
        const SimulatedUser& simulated = m_plan.Users()[user];
        if (passive && simulated.Passive()) continue;
        count +=
            simulated.Answer(matchers[static_cast<std::size_t>(simulated.Style().charset)], m_plan.Catalog(), "", "", 0)
                .size();
    }
    return count;
}

std::string SearchLine(uint16_t udpPort, const std::string& tail) {
    return "$Search 127.0.0.1:" + std::to_string(udpPort) + " " + tail;
}

std::optional<SrMessage> DecodeSr(const std::string& message) {
    if (!message.starts_with("$SR ") || !message.ends_with(")")) return std::nullopt;
    const auto open = message.rfind(" (");
    const auto firstMark = message.find('\x05');
    const auto lastMark = message.rfind('\x05');
    const auto nickEnd = message.find(' ', 4);
    if (open == std::string::npos || firstMark == std::string::npos || nickEnd > firstMark) return std::nullopt;
    SrMessage sr;
    sr.nick = message.substr(4, nickEnd - 4);
    sr.hubField = message.substr(lastMark + 1, open - lastMark - 1);
    sr.hubAddress = message.substr(open + 2, message.size() - open - 3);
    std::string slots;
    if (firstMark != lastMark) {
        sr.path = message.substr(nickEnd + 1, firstMark - nickEnd - 1);
        const std::string middle = message.substr(firstMark + 1, lastMark - firstMark - 1);
        const auto blank = middle.find(' ');
        if (blank == std::string::npos) return std::nullopt;
        sr.size = std::stoll(middle.substr(0, blank));
        slots = middle.substr(blank + 1);
    } else {
        const std::string rest = message.substr(nickEnd + 1, firstMark - nickEnd - 1);
        const auto blank = rest.rfind(' ');
        if (blank == std::string::npos) return std::nullopt;
        sr.path = rest.substr(0, blank);
        slots = rest.substr(blank + 1);
    }
    const auto slash = slots.find('/');
    if (slash == std::string::npos) return std::nullopt;
    sr.freeSlots = std::stoi(slots.substr(0, slash));
    sr.totalSlots = std::stoi(slots.substr(slash + 1));
    return sr;
}
