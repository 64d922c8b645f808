// Sweeps fake ADC hubs on loopback with the search run control beside fake NMDC hubs of the same number in the same
// run, with 30 and 100 workers, then measures what TLS adds to one hub: the handshake on top of the connect.
// The linger after the search is cut to 0 ms, so that the figures measure the workers and the protocols.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/search/adc_run.h"
#include "engine/search/search_runner.h"
#include "support/fake_adc_hub.h"
#include "support/fake_gui_thread.h"
#include "support/fake_hub.h"
#include "support/tls_test_server.h"
#include "sweep_setup.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Each fake ADC hub runs on a thread of its own: a few hundred are what the machine holds comfortably.
constexpr int kHubCount = 300;
constexpr int kRounds = 5;
constexpr int kTlsSamples = 200;
const HubExchangeTimings kSweepTimings{2000ms, 0ms};

RunValues AdcSweepValues() {
    RunValues values = SweepValues(1025);
    values.Adc = std::make_shared<AdcRun>();
    values.Adc->Identity = {"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA", "ZXO4VT7KPNYLJBLFLOR5YP3A33SPNOHYMEDJ4MY"};
    values.Adc->Query.Words = {"big", "buck"};
    return values;
}

// Mean seconds of a connect, with a TLS handshake after it when tls.
double ConnectSeconds(uint16_t port, bool tls) {
    TcpClient client;
    std::string failure;
    const auto started = Clock::now();
    for (int i = 0; i < kTlsSamples; ++i) {
        client.Connect("127.0.0.1", port, 5s);
        if (tls) client.StartTls("127.0.0.1", "", 5s, failure);
        client.Disconnect();
    }
    return std::chrono::duration<double>(Clock::now() - started).count() / kTlsSamples;
}

}  // namespace

int main() {
    RaiseOpenFileLimit();
    std::printf("ADC and NMDC sweeps over %d fake hubs each on loopback (linger 0 ms)\n", kHubCount);
    std::vector<std::unique_ptr<FakeAdcHub>> adcHubs;
    HubQueue adcQueue;
    for (int i = 0; i < kHubCount; ++i) {
        adcHubs.push_back(std::make_unique<FakeAdcHub>(FakeAdcHubScript{}));
        adcQueue.AddHub("127.0.0.1", adcHubs.back()->Port(), {}, HubProtocol::Adc);
    }
    FakeHubServer nmdcHubs;
    HubQueue nmdcQueue;
    for (int i = 0; i < kHubCount; ++i) nmdcQueue.AddHub("127.0.0.1", nmdcHubs.Port(nmdcHubs.AddHub({})));

    const RunValues adcValues = AdcSweepValues();
    const RunValues nmdcValues = SweepValues(1025);
    for (const int workers : {30, 100}) {
        std::vector<double> adcSeconds, nmdcSeconds;
        int lost = 0;
        for (int round = 0; round < kRounds; ++round) {
            const Sweep adc = RunnerSweep(adcQueue, adcValues, workers, kSweepTimings);
            const Sweep nmdc = RunnerSweep(nmdcQueue, nmdcValues, workers, kSweepTimings);
            lost += 2 * kHubCount - adc.searched - nmdc.searched;
            adcSeconds.push_back(adc.seconds);
            nmdcSeconds.push_back(nmdc.seconds);
        }
        const double adc = Median(adcSeconds), nmdc = Median(nmdcSeconds);
        std::printf(
            "%3d workers: ADC %6.0f hubs/s, NMDC %6.0f hubs/s, ADC/NMDC %.2f, medians of %d rounds, %d hubs "
            "not searched\n",
            workers, kHubCount / adc, kHubCount / nmdc, nmdc / adc, kRounds, lost);
    }

    const TestCertificate certificate = MakeSelfSignedCertificate();
    TlsLineServer tlsServer(certificate, "");
    const double plain = ConnectSeconds(nmdcHubs.Port(0), false);
    const double tls = ConnectSeconds(tlsServer.Port(), true);
    std::printf("TLS per hub: connect %.3f ms, connect and handshake %.3f ms, TLS adds %.3f ms (mean of %d)\n",
                plain * 1000, tls * 1000, (tls - plain) * 1000, kTlsSamples);
    return 0;
}
