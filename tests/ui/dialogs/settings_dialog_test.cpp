#include "ui/dialogs/settings_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <deque>
#include <map>
#include <tuple>

#include "engine/settings/connection_mode.h"
#include "engine/settings/ip_detection.h"
#include "engine/settings/settings_store.h"
#include "support/param_name.h"
#include "support/temp_dir.h"
#include "ui/support/message_box.h"
#include "ui/support/shell.h"
#include "ui/support/window_placement.h"

namespace {

struct Message {
    std::string text;
    MessageIcon icon;
};

auto Fields(const AppSettings& s) {
    return std::tie(s.Nick, s.AutodetectIP, s.RefreshHublist, s.IP, s.HublistURL, s.ShareSizeBytes, s.ShareSize,
                    s.Threads, s.MinUDPPort, s.MaxUDPPort, s.SearchTimeout, s.Connection, s.SkipRecentHubs);
}

AppSettings Stored() {
    AppSettings s;
    s.Nick = "joe";
    s.AutodetectIP = true;
    s.IP = "1.2.3.4";
    s.HublistURL = "http://hubs/hublist.xml.bz2";
    s.ShareSize = "5.00";
    s.ShareSizeBytes = "5368709120";
    s.Threads = 30;
    s.MinUDPPort = 1025;
    s.MaxUDPPort = 32000;
    s.SearchTimeout = 15;
    return s;
}

class SettingsDialogTest : public ::testing::Test {
protected:
    SettingsDialogTest() {
        SetMessageBoxHook([this](const std::string& text, MessageIcon icon) { messages.push_back({text, icon}); });
        SetShellHook([this](const std::string& url) {
            opened.push_back(url);
            return desktopOpens;
        });
        mainWindow.setGeometry(100, 100, 800, 600);
        mainWindow.show();
        dialog = std::make_unique<SettingsDialog>(settings, pending, dir.File("Hubsift.ini"), &mainWindow,
                                                  [this](std::string& message) { return Detect(message); });
    }
    ~SettingsDialogTest() override {
        SetMessageBoxHook({});
        SetShellHook({});
    }

    // Each detection takes the next scripted outcome: an address, or empty text and a reason.
    std::string Detect(std::string& message) {
        ++detections;
        if (outcomes.empty()) return "85.1.2.3";
        const IpClassification next = outcomes.front();
        outcomes.pop_front();
        if (!next.message.empty()) message = next.message;
        return next.address;
    }

