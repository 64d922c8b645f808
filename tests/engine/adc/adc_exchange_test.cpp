#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "engine/adc/adc_exchange.h"
#include "engine/search/hub_outcome.h"
#include "support/fake_adc_hub.h"
#include "support/test_run_values.h"

namespace {

using namespace std::chrono_literals;

const AdcIdentity kIdentity{"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA", "ZXO4VT7KPNYLJBLFLOR5YP3A33SPNOHYMEDJ4MY"};
const std::string kOtherCid = "W6AIUW3CLDF6OGHNVE4JPDDJ2P74IWRCF2O36TA";
const std::string kSupports = "HSUP ADBASE ADTIGR\n";
const std::string kInfo = "BINF AAAB ID" + kIdentity.Cid + " PD" + kIdentity.Pid +
                          " NItester SS5368709120 SL10 HN1 HR0 HO0 VEHubsift\\s" HUBSIFT_VERSION
                          " SUUDP4 I4127.0.0.1 U41025\n";
const std::string kSearch = "BSCH AAAB ANbig ANbuck TOP0\n";
const std::string kOtherUser = "BINF AAAC ID" + kOtherCid + " NIother\\suser SL5\n";

// One exchange against a fresh fake hub, with the run's pieces kept for the checks.
struct Exchange {
    explicit Exchange(FakeAdcHubScript script, HubExchangeTimings exchangeTimings = QuickTimings())
        : hub(std::move(script)), timings(exchangeTimings) {
        query.Words = {"big", "buck"};
    }

    AdcExchangeResult Run(const std::function<bool()>& stillWanted = [] { return true; }) {
        const AdcRunContext context{values, kIdentity, query, run, timings, filter, [this](const SearchResult& result) {
                                        relayed.push_back(result);
                                        return true;
                                    }};
        TcpClient client;
        AdcExchangeResult result = RunAdcExchange(client, {"127.0.0.1", hub.Port(), false, ""}, context, stillWanted);
        const std::vector<std::string> finished = hub.Finished(1, 5s);
        received = finished.empty() ? "(connection not finished)" : finished[0];
        return result;
    }

