#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "engine/net/port_mapper.h"
#include "engine/search/hub_history.h"
#include "engine/search/hub_queue.h"
#include "engine/search/search_session.h"
#include "support/adc_answering_user.h"
#include "support/fake_gui_thread.h"
#include "support/fake_hub.h"
#include "support/fake_igd.h"
#include "support/fake_natpmp_gateway.h"
#include "support/log_recorder.h"
#include "support/temp_dir.h"
#include "support/test_run_values.h"
#include "support/tls_test_server.h"
#include "support/udp_test_sockets.h"
#include "support/uhub_process.h"

namespace {

using namespace std::chrono_literals;

// What the session reported, as the fake GUI thread delivered it.
class Reports : public SearchSessionObserver {
public:
    void OnProgress(int32_t searched, int32_t failed) override {
        if (m_onProgress) m_onProgress();
        Record([&] {
            m_searched = searched;
            m_failed = failed;
        });
    }
    void OnResult(const SearchResult& result) override { m_pending.push_back(result); }
    void OnResultsReported() override {
        Record([&] { m_rows.insert(m_rows.end(), m_pending.begin(), m_pending.end()); });
        m_pending.clear();
    }
    void OnRunStarted() override {
        Record([&] { ++m_runsStarted; });
    }
    // The hook runs first, so that a test that saw the end sees its effects too.
    void OnRunEnded() override {
        if (m_onRunEnded) m_onRunEnded();
        Record([&] { ++m_runsEnded; });
    }
    void OnResultLimitReached() override {
        Record([&] { ++m_limitNotices; });
    }
    void OnConnectionNote(const std::string& note) override {
        Record([&] { m_notes.push_back(note); });
    }
    void OnHubOutcomes(const std::vector<HubOutcome>& outcomes) override {
        Record([&] {
            for (const HubOutcome& outcome : outcomes) {
                if (!m_hubs.contains(outcome.port)) m_endOrder.push_back(outcome.port);
                m_hubs[outcome.port] = outcome;
            }
        });
    }

    // Waits until condition, read under the reports' lock, holds.
    bool WaitFor(const std::function<bool()>& condition) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 10s, condition);
    }
    // Runs look under the reports' lock.
    void Inspect(const std::function<void()>& look) {
        std::lock_guard lock(m_mutex);
        look();
    }

    std::function<void()> m_onRunEnded;
    std::function<void()> m_onProgress;
    std::vector<std::string> m_notes;
    int32_t m_searched = 0;
    int32_t m_failed = 0;
    int m_runsStarted = 0;
    int m_runsEnded = 0;
    int m_limitNotices = 0;
    std::vector<SearchResult> m_rows;
    std::map<int32_t, HubOutcome> m_hubs;  // the last report of each hub, by port
    std::vector<int32_t> m_endOrder;       // the ports of the hubs in the order they were first reported

private:
    void Record(const std::function<void()>& change) {
        std::lock_guard lock(m_mutex);
        change();
        m_changed.notify_all();
    }

    std::vector<SearchResult> m_pending;  // GUI thread only
    std::mutex m_mutex;
    std::condition_variable m_changed;
};

FakeHubBehaviour Silent() {
    FakeHubBehaviour behaviour;
    behaviour.nickAnswer = FakeHubBehaviour::NickAnswer::Silent;
    return behaviour;
}

const std::string kTwoResults =
    "$SR alice music\\song.mp3\x05"
    "5242880 2/4\x05Some Hub (10.0.0.1:411)|"
    "$SR bob Films\\New Stuff 0/3\x05Hub (10.0.0.2)|$sr junk|";

std::string Result(const std::string& user, const std::string& hub, int number) {
    return "$SR " + user + " f" + std::to_string(number) + ".bin\x05" + "1 1/1\x05H (" + hub + ")|";
}

// Waits until nothing waits in the receive queue of the loopback UDP port (/proc/net/udp): the listener took it.
bool WaitUntilTaken(int32_t port) {
    char local[16];
    std::snprintf(local, sizeof local, "0100007F:%04X", static_cast<unsigned>(port));
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (std::chrono::steady_clock::now() < deadline) {
        std::ifstream table("/proc/net/udp");
        std::string slot;
        std::string address;
        std::string remote;
        std::string state;
        std::string queues;
        std::string rest;
        bool waiting = false;
        while (table >> slot >> address >> remote >> state >> queues && std::getline(table, rest))
            waiting = waiting || (address == local && queues.substr(queues.find(':') + 1) != "00000000");
        if (!waiting) return true;
        std::this_thread::yield();
    }
    return false;
}

