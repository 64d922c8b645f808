#include "engine/net/port_mapper.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "engine/net/natpmp_gateway.h"
#include "engine/net/upnp_gateway.h"

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

// How long destruction waits for an idle worker to end before leaving it to end on its own.
constexpr milliseconds ExitGrace{100};
// A failed renewal is tried again after this while the old lease may still hold.
constexpr std::chrono::seconds RenewRetry{60};

constexpr char Stopped[] = "stopped";

}  // namespace

// Everything the worker thread touches; it lives as long as the mapper or the worker, whichever ends later.
struct PortMapper::Core {
    explicit Core(PortMapperConfig settings)
        : config(std::move(settings)), wakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~Core() {
        if (wakeFd >= 0) close(wakeFd);
    }

    // Runs work on the worker and waits for it up to CallTimeout; false when it did not finish in time or the
    // mapper was stopped. work must not touch the caller's stack: the caller may leave before it ends.
    bool RunOnWorker(std::function<void()> work);
    void Loop();
    bool Aborted() const;

    // The steps, on the worker thread.
    void Discover();
    std::unique_ptr<UpnpGateway> FindUpnp(std::string& externalAddress, std::string& problem) const;
    std::unique_ptr<NatPmpGateway> FindNatPmp(std::string& externalAddress, std::string& problem) const;
    std::optional<RouterMapping> Map(uint16_t internalPort, std::string& error);
    std::optional<RouterMapping> MapWith(RouterProtocol protocol, uint16_t internalPort, std::string& error);
    void Unmap();
    void Renew();
    void Record(const std::optional<RouterMapping>& mapping, const std::string& problem);

    const PortMapperConfig config;
    const int wakeFd;  // readable from Abort on; ends the NAT-PMP waits

    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::deque<std::function<void()>> jobs;
    bool discoveryQueued = false;
    bool aborted = false;
    bool quit = false;
    bool workerDone = false;
    RouterStatus status;
    std::optional<Clock::time_point> renewAt;

    // Worker thread only.
    std::unique_ptr<UpnpGateway> upnp;
    std::unique_ptr<NatPmpGateway> natPmp;
};

bool PortMapper::Core::Aborted() const {
    std::lock_guard lock(mutex);
    return aborted;
}

bool PortMapper::Core::RunOnWorker(std::function<void()> work) {
    auto done = std::make_shared<bool>(false);
    std::unique_lock lock(mutex);
    if (aborted) return false;
    jobs.push_back([this, work = std::move(work), done] {
        if (!Aborted()) work();
        std::lock_guard guard(mutex);
        *done = true;
        changed.notify_all();
    });
    changed.notify_all();
    return changed.wait_for(lock, config.CallTimeout, [&] { return *done || aborted; }) && *done;
}

void PortMapper::Core::Loop() {
    std::unique_lock lock(mutex);
    while (true) {
        if (!jobs.empty()) {
            std::function<void()> job = std::move(jobs.front());
            jobs.pop_front();
            lock.unlock();
            job();
            lock.lock();
        } else if (quit) {
            break;
        } else if (renewAt && !aborted && Clock::now() >= *renewAt) {
            lock.unlock();
            Renew();
            lock.lock();
        } else if (renewAt && !aborted) {
            changed.wait_until(lock, *renewAt);
        } else {
            changed.wait(lock);
        }
    }
    workerDone = true;
    changed.notify_all();
}

std::unique_ptr<UpnpGateway> PortMapper::Core::FindUpnp(std::string& externalAddress, std::string& problem) const {
    auto gateway = std::make_unique<UpnpGateway>();
    problem = config.UpnpDescriptionUrl.empty() ? gateway->Discover(config.SsdpListen)
                                                : gateway->Open(config.UpnpDescriptionUrl);
    if (!problem.empty()) return nullptr;
    const ExternalAddressAnswer answer = gateway->ExternalAddress();
    problem = answer.Error;
    externalAddress = answer.Address;
    return problem.empty() ? std::move(gateway) : nullptr;
}

