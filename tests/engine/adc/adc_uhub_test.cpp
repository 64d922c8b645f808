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
#include "engine/search/hub_outcome.h"
#include "support/adc_answering_user.h"
#include "support/test_run_values.h"
#include "support/tls_test_server.h"
#include "support/udp_test_sockets.h"
#include "support/uhub_process.h"

namespace {

using namespace std::chrono_literals;

const AdcIdentity kSearcher{"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA", "ZXO4VT7KPNYLJBLFLOR5YP3A33SPNOHYMEDJ4MY"};
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
    AdcAnsweringUser answerer(m_hub.Port());
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
        EXPECT_EQ(received[0].Tth, kAdcAnswerTth);

        ASSERT_EQ(relayed.size(), 1u) << "tls " << tls;
        EXPECT_EQ(relayed[0].FileName, "Shared\\Bunny\\");
        EXPECT_EQ(relayed[0].SizeText, "<DIR>");
        EXPECT_EQ(relayed[0].User, "answerer");
        EXPECT_EQ(relayed[0].HubAddress, hubAddress);
    }
}

TEST_F(AdcUhubTest, HubsRefusalsBecomeReasons) {
    AdcAnsweringUser answerer(m_hub.Port());
    ASSERT_TRUE(answerer.WaitLoggedIn()) << m_hub.Log();
    const auto reasonOf = [](const AdcExchangeResult& result) { return OutcomeOf("hub", 1, result, 0ms).reason; };
    const std::string otherKeyprint = MakeSelfSignedCertificate().Keyprint;
    const AdcExchangeResult mismatch = Search(true, otherKeyprint);
    EXPECT_EQ(mismatch.Reason, TlsSession::kKeyprintMismatch);
    EXPECT_EQ(reasonOf(mismatch), HubReason::KeyprintMismatch);

    m_values.Nick = "member";
    const AdcExchangeResult registered = Search(false, "");
    EXPECT_EQ(registered.Reason, "the hub asks for a password");
    EXPECT_EQ(reasonOf(registered), HubReason::PasswordRequired);

    m_values.Nick = "answerer";
    const AdcExchangeResult taken = Search(false, "");
    EXPECT_EQ(taken.End, AdcExchangeEnd::Failed);
    EXPECT_EQ(taken.Reason, "Nickname is already in use") << m_hub.Log();
    EXPECT_EQ(reasonOf(taken), HubReason::NickRefused);
}

}  // namespace
