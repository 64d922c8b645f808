#include "engine/adc/adc_run_registry.h"

#include <array>
#include <charconv>
#include <mutex>
#include <random>

#include "engine/adc/base32.h"

namespace {

// Beyond this many users a run stops remembering more: their results still come, with a nick taken from the CID.
constexpr std::size_t kMaxUsers = std::size_t{1} << 20;

std::string RandomPrefix() {
    std::random_device device;
    std::array<uint8_t, 5> bytes{};
    for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(device());
    return Base32Encode(bytes);
}

uint64_t CidKey(std::string_view cid) {
    return std::hash<std::string_view>()(cid);
}

}  // namespace

AdcRunRegistry::AdcRunRegistry() : AdcRunRegistry(RandomPrefix()) {}

AdcRunRegistry::AdcRunRegistry(std::string tokenPrefix) : m_tokenPrefix(std::move(tokenPrefix)) {}

std::string AdcRunRegistry::AddSearch(std::string hubAddress, AdcResultKind kind) {
    std::unique_lock guard(m_lock);
    m_searches.push_back({std::move(hubAddress), kind});
    return m_tokenPrefix + std::to_string(m_searches.size() - 1);
}

void AdcRunRegistry::AddUser(std::string_view cid, std::string_view nick, int32_t totalSlots) {
    std::unique_lock guard(m_lock);
    if (m_users.size() >= kMaxUsers && !m_users.contains(CidKey(cid))) return;
    m_users.insert_or_assign(CidKey(cid), User{std::string(nick), totalSlots});
}

bool AdcRunRegistry::FindSearch(std::string_view token, std::string& hubAddress, AdcResultKind& kind) const {
    if (!token.starts_with(m_tokenPrefix)) return false;
    const std::string_view number = token.substr(m_tokenPrefix.size());
    std::size_t index = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), index);
    // Only the exact text AddSearch made: no sign, no leading zeros, nothing after the digits.
    if (error != std::errc() || end != number.data() + number.size() || (number.size() > 1 && number[0] == '0'))
        return false;
    std::shared_lock guard(m_lock);
    if (index >= m_searches.size()) return false;
    hubAddress = m_searches[index].HubAddress;
    kind = m_searches[index].Kind;
    return true;
}

bool AdcRunRegistry::FindUser(std::string_view cid, std::string& nick, int32_t& totalSlots) const {
    std::shared_lock guard(m_lock);
    const auto found = m_users.find(CidKey(cid));
    if (found == m_users.end()) return false;
    nick = found->second.Nick;
    totalSlots = found->second.TotalSlots;
    return true;
}
