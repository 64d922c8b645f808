#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/adc/adc_exchange.h"
#include "engine/search/hub_exchange.h"

// What became of one hub of a run, in terms a user can act on.
enum class HubReason {
    Searched,           // $Search was sent
    NameNotResolved,    // the host name did not resolve
    ConnectionRefused,  // nothing listens there
    NoAnswer,           // the connect timed out
    ConnectionFailed,   // another network error: unreachable, a reset, a line too long
    ClosedBeforeLock,   // the hub closed before it sent its lock
    BadLock,            // the hub's first line held no usable lock
    NickRefused,        // $ValidateDenide
    PasswordRequired,   // $GetPass
    Banned,             // $BadPass, or the hub closed the login after a chat line
    Redirected,         // $ForceMove
    HubFull,            // $HubIsFull
    ClosedAfterMyInfo,  // usually a share or slot rule, which the hub's chat line names
    LoginTimedOut,      // no $Hello or no answer in time
    Stopped,            // the run was stopped while the hub was under way
    PhraseNotWritable,  // skipped: the hub's encoding cannot hold the search phrase
    NickNotWritable,    // skipped: the hub's encoding cannot hold the nick
    Refused,            // an ADC hub ended the login with a status or quit of its own: hubMessage holds its text
    TlsFailed,          // the TLS handshake failed
    KeyprintMismatch,   // the certificate does not match the keyprint of the hub's address
    NoAdcIdentity,      // an ADC hub, not contacted: the data folder could not keep an identity to log in with
    TooSoon,            // skipped: an earlier run searched it less than a minute ago
};

struct HubOutcome {
    std::string host;
    int32_t port = 0;
    HubReason reason = HubReason::Searched;
    std::string hubMessage;                     // the hub's last chat line, empty if none
    std::string redirect;                       // for HubReason::Redirected: where the hub sent us, maybe empty
    std::chrono::milliseconds timeToSearch{0};  // from the connect to the written $Search; 0 when not searched
    int32_t results = 0;                        // accepted answers that named this hub's address
    std::string redirectedFrom;                 // the listed hub whose $ForceMove sent us here; empty if none
    std::string name;                           // from the hub list; empty if it gives none
    int32_t users = -1;                         // from the hub list; -1 if it gives none
};

// "host:port", the key of a hub of the list in reports and tallies.
std::string HubListAddress(std::string_view host, int32_t port);

// The outcome of one exchange; took is the time from the start of the connect to its end.
HubOutcome OutcomeOf(const std::string& host, int32_t port, const ExchangeResult& result,
                     std::chrono::milliseconds took);

// The outcome of one ADC exchange, in the same terms.
HubOutcome OutcomeOf(const std::string& host, int32_t port, const AdcExchangeResult& result,
                     std::chrono::milliseconds took);

// "searched", "nick refused", "password required", …: short, for a report's column and the log.
const char* DescribeReason(HubReason reason);
