#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "engine/search/hub_outcome.h"

// The current run's hubs by list address, each with its outcome and the results that named it, handed on as
// batches of what changed. Answers may arrive before their hub's outcome: they are counted all the same. GUI thread.
class HubTally {
public:
    // A new run: nothing is known.
    void Clear();
    // Hubs that have ended.
    void AddOutcomes(std::vector<HubOutcome> outcomes);
    // One accepted result from the hub listed as listAddress ("host:port").
    void CountResult(const std::string& listAddress);
    // Every outcome added, or whose result count grew, since the last call; each hub once, in the order it changed.
    std::vector<HubOutcome> TakeChanged();

private:
    struct Hub {
        HubOutcome outcome;
        bool ended = false;    // its outcome has been added
        bool changed = false;  // in m_changed
    };

    void MarkChanged(const std::string& listAddress, Hub& hub);

    std::unordered_map<std::string, Hub> m_hubs;
    std::vector<std::string> m_changed;
};
