#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/net/name_resolver.h"
#include "engine/net/tcp_client.h"

// The steps of an IPv4 TCP connect, for TcpClient, which waits for them on its thread, and for connects that wait on a
// network loop instead.

// host as an address (network byte order) when it is a dotted one, which needs no lookup.
std::optional<uint32_t> DottedAddress(const std::string& host);

// The connection status a failed lookup stands for.
TcpStatus StatusOfLookup(LookupStatus status);

// Opens a non-blocking socket (close-on-exec, no Nagle) and starts connecting it to address:port. Ok with socket set
// when the connect stands or is under way: once the socket is writable, FinishConnect tells which. Otherwise why it
// failed, with no socket left open.
TcpStatus StartConnect(uint32_t address, int32_t port, int& socket);

// How a connect StartConnect began has ended, once its socket is writable (or has an error).
TcpStatus FinishConnect(int socket);
