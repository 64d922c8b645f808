#include "engine/results/file_groups.h"

#include <algorithm>
#include <functional>

#include "engine/results/result_store.h"

namespace {

// Up to this many rows a group's users are found by scanning its rows; larger groups keep them in a set.
constexpr std::size_t kScannedRows = 16;

std::size_t Mix(std::size_t seed, std::size_t value) {
    return seed ^ (value + 0x9E3779B97F4A7C15ULL + (seed << 6) + (seed >> 2));
}

}  // namespace

std::size_t FileGroups::NameAndSizeHash::operator()(const NameAndSize& key) const {
    return Mix(std::hash<std::string_view>()(key.name), static_cast<std::size_t>(key.size));
}

std::size_t FileGroups::GroupUserHash::operator()(const GroupUser& key) const {
    const std::hash<std::string_view> hash;
    return Mix(Mix(hash(key.user), hash(key.hubAddress)), key.group);
}

FileGroups::Placement FileGroups::Add(uint32_t row, std::string_view tth) {
    const auto next = static_cast<uint32_t>(m_groups.size());
    const ResultRow stored = m_store.Row(row);
    uint32_t group = 0;
    bool inserted = false;
    if (tth.empty()) {
        const auto found = m_byNameAndSize.try_emplace({stored.FileName, stored.Size}, next);
        group = found.first->second;
        inserted = found.second;
    } else {
        const auto found = m_byTth.try_emplace(tth, next);
        group = found.first->second;
        inserted = found.second;
    }
    if (inserted) {
        m_groups.push_back({row, 1, {}});
        return {next, true, true};
    }
    const bool newUser = AddUser(group, row);
    m_groups[group].more.push_back(row);
    return {group, false, newUser};
}

bool FileGroups::AddUser(uint32_t group, uint32_t row) {
    Group& g = m_groups[group];
    const std::size_t rows = RowCount(group);
    bool known = false;
    if (rows < kScannedRows) {
        const ResultRow added = m_store.Row(row);
        for (std::size_t i = 0; i < rows && !known; ++i) {
            const ResultRow member = m_store.Row(Row(group, i));
            known = member.User == added.User && member.HubAddress == added.HubAddress;
        }
    } else {
        if (rows == kScannedRows) {
            for (std::size_t i = 0; i < rows; ++i) RememberUser(group, Row(group, i));
        }
        const ResultRow added = m_store.Row(row);
        known = !m_users.insert({group, added.User, added.HubAddress}).second;
    }
    if (!known) ++g.users;
    return !known;
}

void FileGroups::RememberUser(uint32_t group, uint32_t row) {
    const ResultRow member = m_store.Row(row);
    m_users.insert({group, member.User, member.HubAddress});
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
    m_byTth.clear();
    m_byNameAndSize.clear();
    m_users.clear();
}
