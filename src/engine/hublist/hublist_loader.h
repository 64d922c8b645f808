#pragma once

#include <string>

class HubQueue;

inline constexpr char kHubListFileName[] = "hublist.xml";

// The stored hub list's path in the data folder.
std::string HubListPath(const std::string& dataDir);

struct HubListLoad {
    // False when the file is missing, unreadable or no regular file: the queue is untouched and the caller changes
    // nothing.
    bool read = false;
    // The document is malformed or a port does not fit 32 bits: the caller shows "Error loading hublist!" once.
    // Every hub that could still be read, before the fault and after it, is in the queue.
    bool failed = false;
};

// Appends every usable hub of the file, in file order, to queue (never emptying it). An empty file holds no hubs and
// is no failure. GUI thread; the queue must not be in use by a search.
HubListLoad LoadHubList(const std::string& hubListFile, HubQueue& queue);
// The same over a document already in memory.
HubListLoad LoadHubListText(std::string document, HubQueue& queue);
