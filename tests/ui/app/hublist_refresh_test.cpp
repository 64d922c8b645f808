#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <chrono>
#include <string>
#include <vector>

#include "engine/search/hub_queue.h"
#include "support/bzip2_compress.h"
#include "support/closed_port.h"
#include "support/http_responder.h"
#include "support/temp_dir.h"
#include "ui/app/main_window.h"
#include "ui/support/message_box.h"

namespace {

const char kThreeHubs[] =
    "<?xml version=\"1.0\"?><Hublist><Hubs><Hub Address=\"127.0.0.1:1\"/><Hub Address=\"127.0.0.1:2\"/>"
    "<Hub Address=\"127.0.0.1:3\"/></Hubs></Hublist>";

// The main window over a private data folder, its first layout done, with message boxes recorded.
class HublistRefreshTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetDetailedMessageBoxHook([this](const std::string& text, const std::string& details, MessageIcon) {
            m_messages.push_back(text);
            m_details.push_back(details);
        });
    }
    void TearDown() override { SetMessageBoxHook({}); }

    void Open(const std::string& url, const char* storedList = nullptr) {
        if (storedList != nullptr) WriteFile(m_dir.File("hublist.xml"), storedList);
        m_settings.HublistURL = url;
        m_window = std::make_unique<MainWindow>(m_settings, m_pending, m_dir.Path());
        m_window->SetStartupReady();
        m_window->show();
        QCoreApplication::processEvents();
    }
    bool WaitForMessage() {
        return QTest::qWaitFor([&] { return !m_messages.empty(); }, 10000);
    }
    QString Label() const { return m_window->m_hubCountLabel->text(); }

    AppSettings m_settings;
    std::string m_pending;
    TempDir m_dir;
    std::unique_ptr<MainWindow> m_window;
    std::vector<std::string> m_messages;
    std::vector<std::string> m_details;
};

TEST_F(HublistRefreshTest, GoodListReplacesTheQueueAndReportsTheCount) {
    HttpResponder server(HttpReply{200, "OK", {}, Bzip2Compress(kThreeHubs)});
    Open(server.Url());
    QTest::mouseClick(m_window->m_refreshButton, Qt::LeftButton);
    EXPECT_EQ(Label(), QStringLiteral("Downloading hublist... please wait"));
    EXPECT_FALSE(m_window->m_searchButton->isEnabled());
    ASSERT_TRUE(WaitForMessage());
    EXPECT_EQ(m_messages, std::vector<std::string>{"Hublist updated. Total hubs: 3"});
    EXPECT_EQ(Label(), QStringLiteral("3 hubs loaded in the list"));
    EXPECT_TRUE(m_window->m_searchButton->isEnabled());
    EXPECT_EQ(m_window->Hubs().Count(), 3);
    EXPECT_EQ(ReadFile(m_dir.File("hublist.xml")), kThreeHubs);
}

TEST_F(HublistRefreshTest, FailedDownloadKeepsTheStoredListAndGivesTheReasonAsDetails) {
    const struct {
        const char* name;
        HttpReply reply;
        const char* reason;
    } cases[] = {
        {"not found", HttpReply{404, "Not Found", {}, "gone"}, "HTTP status 404"},
        {"redirect", HttpReply{302, "Found", {{"Location", "/elsewhere"}}, ""}, "HTTP status 302"},
        {"plain XML", HttpReply{200, "OK", {}, kThreeHubs}, "not bzip2 data"},
        {"truncated", HttpReply{200, "OK", {}, Bzip2Compress(kThreeHubs).substr(0, 40)}, "bzip2 stream cut off"},
    };
    for (const auto& c : cases) {
        HttpResponder server(c.reply);
        m_messages.clear();
        m_details.clear();
        Open(server.Url(), "<Hubs><Hub Address=\"old:1\"/></Hubs>");
        QTest::mouseClick(m_window->m_refreshButton, Qt::LeftButton);
        ASSERT_TRUE(WaitForMessage()) << c.name;
        EXPECT_EQ(m_messages, std::vector<std::string>{"Error updating hublist!"}) << c.name;
        EXPECT_NE(m_details.at(0).find(c.reason), std::string::npos) << c.name << ": " << m_details.at(0);
        EXPECT_EQ(Label(), QStringLiteral("1 hubs loaded in the list")) << c.name;
        EXPECT_EQ(ReadFile(m_dir.File("hublist.xml")), "<Hubs><Hub Address=\"old:1\"/></Hubs>") << c.name;
    }
}

TEST_F(HublistRefreshTest, FailureWithoutStoredListShowsTheCountAgainSoARetryCanStart) {
    Open("http://127.0.0.1:" + std::to_string(ClosedLoopbackPort()) + "/hublist.xml.bz2");
    QTest::mouseClick(m_window->m_refreshButton, Qt::LeftButton);
    ASSERT_TRUE(WaitForMessage());
    EXPECT_EQ(m_messages, std::vector<std::string>{"Error updating hublist!"});
    EXPECT_EQ(Label(), QStringLiteral("0 hubs loaded in the list"));
    EXPECT_TRUE(m_window->m_searchButton->isEnabled());

    HttpResponder server(HttpReply{200, "OK", {}, ""});
    m_settings.HublistURL = server.Url();
    m_messages.clear();
    QTest::mouseClick(m_window->m_refreshButton, Qt::LeftButton);
    ASSERT_TRUE(WaitForMessage());
    EXPECT_EQ(m_messages, std::vector<std::string>{"Hublist updated. Total hubs: 0"});
}

TEST_F(HublistRefreshTest, ClickDuringARefreshCancelsItQuietly) {
    HttpReply stalled{200, "OK", {}, Bzip2Compress(kThreeHubs)};
    stalled.stallAfter = 10;
    HttpResponder server(stalled);
    Open(server.Url(), "<Hubs><Hub Address=\"old:1\"/></Hubs>");
    QTest::mouseClick(m_window->m_refreshButton, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.Requests().size() == 1; }));
    EXPECT_EQ(m_window->m_refreshButton->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(Label(), QStringLiteral("Downloading hublist... please wait"));

    QTest::mouseClick(m_window->m_refreshButton, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Label() == QStringLiteral("1 hubs loaded in the list"); }, 10000));
    EXPECT_TRUE(m_messages.empty());
    EXPECT_EQ(m_window->m_refreshButton->text(), QStringLiteral("Refresh Hublist"));
    EXPECT_TRUE(m_window->m_searchButton->isEnabled());
    EXPECT_EQ(ReadFile(m_dir.File("hublist.xml")), "<Hubs><Hub Address=\"old:1\"/></Hubs>");
}

TEST_F(HublistRefreshTest, ClosingTheWindowEndsARefreshWithoutAMessage) {
    HttpReply stalled{200, "OK", {}, Bzip2Compress(kThreeHubs)};
    stalled.stallAfter = 10;
    HttpResponder server(stalled);
    Open(server.Url());
    QTest::mouseClick(m_window->m_refreshButton, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.Requests().size() == 1; }));
    // The server holds the transfer for the 30 s of the lowest-speed window: well before that, only the window's
    // closing can have ended it.
    const auto start = std::chrono::steady_clock::now();
    m_window.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
    EXPECT_TRUE(m_messages.empty());
}

}  // namespace
