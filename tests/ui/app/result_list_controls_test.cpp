#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringListModel>
#include <QTest>
#include <QTimer>

#include <memory>
#include <string>
#include <vector>

#include "engine/results/result_column.h"
#include "support/temp_dir.h"
#include "ui/app/main_window.h"
#include "ui/app/phrase_history.h"
#include "ui/app/result_list_controls.h"
#include "ui/results/grouped_result_model.h"
#include "ui/results/grouped_result_view.h"
#include "ui/results/result_list_view.h"
#include "ui/results/result_model.h"
#include "ui/results/result_row_actions.h"
#include "ui/support/message_box.h"

namespace {

const std::string kBunnyTth = "LWPNACQDBZRYXW3VHJVCJ64QBZNGHOHHHZWCLNQ";

SearchResult Make(std::string name, std::string user, std::string tth = "") {
    SearchResult r;
    r.FileName = std::move(name);
    r.Size = 276134947;
    r.SlotsText = "1/2";
    r.User = std::move(user);
    r.HubAddress = "127.0.0.1:411";
    r.Path = "Films\\";
    r.Tth = std::move(tth);
    return r;
}

// The main window over a private data folder with the demo's rows in its list; message boxes are recorded.
class ResultListControlsTest : public ::testing::Test {
protected:
    ResultListControlsTest() {
        SetMessageBoxHook([this](const std::string& text, MessageIcon) { m_messages.push_back(text); });
        m_window = std::make_unique<MainWindow>(m_settings, m_pending, m_dir.Path());
        m_window->show();
        ResultModel& model = *m_window->m_resultList->Model();
        model.Append(Make("Big Buck Bunny.avi", "alice", kBunnyTth));
        model.Append(Make("big_buck_bunny.avi", "bob", kBunnyTth));
        model.Append(Make("Sintel.mkv", "alice"));
        model.Append(Make("Big Buck Bunny.avi", "carol", kBunnyTth));
    }
    ~ResultListControlsTest() override {
        m_window.reset();
        SetMessageBoxHook({});
    }

    ResultListControls& Controls() const { return *m_window->m_resultControls; }
    void TypeFilter(const QString& text) {
        Controls().m_filterEdit->setFocus();
        QTest::keyClicks(Controls().m_filterEdit, text);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !Controls().m_filterDelay->isActive(); }, 5000));
    }

    TempDir m_dir;
    AppSettings m_settings;
    std::string m_pending;
    std::unique_ptr<MainWindow> m_window;
    std::vector<std::string> m_messages;
};

TEST_F(ResultListControlsTest, KeyboardReachesTheStripAfterTheList) {
    m_window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
    m_window->m_aboutButton->setFocus();
    const std::vector<QWidget*> expected{m_window->m_resultList, Controls().m_filterEdit, Controls().m_groupCheck,
                                         Controls().m_exportButton};
    for (QWidget* next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
    }
    QTest::keySequence(m_window.get(), QKeySequence::Find);
    EXPECT_EQ(QApplication::focusWidget(), Controls().m_filterEdit) << "Ctrl+F";
}

TEST_F(ResultListControlsTest, FilterToOneUsersRowsAndExportThem) {
    ASSERT_NO_FATAL_FAILURE(TypeFilter(QStringLiteral("user:alice")));
    const ResultModel& model = *m_window->m_resultList->Model();
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(m_window->m_resultCountLabel->text(), "Results: 2 of 4");

    const std::string file = m_dir.File("alice.json");
    EXPECT_TRUE(Controls().ExportTo(QString::fromStdString(file)));
    const std::string json = ReadFile(file);
    EXPECT_EQ(json.find("\"user\":\"bob\""), std::string::npos);
    EXPECT_NE(json.find("\"fileName\":\"Sintel.mkv\""), std::string::npos);
    EXPECT_NE(json.find("\"size\":276134947,"), std::string::npos);

    EXPECT_FALSE(Controls().ExportTo(QString::fromStdString(m_dir.File("missing/alice.csv"))));
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_NE(m_messages[0].find("missing/alice.csv"), std::string::npos) << m_messages[0];

    Controls().m_filterEdit->clear();
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.rowCount() == 4; }, 5000));
    EXPECT_EQ(m_window->m_resultCountLabel->text(), "Results: 4") << "the whole count without a filter";
}