// A session over fake hubs, driven as a front end would: every call on the (fake) GUI thread.
class SearchSessionTest : public ::testing::Test {
protected:
    SearchSessionTest() : m_session(std::make_unique<SearchSession>(m_gui, m_reports, QuickTimings())) {
        m_settings.Nick = "tester";
        m_settings.IP = "127.0.0.1";
        m_settings.ShareSizeBytes = "5368709120";
        m_settings.Threads = 4;
        m_settings.SearchTimeout = 1;
        // The system chooses each run's port: no test takes a fixed port that another program might hold.
        m_settings.MinUDPPort = 0;
        m_settings.MaxUDPPort = 0;
    }
    ~SearchSessionTest() override {
        m_gui.Close();
        m_session.reset();
    }

    void AddHubs(const std::vector<FakeHubBehaviour>& hubs) {
        for (const FakeHubBehaviour& behaviour : hubs)
            m_queue->AddHub("127.0.0.1", m_hubs.Port(m_hubs.AddHub(behaviour)));
    }
    RunStart Start(const SearchForm& form = {}) {
        RunStart start;
        m_gui.RunAndWait([&] { start = m_session->Start(*m_queue, m_settings, form, "big buck"); });
        return start;
    }
    template <typename Read>
    auto OnGui(Read read) {
        decltype(read()) value{};
        m_gui.RunAndWait([&] { value = read(); });
        return value;
    }
    void Send(const std::string& datagram) { ASSERT_TRUE(m_sender.SendTo(m_session->CurrentUdpPort(), datagram)); }

    AppSettings m_settings;
    FakeHubServer m_hubs;
    FakeGuiThread m_gui;
    Reports m_reports;
    std::unique_ptr<HubQueue> m_queue = std::make_unique<HubQueue>();
    std::unique_ptr<SearchSession> m_session;
    UdpTestSocket m_sender;
};

TEST_F(SearchSessionTest, RunCountsHubsAndDecodesTheAnswersSentToItsPort) {
    AddHubs({{}, {}, {}, Silent(), Silent()});
    ASSERT_EQ(Start().failure, RunStartFailure::None);
    EXPECT_EQ(OnGui([&] { return m_session->State(); }), RunState::Running);
    const int32_t port = OnGui([&] { return m_session->CurrentUdpPort(); });
    const std::string search = "$Search 127.0.0.1:" + std::to_string(port) + " F?F?0?1?big$buck";
    for (int hub = 0; hub < 3; ++hub) {
        ASSERT_TRUE(m_hubs.WaitUntil([&] { return !m_hubs.Forwarded(hub).empty(); }, 5s));
        EXPECT_EQ(m_hubs.Forwarded(hub), std::vector<std::string>{search});
        Send(kTwoResults);
    }

    ASSERT_TRUE(m_reports.WaitFor([&] { return m_reports.m_runsEnded == 1 && m_reports.m_rows.size() == 6; }));
    EXPECT_EQ(OnGui([&] { return m_session->State(); }), RunState::Idle);
    m_reports.Inspect([&] {
        EXPECT_EQ(m_reports.m_searched, 3);
        EXPECT_EQ(m_reports.m_failed, 2);
        const SearchResult& file = m_reports.m_rows[0];
        EXPECT_EQ(file.FileName, "song.mp3");
        EXPECT_EQ(file.Path, "music\\");
        EXPECT_EQ(file.Size, 5242880);
        EXPECT_EQ(file.User, "alice");
        EXPECT_EQ(file.HubAddress, "10.0.0.1:411");
        EXPECT_EQ(m_reports.m_rows[1].FileName, "Films\\New Stuff\\");
        EXPECT_EQ(m_reports.m_rows[1].SizeText, "<DIR>");
    });

    // The port stays open after the run ended by itself: late answers still count.
    Send(kTwoResults);
    EXPECT_TRUE(m_reports.WaitFor([&] { return m_reports.m_rows.size() == 8; }));
    EXPECT_EQ(OnGui([&] { return m_session->ResultCount(); }), 8);
}