std::unique_ptr<NatPmpGateway> PortMapper::Core::FindNatPmp(std::string& externalAddress, std::string& problem) const {
    auto gateway = std::make_unique<NatPmpGateway>(wakeFd);
    problem = gateway->Open(config.NatPmpGateway);
    if (!problem.empty()) return nullptr;
    const ExternalAddressAnswer answer = gateway->ExternalAddress(Clock::now() + config.NatPmpWait);
    problem = answer.Error;
    externalAddress = answer.Address;
    return problem.empty() ? std::move(gateway) : nullptr;
}

void PortMapper::Core::Discover() {
    std::string natPmpAddress, natPmpProblem = "off", upnpAddress, upnpProblem = "off";
    // Both are asked at once: the SSDP listening period would otherwise come on top of the NAT-PMP wait.
    std::thread natPmpSearch;
    if (config.UseNatPmp) natPmpSearch = std::thread([&] { natPmp = FindNatPmp(natPmpAddress, natPmpProblem); });
    if (config.UseUpnp) upnp = FindUpnp(upnpAddress, upnpProblem);
    if (natPmpSearch.joinable()) natPmpSearch.join();

    std::lock_guard lock(mutex);
    status.DiscoveryFinished = true;
    if (upnp) {
        status.Protocol = RouterProtocol::Upnp;
        status.ExternalAddress = upnpAddress;
    } else if (natPmp) {
        status.Protocol = RouterProtocol::NatPmp;
        status.ExternalAddress = natPmpAddress;
    } else {
        status.Problem = "UPnP: " + upnpProblem + "; NAT-PMP: " + natPmpProblem;
    }
    changed.notify_all();
}

std::optional<RouterMapping> PortMapper::Core::MapWith(RouterProtocol protocol, uint16_t internalPort,
                                                       std::string& error) {
    const auto deadline = Clock::now() + config.CallTimeout;
    PortMappingAnswer granted;
    ExternalAddressAnswer external;
    if (protocol == RouterProtocol::Upnp) {
        granted = upnp->MapUdp(internalPort, internalPort, config.Lease, config.Description);
        if (granted.Error.empty()) external = upnp->ExternalAddress();
        // A port nobody can be told about is no use; it goes at once rather than with its lease.
        if (granted.Error.empty() && !external.Error.empty()) upnp->UnmapUdp(granted.ExternalPort);
    } else {
        granted = natPmp->MapUdp(internalPort, internalPort, config.Lease, deadline);
        if (granted.Error.empty()) external = natPmp->ExternalAddress(deadline);
        if (granted.Error.empty() && !external.Error.empty()) natPmp->UnmapUdp(internalPort, deadline);
    }
    error = granted.Error.empty() ? external.Error : granted.Error;
    if (!error.empty()) {
        error = std::string(RouterProtocolName(protocol)) + ": " + error;
        return std::nullopt;
    }
    return RouterMapping{protocol, external.Address, internalPort, granted.ExternalPort, granted.Lease};
}

std::optional<RouterMapping> PortMapper::Core::Map(uint16_t internalPort, std::string& error) {
    std::optional<RouterMapping> current;
    {
        std::lock_guard lock(mutex);
        current = status.Mapping;
    }
    if (current && current->InternalPort != internalPort) Unmap();
    error.clear();
    std::optional<RouterMapping> mapping;
    // The preferred gateway first, then the other when it answered too.
    for (RouterProtocol protocol : {RouterProtocol::Upnp, RouterProtocol::NatPmp}) {
        if (mapping || (protocol == RouterProtocol::Upnp ? !upnp : !natPmp)) continue;
        std::string failure;
        mapping = MapWith(protocol, internalPort, failure);
        if (!failure.empty()) error += (error.empty() ? "" : "; ") + failure;
    }
    if (!upnp && !natPmp) {
        std::lock_guard lock(mutex);
        error = "no router found (" + status.Problem + ")";
        return std::nullopt;
    }
    Record(mapping, mapping ? "" : error);
    if (mapping) error.clear();
    return mapping;
}

void PortMapper::Core::Record(const std::optional<RouterMapping>& mapping, const std::string& problem) {
    std::lock_guard lock(mutex);
    status.Problem = problem;
    status.Mapping = mapping;
    renewAt.reset();
    if (!mapping) return;
    status.Protocol = mapping->Protocol;
    status.ExternalAddress = mapping->ExternalAddress;
    if (mapping->Lease.count() > 0)
        renewAt = Clock::now() + std::chrono::duration_cast<milliseconds>(mapping->Lease) / 2;
}

