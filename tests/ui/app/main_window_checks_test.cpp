#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

#include "engine/net/port_mapper.h"
#include "support/closed_port.h"
#include "support/http_responder.h"
#include "support/temp_dir.h"
#include "support/udp_test_sockets.h"
#include "ui/app/main_window.h"
#include "ui/dialogs/about_dialog.h"
#include "ui/dialogs/settings_dialog.h"
#include "ui/support/message_box.h"

namespace {

// The main window with its dialogs, as the program puts them together, over a private data folder; message boxes
// are recorded. Everything is reached as a user would: by the controls' names, their captions and the messages.
class MainWindowChecksTest : public ::testing::Test {
protected:
    MainWindowChecksTest() {
        SetMessageBoxHook([this](const std::string& text, MessageIcon) { m_messages.push_back(text); });
        m_settings.Nick = "tester";
        m_settings.IP = "127.0.0.1";
        m_settings.ShareSizeBytes = "0";
        m_settings.Threads = 1;
        m_settings.SearchTimeout = 1;
        // The system chooses the run's port: no test takes a fixed port that another program might hold.
        m_settings.MinUDPPort = 0;
        m_settings.MaxUDPPort = 0;
    }
    ~MainWindowChecksTest() override {
        m_window.reset();
        SetMessageBoxHook({});
    }

    // A list of one hub that refuses connections.
    static std::string OneHub() {
        return "<?xml version=\"1.0\"?><Hublist><Hubs><Hub Address=\"127.0.0.1:" +
               std::to_string(ClosedLoopbackPort()) + "\"/></Hubs></Hublist>";
    }
    // Opens the window over storedList (none when null); its first layout loads the list.
    void Open(const char* storedList) {
        if (storedList != nullptr) WriteFile(m_dir.File("hublist.xml"), storedList);
        m_window = std::make_unique<MainWindow>(m_settings, m_pending, m_dir.Path());
        auto* settingsDialog = new SettingsDialog(m_settings, m_pending, m_dir.File("Hubsift.ini"), m_window.get(),
                                                  [](std::string&) { return std::string("127.0.0.1"); });
        m_window->SetDialogs(settingsDialog, new AboutDialog(m_window.get()));
        m_window->SetStartupReady();
        m_window->show();
        QCoreApplication::processEvents();
    }
    bool WaitForHubCount(const char* text) const {
        return QTest::qWaitFor([&] { return Child<QLabel>("hubCountLabel")->text() == QLatin1String(text); }, 5000);
    }
    template <typename Widget>
    Widget* Child(const char* name) const {
        auto* widget = m_window->findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QString Caption(const char* name) const { return Child<QAbstractButton>(name)->text(); }
    void Click(const char* name) { QTest::mouseClick(Child<QAbstractButton>(name), Qt::LeftButton); }
    void Search(const QString& phrase) {
        Child<QLineEdit>("phraseEdit")->setText(phrase);
        Click("searchButton");
    }

    AppSettings m_settings;
    std::string m_pending;
    TempDir m_dir;
    std::unique_ptr<MainWindow> m_window;
    std::vector<std::string> m_messages;
};

TEST_F(MainWindowChecksTest, ChecksBeforeARunShowTheFirstFailureAndStartNothing) {
    Open(nullptr);
    constexpr ConnectionMode Active = ConnectionMode::Active;
    const struct {
        const char* nick;
        const char* ip;
        ConnectionMode mode;
        const char* phrase;
        const char* message;
    } cases[] = {
        {"", "", Active, "", "Error: Your haven't entered your Nick. Click 'Settings'..."},
        {"a|b", "", Active, "", "Error: Your Nick must not contain '$' or '|'"},
        {"tester", "", Active, "", "Error: Your IP address is not configured properly. Click 'Settings'..."},
        // Automatic and Passive runs do without an address of their own.
        {"tester", "", ConnectionMode::Automatic, "", "Error: You haven't entered anything in the search box!"},
        {"tester", "", ConnectionMode::Passive, "", "Error: You haven't entered anything in the search box!"},
        {"tester", "127.0.0.1", Active, "", "Error: You haven't entered anything in the search box!"},
        {"tester", "127.0.0.1", Active, "song", "Error: no hubs to search, the hub count is 0!"},
    };
    for (const auto& c : cases) {
        m_messages.clear();
        m_settings.Nick = c.nick;
        m_settings.IP = c.ip;
        m_settings.Connection = c.mode;
        Search(QString::fromLatin1(c.phrase));
        EXPECT_EQ(m_messages, std::vector<std::string>{c.message});
        EXPECT_EQ(Caption("searchButton"), QStringLiteral("Search")) << c.message;
        EXPECT_TRUE(Child<QPushButton>("refreshButton")->isEnabled()) << c.message;
    }
}

TEST_F(MainWindowChecksTest, PortThatCannotBeBoundEndsTheRunAtOnce) {
    UdpTestSocket holder;
    ASSERT_TRUE(holder.Bind(0));
    m_settings.MinUDPPort = m_settings.MaxUDPPort = holder.Port();
    Open(OneHub().c_str());
    ASSERT_TRUE(WaitForHubCount("1 hubs loaded in the list"));
    Search(QStringLiteral("song"));
    EXPECT_EQ(m_messages, std::vector<std::string>{"Error binding IP address or UDP port"});
    EXPECT_EQ(Caption("searchButton"), QStringLiteral("Search"));
    EXPECT_TRUE(Child<QPushButton>("refreshButton")->isEnabled());
}

TEST_F(MainWindowChecksTest, EnterInThePhraseBoxPressesSearchOnlyWhenItIsEnabled) {
    // A hub list server that never finishes keeps the refresh, and so the disabled Search, going.
    HttpResponder server(HttpReply{200, "OK", {}, "BZh", 0});
    m_settings.HublistURL = server.Url();
    Open(OneHub().c_str());
    ASSERT_TRUE(WaitForHubCount("1 hubs loaded in the list"));
    QLineEdit* phrase = Child<QLineEdit>("phraseEdit");
    phrase->clear();
    QTest::keyClick(phrase, Qt::Key_Return);
    EXPECT_EQ(m_messages, std::vector<std::string>{"Error: You haven't entered anything in the search box!"});

    Click("refreshButton");
    ASSERT_FALSE(Child<QPushButton>("searchButton")->isEnabled());
    QTest::keyClick(phrase, Qt::Key_Enter);
    EXPECT_EQ(m_messages.size(), 1u);
    m_window.reset();
}

TEST_F(MainWindowChecksTest, MalformedStoredListIsReportedAndEveryReadableHubKept) {
    Open(
        "<?xml version=\"1.0\"?><Hublist><Hubs><Hub Address=\"127.0.0.1:1\"/><Hub Address=\"x\" Name=\"a & b\"/>"
        "<Hub Address=\"127.0.0.1:2\"/><Hub Address=\"127.0.0.1:3\"/><Hub Address=\"127.0.0.1:4\"/></Hubs>");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_messages.empty(); }, 2000));
    EXPECT_EQ(m_messages, std::vector<std::string>{"Error loading hublist!"});
    EXPECT_EQ(Child<QLabel>("hubCountLabel")->text(), QStringLiteral("5 hubs loaded in the list"));
    EXPECT_TRUE(Child<QPushButton>("searchButton")->isEnabled());
}