// Debian's uhub, searched plain and over TLS, with a user that answers by UDP and through the hub, beside a fake NMDC
// hub whose user answers by UDP: one run, one port, one list.
TEST_F(SearchSessionTest, OneRunGathersTheAnswersOfNmdcAndAdcHubs) {
    const TestCertificate certificate = MakeSelfSignedCertificate();
    UhubProcess uhub({certificate.CertificatePem, certificate.KeyPem, {}});
    if (!uhub.Running()) GTEST_SKIP() << uhub.Problem();
    AdcAnsweringUser answerer(uhub.Port());
    ASSERT_TRUE(answerer.WaitLoggedIn()) << uhub.Log();
    TempDir dataDir;
    ASSERT_TRUE(OnGui([&] { return m_session->LoadAdcIdentity(dataDir.Path()); }));
    // Relayed answers need the searcher online a moment after its search.
    m_gui.RunAndWait([&] { m_session->SetExchangeTimings({300ms, 1s}); });
    AddHubs({{}});
    // The same hub plain and over TLS: one after the other, as the hub takes our nick only once at a time.
    m_queue->AddHub("127.0.0.1", uhub.Port(), {}, HubProtocol::Adc);
    m_queue->AddHub("127.0.0.1", uhub.Port(), {}, HubProtocol::AdcTls, certificate.Keyprint);
    m_settings.Threads = 1;

    ASSERT_EQ(Start().failure, RunStartFailure::None);
    ASSERT_TRUE(m_hubs.WaitUntil([&] { return !m_hubs.Forwarded(0).empty(); }, 5s));
    Send(Result("alice", "127.0.0.1:" + std::to_string(m_hubs.Port(0)), 1));

    ASSERT_TRUE(m_reports.WaitFor([&] { return m_reports.m_runsEnded == 1 && m_reports.m_rows.size() == 5; }))
        << uhub.Log();
    m_reports.Inspect([&] {
        EXPECT_EQ(m_reports.m_searched, 3);
        std::multiset<std::string> rows;
        for (const SearchResult& row : m_reports.m_rows)
            rows.insert(row.User + " " + row.HubAddress + " " + row.FileName + " " + row.Tth);
        const std::string adcHub = "127.0.0.1:" + std::to_string(uhub.Port());
        EXPECT_EQ(rows, (std::multiset<std::string>{
                            "alice 127.0.0.1:" + std::to_string(m_hubs.Port(0)) + " f1.bin ",
                            "answerer " + adcHub + " Big Buck Bunny.mkv " + kAdcAnswerTth,
                            "answerer " + adcHub + " Big Buck Bunny.mkv " + kAdcAnswerTth,
                            "answerer " + adcHub + " Shared\\Bunny\\ ",
                            "answerer " + adcHub + " Shared\\Bunny\\ ",
                        }));
    });
}

// A typed address the machine does not have (a router's, which forwards the port): the run binds on all interfaces
// instead of failing, advertises the typed address, and what reaches the port arrives.
TEST_F(SearchSessionTest, ForeignTypedAddressIsAdvertisedWhileTheListenerBindsLocally) {
    AddHubs({{}});
    m_settings.IP = "203.0.113.7";
    m_settings.Connection = ConnectionMode::Active;
    ASSERT_EQ(Start().failure, RunStartFailure::None);
    ASSERT_TRUE(m_hubs.WaitUntil([&] { return !m_hubs.Forwarded(0).empty(); }, 5s));
    const std::vector<std::string> searches = m_hubs.Forwarded(0);
    ASSERT_EQ(searches.size(), 1u);
    EXPECT_TRUE(searches[0].starts_with("$Search 203.0.113.7:")) << searches[0];
    EXPECT_TRUE(searches[0].ends_with(" F?F?0?1?big$buck")) << searches[0];
    Send(kTwoResults);
    EXPECT_TRUE(m_reports.WaitFor([&] { return m_reports.m_rows.size() == 2; }));
}

