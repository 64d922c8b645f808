#include "event_loop.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <array>
#include <csignal>

EventLoop::EventLoop() {
    m_epoll = epoll_create1(EPOLL_CLOEXEC);
    m_wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (Ok()) {
        Watch(m_wake, EPOLLIN, [this](uint32_t) {
            uint64_t value = 0;
            while (read(m_wake, &value, sizeof value) > 0) {
            }
        });
    }
}

EventLoop::~EventLoop() {
    if (m_signals >= 0) close(m_signals);
    if (m_wake >= 0) close(m_wake);
    if (m_epoll >= 0) close(m_epoll);
}

void EventLoop::Watch(int fd, uint32_t events, IoHandler handler) {
    epoll_event event{};
    event.events = events;
    event.data.fd = fd;
    epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &event);
    m_handlers[fd] = std::make_shared<IoHandler>(std::move(handler));
}

void EventLoop::Modify(int fd, uint32_t events) {
    epoll_event event{};
    event.events = events;
    event.data.fd = fd;
    epoll_ctl(m_epoll, EPOLL_CTL_MOD, fd, &event);
}

void EventLoop::Unwatch(int fd) {
    epoll_ctl(m_epoll, EPOLL_CTL_DEL, fd, nullptr);
    m_handlers.erase(fd);
}

uint64_t EventLoop::After(std::chrono::milliseconds delay, Task task) {
    const uint64_t id = m_nextTimerId++;
    const auto deadline = Clock::now() + delay;
    m_timers.emplace(std::make_pair(deadline, id), std::move(task));
    m_timerDeadlines.emplace(id, deadline);
    return id;
}

void EventLoop::Cancel(uint64_t timerId) {
    const auto found = m_timerDeadlines.find(timerId);
    if (found == m_timerDeadlines.end()) return;
    m_timers.erase(std::make_pair(found->second, timerId));
    m_timerDeadlines.erase(found);
}

bool EventLoop::StopOnSignals() {
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGINT);
    sigaddset(&mask, SIGTERM);
    if (sigprocmask(SIG_BLOCK, &mask, nullptr) != 0) return false;
    m_signals = signalfd(-1, &mask, SFD_NONBLOCK | SFD_CLOEXEC);
    if (m_signals < 0) return false;
    Watch(m_signals, EPOLLIN, [this](uint32_t) { m_stopped = true; });
    return true;
}

void EventLoop::Run() {
    // OpenSSL writes with write(): a client that has left a TLS hub must not end the process with SIGPIPE.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    std::array<epoll_event, 64> events{};
    while (!m_stopped) {
        const int count =
            epoll_wait(m_epoll, events.data(), static_cast<int>(events.size()), MillisecondsToNextTimer());
        for (int i = 0; i < count && !m_stopped; ++i) {
            const auto found = m_handlers.find(events[static_cast<std::size_t>(i)].data.fd);
            if (found == m_handlers.end()) continue;
            // A copy keeps the handler alive while it unwatches its own descriptor.
            const std::shared_ptr<IoHandler> handler = found->second;
            (*handler)(events[static_cast<std::size_t>(i)].events);
        }
        RunDueTimers();
    }
}

void EventLoop::Stop() {
    m_stopped = true;
    const uint64_t one = 1;
    [[maybe_unused]] const auto written = write(m_wake, &one, sizeof one);
}

void EventLoop::RunDueTimers() {
    const auto now = Clock::now();
    while (!m_stopped && !m_timers.empty() && m_timers.begin()->first.first <= now) {
        auto first = m_timers.begin();
        Task task = std::move(first->second);
        m_timerDeadlines.erase(first->first.second);
        m_timers.erase(first);
        task();
    }
}

int EventLoop::MillisecondsToNextTimer() const {
    if (m_timers.empty()) return -1;
    const auto wait = m_timers.begin()->first.first - Clock::now();
    if (wait <= Clock::duration::zero()) return 0;
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(wait).count());
}
