#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>

// A DNS server on 127.0.0.1 (UDP, port 0) for name lookups in tests, so that no test asks a real name server.
// It answers an A question for a name it knows with its address, and any other with "no such name"; a silent one
// reads every question and never answers. Stops and joins on destruction.
class FakeNameServer {
public:
    // names: lower-case name → dotted IPv4 address.
    explicit FakeNameServer(std::map<std::string, std::string> names, bool silent = false);
    ~FakeNameServer();
    FakeNameServer(const FakeNameServer&) = delete;
    FakeNameServer& operator=(const FakeNameServer&) = delete;

    // "127.0.0.1:port", as TcpClient takes it.
    std::string Address() const;
    int Questions() const;
    // Waits until at least count questions have come; false at the deadline.
    bool WaitForQuestions(int count, std::chrono::milliseconds timeout) const;

private:
    void Serve();
    std::string Answer(const std::string& query) const;

    const std::map<std::string, std::string> m_names;
    const bool m_silent;
    int m_socket = -1;
    int m_wake[2] = {-1, -1};
    uint16_t m_port = 0;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_asked;
    int m_questions = 0;
    std::thread m_thread;
};
