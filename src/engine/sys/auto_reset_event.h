#pragma once

#include <condition_variable>
#include <mutex>

// An event that releases one waiter per Set and then resets itself; a Set with nobody waiting is kept for the next
// Wait. Thread-safe.
class AutoResetEvent {
public:
    void Set();
    // Blocks until the event is set, then resets it.
    void Wait();

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_signalled = false;
};
