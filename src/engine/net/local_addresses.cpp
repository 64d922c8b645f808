#include "engine/net/local_addresses.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <cstring>

std::vector<std::string> HostAddressList(const std::vector<InterfaceAddress>& interfaces) {
    std::vector<std::string> others, loopbacks;
    for (const InterfaceAddress& entry : interfaces) (entry.loopback ? loopbacks : others).push_back(entry.address);
    return others.empty() ? loopbacks : others;
}

std::optional<std::vector<InterfaceAddress>> UpInterfaceAddresses() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return std::nullopt;
    std::vector<InterfaceAddress> interfaces;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
        if ((entry->ifa_flags & IFF_UP) == 0) continue;
        sockaddr_in address{};
        std::memcpy(&address, entry->ifa_addr, sizeof address);
        char text[INET_ADDRSTRLEN] = {};
        if (inet_ntop(AF_INET, &address.sin_addr, text, sizeof text) == nullptr) continue;
        interfaces.push_back({text, (entry->ifa_flags & IFF_LOOPBACK) != 0});
    }
    freeifaddrs(list);
    return interfaces;
}

std::optional<std::vector<std::string>> LocalIPv4Addresses() {
    const auto interfaces = UpInterfaceAddresses();
    if (!interfaces) return std::nullopt;
    return HostAddressList(*interfaces);
}

std::vector<std::string> UpInterfaceAddressTexts() {
    std::vector<std::string> texts;
    for (const InterfaceAddress& entry : UpInterfaceAddresses().value_or(std::vector<InterfaceAddress>{}))
        texts.push_back(entry.address);
    return texts;
}
