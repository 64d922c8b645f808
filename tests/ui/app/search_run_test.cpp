#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTest>
#include <QTimer>

#include <string>
#include <vector>

#include "engine/results/result_column.h"
#include "support/fake_hub.h"
#include "support/temp_dir.h"
#include "support/udp_test_sockets.h"
#include "ui/app/main_window.h"
#include "ui/report/hub_report_model.h"
#include "ui/report/hub_report_window.h"
#include "ui/results/result_list_view.h"
#include "ui/results/result_model.h"
#include "ui/support/message_box.h"
#include "ui/support/progress_state.h"

namespace {

using namespace std::chrono_literals;

// The main window over a hub list of fake hubs, with short waits, and message boxes recorded.
class SearchRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetMessageBoxHook([this](const std::string& text, MessageIcon) { m_messages.push_back(text); });
        m_settings.Nick = "tester";
        m_settings.IP = "127.0.0.1";
        m_settings.ShareSizeBytes = "5368709120";
        m_settings.Threads = 4;
        m_settings.SearchTimeout = 1;
        // The system chooses each run's port: no test takes a fixed port that another program might hold.
        m_settings.MinUDPPort = 0;
        m_settings.MaxUDPPort = 0;
    }
    void TearDown() override { SetMessageBoxHook({}); }

    // Writes the hub list and opens the window, which loads it at its first layout.
    void Open(const std::vector<FakeHubBehaviour>& hubs) {
        std::string list = "<?xml version=\"1.0\"?><Hublist><Hubs>";
        for (const FakeHubBehaviour& behaviour : hubs) {
            const int hub = m_hubs.AddHub(behaviour);
            list += "<Hub Address=\"dchub://127.0.0.1:" + std::to_string(m_hubs.Port(hub)) + "\"/>";
        }
        WriteFile(m_dir.File("hublist.xml"), list + "</Hubs></Hublist>");
        m_window = std::make_unique<MainWindow>(m_settings, m_pending, m_dir.Path());
        m_window->SetExchangeTimings({100ms, 100ms});
        m_window->SetStartupReady();
        m_window->show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_window->HubCount() == static_cast<int>(hubs.size()); }));
    }
    void Search(const QString& phrase) {
        m_window->m_phraseEdit->setText(phrase);
        QTest::mouseClick(m_window->m_searchButton, Qt::LeftButton);
    }
    // Answers every search the hub passed on, as another user's client would, to the port it names.
    int AnswerSearches(int hub, const std::string& results) {
        int answered = 0;
        for (const std::string& search : m_hubs.Forwarded(hub)) {
            const std::size_t colon = search.find(':');
            m_client.SendTo(std::stoi(search.substr(colon + 1)), results);
            ++answered;
        }
        return answered;
    }
    QString Text(QLabel* label) const { return label->text(); }

    AppSettings m_settings;
    std::string m_pending;
    TempDir m_dir;
    FakeHubServer m_hubs;
    UdpTestSocket m_client;
    std::unique_ptr<MainWindow> m_window;
    std::vector<std::string> m_messages;
};

FakeHubBehaviour Silent() {
    FakeHubBehaviour behaviour;
    behaviour.nickAnswer = FakeHubBehaviour::NickAnswer::Silent;
    return behaviour;
}

const std::string kTwoResults =
    "$SR alice music\\song.mp3\x05"
    "5242880 2/4\x05Some Hub (10.0.0.1:411)|"
    "$SR bob Films\\New Stuff 0/3\x05Hub (10.0.0.2)|$sr junk|";

