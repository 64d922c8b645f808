#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "engine/net/tcp_client.h"
#include "support/fake_hub.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using NickAnswer = FakeHubBehaviour::NickAnswer;

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
    const auto started = Clock::now();
    EXPECT_EQ(client.ReadLine('|', 10s, line), TcpStatus::Aborted);
    EXPECT_LT(Clock::now() - started, 2s);
    aborter.join();
    EXPECT_EQ(client.Connect("127.0.0.1", server.Port(hub), 1s), TcpStatus::Aborted);
    client.Rearm();
    EXPECT_EQ(client.Connect("127.0.0.1", server.Port(hub), 1s), TcpStatus::Ok);
}

TEST(TcpClient, ResolvesNamesAndReportsRefusal) {
    FakeHubServer server;
    const int hub = server.AddHub(FakeHubBehaviour{});
    TcpClient client;
    EXPECT_EQ(client.Connect("localhost", server.Port(hub), 2s), TcpStatus::Ok);
    EXPECT_EQ(client.Connect("127.0.0.1", 1, 1s), TcpStatus::ConnectFailed);
}

}  // namespace
