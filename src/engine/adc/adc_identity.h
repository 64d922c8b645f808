#pragma once

#include <optional>
#include <string>
#include <string_view>

inline constexpr char kAdcPidFileName[] = "adc_pid";

// Who we are on ADC hubs, in base32: the private ID stays on this machine (and goes only to hubs, which check it),
// the client ID is its Tiger hash and is what other users see.
struct AdcIdentity {
    std::string Pid;
    std::string Cid;
};

// The CID of a PID given as base32 text; nothing when the text is not a 24-byte base32 value.
std::optional<std::string> AdcCidOfPid(std::string_view pid);

// Exactly one of the two is set.
struct AdcIdentityLoad {
    std::optional<AdcIdentity> identity;
    std::string error;
};

// The installation's identity from dataDir/adc_pid, made once from the system's random source when the file is
// missing or holds no PID. The file is readable by its owner only: whoever has the PID can take the CID. Safe when
// two instances start at once: both end up with the same PID. Blocks on the disk; any thread.
AdcIdentityLoad LoadOrCreateAdcIdentity(const std::string& dataDir);
