#pragma once

#include <ares.h>

#include <memory>
#include <string>

#include "engine/net/address_lookup.h"
#include "engine/net/network_loop.h"

// Looks names up on a NetworkLoop without blocking it: one c-ares channel whose sockets the loop watches and whose
// retries run on a loop timer. Names under .invalid are not found without asking. Resolve and the destruction run on
// the loop thread, which must outlive it.
class LoopNameResolver {
public:
    // nameServers: see NameResolver; empty for the system's.
    LoopNameResolver(NetworkLoop& loop, std::string nameServers = {});
    // Ends every lookup under way without calling it back.
    ~LoopNameResolver();
    LoopNameResolver(const LoopNameResolver&) = delete;
    LoopNameResolver& operator=(const LoopNameResolver&) = delete;

    // done runs once on the loop thread, maybe before Resolve returns; a lookup never ends by itself for want of
    // time (c-ares gives up after its own retries): the caller keeps the deadline.
    void Resolve(const std::string& host, AddressFound done);

private:
    static void OnSocketState(void* self, ares_socket_t socket, int readable, int writable);
    void Process(ares_socket_t readable, ares_socket_t writable);
    // Sets the loop timer to c-ares's next retry, when a lookup is under way.
    void ScheduleRetry();

    NetworkLoop& m_loop;
    const std::string m_nameServers;
    ares_channel m_channel = nullptr;  // opened by the first lookup
    NetworkLoop::TimerId m_retry = 0;
    // Shared with the callbacks of lookups under way, which the channel's destruction still calls.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
