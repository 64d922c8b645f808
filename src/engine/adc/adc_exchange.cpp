#include "engine/adc/adc_exchange.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "engine/net/tls_session.h"

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

constexpr int kLoginTimeoutFactor = 4;
constexpr char kLineEnd = '\n';

milliseconds Until(Clock::time_point deadline) {
    return std::max(milliseconds(0), std::chrono::duration_cast<milliseconds>(deadline - Clock::now()));
}

// "connection refused while connecting", "timed out while waiting for the hub's SID".
std::string StatusReason(TcpStatus status, const char* stage) {
    return std::string(DescribeTcpStatus(status)) + " " + stage;
}

// The kind of refusal an ISTA code (without its severity digit) stands for.
ExchangeEnd RefusalOfStatus(int code) {
    switch (code) {
        case 11:  // hub full
            return ExchangeEnd::HubFull;
        case 21:  // nick invalid
        case 22:  // nick taken
        case 24:  // CID taken
            return ExchangeEnd::NickRefused;
        case 23:  // bad password
        case 30:  // kicked or banned
        case 31:
        case 32:
            return ExchangeEnd::Banned;
        case 26:  // registered users only
            return ExchangeEnd::PasswordAsked;
        default:
            return ExchangeEnd::Refused;
    }
}

// Everything up to the written BSCH.
class AdcLogin {
public:
    AdcLogin(TcpClient& client, const AdcHub& hub, const AdcRunContext& context, AdcHubUsers& users)
        : m_client(client),
          m_hub(hub),
          m_context(context),
          m_users(users),
          m_readTimeout(std::chrono::seconds(std::max(context.Values.SearchTimeout, 1))),
          m_deadline(Clock::now() + context.Timings.LoginDeadline.value_or(kLoginTimeoutFactor * m_readTimeout)) {}

    AdcExchangeResult Run(const std::function<bool()>& stillWanted) {
        if (!m_client.Connected())
            if (const TcpStatus status = m_client.Connect(m_hub.Host, m_hub.Port, Limit()); status != TcpStatus::Ok)
                return AdcConnectFailure(status);
        m_result.Connected = true;
        if (m_hub.Tls) {
            std::string failure;
            const TcpStatus status = m_client.StartTls(m_hub.Host, m_hub.Keyprint, Limit(), failure);
            if (status != TcpStatus::Ok && failure.empty())
                return Failed(StatusReason(status, "in the TLS handshake"), status);
            if (status != TcpStatus::Ok)
                return Refused(
                    failure == TlsSession::kKeyprintMismatch ? ExchangeEnd::KeyprintMismatch : ExchangeEnd::TlsFailed,
                    failure);
        }
        if (!Write(AdcSupportsMessage(), "while sending HSUP")) return m_result;

        std::string sid;
        while (sid.empty()) {
            std::optional<AdcMessage> message;
            if (!Read(message, "while waiting for the hub's SID")) return m_result;
            if (!message) continue;
            if (const auto given = ParseAdcSid(*message)) sid = *given;
            if (sid.empty() && !Continues(*message, sid)) return m_result;
            if (!stillWanted()) return GivenUp();
        }
        if (!Write(AdcInfoMessage(LoginInfo(sid)), "while sending BINF")) return m_result;

        // The hub lists its users and ends with our own BINF.
        while (true) {
            std::optional<AdcMessage> message;
            if (!Read(message, "while waiting for the hub to list us")) return m_result;
            if (!message) continue;
            if (message->Type == 'B' && message->Command == "INF" && message->Source == sid) break;
            RememberAdcUser(*message, m_context.Run, m_users);
            if (!Continues(*message, sid)) return m_result;
            if (!stillWanted()) return GivenUp();
        }
        if (!stillWanted()) return GivenUp();

        const std::string token =
            m_context.Run.AddSearch(m_hub.Host + ":" + std::to_string(m_hub.Port), m_context.Query.Kind);
        if (!Write(AdcSearchMessage(sid, m_context.Query, token), "while sending BSCH")) return m_result;
        m_result.End = AdcExchangeEnd::Searched;
        m_result.Kind = ExchangeEnd::Searched;
        return m_result;
    }

private:
    milliseconds Limit() const { return std::min(m_readTimeout, Until(m_deadline)); }

