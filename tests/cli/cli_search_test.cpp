#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_program.h"
#include "raw_client.h"
#include "search_request.h"
#include "support/temp_dir.h"
#include "support/udp_test_sockets.h"

extern char** environ;

namespace {

constexpr int kHubs = 8;
// The settings' address is this machine's own: Automatic has the results sent straight to it.
const std::string kDirect = "Public address 127.0.0.1, port ";

PlanOptions SmallNetwork() {
    PlanOptions options;
    options.hubs = kHubs;
    options.usersPerHub = 6;
    options.badShare = 1.0 / kHubs;  // one bad hub: a silent one
    options.seed = 7;
    return options;
}

// The line on standard error that says how results come, then the summary line.
void ExpectRouteThenSummary(const std::string& err, const std::string& route, const std::string& summary) {
    const std::size_t lineEnd = err.find('\n');
    EXPECT_TRUE(err.starts_with(route)) << err;
    EXPECT_TRUE(lineEnd != std::string::npos && err.substr(lineEnd + 1).starts_with(summary)) << err;
}

std::vector<std::string> Lines(const std::string& text, const std::string& end) {
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t next = text.find(end, at);
        lines.push_back(text.substr(at, next - at));
        at = next == std::string::npos ? text.size() : next + end.size();
    }
    return lines;
}

// hubsift-cli searching the simulated network, with the hub list it serves and a private data folder.
class CliSearchTest : public ::testing::Test {
protected:
    struct CliRun {
        int exitCode;
        std::string out;
        std::string err;
    };

    void SetUp() override {
        ASSERT_TRUE(m_net.Started());
        WriteFile(m_dir.File("Hubsift.ini"),
                  "[Settings]\r\nNick=cli_tester\r\nAutodetectIP=0\r\nIP=127.0.0.1\r\nHublistURL=" +
                      m_net.Network().HublistUrl() +
                      "\r\nShareSize=5\r\nThreads=10\r\nSearchTimeout=2\r\n"
                      // Port 0: the system picks a free port for each run.
                      "MinUDPPort=0\r\nMaxUDPPort=0\r\n");
        ASSERT_EQ(Run({"refresh"}).exitCode, 0);
    }
    CliRun Run(std::vector<std::string> arguments) {
        arguments.insert(arguments.end(), {"--data-dir", m_dir.Path()});
        std::ostringstream out, err;
        const int exitCode = RunCli(arguments, {out, err, false});
        return {exitCode, out.str(), err.str()};
    }
    std::size_t Expected(const std::string& tail) const {
        return m_net.Plan().CountResults(*SearchRequest::Parse(SearchLine(1, tail)));
    }

    RunningNetwork m_net{SmallNetwork()};
    TempDir m_dir;
};

TEST_F(CliSearchTest, EveryResultTheUsersSendIsPrintedOncePerLineWithASummary) {
    const std::size_t expected = Expected("F?F?0?1?mp3");
    ASSERT_GT(expected, 0u);
    const std::string summary = "Done: " + std::to_string(expected) + " results; " + std::to_string(kHubs - 1) +
                                " hubs searched, 1 failed of " + std::to_string(kHubs) + "; ";

    const CliRun json = Run({"search", "mp3", "--format", "json"});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    const std::vector<std::string> objects = Lines(json.out, "\n");
    EXPECT_EQ(objects.size(), expected);
    for (const std::string& object : objects) {
        EXPECT_TRUE(object.starts_with("{\"file\":\"") && object.ends_with("\"}")) << object;
        EXPECT_NE(object.find(".mp3\",\"size\":"), std::string::npos) << object;
        EXPECT_NE(object.find(",\"directory\":false,"), std::string::npos) << object;
    }
    ExpectRouteThenSummary(json.err, kDirect, summary);

    const CliRun csv = Run({"search", "mp3", "--format", "csv"});
    ASSERT_EQ(csv.exitCode, 0) << csv.err;
    const std::vector<std::string> records = Lines(csv.out, "\r\n");
    ASSERT_EQ(records.size(), expected + 1);
    EXPECT_EQ(records[0], "file,size,directory,path,user,free_slots,total_slots,hub");
    ExpectRouteThenSummary(csv.err, kDirect, summary);
}

