#include "cli/console_signals.h"

#include <ctime>

namespace {

// Worker wake-ups travel as this signal, directed at the main thread only.
constexpr int kWakeSignal = SIGUSR1;

}  // namespace

ConsoleSignals::ConsoleSignals() : m_mainThread(pthread_self()) {
    sigemptyset(&m_signals);
    sigaddset(&m_signals, SIGINT);
    sigaddset(&m_signals, SIGTERM);
    sigaddset(&m_signals, kWakeSignal);
    pthread_sigmask(SIG_BLOCK, &m_signals, &m_previousMask);
}

ConsoleSignals::~ConsoleSignals() {
    sigset_t wake;
    sigemptyset(&wake);
    sigaddset(&wake, kWakeSignal);
    const timespec now{};
    while (sigtimedwait(&wake, nullptr, &now) == kWakeSignal) {
    }
    pthread_sigmask(SIG_SETMASK, &m_previousMask, nullptr);
}

void ConsoleSignals::Wake() {
    pthread_kill(m_mainThread, kWakeSignal);
}

ConsoleSignals::Event ConsoleSignals::Wait() {
    int signal = 0;
    while (sigwait(&m_signals, &signal) != 0) {
    }
    return signal == kWakeSignal ? Event::Woken : Event::Interrupted;
}

ConsoleSignals::Event ConsoleSignals::WaitFor(std::chrono::nanoseconds timeout) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(timeout);
    const timespec wait{static_cast<time_t>(seconds.count()), static_cast<long>((timeout - seconds).count())};
    const int signal = sigtimedwait(&m_signals, nullptr, &wait);
    if (signal < 0) return Event::TimedOut;
    return signal == kWakeSignal ? Event::Woken : Event::Interrupted;
}
