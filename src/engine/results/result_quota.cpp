#include "engine/results/result_quota.h"

#include <functional>

namespace {

constexpr std::size_t kInitialSlots = 1024;  // a power of two, as every size after it

uint64_t SenderKey(std::string_view user, std::string_view hub) {
    const uint64_t userHash = std::hash<std::string_view>{}(user);
    const uint64_t hubHash = std::hash<std::string_view>{}(hub);
    // Not symmetric, so that nick "a" on hub "b" and nick "b" on hub "a" stay apart.
    const uint64_t key = userHash ^ (hubHash + 0x9e3779b97f4a7c15 + (userHash << 6) + (userHash >> 2));
    return key == 0 ? 1 : key;
}

}  // namespace

Admission ResultQuota::Admit(std::string_view user, std::string_view hub, int32_t limit) {
    // At most half full, so probe runs stay short.
    if (2 * (m_used + 1) > m_slots.size()) Grow();
    const uint64_t key = SenderKey(user, hub);
    const std::size_t mask = m_slots.size() - 1;
    std::size_t index = key & mask;
    while (m_slots[index].key != 0 && m_slots[index].key != key) index = (index + 1) & mask;
    Slot& slot = m_slots[index];
    if (slot.key == 0) {
        slot.key = key;
        ++m_used;
    }
    if (slot.count < limit) {
        ++slot.count;
        return Admission::Admitted;
    }
    if (slot.refused) return Admission::Refused;
    slot.refused = true;
    return Admission::FirstRefused;
}

void ResultQuota::Grow() {
    std::vector<Slot> old = std::move(m_slots);
    m_slots.assign(old.empty() ? kInitialSlots : 2 * old.size(), Slot{});
    const std::size_t mask = m_slots.size() - 1;
    for (const Slot& slot : old) {
        if (slot.key == 0) continue;
        std::size_t index = slot.key & mask;
        while (m_slots[index].key != 0) index = (index + 1) & mask;
        m_slots[index] = slot;
    }
}

void ResultQuota::Clear() {
    m_slots = {};
    m_used = 0;
}
