#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <string>
#include <thread>

#include "engine/nmdc/nmdc_text.h"
#include "engine/search/hub_exchange.h"
#include "support/closed_port.h"
#include "support/fake_hub.h"
#include "support/fake_name_server.h"
#include "support/test_run_values.h"
#include "support/tls_test_server.h"

// Failed expectations show the result in words; found by argument lookup, so it sits beside ExchangeResult.
void PrintTo(const ExchangeResult& result, std::ostream* out) {
    *out << DescribeExchange(result);
}

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using NickAnswer = FakeHubBehaviour::NickAnswer;

const std::string MyInfo = "$MyINFO $ALL tester <++ V:0.705,M:A,H:1/0/0,S:10>$ $1\x01$$5368709120$|";
const std::string Login = "$ValidateNick tester|";
const std::string AfterHello = "$Version 1,0091|" + MyInfo + "$Search 127.0.0.1:1025 F?F?0?1?big$buck|";

struct Expected {
    ExchangeEnd end;
    ExchangeStage stage;
    TcpStatus connection = TcpStatus::Ok;
};

void PrintTo(const Expected& expected, std::ostream* out) {
    *out << DescribeExchange({expected.end, expected.stage, expected.connection, {}, {}, {}});
}

bool operator==(const ExchangeResult& result, const Expected& expected) {
    return result.end == expected.end && result.stage == expected.stage && result.connection == expected.connection;
}

struct ExchangeCase {
    const char* name;
    FakeHubBehaviour hub;
    Expected result;
    std::string received;  // every byte the hub got
    std::string description;
};

FakeHubBehaviour Hub(std::string lock, NickAnswer answer = NickAnswer::Hello) {
    FakeHubBehaviour hub;
    hub.lock = std::move(lock);
    hub.nickAnswer = answer;
    return hub;
}

ExchangeResult Exchange(FakeHubServer& server, int hub, const RunValues& values, const HubExchangeTimings& timings) {
    TcpClient client;
    return RunHubExchange(client, "127.0.0.1", server.Port(hub), values, timings, [] { return true; });
}

