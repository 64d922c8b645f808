#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QSortFilterProxyModel>

#include "ui/report/hub_report_model.h"

namespace {

HubOutcome Outcome(int port, HubReason reason, std::string words = {}, int milliseconds = 0, int results = 0) {
    HubOutcome outcome;
    outcome.host = "hub.example";
    outcome.port = port;
    outcome.reason = reason;
    outcome.hubMessage = std::move(words);
    outcome.timeToSearch = std::chrono::milliseconds(milliseconds);
    outcome.results = results;
    return outcome;
}

QString Cell(const QAbstractItemModel& model, int row, int column) {
    return model.data(model.index(row, column)).toString();
}

TEST(HubReportModel, GrowsInBatchesAndSortsAndFiltersByOutcome) {
    HubReportModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.AddOutcomes({Outcome(1, HubReason::Searched, {}, 900), Outcome(2, HubReason::NickRefused, "<Bot> Taken")});
    model.AddOutcomes({Outcome(3, HubReason::Searched, {}, 50, 7), Outcome(4, HubReason::HubFull)});
    // A hub reported again keeps its row, in a later batch or the same one.
    model.AddOutcomes({Outcome(4, HubReason::PasswordRequired)});
    model.AddOutcomes({Outcome(5, HubReason::HubFull), Outcome(5, HubReason::Banned)});
    EXPECT_EQ(Cell(model, 4, HubReportModel::Reason), "wrong password or banned");
    model.AddOutcomes({Outcome(5, HubReason::NoAnswer)});
    ASSERT_EQ(model.rowCount(), 5);
    EXPECT_EQ(Cell(model, 1, HubReportModel::Address), "hub.example:2");
    EXPECT_EQ(Cell(model, 1, HubReportModel::Reason), "nick refused");
    EXPECT_EQ(Cell(model, 1, HubReportModel::HubWords), "<Bot> Taken");
    EXPECT_EQ(Cell(model, 3, HubReportModel::Reason), "password required");
    EXPECT_EQ(Cell(model, 0, HubReportModel::Reason), "");
    EXPECT_EQ(Cell(model, 1, HubReportModel::Results), "") << "a failed hub has no result count";

    QSortFilterProxyModel view;
    view.setSourceModel(&model);
    view.setFilterKeyColumn(HubReportModel::Outcome);
    view.setFilterFixedString(QStringLiteral("searched"));
    view.sort(HubReportModel::Seconds);
    ASSERT_EQ(view.rowCount(), 2);
    EXPECT_EQ(Cell(view, 0, HubReportModel::Address), "hub.example:3");
    EXPECT_EQ(Cell(view, 1, HubReportModel::Address), "hub.example:1");
    // Results arriving later move a hub in a view sorted by them.
    view.sort(HubReportModel::Results, Qt::DescendingOrder);
    EXPECT_EQ(Cell(view, 0, HubReportModel::Address), "hub.example:3");
    model.AddOutcomes({Outcome(1, HubReason::Searched, {}, 900, 9)});
    EXPECT_EQ(Cell(view, 0, HubReportModel::Address), "hub.example:1");
    view.setFilterFixedString(QStringLiteral("failed"));
    EXPECT_EQ(view.rowCount(), 3);

    model.Clear();
    EXPECT_EQ(model.rowCount(), 0);
}

}  // namespace

// What the list gives and where a redirect came from show in the hub's row.
TEST(HubReportModel, ShowsTheListEntryAndTheRedirectOrigin) {
    HubReportModel model;
    HubOutcome moved = Outcome(6, HubReason::Redirected);
    moved.redirect = "new.example:411";
    moved.name = "Old Hub";
    moved.users = 250;
    HubOutcome followed = Outcome(7, HubReason::Searched, {}, 10, 2);
    followed.redirectedFrom = "hub.example:6";
    model.AddOutcomes({moved, followed});
    EXPECT_EQ(Cell(model, 0, HubReportModel::Name), "Old Hub");
    EXPECT_EQ(model.data(model.index(0, HubReportModel::Users)), QVariant(250));
    EXPECT_EQ(Cell(model, 0, HubReportModel::Reason), "redirected to new.example:411");
    EXPECT_FALSE(model.data(model.index(1, HubReportModel::Users)).isValid()) << "no user count in the list";
    EXPECT_EQ(Cell(model, 1, HubReportModel::Reason), "redirected here from hub.example:6");
    EXPECT_EQ(Cell(model, 1, HubReportModel::Results), "2");
}