TEST_F(SearchSessionTest, FailedStartsContactNoHub) {
    AddHubs({{}});
    SearchForm unreadable;
    unreadable.sizeCondition = kAtLeast;
    unreadable.firstValue = "many";
    const RunStart badCriteria = Start(unreadable);
    EXPECT_EQ(badCriteria.failure, RunStartFailure::BadCriteria);
    EXPECT_EQ(badCriteria.message, "Error: first condition value \"many\" is incorrect");

    UdpTestSocket busy;
    ASSERT_TRUE(busy.Bind(0));
    m_settings.MinUDPPort = m_settings.MaxUDPPort = busy.Port();
    EXPECT_EQ(Start().failure, RunStartFailure::PortNotBound);

    EXPECT_EQ(OnGui([&] { return m_session->State(); }), RunState::Idle);
    EXPECT_EQ(m_hubs.OpenConnections(0), 0);
    EXPECT_TRUE(m_hubs.Received(0).empty());
}

TEST_F(SearchSessionTest, OneUserOnOneHubAndTheWholeRunAreLimited) {
    const LogRecorder log;
    AddHubs({Silent()});
    m_session->SetLimits({3, 8});
    ASSERT_EQ(Start().failure, RunStartFailure::None);
    std::string datagram;
    for (int i = 0; i < 5; ++i) datagram += Result("alice", "hub-a", i);
    for (int i = 0; i < 2; ++i) datagram += Result("alice", "hub-b", i) + Result("hub-a", "alice", i);
    Send(datagram);
    ASSERT_TRUE(m_reports.WaitFor([&] { return m_reports.m_rows.size() == 7; }));
    EXPECT_EQ(OnGui([&] { return m_session->DroppedCount(); }), 2) << "alice's fourth and fifth on hub-a";
    EXPECT_EQ(log.Matching({"user alice on hub hub-a sent more than 3 results"}).size(), 1u);

    for (int i = 0; i < 3; ++i) Send(Result("carol", "hub-a", i) + Result("dave", "hub-a", i));
    ASSERT_TRUE(m_reports.WaitFor([&] { return m_reports.m_limitNotices == 1; }));
    EXPECT_EQ(OnGui([&] { return m_session->ResultCount(); }), 8);
    m_reports.Inspect([&] { EXPECT_EQ(m_reports.m_rows.back().User, "carol"); });
    EXPECT_EQ(log.Matching({"the run has 8 results; later ones are dropped"}).size(), 1u);

    // The next run starts from nothing, even when it starts while the receiving thread holds a batch read for the
    // run before, waiting for the GUI thread that is starting it.
    m_gui.RunAndWait([&] {
        const int32_t port = m_session->CurrentUdpPort();
        Send(Result("erin", "hub-a", 0));
        EXPECT_TRUE(WaitUntilTaken(port));
        m_session->Start(*m_queue, m_settings, {}, "big buck");
    });
    Send(Result("alice", "hub-a", 9));
    ASSERT_TRUE(m_reports.WaitFor([&] { return m_reports.m_rows.size() == 9; }));
    m_reports.Inspect([&] { EXPECT_EQ(m_reports.m_rows.back().User, "alice"); });
    EXPECT_EQ(OnGui([&] { return m_session->ResultCount(); }), 1);
}

TEST_F(SearchSessionTest, QueueMayBeFreedAsSoonAsTheRunHasEnded) {
    // A refresh replaces the queue once a run has ended, while the worker that counted the last hub is still
    // returning from its report: it must not read the freed queue (AddressSanitizer tells).
    m_settings.Threads = 1;
    AddHubs({{}});
    m_reports.m_onRunEnded = [&] {
        m_queue = std::make_unique<HubQueue>();
        m_queue->AddHub("127.0.0.1", m_hubs.Port(m_hubs.AddHub({})));
    };
    ASSERT_EQ(Start().failure, RunStartFailure::None);
    ASSERT_TRUE(m_reports.WaitFor([&] { return m_reports.m_runsEnded == 1; }));
    m_reports.m_onRunEnded = {};
    ASSERT_EQ(Start().failure, RunStartFailure::None);
    ASSERT_TRUE(m_reports.WaitFor([&] { return m_reports.m_runsEnded == 2; }));
    EXPECT_EQ(m_hubs.Received(0).size(), 1u);
    EXPECT_EQ(m_hubs.Received(1).size(), 1u);
}

// The home router a run meets, as fakes on loopback whose external address is loopback too, so that a mapped run
// is reachable; the mapper never looks at the real network.
enum class Router { None, NatPmp, Upnp, Refusing, Slow, Held };

