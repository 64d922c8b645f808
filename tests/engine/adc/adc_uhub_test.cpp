// Against Debian's uhub, a real ADC hub: login, search, answers by UDP and through the hub, TLS and keyprints.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/adc/adc_exchange.h"
#include "engine/adc/adc_result_decoder.h"
#include "engine/net/tls_session.h"
#include "support/test_run_values.h"
#include "support/tls_test_server.h"
#include "support/udp_test_sockets.h"
#include "support/uhub_process.h"

namespace {

using namespace std::chrono_literals;

const AdcIdentity kSearcher{"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA", "ZXO4VT7KPNYLJBLFLOR5YP3A33SPNOHYMEDJ4MY"};
const AdcIdentity kAnswerer{"AAAQEAYEAUDAOCAJBIFQYDIOB4IBCEQTCQKRMFY", "W6AIUW3CLDF6OGHNVE4JPDDJ2P74IWRCF2O36TA"};
const std::string kTth = "LWPNACQDBZRYXW3VHJVCJ64QBZNGHOHHHZWCLNQ";

// Another user on the hub, as a DC client would be: answers every search it is passed with a file by UDP to the
// searcher's announced port and a folder through the hub. Runs on a thread of its own until destroyed.
class AnsweringUser {
public:
    explicit AnsweringUser(uint16_t hubPort) : m_thread([this, hubPort] { Run(hubPort); }) {}
    ~AnsweringUser() {
        m_client.Abort();
        m_thread.join();
    }

    bool WaitLoggedIn() {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 10s, [&] { return m_loggedIn; });
    }

private:
    void Run(uint16_t hubPort) {
        std::string line;
        if (m_client.Connect("127.0.0.1", hubPort, 5s) != TcpStatus::Ok ||
            m_client.WriteAll(AdcSupportsMessage(), 5s) != TcpStatus::Ok)
            return;
        std::string sid;
        while (sid.empty() && m_client.ReadLine('\n', 10s, line) == TcpStatus::Ok)
            if (const auto message = ParseAdcMessage(line))
                if (const auto given = ParseAdcSid(*message)) sid = *given;
        const AdcLoginInfo info{sid, kAnswerer.Cid, kAnswerer.Pid, "answerer", "1073741824", "", 0};
        if (sid.empty() || m_client.WriteAll(AdcInfoMessage(info), 5s) != TcpStatus::Ok) return;
        std::map<std::string, int32_t> udpPorts;  // by SID, from the users' BINFs
        UdpTestSocket udp;
        while (m_client.ReadLine('\n', 60s, line) == TcpStatus::Ok) {
            const auto message = ParseAdcMessage(line);
            if (!message || message->Type != 'B') continue;
            if (message->Command == "INF" && message->Source == sid) {
                std::lock_guard lock(m_mutex);
                m_loggedIn = true;
                m_changed.notify_all();
            } else if (message->Command == "INF") {
                if (const auto port = FindAdcParameter(*message, "U4"))
                    udpPorts[std::string(message->Source)] = ParseAdcInt32(*port).value_or(0);
            } else if (message->Command == "SCH") {
                const std::string token(FindAdcParameter(*message, "TO").value_or(""));
                // A test message, built once.
                // NOLINTBEGIN(performance-inefficient-string-concatenation)
                udp.SendTo(udpPorts[std::string(message->Source)],
                           "URES " + kAnswerer.Cid + " FN/Shared/Big\\sBuck\\sBunny.mkv SI734003200 SL3 TR" + kTth +
                               " TO" + token + "\n");
                // NOLINTEND(performance-inefficient-string-concatenation)
                m_client.WriteAll(
                    // NOLINTNEXTLINE(performance-inefficient-string-concatenation): a test message, built once
                    "DRES " + sid + " " + std::string(message->Source) + " FN/Shared/Bunny/ SL3 TO" + token + "\n", 5s);
            }
        }
    }

    TcpClient m_client;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_loggedIn = false;
    std::thread m_thread;
};

