#pragma once

#include <netinet/in.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>

// A NAT-PMP gateway on 127.0.0.1 (port 0) answering on a thread of its own: reports its external address, grants
// UDP mappings (the wished port, or the next one when that is taken) and deletes them, keeping a table of them.
// A silent gateway reads requests and never answers; a held one from Release on, beginning with the last request
// held. Stops and joins on destruction.
class FakeNatPmpGateway {
public:
    struct Options {
        std::string externalAddress = "198.51.100.4";
        std::set<uint16_t> takenPorts{};  // external ports another host holds
        bool silent = false;
        uint16_t mappingResult = 0;  // a result code for every mapping request (2: not authorized, ...)
        bool held = false;           // answers nothing until Release
    };
    struct Mapping {
        uint16_t externalPort = 0;
        uint32_t lifetime = 0;
    };

    explicit FakeNatPmpGateway(Options options);
    ~FakeNatPmpGateway();
    FakeNatPmpGateway(const FakeNatPmpGateway&) = delete;
    FakeNatPmpGateway& operator=(const FakeNatPmpGateway&) = delete;

    // "127.0.0.1:port", as the mapper's configuration takes it.
    std::string Address() const;
    // Mappings by internal port.
    std::map<uint16_t, Mapping> Mappings() const;
    int RequestCount() const;
    // A held gateway answers from now on.
    void Release();
    // Waits up to limit until count requests have come; true when they have.
    bool WaitForRequests(int count, std::chrono::milliseconds limit) const;

private:
    void Serve();
    std::string Answer(const unsigned char* request, std::size_t size);
    // False while held; the request is kept for Release.
    bool MayAnswer(const std::string& request, const sockaddr_in& peer);

    const Options m_options;
    int m_socket = -1;
    int m_wake = -1;
    uint16_t m_port = 0;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_requestCame;
    std::map<uint16_t, Mapping> m_mappings;
    int m_requests = 0;
    bool m_held = false;
    std::string m_heldRequest;
    sockaddr_in m_heldPeer{};
    std::thread m_thread;
};
