#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

#include "engine/results/result_column.h"
#include "ui/results/column_menu.h"
#include "ui/results/grouped_result_model.h"
#include "ui/results/grouped_result_view.h"
#include "ui/results/result_list_view.h"
#include "ui/results/result_model.h"
#include "ui/results/result_row_actions.h"
#include "ui/support/shell.h"

namespace {

constexpr char kTth[] = "LWPNACQDBZRYXW3VHJVCJ64QBZNGHOHHHZWCLNQ";

SearchResult Make(std::string fileName, std::string tth, std::string hub, std::string path = "Films\\") {
    SearchResult r;
    r.FileName = std::move(fileName);
    r.Size = 1000;
    r.SlotsText = "1/2";
    r.FreeSlots = 1;
    r.TotalSlots = 2;
    r.User = "alice";
    r.HubAddress = std::move(hub);
    r.Path = std::move(path);
    r.Tth = std::move(tth);
    return r;
}

class ResultRowActionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        view.Append(Make("Café & 100%.avi", kTth, "127.0.0.1:411"));
        view.Append(Make("no hash.avi", "", "127.0.0.1:411", "Other\\"));
        view.Append(Make("third.avi", std::string(38, 'B') + "Q", "hub.example.org:4111"));
        view.Append(Make("odd hub.avi", "", "bad address"));
    }
    void TearDown() override { SetShellHook({}); }

    void Select(std::vector<int> rows) {
        view.clearSelection();
        for (const int row : rows)
            view.selectionModel()->select(view.Model()->index(row, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    QAction* Action(const char* name) { return view.RowActions()->findChild<QAction*>(name); }

    ResultListView view;
};

TEST_F(ResultRowActionsTest, CopiesWhatTheSelectedRowsHold) {
    Select({0, 1, 2});
    ResultRowActions& actions = *view.RowActions();
    EXPECT_EQ(
        actions.MagnetLinks(),
        "magnet:?xt=urn:tree:tiger:LWPNACQDBZRYXW3VHJVCJ64QBZNGHOHHHZWCLNQ&xl=1000&dn=Caf%C3%A9%20%26%20100%25.avi\n"
        "magnet:?xt=urn:tree:tiger:BBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBQ&xl=1000&dn=third.avi")
        << "a row without a TTH gives no link";
    EXPECT_EQ(actions.FileNames(), QString::fromUtf8("Café & 100%.avi\nno hash.avi\nthird.avi"));
    EXPECT_EQ(actions.Paths(), "Films\\\nOther\\\nFilms\\");
    EXPECT_EQ(actions.HubUrls(), "dchub://127.0.0.1:411\ndchub://hub.example.org:4111") << "each hub once";

    Action("copyMagnetAction")->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), actions.MagnetLinks());
    Select({1});
    QMenu* menu = actions.MakeMenu(&view);
    EXPECT_FALSE(Action("copyMagnetAction")->isEnabled()) << "no TTH in the selection";
    EXPECT_FALSE(Action("searchForFileAction")->isEnabled());
    EXPECT_TRUE(Action("copyHubAction")->isEnabled());
    delete menu;
    Select({3});
    menu = actions.MakeMenu(&view);
    EXPECT_FALSE(Action("openHubAction")->isEnabled()) << "an address that is no host:port opens nothing";
    delete menu;
}

TEST_F(ResultRowActionsTest, MenuShowsEveryShortcut) {
    QMenu* menu = view.RowActions()->MakeMenu(&view);
    for (QAction* entry : menu->actions()) {
        if (entry->isSeparator()) continue;
        EXPECT_FALSE(entry->shortcut().isEmpty()) << entry->text().toStdString();
        EXPECT_TRUE(entry->isShortcutVisibleInContextMenu()) << entry->text().toStdString();
    }
    delete menu;
}

TEST_F(ResultRowActionsTest, OpenHubHandsTheHubUrlToTheDesktop) {
    std::vector<std::string> opened;
    SetShellHook([&opened](const std::string& url) {
        opened.push_back(url);
        return true;
    });
    Select({0, 1, 2});
    view.setFocus();
    Action("openHubAction")->trigger();
    EXPECT_EQ(opened, (std::vector<std::string>{"dchub://127.0.0.1:411", "dchub://hub.example.org:4111"}));
}

TEST_F(ResultRowActionsTest, SearchForThisFileAsksForARunWithTheTth) {
    QSignalSpy searches(view.RowActions(), &ResultRowActions::SearchForTth);
    Select({1, 2});
    Action("searchForFileAction")->trigger();
    ASSERT_EQ(searches.count(), 1);
    EXPECT_EQ(searches[0][0].toString(), QString(38, 'B') + "Q");
}

TEST_F(ResultRowActionsTest, GroupedViewActsOnAFilesFirstSourceAndSortsLikeTheList) {
    view.Append(Make("copy of cafe.avi", kTth, "127.0.0.1:412"));
    GroupedResultView grouped(&view);
    ASSERT_EQ(grouped.Model()->rowCount(), 4);
    grouped.selectionModel()->select(grouped.Model()->index(0, 0),
                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
    const QModelIndex copy = grouped.Model()->index(1, 0, grouped.Model()->index(0, 0));
    grouped.selectionModel()->select(copy, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(grouped.RowActions()->FileNames(), QString::fromUtf8("Café & 100%.avi\ncopy of cafe.avi"));

    grouped.header()->moveSection(grouped.header()->visualIndex(kFileNameColumn), 2);
    grouped.FollowListColumns();
    EXPECT_EQ(grouped.header()->visualIndex(kFileNameColumn), 0) << "the list's order";
    view.OnHeaderClicked(kFileNameColumn);
    EXPECT_EQ(grouped.Model()->index(0, kFileNameColumn).data().toString(), QString::fromUtf8("Café & 100%.avi"));
    EXPECT_EQ(grouped.Model()->index(3, kFileNameColumn).data().toString(), "third.avi");
}

TEST_F(ResultRowActionsTest, HeaderMenuShowsAndHidesColumnsButNeverTheLast) {
    QHeaderView* header = view.horizontalHeader();
    std::unique_ptr<QMenu> menu(MakeColumnMenu(header));
    QList<QAction*> entries = menu->actions();
    ASSERT_EQ(entries.size(), kResultColumnCount);
    EXPECT_EQ(entries[kTthColumn]->text(), "TTH");
    EXPECT_FALSE(entries[kTthColumn]->isChecked());
    entries[kTthColumn]->trigger();
    EXPECT_FALSE(header->isSectionHidden(kTthColumn));
    EXPECT_EQ(view.Model()->CellText(0, kTthColumn), kTth);

    for (int column = 0; column < kResultColumnCount - 1; ++column) header->setSectionHidden(column, true);
    menu.reset(MakeColumnMenu(header));
    EXPECT_FALSE(menu->actions()[kTthColumn]->isEnabled()) << "the last shown column stays";
}

}  // namespace
