#include "engine/net/tcp_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "support/closed_port.h"
#include "support/fake_hub.h"
#include "support/fake_name_server.h"

namespace {

using namespace std::chrono_literals;
using NickAnswer = FakeHubBehaviour::NickAnswer;

// Far longer than any test runs: an operation that returns did so because it was cut short.
constexpr auto kNeverTimesOut = std::chrono::hours(1);

int ThreadCount() {
    const std::filesystem::directory_iterator tasks("/proc/self/task");
    return static_cast<int>(std::distance(begin(tasks), end(tasks)));
}

TEST(TcpClient, AbortWakesBlockedReadAndStaysUntilRearmed) {
    FakeHubServer server;
    FakeHubBehaviour silent;
    silent.nickAnswer = NickAnswer::Silent;
    const int hub = server.AddHub(silent);
    TcpClient client;
    ASSERT_EQ(client.Connect("127.0.0.1", server.Port(hub), 1s), TcpStatus::Ok);
    std::string line;
    ASSERT_EQ(client.ReadLine('|', 1s, line), TcpStatus::Ok);  // $Lock
    ASSERT_EQ(client.ReadLine('|', 1s, line), TcpStatus::Ok);  // $HubName
    std::thread aborter([&] { client.Abort(); });
    EXPECT_EQ(client.ReadLine('|', kNeverTimesOut, line), TcpStatus::Aborted);
    aborter.join();
    EXPECT_EQ(client.Connect("127.0.0.1", server.Port(hub), 1s), TcpStatus::Aborted);
    client.Rearm();
    EXPECT_EQ(client.Connect("127.0.0.1", server.Port(hub), 1s), TcpStatus::Ok);
}

TEST(TcpClient, ConnectReportsWhyItFailed) {
    FakeHubServer server;
    const int32_t port = server.Port(server.AddHub(FakeHubBehaviour{}));
    FakeNameServer names(
        std::map<std::string, std::string>{{"hub.test", "127.0.0.1"}, {"hub.testnet.invalid", "127.0.0.1"}});
    const struct {
        std::string host;
        int32_t port;
        TcpStatus status;
    } cases[] = {
        {"127.0.0.1", port, TcpStatus::Ok},
        {"localhost", port, TcpStatus::Ok},  // from the hosts file
        {"HUB.test", port, TcpStatus::Ok},
        {"missing.test", port, TcpStatus::NameNotFound},
        {"hub.testnet.INVALID.", port, TcpStatus::NameNotFound},  // never asked for, whatever a server says
        {"127.0.0.1", ClosedLoopbackPort(), TcpStatus::Refused},
        {"", port, TcpStatus::InvalidTarget},
        {"127.0.0.1", 0, TcpStatus::InvalidTarget},
        {"127.0.0.1", 65536, TcpStatus::InvalidTarget},
    };
    TcpClient client(names.Address());
    for (const auto& c : cases) EXPECT_EQ(client.Connect(c.host, c.port, 5s), c.status) << c.host << ":" << c.port;
}

TEST(TcpClient, LookupThatIsNeverAnsweredEndsAtTheTimeOutAndLeavesNoThread) {
    FakeNameServer silent({}, true);
    TcpClient client(silent.Address());
    const int threads = ThreadCount();
    EXPECT_EQ(client.Connect("quiet.test", 411, 300ms), TcpStatus::LookupTimedOut);
    EXPECT_GT(silent.Questions(), 0);
    EXPECT_EQ(ThreadCount(), threads);

    const int asked = silent.Questions();
    std::thread aborter([&] {
        EXPECT_TRUE(silent.WaitForQuestions(asked + 1, 10s));
        client.Abort();
    });
    EXPECT_EQ(client.Connect("quiet.test", 411, kNeverTimesOut), TcpStatus::Aborted);
    aborter.join();
    EXPECT_EQ(ThreadCount(), threads);
}

}  // namespace
