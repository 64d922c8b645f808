#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// How to set up a real uhub for a test.
struct UhubSetup {
    std::string CertificatePem;  // with KeyPem: TLS offered beside plain ADC; empty: plain only
    std::string KeyPem;
    std::vector<std::string> RegisteredNicks;  // asked for a password at login
};

// Debian's uhub, a real ADC hub, run on 127.0.0.1 from a configuration written to a temporary folder. uhub cannot
// take a listening socket or report a port it chose, so it is given a port the kernel just handed out as free and
// started again on another should a process take that one first (uhub then exits with "Address already in use").
// Stopped (SIGTERM, then SIGKILL after a deadline) and its folder removed on destruction.
class UhubProcess {
public:
    explicit UhubProcess(const UhubSetup& setup);
    ~UhubProcess();
    UhubProcess(const UhubProcess&) = delete;
    UhubProcess& operator=(const UhubProcess&) = delete;

    // Whether uhub runs and listens; when not, Problem() says why (uhub missing, or its log).
    bool Running() const { return m_pid > 0; }
    const std::string& Problem() const { return m_problem; }
    uint16_t Port() const { return m_port; }
    std::string Log() const;

private:
    // Starts uhub on port and waits until it listens or exits; false when it exited (its log says why).
    bool Start(uint16_t port);
    void Stop();
    void WriteConfiguration(const UhubSetup& setup);

    std::string m_folder;
    uint16_t m_port = 0;
    int m_pid = -1;
    int m_pidFd = -1;
    std::string m_problem;
    mutable std::mutex m_mutex;
    std::condition_variable m_logChanged;
    std::string m_log;
    bool m_logEnded = false;
    std::thread m_logReader;
};
