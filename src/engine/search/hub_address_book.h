#pragma once

#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "engine/text/hub_encoding.h"

// The encoding of each hub a run connected to, by the address it resolved to ("ip:port"): answers name their hub by
// that address, not by its name in the list. Workers record, the datagram reader finds; any thread.
class HubAddressBook {
public:
    void Record(std::string address, const HubEncoding& encoding);
    // Nothing for an address no hub was reached at. "ip" alone means NMDC's default port 411.
    std::optional<HubEncoding> Find(std::string_view address) const;

private:
    mutable std::shared_mutex m_lock;
    // Copies, so a hub list reloaded after the run leaves late answers readable.
    std::unordered_map<std::string, HubEncoding> m_encodings;
};
