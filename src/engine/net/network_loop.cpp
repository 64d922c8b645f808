#include "engine/net/network_loop.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>

namespace {

// The key of the loop's own wake-up descriptor; socket keys start above it.
constexpr uint64_t WakeKey = 0;
constexpr int MaxEventsPerRound = 256;

void Signal(int eventFd) {
    const uint64_t one = 1;
    [[maybe_unused]] const auto written = write(eventFd, &one, sizeof one);
}

}  // namespace

NetworkLoop::NetworkLoop() : m_epoll(epoll_create1(EPOLL_CLOEXEC)), m_wakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = WakeKey;
    epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_wakeFd, &event);
    m_thread = std::thread([this] { Run(); });
}

NetworkLoop::~NetworkLoop() {
    Stop();
    close(m_wakeFd);
    close(m_epoll);
}

void NetworkLoop::Stop() {
    m_stopping = true;
    Signal(m_wakeFd);
    if (m_thread.joinable()) m_thread.join();
}

void NetworkLoop::Post(std::function<void()> task) {
    {
        std::lock_guard guard(m_postLock);
        m_posted.push_back(std::move(task));
    }
    Signal(m_wakeFd);
}

bool NetworkLoop::Watch(int socket, uint32_t events, SocketHandler handler) {
    const uint64_t key = m_nextKey++;
    epoll_event event{};
    event.events = events;
    event.data.u64 = key;
    if (epoll_ctl(m_epoll, EPOLL_CTL_ADD, socket, &event) != 0) return false;
    m_watched[socket] = Watched{key, std::move(handler)};
    m_socketOfKey[key] = socket;
    return true;
}

void NetworkLoop::Change(int socket, uint32_t events) {
    const auto watched = m_watched.find(socket);
    if (watched == m_watched.end()) return;
    epoll_event event{};
    event.events = events;
    event.data.u64 = watched->second.key;
    epoll_ctl(m_epoll, EPOLL_CTL_MOD, socket, &event);
}

void NetworkLoop::Forget(int socket) {
    const auto watched = m_watched.find(socket);
    if (watched == m_watched.end()) return;
    epoll_ctl(m_epoll, EPOLL_CTL_DEL, socket, nullptr);
    m_socketOfKey.erase(watched->second.key);
    m_watched.erase(watched);
}

NetworkLoop::TimerId NetworkLoop::RunAt(Clock::time_point when, std::function<void()> task) {
    const TimerId timer = m_nextTimer++;
    m_timers[timer] = m_timerOrder.emplace(when, std::make_pair(timer, std::move(task)));
    return timer;
}

void NetworkLoop::Cancel(TimerId timer) {
    const auto found = m_timers.find(timer);
    if (found == m_timers.end()) return;
    m_timerOrder.erase(found->second);
    m_timers.erase(found);
}

void NetworkLoop::RunPosted() {
    uint64_t count = 0;
    [[maybe_unused]] const auto readBytes = read(m_wakeFd, &count, sizeof count);
    std::vector<std::function<void()>> tasks;
    {
        std::lock_guard guard(m_postLock);
        tasks.swap(m_posted);
    }
    for (auto& task : tasks) task();
}

void NetworkLoop::RunDueTimers() {
    const auto now = Clock::now();
    // Only timers due now: one a task sets for "now" waits for the next round, so a task cannot starve the sockets.
    std::vector<std::function<void()>> due;
    while (!m_timerOrder.empty() && m_timerOrder.begin()->first <= now) {
        auto first = m_timerOrder.begin();
        m_timers.erase(first->second.first);
        due.push_back(std::move(first->second.second));
        m_timerOrder.erase(first);
    }
    for (auto& task : due) task();
}

int NetworkLoop::MillisecondsToNextTimer() const {
    if (m_timerOrder.empty()) return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(m_timerOrder.begin()->first - Clock::now());
    return static_cast<int>(std::clamp<int64_t>(left.count(), 0, std::numeric_limits<int>::max()));
}

void NetworkLoop::Run() {
    epoll_event events[MaxEventsPerRound];
    while (!m_stopping) {
        const int ready = epoll_wait(m_epoll, events, MaxEventsPerRound, MillisecondsToNextTimer());
        if (ready < 0 && errno != EINTR) break;
        for (int i = 0; i < ready && !m_stopping; ++i) {
            const uint64_t key = events[i].data.u64;
            if (key == WakeKey) {
                RunPosted();
                continue;
            }
            const auto socket = m_socketOfKey.find(key);
            if (socket == m_socketOfKey.end()) continue;
            // A copy: the handler may forget its own socket, which destroys the stored one.
            const SocketHandler handler = m_watched[socket->second].handler;
            handler(events[i].events);
        }
        if (!m_stopping) RunDueTimers();
    }
}