TEST(HubExchange, SendsExactMessagesAndSaysWhyHubsDoNotLetUsIn) {
    FakeHubBehaviour otherFirst = Hub("ABC");
    otherFirst.otherUserFirst = true;
    FakeHubBehaviour closingBefore = Hub("ABC");
    closingBefore.closeBeforeLock = true;
    FakeHubBehaviour closingAfter = Hub("ABC");
    closingAfter.closeAfterLock = true;
    FakeHubBehaviour longLine = Hub("ABC");
    longLine.longLine = true;
    FakeHubBehaviour refusing = Hub("ABC", NickAnswer::Refuse);
    refusing.chat = "<HubBot> This nick is taken";
    FakeHubBehaviour closingOnMyInfo = Hub("ABC");
    closingOnMyInfo.closeOnMyInfo = true;
    closingOnMyInfo.chat = "<HubBot> Welcome";
    const std::string extendedLock = "EXTENDEDPROTOCOLabcdef";
    const std::string extendedKey = "$Key " + LockToKey(extendedLock, 5) + "|";
    FakeHubBehaviour requiresSupports = Hub(extendedLock);
    requiresSupports.requireSupports = true;
    const std::string key = "$Key T0\x10|";
    using End = ExchangeEnd;
    using Stage = ExchangeStage;
    const Expected searched{End::Searched, Stage::Search};
    const ExchangeCase cases[] = {
        {"plain lock ABC", Hub("ABC"), searched, key + Login + AfterHello, "$Search sent"},
        {"escaped key byte", Hub("\x41\x86"), searched, "$Key 8/%DCN124%/|" + Login + AfterHello, "$Search sent"},
        {"another user's hello first", otherFirst, searched, key + Login + AfterHello, "$Search sent"},
        {"extended lock", Hub(extendedLock), searched,
         "$Supports NoGetINFO NoHello UserIP2|" + extendedKey + Login + AfterHello, "$Search sent"},
        {"hub that wants $Supports", requiresSupports, searched,
         "$Supports NoGetINFO NoHello UserIP2|" + extendedKey + Login + AfterHello, "$Search sent"},
        {"nick refused",
         refusing,
         {End::NickRefused, Stage::Hello},
         key + Login,
         "nick refused ($ValidateDenide); the hub said: <HubBot> This nick is taken"},
        {"password asked",
         Hub("ABC", NickAnswer::AskPassword),
         {End::PasswordAsked, Stage::Hello},
         key + Login,
         "password asked ($GetPass)"},
        {"hub full", Hub("ABC", NickAnswer::Full), {End::HubFull, Stage::Hello}, key + Login, "hub full ($HubIsFull)"},
        {"silent hub",
         Hub("ABC", NickAnswer::Silent),
         {End::Connection, Stage::Hello, TcpStatus::TimedOut},
         key + Login,
         "timed out waiting for $Hello"},
        {"line over the limit",
         longLine,
         {End::Connection, Stage::Hello, TcpStatus::LineTooLong},
         key + Login,
         "line too long while waiting for $Hello"},
        {"one-byte lock", Hub("A"), {End::BadLock, Stage::Lock}, "", "no usable lock in the hub's first line"},
        {"closed before the lock",
         closingBefore,
         {End::Connection, Stage::Lock, TcpStatus::PeerClosed},
         "",
         "closed by the hub before the lock"},
        {"closed after $MyINFO",
         closingOnMyInfo,
         {End::Connection, Stage::MyInfo, TcpStatus::PeerClosed},
         key + Login + "$Version 1,0091|" + MyInfo,
         "closed by the hub after $MyINFO; the hub said: <HubBot> Welcome"},
    };
    FakeHubServer server;
    for (const ExchangeCase& c : cases) {
        const int hub = server.AddHub(c.hub);
        const ExchangeResult result = Exchange(server, hub, TestRunValues(), QuickTimings());
        EXPECT_EQ(result, c.result) << c.name;
        EXPECT_EQ(DescribeExchange(result), c.description) << c.name;
        ASSERT_TRUE(server.WaitUntil([&] { return server.OpenConnections(hub) == 0; }, 2s)) << c.name;
        const auto received = server.Received(hub);
        ASSERT_EQ(received.size(), 1u) << c.name;
        EXPECT_EQ(received[0], c.received) << c.name;
    }
    // A hub that closes right after its lock may or may not have taken the greeting before it went.
    const int hub = server.AddHub(closingAfter);
    EXPECT_EQ(Exchange(server, hub, TestRunValues(), QuickTimings()),
              (Expected{End::Connection, Stage::Hello, TcpStatus::PeerClosed}));
}

