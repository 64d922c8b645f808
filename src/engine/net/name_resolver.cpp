#include "engine/net/name_resolver.h"

#include <ares.h>
#include <netinet/in.h>
#include <poll.h>

#include <cerrno>

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

// The channel of one lookup; destroying it ends whatever it still has under way.
class Channel {
public:
    Channel() : m_ok(InitAres() && ares_init(&m_channel) == ARES_SUCCESS) {}
    ~Channel() {
        if (m_ok) ares_destroy(m_channel);
    }
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    bool Ok() const { return m_ok; }
    ares_channel Get() const { return m_channel; }

private:
    ares_channel m_channel = nullptr;
    bool m_ok;
};

}  // namespace

NameResolver::NameResolver(std::string nameServers) : m_nameServers(std::move(nameServers)) {}

LookupStatus NameResolver::Resolve(const std::string& host, Clock::time_point deadline, int abortFd,
                                   uint32_t& address) const {
    // The channel goes first: its destruction reports the lookup it ends to answer.
    Answer answer;
    Channel channel;
    if (!channel.Ok()) return LookupStatus::Failed;
    if (!m_nameServers.empty() && ares_set_servers_ports_csv(channel.Get(), m_nameServers.c_str()) != ARES_SUCCESS)
        return LookupStatus::Failed;
    ares_addrinfo_hints hints{};
    hints.ai_family = AF_INET;
    ares_getaddrinfo(channel.Get(), host.c_str(), nullptr, &hints, &OnAnswer, &answer);

    while (!answer.done) {
        ares_socket_t sockets[ARES_GETSOCK_MAXNUM];
        const int mask = ares_getsock(channel.Get(), sockets, ARES_GETSOCK_MAXNUM);
        pollfd fds[ARES_GETSOCK_MAXNUM + 1];
        nfds_t count = 0;
        for (int i = 0; i < ARES_GETSOCK_MAXNUM; ++i) {
            const short events = static_cast<short>((ARES_GETSOCK_READABLE(mask, i) ? POLLIN : 0) |
                                                    (ARES_GETSOCK_WRITABLE(mask, i) ? POLLOUT : 0));
            if (events != 0) fds[count++] = {sockets[i], events, 0};
        }
        const nfds_t lookupFds = count;
        if (abortFd >= 0) fds[count++] = {abortFd, POLLIN, 0};

        const auto now = Clock::now();
        if (now >= deadline) return LookupStatus::TimedOut;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
        timeval maximum{static_cast<time_t>(left.count() / 1000), static_cast<suseconds_t>(left.count() % 1000 * 1000)};
        timeval buffer{};
        const timeval* wait = ares_timeout(channel.Get(), &maximum, &buffer);
        const int waitMs = static_cast<int>(wait->tv_sec * 1000 + (wait->tv_usec + 999) / 1000);

        const int ready = poll(fds, count, waitMs);
        if (ready < 0 && errno != EINTR) return LookupStatus::Failed;
        if (abortFd >= 0 && ready > 0 && fds[lookupFds].revents != 0) return LookupStatus::Aborted;
        bool processed = false;
        for (nfds_t i = 0; ready > 0 && i < lookupFds; ++i) {
            if (fds[i].revents == 0) continue;
            const bool readable = (fds[i].revents & (POLLIN | POLLERR | POLLHUP)) != 0;
            const bool writable = (fds[i].revents & POLLOUT) != 0;
            ares_process_fd(channel.Get(), readable ? fds[i].fd : ARES_SOCKET_BAD,
                            writable ? fds[i].fd : ARES_SOCKET_BAD);
            processed = true;
        }
        // Nothing ready: let c-ares handle its own time-outs and retries.
        if (!processed) ares_process_fd(channel.Get(), ARES_SOCKET_BAD, ARES_SOCKET_BAD);
    }
    if (answer.status == ARES_SUCCESS) address = answer.address;
    return StatusOf(answer.status);
}
