#include "engine/search/hub_history.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdio>

#include "engine/sys/log.h"

namespace {

// Raised with every change of the tables; a file with another version is set aside.
constexpr int kSchemaVersion = 1;
constexpr int kFailingStreak = 3;

constexpr const char* kSchema =
    "CREATE TABLE hubs ("
    " address TEXT PRIMARY KEY,"
    " run INTEGER NOT NULL,"
    " last_run INTEGER NOT NULL,"
    " last_searched INTEGER NOT NULL DEFAULT 0,"
    " reason TEXT NOT NULL,"
    " results INTEGER NOT NULL,"
    " ms_to_search INTEGER NOT NULL,"
    " failed_runs INTEGER NOT NULL);"
    "PRAGMA user_version = 1;";

// A hub's row: a new run replaces the outcome and extends or ends the failure streak; the same run only updates the
// result count.
constexpr const char* kUpsert =
    "INSERT INTO hubs (address, run, last_run, last_searched, reason, results, ms_to_search, failed_runs)"
    " VALUES (?1, ?2, ?3, CASE WHEN ?4 THEN ?3 ELSE 0 END, ?5, ?6, ?7, ?4 = 0)"
    " ON CONFLICT(address) DO UPDATE SET"
    " results = excluded.results,"
    " last_searched = CASE WHEN ?4 THEN ?3 ELSE last_searched END,"
    " reason = CASE WHEN run = ?2 THEN reason ELSE excluded.reason END,"
    " ms_to_search = CASE WHEN run = ?2 THEN ms_to_search ELSE excluded.ms_to_search END,"
    " failed_runs = CASE WHEN run = ?2 THEN failed_runs WHEN ?4 THEN 0 ELSE failed_runs + 1 END,"
    " last_run = ?3, run = ?2";

int IntValue(sqlite3* db, const char* sql) {
    sqlite3_stmt* statement = nullptr;
    int value = -1;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK && sqlite3_step(statement) == SQLITE_ROW)
        value = sqlite3_column_int(statement, 0);
    sqlite3_finalize(statement);
    return value;
}

std::string TextValue(sqlite3* db, const char* sql) {
    sqlite3_stmt* statement = nullptr;
    std::string value;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK && sqlite3_step(statement) == SQLITE_ROW) {
        if (const unsigned char* text = sqlite3_column_text(statement, 0)) value = reinterpret_cast<const char*>(text);
    }
    sqlite3_finalize(statement);
    return value;
}

}  // namespace

HubHistory::HubHistory(std::string path) : m_path(std::move(path)) {
    if (OpenAndCheck()) return;
    SetAside();
    if (!OpenAndCheck()) {
        Log(LogLevel::Warning, "hub history " + m_path + " cannot be created; runs keep no history");
        sqlite3_close(m_db);
        m_db = nullptr;
    }
}

HubHistory::~HubHistory() {
    sqlite3_close(m_db);
}

bool HubHistory::OpenAndCheck() {
    sqlite3_close(m_db);
    m_db = nullptr;
    if (sqlite3_open_v2(m_path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
        return false;
    sqlite3_busy_timeout(m_db, 1000);
    if (TextValue(m_db, "PRAGMA quick_check") != "ok") return false;
    const int version = IntValue(m_db, "PRAGMA user_version");
    if (version == 0 && sqlite3_exec(m_db, kSchema, nullptr, nullptr, nullptr) != SQLITE_OK) return false;
    if (IntValue(m_db, "PRAGMA user_version") != kSchemaVersion) return false;
    return TextValue(m_db, "PRAGMA journal_mode = WAL") == "wal" &&
           sqlite3_exec(m_db, "PRAGMA synchronous = NORMAL", nullptr, nullptr, nullptr) == SQLITE_OK;
}

void HubHistory::SetAside() {
    sqlite3_close(m_db);
    m_db = nullptr;
    const auto stamp =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    const std::string aside = m_path + ".damaged-" + std::to_string(stamp);
    std::rename(m_path.c_str(), aside.c_str());
    // The log files of the write-ahead log belong to the damaged file.
    for (const char* suffix : {"-wal", "-shm"}) std::remove((m_path + suffix).c_str());
    Log(LogLevel::Warning, "hub history " + m_path + " could not be read; set aside as " + aside + ", starting anew");
}

std::unordered_map<std::string, HubRecord> HubHistory::Records() const {
    std::unordered_map<std::string, HubRecord> records;
    sqlite3_stmt* statement = nullptr;
    if (m_db == nullptr || sqlite3_prepare_v2(m_db, "SELECT address, last_searched, results, failed_runs FROM hubs", -1,
                                              &statement, nullptr) != SQLITE_OK)
        return records;
    while (sqlite3_step(statement) == SQLITE_ROW) {
        HubRecord record;
        record.lastSearched = sqlite3_column_int64(statement, 1);
        if (sqlite3_column_int(statement, 3) >= kFailingStreak) {
            record.standing = HubStanding::Failing;
        } else if (sqlite3_column_int(statement, 2) > 0) {
            record.standing = HubStanding::Productive;
        }
        records.emplace(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)), record);
    }
    sqlite3_finalize(statement);
    return records;
}

void HubHistory::Record(const std::vector<HubOutcome>& outcomes, int64_t run, int64_t now) {
    sqlite3_stmt* statement = nullptr;
    if (m_db == nullptr || outcomes.empty() || sqlite3_prepare_v2(m_db, kUpsert, -1, &statement, nullptr) != SQLITE_OK)
        return;
    // One transaction per batch: one write of the log for hundreds of hubs.
    sqlite3_exec(m_db, "BEGIN", nullptr, nullptr, nullptr);
    for (const HubOutcome& outcome : outcomes) {
        const std::string address = HubListAddress(outcome.host, outcome.port);
        sqlite3_bind_text(statement, 1, address.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(statement, 2, run);
        sqlite3_bind_int64(statement, 3, now);
        sqlite3_bind_int(statement, 4, outcome.reason == HubReason::Searched ? 1 : 0);
        sqlite3_bind_text(statement, 5, DescribeReason(outcome.reason), -1, SQLITE_STATIC);
        sqlite3_bind_int(statement, 6, outcome.results);
        sqlite3_bind_int64(statement, 7, outcome.timeToSearch.count());
        sqlite3_step(statement);
        sqlite3_reset(statement);
    }
    sqlite3_finalize(statement);
    if (sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        Log(LogLevel::Warning, std::string("hub history not written: ") + sqlite3_errmsg(m_db));
    }
}
