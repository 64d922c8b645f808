#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "engine/net/router_mapping.h"
#include "engine/sys/gui_thread.h"

class PortMapper;

// Maps each run's port on the home router on a thread of its own, so that a slow router never holds the GUI thread,
// and hands the outcome back to the GUI thread. Requests are served one at a time, in order. GUI thread.
class RunMappingThread {
public:
    // The mapping, or why there is none.
    using Done = std::function<void(const std::optional<RouterMapping>& mapping, const std::string& problem)>;

    RunMappingThread(GuiThread& gui, std::shared_ptr<PortMapper> mapper, std::chrono::milliseconds discoveryGrace);
    // Cancel(); a router call under way is aborted (what it maps then lapses with its lease), so this never waits on
    // the router.
    ~RunMappingThread();
    RunMappingThread(const RunMappingThread&) = delete;
    RunMappingThread& operator=(const RunMappingThread&) = delete;

    // Waits up to the grace for a router search still under way (a slow router must not hold the run: it goes
    // passive, a later one may find the router ready), then maps listenPort; done then runs on the GUI thread,
    // unless Cancel or the next Map came first. A mapping nobody takes any more is removed again.
    void Map(uint16_t listenPort, Done done);
    void Cancel();
    bool Pending() const { return static_cast<bool>(m_done); }

    struct Shared;

private:
    std::shared_ptr<Shared> m_shared;
    std::thread m_thread;
    Done m_done;  // the request still waited for
};
