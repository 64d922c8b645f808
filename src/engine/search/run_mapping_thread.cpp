#include "engine/search/run_mapping_thread.h"

#include <condition_variable>
#include <mutex>

#include "engine/net/port_mapper.h"

namespace {

// How long destruction waits for a thread that was with the router when it was aborted.
constexpr std::chrono::milliseconds kExitGrace{100};

}  // namespace

// What the thread shares with its owner; it outlives the owner while a router call is under way.
struct RunMappingThread::Shared {
    Shared(GuiThread& guiThread, std::shared_ptr<PortMapper> portMapper, std::chrono::milliseconds grace)
        : gui(guiThread), mapper(std::move(portMapper)), discoveryGrace(grace) {}

    void Loop();

    GuiThread& gui;
    const std::shared_ptr<PortMapper> mapper;
    const std::chrono::milliseconds discoveryGrace;

    std::mutex mutex;
    std::condition_variable changed;
    std::optional<uint16_t> request;  // the port to map next
    uint64_t requestNumber = 0;       // counts the requests made
    bool busy = false;                // a request is with the router
    bool quit = false;

    RunMappingThread* owner = nullptr;  // GUI thread only; null once the owner has gone
};

void RunMappingThread::Shared::Loop() {
    std::unique_lock lock(mutex);
    while (true) {
        changed.wait(lock, [this] { return quit || request; });
        if (quit) return;
        const uint16_t port = *request;
        const uint64_t number = requestNumber;
        request.reset();
        busy = true;
        lock.unlock();

        std::string problem;
        std::optional<RouterMapping> mapping;
        mapper->StartDiscovery();
        if (mapper->WaitForDiscovery(discoveryGrace))
            mapping = mapper->MapUdpPort(port, problem);
        else
            problem = "still looking for a router";
        bool taken = false;
        gui.RunAndWait([&] {
            // A later request, Cancel or the owner's end makes this one stale.
            std::unique_lock guard(mutex);
            if (owner == nullptr || !owner->m_done || number != requestNumber) return;
            guard.unlock();
            taken = true;
            const Done done = std::move(owner->m_done);
            owner->m_done = nullptr;
            done(mapping, problem);
        });
        if (mapping && !taken) mapper->RemoveMapping();

        lock.lock();
        busy = false;
        changed.notify_all();
    }
}

RunMappingThread::RunMappingThread(GuiThread& gui, std::shared_ptr<PortMapper> mapper,
                                   std::chrono::milliseconds discoveryGrace)
    : m_shared(std::make_shared<Shared>(gui, std::move(mapper), discoveryGrace)) {
    m_shared->owner = this;
    m_thread = std::thread([shared = m_shared] { shared->Loop(); });
}

RunMappingThread::~RunMappingThread() {
    m_done = nullptr;
    m_shared->owner = nullptr;
    std::unique_lock lock(m_shared->mutex);
    m_shared->quit = true;
    m_shared->changed.notify_all();
    // A router call under way ends at once; the GUI step it may wait for then does nothing. When that step cannot
    // run now (this thread is busy here), the thread ends on its own once it has.
    if (m_shared->busy) m_shared->mapper->Abort();
    const bool ended = m_shared->changed.wait_for(lock, kExitGrace, [this] { return !m_shared->busy; });
    lock.unlock();
    if (ended)
        m_thread.join();
    else
        m_thread.detach();
}

void RunMappingThread::Map(uint16_t listenPort, Done done) {
    m_done = std::move(done);
    std::lock_guard lock(m_shared->mutex);
    m_shared->request = listenPort;
    ++m_shared->requestNumber;
    m_shared->changed.notify_all();
}

void RunMappingThread::Cancel() {
    m_done = nullptr;
    std::lock_guard lock(m_shared->mutex);
    m_shared->request.reset();
}
