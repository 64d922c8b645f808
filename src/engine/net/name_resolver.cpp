#include "engine/net/name_resolver.h"

#include <ares.h>
#include <netinet/in.h>
#include <poll.h>

#include <cerrno>
#include <optional>
#include <string_view>

#include "engine/text/ascii_case.h"

using Clock = std::chrono::steady_clock;

namespace {

bool InitAres() {
    static const bool ready = ares_library_init(ARES_LIB_INIT_ALL) == ARES_SUCCESS;
    return ready;
}

// What the lookup's callback leaves for the waiting loop.
struct Answer {
    bool done = false;
    int status = ARES_ETIMEOUT;
    uint32_t address = 0;
};

void OnAnswer(void* arg, int status, int /*timeouts*/, ares_addrinfo* result) {
    auto* answer = static_cast<Answer*>(arg);
    answer->done = true;
    answer->status = status;
    if (status == ARES_SUCCESS && result != nullptr) {
        answer->status = ARES_ENODATA;
        for (const ares_addrinfo_node* node = result->nodes; node != nullptr; node = node->ai_next) {
            if (node->ai_family != AF_INET || node->ai_addr == nullptr) continue;
            answer->address = reinterpret_cast<const sockaddr_in*>(node->ai_addr)->sin_addr.s_addr;
            answer->status = ARES_SUCCESS;
            break;
        }
    }
    if (result != nullptr) ares_freeaddrinfo(result);
}

LookupStatus StatusOf(int aresStatus) {
    switch (aresStatus) {
        case ARES_SUCCESS:
            return LookupStatus::Found;
        case ARES_ENOTFOUND:
        case ARES_ENODATA:
        case ARES_ENONAME:
        case ARES_EBADNAME:
            return LookupStatus::NotFound;
        default:
            return LookupStatus::Failed;
    }
}

int MillisecondsOf(const timeval& time) {
    return static_cast<int>(time.tv_sec * 1000 + (time.tv_usec + 999) / 1000);
}

// One lookup on a channel of its own. Destroying the channel ends the lookup, calling back into m_answer, which is
// therefore declared first.
class Lookup {
public:
    Lookup() = default;
    ~Lookup() {
        if (m_ok) ares_destroy(m_channel);
    }
    Lookup(const Lookup&) = delete;
    Lookup& operator=(const Lookup&) = delete;

    // False when the channel cannot be set up.
    bool Start(const std::string& host, const std::string& nameServers) {
        m_ok = InitAres() && ares_init(&m_channel) == ARES_SUCCESS;
        if (!m_ok) return false;
        if (!nameServers.empty() && ares_set_servers_ports_csv(m_channel, nameServers.c_str()) != ARES_SUCCESS)
            return false;
        ares_addrinfo_hints hints{};
        hints.ai_family = AF_INET;
        ares_getaddrinfo(m_channel, host.c_str(), nullptr, &hints, &OnAnswer, &m_answer);
        return true;
    }

    bool Done() const { return m_answer.done; }

    // Waits for the channel's sockets until its next time-out, the deadline or an abort, then lets c-ares handle
    // what came (or its own retries). A status when the wait itself ended the lookup.
    std::optional<LookupStatus> Step(Clock::time_point deadline, int abortFd) {
        ares_socket_t sockets[ARES_GETSOCK_MAXNUM];
        const int mask = ares_getsock(m_channel, sockets, ARES_GETSOCK_MAXNUM);
        pollfd fds[ARES_GETSOCK_MAXNUM + 1];
        nfds_t count = 0;
        for (int i = 0; i < ARES_GETSOCK_MAXNUM; ++i) {
            const short events = static_cast<short>((ARES_GETSOCK_READABLE(mask, i) ? POLLIN : 0) |
                                                    (ARES_GETSOCK_WRITABLE(mask, i) ? POLLOUT : 0));
            if (events != 0) fds[count++] = {sockets[i], events, 0};
        }
        const nfds_t channelFds = count;
        if (abortFd >= 0) fds[count++] = {abortFd, POLLIN, 0};

        const auto now = Clock::now();
        if (now >= deadline) return LookupStatus::TimedOut;
        const auto left = std::chrono::ceil<std::chrono::microseconds>(deadline - now).count();
        timeval maximum{static_cast<time_t>(left / 1000000), static_cast<suseconds_t>(left % 1000000)};
        timeval buffer{};
        const int ready = poll(fds, count, MillisecondsOf(*ares_timeout(m_channel, &maximum, &buffer)));
        if (ready < 0 && errno != EINTR) return LookupStatus::Failed;
        if (ready > 0 && abortFd >= 0 && fds[channelFds].revents != 0) return LookupStatus::Aborted;
        bool processed = false;
        for (nfds_t i = 0; ready > 0 && i < channelFds; ++i) {
            if (fds[i].revents == 0) continue;
            const bool readable = (fds[i].revents & (POLLIN | POLLERR | POLLHUP)) != 0;
            const bool writable = (fds[i].revents & POLLOUT) != 0;
            ares_process_fd(m_channel, readable ? fds[i].fd : ARES_SOCKET_BAD, writable ? fds[i].fd : ARES_SOCKET_BAD);
            processed = true;
        }
        if (!processed) ares_process_fd(m_channel, ARES_SOCKET_BAD, ARES_SOCKET_BAD);
        return std::nullopt;
    }

    LookupStatus Result(uint32_t& address) const {
        if (m_answer.status == ARES_SUCCESS) address = m_answer.address;
        return StatusOf(m_answer.status);
    }

private:
    Answer m_answer;
    ares_channel m_channel = nullptr;
    bool m_ok = false;
};

// Names under .invalid never exist (RFC 6761): answered here, without asking a name server.
bool IsInvalidName(std::string_view host) {
    if (host.ends_with('.')) host.remove_suffix(1);
    constexpr std::string_view Suffix = ".invalid";
    return host.size() >= Suffix.size() && EqualsIgnoringAsciiCase(host.substr(host.size() - Suffix.size()), Suffix);
}

}  // namespace

NameResolver::NameResolver(std::string nameServers) : m_nameServers(std::move(nameServers)) {}

LookupStatus NameResolver::Resolve(const std::string& host, Clock::time_point deadline, int abortFd,
                                   uint32_t& address) const {
    if (IsInvalidName(host)) return LookupStatus::NotFound;
    Lookup lookup;
    if (!lookup.Start(host, m_nameServers)) return LookupStatus::Failed;
    while (!lookup.Done())
        if (const std::optional<LookupStatus> stopped = lookup.Step(deadline, abortFd)) return *stopped;
    return lookup.Result(address);
}
