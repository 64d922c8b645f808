#include "engine/search/hub_address_book.h"

#include <mutex>

void HubAddressBook::Record(std::string address, const HubEncoding& encoding) {
    std::unique_lock lock(m_lock);
    m_encodings.insert_or_assign(std::move(address), encoding);
}

std::optional<HubEncoding> HubAddressBook::Find(std::string_view address) const {
    std::string key(address);
    if (key.find(':') == std::string::npos) key += ":411";
    std::shared_lock lock(m_lock);
    const auto it = m_encodings.find(key);
    if (it == m_encodings.end()) return std::nullopt;
    return it->second;
}
