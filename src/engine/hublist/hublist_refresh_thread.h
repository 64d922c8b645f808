#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "engine/net/http_client.h"

class GuiThread;

// How a refresh ended.
struct HublistRefreshResult {
    enum class Outcome { Replaced, Failed, Cancelled };
    Outcome outcome = Outcome::Failed;
    std::string reason;  // why it failed, in plain words; empty otherwise
};

// Steps of a refresh that run on the GUI thread while the worker waits.
struct HublistRefreshSteps {
    std::function<void(int64_t maximum)> TransferBegins;
    std::function<void(int64_t count)> TransferProgresses;
    std::function<void()> TransferEnds;
    // Last step: reload the queue from the stored list and report.
    std::function<void(const HublistRefreshResult& result)> Completed;
};

// Downloads the bzip2-compressed hub list, and only when download and decompression both succeed replaces
// hublist.xml in the data folder with the text. Then logs the outcome, hands Completed to the GUI thread and ends.
// Starts running in its constructor. The owner destroys it after Completed has run, but not from inside a step (that
// would join the worker from the thread it waits for).
class HublistRefreshThread {
public:
    static constexpr std::int64_t kMaxListSize = std::int64_t{512} << 20;

    // maxListSize: the most bytes the decompressed list may have (tests lower it).
    HublistRefreshThread(GuiThread& gui, std::string url, std::string dataDir, HublistRefreshSteps steps,
                         const HttpLimits& limits = {}, std::int64_t maxListSize = kMaxListSize);
    // Cancels and joins. If the worker may be waiting for a step, the GUI side must have been closed first.
    ~HublistRefreshThread();
    HublistRefreshThread(const HublistRefreshThread&) = delete;
    HublistRefreshThread& operator=(const HublistRefreshThread&) = delete;

    // From the GUI thread: aborts the transfer; the worker still hands over Completed (cancelled, unless it had
    // already succeeded or failed) unless the GUI side has been closed.
    void Cancel();
    void Wait();
    // True once Completed has run, or was refused by a closed GUI side.
    bool Finished() const { return m_finished; }

    // At start-up: removes the temporary files that refreshes of earlier processes left in dataDir (one ended by a
    // signal or a crash mid-way), i.e. those last written before startedAt. Returns how many went.
    static int RemoveStaleTemporaryFiles(const std::string& dataDir, std::filesystem::file_time_type startedAt);

private:
    void Execute();
    // Download, decompress, replace: why it failed, or nothing when the stored list was replaced.
    std::optional<std::string> Refresh();
    void RunStep(const std::function<void()>& step);

    GuiThread& m_gui;
    const std::string m_url;
    const std::string m_dataDir;
    const HublistRefreshSteps m_steps;
    const std::int64_t m_maxListSize;
    HttpClient m_http;
    std::atomic<bool> m_cancelled{false};
    int64_t m_downloaded = 0;  // worker thread only
    std::atomic<bool> m_finished{false};
    std::thread m_thread;
};
