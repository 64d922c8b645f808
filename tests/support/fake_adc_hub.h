#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/loopback_listener.h"

// What a fake ADC hub answers to each client message, and whether it then closes. The client's BINF is echoed
// after onInfo when echoInfo is set, as hubs end their user list with it.
struct FakeAdcHubScript {
    std::string onSupports = "ISUP ADBASE ADTIGR\nISID AAAB\nIINF CT32 NIFake\\shub\n";
    std::string onInfo;
    bool echoInfo = true;
    std::string onSearch;
    bool closeAfterSupports = false;
    bool closeAfterInfo = false;
    bool closeAfterSearch = true;
};

// A scripted ADC hub on 127.0.0.1 (port 0), one connection at a time on a thread of its own, recording every byte
// each client sent. Stops and joins on destruction.
class FakeAdcHub {
public:
    explicit FakeAdcHub(FakeAdcHubScript script);
    ~FakeAdcHub();
    FakeAdcHub(const FakeAdcHub&) = delete;
    FakeAdcHub& operator=(const FakeAdcHub&) = delete;

    uint16_t Port() const { return m_listener.Port(); }
    // The bytes of each connection that has ended, in order; waits up to timeout for count of them.
    std::vector<std::string> Finished(std::size_t count, std::chrono::milliseconds timeout) const;

private:
    void Serve();
    void Answer(int client);
    bool WaitReadable(int fd) const;

    const FakeAdcHubScript m_script;
    LoopbackListener m_listener;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<std::string> m_finished;
    std::thread m_thread;
};
