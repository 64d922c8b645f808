#include "hub.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>

#include "engine/nmdc/nmdc_text.h"
#include "socket_util.h"

namespace {

bool IsValidNick(std::string_view nick) {
    return !nick.empty() && nick.size() <= 64 && nick.find_first_of(" $|") == std::string_view::npos;
}

}  // namespace

Hub::Hub(EventLoop& loop, const NetworkPlan& plan, std::size_t index, int listenFd, UdpResponder& responder,
         std::chrono::milliseconds latency)
    : m_loop(loop),
      m_plan(plan),
      m_hub(plan.Hubs()[index]),
      m_listenFd(listenFd),
      m_responder(responder),
      m_latency(latency + (m_hub.kind == HubKind::Slow ? SlowDelay : std::chrono::milliseconds(0))),
      m_rng(m_hub.seed),
      m_address("127.0.0.1:" + std::to_string(LocalPort(listenFd))) {
    m_loop.Watch(m_listenFd, EPOLLIN, [this](uint32_t) { Accept(); });
    if (m_hub.kind == HubKind::StrictKey) {
        StartBatchTimer(std::chrono::milliseconds(m_rng.Below(static_cast<uint64_t>(BatchInterval.count()))));
    }
}

Hub::~Hub() {
    if (m_batchTimer != 0) m_loop.Cancel(m_batchTimer);
    m_sessions.clear();
    m_loop.Unwatch(m_listenFd);
    CloseSocket(m_listenFd);
}

void Hub::Accept() {
    for (;;) {
        const int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;
        if (m_hub.kind == HubKind::CloseAtOnce) {
            CloseSocket(fd);
            continue;
        }
        // Real hubs answer each message at once; without this, small replies wait for the client's delayed ACK.
        const int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        const uint64_t id = m_nextSession++;
        auto session = std::make_unique<Session>();
        session->connection = std::make_unique<LineConnection>(
            m_loop, fd, [this, id](std::string_view message) { OnMessage(id, message); }, [this, id] { Forget(id); },
            '|', m_tls);
        m_sessions.emplace(id, std::move(session));
        if (m_hub.kind != HubKind::Silent) Greet(id);
    }
}

void Hub::Greet(uint64_t id) {
    Session& session = *m_sessions.at(id);
    session.lock = MakeLock();
    Reply(id, "$Lock " + session.lock + " Pk=testnet" + std::to_string(m_rng.Between(1, 9)) + "|$HubName " +
                  m_hub.name + "|");
}

void Hub::OnMessage(uint64_t id, std::string_view message) {
    const auto found = m_sessions.find(id);
    if (found == m_sessions.end() || m_hub.kind == HubKind::Silent) return;
    Session& session = *found->second;
    auto argument = [message](std::string_view command) { return message.substr(command.size()); };
    if (message.starts_with("$Supports ")) {
        session.sentSupports = true;
        session.noHello = message.find(" NoHello") != std::string_view::npos;
        Reply(id, "$Supports NoHello NoGetINFO UserIP2|");
    } else if (message.starts_with("$Key ")) {
        OnKey(id, session, argument("$Key "));
    } else if (message.starts_with("$ValidateNick ")) {
        OnValidateNick(id, session, argument("$ValidateNick "));
    } else if (message.starts_with("$MyPass ") && m_hub.kind == HubKind::Password) {
        ReplyAndClose(id, "$BadPass|");
    } else if (message.starts_with("$MyINFO $ALL ")) {
        OnMyInfo(id, session, message);
    } else if (message.starts_with("$Search ")) {
        OnSearch(id, session, message);
    }
}

void Hub::OnKey(uint64_t id, Session& session, std::string_view key) {
    if (m_hub.kind == HubKind::StrictKey && key != LockToKey(session.lock, 5)) {
        Disconnect(id);
        return;
    }
    session.keyAccepted = true;
}

