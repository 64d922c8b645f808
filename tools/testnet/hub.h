#pragma once

#include <netinet/in.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "event_loop.h"
#include "line_connection.h"
#include "network_plan.h"
#include "rng.h"
#include "udp_responder.h"

// One running NMDC hub of the simulated network, behaving as its HubKind says, with its simulated users answering
// the searches it passes on. Lives on the loop thread; must be destroyed before the loop.
class Hub {
public:
    // Every message of a Slow hub comes this much later.
    static constexpr std::chrono::milliseconds SlowDelay{3000};
    // A SupportsFirst hub passes each search on after up to this delay.
    static constexpr std::chrono::milliseconds MaxForwardDelay{1000};
    // A StrictKey hub passes the searches on in batches at this interval.
    static constexpr std::chrono::milliseconds BatchInterval{1400};
    // Users answer a passed-on search after up to this delay, as if across a real network.
    static constexpr std::chrono::milliseconds MaxAnswerDelay{250};

    // Takes ownership of listenFd, a listening socket. latency delays every message the hub sends.
    Hub(EventLoop& loop, const NetworkPlan& plan, std::size_t index, int listenFd, UdpResponder& responder,
        std::chrono::milliseconds latency);
    ~Hub();
    Hub(const Hub&) = delete;
    Hub& operator=(const Hub&) = delete;

    // "127.0.0.1:port", as the hub names itself in search results.
    const std::string& Address() const { return m_address; }
    // Where a Redirect hub sends its users.
    void SetRedirectTarget(std::string address) { m_redirectTarget = std::move(address); }
    // Serves every later connection over TLS with this context (an SSL_CTX that outlives the hub).
    void ServeTls(struct ssl_ctx_st* context) { m_tls = context; }

private:
    struct Session {
        std::unique_ptr<LineConnection> connection;
        std::string lock;
        std::string nick;
        bool sentSupports = false;
        bool noHello = false;
        bool keyAccepted = false;
        bool validated = false;
        bool sentMyInfo = false;
        bool myInfoEchoed = false;
    };
    using SessionStep = std::function<void(Session&)>;

    void Accept();
    void Greet(uint64_t id);
    void OnMessage(uint64_t id, std::string_view message);
    void OnKey(uint64_t id, Session& session, std::string_view key);
    void OnValidateNick(uint64_t id, Session& session, std::string_view nick);
    void OnMyInfo(uint64_t id, Session& session, std::string_view message);
    void OnSearch(uint64_t id, Session& session, std::string_view message);
    // Sends text after the hub's latency, then runs then (if the client is still there).
    void Reply(uint64_t id, std::string text, SessionStep then = {});
    void ReplyAndClose(uint64_t id, std::string text);
    void Disconnect(uint64_t id);
    void Forget(uint64_t id);
    void StartBatchTimer(std::chrono::milliseconds delay);
    void PassOn(std::string_view message);
    void Answer(std::size_t user, const std::vector<SearchMatcher>& matchers, const sockaddr_in& target);
    void PassOnPassive(const SearchRequest& request);
    void Relay(std::size_t user, const std::vector<SearchMatcher>& matchers, const std::string& searcher);
    std::string MakeLock();

    EventLoop& m_loop;
    const NetworkPlan& m_plan;
    const HubPlan& m_hub;
    int m_listenFd;
    UdpResponder& m_responder;
    std::chrono::milliseconds m_latency;
    Rng m_rng;
    std::string m_address;
    std::string m_redirectTarget;
    struct ssl_ctx_st* m_tls = nullptr;
    std::unordered_map<uint64_t, std::unique_ptr<Session>> m_sessions;
    uint64_t m_nextSession = 1;
    // StrictKey only: searches waiting for the next batch, with the session that sent each.
    std::vector<std::pair<uint64_t, std::string>> m_batch;
    uint64_t m_batchTimer = 0;
};
