#include "engine/search/silent_port_hint.h"

#include <gtest/gtest.h>

namespace {

TEST(SilentPortHint, SpeaksOnlyWhenEnoughHubsWereSearchedAndNothingCame) {
    const struct {
        const char* name;
        PortSilence run;
        bool hint;
    } cases[] = {
        {"direct, five hubs, nothing", {ResultRoute::Direct, "203.0.113.7", 41000, 5, 0}, true},
        {"mapped, many hubs, nothing", {ResultRoute::Mapped, "203.0.113.7", 41000, 80, 0}, true},
        {"one datagram arrived", {ResultRoute::Direct, "203.0.113.7", 41000, 80, 1}, false},
        {"four hubs only", {ResultRoute::Direct, "203.0.113.7", 41000, 4, 0}, false},
        {"passive asks for none", {ResultRoute::Passive, "", 0, 80, 0}, false},
    };
    for (const auto& c : cases) EXPECT_EQ(SilentPortHint(c.run).has_value(), c.hint) << c.name;
    EXPECT_EQ(SilentPortHint(cases[0].run),
              "No result reached 203.0.113.7, UDP port 41000: a router or firewall probably blocks it. Choose "
              "Automatic or Passive in Settings, or forward the UDP port range to this computer.");
}

}  // namespace
