#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <unordered_map>

// A single-threaded epoll loop with one-shot timers. Every callback runs on the thread inside Run(); only Stop()
// may be called from another thread (or a signal-free context such as a test's main thread).
class EventLoop {
public:
    using Clock = std::chrono::steady_clock;
    using IoHandler = std::function<void(uint32_t events)>;
    using Task = std::function<void()>;

    EventLoop();
    ~EventLoop();
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    bool Ok() const { return m_epoll >= 0 && m_wake >= 0; }
    // The loop does not own fd; Unwatch it before closing it.
    void Watch(int fd, uint32_t events, IoHandler handler);
    void Modify(int fd, uint32_t events);
    void Unwatch(int fd);

    // Runs task once after delay; tasks with equal deadlines run in the order they were scheduled.
    uint64_t After(std::chrono::milliseconds delay, Task task);
    void Cancel(uint64_t timerId);

    // Also ends Run() on SIGINT and SIGTERM (which are then blocked for the whole process).
    bool StopOnSignals();
    void Run();
    // Thread-safe.
    void Stop();

private:
    void RunDueTimers();
    int MillisecondsToNextTimer() const;

    int m_epoll = -1;
    int m_wake = -1;
    int m_signals = -1;
    std::atomic<bool> m_stopped{false};
    std::unordered_map<int, std::shared_ptr<IoHandler>> m_handlers;
    std::map<std::pair<Clock::time_point, uint64_t>, Task> m_timers;
    std::unordered_map<uint64_t, Clock::time_point> m_timerDeadlines;
    uint64_t m_nextTimerId = 1;
};
