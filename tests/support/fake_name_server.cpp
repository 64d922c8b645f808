#include "support/fake_name_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

#include "engine/text/ascii_case.h"

namespace {

constexpr std::size_t kHeaderSize = 12;
constexpr char kNoSuchName = 3;

// The question's name as dotted lower-case text and the offset just after its type and class; 0 when malformed.
std::size_t ReadQuestion(const std::string& query, std::string& name) {
    std::size_t at = kHeaderSize;
    while (at < query.size() && query[at] != 0) {
        const auto length = static_cast<unsigned char>(query[at]);
        if (length > 63 || at + 1 + length > query.size()) return 0;
        if (!name.empty()) name += '.';
        for (std::size_t i = 0; i < length; ++i) name += AsciiLower(query[at + 1 + i]);
        at += 1 + length;
    }
    return at + 5 <= query.size() ? at + 5 : 0;
}

}  // namespace

FakeNameServer::FakeNameServer(std::map<std::string, std::string> names, bool silent)
    : m_names(std::move(names)), m_silent(silent) {
    m_socket = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_socket < 0 || bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length) != 0 || pipe2(m_wake, O_CLOEXEC) != 0)
        throw std::runtime_error("FakeNameServer: cannot bind on 127.0.0.1");
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { Serve(); });
}

FakeNameServer::~FakeNameServer() {
    const char stop = 1;
    (void)!write(m_wake[1], &stop, 1);
    m_thread.join();
    close(m_socket);
    close(m_wake[0]);
    close(m_wake[1]);
}

std::string FakeNameServer::Address() const {
    return "127.0.0.1:" + std::to_string(m_port);
}

int FakeNameServer::Questions() const {
    std::lock_guard lock(m_mutex);
    return m_questions;
}

bool FakeNameServer::WaitForQuestions(int count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_asked.wait_for(lock, timeout, [&] { return m_questions >= count; });
}

void FakeNameServer::Serve() {
    while (true) {
        pollfd fds[2] = {{m_socket, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) continue;
        if (fds[1].revents != 0) return;
        char buffer[1500];
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t got =
            recvfrom(m_socket, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (got < static_cast<ssize_t>(kHeaderSize)) continue;
        {
            std::lock_guard lock(m_mutex);
            ++m_questions;
        }
        m_asked.notify_all();
        if (m_silent) continue;
        const std::string reply = Answer(std::string(buffer, static_cast<std::size_t>(got)));
        if (!reply.empty())
            sendto(m_socket, reply.data(), reply.size(), 0, reinterpret_cast<const sockaddr*>(&from), fromLength);
    }
}

std::string FakeNameServer::Answer(const std::string& query) const {
    std::string name;
    const std::size_t end = ReadQuestion(query, name);
    if (end == 0) return {};
    const bool askingA = query[end - 4] == 0 && query[end - 3] == 1;
    const auto found = m_names.find(name);
    in_addr address{};
    const bool answered = askingA && found != m_names.end() && inet_pton(AF_INET, found->second.c_str(), &address) == 1;
    // Header: the query's id, a recursive answer, one question, one answer or none.
    std::string reply = query.substr(0, 2);
    reply += '\x81';
    reply += found == m_names.end() ? static_cast<char>(0x80 | kNoSuchName) : '\x80';
    reply += std::string("\0\1\0", 3) + (answered ? '\1' : '\0') + std::string(4, '\0');
    reply += query.substr(kHeaderSize, end - kHeaderSize);
    if (answered) {
        // The name by a pointer to the question, type A, class IN, a minute to live, four address bytes.
        reply += std::string("\xc0\x0c\0\1\0\1\0\0\0\x3c\0\4", 12);
        reply.append(reinterpret_cast<const char*>(&address.s_addr), 4);
    }
    return reply;
}
