#include "engine/search/hub_outcome.h"

namespace {

HubReason ConnectionReason(const ExchangeResult& result) {
    switch (result.connection) {
        case TcpStatus::InvalidTarget:
        case TcpStatus::NameNotFound:
        case TcpStatus::LookupFailed:
        case TcpStatus::LookupTimedOut:
            return HubReason::NameNotResolved;
        case TcpStatus::Refused:
            return HubReason::ConnectionRefused;
        case TcpStatus::Aborted:
            return HubReason::Stopped;
        case TcpStatus::TimedOut:
            return result.stage == ExchangeStage::Connect ? HubReason::NoAnswer : HubReason::LoginTimedOut;
        case TcpStatus::PeerClosed:
            if (result.stage == ExchangeStage::Lock) return HubReason::ClosedBeforeLock;
            if (result.stage == ExchangeStage::MyInfo) return HubReason::ClosedAfterMyInfo;
            // A hub that has a word for us before it closes the login has refused us, usually by a ban.
            return result.hubMessage.empty() ? HubReason::ConnectionFailed : HubReason::Banned;
        default:
            return HubReason::ConnectionFailed;
    }
}

HubReason ReasonOf(const ExchangeResult& result) {
    switch (result.end) {
        case ExchangeEnd::Searched:
            return HubReason::Searched;
        case ExchangeEnd::GivenUp:
            return HubReason::Stopped;
        case ExchangeEnd::Connection:
            return ConnectionReason(result);
        case ExchangeEnd::BadLock:
            return HubReason::BadLock;
        case ExchangeEnd::NickRefused:
            return HubReason::NickRefused;
        case ExchangeEnd::PasswordAsked:
            return HubReason::PasswordRequired;
        case ExchangeEnd::HubFull:
            return HubReason::HubFull;
        case ExchangeEnd::Banned:
            return HubReason::Banned;
        case ExchangeEnd::Redirected:
            return HubReason::Redirected;
        case ExchangeEnd::LoginTooLong:
            return HubReason::LoginTimedOut;
        case ExchangeEnd::PhraseNotWritable:
            return HubReason::PhraseNotWritable;
        case ExchangeEnd::NickNotWritable:
            return HubReason::NickNotWritable;
        case ExchangeEnd::Refused:
            return HubReason::Refused;
        case ExchangeEnd::TlsFailed:
            return HubReason::TlsFailed;
        case ExchangeEnd::KeyprintMismatch:
            return HubReason::KeyprintMismatch;
    }
    return HubReason::ConnectionFailed;
}

}  // namespace

HubOutcome OutcomeOf(const std::string& host, int32_t port, const ExchangeResult& result,
                     std::chrono::milliseconds took) {
    HubOutcome outcome;
    outcome.host = host;
    outcome.port = port;
    outcome.reason = ReasonOf(result);
    outcome.hubMessage = result.hubMessage;
    outcome.redirect = result.redirect;
    if (outcome.reason == HubReason::Searched) outcome.timeToSearch = took;
    return outcome;
}

HubOutcome OutcomeOf(const std::string& host, int32_t port, const AdcExchangeResult& result,
                     std::chrono::milliseconds took) {
    ExchangeResult same;
    same.end = result.Kind;
    // A time-out once connected is the login's, as on NMDC hubs after the lock.
    same.stage = result.Connected ? ExchangeStage::Hello : ExchangeStage::Connect;
    same.connection = result.Connection;
    same.redirect = result.Redirect;
    if (result.Kind == ExchangeEnd::Refused || result.Kind == ExchangeEnd::NickRefused ||
        result.Kind == ExchangeEnd::HubFull || result.Kind == ExchangeEnd::Banned ||
        result.Kind == ExchangeEnd::PasswordAsked)
        same.hubMessage = result.Reason;
    return OutcomeOf(host, port, same, took);
}

std::string HubListAddress(std::string_view host, int32_t port) {
    std::string address(host);
    address += ':';
    address += std::to_string(port);
    return address;
}

const char* DescribeReason(HubReason reason) {
    switch (reason) {
        case HubReason::Searched:
            return "searched";
        case HubReason::NameNotResolved:
            return "name not resolved";
        case HubReason::ConnectionRefused:
            return "connection refused";
        case HubReason::NoAnswer:
            return "no answer";
        case HubReason::ConnectionFailed:
            return "connection failed";
        case HubReason::ClosedBeforeLock:
            return "closed before the lock";
        case HubReason::BadLock:
            return "bad lock";
        case HubReason::NickRefused:
            return "nick refused";
        case HubReason::PasswordRequired:
            return "password required";
        case HubReason::Banned:
            return "wrong password or banned";
        case HubReason::Redirected:
            return "redirected";
        case HubReason::HubFull:
            return "hub full";
        case HubReason::ClosedAfterMyInfo:
            return "closed after $MyINFO";
        case HubReason::LoginTimedOut:
            return "login timed out";
        case HubReason::Stopped:
            return "stopped";
        case HubReason::PhraseNotWritable:
            return "phrase not in the hub's encoding";
        case HubReason::NickNotWritable:
            return "nick not in the hub's encoding";
        case HubReason::Refused:
            return "refused by the hub";
        case HubReason::TlsFailed:
            return "TLS failed";
        case HubReason::KeyprintMismatch:
            return "certificate does not match the hub list's keyprint";
        case HubReason::NoAdcIdentity:
            return "no ADC identity";
        case HubReason::TooSoon:
            return "skipped: too soon";
    }
    return "?";
}