TEST_F(SearchRunTest, RunOverAnsweringAndSilentHubsShowsResultsAndCounts) {
    Open({{}, {}, {}, Silent(), Silent()});
    Search(QStringLiteral("song"));
    EXPECT_EQ(m_window->m_searchButton->text(), QStringLiteral("Stop"));
    EXPECT_FALSE(m_window->m_refreshButton->isEnabled()) << "no refresh may replace the queue under a run";
    ASSERT_TRUE(m_hubs.WaitUntil(
        [&] { return m_hubs.Forwarded(0).size() + m_hubs.Forwarded(1).size() + m_hubs.Forwarded(2).size() == 3; }, 5s));
    for (int hub = 0; hub < 3; ++hub) ASSERT_EQ(AnswerSearches(hub, kTwoResults), 1);

    ASSERT_TRUE(QTest::qWaitFor([&] { return m_window->m_searchButton->text() == QStringLiteral("Search"); }, 10000));
    EXPECT_EQ(Text(m_window->m_searchedLabel), QStringLiteral("Searched: 3"));
    EXPECT_EQ(Text(m_window->m_failedLabel), QStringLiteral("Failed: 2"));
    EXPECT_EQ(m_window->m_progressBar->value(), 5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_window->ResultCount() == 6; }));
    EXPECT_EQ(Text(m_window->m_resultCountLabel), QStringLiteral("Results: 6"));
    // Rows of a burst show together, moments after they are counted.
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_window->m_resultList->model()->rowCount() == 6; }));
    EXPECT_EQ(m_window->m_resultList->Model()->CellText(0, 0), QStringLiteral("song.mp3"));
    EXPECT_EQ(m_window->m_resultList->Model()->CellText(1, 1), QStringLiteral("<DIR>"));

    // The listener stays open after a completed run: late results are still added.
    m_client.SendTo(m_window->CurrentUdpPort(), kTwoResults);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_window->ResultCount() == 8; }));
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(SearchRunTest, OnlyFreeSlotsAndSizeFilterDropResultsAsTheyArrive) {
    Open({{}});
    m_window->m_freeSlotsCheck->setChecked(true);
    m_window->m_sizeConditionBox->setCurrentIndex(1);  // At Least 1 MB
    m_window->m_sizeEdit->setText(QStringLiteral("1"));
    Search(QStringLiteral("song"));
    ASSERT_TRUE(m_hubs.WaitUntil([&] { return m_hubs.Forwarded(0).size() == 1; }, 5s));
    EXPECT_NE(m_hubs.Forwarded(0)[0].find(" T?F?1048576?1?song"), std::string::npos) << m_hubs.Forwarded(0)[0];
    AnswerSearches(0, kTwoResults +
                          "$SR carol small.mp3\x05"
                          "1000 1/1\x05Hub (h)|");
    // Datagrams are handled in arrival order: once this one shows, the earlier ones have been judged.
    AnswerSearches(0,
                   "$SR dave big.bin\x05"
                   "2000000 1/1\x05Hub (h)");
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_window->ResultCount() >= 2; }));
    EXPECT_EQ(m_window->ResultCount(), 2) << "the directory has no free slot and small.mp3 is below 1 MB";
}

TEST_F(SearchRunTest, StopWhileWorkersWaitForHelloSendsNoSearchAndFreezesTheCounters) {
    Open({Silent(), Silent()});
    Search(QStringLiteral("song"));
    ASSERT_TRUE(m_hubs.WaitUntil([&] { return m_hubs.OpenConnections(0) + m_hubs.OpenConnections(1) == 2; }, 5s));
    QTest::mouseClick(m_window->m_searchButton, Qt::LeftButton);
    EXPECT_EQ(m_window->m_searchButton->text(), QStringLiteral("Search"));
    EXPECT_EQ(GetProgressState(m_window->m_progressBar), ProgressState::Paused);
    // Stop cuts the exchanges short: once the hubs see the connections go, nothing is left to count.
    ASSERT_TRUE(m_hubs.WaitUntil([&] { return m_hubs.OpenConnections(0) + m_hubs.OpenConnections(1) == 0; }, 2s));
    QCoreApplication::processEvents();
    EXPECT_EQ(Text(m_window->m_searchedLabel), QStringLiteral("Searched: 0"));
    EXPECT_EQ(Text(m_window->m_failedLabel), QStringLiteral("Failed: 0"));
    for (int hub = 0; hub < 2; ++hub)
        for (const std::string& bytes : m_hubs.Received(hub)) EXPECT_EQ(bytes.find("$Search"), std::string::npos);
}