void PortMapper::Core::Renew() {
    std::optional<RouterMapping> current;
    {
        std::lock_guard lock(mutex);
        current = status.Mapping;
    }
    if (!current) return;
    std::string error;
    const std::optional<RouterMapping> renewed = MapWith(current->Protocol, current->InternalPort, error);
    if (renewed) {
        Record(renewed, "");
        return;
    }
    std::lock_guard lock(mutex);
    status.Problem = "renewal failed: " + error;
    renewAt = Clock::now() + RenewRetry;
}

void PortMapper::Core::Unmap() {
    std::optional<RouterMapping> current;
    {
        std::lock_guard lock(mutex);
        current = status.Mapping;
    }
    if (!current) return;
    std::string error;
    if (current->Protocol == RouterProtocol::Upnp)
        error = upnp->UnmapUdp(current->ExternalPort);
    else
        error = natPmp->UnmapUdp(current->InternalPort, Clock::now() + config.CallTimeout);
    // Forgotten either way: a mapping the router did not hear about ends with its lease.
    Record(std::nullopt, error.empty() ? "" : "removal failed: " + error);
}

PortMapper::PortMapper(PortMapperConfig config) : m_core(std::make_shared<Core>(std::move(config))) {
    m_worker = std::thread([core = m_core] { core->Loop(); });
}

PortMapper::~PortMapper() {
    RemoveMapping();
    Abort();
    std::unique_lock lock(m_core->mutex);
    m_core->quit = true;
    m_core->changed.notify_all();
    const bool ended = m_core->changed.wait_for(lock, ExitGrace, [this] { return m_core->workerDone; });
    lock.unlock();
    if (ended)
        m_worker.join();
    else
        m_worker.detach();
}

void PortMapper::StartDiscovery() {
    std::lock_guard lock(m_core->mutex);
    if (m_core->discoveryQueued || m_core->aborted) return;
    m_core->discoveryQueued = true;
    m_core->status.DiscoveryStarted = true;
    m_core->jobs.push_back([core = m_core.get()] {
        if (!core->Aborted()) core->Discover();
    });
    m_core->changed.notify_all();
}

bool PortMapper::WaitForDiscovery(milliseconds limit) const {
    std::unique_lock lock(m_core->mutex);
    m_core->changed.wait_for(lock, limit, [this] { return m_core->status.DiscoveryFinished || m_core->aborted; });
    return m_core->status.DiscoveryFinished;
}

RouterStatus PortMapper::Status() const {
    std::lock_guard lock(m_core->mutex);
    return m_core->status;
}

std::string PortMapper::StatusLine() const {
    const RouterStatus status = Status();
    if (!status.DiscoveryFinished) return status.DiscoveryStarted ? "Looking for a router..." : "No router looked for";
    if (!status.Protocol) return "No router found (" + status.Problem + ")";
    std::optional<uint16_t> mappedPort;
    if (status.Mapping) mappedPort = status.Mapping->ExternalPort;
    return RouterLine(*status.Protocol, status.ExternalAddress, mappedPort);
}

std::optional<RouterMapping> PortMapper::MapUdpPort(uint16_t internalPort, std::string& error) {
    StartDiscovery();
    struct Outcome {
        std::optional<RouterMapping> mapping;
        std::string error;
    };
    auto outcome = std::make_shared<Outcome>();
    if (!m_core->RunOnWorker([core = m_core.get(), outcome, internalPort] {
            outcome->mapping = core->Map(internalPort, outcome->error);
        })) {
        error = m_core->Aborted() ? Stopped : "the router did not answer in time";
        return std::nullopt;
    }
    error = outcome->error;
    return outcome->mapping;
}

void PortMapper::RemoveMapping() {
    {
        std::lock_guard lock(m_core->mutex);
        if (!m_core->status.Mapping) return;
    }
    m_core->RunOnWorker([core = m_core.get()] { core->Unmap(); });
}

void PortMapper::Abort() {
    std::lock_guard lock(m_core->mutex);
    if (m_core->aborted) return;
    m_core->aborted = true;
    const uint64_t one = 1;
    (void)!write(m_core->wakeFd, &one, sizeof one);
    m_core->changed.notify_all();
}
