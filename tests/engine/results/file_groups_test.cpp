#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/results/dc_links.h"
#include "engine/results/file_groups.h"
#include "engine/results/result_column.h"
#include "engine/results/result_store.h"

namespace {

constexpr std::string_view kTthA = "LWPNACQDBZRYXW3VHJVCJ64QBZNGHOHHHZWCLNQ";
constexpr std::string_view kTthB = "PZMRYHGY6LTBEH63ZWAHDORHSYTLO4LEFUIKHWY";

// A store and its groups, rows added as a run adds them.
class Grouped {
public:
    FileGroups::Placement Add(std::string name, int64_t size, std::string user, std::string_view tth = {},
                              std::string hub = "127.0.0.1:411") {
        SearchResult result;
        result.FileName = std::move(name);
        result.Size = size;
        result.User = std::move(user);
        result.HubAddress = std::move(hub);
        result.Tth = tth;
        m_store.Append(result);
        return m_groups.Add(static_cast<uint32_t>(m_store.Count() - 1));
    }
    std::vector<uint32_t> Rows(uint32_t group) const {
        std::vector<uint32_t> rows;
        for (std::size_t i = 0; i < m_groups.RowCount(group); ++i) rows.push_back(m_groups.Row(group, i));
        return rows;
    }

    ResultStore m_store;
    FileGroups m_groups{m_store};
};

TEST(FileGroups, GroupsByTthElseByNameAndSize) {
    Grouped g;
    EXPECT_TRUE(g.Add("bunny.avi", 100, "alice", kTthA).newGroup);
    EXPECT_FALSE(g.Add("Big Buck Bunny.avi", 100, "bob", kTthA).newGroup) << "same hash, another name";
    EXPECT_TRUE(g.Add("bunny.avi", 100, "carol", kTthB).newGroup) << "same name and size, another hash";
    EXPECT_TRUE(g.Add("bunny.avi", 100, "dave").newGroup) << "without a hash only name and size count";
    EXPECT_FALSE(g.Add("bunny.avi", 100, "erin").newGroup);
    EXPECT_TRUE(g.Add("bunny.avi", 101, "frank").newGroup);
    EXPECT_TRUE(g.Add("BUNNY.avi", 100, "gina").newGroup) << "names compare as received";

    ASSERT_EQ(g.m_groups.Count(), 5u);
    EXPECT_EQ(g.Rows(0), (std::vector<uint32_t>{0, 1}));
    EXPECT_EQ(g.Rows(1), (std::vector<uint32_t>{2}));
    EXPECT_EQ(g.Rows(2), (std::vector<uint32_t>{3, 4}));
    EXPECT_EQ(g.m_groups.UserCount(0), 2u);
}

TEST(FileGroups, ThousandsOfFilesStayApart) {
    Grouped g;
    constexpr int kFiles = 3000;  // enough to grow the key table several times
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < kFiles; ++i) {
            std::string tth = std::to_string(i);
            tth.resize(kTthLength, 'A');
            EXPECT_EQ(g.Add("f" + std::to_string(i), i, "u" + std::to_string(round), i % 2 == 0 ? "" : tth).group,
                      static_cast<uint32_t>(i));
        }
    }
    EXPECT_EQ(g.m_groups.Count(), static_cast<std::size_t>(kFiles));
    EXPECT_EQ(g.m_groups.UserCount(kFiles - 1), 2u);
}

TEST(FileGroups, CountsEachUserOnAHubOnce) {
    for (const int copies : {2, 40}) {  // small groups are scanned, large ones keep a set
        Grouped g;
        for (int i = 0; i < copies; ++i) {
            const std::string user = "user" + std::to_string(i / 2);  // every user shares the file twice
            const auto placement = g.Add("f" + std::to_string(i), 1, user, kTthA);
            EXPECT_EQ(placement.newUser, i % 2 == 0) << "row " << i << " of " << copies;
        }
        g.Add("f", 1, "user0", kTthA, "10.0.0.9:411");  // the same nick on another hub is another user
        EXPECT_EQ(g.m_groups.UserCount(0), static_cast<uint32_t>(copies / 2 + 1)) << copies << " rows";
        EXPECT_EQ(g.m_groups.RowCount(0), static_cast<std::size_t>(copies + 1));
    }
}

TEST(FileGroups, RowsFollowTheStoreOrderAfterASortAndNewRowsStillJoin) {
    Grouped g;
    g.Add("b.avi", 1, "carol", kTthA);
    g.Add("z.txt", 2, "alice");
    g.Add("a.avi", 1, "bob", kTthA);
    g.m_groups.RenumberRows(g.m_store.Sort(kFileNameColumn, false));  // a.avi, b.avi, z.txt
    EXPECT_EQ(g.Rows(0), (std::vector<uint32_t>{0, 1}));
    EXPECT_EQ(g.Rows(1), (std::vector<uint32_t>{2}));

    EXPECT_FALSE(g.Add("c.avi", 1, "dave", kTthA).newGroup);
    EXPECT_FALSE(g.Add("z.txt", 2, "erin").newGroup) << "the key views survived the sort";
    EXPECT_EQ(g.Rows(0), (std::vector<uint32_t>{0, 1, 3}));
    EXPECT_EQ(g.Rows(1), (std::vector<uint32_t>{2, 4}));

    g.m_groups.Clear();
    EXPECT_EQ(g.m_groups.Count(), 0u);
}

}  // namespace
