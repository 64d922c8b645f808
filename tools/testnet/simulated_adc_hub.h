#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/adc/adc_messages.h"
#include "event_loop.h"
#include "line_connection.h"
#include "network_plan.h"
#include "rng.h"
#include "search_matcher.h"
#include "udp_responder.h"

// One running ADC hub of the simulated network: lists its simulated users to each client that logs in, and passes
// searches on to them; they answer an active searcher with URES datagrams to its UDP port and a passive one with
// DRES through the hub. Lives on the loop thread; must be destroyed before the loop.
class SimulatedAdcHub {
public:
    // Takes ownership of listenFd, a listening socket. latency delays every message the hub sends.
    SimulatedAdcHub(EventLoop& loop, const NetworkPlan& plan, std::size_t index, int listenFd, UdpResponder& responder,
                    std::chrono::milliseconds latency);
    ~SimulatedAdcHub();
    SimulatedAdcHub(const SimulatedAdcHub&) = delete;
    SimulatedAdcHub& operator=(const SimulatedAdcHub&) = delete;

    // A BSCH read as the network's users read a search: words, TTH, type (by the extensions) and one size limit, the
    // lower where both are given, as an NMDC search carries it; nothing for a message that is not a search.
    static std::optional<SearchRequest> ReadSearch(const AdcMessage& message);
    // Serves every later connection over TLS with this context (an SSL_CTX that outlives the hub).
    void ServeTls(struct ssl_ctx_st* context) { m_tls = context; }

private:
    struct Session {
        std::unique_ptr<LineConnection> connection;
        std::string sid;
        bool listed = false;
        std::optional<sockaddr_in> udpTarget;  // where an active client wants its results
    };
    struct Search {
        std::string searcherSid;
        std::optional<sockaddr_in> udpTarget;
        std::string token;  // as the client wrote it, escaped
        std::vector<SearchMatcher> matchers;
    };

    void Accept();
    void OnLine(uint64_t id, std::string_view line);
    void OnInfo(uint64_t id, Session& session, const AdcMessage& message, std::string_view line);
    void OnSearch(Session& session, const AdcMessage& message);
    void Answer(std::size_t position, const Search& search);
    void Reply(uint64_t id, std::string text);
    void Forget(uint64_t id);

    EventLoop& m_loop;
    const NetworkPlan& m_plan;
    const HubPlan& m_hub;
    int m_listenFd;
    UdpResponder& m_responder;
    std::chrono::milliseconds m_latency;
    Rng m_rng;
    struct ssl_ctx_st* m_tls = nullptr;
    std::unordered_map<uint64_t, std::unique_ptr<Session>> m_sessions;
    uint64_t m_nextSession = 1;
};
