#include "cli/cli_program.h"

#include <gtest/gtest.h>

#include <pthread.h>
#include <signal.h>

#include <sstream>
#include <thread>

#include "support/bzip2_compress.h"
#include "support/http_responder.h"
#include "support/temp_dir.h"

namespace {

const char kHubList[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?><Hublist><Hubs>"
    "<Hub Name=\"a\" Address=\"dchub://127.0.0.1:4111\"/><Hub Name=\"b\" Address=\"hub.example:4112\"/>"
    "<Hub Name=\"c\" Address=\"127.0.0.1\"/></Hubs></Hublist>";

struct CliRun {
    int exitCode;
    std::string out;
    std::string err;
};

// Runs the console program in-process with a private data folder.
class CliProgramTest : public ::testing::Test {
protected:
    CliRun Run(std::vector<std::string> arguments, bool terminal = false) {
        arguments.insert(arguments.end(), {"--data-dir", m_dir.Path()});
        return RunWithoutDataDir(arguments, terminal);
    }
    static CliRun RunWithoutDataDir(const std::vector<std::string>& arguments, bool terminal = false) {
        std::ostringstream out, err;
        const int exitCode = RunCli(arguments, {out, err, terminal});
        return {exitCode, out.str(), err.str()};
    }
    void WriteSettings(const std::string& url) {
        WriteFile(m_dir.File("Hubsift.ini"), "[Settings]\r\nNick=tester\r\nHublistURL=" + url + "\r\n");
    }

    TempDir m_dir;
};

TEST_F(CliProgramTest, HelpVersionAndBadArgumentsAnswerWithTheirExitCode) {
    const CliRun help = RunWithoutDataDir({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.starts_with("Usage: hubsift-cli COMMAND")) << help.out;
    EXPECT_EQ(RunWithoutDataDir({"--version"}).out, "hubsift-cli " HUBSIFT_VERSION "\n");

    const CliRun none = RunWithoutDataDir({});
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_TRUE(none.err.starts_with("Usage:")) << "no arguments show how to call it";
    const CliRun bad = RunWithoutDataDir({"search", "x", "--threads", "0"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_EQ(bad.err, "hubsift-cli: --threads: '0' is not a whole number from 1 to 100 (see hubsift-cli --help)\n");
    EXPECT_EQ(bad.out, "");
}

TEST_F(CliProgramTest, HubsPrintsTheStoredListOneHubPerLine) {
    WriteFile(m_dir.File("hublist.xml"), kHubList);
    const CliRun run = Run({"hubs"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "127.0.0.1:4111\nhub.example:4112\n127.0.0.1:411\n");
}

TEST_F(CliProgramTest, HubsWithoutAUsableListFailsWithOneLine) {
    const CliRun missing = Run({"hubs"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "hubsift-cli: no hub list in " + m_dir.Path() + " (run: hubsift-cli refresh)\n");
    WriteFile(m_dir.File("hublist.xml"), "<Hublist><Hubs><Hub Address=\"a:1\"/><Hub");
    const CliRun malformed = Run({"hubs"});
    EXPECT_EQ(malformed.exitCode, 1);
    EXPECT_EQ(malformed.out, "") << "scripts get no partial list";
    EXPECT_EQ(malformed.err, "hubsift-cli: the hub list " + m_dir.File("hublist.xml") + " is malformed\n");
}

TEST_F(CliProgramTest, RefreshStoresTheDownloadedListAndCountsIt) {
    HttpResponder server(HttpReply{200, "OK", {}, Bzip2Compress(kHubList)});
    WriteSettings(server.Url());
    const CliRun run = Run({"refresh"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "3 hubs in the list\n");
    EXPECT_EQ(run.err, "") << "no progress line when stderr is no terminal";
    EXPECT_EQ(ReadFile(m_dir.File("hublist.xml")), kHubList);

    const CliRun onTerminal = Run({"refresh"}, true);
    EXPECT_EQ(onTerminal.exitCode, 0) << onTerminal.err;
    EXPECT_TRUE(onTerminal.err.starts_with("\rDownloading the hub list: ")) << onTerminal.err;
    EXPECT_TRUE(onTerminal.err.ends_with("\n")) << "the progress line is ended before the count";
}

TEST_F(CliProgramTest, InterruptedRefreshEndsAndKeepsTheStoredList) {
    HttpReply stalling{200, "OK", {}, Bzip2Compress(kHubList)};
    stalling.stallAfter = 10;
    HttpResponder server(stalling);
    WriteSettings(server.Url());
    WriteFile(m_dir.File("hublist.xml"), "old");
    // Blocked here, SIGINT is blocked in the program's thread from its start, so it waits for the program's sigwait.
    sigset_t interrupt, previous;
    sigemptyset(&interrupt);
    sigaddset(&interrupt, SIGINT);
    pthread_sigmask(SIG_BLOCK, &interrupt, &previous);
    CliRun run{};
    std::thread program([&] { run = Run({"refresh"}); });
    pthread_kill(program.native_handle(), SIGINT);
    program.join();
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    EXPECT_EQ(run.exitCode, 130);
    EXPECT_EQ(run.err, "hubsift-cli: refresh interrupted; the stored hub list is unchanged\n");
    EXPECT_EQ(ReadFile(m_dir.File("hublist.xml")), "old");
}

TEST_F(CliProgramTest, FailedRefreshKeepsTheStoredList) {
    HttpResponder server(HttpReply{404, "Not Found", {}, "gone"});
    WriteSettings(server.Url());
    WriteFile(m_dir.File("hublist.xml"), "old");
    const CliRun run = Run({"refresh"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err,
              "hubsift-cli: the hub list could not be downloaded from " + server.Url() + ": HTTP status 404\n");
    EXPECT_EQ(ReadFile(m_dir.File("hublist.xml")), "old");
}

}  // namespace
