#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "engine/search/hub_queue.h"
#include "support/bzip2_compress.h"
#include "support/http_responder.h"
#include "support/temp_dir.h"
#include "ui/app/hubsift_program.h"
#include "ui/app/main_window.h"
#include "ui/dialogs/settings_dialog.h"
#include "ui/support/message_box.h"

namespace {

const char kHubList[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?><Hublist><Hubs>"
    "<Hub Name=\"a\" Address=\"dchub://127.0.0.1:4111\"/><Hub Name=\"b\" Address=\"127.0.0.1:4112\"/>"
    "<Hub Name=\"c\" Address=\"127.0.0.1\"/></Hubs></Hublist>";

// A private data home for one start, with the message boxes recorded instead of shown.
class ProgramStartTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_savedHome = Saved("HOME");
        m_savedXdg = Saved("XDG_DATA_HOME");
        // NOLINTNEXTLINE(concurrency-mt-unsafe): the test changes the environment before any thread starts
        setenv("XDG_DATA_HOME", m_dir.Path().c_str(), 1);
        SetMessageBoxHook([this](const std::string& text, MessageIcon) { m_messages.push_back(text); });
    }
    void TearDown() override {
        SetMessageBoxHook({});
        Restore("HOME", m_savedHome);
        Restore("XDG_DATA_HOME", m_savedXdg);
    }

    std::string DataDir() const { return m_dir.File("Brindlework/Hubsift"); }
    void WriteSettings(const std::string& extraLines) {
        std::filesystem::create_directories(DataDir());
        WriteFile(DataDir() + "/Hubsift.ini",
                  "[Settings]\r\nNick=tester\r\nAutodetectIP=0\r\nIP=127.0.0.1\r\n" + extraLines);
    }
    static QString LabelText(const HubsiftProgram& program) { return program.GetMainWindow()->m_hubCountLabel->text(); }

    TempDir m_dir;
    std::vector<std::string> m_messages;

private:
    static std::optional<std::string> Saved(const char* name) {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    }
    static void Restore(const char* name, const std::optional<std::string>& value) {
        if (value)
            // NOLINTNEXTLINE(concurrency-mt-unsafe): the test changes the environment before any thread starts
            setenv(name, value->c_str(), 1);
        else
            // NOLINTNEXTLINE(concurrency-mt-unsafe): the test changes the environment before any thread starts
            unsetenv(name);
    }
    std::optional<std::string> m_savedHome, m_savedXdg;
};

TEST_F(ProgramStartTest, FirstStartCreatesTheDataFolderAndOpensSettingsOverTheMainWindow) {
    HubsiftProgram program;
    ASSERT_TRUE(program.Start());
    EXPECT_TRUE(std::filesystem::is_directory(DataDir()));
    EXPECT_TRUE(program.GetMainWindow()->isVisible());
    EXPECT_TRUE(program.GetSettingsDialog()->isVisible());
    EXPECT_EQ(program.GetMainWindow()->windowTitle(), QStringLiteral("Hubsift v" HUBSIFT_VERSION));
    QCoreApplication::processEvents();
    EXPECT_EQ(LabelText(program), QStringLiteral("0 hubs loaded in the list"));
}

TEST_F(ProgramStartTest, StoredHubListIsLoadedOnceAtTheFirstLayout) {
    WriteSettings("");
    WriteFile(DataDir() + "/hublist.xml", kHubList);
    HubsiftProgram program;
    ASSERT_TRUE(program.Start());
    EXPECT_FALSE(program.GetSettingsDialog()->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return LabelText(program) == QStringLiteral("3 hubs loaded in the list"); }));
    EXPECT_EQ(program.GetMainWindow()->Hubs().Count(), 3);

    program.GetMainWindow()->resize(1000, 700);
    QCoreApplication::processEvents();
    EXPECT_EQ(program.GetMainWindow()->Hubs().Count(), 3) << "a later resize must not load the list again";
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(ProgramStartTest, RefreshAtStartUpDownloadsWithoutASuccessMessage) {
    HttpResponder server(HttpReply{200, "OK", {}, Bzip2Compress(kHubList)});
    WriteSettings("RefreshHublist=1\r\nHublistURL=" + server.Url() + "\r\n");
    HubsiftProgram program;
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(QTest::qWaitFor([&] { return LabelText(program).startsWith(QStringLiteral("Downloading")); }));
    EXPECT_FALSE(program.GetMainWindow()->m_searchButton->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return LabelText(program) == QStringLiteral("3 hubs loaded in the list"); }));
    EXPECT_TRUE(program.GetMainWindow()->m_searchButton->isEnabled());
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(ProgramStartTest, ChosenDataFolderHoldsSettingsAndHubListInsteadOfTheDataHome) {
    const std::string chosen = m_dir.File("portable");
    std::filesystem::create_directories(chosen);
    WriteFile(chosen + "/Hubsift.ini", "[Settings]\r\nNick=portable\r\nAutodetectIP=0\r\nIP=127.0.0.1\r\n");
    WriteFile(chosen + "/hublist.xml", kHubList);
    HubsiftProgram program(chosen);
    ASSERT_TRUE(program.Start());
    EXPECT_EQ(program.Settings().Nick, "portable");
    ASSERT_TRUE(QTest::qWaitFor([&] { return LabelText(program) == QStringLiteral("3 hubs loaded in the list"); }));
    EXPECT_FALSE(std::filesystem::exists(DataDir()));
}

TEST_F(ProgramStartTest, DataFolderFailuresEndTheStartWithTheirMessage) {
    WriteFile(m_dir.File("file"), "");
    // NOLINTNEXTLINE(concurrency-mt-unsafe): the test changes the environment before any thread starts
    setenv("XDG_DATA_HOME", m_dir.File("file").c_str(), 1);
    {
        HubsiftProgram program;
        EXPECT_FALSE(program.Start());
        EXPECT_EQ(program.GetMainWindow(), nullptr);
    }
    // NOLINTNEXTLINE(concurrency-mt-unsafe): the test changes the environment before any thread starts
    unsetenv("XDG_DATA_HOME");
    // NOLINTNEXTLINE(concurrency-mt-unsafe): the test changes the environment before any thread starts
    unsetenv("HOME");
    {
        HubsiftProgram program;
        EXPECT_FALSE(program.Start());
    }
    EXPECT_EQ(m_messages, (std::vector<std::string>{"Error creating application data directory!",
                                                    "Error finding application data directory path!"}));
}

}  // namespace
