#pragma once

#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "engine/text/hub_encoding.h"

// The encoding and the list address of each hub a run connected to, by the address it resolved to ("ip:port"):
// answers name their hub by that address, not by its name in the list. Workers record, the datagram reader finds;
// any thread.
class HubAddressBook {
public:
    // listAddress is the hub's "host:port" in the list.
    void Record(std::string address, const HubEncoding& encoding, std::string listAddress = {});
    // Nothing for an address no hub was reached at. "ip" alone means NMDC's default port 411.
    std::optional<HubEncoding> Find(std::string_view address) const;
    // The list address of the hub reached at address; nothing for an address no hub was reached at.
    std::optional<std::string> FindListAddress(std::string_view address) const;

private:
    struct Hub {
        HubEncoding encoding;
        std::string listAddress;
    };

    // Under the shared lock: the hub reached at address, or null.
    const Hub* Lookup(std::string_view address) const;

    mutable std::shared_mutex m_lock;
    // Copies, so a hub list reloaded after the run leaves late answers readable.
    std::unordered_map<std::string, Hub> m_hubs;
};
