#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QSortFilterProxyModel>

#include "ui/report/hub_report_model.h"

namespace {

HubOutcome Outcome(int port, HubReason reason, std::string words = {}, int milliseconds = 0) {
    return {"hub.example", port, reason, std::move(words), {}, std::chrono::milliseconds(milliseconds)};
}

QString Cell(const QAbstractItemModel& model, int row, int column) {
    return model.data(model.index(row, column)).toString();
}

TEST(HubReportModel, GrowsInBatchesAndSortsAndFiltersByOutcome) {
    HubReportModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.AddOutcomes({Outcome(1, HubReason::Searched, {}, 900), Outcome(2, HubReason::NickRefused, "<Bot> Taken")});
    model.AddOutcomes({Outcome(3, HubReason::Searched, {}, 50), Outcome(4, HubReason::HubFull)});
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

    QSortFilterProxyModel view;
    view.setSourceModel(&model);
    view.setFilterKeyColumn(HubReportModel::Outcome);
    view.setFilterFixedString(QStringLiteral("searched"));
    view.sort(HubReportModel::Seconds);
    ASSERT_EQ(view.rowCount(), 2);
    EXPECT_EQ(Cell(view, 0, HubReportModel::Address), "hub.example:3");
    EXPECT_EQ(Cell(view, 1, HubReportModel::Address), "hub.example:1");
    view.setFilterFixedString(QStringLiteral("failed"));
    EXPECT_EQ(view.rowCount(), 3);

    model.Clear();
    EXPECT_EQ(model.rowCount(), 0);
}

}  // namespace
