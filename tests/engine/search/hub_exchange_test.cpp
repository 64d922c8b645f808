#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "engine/nmdc/nmdc_text.h"
#include "engine/search/hub_exchange.h"
#include "support/fake_hub.h"
#include "support/test_run_values.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using NickAnswer = FakeHubBehaviour::NickAnswer;

const std::string MyInfo = "$MyINFO $ALL tester <++ V:0.705,M:A,H:1/0/0,S:10>$ $1\x01$$5368709120$|";
const std::string Login = "$ValidateNick tester|";
const std::string AfterHello = "$Version 1,0091|" + MyInfo + "$Search 127.0.0.1:1025 F?F?0?1?big$buck|";

struct ExchangeCase {
    const char* name;
    FakeHubBehaviour hub;
    ExchangeOutcome outcome;
    std::string received;  // every byte the hub got
};

FakeHubBehaviour Hub(std::string lock, NickAnswer answer = NickAnswer::Hello) {
    FakeHubBehaviour hub;
    hub.lock = std::move(lock);
    hub.nickAnswer = answer;
    return hub;
}

ExchangeOutcome Exchange(FakeHubServer& server, int hub, const RunValues& values, const HubExchangeTimings& timings) {
    TcpClient client;
    return RunHubExchange(client, "127.0.0.1", server.Port(hub), values, timings, [] { return true; });
}

TEST(HubExchange, SendsExactMessagesAndFailsHubsThatDoNotLetUsIn) {
    FakeHubBehaviour otherFirst = Hub("ABC");
    otherFirst.otherUserFirst = true;
    FakeHubBehaviour closing = Hub("ABC");
    closing.closeAfterLock = true;
    FakeHubBehaviour longLine = Hub("ABC");
    longLine.longLine = true;
    const std::string extendedLock = "EXTENDEDPROTOCOLabcdef";
    const std::string extendedKey = "$Key " + LockToKey(extendedLock, 5) + "|";
    FakeHubBehaviour requiresSupports = Hub(extendedLock);
    requiresSupports.requireSupports = true;
    const ExchangeCase cases[] = {
        {"plain lock ABC", Hub("ABC"), ExchangeOutcome::Searched, "$Key T0\x10|" + Login + AfterHello},
        {"escaped key byte", Hub("\x41\x86"), ExchangeOutcome::Searched, "$Key 8/%DCN124%/|" + Login + AfterHello},
        {"another user's hello first", otherFirst, ExchangeOutcome::Searched, "$Key T0\x10|" + Login + AfterHello},
        {"extended lock", Hub(extendedLock), ExchangeOutcome::Searched,
         "$Supports NoGetINFO NoHello|" + extendedKey + Login + AfterHello},
        {"hub that wants $Supports", requiresSupports, ExchangeOutcome::Searched,
         "$Supports NoGetINFO NoHello|" + extendedKey + Login + AfterHello},
        {"nick refused", Hub("ABC", NickAnswer::Refuse), ExchangeOutcome::Failed, "$Key T0\x10|" + Login},
        {"password asked", Hub("ABC", NickAnswer::AskPassword), ExchangeOutcome::Failed, "$Key T0\x10|" + Login},
        {"silent hub", Hub("ABC", NickAnswer::Silent), ExchangeOutcome::Failed, "$Key T0\x10|" + Login},
        {"line over the limit", longLine, ExchangeOutcome::Failed, "$Key T0\x10|" + Login},
        {"one-byte lock", Hub("A"), ExchangeOutcome::Failed, ""},
        {"closed after the lock", closing, ExchangeOutcome::Failed, ""},
    };
    FakeHubServer server;
    for (const ExchangeCase& c : cases) {
        const int hub = server.AddHub(c.hub);
        EXPECT_EQ(Exchange(server, hub, TestRunValues(), QuickTimings()), c.outcome) << c.name;
        ASSERT_TRUE(server.WaitUntil([&] { return server.OpenConnections(hub) == 0; }, 2s)) << c.name;
        const auto received = server.Received(hub);
        ASSERT_EQ(received.size(), 1u) << c.name;
        // A hub that closes at once may or may not have taken the greeting before it went.
        if (c.name != std::string("closed after the lock")) {
            EXPECT_EQ(received[0], c.received) << c.name;
        }
    }
}

