#include <gtest/gtest.h>

#include <QAbstractItemModelTester>

#include <string>

#include "engine/results/result_column.h"
#include "ui/results/grouped_result_model.h"
#include "ui/results/result_model.h"

namespace {

const std::string kBunnyTth = "LWPNACQDBZRYXW3VHJVCJ64QBZNGHOHHHZWCLNQ";

SearchResult Make(std::string name, std::string user, std::string tth = "", int64_t size = 100) {
    SearchResult r;
    r.FileName = std::move(name);
    r.Size = size;
    r.SlotsText = "1/2";
    r.User = std::move(user);
    r.HubAddress = "127.0.0.1:411";
    r.Path = "Films\\";
    r.Tth = std::move(tth);
    return r;
}

class GroupedResultModelTest : public ::testing::Test {
protected:
    QString Cell(int row, int column, const QModelIndex& parent = {}) const {
        return grouped.index(row, column, parent).data().toString();
    }
    QStringList TopNames() const {
        QStringList names;
        for (int row = 0; row < grouped.rowCount(); ++row) names << Cell(row, kFileNameColumn);
        return names;
    }

    ResultModel flat;
    GroupedResultModel grouped{&flat};
    QAbstractItemModelTester tester{&grouped, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

// The demo's case: the same film from several users, found by TTH whatever its name, others by name and size.
TEST_F(GroupedResultModelTest, OneRowPerFileWithItsUsersAndSources) {
    flat.Append(Make("Big Buck Bunny.avi", "alice", kBunnyTth));
    flat.Append(Make("sintel.mkv", "bob"));
    flat.Append(Make("big_buck_bunny.avi", "carol", kBunnyTth));
    flat.Append(Make("Big Buck Bunny.avi", "alice", kBunnyTth));  // alice shares it twice
    flat.Append(Make("sintel.mkv", "dave"));

    ASSERT_EQ(TopNames(), QStringList({"Big Buck Bunny.avi", "sintel.mkv"}));
    EXPECT_EQ(Cell(0, kUserColumn), "2 users");
    EXPECT_EQ(grouped.UserCount(0), 2u);
    const QModelIndex bunny = grouped.index(0, 0);
    ASSERT_EQ(grouped.rowCount(bunny), 3);
    EXPECT_EQ(Cell(1, kFileNameColumn, bunny), "big_buck_bunny.avi");
    EXPECT_EQ(Cell(1, kUserColumn, bunny), "carol");

    flat.Append(Make("lone.txt", "erin"));
    EXPECT_EQ(grouped.rowCount(grouped.index(2, 0)), 0) << "a lone source is no group to open";
    EXPECT_EQ(Cell(2, kUserColumn), "erin");
}

TEST_F(GroupedResultModelTest, ARunAddsToGroupsWhileFilteredAndSorted) {
    flat.Append(Make("Big Buck Bunny.avi", "alice", kBunnyTth));
    flat.Append(Make("sintel.mkv", "bob"));
    flat.SetFilter("bunny");
    ASSERT_EQ(TopNames(), QStringList({"Big Buck Bunny.avi"}));

    flat.AppendStaged(Make("bunny.avi", "carol", kBunnyTth));
    flat.AppendStaged(Make("sintel.mkv", "dave"));
    flat.AppendStaged(Make("a bunny.srt", "dave"));
    flat.ShowStaged();
    EXPECT_EQ(TopNames(), QStringList({"Big Buck Bunny.avi", "a bunny.srt"})) << "new files at the end, as in the list";
    EXPECT_EQ(grouped.rowCount(grouped.index(0, 0)), 2);

    const QPersistentModelIndex carol = grouped.index(1, kUserColumn, grouped.index(0, 0));
    grouped.sort(kFileNameColumn, Qt::AscendingOrder);
    EXPECT_EQ(TopNames(), QStringList({"a bunny.srt", "Big Buck Bunny.avi"}));
    EXPECT_EQ(Cell(0, kFileNameColumn, grouped.index(1, 0)), "Big Buck Bunny.avi");
    EXPECT_EQ(Cell(1, kFileNameColumn, grouped.index(1, 0)), "bunny.avi");
    EXPECT_EQ(carol.data().toString(), "carol") << "a kept index follows its source";

    flat.Append(Make("bunny copy.avi", "erin", kBunnyTth));
    EXPECT_EQ(grouped.rowCount(grouped.index(1, 0)), 3);
    EXPECT_EQ(Cell(1, kUserColumn), "3 users");

    flat.SetFilter("");
    EXPECT_EQ(grouped.rowCount(), 3) << "sintel is back";
    flat.Clear();
    EXPECT_EQ(grouped.rowCount(), 0);
}

}  // namespace
