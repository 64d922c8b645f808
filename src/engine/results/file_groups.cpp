#include "engine/results/file_groups.h"

#include <algorithm>
#include <functional>

#include "engine/results/result_store.h"

namespace {

// Up to this many rows a group's users are found by scanning its rows; larger groups keep them in a set.
constexpr std::size_t kScannedRows = 16;
constexpr std::size_t kFirstTableSize = 1024;

std::size_t Mix(std::size_t seed, std::size_t value) {
    return seed ^ (value + 0x9E3779B97F4A7C15ULL + (seed << 6) + (seed >> 2));
}

uint32_t KeyHash(const ResultRow& row) {
    const std::hash<std::string_view> hashText;
    const std::size_t hash =
        row.Tth.empty() ? Mix(hashText(row.FileName), static_cast<std::size_t>(row.Size)) : hashText(row.Tth);
    return static_cast<uint32_t>(hash ^ (hash >> 32));
}

}  // namespace

std::size_t FileGroups::GroupUserHash::operator()(const GroupUser& key) const {
    const std::hash<std::string_view> hash;
    return Mix(Mix(hash(key.user), hash(key.hubAddress)), key.group);
}

bool FileGroups::SameKey(const Group& group, const ResultRow& row) const {
    const ResultRow first = m_store.Row(group.first);
    if (first.Tth != row.Tth) return false;
    return !row.Tth.empty() || (first.Size == row.Size && first.FileName == row.FileName);
}

FileGroups::Placement FileGroups::Add(uint32_t row) {
    if (m_table.size() < 2 * (m_groups.size() + 1)) GrowTable();
    const ResultRow added = m_store.Row(row);
    const uint32_t hash = KeyHash(added);
    const std::size_t mask = m_table.size() - 1;
    std::size_t place = hash & mask;
    for (; m_table[place].groupPlusOne != 0; place = (place + 1) & mask) {
        const uint32_t group = m_table[place].groupPlusOne - 1;
        if (m_table[place].hash != hash || !SameKey(m_groups[group], added)) continue;
        const bool newUser = AddUser(group, row);
        m_groups[group].more.push_back(row);
        return {group, false, newUser};
    }
    const auto group = static_cast<uint32_t>(m_groups.size());
    m_groups.push_back({row, 1, {}});
    m_table[place] = {group + 1, hash};
    return {group, true, true};
}

void FileGroups::GrowTable() {
    std::vector<Slot> old = std::move(m_table);
    m_table.assign(std::max(kFirstTableSize, old.size() * 2), Slot{});
    const std::size_t mask = m_table.size() - 1;
    for (const Slot& slot : old) {
        if (slot.groupPlusOne == 0) continue;
        std::size_t place = slot.hash & mask;
        while (m_table[place].groupPlusOne != 0) place = (place + 1) & mask;
        m_table[place] = slot;
    }
}

bool FileGroups::AddUser(uint32_t group, uint32_t row) {
    const std::size_t rows = RowCount(group);
    const ResultRow added = m_store.Row(row);
    bool known = false;
    if (rows < kScannedRows) {
        for (std::size_t i = 0; i < rows && !known; ++i) {
            const ResultRow member = m_store.Row(Row(group, i));
            known = member.User == added.User && member.HubAddress == added.HubAddress;
        }
    } else {
        if (rows == kScannedRows) {
            for (std::size_t i = 0; i < rows; ++i) {
                const ResultRow member = m_store.Row(Row(group, i));
                m_users.insert({group, member.User, member.HubAddress});
            }
        }
        known = !m_users.insert({group, added.User, added.HubAddress}).second;
    }
    if (!known) ++m_groups[group].users;
    return !known;
}

uint32_t FileGroups::Row(uint32_t group, std::size_t index) const {
    const Group& g = m_groups[group];
    return index == 0 ? g.first : g.more[index - 1];
}

void FileGroups::RenumberRows(const std::vector<uint32_t>& oldIndexAt) {
    std::vector<uint32_t> newIndexOf(oldIndexAt.size());
    for (std::size_t i = 0; i < oldIndexAt.size(); ++i) newIndexOf[oldIndexAt[i]] = static_cast<uint32_t>(i);
    for (Group& g : m_groups) {
        g.first = newIndexOf[g.first];
        for (uint32_t& row : g.more) row = newIndexOf[row];
        if (g.more.empty()) continue;
        g.more.push_back(g.first);
        std::sort(g.more.begin(), g.more.end());
        g.first = g.more.front();
        g.more.erase(g.more.begin());
    }
}

void FileGroups::Clear() {
    m_groups.clear();
    m_table.clear();
    m_users.clear();
}