    AdcExchangeResult Failed(std::string reason, TcpStatus connection) {
        m_result.End = AdcExchangeEnd::Failed;
        m_result.Connection = connection;
        m_result.Reason = std::move(reason);
        return m_result;
    }
    AdcExchangeResult Refused(ExchangeEnd kind, std::string reason) {
        m_result.Kind = kind;
        return Failed(std::move(reason), TcpStatus::Ok);
    }
    AdcExchangeResult GivenUp() {
        m_result.End = AdcExchangeEnd::GivenUp;
        m_result.Kind = ExchangeEnd::GivenUp;
        m_result.Reason = "given up during the login";
        return m_result;
    }

    // A line and its message, or no message for a line that is not ADC (ignored). The deadline is checked here
    // too: a hub that never pauses always has a line ready, whatever the time-out.
    bool Read(std::optional<AdcMessage>& message, const char* stage) {
        const TcpStatus status =
            Clock::now() < m_deadline ? m_client.ReadLine(kLineEnd, Limit(), m_line) : TcpStatus::TimedOut;
        if (status != TcpStatus::Ok) {
            Failed(StatusReason(status, stage), status);
            return false;
        }
        message = ParseAdcMessage(m_line);
        return true;
    }

    bool Write(const std::string& bytes, const char* stage) {
        const TcpStatus status = m_client.WriteAll(bytes, Limit());
        if (status != TcpStatus::Ok) Failed(StatusReason(status, stage), status);
        return status == TcpStatus::Ok;
    }

    // Whether the login goes on after a message from the hub: a fatal status, a password request or our own quit
    // end it with the hub's reason.
    bool Continues(const AdcMessage& message, const std::string& sid) {
        if (message.Type != 'I') return true;
        if (const auto status = ParseAdcStatus(message); status && status->Severity == 2) {
            Refused(RefusalOfStatus(status->Code),
                    status->Text.empty() ? "hub error " + std::to_string(200 + status->Code) : status->Text);
            return false;
        }
        if (message.Command == "GPA") {
            Refused(ExchangeEnd::PasswordAsked, "the hub asks for a password");
            return false;
        }
        const auto quit = ParseAdcQuit(message);
        if (!quit || (!sid.empty() && quit->Sid != sid)) return true;
        if (!quit->Redirect.empty()) {
            m_result.Redirect = quit->Redirect;
            Refused(ExchangeEnd::Redirected, "redirected to " + quit->Redirect);
        } else {
            Refused(ExchangeEnd::Refused,
                    quit->Message.empty() ? "disconnected by the hub" : "disconnected by the hub: " + quit->Message);
        }
        return false;
    }

    AdcLoginInfo LoginInfo(const std::string& sid) const {
        const RunValues& values = m_context.Values;
        const bool active = !values.Passive && !values.IP.empty() && values.CurrentUdpPort > 0;
        return {sid,
                m_context.Identity.Cid,
                m_context.Identity.Pid,
                values.Nick,
                values.ShareSizeBytes,
                values.IP,
                active ? values.CurrentUdpPort : 0};
    }

    TcpClient& m_client;
    const AdcHub& m_hub;
    const AdcRunContext& m_context;
    AdcHubUsers& m_users;
    const milliseconds m_readTimeout;
    const Clock::time_point m_deadline;
    std::string m_line;
    AdcExchangeResult m_result;
};

}  // namespace

AdcExchangeResult AdcConnectFailure(TcpStatus status) {
    AdcExchangeResult result;
    result.Connection = status;
    result.Reason = StatusReason(status, "while connecting");
    return result;
}

AdcExchangeResult AdcLogInAndSearch(TcpClient& client, const AdcHub& hub, const AdcRunContext& context,
                                    const std::function<bool()>& stillWanted, AdcHubUsers& users) {
    AdcExchangeResult result = AdcLogin(client, hub, context, users).Run(stillWanted);
    if (result.End != AdcExchangeEnd::Searched) client.Disconnect();
    return result;
}

AdcExchangeResult RunAdcExchange(TcpClient& client, const AdcHub& hub, const AdcRunContext& context,
                                 const std::function<bool()>& stillWanted) {
    AdcHubUsers users;
    AdcExchangeResult result = AdcLogInAndSearch(client, hub, context, stillWanted, users);
    if (result.End != AdcExchangeEnd::Searched) return result;
    // The hub closing or an Abort only ends the stay early.
    AdcHubStay stay(context.Run, context.Filter, context.OnRelayedResult, std::move(users));
    const auto until = Clock::now() + (context.Values.Passive ? context.Timings.PassiveWindow : context.Timings.Linger);
    std::string line;
    while (Clock::now() < until && client.ReadLine(kLineEnd, Until(until), line) == TcpStatus::Ok) stay.Read(line);
    client.Disconnect();
    return result;
}
