#pragma once

#include <cstdint>
#include <deque>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "engine/adc/adc_messages.h"

// What one run's ADC searches share with the result decoder: each hub's search token (URES carries no hub address,
// so every hub gets its own token) and the users seen in the hubs' BINFs, by CID. Hub exchanges write from their
// worker threads while the datagram thread reads; every method is thread-safe.
class AdcRunRegistry {
public:
    // A random token prefix, so that late answers to an earlier run's searches do not match this run's.
    AdcRunRegistry();
    explicit AdcRunRegistry(std::string tokenPrefix);

    // The token for one hub's search; results that carry it are that hub's.
    std::string AddSearch(std::string hubAddress, AdcResultKind kind);
    // A user from a BINF; a later one for the same CID replaces it. nick as received (UTF-8); totalSlots -1 unknown.
    void AddUser(std::string_view cid, std::string_view nick, int32_t totalSlots);

    // Copy out what is known; false when the token or the CID is not this run's.
    bool FindSearch(std::string_view token, std::string& hubAddress, AdcResultKind& kind) const;
    bool FindUser(std::string_view cid, std::string& nick, int32_t& totalSlots) const;

private:
    struct Search {
        std::string HubAddress;
        AdcResultKind Kind;
    };
    struct User {
        std::string Nick;
        int32_t TotalSlots;
    };

    const std::string m_tokenPrefix;
    mutable std::shared_mutex m_lock;
    std::deque<Search> m_searches;  // by the number after the prefix
    // Keyed by a 64-bit hash of the CID: a sweep sees hundreds of thousands of users, and a collision would only
    // show one user's nick on another's result.
    std::unordered_map<uint64_t, User> m_users;
};
