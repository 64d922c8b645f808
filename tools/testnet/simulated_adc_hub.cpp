#include "simulated_adc_hub.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>

#include "engine/adc/adc_text.h"
#include "hub.h"
#include "socket_util.h"

namespace {

// The SID of the hub's number-th participant: four base32 characters, users first, then clients.
std::string SidOf(uint64_t number) {
    static constexpr std::string_view alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZ234567";
    std::string sid(4, 'A');
    for (std::size_t i = sid.size(); i-- > 0; number /= alphabet.size()) sid[i] = alphabet[number % alphabet.size()];
    return sid;
}

// A client's BINF as the hub passes it on: without the private ID, which only the hub may see.
std::string WithoutPid(std::string_view line) {
    std::vector<std::string_view> parts;
    SplitAdcMessage(line, parts);
    std::string kept;
    for (const std::string_view part : parts) {
        if (part.starts_with("PD")) continue;
        kept += (kept.empty() ? "" : " ") + std::string(part);
    }
    return kept + "\n";
}

}  // namespace

SimulatedAdcHub::SimulatedAdcHub(EventLoop& loop, const NetworkPlan& plan, std::size_t index, int listenFd,
                                 UdpResponder& responder, std::chrono::milliseconds latency)
    : m_loop(loop),
      m_plan(plan),
      m_hub(plan.Hubs()[index]),
      m_listenFd(listenFd),
      m_responder(responder),
      m_latency(latency),
      m_rng(m_hub.seed) {
    m_loop.Watch(m_listenFd, EPOLLIN, [this](uint32_t) { Accept(); });
}

SimulatedAdcHub::~SimulatedAdcHub() {
    m_sessions.clear();
    m_loop.Unwatch(m_listenFd);
    CloseSocket(m_listenFd);
}

std::optional<SearchRequest> SimulatedAdcHub::ReadSearch(const AdcMessage& message) {
    if (message.Command != "SCH") return std::nullopt;
    SearchRequest request;
    std::string word;
    for (const std::string_view parameter : message.Parameters) {
        const std::string_view name = parameter.substr(0, 2);
        const std::string_view value = parameter.substr(std::min<std::size_t>(2, parameter.size()));
        if (name == "AN" && AdcUnescapeInto(value, word)) {
            request.pattern += (request.pattern.empty() ? "" : "$") + word;
        } else if (name == "TR") {
            request.type = SearchMatcher::TypeTth;
            request.pattern = "TTH:" + std::string(value);
            return request;
        } else if (name == "TY" && value == "2") {
            request.type = SearchMatcher::TypeFolder;
        } else if (name == "EX" && request.type == SearchMatcher::TypeAny) {
            request.type = std::max(SearchMatcher::TypeAny, SearchMatcher::TypeOfName("x." + std::string(value)));
        } else if (name == "GE" || (name == "LE" && request.sizeLimit == SearchRequest::SizeLimit::None)) {
            const std::optional<int64_t> size = ParseAdcInt64(value);
            if (!size) return std::nullopt;
            request.size = *size;
            request.sizeLimit = name == "GE" ? SearchRequest::SizeLimit::AtLeast : SearchRequest::SizeLimit::AtMost;
        }
    }
    return request;
}

void SimulatedAdcHub::Accept() {
    for (;;) {
        const int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;
        // Real hubs answer each message at once; without this, small replies wait for the client's delayed ACK.
        const int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        const uint64_t id = m_nextSession++;
        auto session = std::make_unique<Session>();
        session->sid = SidOf(m_hub.users.size() + id);
        session->connection = std::make_unique<LineConnection>(
            m_loop, fd, [this, id](std::string_view line) { OnLine(id, line); }, [this, id] { Forget(id); }, '\n',
            m_tls);
        m_sessions.emplace(id, std::move(session));
    }
}