void Hub::OnValidateNick(uint64_t id, Session& session, std::string_view nick) {
    if (session.validated) return;
    if (m_hub.kind == HubKind::StrictKey && !session.keyAccepted) {
        Disconnect(id);
        return;
    }
    if (m_hub.kind == HubKind::Password) {
        Reply(id, "$GetPass|");
        return;
    }
    if (m_hub.kind == HubKind::Full) {
        ReplyAndClose(id, "<Hub-Security> This hub is full (500 users), please try again later.|$HubIsFull|");
        return;
    }
    if (m_hub.kind == HubKind::Redirect) {
        Reply(id, "<Hub-Security> This hub has moved to " + m_redirectTarget + "|$ForceMove " + m_redirectTarget + "|");
        return;
    }
    bool taken = m_hub.kind == HubKind::NickTaken || !IsValidNick(nick);
    for (const std::size_t user : m_hub.users) taken = taken || m_plan.Users()[user].Nick() == nick;
    if (taken) {
        ReplyAndClose(id, "$ValidateDenide " + std::string(nick) + "|");
        return;
    }
    session.validated = true;
    session.nick = std::string(nick);
    std::string hello;
    // Clients that support NoHello learn about the others from their $MyINFO instead.
    if (!session.noHello) {
        for (const std::size_t user : m_hub.users) hello += "$Hello " + m_plan.Users()[user].Nick() + "|";
    }
    hello += "$Hello " + session.nick + "|";
    if (m_hub.kind != HubKind::StrictKey) hello += "<Hub-Bot> Welcome to " + m_hub.name + ", " + session.nick + "!|";
    Reply(id, std::move(hello));
}

void Hub::OnMyInfo(uint64_t id, Session& session, std::string_view message) {
    if (!session.validated || !message.substr(13).starts_with(session.nick + " ")) return;
    if (m_hub.kind == HubKind::ShareRule) {
        ReplyAndClose(id, "<Hub-Security> Your share is below this hub's minimum of 50 GiB.|");
        return;
    }
    if (m_hub.kind != HubKind::StrictKey && session.lock.starts_with("EXTENDEDPROTOCOL") && !session.sentSupports) {
        Disconnect(id);
        return;
    }
    session.sentMyInfo = true;
    std::string list;
    if (session.noHello) {
        for (const std::size_t user : m_hub.users) list += m_plan.Users()[user].MyInfo() + "|";
    }
    Reply(id, list + std::string(message) + "|", [](Session& echoed) { echoed.myInfoEchoed = true; });
}

void Hub::OnSearch(uint64_t id, Session& session, std::string_view message) {
    if (m_hub.kind == HubKind::StrictKey) {
        if (session.myInfoEchoed) m_batch.emplace_back(id, std::string(message));
        return;
    }
    if (!session.sentMyInfo) {
        ReplyAndClose(id, "<Hub-Security> You can't search before you have sent your $MyINFO.|");
        return;
    }
    const auto delay = std::chrono::milliseconds(m_rng.Below(static_cast<uint64_t>(MaxForwardDelay.count()) + 1));
    m_loop.After(delay, [this, search = std::string(message)] { PassOn(search); });
}

void Hub::Reply(uint64_t id, std::string text, SessionStep then) {
    auto deliver = [this, id, text = std::move(text), then = std::move(then)] {
        const auto found = m_sessions.find(id);
        if (found == m_sessions.end() || !found->second->connection->IsOpen()) return;
        found->second->connection->Send(text);
        if (then) then(*found->second);
    };
    if (m_latency.count() == 0) {
        deliver();
    } else {
        m_loop.After(m_latency, std::move(deliver));
    }
}

void Hub::ReplyAndClose(uint64_t id, std::string text) {
    Reply(id, std::move(text), [](Session& session) { session.connection->CloseAfterSending(); });
}