    template <typename Widget>
    Widget* Child(const char* name) {
        auto* widget = dialog->findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QLineEdit* Edit(const char* name) { return Child<QLineEdit>(name); }
    QRadioButton* Radio(const char* name) { return Child<QRadioButton>(name); }
    void Click(const char* name) { QTest::mouseClick(Child<QAbstractButton>(name), Qt::LeftButton); }

    TempDir dir;
    AppSettings settings = Stored();
    std::string pending;
    std::deque<IpClassification> outcomes;
    int detections = 0;
    std::vector<Message> messages;
    std::vector<std::string> opened;
    bool desktopOpens = true;
    QWidget mainWindow;
    std::unique_ptr<SettingsDialog> dialog;
};

struct CheckCase {
    std::map<std::string, std::string> fields;  // over a set of valid texts
    std::string message;                        // empty: every check passes
};

class SettingsDialogCheckTest : public SettingsDialogTest, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(SettingsDialogCheckTest, OkReportsOnlyTheFirstFailingCheck) {
    dialog->OpenFromSettingsButton();
    for (const auto& [name, text] : GetParam().fields) Edit(name.c_str())->setText(QString::fromStdString(text));
    Click("okButton");
    if (GetParam().message.empty()) {
        EXPECT_TRUE(messages.empty()) << messages.front().text;
        EXPECT_FALSE(dialog->isVisible());
        return;
    }
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, GetParam().message);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(Fields(settings), Fields(Stored()));
    EXPECT_FALSE(std::filesystem::exists(dir.File("Hubsift.ini")));
}

INSTANTIATE_TEST_SUITE_P(
    Fields, SettingsDialogCheckTest,
    ::testing::Values(
        CheckCase{{}, ""},
        CheckCase{{{"nickEdit", ""}, {"shareSizeEdit", "x"}}, "Error: You haven't entered your Nick"},
        CheckCase{{{"nickEdit", "a|b"}, {"shareSizeEdit", "x"}}, "Error: Your Nick must not contain '$' or '|'"},
        CheckCase{{{"nickEdit", "$a"}}, "Error: Your Nick must not contain '$' or '|'"},
        // No code page of a locale holds an emoji: the settings file could not keep this nick.
        CheckCase{{{"nickEdit", "nick\xF0\x9F\x98\x80"}, {"shareSizeEdit", "x"}}, NickOutsideCodePageError()},
        CheckCase{{{"nickEdit", "  "}}, ""},
        CheckCase{{{"shareSizeEdit", "5,5"}, {"ipEdit", ""}}, "Error: 'Share size' must be a number"},
        CheckCase{{{"shareSizeEdit", " 7.25 "}}, ""}, CheckCase{{{"shareSizeEdit", "-1e2"}}, ""},
        CheckCase{{{"ipEdit", ""}, {"threadsEdit", "x"}}, "Error: You haven't entered your IP address"},
        CheckCase{{{"ipEdit", "not an address"}}, ""},
        CheckCase{{{"threadsEdit", "x"}, {"minPortEdit", "x"}},
                  "Error: 'Connection threads' must be an integer number"},
        CheckCase{{{"threadsEdit", "5 "}}, "Error: 'Connection threads' must be an integer number"},
        CheckCase{{{"threadsEdit", "0"}}, "Error: 'Connection threads' must be from 1 to 100"},
        CheckCase{{{"threadsEdit", "101"}, {"minPortEdit", "x"}}, "Error: 'Connection threads' must be from 1 to 100"},
        CheckCase{{{"threadsEdit", "100"}}, ""}, CheckCase{{{"threadsEdit", "1"}}, ""},
        CheckCase{{{"threadsEdit", " 5"}}, ""}, CheckCase{{{"threadsEdit", "$A"}}, ""},
        CheckCase{{{"minPortEdit", "1.5"}, {"maxPortEdit", "x"}}, "Error: 'Min UDP Port' must be an integer number"},
        CheckCase{{{"maxPortEdit", "4294967296"}, {"timeoutEdit", "x"}},
                  "Error: 'Max UDP Port' must be an integer number"},
        CheckCase{{{"timeoutEdit", ""}}, "Error: 'Hub search timeout' must be an integer number"},
        CheckCase{{{"minPortEdit", "40000"}, {"maxPortEdit", "1025"}, {"timeoutEdit", "0"}}, ""}),
    [](const auto& caseInfo) {
        std::string words;
        for (const auto& [field, text] : caseInfo.param.fields)
            words.append(field).append(" ").append(text).append(" ");
        return ParamName(words.empty() ? "all valid" : words, caseInfo.index);
    });

TEST_F(SettingsDialogTest, OkTakesTheFieldsOverAndSavesThem) {
    dialog->OpenFromSettingsButton();
    Click("specifyIPRadio");
    Edit("nickEdit")->setText(" ann ");
    Edit("ipEdit")->setText("9.8.7.6");
    Edit("hublistUrlEdit")->setText("http://other/list.xml.bz2");
    Child<QCheckBox>("refreshOnStartupCheck")->setChecked(true);
    Edit("shareSizeEdit")->setText("0.5");
    Edit("threadsEdit")->setText("0x10");
    Edit("minPortEdit")->setText("-1");
    Edit("maxPortEdit")->setText("7");
    Edit("timeoutEdit")->setText("0");
    Click("passiveRadio");
    Child<QCheckBox>("skipRecentCheck")->setChecked(false);
    Click("okButton");

    AppSettings expected;
    expected.Nick = " ann ";
    expected.AutodetectIP = false;
    expected.IP = "9.8.7.6";
    expected.HublistURL = "http://other/list.xml.bz2";
    expected.RefreshHublist = true;
    expected.ShareSize = "0.5";
    expected.ShareSizeBytes = "536870912";
    expected.Threads = 16;
    expected.MinUDPPort = -1;
    expected.MaxUDPPort = 7;
    expected.SearchTimeout = 0;
    expected.Connection = ConnectionMode::Passive;
    expected.SkipRecentHubs = false;
    EXPECT_EQ(Fields(settings), Fields(expected));
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(ReadFile(dir.File("Hubsift.ini")),
              "[Settings]\r\nNick= ann \r\nAutodetectIP=0\r\nIP=9.8.7.6\r\nHublistURL=http://other/list.xml.bz2\r\n"
              "RefreshHublist=1\r\nShareSize=0.5\r\nThreads=16\r\nMinUDPPort=-1\r\nMaxUDPPort=7\r\nSearchTimeout=0\r\n"
              "\r\nConnectionMode=Passive\r\nSkipRecentHubs=0\r\n");
    EXPECT_TRUE(messages.empty());
}

TEST_F(SettingsDialogTest, LongValuesAreKeptWhole) {
    settings.HublistURL = "http://hubs/" + std::string(40000, 'u');
    dialog->OpenFromSettingsButton();
    Edit("nickEdit")->setText(QString(40000, 'n'));
    Click("okButton");
    EXPECT_EQ(settings.Nick, std::string(40000, 'n'));
    EXPECT_EQ(settings.HublistURL, Stored().HublistURL.substr(0, 12) + std::string(40000, 'u'));
}

TEST_F(SettingsDialogTest, FailedSaveShowsTheErrorKeepsTheDialogAndTheNewValues) {
    SettingsDialog unwritable(settings, pending, dir.File("missing/Hubsift.ini"), &mainWindow,
                              [this](std::string& message) { return Detect(message); });
    unwritable.OpenFromSettingsButton();
    unwritable.findChild<QLineEdit*>("nickEdit")->setText("ann");
    QTest::mouseClick(unwritable.findChild<QPushButton*>("okButton"), Qt::LeftButton);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].icon, MessageIcon::Error);
    EXPECT_NE(messages[0].text.find(dir.File("missing/Hubsift.ini")), std::string::npos) << messages[0].text;
    EXPECT_TRUE(unwritable.isVisible());
    EXPECT_EQ(settings.Nick, "ann");
}

