#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "engine/adc/adc_hub_stay.h"
#include "engine/adc/adc_identity.h"
#include "engine/adc/adc_messages.h"
#include "engine/adc/adc_run_registry.h"
#include "engine/net/tcp_client.h"
#include "engine/results/sr_decoder.h"
#include "engine/search/hub_exchange.h"
#include "engine/search/run_values.h"

// One ADC hub as the hub list names it.
struct AdcHub {
    std::string Host;
    int32_t Port = 0;
    bool Tls = false;      // adcs://
    std::string Keyprint;  // "SHA256/<base32>" from the address; empty: any certificate
};

// What every ADC hub of a run shares. References must outlive the exchanges.
struct AdcRunContext {
    const RunValues& Values;  // nick, share size, time-out; active (UDP results) when IP and CurrentUdpPort are set
    const AdcIdentity& Identity;
    const AdcSearchQuery& Query;  // texts in UTF-8
    AdcRunRegistry& Run;          // receives each hub's token and the users the hub announces
    const HubExchangeTimings& Timings;
    const ResultFilter& Filter;  // for results relayed through the hub (DRES)
    // Called on the exchange's thread with each accepted DRES result while the exchange stays; may be empty.
    SearchResultSink OnRelayedResult;
};

enum class AdcExchangeEnd {
    Searched,  // BSCH was written
    GivenUp,   // no longer wanted during the login
    Failed,    // the connection failed or the hub would not have us: Reason says why
};

struct AdcExchangeResult {
    AdcExchangeEnd End = AdcExchangeEnd::Failed;
    TcpStatus Connection = TcpStatus::Ok;  // how the connection failed; Ok when the hub refused us
    std::string Reason;                    // for the log and the per-hub outcome: the hub's own text when it sent one
    // For Failed, the kind of end in the terms NMDC hubs share: Connection when the connection failed, NickRefused,
    // PasswordAsked, HubFull, Banned, Redirected, Refused, TlsFailed or KeyprintMismatch when the hub ended it.
    ExchangeEnd Kind = ExchangeEnd::Connection;
    bool Connected = false;  // the TCP connection stood (a time-out after it is the login's)
    std::string Redirect;    // for Redirected: where the hub sent us
};

// The result of an exchange whose connect failed with status. (An exchange over a connection that already stands,
// adopted by the client, skips the connect.)
AdcExchangeResult AdcConnectFailure(TcpStatus status);

// One hub's ADC login and search on the calling thread: HSUP, the hub's SID, our BINF, the hub's echo of it (a
// search sent before the echo makes hubs close silently), then BSCH with the hub's own token. The login ends at
// Timings' login deadline at most. stillWanted is asked after each line of the login. After a written BSCH the
// client stays connected, and users holds the users the hub announced so far (for an AdcHubStay); on any other end
// the client is disconnected.
AdcExchangeResult AdcLogInAndSearch(TcpClient& client, const AdcHub& hub, const AdcRunContext& context,
                                    const std::function<bool()>& stillWanted, AdcHubUsers& users);

// AdcLogInAndSearch, then a stay on the calling thread of Timings.Linger (Timings.PassiveWindow in a passive run)
// reading users and relayed results. Leaves the client disconnected.
AdcExchangeResult RunAdcExchange(TcpClient& client, const AdcHub& hub, const AdcRunContext& context,
                                 const std::function<bool()>& stillWanted);
