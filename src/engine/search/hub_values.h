#pragma once

#include <optional>

#include "engine/search/hub_exchange.h"
#include "engine/search/run_values.h"
#include "engine/text/hub_encoding.h"

// The run's values as one hub reads them, or why they cannot be written there.
struct HubValues {
    std::optional<RunValues> values;                       // the nick and search pattern in the hub's encoding
    ExchangeEnd refusal = ExchangeEnd::PhraseNotWritable;  // when values is empty
};

// values (text in UTF-8) with the nick and the search pattern converted to the hub's encoding. A character the
// encoding cannot hold is never sent as a question mark: the hub is left out instead.
HubValues ValuesForHub(const RunValues& values, const HubEncoding& encoding);