class RouterFakes {
public:
    explicit RouterFakes(Router router) {
        m_config.UseUpnp = router == Router::Upnp;
        m_config.UseNatPmp = router != Router::Upnp && router != Router::None;
        m_config.NatPmpWait = 30s;  // a slow router is not given up before the run has gone passive
        if (router == Router::Upnp) {
            m_igd.emplace(FakeIgd::Options{.externalAddress = "127.0.0.1"});
            m_config.UpnpDescriptionUrl = m_igd->DescriptionUrl();
        } else if (router != Router::None) {
            m_natPmp.emplace(FakeNatPmpGateway::Options{.externalAddress = "127.0.0.1",
                                                        .silent = router == Router::Slow,
                                                        .mappingResult = uint16_t(router == Router::Refusing ? 2 : 0),
                                                        .held = router == Router::Held});
            m_config.NatPmpGateway = m_natPmp->Address();
        }
    }
    std::unique_ptr<PortMapper> Mapper() const { return std::make_unique<PortMapper>(m_config); }
    FakeNatPmpGateway& NatPmp() { return *m_natPmp; }
    std::size_t MappingCount() const {
        return m_igd ? m_igd->Mappings().size() : m_natPmp ? m_natPmp->Mappings().size() : 0;
    }

private:
    PortMapperConfig m_config;
    std::optional<FakeIgd> m_igd;
    std::optional<FakeNatPmpGateway> m_natPmp;
};

// How each mode gets its results: the $Search the hub forwards, the route, and the mapping held only while the hubs
// are searched.
TEST_F(SearchSessionTest, ConnectionModeDecidesTheRouteAndAutomaticMapsOnlyWhatItNeeds) {
    const struct {
        const char* name;
        ConnectionMode mode;
        const char* ip;
        Router router;
        ResultRoute route;
        const char* summary;
    } cases[] = {
        {"public address", ConnectionMode::Automatic, "127.0.0.1", Router::NatPmp, ResultRoute::Direct,
         "Public address 127.0.0.1"},
        {"nat-pmp", ConnectionMode::Automatic, "", Router::NatPmp, ResultRoute::Mapped, "Router: NAT-PMP, external"},
        {"upnp", ConnectionMode::Automatic, "", Router::Upnp, ResultRoute::Mapped, "Router: UPnP, external"},
        {"foreign typed address", ConnectionMode::Automatic, "203.0.113.7", Router::Upnp, ResultRoute::Mapped,
         "Router: UPnP"},
        {"no router", ConnectionMode::Automatic, "", Router::None, ResultRoute::Passive,
         "No router mapping: passive (no router found"},
        {"refused", ConnectionMode::Automatic, "", Router::Refusing, ResultRoute::Passive,
         "No router mapping: passive (NAT-PMP:"},
        {"slow router", ConnectionMode::Automatic, "", Router::Slow, ResultRoute::Passive,
         "No router mapping: passive (still looking for a router)"},
        {"active", ConnectionMode::Active, "127.0.0.1", Router::NatPmp, ResultRoute::Direct, "Active: 127.0.0.1"},
        {"passive", ConnectionMode::Passive, "127.0.0.1", Router::NatPmp, ResultRoute::Passive, "Passive"},
    };
    HubExchangeTimings timings = QuickTimings();
    timings.PassiveWindow = 100ms;
    m_session->SetExchangeTimings(timings);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const RouterFakes router(c.router);
        m_gui.RunAndWait([&] { m_session->UseRouter(router.Mapper(), 200ms); });
        m_settings.Connection = c.mode;
        m_settings.IP = c.ip;
        m_queue = std::make_unique<HubQueue>();
        const int hub = m_hubs.AddHub({});
        m_queue->AddHub("127.0.0.1", m_hubs.Port(hub));
        std::size_t mappedWhileSearching = 0;
        m_reports.m_onProgress = [&] { mappedWhileSearching = std::max(mappedWhileSearching, router.MappingCount()); };
        const int started = m_reports.m_runsStarted;
        const int ended = m_reports.m_runsEnded;
        ASSERT_EQ(Start().failure, RunStartFailure::None);
        ASSERT_TRUE(m_reports.WaitFor([&] { return m_reports.m_runsStarted == started + 1; }));
        const ConnectionPlan plan = OnGui([&] { return m_session->RunPlan(); });
        EXPECT_EQ(plan.Route, c.route);
        // Automatic's findings carry the reason a mapping failed; the other modes only say what they do.
        const std::string said =
            c.mode == ConnectionMode::Automatic ? OnGui([&] { return m_session->ConnectionFindings(); }) : plan.Summary;
        EXPECT_TRUE(said.starts_with(c.summary)) << said;
        const std::string port = std::to_string(OnGui([&] { return m_session->CurrentUdpPort(); }));
        const std::string search = c.route == ResultRoute::Passive ? "$Search Hub:tester F?F?0?1?big$buck"
                                                                   : "$Search 127.0.0.1:" + port + " F?F?0?1?big$buck";
        ASSERT_TRUE(m_hubs.WaitUntil([&] { return !m_hubs.Forwarded(hub).empty(); }, 5s));
        EXPECT_EQ(m_hubs.Forwarded(hub), std::vector<std::string>{search});
        ASSERT_TRUE(m_reports.WaitFor([&] { return m_reports.m_runsEnded == ended + 1; }));
        m_reports.m_onProgress = {};
        EXPECT_EQ(mappedWhileSearching, c.route == ResultRoute::Mapped ? 1u : 0u);
        EXPECT_EQ(router.MappingCount(), 0u) << "removed when the run ended";
        m_gui.RunAndWait([&] { m_session->UseRouter(nullptr); });
    }
}

