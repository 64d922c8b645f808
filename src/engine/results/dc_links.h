#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// A Tiger Tree Hash as clients write it: 39 base32 characters (A-Z, 2-7, capitals), 192 bits, so the last
// character's three low bits are zero. All zeros ("AAA…A") is what some clients send for a directory: no hash.
inline constexpr std::size_t kTthLength = 39;
bool IsTth(std::string_view text);

// The TTH of a whole "$SR " message (without its "|"), or empty text. Clients that hash their files put "TTH:" and
// the hash where NMDC has the hub name, the field between the last SOH (\x05) and the hub address in parentheses;
// a hub name, a directory's all-zero hash or anything malformed gives no TTH. Views into message.
std::string_view TthOfSearchResult(std::string_view message);

// The magnet link DC clients take for a file: "magnet:?xt=urn:tree:tiger:<TTH>&xl=<size>&dn=<name>", the name
// UTF-8 and percent-encoded (everything but unreserved characters, RFC 3986). tth must be one IsTth accepts.
std::string MagnetLink(std::string_view tth, int64_t size, std::string_view utf8FileName);

// "dchub://host:port" for a hub address as results carry it ("host:port" or "host"), or empty text when the address
// holds anything but the characters of a host name, an IPv4 or bracketed IPv6 address and a port.
std::string HubUrl(std::string_view hubAddress);
