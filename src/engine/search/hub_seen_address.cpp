#include "engine/search/hub_seen_address.h"

void HubSeenAddress::Note(const std::string& address) {
    std::lock_guard lock(m_lock);
    m_address = address;
}

std::string HubSeenAddress::Latest() const {
    std::lock_guard lock(m_lock);
    return m_address;
}
