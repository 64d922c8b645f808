#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTest>

#include "ui/report/hub_report_model.h"
#include "ui/report/hub_report_window.h"

namespace {

HubOutcome Outcome(int port, HubReason reason, std::string words = {}) {
    HubOutcome outcome;
    outcome.host = "hub.example";
    outcome.port = port;
    outcome.reason = reason;
    outcome.hubMessage = std::move(words);
    outcome.timeToSearch = std::chrono::milliseconds(port * 100);
    return outcome;
}

// Outcomes show in batches; the counters' filters pick by outcome; Ctrl+C copies the shown rows in their order.
TEST(HubReportWindow, ShowsBatchesFiltersByOutcomeAndCopiesRows) {
    HubReportWindow window(nullptr);
    QAbstractItemModelTester tester(window.m_view, QAbstractItemModelTester::FailureReportingMode::Fatal);
    window.AddOutcomes({Outcome(1, HubReason::Searched), Outcome(2, HubReason::NickRefused, "<Bot> Taken")});
    window.AddOutcomes({Outcome(3, HubReason::Searched), Outcome(4, HubReason::HubFull)});
    EXPECT_EQ(window.m_model->rowCount(), 0) << "staged until the next tick";
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.m_model->rowCount() == 4; }));

    window.Open(HubReportWindow::Shown::Failed);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.m_view->rowCount(), 2);
    window.Open(HubReportWindow::Shown::Searched);
    ASSERT_EQ(window.m_view->rowCount(), 2);
    window.m_table->sortByColumn(HubReportModel::Seconds, Qt::DescendingOrder);
    window.m_table->selectAll();
    QTest::keySequence(window.m_table, QKeySequence::Copy);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("\thub.example:3\t\tsearched\t\t\t0.3\t0\n"
                                                                "\thub.example:1\t\tsearched\t\t\t0.1\t0\n"));

    window.m_outcomeBox->setCurrentIndex(static_cast<int>(HubReportWindow::Shown::AllHubs));
    EXPECT_EQ(window.m_view->rowCount(), 4);
    window.Clear();
    EXPECT_EQ(window.m_view->rowCount(), 0);
    QTest::keyClick(window.m_table, Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible()) << "Esc closes the report";
}

}  // namespace
