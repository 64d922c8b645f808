#include "engine/results/result_quota.h"

#include <functional>

namespace {

uint64_t SenderKey(std::string_view user, std::string_view hub) {
    const uint64_t userHash = std::hash<std::string_view>{}(user);
    const uint64_t hubHash = std::hash<std::string_view>{}(hub);
    // Not symmetric, so that nick "a" on hub "b" and nick "b" on hub "a" stay apart.
    return userHash ^ (hubHash + 0x9e3779b97f4a7c15 + (userHash << 6) + (userHash >> 2));
}

}  // namespace

bool ResultQuota::Admit(std::string_view user, std::string_view hub, int32_t limit) {
    int32_t& count = m_counts[SenderKey(user, hub)];
    if (count >= limit) return false;
    ++count;
    return true;
}

void ResultQuota::Clear() {
    m_counts = {};
}