    FakeAdcHub hub;
    RunValues values = TestRunValues();
    AdcSearchQuery query;
    AdcRunRegistry run{"P"};
    HubExchangeTimings timings;
    ResultFilter filter;
    std::vector<SearchResult> relayed;
    std::string received;
};

TEST(AdcExchange, LogsInSearchesAfterTheEchoAndFailsWithTheHubsReason) {
    const auto script = [](std::string onSupports, std::string onInfo, bool echo = true) {
        FakeAdcHubScript made;
        if (!onSupports.empty()) made.onSupports = std::move(onSupports);
        made.onInfo = std::move(onInfo);
        made.echoInfo = echo;
        made.closeAfterSupports = made.onSupports.find("ISTA 2") != std::string::npos;
        made.closeAfterInfo = made.onInfo.find("IQUI") != std::string::npos;
        return made;
    };
    const std::string sid = "ISUP ADBASE ADTIGR\nISID AAAB\n";
    const struct {
        const char* name;
        FakeAdcHubScript script;
        AdcExchangeEnd end;
        std::string reason;
        std::string received;
        HubReason outcome;  // for the per-hub report
    } cases[] = {
        {"plain hub", script("", kOtherUser), AdcExchangeEnd::Searched, "", kSupports + kInfo + kSearch,
         HubReason::Searched},
        {"hub's greeting and others' quits on the way", script(sid + "ISTA 000 Welcome\nIQUI AAAD\n", "ISTA 100 x\n"),
         AdcExchangeEnd::Searched, "", kSupports + kInfo + kSearch, HubReason::Searched},
        {"password", script("", "IGPA AAAAAAAAAAAAAAAA\n", false), AdcExchangeEnd::Failed,
         "the hub asks for a password", kSupports + kInfo, HubReason::PasswordRequired},
        {"nick taken", script("", "ISTA 222 Nickname\\sis\\salready\\sin\\suse\nIQUI AAAB\n", false),
         AdcExchangeEnd::Failed, "Nickname is already in use", kSupports + kInfo, HubReason::NickRefused},
        {"hub full before the SID", script("ISUP ADBASE ADTIGR\nISTA 211 Hub\\sis\\sfull\n", ""),
         AdcExchangeEnd::Failed, "Hub is full", kSupports, HubReason::HubFull},
        {"banned", script("", "ISTA 231 Banned\n", false), AdcExchangeEnd::Failed, "Banned", kSupports + kInfo,
         HubReason::Banned},
        {"registered users only", script("", "ISTA 226\n", false), AdcExchangeEnd::Failed, "hub error 226",
         kSupports + kInfo, HubReason::PasswordRequired},
        {"fatal status without text", script(sid + "ISTA 240\n", ""), AdcExchangeEnd::Failed, "hub error 240",
         kSupports, HubReason::Refused},
        {"kicked", script("", "IQUI AAAB MSGo\\saway\n", false), AdcExchangeEnd::Failed,
         "disconnected by the hub: Go away", kSupports + kInfo, HubReason::Refused},
        {"redirected", script("", "IQUI AAAB RDadcs://other.example:411\n", false), AdcExchangeEnd::Failed,
         "redirected to adcs://other.example:411", kSupports + kInfo, HubReason::Redirected},
        {"no echo", script("", kOtherUser, false), AdcExchangeEnd::Failed,
         "timed out while waiting for the hub to list us", kSupports + kInfo, HubReason::LoginTimedOut},
    };
    for (const auto& c : cases) {
        Exchange exchange(c.script);
        const AdcExchangeResult result = exchange.Run();
        EXPECT_EQ(result.End, c.end) << c.name;
        EXPECT_EQ(result.Reason, c.reason) << c.name;
        EXPECT_EQ(exchange.received, c.received) << c.name;
        EXPECT_EQ(OutcomeOf("hub", 1, result, 0ms).reason, c.outcome) << c.name;
    }
}

TEST(AdcExchange, HubClosingBeforeTheEchoFails) {
    FakeAdcHubScript script;
    script.echoInfo = false;
    script.closeAfterInfo = true;
    Exchange exchange(script);
    EXPECT_EQ(exchange.Run().Reason, "closed by the other side while waiting for the hub to list us");
}

TEST(AdcExchange, GivesUpWhenNoLongerWanted) {
    Exchange exchange({});
    EXPECT_EQ(exchange.Run([] { return false; }).End, AdcExchangeEnd::GivenUp);
    EXPECT_EQ(exchange.received, kSupports);
}

TEST(AdcExchange, PassiveLoginAnnouncesNoUdpAndReadsRelayedResults) {
    FakeAdcHubScript script;
    script.onInfo = kOtherUser;
    script.onSearch = "DRES AAAC AAAB FN/share/bunny.mkv SI42 SL2 TOP0\nDRES AAAD AAAB FN/x SI1 SL1 TOP0\n";
    Exchange exchange(script, {300ms, 5s});
    exchange.values.CurrentUdpPort = 0;
    EXPECT_EQ(exchange.Run().End, AdcExchangeEnd::Searched);
    EXPECT_EQ(exchange.received.find("SUUDP4"), std::string::npos) << exchange.received;
    // The second answer comes from a SID the hub never announced.
    ASSERT_EQ(exchange.relayed.size(), 1u);
    EXPECT_EQ(exchange.relayed[0].FileName, "bunny.mkv");
    EXPECT_EQ(exchange.relayed[0].User, "other user");
    EXPECT_EQ(exchange.relayed[0].SlotsText, "2/5");
    EXPECT_EQ(exchange.relayed[0].HubAddress, "127.0.0.1:" + std::to_string(exchange.hub.Port()));
    std::string nick;
    int32_t slots = 0;
    EXPECT_TRUE(exchange.run.FindUser(kOtherCid, nick, slots));
}

TEST(AdcExchange, ImpossibleTargetsFailWithAReason) {
    Exchange exchange({});
    const AdcRunContext context{exchange.values, kIdentity, exchange.query, exchange.run, exchange.timings,
                                exchange.filter, {}};
    TcpClient client;
    const AdcExchangeResult noPort = RunAdcExchange(client, {"127.0.0.1", 0, false, ""}, context, [] { return true; });
    EXPECT_EQ(noPort.Connection, TcpStatus::InvalidTarget);
    EXPECT_EQ(noPort.Reason, "no usable host and port while connecting");
    // A plain ADC hub waits for HSUP while we wait for its TLS greeting.
    EXPECT_EQ(RunAdcExchange(client, {"127.0.0.1", exchange.hub.Port(), true, ""}, context, [] { return true; }).Reason,
              "timed out in the TLS handshake");
}

}  // namespace
