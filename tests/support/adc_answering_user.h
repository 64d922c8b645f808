#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "engine/net/tcp_client.h"

// The TTH of the file an AdcAnsweringUser offers.
inline const std::string kAdcAnswerTth = "LWPNACQDBZRYXW3VHJVCJ64QBZNGHOHHHZWCLNQ";

// Another user on an ADC hub on 127.0.0.1, as a DC client would be: logs in as "answerer" and answers every search
// it is passed with a file ("/Shared/Big Buck Bunny.mkv", 734003200 bytes) by UDP to the searcher's announced port
// and a folder ("/Shared/Bunny/") through the hub. Runs on a thread of its own until destroyed.
class AdcAnsweringUser {
public:
    explicit AdcAnsweringUser(uint16_t hubPort);
    ~AdcAnsweringUser();
    AdcAnsweringUser(const AdcAnsweringUser&) = delete;
    AdcAnsweringUser& operator=(const AdcAnsweringUser&) = delete;

    // Waits up to ten seconds for the hub to have listed the user.
    bool WaitLoggedIn();

private:
    void Run(uint16_t hubPort);

    TcpClient m_client;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_loggedIn = false;
    std::thread m_thread;
};
