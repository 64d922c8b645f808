#pragma once

#include <string>
#include <vector>

inline constexpr char kIpDetectError[] = "Error detecting IP address!";
inline constexpr char kIpMultipleError[] = "Error configuring IP address! Multiple IPs found.";
inline constexpr char kIpNatError[] =
    "Error configuring IP address! It appears you are using a NAT router.\n\r"
    "Without a real (public) IP you'll be unable to receive search results, sorry.";

// The outcome of picking the one public address: the address, or empty text and the reason in message.
struct IpClassification {
    std::string address;
    std::string message;
};

// Private means 10.x, 172.16.x to 172.31.x and 192.168.x (only the first two numbers are looked at); everything
// else, loopback included, counts as public. Exactly one public address in the list is the answer.
IpClassification ClassifyAddresses(const std::vector<std::string>& addresses);

// The host's one public IPv4 address in dotted decimal, or empty text with the reason put into pendingIPMessage
// (which is left alone on success). GUI thread; blocks while the interfaces are listed.
std::string DetectLocalIP(std::string& pendingIPMessage);
