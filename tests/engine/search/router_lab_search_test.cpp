#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "engine/net/port_mapper.h"
#include "engine/search/hub_queue.h"
#include "engine/search/search_session.h"
#include "support/fake_gui_thread.h"
#include "support/fake_hub.h"
#include "support/router_lab.h"

using namespace std::chrono_literals;
using Side = RouterLab::Side;

namespace {

const std::string kAnswer =
    "$SR alice music\\lab.mp3\x05"
    "5242880 2/4\x05Lab Hub (10.77.2.2:411)";

// The results and the end of the run, as the fake GUI thread delivered them.
class Counts : public SearchSessionObserver {
public:
    void OnProgress(int32_t /*searched*/, int32_t /*failed*/) override {}
    void OnResult(const SearchResult& /*result*/) override {
        Change([&] { ++m_results; });
    }
    void OnResultsReported() override {}
    void OnRunStarted() override {
        Change([&] { m_started = true; });
    }
    void OnRunEnded() override {
        Change([&] { m_ended = true; });
    }
    void OnResultLimitReached() override {}

    // The route waits on the router off the GUI thread; the run starts once it has answered.
    bool WaitForStart() {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 40s, [&] { return m_started; });
    }
    // Waits up to limit until condition(results, ended) holds.
    bool WaitFor(const std::function<bool(int, bool)>& condition, std::chrono::milliseconds limit = 20s) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, limit, [&] { return condition(m_results, m_ended); });
    }

private:
    void Change(const std::function<void()>& change) {
        std::lock_guard lock(m_mutex);
        change();
        m_changed.notify_all();
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_results = 0;
    bool m_started = false;
    bool m_ended = false;
};

HubExchangeTimings Timings() {
    // The mapping goes when the last hub has been left: the linger leaves the answer time to come.
    HubExchangeTimings timings{300ms, 2s};
    timings.PassiveWindow = 1s;  // the hub relays at once
    return timings;
}

// The program's side at home: the session with the router's mapper, closed in the order the program closes.
struct Home {
    Home() : session(std::make_unique<SearchSession>(gui, counts, Timings())) {}
    ~Home() {
        gui.Close();
        session.reset();
    }
    template <typename Read>
    auto OnGui(Read read) {
        decltype(read()) value{};
        gui.RunAndWait([&] { value = read(); });
        return value;
    }

    FakeGuiThread gui;
    Counts counts;
    std::unique_ptr<SearchSession> session;
};

// An answer from a fresh port of the internet side, as another user's client sends it; false when it cannot be sent.
bool AnswerFromInternet(const RouterLab& lab, const std::string& address, uint16_t port) {
    const int sender = lab.UdpSocket(Side::Internet, RouterLab::InternetAddress, 0);
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    const std::string datagram = kAnswer + "|";
    const bool sent = sender >= 0 && inet_pton(AF_INET, address.c_str(), &target.sin_addr) == 1 &&
                      sendto(sender, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&target),
                             sizeof target) == static_cast<ssize_t>(datagram.size());
    if (sender >= 0) close(sender);
    return sent;
}

// The program at home behind the lab's router, the hub on the internet side: Automatic maps the run's port by UPnP
// or NAT-PMP and the answer arrives through the router, the port closes again when the run has ended; with no
// mapping service the run goes passive and the hub relays the answer.
TEST(RouterLabSearch, AutomaticMapsThePortOrGoesPassive) {
    const std::string reason = RouterLab::Unavailable();
    if (!reason.empty()) GTEST_SKIP() << reason;
    const struct {
        const char* name;
        std::optional<RouterLab::Services> services;
        ResultRoute route;
    } cases[] = {
        {"UPnP", RouterLab::Services{.upnp = true, .natPmp = false}, ResultRoute::Mapped},
        {"NAT-PMP", RouterLab::Services{.upnp = false, .natPmp = true}, ResultRoute::Mapped},
        {"no mapping service", std::nullopt, ResultRoute::Passive},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RouterLab lab;
        ASSERT_EQ(lab.Error(), "");
        if (c.services) {
            ASSERT_EQ(lab.StartRouterService(*c.services), "");
        }
        FakeHubServer hubs;
        FakeHubBehaviour behaviour;
        behaviour.lock = "EXTENDEDPROTOCOL_lab";  // $UserIP goes to clients that list UserIP2
        behaviour.userIp = RouterLab::RouterOutsideAddress;
        behaviour.passiveAnswers = {kAnswer};
        int hub = -1;
        ASSERT_TRUE(lab.RunIn(Side::Internet, [&] { hub = hubs.AddHub(behaviour, RouterLab::InternetAddress); }));

        // The main thread stays at home throughout: libnatpmp finds the gateway in its namespace's routes.
        ASSERT_TRUE(lab.RunIn(Side::Home, [&] {
            Home home;
            // As at start-up, the router is looked for before the first search; here the run waits for it.
            home.gui.RunAndWait(
                [&] { home.session->UseRouter(std::make_unique<PortMapper>(PortMapperConfig{}), 30s); });
            HubQueue queue;
            queue.AddHub(RouterLab::InternetAddress, hubs.Port(hub));
            AppSettings settings;
            settings.Nick = "tester";
            settings.ShareSizeBytes = "5368709120";
            settings.Threads = 1;
            settings.SearchTimeout = 5;
            RunStart start;
            home.gui.RunAndWait([&] { start = home.session->Start(queue, settings, {}, "lab"); });
            ASSERT_EQ(start.failure, RunStartFailure::None);
            ASSERT_TRUE(home.counts.WaitForStart());
            const ConnectionPlan plan = home.OnGui([&] { return home.session->RunPlan(); });
            std::cout << "[   LAB    ] " << home.OnGui([&] { return home.session->ConnectionFindings(); }) << "\n";
            ASSERT_EQ(plan.Route, c.route) << lab.RouterServiceLog();
            if (plan.Route == ResultRoute::Mapped) {
                EXPECT_EQ(plan.AdvertisedAddress, RouterLab::RouterOutsideAddress);
                ASSERT_TRUE(hubs.WaitUntil([&] { return !hubs.Forwarded(hub).empty(); }, 10s));
                ASSERT_TRUE(AnswerFromInternet(lab, plan.AdvertisedAddress, plan.AdvertisedPort));
            }
            ASSERT_TRUE(home.counts.WaitFor([](int results, bool ended) { return results == 1 && ended; }));
            if (plan.Route != ResultRoute::Mapped) return;
            // The mapping went with the run: what comes now stays at the router.
            ASSERT_TRUE(AnswerFromInternet(lab, plan.AdvertisedAddress, plan.AdvertisedPort));
            EXPECT_FALSE(home.counts.WaitFor([](int results, bool) { return results > 1; }, 2s));
        }));
    }
}

}  // namespace
