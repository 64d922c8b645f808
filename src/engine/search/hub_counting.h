#pragma once

#include <chrono>
#include <string>

#include "engine/search/hub_outcome.h"

struct WorkerContext;
struct HubTicket;

// How counting a hub went.
enum class HubCounted { Yes, NotThisRun, GuiClosed };

// The log line (Info) of one hub's exchange: its outcome, how long it took and how it went in plain words.
void LogExchange(const HubOutcome& outcome, const std::string& description, std::chrono::milliseconds took);

// Counts the ticket's hub in its run, keeps its outcome (with the list's name and users) and hands a progress update
// to the GUI thread. For workers and for hubs that fail before a worker takes them.
HubCounted CountHub(WorkerContext& context, const HubTicket& ticket, HubOutcome outcome);
