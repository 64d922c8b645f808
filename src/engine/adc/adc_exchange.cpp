#include "engine/adc/adc_exchange.h"

#include <algorithm>
#include <chrono>
#include <unordered_map>

#include "engine/adc/adc_result_decoder.h"

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

// The users this hub announced, by SID: a relayed result names its sender only by SID.
using HubUsers = std::unordered_map<std::string, std::string>;

void RememberUser(const AdcMessage& message, AdcRunRegistry& run, HubUsers& users) {
    const std::optional<AdcUserInfo> user = ParseAdcUserInfo(message);
    if (!user || user->Cid.empty()) return;
    users[std::string(user->Sid)] = user->Cid;
    run.AddUser(user->Cid, user->Nick, user->Slots);
}

// Everything up to the written BSCH.
class AdcLogin {
public:
    AdcLogin(TcpClient& client, const AdcHub& hub, const AdcRunContext& context, HubUsers& users)
        : m_client(client),
          m_hub(hub),
          m_context(context),
          m_users(users),
          m_readTimeout(std::chrono::seconds(std::max(context.Values.SearchTimeout, 1))),
          m_deadline(Clock::now() + context.Timings.LoginDeadline.value_or(kLoginTimeoutFactor * m_readTimeout)) {}

    AdcExchangeResult Run(const std::function<bool()>& stillWanted) {
        if (const TcpStatus status = m_client.Connect(m_hub.Host, m_hub.Port, Limit()); status != TcpStatus::Ok)
            return Failed(StatusReason(status, "while connecting"), status);
        if (m_hub.Tls) {
            std::string failure;
            const TcpStatus status = m_client.StartTls(m_hub.Host, m_hub.Keyprint, Limit(), failure);
            if (status != TcpStatus::Ok)
                return Failed(failure.empty() ? StatusReason(status, "in the TLS handshake") : failure, status);
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
            RememberUser(*message, m_context.Run, m_users);
            if (!Continues(*message, sid)) return m_result;
            if (!stillWanted()) return GivenUp();
        }
        if (!stillWanted()) return GivenUp();

        const std::string token =
            m_context.Run.AddSearch(m_hub.Host + ":" + std::to_string(m_hub.Port), m_context.Query.Kind);
        if (!Write(AdcSearchMessage(sid, m_context.Query, token), "while sending BSCH")) return m_result;
        return {AdcExchangeEnd::Searched, TcpStatus::Ok, {}};
    }

private:
    milliseconds Limit() const { return std::min(m_readTimeout, Until(m_deadline)); }

    AdcExchangeResult Failed(std::string reason, TcpStatus connection = TcpStatus::Ok) {
        m_result = {AdcExchangeEnd::Failed, connection, std::move(reason)};
        return m_result;
    }
    AdcExchangeResult GivenUp() { return {AdcExchangeEnd::GivenUp, TcpStatus::Ok, "given up during the login"}; }

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
            Failed(status->Text.empty() ? "hub error " + std::to_string(200 + status->Code) : status->Text);
            return false;
        }
        if (message.Command == "GPA") {
            Failed("the hub asks for a password");
            return false;
        }
        const auto quit = ParseAdcQuit(message);
        if (!quit || (!sid.empty() && quit->Sid != sid)) return true;
        if (!quit->Redirect.empty())
            Failed("redirected to " + quit->Redirect);
        else
            Failed(quit->Message.empty() ? "disconnected by the hub" : "disconnected by the hub: " + quit->Message);
        return false;
    }

    AdcLoginInfo LoginInfo(const std::string& sid) const {
        const RunValues& values = m_context.Values;
        const bool active = !values.IP.empty() && values.CurrentUdpPort > 0;
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
    HubUsers& m_users;
    const milliseconds m_readTimeout;
    const Clock::time_point m_deadline;
    std::string m_line;
    AdcExchangeResult m_result;
};

// Hubs pass searches on as they come, but answers relayed through the hub need us online, and users who log in
// meanwhile are worth a nick: stay a little, reading. The hub closing or an Abort only ends the stay early.
void Linger(TcpClient& client, const AdcRunContext& context, HubUsers& users, milliseconds duration) {
    const auto until = Clock::now() + duration;
    std::string line;
    SearchResult result;
    while (Clock::now() < until && client.ReadLine(kLineEnd, Until(until), line) == TcpStatus::Ok) {
        const std::optional<AdcMessage> message = ParseAdcMessage(line);
        if (!message) continue;
        RememberUser(*message, context.Run, users);
        if (message->Type != 'D' || message->Command != "RES" || !context.OnRelayedResult) continue;
        const auto sender = users.find(std::string(message->Source));
        if (sender != users.end() && DecodeAdcResult(*message, sender->second, context.Run, context.Filter, result))
            context.OnRelayedResult(result);
    }
}

}  // namespace

AdcExchangeResult RunAdcExchange(TcpClient& client, const AdcHub& hub, const AdcRunContext& context,
                                 const std::function<bool()>& stillWanted) {
    HubUsers users;
    AdcExchangeResult result = AdcLogin(client, hub, context, users).Run(stillWanted);
    if (result.End == AdcExchangeEnd::Searched) Linger(client, context, users, context.Timings.Linger);
    client.Disconnect();
    return result;
}
