#pragma once

#include <mutex>
#include <string>

// The address hubs last reported for us in $UserIP: what the internet sees of this machine. Workers note it, the
// run control reads it; any thread.
class HubSeenAddress {
public:
    void Note(const std::string& address);
    // Empty until a hub has reported one.
    std::string Latest() const;

private:
    mutable std::mutex m_lock;
    std::string m_address;
};
