#pragma once

#include <ostream>
#include <string>

class ConsoleSignals;
class HubQueue;

// Appends the stored hub list of dataDir to queue; false, with one line on err, when there is none or it is
// malformed.
bool LoadStoredHubList(const std::string& dataDir, HubQueue& queue, std::ostream& err);

// hubsift-cli hubs: prints the stored hub list of dataDir to out, one "HOST:PORT" line per hub in file order.
// Returns the exit code: 0, or 1 with one line on err when there is no list or it is malformed (nothing on out).
int ListHubs(const std::string& dataDir, std::ostream& out, std::ostream& err);

// hubsift-cli refresh: downloads the hub list from url into dataDir and prints "N hubs in the list" on out. With
// progress set, a live progress line goes to err. An interruption cancels the download and leaves the stored list
// as it was. Returns the exit code: 0, 1 when the download failed, 130 when interrupted. Main thread.
int RefreshHubList(const std::string& url, const std::string& dataDir, ConsoleSignals& signals, std::ostream& out,
                   std::ostream& err, bool progress);
