#include "engine/search/hub_address_book.h"

#include <mutex>

void HubAddressBook::Record(std::string address, const HubEncoding& encoding, std::string listAddress) {
    std::unique_lock lock(m_lock);
    m_hubs.insert_or_assign(std::move(address), Hub{encoding, std::move(listAddress)});
}

const HubAddressBook::Hub* HubAddressBook::Lookup(std::string_view address) const {
    std::string key(address);
    if (key.find(':') == std::string::npos) key += ":411";
    const auto it = m_hubs.find(key);
    return it == m_hubs.end() ? nullptr : &it->second;
}

std::optional<HubEncoding> HubAddressBook::Find(std::string_view address) const {
    std::shared_lock lock(m_lock);
    const Hub* hub = Lookup(address);
    if (hub == nullptr) return std::nullopt;
    return hub->encoding;
}

std::optional<std::string> HubAddressBook::FindListAddress(std::string_view address) const {
    std::shared_lock lock(m_lock);
    const Hub* hub = Lookup(address);
    if (hub == nullptr) return std::nullopt;
    return hub->listAddress;
}