// Passive: the hubs relay the answers of their active users only; --ip names the address the users send to.
TEST_F(CliSearchTest, EachModeGetsItsResultsAndSaysHowTheyCome) {
    const struct {
        std::vector<std::string> arguments;
        std::string route;
        std::size_t expected;
    } cases[] = {
        {{"--mode", "passive"},
         "Passive: results through the hubs\n",
         m_net.Plan().CountResults(*SearchRequest::Parse("$Search Hub:cli_tester F?F?0?1?mp3"))},
        {{"--ip", "127.0.0.1"}, "Active: 127.0.0.1, port ", Expected("F?F?0?1?mp3")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.route);
        std::vector<std::string> arguments = {"search", "mp3", "--format", "json"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const CliRun run = Run(arguments);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(Lines(run.out, "\n").size(), c.expected);
        ExpectRouteThenSummary(run.err, c.route, "Done: " + std::to_string(c.expected) + " results");
    }
    EXPECT_LT(cases[0].expected, cases[1].expected) << "some users are passive";
}

TEST_F(CliSearchTest, RunsThatCannotStartSayWhyWithExitCodeOne) {
    WriteFile(m_dir.File("Hubsift.ini"), "[Settings]\r\nNick=cli_tester\r\nAutodetectIP=0\r\n");
    const CliRun noAddress = Run({"search", "mp3", "--mode", "active"});
    EXPECT_EQ(noAddress.exitCode, 1);
    EXPECT_EQ(noAddress.err, "hubsift-cli: no address for results in the settings (give one with --ip)\n");
    WriteFile(m_dir.File("Hubsift.ini"), "[Settings]\r\nAutodetectIP=0\r\nIP=127.0.0.1\r\n");
    const CliRun noNick = Run({"search", "mp3"});
    EXPECT_EQ(noNick.exitCode, 1);
    EXPECT_EQ(noNick.err, "hubsift-cli: no nick in the settings (enter one in the window's Settings dialog)\n");
}

// Reads the child's stdout until it holds a line or the deadline passes.
bool WaitForALine(int fd, std::string& text, Deadline deadline) {
    while (text.find('\n') == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd ready{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0) return false;
        char buffer[4096];
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0) return false;
        text.append(buffer, static_cast<std::size_t>(got));
    }
    return true;
}

TEST_F(CliSearchTest, CtrlCStopsTheRunWithinTwoSecondsAndPrintsTheSummary) {
    int out[2], err[2];
    ASSERT_EQ(pipe(out), 0);
    ASSERT_EQ(pipe(err), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    // The silent hub would hold the run for an hour.
    std::vector<std::string> arguments = {HUBSIFT_CLI, "search", "mp3",        "--format",  "json",
                                          "--timeout", "3600",   "--data-dir", m_dir.Path()};
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, HUBSIFT_CLI, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);

    // A first result means the run is under way, and the program waits for signals by then.
    std::string printed;
    const bool resultArrived = WaitForALine(out[0], printed, In(std::chrono::seconds(20)));
    EXPECT_TRUE(resultArrived);
    kill(child, SIGINT);
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, child, 0));
    pollfd ended{pidfd, POLLIN, 0};
    EXPECT_EQ(poll(&ended, 1, 2000), 1) << "still running 2 s after Ctrl+C";
    if (ended.revents == 0) kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    close(pidfd);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 130) << status;
    std::string messages;
    WaitForALine(err[0], messages, In(std::chrono::seconds(2)));
    ExpectRouteThenSummary(messages, kDirect, "Stopped: ");
    close(out[0]);
    close(err[0]);
}

}  // namespace
