#include "engine/settings/connection_mode.h"

#include <array>

namespace {

constexpr std::array<ConnectionMode, 3> Modes{ConnectionMode::Automatic, ConnectionMode::Active,
                                              ConnectionMode::Passive};

}  // namespace

std::string_view ConnectionModeName(ConnectionMode mode) {
    switch (mode) {
        case ConnectionMode::Automatic:
            return "Automatic";
        case ConnectionMode::Active:
            return "Active";
        case ConnectionMode::Passive:
            return "Passive";
    }
    return "Automatic";
}

std::optional<ConnectionMode> ConnectionModeNamed(std::string_view name) {
    for (const ConnectionMode mode : Modes)
        if (ConnectionModeName(mode) == name) return mode;
    return std::nullopt;
}
