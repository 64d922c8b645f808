#include "engine/search/hub_exchange.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "engine/net/tls_session.h"
#include "engine/nmdc/nmdc_text.h"
#include "engine/nmdc/user_ip.h"
#include "engine/search/hub_values.h"
#include "engine/text/hub_text_reading.h"

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

constexpr unsigned char KeyMagic = 5;
constexpr int LoginTimeoutFactor = 4;
constexpr std::string_view ExtendedLockPrefix = "EXTENDEDPROTOCOL";
// A hub's chat line is kept for the log and the report, not for reading at length.
constexpr std::size_t MaxHubMessage = 512;

// text cut to at most max bytes, not inside a UTF-8 sequence, so that a cut UTF-8 line still reads as UTF-8. An 8-bit
// line may lose up to three more bytes, which for a line kept for the log does not matter.
std::string Clipped(std::string_view text, std::size_t max) {
    if (text.size() <= max) return std::string(text);
    std::size_t cut = max;
    for (int back = 0; back < 3 && cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80; ++back) --cut;
    return std::string(text.substr(0, cut));
}

// Rounded up, so that a wait for it ends at or after the deadline, never just before.
milliseconds Until(Clock::time_point deadline) {
    return std::max(milliseconds(0), std::chrono::ceil<milliseconds>(deadline - Clock::now()));
}

std::string MyInfo(const RunValues& values) {
    return "$MyINFO $ALL " + values.Nick + " <++ V:0.705,M:A,H:1/0/0,S:10>$ $1\x01$$" + values.ShareSizeBytes + "$|";
}

std::string SearchCommand(const RunValues& values) {
    if (values.Passive) return "$Search Hub:" + values.Nick + " " + values.SearchPrefix + values.SearchPattern + "|";
    return "$Search " + values.IP + ":" + std::to_string(values.CurrentUdpPort) + " " + values.SearchPrefix +
           values.SearchPattern + "|";
}

// A refusal the hub sends instead of letting us in. It ends the login at once: a hub that has said no does not
// change its mind, and waiting for its time-out would only hold a worker.
std::optional<ExchangeEnd> Refusal(std::string_view line) {
    if (line.starts_with("$ValidateDenide")) return ExchangeEnd::NickRefused;
    if (line == "$GetPass") return ExchangeEnd::PasswordAsked;
    if (line == "$HubIsFull") return ExchangeEnd::HubFull;
    if (line == "$BadPass") return ExchangeEnd::Banned;
    if (line == "$ForceMove" || line.starts_with("$ForceMove ")) return ExchangeEnd::Redirected;
    return std::nullopt;
}

constexpr std::string_view ForceMovePrefix = "$ForceMove ";

// Everything up to the written $Search.
class Login {
public:
    Login(TcpClient& client, const RunValues& values, const HubExchangeTimings& timings,
          std::function<void()> connected = {}, std::optional<HubTls> tls = std::nullopt)
        : m_connected(std::move(connected)),
          m_tls(tls),
          m_client(client),
          m_values(values),
          m_timings(timings),
          m_readTimeout(std::chrono::seconds(std::max(values.SearchTimeout, 1))),
          m_deadline(Clock::now() + timings.LoginDeadline.value_or(LoginTimeoutFactor * m_readTimeout)) {}

