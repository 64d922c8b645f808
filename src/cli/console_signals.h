#pragma once

#include <pthread.h>
#include <signal.h>

#include <chrono>

// The exit code of a command that an interruption ended, as shells report a death by SIGINT.
inline constexpr int kInterruptedExitCode = 130;

// Lets the console program's main thread sleep until either the user interrupts (Ctrl+C, or SIGTERM) or a worker
// wakes it. Create it on the main thread before any other thread starts: the signals are blocked there and in every
// thread started later, so they reach only Wait(), never a default handler.
class ConsoleSignals {
public:
    enum class Event { Woken, Interrupted, TimedOut };

    ConsoleSignals();
    // Drops a wake-up nobody waited for, then restores the signal mask. No Wake() may follow.
    ~ConsoleSignals();
    ConsoleSignals(const ConsoleSignals&) = delete;
    ConsoleSignals& operator=(const ConsoleSignals&) = delete;

    // From any thread: ends the main thread's Wait(), or its next one.
    void Wake();
    // Main thread: blocks until a wake-up or an interruption.
    Event Wait();
    // The same for at most timeout.
    Event WaitFor(std::chrono::nanoseconds timeout);

private:
    pthread_t m_mainThread;
    sigset_t m_signals{};
    sigset_t m_previousMask{};
};
