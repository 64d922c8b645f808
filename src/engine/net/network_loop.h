#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

// One thread that waits on many sockets at once (epoll) and runs timers: for connections that only wait, so that
// waiting holds no thread of its own. Handlers and timer tasks run on the loop thread, one at a time; they must not
// block for long, since every other connection waits meanwhile.
class NetworkLoop {
public:
    using Clock = std::chrono::steady_clock;
    // Receives the epoll events (EPOLLIN, EPOLLOUT, EPOLLERR, EPOLLHUP) the socket is ready for.
    using SocketHandler = std::function<void(uint32_t events)>;
    using TimerId = uint64_t;

    // Starts the loop thread.
    NetworkLoop();
    // Stop().
    ~NetworkLoop();
    NetworkLoop(const NetworkLoop&) = delete;
    NetworkLoop& operator=(const NetworkLoop&) = delete;

    // Not on the loop thread: stops and joins it; tasks posted but not yet run, later ones and timers not yet due
    // are dropped unrun. Once is enough; later calls return at once.
    void Stop();
    // Any thread: runs task on the loop thread soon, in the order of posting.
    void Post(std::function<void()> task);
    bool OnLoopThread() const { return std::this_thread::get_id() == m_thread.get_id(); }

    // Loop thread only. Watches socket (owned by the caller) for events; false when epoll refuses it.
    bool Watch(int socket, uint32_t events, SocketHandler handler);
    void Change(int socket, uint32_t events);
    // Stops watching socket before the caller closes it; no event of it reaches its handler after this, even one
    // already collected in the same round.
    void Forget(int socket);
    // Runs task at when (at once if past), unless cancelled first.
    TimerId RunAt(Clock::time_point when, std::function<void()> task);
    void Cancel(TimerId timer);

private:
    struct Watched {
        uint64_t key;
        SocketHandler handler;
    };

    void Run();
    void RunPosted();
    void RunDueTimers();
    int MillisecondsToNextTimer() const;

    int m_epoll = -1;
    int m_wakeFd = -1;  // eventfd: readable while tasks are posted or the loop is to stop
    std::mutex m_postLock;
    std::vector<std::function<void()>> m_posted;
    std::atomic<bool> m_stopping{false};
    // Loop thread only. Keys differ from sockets so that an event collected for a forgotten socket, whose number a
    // new socket may already reuse, finds nothing.
    uint64_t m_nextKey = 1;
    std::unordered_map<int, Watched> m_watched;
    std::unordered_map<uint64_t, int> m_socketOfKey;
    TimerId m_nextTimer = 1;
    using TimerOrder = std::multimap<Clock::time_point, std::pair<TimerId, std::function<void()>>>;
    TimerOrder m_timerOrder;
    std::unordered_map<TimerId, TimerOrder::iterator> m_timers;
    std::thread m_thread;
};
