#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

struct AdcRun;

// The settings and search values of one run, copied when it starts: a Settings change during a run takes effect
// at the next run. Text is UTF-8; each hub gets the nick and the pattern in its own encoding.
struct RunValues {
    std::string Nick;
    std::string IP;              // as stored in the settings, sent in $Search
    std::string ShareSizeBytes;  // decimal text
    int32_t SearchTimeout = 0;   // seconds, for the connect and for each read
    std::string SearchPrefix;
    std::string SearchPattern;
    int32_t CurrentUdpPort = 0;
    // $Search Hub:<nick>: active users answer through the hub, which relays their $SR lines on our connection.
    bool Passive = false;
    // Shared by the run's ADC hubs; none: ADC hubs fail, as there is no identity to log in with.
    std::shared_ptr<AdcRun> Adc{};
};

// Waits of the hub exchange that real hubs need; tests and benchmarks shorten them.
struct HubExchangeTimings {
    HubExchangeTimings() = default;
    HubExchangeTimings(std::chrono::milliseconds echoWait, std::chrono::milliseconds linger)
        : EchoWait(echoWait), Linger(linger) {}

    // After $MyINFO: how long to wait for the hub's echo of it before searching anyway (many hubs drop a search
    // from a user they have not announced yet).
    std::chrono::milliseconds EchoWait{2000};
    // After $Search: how long to stay, so that a hub that forwards searches in batches still has the user online.
    std::chrono::milliseconds Linger{2000};
    // The linger of a passive search: the window in which the hub relays the answers of its users.
    std::chrono::milliseconds PassiveWindow{5000};
    // The most the login (up to the written $Search) may take, however a hub trickles or floods lines; unset: four
    // times the run's search time-out.
    std::optional<std::chrono::milliseconds> LoginDeadline;
};
