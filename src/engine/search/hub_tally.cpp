#include "engine/search/hub_tally.h"

#include <utility>

void HubTally::Clear() {
    m_hubs.clear();
    m_changed.clear();
}

void HubTally::AddOutcomes(std::vector<HubOutcome> outcomes) {
    for (HubOutcome& outcome : outcomes) {
        std::string listAddress = HubListAddress(outcome.host, outcome.port);
        Hub& hub = m_hubs[listAddress];
        outcome.results = hub.outcome.results;
        hub.outcome = std::move(outcome);
        hub.ended = true;
        MarkChanged(listAddress, hub);
    }
}

void HubTally::CountResult(const std::string& listAddress) {
    Hub& hub = m_hubs[listAddress];
    ++hub.outcome.results;
    // Until its outcome comes, the hub is not reported: the count waits for it.
    if (hub.ended) MarkChanged(listAddress, hub);
}

void HubTally::MarkChanged(const std::string& listAddress, Hub& hub) {
    if (hub.changed) return;
    hub.changed = true;
    m_changed.push_back(listAddress);
}

std::vector<HubOutcome> HubTally::TakeChanged() {
    std::vector<HubOutcome> changed;
    changed.reserve(m_changed.size());
    for (const std::string& listAddress : m_changed) {
        Hub& hub = m_hubs.at(listAddress);
        hub.changed = false;
        changed.push_back(hub.outcome);
    }
    m_changed.clear();
    return changed;
}
