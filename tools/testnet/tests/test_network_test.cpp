#include <bzlib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "engine/adc/adc_exchange.h"
#include "engine/search/hub_exchange.h"
#include "engine/search/hub_outcome.h"
#include "engine/search/hub_queue.h"
#include "engine/search/search_session.h"
#include "engine/text/hub_encoding.h"
#include "raw_client.h"
#include "self_signed_certificate.h"
#include "socket_util.h"
#include "support/fake_gui_thread.h"
#include "support/test_run_values.h"

namespace {

using std::chrono::milliseconds;

PlanOptions Options(std::size_t hubs, double badShare, uint64_t seed) {
    PlanOptions options;
    options.hubs = hubs;
    options.usersPerHub = 5;
    options.badShare = badShare;
    options.seed = seed;
    return options;
}

// A client that logged in as Hubsift does and saw its $MyINFO echoed.
std::unique_ptr<RawClient> LoggedIn(uint16_t port, const std::string& nick) {
    auto client = std::make_unique<RawClient>();
    const Deadline deadline = In(milliseconds(3000));
    if (!client->Connect(port, deadline) || !client->LogIn(nick, deadline) || !client->SendMyInfo(nick, deadline)) {
        return nullptr;
    }
    return client;
}

TEST(TestnetNetwork, EveryHubKindPassesSearchesToItsUsersWhoAnswerByUdp) {
    // Seed 4 gives both kinds of well-behaved hub among the four.
    RunningNetwork net(Options(4, 0.0, 4));
    ASSERT_TRUE(net.Started());
    ASSERT_TRUE(net.FirstOfKind(HubKind::SupportsFirst) && net.FirstOfKind(HubKind::StrictKey));
    const std::string tail = "F?F?0?1?e";
    UdpCollector udp;
    std::vector<std::unique_ptr<RawClient>> clients;
    std::size_t expected = 0;
    for (std::size_t hub = 0; hub < net.Plan().Hubs().size(); ++hub) {
        clients.push_back(LoggedIn(net.Network().HubPorts()[hub], "searcher" + std::to_string(hub)));
        ASSERT_TRUE(clients.back()) << hub;
        ASSERT_GT(net.ExpectedResults(hub, tail), 0u) << hub;
        expected += net.ExpectedResults(hub, tail);
    }
    for (auto& client : clients) client->Send(SearchLine(udp.Port(), tail) + "|");
    // The slowest path: a batch after 1.4 s, then up to 250 ms until the last user answers.
    EXPECT_EQ(udp.CollectUntil(expected, In(milliseconds(4000))), expected);
    std::map<std::string, std::size_t> perHub;
    for (const auto& message : udp.Messages()) {
        const auto sr = DecodeSr(message);
        ASSERT_TRUE(sr) << message;
        ++perHub[sr->hubAddress];
    }
    for (std::size_t hub = 0; hub < net.Plan().Hubs().size(); ++hub) {
        EXPECT_EQ(perHub["127.0.0.1:" + std::to_string(net.Network().HubPorts()[hub])], net.ExpectedResults(hub, tail));
    }
    EXPECT_GT(udp.SourcePorts().size(), 1u);
    EXPECT_LT(udp.Datagrams(), udp.Messages().size());  // some users pack several results into one datagram
}

// A passive search reaches the active users only; the hub relays their $SR lines on the searcher's connection.
TEST(TestnetNetwork, HubsRelayTheActiveUsersAnswersToAPassiveSearch) {
    RunningNetwork net(Options(4, 0.0, 4));
    ASSERT_TRUE(net.Started());
    const std::string tail = "F?F?0?1?e";
    std::size_t passiveTotal = 0, activeTotal = 0;
    for (std::size_t hub = 0; hub < net.Plan().Hubs().size(); ++hub) {
        const std::string nick = "passive" + std::to_string(hub);
        const auto client = LoggedIn(net.Network().HubPorts()[hub], nick);
        ASSERT_TRUE(client) << hub;
        const std::size_t expected = net.ExpectedResults(hub, tail, true);
        passiveTotal += expected;
        activeTotal += net.ExpectedResults(hub, tail);
        client->Send("$Search Hub:" + nick + " " + tail + "|");
        std::size_t relayed = 0;
        const Deadline deadline = In(milliseconds(4000));
        while (relayed < expected && client->ReadUntil("$SR ", deadline).outcome == RawClient::Outcome::Message)
            ++relayed;
        EXPECT_EQ(relayed, expected) << hub;
        // Nothing more comes once every active user has answered.
        EXPECT_NE(client->ReadUntil("$SR ", In(milliseconds(400))).outcome, RawClient::Outcome::Message) << hub;
    }
    EXPECT_GT(passiveTotal, 0u);
    EXPECT_LT(passiveTotal, activeTotal);  // the passive users' answers are missing
}

TEST(TestnetNetwork, HubsBehaveLikeTheCommonHubPrograms) {
    RunningNetwork net(Options(4, 0.0, 4));
    ASSERT_TRUE(net.Started());
    const uint16_t supportsFirst = net.Network().HubPorts()[*net.FirstOfKind(HubKind::SupportsFirst)];
    const uint16_t strictKey = net.Network().HubPorts()[*net.FirstOfKind(HubKind::StrictKey)];
    const Deadline deadline = In(milliseconds(3000));

    // Without $Supports after an EXTENDEDPROTOCOL lock: closed after $MyINFO, never echoed.
    RawClient noSupports;
    ASSERT_TRUE(noSupports.Connect(supportsFirst, deadline));
    const auto lock = noSupports.LogIn("plain", deadline, false);
    ASSERT_TRUE(lock && lock->starts_with("EXTENDEDPROTOCOL"));
    EXPECT_FALSE(noSupports.SendMyInfo("plain", deadline));
    EXPECT_EQ(noSupports.ReadMessage(deadline).outcome, RawClient::Outcome::Closed);

    // $Search before $MyINFO: a chat line, then the end of the connection.
    RawClient early;
    ASSERT_TRUE(early.Connect(supportsFirst, deadline));
    ASSERT_TRUE(early.LogIn("early", deadline));
    early.Send(SearchLine(9, "F?F?0?1?e") + "|");
    const auto chat = early.ReadUntil("<Hub-Security>", deadline);
    EXPECT_EQ(chat.outcome, RawClient::Outcome::Message);
    EXPECT_EQ(early.ReadMessage(deadline).outcome, RawClient::Outcome::Closed);

    // A wrong $Key: the strict hub hangs up without a word.
    RawClient wrongKey;
    ASSERT_TRUE(wrongKey.Connect(strictKey, deadline));
    EXPECT_FALSE(wrongKey.LogIn("wrong", deadline, true, false));
    EXPECT_EQ(wrongKey.ReadMessage(deadline).outcome, RawClient::Outcome::Closed);
    for (const auto& message : wrongKey.Skipped()) EXPECT_FALSE(message.starts_with("$Hello")) << message;

    // The strict hub ignores a $Search before its echo of $MyINFO and passes only the later one on; it drops the
    // search of a user who left before the batch went out.
    UdpCollector ignored;
    UdpCollector answered;
    UdpCollector leaver;
    RawClient patient;
    ASSERT_TRUE(patient.Connect(strictKey, deadline));
    ASSERT_TRUE(patient.LogIn("patient", deadline));
    patient.Send(SearchLine(ignored.Port(), "F?F?0?1?e") + "|");
    ASSERT_TRUE(patient.SendMyInfo("patient", deadline));
    auto quitter = LoggedIn(strictKey, "quitter");
    ASSERT_TRUE(quitter);
    quitter->Send(SearchLine(leaver.Port(), "F?F?0?1?e") + "|");
    quitter->Close();
    patient.Send(SearchLine(answered.Port(), "F?F?0?1?e") + "|");
    const std::size_t expected = net.ExpectedResults(*net.FirstOfKind(HubKind::StrictKey), "F?F?0?1?e");
    EXPECT_EQ(answered.CollectUntil(expected, In(milliseconds(4000))), expected);
    // Anything of the other two searches would have come with the same batch, within the users' answer delay.
    EXPECT_EQ(ignored.CollectUntil(1, In(Hub::MaxAnswerDelay + milliseconds(150))), 0u);
    EXPECT_EQ(leaver.CollectUntil(1, In(milliseconds(10))), 0u);
}

TEST(TestnetNetwork, BadlyBehavedHubsFailTheLoginInTheirOwnWay) {
    RunningNetwork net(Options(11, 10.0 / 11, 3));
    ASSERT_TRUE(net.Started());
    auto port = [&net](HubKind kind) { return net.Network().HubPorts()[*net.FirstOfKind(kind)]; };
    const Deadline deadline = In(milliseconds(3000));

    RawClient refused;
    EXPECT_FALSE(refused.Connect(port(HubKind::ClosedPort), deadline));

    RawClient closing;
    ASSERT_TRUE(closing.Connect(port(HubKind::CloseAtOnce), deadline));
    EXPECT_EQ(closing.ReadMessage(deadline).outcome, RawClient::Outcome::Closed);

    RawClient silent;
    ASSERT_TRUE(silent.Connect(port(HubKind::Silent), deadline));
    EXPECT_EQ(silent.ReadMessage(In(milliseconds(300))).outcome, RawClient::Outcome::TimedOut);

    const auto& hubs = net.Plan().Hubs();
    const auto host = std::find_if(hubs.begin(), hubs.end(),
                                   [](const HubPlan& hub) { return NetworkPlan::ForwardsSearches(hub.kind); });
    ASSERT_NE(host, hubs.end());
    const std::string redirect = "127.0.0.1:" + std::to_string(net.Network().HubPorts()[host - hubs.begin()]);
    const struct {
        HubKind kind;
        std::string answer;
        std::string chat;  // the chat line just before the answer, if any
        RawClient::Outcome then;
    } refusals[] = {
        {HubKind::NickTaken, "$ValidateDenide tester", "", RawClient::Outcome::Closed},
        {HubKind::Password, "$GetPass", "", RawClient::Outcome::TimedOut},
        {HubKind::Full, "$HubIsFull", "<Hub-Security> This hub is full (500 users), please try again later.",
         RawClient::Outcome::Closed},
        {HubKind::Redirect, "$ForceMove " + redirect, "<Hub-Security> This hub has moved to " + redirect,
         RawClient::Outcome::TimedOut},
    };
    for (const auto& c : refusals) {
        SCOPED_TRACE(c.answer);
        RawClient client;
        ASSERT_TRUE(client.Connect(port(c.kind), deadline));
        EXPECT_FALSE(client.LogIn("tester", In(milliseconds(500))));
        const std::vector<std::string>& skipped = client.Skipped();
        ASSERT_GE(skipped.size(), 2u);
        EXPECT_EQ(skipped.back(), c.answer);
        if (!c.chat.empty()) {
            EXPECT_EQ(skipped[skipped.size() - 2], c.chat);
        }
        EXPECT_EQ(client.ReadMessage(In(milliseconds(200))).outcome, c.then);
    }

    RawClient shareRule;
    ASSERT_TRUE(shareRule.Connect(port(HubKind::ShareRule), deadline));
    ASSERT_TRUE(shareRule.LogIn("tester", deadline));
    EXPECT_FALSE(shareRule.SendMyInfo("tester", In(milliseconds(500))));
    ASSERT_FALSE(shareRule.Skipped().empty());
    EXPECT_EQ(shareRule.Skipped().back(), "<Hub-Security> Your share is below this hub's minimum of 50 GiB.");
    EXPECT_EQ(shareRule.ReadMessage(In(milliseconds(200))).outcome, RawClient::Outcome::Closed);
}

// The program's own login against each bad hub: the reason and the hub's words reach the outcome, and every hub
// that says no is left at once, although the time-outs are an hour long.
TEST(TestnetNetwork, ProgramNamesEachBadHubsReasonWithoutWaitingForTheTimeOut) {
    RunningNetwork net(Options(11, 10.0 / 11, 3));
    ASSERT_TRUE(net.Started());
    const struct {
        HubKind kind;
        HubReason reason;
        std::string words;
    } cases[] = {
        {HubKind::NickTaken, HubReason::NickRefused, ""},
        {HubKind::Password, HubReason::PasswordRequired, ""},
        {HubKind::Full, HubReason::HubFull, "<Hub-Security> This hub is full (500 users), please try again later."},
        {HubKind::Redirect, HubReason::Redirected, "<Hub-Security> This hub has moved to "},
        {HubKind::ShareRule, HubReason::ClosedAfterMyInfo,
         "<Hub-Security> Your share is below this hub's minimum of 50 GiB."},
        {HubKind::CloseAtOnce, HubReason::ClosedBeforeLock, ""},
        {HubKind::ClosedPort, HubReason::ConnectionRefused, ""},
    };
    HubExchangeTimings timings = QuickTimings();
    timings.LoginDeadline = std::chrono::hours(1);
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.kind));
        TcpClient client;
        const ExchangeResult result =
            RunHubExchange(client, "127.0.0.1", net.Network().HubPorts()[*net.FirstOfKind(c.kind)], PatientValues(),
                           timings, [] { return true; });
        const HubOutcome outcome = OutcomeOf("127.0.0.1", 0, result, milliseconds(0));
        EXPECT_STREQ(DescribeReason(outcome.reason), DescribeReason(c.reason));
        EXPECT_TRUE(outcome.hubMessage.starts_with(c.words)) << outcome.hubMessage;
        if (c.kind == HubKind::Redirect) {
            EXPECT_TRUE(outcome.redirect.starts_with("127.0.0.1:")) << outcome.redirect;
        }
    }
}