void SimulatedAdcHub::OnLine(uint64_t id, std::string_view line) {
    const auto found = m_sessions.find(id);
    const std::optional<AdcMessage> message = ParseAdcMessage(line);
    if (found == m_sessions.end() || !message) return;
    Session& session = *found->second;
    if (message->Type == 'H' && message->Command == "SUP") {
        Reply(id, "ISUP ADBASE ADTIGR\nISID " + session.sid + "\nIINF CT32 VEhubsift-testnet NI" +
                      AdcEscape(m_hub.name) + " DE" + AdcEscape(m_hub.description) + "\n");
    } else if (message->Type == 'B' && message->Command == "INF" && message->Source == session.sid) {
        OnInfo(id, session, *message, line);
    } else if (message->Type == 'B' && message->Command == "SCH" && message->Source == session.sid && session.listed) {
        OnSearch(session, *message);
    }
}

void SimulatedAdcHub::OnInfo(uint64_t id, Session& session, const AdcMessage& message, std::string_view line) {
    if (session.listed) return;
    const auto ip = FindAdcParameter(message, "I4");
    const auto port = FindAdcParameter(message, "U4");
    // Answers go only to loopback addresses, so that nothing leaves the machine.
    if (port)
        session.udpTarget = ParseLoopbackEndpoint(std::string(ip.value_or("127.0.0.1")) + ":" + std::string(*port));
    session.listed = true;
    // The users, then the newcomer itself: clients take their own BINF as the end of the list.
    std::string list;
    for (std::size_t i = 0; i < m_hub.users.size(); ++i) list += m_plan.Users()[m_hub.users[i]].AdcInfo(SidOf(i));
    Reply(id, list + WithoutPid(line));
}

void SimulatedAdcHub::OnSearch(Session& session, const AdcMessage& message) {
    const std::optional<SearchRequest> request = ReadSearch(message);
    if (!request) return;
    // Passive searchers get answers only from active users, through the hub.
    auto search = std::make_shared<const Search>(Search{session.sid, session.udpTarget,
                                                        std::string(FindAdcParameter(message, "TO").value_or("")),
                                                        SearchMatcher::ForEveryCharset(*request)});
    const auto forward =
        std::chrono::milliseconds(m_rng.Below(static_cast<uint64_t>(Hub::MaxForwardDelay.count()) + 1));
    for (std::size_t i = 0; i < m_hub.users.size(); ++i) {
        if (!search->udpTarget && m_plan.Users()[m_hub.users[i]].Passive()) continue;
        const auto answer =
            std::chrono::milliseconds(m_rng.Below(static_cast<uint64_t>(Hub::MaxAnswerDelay.count()) + 1));
        m_loop.After(forward + answer, [this, i, search] { Answer(i, *search); });
    }
}

void SimulatedAdcHub::Answer(std::size_t position, const Search& search) {
    const SimulatedUser& user = m_plan.Users()[m_hub.users[position]];
    const std::vector<std::string> results = user.AdcAnswer(search.matchers[static_cast<std::size_t>(Charset::Utf8)],
                                                            m_plan.Catalog(), user.DrawFreeSlots(m_rng), search.token);
    if (results.empty()) return;
    std::vector<std::string> messages;
    if (search.udpTarget) {
        for (const std::string& result : results) messages.push_back("URES " + user.Cid() + " " + result + "\n");
        m_responder.Send(*search.udpTarget, messages, false, m_rng);
        return;
    }
    std::string relayed;
    for (const std::string& result : results)
        relayed += "DRES " + SidOf(position) + " " + search.searcherSid + " " + result + "\n";
    for (const auto& [id, session] : m_sessions) {
        if (session->sid == search.searcherSid && session->connection->IsOpen()) return Reply(id, std::move(relayed));
    }
}

void SimulatedAdcHub::Reply(uint64_t id, std::string text) {
    auto deliver = [this, id, text = std::move(text)] {
        const auto found = m_sessions.find(id);
        if (found != m_sessions.end() && found->second->connection->IsOpen()) found->second->connection->Send(text);
    };
    if (m_latency.count() == 0) {
        deliver();
    } else {
        m_loop.After(m_latency, std::move(deliver));
    }
}

void SimulatedAdcHub::Forget(uint64_t id) {
    // Not at once: this may run inside the session's own connection callback.
    m_loop.After(std::chrono::milliseconds(0), [this, id] { m_sessions.erase(id); });
}