TEST(HubExchange, ImpossibleTargetsFailWithoutConnecting) {
    FakeHubServer server;
    const int hub = server.AddHub(Hub("ABC"));
    TcpClient client;
    const auto wanted = [] { return true; };
    const RunValues values = TestRunValues();
    for (const auto& [host, port] : {std::pair<std::string, int32_t>{"", server.Port(hub)},
                                     {"127.0.0.1", 0},
                                     {"127.0.0.1", 65536},
                                     {"127.0.0.1", -411}})
        EXPECT_EQ(RunHubExchange(client, host, port, values, QuickTimings(), wanted), ExchangeOutcome::Failed)
            << host << ":" << port;
    EXPECT_TRUE(server.Received(hub).empty());
}

TEST(HubExchange, TricklingOrFloodingHubFailsAfterFourTimesTheTimeout) {
    for (const auto interval : {20ms, 0ms}) {
        FakeHubServer server;
        FakeHubBehaviour trickle = Hub("ABC", NickAnswer::Trickle);
        trickle.trickleInterval = interval;
        const int hub = server.AddHub(trickle);
        const auto started = Clock::now();
        EXPECT_EQ(Exchange(server, hub, TestRunValues(), QuickTimings()), ExchangeOutcome::Failed);
        const auto took = Clock::now() - started;
        EXPECT_GE(took, 3900ms) << interval.count();
        EXPECT_LT(took, 6s) << interval.count();
    }
}

TEST(HubExchange, GivesUpWhenNoLongerWantedWhileWaitingForHello) {
    FakeHubServer server;
    const int hub = server.AddHub(Hub("ABC", NickAnswer::Trickle));
    TcpClient client;
    EXPECT_EQ(
        RunHubExchange(client, "127.0.0.1", server.Port(hub), TestRunValues(), QuickTimings(), [] { return false; }),
        ExchangeOutcome::GivenUp);
    EXPECT_TRUE(server.WaitUntil([&] { return server.Received(hub).at(0) == "$Key T0\x10|" + Login; }, 2s));
}

TEST(HubExchange, StrictHubForwardsTheSearchOnlyAfterEchoAndWhileWeStay) {
    FakeHubBehaviour strict = Hub("EXTENDEDPROTOCOL_strict");
    strict.strict = true;
    strict.requireSupports = true;
    strict.answerDelay = 100ms;
    strict.forwardInterval = 300ms;
    const struct {
        const char* name;
        HubExchangeTimings timings;
        bool forwarded;
    } cases[] = {
        {"waits for echo and stays", {2000ms, 600ms}, true},
        {"searches before the echo", {0ms, 600ms}, false},
        {"leaves before the batch", {2000ms, 0ms}, false},
    };
    FakeHubServer server;
    for (const auto& c : cases) {
        const int hub = server.AddHub(strict);
        EXPECT_EQ(Exchange(server, hub, TestRunValues(), c.timings), ExchangeOutcome::Searched) << c.name;
        ASSERT_TRUE(
            server.WaitUntil([&] { return server.Forwarded(hub).size() + server.Ignored(hub).size() == 1; }, 3s))
            << c.name;
        EXPECT_EQ(server.Forwarded(hub).size(), c.forwarded ? 1u : 0u) << c.name;
    }
}

TEST(HubExchange, StrictHubDropsWrongKey) {
    FakeHubBehaviour strict = Hub("ABC");
    strict.strict = true;
    FakeHubServer server;
    const int hub = server.AddHub(strict);
    TcpClient client;
    ASSERT_EQ(client.Connect("127.0.0.1", server.Port(hub), 1s), TcpStatus::Ok);
    std::string line;
    ASSERT_EQ(client.ReadLine('|', 1s, line), TcpStatus::Ok);
    ASSERT_EQ(client.WriteAll("$Key wrong|$ValidateNick tester|", 1s), TcpStatus::Ok);
    while (client.ReadLine('|', 2s, line) == TcpStatus::Ok) EXPECT_NE(line, "$Hello tester");
    EXPECT_TRUE(server.WaitUntil([&] { return server.OpenConnections(hub) == 0; }, 2s));
}

}  // namespace
