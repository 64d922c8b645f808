#pragma once

#include <optional>
#include <string_view>

// The user's choice of how results reach this machine.
enum class ConnectionMode { Automatic, Active, Passive };

// The word the settings file stores for mode, and the mode a stored word names (nullopt for any other word).
std::string_view ConnectionModeName(ConnectionMode mode);
std::optional<ConnectionMode> ConnectionModeNamed(std::string_view name);