TEST_F(MainWindowChecksTest, PendingAddressMessageShowsAtTheFirstLayoutThenSettingsWithSpecifyIP) {
    m_pending = "Your address could not be found";
    Open(nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_messages.empty(); }, 2000));
    EXPECT_EQ(m_messages, std::vector<std::string>{"Your address could not be found"});
    EXPECT_TRUE(m_pending.empty());
    auto* settings = m_window->findChild<SettingsDialog*>();
    ASSERT_NE(settings, nullptr);
    EXPECT_TRUE(settings->isVisible());
    EXPECT_TRUE(settings->findChild<QRadioButton*>(QStringLiteral("specifyIPRadio"))->isChecked());

    m_window->resize(m_window->width() + 10, m_window->height());
    QCoreApplication::processEvents();
    EXPECT_EQ(m_messages.size(), 1u) << "shown once";
}

TEST_F(MainWindowChecksTest, SettingsAndAboutButtonsOpenTheirDialogs) {
    Open(nullptr);
    auto* settings = m_window->findChild<SettingsDialog*>();
    auto* about = m_window->findChild<AboutDialog*>();
    ASSERT_TRUE(settings != nullptr && about != nullptr);
    EXPECT_FALSE(settings->isVisible());
    EXPECT_FALSE(about->isVisible());
    Click("settingsButton");
    EXPECT_TRUE(settings->isVisible());
    EXPECT_FALSE(about->isVisible());
    Click("aboutButton");
    EXPECT_TRUE(about->isVisible());
    EXPECT_TRUE(m_messages.empty());
}

// The bar names the way the run takes, and Settings tell what Automatic found and why.
TEST_F(MainWindowChecksTest, AutomaticRunShowsItsWayAndSettingsWhatItFound) {
    m_settings.IP.clear();  // no public address of its own
    Open(OneHub().c_str());
    ASSERT_TRUE(WaitForHubCount("1 hubs loaded in the list"));
    PortMapperConfig noRouter;
    noRouter.UseUpnp = noRouter.UseNatPmp = false;
    m_window->Session().UseRouter(std::make_unique<PortMapper>(noRouter));
    Search(QStringLiteral("song"));
    // The router is asked off the GUI thread; the run starts once it has answered.
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return m_window->StatusText() == QStringLiteral("No router mapping: passive"); }, 5000));
    EXPECT_EQ(Child<QLabel>("connectionStatusLabel")->text(),
              QStringLiteral("Last found: No router mapping: passive (no router found (UPnP: off; NAT-PMP: off))"));
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(MainWindowChecksTest, AtTheMinimumSizeEveryControlStaysInsideAndTheListShowsRows) {
    Open(nullptr);
    m_window->resize(1, 1);
    QCoreApplication::processEvents();
    const QRect inside = m_window->rect();
    EXPECT_FALSE(inside.size().isEmpty());
    for (QWidget* control : m_window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!control->isVisible() || control->isWindow()) continue;
        EXPECT_TRUE(inside.contains(control->geometry())) << control->objectName().toStdString();
    }
    EXPECT_GE(Child<QWidget>("resultList")->height(), 100);
}

}  // namespace