TEST_F(ResultListControlsTest, GroupingShowsTheBunnyOnceWithItsUsersAndKeepsAdding) {
    QTest::mouseClick(Controls().m_groupCheck, Qt::LeftButton);
    GroupedResultView* grouped = Controls().m_groupedView;
    EXPECT_TRUE(grouped->isVisible());
    EXPECT_FALSE(m_window->m_resultList->isVisible());
    EXPECT_EQ(grouped->geometry(), m_window->m_resultList->geometry());
    GroupedResultModel& model = *grouped->Model();
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.index(0, kUserColumn).data().toString(), "3 users");

    ASSERT_NO_FATAL_FAILURE(TypeFilter(QStringLiteral("bunny")));
    m_window->m_resultList->Model()->Append(Make("bunny.avi", "dave", kBunnyTth));
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.index(0, kUserColumn).data().toString(), "4 users");
    EXPECT_EQ(model.rowCount(model.index(0, 0)), 4);

    QTest::mouseClick(Controls().m_groupCheck, Qt::LeftButton);
    EXPECT_TRUE(m_window->m_resultList->isVisible());
    // Rows the flat list gains, and a sort, while it shows are grouped once grouping shows again.
    m_window->m_resultList->Model()->Append(Make("bunny.avi", "erin", kBunnyTth));
    m_window->m_resultList->Model()->sort(kUserColumn, Qt::DescendingOrder);
    QTest::mouseClick(Controls().m_groupCheck, Qt::LeftButton);
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.index(0, kUserColumn).data().toString(), "5 users");
    EXPECT_EQ(model.index(0, kUserColumn, model.index(0, 0)).data().toString(), "erin") << "sorted";
    EXPECT_EQ(model.rowCount(model.index(0, 0)), 5);
}

TEST_F(ResultListControlsTest, SearchForThisFileStartsATthSearch) {
    m_window->m_resultList->setCurrentIndex(m_window->m_resultList->Model()->index(1, 0));
    m_window->m_resultList->RowActions()->findChild<QAction*>("searchForFileAction")->trigger();
    EXPECT_EQ(m_window->m_phraseEdit->text(), QString::fromStdString(kBunnyTth));
    EXPECT_EQ(m_window->m_fileTypeBox->currentText(), "TTH");
    ASSERT_FALSE(m_messages.empty()) << "the run's checks ran";
}

TEST_F(ResultListControlsTest, PhraseHistoryOffersEarlierSearchesAcrossStartsUntilCleared) {
    const QString fileName = QString::fromStdString(m_dir.File("history.txt"));
    SearchForm atLeast;
    atLeast.sizeCondition = 1;
    atLeast.firstValue = "700";
    atLeast.fileType = 6;
    {
        QLineEdit edit;
        PhraseHistory history(&edit, fileName, [](const SearchForm&) {});
        history.Remember(QStringLiteral("big buck bunny"), atLeast);
        history.Remember(QStringLiteral("sintel"), {});
    }
    QLineEdit edit;
    SearchForm applied;
    PhraseHistory history(&edit, fileName, [&applied](const SearchForm& form) { applied = form; });
    auto* phrases = qobject_cast<QStringListModel*>(history.Completer()->model());
    ASSERT_NE(phrases, nullptr);
    EXPECT_EQ(phrases->stringList(), QStringList({"sintel", "big buck bunny"})) << "newest first";
    emit history.Completer()->activated(QStringLiteral("big buck bunny"));
    EXPECT_EQ(applied.fileType, 6);
    EXPECT_EQ(applied.sizeCondition, 1);
    EXPECT_EQ(applied.firstValue, "700");

    history.Clear();
    EXPECT_TRUE(phrases->stringList().isEmpty());
    QLineEdit again;
    PhraseHistory reread(&again, fileName, [](const SearchForm&) {});
    EXPECT_TRUE(reread.History().Entries().empty()) << "cleared for good";
    EXPECT_TRUE(m_messages.empty());
}

}  // namespace
