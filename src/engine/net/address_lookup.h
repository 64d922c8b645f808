#pragma once

#include <ares.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "engine/net/name_resolver.h"

// The c-ares steps every name lookup of the program shares, whoever waits for the channel's sockets.

// Receives how a lookup ended and, when Found, the first IPv4 address (network byte order).
using AddressFound = std::function<void(LookupStatus status, uint32_t address)>;

// Names under .invalid never exist (RFC 6761): they are answered without asking a name server.
bool IsInvalidName(std::string_view host);

// A channel that asks nameServers ("address:port,…"; empty: the system's) with options (optmask as for
// ares_init_options); null when it cannot be set up.
ares_channel OpenLookupChannel(const std::string& nameServers, ares_options* options = nullptr, int optmask = 0);

// Starts looking up host's first IPv4 address on channel. done runs exactly once from within a c-ares call on the
// channel, maybe this one; destroying the channel first calls it with Failed.
void StartAddressLookup(ares_channel channel, const std::string& host, AddressFound done);