TEST_F(SearchRunTest, EachRunListensOnAPortOfItsOwnAndChecksComeFirst) {
    Open({{}});
    m_window->m_phraseEdit->clear();
    QTest::mouseClick(m_window->m_searchButton, Qt::LeftButton);
    ASSERT_EQ(m_messages, std::vector<std::string>{"Error: You haven't entered anything in the search box!"});

    std::vector<int32_t> ports;
    for (int run = 0; run < 4; ++run) {
        Search(QStringLiteral("x"));
        ports.push_back(m_window->CurrentUdpPort());
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return m_window->m_searchButton->text() == QStringLiteral("Search"); }, 5000));
    }
    for (const int32_t port : ports) EXPECT_GT(port, 0);
}

TEST_F(SearchRunTest, NickThatWouldInjectCommandsIsRefusedBeforeAnyHubIsContacted) {
    m_settings.Nick = "evil|$Kick x";  // a hand-edited settings file; the Settings dialog refuses it
    Open({{}});
    Search(QStringLiteral("song"));
    EXPECT_EQ(m_messages, std::vector<std::string>{"Error: Your Nick must not contain '$' or '|'"});
    EXPECT_EQ(m_window->m_searchButton->text(), QStringLiteral("Search"));
    EXPECT_EQ(m_hubs.OpenConnections(0), 0);
    EXPECT_TRUE(m_hubs.Received(0).empty());
}

TEST_F(SearchRunTest, PathColumnFitsRowsStillHeldBackAtTheTick) {
    Open({{}});
    m_window->m_fitTimer->stop();  // ticks come by hand here
    ResultListView& list = *m_window->m_resultList;
    list.StopFillingPathColumn();
    const auto add = [&](const std::string& path) {
        SearchResult result;
        result.FileName = "f";
        result.Path = path;
        m_window->OnResult(result);
        m_window->OnResultsReported();
    };
    add("a\\");  // the first result is shown and fitted at once
    add(std::string(60, 'm') + "\\");
    ASSERT_TRUE(QTest::qWaitFor([&] { return list.model()->rowCount() == 2; }));
    const std::string longest = std::string(200, 'w') + "\\";
    add(longest);  // held back by the display delay when the tick comes
    m_window->OnFitTimer();
    ASSERT_TRUE(QTest::qWaitFor([&] { return list.model()->rowCount() == 3; }));
    m_window->OnFitTimer();
    EXPECT_GE(list.columnWidth(kPathColumn), list.fontMetrics().horizontalAdvance(QString::fromStdString(longest)));
}

TEST_F(SearchRunTest, ResultLimitShowsANoticeUntilTheNextRun) {
    Open({{}});
    m_window->Session().SetLimits({kResultsPerUserLimit, 2});
    Search(QStringLiteral("song"));
    m_client.SendTo(m_window->CurrentUdpPort(), kTwoResults +
                                                    "$SR carol c.mp3\x05"
                                                    "1 1/1\x05Hub (h)|");
    const QString notice = QStringLiteral("Result limit reached \u2014 refine the search");
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_window->StatusText() == notice; }));
    EXPECT_EQ(m_window->ResultCount(), 2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_window->m_searchButton->text() == QStringLiteral("Search"); }, 5000));
    Search(QStringLiteral("song"));
    EXPECT_TRUE(m_window->StatusText().startsWith(QStringLiteral("Public address 127.0.0.1, port ")))
        << m_window->StatusText().toStdString();
}

