#include "engine/search/hub_counting.h"

#include <cstdio>

#include "engine/search/hub_ticket.h"
#include "engine/search/hub_worker.h"
#include "engine/sys/log.h"

void LogExchange(const HubOutcome& outcome, const std::string& description, std::chrono::milliseconds took) {
    if (!LogEnabled(LogLevel::Info)) return;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f s", std::chrono::duration<double>(took).count());
    // A hub given up or cut short is not counted: the run that wanted it was stopped.
    const HubReason reason = outcome.reason;
    const std::string verdict = reason == HubReason::Searched  ? "searched"
                                : reason == HubReason::Stopped ? "stopped"
                                                               : std::string("failed (") + DescribeReason(reason) + ")";
    Log(LogLevel::Info, "hub " + outcome.host + ":" + std::to_string(outcome.port) + " " + verdict + " after " +
                            seconds + ": " + description);
}

HubCounted CountHub(WorkerContext& context, const HubTicket& ticket, HubOutcome outcome) {
    const bool failed = outcome.reason != HubReason::Searched;
    outcome.name = ticket.name;
    outcome.users = ticket.users;
    outcome.redirectedFrom = ticket.redirectedFrom;
    // The outcome goes first: an update that sees the hub counted must find it (a redirect may extend the run).
    context.outcomes.Add(ticket.run, std::move(outcome));
    if (!context.counters.Count(ticket.run, failed)) return HubCounted::NotThisRun;
    return context.HandOverProgress() ? HubCounted::Yes : HubCounted::GuiClosed;
}
