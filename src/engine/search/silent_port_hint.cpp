#include "engine/search/silent_port_hint.h"

std::optional<std::string> SilentPortHint(const PortSilence& run) {
    if (run.Route == ResultRoute::Passive || run.DatagramsReceived > 0 || run.SearchedHubs < kSilentPortMinimumHubs)
        return std::nullopt;
    return "No result reached " + run.AdvertisedAddress + ", UDP port " + std::to_string(run.AdvertisedPort) +
           ": a router or firewall probably blocks it. Choose Automatic or Passive in Settings, or forward the UDP "
           "port range to this computer.";
}