    ExchangeResult Run(const std::string& host, int32_t port, const std::function<bool()>& stillWanted) {
        // A connection made ahead stands already.
        if (!m_client.Connected()) m_status = m_client.Connect(host, port, Limit());
        if (m_status != TcpStatus::Ok) return Failed();
        if (m_tls && !StartTls(host)) return m_result.end == ExchangeEnd::Connection ? Failed() : Ended(m_result.end);
        if (m_connected) m_connected();
        m_result.stage = ExchangeStage::Lock;
        std::string line;
        if (!Read(line)) return Failed();
        std::size_t position = 6;
        const std::string_view lock = NextToken(line, ' ', position);
        // The key needs the last two lock bytes.
        if (lock.size() < 2) return Ended(ExchangeEnd::BadLock);
        std::string greeting;
        if (lock.starts_with(ExtendedLockPrefix)) greeting = "$Supports NoGetINFO NoHello UserIP2|";
        greeting += "$Key " + LockToKey(lock, KeyMagic) + "|$ValidateNick " + m_values.Nick + "|";
        m_result.stage = ExchangeStage::Hello;
        if (!Write(greeting)) return Failed();

        const std::string hello = "$Hello " + m_values.Nick;
        while (true) {
            if (!Read(line)) return Failed();
            if (line == hello) break;
            if (const std::optional<ExchangeEnd> refusal = Note(line)) return Ended(*refusal);
            if (!stillWanted()) return Ended(ExchangeEnd::GivenUp);
        }
        if (!stillWanted()) return Ended(ExchangeEnd::GivenUp);
        m_result.stage = ExchangeStage::MyInfo;
        if (!Write("$Version 1,0091|" + MyInfo(m_values))) return Failed();
        if (!AwaitEcho()) return m_refusal ? Ended(*m_refusal) : Failed();
        m_result.stage = ExchangeStage::Search;
        if (!Write(SearchCommand(m_values))) return Failed();
        return Ended(ExchangeEnd::Searched);
    }

private:
    milliseconds Limit() const { return std::min(m_readTimeout, Until(m_deadline)); }
    // The deadline is checked here too: a hub that never pauses always has a line ready, whatever the time-out.
    bool Read(std::string& line) {
        m_status = Clock::now() < m_deadline ? m_client.ReadLine('|', Limit(), line) : TcpStatus::TimedOut;
        return m_status == TcpStatus::Ok;
    }
    bool Write(std::string_view bytes) {
        m_status = m_client.WriteAll(bytes, Limit());
        return m_status == TcpStatus::Ok;
    }
    // False when no TLS could be had: m_result.end says whether the hub's certificate or TLS itself was at fault
    // (Connection for a time-out or an Abort, m_status then says which).
    bool StartTls(const std::string& host) {
        std::string failure;
        m_status = m_client.StartTls(host, m_tls->Keyprint, Limit(), failure);
        if (m_status == TcpStatus::Ok) return true;
        if (failure == TlsSession::kKeyprintMismatch)
            m_result.end = ExchangeEnd::KeyprintMismatch;
        else if (!failure.empty())
            m_result.end = ExchangeEnd::TlsFailed;
        m_result.tlsFailure = std::move(failure);
        return false;
    }

    // Keeps the hub's chat line and the address of a redirect; returns the refusal the line is, if it is one.
    std::optional<ExchangeEnd> Note(const std::string& line) {
        if (line.starts_with('<')) m_result.hubMessage = Clipped(line, MaxHubMessage);
        if (line.starts_with("$UserIP "))
            if (std::optional<std::string> address = UserIpOf(line, m_values.Nick)) m_result.hubSeenAddress = *address;
        const std::optional<ExchangeEnd> refusal = Refusal(line);
        if (refusal == ExchangeEnd::Redirected && line.size() > ForceMovePrefix.size())
            m_result.redirect = Clipped(std::string_view(line).substr(ForceMovePrefix.size()), MaxHubMessage);
        return refusal;
    }

    // Hubs announce a user to the others by echoing $MyINFO; a search sent before that is dropped by many. After
    // EchoWait the search goes anyway; only a broken connection fails the hub.
    bool AwaitEcho() {
        const std::string echo = "$MyINFO $ALL " + m_values.Nick + " ";
        const auto until = std::min(Clock::now() + m_timings.EchoWait, m_deadline);
        std::string line;
        while (Clock::now() < until) {
            m_status = m_client.ReadLine('|', Until(until), line);
            if (m_status == TcpStatus::TimedOut) return true;
            if (m_status != TcpStatus::Ok) return false;
            if (line.starts_with(echo)) return true;
            m_refusal = Note(line);
            if (m_refusal) return false;
        }
        return true;
    }

    ExchangeResult Ended(ExchangeEnd end) {
        m_result.end = end;
        if (end != ExchangeEnd::Searched) m_client.Disconnect();
        return std::move(m_result);
    }
    // The last network step failed: the deadline explains it best, then the connection's status.
    ExchangeResult Failed() {
        m_result.connection = m_status;
        if (m_status == TcpStatus::TimedOut && Clock::now() >= m_deadline) return Ended(ExchangeEnd::LoginTooLong);
        return Ended(ExchangeEnd::Connection);
    }

    const std::function<void()> m_connected;
    const std::optional<HubTls> m_tls;
    TcpClient& m_client;
    const RunValues& m_values;
    const HubExchangeTimings& m_timings;
    const milliseconds m_readTimeout;
    const Clock::time_point m_deadline;
    TcpStatus m_status = TcpStatus::Ok;
    std::optional<ExchangeEnd> m_refusal;
    ExchangeResult m_result;
};

const char* Awaiting(ExchangeStage stage) {
    switch (stage) {
        case ExchangeStage::Connect:
            return "connecting";
        case ExchangeStage::Lock:
            return "waiting for $Lock";
        case ExchangeStage::Hello:
            return "waiting for $Hello";
        case ExchangeStage::MyInfo:
            return "sending $MyINFO";
        case ExchangeStage::Search:
            return "sending $Search";
    }
    return "?";
}

