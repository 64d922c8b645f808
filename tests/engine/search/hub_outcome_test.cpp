#include <gtest/gtest.h>

#include <string>

#include "engine/search/hub_outcome.h"

namespace {

TEST(HubOutcome, NamesTheReasonAUserCanActOn) {
    using Stage = ExchangeStage;
    const struct {
        ExchangeEnd end;
        Stage stage;
        TcpStatus connection;
        const char* hubMessage;
        const char* reason;
    } cases[] = {
        {ExchangeEnd::Searched, Stage::Search, TcpStatus::Ok, "", "searched"},
        {ExchangeEnd::GivenUp, Stage::Hello, TcpStatus::Ok, "", "stopped"},
        {ExchangeEnd::Connection, Stage::Connect, TcpStatus::Aborted, "", "stopped"},
        {ExchangeEnd::Connection, Stage::Connect, TcpStatus::NameNotFound, "", "name not resolved"},
        {ExchangeEnd::Connection, Stage::Connect, TcpStatus::LookupTimedOut, "", "name not resolved"},
        {ExchangeEnd::Connection, Stage::Connect, TcpStatus::Refused, "", "connection refused"},
        {ExchangeEnd::Connection, Stage::Connect, TcpStatus::TimedOut, "", "no answer"},
        {ExchangeEnd::Connection, Stage::Connect, TcpStatus::Unreachable, "", "connection failed"},
        {ExchangeEnd::Connection, Stage::Lock, TcpStatus::PeerClosed, "", "closed before the lock"},
        {ExchangeEnd::Connection, Stage::Hello, TcpStatus::PeerClosed, "", "connection failed"},
        {ExchangeEnd::Connection, Stage::Hello, TcpStatus::PeerClosed, "<Bot> Banned", "wrong password or banned"},
        {ExchangeEnd::Connection, Stage::MyInfo, TcpStatus::PeerClosed, "<Bot> Share more", "closed after $MyINFO"},
        {ExchangeEnd::Connection, Stage::Hello, TcpStatus::TimedOut, "", "login timed out"},
        {ExchangeEnd::LoginTooLong, Stage::Hello, TcpStatus::TimedOut, "", "login timed out"},
        {ExchangeEnd::BadLock, Stage::Lock, TcpStatus::Ok, "", "bad lock"},
        {ExchangeEnd::NickRefused, Stage::Hello, TcpStatus::Ok, "", "nick refused"},
        {ExchangeEnd::PasswordAsked, Stage::Hello, TcpStatus::Ok, "", "password required"},
        {ExchangeEnd::HubFull, Stage::Hello, TcpStatus::Ok, "", "hub full"},
        {ExchangeEnd::Banned, Stage::Hello, TcpStatus::Ok, "", "wrong password or banned"},
        {ExchangeEnd::Redirected, Stage::Hello, TcpStatus::Ok, "", "redirected"},
    };
    for (const auto& c : cases) {
        const ExchangeResult result{c.end, c.stage, c.connection, c.hubMessage, {}, "elsewhere:411"};
        const HubOutcome outcome = OutcomeOf("hub.example", 411, result, std::chrono::milliseconds(70));
        EXPECT_STREQ(DescribeReason(outcome.reason), c.reason) << DescribeExchange(result);
        EXPECT_EQ(outcome.hubMessage, c.hubMessage);
        // Only a searched hub has a time to its search.
        EXPECT_EQ(outcome.timeToSearch.count(), outcome.reason == HubReason::Searched ? 70 : 0);
    }
}

}  // namespace