void Hub::Disconnect(uint64_t id) {
    const auto found = m_sessions.find(id);
    if (found == m_sessions.end()) return;
    found->second->connection->Close();
    Forget(id);
}

void Hub::Forget(uint64_t id) {
    // Not at once: this may run inside the session's own connection callback.
    m_loop.After(std::chrono::milliseconds(0), [this, id] { m_sessions.erase(id); });
}

void Hub::StartBatchTimer(std::chrono::milliseconds delay) {
    m_batchTimer = m_loop.After(delay, [this] {
        std::vector<std::pair<uint64_t, std::string>> batch;
        batch.swap(m_batch);
        for (const auto& [session, search] : batch) {
            const auto found = m_sessions.find(session);
            if (found != m_sessions.end() && found->second->connection->IsOpen()) PassOn(search);
        }
        StartBatchTimer(BatchInterval);
    });
}

void Hub::PassOn(std::string_view message) {
    const auto request = SearchRequest::Parse(message);
    if (!request) return;
    if (request->IsPassive()) return PassOnPassive(*request);
    // Answers go only to loopback addresses, so that nothing leaves the machine.
    const auto target = ParseLoopbackEndpoint(request->address);
    if (!target) return;
    const auto matchers = std::make_shared<const std::vector<SearchMatcher>>(SearchMatcher::ForEveryCharset(*request));
    for (const std::size_t user : m_hub.users) {
        const auto delay = std::chrono::milliseconds(m_rng.Below(static_cast<uint64_t>(MaxAnswerDelay.count()) + 1));
        m_loop.After(delay, [this, user, matchers, target = *target] { Answer(user, *matchers, target); });
    }
}

// Active users answer a passive search through the hub, which relays their $SR lines to the searcher's connection
// (without the searcher's nick the answers carry on their way to the hub).
void Hub::PassOnPassive(const SearchRequest& request) {
    const std::string searcher = request.address.substr(4);
    const auto matchers = std::make_shared<const std::vector<SearchMatcher>>(SearchMatcher::ForEveryCharset(request));
    for (const std::size_t user : m_hub.users) {
        if (m_plan.Users()[user].Passive()) continue;
        const auto delay = std::chrono::milliseconds(m_rng.Below(static_cast<uint64_t>(MaxAnswerDelay.count()) + 1));
        m_loop.After(delay, [this, user, matchers, searcher] { Relay(user, *matchers, searcher); });
    }
}

void Hub::Relay(std::size_t user, const std::vector<SearchMatcher>& matchers, const std::string& searcher) {
    const SimulatedUser& simulated = m_plan.Users()[user];
    std::string lines;
    for (const std::string& result :
         simulated.Answer(matchers[static_cast<std::size_t>(simulated.Style().charset)], m_plan.Catalog(), m_hub.name,
                          m_address, simulated.DrawFreeSlots(m_rng)))
        lines += result;
    if (lines.empty()) return;
    for (const auto& [id, session] : m_sessions) {
        if (session->nick == searcher && session->connection->IsOpen()) return Reply(id, std::move(lines));
    }
}

void Hub::Answer(std::size_t user, const std::vector<SearchMatcher>& matchers, const sockaddr_in& target) {
    const SimulatedUser& simulated = m_plan.Users()[user];
    const auto results = simulated.Answer(matchers[static_cast<std::size_t>(simulated.Style().charset)],
                                          m_plan.Catalog(), m_hub.name, m_address, simulated.DrawFreeSlots(m_rng));
    if (!results.empty()) m_responder.Send(target, results, simulated.Style().packsDatagrams, m_rng);
}

std::string Hub::MakeLock() {
    static constexpr std::string_view letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_";
    std::string lock = m_hub.extendedLock ? "EXTENDEDPROTOCOL" : "";
    const int64_t length = m_rng.Between(12, 32);
    for (int64_t i = 0; i < length; ++i) lock += letters[m_rng.Below(letters.size())];
    return lock;
}