// The hub with TLS offered beside plain ADC, and the searcher's run.
class AdcUhubTest : public ::testing::Test {
protected:
    AdcUhubTest()
        : m_certificate(MakeSelfSignedCertificate()),
          m_hub({m_certificate.CertificatePem, m_certificate.KeyPem, {"member"}}) {
        m_values.Nick = "searcher";
        m_query.Words = {"bunny"};
    }

    void SetUp() override {
        if (!m_hub.Running()) GTEST_SKIP() << m_hub.Problem();
    }

    AdcExchangeResult Search(bool tls, const std::string& keyprint, std::vector<SearchResult>* relayed = nullptr) {
        const AdcRunContext context{
            m_values, kSearcher, m_query, m_run, m_timings, m_filter, [relayed](const SearchResult& result) {
                if (relayed != nullptr) relayed->push_back(result);
                return true;
            }};
        TcpClient client;
        return RunAdcExchange(client, {"127.0.0.1", m_hub.Port(), tls, keyprint}, context, [] { return true; });
    }

    TestCertificate m_certificate;
    UhubProcess m_hub;
    RunValues m_values = TestRunValues();
    AdcSearchQuery m_query;
    AdcRunRegistry m_run;
    HubExchangeTimings m_timings{0ms, 1s};
    ResultFilter m_filter;
};

TEST_F(AdcUhubTest, SearchIsAnsweredByUdpAndThroughTheHubOverPlainAndTls) {
    AnsweringUser answerer(m_hub.Port());
    ASSERT_TRUE(answerer.WaitLoggedIn()) << m_hub.Log();
    for (const bool tls : {false, true}) {
        UdpTestSocket udp;
        m_values.CurrentUdpPort = udp.BindAnyPort();
        std::vector<SearchResult> relayed;
        const AdcExchangeResult result = Search(tls, tls ? m_certificate.Keyprint : "", &relayed);
        ASSERT_EQ(result.End, AdcExchangeEnd::Searched) << result.Reason << "\n" << m_hub.Log();
        const std::string hubAddress = "127.0.0.1:" + std::to_string(m_hub.Port());

        const std::optional<std::string> datagram = udp.Receive(10000);
        ASSERT_TRUE(datagram) << "tls " << tls;
        std::vector<SearchResult> received;
        DecodeAdcDatagram(*datagram, m_run, m_filter, [&](const SearchResult& row) {
            received.push_back(row);
            return true;
        });
        ASSERT_EQ(received.size(), 1u) << *datagram;
        EXPECT_EQ(received[0].FileName, "Big Buck Bunny.mkv");
        EXPECT_EQ(received[0].Path, "Shared\\");
        EXPECT_EQ(received[0].Size, 734003200);
        EXPECT_EQ(received[0].User, "answerer");
        EXPECT_EQ(received[0].HubAddress, hubAddress);
        EXPECT_EQ(received[0].Tth, kTth);

        ASSERT_EQ(relayed.size(), 1u) << "tls " << tls;
        EXPECT_EQ(relayed[0].FileName, "Shared\\Bunny\\");
        EXPECT_EQ(relayed[0].SizeText, "<DIR>");
        EXPECT_EQ(relayed[0].User, "answerer");
        EXPECT_EQ(relayed[0].HubAddress, hubAddress);
    }
}

TEST_F(AdcUhubTest, HubsRefusalsBecomeReasons) {
    AnsweringUser answerer(m_hub.Port());
    ASSERT_TRUE(answerer.WaitLoggedIn()) << m_hub.Log();
    const std::string otherKeyprint = MakeSelfSignedCertificate().Keyprint;
    EXPECT_EQ(Search(true, otherKeyprint).Reason, TlsSession::kKeyprintMismatch);

    m_values.Nick = "member";
    EXPECT_EQ(Search(false, "").Reason, "the hub asks for a password");

    m_values.Nick = "answerer";
    const AdcExchangeResult taken = Search(false, "");
    EXPECT_EQ(taken.End, AdcExchangeEnd::Failed);
    EXPECT_EQ(taken.Reason, "Nickname is already in use") << m_hub.Log();
}

}  // namespace
