#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/net/udp_listener.h"

// The port for the next run: the one after current, or minPort when current lies outside minPort .. maxPort - 1
// (so the first run, with current -1, uses minPort, and the run after maxPort wraps around).
int32_t NextUdpPort(int32_t current, int32_t minPort, int32_t maxPort);

// Binds a port and gives the port bound (the system's choice for 0), or nullopt when it cannot be bound.
using UdpPortBinder = std::function<std::optional<int32_t>(int32_t port)>;

// Binds the first port from port (the chosen one) upwards that can be bound, trying further ports only while within
// minPort .. maxPort and 65535. Leaves port at the bound port (the one the system chose when it was 0), or at the
// last one tried when none could be bound (the next run goes on from there).
bool BindRunPort(const UdpPortBinder& bind, int32_t& port, int32_t minPort, int32_t maxPort);
// The same, activating listener on ip.
bool BindRunPort(UdpListener& listener, const std::string& ip, int32_t& port, int32_t minPort, int32_t maxPort);

// Where a run that advertises advertisedIp binds its listener: that address when it is one of this machine's own,
// else all interfaces (an address behind a router that forwards the port cannot be bound here).
std::string RunListenerAddress(const std::string& advertisedIp);