// Hubs that see another address than the router's external one: a second NAT that no mapping gets through. The run
// says so, and the next one searches passively.
TEST_F(SearchSessionTest, SecondNatTurnsLaterAutomaticRunsPassive) {
    const RouterFakes router(Router::NatPmp);
    m_gui.RunAndWait([&] { m_session->UseRouter(router.Mapper()); });
    m_settings.IP = "";
    FakeHubBehaviour seesOther;
    seesOther.lock = "EXTENDEDPROTOCOL_seen";  // $UserIP goes to clients that list UserIP2 in $Supports
    seesOther.userIp = "198.51.100.9";
    AddHubs({seesOther});
    ASSERT_EQ(Start().failure, RunStartFailure::None);
    ASSERT_TRUE(m_reports.WaitFor([&] { return m_reports.m_runsStarted == 1; }));
    EXPECT_EQ(OnGui([&] { return m_session->RunPlan().Route; }), ResultRoute::Mapped);
    ASSERT_TRUE(m_reports.WaitFor([&] { return m_reports.m_runsEnded == 1; }));
    const std::string note = "Second NAT: hubs see 198.51.100.9, the router has 127.0.0.1: passive";
    m_reports.Inspect([&] { EXPECT_EQ(m_reports.m_notes, std::vector<std::string>{note}); });
    EXPECT_EQ(OnGui([&] { return m_session->ConnectionFindings(); }), note);

    ASSERT_EQ(Start().failure, RunStartFailure::None);
    ASSERT_TRUE(m_reports.WaitFor([&] { return m_reports.m_runsStarted == 2; }));
    EXPECT_EQ(OnGui([&] { return m_session->RunPlan().Route; }), ResultRoute::Passive);
    ASSERT_TRUE(m_hubs.WaitUntil([&] { return m_hubs.Forwarded(0).size() == 2; }, 5s));
    EXPECT_EQ(m_hubs.Forwarded(0)[1], "$Search Hub:tester F?F?0?1?big$buck");
}

