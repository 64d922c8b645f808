#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "search_request.h"
#include "share_catalog.h"
#include "simulated_user.h"

// How a hub of the simulated network behaves.
enum class HubKind {
    // Like the most common hub program: expects $Supports after an EXTENDEDPROTOCOL lock (closes after $MyINFO
    // without it), refuses a $Search before $MyINFO with a chat line and a disconnect, and passes each search on
    // after a delay of up to 1 s.
    SupportsFirst,
    // Like the second most common: checks $Key strictly (a wrong one: silent disconnect), ignores a $Search before
    // it has echoed the user's $MyINFO, and passes searches on in batches every 1.4 s, without those of users who
    // have left.
    StrictKey,
    // Badly behaved hubs.
    Silent,        // accepts the connection and never says anything
    Slow,          // a SupportsFirst hub that answers every message seconds late
    NickTaken,     // refuses every nick with $ValidateDenide and closes
    Password,      // asks every nick for a password with $GetPass and waits
    CloseAtOnce,   // closes each connection as soon as it is accepted
    ClosedPort,    // listed, but its port refuses connections
    Unresolvable,  // listed under a host name in the reserved .invalid domain
    Full,          // says so in a chat line, sends $HubIsFull and closes
    Redirect,      // sends $ForceMove to another hub of the network and waits
    ShareRule,     // answers $MyINFO with a chat line about its minimum share and closes
    Dead,          // its port answers no connect, like a host that is gone (not among the bad share's kinds)
};

struct HubPlan {
    std::string name;
    std::string description;
    HubKind kind = HubKind::SupportsFirst;
    bool adc = false;                 // speaks ADC (always UTF-8, listed without an encoding) instead of NMDC
    bool tls = false;                 // served over TLS (nmdcs:// or adcs://, listed with its keyprint)
    bool extendedLock = true;         // the lock starts with EXTENDEDPROTOCOL
    std::string host;                 // "127.0.0.1", or a name that does not resolve
    std::string listedEncoding;       // the hub list's Encoding value, empty when the list names none
    Charset charset = Charset::Utf8;  // what the clients of its users speak (UTF-8 where the list names nothing)
    std::vector<std::size_t> users;   // indices into NetworkPlan::Users()
    uint64_t seed = 0;                // for the hub's own random choices (locks, delays, free slots)
    // Every message the hub sends comes this much late.
    std::chrono::milliseconds latency{0};
};

// A share of the hubs that behave as the kinds given, taken in turn.
struct KindShare {
    double share = 0;
    std::vector<HubKind> kinds;
};

struct PlanOptions {
    std::size_t hubs = 50;
    std::size_t usersPerHub = 20;
    // With 50 hubs this makes ten bad ones: one of each kind.
    double badShare = 0.2;
    // When not empty, replaces badShare: the network's mix of badly behaved hubs, e.g. that of a public hub list.
    std::vector<KindShare> badMix;
    // Each hub's latency is drawn from this range.
    std::chrono::milliseconds minLatency{0};
    std::chrono::milliseconds maxLatency{0};
    // The share of the well-behaved hubs that speak ADC.
    double adcShare = 0.0;
    // The share of the well-behaved hubs, of either protocol, served over TLS.
    double tlsShare = 0.0;
    uint64_t seed = 1;
};

// Everything about the simulated network that the seed decides: hubs, their users and what they share.
// Immutable once built; the running network and the result count read it.
class NetworkPlan {
public:
    static NetworkPlan Build(const PlanOptions& options);

    const ShareCatalog& Catalog() const { return m_catalog; }
    const std::vector<HubPlan>& Hubs() const { return m_hubs; }
    const std::vector<SimulatedUser>& Users() const { return m_users; }

    // Whether a client that logs in as the protocol asks reaches the users of such a hub with its search.
    static bool ForwardsSearches(HubKind kind);
    // The $SR messages (each ending with "|") the network sends to Hubsift when it searches every hub of the list
    // once: request holds the pattern in UTF-8, which goes to each hub in the hub's listed encoding (the locale's
    // code page where none is listed), and not at all where that encoding cannot hold it. With activeUsersOnly, only
    // the active users answer (a passive search).
    std::vector<std::string> Answers(const SearchRequest& request, bool activeUsersOnly) const;
    // The number of Answers (a passive request: of the active users).
    std::size_t CountResults(const SearchRequest& request) const;

private:
    ShareCatalog m_catalog;
    std::vector<HubPlan> m_hubs;
    std::vector<SimulatedUser> m_users;
};
