#include "engine/net/name_resolver.h"

#include <ares.h>
#include <poll.h>

#include <cerrno>
#include <optional>

#include "engine/net/address_lookup.h"

using Clock = std::chrono::steady_clock;

namespace {

// What the lookup's callback leaves for the waiting loop.
struct Answer {
    bool done = false;
    LookupStatus status = LookupStatus::Failed;
    uint32_t address = 0;
};

int MillisecondsOf(const timeval& time) {
    return static_cast<int>(time.tv_sec * 1000 + (time.tv_usec + 999) / 1000);
}

// One lookup on a channel of its own. Destroying the channel ends the lookup, calling back into m_answer, which is
// therefore declared first.
class Lookup {
public:
    Lookup() = default;
    ~Lookup() {
        if (m_channel != nullptr) ares_destroy(m_channel);
    }
    Lookup(const Lookup&) = delete;
    Lookup& operator=(const Lookup&) = delete;

    // False when the channel cannot be set up.
    bool Start(const std::string& host, const std::string& nameServers) {
        m_channel = OpenLookupChannel(nameServers);
        if (m_channel == nullptr) return false;
        StartAddressLookup(m_channel, host, [this](LookupStatus status, uint32_t address) {
            m_answer = Answer{true, status, address};
        });
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
        if (m_answer.status == LookupStatus::Found) address = m_answer.address;
        return m_answer.status;
    }

private:
    Answer m_answer;
    ares_channel m_channel = nullptr;
};

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