// A router that takes its time holds neither Start nor the GUI thread: the run is Starting until the router has
// answered, and Stop or the end of the session meanwhile leave nothing behind.
TEST_F(SearchSessionTest, StartWaitingOnTheRouterLeavesTheGuiThreadFree) {
    enum class Then { RouterAnswers, Stop, Shutdown };
    for (const Then then : {Then::RouterAnswers, Then::Stop, Then::Shutdown}) {
        SCOPED_TRACE(static_cast<int>(then));
        RouterFakes router(Router::Held);
        const int started = OnGui([&] { return m_reports.m_runsStarted; });
        // Were Start to wait, it would wait the whole grace, and the run would go passive.
        m_gui.RunAndWait([&] { m_session->UseRouter(router.Mapper(), 60s); });
        m_settings.IP = "";
        m_queue = std::make_unique<HubQueue>();
        const int hub = m_hubs.AddHub({});
        m_queue->AddHub("127.0.0.1", m_hubs.Port(hub));
        ASSERT_EQ(Start().failure, RunStartFailure::None);
        ASSERT_TRUE(router.NatPmp().WaitForRequests(1, 5s));
        EXPECT_EQ(OnGui([&] { return m_session->State(); }), RunState::Starting);
        if (then == Then::Shutdown) {  // as the window closes: the GUI side first
            m_gui.Close();
            m_session->Shutdown();
            m_session.reset();
        } else if (then == Then::Stop) {
            m_gui.RunAndWait([&] { m_session->Stop(); });
            EXPECT_EQ(OnGui([&] { return m_session->State(); }), RunState::Idle);
            router.NatPmp().Release();
            // Served after the dropped one, which has ended when this run starts.
            ASSERT_EQ(Start().failure, RunStartFailure::None);
        } else {
            router.NatPmp().Release();
        }
        if (then != Then::Shutdown) {
            ASSERT_TRUE(m_reports.WaitFor([&] { return m_reports.m_runsStarted == started + 1; }));
            EXPECT_EQ(OnGui([&] { return m_session->RunPlan().Route; }), ResultRoute::Mapped);
            const std::string port = std::to_string(OnGui([&] { return m_session->CurrentUdpPort(); }));
            ASSERT_TRUE(m_hubs.WaitUntil([&] { return !m_hubs.Forwarded(hub).empty(); }, 5s));
            EXPECT_EQ(m_hubs.Forwarded(hub),
                      std::vector<std::string>{"$Search 127.0.0.1:" + port + " F?F?0?1?big$buck"});
            m_gui.RunAndWait([&] { m_session->Stop(); });
            EXPECT_TRUE(router.NatPmp().Mappings().empty());
        }
        EXPECT_EQ(m_hubs.Received(hub).empty(), then == Then::Shutdown);
    }
}

}  // namespace

// Each hub is reported with its list name and users, its outcome, and the answers that named the address it was
// reached at, whether they came before or after its outcome; answers naming no hub of the run count for none.
TEST_F(SearchSessionTest, HubOutcomesCarryTheListEntryAndTheResultsOfEachHub) {
    FakeHubBehaviour full;
    full.nickAnswer = FakeHubBehaviour::NickAnswer::Full;
    full.chat = "<HubBot> 500 users max";
    const int32_t searched = m_hubs.Port(m_hubs.AddHub({}));
    const int32_t failed = m_hubs.Port(m_hubs.AddHub(full));
    m_queue->AddHub("localhost", searched, {}, HubProtocol::Nmdc, {}, "Hub Zero", 12);
    m_queue->AddHub("localhost", failed);
    ASSERT_EQ(Start().failure, RunStartFailure::None);
    ASSERT_TRUE(m_hubs.WaitUntil([&] { return !m_hubs.Forwarded(0).empty(); }, 5s));
    const std::string address = "127.0.0.1:" + std::to_string(searched);
    Send(Result("alice", address, 1) + Result("bob", address, 2) + Result("carol", "10.0.0.9:411", 3));
    ASSERT_TRUE(m_reports.WaitFor([&] { return m_reports.m_runsEnded == 1 && m_reports.m_hubs.size() == 2; }));
    Send(Result("dave", address, 4));
    ASSERT_TRUE(m_reports.WaitFor([&] { return m_reports.m_hubs[searched].results == 3; }));
    m_reports.Inspect([&] {
        const HubOutcome& hub = m_reports.m_hubs[searched];
        EXPECT_EQ(hub.host, "localhost");
        EXPECT_EQ(hub.name, "Hub Zero");
        EXPECT_EQ(hub.users, 12);
        EXPECT_EQ(hub.reason, HubReason::Searched);
        const HubOutcome& refused = m_reports.m_hubs[failed];
        EXPECT_EQ(refused.reason, HubReason::HubFull);
        EXPECT_EQ(refused.hubMessage, "<HubBot> 500 users max");
        EXPECT_EQ(refused.users, -1);
        EXPECT_EQ(refused.results, 0);
    });
}