// A hub that has said no is left at once, however long the time-outs: these would otherwise wait an hour.
TEST(HubExchange, RefusalsEndTheLoginAtOnceWithTheHubsWords) {
    FakeHubBehaviour full = Hub("ABC", NickAnswer::Full);
    full.chat = "<HubBot> Hub full, try again later";
    FakeHubBehaviour banned = Hub("ABC", NickAnswer::Banned);
    banned.chat = "<HubBot> You are banned";
    FakeHubBehaviour moved = Hub("ABC", NickAnswer::Redirect);
    moved.redirectTo = "other.example:411";
    moved.chat = "<HubBot> We moved";
    const struct {
        FakeHubBehaviour hub;
        ExchangeEnd end;
        std::string redirect;
        std::string description;
    } cases[] = {
        {Hub("ABC", NickAnswer::Refuse), ExchangeEnd::NickRefused, "", "nick refused ($ValidateDenide)"},
        {Hub("ABC", NickAnswer::AskPassword), ExchangeEnd::PasswordAsked, "", "password asked ($GetPass)"},
        {full, ExchangeEnd::HubFull, "", "hub full ($HubIsFull); the hub said: <HubBot> Hub full, try again later"},
        {banned, ExchangeEnd::Banned, "", "banned or wrong password ($BadPass); the hub said: <HubBot> You are banned"},
        {moved, ExchangeEnd::Redirected, "other.example:411",
         "redirected to other.example:411 ($ForceMove); the hub said: <HubBot> We moved"},
    };
    FakeHubServer server;
    HubExchangeTimings timings = QuickTimings();
    timings.LoginDeadline = 1h;
    for (const auto& c : cases) {
        const ExchangeResult result = Exchange(server, server.AddHub(c.hub), PatientValues(), timings);
        EXPECT_EQ(result, (Expected{c.end, ExchangeStage::Hello})) << c.description;
        EXPECT_EQ(result.redirect, c.redirect);
        EXPECT_EQ(DescribeExchange(result), c.description);
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
        EXPECT_EQ(RunHubExchange(client, host, port, values, QuickTimings(), wanted),
                  (Expected{ExchangeEnd::Connection, ExchangeStage::Connect, TcpStatus::InvalidTarget}))
            << host << ":" << port;
    EXPECT_TRUE(server.Received(hub).empty());
}

TEST(HubExchange, ConnectFailuresNameTheirCause) {
    FakeNameServer names({});
    TcpClient client(names.Address());
    const struct {
        std::string host;
        int32_t port;
        TcpStatus status;
        const char* description;
    } cases[] = {
        {"127.0.0.1", ClosedLoopbackPort(), TcpStatus::Refused, "connection refused"},
        {"no-such-hub.test", 411, TcpStatus::NameNotFound, "name not resolved"},
    };
    for (const auto& c : cases) {
        const ExchangeResult result =
            RunHubExchange(client, c.host, c.port, TestRunValues(), QuickTimings(), [] { return true; });
        EXPECT_EQ(result, (Expected{ExchangeEnd::Connection, ExchangeStage::Connect, c.status})) << c.host;
        EXPECT_EQ(DescribeExchange(result), c.description) << c.host;
    }
}

TEST(HubExchange, TricklingOrFloodingHubFailsAtTheLoginDeadline) {
    HubExchangeTimings timings = QuickTimings();
    timings.LoginDeadline = 200ms;
    for (const auto interval : {20ms, 0ms}) {
        FakeHubServer server;
        FakeHubBehaviour trickle = Hub("ABC", NickAnswer::Trickle);
        trickle.trickleInterval = interval;
        const int hub = server.AddHub(trickle);
        const auto started = Clock::now();
        // Only the deadline can end this login.
        const ExchangeResult result = Exchange(server, hub, PatientValues(), timings);
        EXPECT_GE(Clock::now() - started, *timings.LoginDeadline) << interval.count();
        EXPECT_EQ(result, (Expected{ExchangeEnd::LoginTooLong, ExchangeStage::Hello, TcpStatus::TimedOut}))
            << interval.count();
        EXPECT_EQ(
            DescribeExchange(result).rfind("login deadline passed while waiting for $Hello; the hub said: <Hub> ", 0),
            0u)
            << interval.count();
    }
}

TEST(HubExchange, GivesUpWhenNoLongerWantedWhileWaitingForHello) {
    FakeHubServer server;
    const int hub = server.AddHub(Hub("ABC", NickAnswer::Trickle));
    TcpClient client;
    EXPECT_EQ(
        RunHubExchange(client, "127.0.0.1", server.Port(hub), TestRunValues(), QuickTimings(), [] { return false; }),
        (Expected{ExchangeEnd::GivenUp, ExchangeStage::Hello}));
    EXPECT_TRUE(server.WaitUntil([&] { return server.Received(hub).at(0) == "$Key T0\x10|" + Login; }, 2s));
}

TEST(HubExchange, AbortCutsTheLoginShort) {
    FakeHubServer server;
    const int hub = server.AddHub(Hub("ABC", NickAnswer::Silent));
    TcpClient client;
    std::thread aborter([&] {
        EXPECT_TRUE(
            server.WaitUntil([&] { return !server.Received(hub).empty() && !server.Received(hub)[0].empty(); }, 10s));
        client.Abort();
    });
    const ExchangeResult result =
        RunHubExchange(client, "127.0.0.1", server.Port(hub), PatientValues(), QuickTimings(), [] { return true; });
    aborter.join();
    EXPECT_EQ(result, (Expected{ExchangeEnd::Connection, ExchangeStage::Hello, TcpStatus::Aborted}));
    EXPECT_EQ(DescribeExchange(result), "cut short while waiting for $Hello");
    EXPECT_FALSE(client.Connected());
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
        EXPECT_EQ(Exchange(server, hub, TestRunValues(), c.timings).end, ExchangeEnd::Searched) << c.name;
        ASSERT_TRUE(
            server.WaitUntil([&] { return server.Forwarded(hub).size() + server.Ignored(hub).size() == 1; }, 3s))
            << c.name;
        EXPECT_EQ(server.Forwarded(hub).size(), c.forwarded ? 1u : 0u) << c.name;
    }
}

