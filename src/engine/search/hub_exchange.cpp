#include "engine/search/hub_exchange.h"

#include <algorithm>
#include <chrono>
#include <string_view>

#include "engine/nmdc/nmdc_text.h"

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

constexpr unsigned char KeyMagic = 5;
constexpr int LoginTimeoutFactor = 4;
constexpr std::string_view ExtendedLockPrefix = "EXTENDEDPROTOCOL";

milliseconds Until(Clock::time_point deadline) {
    return std::max(milliseconds(0), std::chrono::duration_cast<milliseconds>(deadline - Clock::now()));
}

std::string MyInfo(const RunValues& values) {
    return "$MyINFO $ALL " + values.Nick + " <++ V:0.705,M:A,H:1/0/0,S:10>$ $1\x01$$" + values.ShareSizeBytes + "$|";
}

std::string SearchCommand(const RunValues& values) {
    return "$Search " + values.IP + ":" + std::to_string(values.CurrentUdpPort) + " " + values.SearchPrefix +
           values.SearchPattern + "|";
}

// Everything up to the written $Search; false when the hub fails.
class Login {
public:
    Login(TcpClient& client, const RunValues& values, const HubExchangeTimings& timings)
        : m_client(client),
          m_values(values),
          m_timings(timings),
          m_readTimeout(std::chrono::seconds(std::max(values.SearchTimeout, 1))),
          m_deadline(Clock::now() + LoginTimeoutFactor * m_readTimeout) {}

    ExchangeOutcome Run(const std::string& host, int32_t port, const std::function<bool()>& stillWanted) {
        std::string line;
        if (m_client.Connect(host, port, Limit()) != TcpStatus::Ok || !Read(line)) return ExchangeOutcome::Failed;
        std::size_t position = 6;
        const std::string_view lock = NextToken(line, ' ', position);
        // The key needs the last two lock bytes.
        if (lock.size() < 2) return ExchangeOutcome::Failed;
        std::string greeting;
        if (lock.starts_with(ExtendedLockPrefix)) greeting = "$Supports NoGetINFO NoHello|";
        greeting += "$Key " + LockToKey(lock, KeyMagic) + "|$ValidateNick " + m_values.Nick + "|";
        if (!Write(greeting)) return ExchangeOutcome::Failed;

        const std::string hello = "$Hello " + m_values.Nick;
        while (true) {
            if (!Read(line)) return ExchangeOutcome::Failed;
            if (line == hello) break;
            if (!stillWanted()) return ExchangeOutcome::GivenUp;
        }
        if (!stillWanted()) return ExchangeOutcome::GivenUp;
        if (!Write("$Version 1,0091|" + MyInfo(m_values)) || !AwaitEcho()) return ExchangeOutcome::Failed;
        return Write(SearchCommand(m_values)) ? ExchangeOutcome::Searched : ExchangeOutcome::Failed;
    }

private:
    milliseconds Limit() const { return std::min(m_readTimeout, Until(m_deadline)); }
    // The deadline is checked here too: a hub that never pauses always has a line ready, whatever the time-out.
    bool Read(std::string& line) {
        return Clock::now() < m_deadline && m_client.ReadLine('|', Limit(), line) == TcpStatus::Ok;
    }
    bool Write(std::string_view bytes) { return m_client.WriteAll(bytes, Limit()) == TcpStatus::Ok; }

    // Hubs announce a user to the others by echoing $MyINFO; a search sent before that is dropped by many. After
    // EchoWait the search goes anyway; only a broken connection fails the hub.
    bool AwaitEcho() {
        const std::string echo = "$MyINFO $ALL " + m_values.Nick + " ";
        const auto until = std::min(Clock::now() + m_timings.EchoWait, m_deadline);
        std::string line;
        while (Clock::now() < until) {
            const TcpStatus status = m_client.ReadLine('|', Until(until), line);
            if (status == TcpStatus::TimedOut) return true;
            if (status != TcpStatus::Ok) return false;
            if (line.starts_with(echo)) return true;
        }
        return true;
    }

    TcpClient& m_client;
    const RunValues& m_values;
    const HubExchangeTimings& m_timings;
    const milliseconds m_readTimeout;
    const Clock::time_point m_deadline;
};

// Hubs that forward searches in batches drop those of users who have already left, so stay a little, reading and
// ignoring whatever comes. The hub closing or an Abort only ends the stay early.
void Linger(TcpClient& client, milliseconds duration) {
    const auto until = Clock::now() + duration;
    std::string line;
    while (Clock::now() < until && client.ReadLine('|', Until(until), line) == TcpStatus::Ok) {
    }
}

}  // namespace

ExchangeOutcome RunHubExchange(TcpClient& client, const std::string& host, int32_t port, const RunValues& values,
                               const HubExchangeTimings& timings, const std::function<bool()>& stillWanted) {
    const ExchangeOutcome outcome = Login(client, values, timings).Run(host, port, stillWanted);
    if (outcome == ExchangeOutcome::Searched) Linger(client, timings.Linger);
    client.Disconnect();
    return outcome;
}
