#include "support/adc_answering_user.h"

#include <chrono>
#include <map>

#include "engine/adc/adc_identity.h"
#include "engine/adc/adc_messages.h"
#include "support/udp_test_sockets.h"

using namespace std::chrono_literals;

namespace {

const AdcIdentity kAnswerer{"AAAQEAYEAUDAOCAJBIFQYDIOB4IBCEQTCQKRMFY", "W6AIUW3CLDF6OGHNVE4JPDDJ2P74IWRCF2O36TA"};

}  // namespace

AdcAnsweringUser::AdcAnsweringUser(uint16_t hubPort) : m_thread([this, hubPort] { Run(hubPort); }) {}

AdcAnsweringUser::~AdcAnsweringUser() {
    m_client.Abort();
    m_thread.join();
}

bool AdcAnsweringUser::WaitLoggedIn() {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, 10s, [&] { return m_loggedIn; });
}

void AdcAnsweringUser::Run(uint16_t hubPort) {
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
                       "URES " + kAnswerer.Cid + " FN/Shared/Big\\sBuck\\sBunny.mkv SI734003200 SL3 TR" +
                           kAdcAnswerTth + " TO" + token + "\n");
            // NOLINTEND(performance-inefficient-string-concatenation)
            m_client.WriteAll(
                // NOLINTNEXTLINE(performance-inefficient-string-concatenation): a test message, built once
                "DRES " + sid + " " + std::string(message->Source) + " FN/Shared/Bunny/ SL3 TO" + token + "\n", 5s);
        }
    }
}
