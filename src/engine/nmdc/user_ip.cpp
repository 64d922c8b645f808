#include "engine/nmdc/user_ip.h"

#include <arpa/inet.h>

namespace {

constexpr std::string_view Command = "$UserIP ";
constexpr std::string_view PairEnd = "$$";

// A strict dotted quad: four decimal numbers up to 255, no leading zeros, nothing else.
bool IsIPv4(std::string_view text) {
    in_addr address{};
    return text.size() < INET_ADDRSTRLEN && inet_pton(AF_INET, std::string(text).c_str(), &address) == 1;
}

}  // namespace

std::optional<std::string> UserIpOf(std::string_view line, std::string_view nick) {
    if (!line.starts_with(Command)) return std::nullopt;
    std::string_view rest = line.substr(Command.size());
    std::optional<std::string> found;
    while (!rest.empty()) {
        const std::size_t end = rest.find(PairEnd);
        const std::string_view pair = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + PairEnd.size());
        const std::size_t blank = pair.find(' ');
        if (blank == 0 || blank == std::string_view::npos) return std::nullopt;
        const std::string_view pairNick = pair.substr(0, blank), address = pair.substr(blank + 1);
        if (!IsIPv4(address)) return std::nullopt;
        if (pairNick == nick && !found) found = std::string(address);
    }
    return found;
}
