#pragma once

#include <QObject>

#include <array>
#include <csignal>
#include <functional>

class QSocketNotifier;

// Turns SIGTERM and SIGINT into a call on the GUI thread, so that the program can end the way closing its window
// does instead of dying with a refresh's temporary file left behind. The handler only writes a byte to a pipe
// (all a signal handler may safely do); a socket notifier reads it in the event loop. The handlers are installed
// with SA_RESETHAND: a second signal before the program has ended kills it at once. One instance at a time; the
// destructor restores the handlers that were there before.
class TerminationSignals : public QObject {
    Q_OBJECT

public:
    explicit TerminationSignals(std::function<void()> onSignal, QObject* parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

private:
    void OnReadable();

    std::function<void()> m_onSignal;
    int m_pipe[2] = {-1, -1};
    QSocketNotifier* m_notifier = nullptr;
    std::array<struct sigaction, 2> m_previous{};  // SIGTERM's, then SIGINT's
};
