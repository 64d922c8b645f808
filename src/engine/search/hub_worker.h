#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/adc/adc_hub_stay.h"
#include "engine/net/lingering_connections.h"
#include "engine/net/tcp_client.h"
#include "engine/results/search_result.h"
#include "engine/search/hub_address_book.h"
#include "engine/search/hub_counting.h"
#include "engine/search/hub_outcome_batch.h"
#include "engine/search/hub_queue.h"
#include "engine/search/hub_seen_address.h"
#include "engine/search/hub_ticket.h"
#include "engine/search/run_counters.h"
#include "engine/search/run_values.h"
#include "engine/sys/auto_reset_event.h"
#include "engine/sys/gui_thread.h"

class HubConnector;

// What every worker of a pool shares; owned by the run control, which outlives its workers.
struct WorkerContext {
    GuiThread& gui;
    RunCounters& counters;
    // Runs on the GUI thread after counted hubs and ended lingers, while the worker that handed it over waits. It
    // must read the counters when it runs: one update serves every change made while it was pending.
    std::function<void()> updateRunProgress;
    HubExchangeTimings timings;
    std::atomic<bool> progressPending{false};
    // Passive runs: runs on the GUI thread with a batch of $SR lines a hub relayed (valid only during the call),
    // while the worker that handed them over waits; only for the current run.
    std::function<void(const std::vector<std::string_view>&)> handOverRelayedResults{};
    // Runs on the GUI thread with a batch of results an ADC hub relayed (decoded, filtered by the run's filter),
    // while the worker that handed them over waits; only for the current run.
    std::function<void(const std::vector<SearchResult>&)> handOverAdcResults{};
    // Where workers note the address each hub was reached at, for reading its answers; none: not noted.
    HubAddressBook* hubAddresses = nullptr;
    // Where workers note the address hubs report for us; none: not noted.
    HubSeenAddress* hubSeenAddress = nullptr;
    // Every counted hub's outcome, added before the progress update that counts it is handed over.
    HubOutcomeBatch outcomes{};
    // Where searched hubs stay for the linger without a worker; outlives the workers.
    LingeringConnections* lingering = nullptr;
    // Where workers take their hubs, connected ahead; outlives the workers.
    HubConnector* connector = nullptr;

    // Not on the GUI thread: hands an update of the run's progress to the GUI thread; false when it has closed.
    bool HandOverProgress();
    // A searched hub of the run has been left: updates the window when it was the run's last; false when the GUI
    // thread has closed.
    bool EndLinger(uint64_t run);
};

// One connection slot of a search run: a thread that sleeps until woken, then takes the run's hubs whose connection
// stands from the HubConnector and searches each, until none is ready or the run is stopped. A hub counts as searched
// once its $Search is written; the worker then hands its connection to the context's LingeringConnections for the
// linger and takes the next hub at once. Each exchange is logged (Info) with its outcome. Every method but the
// destructor may be called from the GUI thread and never blocks on the worker.
class HubWorker {
public:
    explicit HubWorker(WorkerContext& context);
    // Terminates, wakes and joins: never on the GUI thread while the worker may wait for it, i.e. only after
    // Finished() or after the GuiThread has been closed.
    ~HubWorker();
    HubWorker(const HubWorker&) = delete;
    HubWorker& operator=(const HubWorker&) = delete;

    // Hands over run number run, whose hubs come from the context's connector, and sets Active. Wake() starts the
    // work.
    void Activate(uint64_t run);
    // Clears Active and sets Abandoned; the exchange under way is cut short and not counted. Once it returns, the
    // worker takes no further hub from the queue.
    void Deactivate();
    void Wake() { WakeEvent.Set(); }
    // Asks the thread to end: cuts the exchange under way short and wakes it.
    void Terminate();
    // The thread has ended; joining it is then immediate.
    bool Finished() const { return m_finished.load(); }

    AutoResetEvent WakeEvent;
    std::atomic<bool> Active{false};
    std::atomic<bool> Abandoned{false};

private:
    // What the worker does after a hub.
    enum class AfterHub { Next, Stop, GuiClosed };

    void Execute();
    std::optional<HubTicket> TakeHub();
    AfterHub SearchNmdcHub(const HubTicket& ticket, const std::function<bool()>& stillWanted);
    AfterHub SearchAdcHub(const HubTicket& ticket, const std::function<bool()>& stillWanted);
    // Whether an ended exchange is still to be counted, or what to do instead.
    std::optional<AfterHub> Unwanted(bool givenUp);
    // Counts the hub, keeps its outcome, hands a searched hub over for the linger (an ADC hub with the users it
    // announced) and updates the window; false when the GUI thread has closed.
    bool Finish(const HubTicket& ticket, HubOutcome outcome, AdcHubUsers adcUsers = {});
    // Fails a hub an earlier run searched moments ago without contacting it.
    AfterHub SkipHub(const HubTicket& ticket);
    // Hands the searched hub's connection over for the linger; in a passive run the $SR lines (NMDC) or results
    // (ADC) it relays meanwhile go to the GUI thread in batches.
    void LingerOnNmdcHub(const HubTicket& ticket);
    void LingerOnAdcHub(const HubTicket& ticket, AdcHubUsers users);
    // The linger's end: the stay of a passive run, else the short one.
    std::chrono::steady_clock::time_point LingerUntil(const HubTicket& ticket) const;

    WorkerContext& m_context;
    TcpClient Client;
    std::atomic<bool> Terminated{false};
    std::atomic<bool> m_finished{false};
    // Guards the run hand-over, so that Deactivate and Terminate fence off TakeHub.
    std::mutex m_runLock;
    uint64_t m_run = 0;
    std::thread m_thread;
};
