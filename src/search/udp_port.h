#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/udp_listener.h"

// The port for the next run: the one after current, or minPort when current lies outside minPort .. maxPort - 1
// (so the first run, with current -1, uses minPort, and the run after maxPort wraps around).
int32_t NextUdpPort(int32_t current, int32_t minPort, int32_t maxPort);

// Activates listener on ip and the first port from chosen upwards that can be bound, trying further ports only
// while within minPort .. maxPort. The bound port, or nothing when none could be bound.
std::optional<int32_t> BindRunPort(UdpListener& listener, const std::string& ip, int32_t chosen, int32_t minPort,
                                   int32_t maxPort);
