#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/search/hub_outcome.h"

struct sqlite3;

// Where a hub stands in the queue of the next run, from its past runs.
enum class HubStanding {
    Productive,  // its last search gave results: first
    Unknown,     // no run gave results yet, or it is new: in list order
    Failing,     // failed each of its last three runs: last
};

// What the history knows of one hub.
struct HubRecord {
    HubStanding standing = HubStanding::Unknown;
    int64_t lastSearched = 0;  // Unix seconds of its last search; 0: never searched
};

// Each hub's last outcome, reason, results and time to search, and how many runs in a row it failed, in a small
// SQLite database in the data folder (write-ahead log, so a crash loses at most the last batch). A file that cannot
// be opened, is damaged or has an unknown schema is set aside (renamed) and started anew, with one log line; when
// even that fails, the history is empty and records nothing. GUI thread.
class HubHistory {
public:
    explicit HubHistory(std::string path);
    ~HubHistory();
    HubHistory(const HubHistory&) = delete;
    HubHistory& operator=(const HubHistory&) = delete;

    // Every hub it knows, by list address ("host:port").
    std::unordered_map<std::string, HubRecord> Records() const;
    // Outcomes of run number run (any number that differs between runs, e.g. its start time) at Unix time now; a
    // hub reported again in the same run updates its results without counting another failure.
    void Record(const std::vector<HubOutcome>& outcomes, int64_t run, int64_t now);
    // False when neither the file nor a fresh one could be opened.
    bool IsOpen() const { return m_db != nullptr; }

private:
    bool OpenAndCheck();
    void SetAside();

    std::string m_path;
    sqlite3* m_db = nullptr;
};

// The history's file name in the data folder.
inline constexpr char kHubHistoryFileName[] = "hubhistory.sqlite";

// Hubs searched less than this long ago by an earlier run are skipped when the option is on: many hubs refuse a
// second login or search within a minute.
inline constexpr int64_t kRecentSearchSeconds = 60;