// A passive search names us instead of an address; the hub relays its active users' $SR lines on our connection
// while we stay, and its $UserIP tells the address it sees. Other lines in the window are not results.
TEST(HubExchange, PassiveSearchCollectsRelayedResultsAndReadsUserIp) {
    FakeHubBehaviour relaying = Hub("EXTENDEDPROTOCOL_relay");
    relaying.userIp = "192.0.2.44";
    relaying.passiveAnswers = {
        "$SR alice a\\b.avi\x05"
        "100 1/1\x05"
        "TTH:X (127.0.0.1:411)\x05"
        "tester",
        "<Bot> hi",
        "$SR bob c.avi\x05"
        "200 1/1\x05"
        "TTH:Y (127.0.0.1:411)\x05"
        "tester"};
    FakeHubServer server;
    const int hub = server.AddHub(relaying);
    RunValues values = TestRunValues();
    values.Passive = true;
    std::vector<std::string> relayed;
    TcpClient client;
    const ExchangeResult result = RunHubExchange(
        client, "127.0.0.1", server.Port(hub), values, {300ms, 1000ms}, [] { return true; },
        [&](std::string_view line) { relayed.emplace_back(line); });
    EXPECT_EQ(result.end, ExchangeEnd::Searched);
    EXPECT_EQ(result.hubSeenAddress, "192.0.2.44");
    EXPECT_EQ(relayed, (std::vector<std::string>{relaying.passiveAnswers[0], relaying.passiveAnswers[2]}));
    ASSERT_EQ(server.Forwarded(hub).size(), 1u);
    EXPECT_EQ(server.Forwarded(hub)[0], "$Search Hub:tester F?F?0?1?big$buck");
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

TEST(HubExchange, NickAndPhraseGoInTheHubsEncodingOrTheHubIsSkipped) {
    struct Case {
        const char* name;
        std::string encoding;
        std::string nick;     // UTF-8
        std::string pattern;  // UTF-8
        ExchangeEnd end;
        std::string received;  // every byte the hub got
    };
    const std::string key = "$Key T0\x10|";
    const std::string nickIvan = "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD";        // Иван
    const std::string phrase = "\xD0\xBF\xD0\xB5\xD1\x81\xD0\xBD\xD1\x8F";  // песня
    const std::string myInfoIvan = "$MyINFO $ALL \xC8\xE2\xE0\xED <++ V:0.705,M:A,H:1/0/0,S:10>$ $1\x01$$5368709120$|";
    const Case cases[] = {
        {"cyrillic on a CP1251 hub", "CP1251", nickIvan, phrase, ExchangeEnd::Searched,
         key + "$ValidateNick \xC8\xE2\xE0\xED|$Version 1,0091|" + myInfoIvan +
             "$Search 127.0.0.1:1025 F?F?0?1?\xEF\xE5\xF1\xED\xFF|"},
        {"cyrillic phrase on a UTF-8 hub", "UTF-8", "tester", phrase, ExchangeEnd::Searched,
         key + Login + "$Version 1,0091|" + MyInfo + "$Search 127.0.0.1:1025 F?F?0?1?" + phrase + "|"},
        {"accented phrase on a CP1252 hub", "CP1252", "tester", "caf\xC3\xA9", ExchangeEnd::Searched,
         key + Login + "$Version 1,0091|" + MyInfo + "$Search 127.0.0.1:1025 F?F?0?1?caf\xE9|"},
        {"cyrillic phrase on a CP1252 hub", "CP1252", "tester", phrase, ExchangeEnd::PhraseNotWritable, ""},
        {"cyrillic nick on a CP1250 hub", "CP1250", nickIvan, "big", ExchangeEnd::NickNotWritable, ""},
    };
    FakeHubServer server;
    for (const Case& c : cases) {
        const int hub = server.AddHub(Hub("ABC"));
        RunValues values = TestRunValues();
        values.Nick = c.nick;
        values.SearchPattern = c.pattern;
        TcpClient client;
        const ExchangeResult result =
            LogInAndSearchInEncoding(client, "127.0.0.1", server.Port(hub), HubEncoding::FromListName(c.encoding),
                                     values, QuickTimings(), [] { return true; });
        client.Disconnect();
        EXPECT_EQ(result.end, c.end) << c.name;
        ASSERT_TRUE(server.WaitUntil([&] { return server.OpenConnections(hub) == 0; }, 2s)) << c.name;
        const auto received = server.Received(hub);
        EXPECT_EQ(received.empty() ? std::string() : received[0], c.received) << c.name;
    }
    EXPECT_EQ(DescribeExchange({ExchangeEnd::PhraseNotWritable, ExchangeStage::Connect, TcpStatus::Ok, {}, {}, {}}),
              "skipped: the phrase cannot be written in the hub's encoding");
}

// The hub's words reach the log and the report as UTF-8: its own encoding, or UTF-8 where the hub sends that.
TEST(HubExchange, HubsWordsAreReadInItsEncoding) {
    std::string longUtf8 = "<Bo> ";
    for (int i = 0; i < 300; ++i) longUtf8 += "я";
    const struct {
        const char* name;
        std::string encoding;
        std::string chat;      // as the hub sends it
        std::string redirect;  // as the hub sends it
        std::string message;   // UTF-8
        std::string redirectAddress;
    } cases[] = {
        {"CP1251 hub", "CP1251", "<\xC1\xEE\xF2> \xCF\xF0\xE8\xE2\xE5\xF2", "\xF5\xE0\xE1.example", "<Бот> Привет",
         "хаб.example"},
        {"UTF-8 words on a CP1251 hub", "CP1251", "<Бот> Привет", "", "<Бот> Привет", ""},
        {"CP1252 hub", "CP1252", "<Bot> Caf\xE9 ferm\xE9", "", "<Bot> Café fermé", ""},
        {"a long UTF-8 line is cut between characters", "CP1251", longUtf8, "", longUtf8.substr(0, 511), ""},
    };
    FakeHubServer server;
    for (const auto& c : cases) {
        FakeHubBehaviour moved = Hub("ABC", NickAnswer::Redirect);
        moved.chat = c.chat;
        moved.redirectTo = c.redirect;
        TcpClient client;
        const ExchangeResult result = LogInAndSearchInEncoding(client, "127.0.0.1", server.Port(server.AddHub(moved)),
                                                               HubEncoding::FromListName(c.encoding), TestRunValues(),
                                                               QuickTimings(), [] { return true; });
        EXPECT_EQ(result.hubMessage, c.message) << c.name;
        EXPECT_EQ(result.redirect, c.redirectAddress) << c.name;
    }
}

// nmdcs://: the login runs over TLS, and the keyprint of the hub's address decides which certificate is accepted.
TEST(HubExchange, TlsHubIsSearchedOverTlsAndHeldToItsKeyprint) {
    const TestCertificate certificate = MakeSelfSignedCertificate();
    TlsLineServer tlsHub(certificate, "$Lock FakeHubLockText Pk=x|$HubIsFull|");
    FakeHubServer plainHubs;
    const uint16_t plainPort = plainHubs.Port(plainHubs.AddHub({}));
    const struct {
        const char* name;
        uint16_t port;
        std::string keyprint;
        ExchangeEnd end;
    } cases[] = {
        {"the hub list's keyprint", tlsHub.Port(), certificate.Keyprint, ExchangeEnd::HubFull},
        {"no keyprint", tlsHub.Port(), "", ExchangeEnd::HubFull},
        {"another certificate's keyprint", tlsHub.Port(), MakeSelfSignedCertificate().Keyprint,
         ExchangeEnd::KeyprintMismatch},
        {"a hub without TLS", plainPort, "", ExchangeEnd::TlsFailed},
    };
    for (const auto& c : cases) {
        TcpClient client;
        const ExchangeResult result = LogInAndSearchInEncoding(
            client, "127.0.0.1", c.port, HubEncoding::FromListName(""), TestRunValues(), QuickTimings(),
            [] { return true; }, {}, HubTls{c.keyprint});
        EXPECT_EQ(result.end, c.end) << c.name << ": " << DescribeExchange(result);
    }
}

}  // namespace
