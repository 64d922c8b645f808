#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

// Small POSIX socket helpers. Every socket is non-blocking, close-on-exec and bound to 127.0.0.1: the simulated
// network never listens on, or sends to, anything but the loopback interface.

// A TCP socket bound to 127.0.0.1:port (0 = any free port), not yet listening; -1 on failure.
int BindTcp(uint16_t port);
bool StartListening(int fd);
// Listens on fd with room for one pending connection and fills it with a connection of its own that nobody accepts:
// the system then drops further connection requests unanswered, and a client's connect hangs until it gives up.
// Returns the filling connection's socket, -1 on failure.
int ListenWithFullQueue(int fd);
// A TCP socket listening on 127.0.0.1:port; -1 on failure.
int ListenTcp(uint16_t port);
// A UDP socket bound to 127.0.0.1 on a free port; -1 on failure.
int OpenUdp();
uint16_t LocalPort(int fd);
void CloseSocket(int fd);

// Bound TCP sockets on count consecutive ports from base; with base 0 a free run (from 20000 up) is searched for, and
// when none is found the sockets get unrelated free ports. Empty on failure (the caller then owns nothing).
std::vector<int> BindPortRun(uint16_t base, std::size_t count);

// "a.b.c.d:port" as a socket address, only for addresses of the loopback network 127.0.0.0/8.
std::optional<sockaddr_in> ParseLoopbackEndpoint(std::string_view text);
