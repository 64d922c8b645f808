#pragma once

#include <optional>
#include <string>
#include <string_view>

// The IPv4 address a hub reports for nick in a $UserIP line (the text between two '|', without them). Hubs send
// "$UserIP nick ip$$" to a client that lists UserIP2 in $Supports, some without the closing "$$"; an operator's
// query is answered with several "nick ip" pairs, each closed by "$$". nullopt when the line is not a well-formed
// $UserIP (every pair is checked) or does not name nick.
std::optional<std::string> UserIpOf(std::string_view line, std::string_view nick);
