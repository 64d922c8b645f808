#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "engine/net/tcp_client.h"
#include "engine/search/run_values.h"
#include "engine/text/hub_encoding.h"

// The step of the exchange under way when it ended.
enum class ExchangeStage {
    Connect,  // looking the name up and connecting
    Lock,     // waiting for the hub's $Lock
    Hello,    // sending $Key and $ValidateNick, then waiting for our $Hello
    MyInfo,   // sending $Version and $MyINFO, then waiting for the hub's echo of it
    Search,   // sending $Search
};

// Why the exchange ended.
enum class ExchangeEnd {
    Searched,       // $Search was written
    GivenUp,        // no longer wanted while waiting for $Hello
    Connection,     // the connection failed or was cut short: ExchangeResult::connection says how
    BadLock,        // the first line held no usable lock
    NickRefused,    // the hub sent $ValidateDenide and no $Hello
    PasswordAsked,  // the hub sent $GetPass and no $Hello (the nick is registered there)
    HubFull,        // the hub sent $HubIsFull and no $Hello
    Banned,         // the hub sent $BadPass without being asked for a password: a ban or a wrong registration
    Redirected,     // the hub sent $ForceMove: ExchangeResult::redirect says where to
    LoginTooLong,   // the login deadline passed: a hub that trickles or floods lines without our $Hello
    // Skipped without connecting: the hub's encoding cannot hold the search phrase, or the nick.
    PhraseNotWritable,
    NickNotWritable,
    Refused,           // an ADC hub's fatal status or quit without a more specific kind: hubMessage holds its text
    TlsFailed,         // no TLS with the hub: tlsFailure says why
    KeyprintMismatch,  // the hub's certificate does not match the keyprint its address carries
};

// How one hub's exchange went: kept for the log and for a per-hub report.
struct ExchangeResult {
    ExchangeEnd end = ExchangeEnd::Connection;
    ExchangeStage stage = ExchangeStage::Connect;
    TcpStatus connection = TcpStatus::Ok;  // for ExchangeEnd::Connection
    std::string hubMessage;                // the last chat line from the hub ("<HubBot> …"), empty if none
    std::string hubSeenAddress;            // our address as the hub's $UserIP reported it, empty if it did not
    std::string redirect;                  // for ExchangeEnd::Redirected: the address the hub named, maybe empty
    std::string tlsFailure{};              // for ExchangeEnd::TlsFailed: what the TLS library said
};

// For a hub reached over TLS (nmdcs://): the keyprint ("SHA256/<base32>") its certificate must match, empty for any.
struct HubTls {
    std::string_view Keyprint;
};

// The result in plain words, e.g. "timed out waiting for $Hello; the hub said: <HubBot> Registered users only" or
// "$Search sent".
std::string DescribeExchange(const ExchangeResult& result);

// One hub's NMDC login and search on the calling thread, message by message, up to the written $Search. The login
// ends at the login deadline at most (HubExchangeTimings), however the hub trickles lines. stillWanted is asked
// after each line that is not the awaited $Hello. After a written $Search the connection stays open for
// LingerAndLeave; on any other end it is closed.
ExchangeResult LogInAndSearch(TcpClient& client, const std::string& host, int32_t port, const RunValues& values,
                              const HubExchangeTimings& timings, const std::function<bool()>& stillWanted);

// LogInAndSearch with the nick and the search pattern (UTF-8 in values) written in the hub's encoding. A hub whose
// encoding cannot hold them is not contacted: PhraseNotWritable or NickNotWritable. The hub's chat line and redirect
// address come back as UTF-8, read by ReadHubText (LogInAndSearch leaves them as the hub sent them).
// connected runs once the connection stands, before anything is sent (answers can only come after that). With tls
// the connection runs TLS from its start.
ExchangeResult LogInAndSearchInEncoding(TcpClient& client, const std::string& host, int32_t port,
                                        const HubEncoding& encoding, const RunValues& values,
                                        const HubExchangeTimings& timings, const std::function<bool()>& stillWanted,
                                        const std::function<void()>& connected = {},
                                        const std::optional<HubTls>& tls = std::nullopt);

// After a written $Search: stays up to linger (hubs that forward searches in batches drop those of users who have
// already left; in a passive search it is the window in which results come), hands each $SR line the hub relays to
// onRelayedResult (without the '|'), ignores the rest, then disconnects. The hub closing or an Abort ends it early.
void LingerAndLeave(TcpClient& client, std::chrono::milliseconds linger,
                    const std::function<void(std::string_view)>& onRelayedResult = {});

// LogInAndSearch, then LingerAndLeave with timings.Linger when it searched.
ExchangeResult RunHubExchange(TcpClient& client, const std::string& host, int32_t port, const RunValues& values,
                              const HubExchangeTimings& timings, const std::function<bool()>& stillWanted,
                              const std::function<void(std::string_view)>& onRelayedResult = {});