TEST_F(SettingsDialogTest, CancelAndCloseBoxHideAndChangeNothing) {
    for (const bool closeBox : {false, true}) {
        dialog->OpenFromSettingsButton();
        Edit("nickEdit")->setText("typed");
        Edit("threadsEdit")->setText("0");
        Click("okButton");  // a failed check first
        if (closeBox) {
            EXPECT_FALSE(dialog->close());
        } else {
            Click("cancelButton");
        }
        EXPECT_FALSE(dialog->isVisible()) << closeBox;
        EXPECT_EQ(Fields(settings), Fields(Stored())) << closeBox;
        EXPECT_EQ(Edit("nickEdit")->text(), "typed") << "fields keep their text until the next filling";
        dialog->OpenFromSettingsButton();
        EXPECT_EQ(Edit("nickEdit")->text(), "joe") << closeBox;
        EXPECT_EQ(Edit("threadsEdit")->text(), "30") << closeBox;
        Click("cancelButton");
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("Hubsift.ini")));
}

TEST_F(SettingsDialogTest, OpeningWithDetectionAlreadySelectedDetectsNothing) {
    dialog->OpenFromSettingsButton();
    EXPECT_EQ(detections, 0);
    EXPECT_EQ(Edit("ipEdit")->text(), "1.2.3.4");
    EXPECT_FALSE(Edit("ipEdit")->isEnabled());
    EXPECT_EQ(dialog->focusWidget(), Child<QPushButton>("okButton"));
    Click("detectIPRadio");
    EXPECT_EQ(detections, 0);
}

TEST_F(SettingsDialogTest, SpecifyThenDetectRunsOneDetectionIntoTheField) {
    dialog->OpenFromSettingsButton();
    Click("specifyIPRadio");
    EXPECT_TRUE(Edit("ipEdit")->isEnabled());
    EXPECT_EQ(Edit("ipEdit")->text(), "1.2.3.4");
    Click("detectIPRadio");
    EXPECT_EQ(detections, 1);
    EXPECT_EQ(Edit("ipEdit")->text(), "85.1.2.3");
    EXPECT_FALSE(Edit("ipEdit")->isEnabled());
    EXPECT_EQ(settings.IP, "1.2.3.4") << "only OK changes the setting";
    EXPECT_TRUE(messages.empty());
}

TEST_F(SettingsDialogTest, ReopeningAfterSpecifyCancelDetectsAgain) {
    dialog->OpenFromSettingsButton();
    Click("specifyIPRadio");
    Click("cancelButton");
    dialog->OpenFromSettingsButton();
    EXPECT_EQ(detections, 1);
    EXPECT_TRUE(Radio("detectIPRadio")->isChecked());
    settings.AutodetectIP = false;
    dialog->OpenFromSettingsButton();
    EXPECT_TRUE(Radio("specifyIPRadio")->isChecked());
    EXPECT_TRUE(Edit("ipEdit")->isEnabled());
    EXPECT_EQ(detections, 1);
}

