#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "engine/results/search_result.h"

class ResultStore;

// Identical files among the rows of a result store: rows with the same TTH, or, without a TTH, the same file name
// (bytes as received) and size. Grouped as rows arrive; a group counts its users, a user being a nick on a hub, so a
// user sharing the file twice counts once. Group numbers never change; rows of a group keep the order of the store.
// Keys are views into the store: the store must only be appended to or sorted while groups refer to it.
// GUI thread only, like the store.
class FileGroups {
public:
    explicit FileGroups(const ResultStore& store) : m_store(store) {}

    struct Placement {
        uint32_t group = 0;
        bool newGroup = false;  // the row started the group
        bool newUser = false;   // the row's user had no row in the group before
    };
    // Adds the store's row index; rows are added in increasing index order.
    Placement Add(uint32_t row);
    std::size_t Count() const { return m_groups.size(); }
    std::size_t RowCount(uint32_t group) const { return 1 + m_groups[group].more.size(); }
    // index < RowCount(group).
    uint32_t Row(uint32_t group, std::size_t index) const;
    uint32_t UserCount(uint32_t group) const { return m_groups[group].users; }

    // After the store was sorted: oldIndexAt[i] is the old index of the row now at i (as ResultStore::Sort returns).
    // Each group's rows then follow the new order.
    void RenumberRows(const std::vector<uint32_t>& oldIndexAt);
    void Clear();

private:
    struct Group {
        uint32_t first = 0;
        uint32_t users = 1;
        std::vector<uint32_t> more;
    };
    // One place of the open-addressed key table: the group number plus one (0 for a free place) and the key's hash.
    struct Slot {
        uint32_t groupPlusOne = 0;
        uint32_t hash = 0;
    };
    struct GroupUser {
        uint32_t group = 0;
        std::string_view user;
        std::string_view hubAddress;
        bool operator==(const GroupUser&) const = default;
    };
    struct GroupUserHash {
        std::size_t operator()(const GroupUser& key) const;
    };

    bool SameKey(const Group& group, const ResultRow& row) const;
    void GrowTable();
    bool AddUser(uint32_t group, uint32_t row);

    const ResultStore& m_store;
    std::vector<Group> m_groups;
    std::vector<Slot> m_table;  // a power of two long, at most half full
    // Users of the groups too large to scan; a group's users join when it grows past kScannedRows.
    std::unordered_set<GroupUser, GroupUserHash> m_users;
};