std::string DescribeConnection(ExchangeStage stage, TcpStatus status) {
    if (stage == ExchangeStage::Connect)
        return status == TcpStatus::TimedOut ? "connect timed out" : DescribeTcpStatus(status);
    switch (status) {
        case TcpStatus::TimedOut:
            return std::string("timed out ") + Awaiting(stage);
        case TcpStatus::PeerClosed:
            switch (stage) {
                case ExchangeStage::Lock:
                    return "closed by the hub before the lock";
                case ExchangeStage::Hello:
                    return "closed by the hub before $Hello";
                case ExchangeStage::MyInfo:
                    return "closed by the hub after $MyINFO";
                default:
                    return "closed by the hub before $Search was sent";
            }
        default:
            return std::string(DescribeTcpStatus(status)) + " while " + Awaiting(stage);
    }
}

}  // namespace

std::string DescribeExchange(const ExchangeResult& result) {
    std::string text;
    switch (result.end) {
        case ExchangeEnd::Searched:
            text = "$Search sent";
            break;
        case ExchangeEnd::GivenUp:
            text = "given up while waiting for $Hello";
            break;
        case ExchangeEnd::Connection:
            text = DescribeConnection(result.stage, result.connection);
            break;
        case ExchangeEnd::BadLock:
            text = "no usable lock in the hub's first line";
            break;
        case ExchangeEnd::NickRefused:
            text = "nick refused ($ValidateDenide)";
            break;
        case ExchangeEnd::PasswordAsked:
            text = "password asked ($GetPass)";
            break;
        case ExchangeEnd::HubFull:
            text = "hub full ($HubIsFull)";
            break;
        case ExchangeEnd::Banned:
            text = "banned or wrong password ($BadPass)";
            break;
        case ExchangeEnd::Redirected:
            text = result.redirect.empty() ? "redirected ($ForceMove) nowhere"
                                           : "redirected to " + result.redirect + " ($ForceMove)";
            break;
        case ExchangeEnd::LoginTooLong:
            text = std::string("login deadline passed while ") + Awaiting(result.stage);
            break;
        case ExchangeEnd::PhraseNotWritable:
            text = "skipped: the phrase cannot be written in the hub's encoding";
            break;
        case ExchangeEnd::NickNotWritable:
            text = "skipped: the nick cannot be written in the hub's encoding";
            break;
        case ExchangeEnd::Refused:
            text = "refused by the hub";
            break;
        case ExchangeEnd::TlsFailed:
            text = result.tlsFailure;
            break;
        case ExchangeEnd::KeyprintMismatch:
            text = TlsSession::kKeyprintMismatch;
            break;
    }
    if (!result.hubMessage.empty()) text += "; the hub said: " + result.hubMessage;
    return text;
}

ExchangeResult LogInAndSearch(TcpClient& client, const std::string& host, int32_t port, const RunValues& values,
                              const HubExchangeTimings& timings, const std::function<bool()>& stillWanted) {
    return Login(client, values, timings).Run(host, port, stillWanted);
}

ExchangeResult LogInAndSearchInEncoding(TcpClient& client, const std::string& host, int32_t port,
                                        const HubEncoding& encoding, const RunValues& values,
                                        const HubExchangeTimings& timings, const std::function<bool()>& stillWanted,
                                        const std::function<void()>& connected, const std::optional<HubTls>& tls) {
    const HubValues written = ValuesForHub(values, encoding);
    if (!written.values) {
        ExchangeResult skipped;
        skipped.end = written.refusal;
        return skipped;
    }
    ExchangeResult result = Login(client, *written.values, timings, connected, tls).Run(host, port, stillWanted);
    result.hubMessage = ReadHubText(result.hubMessage, &encoding);
    result.redirect = ReadHubText(result.redirect, &encoding);
    return result;
}

void LingerAndLeave(TcpClient& client, milliseconds linger,
                    const std::function<void(std::string_view)>& onRelayedResult) {
    const auto until = Clock::now() + linger;
    std::string line;
    while (Clock::now() < until && client.ReadLine('|', Until(until), line) == TcpStatus::Ok)
        if (onRelayedResult && line.starts_with("$SR ")) onRelayedResult(line);
    client.Disconnect();
}

ExchangeResult RunHubExchange(TcpClient& client, const std::string& host, int32_t port, const RunValues& values,
                              const HubExchangeTimings& timings, const std::function<bool()>& stillWanted,
                              const std::function<void(std::string_view)>& onRelayedResult) {
    ExchangeResult result = LogInAndSearch(client, host, port, values, timings, stillWanted);
    if (result.end == ExchangeEnd::Searched) LingerAndLeave(client, timings.Linger, onRelayedResult);
    return result;
}
