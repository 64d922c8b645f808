#pragma once

#include <cstdint>
#include <string>

#include "engine/settings/connection_mode.h"

// The eleven user settings and the derived share size in bytes. One instance is owned by the program's entry and
// written only on the GUI thread; a search run works on a copy taken when it starts. Text is UTF-8; the settings
// file holds it in the locale's code page.
// The most connection workers a run may use: a larger Threads setting is lowered to it when read and refused by the
// Settings dialog.
inline constexpr int32_t kMaxThreads = 100;

struct AppSettings {
    std::string Nick;
    bool AutodetectIP = false;
    bool RefreshHublist = false;
    std::string IP;
    std::string HublistURL;
    std::string ShareSizeBytes;  // derived from ShareSize, never stored
    std::string ShareSize;
    int32_t Threads = 0;
    int32_t MinUDPPort = 0;
    int32_t MaxUDPPort = 0;
    int32_t SearchTimeout = 0;  // seconds
    ConnectionMode Connection = ConnectionMode::Automatic;
    // Skip hubs an earlier run searched less than a minute ago (they often refuse a second search so soon).
    bool SkipRecentHubs = true;
};
