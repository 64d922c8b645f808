#pragma once

#include <chrono>
#include <cstdint>
#include <string>

enum class LookupStatus {
    Found,
    NotFound,  // the name does not exist or has no IPv4 address
    Failed,    // no name server gave a usable answer
    TimedOut,  // the deadline passed first
    Aborted,   // the abort descriptor became readable first
};

// Looks names up (hosts file, then DNS) with c-ares on the calling thread; names under .invalid are not found without
// asking. It starts no thread, so a lookup cut short by its deadline or an abort leaves nothing running behind it.
// One lookup at a time per resolver.
class NameResolver {
public:
    // nameServers: "address:port,…" to ask instead of the system's (resolv.conf); empty for the system's.
    explicit NameResolver(std::string nameServers = {});

    // The first IPv4 address of host (network byte order in address), waiting until deadline at most or until
    // abortFd is readable (-1: none).
    LookupStatus Resolve(const std::string& host, std::chrono::steady_clock::time_point deadline, int abortFd,
                         uint32_t& address) const;

private:
    const std::string m_nameServers;
};