// The hubs a run reported, kept until its end.
class RunOutcomes : public SearchSessionObserver {
public:
    void OnProgress(int32_t, int32_t) override {}
    void OnResult(const SearchResult&) override {}
    void OnResultsReported() override {}
    void OnResultLimitReached() override {}
    void OnHubOutcomes(const std::vector<HubOutcome>& outcomes) override {
        std::lock_guard lock(m_mutex);
        for (const HubOutcome& outcome : outcomes) m_outcomes[outcome.port] = outcome;
    }
    void OnRunEnded() override {
        std::lock_guard lock(m_mutex);
        m_ended = true;
        m_changed.notify_all();
    }
    // The outcomes by port once the run has ended; none if it did not end in time.
    std::map<int32_t, HubOutcome> AtEnd() {
        std::unique_lock lock(m_mutex);
        if (!m_changed.wait_for(lock, std::chrono::seconds(10), [&] { return m_ended; })) return {};
        return m_outcomes;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<int32_t, HubOutcome> m_outcomes;
    bool m_ended = false;
};

// A run over the redirecting hub alone follows its $ForceMove to the hub it names, which is searched within the
// same run and reported as reached through it.
TEST(TestnetNetwork, RunFollowsTheRedirectingHubToItsTarget) {
    RunningNetwork net(Options(11, 10.0 / 11, 3));
    ASSERT_TRUE(net.Started());
    const int32_t redirecting = net.Network().HubPorts()[*net.FirstOfKind(HubKind::Redirect)];
    HubQueue queue;
    queue.AddHub("127.0.0.1", redirecting);
    AppSettings settings;
    settings.Nick = "tester";
    settings.IP = "127.0.0.1";
    settings.ShareSizeBytes = "5368709120";
    settings.SearchTimeout = 10;
    settings.MinUDPPort = settings.MaxUDPPort = 0;
    FakeGuiThread gui;
    RunOutcomes outcomes;
    {
        SearchSession session(gui, outcomes, QuickTimings());
        RunStart start;
        gui.RunAndWait([&] { start = session.Start(queue, settings, {}, "e"); });
        ASSERT_EQ(start.failure, RunStartFailure::None);
        const std::map<int32_t, HubOutcome> reported = outcomes.AtEnd();
        ASSERT_EQ(reported.size(), 2u);
        const HubOutcome& moved = reported.at(redirecting);
        EXPECT_EQ(moved.reason, HubReason::Redirected);
        const HubOutcome& target = std::next(reported.begin(), reported.begin()->first == redirecting ? 1 : 0)->second;
        EXPECT_EQ("127.0.0.1:" + std::to_string(target.port), moved.redirect);
        EXPECT_EQ(target.reason, HubReason::Searched);
        EXPECT_EQ(target.redirectedFrom, "127.0.0.1:" + std::to_string(redirecting));
        gui.Close();
    }
}

// TLS hubs of both protocols take the program's login and search, listed with their certificate's keyprint, which the
// program holds them to.
TEST(TestnetNetwork, TlsHubsOfBothProtocolsServeTheKeyprintTheListGives) {
    PlanOptions options = Options(4, 0.0, 4);
    options.adcShare = 0.5;
    options.tlsShare = 1.0;
    RunningNetwork net(options);
    ASSERT_TRUE(net.Started());
    const std::string& listed = net.Network().TlsKeyprint();
    ASSERT_FALSE(listed.empty());
    const std::string stranger = MakeSelfSignedCertificate().Keyprint;
    const RunValues values = PatientValues();
    const AdcIdentity identity{"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA", "ZXO4VT7KPNYLJBLFLOR5YP3A33SPNOHYMEDJ4MY"};
    AdcSearchQuery query;
    query.Words = {"e"};
    AdcRunRegistry run{"P"};
    const HubExchangeTimings timings = QuickTimings();
    const ResultFilter filter;
    const AdcRunContext context{values, identity, query, run, timings, filter, {}};
    std::set<bool> protocols;
    for (std::size_t i = 0; i < net.Plan().Hubs().size(); ++i) {
        const HubPlan& hub = net.Plan().Hubs()[i];
        const uint16_t port = net.Network().HubPorts()[i];
        const std::string address =
            (hub.adc ? "adcs://127.0.0.1:" : "nmdcs://127.0.0.1:") + std::to_string(port) + "?kp=" + listed;
        EXPECT_NE(net.Network().HublistXml().find("Address=\"" + address + "\""), std::string::npos) << address;
        protocols.insert(hub.adc);
        for (const std::string& keyprint : {listed, stranger}) {
            SCOPED_TRACE(keyprint == listed ? "listed keyprint" : "another keyprint");
            SCOPED_TRACE(address);
            TcpClient client;
            ExchangeEnd end = ExchangeEnd::Searched;
            if (hub.adc) {
                const AdcExchangeResult result =
                    RunAdcExchange(client, {"127.0.0.1", port, true, keyprint}, context, [] { return true; });
                if (result.End != AdcExchangeEnd::Searched) end = result.Kind;
            } else {
                end = LogInAndSearchInEncoding(
                          client, "127.0.0.1", port, HubEncoding::FromListName(hub.listedEncoding), values, timings,
                          [] { return true; }, {}, HubTls{keyprint})
                          .end;
            }
            EXPECT_EQ(end, keyprint == listed ? ExchangeEnd::Searched : ExchangeEnd::KeyprintMismatch);
        }
    }
    EXPECT_EQ(protocols.size(), 2u) << "the seed gives both protocols";
}

// A dead hub answers no connect, the first or a later one: the client gives up at its own time-out.
TEST(TestnetNetwork, DeadHubLeavesEveryConnectUnanswered) {
    PlanOptions options = Options(2, 0.0, 1);
    options.badMix = {{0.5, {HubKind::Dead}}};
    RunningNetwork net(options);
    ASSERT_TRUE(net.Started());
    const uint16_t port = net.Network().HubPorts()[*net.FirstOfKind(HubKind::Dead)];
    for (int attempt = 0; attempt < 2; ++attempt) {
        RawClient client;
        const auto started = std::chrono::steady_clock::now();
        EXPECT_FALSE(client.Connect(port, In(milliseconds(300)))) << attempt;
        EXPECT_GE(std::chrono::steady_clock::now() - started, milliseconds(250)) << "refused, not unanswered";
    }
}

TEST(TestnetNetwork, LatencyDelaysEveryMessageOfTheHub) {
    RunningNetwork net(Options(1, 0.0, 1), milliseconds(300));
    ASSERT_TRUE(net.Started());
    RawClient client;
    ASSERT_TRUE(client.Connect(net.Network().HubPorts()[0], In(milliseconds(1000))));
    EXPECT_EQ(client.ReadMessage(In(milliseconds(200))).outcome, RawClient::Outcome::TimedOut);
    const auto lock = client.ReadMessage(In(milliseconds(1000)));
    EXPECT_TRUE(lock.message.starts_with("$Lock "));
}

TEST(TestnetNetwork, ServesTheWholeNetworkAsCompressedHubList) {
    RunningNetwork net(Options(8, 0.875, 3));
    ASSERT_TRUE(net.Started());
    const std::string url = net.Network().HublistUrl();
    ASSERT_TRUE(url.starts_with("http://127.0.0.1:") && url.ends_with("/hublist.xml.bz2")) << url;
    const auto port = static_cast<uint16_t>(std::stoi(url.substr(17, url.find('/', 17) - 17)));
    RawClient http;
    ASSERT_TRUE(http.Connect(port, In(milliseconds(1000))));
    http.Send("GET /hublist.xml.bz2 HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    // The raw client cuts at "|"; the compressed body may hold some, so the parts are joined back.
    std::string response;
    for (auto read = http.ReadMessage(In(milliseconds(2000))); read.outcome == RawClient::Outcome::Message;
         read = http.ReadMessage(In(milliseconds(2000)))) {
        response += read.message + "|";
    }
    response += http.Remainder();
    ASSERT_TRUE(response.starts_with("HTTP/1.1 200 OK\r\n")) << response.substr(0, 40);
    std::string body = response.substr(response.find("\r\n\r\n") + 4);
    std::string xml(1 << 20, '\0');
    auto length = static_cast<unsigned>(xml.size());
    ASSERT_EQ(BZ2_bzBuffToBuffDecompress(xml.data(), &length, body.data(), static_cast<unsigned>(body.size()), 0, 0),
              BZ_OK);
    xml.resize(length);
    EXPECT_EQ(xml, net.Network().HublistXml());
    std::size_t hubs = 0;
    for (auto at = xml.find("<Hub "); at != std::string::npos; at = xml.find("<Hub ", at + 1)) ++hubs;
    EXPECT_EQ(hubs, net.Plan().Hubs().size());
    for (std::size_t i = 0; i < hubs; ++i) {
        const auto& hub = net.Plan().Hubs()[i];
        const std::string address = "dchub://" + hub.host + ":" + std::to_string(net.Network().HubPorts()[i]);
        const std::string encoding = hub.listedEncoding.empty() ? "" : " Encoding=\"" + hub.listedEncoding + "\"";
        EXPECT_NE(xml.find("Address=\"" + address + "\""), std::string::npos) << address;
        const std::size_t entryEnd = xml.find("/>", xml.find("Address=\"" + address + "\""));
        EXPECT_EQ(xml.substr(entryEnd - encoding.size(), encoding.size()), encoding) << address;
    }
    EXPECT_NE(xml.find(".testnet.invalid:"), std::string::npos);

    RawClient missing;
    ASSERT_TRUE(missing.Connect(port, In(milliseconds(1000))));
    missing.Send("GET /other HTTP/1.1\r\n\r\n");
    missing.ReadMessage(In(milliseconds(2000)));
    EXPECT_TRUE(missing.Remainder().starts_with("HTTP/1.1 404")) << missing.Remainder();
}

}  // namespace