// Five hubs searched and not one datagram back by the run's end and the grace after it: something on the way blocks
// the port, and the status line says so. One datagram shows that the way is open.
TEST_F(SearchRunTest, SilentPortHintShowsOnlyWhenNoDatagramCame) {
    m_settings.Connection = ConnectionMode::Active;
    for (const bool answered : {false, true}) {
        SCOPED_TRACE(answered ? "answered" : "silent");
        Open({{}, {}, {}, {}, {}});
        m_window->SetSilenceGrace(50ms);
        const auto* silenceCheck = m_window->findChild<QTimer*>(QStringLiteral("silenceTimer"));
        Search(QStringLiteral("song"));
        const QString mode = m_window->StatusText();
        EXPECT_TRUE(mode.startsWith(QStringLiteral("Active: 127.0.0.1, port "))) << mode.toStdString();
        if (answered) {
            const int hub = 5;  // the first of the second list
            ASSERT_TRUE(m_hubs.WaitUntil([&] { return !m_hubs.Forwarded(hub).empty(); }, 5s));
            AnswerSearches(hub, kTwoResults);
            ASSERT_TRUE(QTest::qWaitFor([&] { return m_window->ResultCount() == 2; }));
        }
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return m_window->m_searchButton->text() == QStringLiteral("Search"); }, 5000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !silenceCheck->isActive(); }));
        const std::string hint = "No result reached 127.0.0.1, UDP port " + std::to_string(m_window->CurrentUdpPort()) +
                                 ": a router or firewall probably blocks it. Choose Automatic or Passive in Settings, "
                                 "or forward the UDP port range to this computer.";
        EXPECT_EQ(m_window->StatusText().toStdString(), answered ? mode.toStdString() : hint);
        EXPECT_TRUE(m_messages.empty()) << "a status line, not a message box";
    }
}

TEST_F(SearchRunTest, ClosingTheWindowDuringARunEndsPromptly) {
    Open({Silent(), Silent(), {}});
    Search(QStringLiteral("song"));
    ASSERT_TRUE(m_hubs.WaitUntil([&] { return m_hubs.OpenConnections(0) == 1; }, 5s));
    const auto start = std::chrono::steady_clock::now();
    m_window.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}

}  // namespace

// The counters open the hub report during a run; it fills as hubs end and counts each hub's answers.
TEST_F(SearchRunTest, CountersOpenTheHubReportWhichFillsDuringTheRun) {
    Open({{}, Silent()});
    HubReportWindow& report = *m_window->m_hubReport;
    Search(QStringLiteral("song"));
    ASSERT_TRUE(m_hubs.WaitUntil([&] { return m_hubs.Forwarded(0).size() == 1; }, 5s));
    const std::string hub = "127.0.0.1:" + std::to_string(m_hubs.Port(0));
    AnswerSearches(0,
                   "$SR alice a.mp3\x05"
                   "1 1/1\x05H (" +
                       hub + ")|");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Text(m_window->m_searchedLabel) == QStringLiteral("Searched: 1"); }));
    ASSERT_EQ(Text(m_window->m_failedLabel), QStringLiteral("Failed: 0")) << "the silent hub is still under way";
    QTest::mouseClick(m_window->m_searchedLabel, Qt::LeftButton);
    ASSERT_TRUE(report.isVisible());
    ASSERT_EQ(report.m_view->rowCount(), 1);
    EXPECT_EQ(report.m_view->index(0, HubReportModel::Address).data().toString().toStdString(), hub);

    ASSERT_TRUE(QTest::qWaitFor([&] { return report.m_model->rowCount() == 2; }, 10000));
    EXPECT_EQ(report.m_view->rowCount(), 1) << "still filtered to the searched hubs";
    ASSERT_TRUE(QTest::qWaitFor([&] { return report.m_view->index(0, HubReportModel::Results).data() == 1; }));
    m_window->activateWindow();
    m_window->m_failedLabel->setFocus();
    QTest::keyClick(m_window->m_failedLabel, Qt::Key_Space);
    ASSERT_EQ(report.m_view->rowCount(), 1);
    EXPECT_EQ(report.m_view->index(0, HubReportModel::Reason).data().toString(), QStringLiteral("login timed out"));
}