TEST_F(SettingsDialogTest, FailedDetectionShowsTheReasonAndReturnsToSpecify) {
    dialog->OpenFromSettingsButton();
    Click("specifyIPRadio");
    Edit("ipEdit")->setText("5.5.5.5");
    outcomes.push_back({"", kIpNatError});
    Click("detectIPRadio");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, kIpNatError);
    EXPECT_TRUE(pending.empty());
    EXPECT_TRUE(Radio("specifyIPRadio")->isChecked());
    EXPECT_TRUE(Edit("ipEdit")->isEnabled());
    EXPECT_EQ(Edit("ipEdit")->text(), "5.5.5.5");
    EXPECT_EQ(dialog->focusWidget(), Radio("specifyIPRadio"));
}

TEST_F(SettingsDialogTest, StartupWithAutodetectReplacesTheAddress) {
    settings.ShareSizeBytes.clear();
    settings.ShareSize = "1.3";
    dialog->ApplyStartupSettings();
    EXPECT_EQ(detections, 1);
    EXPECT_EQ(settings.IP, "85.1.2.3");
    EXPECT_EQ(settings.ShareSizeBytes, "1395864371");
    EXPECT_EQ(Edit("ipEdit")->text(), "85.1.2.3");
    EXPECT_FALSE(Edit("ipEdit")->isEnabled());
    EXPECT_EQ(Edit("nickEdit")->text(), "joe");
    EXPECT_EQ(Edit("timeoutEdit")->text(), "15");
    EXPECT_TRUE(pending.empty());
}

TEST_F(SettingsDialogTest, StartupDetectionFailureEmptiesTheAddressAndLeavesTheReasonPending) {
    outcomes.push_back({"", kIpMultipleError});
    settings.Connection = ConnectionMode::Active;
    settings.ShareSize = "lots";
    dialog->ApplyStartupSettings();
    EXPECT_EQ(settings.IP, "");
    EXPECT_EQ(pending, kIpMultipleError);
    EXPECT_TRUE(messages.empty()) << "the main window shows it at its first layout";
    EXPECT_EQ(settings.ShareSizeBytes, "0");
    // What the main window then does: select Specify IP and show the dialog.
    dialog->SelectSpecifyIP();
    dialog->ShowFirstTime();
    EXPECT_TRUE(Edit("ipEdit")->isEnabled());
    EXPECT_EQ(detections, 1);
}

// Automatic and Passive runs need no address of their own: a machine without a public one is no error for them.
TEST_F(SettingsDialogTest, StartupDetectionFailureIsNoErrorWithoutActive) {
    for (const ConnectionMode mode : {ConnectionMode::Automatic, ConnectionMode::Passive}) {
        outcomes.push_back({"", kIpNatError});
        settings.Connection = mode;
        dialog->ApplyStartupSettings();
        EXPECT_EQ(settings.IP, "");
        EXPECT_TRUE(pending.empty()) << ConnectionModeName(mode);
    }
}

TEST_F(SettingsDialogTest, StartupWithTypedAddressSelectsSpecify) {
    settings.AutodetectIP = false;
    dialog->ApplyStartupSettings();
    EXPECT_EQ(detections, 0);
    EXPECT_EQ(settings.IP, "1.2.3.4");
    EXPECT_TRUE(Radio("specifyIPRadio")->isChecked());
    EXPECT_TRUE(Edit("ipEdit")->isEnabled());
    EXPECT_EQ(Edit("ipEdit")->text(), "1.2.3.4");
}

TEST_F(SettingsDialogTest, FindIpAndHelpOpenTheirPageAndFileOrSayWhereToFindThem) {
    for (const bool opens : {true, false}) {
        desktopOpens = opens;
        opened.clear();
        messages.clear();
        Click("findIPButton");
        Click("helpButton");
        ASSERT_EQ(opened.size(), 2u);
        EXPECT_EQ(opened[0], "http://checkip.dyndns.org/");
        EXPECT_EQ(opened[1].rfind("file:///", 0), 0u) << opened[1];
        EXPECT_TRUE(opened[1].ends_with("/settingshelp.txt")) << opened[1];
        if (opens) {
            EXPECT_TRUE(messages.empty());
            continue;
        }
        // Without an opener the user learns what to open by hand: the address, and the file's path.
        ASSERT_EQ(messages.size(), 2u);
        EXPECT_EQ(messages[0].icon, MessageIcon::Error);
        EXPECT_NE(messages[0].text.find("\nhttp://checkip.dyndns.org/\n"), std::string::npos) << messages[0].text;
        const std::string helpPath = opened[1].substr(std::string("file://").size());
        EXPECT_NE(messages[1].text.find("\n" + helpPath + "\n"), std::string::npos) << messages[1].text;
    }
}

