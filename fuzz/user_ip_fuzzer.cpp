#include <arpa/inet.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/nmdc/user_ip.h"

// Hubs send any bytes: every line must be read or dropped, never crash or hang, and an address found must be a
// dotted quad that the line holds after the nick. The input's first line is the nick, the rest the hub's line.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t newline = input.find('\n');
    const std::string_view nick = newline == std::string_view::npos ? "me" : input.substr(0, newline);
    const std::string_view line = newline == std::string_view::npos ? input : input.substr(newline + 1);
    const auto address = UserIpOf(line, nick);
    if (!address) return 0;
    in_addr parsed{};
    if (inet_pton(AF_INET, address->c_str(), &parsed) != 1) std::abort();
    if (line.find(std::string(nick) + " " + *address) == std::string_view::npos) std::abort();
    return 0;
}
