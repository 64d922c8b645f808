#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "engine/net/tcp_client.h"
#include "engine/net/tls_keyprint.h"
#include "engine/net/tls_session.h"
#include "support/fake_hub.h"
#include "support/tls_test_server.h"

namespace {

using namespace std::chrono_literals;

TEST(TlsKeyprint, FoundInTheAddressQuery) {
    const struct {
        const char* address;
        const char* keyprint;
    } cases[] = {
        {"adcs://hub.example:411/?kp=SHA256/ABCD", "SHA256/ABCD"},
        {"adcs://hub.example:411?x=1&kp=SHA256/EFGH&y=2", "SHA256/EFGH"},
        {"nmdcs://hub.example:411", ""},
        {"adcs://hub.example:411/?kpx=SHA256/ABCD", ""},
        {"adcs://hub.example:411/?kp=", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(AddressKeyprint(c.address), c.keyprint) << c.address;
}

// One certificate for the whole suite: making one costs more than the tests.
const TestCertificate& Certificate() {
    static const TestCertificate certificate = MakeSelfSignedCertificate();
    return certificate;
}

TEST(TlsSession, CarriesLinesOverASelfSignedCertificateWithOrWithoutItsKeyprint) {
    TlsLineServer server(Certificate(), "hello\n");
    for (const std::string& keyprint : {std::string(), Certificate().Keyprint}) {
        TcpClient client;
        std::string failure, line;
        ASSERT_EQ(client.Connect("127.0.0.1", server.Port(), 5s), TcpStatus::Ok);
        ASSERT_EQ(client.StartTls("127.0.0.1", keyprint, 5s, failure), TcpStatus::Ok) << failure;
        ASSERT_EQ(client.ReadLine('\n', 5s, line), TcpStatus::Ok);
        EXPECT_EQ(line, "hello");
        ASSERT_EQ(client.WriteAll("ping one\nping two\n", 5s), TcpStatus::Ok);
        for (const char* expected : {"echo:ping one", "echo:ping two"}) {
            ASSERT_EQ(client.ReadLine('\n', 5s, line), TcpStatus::Ok);
            EXPECT_EQ(line, expected);
        }
    }
}

// OpenSSL's own socket layer would raise SIGPIPE here and end the program.
TEST(TlsSession, WritingToAHubThatLeftEndsWithoutASignal) {
    auto server = std::make_unique<TlsLineServer>(Certificate(), "hello\n");
    TcpClient client;
    std::string failure, line;
    ASSERT_EQ(client.Connect("127.0.0.1", server->Port(), 5s), TcpStatus::Ok);
    ASSERT_EQ(client.StartTls("127.0.0.1", "", 5s, failure), TcpStatus::Ok) << failure;
    ASSERT_EQ(client.ReadLine('\n', 5s, line), TcpStatus::Ok);
    server.reset();
    TcpStatus status = TcpStatus::Ok;
    for (int attempt = 0; attempt < 100 && status == TcpStatus::Ok; ++attempt) status = client.WriteAll("x\n", 5s);
    EXPECT_EQ(status, TcpStatus::PeerClosed);
}

TEST(TlsSession, RefusesACertificateThatIsNotTheKeyprints) {
    TlsLineServer server(Certificate(), "hello\n");
    const std::string otherCertificate = MakeSelfSignedCertificate().Keyprint;
    for (const std::string& keyprint : {otherCertificate, "SHA1/" + Certificate().Keyprint.substr(7),
                                        Certificate().Keyprint + "A", std::string("x")}) {
        TcpClient client;
        std::string failure;
        ASSERT_EQ(client.Connect("127.0.0.1", server.Port(), 5s), TcpStatus::Ok);
        EXPECT_EQ(client.StartTls("127.0.0.1", keyprint, 5s, failure), TcpStatus::Failed) << keyprint;
        EXPECT_EQ(failure, TlsSession::kKeyprintMismatch);
        EXPECT_FALSE(client.Connected());
    }
    EXPECT_TRUE(server.Received().empty());
}

TEST(TlsSession, PlainHubFailsTheHandshakeWithAReason) {
    FakeHubServer hubs;
    const int hub = hubs.AddHub(FakeHubBehaviour{});
    TcpClient client;
    std::string failure;
    ASSERT_EQ(client.Connect("127.0.0.1", hubs.Port(hub), 5s), TcpStatus::Ok);
    EXPECT_EQ(client.StartTls("127.0.0.1", "", 5s, failure), TcpStatus::Failed);
    EXPECT_TRUE(failure.starts_with("TLS handshake failed: ")) << failure;
}

TEST(TlsSession, SilentServerTimesOutOrIsAborted) {
    // A listener that never accepts: the connection completes in its backlog, and nothing ever answers.
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 4), 0);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const int port = ntohs(address.sin_port);

    TcpClient client;
    std::string failure;
    ASSERT_EQ(client.Connect("127.0.0.1", port, 5s), TcpStatus::Ok);
    EXPECT_EQ(client.StartTls("127.0.0.1", "", 100ms, failure), TcpStatus::TimedOut);

    ASSERT_EQ(client.Connect("127.0.0.1", port, 5s), TcpStatus::Ok);
    std::thread aborter([&] { client.Abort(); });
    EXPECT_EQ(client.StartTls("127.0.0.1", "", 60s, failure), TcpStatus::Aborted);
    aborter.join();
    close(listener);
}

}  // namespace
