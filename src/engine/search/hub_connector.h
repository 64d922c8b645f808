#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

#include "engine/net/loop_name_resolver.h"
#include "engine/net/network_loop.h"
#include "engine/net/tcp_client.h"
#include "engine/search/hub_queue.h"
#include "engine/search/hub_ticket.h"
#include "engine/search/run_values.h"
#include "engine/sys/auto_reset_event.h"

struct WorkerContext;

// Connects to a run's hubs ahead of the workers, on the network loop: it takes hubs from the run's queue, looks their
// names up and connects, many at once, and hands a worker only a hub whose connection stands. A hub whose lookup or
// connect fails is counted failed here, so a hub that never answers holds no worker for its time-out. Hubs that are
// not to be contacted (searched moments ago, or the phrase or nick not writable) are handed on without a connect.
class HubConnector {
public:
    HubConnector(NetworkLoop& network, WorkerContext& context);
    // Not on the loop thread, once no worker uses it: stops the loop (its tasks use this object), then closes what is
    // still under way.
    ~HubConnector();
    HubConnector(const HubConnector&) = delete;
    HubConnector& operator=(const HubConnector&) = delete;

    // GUI thread. Starts connecting to the hubs of run (numbered as in RunCounters), for a pool of workers; the
    // queue must stay alive until Stop.
    void Start(HubQueue& queue, std::shared_ptr<const RunValues> values, uint64_t run, std::size_t workers);
    // GUI thread: hubs were added to the running queue.
    void Refill();
    // GUI thread: drops the run's connects under way and the connections no worker has taken (closed, never
    // counted); once it returns, the queue is not used any more.
    void Stop();

    // Workers: the next hub of run that is ready for a worker, or none; then wake is set once one is.
    std::optional<HubTicket> Take(uint64_t run, AutoResetEvent& wake);
    // Workers: wake is no longer to be set (before it goes away).
    void StopWaking(AutoResetEvent& wake);

private:
    using Clock = std::chrono::steady_clock;
    // A connect under way, from its name lookup on.
    struct Pending {
        HubTicket ticket;
        Clock::time_point started;
        NetworkLoop::TimerId deadline = 0;
    };

    // Loop thread. Takes hubs from the queue while there is room for them; every event that frees room calls it.
    void Fill();
    std::optional<HubTicket> NextHub();
    void Begin(HubTicket ticket);
    void Connect(uint64_t id, uint32_t address);
    void Connected(uint64_t id);
    void Fail(uint64_t id, TcpStatus status);
    // Out of the pending ones, its deadline timer cancelled and its socket no longer watched.
    Pending Release(uint64_t id);
    void HandOn(HubTicket ticket);
    // Drops the connects under way that are not of the current run.
    void DropStale();

    NetworkLoop& m_network;
    WorkerContext& m_context;

    std::mutex m_lock;  // guards the run and the ready hubs
    HubQueue* m_queue = nullptr;
    std::shared_ptr<const RunValues> m_values;
    uint64_t m_run = 0;  // 0 while no run connects
    std::size_t m_maxPending = 0;
    std::size_t m_maxReady = 0;
    std::deque<HubTicket> m_ready;
    std::vector<AutoResetEvent*> m_waiting;

    // Loop thread only.
    std::unordered_map<uint64_t, Pending> m_pending;
    uint64_t m_nextId = 1;
    bool m_filling = false;
    std::unique_ptr<LoopNameResolver> m_resolver;
};
