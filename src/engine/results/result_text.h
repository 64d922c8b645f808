#pragma once

#include <functional>
#include <optional>
#include <string_view>

#include "engine/results/search_result.h"
#include "engine/text/hub_encoding.h"

// The encoding of the hub an answer names ("ip:port" as in the answer); nothing for a hub the run did not reach.
using HubEncodingFinder = std::function<std::optional<HubEncoding>(std::string_view hubAddress)>;

// Turns the result's file name, path and user into UTF-8 by the rule of ReadHubText, the hub found with findHub
// (none: every hub unknown). ASCII fields, the common case, are left as they are without a look-up.
void ReadResultText(SearchResult& result, const HubEncodingFinder& findHub);
