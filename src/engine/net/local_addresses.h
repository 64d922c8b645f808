#pragma once

#include <optional>
#include <string>
#include <vector>

// One IPv4 address of a network interface that is up, in dotted decimal.
struct InterfaceAddress {
    std::string address;
    bool loopback = false;
};

// The host's address list as a name lookup of the host's own name gives it: the addresses in interface order,
// loopback ones only when there is no other.
std::vector<std::string> HostAddressList(const std::vector<InterfaceAddress>& interfaces);

// The IPv4 addresses of the interfaces that are up, loopback included; nullopt when the system cannot list them.
std::optional<std::vector<InterfaceAddress>> UpInterfaceAddresses();

// HostAddressList of the interfaces that are up; nullopt when the system cannot list them.
std::optional<std::vector<std::string>> LocalIPv4Addresses();

// The addresses of UpInterfaceAddresses alone; empty when the system cannot list them.
std::vector<std::string> UpInterfaceAddressTexts();