TEST_F(SettingsDialogTest, EnterPressesTheFocusedButtonAndOkFromAField) {
    const struct {
        const char* focus;
        bool hides, saves, opens;
    } cases[] = {{"okButton", true, true, false},     {"nickEdit", true, true, false},
                 {"timeoutEdit", true, true, false},  {"cancelButton", true, false, false},
                 {"helpButton", false, false, true},  {"findIPButton", false, false, true},
                 {"detectIPRadio", true, true, false}};
    for (const auto& c : cases) {
        std::filesystem::remove(dir.File("Hubsift.ini"));
        opened.clear();
        dialog->OpenFromSettingsButton();
        QWidget* const target = Child<QWidget>(c.focus);
        target->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == target; })) << c.focus;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        EXPECT_EQ(dialog->isHidden(), c.hides) << c.focus;
        EXPECT_EQ(std::filesystem::exists(dir.File("Hubsift.ini")), c.saves) << c.focus;
        EXPECT_EQ(opened.size(), c.opens ? 1u : 0u) << c.focus;
        dialog->hide();
        // As a user would, back in the main window before the next opening.
        mainWindow.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&mainWindow));
    }
    EXPECT_TRUE(messages.empty());
}

TEST_F(SettingsDialogTest, SettingsButtonAlwaysCentresOtherShowingsOnlyTheFirstTime) {
    dialog->ShowFirstTime();
    EXPECT_EQ(dialog->pos(), CentredPosition(mainWindow.frameGeometry(), dialog->frameGeometry().size(), {0, 0}));
    dialog->move(10, 20);
    dialog->hide();
    dialog->ShowFirstTime();
    EXPECT_EQ(dialog->pos(), QPoint(10, 20));
    dialog->OpenFromSettingsButton();
    EXPECT_EQ(dialog->pos(), CentredPosition(mainWindow.frameGeometry(), dialog->frameGeometry().size(), {0, 0}));
}

TEST_F(SettingsDialogTest, ArrangementAndTabOrderFollowTheDesign) {
    EXPECT_EQ(dialog->windowTitle(), "Settings");
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
    EXPECT_FALSE(dialog->isModal());
    EXPECT_TRUE(Radio("detectIPRadio")->isChecked());
    EXPECT_FALSE(Edit("ipEdit")->isEnabled());
    // OK and Cancel side by side below the fields, OK first; each label left of its field on the same line.
    const QRect ok = Child<QWidget>("okButton")->geometry();
    const QRect cancel = Child<QWidget>("cancelButton")->geometry();
    // The connection group between the panel and the buttons.
    const QRect connection = Child<QWidget>("connectionGroup")->geometry();
    EXPECT_GT(connection.top(), Child<QWidget>("panel")->geometry().bottom());
    EXPECT_GT(ok.top(), connection.bottom());
    EXPECT_EQ(ok.top(), cancel.top());
    EXPECT_LT(ok.right(), cancel.left());
    for (const auto& [label, field] : {std::pair{"nickLabel", "nickEdit"}, std::pair{"threadsLabel", "threadsEdit"}}) {
        const QRect labelRect = Child<QWidget>(label)->geometry();
        const QRect fieldRect = Child<QWidget>(field)->geometry();
        EXPECT_LT(labelRect.right(), fieldRect.left()) << label;
        EXPECT_TRUE(labelRect.top() < fieldRect.bottom() && fieldRect.top() < labelRect.bottom()) << label;
    }

    const std::vector<QString> expected = {
        "helpButton",     "okButton",       "cancelButton",          "nickEdit",        "ipEdit",
        "findIPButton",   "hublistUrlEdit", "refreshOnStartupCheck", "shareSizeEdit",   "threadsEdit",
        "minPortEdit",    "maxPortEdit",    "timeoutEdit",           "skipRecentCheck", "detectIPRadio",
        "specifyIPRadio", "automaticRadio", "activeRadio",           "passiveRadio"};
    std::vector<QString> chain;
    QWidget* widget = Child<QWidget>("helpButton");
    for (std::size_t i = 0; i < expected.size(); ++i, widget = widget->nextInFocusChain()) {
        while (widget->focusPolicy() == Qt::NoFocus) widget = widget->nextInFocusChain();
        chain.push_back(widget->objectName());
    }
    EXPECT_EQ(chain, expected);
}

}  // namespace
