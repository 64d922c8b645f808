#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

#include "engine/adc/adc_messages.h"
#include "engine/adc/adc_run_registry.h"
#include "engine/results/search_result.h"
#include "engine/results/sr_decoder.h"

// The users an ADC hub announced, by SID: a relayed result names its sender only by SID.
using AdcHubUsers = std::unordered_map<std::string, std::string>;

// Notes a user the hub announces (a BINF with a CID) in users and in the run's registry; other messages change
// nothing.
void RememberAdcUser(const AdcMessage& message, AdcRunRegistry& run, AdcHubUsers& users);

// Reads what an ADC hub sends once our BSCH is out, line by line: users who log in meanwhile are worth a nick, and
// answers relayed through the hub (DRES) become results. One per hub, for one thread at a time; the registry and
// the filter must outlive it.
class AdcHubStay {
public:
    AdcHubStay(AdcRunRegistry& run, const ResultFilter& filter, SearchResultSink onRelayedResult, AdcHubUsers users);

    // One line without its terminator; any bytes are safe.
    void Read(std::string_view line);

private:
    AdcRunRegistry& m_run;
    const ResultFilter& m_filter;
    const SearchResultSink m_onRelayedResult;
    AdcHubUsers m_users;
    SearchResult m_result;
};