// A listed hub's redirect to a hub not in the list is followed once, within the run; a redirect to a listed hub and
// the target's own redirect are not.
TEST_F(SearchSessionTest, RedirectOutsideTheListIsFollowedOnce) {
    const auto redirect = [&](int32_t port) {
        FakeHubBehaviour behaviour;
        behaviour.nickAnswer = FakeHubBehaviour::NickAnswer::Redirect;
        behaviour.redirectTo = "dchub://127.0.0.1:" + std::to_string(port);
        return behaviour;
    };
    const int32_t unlisted = m_hubs.Port(m_hubs.AddHub({}));
    const int32_t chained = m_hubs.Port(m_hubs.AddHub(redirect(unlisted)));
    const int32_t listed = m_hubs.Port(m_hubs.AddHub(redirect(chained)));
    const int32_t looping = m_hubs.Port(m_hubs.AddHub(redirect(listed)));
    m_queue->AddHub("127.0.0.1", listed);
    m_queue->AddHub("127.0.0.1", looping);
    ASSERT_EQ(Start().failure, RunStartFailure::None);
    ASSERT_TRUE(m_reports.WaitFor([&] { return m_reports.m_runsEnded == 1; }));
    m_reports.Inspect([&] {
        EXPECT_EQ(m_reports.m_failed, 3);
        ASSERT_EQ(m_reports.m_hubs.size(), 3u);
        EXPECT_EQ(m_reports.m_hubs[chained].reason, HubReason::Redirected);
        EXPECT_EQ(m_reports.m_hubs[chained].redirectedFrom, "127.0.0.1:" + std::to_string(listed));
        EXPECT_EQ(m_reports.m_hubs[looping].redirectedFrom, "");
    });
    EXPECT_EQ(m_hubs.OpenConnections(0), 0);
    EXPECT_TRUE(m_hubs.Received(0).empty()) << "the chain ended after its first step";
}

// With a history, a run visits the hubs that gave results first and those that failed their last three runs last;
// the next run, moments later, skips the hubs the first one searched, and contacts the rest again.
TEST_F(SearchSessionTest, HistoryOrdersTheQueueAndTheNextRunSkipsHubsJustSearched) {
    FakeHubBehaviour full;
    full.nickAnswer = FakeHubBehaviour::NickAnswer::Full;
    const int32_t failing = m_hubs.Port(m_hubs.AddHub(full));
    const int32_t fresh = m_hubs.Port(m_hubs.AddHub({}));
    const int32_t productive = m_hubs.Port(m_hubs.AddHub({}));
    for (const int32_t port : {failing, fresh, productive}) m_queue->AddHub("127.0.0.1", port);
    TempDir dir;
    HubHistory history(dir.File(kHubHistoryFileName));
    const auto ended = [](int32_t port, HubReason reason, int results) {
        HubOutcome outcome;
        outcome.host = "127.0.0.1";
        outcome.port = port;
        outcome.reason = reason;
        outcome.results = results;
        return outcome;
    };
    // Runs of an hour ago: too long ago to skip anything.
    for (const int64_t run : {1, 2, 3})
        history.Record({ended(failing, HubReason::HubFull, 0), ended(productive, HubReason::Searched, 4)}, run, 1000);
    m_session->SetHubHistory(&history);
    m_settings.Threads = 1;

    ASSERT_EQ(Start().failure, RunStartFailure::None);
    ASSERT_TRUE(m_reports.WaitFor([&] { return m_reports.m_runsEnded == 1; }));
    m_reports.Inspect([&] { EXPECT_EQ(m_reports.m_endOrder, (std::vector<int32_t>{productive, fresh, failing})); });

    m_reports.Inspect([&] { m_reports.m_hubs.clear(); });
    ASSERT_EQ(Start().failure, RunStartFailure::None);
    ASSERT_TRUE(m_reports.WaitFor([&] { return m_reports.m_runsEnded == 2; }));
    m_reports.Inspect([&] {
        EXPECT_EQ(m_reports.m_hubs[productive].reason, HubReason::TooSoon);
        EXPECT_EQ(m_reports.m_hubs[fresh].reason, HubReason::TooSoon);
        EXPECT_EQ(m_reports.m_hubs[failing].reason, HubReason::HubFull);
        EXPECT_EQ(m_reports.m_failed, 3);
    });
    EXPECT_EQ(m_hubs.Forwarded(1).size(), 1u) << "searched once, in the first run";
}
